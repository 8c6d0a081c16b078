// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Checked double-precision arithmetic for the calculation. Every operation yields
// the IEEE 754 result and raises a RuntimeError instead of producing a value that
// is not a finite number: a zero divisor is a division-by-zero error, any other
// non-finite result an overflow. A result too small for a double becomes 0 (or a
// subnormal) without an error.

#include "runtime/runtime_error.h"

#include <cmath>

namespace quemador::arithmetic {

[[noreturn]] void raise(ErrorNumber number);

inline double checked(double result)
{
    if (!std::isfinite(result)) [[unlikely]]
        raise(ErrorNumber::overflow);
    return result;
}

inline double sum(double a, double b) { return checked(a + b); }
inline double difference(double a, double b) { return checked(a - b); }
inline double product(double a, double b) { return checked(a * b); }

inline double quotient(double dividend, double divisor)
{
    if (divisor == 0.0) [[unlikely]]
        raise(ErrorNumber::division_by_zero);
    return checked(dividend / divisor);
}

inline double power(double base, double exponent) { return checked(std::pow(base, exponent)); }

} // namespace quemador::arithmetic
