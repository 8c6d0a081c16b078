// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/table.h"

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "calculation/report.h"
#include "cli/usage_error.h"
#include "text/names.h"
#include "text/numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <iterator>
#include <optional>

namespace quemador::cli {
namespace {

using text::DecimalComma;
using text::parse_number;

constexpr std::size_t max_values = 100;
// After a value outside what the model describes.
constexpr std::string_view outside_mark = "*";

// One decimal, correctly rounded from the model's value; never "-0.0". A value too
// wide for a printed column (readings far outside the correlation) takes exponent form.
std::string one_decimal(double x)
{
    constexpr double widest_fixed = 1e9;
    std::array<char, 32> buffer{};
    const auto [end, error] = std::fabs(x) < widest_fixed
        ? std::to_chars(buffer.data(), buffer.data() + buffer.size(), x, std::chars_format::fixed,
                        1)
        : std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                        std::chars_format::scientific, 3);
    std::string text(buffer.data(), error == std::errc() ? end : buffer.data());
    if (text == "-0.0")
        text = "0.0";
    return text;
}

void pad_left(std::string& out, std::string_view text, std::size_t columns)
{
    out.append(columns - std::min(columns, text::width(text)), ' ');
    out.append(text);
}

} // namespace

std::vector<double> default_o2_values() { return {2, 3, 5, 7, 10}; }

std::vector<double> default_temperatures(TemperatureUnit unit)
{
    if (unit == TemperatureUnit::celsius)
        return {100, 150, 200, 250, 300};
    return {200, 300, 400, 500, 600};
}

std::vector<double> parse_list(std::string_view text, std::string_view option)
{
    const auto first_comma = text.find(',');
    const bool digits_only = std::all_of(text.begin(), text.end(),
                                         [](char c) { return (c >= '0' && c <= '9') || c == ','; });
    if (digits_only && first_comma != std::string_view::npos && first_comma > 0 &&
        first_comma + 1 < text.size() &&
        text.find(',', first_comma + 1) == std::string_view::npos) {
        const std::string whole(text.substr(0, first_comma));
        const std::string fraction(text.substr(first_comma + 1));
        throw UsageError(std::string(option) + " «" + std::string(text) +
                         "» puede ser un valor o dos: escriba " + whole + "." + fraction +
                         " para un valor (" + whole + "," + fraction + ") o «" + whole + ", " +
                         fraction + "» para dos (" + whole + " y " + fraction + ")");
    }
    std::vector<double> values;
    for (;;) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        double value = 0.0;
        if (!parse_number(item, DecimalComma::rejected, value))
            throw UsageError("valor no válido en " + std::string(option) + ": «" +
                             std::string(item) +
                             "» (separe los valores con comas y use el "
                             "punto decimal)");
        values.push_back(value);
        if (values.size() > max_values)
            throw UsageError(std::string(option) + " admite como mucho " +
                             std::to_string(max_values) + " valores");
        if (comma == std::string_view::npos)
            return values;
        text.remove_prefix(comma + 1);
    }
}

std::vector<double> parse_range(std::string_view text, std::string_view option)
{
    if (text.find(':') == std::string_view::npos)
        return parse_list(text, option);
    const auto invalid = [&](std::string_view why) {
        return UsageError("intervalo no válido en " + std::string(option) + ": «" +
                          std::string(text) + "» (" + std::string(why) + ")");
    };
    std::vector<double> bounds;
    for (std::string_view rest = text;;) {
        const auto colon = rest.find(':');
        double value = 0.0;
        if (!parse_number(rest.substr(0, colon), DecimalComma::rejected, value))
            throw invalid("use desde:hasta:paso, por ejemplo 200:600:100");
        bounds.push_back(value);
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    if (bounds.size() != 3)
        throw invalid("use desde:hasta:paso, por ejemplo 200:600:100");
    const double from = bounds[0];
    const double to = bounds[1];
    const double step = bounds[2];
    if (!(step > 0) || to < from || (to - from) / step >= static_cast<double>(max_values))
        throw invalid("el paso debe ser positivo, el final no menor que el principio, y como "
                      "mucho " +
                      std::to_string(max_values) + " valores");
    std::vector<double> values;
    // Each value from the start, so that no rounding error accumulates.
    for (std::size_t i = 0;; ++i) {
        const double value = from + static_cast<double>(i) * step;
        if (value > to + step * 1e-9)
            return values;
        values.push_back(value);
    }
}

namespace {

using Cells = std::vector<std::string>;

// The cells of one kind of table: CSV with hundredths in the file's decimal mark,
// or text with one decimal.
struct CellStyle {
    bool csv;
    DecimalComma comma;
    bool celsius;

    [[nodiscard]] std::string number(double x) const
    {
        std::string text = plain_number(x);
        return std::string(in_file(text, comma));
    }

    // The heads of a figure's columns, after the oxygen's and the excess air's; in CSV,
    // each named by the figure (prefix) and its temperature.
    [[nodiscard]] Cells header(const std::vector<double>& temperatures,
                               std::string_view prefix) const
    {
        Cells cells = {csv ? "o2_pct" : "O2 %", csv ? "exceso_aire_pct" : "Exceso de aire %"};
        std::transform(temperatures.begin(), temperatures.end(), std::back_inserter(cells),
                       [this, prefix](double t) {
                           return csv
                               ? std::string(prefix) + "_" + number(t) + (celsius ? "C" : "F")
                               : plain_number(t) + (celsius ? " °C" : " °F");
                       });
        return cells;
    }
};

double in_fahrenheit(double t, const CellStyle& style)
{
    return style.celsius ? celsius_to_fahrenheit(t) : t;
}

// The combustion air's temperature of a table, in °F.
double air_of(const TableOptions& options, const CellStyle& style)
{
    return options.air ? in_fahrenheit(*options.air, style) : combustion_air_temp;
}

// The figures a table's cells give: those chosen, or the net efficiency, or the gross
// one (with the air at its temperature when one is given). A table has no target and no
// CO, and a figure of the air's needs its temperature.
std::vector<FigureKind> cell_figures(const TableOptions& options)
{
    if (options.figures.empty()) {
        if (options.net)
            return {FigureKind::net};
        return {options.air ? FigureKind::corrected : FigureKind::efficiency};
    }
    for (const FigureKind figure : options.figures) {
        const FigureFacts& chosen = figure_facts(figure);
        if (chosen.need == Need::target || chosen.need == Need::co)
            throw UsageError("--cifras: la tabla no da " + std::string(chosen.id) +
                             ", que necesita un objetivo o una lectura de CO");
        if (chosen.need == Need::air && !options.air)
            throw UsageError("--cifras: " + std::string(chosen.id) + " necesita --aire");
    }
    return options.figures;
}

// Why a cell lies outside what the model describes, in the table's words; empty when it
// does not.
std::string bound_text(ModelBound bound)
{
    switch (bound) {
    case ModelBound::oxygen:
        return "el oxígeno debe ser al menos 0 y menor que " + plain_number(oxygen_in_air) + " %";
    case ModelBound::temperature:
        return "humos más fríos que el aire de combustión";
    case ModelBound::correlation:
        return "resultados fuera de lo que cubre la correlación";
    case ModelBound::within:
        break;
    }
    return {};
}

// One cell of a table: its text, and what it says against the model.
struct Cell {
    std::string excess_air; // the row's excess air, when this cell gives it; empty if not
    std::string efficiency;
    std::string failure; // why there is no result; empty when there is one
    std::string outside; // why the result means nothing; empty when it means something
};

// A cell: the table's figure at one oxygen reading and stack temperature (in the table's
// unit), as text or CSV, or why there is none or why it means nothing.
Cell table_cell(const TableOptions& options, const CellStyle& style, FigureKind figure, double o2,
                double t)
{
    const Reading reading{options.fuel, o2, std::nullopt, in_fahrenheit(t, style), {}};
    Comparison comparison;
    if (options.air)
        comparison.air_f = air_of(options, style);
    FigureSet asked;
    asked.set(index_of(FigureKind::excess_air)).set(index_of(figure));
    Report report;
    evaluate(reading, report, {}, comparison, asked);
    Cell cell;
    const ModelBound model =
        report.results ? model_bound(reading, *report.results) : ModelBound::within;
    const bool o2_described = model != ModelBound::oxygen;
    // The excess air is shown whenever it can be rounded, even when the efficiency cannot.
    if (style.csv && o2_described && !report.text(FigureKind::excess_air).empty())
        cell.excess_air = text::in_file(report.text(FigureKind::excess_air), style.comma);
    // A printed table shows what the model gives, even past what can be rounded.
    if (style.csv ? !report.shown() : !report.results) {
        cell.failure = report.failure;
        cell.efficiency = style.csv ? "" : "error";
        return cell;
    }
    const auto& value = report.value(figure);
    // Past the model's own bounds, a figure over the air is not given where the air is
    // warmer than the flue gas.
    cell.outside = bound_text(model != ModelBound::within || value
                                  ? model
                                  : model_bound(reading, *report.results,
                                                comparison.air_f.value_or(combustion_air_temp)));
    if (!value && cell.outside.empty()) {
        cell.failure = report.advice.empty() ? report.failure : report.advice.back();
        cell.efficiency = style.csv ? "" : "error";
        return cell;
    }
    const std::string mark(cell.outside.empty() ? "" : outside_mark);
    if (style.csv) {
        if (cell.outside.empty())
            cell.efficiency = text::in_file(report.text(figure), style.comma);
        return cell;
    }
    cell.excess_air =
        one_decimal(report.results->excess_air) + (o2_described ? "" : std::string(outside_mark));
    cell.efficiency = (value ? one_decimal(*value) : std::string("—")) + mark;
    return cell;
}

// One row of the table: an oxygen reading at every temperature. Counts the cells
// without a result or outside the model, and reports the row's first reason.
Cells table_row(const TableOptions& options, const CellStyle& style, FigureKind figure, double o2,
                int& marked, const std::function<void(std::string_view)>& report)
{
    Cells row = {style.csv ? style.number(o2) : one_decimal(o2), style.csv ? "" : "error"};
    std::string failure;
    std::string outside;
    int outside_cells = 0;
    for (const double t : options.temperatures) {
        Cell cell = table_cell(options, style, figure, o2, t);
        if (!cell.excess_air.empty())
            row[1] = cell.excess_air;
        row.push_back(std::move(cell.efficiency));
        if (failure.empty())
            failure = cell.failure;
        if (outside.empty())
            outside = cell.outside;
        marked += cell.failure.empty() && cell.outside.empty() ? 0 : 1;
        outside_cells += cell.outside.empty() ? 0 : 1;
    }
    // With more than one figure, each report names its figure.
    const std::string where =
        (options.figures.size() > 1 ? std::string(figure_facts(figure).id) + ", " : std::string()) +
        "O2 " + plain_number(o2) + ": ";
    if (!failure.empty())
        report(where + failure);
    if (!outside.empty())
        report(where + std::to_string(outside_cells) + (outside_cells == 1 ? " celda" : " celdas") +
               " fuera de lo que describe el modelo (" + outside + ")");
    return row;
}

void write_csv(const Cells& header, const std::vector<Cells>& rows, char separator,
               std::string& out)
{
    const auto line = [&](const Cells& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            out += (i > 0 ? std::string(1, separator) : std::string()) + cells[i];
        out += '\n';
    };
    line(header);
    for (const auto& row : rows)
        line(row);
}

// A table's title: its figure, fuel and air, and what its rows and columns are.
std::string table_title(const TableOptions& options, FigureKind figure)
{
    std::string title;
    const bool celsius = options.unit == TemperatureUnit::celsius;
    const std::string unit = celsius ? "°C" : "°F";
    if (figure == FigureKind::efficiency) {
        title +=
            "Eficiencia de combustión (%) — " + std::string(facts(options.fuel).caption) + "\n";
        title +=
            "Filas: oxígeno en % vol (Orsat) y su exceso de aire en %. Columnas: temperatura de "
            "humos en " +
            unit +
            ",\nmedida en la chimenea (no neta), con el aire de combustión a unos 60 °F.\n\n";
    } else {
        const double air = options.air.value_or(celsius ? fahrenheit_to_celsius(combustion_air_temp)
                                                        : combustion_air_temp);
        const std::string air_text = "aire de combustión a " +
            plain_number(Redondeo_Centesimas(air)) + " " + unit +
            (options.air ? "" : " (supuesto)");
        const std::string name = figure == FigureKind::net
            ? "Eficiencia neta de combustión (%, sobre el PCI, fórmula de Siegert)"
            : figure == FigureKind::corrected ? "Eficiencia bruta de combustión (%, sobre el PCS)"
                                              : std::string(figure_facts(figure).label);
        title += name + " — " + std::string(facts(options.fuel).caption) + ", " + air_text + "\n";
        title +=
            "Filas: oxígeno en % vol (Orsat) y su exceso de aire en %. Columnas: temperatura de "
            "humos en " +
            unit + ",\nmedida en la chimenea" +
            (figure == FigureKind::corrected ? "; el cálculo usa los humos menos el aire más 60 °F"
                                             : "") +
            ".\n\n";
    }
    return title;
}

void write_text(const Cells& header, const std::vector<Cells>& rows, const TableOptions& options,
                FigureKind figure, std::string& out)
{
    // With a mark after some values, the others take a blank there, so that the
    // decimal points stay in line.
    const bool marks = std::any_of(rows.begin(), rows.end(), [](const Cells& row) {
        return std::any_of(row.begin(), row.end(),
                           [](const std::string& cell) { return cell.ends_with(outside_mark); });
    });
    const auto shown = [marks](const Cells& cells, std::size_t i) {
        return marks && i > 0 && !cells[i].ends_with(outside_mark) ? cells[i] + " " : cells[i];
    };
    std::vector<std::size_t> widths(header.size());
    for (std::size_t i = 0; i < header.size(); ++i) {
        widths[i] = text::width(shown(header, i));
        for (const auto& row : rows)
            widths[i] = std::max(widths[i], text::width(shown(row, i)));
    }
    out += table_title(options, figure);
    const auto line = [&](const Cells& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            pad_left(out, shown(cells, i), widths[i] + (i > 0 ? 3 : 1));
        out.erase(out.find_last_not_of(' ') + 1);
        out += '\n';
    };
    line(header);
    for (const auto& row : rows)
        line(row);
    if (marks)
        out += "\n" + std::string(outside_mark) +
            " fuera de lo que describe el modelo (oxígeno de 0 a menos de 20,9 %, humos más "
            "calientes que el aire de combustión,\n  eficiencia de 0 a 100 %): no es un "
            "resultado.\n";
}

} // namespace

int write_table(const TableOptions& options, std::string& out,
                const std::function<void(std::string_view)>& report)
{
    const CellStyle style{options.format == TableFormat::csv,
                          options.separator == ';' ? DecimalComma::accepted
                                                   : DecimalComma::rejected,
                          options.unit == TemperatureUnit::celsius};
    const std::vector<FigureKind> figures = cell_figures(options);
    // Every cell's text first, then the widths of the columns.
    int marked = 0;
    Cells header;
    std::vector<Cells> rows(options.o2.size());
    for (const FigureKind figure : figures) {
        const Cells heads = style.header(options.temperatures,
                                         options.figures.empty() ? "ef" : figure_facts(figure).id);
        std::vector<Cells> cells;
        std::transform(
            options.o2.begin(), options.o2.end(), std::back_inserter(cells),
            [&](double o2) { return table_row(options, style, figure, o2, marked, report); });
        if (!style.csv) {
            out += figure == figures.front() ? "" : "\n";
            write_text(heads, cells, options, figure, out);
            continue;
        }
        // In CSV, one line for each oxygen: each figure's cells after the last's.
        const std::size_t from = header.empty() ? 0 : 2;
        header.insert(header.end(), heads.begin() + static_cast<std::ptrdiff_t>(from), heads.end());
        for (std::size_t i = 0; i < cells.size(); ++i)
            rows[i].insert(rows[i].end(), cells[i].begin() + static_cast<std::ptrdiff_t>(from),
                           cells[i].end());
    }
    if (style.csv)
        write_csv(header, rows, options.separator, out);
    return marked;
}

} // namespace quemador::cli
