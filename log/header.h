// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where a log's header is. Exports carry title lines above the header ("Informe de
// combustión", "Cliente: …", Excel's "sep=;") and often a line of units under it
// ("%", "°C", "ppm"); the header is the first line that names an oxygen and a
// temperature column.

#include "log/columns.h"
#include "text/csv.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::log {

// The most lines looked at for the header.
inline constexpr std::size_t max_header_line = 20;

// The start of a log, read up to its header.
struct LogStart {
    std::string above; // the lines above the header as they were, line ends included
    std::vector<std::string> header;
    std::uint64_t header_line = 0; // from 1
    char separator = ',';          // from a "sep=" line above it, or the most common on it
    text::LineEnd line_end = text::LineEnd::none;
    // Where a quote in the header opened that was never closed; 0 for none.
    std::uint64_t unclosed_quote_line = 0;
};

// Reads a log's first records up to its header, and the header; the reader is left
// on the record after it, with the header's separator. Raises a LogError when none of
// the first max_header_line lines is one, naming the line that looks most like a
// header, its columns as read, and what may cure it (how_read says how the text was
// decoded, for that message).
LogStart find_header(text::CsvReader& reader, const ColumnChoice& choice,
                     const std::function<std::string()>& how_read);

// The separator of a line: whichever of ',', ';' and tab it holds most often outside
// quotes; ',' when it holds none.
char separator_of(std::string_view line);

} // namespace quemador::log
