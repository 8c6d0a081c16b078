// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Strict reading of the numbers given on the command line or found in a data file, and
// the texts of results in a data file. Neither depends on the C or system locale.

#include <algorithm>
#include <string>
#include <string_view>

namespace quemador::text {

enum class DecimalComma { rejected, accepted };

// The blanks around a number or a cell: spaces and tabs.
constexpr bool is_blank(char c) { return c == ' ' || c == '\t'; }

// A text without the blanks around it, as a number or a cell is read.
inline std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && is_blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Whether a text is empty or blanks only.
inline bool is_blank(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return is_blank(c); });
}

// Reads a whole text as one number into value: blanks around it, an optional sign, then
// digits with at most one decimal separator (the period, or the comma where accepted).
// Anything else, and a number beyond the range of a double, is not one, and value is
// left as it was: "abc", "3,5" where the comma is rejected, "1e3", "3 5", "". (A flag
// and a reference rather than a std::optional: the optional goes back through memory,
// and reading it at once stalls the processor, which a log pays on every number.)
bool parse_number(std::string_view text, DecimalComma comma, double& value);

// A result as the window shows it (" 83.94", "-4.36"), made in place into its form in a
// data file: without the sign blank, and with a decimal comma where the file uses one
// ("83,94"). Returns a view into text.
std::string_view in_file(std::string& text, DecimalComma comma);

} // namespace quemador::text
