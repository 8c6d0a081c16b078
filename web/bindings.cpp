// SPDX-License-Identifier: GPL-3.0-or-later
// The module's exports, called from the page's script with ccall: texts in, JSON out.
// Each answer lives until the next call.

#include "web/page.h"

#include <emscripten/emscripten.h>

#include <string>
#include <string_view>

namespace {

std::string answer;

// The next line of a request, taken off its front.
std::string next_line(std::string_view& request)
{
    const auto end = request.find('\n');
    std::string line(request.substr(0, end));
    request.remove_prefix(end == std::string_view::npos ? request.size() : end + 1);
    return line;
}

} // namespace

extern "C" {

// The page's boxes, one a line: fuel, O2, CO2, CO, temperature, unit (C or F), air,
// target O2, target temperature.
EMSCRIPTEN_KEEPALIVE const char* quemador_evaluate(const char* request)
{
    std::string_view rest(request);
    quemador::web::PageReading page;
    page.fuel = next_line(rest);
    page.o2 = next_line(rest);
    page.co2 = next_line(rest);
    page.co = next_line(rest);
    page.temp = next_line(rest);
    page.celsius = next_line(rest) != "F";
    page.air = next_line(rest);
    page.target_o2 = next_line(rest);
    page.target_temp = next_line(rest);
    answer = quemador::web::evaluate_json(page);
    return answer.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* quemador_fuels()
{
    answer = quemador::web::fuels_json();
    return answer.c_str();
}

} // extern "C"
