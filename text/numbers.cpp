// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/numbers.h"

#include "calculation/number_text.h"

#include <algorithm>
#include <cstdint>

namespace quemador::text {
namespace {

// A number of more than 15 digits, rounded by from_chars. Kept apart, so that the common
// short number needs no text of its own, nor the hardened build's stack guard for it.
[[gnu::noinline]] bool long_number(std::string_view integer, std::string_view fraction,
                                   long long scale, double& value)
{
    return decimal::from_text(std::string(integer).append(fraction), scale, value);
}

} // namespace

bool parse_number(std::string_view text, DecimalComma comma, double& value)
{
    text = trimmed(text);

    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }

    // Only digits and one separator: no "inf", "nan" or exponents. The digits are
    // gathered as an integer on the way.
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::uint64_t mantissa = 0; // exact while there are at most 15 digits
    std::size_t i = 0;
    for (; i < text.size() && digit(text[i]); ++i)
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
    const std::size_t integer_digits = i;
    if (i < text.size() && (text[i] == '.' || (text[i] == ',' && comma == DecimalComma::accepted)))
        ++i;
    const std::size_t fraction_begin = i;
    for (; i < text.size() && digit(text[i]); ++i)
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
    const std::size_t fraction_digits = i - fraction_begin;
    const std::size_t digits = integer_digits + fraction_digits;
    if (i != text.size() || digits == 0)
        return false;

    const auto scale = -static_cast<long long>(fraction_digits);
    if (digits <= decimal::exact_digits)
        decimal::exact(mantissa, scale, value);
    else if (!long_number(text.substr(0, integer_digits), text.substr(fraction_begin), scale,
                          value))
        return false;
    if (negative)
        value = -value;
    return true;
}

std::string_view in_file(std::string& text, DecimalComma comma)
{
    if (comma == DecimalComma::accepted)
        std::replace(text.begin(), text.end(), '.', ',');
    return without_sign_blank(text);
}

} // namespace quemador::text
