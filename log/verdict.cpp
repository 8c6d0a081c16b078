// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/verdict.h"

#include "calculation/calculate_command.h"
#include "calculation/number_text.h"
#include "calculation/report.h"
#include "log/dates.h"
#include "text/csv.h"
#include "text/names.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <map>
#include <utility>

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

std::string whole(double x) { return whole_text(x); }

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

namespace {

// Our units as a header writes them, in lower case.
struct EnergyWord {
    EnergyUnit unit;
    std::string_view word;
};
constexpr std::array<EnergyWord, 3> energy_units = {{
    {EnergyUnit::kwh, "kwh"},
    {EnergyUnit::mwh, "mwh"},
    {EnergyUnit::gj, "gj"},
}};

// Units of energy or of amount a header may name that are not read: their figures would
// be wrong in any of ours.
constexpr std::array<std::string_view, 27> other_units = {
    "wh",         "gwh",    "twh",    "mj",      "kj",  "tj",    "kcal", "mcal",      "th",
    "therm",      "therms", "termia", "termias", "btu", "mmbtu", "m3",   "m\xC2\xB3", "nm3",
    "nm\xC2\xB3", "litro",  "litros", "kg",      "kw",  "mw",    "tep",  "gas",       "gasoleo"};
// Currencies, and parts of the euro, a price may name that are not euros.
constexpr std::array<std::string_view, 11> other_money = {
    "usd", "gbp", "c", "ct", "cts", "cent", "cents", "centimo", "centimos", "dolares", "libras"};
constexpr std::array<std::string_view, 4> euro_words = {"\xE2\x82\xAC", "eur", "euro", "euros"};

// The words of a header in lower case without accents: runs of letters, digits and
// other UTF-8 characters; the euro sign, in UTF-8 or Windows-1252, a word of its own.
std::vector<std::string> words_of(std::string_view header)
{
    const std::string lower = text::caseless(header);
    std::vector<std::string> words;
    std::string word;
    const auto end_word = [&words, &word] {
        if (!word.empty())
            words.push_back(std::exchange(word, {}));
    };
    for (std::size_t i = 0; i < lower.size(); ++i) {
        const auto b = static_cast<unsigned char>(lower[i]);
        const bool euro = std::string_view(lower).substr(i).starts_with("\xE2\x82\xAC") ||
            (b == 0x80 && (i == 0 || static_cast<unsigned char>(lower[i - 1]) < 0x80));
        if (euro) {
            end_word();
            words.emplace_back("\xE2\x82\xAC");
            i += b == 0x80 ? 0 : 2;
        } else if ((b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b >= 0x80) {
            word += lower[i];
        } else {
            end_word();
        }
    }
    end_word();
    return words;
}

template <std::size_t N>
bool one_of(const std::array<std::string_view, N>& list, std::string_view word)
{
    return std::find(list.begin(), list.end(), word) != list.end();
}

// The unit a header names. unknown: it names another, two of ours, or something in
// brackets (or, for a price, after a slash) that is not one of ours.
struct UnitNamed {
    std::optional<EnergyUnit> unit;
    bool unknown = false;
};

UnitNamed unit_named(std::string_view header, bool price)
{
    UnitNamed named;
    for (const std::string& word : words_of(header)) {
        const auto* const known =
            std::find_if(energy_units.begin(), energy_units.end(),
                         [&word](const EnergyWord& f) { return f.word == word; });
        if (known != energy_units.end()) {
            named.unknown = named.unknown || (named.unit && *named.unit != known->unit);
            named.unit = known->unit;
        } else if (one_of(other_units, word) || (price && one_of(other_money, word))) {
            named.unknown = true;
        }
    }
    if (price &&
        (header.find('$') != std::string_view::npos ||
         header.find("\xC2\xA3") != std::string_view::npos))
        named.unknown = true;
    if (named.unit)
        return named;
    // A bracket that names no unit of ours names one that is not read ("(m³)", "(th)");
    // one with a currency only is the euro's.
    for (const auto& [open, close] : {std::pair('(', ')'), std::pair('[', ']')}) {
        const std::size_t from = header.find(open);
        if (from == std::string_view::npos)
            continue;
        const std::string_view inside =
            header.substr(from + 1, header.find(close, from) - from - 1);
        for (const std::string& word : words_of(inside))
            named.unknown = named.unknown || !(price && one_of(euro_words, word));
    }
    if (price && header.find('/') != std::string_view::npos)
        named.unknown = true;
    return named;
}

std::string line_text(std::uint64_t line) { return "línea " + std::to_string(line) + ": "; }

// A figure as the file writes it, for a message.
std::string cell_text(std::string_view cell)
{
    return "«" + text::shortened(text::trimmed(cell), 40) + "»";
}

// What to say of a figure that reads both ways: its two numbers and what to write.
std::string ambiguous_text(std::string_view cell, const text::NumberReadings& readings)
{
    const bool comma = cell.find(',') != std::string_view::npos;
    const std::string_view mark = comma ? "la coma" : "el punto";
    const double thousands = *(comma ? readings.point : readings.comma);
    std::string decimals = plain_number(*(comma ? readings.comma : readings.point));
    if (comma)
        std::replace(decimals.begin(), decimals.end(), '.', ',');
    const std::string plain = plain_number(thousands);
    return cell_text(cell) + " puede ser " + plain + " (" + std::string(mark) +
        " separa los miles) o " + decimals + " (" + std::string(mark) +
        " es la marca decimal), y ninguna otra cifra del archivo dice cuál: escríbalo sin "
        "separador de miles (" +
        plain +
        "), o dé alguna cifra con decimales que muestre la marca del archivo (un precio "
        "como 0,09 o 0.09)";
}

// A record of the file, its figures still text.
struct ConsumptionRow {
    std::uint64_t line = 0;
    std::string boiler;
    std::string consumption;
    std::string price;
};

// The header's units into read; false, with the fault, for a unit not known.
bool header_units(const std::vector<std::string_view>& header, std::uint64_t line,
                  ConsumptionsRead& read)
{
    for (const bool price : {false, true}) {
        const std::size_t index = price ? 2 : 1;
        if (header.size() <= index)
            continue;
        const UnitNamed named = unit_named(header[index], price);
        if (named.unknown) {
            read.fault = line_text(line) + "no se conoce la unidad de " + cell_text(header[index]) +
                (price ? ": el precio se da en €/kWh, €/MWh o €/GJ"
                       : ": el consumo anual se da en kWh, MWh o GJ");
            return false;
        }
        (price ? read.priced_per : read.energy) = named.unit.value_or(EnergyUnit::kwh);
    }
    return true;
}

// The separator: a semicolon or a tab where the first line with something has one,
// otherwise a comma.
char separator_of(std::string_view text)
{
    const std::size_t begins = text.find_first_not_of(" \t\r\n");
    const std::size_t line_begins =
        begins == std::string_view::npos ? text.size() : text.find_last_of('\n', begins) + 1;
    std::string_view first = text.substr(line_begins);
    first = first.substr(0, first.find('\n'));
    return first.find(';') != std::string_view::npos ? ';'
        : first.find('\t') != std::string_view::npos ? '\t'
                                                     : ',';
}

// Whether a field reads as a number, in either mark.
bool is_figure(const std::vector<std::string_view>& fields, std::size_t k)
{
    if (fields.size() <= k)
        return false;
    const text::NumberReadings r = text::number_readings(fields[k]);
    return r.point || r.comma;
}

// Why a record is not a row of consumptions (it has columns fields that may hold
// something); none when it is one.
std::optional<std::string> row_fault(const std::vector<std::string_view>& fields,
                                     std::size_t columns, char separator)
{
    if (!is_figure(fields, 1) || !is_figure(fields, 2))
        return "se esperan una caldera, su consumo anual y el precio de su energía";
    if (std::any_of(fields.begin() + static_cast<std::ptrdiff_t>(std::min(columns, fields.size())),
                    fields.end(), [](std::string_view f) { return !text::is_blank(f); }))
        return std::string("tiene más campos que los de una caldera, su consumo y su precio") +
            (separator == ',' ? "; en un CSV separado por comas, una cifra con comas va entre "
                                "comillas"
                              : "");
    return std::nullopt;
}

// The file's records: a header's units taken, the rows kept as text; the decimal mark
// settled by every figure of the file, and the figure that settled it.
bool consumption_rows(std::string_view text, ConsumptionsRead& read,
                      std::vector<ConsumptionRow>& rows, text::NumberColumn& numbers,
                      std::string& settler)
{
    const char separator = separator_of(text);
    text::StringSource source(text);
    text::CsvReader reader(source, separator);
    std::vector<std::string_view> fields;
    std::size_t columns = 3; // a row's fields that may hold something
    bool first_record = true;
    while (reader.next(fields)) {
        const std::uint64_t line = reader.line();
        if (reader.too_long()) {
            read.fault = line_text(line) + "la línea es demasiado larga";
            return false;
        }
        if (std::all_of(fields.begin(), fields.end(),
                        [](std::string_view f) { return text::is_blank(f); }))
            continue;
        // A first record that is not figures is the header.
        if (std::exchange(first_record, false) && !(is_figure(fields, 1) && is_figure(fields, 2))) {
            columns = std::max(columns, fields.size());
            if (!header_units(fields, line, read))
                return false;
            continue;
        }
        if (const std::optional<std::string> fault = row_fault(fields, columns, separator)) {
            read.fault = line_text(line) + *fault;
            return false;
        }
        rows.push_back({line, std::string(text::trimmed(fields[0])), std::string(fields[1]),
                        std::string(fields[2])});
        for (const std::string_view cell : {fields[1], fields[2]}) {
            const bool unsettled = !numbers.mark();
            numbers.read(cell, line);
            if (unsettled && numbers.mark())
                settler = std::string(text::trimmed(cell));
        }
    }
    return true;
}

// A figure of a row with the file's settled mark; false, with the fault, where it reads
// both ways or not in that mark.
bool figure_of(const std::string& cell, std::uint64_t line, const text::NumberColumn& settled,
               std::string_view settler, ConsumptionsRead& read, double& value)
{
    text::NumberColumn column(settled.mark());
    const text::NumberColumn::Read got = column.read(cell, line);
    if (got.state == text::NumberColumn::State::number) {
        value = got.value;
        read.grouped += got.grouped ? 1 : 0;
        return true;
    }
    if (got.state == text::NumberColumn::State::waiting)
        read.fault = line_text(line) + ambiguous_text(cell, text::number_readings(cell));
    else
        read.fault = line_text(line) + cell_text(cell) + " no se lee con " +
            std::string(text::mark_name(*settled.mark())) + " como marca decimal, que es la " +
            "del archivo desde " + cell_text(settler) + " en la línea " +
            std::to_string(settled.settled_line()) +
            ": escriba todas sus cifras con una misma marca decimal";
    return false;
}

} // namespace

std::string_view unit_name(EnergyUnit unit)
{
    switch (unit) {
    case EnergyUnit::mwh:
        return "MWh";
    case EnergyUnit::gj:
        return "GJ";
    case EnergyUnit::kwh:
        break;
    }
    return "kWh";
}

double kwh_in(EnergyUnit unit)
{
    switch (unit) {
    case EnergyUnit::mwh:
        return 1000;
    case EnergyUnit::gj:
        return 1000 / 3.6;
    case EnergyUnit::kwh:
        break;
    }
    return 1;
}

ConsumptionsRead read_consumptions(std::string_view text)
{
    ConsumptionsRead read;
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::vector<ConsumptionRow> rows;
    text::NumberColumn numbers;
    std::string settler;
    if (!consumption_rows(text, read, rows, numbers, settler))
        return read;
    read.mark = numbers.mark();
    if (rows.empty()) {
        read.fault = text.find_first_not_of(" \t\r\n") == std::string_view::npos
            ? "el archivo está vacío"
            : "el archivo no da el consumo de ninguna caldera";
        return read;
    }
    const std::string energy(unit_name(read.energy));
    const std::string price_unit = "€/" + std::string(unit_name(read.priced_per));
    std::map<std::string, std::uint64_t> lines; // by boiler, caseless
    for (const ConsumptionRow& row : rows) {
        std::array<double, 2> figures{};
        if (!figure_of(row.consumption, row.line, numbers, settler, read, figures[0]) ||
            !figure_of(row.price, row.line, numbers, settler, read, figures[1]))
            return read;
        if (!(figures[0] >= 0) || !(figures[1] >= 0)) {
            read.fault = line_text(row.line) + "el consumo y el precio no pueden ser negativos";
            return read;
        }
        const double kwh = figures[0] * kwh_in(read.energy);
        const double price = figures[1] / kwh_in(read.priced_per);
        if (!(kwh <= max_yearly_kwh)) {
            read.fault = line_text(row.line) + "un consumo anual de " + cell_text(row.consumption) +
                " " + energy + " pasa de 10 TWh: revise la cifra y la unidad de la cabecera";
            return read;
        }
        if (!(price <= max_kwh_price)) {
            read.fault = line_text(row.line) + "un precio de " + cell_text(row.price) + " " +
                price_unit + " pasa de 10 € el kWh: revise la cifra y la unidad de la cabecera " +
                "(€/kWh, €/MWh o €/GJ)";
            return read;
        }
        const auto [at, added] = lines.try_emplace(text::caseless(row.boiler), row.line);
        if (!added) {
            read.fault = line_text(row.line) + "la caldera «" + text::shortened(row.boiler, 80) +
                "» ya tiene su consumo en la línea " + std::to_string(at->second);
            return read;
        }
        read.consumptions.push_back({row.boiler, kwh, price});
    }
    return read;
}

std::string whole_text(double x)
{
    if (!std::isfinite(x))
        return "—";
    const double rounded = std::round(x);
    if (std::abs(rounded) < 1e15)
        return std::to_string(static_cast<long long>(rounded));
    return std::string(without_sign_blank(Str(rounded)));
}

} // namespace quemador::log
