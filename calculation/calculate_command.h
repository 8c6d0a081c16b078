// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calculate command. One reading (a fuel and three numbers) goes through the
// efficiency model to its excess air and efficiency, or to the run-time error that
// stopped it with the input to blame; a result is shown rounded to hundredths. A
// click of "Calcular" does the same on the window: it reads the three input boxes
// and the fuel choice, runs the model on the window's state and writes the two
// rounded results back. The window, the command line, the tests and the benchmarks
// all calculate through here.

#include "calculation/efficiency_model.h"
#include "calculation/fuel.h"
#include "runtime/runtime_error.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quemador {

// One reading: the oxygen in % vol, the CO2 in % vol where it was measured (no result
// depends on it), the stack temperature in °F, and the CO in ppm where it was measured
// (for the advice only).
struct Reading {
    Fuel fuel = Fuel::natural_gas;
    double o2 = 0.0;
    std::optional<double> co2;
    double temp_f = 0.0;
    std::optional<double> co_ppm;
};

// The model's excess air and efficiency, in %, unrounded.
struct Results {
    double excess_air = 0.0;
    double efficiency = 0.0;
};

// Runs the model for one reading, exactly as a click of "Calcular" does. Raises the
// RuntimeError of the first step without a finite result, blaming the stack
// temperature when the same oxygen reading runs cleanly at an ordinary one, and the
// oxygen otherwise.
Results calculate(const Reading& reading);

// What to check when the model has no result, naming the reading it blames (the
// oxygen when none is): the window's error report and the command line both say it.
std::string_view model_error_hint(std::optional<Input> blamed);

// A result as the window shows it: Str(Redondeo_Centesimas(x)), " 83.94", "-27.85".
// Raises the overflow RuntimeError for a value too large to round. Into text, reusing
// its room, for a caller that keeps one string per result from row to row.
std::string shown_result(double x);
void shown_result(double x, std::string& text);

// What the click needs of its window, and nothing more.
class CalculatorWindow {
public:
    enum class ResultBox { Relacion_AF, Eficiencia };
    enum class OptionButton { Opcion_Gas_Natural, Opcion_Fuel_Oil };

    [[nodiscard]] virtual std::string text(Input box) const = 0;
    virtual void set_text(ResultBox box, std::string_view text) = 0;
    [[nodiscard]] virtual bool is_on(OptionButton option) const = 0;
    [[nodiscard]] virtual WindowState& state() = 0;

    virtual ~CalculatorWindow() = default;
};

// What a click read from its window, for the advice on it: the text of each input
// box (the numbers Val made of them are in the window's state), and the fuel whose
// coefficients the model last ran with (natural gas when no option was on).
struct ClickReadings {
    std::array<std::string, 3> texts; // in the order of Input
    Fuel fuel = Fuel::natural_gas;

    [[nodiscard]] std::string_view text(Input box) const
    {
        return texts.at(static_cast<std::size_t>(box));
    }
};

// Runs one calculation for a click of "Calcular" and returns what it read. On a
// RuntimeError both result boxes are emptied, so that nothing stale or half-done is
// shown, and the error is passed on to the caller, naming the input box that caused
// it (the box that could not be read, or the reading that made the model fail); the
// input boxes are never touched.
ClickReadings Calcular_Click(CalculatorWindow& window);

} // namespace quemador
