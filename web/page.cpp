// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/page.h"

#include "calculation/net_efficiency.h"
#include "calculation/number_text.h"
#include "log/columns.h"
#include "log/options.h"
#include "text/numbers.h"
#include "web/page_detail.h"

#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>

namespace quemador::web {

using log::Option;
using text::DecimalComma;

namespace {

// The page's boxes, in the order of its form, and the option each number box is read as.
enum class Box : std::uint8_t { fuel, o2, co2, co, temp, unit, air, target_o2, target_temp };
constexpr std::array<std::string_view, 9> ids = {
    "combustible", "o2", "co2", "co", "temp", "unidad", "aire", "objetivo-o2", "objetivo-temp"};
constexpr std::string_view id(Box box) { return ids.at(static_cast<std::size_t>(box)); }

// 0 °C.
constexpr double freezing_f = 32.0;

// The box each reading blames an error on.
std::string_view box_of(Input input)
{
    switch (input) {
    case Input::O2:
        return id(Box::o2);
    case Input::CO2:
        return id(Box::co2);
    case Input::Temp_stack:
        break;
    }
    return id(Box::temp);
}

// A box's number, read as its option is; none when it is empty or cannot be read (then
// said at the box).
std::optional<double> option_number(detail::Boxes& boxes, Box box, std::string_view text,
                                    Option option)
{
    if (text::is_blank(text))
        return std::nullopt;
    const log::OptionSpec& spec = log::spec_of(option);
    const log::OptionValue value = log::read_option(spec, text);
    if (!value.fault)
        return value.number;
    if (value.fault->kind == log::OptionFault::Kind::out_of_range) {
        std::string range = log::range_text(spec, DecimalComma::accepted);
        range.front() = static_cast<char>(range.front() - 'a' + 'A');
        boxes.refuse(id(box), range + ".");
    } else {
        boxes.refuse(id(box), std::string(detail::Boxes::not_a_number));
    }
    return std::nullopt;
}

// Each figure's text and basis, by its page id: a figure outside the model is "—", and
// its basis says so.
void write_figures(const Report& report, const AdviceStyle& style, const Comparison& comparison,
                   Json& json)
{
    json.key("cifras");
    json.open('{');
    for (const FigureFacts& figure : figure_kinds()) {
        if (!report.text(figure.kind).empty())
            json.member(figure.page_id,
                        report.meaningful(figure.kind) ? detail::spanish(report.text(figure.kind))
                                                       : std::string("—"));
    }
    json.close('}');
    json.key("bases");
    json.open('{');
    for (const FigureFacts& figure : figure_kinds()) {
        if (report.text(figure.kind).empty())
            continue;
        if (!report.meaningful(figure.kind))
            json.member(figure.page_id, std::string_view("fuera del modelo"));
        else if (!figure.basis.empty())
            json.member(figure.page_id, basis_text(figure.kind, comparison, style));
    }
    json.close('}');
}

// The page's own notices past the core's: an air below freezing, most often a
// temperature typed in the other unit ("21" read as °F).
void page_notices(const detail::Evaluation& evaluation, Json& json)
{
    const auto& air = evaluation.comparison.air_f;
    if (air && *air < freezing_f)
        json.value("El aire de combustión está a " + temperature_text(*air, evaluation.style) +
                   ", bajo cero: compruebe que la unidad de temperatura es la de la lectura.");
}

// The report's names: its fields (the choices of the efficiency judged are the figure
// table's), the figure the CO limit is judged on, the CO limit by default with its
// source, and the most readings a report takes.
std::string report_names()
{
    static constexpr std::array<std::string_view, 6> kinds = {"texto", "numero", "anio",
                                                              "fecha", "opcion", "nota"};
    static constexpr std::array<std::string_view, 3> keepers = {"ajustes", "caldera", "informe"};
    Json fields;
    fields.open('[');
    for (const ReportField& field : report_fields()) {
        fields.open('{');
        fields.member("id", field.id);
        fields.member("etiqueta", field.label);
        fields.member("grupo", field.group);
        fields.member("guarda", keepers.at(static_cast<std::size_t>(field.keeper)));
        fields.member("tipo", kinds.at(static_cast<std::size_t>(field.kind)));
        fields.member("combustible", field.fuel);
        if (field.kind == FieldKind::choice) {
            fields.key("opciones");
            fields.open('[');
            for (const FigureKind kind : judged_efficiencies()) {
                fields.open('{');
                fields.member("valor", figure_facts(kind).page_id);
                fields.member("nombre", figure_facts(kind).label);
                fields.close('}');
            }
            fields.close(']');
        }
        fields.close('}');
    }
    fields.close(']');
    Json co;
    co.open('{');
    co.member("cifra", figure_facts(FigureKind::co_air_free).page_id);
    co.member("campo", detail::co_limit_field());
    co.member("limite", plain_number(co_air_free_limit));
    co.member("fuente", co_air_free_limit_source);
    co.close('}');
    return "export const reportFields = " + fields.take() +
        ";\nexport const coLimit = " + co.take() +
        ";\nexport const mostReadings = " + std::to_string(most_readings) + ";\n";
}

void write_strings(Json& json, std::span<const std::string_view> texts)
{
    json.open('[');
    for (const std::string_view text : texts)
        json.value(text);
    json.close(']');
}

} // namespace

namespace detail {

std::string spanish(std::string text)
{
    return std::string(text::in_file(text, DecimalComma::accepted));
}

std::string text_of(const nlohmann::json& object, std::string_view key)
{
    if (!object.is_object())
        return {};
    const auto at = object.find(key);
    return at != object.end() && at->is_string() ? at->get<std::string>() : std::string();
}

std::string typed(std::string_view text)
{
    std::string out(text::trimmed(text));
    std::replace(out.begin(), out.end(), '.', ',');
    return out;
}

std::optional<double> Boxes::number(std::string_view id, std::string_view text, double least,
                                    double most, std::string_view unit)
{
    if (text::is_blank(text))
        return std::nullopt;
    double value = 0.0;
    if (!text::parse_number(text, DecimalComma::accepted, value)) {
        refuse(id, std::string(not_a_number));
        return std::nullopt;
    }
    if (value < least || value > most) {
        refuse(id,
               "Debe estar entre " + spanish(plain_number(least)) + " y " +
                   spanish(plain_number(most)) + std::string(unit) + ".");
        return std::nullopt;
    }
    return value;
}

void Boxes::write(Json& json) const
{
    json.key("cajas");
    json.open('{');
    for (const auto& [box, message] : problems_)
        json.member(box, message);
    json.close('}');
}

Evaluation evaluation_of(const PageReading& page)
{
    Evaluation out;
    const auto in_fahrenheit = [&page](std::optional<double> t) -> std::optional<double> {
        if (t && page.celsius)
            return celsius_to_fahrenheit(*t);
        return t;
    };
    Boxes& boxes = out.boxes;
    Reading reading;
    reading.fuel = log::fuel_named(page.fuel).value_or(Fuel::natural_gas);
    const auto o2 = option_number(boxes, Box::o2, page.o2, Option::o2);
    out.temp_f = in_fahrenheit(option_number(boxes, Box::temp, page.temp, Option::temp));
    reading.co2 = option_number(boxes, Box::co2, page.co2, Option::co2);
    reading.co_ppm = option_number(boxes, Box::co, page.co, Option::co);
    Comparison& comparison = out.comparison;
    comparison.air_f = in_fahrenheit(option_number(boxes, Box::air, page.air, Option::air));
    comparison.target_o2 = option_number(boxes, Box::target_o2, page.target_o2, Option::target_o2);
    comparison.target_temp_f = in_fahrenheit(
        option_number(boxes, Box::target_temp, page.target_temp, Option::target_temp));
    if (comparison.target_temp_f && text::trimmed(page.target_o2).empty())
        boxes.refuse(id(Box::target_temp), "Cuenta solo con un O2 objetivo: escríbalo también.");

    // The notices quote the readings as typed, with the page's decimal comma and
    // temperatures in its unit.
    out.style.decimal_comma = true;
    out.style.celsius = page.celsius;
    out.style.o2_text = text::trimmed(page.o2);
    out.style.co2_text = text::trimmed(page.co2);
    out.style.temp_text = text::trimmed(page.temp);
    out.style.co_text = text::trimmed(page.co);
    if (boxes.all_read() && o2 && out.temp_f) {
        reading.o2 = *o2;
        reading.temp_f = *out.temp_f;
        out.report.emplace();
        evaluate(reading, *out.report, out.style, comparison);
    }
    return out;
}

PageReading reading_from(const nlohmann::json& boxes)
{
    if (!boxes.is_object())
        throw std::invalid_argument("una lectura es un objeto JSON de casillas");
    const auto box = [&boxes](Box which) { return text_of(boxes, id(which)); };
    PageReading page;
    page.fuel = box(Box::fuel);
    page.o2 = box(Box::o2);
    page.co2 = box(Box::co2);
    page.co = box(Box::co);
    page.temp = box(Box::temp);
    page.celsius = box(Box::unit) != "F";
    page.air = box(Box::air);
    page.target_o2 = box(Box::target_o2);
    page.target_temp = box(Box::target_temp);
    return page;
}

void write_reading(const Evaluation& evaluation, const PageReading& page, const Limits& limits,
                   Json& json)
{
    evaluation.boxes.write(json);
    json.member("aire_supuesto",
                page.celsius ? temperature_text(combustion_air_temp, {}) + " (" +
                        temperature_text(combustion_air_temp, evaluation.style) + ")"
                             : temperature_text(combustion_air_temp, evaluation.style));
    if (!evaluation.report)
        return;
    const Report& report = *evaluation.report;
    if (!report.shown()) {
        json.member("fallo", report.failure);
        json.member("caja_fallo", box_of(report.failed_input.value_or(Input::O2)));
    } else {
        write_figures(report, evaluation.style, evaluation.comparison, json);
        json.member("fuera", report.outside_model);
    }
    if (const auto& co = report.value(FigureKind::co_air_free); co && co_past_limit(limits, *co))
        json.member(
            "co_supera",
            "supera el límite de " + spanish(plain_number(co_limit(limits))) + " ppm (" +
                std::string(limits.max_co ? "fijado por la empresa" : co_air_free_limit_source) +
                ")");
    json.key("avisos");
    json.open('[');
    for (const std::string& notice : report.advice)
        json.value(notice);
    page_notices(evaluation, json);
    json.close(']');
}

} // namespace detail

std::span<const std::string_view> box_ids() { return ids; }

std::string evaluate_json(std::string_view request)
{
    const auto parsed = nlohmann::json::parse(request, nullptr, false);
    const PageReading page = detail::reading_from(parsed);
    detail::Boxes limit_boxes;
    const Limits limits = detail::limits_from(parsed, limit_boxes);
    const detail::Evaluation evaluation = detail::evaluation_of(page);
    Json json;
    json.open('{');
    detail::write_reading(evaluation, page, limits, json);
    json.close('}');
    return json.take();
}

std::string fuels_json()
{
    Json json;
    json.open('[');
    for (const FuelFacts& fuel : fuels()) {
        json.open('{');
        json.member("valor", fuel.names.front());
        json.member("nombre", fuel.caption);
        json.close('}');
    }
    json.close(']');
    return json.take();
}

std::string names_module()
{
    Json figures;
    figures.open('[');
    for (const FigureFacts& figure : figure_kinds()) {
        figures.open('{');
        figures.member("id", figure.page_id);
        figures.member("etiqueta", figure.label);
        figures.member("ventana", figure.model_result);
        figures.close('}');
    }
    figures.close(']');
    Json boxes;
    write_strings(boxes, ids);
    // The log view's options the page has a control for, by their keys: all but the
    // files and the figures, which the page chooses itself.
    Json options;
    options.open('[');
    Json columns;
    columns.open('[');
    for (const log::OptionSpec& spec : log::option_specs()) {
        // The files the command line writes are the page's downloads.
        if (!spec.takes(log::Mode::log) || spec.option == Option::csv ||
            spec.option == Option::summary || spec.option == Option::chart ||
            spec.option == Option::figures || spec.option == Option::consumption ||
            spec.option == Option::report || spec.option == Option::output ||
            spec.option == Option::threads || spec.option == Option::quiet ||
            spec.option == Option::json)
            continue;
        options.value(spec.key());
        if (!spec.column)
            continue;
        const log::ColumnKind& kind = log::kind_of(*spec.column);
        columns.open('{');
        columns.member("clave", spec.key());
        columns.member("que", kind.what);
        columns.member("ayuda", kind.help);
        columns.close('}');
    }
    options.close(']');
    columns.close(']');
    // The two a one-line summary of a reading gives: the window's efficiency and the net.
    Json summary;
    summary.open('[');
    for (const FigureKind figure : {FigureKind::efficiency, FigureKind::net})
        summary.value(figure_facts(figure).page_id);
    summary.close(']');
    return "// Generated by the build from the program's tables: do not edit.\n"
           "export const figures = " +
        figures.take() + ";\nexport const boxes = " + boxes.take() +
        ";\nexport const summaryFigures = " + summary.take() +
        ";\nexport const logOptions = " + options.take() +
        ";\nexport const columns = " + columns.take() + ";\n" + report_names();
}

} // namespace quemador::web
