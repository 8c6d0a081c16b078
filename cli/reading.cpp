#include "cli/reading.h"

#include "calculation/efficiency_model.h"

namespace quemador::cli {

Results calculate(const Reading& reading)
{
    WindowState state;
    state.Valor_O2 = reading.o2;
    state.Valor_CO2 = reading.co2.value_or(0.0);
    state.Valor_Temp = reading.temp_f;
    run_model(reading.fuel == Fuel::natural_gas ? natural_gas : fuel_oil_no2, state);
    return {state.Exceso_Aire, state.Valor_Eficiencia};
}

std::string calculation_failure(const RuntimeError& error)
{
    return std::string("no se puede calcular: ") + error.what() + " (error " +
        std::to_string(static_cast<int>(error.number())) + ")";
}

std::vector<std::string> advice(const Reading& /*reading*/, const Results& /*results*/)
{
    return {};
}

} // namespace quemador::cli
