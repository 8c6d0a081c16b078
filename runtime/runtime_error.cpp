// SPDX-License-Identifier: GPL-3.0-or-later
#include "runtime/runtime_error.h"

#include "runtime/arithmetic.h"

namespace quemador {
namespace {

const char* description(ErrorNumber number)
{
    switch (number) {
    case ErrorNumber::overflow:
        return "Desbordamiento";
    case ErrorNumber::division_by_zero:
        return "División por cero";
    }
    return "Error desconocido";
}

} // namespace

RuntimeError::RuntimeError(ErrorNumber number, ErrorSource source, std::optional<Input> input)
    : std::runtime_error(description(number)), number_(number), source_(source), input_(input)
{
}

void arithmetic::raise(ErrorNumber number) { throw RuntimeError(number, ErrorSource::arithmetic); }

} // namespace quemador
