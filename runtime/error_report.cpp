#include "runtime/error_report.h"

namespace quemador {
namespace {

// One line on what probably caused the error, naming the box to correct.
std::string help_line(const RuntimeError& error)
{
    if (error.source() == ErrorSource::conversion) {
        switch (error.input()) {
        case ErrorInput::O2:
            return "El valor escrito en «% vol O2 ( Orsat )» es un número demasiado grande.";
        case ErrorInput::CO2:
            return "El valor escrito en «% vol CO2 ( Orsat )» es un número demasiado grande.";
        case ErrorInput::Temp_stack:
            return "El valor escrito en «Temperatura gas chimenea (ºF)» es un número demasiado "
                   "grande.";
        case ErrorInput::unknown:
            break;
        }
        return "Uno de los valores escritos es un número demasiado grande.";
    }
    if (error.input() == ErrorInput::Temp_stack)
        return "Compruebe la temperatura del gas de chimenea: el valor escrito es demasiado grande "
               "para el cálculo.";
    return "Compruebe la lectura de oxígeno: debe ser menor que 21 %.";
}

} // namespace

std::string error_report(const RuntimeError& error)
{
    return "Error " + std::to_string(static_cast<int>(error.number())) +
        " en tiempo de ejecución: " + error.what() + "\n\n" + help_line(error);
}

} // namespace quemador
