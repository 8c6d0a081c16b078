#pragma once

// The calculate command: reads the three input boxes and the fuel choice from the
// window, runs the efficiency model on the window's state and writes the two
// rounded results back.

#include "calculation/efficiency_model.h"

#include <string>
#include <string_view>

namespace quemador {

// What the calculate command needs of its window, and nothing more.
class CalculatorWindow {
public:
    enum class TextBox { O2, CO2, Temp_stack, Relacion_AF, Eficiencia };
    enum class OptionButton { Opcion_Gas_Natural, Opcion_Fuel_Oil };

    [[nodiscard]] virtual std::string text(TextBox box) const = 0;
    virtual void set_text(TextBox box, std::string_view text) = 0;
    [[nodiscard]] virtual bool is_on(OptionButton option) const = 0;
    [[nodiscard]] virtual WindowState& state() = 0;

    virtual ~CalculatorWindow() = default;
};

// Runs one calculation for a click of "Calcular". On a RuntimeError both result
// boxes are emptied, so that nothing stale or half-done is shown, and the error is
// passed on to the caller, naming the input box that caused it (the box that could
// not be read, or the reading that made the model fail); the input boxes are never
// touched.
void Calcular_Click(CalculatorWindow& window);

} // namespace quemador
