// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/page.h"

#include "calculation/number_text.h"
#include "calculation/report.h"
#include "log/layout.h"
#include "log/options.h"
#include "text/csv.h"
#include "text/names.h"
#include "text/numbers.h"
#include "web/json.h"

#include <nlohmann/json.hpp>

#include <array>
#include <optional>
#include <stdexcept>

namespace quemador::web {
namespace {

using log::Option;
using text::DecimalComma;

// The page's boxes, in the order of its form, and the option each number box is read as.
enum class Box : std::uint8_t { fuel, o2, co2, co, temp, unit, air, target_o2, target_temp };
constexpr std::array<std::string_view, 9> ids = {
    "combustible", "o2", "co2", "co", "temp", "unidad", "aire", "objetivo-o2", "objetivo-temp"};
constexpr std::string_view id(Box box) { return ids.at(static_cast<std::size_t>(box)); }

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

// A number as the page writes it: with a decimal comma, no sign blank.
std::string spanish(std::string text)
{
    return std::string(text::in_file(text, DecimalComma::accepted));
}

// The boxes read as numbers, and what could not be read, by box.
class Boxes {
public:
    // A box's number, read as its option is; none when it is empty or cannot be read
    // (then said at the box).
    std::optional<double> number(Box box, std::string_view text, Option option)
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
            refuse(box, range + ".");
        } else {
            refuse(box, "No es un número: escriba solo cifras, con coma o punto decimal (3,5).");
        }
        return std::nullopt;
    }

    void refuse(Box box, std::string message)
    {
        problems_.emplace_back(id(box), std::move(message));
    }

    [[nodiscard]] bool all_read() const { return problems_.empty(); }

    void write(Json& json) const
    {
        json.key("cajas");
        json.open('{');
        for (const auto& [box, message] : problems_)
            json.member(box, message);
        json.close('}');
    }

private:
    std::vector<std::pair<std::string_view, std::string>> problems_;
};

// A reading's boxes read, and its report.
struct Evaluation {
    Boxes boxes;
    AdviceStyle style;
    Comparison comparison;
    std::optional<double> temp_f;
    // Given when every box was read and the O2 and temperature are there.
    std::optional<Report> report;
};

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
    const auto o2 = boxes.number(Box::o2, page.o2, Option::o2);
    out.temp_f = in_fahrenheit(boxes.number(Box::temp, page.temp, Option::temp));
    reading.co2 = boxes.number(Box::co2, page.co2, Option::co2);
    reading.co_ppm = boxes.number(Box::co, page.co, Option::co);
    Comparison& comparison = out.comparison;
    comparison.air_f = in_fahrenheit(boxes.number(Box::air, page.air, Option::air));
    comparison.target_o2 = boxes.number(Box::target_o2, page.target_o2, Option::target_o2);
    comparison.target_temp_f =
        in_fahrenheit(boxes.number(Box::target_temp, page.target_temp, Option::target_temp));
    if (comparison.target_temp_f && text::trimmed(page.target_o2).empty())
        boxes.refuse(Box::target_temp, "Cuenta solo con un O2 objetivo: escríbalo también.");

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
                        report.meaningful(figure.kind) ? spanish(report.text(figure.kind))
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

PageReading reading_from(const nlohmann::json& boxes)
{
    if (!boxes.is_object())
        throw std::invalid_argument("una lectura es un objeto JSON de casillas");
    const auto box = [&boxes](Box which) {
        const auto at = boxes.find(id(which));
        return at != boxes.end() && at->is_string() ? at->get<std::string>() : std::string();
    };
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

std::string text_of(const nlohmann::json& object, std::string_view key)
{
    const auto at = object.find(key);
    return at != object.end() && at->is_string() ? at->get<std::string>() : std::string();
}

// A number as typed, with the log's decimal comma.
std::string typed(std::string_view text)
{
    std::string out(text::trimmed(text));
    std::replace(out.begin(), out.end(), '.', ',');
    return out;
}

// The figures of the saved readings' export: those a log gets with an air temperature.
std::vector<FigureKind> exported_figures() { return log::default_figures(true, false, false); }

void export_header(text::CsvWriter& writer, bool celsius)
{
    const std::string unit = celsius ? " (°C)" : " (°F)";
    for (const std::string& head :
         {std::string("Fecha"), std::string("Caldera"), std::string("Combustible"),
          std::string("O2"), std::string("CO2"), std::string("CO"), "T humos" + unit,
          "T aire" + unit, std::string("Nota")})
        writer.field(head);
    for (const FigureKind figure : exported_figures())
        writer.field(figure_facts(figure).id);
    writer.field(log::notes_column);
    writer.end_record();
}

// A saved reading's row: as typed, its temperatures in the file's unit, and its figures
// as a log gives them (none outside the model, only the notices).
void export_row(text::CsvWriter& writer, const nlohmann::json& saved, const PageReading& page,
                bool celsius)
{
    const Evaluation evaluation = evaluation_of(page);
    const auto temperature = [&](const std::string& as_typed, std::optional<double> f) {
        return typed(page.celsius == celsius || !f ? as_typed : plain_number(*f));
    };
    const auto fuel = log::fuel_named(page.fuel);
    writer.field(text_of(saved, "fecha"));
    // A boiler's name and a note as text a spreadsheet would not run.
    writer.field(text::spreadsheet_cell(text_of(saved, "caldera")));
    writer.field(fuel ? facts(*fuel).caption : std::string_view(page.fuel));
    writer.field(typed(page.o2));
    writer.field(typed(page.co2));
    writer.field(typed(page.co));
    writer.field(temperature(page.temp, evaluation.temp_f));
    writer.field(temperature(page.air, evaluation.comparison.air_f));
    writer.field(text::spreadsheet_cell(text_of(saved, "nota")));
    const std::optional<Report>& report = evaluation.report;
    const bool figures = report.has_value() && report->shown() && !report->outside_model;
    for (const FigureKind figure : exported_figures())
        writer.field(figures ? spanish(report->text(figure)) : std::string());
    std::string notices;
    for (const std::string& notice : report ? report->advice : std::vector<std::string>{})
        notices += (notices.empty() ? "" : " ") + notice;
    writer.field(notices);
    writer.end_record();
}

void write_strings(Json& json, std::span<const std::string_view> texts)
{
    json.open('[');
    for (const std::string_view text : texts)
        json.value(text);
    json.close(']');
}

} // namespace

std::span<const std::string_view> box_ids() { return ids; }

PageReading reading_of(std::string_view request)
{
    return reading_from(nlohmann::json::parse(request, nullptr, false));
}

std::string evaluate_json(const PageReading& page)
{
    const Evaluation evaluation = evaluation_of(page);
    Json json;
    json.open('{');
    evaluation.boxes.write(json);
    json.member("aire_supuesto",
                page.celsius ? temperature_text(combustion_air_temp, {}) + " (" +
                        temperature_text(combustion_air_temp, evaluation.style) + ")"
                             : temperature_text(combustion_air_temp, evaluation.style));
    if (evaluation.report) {
        const Report& report = *evaluation.report;
        if (!report.shown()) {
            json.member("fallo", report.failure);
            json.member("caja_fallo", box_of(report.failed_input.value_or(Input::O2)));
        } else {
            write_figures(report, evaluation.style, evaluation.comparison, json);
            json.member("fuera", report.outside_model);
        }
        json.key("avisos");
        json.open('[');
        for (const std::string& notice : report.advice)
            json.value(notice);
        json.close(']');
    }
    json.close('}');
    return json.take();
}

std::string export_csv(std::string_view request)
{
    const auto saved = nlohmann::json::parse(request, nullptr, false);
    if (!saved.is_array())
        throw std::invalid_argument("las lecturas guardadas son una lista JSON");
    std::vector<PageReading> pages(saved.size());
    std::transform(saved.begin(), saved.end(), pages.begin(), [](const nlohmann::json& reading) {
        return reading_from(reading.is_object() && reading.contains("entradas")
                                ? reading.at("entradas")
                                : nlohmann::json());
    });
    // One temperature unit for the file: the readings', or °F when they differ.
    const bool celsius = std::all_of(pages.begin(), pages.end(),
                                     [](const PageReading& page) { return page.celsius; });
    text::StringSink sink;
    {
        text::CsvWriter writer(sink, ';', text::LineEnd::crlf);
        // A byte order mark, so that a spreadsheet reads it as UTF-8.
        writer.raw("\xEF\xBB\xBF");
        export_header(writer, celsius);
        for (std::size_t i = 0; i < pages.size(); ++i)
            export_row(writer, saved[i], pages[i], celsius);
    }
    return std::move(sink.text);
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
        if (!spec.takes(log::Mode::log) || spec.option == Option::csv ||
            spec.option == Option::summary || spec.option == Option::chart ||
            spec.option == Option::figures)
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
        ";\nexport const columns = " + columns.take() + ";\n";
}

} // namespace quemador::web
