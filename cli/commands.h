// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The three ways of running quemador1-calc, once its arguments are parsed.

#include <optional>
#include <string>

namespace quemador::cli {

// Exit statuses.
constexpr int exit_ok = 0;
constexpr int exit_not_calculated = 1; // some reading could not be calculated, or the
                                       // output could not be written
constexpr int exit_usage = 2;          // a wrong option or value, a missing file or column

struct Arguments {
    std::optional<std::string> fuel;
    std::optional<std::string> o2;
    std::optional<std::string> co2;
    std::optional<std::string> temp;
    bool celsius = false;
    bool fahrenheit = false;
    bool table = false;
    std::optional<std::string> format;
    std::optional<std::string> csv;
    std::optional<std::string> separator;
    std::optional<std::string> encoding;
    std::optional<std::string> col_o2;
    std::optional<std::string> col_temp;
    std::optional<std::string> col_co2;
    std::optional<std::string> col_fuel;
    bool all_results = false;
    std::optional<std::string> air;
    std::optional<std::string> target_o2;
    std::optional<std::string> target_temp;
    std::optional<std::string> base;
    std::optional<std::string> col_air;
    std::optional<std::string> col_analyser;
    std::optional<std::string> summary;
};

// Runs the mode the arguments ask for and returns the exit status. Messages go to
// standard error, each on one line.
int run(const Arguments& args);

} // namespace quemador::cli
