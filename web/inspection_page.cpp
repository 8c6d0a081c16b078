// SPDX-License-Identifier: GPL-3.0-or-later
// The technician's report on the page: its fields, and up to three readings with the
// mean of each figure, the change since the boiler's previous report, and the verdict
// against the limits set, worded for the page and its PDF.

#include "calculation/number_text.h"
#include "log/columns.h"
#include "text/numbers.h"
#include "web/page_detail.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <tuple>

namespace quemador::web {
namespace {

using detail::Boxes;
using detail::spanish;
using detail::text_of;

// The fields, in the order the page shows them, grouped.
// clang-format off
constexpr std::array<ReportField, 34> fields = {{
    {"empresa", "Empresa", "empresa", "Empresa", Keeper::settings, FieldKind::text, ""},
    {"empresa-registro", "N.º de registro de la empresa", "empresa", "Registro de la empresa",
     Keeper::settings, FieldKind::text, ""},
    {"empresa-direccion", "Dirección de la empresa", "empresa", "Dirección de la empresa",
     Keeper::settings, FieldKind::text, ""},
    {"empresa-telefono", "Teléfono", "empresa", "Teléfono de la empresa", Keeper::settings,
     FieldKind::text, ""},
    {"empresa-correo", "Correo electrónico", "empresa", "Correo de la empresa", Keeper::settings,
     FieldKind::text, ""},
    {"tecnico", "Técnico", "empresa", "Técnico", Keeper::settings, FieldKind::text, ""},
    {"tecnico-carne", "N.º de carné del técnico", "empresa", "Carné del técnico", Keeper::settings,
     FieldKind::text, ""},
    {"limite-eficiencia", "Eficiencia mínima (%)", "limites", "Límite de eficiencia (%)",
     Keeper::settings, FieldKind::number, ""},
    {"limite-eficiencia-base", "Eficiencia juzgada", "limites", "Base del límite de eficiencia",
     Keeper::settings, FieldKind::choice, ""},
    {"limite-co", "CO sin aire máximo (ppm)", "limites", "Límite de CO sin aire (ppm)",
     Keeper::settings, FieldKind::number, ""},
    {"limite-opacidad", "Opacidad máxima, gasóleo (Bacharach)", "limites",
     "Límite de opacidad (Bacharach)", Keeper::settings, FieldKind::number, ""},
    {"limite-co-ambiente", "CO ambiente máximo (ppm)", "limites", "Límite de CO ambiente (ppm)",
     Keeper::settings, FieldKind::number, ""},
    {"limite-tiro-min", "Tiro mínimo (Pa)", "limites", "Límite de tiro mínimo (Pa)",
     Keeper::settings, FieldKind::number, ""},
    {"limite-tiro-max", "Tiro máximo (Pa)", "limites", "Límite de tiro máximo (Pa)",
     Keeper::settings, FieldKind::number, ""},
    {"informe-prefijo", "Prefijo de los informes", "numeracion", "Prefijo de los informes",
     Keeper::settings, FieldKind::text, ""},
    {"informe-numero", "Número del próximo informe", "numeracion", "Próximo número de informe",
     Keeper::settings, FieldKind::year, ""},
    {"titular", "Titular", "titular", "Titular", Keeper::boiler, FieldKind::text, ""},
    {"direccion", "Dirección", "titular", "Dirección", Keeper::boiler, FieldKind::text, ""},
    {"instalacion-direccion", "Dirección de la instalación", "titular",
     "Dirección de la instalación", Keeper::boiler, FieldKind::text, ""},
    {"caldera-marca", "Marca", "caldera", "Marca", Keeper::boiler, FieldKind::text, ""},
    {"caldera-modelo", "Modelo", "caldera", "Modelo", Keeper::boiler, FieldKind::text, ""},
    {"caldera-serie", "N.º de serie", "caldera", "Serie", Keeper::boiler, FieldKind::text, ""},
    {"caldera-potencia", "Potencia nominal (kW)", "caldera", "Potencia nominal (kW)",
     Keeper::boiler, FieldKind::number, ""},
    {"caldera-anio", "Año", "caldera", "Año de fabricación", Keeper::boiler, FieldKind::year, ""},
    {"analizador", "Marca y modelo", "analizador", "Analizador", Keeper::report, FieldKind::text,
     ""},
    {"analizador-serie", "N.º de serie", "analizador", "Serie del analizador", Keeper::report,
     FieldKind::text, ""},
    {"analizador-calibracion", "Última calibración", "analizador", "Calibración del analizador",
     Keeper::report, FieldKind::date, ""},
    {"tiro", "Tiro (Pa)", "anotadas", "Tiro (Pa)", Keeper::report, FieldKind::number, ""},
    {"co-ambiente", "CO ambiente en la sala (ppm)", "anotadas", "CO ambiente (ppm)",
     Keeper::report, FieldKind::number, ""},
    {"opacidad", "Opacidad 1 (Bacharach, 0 a 9)", "anotadas", "Opacidad (Bacharach)",
     Keeper::report, FieldKind::number, "fueloil"},
    {"opacidad-2", "Opacidad 2 (Bacharach)", "anotadas", "Opacidad 2 (Bacharach)", Keeper::report,
     FieldKind::number, "fueloil"},
    {"opacidad-3", "Opacidad 3 (Bacharach)", "anotadas", "Opacidad 3 (Bacharach)", Keeper::report,
     FieldKind::number, "fueloil"},
    {"informe-nota", "Observaciones del técnico", "notas", "Observaciones", Keeper::report,
     FieldKind::note, ""},
    {"proxima-revision", "Próxima revisión", "notas", "Próxima revisión", Keeper::report,
     FieldKind::date, ""},
}};
// clang-format on

// Every field named: an entry left out of the list above would be an empty one.
static_assert(std::none_of(fields.begin(), fields.end(),
                           [](const ReportField& f) { return f.id.empty(); }));

// The field of an id; raises std::logic_error for an id that is not one (a typo here).
const ReportField& field(std::string_view id)
{
    const auto* const at = std::find_if(fields.begin(), fields.end(),
                                        [id](const ReportField& f) { return f.id == id; });
    if (at == fields.end())
        throw std::logic_error("no report field " + std::string(id));
    return *at;
}

// The most a draught can be, Pa, either way: a chimney's is tens of pascals.
constexpr double most_draught = 1000.0;

// The efficiency figures a limit may be judged on, by their page ids.
constexpr std::array<FigureKind, 2> efficiency_bases = {FigureKind::efficiency, FigureKind::net};

// A date typed as yyyy-mm-dd; none when it is not one.
std::optional<std::chrono::year_month_day> iso_date(std::string_view text)
{
    text = text::trimmed(text);
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    double y = 0;
    double m = 0;
    double d = 0;
    if (!text::parse_number(text.substr(0, 4), text::DecimalComma::rejected, y) ||
        !text::parse_number(text.substr(5, 2), text::DecimalComma::rejected, m) ||
        !text::parse_number(text.substr(8, 2), text::DecimalComma::rejected, d))
        return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(y)),
                                           std::chrono::month(static_cast<unsigned>(m)),
                                           std::chrono::day(static_cast<unsigned>(d))};
    return date.ok() ? std::optional(date) : std::nullopt;
}

// 12/03/2026.
std::string spanish_date(const std::chrono::year_month_day& date)
{
    const auto two = [](unsigned n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    return two(static_cast<unsigned>(date.day())) + "/" + two(static_cast<unsigned>(date.month())) +
        "/" + std::to_string(static_cast<int>(date.year()));
}

// A figure's value as its text shows it, in the page's numbers.
std::string figure_text(FigureKind kind, double value)
{
    return spanish(figure_facts(kind).decimals == 0
                       ? plain_number(std::round(value))
                       : std::string(without_sign_blank(shown_result(value))));
}

// A difference with its sign, − (U+2212) or +, to the figure's decimals or to tenths.
std::string signed_text(double difference, int decimals)
{
    const double step = decimals == 0 ? 1.0 : decimals == 1 ? 0.1 : 0.01;
    const double rounded = std::round(difference / step) * step;
    std::string digits = plain_number(std::abs(rounded));
    if (decimals > 0 && digits.find('.') == std::string::npos)
        digits += '.';
    while (decimals > 0 &&
           digits.size() - digits.find('.') - 1 < static_cast<std::size_t>(decimals))
        digits += '0';
    const std::string sign = rounded > 0 ? "+" : rounded < 0 ? "\u2212" : "";
    return sign + spanish(digits);
}

// The readings of a request, evaluated.
struct Readings {
    std::vector<PageReading> pages;
    std::vector<detail::Evaluation> evaluations;
    std::vector<Report> reports; // of the readings with results
};

Readings readings_of(const nlohmann::json& list)
{
    Readings out;
    if (!list.is_array())
        return out;
    for (const nlohmann::json& boxes : list) {
        if (out.pages.size() == most_readings)
            break;
        out.pages.push_back(detail::reading_from(boxes));
        out.evaluations.push_back(detail::evaluation_of(out.pages.back()));
        const auto& report = out.evaluations.back().report;
        if (report && report->shown())
            out.reports.push_back(*report);
    }
    return out;
}

void write_means(const FigureValues& means, Json& json)
{
    json.open('{');
    for (const FigureFacts& figure : figure_kinds()) {
        if (const auto& mean = means.at(index_of(figure.kind)))
            json.member(figure.page_id, figure_text(figure.kind, *mean));
    }
    json.close('}');
}

// The boiler's previous report: its means, each figure's change since, and a sentence
// of the efficiency judged.
void write_previous(const nlohmann::json& previous, const FigureValues& now, FigureKind judged,
                    Json& json)
{
    const auto date = iso_date(text_of(previous, "fecha"));
    if (!date)
        return;
    const Readings then =
        readings_of(previous.contains("lecturas") ? previous.at("lecturas") : nlohmann::json());
    const FigureValues before = mean_figures(then.reports);
    json.key("anterior");
    json.open('{');
    json.member("fecha", spanish_date(*date));
    json.key("medias");
    write_means(before, json);
    json.key("cambios");
    json.open('{');
    for (const FigureFacts& figure : figure_kinds()) {
        const auto& a = before.at(index_of(figure.kind));
        const auto& b = now.at(index_of(figure.kind));
        if (a && b)
            json.member(figure.page_id,
                        signed_text(as_shown(figure.kind, *b) - as_shown(figure.kind, *a),
                                    figure.decimals));
    }
    json.close('}');
    const auto& a = before.at(index_of(judged));
    const auto& b = now.at(index_of(judged));
    if (a && b) {
        const std::string change = signed_text(as_shown(judged, *b) - as_shown(judged, *a), 1);
        std::string name = judged == FigureKind::net ? "eficiencia neta" : "eficiencia";
        json.member(
            "frase",
            name + (change.empty() || change == "0,0" ? " sin cambio" : " " + change + " puntos") +
                " desde el " + spanish_date(*date));
    }
    json.close('}');
}

struct LimitWords {
    std::string limit;
    std::string measured;
};

// A limit's number, or a dash for none.
std::string limit_number(std::optional<double> x) { return x ? spanish(plain_number(*x)) : "—"; }

// The smoke index judged: the one recorded, or the mean of smokes of them.
LimitWords smoke_words(const LimitCheck& check, int smokes)
{
    std::string measured;
    if (check.measured)
        measured = (smokes > 1 ? "media de " + std::to_string(smokes) + ": " : "anotada ") +
            limit_number(check.measured);
    return {"Opacidad máxima" + (check.limit ? ": " + limit_number(check.limit) : std::string()) +
                " (Bacharach)",
            measured};
}

// The draught's range, either bound of it, and the draught recorded.
LimitWords draught_words(const LimitCheck& check)
{
    std::string limit;
    if (check.limit && check.most)
        limit =
            "Tiro entre " + limit_number(check.limit) + " y " + limit_number(check.most) + " Pa";
    else if (check.limit)
        limit = "Tiro mínimo: " + limit_number(check.limit) + " Pa";
    else
        limit = "Tiro máximo: " + limit_number(check.most) + " Pa";
    return {limit, check.measured ? "anotado " + limit_number(check.measured) + " Pa" : ""};
}

// smokes: how many smoke indexes the measured one is the mean of.
LimitWords limit_words(const LimitCheck& check, FigureKind efficiency, int smokes)
{
    const auto number = limit_number;
    switch (check.kind) {
    case LimitKind::efficiency:
        return {
            std::string(efficiency == FigureKind::net ? "Eficiencia neta" : "Eficiencia bruta") +
                " mínima" + (check.limit ? ": " + number(check.limit) + " %" : ""),
            check.measured ? "media " + figure_text(efficiency, *check.measured) + " %" : ""};
    case LimitKind::co:
        return {"CO sin aire máximo: " + number(check.limit) + " ppm",
                check.measured ? "la lectura más alta " + number(check.measured) + " ppm" : ""};
    case LimitKind::smoke:
        return smoke_words(check, smokes);
    case LimitKind::ambient_co:
        return {"CO ambiente máximo: " + number(check.limit) + " ppm",
                check.measured ? "medido " + number(check.measured) + " ppm" : ""};
    case LimitKind::draught:
        return draught_words(check);
    }
    return {};
}

constexpr std::string_view judgement_word(Judgement judgement)
{
    switch (judgement) {
    case Judgement::pass:
        return "Cumple";
    case Judgement::fail:
        return "No cumple";
    case Judgement::no_limit:
        return "Sin límite fijado";
    case Judgement::not_measured:
        return "Sin medir";
    }
    return "";
}

constexpr std::array<std::string_view, 5> limit_keys = {"eficiencia", "co", "opacidad",
                                                        "co-ambiente", "tiro"};
constexpr std::array<std::string_view, 5> limit_names = {
    "la eficiencia mínima", "el CO máximo", "la opacidad máxima", "el CO ambiente máximo",
    "los límites del tiro"};
constexpr std::array<std::string_view, 5> measure_names = {"la eficiencia", "el CO", "la opacidad",
                                                           "el CO ambiente", "el tiro"};

// The verdict in one word or three, and why, when it is not a verdict on every limit.
void write_verdict(const Inspection& inspection, std::size_t readings, Json& json)
{
    std::string missing;
    const auto list = [&](Judgement judgement, const auto& names) {
        missing.clear();
        for (const LimitCheck& check : inspection.checks) {
            if (check.judgement == judgement)
                missing += (missing.empty() ? "" : ", ") +
                    std::string(names.at(static_cast<std::size_t>(check.kind)));
        }
        return missing;
    };
    switch (inspection.verdict) {
    case Verdict::conforming:
        json.member("veredicto", std::string_view("Conforme"));
        json.member("motivo", std::string_view("Cumple cada límite."));
        return;
    case Verdict::not_conforming:
        json.member("veredicto", std::string_view("No conforme"));
        json.member("motivo", "No cumple " + list(Judgement::fail, limit_names) + ".");
        return;
    case Verdict::no_limits:
        json.member("veredicto", std::string_view("Sin límites fijados"));
        json.member("motivo",
                    "Falta fijar " + list(Judgement::no_limit, limit_names) +
                        " en los ajustes: sin ellos no hay conformidad.");
        return;
    case Verdict::incomplete:
        json.member("veredicto", std::string_view("Sin veredicto"));
        json.member("motivo",
                    readings == 0
                        ? std::string("Añada al menos una lectura al informe.")
                        : "Falta medir " + list(Judgement::not_measured, measure_names) + ".");
        return;
    }
}

void write_limits(const Inspection& inspection, const Limits& limits, int smokes, Json& json)
{
    json.key("limites");
    json.open('[');
    for (const LimitCheck& check : inspection.checks) {
        const LimitWords words = limit_words(check, limits.efficiency_figure, smokes);
        json.open('{');
        json.member("clave", limit_keys.at(static_cast<std::size_t>(check.kind)));
        json.member("limite", words.limit);
        json.member("fuente",
                    !check.limit && !check.most ? std::string_view("sin límite fijado")
                        : check.set_by_user     ? std::string_view("fijado por la empresa")
                                                : co_air_free_limit_source);
        json.member("medido", words.measured);
        json.member("juicio", judgement_word(check.judgement));
        json.member("falla", check.judgement == Judgement::fail);
        json.close('}');
    }
    json.close(']');
}

// The analyser's last calibration, and whether it is more than a year before the report.
void write_calibration(const nlohmann::json& fields, std::string_view today, Boxes& boxes,
                       Json& json)
{
    const std::string typed = text_of(fields, "analizador-calibracion");
    if (text::is_blank(typed))
        return;
    const auto calibrated = iso_date(typed);
    const auto now = iso_date(today);
    if (!calibrated || !now) {
        boxes.refuse(field("analizador-calibracion").id, "No es una fecha.");
        return;
    }
    const auto year_on = calibrated->year() + std::chrono::years(1);
    const bool old = std::tuple(year_on, calibrated->month(), calibrated->day()) <
        std::tuple(now->year(), now->month(), now->day());
    json.member("calibracion",
                "calibrado el " + spanish_date(*calibrated) + (old ? ": hace más de un año" : ""));
    json.member("calibracion_vencida", old);
}

} // namespace

std::span<const ReportField> report_fields() { return fields; }

namespace detail {

std::string_view co_limit_field() { return field("limite-co").id; }

Limits limits_from(const nlohmann::json& fields_given, Boxes& boxes)
{
    const auto number = [&](std::string_view id, double most, std::string_view unit) {
        const ReportField& f = field(id);
        return boxes.number(f.id, text_of(fields_given, f.id), 0.0, most, unit);
    };
    Limits limits;
    limits.min_efficiency = number("limite-eficiencia", 100.0, " %");
    limits.max_co = number("limite-co", 100000.0, " ppm");
    limits.max_smoke = number("limite-opacidad", smoke_scale_max, "");
    limits.max_ambient_co = number("limite-co-ambiente", 100000.0, " ppm");
    const auto draught = [&](std::string_view id) {
        const ReportField& f = field(id);
        return boxes.number(f.id, text_of(fields_given, f.id), -most_draught, most_draught, " Pa");
    };
    limits.min_draught = draught("limite-tiro-min");
    limits.max_draught = draught("limite-tiro-max");
    const std::string basis = text_of(fields_given, "limite-eficiencia-base");
    for (const FigureKind kind : efficiency_bases) {
        if (figure_facts(kind).page_id == basis)
            limits.efficiency_figure = kind;
    }
    return limits;
}

} // namespace detail

std::span<const FigureKind> judged_efficiencies() { return efficiency_bases; }

std::string inspection_json(std::string_view request)
{
    const auto parsed = nlohmann::json::parse(request, nullptr, false);
    if (!parsed.is_object())
        throw std::invalid_argument("un informe es un objeto JSON");
    const nlohmann::json empty = nlohmann::json::object();
    const nlohmann::json& given = parsed.contains("campos") ? parsed.at("campos") : empty;
    Boxes boxes;
    const Limits limits = detail::limits_from(given, boxes);
    Recorded recorded;
    recorded.draught =
        boxes.number(field("tiro").id, text_of(given, "tiro"), -most_draught, most_draught, " Pa");
    recorded.ambient_co =
        boxes.number(field("co-ambiente").id, text_of(given, "co-ambiente"), 0.0, 100000.0, " ppm");
    // The smoke index judged is the mean of those taken (up to three, one a minute).
    double smoke_sum = 0.0;
    int smoke_count = 0;
    for (const std::string_view id : {"opacidad", "opacidad-2", "opacidad-3"}) {
        if (const auto smoke =
                boxes.number(field(id).id, text_of(given, id), 0.0, smoke_scale_max, "")) {
            smoke_sum += *smoke;
            ++smoke_count;
        }
    }
    if (smoke_count > 0)
        recorded.smoke = std::round(smoke_sum / smoke_count * 10.0) / 10.0;
    const Readings readings =
        readings_of(parsed.contains("lecturas") ? parsed.at("lecturas") : empty);
    const Fuel fuel = readings.pages.empty()
        ? Fuel::natural_gas
        : log::fuel_named(readings.pages.front().fuel).value_or(Fuel::natural_gas);
    const Inspection inspection = inspect(readings.reports, fuel, limits, recorded);

    Json json;
    json.open('{');
    json.key("lecturas");
    json.open('[');
    for (std::size_t i = 0; i < readings.pages.size(); ++i) {
        json.open('{');
        detail::write_reading(readings.evaluations[i], readings.pages[i], limits, json);
        json.close('}');
    }
    json.close(']');
    json.key("medias");
    write_means(inspection.means, json);
    if (parsed.contains("anterior"))
        write_previous(parsed.at("anterior"), inspection.means, limits.efficiency_figure, json);
    write_limits(inspection, limits, smoke_count, json);
    write_verdict(inspection, readings.reports.size(), json);
    write_calibration(given, text_of(parsed, "hoy"), boxes, json);
    if (smoke_count > 1)
        json.member("opacidad_media", spanish(plain_number(*recorded.smoke)));
    boxes.write(json);
    json.close('}');
    return json.take();
}

} // namespace quemador::web
