// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/verdict.h"

#include "calculation/calculate_command.h"
#include "calculation/report.h"
#include "log/dates.h"
#include "text/csv.h"
#include "text/names.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>

namespace quemador::log {
namespace {

// Months at the start of a boiler's log that make its reference for a drop.
constexpr std::size_t reference_months = 3;

const Spread* spread_of(const Group& group, FigureKind figure)
{
    const std::string_view id = figure_facts(figure).id;
    const auto at = std::find_if(group.results.begin(), group.results.end(),
                                 [id](const auto& result) { return result.first == id; });
    return at == group.results.end() || at->second.count == 0 ? nullptr : &at->second;
}

// The slope of the least-squares line through points (x, y).
std::optional<double> slope(const std::vector<std::pair<double, double>>& points)
{
    if (points.size() < 2)
        return std::nullopt;
    double mx = 0;
    double my = 0;
    for (const auto& [x, y] : points) {
        mx += x;
        my += y;
    }
    const auto n = static_cast<double>(points.size());
    mx /= n;
    my /= n;
    double sxy = 0;
    double sxx = 0;
    for (const auto& [x, y] : points) {
        sxy += (x - mx) * (y - my);
        sxx += (x - mx) * (x - mx);
    }
    return sxx > 0 ? std::optional(sxy / sxx) : std::nullopt;
}

// A boiler's months, gathered: its whole spreads and its dated months' gross spreads.
struct Gathered {
    BoilerVerdict verdict;
    Spread gross;
    Spread net;
    Spread saving;
    Spread co;
    std::vector<std::pair<std::int32_t, Spread>> months; // dated, in order
};

// The boiler's first, last and worst month, its trend and its change from the first
// month to the last.
void month_trend(Gathered& g)
{
    BoilerVerdict& v = g.verdict;
    std::vector<std::pair<double, double>> means;
    for (const auto& [month, spread] : g.months)
        means.emplace_back(month, spread.mean());
    if (!means.empty()) {
        v.first_month = g.months.front().first;
        v.last_month = g.months.back().first;
        const auto worst =
            std::min_element(means.begin(), means.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        v.worst_month = static_cast<std::int32_t>(worst->first);
        v.worst_mean = worst->second;
    }
    v.trend = slope(means);
    if (means.size() >= 2)
        v.change = means.back().second - means.front().second;
}

// The months whose mean falls more than drop below the reference of the first months:
// the first of them, and how many.
std::optional<Alert> drop_alert(const Gathered& g, double drop)
{
    if (g.months.size() <= reference_months)
        return std::nullopt;
    Spread reference;
    for (std::size_t k = 0; k < reference_months; ++k)
        reference.merge(g.months[k].second);
    Alert alert{Alert::Kind::drop, g.verdict.boiler, 0, 0, reference.mean(), 0};
    for (std::size_t k = reference_months; k < g.months.size(); ++k) {
        const double mean = g.months[k].second.mean();
        if (reference.mean() - mean > drop && alert.months++ == 0) {
            alert.month = g.months[k].first;
            alert.mean = mean;
        }
    }
    return alert.months > 0 ? std::optional(alert) : std::nullopt;
}

// The months whose mean is below minimum: the first of them, and how many.
std::optional<Alert> minimum_alert(const Gathered& g, double minimum)
{
    if (g.gross.count == 0)
        return std::nullopt;
    Alert alert{Alert::Kind::minimum, g.verdict.boiler, 0, 0, minimum, 0};
    // Without dates, the whole log is the boiler's one period.
    if (g.months.empty() && g.gross.mean() < minimum) {
        alert.month = no_month;
        alert.mean = g.gross.mean();
        alert.months = 1;
    }
    for (const auto& [month, spread] : g.months) {
        if (spread.mean() < minimum && alert.months++ == 0) {
            alert.month = month;
            alert.mean = spread.mean();
        }
    }
    return alert.months > 0 ? std::optional(alert) : std::nullopt;
}

void judge_months(Gathered& g, const JudgeOptions& options, std::vector<Alert>& alerts)
{
    month_trend(g);
    for (const std::optional<Alert>& alert :
         {options.drop ? drop_alert(g, *options.drop) : std::nullopt,
          options.minimum ? minimum_alert(g, *options.minimum) : std::nullopt}) {
        if (alert)
            alerts.push_back(*alert);
    }
}

// The months of the summary by boiler, in the order the log names them.
std::vector<Gathered> gathered_boilers(const LogSummary& summary)
{
    std::vector<Gathered> gathered;
    std::map<std::string, std::size_t> by_name;
    for (const Group& group : summary.months) {
        auto [at, added] = by_name.try_emplace(group.boiler, gathered.size());
        if (added) {
            gathered.emplace_back();
            gathered.back().verdict.boiler = group.boiler;
        }
        Gathered& g = gathered[at->second];
        g.verdict.read += group.read;
        g.verdict.with_notices += group.with_notices;
        const Spread* gross = spread_of(group, FigureKind::efficiency);
        if (gross != nullptr) {
            g.gross.merge(*gross);
            if (group.month != no_month)
                g.months.emplace_back(group.month, *gross);
        }
        for (const auto& [kind, into] :
             {std::pair(FigureKind::net, &g.net), std::pair(FigureKind::saving, &g.saving),
              std::pair(FigureKind::co_air_free, &g.co)}) {
            if (const Spread* spread = spread_of(group, kind))
                into->merge(*spread);
        }
    }
    for (Gathered& g : gathered)
        std::sort(g.months.begin(), g.months.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
    return gathered;
}

// The boiler's means, and whether the verdict has a CO and a saving.
void whole_means(Gathered& g, Verdict& verdict)
{
    BoilerVerdict& v = g.verdict;
    if (g.gross.count > 0)
        v.gross = g.gross.mean();
    if (g.net.count > 0)
        v.net = g.net.mean();
    if (g.co.count > 0) {
        v.co_max = g.co.greatest;
        verdict.has_co = true;
    }
    if (g.saving.count > 0) {
        v.saving = g.saving.mean();
        verdict.saving_given = true;
    }
}

// A consumption by the boiler's name, whatever its case and accents; a log of one boiler
// takes a list of one whatever it names. The one taken is marked used.
void match_consumption(BoilerVerdict& v, const std::vector<Consumption>& consumptions,
                       bool one_boiler, std::vector<bool>& used)
{
    const std::string key = text::caseless(v.boiler);
    for (std::size_t k = 0; k < consumptions.size(); ++k) {
        const bool alone = one_boiler && consumptions.size() == 1;
        if (alone || text::caseless(consumptions[k].boiler) == key) {
            v.consumption = consumptions[k];
            used[k] = true;
            return;
        }
    }
}

std::string figure(std::optional<double> x, text::DecimalComma comma)
{
    if (!x)
        return {};
    std::string shown = shown_result(*x);
    return std::string(text::in_file(shown, comma));
}

std::string whole(double x) { return std::to_string(static_cast<long long>(std::llround(x))); }

// A boiler as a line names it.
std::string boiler_name(const std::string& boiler)
{
    return boiler.empty() ? "el registro" : "«" + text::shortened(boiler, 80) + "»";
}

// A month as the verdict names it: "2026-03"; "(sin fecha)" for none.
std::string month_name(std::int32_t month) { return month_text(month); }

constexpr std::array<VerdictColumn, 12> all_columns = {{
    {"caldera", "Caldera"},
    {"bruta_media", "Bruta media (%)"},
    {"neta_media", "Neta media (%)"},
    {"tendencia_puntos_mes", "Tendencia (puntos/mes)"},
    {"cambio_primer_ultimo_mes", "Cambio del primer al último mes (puntos)"},
    {"peor_mes", "Peor mes"},
    {"peor_mes_media", "Media del peor mes (%)"},
    {"filas_con_aviso", "Filas con aviso"},
    {"co_sin_aire_mayor", "CO sin aire máximo (ppm)"},
    {"ahorro_kwh_anual", "Ahorro (kWh al año)"},
    {"ahorro_eur_anual", "Ahorro (€ al año)"},
    {"alerta", "Alerta"},
}};

} // namespace

Verdict judge(const LogSummary& summary, const JudgeOptions& options)
{
    Verdict verdict;
    std::vector<Gathered> gathered = gathered_boilers(summary);
    verdict.money = !options.consumptions.empty();
    std::vector<bool> used(options.consumptions.size(), false);
    for (Gathered& g : gathered) {
        BoilerVerdict& v = g.verdict;
        whole_means(g, verdict);
        const std::size_t before = verdict.alerts.size();
        judge_months(g, options, verdict.alerts);
        v.alert = verdict.alerts.size() > before;
        match_consumption(v, options.consumptions, gathered.size() == 1, used);
        if (v.consumption && v.saving) {
            v.kwh_saved = v.consumption->kwh * *v.saving / 100;
            v.eur_saved = *v.kwh_saved * v.consumption->price;
            verdict.total_kwh += *v.kwh_saved;
            verdict.total_eur += *v.eur_saved;
        }
    }
    for (std::size_t k = 0; k < used.size(); ++k) {
        if (!used[k])
            verdict.unmatched.push_back(options.consumptions[k].boiler);
    }
    // Alerts first, then the lowest mean gross efficiency; among equals, as the log names
    // them.
    std::stable_sort(gathered.begin(), gathered.end(), [](const Gathered& a, const Gathered& b) {
        if (a.verdict.alert != b.verdict.alert)
            return a.verdict.alert;
        const double ga = a.verdict.gross.value_or(HUGE_VAL);
        const double gb = b.verdict.gross.value_or(HUGE_VAL);
        return ga < gb;
    });
    for (Gathered& g : gathered)
        verdict.boilers.push_back(std::move(g.verdict));
    return verdict;
}

std::span<const VerdictColumn> verdict_columns(const Verdict& /*verdict*/) { return all_columns; }

std::vector<bool> verdict_shown(const Verdict& verdict)
{
    std::vector<bool> shown(all_columns.size(), true);
    const auto hide = [&shown](std::string_view id) {
        for (std::size_t c = 0; c < all_columns.size(); ++c) {
            if (all_columns.at(c).id == id)
                shown[c] = false;
        }
    };
    if (!verdict.has_co)
        hide("co_sin_aire_mayor");
    if (!verdict.money || !verdict.saving_given) {
        hide("ahorro_kwh_anual");
        hide("ahorro_eur_anual");
    }
    if (verdict.alerts.empty())
        hide("alerta");
    return shown;
}

std::vector<std::vector<std::string>> verdict_rows(const Verdict& verdict, text::DecimalComma comma)
{
    std::vector<std::vector<std::string>> rows;
    for (const BoilerVerdict& v : verdict.boilers) {
        std::string alerts;
        for (const Alert& alert : verdict.alerts) {
            if (alert.boiler == v.boiler)
                alerts += (alerts.empty() ? "" : "; ") + alert_text(alert, comma);
        }
        rows.push_back({
            text::spreadsheet_cell(v.boiler),
            figure(v.gross, comma),
            figure(v.net, comma),
            figure(v.trend, comma),
            figure(v.change, comma),
            v.worst_month == no_month ? "" : month_name(v.worst_month),
            v.worst_month == no_month ? "" : figure(v.worst_mean, comma),
            std::to_string(v.with_notices),
            v.co_max ? whole(*v.co_max) : "",
            v.kwh_saved ? whole(*v.kwh_saved) : "",
            v.eur_saved ? whole(*v.eur_saved) : "",
            text::spreadsheet_cell(alerts),
        });
    }
    return rows;
}

std::string_view money_assumptions()
{
    return "el ahorro supone que cada caldera consume al año lo que se indica, repartido como "
           "sus lecturas del registro, que su quemador se ajusta al O2 objetivo (y a la "
           "temperatura de humos objetivo, si se da) y que el combustible ahorrado es el ahorro "
           "medio de sus filas (1 − eficiencia / eficiencia en el objetivo, sobre el PCS); el "
           "precio es el del kWh facturado";
}

std::string alert_text(const Alert& alert, text::DecimalComma comma)
{
    const std::string more = alert.months > 1 ? " (y " + std::to_string(alert.months - 1) +
            (alert.months == 2 ? " mes más)" : " meses más)")
                                              : "";
    if (alert.kind == Alert::Kind::minimum)
        return (alert.month == no_month ? std::string("media ")
                                        : "media de " + month_name(alert.month) + " ") +
            figure(alert.mean, comma) + " %, bajo el mínimo de " + figure(alert.reference, comma) +
            " %" + more;
    return "media de " + month_name(alert.month) + " " + figure(alert.mean, comma) + " %, " +
        figure(alert.reference - alert.mean, comma) +
        " puntos bajo la de sus tres primeros meses (" + figure(alert.reference, comma) + " %)" +
        more;
}

std::vector<std::string> verdict_lines(const Verdict& verdict, text::DecimalComma comma)
{
    std::vector<std::string> lines;
    std::transform(verdict.alerts.begin(), verdict.alerts.end(), std::back_inserter(lines),
                   [comma](const Alert& alert) {
                       return "alerta: caldera " + boiler_name(alert.boiler) + ": " +
                           alert_text(alert, comma);
                   });
    if (verdict.boilers.empty())
        return lines;
    lines.emplace_back("veredicto por caldera, de peor a mejor (con alerta primero): eficiencia "
                       "bruta y neta medias, tendencia en puntos al mes");
    std::size_t rank = 0;
    for (const BoilerVerdict& v : verdict.boilers) {
        std::string line = std::to_string(++rank) + ". " + boiler_name(v.boiler) + ": ";
        if (!v.gross) {
            lines.push_back(line + "ninguna fila calculada");
            continue;
        }
        line += "bruta " + figure(v.gross, comma) + " %";
        if (v.net)
            line += ", neta " + figure(v.net, comma) + " %";
        if (v.trend)
            line += "; tendencia " + figure(v.trend, comma) + " puntos/mes, de " +
                month_name(v.first_month) + " a " + month_name(v.last_month) + " " +
                figure(v.change, comma) + " puntos";
        if (v.worst_month != no_month)
            line += "; peor mes " + month_name(v.worst_month) + " (" + figure(v.worst_mean, comma) +
                " %)";
        line += "; " + std::to_string(v.with_notices) +
            (v.with_notices == 1 ? " fila con aviso" : " filas con aviso");
        if (v.co_max)
            line += "; CO sin aire máximo " + whole(*v.co_max) + " ppm";
        if (v.kwh_saved)
            line +=
                "; ahorro " + whole(*v.kwh_saved) + " kWh y " + whole(*v.eur_saved) + " € al año";
        lines.push_back(std::move(line));
    }
    if (verdict.money) {
        if (!verdict.saving_given)
            lines.emplace_back("ahorro en euros: el registro no da el ahorro de combustible "
                               "(hace falta un O2 objetivo)");
        else
            lines.push_back("ahorro al año si cada caldera llega al objetivo: " +
                            whole(verdict.total_kwh) + " kWh y " + whole(verdict.total_eur) +
                            " € en total; " + std::string(money_assumptions()));
        std::transform(verdict.unmatched.begin(), verdict.unmatched.end(),
                       std::back_inserter(lines), [](const std::string& boiler) {
                           return "consumo de la caldera «" + text::shortened(boiler, 80) +
                               "»: el registro no la nombra";
                       });
    }
    return lines;
}

void mark_alerts(Chart& chart, const Verdict& verdict, text::DecimalComma comma)
{
    for (const Alert& alert : verdict.alerts) {
        // The panel shows the boiler's name as it can be shown.
        std::uint64_t replaced = 0;
        const std::string shown = text::printable(text::valid_text(alert.boiler, replaced));
        for (ChartPanel& panel : chart.panels) {
            if (panel.boiler == shown)
                panel.alerts.push_back(alert_text(alert, comma));
        }
    }
}

ConsumptionsRead read_consumptions(std::string_view text)
{
    ConsumptionsRead read;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    // The separator: a semicolon or a tab where the first line has one, otherwise a comma.
    const std::string_view first = text.substr(0, text.find('\n'));
    const char separator = first.find(';') != std::string_view::npos ? ';'
        : first.find('\t') != std::string_view::npos                 ? '\t'
                                                                     : ',';
    text::StringSource source(text);
    text::CsvReader reader(source, separator);
    std::vector<std::string_view> fields;
    while (reader.next(fields)) {
        if (fields.size() == 1 && text::trimmed(fields[0]).empty())
            continue;
        std::array<double, 2> numbers{};
        const bool numbers_read = fields.size() >= 3 &&
            text::parse_number(text::trimmed(fields[1]), text::DecimalComma::accepted,
                               numbers[0]) &&
            text::parse_number(text::trimmed(fields[2]), text::DecimalComma::accepted, numbers[1]);
        if (!numbers_read) {
            if (reader.line() == 1)
                continue; // a header
            read.fault = "línea " + std::to_string(reader.line()) +
                ": se esperan una caldera, su consumo anual en kWh y el precio del kWh";
            return read;
        }
        if (!(numbers[0] >= 0) || !(numbers[1] >= 0) || !std::isfinite(numbers[0]) ||
            !std::isfinite(numbers[1])) {
            read.fault = "línea " + std::to_string(reader.line()) +
                ": el consumo y el precio no pueden ser negativos";
            return read;
        }
        read.consumptions.push_back(
            {std::string(text::trimmed(fields[0])), numbers[0], numbers[1]});
    }
    return read;
}

} // namespace quemador::log
