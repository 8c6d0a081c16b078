#pragma once

// One reading through the efficiency model, as a click of "Calcular" runs it, and the
// reading advice that goes with it.

#include "cli/names.h"
#include "runtime/runtime_error.h"

#include <optional>
#include <string>
#include <vector>

namespace quemador::cli {

// One reading: the oxygen in % vol, the CO2 in % vol when it was measured, and the
// stack temperature in °F.
struct Reading {
    Fuel fuel = Fuel::natural_gas;
    double o2 = 0.0;
    std::optional<double> co2;
    double temp_f = 0.0;
};

// The model's excess air and efficiency, unrounded.
struct Results {
    double excess_air = 0.0;
    double efficiency = 0.0;
};

// Runs the model for one reading on fresh window state, exactly as Calcular_Click
// does; raises the same RuntimeError where the model has no finite result.
Results calculate(const Reading& reading);

// What the user is told when the model has no finite result for a reading.
std::string calculation_failure(const RuntimeError& error);

// The advice on a reading and its results, one Spanish sentence each; none for a
// typical reading. The CO2 checks are left out when no CO2 was measured.
std::vector<std::string> advice(const Reading& reading, const Results& results);

} // namespace quemador::cli
