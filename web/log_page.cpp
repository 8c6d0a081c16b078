// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/log_page.h"

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "log/chart.h"
#include "log/log.h"
#include "log/log_error.h"
#include "text/encoding.h"
#include "text/numbers.h"
#include "web/json.h"

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
    if (!page.date_order.empty())
        options.date_order = log::order_named(page.date_order);
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

} // namespace

std::string run_log_json(const PageLog& page, text::ByteSource& input, text::ByteSink& output,
                         const std::function<void(std::uint64_t, std::uint64_t)>& progress)
{
    Json json;
    json.open('{');
    struct Notice {
        std::uint64_t line;
        std::string notes;
        std::vector<std::string> header;
        std::vector<std::string> fields;
    };
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
            notices.push_back({row.line, std::string(row.notes), row.header,
                               std::vector<std::string>(row.fields.begin(), row.fields.end())});
        };
        summary = log::process_log(input, output, options);
    } catch (const log::LogError& error) {
        json.member_count("estado", 2);
        json.member("error", log::worded(error.note(), control_words));
        json.close('}');
        return json.take();
    } catch (const std::exception& error) {
        // Out of memory and the like.
        json.member_count("estado", 2);
        json.member("error", std::string_view(error.what()));
        json.close('}');
        return json.take();
    }
    json.member_count("estado", summary.complete() ? 0 : 1);
    json.key("lineas");
    write_strings(json, log::closing_lines(summary, control_words));
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
        json.key("encabezado");
        write_strings(json, notice.header);
        json.key("campos");
        write_strings(json, notice.fields);
        json.close('}');
    }
    json.close(']');
    json.key("grafico");
    write_chart(json, chart.chart(page.name));
    json.close('}');
    return json.take();
}

std::string control_words(const log::Remedy& remedy)
{
    using Ask = log::Remedy::Ask;
    using Setting = log::Remedy::Setting;
    const std::string column =
        "en Más opciones, Columna: " + std::string(log::kind_of(remedy.column).what);
    switch (remedy.ask) {
    case Ask::set:
        return "elija " + remedy.value +
            (remedy.setting == Setting::unit           ? " en Temperaturas"
                 : remedy.setting == Setting::encoding ? " en Más opciones, Codificación"
                                                       : " en Más opciones, Formato de fecha");
    case Ask::give:
        return remedy.setting == Setting::fuel ? "elija uno en Combustible de las filas sin él"
                                               : "elíjala en Más opciones, Codificación";
    case Ask::set_by:
        return remedy.setting == Setting::unit ? "según Temperaturas"
                                               : "según Más opciones, Formato de fecha";
    case Ask::name_column:
        return "nómbrela " + column;
    case Ask::which_column:
        return "diga cuál " + column + " (nombre o número)";
    case Ask::for_column:
        return "para la Columna: " + std::string(log::kind_of(remedy.column).what) +
            " de Más opciones";
    case Ask::name_readings:
        break;
    }
    return "diga qué columna es cada lectura en Más opciones, Columna: O2 y Columna: "
           "temperatura (nombre o número)";
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
