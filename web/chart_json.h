// SPDX-License-Identifier: GPL-3.0-or-later
// The chart of a log as the page's JSON: its panels' series, styles and axes, for the
// page to draw.
#pragma once

#include "log/chart.h"
#include "log/json.h"

namespace quemador::web {

using log::Json;

// The chart as an object: its title, counts, axes, legend and each boiler's panel with
// its series and bands.
void write_chart(Json& json, const log::Chart& chart);

} // namespace quemador::web
