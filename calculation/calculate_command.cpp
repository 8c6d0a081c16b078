// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/calculate_command.h"

#include "calculation/number_text.h"
#include "runtime/arithmetic.h"

#include <cmath>
#include <cstdint>
#include <utility>

namespace quemador {
namespace {

using ResultBox = CalculatorWindow::ResultBox;
using OptionButton = CalculatorWindow::OptionButton;

// Val on one input box's text, kept in read; an overflow names the box.
double read(const CalculatorWindow& window, Input box, ClickReadings& read)
{
    const std::string& text = read.texts.at(static_cast<std::size_t>(box)) = window.text(box);
    try {
        return Val(text);
    } catch (const RuntimeError& error) {
        throw error.blaming(box);
    }
}

// The reading to blame for an error in the model: the stack temperature when the same
// oxygen reading runs cleanly at an ordinary stack temperature, the oxygen otherwise.
Input model_error_cause(const Coeficientes_Combustible& fuel, double o2)
{
    constexpr double ordinary_stack_temp = 300.0; // °F
    WindowState trial;
    trial.Valor_O2 = o2;
    trial.Valor_Temp = ordinary_stack_temp;
    try {
        run_model(fuel, trial);
        return Input::Temp_stack;
    } catch (const RuntimeError&) {
        return Input::O2;
    }
}

// run_model with a fuel's coefficients, its errors naming the reading that caused them.
void run(Fuel fuel, WindowState& state)
{
    const Coeficientes_Combustible& coefficients = facts(fuel).coefficients;
    try {
        run_model(coefficients, state);
    } catch (const RuntimeError& error) {
        throw error.blaming(model_error_cause(coefficients, state.Valor_O2));
    }
}

} // namespace

Results calculate(const Reading& reading)
{
    WindowState state;
    state.Valor_O2 = reading.o2;
    state.Valor_CO2 = reading.co2.value_or(0.0);
    state.Valor_Temp = reading.temp_f;
    run(reading.fuel, state);
    return {state.Exceso_Aire, state.Valor_Eficiencia};
}

std::string_view model_error_hint(std::optional<Input> blamed)
{
    if (blamed == Input::Temp_stack)
        return "Compruebe la temperatura del gas de chimenea: el valor escrito es demasiado grande "
               "para el cálculo.";
    return "Compruebe la lectura de oxígeno: debe ser menor que 21 %.";
}

void shown_result(double x, std::string& text)
{
    // Redondeo_Centesimas's first steps, with its overflow. Below 10^14 hundredths, Str
    // writes the rounded value from its whole number of hundredths, floor(x × 100 +
    // 0.5): written straight from it, without the division and the rounding back.
    const double scaled = arithmetic::sum(arithmetic::product(x, 100.0), 0.5);
    if (std::abs(scaled) >= 1e14) {
        text = Str(Redondeo_Centesimas(x));
        return;
    }
    // floor(scaled) by truncation toward zero, one less below zero when not whole:
    // exact below 10^14, and without a call where the processor has no rounding
    // instruction.
    auto hundredths = static_cast<std::int64_t>(scaled);
    hundredths -= static_cast<double>(hundredths) > scaled ? 1 : 0;
    hundredths_text(hundredths < 0,
                    static_cast<std::uint64_t>(hundredths < 0 ? -hundredths : hundredths), text);
}

std::string shown_result(double x)
{
    std::string text;
    shown_result(x, text);
    return text;
}

ClickReadings Calcular_Click(CalculatorWindow& window)
{
    WindowState& state = window.state();
    ClickReadings readings;
    try {
        state.Valor_O2 = read(window, Input::O2, readings);
        state.Valor_CO2 = read(window, Input::CO2, readings);
        state.Valor_Temp = read(window, Input::Temp_stack, readings);

        // Two separate tests, not one choice: each option button is asked in turn.
        for (const auto& [option, fuel] :
             {std::pair{OptionButton::Opcion_Gas_Natural, Fuel::natural_gas},
              std::pair{OptionButton::Opcion_Fuel_Oil, Fuel::fuel_oil_no2}}) {
            if (window.is_on(option)) {
                run(fuel, state);
                readings.fuel = fuel;
            }
        }

        window.set_text(ResultBox::Relacion_AF, shown_result(state.Exceso_Aire));
        window.set_text(ResultBox::Eficiencia, shown_result(state.Valor_Eficiencia));
    } catch (const RuntimeError&) {
        window.set_text(ResultBox::Relacion_AF, "");
        window.set_text(ResultBox::Eficiencia, "");
        throw;
    }
    return readings;
}

} // namespace quemador
