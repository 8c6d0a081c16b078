// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Advice on one calculation's readings: what Val made of a text that was not wholly
// a number, readings that cannot be, results outside what the correlation covers,
// and O2 and CO2 readings that do not agree for the fuel. Advice tells the user
// more; it never changes a reading or a result.

#include "calculation/calculate_command.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador {

// What a piece of advice is about: one of the readings, or (none) the two results.
using AdviceSubject = std::optional<Input>;
inline constexpr AdviceSubject about_results = std::nullopt;

struct Advice {
    AdviceSubject subject;
    std::string message; // Spanish, short and concrete, quoting the number read
    std::string brief;   // its gist in a few words, for a one-line list that names the box

    bool operator==(const Advice&) const = default;
};

inline constexpr double oxygen_in_air = 20.9;  // % vol, no flue gas holds more
inline constexpr double orsat_tolerance = 1.5; // points of CO2 between reading and expected

// Typed text between « », as messages quote it: cut short on a character boundary,
// with "…", when it is longer than max_bytes.
std::string quoted(std::string_view text, std::size_t max_bytes = 24);

// How Val read one input text, when that was not the whole text ("3,5", "abc", "",
// "150 ºC") or when it joined pieces of a number split by blanks ("3 5"). Empty when
// the text is wholly one number, and when it is too large to read (the error report
// covers that).
std::optional<Advice> text_advice(Input box, std::string_view text);
// The same for a text that Val has already read as value.
std::optional<Advice> text_advice(Input box, std::string_view text, double value);

// How advice writes the numbers it quotes. By default as the window does: a decimal
// point, temperatures in °F, each reading as Str writes it. A log keeps its own way:
// its decimal mark, its temperature unit, and each reading as it was written there
// (blanks around it left out; an empty or blank text is written from the number).
struct AdviceStyle {
    bool decimal_comma = false;
    bool celsius = false;
    std::string_view o2_text;
    std::string_view co2_text;
    std::string_view temp_text;
    std::string_view co_text;
};

// Checks on a reading and the model's unrounded results for it: impossible readings,
// results outside what the correlation covers, O2/CO2 (Orsat) consistency for the
// fuel where a CO2 was measured, and a burner that makes CO where a CO was measured.
// Empty when nothing is off.
std::vector<Advice> reading_advice(const Reading& reading, const Results& results,
                                   const AdviceStyle& style = {});

// Whether results lie within what the correlation covers: an efficiency from 0 to
// 100 % and an excess air not negative.
inline bool results_in_correlation(const Results& results)
{
    return results.efficiency >= 0.0 && results.efficiency <= 100.0 && results.excess_air >= 0.0;
}

// The first bound of the model that a reading or its results lie past: its oxygen (not
// from 0 to below the air's 20.9 %), its stack temperature (below the combustion air's:
// the 60 °F the correlations assume, or the air given), or the correlation's results.
enum class ModelBound { within, oxygen, temperature, correlation };
inline ModelBound model_bound(const Reading& reading, const Results& results,
                              double air_f = combustion_air_temp)
{
    if (!(reading.o2 >= 0.0 && reading.o2 < oxygen_in_air))
        return ModelBound::oxygen;
    if (!(reading.temp_f >= air_f))
        return ModelBound::temperature;
    return results_in_correlation(results) ? ModelBound::within : ModelBound::correlation;
}

// Whether the model describes the reading and its results. reading_advice says why
// not. Inline: a log asks it of every row.
inline bool within_model(const Reading& reading, const Results& results)
{
    return model_bound(reading, results) == ModelBound::within;
}

// All advice on one click: how each input text was read, then the checks on the
// numbers read and the results that the click left in state.
std::vector<Advice> calculation_advice(const ClickReadings& click, const WindowState& state);

} // namespace quemador
