// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every option of the calculation, declared once: its name and argument, its help, how
// its value is read (with its range or its choices, and what is said of a value that
// does not fit), and the modes that take it. The command line's parser, its --help and
// its modes read the declarations, as do the page's log options; a test holds the man
// page's options to them. A fault in a value is data (a kind and the text given); each
// face words it, naming its option or its control.

#include "calculation/report.h"
#include "log/columns.h"
#include "log/dates.h"
#include "log/summary.h"
#include "text/numbers.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::log {

// The three ways of running the calculation: one reading, a table of them, a log.
enum class Mode : std::uint8_t { reading = 1, table = 2, log = 4 };

// Every option, by what it gives. Each column of a log has an option of its own
// (ColumnKind::option), declared after these.
enum class Option : std::uint8_t {
    fuel,
    o2,
    co2,
    co,
    temp,
    celsius,
    fahrenheit,
    air,
    target_o2,
    target_temp,
    table,
    format,
    separator,
    base,
    figures,
    csv,
    encoding,
    date_order,
    column,
    all_results,
    summary,
    grouping,
    chart,
    alert_drop,
    minimum,
    consumption,
    report,
    output,
    threads,
    quiet,
    json
};

// How an option's value is read.
enum class ValueKind : std::uint8_t {
    flag,    // given or not
    number,  // a number with a decimal point or comma, within a range
    choice,  // one of a few names
    figures, // figures' ids, separated by commas
    text     // a file's name, a column's
};

struct OptionSpec {
    Option option = Option::fuel;
    std::optional<Column> column = {}; // for a column's option
    std::string_view name = {};        // "--combustible"
    std::string_view short_name = {};  // "-c"; empty for none
    std::string_view argument = {};    // "gas|fueloil", "O2"; empty for a flag
    std::string help = {};
    std::uint8_t modes = 0; // of Mode
    ValueKind kind = ValueKind::flag;
    // Given more than once, each value kept (--csv of several files).
    bool repeated = false;
    // A number's range, least ≤ x < below, and what is said of one outside it, "{least}"
    // and "{below}" standing for the bounds.
    double least = -1e308;
    double below = 1e308;
    bool whole = false; // a number without decimals
    std::string_view range = {};
    // A choice's names, and what is said of another name ("formato desconocido") with
    // the names to use ("texto o csv").
    std::span<const std::string_view> choices = {};
    std::string_view unknown = {};
    std::string_view use = {};

    [[nodiscard]] bool takes(Mode mode) const
    {
        return (modes & static_cast<std::uint8_t>(mode)) != 0;
    }
    // The name without its dashes: "objetivo-o2"; the page's key for it.
    [[nodiscard]] std::string_view key() const { return name.substr(2); }
};

// Every option, in the order of the help.
std::span<const OptionSpec> option_specs();
const OptionSpec& spec_of(Option option);
const OptionSpec& column_spec(Column column);

// What is wrong with an option's value: not a number, a number outside its range, a
// name it does not take, figures' ids it does not know or repeats.
struct OptionFault {
    enum class Kind : std::uint8_t { not_a_number, out_of_range, unknown } kind;
    std::string text; // as given; for figures, the id at fault
};

// An option's value, read by its declaration: a number, a choice (its index into its
// names; for a fuel, its Fuel, for an encoding, its text::Encoding), or figures; or
// the fault.
struct OptionValue {
    double number = 0.0;
    std::size_t choice = 0;
    std::vector<FigureKind> figures;
    std::optional<OptionFault> fault;
};
OptionValue read_option(const OptionSpec& spec, std::string_view text);

// The grouping a choice of --agrupar names.
Grouping grouping_chosen(const OptionValue& value);

// The order a choice of --formato-fecha names.
DateOrder date_order_chosen(const OptionValue& value);

// A number option's range in words, its bounds in a decimal mark: "debe ser al menos 0 y
// menor que el 20.9 % del aire".
std::string range_text(const OptionSpec& spec, text::DecimalComma comma);

} // namespace quemador::log
