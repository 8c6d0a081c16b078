// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/log.h"

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "log/dates.h"
#include "log/header.h"
#include "log/log_error.h"
#include "log/reading.h"
#include "text/names.h"
#include "text/numbers.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <span>

namespace quemador::log {
namespace {

using text::CsvReader;
using text::CsvWriter;
using text::DecimalComma;
using text::LineEnd;
using text::trimmed;

constexpr std::uint64_t progress_every = 4096;
// °F. Flue gas leaves a boiler that does not condense well above the boiling point of
// water: readings mostly below it, with no unit declared, are likely °C.
constexpr double boiling_point_f = 212.0;
constexpr std::size_t none = Columns::none;
// How far the first rows are looked at, to see what the readings look like.
constexpr std::size_t first_rows = 20;
constexpr std::uint64_t first_rows_bytes = std::uint64_t{256} * 1024;
// A reading quoted in a note, at most.
constexpr std::size_t quoted_bytes = 40;

// What this program adds to a record, in the order of result_column_names.
enum class Result { excess_air, efficiency, net, corrected, saving, notes };
constexpr std::size_t result_kinds = static_cast<std::size_t>(Result::notes) + 1;
static_assert(result_kinds == result_column_names.size());

struct ResultColumn {
    Result result;
    std::string_view name;
};

ResultColumn column_of(Result result)
{
    return {result, result_column_names.at(static_cast<std::size_t>(result))};
}

// The columns this program adds to a log, in their order: the window's two results,
// the net efficiency, the gross one corrected for the air (where the log gives an air
// temperature), the fuel saved (with a target), and the notes last.
std::vector<ResultColumn> result_columns(bool corrected, bool saving)
{
    std::vector<ResultColumn> columns = {column_of(Result::excess_air),
                                         column_of(Result::efficiency), column_of(Result::net)};
    if (corrected)
        columns.push_back(column_of(Result::corrected));
    if (saving)
        columns.push_back(column_of(Result::saving));
    columns.push_back(column_of(Result::notes));
    return columns;
}

// A result's text in an outcome, as the window shows it; the notes are not in it.
std::string& text_of(Outcome& outcome, Result result)
{
    switch (result) {
    case Result::excess_air:
        return outcome.excess_air;
    case Result::efficiency:
        return outcome.efficiency;
    case Result::net:
        return outcome.net;
    case Result::corrected:
        return outcome.corrected;
    case Result::saving:
    case Result::notes:
        break;
    }
    return outcome.saving;
}

std::string_view field_at(const std::vector<std::string_view>& fields, std::size_t index)
{
    return index < fields.size() ? fields[index] : std::string_view();
}

void add_note(std::string& notes, std::string_view message, std::string_view between)
{
    if (!notes.empty())
        notes += between;
    notes += message;
}

// A record as the reader read it.
struct Row {
    const std::vector<std::string_view>& fields;
    const CsvReader& reader;

    [[nodiscard]] std::string_view at(std::size_t index) const { return field_at(fields, index); }
    // A decimal comma is read where the log takes one, and in a quoted field of a
    // comma-separated log, where the quotes leave no doubt.
    [[nodiscard]] DecimalComma comma(std::size_t index, DecimalComma log) const
    {
        return log == DecimalComma::accepted || reader.quoted(index) ? DecimalComma::accepted
                                                                     : DecimalComma::rejected;
    }
    bool number(std::size_t index, DecimalComma log, double& value) const
    {
        return text::parse_number(at(index), comma(index, log), value);
    }
};

// Where the results go in each row: in the header's own result columns (a log this
// program wrote), or appended after the header's columns.
struct Layout {
    std::vector<ResultColumn> columns; // the results, the notes last
    std::size_t width = 0;             // the header's columns
    std::vector<std::size_t> in_place; // by result: its column in the header, or none
    std::vector<std::size_t> appended; // results, by index into columns

    Layout(const std::vector<std::string>& header, std::vector<ResultColumn> results)
        : columns(std::move(results)), width(header.size()), in_place(columns.size(), none)
    {
        for (std::size_t k = 0; k < columns.size(); ++k) {
            const auto at = std::find(header.begin(), header.end(), columns[k].name);
            if (at != header.end())
                in_place[k] = static_cast<std::size_t>(at - header.begin());
            else
                appended.push_back(k);
        }
    }

    // The result written in a column of the header; none for a column of the log's own.
    [[nodiscard]] std::size_t result_in(std::size_t column) const
    {
        const auto at = std::find(in_place.begin(), in_place.end(), column);
        return at == in_place.end() ? none : static_cast<std::size_t>(at - in_place.begin());
    }

    // Writes a row: its fields padded to the header's width, the results in their
    // columns, then the fields beyond the header's width. raw is the record as read,
    // when it can be written as it is; plain_results, when the results hold nothing
    // that needs quotes.
    void write(CsvWriter& writer, const std::vector<std::string_view>& fields,
               std::optional<std::string_view> raw, std::span<const std::string_view> results,
               LineEnd end, bool plain_results) const
    {
        if (raw && appended.size() == columns.size() && fields.size() <= width) {
            // Most rows: as read, padded, and the results after them.
            writer.fields_as_read(*raw);
            for (std::size_t i = fields.size(); i < width; ++i)
                writer.plain_field("");
            for (std::size_t k = 0; k + 1 < results.size(); ++k) {
                if (plain_results)
                    writer.plain_field(results[k]);
                else
                    writer.field(results[k]);
            }
            writer.field(results.back());
            writer.end_record(end);
            return;
        }
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t k = result_in(i);
            writer.field(k == none ? field_at(fields, i) : results[k]);
        }
        for (const std::size_t k : appended)
            writer.field(results[k]);
        for (std::size_t i = width; i < fields.size(); ++i)
            writer.field(fields[i]);
        writer.end_record(end);
    }

    // The header's line, with the names of the results appended.
    void write_header(CsvWriter& writer, const std::vector<std::string>& header, LineEnd end) const
    {
        for (const std::string& name : header)
            writer.field(name);
        for (const std::size_t k : appended)
            writer.field(columns[k].name);
        writer.end_record(end);
    }
};

bool is_blank(const std::vector<std::string_view>& fields)
{
    return std::all_of(fields.begin(), fields.end(),
                       [](std::string_view field) { return text::is_blank(field); });
}

// Whether a record is a units line: units or empty cells, one unit at least.
bool is_units_line(const std::vector<std::string_view>& fields)
{
    return std::all_of(fields.begin(), fields.end(), is_unit_cell) && !is_blank(fields);
}

// The cell that makes a record a spreadsheet's footer row ("Media", "Máximo"); empty
// for a row of readings. The word stands where a reading's date or name would, in a
// cell before the readings.
std::string_view footer_cell(const std::vector<std::string_view>& fields, const Columns& columns)
{
    const std::size_t readings =
        std::min({columns[Column::o2], columns[Column::temperature], fields.size()});
    for (std::size_t i = 0; i < readings; ++i) {
        if (is_footer_cell(fields[i]))
            return trimmed(fields[i]);
    }
    return {};
}

// Whether a cell begins as a number does.
bool begins_as_number(std::string_view cell)
{
    const char c = cell.empty() ? 'x' : cell.front();
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == ',';
}

// Whether a record is a header of its own: it names an oxygen and a temperature column.
// Only a record whose oxygen cell does not begin as a number can be one.
bool is_header(const std::vector<std::string_view>& fields, std::string_view o2_cell)
{
    return !begins_as_number(o2_cell) && find_columns(fields, {}).names_readings();
}

enum class RowKind { calculated, out_of_range, error };

// What became of one record: its reading's outcome, and the notes written with it.
struct RowResults {
    RowKind kind = RowKind::error;
    bool doubtful = false;
    Outcome outcome;
    std::string notes;
};

enum class UnitSource { option, units_line, header, none };

// What a section's first rows show of its readings, as a look-ahead: oxygen written
// as a fraction (0.047 for 4.7 %), or temperatures in °C in a log that does not say.
struct FirstRows {
    std::vector<double> o2;
    std::uint64_t temperatures = 0;
    std::uint64_t below_boiling = 0; // in °F

    [[nodiscard]] bool o2_fraction() const
    {
        // One low reading may be real; all of several below 1 % are not.
        return o2.size() >= 2 &&
            std::all_of(o2.begin(), o2.end(), [](double x) { return x >= 0.0 && x < 1.0; }) &&
            std::any_of(o2.begin(), o2.end(), [](double x) { return x > 0.0; });
    }
};

// The rows under one header: its columns, its unit, where its results go, and how
// each of its records is read and calculated.
class Section {
public:
    Section(std::vector<std::string> header, std::uint64_t line, const Columns& columns,
            char separator, const LogOptions& options)
        : header_(std::move(header)), line_(line), columns_(columns),
          layout_(header_,
                  result_columns(columns.has(Column::air) || options.air.has_value(),
                                 options.target_o2.has_value())),
          options_(options), separator_(separator),
          comma_(separator == ',' ? DecimalComma::rejected : DecimalComma::accepted),
          problem_(columns_problem(header_, columns))
    {
    }

    // Sets the temperature unit, from the options, the units line or the header.
    void set_unit(std::optional<TemperatureUnit> units_line)
    {
        std::string_view named;
        if (columns_.has(Column::temperature))
            named = header_.at(columns_[Column::temperature]);
        if (options_.unit)
            unit_ = {*options_.unit, UnitSource::option};
        else if (units_line)
            unit_ = {*units_line, UnitSource::units_line};
        else if (const auto declared = unit_named(named))
            unit_ = {*declared, UnitSource::header};
        celsius_ = unit_.first == TemperatureUnit::celsius;
        shared_ = shared_comparison();
    }

    // Looks at the first rows, and goes back to them.
    void look_ahead(CsvReader& reader)
    {
        reader.mark();
        const std::uint64_t start = reader.bytes_read();
        std::vector<std::string_view> fields;
        for (std::size_t rows = 0; rows < first_rows && reader.next(fields);) {
            if (reader.too_long() || reader.bytes_read() - start > first_rows_bytes)
                break;
            if (is_blank(fields) || !footer_cell(fields, columns_).empty())
                continue;
            const Row row{fields, reader};
            double o2 = 0.0;
            const bool o2_read = row.number(columns_[Column::o2], comma_, o2);
            if (!o2_read && is_header(fields, row.at(columns_[Column::o2])))
                break;
            ++rows;
            if (o2_read)
                first_.o2.push_back(o2);
            if (double t = 0.0; row.number(columns_[Column::temperature], comma_, t)) {
                ++first_.temperatures;
                first_.below_boiling += in_fahrenheit(t) < boiling_point_f ? 1 : 0;
            }
        }
        reader.rewind();
        o2_fraction_ = first_.o2_fraction();
        celsius_looking_ =
            unit_.second == UnitSource::none && first_.below_boiling * 2 > first_.temperatures;
    }

    [[nodiscard]] bool o2_fraction() const { return o2_fraction_; }
    [[nodiscard]] bool celsius_looking() const { return celsius_looking_; }

    void calculate(const Row& row, RowResults& out)
    {
        out.notes.clear();
        out.kind = RowKind::error;
        out.doubtful = false;
        if (!problem_.empty()) {
            out.notes = problem_;
            return;
        }
        Reading reading;
        if (!read(row, reading, out.notes))
            return;
        // The readings as written, which the notices quote without the blanks around.
        const AdviceStyle style{results_comma() == DecimalComma::accepted,
                                celsius_,
                                row.at(columns_[Column::o2]),
                                row.at(columns_[Column::co2]),
                                row.at(columns_[Column::temperature]),
                                {}};
        evaluate(reading, out.outcome, style, comparison(row, out.notes));
        if (!out.outcome.shown()) {
            out.notes = out.outcome.failure;
            return;
        }
        doubts(reading, trimmed(style.o2_text), out);
        for (const auto& message : out.outcome.advice)
            add_note(out.notes, message, " ");
        out.kind = out.outcome.outside_model ? RowKind::out_of_range : RowKind::calculated;
    }

    // The decimal mark of the results: the log's, as its first reading with decimals
    // shows it; until one does, a comma with ';' and a point otherwise.
    [[nodiscard]] DecimalComma results_comma() const
    {
        return mark_.value_or(separator_ == ';' ? DecimalComma::accepted : DecimalComma::rejected);
    }
    // Whether results can be written without looking for what needs quotes: a decimal
    // comma in a comma-separated log does.
    [[nodiscard]] bool plain_results() const
    {
        return !(separator_ == ',' && results_comma() == DecimalComma::accepted);
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
    [[nodiscard]] const std::string& problem() const { return problem_; }
    [[nodiscard]] std::pair<TemperatureUnit, UnitSource> unit() const { return unit_; }
    [[nodiscard]] DecimalComma comma() const { return comma_; }

private:
    [[nodiscard]] double in_fahrenheit(double t) const
    {
        return celsius_ ? celsius_to_fahrenheit(t) : t;
    }

    // What every record is compared with: the option's air temperature and the target.
    [[nodiscard]] Comparison shared_comparison() const
    {
        Comparison shared;
        if (options_.air)
            shared.air_f = in_fahrenheit(*options_.air);
        shared.target_o2 = options_.target_o2;
        if (options_.target_temp)
            shared.target_temp_f = in_fahrenheit(*options_.target_temp);
        return shared;
    }

    // What a record is compared with: the shared comparison, with the record's own air
    // temperature where the log has a column for it.
    const Comparison& comparison(const Row& row, std::string& notes)
    {
        if (!columns_.has(Column::air))
            return shared_;
        own_ = shared_;
        if (text::is_blank(row.at(columns_[Column::air]))) {
            if (!options_.air)
                add_note(notes,
                         "sin temperatura del aire: la eficiencia neta supone 60 °F y no hay "
                         "corregida",
                         " ");
        } else if (double air = 0.0; number(row, columns_[Column::air], "aire", notes, air)) {
            own_.air_f = in_fahrenheit(air);
        }
        return own_;
    }

    // What the first rows showed, said on every row they concern.
    void doubts(const Reading& reading, std::string_view o2_cell, RowResults& out) const
    {
        if (o2_fraction_ || celsius_looking_)
            first_rows_doubts(reading, o2_cell, out);
        out.doubtful = out.doubtful || out.outcome.doubtful;
    }

    [[gnu::noinline]] void first_rows_doubts(const Reading& reading, std::string_view o2_cell,
                                             RowResults& out) const
    {
        if (o2_fraction_) {
            out.doubtful = true;
            std::string percent = plain_number(reading.o2 * 100.0);
            add_note(out.notes,
                     "O2 de " + std::string(o2_cell) +
                         ": las primeras lecturas de O2 son todas menores que 1, como si el "
                         "registro las diera en tanto por uno (" +
                         std::string(text::in_file(percent, results_comma())) +
                         " %); si es así, multiplique la columna por 100.",
                     " ");
        }
        if (celsius_looking_) {
            out.doubtful = true;
            add_note(out.notes,
                     "La temperatura no dice su unidad y se lee en °F, pero parece en °C: si lo "
                     "es, repita con --celsius.",
                     " ");
        }
    }

    // Reads the fuel and the readings of a record; otherwise says why in notes.
    bool read(const Row& row, Reading& reading, std::string& notes)
    {
        const auto fuel = fuel_of(row, notes);
        double temp = 0.0;
        const bool o2_read = number(row, columns_[Column::o2], "O2", notes, reading.o2);
        const bool temp_read =
            number(row, columns_[Column::temperature], "temperatura", notes, temp);
        bool co2_read = true; // no CO2 measured: an empty field or no column
        if (columns_.has(Column::co2) && !text::is_blank(row.at(columns_[Column::co2]))) {
            double co2 = 0.0;
            co2_read = number(row, columns_[Column::co2], "CO2", notes, co2);
            reading.co2 = co2;
        }
        if (!fuel || !o2_read || !temp_read || !co2_read)
            return false;
        reading.fuel = *fuel;
        reading.temp_f = in_fahrenheit(temp);
        return true;
    }

    // Reads a field as a number into value; otherwise says why in notes. (A flag and a
    // reference: an optional number read back at once after it was written costs every
    // row a stall.)
    bool number(const Row& row, std::size_t index, std::string_view what, std::string& notes,
                double& value)
    {
        const std::string_view cell = row.at(index);
        const DecimalComma mark = row.comma(index, comma_);
        if (!mark_) {
            if (cell.find(',') != std::string_view::npos && mark == DecimalComma::accepted)
                mark_ = DecimalComma::accepted;
            else if (cell.find('.') != std::string_view::npos)
                mark_ = DecimalComma::rejected;
        }
        if (text::parse_number(cell, mark, value))
            return true;
        not_a_number(cell, what, notes);
        return false;
    }

    // Why a cell is not a number, for its row's notes.
    [[gnu::noinline]] static void not_a_number(std::string_view cell, std::string_view what,
                                               std::string& notes)
    {
        if (text::is_blank(cell))
            add_note(notes, "falta el valor de " + std::string(what), "; ");
        else
            add_note(notes, std::string(what) + " ilegible: " + quoted(cell, quoted_bytes), "; ");
    }

    std::optional<Fuel> fuel_of(const Row& row, std::string& notes) const
    {
        const std::string_view cell = row.at(columns_[Column::fuel]);
        if (!columns_.has(Column::fuel) || text::is_blank(cell)) {
            if (!options_.fuel)
                add_note(notes, "falta el combustible", "; ");
            return options_.fuel;
        }
        const auto fuel = fuel_named(cell);
        if (!fuel)
            not_a_fuel(cell, notes);
        return fuel;
    }

    [[gnu::noinline]] static void not_a_fuel(std::string_view cell, std::string& notes)
    {
        add_note(notes, unknown_fuel(trimmed(cell)), "; ");
    }

    std::vector<std::string> header_;
    std::uint64_t line_;
    Columns columns_;
    Layout layout_;
    const LogOptions& options_;
    char separator_;
    DecimalComma comma_;
    std::string problem_;
    std::pair<TemperatureUnit, UnitSource> unit_{TemperatureUnit::fahrenheit, UnitSource::none};
    bool celsius_ = false;
    std::optional<DecimalComma> mark_;
    FirstRows first_;
    bool o2_fraction_ = false;
    bool celsius_looking_ = false;
    Comparison shared_;
    Comparison own_; // the record's, when the log has an air column
};

std::string separator_name(char separator)
{
    return separator == '\t' ? "tabulador" : "«" + std::string(1, separator) + "»";
}

std::string unit_text(std::pair<TemperatureUnit, UnitSource> unit)
{
    const std::string name = unit.first == TemperatureUnit::celsius ? "°C" : "°F";
    switch (unit.second) {
    case UnitSource::option:
        return "en " + name +
            (unit.first == TemperatureUnit::celsius ? " por --celsius" : " por --fahrenheit");
    case UnitSource::units_line:
        return "en " + name + " según la línea de unidades";
    case UnitSource::header:
        return "en " + name + " según el encabezado";
    case UnitSource::none:
        break;
    }
    return "sin unidad: °F";
}

// The columns of a section, as the summary names them.
std::string columns_note(const Section& section, const LogOptions& options)
{
    const std::vector<std::string>& header = section.header();
    const Columns& columns = section.columns();
    std::string note = "columnas:";
    for (const ColumnKind& kind : column_kinds()) {
        const auto k = static_cast<std::size_t>(kind.column);
        std::string said;
        if (columns.has(kind.column))
            said = std::string(kind.what) + " " + column_text(header, columns[kind.column]);
        if (kind.column == Column::temperature) {
            said += " " + unit_text(section.unit());
            if (columns.passed_over.at(k) != none)
                said += " (no " + column_text(header, columns.passed_over.at(k)) +
                    ", que no dice de qué es)";
        } else if (kind.column == Column::co2 && said.empty()) {
            said = "sin CO2";
        } else if (kind.column == Column::air && said.empty() && !options.air) {
            said = "sin aire: la eficiencia neta supone 60 °F";
        }
        if (!said.empty())
            note += (note.back() == ':' ? " " : ", ") + said;
    }
    if (options.fuel)
        note += std::string(columns.has(Column::fuel) ? " (si falta, " : ", combustible: ") +
            std::string(facts(*options.fuel).name) + (columns.has(Column::fuel) ? ")" : "");
    return note;
}

// What a section's first rows showed, for the summary.
std::vector<std::string> first_rows_notes(const Section& section)
{
    std::vector<std::string> notes;
    const FirstRows& first = section.first();
    if (section.celsius_looking())
        notes.push_back("la temperatura no dice su unidad y se lee en °F, pero " +
                        std::to_string(first.below_boiling) + " de las primeras " +
                        std::to_string(first.temperatures) +
                        " lecturas están por debajo de 212: si son °C, repita con --celsius "
                        "(cada fila lo dice en aviso)");
    if (section.o2_fraction())
        notes.push_back("las primeras " + std::to_string(first.o2.size()) +
                        " lecturas de O2 son todas menores que 1: parecen fracciones, no %; "
                        "multiplique la columna por 100 (cada fila lo dice en aviso)");
    return notes;
}

// Each result over the rows calculated, by Result (the notes have none), and the
// analyser's efficiency less the net one.
struct Totals {
    std::array<Spread, result_kinds - 1> spreads{};
    Differences analyser;
    std::uint64_t read = 0;

    Spread& spread(Result result) { return spreads.at(static_cast<std::size_t>(result)); }
};

// The moment of a record, from its date column and the time column beside it; none when
// the section has no date column or a cell is not a date or a time.
std::optional<Moment> moment_of(const Row& row, const Columns& columns)
{
    if (!columns.has(Column::date))
        return std::nullopt;
    auto moment = date_of(row.at(columns[Column::date]));
    if (moment && columns.has(Column::time) && !moment->seconds) {
        moment->seconds = time_of(row.at(columns[Column::time]));
        if (!moment->seconds)
            return std::nullopt;
    }
    return moment;
}

// Reads a log's records after its header, writes each with its results, and counts it.
class LogRun {
public:
    LogRun(const LogOptions& options, CsvReader& reader, CsvWriter& writer, LogSummary& summary,
           bool over_time)
        : options_(options), reader_(reader), writer_(writer), summary_(summary),
          over_time_(over_time), needs_dates_(summary.grouping == Grouping::month ||
                                              (options.chart != nullptr && over_time)),
          describing_(summary.grouping != Grouping::none || options.chart != nullptr)
    {
    }

    // Starts the rows under a header: writes the header and a units line under it, and
    // looks at the first rows.
    void begin(std::unique_ptr<Section> section, LineEnd end)
    {
        section_ = std::move(section);
        for (const ResultColumn& column : section_->layout().columns)
            used_.at(static_cast<std::size_t>(column.result)) = true;
        section_->set_unit(header_lines(end));
        section_->look_ahead(reader_);
    }

    // Reads the records to the end of the log.
    void run()
    {
        while (reader_.next(fields_))
            record();
    }

    [[nodiscard]] const Section& section() const { return *section_; }
    [[nodiscard]] std::uint64_t units_line() const { return units_line_; }

    // The results of every section, over the rows calculated.
    void finish()
    {
        summary_.results = results_of(totals_);
        summary_.analyser_difference = totals_.analyser;
        finish_groups();
        summary_.comma = section_->results_comma();
        if (repeated_headers_ > 0)
            summary_.notes.push_back(
                "el encabezado se repite " + std::to_string(repeated_headers_) +
                (repeated_headers_ == 1 ? " vez" : " veces") + " (la primera, en la línea " +
                std::to_string(first_repeat_) + "): se copia como está");
        if (summary_.footers > 0)
            summary_.notes.push_back(
                std::to_string(summary_.footers) +
                (summary_.footers == 1 ? " fila de totales" : " filas de totales") + " («" +
                first_footer_ + "», la primera en la línea " + std::to_string(first_footer_line_) +
                ") copiadas sin calcular: no son lecturas");
    }

    // What the summary says of the headers after the first.
    [[nodiscard]] const std::vector<std::string>& later_notes() const { return later_notes_; }

private:
    void record()
    {
        if (const std::uint64_t line = reader_.unclosed_quote_line(); line > 0) {
            ++summary_.unclosed_quotes;
            options_.report("línea " + std::to_string(line) +
                            ": comillas sin cerrar; la línea se lee como una fila, con las "
                            "comillas como texto");
        }
        const Layout& layout = section_->layout();
        if (reader_.too_long()) {
            ++summary_.read;
            row_.kind = RowKind::error;
            row_.doubtful = false;
            row_.notes = "fila de más de 1 MiB: no se lee";
            count();
            if (options_.notice)
                tell();
            layout.write(writer_, fields_, std::nullopt, gather(false), reader_.line_end(), true);
            return;
        }
        // A blank line, or a row of empty cells as spreadsheets leave below a table,
        // is copied as it is.
        if (is_blank(fields_)) {
            writer_.fields_as_read(reader_.raw_record());
            writer_.end_record(reader_.line_end());
            return;
        }
        if (const std::string_view footer = footer_cell(fields_, section_->columns());
            !footer.empty()) {
            footer_row(footer);
            return;
        }
        if (const std::string_view o2_cell = field_at(fields_, section_->columns()[Column::o2]);
            !begins_as_number(o2_cell) && is_header(fields_, o2_cell)) {
            header_row();
            return;
        }
        ++summary_.read;
        summary_.reshaped += fields_.size() != layout.width ? 1 : 0;
        const Row row{fields_, reader_};
        section_->calculate(row, row_);
        count();
        const bool written = row_.kind == RowKind::calculated ||
            (row_.kind == RowKind::out_of_range && options_.all_results);
        const auto results = gather(written);
        if (row_.kind == RowKind::calculated)
            add(totals_, row);
        if (describing_)
            describe(row);
        if (!row_.notes.empty() && options_.notice)
            tell();
        layout.write(writer_, fields_, raw(), results, reader_.line_end(),
                     section_->plain_results());
        if (summary_.read % progress_every == 0)
            options_.progress(summary_.read, reader_.bytes_read());
    }

    // A record read with its quotes as text is written field by field, so that they
    // come out quoted; any other as it was read.
    [[nodiscard]] std::optional<std::string_view> raw() const
    {
        return reader_.unclosed_quote_line() > 0 ? std::nullopt
                                                 : std::optional(reader_.raw_record());
    }

    void footer_row(std::string_view footer)
    {
        if (summary_.footers++ == 0) {
            first_footer_ = std::string(footer);
            first_footer_line_ = reader_.line();
        }
        row_.notes =
            "fila de totales («" + std::string(footer) + "»): no es una lectura, no se calcula";
        if (options_.notice)
            tell();
        section_->layout().write(writer_, fields_, raw(), gather(false), reader_.line_end(), true);
    }

    // Writes the section's header line, and a units line when one comes under it; gives
    // the units line's temperature unit.
    std::optional<TemperatureUnit> header_lines(LineEnd end)
    {
        const Layout& layout = section_->layout();
        layout.write_header(writer_, section_->header(), end);
        reader_.mark();
        if (!reader_.next(fields_) || reader_.too_long() || !is_units_line(fields_)) {
            units_line_ = 0;
            reader_.rewind();
            return std::nullopt;
        }
        reader_.unmark();
        units_line_ = reader_.line();
        std::vector<std::string_view> units(layout.columns.size(), "%");
        units.back() = "";
        layout.write(writer_, fields_, std::nullopt, units, reader_.line_end(), true);
        return unit_named(field_at(fields_, section_->columns()[Column::temperature]));
    }

    // A header further down: the same one again is copied; another one starts the rows
    // under it afresh.
    void header_row()
    {
        const std::vector<std::string>& header = section_->header();
        const std::uint64_t line = reader_.line();
        if (fields_.size() == header.size() &&
            std::equal(fields_.begin(), fields_.end(), header.begin())) {
            if (repeated_headers_++ == 0)
                first_repeat_ = line;
            header_lines(reader_.line_end());
            return;
        }
        const std::vector<std::string> fields(fields_.begin(), fields_.end());
        auto next = std::make_unique<Section>(fields, line, find_columns(fields_, options_.columns),
                                              reader_.separator(), options_);
        begin(std::move(next), reader_.line_end());
        std::string note = "otro encabezado en la línea " + std::to_string(line);
        if (units_line_ > 0)
            note += ", unidades en la línea " + std::to_string(units_line_);
        if (!section_->problem().empty()) {
            later_notes_.push_back(note + ": " + section_->problem() +
                                   "; sus filas no se calculan");
            return;
        }
        later_notes_.push_back(note + "; " + columns_note(*section_, options_));
        const std::vector<std::string> first = first_rows_notes(*section_);
        later_notes_.insert(later_notes_.end(), first.begin(), first.end());
    }

    // Counts a row and reports it when it has no result.
    void count()
    {
        summary_.doubtful += row_.doubtful ? 1 : 0;
        switch (row_.kind) {
        case RowKind::calculated:
            ++summary_.calculated;
            summary_.with_advice += row_.notes.empty() ? 0 : 1;
            return;
        case RowKind::out_of_range:
            ++summary_.out_of_range;
            break;
        case RowKind::error:
            ++summary_.with_errors;
            break;
        }
        report_row();
    }

    [[gnu::noinline]] void report_row() const
    {
        options_.report("línea " + std::to_string(reader_.line()) + ": " + row_.notes);
    }

    // Sets the row's texts for the layout's columns, and gives them.
    std::span<const std::string_view> gather(bool written)
    {
        const Layout& layout = section_->layout();
        for (std::size_t k = 0; k < layout.columns.size(); ++k) {
            const Result result = layout.columns[k].result;
            if (result == Result::notes)
                texts_.at(k) = row_.notes;
            else if (written)
                texts_.at(k) =
                    text::in_file(text_of(row_.outcome, result), section_->results_comma());
            else
                texts_.at(k) = {};
        }
        return {texts_.data(), layout.columns.size()};
    }

    // A calculated row's results, and how far the analyser's efficiency is from the net.
    void add(Totals& totals, const Row& row) const
    {
        const Outcome& outcome = row_.outcome;
        totals.spread(Result::excess_air).add(outcome.results->excess_air);
        totals.spread(Result::efficiency).add(outcome.results->efficiency);
        if (!outcome.figures.net)
            return;
        totals.spread(Result::net).add(*outcome.figures.net);
        if (outcome.figures.corrected)
            totals.spread(Result::corrected).add(*outcome.figures.corrected);
        if (outcome.figures.saving)
            totals.spread(Result::saving).add(*outcome.figures.saving);
        if (double analyser = 0.0; section_->analyser(row, analyser))
            totals.analyser.add(analyser - *outcome.figures.net, reader_.line());
    }

    // The results a section wrote, by their header, from totals.
    [[nodiscard]] std::vector<std::pair<std::string, Spread>> results_of(const Totals& totals) const
    {
        std::vector<std::pair<std::string, Spread>> results;
        for (std::size_t k = 0; k + 1 < result_kinds; ++k) {
            if (used_.at(k))
                results.emplace_back(result_column_names.at(k), totals.spreads.at(k));
        }
        return results;
    }

    [[gnu::noinline]] void tell() const
    {
        options_.notice(RowNotice{reader_.line(), row_.notes, section_->header(), fields_});
    }

    // Whose and when a row is: its group's figures, and its points on the chart.
    [[gnu::noinline]] void describe(const Row& row)
    {
        const Columns& columns = section_->columns();
        const std::string_view boiler =
            columns.has(Column::boiler) ? trimmed(row.at(columns[Column::boiler])) : "";
        std::optional<Moment> moment;
        if (needs_dates_) {
            moment = moment_of(row, columns);
            if (!moment && summary_.undated++ == 0) {
                summary_.first_undated_line = reader_.line();
                summary_.first_undated = std::string(
                    columns.has(Column::date) ? trimmed(row.at(columns[Column::date])) : "");
            }
        }
        const Grouping grouping = summary_.grouping;
        if (grouping == Grouping::boiler || (grouping == Grouping::month && moment)) {
            Totals& group =
                group_of(grouping == Grouping::boiler || summary_.by_boiler ? boiler : "",
                         grouping == Grouping::month ? month_of(moment->days) : 0);
            ++group.read;
            if (row_.kind == RowKind::calculated)
                add(group, row);
        }
        if (options_.chart != nullptr)
            chart(row, boiler, moment);
    }

    void chart(const Row& row, std::string_view boiler, const std::optional<Moment>& moment)
    {
        ChartData& chart = *options_.chart;
        if (over_time_ && !moment) {
            chart.count_undated();
            return;
        }
        chart.count_row();
        const double x = over_time_ ? moment->since_epoch() : static_cast<double>(reader_.line());
        double o2 = 0.0;
        const bool o2_read = row.number(section_->columns()[Column::o2], section_->comma(), o2);
        const Outcome& outcome = row_.outcome;
        if (row_.kind == RowKind::calculated) {
            chart.add(boiler, Measure::gross, x, outcome.results->efficiency);
            if (outcome.figures.net)
                chart.add(boiler, Measure::net, x, *outcome.figures.net);
            chart.add(boiler, Measure::o2, x, o2);
        }
        if (o2_read && row_.kind == RowKind::out_of_range)
            chart.add(boiler, Measure::outside, x, o2);
        else if (o2_read && !row_.notes.empty())
            chart.add(boiler, Measure::notices, x, o2);
    }

    // The figures of a boiler's rows, a month's or a boiler's month.
    Totals& group_of(std::string_view boiler, std::int32_t month)
    {
        if (last_group_ < groups_.size() && month == last_month_ && boiler == last_boiler_)
            return groups_[last_group_].second;
        const auto order = boilers_.emplace(std::string(boiler), boilers_.size()).first->second;
        const auto [at, added] = group_index_.emplace(std::pair(order, month), groups_.size());
        if (added)
            groups_.emplace_back(std::pair(std::string(boiler), month), Totals{});
        last_group_ = at->second;
        last_boiler_ = boiler;
        last_month_ = month;
        return groups_[last_group_].second;
    }

    // The groups in order (boilers as the log names them first, months in order), and
    // what the summary says of the rows without a date.
    void finish_groups()
    {
        for (const auto& [key, index] : group_index_) {
            const auto& [name, month] = groups_[index].first;
            const Totals& totals = groups_[index].second;
            Group group;
            group.boiler = name;
            group.month = month;
            group.read = totals.read;
            group.results = results_of(totals);
            group.analyser_difference = totals.analyser;
            summary_.groups.push_back(std::move(group));
        }
        if (summary_.undated == 0)
            return;
        std::string note = std::to_string(summary_.undated) +
            (summary_.undated == 1 ? " fila sin fecha legible" : " filas sin fecha legible") +
            " (la primera en la línea " + std::to_string(summary_.first_undated_line) +
            (summary_.first_undated.empty() ? ", vacía"
                                            : ": " + quoted(summary_.first_undated, 40)) +
            ")";
        if (summary_.grouping == Grouping::month)
            note += ": no entra en ningún mes";
        if (options_.chart != nullptr)
            note += summary_.grouping == Grouping::month ? " ni en el gráfico"
                                                         : ": no entra en el gráfico";
        summary_.notes.push_back(note);
    }

    const LogOptions& options_;
    CsvReader& reader_;
    CsvWriter& writer_;
    LogSummary& summary_;
    std::unique_ptr<Section> section_;
    std::uint64_t units_line_ = 0;
    std::vector<std::string_view> fields_;
    RowResults row_;
    // The row's results in the layout's order, in the log's decimal mark.
    std::array<std::string_view, result_kinds> texts_{};
    // The whole log's figures, and which results a section wrote.
    Totals totals_;
    std::array<bool, result_kinds> used_{};
    // The groups' figures, by boiler (numbered as the log names them) and month, and the
    // last one found, looked at first: rows come in runs of one boiler and one month.
    bool over_time_;
    bool needs_dates_;
    bool describing_;
    std::map<std::string, std::size_t, std::less<>> boilers_;
    std::map<std::pair<std::size_t, std::int32_t>, std::size_t> group_index_;
    std::vector<std::pair<std::pair<std::string, std::int32_t>, Totals>> groups_;
    std::size_t last_group_ = static_cast<std::size_t>(-1);
    std::string last_boiler_;
    std::int32_t last_month_ = 0;
    std::vector<std::string> later_notes_;
    std::uint64_t repeated_headers_ = 0;
    std::uint64_t first_repeat_ = 0;
    std::string first_footer_;
    std::uint64_t first_footer_line_ = 0;
};

// What was read and how: the encoding, for the notes and the message of a log without
// a header.
std::string how_read(const text::DecodingSource& decoded)
{
    return std::string(text::encoding_name(decoded.encoding())) +
        (decoded.had_bom() ? " con BOM" : "");
}

// What the summary says of the encodings: bytes that were no character, or that look
// like another encoding, and an output written in another encoding than the input's.
void encoding_notes(const text::DecodingSource& decoded, const text::EncodingSink& sink,
                    LogSummary& summary)
{
    const std::string name(text::encoding_name(decoded.encoding()));
    if (decoded.replaced() > 0)
        summary.notes.push_back(std::to_string(decoded.replaced()) +
                                " bytes no son caracteres en " + name +
                                " y se leyeron como «\xEF\xBF\xBD»");
    if (decoded.not_utf8() > 0)
        summary.notes.push_back(std::to_string(decoded.not_utf8()) +
                                " bytes no son utf-8 y se copian como están; si el archivo es "
                                "windows-1252, repita con --codificacion windows-1252");
    if (decoded.utf8_looking() > 0)
        summary.notes.emplace_back("hay texto que parece utf-8 leído como windows-1252; si el "
                                   "archivo es utf-8, repita con --codificacion utf-8");
    if (sink.encoding() && *sink.encoding() != decoded.encoding())
        summary.notes.push_back("la salida se escribe en " +
                                std::string(text::encoding_name(*sink.encoding())) +
                                ": se empezó a escribir antes de saber que el registro es " + name);
    if (sink.approximated() > 0)
        summary.notes.push_back(
            std::to_string(sink.approximated()) + " caracteres se escribieron aproximados: " +
            std::string(text::encoding_name(sink.encoding().value_or(decoded.encoding()))) +
            " no los tiene");
}

// What the summary groups by: the option's choice, which needs its column, or by
// boiler when the log names its boilers.
Grouping grouping_of(const Columns& columns, const LogOptions& options)
{
    const Grouping grouping =
        options.grouping.value_or(columns.has(Column::boiler) ? Grouping::boiler : Grouping::none);
    if (grouping == Grouping::boiler && !columns.has(Column::boiler))
        throw LogError("no hay columna de caldera para agrupar por caldera (Caldera, Equipo, "
                       "Generador, Boiler): nómbrela con --col-caldera");
    if (grouping == Grouping::month && !columns.has(Column::date))
        throw LogError("no hay columna de fecha para agrupar por mes (Fecha, Fecha y hora, "
                       "Date): nómbrela con --col-fecha");
    return grouping;
}

} // namespace

LogSummary process_log(text::ByteSource& input, text::ByteSink& output, const LogOptions& options)
{
    text::DecodingSource decoded(input, options.encoding);
    CsvReader reader(decoded, ',');
    const LogStart start =
        find_header(reader, options.columns, [&decoded] { return how_read(decoded); });
    std::vector<std::string_view> header_fields(start.header.begin(), start.header.end());
    const Columns columns = find_columns(header_fields, options.columns);
    if (const std::string problem = columns_problem(start.header, columns); !problem.empty())
        throw LogError(problem);
    if (!columns.has(Column::fuel) && !options.fuel)
        throw LogError("falta el combustible: indique --combustible o añada una columna "
                       "Combustible");

    LogSummary summary;
    summary.grouping = grouping_of(columns, options);
    summary.by_boiler = summary.grouping == Grouping::month && columns.has(Column::boiler);
    summary.separator = start.separator;
    summary.header_line = start.header_line;
    if (columns.has(Column::analyser))
        summary.analyser_column = start.header.at(columns[Column::analyser]);

    text::EncodingSink sink(output, decoded);
    CsvWriter writer(sink, start.separator, start.line_end);
    writer.raw(start.above);
    if (start.unclosed_quote_line > 0) {
        ++summary.unclosed_quotes;
        options.report(
            "línea " + std::to_string(start.unclosed_quote_line) +
            ": comillas sin cerrar en el encabezado; se lee con las comillas como texto");
    }
    if (options.chart != nullptr)
        options.chart->set_over_time(columns.has(Column::date));
    LogRun run(options, reader, writer, summary, columns.has(Column::date));
    run.begin(std::make_unique<Section>(start.header, start.header_line, columns, start.separator,
                                        options),
              start.line_end);
    // The first header's notes are made now: its section ends at the next header.
    std::string described = "encabezado en la línea " + std::to_string(start.header_line);
    if (run.units_line() > 0)
        described += ", unidades en la línea " + std::to_string(run.units_line());
    std::vector<std::string> first_notes = first_rows_notes(run.section());
    first_notes.insert(first_notes.begin(), columns_note(run.section(), options));
    run.run();
    writer.flush();
    sink.flush();
    run.finish();

    std::vector<std::string> notes = {"leído como " + how_read(decoded) + ", separador " +
                                      separator_name(start.separator) + "; " + described};
    notes.insert(notes.end(), first_notes.begin(), first_notes.end());
    notes.insert(notes.end(), run.later_notes().begin(), run.later_notes().end());
    notes.insert(notes.end(), summary.notes.begin(), summary.notes.end());
    summary.notes = std::move(notes);
    encoding_notes(decoded, sink, summary);
    return summary;
}

} // namespace quemador::log
