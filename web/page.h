// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The reading page over the one-reading report: the texts of its boxes in, as a JSON
// object keyed by the boxes' ids, and everything it shows for them out, as JSON keyed
// by the figures' page ids (calculation/report.h), its numbers in Spanish, with a
// decimal comma. The figures, their bases and the notices are the core's, as
// quemador1-calc prints them; this only reads the boxes and lays the answer out.

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

// The ids of the page's boxes, as a reading's request names them: "combustible", "o2",
// "co2", "co", "temp", "unidad" ("C" or "F"), "aire", "objetivo-o2", "objetivo-temp".
std::span<const std::string_view> box_ids();

// The boxes of a request, a JSON object by the boxes' ids; a box missing is empty.
// Raises std::invalid_argument for a request that is not such an object.
PageReading reading_of(std::string_view request);

// A JSON object: "cajas", what a box holds that cannot be read (by the box's id);
// "fallo" and "caja_fallo", why the reading has no result and which box it blames;
// "cifras" and "bases", each figure's text and basis by its page id (a figure outside
// the model is "—", its basis "fuera del modelo"); "fuera", whether the reading is
// outside the model; "avisos", the notices; "aire_supuesto", the air the model
// supposes.
std::string evaluate_json(const PageReading& page);

// Saved readings as the log they export to, as quemador1-calc --csv reads it back: a
// semicolon CSV in UTF-8 with a byte order mark, decimal commas and CR LF, its result
// columns named as the program names its own. The request is a JSON list of readings,
// each {"fecha": its date's text, "caldera", "nota", "entradas": the boxes by id}.
std::string export_csv(std::string_view request);

// The fuels, as a JSON list of {"valor": name, "nombre": caption}, natural gas first.
std::string fuels_json();

// The page's names as an ES module, written by the build: the figures (page id, label,
// whether the window shows it) and the two of a reading's one-line summary, the
// reading's boxes, and the log view's options and columns, so that the page names none
// of them itself.
std::string names_module();

} // namespace quemador::web
