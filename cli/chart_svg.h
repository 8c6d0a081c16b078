// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A log's chart as one SVG file, drawn from the description the web page draws too
// (log/chart.h): readable in any browser and printable, its title, axis labels and
// series names kept as text, for a search and a screen reader.

#include "log/chart.h"

#include <string>

namespace quemador::cli {

std::string chart_svg(const log::Chart& chart);

} // namespace quemador::cli
