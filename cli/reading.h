// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One reading through the calculation as quemador1-calc reports it, in each of its
// modes (one reading, a table, a log): calculated, shown as the window shows it, or
// not calculated and why, with the reading advice.

#include "calculation/calculate_command.h"
#include "calculation/reading_advice.h"

#include <optional>
#include <string>
#include <vector>

namespace quemador::cli {

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
    // Why the results cannot be shown; empty when they are.
    std::string failure;
    // The advice on the reading and its results, one Spanish sentence each; none when
    // the results cannot be shown, or for a typical reading.
    std::vector<std::string> advice;
    // The model does not describe the reading or its results (within_model): the
    // results mean nothing, and the advice says why.
    bool outside_model = false;

    // Past the window's results, when they are shown and mean something: the net
    // efficiency (Siegert); the gross one with the air's temperature, when one was
    // given; with a target, the gross efficiency there and the fuel saved by reaching
    // it, on the same basis. Each as the window shows a result; empty when not given
    // or when it cannot be calculated (the advice then says why).
    std::string net;
    std::string corrected;
    std::string target;
    std::string saving;
    // The same figures unrounded, for a log's summary.
    struct Figures {
        std::optional<double> net;
        std::optional<double> corrected;
        std::optional<double> saving;
    } figures;

    [[nodiscard]] bool shown() const { return failure.empty(); }
};

// A temperature in °F as the style writes temperatures: "20 °C", "68 °F", "20,5 °C".
std::string temperature_text(double fahrenheit, const AdviceStyle& style);

// Calculates one reading, shows its results and gathers the advice on it, its numbers
// written in the given style; then sets it beside what it is compared with.
void evaluate(const Reading& reading, Outcome& out, const AdviceStyle& style = {},
              const Comparison& comparison = {});

} // namespace quemador::cli
