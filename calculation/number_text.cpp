#include "calculation/number_text.h"

#include "runtime/runtime_error.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string>

namespace quemador {
namespace {

// Decimal exponents beyond these bounds leave no doubt about overflow or underflow,
// and keep the text handed to from_chars short.
constexpr long long max_decimal_exponent = 400;
constexpr long long exponent_saturation = 1'000'000'000;

// Walks a text from the left, passing over the characters that Val ignores.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    [[nodiscard]] char peek()
    {
        while (pos_ < text_.size() && is_ignored(text_[pos_]))
            ++pos_;
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

private:
    static bool is_ignored(char c) { return c == ' ' || c == '\t' || c == '\n'; }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

double Val(std::string_view text)
{
    Cursor in(text);

    bool negative = false;
    if (in.peek() == '-' || in.peek() == '+')
        negative = in.take() == '-';

    // The value is 0.<digits> × 10^exponent, where digits starts at the first
    // non-zero digit of the mantissa.
    std::string digits;
    long long exponent = 0;
    bool any_digit = false;
    while (in.peek_digit()) {
        const char c = in.take();
        any_digit = true;
        if (digits.empty() && c == '0')
            continue;
        digits.push_back(c);
        ++exponent;
    }
    if (in.peek() == '.') {
        in.take();
        while (in.peek_digit()) {
            const char c = in.take();
            any_digit = true;
            if (digits.empty() && c == '0')
                --exponent;
            else
                digits.push_back(c);
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
        exponent += exponent_negative ? -written : written;
    }

    if (digits.empty() || exponent < -max_decimal_exponent)
        return 0.0;
    if (exponent > max_decimal_exponent)
        throw RuntimeError(ErrorNumber::overflow, ErrorSource::conversion);

    const std::string normalized = "0." + digits + "e" + std::to_string(exponent);
    double value = 0.0;
    const auto [end, ec] =
        std::from_chars(normalized.data(), normalized.data() + normalized.size(), value);
    if (ec == std::errc::result_out_of_range) {
        if (exponent > 0)
            throw RuntimeError(ErrorNumber::overflow, ErrorSource::conversion);
        return 0.0;
    }
    return negative ? -value : value;
}

std::string Str(double x)
{
    if (x == 0.0)
        x = 0.0; // negative zero is written as zero, without a sign

    std::array<char, 32> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                         std::chars_format::general, 15);

    std::string text;
    if (!std::signbit(x))
        text.push_back(' ');
    for (const char* p = buffer.data(); p != end; ++p)
        text.push_back(*p == 'e' ? 'E' : *p);
    return text;
}

} // namespace quemador
