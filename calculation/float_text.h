// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Floating-point number⇄text where the standard library has no std::to_chars and
// std::from_chars for double (Emscripten's): C's snprintf and strtod, which round
// correctly and give the same digits. Their decimal point is the C locale's; a
// WebAssembly module never changes its locale. The native build keeps <charconv>, and
// its tests hold these two to it.

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>

namespace quemador::float_text {

// As std::to_chars(first, last, x, std::chars_format::general, precision), for a
// finite x that fits: "%.*g".
inline char* general(char* first, const char* last, double x, int precision)
{
    const int written =
        std::snprintf(first, static_cast<std::size_t>(last - first), "%.*g", precision, x);
    return written < 0 || written >= last - first ? first : first + written;
}

// As std::from_chars on a whole decimal text ("12345e-2"): the nearest double, or
// result_out_of_range, with value untouched, when it overflows or underflows to 0 (a
// subnormal result is a value, though strtod flags it too).
inline std::errc decimal(const std::string& text, double& value)
{
    errno = 0;
    const double read = std::strtod(text.c_str(), nullptr);
    if (errno == ERANGE && (read == 0.0 || std::isinf(read)))
        return std::errc::result_out_of_range;
    value = read;
    return {};
}

} // namespace quemador::float_text
