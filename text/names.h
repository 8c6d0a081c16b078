// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Names as people write them in column headers and on the command line, and texts
// from a file as messages show them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quemador::text {

// The lower-case ASCII letters and digits of a text: accented vowels, ü and ñ fold to
// their plain letter, subscript digits to digits, everything else is dropped
// ("T gas (°C)" gives "tgasc", "O₂" gives "o2").
std::string folded(std::string_view text);

// A name as people mean it, whatever its case, accents and the blanks around it: lower
// case, the Latin-1 letters without their accents ("  Caldera Señora " and "caldera
// senora" give the same); everything else as it is.
std::string caseless(std::string_view text);

// A text from a file as a message may show it on a terminal: control characters
// (C0, DEL and the C1 controls) escaped as \xNN, and the controls that reorder text
// (right-to-left override and the like, which would turn "18,11" into "11,81") as
// \uNNNN; everything else as it is.
std::string printable(std::string_view text);

// How many characters a UTF-8 text shows: its bytes that do not continue a character.
inline std::size_t width(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
    }));
}

// A text as well-formed UTF-8 holding only characters XML allows: each byte that is
// not UTF-8, and each character XML forbids (C0 controls but tab and line ends,
// U+FFFE, U+FFFF), becomes U+FFFD; replaced counts them.
std::string valid_text(std::string_view text, std::uint64_t& replaced);

// A UTF-8 text of at most chars characters: a longer one is cut to chars - 1 and ends
// in "…".
std::string shortened(std::string_view text, std::size_t chars);

// A text cell the program writes from a name or a note, safe in a spreadsheet: one
// that starts with =, +, -, @, a tab or a carriage return (which a spreadsheet would
// take for a formula) gets a leading apostrophe.
std::string spreadsheet_cell(std::string_view text);

} // namespace quemador::text
