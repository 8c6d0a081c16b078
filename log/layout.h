// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where a log's results go in each of its rows, and how a row is written with them.

#include "calculation/report.h"
#include "log/columns.h"
#include "text/csv.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::log {

// A column this program adds to a record: a figure of the report, or (none) the notes.
struct ResultColumn {
    std::optional<FigureKind> figure;
    std::string_view name;
};

// The figures a log gets unless told which (LogOptions::figures), where it can give
// them: the window's two results, the net efficiency, the gross one corrected for the
// air (with an air temperature), the fuel saved (with a target), the CO on air-free flue
// gas (with a CO column).
std::vector<FigureKind> default_figures(bool air, bool target, bool co);

// The columns this program adds to a log, in their order: the figures, then the notes.
std::vector<ResultColumn> result_columns(std::span<const FigureKind> figures);

inline std::string_view field_at(const std::vector<std::string_view>& fields, std::size_t index)
{
    return index < fields.size() ? fields[index] : std::string_view();
}

// Where the results go in each row: in the header's own result columns (a log this
// program wrote), or appended after the header's columns.
struct Layout {
    std::vector<ResultColumn> columns; // the results, the notes last
    // The index (index_of) of each column's figure, the notes left out: what a row's
    // loop reads, without asking each column whether it has a figure.
    std::vector<std::size_t> figures;
    std::size_t width = 0;             // the header's columns
    std::vector<std::size_t> in_place; // by result: its column in the header, or none
    std::vector<std::size_t> appended; // results, by index into columns

    Layout(const std::vector<std::string>& header, std::vector<ResultColumn> results);

    // The result written in a column of the header; none for a column of the log's own.
    [[nodiscard]] std::size_t result_in(std::size_t column) const;

    // Writes a row: its fields padded to the header's width, the results in their
    // columns, then the fields beyond the header's width. raw is the record as read,
    // when it can be written as it is (null otherwise: a pointer, where an optional
    // passed on the stack was read back whole right after being written in halves, a
    // stall on every row); plain_results, when the results hold nothing that needs
    // quotes.
    void write(text::CsvWriter& writer, const std::vector<std::string_view>& fields,
               const std::string_view* raw, std::span<const std::string_view> results,
               text::LineEnd end, bool plain_results) const;

    // The header's line, with the names of the results appended.
    void write_header(text::CsvWriter& writer, const std::vector<std::string>& header,
                      text::LineEnd end) const;
};

} // namespace quemador::log
