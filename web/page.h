// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The reading page over the one-reading report: the texts of its boxes in, as a JSON
// object keyed by the boxes' ids, and everything it shows for them out, as JSON keyed
// by the figures' page ids (calculation/report.h), its numbers in Spanish, with a
// decimal comma. The figures, their bases and the notices are the core's, as
// quemador1-calc prints them; this only reads the boxes and lays the answer out.

#include "calculation/report.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quemador::web {

// The boxes of the page, as typed.
struct PageReading {
    std::string fuel; // a fuel's name: "gas", "fueloil"
    std::string o2;
    std::string co2;
    std::string co;
    std::string temp;
    bool celsius = true; // the unit of the three temperatures
    std::string air;
    std::string target_o2;
    std::string target_temp;
};

// Who keeps a field of the report: the page's settings (entered once), the boiler (filled
// in again when it is chosen), or each report.
enum class Keeper : std::uint8_t { settings, boiler, report };

// How a field is typed.
enum class FieldKind : std::uint8_t { text, number, year, date, choice, note };

// A field of the technician's report, past the reading's boxes: its id on the page, its
// label, the group it is shown in, its column in the export, who keeps it, how it is
// typed, and the fuel it is for (empty: any).
struct ReportField {
    std::string_view id;
    std::string_view label;
    std::string_view group;
    std::string_view column;
    Keeper keeper;
    FieldKind kind;
    std::string_view fuel;
};

// Every field of the report, in the order the page shows them.
std::span<const ReportField> report_fields();

// The efficiencies a minimum may be set on: the window's and the net one.
std::span<const FigureKind> judged_efficiencies();

// The ids of the page's boxes, as a reading's request names them: "combustible", "o2",
// "co2", "co", "temp", "unidad" ("C" or "F"), "aire", "objetivo-o2", "objetivo-temp".
std::span<const std::string_view> box_ids();

// A reading's request, a JSON object of the boxes by their ids (a box missing is
// empty) and of the settings' limits by their fields' ids. A JSON object: "cajas", what
// a box holds that cannot be read (by the box's id); "fallo" and "caja_fallo", why the
// reading has no result and which box it blames; "cifras" and "bases", each figure's
// text and basis by its page id (a figure outside the model is "—", its basis "fuera
// del modelo"); "fuera", whether the reading is outside the model; "avisos", the
// notices; "co_supera", the CO limit its CO air-free is past, in words, when it is;
// "aire_supuesto", the air the model supposes. Raises std::invalid_argument for a
// request that is not a JSON object.
std::string evaluate_json(std::string_view request);

// A report of up to three readings. The request: "lecturas", the readings' boxes;
// "campos", the report's fields and the settings by their ids; "hoy", the report's date
// (yyyy-mm-dd); "anterior", the boiler's previous report ({"fecha": yyyy-mm-dd,
// "lecturas"}), when it has one. A JSON object: "cajas", fields that cannot be read;
// "lecturas", each reading's answer as evaluate_json's; "medias", each figure's mean by
// its page id; "anterior" ({"fecha", "medias", "cambios", "frase"}); "limites", each
// limit that applies ({"clave", "limite", "fuente", "medido", "juicio", "falla"});
// "veredicto" and "motivo"; "calibracion", the analyser's calibration in words, and
// "calibracion_vencida". Raises std::invalid_argument for a request that is not such an
// object.
std::string inspection_json(std::string_view request);

// Everything the page keeps, as the log it exports to (a backup to move to another
// browser): a semicolon CSV in UTF-8 with a byte order mark, decimal commas and CR LF,
// one row per reading, saved or in a report, its result columns named as the program
// names its own so that quemador1-calc --csv reads it; then the columns of the boiler,
// of the report, of the settings. The request: {"lecturas": saved readings, each
// {"fecha": its date's text, "caldera", "clave", "nota", "entradas": the boxes by id},
// "calderas": [{"clave", "campos"}], "informes": [{"fecha", "caldera", "clave", "numero"
// (as the company numbers it), "campos", "lecturas": [{"fecha", "nota", "entradas"}]}],
// "ajustes": {id: text}}.
// Raises std::invalid_argument for a request that is not such an object.
std::string export_csv(std::string_view request);

// An export read back, as JSON of the request's shape (without "clave"), each reading
// with "fila", the file's line it begins on; {"error": why} for a file that is not one.
std::string import_json(std::string_view csv);

// The fuels, as a JSON list of {"valor": name, "nombre": caption}, natural gas first.
std::string fuels_json();

// The page's names as an ES module, written by the build: the figures (page id, label,
// whether the window shows it) and the two of a reading's one-line summary, the
// reading's boxes, the report's fields and their groups, and the log view's options and
// columns, so that the page names none of them itself.
std::string names_module();

} // namespace quemador::web
