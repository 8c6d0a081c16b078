// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/reading_advice.h"

#include "calculation/net_efficiency.h"
#include "calculation/number_text.h"
#include "runtime/runtime_error.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <utility>

namespace quemador {
namespace {

std::string without_blanks(std::string_view text)
{
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out),
                 [](char c) { return !skipped_by_Val(c); });
    return out;
}

bool all_digits(std::string_view text)
{
    return !text.empty() &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A result as the window shows it, to hundredths; past what can be rounded, as it is.
std::string hundredths(double x)
{
    return std::string(without_sign_blank(std::abs(x) < 1e15 ? shown_result(x) : Str(x)));
}

std::string tenths(double x) { return plain_number(std::floor(x * 10.0 + 0.5) / 10.0); }

// "ºC", "°C" or a bare C after a temperature, in either case.
bool is_celsius(std::string_view unit)
{
    static constexpr std::array<std::string_view, 6> celsius = {"C", "c", "ºC", "ºc", "°C", "°c"};
    return std::find(celsius.begin(), celsius.end(), unit) != celsius.end();
}

// A number as a style writes it: with its decimal mark.
std::string in_style(std::string text, const AdviceStyle& style)
{
    if (style.decimal_comma)
        std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// A result quoted in a notice, with its unit: to hundredths, or only its side of a
// bound beyond which hundredths mean nothing ("por debajo de -1000000 %").
std::string result_quoted(double x, const AdviceStyle& style)
{
    constexpr double beyond_sense = 1e6;
    if (x <= -beyond_sense)
        return "por debajo de " + plain_number(-beyond_sense) + " %";
    if (x >= beyond_sense)
        return "por encima de " + plain_number(beyond_sense) + " %";
    return in_style(hundredths(x), style) + " %";
}

// A reading as it was written, blanks around it left out, or else from its number.
std::string written(std::string_view text, double x, const AdviceStyle& style)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return in_style(plain_number(x), style);
    return std::string(text.substr(first, text.find_last_not_of(" \t") + 1 - first));
}

std::string temperature_below_air(const Reading& reading, const AdviceStyle& style)
{
    if (!style.celsius)
        return "Temperatura de " + written(style.temp_text, reading.temp_f, style) +
            " °F: está por debajo de los 60 °F del aire de combustión que supone el cálculo.";
    return "Temperatura de " +
        written(style.temp_text, fahrenheit_to_celsius(reading.temp_f), style) +
        " °C: está por debajo de los " +
        in_style(tenths(fahrenheit_to_celsius(combustion_air_temp)), style) +
        " °C (60 °F) del aire de combustión que supone el cálculo.";
}

// A CO2 reading that cannot be, or that does not match the oxygen for the fuel.
std::optional<Advice> co2_advice(const FuelFacts& fuel, const Reading& reading,
                                 const AdviceStyle& style)
{
    const double o2 = reading.o2;
    const double co2 = *reading.co2;
    if (co2 < 0.0)
        return Advice{Input::CO2,
                      "CO2 de " + written(style.co2_text, co2, style) +
                          " %: el dióxido de carbono no puede ser negativo.",
                      "negativo"};
    if (o2 <= 0.0 || o2 >= oxygen_in_air)
        return std::nullopt;
    const double expected = fuel.co2_max * (oxygen_in_air - o2) / oxygen_in_air;
    if (std::abs(co2 - expected) <= orsat_tolerance)
        return std::nullopt;
    return Advice{Input::CO2,
                  "CO2 de " + written(style.co2_text, co2, style) + " % no cuadra con O2 de " +
                      written(style.o2_text, o2, style) + " %: con " + std::string(fuel.name) +
                      " se esperaría " + in_style(tenths(expected), style) +
                      " %. ¿Entra aire en la muestra o está elegido el otro "
                      "combustible?",
                  "no cuadra con el O2"};
}

// A CO reading that cannot be, or that shows a burner making CO.
std::optional<Advice> co_advice(const Reading& reading, const AdviceStyle& style)
{
    const double co = *reading.co_ppm;
    if (co < 0.0)
        return Advice{about_results,
                      "CO de " + written(style.co_text, co, style) +
                          " ppm: el monóxido de carbono no puede ser negativo.",
                      "CO negativo"};
    if (reading.o2 < 0.0 || reading.o2 >= oxygen_in_air)
        return std::nullopt;
    const double air_free = co_air_free(co, reading.o2);
    if (air_free <= co_air_free_limit)
        return std::nullopt;
    return Advice{about_results,
                  "CO de " + written(style.co_text, co, style) + " ppm, " +
                      plain_number(std::round(air_free)) + " ppm sin aire: más de " +
                      plain_number(co_air_free_limit) +
                      ", el quemador produce CO. Reducir su aire sería peligroso: revise la "
                      "combustión antes de ajustarlo.",
                  "el quemador produce CO"};
}

} // namespace

std::string quoted(std::string_view text, std::size_t max_bytes)
{
    if (text.size() <= max_bytes)
        return "«" + std::string(text) + "»";
    std::size_t cut = max_bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0U) == 0x80U)
        --cut;
    return "«" + std::string(text.substr(0, cut)) + "…»";
}

std::optional<Advice> text_advice(Input box, std::string_view text)
{
    try {
        return text_advice(box, text, Val(text));
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

std::optional<Advice> text_advice(Input box, std::string_view text, double value)
{
    if (without_blanks(text).empty())
        return Advice{box, "Casilla vacía: se lee como 0.", "vacía, se lee como 0"};

    const std::size_t length = number_length(text);
    if (length == 0)
        return Advice{box, quoted(text) + " no es un número: se lee como 0.",
                      quoted(text) + " no es un número"};

    const std::string read = plain_number(value);
    if (length == text.size()) {
        // Val joins the pieces of "3 5" into 35: say so, as for a comma.
        const auto* const first = std::find_if_not(text.begin(), text.end(), skipped_by_Val);
        const auto* const last =
            std::find_if_not(text.rbegin(), text.rend(), skipped_by_Val).base();
        if (std::none_of(first, last, skipped_by_Val))
            return std::nullopt;
        return Advice{box,
                      quoted(text) + " se lee como " + read +
                          ": los espacios dentro de un número no cuentan.",
                      quoted(text) + " se lee como " + read};
    }
    const std::string_view rest = text.substr(length);
    const std::string typed_number = without_blanks(text.substr(0, length));

    const bool plain_integer = all_digits(typed_number.front() == '-' || typed_number.front() == '+'
                                              ? std::string_view(typed_number).substr(1)
                                              : std::string_view(typed_number));
    if (rest.front() == ',' && plain_integer && all_digits(without_blanks(rest.substr(1)))) {
        return Advice{box,
                      quoted(text) + " se lee como " + read +
                          ": la coma no separa decimales; escriba " + typed_number + "." +
                          without_blanks(rest.substr(1)) + ".",
                      quoted(text) + " se lee como " + read};
    }
    if (box == Input::Temp_stack && is_celsius(without_blanks(rest))) {
        const double fahrenheit = celsius_to_fahrenheit(value);
        if (std::isfinite(fahrenheit))
            return Advice{box,
                          quoted(text) + " se lee como " + read + " °F, pero " + read + " °C son " +
                              hundredths(fahrenheit) + " °F.",
                          quoted(text) + " se lee como " + read + " °F"};
    }
    return Advice{box, quoted(text) + " se lee como " + read + "; se ignora " + quoted(rest) + ".",
                  quoted(text) + " se lee como " + read};
}

std::vector<Advice> reading_advice(const Reading& reading, const Results& results,
                                   const AdviceStyle& style)
{
    const double o2 = reading.o2;
    const double temp_f = reading.temp_f;
    std::vector<Advice> advice;
    if (o2 < 0.0)
        advice.push_back(
            {Input::O2,
             "O2 de " + written(style.o2_text, o2, style) + " %: el oxígeno no puede ser negativo.",
             "negativo"});
    else if (o2 >= oxygen_in_air)
        advice.push_back({Input::O2,
                          "O2 de " + written(style.o2_text, o2, style) +
                              " %: los humos no pueden tener tanto oxígeno "
                              "como el aire (" +
                              in_style(plain_number(oxygen_in_air), style) + " %).",
                          "tanto oxígeno como el aire"});

    if (reading.co2) {
        if (auto co2 = co2_advice(facts(reading.fuel), reading, style))
            advice.push_back(std::move(*co2));
    }

    if (reading.co_ppm) {
        if (auto co = co_advice(reading, style))
            advice.push_back(std::move(*co));
    }

    if (temp_f < combustion_air_temp)
        advice.push_back(
            {Input::Temp_stack, temperature_below_air(reading, style), "por debajo de 60 °F"});

    if (!results_in_correlation(results))
        advice.push_back({about_results,
                          "Resultados fuera de lo que cubre la correlación (exceso de aire " +
                              result_quoted(results.excess_air, style) + ", eficiencia " +
                              result_quoted(results.efficiency, style) + "): revise las lecturas.",
                          "fuera de la correlación"});
    return advice;
}

std::vector<Advice> calculation_advice(const ClickReadings& click, const WindowState& state)
{
    std::vector<Advice> advice;
    for (const auto& [box, value] :
         {std::pair{Input::O2, state.Valor_O2}, std::pair{Input::CO2, state.Valor_CO2},
          std::pair{Input::Temp_stack, state.Valor_Temp}}) {
        if (auto read = text_advice(box, click.text(box), value))
            advice.push_back(std::move(*read));
    }
    std::vector<Advice> checks =
        reading_advice({click.fuel, state.Valor_O2, state.Valor_CO2, state.Valor_Temp, {}},
                       {state.Exceso_Aire, state.Valor_Eficiencia});
    std::move(checks.begin(), checks.end(), std::back_inserter(advice));
    return advice;
}

} // namespace quemador
