#include "window/error_report.h"

#include "window/main_window.h"

namespace quemador {
namespace {

// One line on what probably caused the error, naming the box to correct.
std::string help_line(const RuntimeError& error)
{
    if (error.source() == ErrorSource::conversion) {
        if (const auto input = error.input())
            return "El valor escrito en «" + std::string(MainWindow::caption(*input)) +
                "» es un número demasiado grande.";
        return "Uno de los valores escritos es un número demasiado grande.";
    }
    if (error.input() == Input::Temp_stack)
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
