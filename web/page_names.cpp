// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the page's names module (web::names_module) to standard output, for the build.

#include "web/page.h"

#include <cstdio>

int main()
{
    const std::string module = quemador::web::names_module();
    return std::fwrite(module.data(), 1, module.size(), stdout) == module.size() ? 0 : 1;
}
