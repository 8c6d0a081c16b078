#include "app/command_line.h"

#include "quemador_version.h"

#include <cstdio>
#include <string_view>

namespace quemador {
namespace {

constexpr const char* usage = "Uso: quemador1 [-h | --help] [-v | --version] [opciones de Qt]\n";

constexpr const char* help =
    "Calcula el exceso de aire y la eficiencia de combustión de una caldera de gas\n"
    "natural o de fuel oil Nº 2 a partir del oxígeno de los gases (Orsat) y de la\n"
    "temperatura de chimenea, en una ventana.\n"
    "\n"
    "Opciones:\n"
    "  -h, --help     muestra esta ayuda y termina\n"
    "  -v, --version  muestra la versión y termina\n"
    "\n"
    "Acepta también las opciones de Qt, como -platform NOMBRE o -style NOMBRE.\n"
    "Más información en la página de manual: man quemador1\n";

} // namespace

std::optional<int> answer_help_or_version(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "-h" || argument == "--help") {
            std::fputs(usage, stdout);
            std::fputs(help, stdout);
            return 0;
        }
        if (argument == "-v" || argument == "--version") {
            std::fputs("Quemador1 " QUEMADOR_VERSION "\n", stdout);
            return 0;
        }
    }
    return std::nullopt;
}

std::optional<int> reject_leftover_arguments(int argc, const char* const* argv)
{
    if (argc < 2)
        return std::nullopt;
    const char* argument = argv[1];
    std::fprintf(stderr, "quemador1: %s: «%s»\n",
                 argument[0] == '-' ? "opción desconocida" : "argumento de más", argument);
    std::fputs(usage, stderr);
    return 2;
}

} // namespace quemador
