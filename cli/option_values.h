// SPDX-License-Identifier: GPL-3.0-or-later
// What the modes share: messages on standard error, options' values read by their
// declarations (a fault is a usage error naming the option), the end of an output.
#pragma once

#include "calculation/fuel.h"
#include "calculation/report.h"
#include "cli/commands.h"
#include "log/options.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::cli {

// A message on standard error, after the program's name, its control characters
// escaped: say() for what a run found, left out with --silencio; complain() for an
// error, always.
void say(std::string_view line);
void complain(std::string_view line);
void keep_quiet(bool on);

// An option's value, read by its declaration; a fault is a usage error naming it.
log::OptionValue read(const Text& text, Option option);

// The fuel given, if it was.
std::optional<Fuel> fuel_option(const Text& text);

// A number an option must give, and one it may.
double number_option(const Text& text, Option option);
std::optional<double> optional_number(const Text& text, Option option);

// The figures chosen by --cifras; none when it was not given.
std::vector<FigureKind> figures_option(const Text& text);

// Whether temperatures are in °C; --celsius and --fahrenheit exclude each other.
bool in_celsius(const Temperatures& temperatures);

// The status of a mode once its output is written: a write error on standard output
// (a full disk, a closed pipe) ends it with a message and status 1.
int finish_output(int status);

// A target oxygen reading the model describes: from 0 to below the air's.
std::optional<double> target_o2_option(const Text& text, const Text& target_temp);

} // namespace quemador::cli
