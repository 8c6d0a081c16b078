// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include "quemador_version.h"

#include <algorithm>
#include <array>
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

// Qt's own options on Linux, as Qt 6.4 takes them from the command line: those that
// the documentation of QGuiApplication and QApplication lists under "Supported
// Command Line Options" (-platform, -platformpluginpath, -platformtheme, -plugin,
// -qmljsdebugger, -qwindowgeometry, -qwindowicon, -qwindowtitle, -reverse, -session,
// -display, -geometry, -style, -stylesheet, -widgetcount), and those that its source
// also takes: -title and -icon beside -geometry on X11, -name and -sync in the xcb
// platform plugin, -testability. Each may be written with two dashes ("--platform"),
// and -style, -stylesheet and -qmljsdebugger with their value after "=".
constexpr std::array<std::string_view, 16> qt_options_with_value = {
    "platform",        "platformpluginpath",
    "platformtheme",   "plugin",
    "qwindowgeometry", "geometry",
    "qwindowtitle",    "title",
    "qwindowicon",     "icon",
    "display",         "name",
    "session",         "style",
    "stylesheet",      "qmljsdebugger"};
constexpr std::array<std::string_view, 4> qt_flags = {"reverse", "widgetcount", "sync",
                                                      "testability"};
constexpr std::array<std::string_view, 3> qt_options_with_attached_value = {
    "style=", "stylesheet=", "qmljsdebugger="};

template <std::size_t n>
bool is_one_of(std::string_view name, const std::array<std::string_view, n>& names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// An option's name without its one or two leading dashes; empty for an argument that
// is not an option.
std::string_view option_name(std::string_view argument)
{
    if (argument.size() < 2 || argument[0] != '-')
        return {};
    argument.remove_prefix(argument[1] == '-' ? 2 : 1);
    return argument;
}

} // namespace

std::optional<int> reject_unknown_arguments(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = option_name(argv[i]);
        if (is_one_of(name, qt_options_with_value)) {
            if (++i < argc)
                continue;
            std::fprintf(stderr, "quemador1: falta el valor de la opción «%s»\n", argv[i - 1]);
            std::fputs(usage, stderr);
            return 2;
        }
        if (is_one_of(name, qt_flags) ||
            std::any_of(qt_options_with_attached_value.begin(),
                        qt_options_with_attached_value.end(),
                        [name](std::string_view prefix) { return name.starts_with(prefix); }))
            continue;
        std::fprintf(stderr, "quemador1: %s: «%s»\n",
                     name.empty() ? "argumento de más" : "opción desconocida", argv[i]);
        std::fputs(usage, stderr);
        return 2;
    }
    return std::nullopt;
}

const char* display_option(int argc, const char* const* argv)
{
    const char* display = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (option_name(argv[i]) == "display")
            display = argv[i + 1];
    }
    return display;
}

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
