// SPDX-License-Identifier: GPL-3.0-or-later
// The log mode (--csv): each log read, its results written, and the run's summary,
// chart and report.
#pragma once

#include "cli/commands.h"

namespace quemador::cli {

int csv_log(const LogArgs& args);

} // namespace quemador::cli
