// SPDX-License-Identifier: GPL-3.0-or-later
// The records a log's pipeline reads ahead, in batches: copied out of the reader in
// order, their common rows calculated, and written, on any thread; then counted and
// given to the output in order by the log's run.
#pragma once

#include "log/section.h"
#include "text/buffers.h"
#include "text/csv.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quemador::log {

class Batch {
public:
    struct Record {
        std::uint64_t line;
        std::uint64_t bytes_read;
        text::LineEnd end;
        std::size_t raw; // where its bytes begin in bytes_, and how many
        std::size_t raw_size;
        std::size_t fields; // where its fields begin in spans_, and how many
        std::size_t field_count;
        std::size_t quoted; // where its quoted flags begin in quoted_, and how many
        std::size_t quoted_count;
        bool blank; // copied as it is
    };

    // A batch holds at most so many records, or about so many bytes or fields, and a
    // record of more bytes or fields is read on its own: with two batches for each
    // thread, and at most most_batches, the pipeline's memory stays a few mebibytes.
    // Twice the reader's buffer: a record or two in the fuzzers' tiny build.
    static constexpr std::size_t most_records = 1024;
    static constexpr std::size_t most_bytes = 2 * text::buffer_bytes;
    static constexpr std::size_t most_fields = 16384;

    [[nodiscard]] bool full() const
    {
        return records_.size() >= most_records || bytes_.size() >= most_bytes ||
            spans_.size() >= most_fields;
    }
    [[nodiscard]] std::size_t size() const { return records_.size(); }

    void add(const text::CsvReader& reader, const std::vector<std::string_view>& fields,
             bool blank);

    // Calculates the common rows by the short way of the section they are read in and,
    // when the results' decimal mark is settled (comma), writes each as like would:
    // its record and its results. The section is only read.
    void calculate(const Section& section, std::optional<text::DecimalComma> comma,
                   const text::CsvWriter& like);

    // A record, its fields set into fields.
    const Record& record(std::size_t i, std::vector<std::string_view>& fields) const;
    [[nodiscard]] std::string_view raw(const Record& record) const
    {
        return std::string_view(bytes_).substr(record.raw, record.raw_size);
    }
    [[nodiscard]] std::span<const std::uint8_t> quoted(const Record& record) const
    {
        return std::span(quoted_).subspan(record.quoted, record.quoted_count);
    }
    [[nodiscard]] bool common(std::size_t i) const { return common_[i] != 0; }
    CommonRow& results(std::size_t i) { return results_[i]; }
    // A common row's line as calculate wrote it; empty when it was not written.
    [[nodiscard]] std::string_view written(std::size_t i) const
    {
        const auto [begin, end] = written_[i];
        return std::string_view(out_.text).substr(begin, end - begin);
    }

    void clear();

private:
    void write(const Section& section, text::DecimalComma comma, const text::CsvWriter& like);

    std::vector<Record> records_;
    std::string bytes_;
    std::vector<std::pair<std::size_t, std::size_t>> spans_;
    std::vector<std::uint8_t> quoted_;
    std::vector<CommonRow> results_; // kept from batch to batch, with their texts' room
    std::vector<std::uint8_t> common_;
    text::StringSink out_;
    std::vector<std::pair<std::size_t, std::size_t>> written_; // in out_, each row's
};

// The batches in the pipeline at once, at most.
constexpr std::size_t most_batches = 8;

// The batches, reused: the first stage takes one, the last gives it back.
class Batches {
public:
    Batch* take();
    void give_back(Batch* batch);

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<Batch>> all_;
    std::vector<Batch*> free_;
};

} // namespace quemador::log
