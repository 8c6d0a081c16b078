// SPDX-License-Identifier: GPL-3.0-or-later
// The chart's scales, shared by what gathers its points and what lays it out: the range
// each axis can show, a day and a week in its time, and its axes' ticks.
#pragma once

#include "calculation/reading_advice.h"
#include "log/chart.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace quemador::log {

inline constexpr double none = std::numeric_limits<double>::quiet_NaN();
inline constexpr double day_seconds = 86400;

// The range each axis can show: from 0 to past the net efficiency's most, above, and to
// the air's O2 below.
inline constexpr double axis_low = 0;
inline constexpr double efficiency_high = 120;
inline const double o2_high = std::ceil(quemador::oxygen_in_air);

// The Monday of a day's week, in days from 1970-01-01 (a Thursday).
inline std::int64_t week_of(std::int64_t days)
{
    const std::int64_t from_monday = ((days + 3) % 7 + 7) % 7;
    return days - from_monday;
}

// Steps of 1, 2 or 5 times a power of ten, about six ticks over the range.
ChartAxis round_axis(double low, double high);
// A time axis: ticks on the first of the months, every month or every few, labelled
// with the month's short name, and its year in January and on the first tick.
ChartAxis time_axis(double low, double high);

} // namespace quemador::log
