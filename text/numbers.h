// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Strict reading of the numbers given on the command line or found in a data file, and
// the texts of results in a data file. Neither depends on the C or system locale.

#include <optional>
#include <string>
#include <string_view>

namespace quemador::text {

enum class DecimalComma { rejected, accepted };

// A text without the blanks (spaces and tabs) around it, as a number or a cell is read.
inline std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Reads a whole text as one number: blanks around it, an optional sign, then digits
// with at most one decimal separator (the period, or the comma where accepted).
// Anything else, and a number beyond the range of a double, reads as nothing:
// "abc", "3,5" where the comma is rejected, "1e3", "3 5", "".
std::optional<double> parse_number(std::string_view text, DecimalComma comma);

// A result as the window shows it (" 83.94", "-4.36"), made in place into its form in a
// data file: without the sign blank, and with a decimal comma where the file uses one
// ("83,94"). Returns a view into text.
std::string_view in_file(std::string& text, DecimalComma comma);

} // namespace quemador::text
