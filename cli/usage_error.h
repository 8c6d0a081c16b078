// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>

namespace quemador::cli {

// A fault in how the program was called or in a file's header: the program says what
// was wrong in one line and stops before writing anything.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace quemador::cli
