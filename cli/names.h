#pragma once

// Names as people write them in column headers and on the command line.

#include "calculation/efficiency_model.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quemador::cli {

enum class TemperatureUnit { fahrenheit, celsius };

// A fault in how the program was called or in a file's header: the program says what
// was wrong in one line and stops before writing anything.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The lower-case ASCII letters and digits of a text: accented vowels, ü and ñ fold to
// their plain letter, everything else is dropped ("T gas (°C)" gives "tgasc").
std::string folded(std::string_view text);

// The fuel named by a text, whatever its case, accents or punctuation: "gas",
// "Gas natural", "GN"; "fueloil", "Fuel Oil Nº 2", "gasóleo", "FO2".
std::optional<Fuel> fuel_named(std::string_view name);

// The fuel's name as the window's option button shows it.
std::string_view fuel_caption(Fuel fuel);

} // namespace quemador::cli
