// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The dates and times a log writes its readings with, read whatever the locale: ISO 8601
// (2026-02-14, 2026-02-14T09:12:05, with or without a zone, which is left as written),
// the Spanish day first (14/02/2026, 14-02-2026, 14.02.2026, a year of two digits as
// 20yy), each with an optional time (09:12 or 09:12:05), and a time alone (09:12:05) in
// a column beside the date. A date that does not exist (31/02, month 13) is not one.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quemador::log {

// A moment on the log's own clock: days from 1970-01-01, and seconds into the day
// when it gives a time.
struct Moment {
    std::int64_t days = 0;
    std::optional<std::int32_t> seconds;

    // Seconds from 1970-01-01 00:00 on the log's clock (midnight without a time).
    [[nodiscard]] double since_epoch() const
    {
        return static_cast<double>(days) * 86400.0 + seconds.value_or(0);
    }
};

// A date cell, with its time when it has one; none when it is not a date.
std::optional<Moment> date_of(std::string_view cell);

// A time cell ("9:05", "09:05:30"): seconds into the day; none when it is not a time.
std::optional<std::int32_t> time_of(std::string_view cell);

// The month of a day from 1970-01-01, as a number that sorts as months do (year × 12
// + month − 1), and as text: "2026-02".
std::int32_t month_of(std::int64_t days);
std::string month_text(std::int32_t month);

// A moment as the chart's axis writes it: "14/02/2026" or "14/02/2026 09:12".
std::string moment_text(double since_epoch, bool with_time);

} // namespace quemador::log
