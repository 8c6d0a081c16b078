#include "runtime/error_report.h"

namespace quemador {

std::string error_report(const RuntimeError& error)
{
    const std::string help = error.source() == ErrorSource::conversion
        ? "Uno de los valores escritos es un número demasiado grande."
        : "Compruebe la lectura de oxígeno: debe ser menor que 21 %.";
    return "Error " + std::to_string(static_cast<int>(error.number())) +
        " en tiempo de ejecución: " + error.what() + "\n\n" + help;
}

} // namespace quemador
