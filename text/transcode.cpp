// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/transcode.h"

#include <array>
#include <cerrno>
#include <cstdint>

namespace quemador::text {
namespace {

// The characters of Windows-1252's bytes 0x80 to 0x9F; 0 for the five it leaves unnamed.
// From 0xA0 on, each byte is the character of its own number.
constexpr std::array<char32_t, 32> windows_1252_high = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char32_t none = 0xFFFFFFFF;

// What reading one character came to: the character, or why there is none.
struct Read {
    char32_t character = none;
    std::size_t bytes = 0;
    int error = 0; // EILSEQ or EINVAL when there is no character
};

Read read_utf8(const unsigned char* in, std::size_t left)
{
    const unsigned char lead = in[0];
    if (lead < 0x80)
        return {lead, 1, 0};
    std::size_t length = 0;
    char32_t character = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        character = lead & 0x1FU;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        character = lead & 0x0FU;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        character = lead & 0x07U;
        least = 0x10000;
    } else {
        return {none, 0, EILSEQ};
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (k == left)
            return {none, 0, EINVAL};
        if ((in[k] & 0xC0U) != 0x80U)
            return {none, 0, EILSEQ};
        character = (character << 6U) | (in[k] & 0x3FU);
    }
    if (character < least || character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF))
        return {none, 0, EILSEQ};
    return {character, length, 0};
}

Read read_utf16(const unsigned char* in, std::size_t left, bool big_endian)
{
    const auto unit = [&](std::size_t at) {
        return static_cast<char32_t>(big_endian ? (in[at] << 8U) | in[at + 1]
                                                : (in[at + 1] << 8U) | in[at]);
    };
    if (left < 2)
        return {none, 0, EINVAL};
    const char32_t first = unit(0);
    if (first >= 0xDC00 && first <= 0xDFFF)
        return {none, 0, EILSEQ};
    if (first < 0xD800 || first > 0xDBFF)
        return {first, 2, 0};
    if (left < 4)
        return {none, 0, EINVAL};
    const char32_t second = unit(2);
    if (second < 0xDC00 || second > 0xDFFF)
        return {none, 0, EILSEQ};
    return {0x10000 + ((first - 0xD800) << 10U) + (second - 0xDC00), 4, 0};
}

Read read_windows_1252(const unsigned char* in)
{
    const unsigned char byte = in[0];
    if (byte < 0x80 || byte >= 0xA0)
        return {byte, 1, 0};
    const char32_t character = windows_1252_high.at(byte - 0x80U);
    return character == 0 ? Read{none, 0, EILSEQ} : Read{character, 1, 0};
}

// The bytes a character takes in an encoding, written into bytes; 0 when the encoding
// lacks it.
std::size_t encode(char32_t character, Encoding encoding, std::array<unsigned char, 4>& bytes)
{
    switch (encoding) {
    case Encoding::windows1252:
        if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
            bytes[0] = static_cast<unsigned char>(character);
            return 1;
        }
        for (std::size_t i = 0; i < windows_1252_high.size(); ++i) {
            if (windows_1252_high.at(i) == character) {
                bytes[0] = static_cast<unsigned char>(0x80 + i);
                return 1;
            }
        }
        return 0;
    case Encoding::utf16le:
    case Encoding::utf16be: {
        const bool big_endian = encoding == Encoding::utf16be;
        const auto put = [&](std::size_t at, char32_t unit) {
            bytes.at(at + (big_endian ? 0 : 1)) = static_cast<unsigned char>(unit >> 8U);
            bytes.at(at + (big_endian ? 1 : 0)) = static_cast<unsigned char>(unit & 0xFFU);
        };
        if (character < 0x10000) {
            put(0, character);
            return 2;
        }
        put(0, 0xD800 + ((character - 0x10000) >> 10U));
        put(2, 0xDC00 + ((character - 0x10000) & 0x3FFU));
        return 4;
    }
    case Encoding::utf8:
        break;
    }
    if (character < 0x80) {
        bytes[0] = static_cast<unsigned char>(character);
        return 1;
    }
    if (character < 0x800) {
        bytes[0] = static_cast<unsigned char>(0xC0 | (character >> 6U));
        bytes[1] = static_cast<unsigned char>(0x80 | (character & 0x3FU));
        return 2;
    }
    if (character < 0x10000) {
        bytes[0] = static_cast<unsigned char>(0xE0 | (character >> 12U));
        bytes[1] = static_cast<unsigned char>(0x80 | ((character >> 6U) & 0x3FU));
        bytes[2] = static_cast<unsigned char>(0x80 | (character & 0x3FU));
        return 3;
    }
    bytes[0] = static_cast<unsigned char>(0xF0 | (character >> 18U));
    bytes[1] = static_cast<unsigned char>(0x80 | ((character >> 12U) & 0x3FU));
    bytes[2] = static_cast<unsigned char>(0x80 | ((character >> 6U) & 0x3FU));
    bytes[3] = static_cast<unsigned char>(0x80 | (character & 0x3FU));
    return 4;
}

Read read(Encoding encoding, const unsigned char* in, std::size_t left)
{
    switch (encoding) {
    case Encoding::windows1252:
        return read_windows_1252(in);
    case Encoding::utf16le:
        return read_utf16(in, left, false);
    case Encoding::utf16be:
        return read_utf16(in, left, true);
    case Encoding::utf8:
        break;
    }
    return read_utf8(in, left);
}

} // namespace

std::size_t transcode(Encoding from, Encoding to, const char*& in, std::size_t& in_left, char*& out,
                      std::size_t& out_left)
{
    std::size_t approximated = 0;
    while (in_left > 0) {
        const Read character = read(from, reinterpret_cast<const unsigned char*>(in), in_left);
        if (character.error != 0) {
            errno = character.error;
            return static_cast<std::size_t>(-1);
        }
        std::array<unsigned char, 4> bytes{};
        std::size_t length = encode(character.character, to, bytes);
        const bool approximate = length == 0;
        if (approximate) {
            bytes[0] = '?';
            length = 1;
        }
        if (length > out_left) {
            errno = E2BIG;
            return static_cast<std::size_t>(-1);
        }
        for (std::size_t k = 0; k < length; ++k)
            out[k] = static_cast<char>(bytes.at(k));
        out += length;
        out_left -= length;
        in += character.bytes;
        in_left -= character.bytes;
        approximated += approximate ? 1 : 0;
    }
    return approximated;
}

} // namespace quemador::text
