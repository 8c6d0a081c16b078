// SPDX-License-Identifier: GPL-3.0-or-later
// The module's exports, called from the page's script (web/site/module.js): JSON in, JSON
// (or the export's CSV) out. A request is bytes the page puts in the module's heap and
// frees after the call, never a string copied onto the module's stack, whose few
// megabytes a backup outgrows; the answer's bytes live until the next call, their count
// given by quemador_answer_size.

#include "log/json.h"
#include "web/log_page.h"
#include "web/page.h"

#include <emscripten/emscripten.h>

#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

namespace {

namespace web = quemador::web;

std::string answer;

std::string refusal(std::string_view why)
{
    quemador::log::Json json;
    json.open('{');
    json.member("error", why);
    json.close('}');
    return json.take();
}

// A request's bytes, as the page put them in the heap.
std::string_view request_of(const char* bytes, int size)
{
    return {bytes, bytes != nullptr && size > 0 ? static_cast<std::size_t>(size) : 0};
}

// An answer, or a request that the module cannot read or hold, as {"error": why}.
template <typename Answer> std::string answered(Answer make)
{
    try {
        return make();
    } catch (const std::invalid_argument& error) {
        return refusal(error.what());
    } catch (const std::bad_alloc&) {
        return refusal("no cabe en la memoria de esta página");
    }
}

// The log's bytes and its results go through the worker's script: it reads the file in
// slices, and gathers what is written for the download.
EM_JS(int, read_log, (char* buffer, int size),
      { return Module.leerRegistro(HEAPU8.subarray(buffer, buffer + size)); });
EM_JS(void, write_results, (const char* bytes, int size),
      { Module.escribirResultados(HEAPU8.subarray(bytes, bytes + size)); });
EM_JS(void, report_progress, (double rows, double bytes), { Module.avance(rows, bytes); });
// Of several files read as one: moves to the next, and says whether there is one.
EM_JS(int, next_log, (), { return Module.siguienteRegistro ? Module.siguienteRegistro() : 0; });

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

// A reading's boxes, a JSON object by their ids.
EMSCRIPTEN_KEEPALIVE const char* quemador_evaluate(const char* request, int size)
{
    answer = answered([&] { return web::evaluate_json(request_of(request, size)); });
    return answer.c_str();
}

// The log view's options, a JSON object by their keys, with the file's name.
EMSCRIPTEN_KEEPALIVE const char* quemador_log(const char* request, int size)
{
    ScriptSource input;
    ScriptSink output;
    answer = web::run_log_json(
        request_of(request, size), input, output,
        [](std::uint64_t rows, std::uint64_t bytes) {
            report_progress(static_cast<double>(rows), static_cast<double>(bytes));
        },
        [] { return next_log() != 0; });
    return answer.c_str();
}

// A report's readings, fields and previous report, a JSON object.
EMSCRIPTEN_KEEPALIVE const char* quemador_inspection(const char* request, int size)
{
    answer = answered([&] { return web::inspection_json(request_of(request, size)); });
    return answer.c_str();
}

// Everything the page keeps, a JSON object, as the CSV log it exports to.
EMSCRIPTEN_KEEPALIVE const char* quemador_export(const char* request, int size)
{
    answer = answered([&] { return web::export_csv(request_of(request, size)); });
    return answer.c_str();
}

// An export read back, as JSON.
EMSCRIPTEN_KEEPALIVE const char* quemador_import(const char* csv, int size)
{
    answer = answered([&] { return web::import_json(request_of(csv, size)); });
    return answer.c_str();
}

EMSCRIPTEN_KEEPALIVE const char* quemador_fuels(const char* /*request*/, int /*size*/)
{
    answer = web::fuels_json();
    return answer.c_str();
}

// The bytes of the last answer.
EMSCRIPTEN_KEEPALIVE int quemador_answer_size() { return static_cast<int>(answer.size()); }

} // extern "C"
