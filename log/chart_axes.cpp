// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/number_text.h"
#include "log/chart_scale.h"
#include "log/dates.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace quemador::log {
namespace {

// Ticks on an axis, at most: a screenful of labels.
constexpr double most_ticks = 12;

// The ticks from low to high a step apart, when they are few and the numbers can tell
// them apart; otherwise the two ends alone.
std::vector<double> ticks_of(double low, double high, double step)
{
    const double count = std::floor((high - low) / step + 0.5);
    if (count == 0)
        return {low};
    if (!(count >= 1 && count <= most_ticks) || low + step == low || high - step == high)
        return {low, high};
    std::vector<double> ticks;
    for (double i = 0; i <= count; ++i) {
        const double t = low + i * step;
        ticks.push_back(std::abs(t) < step / 1e6 ? 0.0 : t);
    }
    return ticks;
}

// A number as the chart writes it: with a decimal comma, as the page's Spanish.
std::string number_text(double x)
{
    std::string text = plain_number(x);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// A time axis over a few weeks: ticks on whole hours, days or weeks.
void short_time_ticks(ChartAxis& axis)
{
    constexpr std::array<double, 9> steps = {3600,      3 * 3600,  6 * 3600,   12 * 3600, 86400,
                                             2 * 86400, 7 * 86400, 14 * 86400, 28 * 86400};
    const double rough = (axis.high - axis.low) / 6;
    const auto* const found =
        std::find_if(steps.begin(), steps.end(), [rough](double s) { return s >= rough; });
    const double step = found == steps.end() ? steps.back() : *found;
    const double first = std::ceil(axis.low / step) * step;
    if (first > axis.high)
        return;
    for (const double t :
         ticks_of(first, first + std::floor((axis.high - first) / step) * step, step))
        axis.ticks.push_back({t, moment_text(t, step < day_seconds)});
}

} // namespace

ChartAxis round_axis(double low, double high)
{
    ChartAxis axis;
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = 0;
        high = 1;
    }
    if (!(low < high)) {
        low -= std::max(1.0, std::abs(low) / 100);
        high += std::max(1.0, std::abs(high) / 100);
    }
    const double rough = (high - low) / 6;
    // rough is above nought: the range is widened when empty.
    const double power = std::pow(
        10.0, std::floor(std::log10(std::max(rough, std::numeric_limits<double>::denorm_min()))));
    double step = power;
    for (const double m : {2.0, 5.0, 10.0}) {
        if (step < rough)
            step = m * power;
    }
    axis.low = std::floor(low / step) * step;
    axis.high = std::ceil(high / step) * step;
    for (const double t : ticks_of(axis.low, axis.high, step))
        axis.ticks.push_back({t, number_text(t)});
    return axis;
}

ChartAxis time_axis(double low, double high)
{
    ChartAxis axis;
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = 0;
        high = day_seconds;
    }
    if (!(low < high)) {
        low -= day_seconds / 2;
        high += day_seconds / 2;
    }
    // A margin of 2 % each side, so that a first or last point is not cut in half.
    const double margin = (high - low) / 50;
    axis.low = low - margin;
    axis.high = high + margin;
    const auto month_at = [](double seconds) {
        return month_of(static_cast<std::int64_t>(std::floor(seconds / day_seconds)));
    };
    const auto start = [](std::int32_t month) {
        return static_cast<double>(first_day_of(month)) * day_seconds;
    };
    std::int32_t first = month_at(axis.low);
    if (start(first) < axis.low)
        ++first;
    const std::int32_t last = month_at(axis.high);
    if (last - first + 1 < 2) {
        short_time_ticks(axis);
        return axis;
    }
    std::int32_t step = 1;
    for (const std::int32_t s : {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200, 2400, 6000}) {
        step = s;
        // Whole months a step apart, from the first to the last.
        const std::int32_t count = (last - first) / s + 1;
        if (count <= static_cast<std::int32_t>(most_ticks))
            break;
    }
    const std::int32_t aligned = first + ((step - first % step) % step);
    for (std::int32_t m = aligned; m <= last; m += step) {
        const int year = m >= 0 ? m / 12 : (m - 11) / 12;
        std::string text = step >= 12 ? std::to_string(year) : std::string(month_short_name(m));
        if (step < 12 && (m == aligned || m % 12 == 0))
            text.append(" ").append(std::to_string(year));
        axis.ticks.push_back({start(m), std::move(text)});
    }
    return axis;
}

} // namespace quemador::log
