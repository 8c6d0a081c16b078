#include "cli/reading.h"

#include "calculation/efficiency_model.h"
#include "calculation/reading_advice.h"

#include <utility>

namespace quemador::cli {

Results calculate(const Reading& reading)
{
    WindowState state;
    state.Valor_O2 = reading.o2;
    state.Valor_CO2 = reading.co2.value_or(0.0);
    state.Valor_Temp = reading.temp_f;
    run_model(coefficients(reading.fuel), state);
    return {state.Exceso_Aire, state.Valor_Eficiencia};
}

std::string calculation_failure(const RuntimeError& error)
{
    return std::string("no se puede calcular: ") + error.what() + " (error " +
        std::to_string(static_cast<int>(error.number())) + ")";
}

std::vector<std::string> advice(const Reading& reading, const Results& results)
{
    std::vector<std::string> messages;
    for (auto& item : reading_advice(reading.fuel, reading.o2, reading.co2.value_or(0.0),
                                     reading.temp_f, results.excess_air, results.efficiency)) {
        if (item.subject != AdviceSubject::CO2 || reading.co2)
            messages.push_back(std::move(item.message));
    }
    return messages;
}

} // namespace quemador::cli
