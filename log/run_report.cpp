// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/run_report.h"

#include "log/columns.h"
#include "log/dates.h"

#include "quemador_version.h"

#include <utility>

namespace quemador::log {
namespace {

// Figures to so many significant digits: more than any face shows, few enough that
// the last bits of another machine's arithmetic do not show.
constexpr int report_digits = 12;

void number(Json& json, std::string_view name, double x)
{
    json.key(name);
    json.value(x, report_digits);
}

void optional_number(Json& json, std::string_view name, const std::optional<double>& x)
{
    json.key(name);
    if (x)
        json.value(*x, report_digits);
    else
        json.null();
}

// A month as "2026-05"; null for none.
void month(Json& json, std::string_view name, std::int32_t m)
{
    json.key(name);
    if (m == no_month)
        json.null();
    else
        json.value(month_text(m));
}

std::string_view column_id(Column column)
{
    // The option's name without "--col-": "o2", "temp", "caldera".
    return kind_of(column).option.substr(6);
}

void write_counts(Json& json, const LogSummary& summary)
{
    json.key("cuentas");
    json.open('{');
    json.member_count("leidas", summary.read);
    json.member_count("calculadas", summary.calculated);
    json.member_count("con_aviso", summary.with_advice);
    json.member_count("fuera_de_rango", summary.out_of_range);
    json.member_count("con_error", summary.with_errors);
    json.member_count("reajustadas", summary.reshaped);
    json.member_count("dudosas", summary.doubtful);
    json.member_count("co_peligroso", summary.dangerous_co);
    json.member_count("totales", summary.footers);
    json.member_count("comillas_sin_cerrar", summary.unclosed_quotes);
    json.member_count("fecha_en_otro_orden", summary.misdated);
    json.member_count("sin_fecha", summary.undated);
    json.close('}');
    json.member("linea", counts_line(summary));
}

void write_sections(Json& json, const std::vector<SectionRead>& sections)
{
    json.key("secciones");
    json.open('[');
    for (const SectionRead& section : sections) {
        json.open('{');
        json.member_count("linea", section.line);
        json.key("columnas");
        json.open('[');
        for (const ColumnRead& column : section.columns) {
            json.open('{');
            json.member("columna", column_id(column.column));
            json.member("encabezado", column.header);
            json.member_count("numero", column.number);
            json.close('}');
        }
        json.close(']');
        json.member("unidad", section.unit == TemperatureUnit::celsius ? "°C" : "°F");
        json.member("unidad_segun", section.unit_source);
        json.close('}');
    }
    json.close(']');
}

void write_note(Json& json, const Note& note, RemedyWords words)
{
    json.open('{');
    json.member("tipo", note.kind.empty() ? std::string_view("texto") : note.kind);
    json.key("valores");
    json.open('{');
    for (const auto& [name, value] : note.values) {
        if (const auto* count = std::get_if<std::uint64_t>(&value))
            json.member_count(name, *count);
        else
            json.member(name, std::get<std::string>(value));
    }
    json.close('}');
    json.member("texto", worded(note, words));
    json.close('}');
}

void write_log(Json& json, const LogOutcome& log, RemedyWords words)
{
    json.open('{');
    json.member("nombre", log.name);
    json.member_count("estado", static_cast<std::uint64_t>(log.status));
    json.key("motivo");
    if (log.reason)
        write_note(json, *log.reason, words);
    else
        json.null();
    if (log.summary) {
        write_counts(json, *log.summary);
        write_sections(json, log.summary->sections);
        json.key("notas");
        json.open('[');
        for (const Note& note : log.summary->notes)
            write_note(json, note, words);
        json.close(']');
    }
    json.close('}');
}

void write_spreads(Json& json, const std::vector<std::pair<std::string, Spread>>& results)
{
    json.key("resultados");
    json.open('[');
    for (const auto& [name, spread] : results) {
        if (spread.count == 0)
            continue;
        json.open('{');
        json.member("resultado", name);
        json.member_count("filas", spread.count);
        number(json, "media", spread.mean());
        number(json, "minima", spread.least);
        number(json, "maxima", spread.greatest);
        json.close('}');
    }
    json.close(']');
}

std::string_view grouping_id(Grouping grouping)
{
    switch (grouping) {
    case Grouping::boiler:
        return "caldera";
    case Grouping::month:
        return "mes";
    case Grouping::none:
        break;
    }
    return "ninguno";
}

void write_groups(Json& json, const LogSummary& summary)
{
    json.key("grupos");
    json.open('{');
    json.member("por", grouping_id(summary.grouping));
    json.member("por_caldera", summary.by_boiler);
    json.key("lista");
    json.open('[');
    for (const Group& group : summary.groups) {
        json.open('{');
        json.member("otras", group.others);
        json.key("caldera");
        if (group.others || (summary.grouping == Grouping::month && !summary.by_boiler))
            json.null();
        else
            json.value(group.boiler);
        month(json, "mes",
              summary.grouping == Grouping::month && !group.others ? group.month : no_month);
        json.member_count("filas", group.read);
        json.member_count("con_aviso", group.with_notices);
        write_spreads(json, group.results);
        json.close('}');
    }
    json.close(']');
    json.close('}');
}

void write_boiler(Json& json, const BoilerVerdict& boiler)
{
    json.open('{');
    json.member("caldera", boiler.boiler);
    json.member_count("filas", boiler.read);
    json.member_count("con_aviso", boiler.with_notices);
    optional_number(json, "bruta", boiler.gross);
    optional_number(json, "neta", boiler.net);
    optional_number(json, "tendencia", boiler.trend);
    optional_number(json, "cambio", boiler.change);
    month(json, "primer_mes", boiler.first_month);
    month(json, "ultimo_mes", boiler.last_month);
    month(json, "peor_mes", boiler.worst_month);
    optional_number(json, "peor_media",
                    boiler.worst_month == no_month ? std::nullopt
                                                   : std::optional<double>(boiler.worst_mean));
    optional_number(json, "co_max", boiler.co_max);
    optional_number(json, "ahorro", boiler.saving);
    optional_number(json, "consumo_kwh",
                    boiler.consumption ? std::optional(boiler.consumption->kwh) : std::nullopt);
    optional_number(json, "precio_kwh",
                    boiler.consumption ? std::optional(boiler.consumption->price) : std::nullopt);
    optional_number(json, "kwh_ahorrados", boiler.kwh_saved);
    optional_number(json, "eur_ahorrados", boiler.eur_saved);
    json.member("alerta", boiler.alert);
    json.close('}');
}

void write_verdict(Json& json, const Verdict& verdict)
{
    json.open('{');
    json.key("calderas");
    json.open('[');
    for (const BoilerVerdict& boiler : verdict.boilers)
        write_boiler(json, boiler);
    json.close(']');
    json.key("alertas");
    json.open('[');
    for (const Alert& alert : verdict.alerts) {
        json.open('{');
        json.member("tipo", alert.kind == Alert::Kind::drop ? "caida" : "minimo");
        json.member("caldera", alert.boiler);
        month(json, "mes", alert.month);
        number(json, "media", alert.mean);
        number(json, "referencia", alert.reference);
        json.member_count("meses", alert.months);
        json.member("texto", alert_text(alert, text::DecimalComma::accepted));
        json.close('}');
    }
    json.close(']');
    json.key("dinero");
    if (verdict.money) {
        json.open('{');
        json.member("con_ahorro", verdict.saving_given);
        number(json, "total_kwh", verdict.total_kwh);
        number(json, "total_eur", verdict.total_eur);
        json.key("sin_caldera_en_el_registro");
        json.open('[');
        for (const std::string& boiler : verdict.unmatched)
            json.value(boiler);
        json.close(']');
        json.member("supone", money_assumptions());
        json.close('}');
    } else {
        json.null();
    }
    json.close('}');
}

} // namespace

LogOutcome read_outcome(std::string name, const LogSummary& summary)
{
    LogOutcome outcome;
    outcome.name = std::move(name);
    outcome.status = summary.complete() ? 0 : 1;
    outcome.summary.emplace();
    LogSummary& kept = *outcome.summary;
    kept = summary;
    // The run's summary has them.
    kept.results.clear();
    kept.groups.clear();
    kept.months.clear();
    return outcome;
}

LogOutcome failed_outcome(std::string name, Note reason)
{
    LogOutcome outcome;
    outcome.name = std::move(name);
    outcome.status = 2;
    outcome.reason = std::move(reason);
    return outcome;
}

void write_report(Json& json, const RunReport& report, RemedyWords words)
{
    json.member("programa", "quemador1-calc");
    json.member("version", QUEMADOR_VERSION);
    json.member_count("esquema", report_schema);
    json.member_count("estado", static_cast<std::uint64_t>(report.status));
    json.key("registros");
    json.open('[');
    for (const LogOutcome& log : report.logs)
        write_log(json, log, words);
    json.close(']');
    json.key("leido");
    if (report.summary != nullptr) {
        json.open('{');
        write_spreads(json, report.summary->results);
        write_groups(json, *report.summary);
        json.close('}');
    } else {
        json.null();
    }
    json.key("veredicto");
    if (report.verdict != nullptr)
        write_verdict(json, *report.verdict);
    else
        json.null();
    json.key("salidas");
    json.open('[');
    for (const OutputWritten& output : report.outputs) {
        json.open('{');
        json.member("tipo", output.kind);
        json.member("ruta", output.path);
        json.close('}');
    }
    json.close(']');
}

std::string report_json(const RunReport& report, RemedyWords words)
{
    Json json;
    json.open('{');
    write_report(json, report, words);
    json.close('}');
    return json.take() + '\n';
}

} // namespace quemador::log
