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

    [[nodiscard]] bool shown() const { return failure.empty(); }
};

// Calculates one reading, shows its results and gathers the advice on it, its numbers
// written in the given style.
void evaluate(const Reading& reading, Outcome& out, const AdviceStyle& style = {});

} // namespace quemador::cli
