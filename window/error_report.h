// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runtime/runtime_error.h"

#include <string>

namespace quemador {

// The text shown to the user for a run-time error: its number and description, and
// one line on what probably caused it, naming the box to correct by its caption.
std::string error_report(const RuntimeError& error);

} // namespace quemador
