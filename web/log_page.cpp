// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/log_page.h"

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "log/chart.h"
#include "log/log.h"
#include "log/log_error.h"
#include "text/encoding.h"
#include "text/names.h"
#include "text/numbers.h"
#include "web/json.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <vector>

namespace quemador::web {
namespace {

std::optional<double> number(const std::string& text, std::string_view what)
{
    if (text::is_blank(text))
        return std::nullopt;
    double value = 0.0;
    if (!text::parse_number(text, text::DecimalComma::accepted, value))
        throw log::LogError(std::string(what) + " no es un número: " + quoted(text, 40) +
                            " (escriba solo cifras, con punto o coma decimal)");
    return value;
}

log::LogOptions options_of(const PageLog& page)
{
    log::LogOptions options;
    if (!page.fuel.empty())
        options.fuel = log::fuel_named(page.fuel);
    if (page.unit == "C")
        options.unit = log::TemperatureUnit::celsius;
    else if (page.unit == "F")
        options.unit = log::TemperatureUnit::fahrenheit;
    if (!page.encoding.empty())
        options.encoding = text::encoding_named(page.encoding);
    options.air = number(page.air, "El aire de combustión");
    options.target_o2 = number(page.target_o2, "El O2 objetivo");
    if (options.target_o2 && !(*options.target_o2 >= 0.0 && *options.target_o2 < oxygen_in_air))
        throw log::LogError("el O2 objetivo debe ser al menos 0 y menor que el " +
                            plain_number(oxygen_in_air) +
                            " % del aire: " + quoted(page.target_o2, 40));
    options.target_temp = number(page.target_temp, "Los humos objetivo");
    if (options.target_temp && !options.target_o2)
        throw log::LogError("los humos objetivo cuentan solo con un O2 objetivo");
    if (page.grouping == "caldera")
        options.grouping = log::Grouping::boiler;
    else if (page.grouping == "mes")
        options.grouping = log::Grouping::month;
    else if (page.grouping == "ninguno")
        options.grouping = log::Grouping::none;
    options.all_results = page.all_results;
    for (std::size_t k = 0; k < log::column_count; ++k) {
        if (!text::is_blank(page.columns.at(k)))
            options.columns.at(k) = std::string(text::trimmed(page.columns.at(k)));
    }
    return options;
}

// The rows of a CSV text, as the page's table shows them.
std::vector<std::vector<std::string>> rows_of(const std::string& csv, char separator)
{
    text::StringSource source(csv);
    text::CsvReader reader(source, separator);
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string_view> fields;
    while (reader.next(fields))
        rows.emplace_back(fields.begin(), fields.end());
    return rows;
}

void write_strings(Json& json, const std::vector<std::string>& texts)
{
    json.open('[');
    for (const std::string& text : texts)
        json.value(text);
    json.close(']');
}

std::string_view measure_id(log::Measure measure)
{
    switch (measure) {
    case log::Measure::gross:
        return "bruta";
    case log::Measure::net:
        return "neta";
    case log::Measure::o2:
        return "o2";
    case log::Measure::outside:
        return "fuera";
    case log::Measure::notices:
        break;
    }
    return "aviso";
}

void write_chart(Json& json, const log::Chart& chart)
{
    // Ten digits place a second in a year's seconds, and an efficiency far finer than
    // any reading.
    constexpr int digits = 10;
    json.open('{');
    json.member("titulo", chart.title);
    json.member("en_el_tiempo", chart.over_time);
    json.member("eje_x", chart.x_label);
    json.member("eje_y", chart.y_label);
    json.member("eje_y2", chart.y2_label);
    json.member_count("filas", chart.rows);
    json.member_count("sin_fecha", chart.undated);
    json.key("series");
    json.open('[');
    for (const log::ChartSeries& series : chart.series) {
        json.open('{');
        json.member("nombre", series.name);
        json.member("etiqueta", series.label);
        json.member("caldera", series.boiler);
        json.member("medida", measure_id(series.measure));
        json.member("derecha", series.right_axis);
        json.member("puntos", series.points);
        json.member("trazo", series.dash);
        json.member("color", series.color);
        for (const auto& [key, values] : {std::pair("x", &series.x), std::pair("y", &series.y)}) {
            json.key(key);
            json.open('[');
            for (const double v : *values)
                json.value(v, digits);
            json.close(']');
        }
        json.close('}');
    }
    json.close(']');
    json.close('}');
}

// A row with notes as the page lists it: an excerpt of the row, so that a row of half a
// million columns takes no more than a short one.
struct Notice {
    std::uint64_t line = 0;
    std::string notes;
    std::vector<std::uint64_t> numbers; // of the columns kept, from 1
    std::vector<std::string> header;
    std::vector<std::string> fields;
    std::uint64_t left_out = 0; // columns
};

Notice excerpt(const log::RowNotice& row)
{
    Notice notice;
    notice.line = row.line;
    notice.notes = text::printable(row.notes);
    const std::size_t width = std::max(row.header.size(), row.fields.size());
    const auto kept = [&](std::size_t k) {
        return k < excerpt_columns ||
            std::find(row.columns.begin(), row.columns.end(), k) != row.columns.end();
    };
    for (std::size_t k = 0; k < width; ++k) {
        if (!kept(k)) {
            ++notice.left_out;
            continue;
        }
        notice.numbers.push_back(k + 1);
        notice.header.push_back(
            k < row.header.size() ? text::shortened(row.header[k], excerpt_chars) : "");
        notice.fields.push_back(
            k < row.fields.size() ? text::shortened(row.fields[k], excerpt_chars) : "");
    }
    return notice;
}

} // namespace

std::string run_log_json(const PageLog& page, text::ByteSource& input, text::ByteSink& output,
                         const std::function<void(std::uint64_t, std::uint64_t)>& progress)
{
    Json json;
    json.open('{');
    std::vector<Notice> notices;
    std::uint64_t notice_count = 0;
    log::ChartData chart;
    log::LogSummary summary;
    try {
        log::LogOptions options = options_of(page);
        options.progress = progress;
        options.chart = &chart;
        options.notice = [&](const log::RowNotice& row) {
            if (++notice_count > listed_notices)
                return;
            notices.push_back(excerpt(row));
        };
        summary = log::process_log(input, output, options);
    } catch (const std::exception& error) {
        // A log that cannot be read (LogError), or out of memory and the like.
        json.member_count("estado", 2);
        json.member("error", std::string_view(error.what()));
        json.close('}');
        return json.take();
    }
    json.member_count("estado", summary.complete() ? 0 : 1);
    // The lines as quemador1-calc shows them, with the chart's own.
    const log::Chart drawn = chart.chart(page.name);
    std::vector<std::string> lines = log::closing_lines(summary);
    const std::vector<std::string> notes = log::chart_notes(drawn);
    lines.insert(lines.end(), notes.begin(), notes.end());
    for (std::string& line : lines)
        line = text::printable(line);
    json.key("lineas");
    write_strings(json, lines);
    json.member("cuentas", log::counts_line(summary));
    json.key("tabla");
    json.open('[');
    for (const auto& row : rows_of(log::summary_csv(summary), summary.separator))
        write_strings(json, row);
    json.close(']');
    json.member_count("avisos_total", notice_count);
    json.key("avisos");
    json.open('[');
    for (const Notice& notice : notices) {
        json.open('{');
        json.member_count("linea", notice.line);
        json.member("aviso", notice.notes);
        json.key("columnas");
        json.open('[');
        for (const std::uint64_t number : notice.numbers)
            json.count(number);
        json.close(']');
        json.key("encabezado");
        write_strings(json, notice.header);
        json.key("campos");
        write_strings(json, notice.fields);
        json.member_count("omitidas", notice.left_out);
        json.close('}');
    }
    json.close(']');
    json.key("grafico");
    write_chart(json, drawn);
    json.close('}');
    return json.take();
}

std::string columns_json()
{
    Json json;
    json.open('[');
    for (const log::ColumnKind& kind : log::column_kinds()) {
        json.open('{');
        json.member("id", kind.option.substr(kind.option.rfind('-') + 1));
        json.member("que", kind.what);
        json.member("opcion", kind.option);
        json.member("ayuda", kind.help);
        json.close('}');
    }
    json.close(']');
    return json.take();
}

} // namespace quemador::web
