#pragma once

// Conversions between the window's texts and numbers. Both always use the period
// as the decimal separator and never depend on the C or system locale.

#include <cstddef>
#include <cstdint>
#include <optional>
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

// A text of Str's without the blank that stands before a value that is not negative.
std::string_view without_sign_blank(std::string_view text);

// A number as the user would write it: Str's text without the sign blank ("3.5", "-1").
std::string plain_number(double x);

// The significant digits of a decimal number, gathered one at a time (leading zeros
// are passed over), and the double nearest to them times a power of ten. Both number
// readers, Val and the command line's strict one, end here; their grammars differ.
class DecimalDigits {
public:
    void push(char digit)
    {
        if (count_ == 0 && digit == '0')
            return;
        if (count_ < exact_digits)
            leading_ = leading_ * 10 + static_cast<std::uint64_t>(digit - '0');
        else
            keep_beyond_exact(digit);
        ++count_;
    }

    // Significant digits pushed so far.
    [[nodiscard]] std::size_t count() const { return count_; }

    // The double nearest to digits × 10^scale, correctly rounded; nothing when that is
    // too large for a double, 0 when it is too small.
    [[nodiscard]] std::optional<double> value(long long scale) const;

private:
    // Up to 15 digits are an exact integer in a double.
    static constexpr std::size_t exact_digits = 15;

    void keep_beyond_exact(char digit);

    std::uint64_t leading_ = 0; // the first 15 significant digits
    std::size_t count_ = 0;
    std::string all_; // every digit, kept once there are more than 15
};

} // namespace quemador
