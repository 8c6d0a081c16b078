// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The page's log view over the log library: a log read from a byte source with the
// options the page offers, its results written to a byte sink as quemador1-calc --csv
// writes them, and what the page shows of it as JSON: the summary as quemador1-calc
// says it and as its --resumen table, the rows with notes, and the chart. Its options
// are read by their declarations, as the command line's are.

#include "log/note.h"
#include "text/csv.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace quemador::web {

// The rows with notes the page lists, at most, and of each the first columns and
// those of its readings, each cut to so many characters.
inline constexpr std::size_t listed_notices = 200;
inline constexpr std::size_t excerpt_columns = 12;
inline constexpr std::size_t excerpt_chars = 200;

// Reads the log with the options of a request, a JSON object: "nombre", the file's
// name (for the chart's title), and the log's options by their keys (log/options.h:
// "aire", "objetivo-o2", "col-o2", …; a flag as true, any other as its text, empty for
// none). Answers a JSON object: "estado", the status quemador1-calc would end with;
// "error", why the log cannot be read (status 2); "lineas", the summary's lines as
// quemador1-calc writes them on standard error after the rows' reports (with
// --grafico), and "cuentas", its last; "tabla", the rows of its --resumen table;
// "avisos", the first rows with notes ({"linea", "aviso", and of an excerpt of the row
// "columnas", their numbers, "encabezado", "campos", and "omitidas", the columns left
// out}) and "avisos_total"; "grafico", the chart. progress gets the rows and bytes read
// every few thousand rows. What the lines and the error ask of the user is in the
// page's controls (control_words).
//
// Several files are read as one: "nombres", their names in order; next() moves input
// and output to the next file, and says whether there is one. A file that cannot be read
// is left out and the others read: "omitidos" lists each ({"indice", "nombre",
// "error"}), and "estado" is then 2 with the rest of the answer; only when none can be
// read is the answer an "error". The verdict comes with
// them: "veredicto" ({"columnas": its headers, "filas": its rows, "alertas": their
// words, "lineas", "ahorro": what the money assumes or why there is none}), "meses" (each
// boiler's months, for the report), and "resumen_archivo", the --resumen file in the
// log's encoding, in base64. "consumos" in the request, [{"caldera", "kwh", "precio"}],
// gives the money. "informe" is the run's report as quemador1-calc --json writes it
// (log/run_report.h), the same document, also when a file could not be read.
std::string run_log_json(
    std::string_view request, text::ByteSource& input, text::ByteSink& output,
    const std::function<void(std::uint64_t, std::uint64_t)>& progress,
    const std::function<bool()>& next = [] { return false; });

// What a note of the log asks of the user (log/note.h), in the page's words: its own
// controls.
std::string control_words(const log::Remedy& remedy);

} // namespace quemador::web
