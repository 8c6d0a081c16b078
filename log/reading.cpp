// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/reading.h"

#include "calculation/net_efficiency.h"
#include "calculation/number_text.h"
#include "text/numbers.h"

#include <algorithm>
#include <cmath>

namespace quemador::log {
namespace {

std::string failure_text(const RuntimeError& error)
{
    std::string text = std::string("no se puede calcular: ") + error.what() + " (error " +
        std::to_string(static_cast<int>(error.number())) + ")";
    if (error.source() == ErrorSource::arithmetic)
        text += ". " + std::string(model_error_hint(error.input()));
    return text;
}

// The gross efficiency at a tuned reading, and the fuel saved by reaching it.
void compare_target(const Reading& reading, const Comparison& comparison, const AdviceStyle& style,
                    double air_f, double gross, Outcome& out)
{
    Reading target = reading;
    target.o2 = *comparison.target_o2;
    target.temp_f = comparison.target_temp_f.value_or(reading.temp_f);
    if (target.temp_f < air_f) {
        out.doubtful = true;
        out.advice.push_back("Los humos del objetivo (" + temperature_text(target.temp_f, style) +
                             ") están más fríos que el aire de combustión (" +
                             temperature_text(air_f, style) + "): sin eficiencia en el objetivo.");
        return;
    }
    try {
        const double at_target = corrected_gross(target, air_f).efficiency;
        out.figures.saving = fuel_saving(gross, at_target);
        out.target = shown_result(at_target);
        out.saving = shown_result(*out.figures.saving);
        if (at_target < gross) {
            out.doubtful = true;
            out.advice.emplace_back("El objetivo es menos eficiente que la lectura: el ahorro sale "
                                    "negativo, ajustar el quemador así gastaría más combustible.");
        }
    } catch (const RuntimeError& error) {
        out.figures.saving.reset();
        out.target.clear();
        out.advice.push_back("No se puede calcular la eficiencia en el objetivo: " +
                             std::string(error.what()) + ".");
        return;
    }
    if (out.figures.co_air_free && *out.figures.co_air_free > co_air_free_limit)
        out.advice.emplace_back("El ahorro en el objetivo supone quitar aire a un quemador que ya "
                                "produce CO: no lo ajuste sin revisar la combustión.");
}

// The CO on air-free flue gas, where the oxygen leaves any flue gas to put it on. A CO
// that cannot be, or past the limit, makes the reading doubtful (the advice says why).
void co_figure(const Reading& reading, Outcome& out)
{
    if (!reading.co_ppm)
        return;
    out.doubtful = out.doubtful || *reading.co_ppm < 0.0;
    if (*reading.co_ppm < 0.0 || reading.o2 < 0.0 || reading.o2 >= oxygen_in_air)
        return;
    out.figures.co_air_free = co_air_free(*reading.co_ppm, reading.o2);
    out.co_air_free = plain_number(std::round(*out.figures.co_air_free));
    out.doubtful = out.doubtful || *out.figures.co_air_free > co_air_free_limit;
}

// The net efficiency, the air-corrected gross one and the target's, when the results
// mean something.
void compare(const Reading& reading, const Comparison& comparison, const AdviceStyle& style,
             Outcome& out)
{
    const double air_f = comparison.air_f.value_or(combustion_air_temp);
    if (air_f > reading.temp_f) {
        out.advice.push_back("El aire de combustión (" + temperature_text(air_f, style) +
                             ") está más caliente que los humos (" +
                             temperature_text(reading.temp_f, style) +
                             "): sin eficiencia neta ni corregida.");
        return;
    }
    out.figures.net =
        net_efficiency(reading.fuel, reading.o2, fahrenheit_to_celsius(reading.temp_f),
                       fahrenheit_to_celsius(air_f));
    shown_result(*out.figures.net, out.net);
    // Without an air temperature the corrected gross efficiency is the window's.
    const double gross =
        comparison.air_f ? corrected_gross(reading, air_f).efficiency : out.results->efficiency;
    if (comparison.air_f) {
        out.figures.corrected = gross;
        shown_result(gross, out.corrected);
    }
    if (comparison.target_o2)
        compare_target(reading, comparison, style, air_f, gross, out);
}

} // namespace

std::vector<Figure> figures(const Outcome& outcome, const AdviceStyle& style,
                            const Comparison& comparison)
{
    std::vector<Figure> shown;
    const std::string air = "aire a " +
        temperature_text(comparison.air_f.value_or(combustion_air_temp), style) +
        (comparison.air_f ? "" : ", supuesto");
    if (!outcome.net.empty())
        shown.push_back({FigureKind::net, "Eficiencia neta (%):", outcome.net,
                         "sobre el PCI, fórmula de Siegert, " + air});
    if (!outcome.corrected.empty())
        shown.push_back({FigureKind::corrected, "Eficiencia corregida (%):", outcome.corrected,
                         "sobre el PCS, con los humos menos el aire más 60 °F, " + air});
    if (!outcome.target.empty()) {
        std::string target = "O2 " + plain_number(*comparison.target_o2) + " %";
        if (comparison.target_temp_f)
            target += ", humos a " + temperature_text(*comparison.target_temp_f, style);
        shown.push_back({FigureKind::target, "Eficiencia en el objetivo (%):", outcome.target,
                         "sobre el PCS, " + target});
        shown.push_back({FigureKind::saving, "Ahorro de combustible (%):", outcome.saving,
                         "1 − eficiencia / eficiencia en el objetivo, sobre el PCS"});
    }
    if (!outcome.co_air_free.empty())
        shown.push_back({FigureKind::co_air_free, "CO sin aire (ppm):", outcome.co_air_free,
                         "CO × 20.9 / (20.9 − O2), en humos sin aire"});
    return shown;
}

std::string temperature_text(double fahrenheit, const AdviceStyle& style)
{
    std::string shown =
        Str(Redondeo_Centesimas(style.celsius ? fahrenheit_to_celsius(fahrenheit) : fahrenheit));
    return std::string(text::in_file(shown,
                                     style.decimal_comma ? text::DecimalComma::accepted
                                                         : text::DecimalComma::rejected)) +
        (style.celsius ? " °C" : " °F");
}

void evaluate(const Reading& reading, Outcome& out, const AdviceStyle& style,
              const Comparison& comparison)
{
    out.outside_model = false;
    out.doubtful = false;
    out.results.reset();
    out.excess_air.clear();
    out.efficiency.clear();
    out.failure.clear();
    out.failed_input.reset();
    out.advice.clear();
    out.figures = {};
    out.net.clear();
    out.corrected.clear();
    out.target.clear();
    out.saving.clear();
    out.co_air_free.clear();
    try {
        out.results = calculate(reading);
        out.outside_model = !within_model(reading, *out.results);
        // Rounding to hundredths overflows, as in the window, for a result too large.
        shown_result(out.results->excess_air, out.excess_air);
        shown_result(out.results->efficiency, out.efficiency);
    } catch (const RuntimeError& error) {
        out.failure = failure_text(error);
        out.failed_input = error.input();
        return;
    }
    for (auto& item : reading_advice(reading, *out.results, style))
        out.advice.push_back(std::move(item.message));
    co_figure(reading, out);
    if (!out.outside_model)
        compare(reading, comparison, style, out);
}

} // namespace quemador::log
