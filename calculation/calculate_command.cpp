#include "calculation/calculate_command.h"

#include "calculation/number_text.h"
#include "runtime/runtime_error.h"

namespace quemador {

void Calcular_Click(CalculatorWindow& window)
{
    using TextBox = CalculatorWindow::TextBox;
    using OptionButton = CalculatorWindow::OptionButton;

    WindowState& state = window.state();
    try {
        state.Valor_O2 = Val(window.text(TextBox::O2));
        state.Valor_CO2 = Val(window.text(TextBox::CO2));
        state.Valor_Temp = Val(window.text(TextBox::Temp_stack));

        // Two separate tests, not one choice: each option button is asked in turn.
        if (window.is_on(OptionButton::Opcion_Gas_Natural))
            run_model(natural_gas, state);
        if (window.is_on(OptionButton::Opcion_Fuel_Oil))
            run_model(fuel_oil_no2, state);

        window.set_text(TextBox::Relacion_AF, Str(Redondeo_Centesimas(state.Exceso_Aire)));
        window.set_text(TextBox::Eficiencia, Str(Redondeo_Centesimas(state.Valor_Eficiencia)));
    } catch (const RuntimeError&) {
        window.set_text(TextBox::Relacion_AF, "");
        window.set_text(TextBox::Eficiencia, "");
        throw;
    }
}

} // namespace quemador
