// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/csv_log.h"

#include "cli/numbers.h"
#include "cli/reading.h"
#include "cli/usage_error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <span>

namespace quemador::cli {
namespace {

constexpr std::uint64_t progress_every = 4096;
// °F. Flue gas leaves a boiler that does not condense well above the boiling point of
// water: readings mostly below it, with no unit declared, are likely °C.
constexpr double boiling_point_f = 212.0;
constexpr std::size_t none = Columns::none;

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

// The rest of a text already read, then the source.
class PrefixSource : public ByteSource {
public:
    PrefixSource(std::string_view prefix, ByteSource& source) : prefix_(prefix), source_(source) {}
    std::size_t read(char* buffer, std::size_t size) override
    {
        if (prefix_.empty())
            return source_.read(buffer, size);
        const std::size_t n = std::min(size, prefix_.size());
        std::memcpy(buffer, prefix_.data(), n);
        prefix_.remove_prefix(n);
        return n;
    }

private:
    std::string_view prefix_;
    ByteSource& source_;
};

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
    // when it can be written as it is.
    void write(CsvWriter& writer, const std::vector<std::string_view>& fields,
               std::optional<std::string_view> raw, std::span<const std::string_view> results) const
    {
        if (raw && appended.size() == columns.size() && fields.size() <= width) {
            // Most rows: as read, padded, and the results after them. The numbers hold
            // digits, a sign and the decimal mark that is not the separator: nothing to
            // look for.
            writer.fields_as_read(*raw);
            for (std::size_t i = fields.size(); i < width; ++i)
                writer.plain_field("");
            for (std::size_t k = 0; k + 1 < results.size(); ++k)
                writer.plain_field(results[k]);
            writer.field(results.back());
            writer.end_record();
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
        writer.end_record();
    }
};

// Whether a record is a units line: units or empty cells, one unit at least.
bool is_units_line(const std::vector<std::string_view>& fields)
{
    return std::all_of(fields.begin(), fields.end(), is_unit_cell) &&
        std::any_of(fields.begin(), fields.end(),
                    [](std::string_view cell) { return !trimmed(cell).empty(); });
}

enum class RowKind { calculated, out_of_range, error };

// What became of one record: its reading's outcome, and the notes written with it.
struct RowResults {
    RowKind kind = RowKind::error;
    Outcome outcome;
    std::string notes;
};

enum class UnitSource { option, units_line, header, none };

class LogProcessor {
public:
    LogProcessor(const Columns& columns, char separator, TemperatureUnit unit,
                 const LogOptions& options)
        : options_(options), columns_(columns), separator_(separator),
          comma_(separator == ',' ? DecimalComma::rejected : DecimalComma::accepted),
          celsius_(unit == TemperatureUnit::celsius), shared_(shared_comparison())
    {
    }

    void calculate(const std::vector<std::string_view>& fields, RowResults& out)
    {
        out.notes.clear();
        out.kind = RowKind::error;
        Reading reading;
        if (!read(fields, reading, out.notes))
            return;
        const AdviceStyle style{results_comma() == DecimalComma::accepted, celsius_,
                                field_at(fields, columns_.o2), field_at(fields, columns_.co2),
                                field_at(fields, columns_.temperature)};
        evaluate(reading, out.outcome, style, comparison(fields, out.notes));
        if (!out.outcome.shown()) {
            out.notes = out.outcome.failure;
            return;
        }
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

    // The analyser's efficiency in a record, where the log has a column for it.
    [[nodiscard]] std::optional<double> analyser(const std::vector<std::string_view>& fields) const
    {
        double value = 0.0;
        if (columns_.analyser == none ||
            !read_number(field_at(fields, columns_.analyser), comma_, value))
            return std::nullopt;
        return value;
    }

    // Temperatures read, and how many of them lie below the boiling point in °F.
    [[nodiscard]] std::uint64_t temperatures() const { return temperatures_; }
    [[nodiscard]] std::uint64_t below_boiling() const { return below_boiling_; }

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
    const Comparison& comparison(const std::vector<std::string_view>& fields, std::string& notes)
    {
        if (columns_.air == none)
            return shared_;
        own_ = shared_;
        double air = 0.0;
        if (trimmed(field_at(fields, columns_.air)).empty()) {
            if (!options_.air)
                add_note(notes,
                         "sin temperatura del aire: la eficiencia neta supone 60 °F y no hay "
                         "corregida",
                         " ");
        } else if (number(fields, columns_.air, "aire", notes, air)) {
            own_.air_f = in_fahrenheit(air);
        }
        return own_;
    }

    // Reads the fuel and the readings of a record; otherwise says why in notes.
    bool read(const std::vector<std::string_view>& fields, Reading& reading, std::string& notes)
    {
        const auto fuel = fuel_of(fields, notes);
        double temp = 0.0;
        const bool o2_read = number(fields, columns_.o2, "O2", notes, reading.o2);
        const bool temp_read = number(fields, columns_.temperature, "temperatura", notes, temp);
        bool co2_read = true; // no CO2 measured: an empty field or no column
        if (columns_.co2 != none && !trimmed(field_at(fields, columns_.co2)).empty()) {
            double co2 = 0.0;
            co2_read = number(fields, columns_.co2, "CO2", notes, co2);
            reading.co2 = co2;
        }
        if (!fuel || !o2_read || !temp_read || !co2_read)
            return false;
        reading.fuel = *fuel;
        reading.temp_f = in_fahrenheit(temp);
        ++temperatures_;
        below_boiling_ += reading.temp_f < boiling_point_f ? 1 : 0;
        return true;
    }

    // Reads a field as a number into value; otherwise says why in notes.
    bool number(const std::vector<std::string_view>& fields, std::size_t index,
                std::string_view what, std::string& notes, double& value)
    {
        const std::string_view text = field_at(fields, index);
        if (!mark_) {
            if (text.find(',') != std::string_view::npos && comma_ == DecimalComma::accepted)
                mark_ = DecimalComma::accepted;
            else if (text.find('.') != std::string_view::npos)
                mark_ = DecimalComma::rejected;
        }
        if (read_number(text, comma_, value))
            return true;
        if (trimmed(text).empty())
            add_note(notes, "falta el valor de " + std::string(what), "; ");
        else
            add_note(notes, std::string(what) + " ilegible: «" + std::string(text) + "»", "; ");
        return false;
    }

    std::optional<Fuel> fuel_of(const std::vector<std::string_view>& fields,
                                std::string& notes) const
    {
        const std::string_view text = trimmed(field_at(fields, columns_.fuel));
        if (columns_.fuel == none || text.empty()) {
            if (!options_.fuel)
                add_note(notes, "falta el combustible", "; ");
            return options_.fuel;
        }
        const auto fuel = fuel_named(text);
        if (!fuel)
            add_note(notes, unknown_fuel(text), "; ");
        return fuel;
    }

    const LogOptions& options_;
    Columns columns_;
    char separator_;
    DecimalComma comma_;
    std::optional<DecimalComma> mark_;
    bool celsius_;
    Comparison shared_;
    Comparison own_; // the record's, when the log has an air column
    std::uint64_t temperatures_ = 0;
    std::uint64_t below_boiling_ = 0;
};

std::string separator_name(char separator)
{
    return separator == '\t' ? "tabulador" : "«" + std::string(1, separator) + "»";
}

std::string column_text(const std::vector<std::string>& header, std::size_t column)
{
    return "«" + header.at(column) + "» (" + std::to_string(column + 1) + ")";
}

std::string unit_text(TemperatureUnit unit, UnitSource source)
{
    const std::string name = unit == TemperatureUnit::celsius ? "°C" : "°F";
    switch (source) {
    case UnitSource::option:
        return "en " + name +
            (unit == TemperatureUnit::celsius ? " por --celsius" : " por --fahrenheit");
    case UnitSource::units_line:
        return "en " + name + " según la línea de unidades";
    case UnitSource::header:
        return "en " + name + " según el encabezado";
    case UnitSource::none:
        break;
    }
    return "sin unidad: °F";
}

std::string columns_note(const std::vector<std::string>& header, const Columns& columns,
                         const std::string& unit, const LogOptions& options)
{
    std::string text = "columnas: O2 " + column_text(header, columns.o2) + ", temperatura " +
        column_text(header, columns.temperature) + " " + unit;
    text += columns.co2 == none ? ", sin CO2" : ", CO2 " + column_text(header, columns.co2);
    if (columns.fuel != none)
        text += ", combustible " + column_text(header, columns.fuel);
    if (columns.air != none)
        text += ", aire " + column_text(header, columns.air);
    else if (!options.air)
        text += ", sin aire: la eficiencia neta supone 60 °F";
    if (columns.analyser != none)
        text += ", eficiencia del analizador " + column_text(header, columns.analyser);
    if (options.fuel)
        text += std::string(columns.fuel != none ? " (si falta, " : ", combustible: ") +
            std::string(facts(*options.fuel).name) + (columns.fuel != none ? ")" : "");
    return text;
}

// The unit of the temperature column and where it comes from.
std::pair<TemperatureUnit, UnitSource> temperature_unit(const LogOptions& options,
                                                        std::optional<TemperatureUnit> units_line,
                                                        std::string_view header)
{
    if (options.unit)
        return {*options.unit, UnitSource::option};
    if (units_line)
        return {*units_line, UnitSource::units_line};
    if (const auto unit = unit_named(header))
        return {*unit, UnitSource::header};
    return {TemperatureUnit::fahrenheit, UnitSource::none};
}

void check_columns(const Columns& columns, const LogOptions& options)
{
    const auto missing = [](const std::optional<std::string>& given, std::size_t column,
                            std::string_view option) {
        if (given && column == none)
            throw UsageError("no hay columna «" + *given + "» para " + std::string(option) +
                             " en el encabezado");
    };
    missing(options.columns.co2, columns.co2, "--col-co2");
    missing(options.columns.fuel, columns.fuel, "--col-combustible");
    if (columns.o2 == none || columns.temperature == none)
        throw UsageError("faltan las columnas de oxígeno o de temperatura en el encabezado");
    if (columns.fuel == none && !options.fuel)
        throw UsageError("falta el combustible: indique --combustible o añada una columna "
                         "Combustible");
}

// Counts a row and reports it when it has no result.
void count(const RowResults& row, LogSummary& summary, std::uint64_t line,
           const LogOptions& options)
{
    switch (row.kind) {
    case RowKind::calculated:
        ++summary.calculated;
        summary.with_advice += row.notes.empty() ? 0 : 1;
        return;
    case RowKind::out_of_range:
        ++summary.out_of_range;
        break;
    case RowKind::error:
        ++summary.with_errors;
        break;
    }
    options.report("línea " + std::to_string(line) + ": " + row.notes);
}

// Calculates each record of a log, writes it with its results and counts it.
struct RecordWriter {
    const LogOptions& options;
    const Layout& layout;
    CsvWriter& writer;
    LogProcessor& processor;
    LogSummary& summary;
    RowResults row;
    // The row's results in the layout's order, in the log's decimal mark; empty when
    // not written.
    std::array<std::string_view, result_kinds> texts{};
    // Each result over the rows calculated, by Result (the notes have none).
    std::array<Spread, result_kinds - 1> spreads{};

    // Sets the row's texts for the layout's columns, and gives them.
    std::span<const std::string_view> gather(bool written)
    {
        for (std::size_t k = 0; k < layout.columns.size(); ++k) {
            const Result result = layout.columns[k].result;
            if (result == Result::notes)
                texts[k] = row.notes;
            else if (written)
                texts[k] = in_file(text_of(row.outcome, result), processor.results_comma());
            else
                texts[k] = {};
        }
        return {texts.data(), layout.columns.size()};
    }

    // A calculated row's results, and how far the analyser's efficiency is from the net.
    void add_to_summary(const std::vector<std::string_view>& fields, std::uint64_t line)
    {
        const Outcome& outcome = row.outcome;
        spread(Result::excess_air).add(outcome.results->excess_air);
        spread(Result::efficiency).add(outcome.results->efficiency);
        if (!outcome.figures.net)
            return;
        spread(Result::net).add(*outcome.figures.net);
        if (outcome.figures.corrected)
            spread(Result::corrected).add(*outcome.figures.corrected);
        if (outcome.figures.saving)
            spread(Result::saving).add(*outcome.figures.saving);
        if (const auto analyser = processor.analyser(fields))
            summary.analyser_difference.add(*analyser - *outcome.figures.net, line);
    }

    Spread& spread(Result result) { return spreads.at(static_cast<std::size_t>(result)); }

    void write(const CsvReader& reader, const std::vector<std::string_view>& fields)
    {
        if (const std::uint64_t line = reader.unclosed_quote_line(); line > 0) {
            ++summary.unclosed_quotes;
            options.report("línea " + std::to_string(line) +
                           ": comillas sin cerrar; la línea se lee como una fila, con las "
                           "comillas como texto");
        }
        if (reader.too_long()) {
            ++summary.read;
            row.kind = RowKind::error;
            row.notes = "fila de más de 1 MiB: no se lee";
            count(row, summary, reader.line(), options);
            layout.write(writer, fields, std::nullopt, gather(false));
            return;
        }
        // A blank line, or a row of empty cells as spreadsheets leave below a table,
        // is copied as it is.
        if (std::all_of(fields.begin(), fields.end(),
                        [](std::string_view field) { return trimmed(field).empty(); })) {
            writer.fields_as_read(reader.raw_record());
            writer.end_record();
            return;
        }
        ++summary.read;
        summary.reshaped += fields.size() != layout.width ? 1 : 0;
        processor.calculate(fields, row);
        count(row, summary, reader.line(), options);
        const bool written = row.kind == RowKind::calculated ||
            (row.kind == RowKind::out_of_range && options.all_results);
        const auto results = gather(written);
        if (row.kind == RowKind::calculated)
            add_to_summary(fields, reader.line());
        // A record read with its quotes as text is written field by field, so that
        // they come out quoted.
        const auto raw =
            reader.unclosed_quote_line() > 0 ? std::nullopt : std::optional(reader.raw_record());
        layout.write(writer, fields, raw, results);
        if (summary.read % progress_every == 0)
            options.progress(summary.read, reader.bytes_read());
    }
};

// What the summary says of what was read and how, past the counts.
struct ReadAs {
    std::string how_read;
    const LogStart& start;
    bool units_line;
    std::string unit;
    bool unit_declared;
};

void describe(const ReadAs& read_as, const std::vector<std::string>& header, const Columns& columns,
              const LogProcessor& processor, const LogOptions& options, LogSummary& summary)
{
    std::string described = "leído como " + read_as.how_read + ", separador " +
        separator_name(read_as.start.separator) + "; encabezado en la línea " +
        std::to_string(read_as.start.header_line);
    if (read_as.units_line)
        described += ", unidades en la línea " + std::to_string(read_as.start.header_line + 1);
    summary.notes.push_back(described);
    summary.notes.push_back(columns_note(header, columns, read_as.unit, options));
    if (!read_as.unit_declared && processor.below_boiling() * 2 > processor.temperatures())
        summary.notes.push_back(
            "la temperatura no dice su unidad y se lee en °F, pero " +
            std::to_string(processor.below_boiling()) + " de " +
            std::to_string(processor.temperatures()) +
            " lecturas están por debajo de 212: si son °C, repita con --celsius");
}

} // namespace

LogSummary process_log(ByteSource& input, ByteSink& output, const LogOptions& options)
{
    DecodingSource decoded(input, options.encoding);
    decoded.detect();
    const std::string how_read =
        std::string(encoding_name(decoded.encoding())) + (decoded.had_bom() ? " con BOM" : "");
    const LogStart start = find_header(decoded, options.columns, how_read);
    PrefixSource rest(std::string_view(start.text).substr(start.header_begin), decoded);
    CsvReader reader(rest, start.separator, start.header_line);
    std::vector<std::string_view> fields;
    reader.next(fields);
    const std::vector<std::string> header(fields.begin(), fields.end());
    const Columns columns = find_columns(fields, options.columns);
    check_columns(columns, options);
    const Layout layout(header,
                        result_columns(columns.air != none || options.air.has_value(),
                                       options.target_o2.has_value()));
    const std::uint64_t header_quote_line = reader.unclosed_quote_line();

    EncodingSink sink(output, decoded.encoding(), decoded.had_bom());
    CsvWriter writer(sink, start.separator, reader.crlf());
    writer.raw(std::string_view(start.text).substr(0, start.header_begin));
    for (const std::string& name : header)
        writer.field(name);
    for (const std::size_t k : layout.appended)
        writer.field(layout.columns[k].name);
    writer.end_record();

    LogSummary summary;
    if (columns.analyser != none)
        summary.analyser_column = header.at(columns.analyser);
    summary.separator = start.separator;
    summary.header_line = start.header_line;
    if (header_quote_line > 0) {
        ++summary.unclosed_quotes;
        options.report(
            "línea " + std::to_string(header_quote_line) +
            ": comillas sin cerrar en el encabezado; se lee con las comillas como texto");
    }
    bool more = reader.next(fields);
    std::optional<TemperatureUnit> units_line_unit;
    const bool units_line = more && is_units_line(fields);
    if (units_line) {
        units_line_unit = unit_named(field_at(fields, columns.temperature));
        std::vector<std::string_view> units(layout.columns.size(), "%");
        units.back() = "";
        layout.write(writer, fields, std::nullopt, units);
        more = reader.next(fields);
    }
    const auto [unit, unit_source] =
        temperature_unit(options, units_line_unit, header.at(columns.temperature));
    LogProcessor processor(columns, start.separator, unit, options);

    RecordWriter records{options, layout, writer, processor, summary, {}, {}, {}};
    for (; more; more = reader.next(fields))
        records.write(reader, fields);
    writer.flush();
    sink.flush();
    for (const ResultColumn& column : layout.columns) {
        if (column.result != Result::notes)
            summary.results.emplace_back(column.name, records.spread(column.result));
    }
    summary.comma = processor.results_comma();

    describe({how_read, start, units_line, unit_text(unit, unit_source),
              unit_source != UnitSource::none},
             header, columns, processor, options, summary);
    if (decoded.invalid() > 0)
        summary.notes.push_back(std::to_string(decoded.invalid()) + " bytes no son caracteres en " +
                                std::string(encoding_name(decoded.encoding())) +
                                " y se leyeron como «\xEF\xBF\xBD»");
    if (sink.approximated() > 0)
        summary.notes.push_back(std::to_string(sink.approximated()) +
                                " caracteres se escribieron aproximados: " +
                                std::string(encoding_name(decoded.encoding())) + " no los tiene");
    return summary;
}

} // namespace quemador::cli
