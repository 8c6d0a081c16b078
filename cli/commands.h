// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The three ways of running quemador1-calc, once its arguments are parsed: one reading,
// a table (--tabla) or a log (--csv). Each takes the options declared for it; another
// is refused, naming the modes it belongs to.

#include "cli/options.h"
#include "log/columns.h"

#include <optional>
#include <string>
#include <vector>

namespace quemador::cli {

// Exit statuses.
constexpr int exit_ok = 0;
constexpr int exit_not_calculated = 1; // some reading could not be calculated, lies outside
                                       // the model or is doubted, or the output could not
                                       // be written
constexpr int exit_usage = 2;          // a wrong option or value, a missing file or column

using Text = std::optional<std::string>;

// Where temperatures are given in, and the combustion air's temperature.
struct Temperatures {
    bool celsius = false;
    bool fahrenheit = false;
    Text air;
};

struct ReadingArgs {
    Text fuel;
    Text o2;
    Text co2;
    Text co;
    Text temp;
    Temperatures temperatures;
    Text target_o2;
    Text target_temp;
};

struct TableArgs {
    Text fuel;
    Text o2;
    Text temp;
    Temperatures temperatures;
    Text format;
    Text separator;
    Text base;
    Text figures;
};

struct LogArgs {
    std::vector<std::string> files;
    Text fuel;
    Temperatures temperatures;
    Text encoding;
    Text date_order;
    log::ColumnChoice columns;
    bool all_results = false;
    Text target_o2;
    Text target_temp;
    Text summary;
    Text grouping;
    Text chart;
    Text figures;
    Text threads;
    Text alert_drop;
    Text minimum;
    Text consumption;
    Text report;
    Text output;
    Text json; // the run's report, --json
};

// Each mode's options, taken from what was given.
ReadingArgs take_reading(const Given& given);
TableArgs take_table(const Given& given);
LogArgs take_log(const Given& given);

// Runs the mode the arguments ask for and returns the exit status. Messages go to
// standard error, each on one line.
int run(Given given);

} // namespace quemador::cli
