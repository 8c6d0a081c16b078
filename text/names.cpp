// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/names.h"

#include "text/numbers.h"

namespace quemador::text {

std::string folded(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) {
            out += static_cast<char>(c);
        } else if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c - 'A' + 'a');
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
            // Latin-1 supplement in UTF-8: two bytes.
            const auto code = static_cast<unsigned char>(
                ((c & 0x1F) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
            const std::string_view from =
                "\xE1\xC1\xE9\xC9\xED\xCD\xF3\xD3\xFA\xDA\xFC\xDC\xF1\xD1";
            const std::string_view to = "aaeeiioouuuunn";
            if (const auto at = from.find(static_cast<char>(code)); at != std::string_view::npos)
                out += to[at];
        } else if (c == 0xE2 && i + 2 < text.size() && text[i + 1] == '\x82' &&
                   static_cast<unsigned char>(text[i + 2]) <= 0x89) {
            // Subscript digits, U+2080 to U+2089: "O₂" is "o2".
            out += static_cast<char>('0' + (static_cast<unsigned char>(text[i + 2]) - 0x80));
            i += 2;
        }
    }
    return out;
}

std::string caseless(std::string_view text)
{
    // Latin-1's letters from U+00C0, without accent and in lower case; '*' for × and ÷,
    // which stay as they are.
    constexpr std::string_view plain = "aaaaaaaceeeeiiiidnooooo*ouuuuyts"
                                       "aaaaaaaceeeeiiiidnooooo*ouuuuyty";
    text = trimmed(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c - 'A' + 'a');
        } else if (c == 0xC3 && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(text[i + 1]) <= 0xBF &&
                   plain[static_cast<unsigned char>(text[i + 1]) - 0x80] != '*') {
            out += plain[static_cast<unsigned char>(text[++i]) - 0x80];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string printable(std::string_view text)
{
    constexpr std::string_view hex = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    const auto escape = [&](unsigned char c) {
        out += "\\x";
        out += hex[c >> 4U];
        out += hex[c & 0xFU];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool c1 = c == 0xC2 && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c < 0x20 || c == 0x7F)
            escape(c);
        else if (c1)
            escape(static_cast<unsigned char>(text[++i]));
        else
            out += static_cast<char>(c);
    }
    return out;
}

} // namespace quemador::text
