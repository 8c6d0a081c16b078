#pragma once

// The application's own options. They are read before the window system starts, so
// that --help and --version work without a display; Qt takes its own options
// (-platform, -style, …) when the application object is created, and whatever is
// left after that is an error.

#include <optional>

namespace quemador {

// Prints the help or the version if an argument asks for one. Returns the exit status
// then, or nothing when the application should start.
std::optional<int> answer_help_or_version(int argc, const char* const* argv);

// Reports the first argument that is left once Qt has taken its own, with the usage.
// Returns the exit status then, or nothing when no argument is left.
std::optional<int> reject_leftover_arguments(int argc, const char* const* argv);

} // namespace quemador
