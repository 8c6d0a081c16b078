// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The application's own options. They are read before the window system starts, so
// that --help and --version work without a display, and so is every other argument:
// one that is neither the application's nor Qt's (-platform, -style, …) is an error
// whether or not there is a display. Qt takes its own options when the application
// object is created; whatever it leaves is an error too.

#include <optional>

namespace quemador {

// Prints the help or the version if an argument asks for one. Returns the exit status
// then, or nothing when the application should start.
std::optional<int> answer_help_or_version(int argc, const char* const* argv);

// Reports the first argument that is neither the application's nor one of Qt's, or a
// Qt option without its value, with the usage. Returns the exit status then, or
// nothing when every argument is known.
std::optional<int> reject_unknown_arguments(int argc, const char* const* argv);

// The display named by Qt's -display option, the last one given; null without one.
const char* display_option(int argc, const char* const* argv);

// Reports the first argument that is left once Qt has taken its own, with the usage.
// Returns the exit status then, or nothing when no argument is left.
std::optional<int> reject_leftover_arguments(int argc, const char* const* argv);

} // namespace quemador
