// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a log's summary says of how it was read, as notes (log/note.h): its encoding,
// its separator, each section's columns and unit, what the first rows looked like, and
// what the run found on the way: repeated headers, footers, dates and boilers.

#include "log/dates.h"
#include "log/section.h"
#include "text/encoding.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quemador::log {

// A separator as the notes name it: «;» or tabulador.
std::string separator_name(char separator);

// What was read and how: the encoding, for the notes and the message of a log without
// a header.
std::string how_read(const text::DecodingSource& decoded);

// The first note: the encoding, the separator, and the lines of the header and of its
// units (0 for none).
Note read_note(const text::DecodingSource& decoded, char separator, std::uint64_t header_line,
               std::uint64_t units_line);

// The columns of a section, as the summary names them.
Note columns_note(const Section& section, const LogOptions& options);

// What a section's first rows showed, for the summary.
std::vector<Note> first_rows_notes(const Section& section);

// A header further down that starts a section of its own, and its units line (0 for
// none): its columns, or why its rows are not calculated.
std::vector<Note> later_header_notes(const Section& section, std::uint64_t units_line,
                                     const LogOptions& options);

// The same header again, count times, the first on a line.
Note repeated_headers_note(std::uint64_t count, std::uint64_t first_line);

// A spreadsheet's footer rows: how many, the first one's word and line.
Note footers_note(std::uint64_t count, std::string_view first, std::uint64_t line);

// What the summary says of the encodings: bytes that were no character, or that look
// like another encoding, and an output written in another encoding than the input's.
void encoding_notes(const text::DecodingSource& decoded, const text::EncodingSink& sink,
                    LogSummary& summary);

// The first row of those whose date is not a date where the run wanted one.
struct FirstOf {
    std::uint64_t count = 0;
    std::uint64_t line = 0;
    std::string cell;

    void add(std::uint64_t at, std::string_view text);
};

// Rows without a readable date, where the months or a chart over time want one.
Note undated_note(const FirstOf& undated, bool months, bool charted);

// Rows whose date is one only in another order than the date column's.
Note misdated_note(const FirstOf& misdated, const DateColumn& dates, std::string_view column);

// A row's aviso for a date one only in another order than its column's.
std::string misdated_row(std::string_view cell, const DateColumn& dates);

// How a date column's numbers were read, when the summary should say so: month first
// as its data showed, or day first for want of a date to show it.
std::vector<Note> date_order_notes(const DateColumn& dates, std::string_view column);

// Boilers named in more than one way: the first two ways, and how many more.
Note spellings_note(std::string_view first, std::string_view other, std::uint64_t more);

// A chart over time that no date could place.
Note by_line_note();

// The log cannot be read: no fuel for its rows, no column to group them by, or a figure
// asked for that it cannot give.
Note no_fuel_note();
Note not_given_note(FigureKind figure);
Note no_grouping_column_note(Grouping grouping);

} // namespace quemador::log
