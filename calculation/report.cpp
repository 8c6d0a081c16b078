// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/report.h"

#include "calculation/net_efficiency.h"
#include "calculation/number_text.h"
#include "runtime/arithmetic.h"

#include <algorithm>
#include <cmath>

namespace quemador {
namespace {

// The figures a report gives, in the order of FigureKind: ids, label, unit, decimals,
// basis, need, and whether the window shows it.
// clang-format off
constexpr std::array<FigureFacts, figure_count> make_kinds()
{
    using enum FigureKind;
    return {{
        {excess_air, "exceso_aire", "exceso-aire", "Exceso de aire (%)", "%", 2, "",
         Need::nothing, true},
        {efficiency, "eficiencia", "eficiencia", "Eficiencia (%)", "%", 2, "",
         Need::nothing, true},
        {lambda, "lambda", "lambda", "Índice de aire λ", "", 2,
         "20.9 / (20.9 − O2)", Need::nothing, false},
        {net, "eficiencia_neta", "eficiencia-neta", "Eficiencia neta (%)", "%", 2,
         "sobre el PCI, fórmula de Siegert, {aire}", Need::nothing, false},
        {flue_loss, "perdidas_humos", "perdidas-humos", "Pérdidas por humos qA (%)", "%", 2,
         "sobre el PCI, 100 − eficiencia neta, {aire}", Need::nothing, false},
        {corrected, "eficiencia_corregida", "eficiencia-corregida", "Eficiencia corregida (%)", "%", 2,
         "sobre el PCS, con los humos menos el aire más 60 °F, {aire}", Need::air, false},
        {target, "eficiencia_objetivo", "eficiencia-objetivo", "Eficiencia en el objetivo (%)", "%", 2,
         "sobre el PCS, {objetivo}", Need::target, false},
        {saving, "ahorro_combustible", "ahorro", "Ahorro de combustible (%)", "%", 2,
         "1 − eficiencia / eficiencia en el objetivo, sobre el PCS", Need::target, false},
        {co_air_free, "co_sin_aire", "co-sin-aire", "CO sin aire (ppm)", "ppm", 0,
         "CO × 20.9 / (20.9 − O2), en humos sin aire", Need::co, false},
    }};
}
// clang-format on

// Every figure, by kind: the table each face reads.
constexpr std::array<FigureFacts, figure_count> kinds = make_kinds();

std::string failure_text(const RuntimeError& error)
{
    std::string text = std::string("no se puede calcular: ") + error.what() + " (error " +
        std::to_string(static_cast<int>(error.number())) + ")";
    if (error.source() == ErrorSource::arithmetic)
        text += ". " + std::string(model_error_hint(error.input()));
    return text;
}

// Sets a figure's value, and its text when asked for: to hundredths as the window shows
// a result, or whole. Raises the overflow RuntimeError for a value too large to round.
// (Indexed without bounds checks, and inlined: a log gives a few figures to every row,
// and the call cost 2 % of its time, by perf stat.)
[[gnu::always_inline]] inline void give(Report& out, FigureKind kind, double value, FigureSet asked)
{
    const std::size_t k = index_of(kind);
    out.values[k] = value;
    if (!asked[k])
        return;
    if (kinds[k].decimals == 0)
        out.texts[k] = plain_number(std::round(value));
    else
        shown_result(value, out.texts[k]);
}

void take_back(Report& out, std::initializer_list<FigureKind> kinds_taken)
{
    for (const FigureKind kind : kinds_taken) {
        out.values[index_of(kind)].reset();
        out.text(kind).clear();
    }
}

// The gross efficiency at a tuned reading, and the fuel saved by reaching it.
void compare_target(const Reading& reading, const Comparison& comparison, const AdviceStyle& style,
                    double air_f, double gross, Report& out)
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
    double at_target = 0.0;
    try {
        at_target = corrected_gross(target, air_f).efficiency;
        // The target is always rounded: a target too far out is said so, asked for or not.
        give(out, FigureKind::target, at_target, all_figures());
        give(out, FigureKind::saving, fuel_saving(gross, at_target), all_figures());
    } catch (const RuntimeError& error) {
        take_back(out, {FigureKind::target, FigureKind::saving});
        out.advice.push_back("No se puede calcular la eficiencia en el objetivo: " +
                             std::string(error.what()) + ".");
        return;
    }
    if (at_target < gross) {
        out.doubtful = true;
        out.advice.emplace_back("El objetivo es menos eficiente que la lectura: el ahorro sale "
                                "negativo, ajustar el quemador así gastaría más combustible.");
    }
    if (const auto& co = out.value(FigureKind::co_air_free); co && *co > co_air_free_limit)
        out.advice.emplace_back("El ahorro en el objetivo supone quitar aire a un quemador que ya "
                                "produce CO: no lo ajuste sin revisar la combustión.");
}

// The figures of the oxygen alone, where the oxygen leaves any flue gas to put them
// on: the air ratio (when asked for: no other figure rests on it), and the CO on
// air-free flue gas. A CO that cannot be, or past the limit, makes the reading doubtful
// (the advice says why).
void oxygen_figures(const Reading& reading, Report& out, FigureSet asked)
{
    out.doubtful = out.doubtful || (reading.co_ppm && *reading.co_ppm < 0.0);
    if (reading.o2 < 0.0 || reading.o2 >= oxygen_in_air)
        return;
    if (asked[index_of(FigureKind::lambda)])
        give(out, FigureKind::lambda, air_ratio(reading.o2), asked);
    if (reading.co_ppm && *reading.co_ppm >= 0.0) {
        const double co = co_air_free(*reading.co_ppm, reading.o2);
        give(out, FigureKind::co_air_free, co, asked);
        out.doubtful = out.doubtful || co > co_air_free_limit;
    }
}

// The net efficiency and its flue-gas loss, the air-corrected gross efficiency and the
// target's, when the results mean something.
void compare(const Reading& reading, const Comparison& comparison, const AdviceStyle& style,
             Report& out, FigureSet asked)
{
    const double air_f = comparison.air_f.value_or(combustion_air_temp);
    if (air_f > reading.temp_f) {
        out.advice.push_back("El aire de combustión (" + temperature_text(air_f, style) +
                             ") está más caliente que los humos (" +
                             temperature_text(reading.temp_f, style) +
                             "): sin eficiencia neta ni corregida.");
        return;
    }
    // Without an air temperature the corrected gross efficiency is the window's.
    double gross = out.results->efficiency;
    try {
        const double net =
            net_efficiency(reading.fuel, reading.o2, fahrenheit_to_celsius(reading.temp_f),
                           fahrenheit_to_celsius(air_f));
        give(out, FigureKind::net, net, asked);
        if (asked[index_of(FigureKind::flue_loss)])
            give(out, FigureKind::flue_loss, arithmetic::difference(100.0, net), asked);
        if (comparison.air_f) {
            gross = corrected_gross(reading, air_f).efficiency;
            give(out, FigureKind::corrected, gross, asked);
        }
    } catch (const RuntimeError& error) {
        // An air temperature far below any flue gas's.
        take_back(out, {FigureKind::net, FigureKind::flue_loss, FigureKind::corrected});
        out.advice.push_back("No se puede calcular la eficiencia neta ni la corregida: " +
                             std::string(error.what()) + ".");
        return;
    }
    if (comparison.target_o2)
        compare_target(reading, comparison, style, air_f, gross, out);
}

// A basis's words with its numbers in the style's decimal mark, the placeholder filled.
void fill(std::string& text, std::string_view placeholder, const std::string& with)
{
    if (const auto at = text.find(placeholder); at != std::string::npos)
        text.replace(at, placeholder.size(), with);
}

} // namespace

std::span<const FigureFacts> figure_kinds() { return kinds; }

const FigureFacts& figure_facts(FigureKind kind) { return kinds.at(index_of(kind)); }

std::optional<FigureKind> figure_named(std::string_view id)
{
    const auto* const named = std::find_if(kinds.begin(), kinds.end(),
                                           [id](const auto& facts) { return facts.id == id; });
    return named != kinds.end() ? std::optional(named->kind) : std::nullopt;
}

std::string in_style(std::string text, const AdviceStyle& style)
{
    if (style.decimal_comma)
        std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

std::string temperature_text(double fahrenheit, const AdviceStyle& style)
{
    const std::string shown =
        Str(Redondeo_Centesimas(style.celsius ? fahrenheit_to_celsius(fahrenheit) : fahrenheit));
    return in_style(std::string(without_sign_blank(shown)), style) +
        (style.celsius ? " °C" : " °F");
}

std::string basis_text(FigureKind kind, const Comparison& comparison, const AdviceStyle& style)
{
    std::string text = in_style(std::string(figure_facts(kind).basis), style);
    fill(text, "{aire}",
         "aire a " + temperature_text(comparison.air_f.value_or(combustion_air_temp), style) +
             (comparison.air_f ? "" : ", supuesto"));
    if (comparison.target_o2) {
        std::string target = "O2 " + in_style(plain_number(*comparison.target_o2), style) + " %";
        if (comparison.target_temp_f)
            target += ", humos a " + temperature_text(*comparison.target_temp_f, style);
        fill(text, "{objetivo}", target);
    }
    return text;
}

// (A set of nine figures is one machine word: passed by value.)
void evaluate(const Reading& reading, Report& out, const AdviceStyle& style,
              // cppcheck-suppress passedByValue
              const Comparison& comparison, FigureSet asked)
{
    out.outside_model = false;
    out.doubtful = false;
    out.results.reset();
    out.failure.clear();
    out.failed_input.reset();
    out.advice.clear();
    // A flag each, rather than the whole array zeroed (rep stos, slow to start).
    for (auto& value : out.values)
        value.reset();
    for (std::string& text : out.texts)
        text.clear();
    try {
        out.results = calculate(reading);
        out.outside_model = !within_model(reading, *out.results);
        out.values[index_of(FigureKind::excess_air)] = out.results->excess_air;
        out.values[index_of(FigureKind::efficiency)] = out.results->efficiency;
        // Rounding to hundredths overflows, as in the window, for a result too large.
        shown_result(out.results->excess_air, out.text(FigureKind::excess_air));
        shown_result(out.results->efficiency, out.text(FigureKind::efficiency));
    } catch (const RuntimeError& error) {
        out.failure = failure_text(error);
        out.failed_input = error.input();
        return;
    }
    for (auto& item : reading_advice(reading, *out.results, style))
        out.advice.push_back(std::move(item.message));
    oxygen_figures(reading, out, asked);
    if (!out.outside_model)
        compare(reading, comparison, style, out, asked);
}

} // namespace quemador
