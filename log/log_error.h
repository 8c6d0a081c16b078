// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>

namespace quemador::log {

// A file that cannot be read as a log of readings (no header, a column missing or
// ambiguous): said in one line, before anything is written.
class LogError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace quemador::log
