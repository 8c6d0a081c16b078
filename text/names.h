// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Names as people write them in column headers and on the command line, and texts
// from a file as messages show them.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace quemador::text {

// The lower-case ASCII letters and digits of a text: accented vowels, ü and ñ fold to
// their plain letter, subscript digits to digits, everything else is dropped
// ("T gas (°C)" gives "tgasc", "O₂" gives "o2").
std::string folded(std::string_view text);

// A text from a file as a message may show it on a terminal: control characters
// (C0, DEL and the C1 controls) escaped as \xNN, everything else as it is.
std::string printable(std::string_view text);

// How many characters a UTF-8 text shows: its bytes that do not continue a character.
inline std::size_t width(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
    }));
}

} // namespace quemador::text
