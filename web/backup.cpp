// SPDX-License-Identifier: GPL-3.0-or-later
// Everything the page keeps, as one CSV log and back: the saved readings and the
// reports' readings, one row each, as quemador1-calc --csv reads them, with the
// columns of the boiler, the report and the settings after the log's own.

#include "calculation/number_text.h"
#include "log/columns.h"
#include "log/layout.h"
#include "text/csv.h"
#include "text/names.h"
#include "text/numbers.h"
#include "web/page_detail.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace quemador::web {
namespace {

using detail::spanish;
using detail::text_of;
using detail::typed;

// The reading's columns and the report's own, by their headers (a temperature's with
// its unit after it: "T humos (°C)").
enum class Col : std::uint8_t {
    date,
    boiler,
    fuel,
    o2,
    co2,
    co,
    flue,
    air,
    note,
    target_o2,
    target_temp,
    typed_unit,
    report,
    report_date,
    report_number
};
constexpr std::array<std::string_view, 15> headers = {"Fecha",         "Caldera",
                                                      "Combustible",   "O2",
                                                      "CO2",           "CO",
                                                      "T humos",       "T aire",
                                                      "Nota",          "O2 objetivo",
                                                      "T objetivo",    "Temperaturas tecleadas en",
                                                      "Informe",       "Fecha del informe",
                                                      "N.º de informe"};
constexpr std::string_view header(Col col) { return headers.at(static_cast<std::size_t>(col)); }
constexpr bool in_unit(Col col)
{
    return col == Col::flue || col == Col::air || col == Col::target_temp;
}
// The log's own columns, before its results; the rest after them.
constexpr std::array<Col, 9> log_columns = {Col::date, Col::boiler, Col::fuel, Col::o2,  Col::co2,
                                            Col::co,   Col::flue,   Col::air,  Col::note};
constexpr std::array<Col, 6> later_columns = {Col::target_o2, Col::target_temp, Col::typed_unit,
                                              Col::report,    Col::report_date, Col::report_number};
// The boiler's fields, the report's, the settings', in that order after them.
constexpr std::array<Keeper, 3> keepers = {Keeper::boiler, Keeper::report, Keeper::settings};

std::string_view unit_text(bool celsius) { return celsius ? "°C" : "°F"; }

// The figures of the export: those a log gets with an air temperature.
std::vector<FigureKind> exported_figures() { return log::default_figures(true, false, false); }

// A field's text in a cell: a number as a number, with a decimal comma; any other text
// as text a spreadsheet would not run.
std::string cell_of(const ReportField& field, const std::string& text)
{
    double number = 0.0;
    if (field.kind == FieldKind::number &&
        text::parse_number(text, text::DecimalComma::accepted, number))
        return typed(text);
    return text::spreadsheet_cell(text);
}

void write_header(text::CsvWriter& writer, bool celsius)
{
    const auto head = [&](Col col) {
        writer.field(in_unit(col)
                         ? std::string(header(col)) + " (" + std::string(unit_text(celsius)) + ")"
                         : std::string(header(col)));
    };
    for (const Col col : log_columns)
        head(col);
    for (const FigureKind figure : exported_figures())
        writer.field(figure_facts(figure).id);
    writer.field(log::notes_column);
    for (const Col col : later_columns)
        head(col);
    for (const Keeper keeper : keepers) {
        for (const ReportField& field : report_fields()) {
            if (field.keeper == keeper)
                writer.field(field.column);
        }
    }
    writer.end_record();
}

// A row's own texts, past its reading's boxes: its date, boiler, note, and the report's.
struct RowTexts {
    std::string date;
    std::string boiler;
    std::string note;
    std::string report; // its number from 1; empty for a saved reading
    std::string report_date;
    std::string report_number; // as the company numbers it
    const nlohmann::json* boiler_fields = nullptr;
    const nlohmann::json* report_fields = nullptr;
    const nlohmann::json* settings = nullptr;
};

// A reading's row: as typed, its temperatures in the file's unit, and its figures as a
// log gives them (none outside the model, only the notices).
void write_row(text::CsvWriter& writer, const RowTexts& row, const PageReading& page, bool celsius)
{
    const detail::Evaluation evaluation = detail::evaluation_of(page);
    const auto temperature = [&](const std::string& as_typed, std::optional<double> f) {
        return typed(page.celsius == celsius || !f ? as_typed : plain_number(*f));
    };
    const auto fuel = log::fuel_named(page.fuel);
    writer.field(row.date);
    // A boiler's name and a note as text a spreadsheet would not run.
    writer.field(text::spreadsheet_cell(row.boiler));
    writer.field(fuel ? facts(*fuel).caption : std::string_view(page.fuel));
    writer.field(typed(page.o2));
    writer.field(typed(page.co2));
    writer.field(typed(page.co));
    writer.field(temperature(page.temp, evaluation.temp_f));
    writer.field(temperature(page.air, evaluation.comparison.air_f));
    writer.field(text::spreadsheet_cell(row.note));
    const std::optional<Report>& report = evaluation.report;
    const bool figures = report.has_value() && report->shown() && !report->outside_model;
    for (const FigureKind figure : exported_figures())
        writer.field(figures ? spanish(report->text(figure)) : std::string());
    std::string notices;
    for (const std::string& notice : report ? report->advice : std::vector<std::string>{})
        notices += (notices.empty() ? "" : " ") + notice;
    writer.field(notices);
    writer.field(typed(page.target_o2));
    writer.field(temperature(page.target_temp, evaluation.comparison.target_temp_f));
    writer.field(unit_text(page.celsius));
    writer.field(row.report);
    writer.field(row.report_date);
    writer.field(text::spreadsheet_cell(row.report_number));
    const std::array<const nlohmann::json*, 3> sources = {row.boiler_fields, row.report_fields,
                                                          row.settings};
    for (std::size_t k = 0; k < keepers.size(); ++k) {
        for (const ReportField& field : report_fields()) {
            if (field.keeper == keepers.at(k))
                writer.field(sources.at(k) != nullptr
                                 ? cell_of(field, text_of(*sources.at(k), field.id))
                                 : std::string());
        }
    }
    writer.end_record();
}

const nlohmann::json& member(const nlohmann::json& object, std::string_view key)
{
    static const nlohmann::json none;
    if (!object.is_object())
        return none;
    const auto at = object.find(key);
    return at != object.end() ? *at : none;
}

const nlohmann::json& list(const nlohmann::json& object, std::string_view key)
{
    static const nlohmann::json none = nlohmann::json::array();
    const nlohmann::json& found = member(object, key);
    return found.is_array() ? found : none;
}

// A cell a spreadsheet would not run, back as it was typed.
std::string as_typed(std::string_view cell)
{
    if (cell.size() >= 2 && cell.front() == '\'' &&
        text::spreadsheet_cell(cell.substr(1)) != cell.substr(1))
        cell.remove_prefix(1);
    return std::string(cell);
}

// The export's header: the column of each of its names, by the name without a unit.
class Header {
public:
    explicit Header(const std::vector<std::string_view>& names)
    {
        for (std::size_t i = 0; i < names.size(); ++i) {
            std::string_view name = names[i];
            if (i == 0 && name.starts_with("\xEF\xBB\xBF"))
                name.remove_prefix(3);
            std::string_view unit;
            if (const auto open = name.rfind(" (");
                open != std::string_view::npos && name.ends_with(')')) {
                unit = name.substr(open + 2, name.size() - open - 3);
                name = name.substr(0, open);
            }
            if (name == header(Col::flue))
                celsius_ = unit == unit_text(true);
            columns_.emplace(std::string(name), i);
            columns_.emplace(std::string(names[i]), i);
        }
    }
    [[nodiscard]] bool is_export() const
    {
        return std::all_of(log_columns.begin(), log_columns.end(),
                           [this](Col col) { return columns_.contains(std::string(header(col))); });
    }
    [[nodiscard]] bool celsius() const { return celsius_; }
    [[nodiscard]] std::string cell(const std::vector<std::string_view>& row,
                                   std::string_view name) const
    {
        const auto at = columns_.find(std::string(name));
        return at != columns_.end() && at->second < row.size()
            ? std::string(text::trimmed(row[at->second]))
            : std::string();
    }
    [[nodiscard]] std::string cell(const std::vector<std::string_view>& row, Col col) const
    {
        return cell(row, header(col));
    }

private:
    std::map<std::string, std::size_t, std::less<>> columns_;
    bool celsius_ = true;
};

// A temperature of the file, in the unit it was typed in.
std::string temperature_back(const std::string& cell, bool file_celsius, bool typed_celsius)
{
    double value = 0.0;
    if (file_celsius == typed_celsius ||
        !text::parse_number(cell, text::DecimalComma::accepted, value))
        return cell;
    return typed(
        plain_number(typed_celsius ? fahrenheit_to_celsius(value) : celsius_to_fahrenheit(value)));
}

// A row's boxes, by their ids, in the unit they were typed in.
nlohmann::json boxes_of(const Header& header, const std::vector<std::string_view>& row)
{
    const std::string unit = header.cell(row, Col::typed_unit);
    const bool celsius = unit.empty() ? header.celsius() : unit == unit_text(true);
    const auto fuel = log::fuel_named(header.cell(row, Col::fuel));
    const std::span<const std::string_view> ids = box_ids();
    const std::array<std::string, 9> values = {
        fuel ? std::string(facts(*fuel).names.front()) : header.cell(row, Col::fuel),
        header.cell(row, Col::o2),
        header.cell(row, Col::co2),
        header.cell(row, Col::co),
        temperature_back(header.cell(row, Col::flue), header.celsius(), celsius),
        celsius ? "C" : "F",
        temperature_back(header.cell(row, Col::air), header.celsius(), celsius),
        header.cell(row, Col::target_o2),
        temperature_back(header.cell(row, Col::target_temp), header.celsius(), celsius)};
    nlohmann::json boxes = nlohmann::json::object();
    for (std::size_t i = 0; i < ids.size(); ++i)
        boxes[std::string(ids[i])] = values.at(i);
    return boxes;
}

// A row's fields of one keeper, into an object by their ids: each field the row gives,
// and an empty one for each it leaves empty that the object does not hold yet (rows
// of one boiler each add what they know).
void take_fields(const Header& header, const std::vector<std::string_view>& row, Keeper keeper,
                 nlohmann::json& into)
{
    if (!into.is_object())
        into = nlohmann::json::object();
    for (const ReportField& field : report_fields()) {
        const std::string text = as_typed(header.cell(row, field.column));
        if (field.keeper == keeper && (!text.empty() || !into.contains(field.id)))
            into[std::string(field.id)] = text;
    }
}

} // namespace

std::string export_csv(std::string_view request)
{
    const auto saved = nlohmann::json::parse(request, nullptr, false);
    if (!saved.is_object())
        throw std::invalid_argument("lo que se exporta es un objeto JSON");
    std::map<std::string, const nlohmann::json*, std::less<>> boilers;
    for (const nlohmann::json& boiler : list(saved, "calderas"))
        boilers[text_of(boiler, "clave")] = &member(boiler, "campos");
    const auto boiler_fields = [&](const nlohmann::json& of) -> const nlohmann::json* {
        const auto at = boilers.find(text_of(of, "clave"));
        return at != boilers.end() ? at->second : nullptr;
    };
    // Every row's reading, and its texts.
    std::vector<std::pair<PageReading, RowTexts>> rows;
    for (const nlohmann::json& reading : list(saved, "lecturas")) {
        RowTexts texts;
        texts.date = text_of(reading, "fecha");
        texts.boiler = text_of(reading, "caldera");
        texts.note = text_of(reading, "nota");
        texts.boiler_fields = boiler_fields(reading);
        rows.emplace_back(detail::reading_from(member(reading, "entradas")), texts);
    }
    std::size_t number = 0;
    for (const nlohmann::json& report : list(saved, "informes")) {
        ++number;
        for (const nlohmann::json& reading : list(report, "lecturas")) {
            RowTexts texts;
            texts.date = text_of(reading, "fecha");
            texts.boiler = text_of(report, "caldera");
            texts.note = text_of(reading, "nota");
            texts.report = std::to_string(number);
            texts.report_date = text_of(report, "fecha");
            texts.report_number = text_of(report, "numero");
            texts.boiler_fields = boiler_fields(report);
            texts.report_fields = &member(report, "campos");
            rows.emplace_back(detail::reading_from(member(reading, "entradas")), texts);
        }
    }
    const nlohmann::json& settings = member(saved, "ajustes");
    // One temperature unit for the file: the readings', or °F when they differ.
    const bool celsius =
        std::all_of(rows.begin(), rows.end(), [](const auto& row) { return row.first.celsius; });
    text::StringSink sink;
    {
        text::CsvWriter writer(sink, ';', text::LineEnd::crlf);
        // A byte order mark, so that a spreadsheet reads it as UTF-8.
        writer.raw("\xEF\xBB\xBF");
        write_header(writer, celsius);
        for (auto& [page, texts] : rows) {
            texts.settings = &settings;
            write_row(writer, texts, page, celsius);
        }
    }
    return std::move(sink.text);
}

std::string import_json(std::string_view csv)
{
    text::StringSource source(csv);
    text::CsvReader reader(source, ';');
    std::vector<std::string_view> fields;
    // The header's fields are views into the reader's record: copied before reading on.
    std::vector<std::string> names;
    if (reader.next(fields))
        names.assign(fields.begin(), fields.end());
    const Header header(std::vector<std::string_view>(names.begin(), names.end()));
    if (!header.is_export())
        throw std::invalid_argument(
            "no es un archivo exportado por esta página: le faltan columnas");
    nlohmann::json out = {{"lecturas", nlohmann::json::array()},
                          {"informes", nlohmann::json::array()},
                          {"calderas", nlohmann::json::array()},
                          {"ajustes", nlohmann::json::object()}};
    std::map<std::string, std::size_t, std::less<>> boilers; // by name, into "calderas"
    std::map<std::string, std::size_t, std::less<>> reports; // by number, into "informes"
    while (reader.next(fields)) {
        if (fields.size() <= 1 && (fields.empty() || text::is_blank(fields.front())))
            continue;
        const std::string boiler = as_typed(header.cell(fields, Col::boiler));
        nlohmann::json reading = {{"fila", reader.line()},
                                  {"fecha", header.cell(fields, Col::date)},
                                  {"nota", as_typed(header.cell(fields, Col::note))},
                                  {"entradas", boxes_of(header, fields)}};
        if (const std::string number = header.cell(fields, Col::report); number.empty()) {
            reading["caldera"] = boiler;
            out["lecturas"].push_back(std::move(reading));
        } else {
            auto [at, added] = reports.try_emplace(number, out["informes"].size());
            if (added) {
                nlohmann::json report = {
                    {"fecha", header.cell(fields, Col::report_date)},
                    {"numero", as_typed(header.cell(fields, Col::report_number))},
                    {"caldera", boiler},
                    {"lecturas", nlohmann::json::array()}};
                take_fields(header, fields, Keeper::report, report["campos"]);
                out["informes"].push_back(std::move(report));
            }
            out["informes"][at->second]["lecturas"].push_back(std::move(reading));
        }
        if (!boiler.empty()) {
            auto [at, added] = boilers.try_emplace(boiler, out["calderas"].size());
            if (added)
                out["calderas"].push_back(
                    {{"caldera", boiler}, {"campos", nlohmann::json::object()}});
            take_fields(header, fields, Keeper::boiler, out["calderas"][at->second]["campos"]);
        }
        take_fields(header, fields, Keeper::settings, out["ajustes"]);
    }
    return out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace quemador::web
