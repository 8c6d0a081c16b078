// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A printable table of efficiencies: rows by oxygen reading (with its excess air),
// columns by stack temperature.

#include "calculation/fuel.h"
#include "calculation/report.h"
#include "log/columns.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::cli {

using log::TemperatureUnit;

enum class TableFormat { text, csv };

struct TableOptions {
    Fuel fuel = Fuel::natural_gas;
    std::vector<double> o2;
    std::vector<double> temperatures; // in the unit below
    TemperatureUnit unit = TemperatureUnit::fahrenheit;
    TableFormat format = TableFormat::text;
    // Between CSV cells; with ';' the numbers take a decimal comma.
    char separator = ',';
    // The net efficiency (Siegert) in place of the gross one.
    bool net = false;
    // The figures of the cells, in place of the net or gross efficiency: a table each
    // (in CSV, a column each for each temperature).
    std::vector<FigureKind> figures;
    // The combustion air's temperature, in the unit above; none: 60 °F. The gross
    // efficiency is then the model's on the stack temperature less the air's plus 60 °F.
    std::optional<double> air;
};

// The default values of each axis, for a table that a boiler room can use.
std::vector<double> default_o2_values();
std::vector<double> default_temperatures(TemperatureUnit unit);

// A list of numbers separated by commas ("2,3,5.5"), with the period as the decimal
// separator. Raises a UsageError that names the option for any other text, and for a
// text that reads as one number with a decimal comma as well as two ("3,5").
std::vector<double> parse_list(std::string_view text, std::string_view option);

// A list, or a range "from:to:step" ("200:600:100" gives 200, 300, 400, 500, 600).
std::vector<double> parse_range(std::string_view text, std::string_view option);

// The table as text (a title, then aligned columns with efficiencies to one decimal)
// or as CSV (efficiencies to hundredths), gross or net. A cell that cannot be calculated
// is shown as "error" (empty in CSV); a cell outside what the model describes (oxygen
// not from 0 to below 20.9 %, flue gas colder than the air, results outside the
// correlation) is marked with "*" and a note under the table (empty in CSV). Each row
// with either is reported once; returns the number of such cells.
int write_table(const TableOptions& options, std::string& out,
                const std::function<void(std::string_view)>& report);

} // namespace quemador::cli
