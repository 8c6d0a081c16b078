// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/fuel.h"

#include <array>

namespace quemador {
namespace {

constexpr std::array<std::string_view, 4> gas_names = {"gas", "gasnatural", "gn", "naturalgas"};
// "Gasóleo C" is the Spanish name of heating gas oil, No. 2 fuel oil.
constexpr std::array<std::string_view, 12> oil_names = {
    "fueloil", "fueloil2", "fueloiln2", "fueloilno2", "gasoleo", "gasoil",
    "fo",      "fo2",      "oil",       "gasoleoc",   "gasoilc", "gasoleodecalefaccion"};

// No. 2 fuel oil is the light heating oil ("Heizöl EL", gasóleo C) of the Siegert tables.
const std::array<FuelFacts, 2> all_fuels{{
    {Fuel::natural_gas, "Gas Natural", "gas natural", gas_names, 11.8, natural_gas, 0.66, 0.009,
     1.11},
    {Fuel::fuel_oil_no2, "Fuel Oil Nº 2", "fuel oil nº 2", oil_names, 15.4, fuel_oil_no2, 0.68,
     0.007, 1.06},
}};

} // namespace

const FuelFacts& facts(Fuel fuel)
{
    return fuel == Fuel::natural_gas ? all_fuels[0] : all_fuels[1];
}

std::span<const FuelFacts> fuels() { return all_fuels; }

} // namespace quemador
