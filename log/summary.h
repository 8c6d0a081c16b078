// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a log's reading says of it as a whole: what was read and how, the rows
// counted by what became of them, and each result's spread over the rows calculated.

#include "log/columns.h"
#include "log/note.h"
#include "text/encoding.h"
#include "text/numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quemador::log {

struct Verdict;

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
    // Takes in another set's spread.
    void merge(const Spread& other)
    {
        least = std::min(least, other.least);
        greatest = std::max(greatest, other.greatest);
        sum += other.sum;
        count += other.count;
    }
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
    // Takes in another set's differences; of two as large, the first in the file.
    void merge(const Differences& other)
    {
        if (other.count == 0)
            return;
        if (count == 0 || std::abs(other.largest) > std::abs(largest) ||
            (std::abs(other.largest) == std::abs(largest) && other.largest_line < largest_line)) {
            largest = other.largest;
            largest_line = other.largest_line;
        }
        Spread::merge(other);
    }
};

// What the summary gathers its figures by, past the whole log: each boiler, or each
// month (of each boiler, when the log has boilers: a month that mixes a gas boiler with
// an oil one means nothing).
enum class Grouping { none, boiler, month };

// Groups a summary keeps, at most: the rows of any other are counted together, in one
// group of "otras".
inline constexpr std::size_t most_groups = 10000;

// The figures of the rows of one boiler, one month, or one boiler's month.
struct Group {
    bool others = false;    // the rows of every group past most_groups, together
    std::string boiler;     // as the log first writes it, blanks around left out
    std::int32_t month = 0; // year × 12 + month − 1, or no_month (log/dates.h)
    std::uint64_t read = 0; // rows of readings
    std::uint64_t with_notices = 0;
    // Each result over the rows calculated, as LogSummary::results.
    std::vector<std::pair<std::string, Spread>> results;
    Differences analyser_difference;
};

// Where a section of the log (its rows under one header) found its readings: each
// column by its kind, its header and its number (from 1), and its temperatures' unit
// with where that comes from.
struct ColumnRead {
    Column column = Column::o2;
    std::string header;
    std::uint64_t number = 0;
};
struct SectionRead {
    std::uint64_t line = 0; // of its header
    std::vector<ColumnRead> columns;
    TemperatureUnit unit = TemperatureUnit::fahrenheit;
    // "opcion", "linea_de_unidades", "encabezado", or "ninguna" (°F for want of one)
    std::string_view unit_source = "ninguna";
};

struct LogSummary {
    std::uint64_t read = 0;         // rows of readings
    std::uint64_t calculated = 0;   // with results
    std::uint64_t with_advice = 0;  // among those calculated
    std::uint64_t out_of_range = 0; // readings the model does not describe
    std::uint64_t with_errors = 0;  // unreadable, without a result, or too long
    std::uint64_t reshaped = 0;     // shorter or longer than the header
    // Rows with results that a notice doubts: the whole log's first rows look wrong (an
    // oxygen fraction, °C read as °F), or a target would mislead.
    std::uint64_t doubtful = 0;
    // Rows whose CO air-free is past the limit (calculation/net_efficiency.h): the burner
    // makes CO and reducing its air would be dangerous. Counted among the doubtful.
    std::uint64_t dangerous_co = 0;
    // A spreadsheet's footer rows (Media, Máximo, …), copied without a result.
    std::uint64_t footers = 0;
    // The line of the header, from 1.
    std::uint64_t header_line = 0;
    // Records with a quote not closed properly, read as plain lines.
    std::uint64_t unclosed_quotes = 0;
    // Rows whose date can only be read in another order than their date column's.
    std::uint64_t misdated = 0;
    // What was read and how, one line each: the encoding, separator and header line,
    // the columns and the temperature unit with where it comes from, and anything
    // the user should check.
    std::vector<Note> notes;
    // The sections whose columns could be read, in order.
    std::vector<SectionRead> sections;
    // Each result column over the rows calculated, by its header, in order.
    std::vector<std::pair<std::string, Spread>> results;
    // The analyser's efficiency less the net one, over the rows that have both, and
    // the analyser's column as its header names it; empty when the log has none.
    std::string analyser_column;
    Differences analyser_difference;
    // The groups, when the summary has them: boilers in the order the log names them,
    // months in order; by_boiler says whether a month grouping is also by boiler.
    Grouping grouping = Grouping::none;
    bool by_boiler = false;
    std::vector<Group> groups;
    // Each boiler's months, in order, when the verdict was asked for: the rows without a
    // readable date in the month no_month; past most_groups, left out.
    std::vector<Group> months;
    // Rows of readings without a readable date, where the months or a chart over time
    // want one: in the month "(sin fecha)", left out of the chart.
    std::uint64_t undated = 0;
    // How the log writes numbers and text, for a summary in its style.
    char separator = ',';
    text::DecimalComma comma = text::DecimalComma::rejected;
    text::Encoding encoding = text::Encoding::utf8;

    // Whether every row was calculated, nothing doubts a result, and every row is where
    // it was asked to be.
    [[nodiscard]] bool complete() const
    {
        return with_errors == 0 && out_of_range == 0 && unclosed_quotes == 0 && doubtful == 0 &&
            misdated == 0 && (grouping != Grouping::month || undated == 0);
    }
};

// Takes a further log's summary into one of several logs read as one (a year in monthly
// files): its counts and figures added, its groups merged with those of the same boiler
// (whatever its case and accents) and month, its notes after a line naming its file.
// How numbers and text are written stays the first log's.
void merge_summary(LogSummary& into, const LogSummary& from, std::string_view file);

// The summary's figures, one line each: every result over the rows calculated, and the
// analyser's efficiency beside the net one.
std::vector<std::string> summary_lines(const LogSummary& summary);

// The groups' figures, a heading and one line a group: its rows, and each result's mean,
// least and greatest; none without groups.
std::vector<std::string> group_lines(const LogSummary& summary);

// Everything the summary says after the rows' own reports and before the counts: how
// the log was read (in a face's words), each result's spread, and the groups.
std::vector<std::string> closing_lines(const LogSummary& summary, RemedyWords words);

// The rows counted by what became of them, in one line.
std::string counts_line(const LogSummary& summary);

// The summary's figures as a table, in the log's decimal mark: a row for each result
// and one for the analyser's difference, under a header; with groups, a row for each
// group, and the mean, least and greatest of each result in its columns. With a verdict
// and groups of boilers, each row ends with its boiler's verdict (log/verdict.h).
std::vector<std::vector<std::string>> summary_table(const LogSummary& summary,
                                                    const Verdict* verdict = nullptr);

// The summary's table as CSV, in the log's separator and decimal mark.
std::string summary_csv(const LogSummary& summary, const Verdict* verdict = nullptr);

// The summary's CSV as a file for the log's user: in the log's encoding, with a byte
// order mark in a Unicode one, so that a spreadsheet reads it as it read the log.
std::string summary_file(const LogSummary& summary, const Verdict* verdict = nullptr);

} // namespace quemador::log
