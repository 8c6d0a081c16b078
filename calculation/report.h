// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// One reading through the calculation as every face reports it (the command line's
// one reading, table and log, the web page): the model run once, its results shown as
// the window shows them or why they cannot be, the advice on the reading, and each
// figure an analyser prints beside them. One table describes every figure (its ids,
// label, unit, decimals, basis and what it needs); the faces iterate over it, and
// name no figure that it does not.

#include "calculation/calculate_command.h"
#include "calculation/reading_advice.h"

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quemador {

// What a reading is set beside, past the window's results: the temperature of its
// combustion air, and a tuned reading to reach.
struct Comparison {
    // °F; none: the 60 °F that the correlations assume.
    std::optional<double> air_f;
    // The target's oxygen, % vol, and its stack temperature, °F (none: the reading's).
    std::optional<double> target_o2;
    std::optional<double> target_temp_f;
};

// Every figure of a report, in the order the faces show them: the window's two, the
// air ratio, the net efficiency and the flue-gas loss beside it, the gross efficiency
// with the air's temperature, a target's efficiency and the fuel saved by reaching
// it, and the CO on air-free flue gas.
enum class FigureKind : std::uint8_t {
    excess_air,
    efficiency,
    lambda,
    net,
    flue_loss,
    corrected,
    target,
    saving,
    co_air_free
};
inline constexpr std::size_t figure_count = 9;

// What a figure needs past the oxygen and the stack temperature.
enum class Need : std::uint8_t { nothing, air, target, co };

struct FigureFacts {
    FigureKind kind;
    std::string_view id;      // as a log's column and --cifras name it: "eficiencia_neta"
    std::string_view page_id; // as the web page names it: "eficiencia-neta"
    std::string_view label;   // "Eficiencia neta (%)"
    std::string_view unit;    // "%", "ppm"; empty for a ratio
    // 2: to hundredths, as the window shows a result (" 92.69"); 0: whole ("58").
    int decimals;
    // What it is, in words; "{aire}" and "{objetivo}" stand for the air's temperature
    // and the target's readings. Empty for the window's two.
    std::string_view basis;
    Need need;
    // A result of the model (the window's two): given outside the model, as the window
    // shows it, but meaning nothing there. The others are given only where they mean
    // something.
    bool model_result;
};

// Every figure, in the order above.
std::span<const FigureFacts> figure_kinds();
const FigureFacts& figure_facts(FigureKind kind);
// The figure an id names, as a log and --cifras name it.
std::optional<FigureKind> figure_named(std::string_view id);

// A set of figures, by kind.
using FigureSet = std::bitset<figure_count>;
inline constexpr std::size_t index_of(FigureKind kind) { return static_cast<std::size_t>(kind); }
inline FigureSet all_figures() { return FigureSet().set(); }

// What became of one reading. Kept by a caller from one reading to the next, so that a
// long log reuses its strings.
struct Report {
    // The model's results, unrounded; none when it has no finite result.
    std::optional<Results> results;
    // Why the results cannot be shown, and the reading it blames; empty when they are.
    std::string failure;
    std::optional<Input> failed_input;
    // The advice on the reading and its results, one Spanish sentence each; none when
    // the results cannot be shown, or for a typical reading.
    std::vector<std::string> advice;
    // The model does not describe the reading or its results (within_model): the
    // window's results mean nothing, the other figures are not given, and the advice
    // says why.
    bool outside_model = false;
    // The results are shown and mean something, but a figure beside them may mislead
    // (a target less efficient than the reading, or below the air) or the reading
    // warns of a danger (a CO past the limit, or one that cannot be), and the advice
    // says why.
    bool doubtful = false;
    // Each figure, unrounded; none when it is not given (missing what it needs, not
    // calculable, in which case the advice says why, or not asked for and resting on
    // nothing else: the air ratio and the flue-gas loss).
    std::array<std::optional<double>, figure_count> values;
    // Each figure asked for and given, as the window shows a result (" 83.94") or as a
    // whole number ("58"); empty otherwise. The excess air is shown whenever it can be
    // rounded, even when the efficiency cannot.
    std::array<std::string, figure_count> texts;

    [[nodiscard]] bool shown() const { return failure.empty(); }
    [[nodiscard]] const std::optional<double>& value(FigureKind kind) const
    {
        return values[index_of(kind)];
    }
    [[nodiscard]] const std::string& text(FigureKind kind) const { return texts[index_of(kind)]; }
    [[nodiscard]] std::string& text(FigureKind kind) { return texts[index_of(kind)]; }
    // Whether a figure is given and means something: the window's two outside the model
    // are given, as the window shows them, but mean nothing.
    [[nodiscard]] bool meaningful(FigureKind kind) const
    {
        return value(kind).has_value() && !(outside_model && figure_facts(kind).model_result);
    }
};

// Calculates one reading, shows its results and gathers the advice on it, its numbers
// written in the given style; then sets it beside what it is compared with. Every
// figure whose needs are met is given its value (but the air ratio and the flue-gas loss
// only when asked for); those asked for, their text too.
void evaluate(const Reading& reading, Report& out, const AdviceStyle& style = {},
              const Comparison& comparison = {}, FigureSet asked = all_figures());

// A figure's basis in words, with the air's temperature and the target's readings, its
// numbers in the style's decimal mark and temperature unit; empty for the window's two.
std::string basis_text(FigureKind kind, const Comparison& comparison, const AdviceStyle& style);

// A temperature in °F as the style writes temperatures: "20 °C", "68 °F", "20,5 °C".
std::string temperature_text(double fahrenheit, const AdviceStyle& style);

// A number's text with the style's decimal mark: "20.9" or "20,9".
std::string in_style(std::string text, const AdviceStyle& style);

} // namespace quemador
