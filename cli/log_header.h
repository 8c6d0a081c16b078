// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where a log's header is and what its columns are. Exports carry title lines above
// the header ("Informe de combustión", "Cliente: …", Excel's "sep=;") and often a
// line of units under it ("%", "°C", "ppm"); the header is the first line that names
// an oxygen and a temperature column.

#include "cli/csv.h"
#include "cli/names.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::cli {

// The most lines looked at for the header.
inline constexpr std::size_t max_header_line = 20;

enum class Column { none, o2, co2, temperature, fuel, air, analyser };

// What a header names, whatever its case, accents, punctuation or unit:
//   o2:          "O2", "O₂", "Oxígeno", "oxygen"
//   co2:         "CO2", "CO₂", "Dióxido de carbono", "carbon dioxide"
//   temperature: "Temperatura", "Temp", "T", "T gas", "T gases", "T humos", "Tª humos",
//                "T chimenea", "Temp. humos", "Temp. gases", "Temperatura de humos",
//                "Temperatura gases", "Stack temperature", "Temp_stack", …
//   fuel:        "Combustible", "Fuel"
//   air:         "T aire", "Temperatura aire", "Temperatura del aire", "T ambiente",
//                "T comb.", "Aire", "Air temperature", …
//   analyser:    the analyser's own efficiency: "Rendimiento", "Eficiencia", "Eta", "η",
//                "Rendimiento neto", "Efficiency", … (never a column this program writes)
Column column_named(std::string_view header);

// The columns this program writes into a log, by their header, in their order: the
// window's two results, the net efficiency, the gross one corrected for the air, the
// fuel saved, and the notes.
inline constexpr std::array<std::string_view, 6> result_column_names = {
    "exceso_aire",          "eficiencia",         "eficiencia_neta",
    "eficiencia_corregida", "ahorro_combustible", "aviso"};

// Whether a header is one of them.
bool is_result_column(std::string_view header);

// The unit a header or a units-line cell gives: Celsius for "°C", "ºC", "C", "(C)",
// "[C]"; Fahrenheit for the same with F; otherwise none.
std::optional<TemperatureUnit> unit_named(std::string_view header);

// Whether a cell is a unit alone ("%", "°C", "ppm", "mg/m3", "mbar", …) or empty.
bool is_unit_cell(std::string_view cell);

// The columns a user names: a header name or a 1-based column number.
struct ColumnChoice {
    std::optional<std::string> o2;
    std::optional<std::string> temperature;
    std::optional<std::string> co2;
    std::optional<std::string> fuel;
    std::optional<std::string> air;
    std::optional<std::string> analyser;
};

// Where each reading is found in a header; none where it is not.
struct Columns {
    static constexpr std::size_t none = static_cast<std::size_t>(-1);
    std::size_t o2 = none;
    std::size_t temperature = none;
    std::size_t co2 = none;
    std::size_t fuel = none;
    std::size_t air = none;
    std::size_t analyser = none;
};

// The columns of a header: those chosen, then those named.
Columns find_columns(const std::vector<std::string_view>& header, const ColumnChoice& choice);

// The start of a log, read up to its header.
struct LogStart {
    std::string text;          // the bytes read so far
    std::size_t header_begin;  // where the header line begins in text
    std::uint64_t header_line; // its number, from 1
    char separator;            // from a "sep=" line above it, or the most common on it
};

// Reads the first lines of a log until the header. Raises a UsageError when none of
// the first max_header_line lines is one, naming the line that looks most like a
// header, its columns as read, and what may cure it (how_read says how the text was
// decoded, for that message).
LogStart find_header(ByteSource& source, const ColumnChoice& choice, std::string_view how_read);

// The separator of a line: whichever of ',', ';' and tab it holds most often outside
// quotes; ',' when it holds none.
char separator_of(std::string_view line);

} // namespace quemador::cli
