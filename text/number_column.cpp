// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/number_column.h"

#include "text/numbers.h"

#include <algorithm>
#include <string>

namespace quemador::text {
namespace {

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Whether digits separated by group are thousands: a first group of one to three digits
// not beginning with 0, then groups of exactly three.
bool thousands(std::string_view digits, char group)
{
    std::size_t begin = 0;
    for (bool first = true;; first = false) {
        const std::size_t end = std::min(digits.find(group, begin), digits.size());
        const std::size_t length = end - begin;
        if (first ? (length == 0 || length > 3 || digits[0] == '0') : length != 3)
            return false;
        if (end == digits.size())
            return true;
        begin = end + 1;
    }
}

// The body of a cell (digits, points and commas, no sign) read with decimal as its
// decimal mark and group as its thousands separator; none where it does not read so.
std::optional<double> reading(std::string_view body, bool negative, char decimal, char group,
                              bool& grouped)
{
    const std::size_t at = body.find(decimal);
    const std::string_view integer = body.substr(0, at);
    const std::string_view fraction =
        at == std::string_view::npos ? std::string_view() : body.substr(at + 1);
    if (fraction.find(decimal) != std::string_view::npos ||
        fraction.find(group) != std::string_view::npos)
        return std::nullopt;
    double value = 0;
    if (integer.find(group) == std::string_view::npos) {
        // The plain number's own reader: one decimal mark at most, digits on one side.
        if (!parse_number(body, DecimalComma::accepted, value))
            return std::nullopt;
        return negative ? -value : value;
    }
    if (!thousands(integer, group) || (at != std::string_view::npos && fraction.empty()))
        return std::nullopt;
    std::string plain;
    plain.reserve(body.size());
    for (const char c : integer) {
        if (c != group)
            plain += c;
    }
    if (at != std::string_view::npos)
        plain.append(".").append(fraction);
    if (!parse_number(plain, DecimalComma::rejected, value))
        return std::nullopt;
    grouped = true;
    return negative ? -value : value;
}

} // namespace

std::string_view mark_name(DecimalMark mark)
{
    return mark == DecimalMark::point ? "el punto" : "la coma";
}

NumberReadings number_readings(std::string_view cell)
{
    NumberReadings out;
    std::string_view body = trimmed(cell);
    bool negative = false;
    if (!body.empty() && (body.front() == '-' || body.front() == '+')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    for (const char c : body) {
        if (c == '.' || c == ',')
            out.marked = true;
        else if (!is_digit(c))
            return out;
    }
    if (!out.marked) {
        double value = 0;
        if (parse_number(body, DecimalComma::rejected, value))
            out.point = out.comma = negative ? -value : value;
        return out;
    }
    out.point = reading(body, negative, '.', ',', out.grouped_point);
    out.comma = reading(body, negative, ',', '.', out.grouped_comma);
    return out;
}

NumberColumn::Read NumberColumn::read(std::string_view cell, std::uint64_t line)
{
    const NumberReadings readings = number_readings(cell);
    if (!readings.point && !readings.comma)
        return {};
    if (!mark_) {
        if (readings.ambiguous()) {
            ++waited_;
            return {State::waiting, 0, false};
        }
        if (readings.marked) {
            mark_ = readings.point ? DecimalMark::point : DecimalMark::comma;
            settled_line_ = line;
        }
    }
    const DecimalMark in = mark_.value_or(DecimalMark::point);
    const std::optional<double>& value = readings.in(in);
    if (!value)
        return {State::contradicts, 0, false};
    const bool with_groups = readings.grouped(in);
    grouped_ += with_groups ? 1 : 0;
    return {State::number, *value, with_groups};
}

} // namespace quemador::text
