// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/names.h"

#include "text/numbers.h"

#include <algorithm>

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

namespace {

constexpr std::string_view hex = "0123456789abcdef";

// The length of the UTF-8 character at the start of text; 0 when it starts with a byte
// that is not UTF-8 (a stray continuation, an overlong form, a surrogate, past U+10FFFF
// or cut short).
std::size_t character_length(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(0);
    if (c < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

// Whether the UTF-8 character at the start of text is one that reorders the text
// around it: the Arabic letter mark, the left-to-right and right-to-left marks, the
// embeddings, overrides and isolates.
bool reorders(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.size() >= 2 && byte(0) == 0xD8 && byte(1) == 0x9C)
        return true;
    if (text.size() < 3 || byte(0) != 0xE2)
        return false;
    return (byte(1) == 0x80 &&
            (byte(2) == 0x8E || byte(2) == 0x8F || (byte(2) >= 0xAA && byte(2) <= 0xAE))) ||
        (byte(1) == 0x81 && byte(2) >= 0xA6 && byte(2) <= 0xA9);
}

// The code point of a character of two or three bytes, as \uNNNN.
std::string escaped_code(std::string_view character)
{
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(character[i]));
    };
    const unsigned code = character.size() == 2
        ? ((byte(0) & 0x1FU) << 6U) | (byte(1) & 0x3FU)
        : ((byte(0) & 0x0FU) << 12U) | ((byte(1) & 0x3FU) << 6U) | (byte(2) & 0x3FU);
    std::string out = "\\u";
    for (const unsigned shift : {12U, 8U, 4U, 0U})
        out += hex[(code >> shift) & 0xFU];
    return out;
}

} // namespace

std::string printable(std::string_view text)
{
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
        if (c < 0x20 || c == 0x7F) {
            escape(c);
        } else if (c1) {
            escape(static_cast<unsigned char>(text[++i]));
        } else if (reorders(text.substr(i))) {
            const std::size_t length = c == 0xD8 ? 2 : 3;
            out += escaped_code(text.substr(i, length));
            i += length - 1;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string valid_text(std::string_view text, std::uint64_t& replaced)
{
    constexpr std::string_view replacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = character_length(text.substr(i));
        const std::string_view character = text.substr(i, length);
        const auto c = static_cast<unsigned char>(text[i]);
        const bool forbidden = (c < 0x20 && c != '\t' && c != '\n' && c != '\r') ||
            character == "\xEF\xBF\xBE" || character == "\xEF\xBF\xBF";
        if (length == 0 || forbidden) {
            out += replacement;
            ++replaced;
            i += std::max<std::size_t>(length, 1);
        } else {
            out += character;
            i += length;
        }
    }
    return out;
}

std::string shortened(std::string_view text, std::size_t chars)
{
    std::size_t count = 0;
    std::size_t cut = 0; // where the first chars - 1 characters end
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0U) == 0x80U)
            continue;
        if (++count == chars)
            cut = i;
        if (count > chars)
            return std::string(text.substr(0, cut)) + "…";
    }
    return std::string(text);
}

std::string spreadsheet_cell(std::string_view text)
{
    constexpr std::string_view formula_starts = "=+-@\t\r";
    if (!text.empty() && formula_starts.find(text.front()) != std::string_view::npos)
        return std::string("'").append(text);
    return std::string(text);
}

} // namespace quemador::text
