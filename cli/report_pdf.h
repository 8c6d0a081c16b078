// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The report for a board, as a PDF drawn with Cairo and Pango, its text kept as text: a
// first page with the verdict (boilers worst first), the alerts and the money, then a
// page for each boiler charted, with its panel from the chart's description (log/chart.h)
// and its months.

#include "log/chart.h"
#include "log/summary.h"
#include "log/verdict.h"

#include <string>

namespace quemador::cli {

std::string report_pdf(const log::LogSummary& summary, const log::Verdict& verdict,
                       const log::Chart& chart);

} // namespace quemador::cli
