// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/batch.h"

#include "text/numbers.h"

#include <array>

namespace quemador::log {

void Batch::add(const text::CsvReader& reader, const std::vector<std::string_view>& fields,
                bool blank)
{
    const std::string_view read = reader.raw_record();
    const std::span<const std::uint8_t> flags = reader.quoted_fields();
    records_.push_back({reader.line(), reader.bytes_read(), reader.line_end(), bytes_.size(),
                        read.size(), spans_.size(), fields.size(), quoted_.size(), flags.size(),
                        blank});
    bytes_.append(read);
    for (const std::string_view field : fields) {
        if (field.data() >= read.data() &&
            field.data() + field.size() <= read.data() + read.size()) {
            spans_.emplace_back(records_.back().raw +
                                    static_cast<std::size_t>(field.data() - read.data()),
                                field.size());
        } else {
            spans_.emplace_back(bytes_.size(), field.size());
            bytes_.append(field);
        }
    }
    quoted_.insert(quoted_.end(), flags.begin(), flags.end());
}

void Batch::calculate(const Section& section, std::optional<text::DecimalComma> comma,
                      const text::CsvWriter& like)
{
    results_.resize(records_.size());
    common_.assign(records_.size(), 0);
    std::vector<std::string_view> fields;
    for (std::size_t i = 0; i < records_.size(); ++i) {
        const Record& at = record(i, fields);
        common_[i] =
            !at.blank && section.common_results(Row{fields, quoted(at)}, results_[i]) ? 1 : 0;
    }
    written_.assign(records_.size(), {0, 0});
    if (comma)
        write(section, *comma, like);
}

// Each common row's line as the log's run writes it: its record as read and its
// figures' texts in the results' decimal mark, with no notes.
void Batch::write(const Section& section, text::DecimalComma comma, const text::CsvWriter& like)
{
    // out_ is empty: a batch is cleared when given back.
    text::CsvWriter writer(out_, like);
    const Layout& layout = section.layout();
    const bool plain = section.plain_results(comma);
    std::vector<std::string_view> fields;
    std::vector<std::string_view> texts(layout.figures.size() + 1);
    constexpr std::array shown{index_of(FigureKind::excess_air), index_of(FigureKind::efficiency),
                               index_of(FigureKind::net)};
    for (std::size_t i = 0; i < records_.size(); ++i) {
        if (common_[i] == 0)
            continue;
        const Record& at = record(i, fields);
        CommonRow& row = results_[i];
        for (std::size_t k = 0; k < layout.figures.size(); ++k) {
            texts[k] = {};
            for (std::size_t s = 0; s < shown.size(); ++s) {
                if (layout.figures[k] == shown.at(s))
                    texts[k] = text::in_file(row.texts.at(s), comma);
            }
        }
        const std::string_view read = raw(at);
        const std::size_t begin = writer.written();
        layout.write(writer, fields, &read, texts, at.end, plain);
        written_[i] = {begin, writer.written()};
    }
    writer.flush();
}

const Batch::Record& Batch::record(std::size_t i, std::vector<std::string_view>& fields) const
{
    const Record& record = records_[i];
    fields.resize(record.field_count);
    for (std::size_t k = 0; k < record.field_count; ++k) {
        const auto [begin, length] = spans_[record.fields + k];
        fields[k] = std::string_view(bytes_).substr(begin, length);
    }
    return record;
}

void Batch::clear()
{
    records_.clear();
    bytes_.clear();
    spans_.clear();
    quoted_.clear();
    written_.clear();
    out_.text.clear();
}

Batch* Batches::take()
{
    const std::lock_guard lock(mutex_);
    if (free_.empty()) {
        all_.push_back(std::make_unique<Batch>());
        return all_.back().get();
    }
    Batch* batch = free_.back();
    free_.pop_back();
    return batch;
}

void Batches::give_back(Batch* batch)
{
    batch->clear();
    const std::lock_guard lock(mutex_);
    free_.push_back(batch);
}

} // namespace quemador::log
