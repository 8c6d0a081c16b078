// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// JSON written member by member: the page's answers and the report of a run. Numbers
// with a decimal point whatever the locale.

#include <array>
#include <charconv>
#include <cmath>
#include <concepts>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#ifdef __EMSCRIPTEN__
#include "calculation/float_text.h"
#endif

namespace quemador::log {

// Builds a JSON text member by member.
class Json {
public:
    void open(char bracket) { begin_value(), out_ += bracket, first_ = true; }
    void close(char bracket) { out_ += bracket, first_ = false; }
    void key(std::string_view name)
    {
        begin_value();
        string(name);
        out_ += ':';
        first_ = true;
    }
    void value(std::string_view text) { begin_value(), string(text); }
    // A number to so many significant digits: 17 read back as the same double. JSON
    // has no infinity nor NaN: null for them.
    void value(double x, int precision = 17)
    {
        begin_value();
        if (!std::isfinite(x)) {
            out_ += "null";
            return;
        }
        std::array<char, 32> digits{};
        char* const first = digits.data();
#ifdef __EMSCRIPTEN__
        const char* const end = float_text::general(first, first + digits.size(), x, precision);
#else
        const char* const end =
            std::to_chars(first, first + digits.size(), x, std::chars_format::general, precision)
                .ptr;
#endif
        out_.append(first, static_cast<std::size_t>(end - first));
    }
    void count(std::uint64_t n) { begin_value(), out_ += std::to_string(n); }
    // Only a bool: a string literal would otherwise take this over the string_view one.
    template <std::same_as<bool> Bool> void value(Bool yes)
    {
        begin_value(), out_ += yes ? "true" : "false";
    }
    // An object's member: its name, then its value as value() writes it.
    template <typename T> void member(std::string_view name, const T& v) { key(name), value(v); }
    void member_count(std::string_view name, std::uint64_t n) { key(name), count(n); }
    void null() { begin_value(), out_ += "null"; }
    [[nodiscard]] std::string take() { return std::move(out_); }

private:
    void begin_value()
    {
        if (!first_)
            out_ += ',';
        first_ = false;
    }
    // A JSON string: quotes, backslashes and control characters escaped, and any byte
    // that is not part of a UTF-8 character (a log's bytes copied as they are) as U+FFFD,
    // so that the document is UTF-8 whatever the text.
    void string(std::string_view text)
    {
        out_ += '"';
        for (std::size_t i = 0; i < text.size();) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c == '"' || c == '\\') {
                out_ += '\\';
                out_ += static_cast<char>(c);
                ++i;
            } else if (c < 0x20) {
                std::array<char, 8> escaped{};
                std::snprintf(escaped.data(), escaped.size(), "\\u%04x", c);
                out_ += escaped.data();
                ++i;
            } else if (c < 0x80) {
                out_ += static_cast<char>(c);
                ++i;
            } else if (const std::size_t n = utf8_length(text.substr(i)); n > 0) {
                out_.append(text.substr(i, n));
                i += n;
            } else {
                out_ += "\xEF\xBF\xBD";
                ++i;
            }
        }
        out_ += '"';
    }

    // The bytes of the UTF-8 character text starts with; 0 when it starts with none.
    static std::size_t utf8_length(std::string_view text)
    {
        const auto byte = [&text](std::size_t k) {
            return k < text.size() ? static_cast<unsigned char>(text[k]) : 0U;
        };
        const unsigned lead = byte(0);
        std::size_t n = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            n = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            n = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong form
            high = lead == 0xED ? 0x9F : 0xBF; // no surrogate
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            n = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF; // up to U+10FFFF
        } else {
            return 0;
        }
        if (byte(1) < low || byte(1) > high)
            return 0;
        for (std::size_t k = 2; k < n; ++k) {
            if (byte(k) < 0x80 || byte(k) > 0xBF)
                return 0;
        }
        return n;
    }

    std::string out_;
    bool first_ = true;
};

} // namespace quemador::log
