// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/page.h"

#include "calculation/net_efficiency.h"
#include "calculation/number_text.h"
#include "log/columns.h"
#include "calculation/report.h"
#include "log/layout.h"
#include "text/numbers.h"
#include "web/json.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

namespace quemador::web {
namespace {

using text::DecimalComma;

// The page's id of a box or a figure.
std::string_view box_id(Input input)
{
    switch (input) {
    case Input::O2:
        return "o2";
    case Input::CO2:
        return "co2";
    case Input::Temp_stack:
        break;
    }
    return "temp";
}

// The boxes read as numbers, and what could not be read, by box.
class Boxes {
public:
    // A box's number; none when it is empty or cannot be read (then said).
    std::optional<double> number(std::string_view id, std::string_view text)
    {
        if (text::is_blank(text))
            return std::nullopt;
        double value = 0.0;
        if (text::parse_number(text, DecimalComma::accepted, value))
            return value;
        refuse(id, "No es un número: escriba solo cifras, con coma o punto decimal (3,5).");
        return std::nullopt;
    }

    void refuse(std::string_view id, std::string message)
    {
        problems_.emplace_back(id, std::move(message));
    }

    [[nodiscard]] bool all_read() const { return problems_.empty(); }

    void write(Json& json) const
    {
        json.key("cajas");
        json.open('{');
        for (const auto& [id, message] : problems_) {
            json.member(id, message);
        }
        json.close('}');
    }

private:
    std::vector<std::pair<std::string_view, std::string>> problems_;
};

// A target oxygen reading the model describes, from 0 to below the air's.
std::optional<double> target_o2(const PageReading& page, Boxes& boxes)
{
    const auto o2 = boxes.number("objetivo-o2", page.target_o2);
    if (o2 && !(*o2 >= 0.0 && *o2 < oxygen_in_air)) {
        boxes.refuse("objetivo-o2",
                     "Debe ser al menos 0 y menor que el " + plain_number(oxygen_in_air) +
                         " % del aire.");
        return std::nullopt;
    }
    return o2;
}

void write_figures(const Report& report, const AdviceStyle& style, const Comparison& comparison,
                   Json& json)
{
    json.key("cifras");
    json.open('{');
    for (const FigureFacts& figure : figure_kinds()) {
        if (!report.text(figure.kind).empty())
            json.member(figure.page_id, report.text(figure.kind));
    }
    json.close('}');
    json.key("bases");
    json.open('{');
    for (const FigureFacts& figure : figure_kinds()) {
        if (!report.text(figure.kind).empty() && !figure.basis.empty())
            json.member(figure.page_id, basis_text(figure.kind, comparison, style));
    }
    json.close('}');
}

// The results in the columns a log gets, as quemador1-calc writes them in a log with
// decimal commas: a saved reading's row in an exported log. A log gives no number for
// a reading outside the model, only the notices.
void write_file_results(Report& report, Json& json)
{
    json.key("archivo");
    json.open('{');
    for (const FigureKind figure : log::default_figures(true, false)) {
        std::string& text = report.text(figure);
        if (report.outside_model)
            text.clear();
        json.member(figure_facts(figure).id, text::in_file(text, DecimalComma::accepted));
    }
    json.close('}');
}

} // namespace

std::string evaluate_json(const PageReading& page)
{
    Boxes boxes;
    const auto in_fahrenheit = [&page](std::optional<double> t) -> std::optional<double> {
        if (t && page.celsius)
            return celsius_to_fahrenheit(*t);
        return t;
    };
    Reading reading;
    reading.fuel = log::fuel_named(page.fuel).value_or(Fuel::natural_gas);
    const auto o2 = boxes.number("o2", page.o2);
    const auto temp_f = in_fahrenheit(boxes.number("temp", page.temp));
    reading.co2 = boxes.number("co2", page.co2);
    reading.co_ppm = boxes.number("co", page.co);
    Comparison comparison;
    comparison.air_f = in_fahrenheit(boxes.number("aire", page.air));
    comparison.target_o2 = target_o2(page, boxes);
    comparison.target_temp_f = in_fahrenheit(boxes.number("objetivo-temp", page.target_temp));
    if (comparison.target_temp_f && text::trimmed(page.target_o2).empty())
        boxes.refuse("objetivo-temp", "Cuenta solo con un O2 objetivo: escríbalo también.");

    // The notices quote the readings as typed, and temperatures in the page's unit.
    AdviceStyle style;
    style.celsius = page.celsius;
    style.o2_text = text::trimmed(page.o2);
    style.co2_text = text::trimmed(page.co2);
    style.temp_text = text::trimmed(page.temp);
    style.co_text = text::trimmed(page.co);

    Json json;
    json.open('{');
    boxes.write(json);
    json.member("aire_supuesto",
                page.celsius ? temperature_text(combustion_air_temp, {}) + " (" +
                        temperature_text(combustion_air_temp, style) + ")"
                             : temperature_text(combustion_air_temp, style));
    if (boxes.all_read() && o2 && temp_f) {
        reading.o2 = *o2;
        reading.temp_f = *temp_f;
        Report report;
        evaluate(reading, report, style, comparison);
        json.member("temp_f", *temp_f);
        json.key("aire_f");
        if (comparison.air_f)
            json.value(*comparison.air_f);
        else
            json.null();
        if (!report.shown()) {
            json.member("fallo", report.failure);
            json.member("caja_fallo", box_id(report.failed_input.value_or(Input::O2)));
        } else {
            write_figures(report, style, comparison, json);
            json.member("fuera", report.outside_model);
            write_file_results(report, json);
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

} // namespace quemador::web
