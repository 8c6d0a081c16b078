// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An inspection of a boiler, as a technician's report gives it: up to three readings
// taken a minute apart, the mean of each figure over them, and a verdict against the
// limits set (a minimum efficiency, a maximum CO air-free, for fuel oil a maximum smoke
// index), each limit judged apart. A limit missing, or a figure it needs not measured,
// never gives a pass. Each face words the judgements.

#include "calculation/report.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quemador {

// The readings of one inspection, at most.
inline constexpr std::size_t most_readings = 3;

// The Bacharach smoke scale, 0 (clean) to 9.
inline constexpr double smoke_scale_max = 9.0;

// Where the CO limit comes from when the user sets none: the limit of co_air_free_limit.
inline constexpr std::string_view co_air_free_limit_source = "ANSI Z21.47";

// A value per figure kind; none where it is not given.
using FigureValues = std::array<std::optional<double>, figure_count>;

// The mean of each figure over the readings' reports: given when every report gives the
// figure and it means something in each (a mean over some readings would pass for all
// of them); none for no reports.
FigureValues mean_figures(std::span<const Report> reports);

// A value as its figure's text shows it: to hundredths, or whole. Limits are judged on
// the value the report prints, so that a printed 90,00 never fails a minimum of 90.
double as_shown(FigureKind kind, double value);

// The room's ambient CO and the chimney's draught are judged only where the user sets
// their limits: no default applies to them, and an inspection without those limits is
// judged as before.
enum class LimitKind : std::uint8_t { efficiency, co, smoke, ambient_co, draught };

// The limits set by the user; none: not set.
struct Limits {
    // The least mean efficiency, %, on the basis of efficiency_figure (the window's
    // gross efficiency or the net one).
    std::optional<double> min_efficiency;
    FigureKind efficiency_figure = FigureKind::efficiency;
    // The most CO air-free, ppm, of any reading; none: co_air_free_limit.
    std::optional<double> max_co;
    // The most smoke index (Bacharach) of a fuel-oil burner.
    std::optional<double> max_smoke;
    // The most CO in the boiler room's air, ppm.
    std::optional<double> max_ambient_co;
    // The draught's range, Pa (negative: the chimney draws).
    std::optional<double> min_draught;
    std::optional<double> max_draught;
};

// What the technician measured apart from the analyser's readings: the smoke index (the
// mean of those taken), the room's CO, the draught.
struct Recorded {
    std::optional<double> smoke;
    std::optional<double> ambient_co;
    std::optional<double> draught;
};

enum class Judgement : std::uint8_t { pass, fail, no_limit, not_measured };

// One limit, judged.
struct LimitCheck {
    LimitKind kind;
    // The limit (none: not set), and whether the user set it (else, the CO's default).
    // For the draught, the least of its range (and most, below, its greatest).
    std::optional<double> limit;
    bool set_by_user = false;
    // What is judged, as shown: the mean efficiency on the limit's basis, the highest CO
    // air-free of the readings that give it, the smoke index recorded.
    std::optional<double> measured;
    Judgement judgement = Judgement::not_measured;
    // The draught's greatest; none for the other limits.
    std::optional<double> most = std::nullopt;
};

enum class Verdict : std::uint8_t {
    conforming,     // every limit passes
    not_conforming, // a limit fails
    no_limits,      // none fails, but a limit is not set
    incomplete      // none fails, every limit is set, but a figure one needs is missing
};

struct Inspection {
    FigureValues means;
    // The limits that apply to the fuel, in the order of LimitKind.
    std::vector<LimitCheck> checks;
    Verdict verdict = Verdict::incomplete;
};

// The CO limit in force: the user's, or the default.
double co_limit(const Limits& limits);

// Whether a CO air-free value is past the CO limit in force.
bool co_past_limit(const Limits& limits, double co_air_free_ppm);

// Judges the reports of one inspection (at most most_readings, of one fuel) against the
// limits, with the smoke index recorded for a fuel-oil burner.
Inspection inspect(std::span<const Report> reports, Fuel fuel, const Limits& limits,
                   std::optional<double> smoke);

// The same, with the room's CO and the draught judged where their limits are set.
Inspection inspect(std::span<const Report> reports, Fuel fuel, const Limits& limits,
                   const Recorded& recorded);

} // namespace quemador
