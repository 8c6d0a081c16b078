// SPDX-License-Identifier: GPL-3.0-or-later
// The module's exports, called from the page's script with ccall: texts in, JSON out.
// Each answer lives until the next call.

#include "text/names.h"
#include "web/log_page.h"
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

// The log's bytes and its results go through the worker's script: it reads the file in
// slices, and gathers what is written for the download.
EM_JS(int, read_log, (char* buffer, int size),
      { return Module.leerRegistro(HEAPU8.subarray(buffer, buffer + size)); });
EM_JS(void, write_results, (const char* bytes, int size),
      { Module.escribirResultados(HEAPU8.subarray(bytes, bytes + size)); });
EM_JS(void, report_progress, (double rows, double bytes), { Module.avance(rows, bytes); });

class ScriptSource : public quemador::text::ByteSource {
public:
    std::size_t read(char* buffer, std::size_t size) override
    {
        return static_cast<std::size_t>(read_log(buffer, static_cast<int>(size)));
    }
};

class ScriptSink : public quemador::text::ByteSink {
public:
    void write(std::string_view bytes) override
    {
        write_results(bytes.data(), static_cast<int>(bytes.size()));
    }
};

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

// The log view's options, one a line: the file's name, fuel, unit (C, F or empty),
// encoding, air, target O2, target temperature, grouping, "1" for every result, then
// a column choice for each column kind.
EMSCRIPTEN_KEEPALIVE const char* quemador_log(const char* request)
{
    std::string_view rest(request);
    quemador::web::PageLog page;
    for (std::string* field : {&page.name, &page.fuel, &page.unit, &page.encoding, &page.air,
                               &page.target_o2, &page.target_temp, &page.grouping})
        *field = next_line(rest);
    page.all_results = next_line(rest) == "1";
    for (std::string& column : page.columns)
        column = next_line(rest);
    ScriptSource input;
    ScriptSink output;
    answer = quemador::web::run_log_json(
        page, input, output, [](std::uint64_t rows, std::uint64_t bytes) {
            report_progress(static_cast<double>(rows), static_cast<double>(bytes));
        });
    return answer.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* quemador_columns()
{
    answer = quemador::web::columns_json();
    return answer.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* quemador_fuels()
{
    answer = quemador::web::fuels_json();
    return answer.c_str();
}

// A text cell the page writes from a name or a note, safe in a spreadsheet.
EMSCRIPTEN_KEEPALIVE const char* quemador_spreadsheet_cell(const char* text)
{
    answer = quemador::text::spreadsheet_cell(text);
    return answer.c_str();
}

} // extern "C"
