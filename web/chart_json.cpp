// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/chart_json.h"

#include <cmath>
#include <string_view>
#include <vector>

namespace quemador::web {
namespace {

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

// A series' style: its name, measure, plot, marks or dash, and colour.
void write_style(Json& json, const log::ChartSeries& series)
{
    json.member("nombre", series.name);
    json.member("medida", measure_id(series.measure));
    json.member("abajo", series.lower);
    json.member("puntos", series.points);
    json.member("trazo", series.dash);
    json.member("color", series.color);
}

// Values to ten digits, which place a second in a year's seconds and an efficiency far
// finer than any reading; a break in a line (no number) as null.
void write_values(Json& json, std::string_view key, const std::vector<double>& values)
{
    constexpr int digits = 10;
    json.key(key);
    json.open('[');
    for (const double v : values) {
        if (std::isfinite(v))
            json.value(v, digits);
        else
            json.null();
    }
    json.close(']');
}

void write_series(Json& json, std::string_view key, const std::vector<log::ChartSeries>& all)
{
    json.key(key);
    json.open('[');
    for (const log::ChartSeries& series : all) {
        json.open('{');
        write_style(json, series);
        write_values(json, "x", series.x);
        write_values(json, "y", series.y);
        if (!series.low.empty()) {
            write_values(json, "min", series.low);
            write_values(json, "max", series.high);
        }
        json.close('}');
    }
    json.close(']');
}

void write_axis(Json& json, std::string_view key, const log::ChartAxis& axis)
{
    json.key(key);
    json.open('{');
    json.member("nombre", axis.label);
    json.member("min", axis.low);
    json.member("max", axis.high);
    json.key("marcas");
    json.open('[');
    for (const log::ChartTick& tick : axis.ticks) {
        json.open('{');
        json.member("en", tick.at);
        json.member("texto", tick.text);
        json.close('}');
    }
    json.close(']');
    json.close('}');
}

} // namespace

void write_chart(Json& json, const log::Chart& chart)
{
    json.open('{');
    json.member("titulo", chart.title);
    json.member("en_el_tiempo", chart.over_time);
    json.member("periodo", chart.band_period);
    json.member_count("filas", chart.rows);
    json.member_count("sin_fecha", chart.undated);
    write_axis(json, "x", chart.x);
    write_axis(json, "y", chart.y);
    write_axis(json, "y2", chart.y2);
    json.key("leyenda");
    json.open('[');
    for (const log::ChartSeries& series : chart.legend) {
        json.open('{');
        write_style(json, series);
        json.close('}');
    }
    json.close(']');
    json.key("paneles");
    json.open('[');
    for (const log::ChartPanel& panel : chart.panels) {
        json.open('{');
        json.member("caldera", panel.boiler);
        json.member("titulo", panel.title);
        json.member("etiqueta", panel.label);
        json.member_count("lecturas", panel.readings);
        json.member("denso", panel.dense);
        json.key("alertas");
        json.open('[');
        for (const std::string& alert : panel.alerts)
            json.value(alert);
        json.close(']');
        write_series(json, "series", panel.series);
        write_series(json, "bandas", panel.bands);
        json.close('}');
    }
    json.close(']');
    json.close('}');
}

} // namespace quemador::web
