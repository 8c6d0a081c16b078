// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The page's log view over the log library: a log read from a byte source with the
// options the page offers, its results written to a byte sink as quemador1-calc --csv
// writes them, and what the page shows of it as JSON: the summary as quemador1-calc
// says it and as its --resumen table, the rows with notes, and the chart.

#include "log/columns.h"
#include "text/csv.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace quemador::web {

// The log view's options, as the page's controls give them; empty is "not given".
struct PageLog {
    std::string name;     // the file's, for the chart's title
    std::string fuel;     // for rows without a fuel of their own: "gas", "fueloil"
    std::string unit;     // "C" or "F" over what the log says
    std::string encoding; // "utf-8", "utf-16", "windows-1252"
    std::string air;
    std::string target_o2;
    std::string target_temp;
    std::string grouping; // "caldera", "mes", "ninguno"
    bool all_results = false;
    std::array<std::string, log::column_count> columns; // by log::Column
};

// The rows with notes the page lists, at most, and of each the first columns and
// those of its readings, each cut to so many characters.
inline constexpr std::size_t listed_notices = 200;
inline constexpr std::size_t excerpt_columns = 12;
inline constexpr std::size_t excerpt_chars = 200;

// Reads the log and answers a JSON object: "estado", the status quemador1-calc would
// end with; "error", why the log cannot be read (status 2); "lineas", the summary's
// lines as quemador1-calc writes them on standard error after the rows' reports (with
// --grafico), and "cuentas", its last; "tabla", the rows of its --resumen file;
// "avisos", the first rows with notes ({"linea", "aviso", and of an excerpt of the row
// "columnas", their numbers, "encabezado", "campos", and "omitidas", the columns left
// out}) and "avisos_total"; "grafico", the chart. progress gets the rows and bytes read every few
// thousand rows.
std::string run_log_json(const PageLog& page, text::ByteSource& input, text::ByteSink& output,
                         const std::function<void(std::uint64_t, std::uint64_t)>& progress);

// The columns the page offers a box for, as a JSON list of {"id": the box's end
// ("o2"), "que": what it holds, "opcion": quemador1-calc's option, "ayuda"}.
std::string columns_json();

} // namespace quemador::web
