// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Names as people write them in column headers and on the command line.

#include "calculation/fuel.h"

#include <optional>
#include <string>
#include <string_view>

namespace quemador::cli {

enum class TemperatureUnit { fahrenheit, celsius };

// The lower-case ASCII letters and digits of a text: accented vowels, ü and ñ fold to
// their plain letter, subscript digits to digits, everything else is dropped
// ("T gas (°C)" gives "tgasc", "O₂" gives "o2").
std::string folded(std::string_view text);

// The fuel named by a text, whatever its case, accents or punctuation: "gas",
// "Gas natural", "GN"; "fueloil", "Fuel Oil Nº 2", "gasóleo", "Gasóleo C", "FO2".
std::optional<Fuel> fuel_named(std::string_view name);

// What the program says of a fuel it does not have (GLP, propano, gasóleo B): which
// two it has.
std::string unknown_fuel(std::string_view name);

} // namespace quemador::cli
