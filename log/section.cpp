// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/section.h"

#include "calculation/net_efficiency.h"
#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "log/dates.h"
#include "text/names.h"

#include <algorithm>

namespace quemador::log {
namespace {

using text::CsvReader;
using text::DecimalComma;
using text::trimmed;

// °F. Flue gas leaves a boiler that does not condense well above the boiling point of
// water: readings mostly below it, with no unit declared, are likely °C.
constexpr double boiling_point_f = 212.0;
// How far the first rows are looked at, to see what the readings look like.
constexpr std::size_t first_rows = 20;
constexpr std::uint64_t first_rows_bytes = std::uint64_t{256} * 1024;
// A reading quoted in a note, at most.
constexpr std::size_t quoted_bytes = 40;
// A column that names boilers: a few short texts, some of them repeated, in the first
// rows. The first columns only are looked at.
constexpr std::size_t boiler_like_columns = 64;
constexpr std::size_t boiler_like_most = 8;
constexpr std::size_t boiler_like_bytes = 32;
constexpr std::size_t boiler_like_rows = 4;

// Why a cell is not a number, for its row's notes.
[[gnu::noinline]] void not_a_number(std::string_view cell, std::string_view what,
                                    std::string& notes)
{
    if (text::is_blank(cell))
        add_note(notes, "falta el valor de " + std::string(what), "; ");
    else
        add_note(notes, std::string(what) + " ilegible: " + quoted(cell, quoted_bytes), "; ");
}

[[gnu::noinline]] void not_a_fuel(std::string_view cell, std::string& notes)
{
    add_note(notes, unknown_fuel(trimmed(cell)), "; ");
}

} // namespace

void add_note(std::string& notes, std::string_view message, std::string_view between)
{
    if (!notes.empty())
        notes += between;
    notes += message;
}

bool is_blank(const std::vector<std::string_view>& fields)
{
    return std::all_of(fields.begin(), fields.end(),
                       [](std::string_view field) { return text::is_blank(field); });
}

bool is_units_line(const std::vector<std::string_view>& fields)
{
    return std::all_of(fields.begin(), fields.end(), is_unit_cell) && !is_blank(fields);
}

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

bool begins_as_number(std::string_view cell)
{
    const char c = cell.empty() ? 'x' : cell.front();
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == ',';
}

bool is_header(const std::vector<std::string_view>& fields, std::string_view o2_cell)
{
    return !begins_as_number(o2_cell) && find_columns(fields, {}).names_readings();
}

bool FirstRows::o2_fraction() const
{
    // One low reading may be real; all of several below 1 % are not.
    return o2.size() >= 2 &&
        std::all_of(o2.begin(), o2.end(), [](double x) { return x >= 0.0 && x < 1.0; }) &&
        std::any_of(o2.begin(), o2.end(), [](double x) { return x > 0.0; });
}

namespace {

bool can_give(Need need, const Columns& columns, const LogOptions& options)
{
    switch (need) {
    case Need::air:
        return columns.has(Column::air) || options.air.has_value();
    case Need::target:
        return options.target_o2.has_value();
    case Need::co:
        return columns.has(Column::co);
    case Need::nothing:
        break;
    }
    return true;
}

FigureSet set_of(const std::vector<ResultColumn>& columns)
{
    FigureSet set;
    for (const ResultColumn& column : columns) {
        if (column.figure)
            set.set(index_of(*column.figure));
    }
    return set;
}

} // namespace

std::vector<FigureKind> figures_of(const Columns& columns, const LogOptions& options)
{
    if (!options.figures.empty())
        return options.figures;
    return default_figures(can_give(Need::air, columns, options),
                           can_give(Need::target, columns, options),
                           can_give(Need::co, columns, options));
}

std::optional<FigureKind> figure_not_given(const Columns& columns, const LogOptions& options)
{
    const auto not_given =
        std::find_if(options.figures.begin(), options.figures.end(), [&](FigureKind figure) {
            return !can_give(figure_facts(figure).need, columns, options);
        });
    return not_given != options.figures.end() ? std::optional(*not_given) : std::nullopt;
}

Section::Section(std::vector<std::string> header, std::uint64_t line, const Columns& columns,
                 char separator, const LogOptions& options)
    : header_(std::move(header)), line_(line), columns_(columns),
      layout_(header_, result_columns(figures_of(columns, options))),
      figures_(set_of(layout_.columns)), options_(options), separator_(separator),
      comma_(separator == ',' ? DecimalComma::rejected : DecimalComma::accepted),
      problem_(columns_problem(header_, columns))
{
    if (problem_)
        problem_text_ = worded(*problem_, plain_words);
}

void Section::set_unit(std::optional<TemperatureUnit> units_line)
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

void Section::look_ahead(CsvReader& reader)
{
    reader.mark();
    const std::uint64_t start = reader.bytes_read();
    std::vector<std::string_view> fields;
    // The texts of the columns that may name boilers, row by row.
    const bool boilers = !columns_.has(Column::boiler);
    std::vector<std::vector<std::string>> texts;
    for (std::size_t rows = 0; rows < first_rows && reader.next(fields);) {
        if (reader.too_long() || reader.bytes_read() - start > first_rows_bytes)
            break;
        if (is_blank(fields) || !footer_cell(fields, columns_).empty())
            continue;
        const Row row{fields, reader.quoted_fields()};
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
        if (boilers)
            texts.emplace_back(
                fields.begin(),
                fields.begin() +
                    static_cast<std::ptrdiff_t>(std::min(fields.size(), boiler_like_columns)));
    }
    reader.rewind();
    boiler_like(texts);
    o2_fraction_ = first_.o2_fraction();
    celsius_looking_ =
        unit_.second == UnitSource::none && first_.below_boiling * 2 > first_.temperatures;
    const FigureSet common_figures = FigureSet()
                                         .set(index_of(FigureKind::excess_air))
                                         .set(index_of(FigureKind::efficiency))
                                         .set(index_of(FigureKind::net));
    common_ = !options_.general_path && problem_text_.empty() && !o2_fraction_ &&
        !celsius_looking_ && !columns_.has(Column::air) && !columns_.has(Column::co) &&
        !shared_.air_f && !shared_.target_o2 && (figures_ & ~common_figures).none();
}

void Section::boiler_like(const std::vector<std::vector<std::string>>& texts)
{
    const auto named = [this](std::size_t column) {
        return std::find(columns_.index.begin(), columns_.index.end(), column) !=
            columns_.index.end();
    };
    for (std::size_t column = 0; column < std::min(header_.size(), boiler_like_columns); ++column) {
        if (named(column) || is_result_column(header_[column]))
            continue;
        std::vector<std::string> distinct;
        std::size_t cells = 0;
        bool names = true;
        for (const auto& row : texts) {
            const std::string_view text = column < row.size() ? trimmed(row[column]) : "";
            if (text.empty())
                continue;
            ++cells;
            names = names && text.size() <= boiler_like_bytes && !begins_as_number(text) &&
                !read_date(text).moment;
            if (std::find(distinct.begin(), distinct.end(), text) == distinct.end())
                distinct.emplace_back(text);
            if (!names || distinct.size() > boiler_like_most)
                break;
        }
        if (names && cells >= boiler_like_rows && distinct.size() >= 2 &&
            distinct.size() <= boiler_like_most && distinct.size() < cells) {
            first_.boiler_like = column;
            first_.boiler_names = std::move(distinct);
            return;
        }
    }
}

void Section::calculate(const Row& row, RowResults& out)
{
    if (common_ && common_results(row, common_row_)) {
        take(row, common_row_, out);
        return;
    }
    out.notes.clear();
    out.kind = RowKind::error;
    out.doubtful = false;
    if (!problem_text_.empty()) {
        out.notes = problem_text_;
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
                            row.at(columns_[Column::co])};
    evaluate(reading, out.report, style, comparison(row, out.notes), figures_);
    if (!out.report.shown()) {
        out.notes = out.report.failure;
        return;
    }
    doubts(reading, trimmed(style.o2_text), out);
    for (const auto& message : out.report.advice)
        add_note(out.notes, message, " ");
    out.kind = out.report.outside_model ? RowKind::out_of_range : RowKind::calculated;
}

// What read() and evaluate() do for a common row: the fuel and the three readings
// read, the model within its bounds, no advice, the net efficiency at the 60 °F the
// correlations assume, and no other figure. Advice sends the row the general way, so
// it is only looked for here, in any decimal mark.
bool Section::common_results(const Row& row, CommonRow& common) const
{
    const auto read_number = [&row, this](std::size_t index, double& value) {
        return text::parse_number(row.at(index), row.comma(index, comma_), value);
    };
    Reading reading;
    double temp = 0.0;
    const std::string_view fuel_cell = row.at(columns_[Column::fuel]);
    const auto fuel = !columns_.has(Column::fuel) || text::is_blank(fuel_cell)
        ? options_.fuel
        : fuel_named(fuel_cell);
    if (!fuel || !read_number(columns_[Column::o2], reading.o2) ||
        !read_number(columns_[Column::temperature], temp))
        return false;
    if (columns_.has(Column::co2) && !text::is_blank(row.at(columns_[Column::co2]))) {
        double co2 = 0.0;
        if (!read_number(columns_[Column::co2], co2))
            return false;
        reading.co2 = co2;
    }
    reading.fuel = *fuel;
    reading.temp_f = in_fahrenheit(temp);
    try {
        common.results = quemador::calculate(reading);
        if (!within_model(reading, common.results) || combustion_air_temp > reading.temp_f)
            return false;
        const AdviceStyle style{false,
                                celsius_,
                                row.at(columns_[Column::o2]),
                                row.at(columns_[Column::co2]),
                                row.at(columns_[Column::temperature]),
                                {}};
        if (!reading_advice(reading, common.results, style).empty())
            return false;
        common.net = net_efficiency(reading.fuel, reading.o2, fahrenheit_to_celsius(reading.temp_f),
                                    fahrenheit_to_celsius(combustion_air_temp));
        shown_result(common.results.excess_air, common.texts[0]);
        shown_result(common.results.efficiency, common.texts[1]);
        if (figures_[index_of(FigureKind::net)])
            shown_result(common.net, common.texts[2]);
        else
            common.texts[2].clear();
    } catch (const RuntimeError&) {
        return false;
    }
    return true;
}

void Section::take(const Row& row, CommonRow& common, RowResults& out)
{
    take_marks(row);
    Report& report = out.report;
    for (auto& value : report.values)
        value.reset();
    for (std::string& text : report.texts)
        text.clear();
    report.values[index_of(FigureKind::excess_air)] = common.results.excess_air;
    report.values[index_of(FigureKind::efficiency)] = common.results.efficiency;
    report.values[index_of(FigureKind::net)] = common.net;
    report.text(FigureKind::excess_air).swap(common.texts[0]);
    report.text(FigureKind::efficiency).swap(common.texts[1]);
    report.text(FigureKind::net).swap(common.texts[2]);
    report.results = common.results;
    report.outside_model = false;
    report.doubtful = false;
    report.failure.clear();
    report.failed_input.reset();
    report.advice.clear();
    out.notes.clear();
    out.kind = RowKind::calculated;
    out.doubtful = false;
}

void Section::take_marks(const Row& row)
{
    take_mark(row, columns_[Column::o2]);
    take_mark(row, columns_[Column::temperature]);
    if (columns_.has(Column::co2) && !text::is_blank(row.at(columns_[Column::co2])))
        take_mark(row, columns_[Column::co2]);
}

void Section::take_mark(const Row& row, std::size_t index)
{
    if (mark_)
        return;
    const std::string_view cell = row.at(index);
    if (cell.find(',') != std::string_view::npos &&
        row.comma(index, comma_) == DecimalComma::accepted)
        mark_ = DecimalComma::accepted;
    else if (cell.find('.') != std::string_view::npos)
        mark_ = DecimalComma::rejected;
}

double Section::in_fahrenheit(double t) const { return celsius_ ? celsius_to_fahrenheit(t) : t; }

Comparison Section::shared_comparison() const
{
    Comparison shared;
    if (options_.air)
        shared.air_f = in_fahrenheit(*options_.air);
    shared.target_o2 = options_.target_o2;
    if (options_.target_temp)
        shared.target_temp_f = in_fahrenheit(*options_.target_temp);
    return shared;
}

const Comparison& Section::comparison(const Row& row, std::string& notes)
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

void Section::doubts(const Reading& reading, std::string_view o2_cell, RowResults& out) const
{
    if (o2_fraction_ || celsius_looking_)
        first_rows_doubts(reading, o2_cell, out);
    out.doubtful = out.doubtful || out.report.doubtful;
}

[[gnu::noinline]] void Section::first_rows_doubts(const Reading& reading, std::string_view o2_cell,
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
                 "es, lea el registro en °C.",
                 " ");
    }
}

bool Section::read(const Row& row, Reading& reading, std::string& notes)
{
    const auto fuel = fuel_of(row, notes);
    double temp = 0.0;
    const bool o2_read = number(row, columns_[Column::o2], "O2", notes, reading.o2);
    const bool temp_read = number(row, columns_[Column::temperature], "temperatura", notes, temp);
    bool co2_read = true; // no CO2 measured: an empty field or no column
    if (columns_.has(Column::co2) && !text::is_blank(row.at(columns_[Column::co2]))) {
        double co2 = 0.0;
        co2_read = number(row, columns_[Column::co2], "CO2", notes, co2);
        reading.co2 = co2;
    }
    const bool co_read = !columns_.has(Column::co) || co_of(row, reading, notes);
    if (!fuel || !o2_read || !temp_read || !co2_read || !co_read)
        return false;
    reading.fuel = *fuel;
    reading.temp_f = in_fahrenheit(temp);
    return true;
}

[[gnu::noinline]] bool Section::co_of(const Row& row, Reading& reading, std::string& notes)
{
    if (text::is_blank(row.at(columns_[Column::co])))
        return true;
    double co = 0.0;
    const bool is_number = number(row, columns_[Column::co], "CO", notes, co);
    reading.co_ppm = co;
    return is_number;
}

bool Section::number(const Row& row, std::size_t index, std::string_view what, std::string& notes,
                     double& value)
{
    const std::string_view cell = row.at(index);
    take_mark(row, index);
    if (text::parse_number(cell, row.comma(index, comma_), value))
        return true;
    not_a_number(cell, what, notes);
    return false;
}

std::optional<Fuel> Section::fuel_of(const Row& row, std::string& notes) const
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

} // namespace quemador::log
