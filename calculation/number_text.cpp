// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/number_text.h"

#include "runtime/runtime_error.h"

#ifdef __EMSCRIPTEN__
#include "calculation/float_text.h"
#endif

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace quemador {
namespace {

// Decimal exponents beyond these bounds leave no doubt about overflow or underflow,
// and keep the text handed to from_chars short.
constexpr long long max_decimal_exponent = 400;
constexpr long long exponent_saturation = 1'000'000'000;

// Most significant digits written, as the text of a number shows them.
constexpr int written_digits = 15;

// Walks a text from the left, passing over the characters that Val ignores.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    void skip_ignored()
    {
        while (pos_ < text_.size() && skipped_by_Val(text_[pos_]))
            ++pos_;
    }

    [[nodiscard]] char peek()
    {
        skip_ignored();
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }

    [[nodiscard]] bool peek_digit()
    {
        const char c = peek();
        return c >= '0' && c <= '9';
    }

    char take()
    {
        const char c = peek();
        ++pos_;
        return c;
    }

    [[nodiscard]] std::size_t position() const { return pos_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// The number at the start of a text: its sign, and its value as
// 0.<digits> × 10^exponent, where the digits start at the first non-zero one.
struct ScannedNumber {
    bool negative = false;
    std::size_t digit_count = 0;
    long long exponent = 0;
    bool any_digit = false; // false when the text has no number at its start
    std::size_t end = 0;    // where reading stopped, past any blanks after the number
};

// Reads the number at the start of a text, handing each of its digits to
// on_digit(digit, index) in turn.
template <typename OnDigit> ScannedNumber scan_number(std::string_view text, OnDigit on_digit)
{
    Cursor in(text);
    ScannedNumber number;
    if (in.peek() == '-' || in.peek() == '+')
        number.negative = in.take() == '-';

    bool& any_digit = number.any_digit;
    const auto add_digit = [&](char c) { on_digit(c, number.digit_count++); };
    while (in.peek_digit()) {
        const char c = in.take();
        any_digit = true;
        if (number.digit_count == 0 && c == '0')
            continue;
        add_digit(c);
        ++number.exponent;
    }
    if (in.peek() == '.') {
        in.take();
        while (in.peek_digit()) {
            const char c = in.take();
            any_digit = true;
            if (number.digit_count == 0 && c == '0')
                --number.exponent;
            else
                add_digit(c);
        }
    }
    if (any_digit && (in.peek() == 'e' || in.peek() == 'E')) {
        in.take();
        bool exponent_negative = false;
        if (in.peek() == '-' || in.peek() == '+')
            exponent_negative = in.take() == '-';
        long long written = 0;
        while (in.peek_digit())
            written = std::min(written * 10 + (in.take() - '0'), exponent_saturation);
        number.exponent += exponent_negative ? -written : written;
    }
    in.skip_ignored();
    number.end = in.position();
    return number;
}

} // namespace

double Val(std::string_view text)
{
    std::uint64_t mantissa = 0; // the first 15 digits as an integer
    const ScannedNumber number = scan_number(text, [&mantissa](char digit, std::size_t index) {
        if (index < decimal::exact_digits)
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(digit - '0');
    });

    if (number.digit_count == 0 || number.exponent < -max_decimal_exponent)
        return 0.0;
    if (number.exponent > max_decimal_exponent)
        throw RuntimeError(ErrorNumber::overflow, ErrorSource::conversion);

    const long long scale = number.exponent - static_cast<long long>(number.digit_count);
    double value = 0.0;
    if (number.digit_count > decimal::exact_digits || !decimal::exact(mantissa, scale, value)) {
        std::string digits;
        digits.reserve(number.digit_count);
        scan_number(text, [&digits](char digit, std::size_t) { digits.push_back(digit); });
        if (!decimal::from_text(digits, scale, value))
            throw RuntimeError(ErrorNumber::overflow, ErrorSource::conversion);
    }
    return number.negative ? -value : value;
}

std::size_t number_length(std::string_view text)
{
    const ScannedNumber number = scan_number(text, [](char, std::size_t) {});
    return number.any_digit ? number.end : 0;
}

void hundredths_text(bool negative, std::uint64_t n, std::string& text)
{
    // Written from its end: the cents, the whole digits, the sign. (By hand rather than
    // by to_chars: a log writes a few of these on every row.)
    std::array<char, 24> buffer; // written before it is read
    char* const end = buffer.data() + buffer.size();
    char* out = end;
    if (const std::uint64_t cents = n % 100; cents != 0) {
        if (cents % 10 != 0)
            *--out = static_cast<char>('0' + cents % 10);
        *--out = static_cast<char>('0' + cents / 10);
        *--out = '.';
    }
    std::uint64_t whole = n / 100;
    do {
        *--out = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    *--out = negative ? '-' : ' ';
    text.assign(out, end);
}

std::string hundredths_text(bool negative, std::uint64_t n)
{
    std::string text;
    hundredths_text(negative, n, text);
    return text;
}

std::string Str(double x)
{
    x += 0.0; // turns a negative zero into zero, written without a sign

    // The window shows hundredths. The double nearest n/100, for n of at most 15 digits,
    // rounds to 15 digits as exactly n/100, so it is written from the integer n: much
    // quicker than rounding in general.
    const double magnitude = std::abs(x);
    const double hundredths = std::round(magnitude * 100.0);
    if (magnitude < 1e13 && hundredths / 100.0 == magnitude)
        return hundredths_text(std::signbit(x), static_cast<std::uint64_t>(hundredths));

    std::array<char, 40> buffer{};
    buffer[0] = std::signbit(x) ? '-' : ' ';
#ifdef __EMSCRIPTEN__
    char* const out = float_text::general(buffer.data() + 1, buffer.data() + buffer.size(),
                                          magnitude, written_digits);
#else
    char* const out = std::to_chars(buffer.data() + 1, buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::general, written_digits)
                          .ptr;
#endif
    std::replace(buffer.data() + 1, out, 'e', 'E');
    return {buffer.data(), out};
}

std::string plain_number(double x) { return std::string(without_sign_blank(Str(x))); }

bool decimal::from_text(std::string_view digits, long long scale, double& value)
{
    digits.remove_prefix(std::min(digits.find_first_not_of('0'), digits.size()));
    if (digits.empty()) {
        value = 0.0;
        return true;
    }
    std::string text(digits);
    text.append(1, 'e').append(std::to_string(scale));
#ifdef __EMSCRIPTEN__
    const std::errc error = float_text::decimal(text, value);
#else
    const std::errc error = std::from_chars(text.data(), text.data() + text.size(), value).ec;
#endif
    if (error == std::errc::result_out_of_range) {
        // The first digit is not 0: the value is at least 1 when a digit stands before
        // the decimal point.
        if (static_cast<long long>(digits.size()) + scale > 0)
            return false;
        value = 0.0;
    }
    return true;
}

} // namespace quemador
