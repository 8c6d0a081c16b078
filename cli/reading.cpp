// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/reading.h"

#include "calculation/net_efficiency.h"
#include "calculation/number_text.h"
#include "cli/numbers.h"

#include <algorithm>

namespace quemador::cli {
namespace {

std::string failure_text(const RuntimeError& error)
{
    std::string text = std::string("no se puede calcular: ") + error.what() + " (error " +
        std::to_string(static_cast<int>(error.number())) + ")";
    if (error.source() == ErrorSource::arithmetic)
        text += ". " + std::string(model_error_hint(error.input()));
    return text;
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
    if (!comparison.target_o2)
        return;
    Reading target = reading;
    target.o2 = *comparison.target_o2;
    target.temp_f = comparison.target_temp_f.value_or(reading.temp_f);
    try {
        const double at_target = corrected_gross(target, air_f).efficiency;
        out.figures.saving = fuel_saving(gross, at_target);
        out.target = shown_result(at_target);
        out.saving = shown_result(*out.figures.saving);
    } catch (const RuntimeError& error) {
        out.figures.saving.reset();
        out.target.clear();
        out.advice.push_back("No se puede calcular la eficiencia en el objetivo: " +
                             std::string(error.what()) + ".");
    }
}

} // namespace

std::string temperature_text(double fahrenheit, const AdviceStyle& style)
{
    std::string text =
        Str(Redondeo_Centesimas(style.celsius ? fahrenheit_to_celsius(fahrenheit) : fahrenheit));
    return std::string(in_file(
               text, style.decimal_comma ? DecimalComma::accepted : DecimalComma::rejected)) +
        (style.celsius ? " °C" : " °F");
}

void evaluate(const Reading& reading, Outcome& out, const AdviceStyle& style,
              const Comparison& comparison)
{
    out.outside_model = false;
    out.results.reset();
    out.excess_air.clear();
    out.efficiency.clear();
    out.failure.clear();
    out.advice.clear();
    out.figures = {};
    out.net.clear();
    out.corrected.clear();
    out.target.clear();
    out.saving.clear();
    try {
        out.results = calculate(reading);
        out.outside_model = !within_model(reading, *out.results);
        // Rounding to hundredths overflows, as in the window, for a result too large.
        shown_result(out.results->excess_air, out.excess_air);
        shown_result(out.results->efficiency, out.efficiency);
    } catch (const RuntimeError& error) {
        out.failure = failure_text(error);
        return;
    }
    for (auto& item : reading_advice(reading, *out.results, style))
        out.advice.push_back(std::move(item.message));
    if (!out.outside_model)
        compare(reading, comparison, style, out);
}

} // namespace quemador::cli
