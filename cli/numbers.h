// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Strict reading of the numbers given on the command line or found in a CSV log, and
// the texts of results in a data file. Neither depends on the C or system locale.

#include <optional>
#include <string>
#include <string_view>

namespace quemador::cli {

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

// The same, for a loop over many numbers: sets value and says whether the text was
// one. A std::optional<double> comes back through memory, and reading it at once
// after it was written stalls the processor on every number.
bool read_number(std::string_view text, DecimalComma comma, double& value);

// A result as the window shows it (shown_result), for a data file: without the sign
// blank, and with a decimal comma where the file uses one ("83,94").
std::string shown_in_file(double x, DecimalComma comma);

// The same text made in place from shown_result's, for a caller that keeps one string
// per result from row to row: a view into text.
std::string_view in_file(std::string& text, DecimalComma comma);

} // namespace quemador::cli
