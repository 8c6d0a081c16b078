// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a log's columns hold, and how their headers are written. One table lists the
// readings a log may have a column for: the header search, the command line's options
// and help, and the summary all read it.

#include "calculation/fuel.h"
#include "log/note.h"

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::log {

enum class TemperatureUnit { fahrenheit, celsius };

// The readings a log has columns for, then the columns that say whose and when a
// reading is: the boiler, the date (or date and time) and a time beside the date.
enum class Column { o2, temperature, co2, co, fuel, air, analyser, boiler, date, time };
inline constexpr std::size_t column_count = 10;

struct ColumnKind {
    Column column;
    std::string_view what;   // in messages: "O2", "temperatura"
    std::string_view option; // the option that names the column: "--col-o2"
    std::string_view help;   // what the option is, for its help
    // Headers that name the column, folded (text::folded) and without their unit.
    std::span<const std::string_view> names;
    // Headers that name it loosely ("Temperatura", "T"): any of names wins over them.
    std::span<const std::string_view> generic;
    // Words that name it with a number marker before or after them, and only so
    // ("Caldera nº", "Nº de caldera", "Unit ID", "Boiler #"), folded.
    std::span<const std::string_view> marked = {};
    // Whether two columns that name it stop the log: they do for a reading; of the
    // columns that only describe it (boiler, date), the first is taken.
    bool unique = true;
};

// Every column, in the order above.
std::span<const ColumnKind> column_kinds();
const ColumnKind& kind_of(Column column);

// The column a header names, and whether loosely, whatever its case, accents,
// punctuation or unit ("T humos (°C)", "O₂ %", "Tª gases"); none for a column this
// program writes (is_result_column).
struct Named {
    Column column;
    bool generic;
};
std::optional<Named> column_named(std::string_view header);

// The column of the notes this program writes into a log, after its figures (each
// named by its id, calculation/report.h).
inline constexpr std::string_view notes_column = "aviso";
// Whether a header is one of the columns this program writes: a figure's or the notes.
bool is_result_column(std::string_view header);

// The unit a header or a units-line cell gives: Celsius for "°C", "ºC", "C", "(C)",
// "[C]"; Fahrenheit for the same with F; otherwise none.
std::optional<TemperatureUnit> unit_named(std::string_view header);

// Whether a cell is a unit alone ("%", "°C", "ppm", "mg/m3", "mbar", …) or empty.
bool is_unit_cell(std::string_view cell);

// Whether a cell names a spreadsheet's footer row: "Media", "Promedio", "Máximo",
// "Mínimo", "Total", "Desviación", … (not a reading).
bool is_footer_cell(std::string_view cell);

// The columns a user names, by Column: a header's name or a 1-based column number.
using ColumnChoice = std::array<std::optional<std::string>, column_count>;

// Where each reading is found in a header.
struct Columns {
    static constexpr std::size_t none = static_cast<std::size_t>(-1);
    using Indexes = std::array<std::size_t, column_count>;
    static constexpr Indexes no_columns()
    {
        Indexes indexes{};
        indexes.fill(none);
        return indexes;
    }
    Indexes index = no_columns();
    // For a column found by its name: another one named as well (the search cannot
    // choose between them), and a generic one passed over for it.
    Indexes rival = no_columns();
    Indexes passed_over = no_columns();
    // For a column chosen by the user and missing in the header: the choice.
    std::array<std::optional<std::string>, column_count> missing;

    [[nodiscard]] std::size_t operator[](Column column) const
    {
        return index.at(static_cast<std::size_t>(column));
    }
    [[nodiscard]] bool has(Column column) const { return (*this)[column] != none; }
    // Whether the header names an oxygen and a temperature column: it is a header.
    [[nodiscard]] bool names_readings() const
    {
        return has(Column::o2) && has(Column::temperature);
    }
};

// The columns of a header: those chosen, then those named.
Columns find_columns(const std::vector<std::string_view>& header, const ColumnChoice& choice);

// Why the columns cannot be read as they are (two of one reading, a chosen one
// missing), asking for the column's choice; none when they can.
std::optional<Note> columns_problem(const std::vector<std::string>& header, const Columns& columns);

// A column as messages name it: «header» (number from 1).
std::string column_text(const std::vector<std::string>& header, std::size_t column);

// The fuel named by a text, whatever its case, accents or punctuation: "gas",
// "Gas natural", "GN"; "fueloil", "Fuel Oil Nº 2", "gasóleo", "Gasóleo C", "FO2".
std::optional<Fuel> fuel_named(std::string_view name);

// What the program says of a fuel it does not have (GLP, propano, gasóleo B): which
// two it has.
std::string unknown_fuel(std::string_view name);

} // namespace quemador::log
