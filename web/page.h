// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The reading page over the one-reading flow: the texts of its boxes in, everything it
// shows for them out, as JSON for the page's script. The flow, the figures, their bases
// and the notices are the log library's, as quemador1-calc prints them; this only reads
// the boxes and lays the answer out.

#include <string>

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

// A JSON object: "cajas", what a box holds that cannot be read (by the box's id);
// "fallo" and "caja_fallo", why the reading has no result and which box it blames;
// "cifras" and "bases", each figure's text and basis by the id of its element;
// "archivo", the results as a log writes them; "avisos", the notices; "temp_f" and
// "aire_f", the temperatures in °F; "aire_supuesto", the air the model supposes.
std::string evaluate_json(const PageReading& page);

// The fuels, as a JSON list of {"valor": name, "nombre": caption}, natural gas first.
std::string fuels_json();

} // namespace quemador::web
