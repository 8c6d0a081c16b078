// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The two fuels the calculator knows, and what the program says of each: the window's
// caption, its name inside a sentence, the other names people write for it, the CO2
// of its flue gas, its coefficient set, and the constants of the net efficiency that
// European analysers show. Every caller asks here.

#include "calculation/efficiency_model.h"

#include <span>
#include <string_view>

namespace quemador {

enum class Fuel { natural_gas, fuel_oil_no2 };

struct FuelFacts {
    Fuel fuel;
    std::string_view caption; // as the window's label shows it: "Gas Natural"
    std::string_view name;    // inside a sentence: "gas natural"
    // Names written in headers and on the command line, folded to lower-case ASCII
    // letters and digits ("Fuel Oil Nº 2" is "fueloiln2").
    std::span<const std::string_view> names;
    double co2_max; // % vol CO2 in the dry flue gas of the fuel burnt with no excess air
    const Coeficientes_Combustible& coefficients;
    // The Siegert constants of the flue-gas loss on the lower heating value, as the
    // German ordinance on small firing installations (1. BImSchV) gives them.
    double siegert_a2;
    double siegert_b;
    // The higher heating value over the lower one ("about 11 % above for natural gas and
    // 6 % for heating oil", gewerbegas.info).
    double hhv_over_lhv;
};

const FuelFacts& facts(Fuel fuel);

// Both fuels, natural gas first.
std::span<const FuelFacts> fuels();

} // namespace quemador
