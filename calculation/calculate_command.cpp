#include "calculation/calculate_command.h"

#include "calculation/number_text.h"
#include "runtime/runtime_error.h"

namespace quemador {
namespace {

using TextBox = CalculatorWindow::TextBox;
using OptionButton = CalculatorWindow::OptionButton;

// Val on one input box's text; an overflow names the box.
double read(const CalculatorWindow& window, TextBox box, ErrorInput input)
{
    const std::string text = window.text(box);
    try {
        return Val(text);
    } catch (const RuntimeError& error) {
        throw RuntimeError(error.number(), error.source(), input);
    }
}

// The reading to blame for an error in the model: the stack temperature when the same
// oxygen reading runs cleanly at an ordinary stack temperature, the oxygen otherwise.
ErrorInput model_error_cause(const Coeficientes_Combustible& fuel, double o2)
{
    constexpr double ordinary_stack_temp = 300.0; // °F
    WindowState trial;
    trial.Valor_O2 = o2;
    trial.Valor_Temp = ordinary_stack_temp;
    try {
        run_model(fuel, trial);
        return ErrorInput::Temp_stack;
    } catch (const RuntimeError&) {
        return ErrorInput::O2;
    }
}

// run_model, its errors naming the reading that caused them.
void run(const Coeficientes_Combustible& fuel, WindowState& state)
{
    try {
        run_model(fuel, state);
    } catch (const RuntimeError& error) {
        throw RuntimeError(error.number(), error.source(), model_error_cause(fuel, state.Valor_O2));
    }
}

} // namespace

void Calcular_Click(CalculatorWindow& window)
{
    WindowState& state = window.state();
    try {
        state.Valor_O2 = read(window, TextBox::O2, ErrorInput::O2);
        state.Valor_CO2 = read(window, TextBox::CO2, ErrorInput::CO2);
        state.Valor_Temp = read(window, TextBox::Temp_stack, ErrorInput::Temp_stack);

        // Two separate tests, not one choice: each option button is asked in turn.
        if (window.is_on(OptionButton::Opcion_Gas_Natural))
            run(natural_gas, state);
        if (window.is_on(OptionButton::Opcion_Fuel_Oil))
            run(fuel_oil_no2, state);

        window.set_text(TextBox::Relacion_AF, Str(Redondeo_Centesimas(state.Exceso_Aire)));
        window.set_text(TextBox::Eficiencia, Str(Redondeo_Centesimas(state.Valor_Eficiencia)));
    } catch (const RuntimeError&) {
        window.set_text(TextBox::Relacion_AF, "");
        window.set_text(TextBox::Eficiencia, "");
        throw;
    }
}

} // namespace quemador
