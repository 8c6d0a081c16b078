// SPDX-License-Identifier: GPL-3.0-or-later
// quemador1-calc: the calculator's model from the command line, for one reading, a
// printable table or a whole CSV log.

#include "cli/commands.h"
#include "quemador_version.h"
#include "text/names.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <string>
#include <utility>

using namespace quemador;
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
    Given given;
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
    const auto specs = log::option_specs();
    for (std::size_t i = 0; i < specs.size(); ++i) {
        const log::OptionSpec& spec = specs[i];
        const std::string names = spec.short_name.empty()
            ? std::string(spec.name)
            : std::string(spec.short_name) + "," + std::string(spec.name);
        if (spec.kind == log::ValueKind::flag)
            app.add_flag(names, given.flag(i), spec.help);
        else if (spec.repeated)
            app.add_option(names, given.values(i), spec.help)
                ->type_name(std::string(spec.argument))
                ->expected(1)
                ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        else
            app.add_option(names, given.value(i), spec.help)->type_name(std::string(spec.argument));
    }
    app.footer("Los números llevan punto o coma decimal y nada más. Estado de salida: 0 si todo se "
               "calculó, 1 si alguna lectura no pudo calcularse, está fuera de rango o es dudosa, "
               "o si la salida no pudo escribirse, 2 si la orden es incorrecta.\n"
               "Vea quemador1-calc(1).\n");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error);
        std::fprintf(stderr, "quemador1-calc: %s (vea --help)\n",
                     text::printable(usage_message(error)).c_str());
        return exit_usage;
    }
    return run(std::move(given));
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
