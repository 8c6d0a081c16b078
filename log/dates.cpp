// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/dates.h"

#include "text/numbers.h"

#include <array>
#include <cstdio>

namespace quemador::log {
namespace {

constexpr std::int32_t seconds_per_day = 86400;

// Reads from 1 to max_digits digits at pos; none when there is no digit there.
std::optional<int> digits(std::string_view text, std::size_t& pos, std::size_t max_digits,
                          std::size_t min_digits = 1)
{
    int value = 0;
    std::size_t n = 0;
    while (pos < text.size() && n < max_digits && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++n;
    }
    return n >= min_digits ? std::optional(value) : std::nullopt;
}

bool take(std::string_view text, std::size_t& pos, char c)
{
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

bool leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int days_in_month(int year, int month)
{
    constexpr std::array<int, 12> days = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap(year) ? 29 : days.at(static_cast<std::size_t>(month - 1));
}

// Days from 1970-01-01 of a date of the proleptic Gregorian calendar (the civil-days
// algorithm: years counted from March, in eras of 400 years).
std::int64_t days_from_civil(int year, int month, int day)
{
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int year_of_era = y - era * 400;
    const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return std::int64_t{era} * 146097 + day_of_era - 719468;
}

struct Civil {
    int year;
    int month;
    int day;
};

Civil civil_from_days(std::int64_t days)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto day_of_era = static_cast<int>(days - era * 146097);
    const int year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const int mp = (5 * day_of_year + 2) / 153;
    const int day = day_of_year - (153 * mp + 2) / 5 + 1;
    const int month = mp < 10 ? mp + 3 : mp - 9;
    const auto year = static_cast<int>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

// A time at pos: h:mm or hh:mm, then :ss and a fraction of a second, if given.
std::optional<std::int32_t> time_at(std::string_view text, std::size_t& pos)
{
    const auto hours = digits(text, pos, 2);
    if (!hours || !take(text, pos, ':'))
        return std::nullopt;
    const auto minutes = digits(text, pos, 2, 2);
    if (!minutes)
        return std::nullopt;
    int seconds = 0;
    if (take(text, pos, ':')) {
        const auto s = digits(text, pos, 2, 2);
        if (!s)
            return std::nullopt;
        seconds = *s;
        if (take(text, pos, '.') || take(text, pos, ','))
            digits(text, pos, 9);
    }
    if (*hours > 23 || *minutes > 59 || seconds > 59)
        return std::nullopt;
    return (*hours * 60 + *minutes) * 60 + seconds;
}

// A zone after an ISO 8601 time: Z, +hh, +hh:mm, +hhmm. Passed over: the log's own
// clock is the one its readings were taken by.
void skip_zone(std::string_view text, std::size_t& pos)
{
    if (take(text, pos, 'Z'))
        return;
    if (take(text, pos, '+') || take(text, pos, '-')) {
        digits(text, pos, 2);
        take(text, pos, ':');
        digits(text, pos, 2);
    }
}

// The rest of an ISO 8601 date after its year: -mm-dd.
std::optional<Civil> iso_date(std::string_view text, std::size_t& pos, int year)
{
    if (!take(text, pos, '-'))
        return std::nullopt;
    const auto month = digits(text, pos, 2, 2);
    if (!month || !take(text, pos, '-'))
        return std::nullopt;
    const auto day = digits(text, pos, 2, 2);
    return day ? std::optional(Civil{year, *month, *day}) : std::nullopt;
}

// The rest of a date written day first, after its day: /mm/yyyy, -mm-yy, .mm.yyyy.
std::optional<Civil> day_first(std::string_view text, std::size_t& pos, int day)
{
    const char separator = text[pos];
    if (separator != '/' && separator != '-' && separator != '.')
        return std::nullopt;
    ++pos;
    const auto month = digits(text, pos, 2);
    if (!month || !take(text, pos, separator))
        return std::nullopt;
    const std::size_t year_start = pos;
    const auto year = digits(text, pos, 4);
    const std::size_t year_digits = pos - year_start;
    if (!year || (year_digits != 2 && year_digits != 4))
        return std::nullopt;
    return Civil{year_digits == 2 ? 2000 + *year : *year, *month, day};
}

} // namespace

std::optional<Moment> date_of(std::string_view cell)
{
    const std::string_view text = text::trimmed(cell);
    std::size_t pos = 0;
    const auto first = digits(text, pos, 4);
    if (!first || pos == text.size())
        return std::nullopt;
    const auto civil = pos == 4 ? iso_date(text, pos, *first)
        : pos <= 2              ? day_first(text, pos, *first)
                                : std::nullopt;
    if (!civil || civil->month < 1 || civil->month > 12 || civil->day < 1 ||
        civil->day > days_in_month(civil->year, civil->month))
        return std::nullopt;
    Moment moment{days_from_civil(civil->year, civil->month, civil->day), std::nullopt};
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == ' ')) {
        ++pos;
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        moment.seconds = time_at(text, pos);
        if (!moment.seconds)
            return std::nullopt;
        skip_zone(text, pos);
    }
    return pos == text.size() ? std::optional(moment) : std::nullopt;
}

std::optional<std::int32_t> time_of(std::string_view cell)
{
    const std::string_view text = text::trimmed(cell);
    std::size_t pos = 0;
    const auto seconds = time_at(text, pos);
    return seconds && pos == text.size() ? seconds : std::nullopt;
}

std::int32_t month_of(std::int64_t days)
{
    const Civil civil = civil_from_days(days);
    return civil.year * 12 + civil.month - 1;
}

std::string month_text(std::int32_t month)
{
    std::array<char, 32> text{};
    const int year = month >= 0 ? month / 12 : (month - 11) / 12;
    std::snprintf(text.data(), text.size(), "%04d-%02d", year, month - year * 12 + 1);
    return text.data();
}

std::string moment_text(double since_epoch, bool with_time)
{
    const auto seconds = static_cast<std::int64_t>(since_epoch);
    std::int64_t days = seconds / seconds_per_day;
    std::int64_t rest = seconds % seconds_per_day;
    if (rest < 0) {
        rest += seconds_per_day;
        --days;
    }
    const Civil civil = civil_from_days(days);
    std::array<char, 64> text{};
    if (with_time)
        std::snprintf(text.data(), text.size(), "%02d/%02d/%04d %02d:%02d", civil.day, civil.month,
                      civil.year, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60));
    else
        std::snprintf(text.data(), text.size(), "%02d/%02d/%04d", civil.day, civil.month,
                      civil.year);
    return text.data();
}

} // namespace quemador::log
