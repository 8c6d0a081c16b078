#include "cli/numbers.h"

#include "calculation/efficiency_model.h"
#include "calculation/number_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <system_error>

namespace quemador::cli {
namespace {

constexpr std::array<double, 16> exact_powers_of_ten = {
    1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

} // namespace

std::optional<double> parse_number(std::string_view text, DecimalComma comma)
{
    double value = 0.0;
    if (read_number(text, comma, value))
        return value;
    return std::nullopt;
}

bool read_number(std::string_view text, DecimalComma comma, double& value)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);

    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }

    // Only digits and one separator; from_chars alone would also take "inf", "nan"
    // and exponents. The digits are gathered as an integer on the way.
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    std::uint64_t mantissa = 0; // exact while there are at most 15 digits
    std::size_t i = 0;
    for (; i < text.size() && digit(text[i]); ++i)
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
    std::size_t digits = i;
    std::size_t separator_at = std::string_view::npos;
    if (i < text.size() && (text[i] == '.' || (text[i] == ',' && comma == DecimalComma::accepted)))
        separator_at = i++;
    const std::size_t fraction_begin = i;
    for (; i < text.size() && digit(text[i]); ++i)
        mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (i != text.size())
        return false;
    const std::size_t fraction_digits = i - fraction_begin;
    digits += fraction_digits;
    if (digits == 0)
        return false;
    // The integer and the power of ten are exact doubles: one division rounds correctly.
    if (digits <= 15) {
        const double magnitude =
            static_cast<double>(mantissa) / exact_powers_of_ten[fraction_digits];
        value = negative ? -magnitude : magnitude;
        return true;
    }

    std::string with_point;
    if (separator_at != std::string_view::npos && text[separator_at] == ',') {
        with_point.assign(text);
        with_point[separator_at] = '.';
        text = with_point;
    }
    double read = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), read, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    value = negative ? -read : read;
    return true;
}

double celsius_to_fahrenheit(double celsius) { return celsius * 9.0 / 5.0 + 32.0; }

std::string shown(double x) { return Str(Redondeo_Centesimas(x)); }

std::string shown_in_file(double x, DecimalComma comma)
{
    std::string text = shown(x);
    return std::string(in_file(text, comma));
}

std::string_view in_file(std::string& text, DecimalComma comma)
{
    if (comma == DecimalComma::accepted)
        std::replace(text.begin(), text.end(), '.', ',');
    std::string_view view = text;
    if (!view.empty() && view.front() == ' ')
        view.remove_prefix(1);
    return view;
}

} // namespace quemador::cli
