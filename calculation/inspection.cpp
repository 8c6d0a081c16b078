// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/inspection.h"

#include "calculation/efficiency_model.h"
#include "calculation/net_efficiency.h"

#include <algorithm>
#include <cmath>

namespace quemador {
namespace {

Judgement judged(const LimitCheck& check, bool passes)
{
    if (!check.limit)
        return Judgement::no_limit;
    if (!check.measured)
        return Judgement::not_measured;
    return passes ? Judgement::pass : Judgement::fail;
}

LimitCheck efficiency_check(const Limits& limits, const FigureValues& means)
{
    LimitCheck check{LimitKind::efficiency, limits.min_efficiency,
                     limits.min_efficiency.has_value(), std::nullopt};
    const auto& mean = means.at(index_of(limits.efficiency_figure));
    if (mean)
        check.measured = as_shown(limits.efficiency_figure, *mean);
    check.judgement =
        judged(check, check.measured && check.limit && *check.measured >= *check.limit);
    return check;
}

// The highest CO air-free fails the limit whatever the other readings; a pass needs
// every reading's.
LimitCheck co_check(std::span<const Report> reports, const Limits& limits)
{
    LimitCheck check{LimitKind::co, co_limit(limits), limits.max_co.has_value(), std::nullopt};
    bool every = !reports.empty();
    for (const Report& report : reports) {
        const auto& co = report.value(FigureKind::co_air_free);
        every = every && co.has_value();
        if (co)
            check.measured =
                std::max(check.measured.value_or(0.0), as_shown(FigureKind::co_air_free, *co));
    }
    if (check.measured && *check.measured > *check.limit)
        check.judgement = Judgement::fail;
    else
        check.judgement = every ? Judgement::pass : Judgement::not_measured;
    return check;
}

LimitCheck smoke_check(const Limits& limits, std::optional<double> smoke)
{
    LimitCheck check{LimitKind::smoke, limits.max_smoke, limits.max_smoke.has_value(), smoke};
    check.judgement = judged(check, smoke && limits.max_smoke && *smoke <= *limits.max_smoke);
    return check;
}

LimitCheck ambient_co_check(const Limits& limits, std::optional<double> co)
{
    LimitCheck check{LimitKind::ambient_co, limits.max_ambient_co, true, co};
    check.judgement = judged(check, co && limits.max_ambient_co && *co <= *limits.max_ambient_co);
    return check;
}

// Within the range: at least its least and at most its greatest, whichever are set.
LimitCheck draught_check(const Limits& limits, std::optional<double> draught)
{
    LimitCheck check{LimitKind::draught, limits.min_draught, true, draught};
    check.most = limits.max_draught;
    if (!draught) {
        check.judgement = Judgement::not_measured;
        return check;
    }
    const bool low = limits.min_draught && *draught < *limits.min_draught;
    const bool high = limits.max_draught && *draught > *limits.max_draught;
    check.judgement = low || high ? Judgement::fail : Judgement::pass;
    return check;
}

} // namespace

FigureValues mean_figures(std::span<const Report> reports)
{
    FigureValues means;
    if (reports.empty())
        return means;
    for (const FigureFacts& figure : figure_kinds()) {
        double sum = 0.0;
        const bool every = std::all_of(reports.begin(), reports.end(), [&](const Report& report) {
            if (!report.meaningful(figure.kind))
                return false;
            sum += *report.value(figure.kind);
            return true;
        });
        if (every)
            means.at(index_of(figure.kind)) = sum / static_cast<double>(reports.size());
    }
    return means;
}

double as_shown(FigureKind kind, double value)
{
    return figure_facts(kind).decimals == 0 ? std::round(value) : Redondeo_Centesimas(value);
}

double co_limit(const Limits& limits) { return limits.max_co.value_or(co_air_free_limit); }

bool co_past_limit(const Limits& limits, double co_air_free_ppm)
{
    return as_shown(FigureKind::co_air_free, co_air_free_ppm) > co_limit(limits);
}

Inspection inspect(std::span<const Report> reports, Fuel fuel, const Limits& limits,
                   std::optional<double> smoke)
{
    return inspect(reports, fuel, limits, Recorded{smoke, std::nullopt, std::nullopt});
}

Inspection inspect(std::span<const Report> reports, Fuel fuel, const Limits& limits,
                   const Recorded& recorded)
{
    Inspection out;
    out.means = mean_figures(reports);
    out.checks.push_back(efficiency_check(limits, out.means));
    out.checks.push_back(co_check(reports, limits));
    if (fuel == Fuel::fuel_oil_no2)
        out.checks.push_back(smoke_check(limits, recorded.smoke));
    if (limits.max_ambient_co)
        out.checks.push_back(ambient_co_check(limits, recorded.ambient_co));
    if (limits.min_draught || limits.max_draught)
        out.checks.push_back(draught_check(limits, recorded.draught));
    const auto any = [&out](Judgement judgement) {
        return std::any_of(
            out.checks.begin(), out.checks.end(),
            [judgement](const LimitCheck& check) { return check.judgement == judgement; });
    };
    if (any(Judgement::fail))
        out.verdict = Verdict::not_conforming;
    else if (any(Judgement::no_limit))
        out.verdict = Verdict::no_limits;
    else if (any(Judgement::not_measured))
        out.verdict = Verdict::incomplete;
    else
        out.verdict = Verdict::conforming;
    return out;
}

} // namespace quemador
