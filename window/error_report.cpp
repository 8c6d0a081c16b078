// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/error_report.h"

#include "calculation/calculate_command.h"
#include "window/form.h"

namespace quemador {
namespace {

// One line on what probably caused the error, naming the box to correct.
std::string help_line(const RuntimeError& error)
{
    if (error.source() == ErrorSource::conversion) {
        if (const auto input = error.input())
            return "El valor escrito en «" + std::string(form::caption(*input)) +
                "» es un número demasiado grande.";
        return "Uno de los valores escritos es un número demasiado grande.";
    }
    return std::string(model_error_hint(error.input()));
}

} // namespace

std::string error_report(const RuntimeError& error)
{
    return "Error " + std::to_string(static_cast<int>(error.number())) +
        " en tiempo de ejecución: " + error.what() + "\n\n" + help_line(error);
}

} // namespace quemador
