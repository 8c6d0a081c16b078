// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a reading means beside the window's gross efficiency: the net efficiency that
// European analysers show, the gross one with the combustion air at its real
// temperature, and the fuel that tuning the burner to another reading would save.
// None of these changes a result that the window shows.

#include "calculation/calculate_command.h"

namespace quemador {

// The efficiency on the lower heating value by the Siegert formula, as European
// analysers compute it: 100 − (t_gas − t_air) × (A2 / (21 − O2) + B), temperatures
// in °C, O2 in % vol, with the fuel's constants. Dry flue gas: no condensing credit.
// Raises the division-by-zero RuntimeError for an oxygen reading of 21 %.
double net_efficiency(Fuel fuel, double o2, double flue_c, double air_c);

// The model's gross results for a reading whose combustion air was at air_f (°F)
// rather than the 60 °F the correlations assume: the model run on the stack
// temperature less the air's plus 60 °F.
Results corrected_gross(const Reading& reading, double air_f);

// The CO of a flue gas on air-free flue gas, as analysers show it, in ppm:
// CO × 20.9 / (20.9 − O2). Raises the division-by-zero RuntimeError for an oxygen
// reading of 20.9 %.
double co_air_free(double co_ppm, double o2);

// The air ratio of a flue gas, as analysers show it: λ = 20.9 / (20.9 − O2), the air
// supplied over the air the fuel needs. Raises the division-by-zero RuntimeError for
// an oxygen reading of 20.9 %.
double air_ratio(double o2);

// ppm of CO air-free above which a burner makes CO (the limit of the US furnace
// standard ANSI Z21.47): cutting its air further would be unsafe.
inline constexpr double co_air_free_limit = 400.0;

// The share of the fuel saved, in %, by going from one efficiency to a higher one for
// the same heat: 1 − now / target. Negative when the target is the lower.
double fuel_saving(double efficiency_now, double efficiency_target);

} // namespace quemador
