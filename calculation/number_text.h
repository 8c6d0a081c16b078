#pragma once

// Conversions between the window's texts and numbers. Both always use the period
// as the decimal separator and never depend on the C or system locale.

#include <cstddef>
#include <string>
#include <string_view>

namespace quemador {

// Reads the number at the start of a text; whatever follows it is ignored.
// Blanks, tabs and line feeds are skipped wherever they stand ("3 5" reads as 35).
// Accepted: an optional sign, digits with an optional period and fraction, and an
// optional exponent ("1.5E3"; a bare "1E" reads as 1). A text with no number at its
// start reads as 0, and so does a number too small for a double. A number too large
// for a double raises the overflow RuntimeError.
double Val(std::string_view text);

// How many characters at the start of a text Val reads as its number, counting the
// blanks it skips within and after it; 0 when the text has no number at its start.
// The text is wholly a number when this is its whole length.
std::size_t number_length(std::string_view text);

// Writes a finite number with at most 15 significant digits: one blank before a
// value that is zero or positive, a minus sign before a negative one; no trailing
// zeros; a 0 before the period below 1 (" 0.46"); exponent form where 15 digits do
// not reach (" 1E+20", " 1E-05").
std::string Str(double x);

} // namespace quemador
