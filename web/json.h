// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The JSON the page's script reads, written member by member.

#include <array>
#include <concepts>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace quemador::web {

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
    // A number to so many significant digits: 17 read back as the same double.
    void value(double x, int precision = 17)
    {
        begin_value();
        std::array<char, 32> digits{};
        out_.append(digits.data(),
                    static_cast<std::size_t>(
                        std::snprintf(digits.data(), digits.size(), "%.*g", precision, x)));
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
    void string(std::string_view text)
    {
        out_ += '"';
        for (const char c : text) {
            if (c == '"' || c == '\\') {
                out_ += '\\';
                out_ += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                std::array<char, 8> escaped{};
                std::snprintf(escaped.data(), escaped.size(), "\\u%04x", c);
                out_ += escaped.data();
            } else {
                out_ += c;
            }
        }
        out_ += '"';
    }

    std::string out_;
    bool first_ = true;
};

} // namespace quemador::web
