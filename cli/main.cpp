// SPDX-License-Identifier: GPL-3.0-or-later
// quemador1-calc: the calculator's model from the command line, for one reading, a
// printable table or a whole CSV log.

#include "cli/commands.h"
#include "quemador_version.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>

using namespace quemador::cli;

namespace {

// CLI11's messages in Spanish, on one line.
std::string usage_message(const CLI::ParseError& error)
{
    const std::string what = error.what();
    const auto colon = what.find(": ");
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr)
        return "argumento no esperado: " + what.substr(colon == std::string::npos ? 0 : colon + 2);
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr)
        return "falta el valor de " + what.substr(0, what.find(':'));
    return "orden incorrecta: " + what;
}

int parse_and_run(int argc, char** argv)
{
    Arguments args;
    CLI::App app("Calcula el exceso de aire y la eficiencia de combustión de una caldera a partir "
                 "del oxígeno de los humos y su temperatura, para gas natural o fuel oil Nº 2.",
                 "quemador1-calc");
    auto formatter = app.get_formatter();
    formatter->label("Usage", "Uso");
    formatter->label("OPTIONS", "OPCIONES");
    formatter->column_width(26);
    app.option_defaults()->group("Opciones");
    app.set_help_flag("-h,--help", "muestra esta ayuda y termina");
    app.set_version_flag("-v,--version", std::string("quemador1-calc ") + QUEMADOR_VERSION,
                         "muestra la versión y termina");

    app.add_option("-c,--combustible", args.fuel,
                   "gas (gas natural) o fueloil (fuel oil Nº 2); con --csv, el de las filas "
                   "sin columna Combustible")
        ->type_name("gas|fueloil");
    app.add_option("--o2", args.o2,
                   "oxígeno en los humos, % vol (Orsat); con --tabla, una lista "
                   "separada por comas")
        ->type_name("VALOR");
    app.add_option("--co2", args.co2, "CO2 en los humos, % vol (solo para los avisos)")
        ->type_name("VALOR");
    app.add_option("--temp", args.temp,
                   "temperatura de humos, °F (°C con --celsius); con --tabla, una "
                   "lista o desde:hasta:paso")
        ->type_name("VALOR");
    app.add_flag("--celsius", args.celsius, "temperaturas en °C");
    app.add_flag(
        "--fahrenheit", args.fahrenheit,
        "con --csv: temperaturas en °F aunque el encabezado o la línea de unidades digan °C");
    app.add_flag("--tabla", args.table, "imprime una tabla de eficiencias por O2 y temperatura");
    app.add_option("--formato", args.format, "formato de la tabla: texto (por omisión) o csv")
        ->type_name("texto|csv");
    app.add_option("--csv", args.csv,
                   "lee un registro CSV (- para la entrada estándar) y lo escribe en la salida "
                   "con exceso_aire, eficiencia, eficiencia_neta y aviso")
        ->type_name("ARCHIVO");
    app.add_option("--separador", args.separator,
                   "con --tabla --formato csv: el separador (, ; o \\t); con ; las cifras "
                   "llevan coma decimal")
        ->type_name("SEP");
    app.add_option("--codificacion", args.encoding,
                   "con --csv: la codificación del archivo, si no se deduce bien")
        ->type_name("utf-8|utf-16|windows-1252");
    app.add_option("--col-o2", args.col_o2,
                   "con --csv: la columna del oxígeno (su encabezado o su número, desde 1)")
        ->type_name("COLUMNA");
    app.add_option("--col-temp", args.col_temp, "con --csv: la columna de la temperatura")
        ->type_name("COLUMNA");
    app.add_option("--col-co2", args.col_co2, "con --csv: la columna del CO2")
        ->type_name("COLUMNA");
    app.add_option("--col-combustible", args.col_fuel, "con --csv: la columna del combustible")
        ->type_name("COLUMNA");
    app.add_flag("--todos", args.all_results,
                 "con --csv: escribe también los resultados de lecturas fuera de rango");
    app.add_option("--aire", args.air,
                   "temperatura del aire de combustión, en la unidad de --temp: da la eficiencia "
                   "neta con ella y la bruta corregida (sin ella se suponen 60 °F)")
        ->type_name("T");
    app.add_option("--objetivo-o2", args.target_o2,
                   "O2 de un ajuste del quemador: la eficiencia allí y el combustible ahorrado")
        ->type_name("VALOR");
    app.add_option("--objetivo-temp", args.target_temp,
                   "temperatura de humos esperada en ese ajuste (si no, la misma)")
        ->type_name("T");
    app.add_option("--base", args.base,
                   "con --tabla: bruta (por omisión, sobre el PCS) o neta (Siegert, sobre el PCI)")
        ->type_name("bruta|neta");
    app.add_option("--col-aire", args.col_air, "con --csv: la columna del aire de combustión")
        ->type_name("COLUMNA");
    app.add_option("--col-analizador", args.col_analyser,
                   "con --csv: la columna de la eficiencia que da el analizador")
        ->type_name("COLUMNA");
    app.add_option("--resumen", args.summary,
                   "con --csv: escribe también el resumen del registro en este archivo CSV")
        ->type_name("ARCHIVO");
    app.footer("Los números llevan punto o coma decimal y nada más. Estado de salida: 0 si todo se "
               "calculó, 1 si alguna lectura no pudo calcularse o está fuera de rango, o si la "
               "salida no pudo escribirse, 2 si la orden es incorrecta.\n"
               "Vea quemador1-calc(1).\n");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error);
        std::fprintf(stderr, "quemador1-calc: %s (vea --help)\n", usage_message(error).c_str());
        return exit_usage;
    }
    return run(args);
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return parse_and_run(argc, argv);
    } catch (const std::exception& error) {
        // Out of memory and the like: say so rather than abort without a word.
        std::fprintf(stderr, "quemador1-calc: error interno: %s\n", error.what());
        return exit_not_calculated;
    }
}
