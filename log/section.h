// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The rows under one header of a log: how a record is told apart (a reading, a blank
// line, a units line, a footer, another header), and how a section reads and
// calculates its readings.

#include "log/layout.h"
#include "log/log.h"
#include "text/numbers.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quemador::log {

void add_note(std::string& notes, std::string_view message, std::string_view between);

// A record as the reader read it: its fields, and for each whether it was quoted (empty
// when none was).
struct Row {
    const std::vector<std::string_view>& fields;
    std::span<const std::uint8_t> quoted;

    [[nodiscard]] std::string_view at(std::size_t index) const { return field_at(fields, index); }
    // A decimal comma is read where the log takes one, and in a quoted field of a
    // comma-separated log, where the quotes leave no doubt.
    [[nodiscard]] text::DecimalComma comma(std::size_t index, text::DecimalComma log) const
    {
        return log == text::DecimalComma::accepted || (index < quoted.size() && quoted[index] != 0)
            ? text::DecimalComma::accepted
            : text::DecimalComma::rejected;
    }
    bool number(std::size_t index, text::DecimalComma log, double& value) const
    {
        return text::parse_number(at(index), comma(index, log), value);
    }
};

bool is_blank(const std::vector<std::string_view>& fields);

// Whether a record is a units line: units or empty cells, one unit at least.
bool is_units_line(const std::vector<std::string_view>& fields);

// The cell that makes a record a spreadsheet's footer row ("Media", "Máximo"); empty
// for a row of readings. The word stands where a reading's date or name would, in a
// cell before the readings.
std::string_view footer_cell(const std::vector<std::string_view>& fields, const Columns& columns);

// Whether a cell begins as a number does.
bool begins_as_number(std::string_view cell);

// Whether a record is a header of its own: it names an oxygen and a temperature column.
// Only a record whose oxygen cell does not begin as a number can be one.
bool is_header(const std::vector<std::string_view>& fields, std::string_view o2_cell);

enum class RowKind { calculated, out_of_range, error };

// The figures a log's section writes: those the options name, or those it can give of
// the default ones.
std::vector<FigureKind> figures_of(const Columns& columns, const LogOptions& options);

// A figure asked for that a section cannot give: it needs an air temperature, a target or
// a CO reading that the log and the options do not give; none when it can give them all.
std::optional<FigureKind> figure_not_given(const Columns& columns, const LogOptions& options);

// What became of one record: its reading's outcome, and the notes written with it.
struct RowResults {
    RowKind kind = RowKind::error;
    bool doubtful = false;
    Report report;
    std::string notes;
};

// A common row's results, as the short way gives them: the model's, the net
// efficiency, and the texts of the three (those the section does not write, empty).
struct CommonRow {
    Results results;
    double net = 0.0;
    std::array<std::string, 3> texts; // excess air, efficiency, net
};

enum class UnitSource { option, units_line, header, none };

// What a section's first rows show of its readings, as a look-ahead: oxygen written
// as a fraction (0.047 for 4.7 %), temperatures in °C in a log that does not say, or
// boilers in a column not named as theirs.
struct FirstRows {
    std::vector<double> o2;
    std::uint64_t temperatures = 0;
    std::uint64_t below_boiling = 0; // in °F
    // A column of a few short texts that repeat, as boilers' names do, in a section
    // without a boiler column; and its texts.
    std::size_t boiler_like = Columns::none;
    std::vector<std::string> boiler_names;

    [[nodiscard]] bool o2_fraction() const;
};

// The rows under one header: its columns, its unit, where its results go, and how
// each of its records is read and calculated.
class Section {
public:
    Section(std::vector<std::string> header, std::uint64_t line, const Columns& columns,
            char separator, const LogOptions& options);

    // Sets the temperature unit, from the options, the units line or the header.
    void set_unit(std::optional<TemperatureUnit> units_line);

    // Looks at the first rows, and goes back to them.
    void look_ahead(text::CsvReader& reader);

    [[nodiscard]] bool o2_fraction() const { return o2_fraction_; }
    [[nodiscard]] bool celsius_looking() const { return celsius_looking_; }

    // Reads and calculates a record. The common row (its section asks only the window's
    // two figures and the net efficiency and has no air, CO or first rows' doubt to
    // add, and the row needs no note) takes a short way with the same checks, leaving
    // out what is there for every other row; the rest, and every row with
    // LogOptions::general_path, take the general way. Both give the same.
    void calculate(const Row& row, RowResults& out);

    // Whether the section's rows may take the short way.
    [[nodiscard]] bool common() const { return common_; }
    // The short way alone, for a record read ahead: false when the row is not a common
    // one. It changes nothing of the section: take, when the row's turn comes, takes
    // its decimal mark as calculate does, and puts its results into out.
    bool common_results(const Row& row, CommonRow& common) const;
    void take(const Row& row, CommonRow& common, RowResults& out);

    // The decimal mark of the results: the log's, as its first reading with decimals
    // shows it; until one does, a comma with ';' and a point otherwise.
    [[nodiscard]] text::DecimalComma results_comma() const
    {
        return mark_.value_or(separator_ == ';' ? text::DecimalComma::accepted
                                                : text::DecimalComma::rejected);
    }
    // The decimal mark of the results once a reading has shown it; it never changes
    // after.
    [[nodiscard]] std::optional<text::DecimalComma> settled_comma() const { return mark_; }
    // Whether results can be written without looking for what needs quotes: a decimal
    // comma in a comma-separated log does.
    [[nodiscard]] bool plain_results() const { return plain_results(results_comma()); }
    [[nodiscard]] bool plain_results(text::DecimalComma comma) const
    {
        return !(separator_ == ',' && comma == text::DecimalComma::accepted);
    }

    // The analyser's efficiency in a record, where the log has a column for it.
    bool analyser(const Row& row, double& value) const
    {
        return columns_.has(Column::analyser) &&
            row.number(columns_[Column::analyser], comma_, value);
    }

    [[nodiscard]] const std::vector<std::string>& header() const { return header_; }
    [[nodiscard]] std::uint64_t line() const { return line_; }
    [[nodiscard]] const Columns& columns() const { return columns_; }
    [[nodiscard]] const Layout& layout() const { return layout_; }
    [[nodiscard]] const FirstRows& first() const { return first_; }
    // Why the section's rows cannot be read, when they cannot.
    [[nodiscard]] const std::optional<Note>& problem() const { return problem_; }
    [[nodiscard]] std::pair<TemperatureUnit, UnitSource> unit() const { return unit_; }
    [[nodiscard]] text::DecimalComma comma() const { return comma_; }

private:
    [[nodiscard]] double in_fahrenheit(double t) const;
    // What every record is compared with: the option's air temperature and the target.
    [[nodiscard]] Comparison shared_comparison() const;
    // What a record is compared with: the shared comparison, with the record's own air
    // temperature where the log has a column for it.
    const Comparison& comparison(const Row& row, std::string& notes);
    // The log's decimal mark, from the first readings that show it.
    void take_marks(const Row& row);
    void take_mark(const Row& row, std::size_t index);
    // What the first rows showed, said on every row they concern.
    void doubts(const Reading& reading, std::string_view o2_cell, RowResults& out) const;
    void first_rows_doubts(const Reading& reading, std::string_view o2_cell, RowResults& out) const;
    // Reads the fuel and the readings of a record; otherwise says why in notes.
    bool read(const Row& row, Reading& reading, std::string& notes);
    // Reads a record's CO, when its cell is not empty (apart: most logs have none).
    bool co_of(const Row& row, Reading& reading, std::string& notes);
    // Reads a field as a number into value; otherwise says why in notes. (A flag and a
    // reference: an optional number read back at once after it was written costs every
    // row a stall.)
    bool number(const Row& row, std::size_t index, std::string_view what, std::string& notes,
                double& value);
    std::optional<Fuel> fuel_of(const Row& row, std::string& notes) const;
    // Looks for a column that names boilers without being named as theirs.
    void boiler_like(const std::vector<std::vector<std::string>>& texts);

    std::vector<std::string> header_;
    std::uint64_t line_;
    Columns columns_;
    Layout layout_;
    FigureSet figures_; // those the layout writes, asked of each reading
    const LogOptions& options_;
    char separator_;
    text::DecimalComma comma_;
    std::string problem_text_; // why the rows cannot be read, as each of them says it
    std::pair<TemperatureUnit, UnitSource> unit_{TemperatureUnit::fahrenheit, UnitSource::none};
    bool celsius_ = false;
    std::optional<text::DecimalComma> mark_;
    bool o2_fraction_ = false;
    bool celsius_looking_ = false;
    Comparison shared_;
    Comparison own_; // the record's, when the log has an air column
    FirstRows first_;
    std::optional<Note> problem_;
    bool common_ = false; // the section's rows may take the short way
    CommonRow common_row_;
};

} // namespace quemador::log
