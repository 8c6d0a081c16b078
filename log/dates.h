// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The dates and times a log writes its readings with, read whatever the locale:
// - ISO 8601 (2026-02-14, 2026-02-14T09:12:05, with or without a zone, which is left as
//   written; 2026/02/14 too);
// - numbers with the year last (14/02/2026, 02/14/2026, 14-02-26, 14.02.2026; a year of
//   two digits is 20yy), the day or the month first as the date column goes;
// - a month's name in Spanish or English, whole or cut short, with or without a dot
//   (3 mar 2026, 15 ene. 2026 08:30, 3 de marzo de 2026, 3-mar-26, marzo 2026 for its
//   first day, Mar 3, 2026);
// - Excel's serial dates (46027,92222: days in its 1900 system, the fraction the time),
//   from 1980 to 2099;
// each with an optional time (09:12 or 09:12:05), and a time alone (09:12:05) in a
// column beside the date. A date that does not exist (31/02, month 13) is not one.

#include <array>
#include <chrono>
#include <cstdint>
#include <limits>
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

// How a date column writes its numeric dates.
enum class DateOrder { day_first, month_first, year_first };

// As the user names them, by DateOrder.
inline constexpr std::array<std::string_view, 3> order_names = {"dd/mm", "mm/dd", "aaaa-mm-dd"};
inline std::string_view order_name(DateOrder order)
{
    return order_names.at(static_cast<std::size_t>(order));
}
std::optional<DateOrder> order_named(std::string_view name);

// A date with the year last whose first two numbers can each be the month (03/04/2026):
// which is the day waits for its column's order. key() tells such dates apart.
struct AmbiguousDate {
    unsigned first = 0;
    unsigned second = 0;
    int year = 0;

    [[nodiscard]] std::uint32_t key() const
    {
        return static_cast<std::uint32_t>(year) << 8U | first << 4U | second;
    }
    static AmbiguousDate of_key(std::uint32_t key)
    {
        return {key >> 4U & 15U, key & 15U, static_cast<int>(key >> 8U)};
    }
    // Its day in an order that reads the day or the month first.
    [[nodiscard]] std::chrono::sys_days in(DateOrder order) const;
};

// A date cell as read. A date with the year last (numeric) is read each way; the
// column's order chooses.
struct DateCell {
    std::optional<Moment> moment; // a date whatever the order (ISO, a name, a serial)
    bool numeric = false;         // a date with the year last: the fields below
    unsigned first = 0;
    unsigned second = 0;
    int year = 0;
    std::optional<std::int32_t> seconds; // its time, when given

    // A numeric date in an order, when it is one that way.
    [[nodiscard]] std::optional<Moment> in(DateOrder order) const;
};

// A date cell, with its time when it has one.
DateCell read_date(std::string_view cell);

// A date cell read with the day first where it could be either: the Spanish way.
std::optional<Moment> date_of(std::string_view cell);

// A date column's order, settled by its first date that can be read only one way (a
// day over 12), wherever it comes; or given by the user. Its other dates are read in
// that order: before it is known, a date that could be either waits, by its key.
class DateColumn {
public:
    explicit DateColumn(std::optional<DateOrder> given) : order_(given), given_(given.has_value())
    {
    }

    enum class State {
        none,        // not a date
        dated,       // moment
        waiting,     // waiting: which is the day waits for the order
        contradicts, // a date only in another order than the column's
    };
    struct Read {
        State state = State::none;
        Moment moment;
        AmbiguousDate waiting;
    };

    // Reads a cell on a line; settles the order when it can only be read one way.
    Read read(std::string_view cell, std::uint64_t line);

    [[nodiscard]] std::optional<DateOrder> order() const { return order_; }
    [[nodiscard]] bool given() const { return given_; }
    // The line that settled the order; 0 when it was given or is not settled.
    [[nodiscard]] std::uint64_t settled_line() const { return settled_line_; }
    // Whether a date that could be read either way was seen.
    [[nodiscard]] bool ambiguous() const { return ambiguous_; }

private:
    std::optional<DateOrder> order_;
    bool given_;
    bool ambiguous_ = false;
    std::uint64_t settled_line_ = 0;
};

// A time cell ("9:05", "09:05:30"): seconds into the day; none when it is not a time.
std::optional<std::int32_t> time_of(std::string_view cell);

// The month of a day from 1970-01-01, as a number that sorts as months do (year × 12
// + month − 1), and as text: "2026-02"; no_month, for rows without a date, is
// "(sin fecha)" and sorts last.
inline constexpr std::int32_t no_month = std::numeric_limits<std::int32_t>::max();
std::int32_t month_of(std::int64_t days);
std::string month_text(std::int32_t month);
// The day a month starts on, from 1970-01-01; and its short Spanish name ("ene").
std::int64_t first_day_of(std::int32_t month);
std::string_view month_short_name(std::int32_t month);

// A moment as the chart's axis writes it: "14/02/2026" or "14/02/2026 09:12".
std::string moment_text(double since_epoch, bool with_time);

} // namespace quemador::log
