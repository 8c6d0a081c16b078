#pragma once

// A whole log of readings in CSV: every record is copied to the output with its
// results and advice appended, in order, one record at a time.

#include "cli/csv.h"
#include "cli/names.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace quemador::cli {

struct LogOptions {
    // For records without a fuel of their own.
    std::optional<Fuel> fuel;
    // Overrides the unit that the temperature column's header names.
    std::optional<TemperatureUnit> unit;
    // One line for the user (standard error): a record that could not be calculated.
    std::function<void(std::string_view)> report = [](std::string_view) {};
    // Called every few thousand records with the records and bytes read so far.
    std::function<void(std::uint64_t, std::uint64_t)> progress = [](std::uint64_t, std::uint64_t) {
    };
};

struct LogSummary {
    std::uint64_t read = 0;
    std::uint64_t calculated = 0;
    std::uint64_t with_advice = 0;
    std::uint64_t with_errors = 0;
};

// Reads the log from input and writes it to output with the columns exceso_aire,
// eficiencia and aviso appended. Columns are found by their header (see
// column_named); a log without an oxygen or a temperature column, or an empty one,
// is a UsageError.
LogSummary process_log(ByteSource& input, ByteSink& output, const LogOptions& options);

enum class Column { none, o2, co2, temperature, fuel };

// What a header names, whatever its case, accents or unit suffix:
//   o2:          "O2", "Oxígeno", "oxygen"
//   co2:         "CO2", "Dióxido de carbono", "carbon dioxide"
//   temperature: "Temperatura", "Temp", "T", "T gas", "T humos", "T chimenea",
//                "Temperatura de humos", "Stack temperature", "Temp_stack"
//   fuel:        "Combustible", "Fuel"
Column column_named(std::string_view header);

// The unit a header gives: Celsius for "°C", "ºC", "(C)" or "[C]"; otherwise none.
std::optional<TemperatureUnit> unit_named(std::string_view header);

} // namespace quemador::cli
