#include "cli/numbers.h"

#include "calculation/efficiency_model.h"
#include "calculation/number_text.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace quemador::cli {

std::optional<double> parse_number(std::string_view text, DecimalComma comma)
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
    // and exponents.
    std::size_t digits = 0;
    std::size_t separators = 0;
    std::size_t comma_at = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' || (c == ',' && comma == DecimalComma::accepted)) {
            ++separators;
            if (c == ',')
                comma_at = i;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || separators > 1)
        return std::nullopt;

    std::string with_point;
    if (comma_at != std::string_view::npos) {
        with_point.assign(text);
        with_point[comma_at] = '.';
        text = with_point;
    }
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

double celsius_to_fahrenheit(double celsius) { return celsius * 9.0 / 5.0 + 32.0; }

std::string shown(double x) { return Str(Redondeo_Centesimas(x)); }

std::string shown_in_file(double x, DecimalComma comma)
{
    std::string text = shown(x);
    if (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    if (comma == DecimalComma::accepted)
        std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

} // namespace quemador::cli
