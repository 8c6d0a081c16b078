// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One reading through the calculation as every face reports it (the command line's
// one reading, table and log, the web page): calculated, shown as the window shows
// it, or not calculated and why, with the reading advice and the figures beside the
// window's.

#include "calculation/calculate_command.h"
#include "calculation/reading_advice.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::log {

// What a reading is set beside, past the window's results: the temperature of its
// combustion air, and a tuned reading to reach.
struct Comparison {
    // °F; none: the 60 °F that the correlations assume.
    std::optional<double> air_f;
    // The target's oxygen, % vol, and its stack temperature, °F (none: the reading's).
    std::optional<double> target_o2;
    std::optional<double> target_temp_f;
};

// What became of one reading. Kept by a caller from one reading to the next, so that
// a long log reuses its strings.
struct Outcome {
    // The model's results, unrounded; none when it has no finite result.
    std::optional<Results> results;
    // The results as the window shows them; empty when not shown. The excess air is
    // shown whenever it can be rounded, even when the efficiency cannot.
    std::string excess_air;
    std::string efficiency;
    // Why the results cannot be shown, and the reading it blames; empty when they are.
    std::string failure;
    std::optional<Input> failed_input;
    // The advice on the reading and its results, one Spanish sentence each; none when
    // the results cannot be shown, or for a typical reading.
    std::vector<std::string> advice;
    // The model does not describe the reading or its results (within_model): the
    // results mean nothing, and the advice says why.
    bool outside_model = false;
    // The results are shown and mean something, but a figure beside them may mislead
    // (a target less efficient than the reading, or below the air) or the reading
    // warns of a danger (a CO past the limit, or one that cannot be), and the advice
    // says why.
    bool doubtful = false;

    // Past the window's results, when they are shown and mean something: the net
    // efficiency (Siegert); the gross one with the air's temperature, when one was
    // given; with a target, the gross efficiency there and the fuel saved by reaching
    // it, on the same basis. Each as the window shows a result; empty when not given
    // or when it cannot be calculated (the advice then says why).
    std::string net;
    std::string corrected;
    std::string target;
    std::string saving;
    // With a CO reading: the CO on air-free flue gas, in whole ppm ("58").
    std::string co_air_free;
    // The same figures unrounded, for a log's summary.
    struct Figures {
        std::optional<double> net;
        std::optional<double> corrected;
        std::optional<double> saving;
        std::optional<double> co_air_free;
    } figures;

    [[nodiscard]] bool shown() const { return failure.empty(); }
};

// A figure past the window's two, as every face shows it: its label, its value (a view
// into the outcome) and its basis in words.
enum class FigureKind { net, corrected, target, saving, co_air_free };
struct Figure {
    FigureKind kind;
    std::string_view label;
    std::string_view value;
    std::string basis;
};

// The figures an outcome holds past the window's two, in order, with temperatures in
// the bases written in the given style.
std::vector<Figure> figures(const Outcome& outcome, const AdviceStyle& style,
                            const Comparison& comparison);

// A temperature in °F as the style writes temperatures: "20 °C", "68 °F", "20,5 °C".
std::string temperature_text(double fahrenheit, const AdviceStyle& style);

// Calculates one reading, shows its results and gathers the advice on it, its numbers
// written in the given style; then sets it beside what it is compared with.
void evaluate(const Reading& reading, Outcome& out, const AdviceStyle& style = {},
              const Comparison& comparison = {});

} // namespace quemador::log
