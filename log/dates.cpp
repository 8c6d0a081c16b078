// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/dates.h"

#include "text/numbers.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace quemador::log {
namespace {

namespace chrono = std::chrono;

constexpr std::int32_t seconds_per_day = 86400;

// Excel's serial dates that are read as dates: 1980-01-01 to 2099-12-31. Day 0 of its
// 1900 system is 1899-12-30 for every day after its false 29 February 1900.
constexpr int first_serial = 29221;
constexpr int last_serial = 73050;
constexpr chrono::sys_days serial_epoch = chrono::sys_days{
    chrono::year_month_day{chrono::year{1899}, chrono::month{12}, chrono::day{30}}};

// Month names in Spanish and English, whole and cut short, lower case.
constexpr std::array<std::pair<std::string_view, unsigned>, 42> month_names = {{
    {"enero", 1},      {"ene", 1},        {"january", 1},   {"jan", 1},        {"febrero", 2},
    {"feb", 2},        {"february", 2},   {"marzo", 3},     {"mar", 3},        {"march", 3},
    {"abril", 4},      {"abr", 4},        {"april", 4},     {"apr", 4},        {"mayo", 5},
    {"may", 5},        {"junio", 6},      {"jun", 6},       {"june", 6},       {"julio", 7},
    {"jul", 7},        {"july", 7},       {"agosto", 8},    {"ago", 8},        {"august", 8},
    {"aug", 8},        {"septiembre", 9}, {"setiembre", 9}, {"sep", 9},        {"sept", 9},
    {"set", 9},        {"september", 9},  {"octubre", 10},  {"oct", 10},       {"october", 10},
    {"noviembre", 11}, {"nov", 11},       {"november", 11}, {"diciembre", 12}, {"dic", 12},
    {"december", 12},  {"dec", 12},
}};

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

void skip_blanks(std::string_view text, std::size_t& pos)
{
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A word of letters at pos, in lower case; empty when there is none.
std::string word_at(std::string_view text, std::size_t& pos)
{
    std::string word;
    while (pos < text.size() && is_letter(text[pos]) && word.size() < 16) {
        const char c = text[pos++];
        word += c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return word;
}

// A month's name at pos, and its dot; none when the word there is not one.
std::optional<unsigned> month_at(std::string_view text, std::size_t& pos)
{
    const std::string word = word_at(text, pos);
    for (const auto& [name, month] : month_names) {
        if (word == name) {
            take(text, pos, '.');
            return month;
        }
    }
    return std::nullopt;
}

// "de" between a Spanish date's parts, with the blanks after it.
void skip_de(std::string_view text, std::size_t& pos)
{
    if (text.substr(pos, 3) == "de " || text.substr(pos, 3) == "DE ") {
        pos += 3;
        skip_blanks(text, pos);
    }
}

// A year of four digits, or of two for 20yy.
std::optional<int> year_at(std::string_view text, std::size_t& pos)
{
    const std::size_t start = pos;
    const auto year = digits(text, pos, 4);
    if (!year || (pos - start != 2 && pos - start != 4))
        return std::nullopt;
    return pos - start == 2 ? 2000 + *year : *year;
}

std::optional<std::int64_t> days_of(int year, unsigned month, unsigned day)
{
    const chrono::year_month_day date{chrono::year{year}, chrono::month{month}, chrono::day{day}};
    if (!date.ok())
        return std::nullopt;
    return chrono::sys_days{date}.time_since_epoch().count();
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

// An Excel serial date, its fraction the time; the whole text or none.
std::optional<Moment> serial_date(std::string_view text)
{
    std::size_t pos = 0;
    const auto whole = digits(text, pos, 5, 5);
    if (!whole || *whole < first_serial || *whole > last_serial)
        return std::nullopt;
    std::int64_t seconds = 0;
    bool timed = false;
    if (take(text, pos, ',') || take(text, pos, '.')) {
        // The fraction to nine digits, to the nearest second.
        std::int64_t fraction = 0;
        std::int64_t scale = 1;
        for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
            if (scale < 1'000'000'000) {
                fraction = fraction * 10 + (text[pos] - '0');
                scale *= 10;
            }
        }
        seconds = (fraction * seconds_per_day + scale / 2) / scale;
        timed = true;
    }
    if (pos != text.size())
        return std::nullopt;
    const chrono::sys_days day = serial_epoch + chrono::days{*whole + seconds / seconds_per_day};
    Moment moment{day.time_since_epoch().count(), std::nullopt};
    if (timed)
        moment.seconds = static_cast<std::int32_t>(seconds % seconds_per_day);
    return moment;
}

// A date that begins with a month's name: "Mar 3, 2026", "marzo 2026", "marzo de 2026".
std::optional<std::int64_t> month_first_named(std::string_view text, std::size_t& pos)
{
    const auto month = month_at(text, pos);
    if (!month)
        return std::nullopt;
    skip_blanks(text, pos);
    skip_de(text, pos);
    const std::size_t start = pos;
    const auto number = digits(text, pos, 4);
    if (number && pos - start == 4)
        return days_of(*number, *month, 1);
    if (!number || pos - start > 2)
        return std::nullopt;
    take(text, pos, ',');
    skip_blanks(text, pos);
    const auto year = year_at(text, pos);
    return year ? days_of(*year, *month, static_cast<unsigned>(*number)) : std::nullopt;
}

// The rest of a date with the day first and the month's name, after the day:
// " mar 2026", " ene. 2026", "-mar-26", " de marzo de 2026".
std::optional<std::int64_t> day_first_named(std::string_view text, std::size_t& pos, int day)
{
    if (!take(text, pos, '-') && !take(text, pos, '/'))
        skip_blanks(text, pos);
    skip_de(text, pos);
    const auto month = month_at(text, pos);
    if (!month)
        return std::nullopt;
    if (!take(text, pos, '-') && !take(text, pos, '/'))
        skip_blanks(text, pos);
    skip_de(text, pos);
    const auto year = year_at(text, pos);
    return year ? days_of(*year, *month, static_cast<unsigned>(day)) : std::nullopt;
}

// The rest of a date with the year first, after its year: -02-14, /02/14.
std::optional<std::int64_t> year_first(std::string_view text, std::size_t& pos, int year)
{
    const char separator = text[pos];
    if (separator != '-' && separator != '/' && separator != '.')
        return std::nullopt;
    ++pos;
    const auto month = digits(text, pos, 2, 2);
    if (!month || !take(text, pos, separator))
        return std::nullopt;
    const auto day = digits(text, pos, 2, 2);
    return day ? days_of(year, static_cast<unsigned>(*month), static_cast<unsigned>(*day))
               : std::nullopt;
}

// The rest of a date of numbers with the year last, after its first number: /02/2026,
// -02-26, .02.2026; its fields in cell.
bool year_last(std::string_view text, std::size_t& pos, int first, DateCell& cell)
{
    const char separator = text[pos];
    if (separator != '/' && separator != '-' && separator != '.')
        return false;
    ++pos;
    const auto second = digits(text, pos, 2);
    if (!second || !take(text, pos, separator))
        return false;
    const auto year = year_at(text, pos);
    if (!year)
        return false;
    cell.numeric = true;
    cell.first = static_cast<unsigned>(first);
    cell.second = static_cast<unsigned>(*second);
    cell.year = *year;
    return true;
}

// A day as cell's moment, when it is one.
bool dated(std::optional<std::int64_t> days, DateCell& cell)
{
    cell.moment = days ? std::optional(Moment{*days, std::nullopt}) : std::nullopt;
    return days.has_value();
}

// The date at the start of a text, leaving pos after it; the fields of a numeric one
// with the year last in cell.
bool date_at(std::string_view text, std::size_t& pos, DateCell& cell)
{
    if (pos < text.size() && is_letter(text[pos]))
        return dated(month_first_named(text, pos), cell);
    const auto first = digits(text, pos, 4);
    if (!first || pos == text.size())
        return false;
    if (pos == 4)
        return dated(year_first(text, pos, *first), cell);
    if (pos > 2)
        return false;
    const char separator = text[pos];
    if (pos + 1 < text.size() && (separator == ' ' || separator == '-' || separator == '/') &&
        (is_letter(text[pos + 1]) || separator == ' '))
        return dated(day_first_named(text, pos, *first), cell);
    return year_last(text, pos, *first, cell);
}

} // namespace

std::optional<DateOrder> order_named(std::string_view name)
{
    const auto* const named = std::find(order_names.begin(), order_names.end(), name);
    return named != order_names.end()
        ? std::optional(static_cast<DateOrder>(named - order_names.begin()))
        : std::nullopt;
}

chrono::sys_days AmbiguousDate::in(DateOrder order) const
{
    const bool day_first = order != DateOrder::month_first;
    return chrono::sys_days{chrono::year_month_day{chrono::year{year},
                                                   chrono::month{day_first ? second : first},
                                                   chrono::day{day_first ? first : second}}};
}

std::optional<Moment> DateCell::in(DateOrder order) const
{
    if (!numeric || order == DateOrder::year_first)
        return std::nullopt;
    const bool day_first = order == DateOrder::day_first;
    const auto days = days_of(year, day_first ? second : first, day_first ? first : second);
    return days ? std::optional(Moment{*days, seconds}) : std::nullopt;
}

DateCell read_date(std::string_view cell)
{
    const std::string_view text = text::trimmed(cell);
    DateCell read;
    if (const auto serial = serial_date(text)) {
        read.moment = serial;
        return read;
    }
    std::size_t pos = 0;
    if (!date_at(text, pos, read))
        return {};
    if (pos < text.size() && (text[pos] == 'T' || text[pos] == ' ' || text[pos] == ',')) {
        if (!take(text, pos, ','))
            ++pos;
        skip_blanks(text, pos);
        const auto seconds = time_at(text, pos);
        if (!seconds)
            return {};
        skip_zone(text, pos);
        read.seconds = seconds;
        if (read.moment)
            read.moment->seconds = seconds;
    }
    return pos == text.size() ? read : DateCell{};
}

std::optional<Moment> date_of(std::string_view cell)
{
    const DateCell read = read_date(cell);
    return read.moment ? read.moment : read.in(DateOrder::day_first);
}

DateColumn::Read DateColumn::read(std::string_view cell, std::uint64_t line)
{
    const DateCell date = read_date(cell);
    if (!date.numeric)
        return date.moment ? Read{State::dated, *date.moment, {}} : Read{};
    const auto day_first = date.in(DateOrder::day_first);
    const auto month_first = date.in(DateOrder::month_first);
    if (order_) {
        if (const auto moment = date.in(*order_))
            return {State::dated, *moment, {}};
        return day_first || month_first || *order_ == DateOrder::year_first
            ? Read{State::contradicts, {}, {}}
            : Read{};
    }
    if (day_first && month_first) {
        if (date.first == date.second)
            return {State::dated, *day_first, {}};
        ambiguous_ = true;
        return {State::waiting, {0, date.seconds}, {date.first, date.second, date.year}};
    }
    if (!day_first && !month_first)
        return {};
    order_ = day_first ? DateOrder::day_first : DateOrder::month_first;
    settled_line_ = line;
    return {State::dated, day_first ? *day_first : *month_first, {}};
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
    const chrono::year_month_day date{chrono::sys_days{chrono::days{days}}};
    return static_cast<int>(date.year()) * 12 +
        static_cast<int>(static_cast<unsigned>(date.month())) - 1;
}

std::string month_text(std::int32_t month)
{
    if (month == no_month)
        return "(sin fecha)";
    std::array<char, 32> text{};
    const int year = month >= 0 ? month / 12 : (month - 11) / 12;
    std::snprintf(text.data(), text.size(), "%04d-%02d", year, month - year * 12 + 1);
    return text.data();
}

std::int64_t first_day_of(std::int32_t month)
{
    const int year = month >= 0 ? month / 12 : (month - 11) / 12;
    const auto number = static_cast<unsigned>(month - year * 12 + 1);
    return chrono::sys_days{chrono::year{year} / chrono::month{number} / 1}
        .time_since_epoch()
        .count();
}

std::string_view month_short_name(std::int32_t month)
{
    static constexpr std::array<std::string_view, 12> names = {
        "ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov", "dic"};
    return names.at(static_cast<std::size_t>(((month % 12) + 12) % 12));
}

std::string moment_text(double since_epoch, bool with_time)
{
    const chrono::sys_seconds moment{chrono::seconds{static_cast<std::int64_t>(since_epoch)}};
    const auto day = chrono::floor<chrono::days>(moment);
    const chrono::year_month_day date{day};
    const auto rest = (moment - day).count();
    std::array<char, 64> text{};
    const int d = static_cast<int>(static_cast<unsigned>(date.day()));
    const int m = static_cast<int>(static_cast<unsigned>(date.month()));
    const int y = static_cast<int>(date.year());
    if (with_time)
        std::snprintf(text.data(), text.size(), "%02d/%02d/%04d %02d:%02d", d, m, y,
                      static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60));
    else
        std::snprintf(text.data(), text.size(), "%02d/%02d/%04d", d, m, y);
    return text.data();
}

} // namespace quemador::log
