// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Conversions between the window's texts and numbers. Both always use the period
// as the decimal separator and never depend on the C or system locale.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quemador {

// The blanks that Val skips wherever they stand: blank, tab and line feed.
constexpr bool skipped_by_Val(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// Reads the number at the start of a text; whatever follows it is ignored.
// Blanks, tabs and line feeds are skipped wherever they stand ("3 5" reads as 35).
// Accepted: an optional sign, digits with an optional period and fraction, and an
// optional exponent ("1.5E3"; a bare "1E" reads as 1). A text with no number at its
// start reads as 0, and so does a number too small for a double. A number too large
// for a double raises the overflow RuntimeError.
double Val(std::string_view text);

// How many characters at the start of a text Val reads as its number, counting the
// blanks it skips within and after it; 0 when the text has no number at its start.
// The text is wholly a number when this is its whole length.
std::size_t number_length(std::string_view text);

// Writes a finite number with at most 15 significant digits: one blank before a
// value that is zero or positive, a minus sign before a negative one; no trailing
// zeros; a 0 before the period below 1 (" 0.46"); exponent form where 15 digits do
// not reach (" 1E+20", " 1E-05").
std::string Str(double x);

// The text Str writes for n hundredths (n below 10^15), negative or not: " 83.94",
// "-4.36", " 0". Into text, reusing its room, for a caller that keeps one string.
std::string hundredths_text(bool negative, std::uint64_t n);
void hundredths_text(bool negative, std::uint64_t n, std::string& text);

// A text of Str's without the blank that stands before a value that is not negative.
inline std::string_view without_sign_blank(std::string_view text)
{
    if (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return text;
}

// A number as the user would write it: Str's text without the sign blank ("3.5", "-1").
std::string plain_number(double x);

// A decimal number as its digits and a power of ten, digits × 10^scale, turned into the
// nearest double. Both number readers, Val and the command line's strict one, end
// here; their grammars differ. Each returns false when the number is too large for a
// double; one too small for a double is 0. (A flag and a reference, not a
// std::optional: in a loop over many numbers, reading a value back from memory just
// after it was written there stalls the processor.)
namespace decimal {

// At most 15 digits are an exact integer in a double, and the powers of ten up to
// 1e22 are exact too: then one rounding, of the product or the quotient, gives the
// nearest double.
inline constexpr std::size_t exact_digits = 15;
inline constexpr long long max_exact_power = 22;
inline constexpr std::array<double, max_exact_power + 1> exact_powers_of_ten = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Digits of at most 15 figures as an integer: false, with value untouched, when the
// scale is beyond the exact powers of ten.
inline bool exact(std::uint64_t digits, long long scale, double& value)
{
    if (scale < -max_exact_power || scale > max_exact_power)
        return false;
    const double power = exact_powers_of_ten[static_cast<std::size_t>(scale < 0 ? -scale : scale)];
    value = scale < 0 ? static_cast<double>(digits) / power : static_cast<double>(digits) * power;
    return true;
}

// Any number of digits, as their text (no sign, no point), rounded by from_chars.
bool from_text(std::string_view digits, long long scale, double& value);

} // namespace decimal

} // namespace quemador
