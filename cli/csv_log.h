// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A whole log of readings in CSV: every line is copied to the output, in order, each
// record with its results and advice, one record at a time, in the encoding the log
// came in.

#include "cli/csv.h"
#include "cli/encoding.h"
#include "cli/log_header.h"
#include "cli/names.h"
#include "cli/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::cli {

struct LogOptions {
    // For records without a fuel of their own.
    std::optional<Fuel> fuel;
    // Overrides the unit that the header or its units line gives.
    std::optional<TemperatureUnit> unit;
    // The log's encoding, when it is not to be detected.
    std::optional<Encoding> encoding;
    // Columns named by the user, over those found by their header.
    ColumnChoice columns;
    // Results outside the model are written too, not only the reason.
    bool all_results = false;
    // In the log's temperature unit: the combustion air's temperature for rows without
    // one of their own, and a target's stack temperature. With a target oxygen, the
    // log gains the fuel a tuning to it would save.
    std::optional<double> air;
    std::optional<double> target_o2;
    std::optional<double> target_temp;
    // One line for the user (standard error): a record that could not be calculated.
    std::function<void(std::string_view)> report = [](std::string_view) {};
    // Called every few thousand records with the records and bytes read so far.
    std::function<void(std::uint64_t, std::uint64_t)> progress = [](std::uint64_t, std::uint64_t) {
    };
};

// The count, mean, least and greatest of a set of numbers.
struct Spread {
    std::uint64_t count = 0;
    double sum = 0.0;
    double least = std::numeric_limits<double>::infinity();
    double greatest = -std::numeric_limits<double>::infinity();

    void add(double x)
    {
        least = std::min(least, x);
        greatest = std::max(greatest, x);
        sum += x;
        ++count;
    }
    [[nodiscard]] double mean() const { return count > 0 ? sum / static_cast<double>(count) : 0.0; }
};

// A spread of differences, and the largest in magnitude with the line where it was.
struct Differences : Spread {
    double largest = 0.0; // with its sign
    std::uint64_t largest_line = 0;

    void add(double x, std::uint64_t line)
    {
        Spread::add(x);
        if (count == 1 || std::abs(x) > std::abs(largest)) {
            largest = x;
            largest_line = line;
        }
    }
};

struct LogSummary {
    std::uint64_t read = 0;
    std::uint64_t calculated = 0;
    std::uint64_t with_advice = 0;  // among those calculated
    std::uint64_t out_of_range = 0; // readings the model does not describe
    std::uint64_t with_errors = 0;  // unreadable, without a result, or too long
    std::uint64_t reshaped = 0;     // shorter or longer than the header
    // The line of the header, from 1.
    std::uint64_t header_line = 0;
    // Records with a quote not closed properly, read as plain lines.
    std::uint64_t unclosed_quotes = 0;
    // What was read and how, one line each: the encoding, separator and header line,
    // the columns and the temperature unit with where it comes from, and anything
    // the user should check.
    std::vector<std::string> notes;
    // Each result column over the rows calculated, by its header, in order.
    std::vector<std::pair<std::string, Spread>> results;
    // The analyser's efficiency less the net one, over the rows that have both, and
    // the analyser's column as its header names it; empty when the log has none.
    std::string analyser_column;
    Differences analyser_difference;
    // How the log writes numbers, for a summary in its style.
    char separator = ',';
    DecimalComma comma = DecimalComma::rejected;

    // Whether every record was calculated.
    [[nodiscard]] bool all_calculated() const
    {
        return with_errors == 0 && out_of_range == 0 && unclosed_quotes == 0;
    }
};

// Reads the log from input and writes it to output. The lines above the header and a
// units line under it are copied through; each record gets the columns exceso_aire,
// eficiencia and aviso, appended after the header's columns or in their place when the
// header has them already (a log written by this program). A record shorter than the
// header is padded to its width; a longer one keeps its extra fields after the
// results. A log whose header cannot be found, or an empty one, is a UsageError.
LogSummary process_log(ByteSource& input, ByteSink& output, const LogOptions& options);

} // namespace quemador::cli
