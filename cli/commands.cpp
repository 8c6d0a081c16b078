// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/commands.h"

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "calculation/report.h"
#include "cli/log_command.h"
#include "cli/option_values.h"
#include "cli/table.h"
#include "cli/usage_error.h"
#include "log/log.h"
#include "log/log_error.h"
#include "text/names.h"
#include "text/numbers.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

namespace quemador::cli {
namespace {

using log::TemperatureUnit;

Temperatures take_temperatures(const Given& given, Mode mode)
{
    return {given.is_set(Option::celsius, mode), given.is_set(Option::fahrenheit, mode),
            given.text(Option::air, mode)};
}

// A text padded with blanks to so many characters on screen.
std::string padded(std::string text, std::size_t columns)
{
    text.append(columns - std::min(columns, text::width(text)), ' ');
    return text;
}

// Each figure given, as the window shows a result: the window's two first, then each of
// the others with its basis, the values padded to one width so that the bases start in
// one column.
void print_figures(const Report& report, const AdviceStyle& style, const Comparison& comparison)
{
    for (const FigureFacts& figure : figure_kinds()) {
        const std::string& value = report.text(figure.kind);
        if (value.empty())
            continue;
        const std::string label = std::string(figure.label) + ":";
        const std::string line = figure.model_result ? padded(label, 20) + value
                                                     : padded(label, 30) + padded(value, 7) +
                "  (" + basis_text(figure.kind, comparison, style) + ")";
        std::printf("%s\n", line.c_str());
    }
}

int one_reading(const ReadingArgs& args)
{
    const auto fuel = fuel_option(args.fuel);
    if (!fuel)
        throw UsageError("falta --combustible (gas o fueloil)");
    const bool celsius = in_celsius(args.temperatures);
    const auto in_fahrenheit = [celsius](double t) {
        return celsius ? celsius_to_fahrenheit(t) : t;
    };
    Reading reading;
    reading.fuel = *fuel;
    reading.o2 = number_option(args.o2, Option::o2);
    reading.temp_f = in_fahrenheit(number_option(args.temp, Option::temp));
    reading.co2 = optional_number(args.co2, Option::co2);
    reading.co_ppm = optional_number(args.co, Option::co);

    Comparison comparison;
    if (const auto air = optional_number(args.temperatures.air, Option::air))
        comparison.air_f = in_fahrenheit(*air);
    comparison.target_o2 = target_o2_option(args.target_o2, args.target_temp);
    if (const auto target = optional_number(args.target_temp, Option::target_temp))
        comparison.target_temp_f = in_fahrenheit(*target);

    // The notices quote the readings as typed, and temperatures in the unit of --temp.
    AdviceStyle style;
    style.celsius = celsius;
    style.o2_text = *args.o2;
    style.temp_text = *args.temp;
    if (args.co2)
        style.co2_text = *args.co2;
    if (args.co)
        style.co_text = *args.co;

    Report report;
    evaluate(reading, report, style, comparison);
    if (!report.shown()) {
        say(report.failure);
        return exit_not_calculated;
    }
    print_figures(report, style, comparison);
    for (const auto& message : report.advice) {
        const std::string shown = text::printable(message);
        std::fprintf(stderr, "aviso: %s\n", shown.c_str());
    }
    // The window shows numbers the model does not describe; the status says so.
    return finish_output(report.outside_model || report.doubtful ? exit_not_calculated : exit_ok);
}

int table(const TableArgs& args)
{
    TableOptions options;
    options.fuel = fuel_option(args.fuel).value_or(Fuel::natural_gas);
    options.unit =
        in_celsius(args.temperatures) ? TemperatureUnit::celsius : TemperatureUnit::fahrenheit;
    options.o2 = args.o2 ? parse_list(*args.o2, "--o2") : default_o2_values();
    options.temperatures =
        args.temp ? parse_range(*args.temp, "--temp") : default_temperatures(options.unit);
    // The choices in the order of their declarations.
    options.format = args.format && read(args.format, Option::format).choice == 1
        ? TableFormat::csv
        : TableFormat::text;
    options.net = args.base && read(args.base, Option::base).choice == 1;
    options.air = optional_number(args.temperatures.air, Option::air);
    if (args.separator) {
        if (options.format != TableFormat::csv)
            throw UsageError("--separador solo se usa con --tabla --formato csv");
        options.separator =
            std::array{',', ';', '\t', '\t'}.at(read(args.separator, Option::separator).choice);
    }
    options.figures = figures_option(args.figures);

    std::string out;
    const int marked = write_table(options, out, say);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return finish_output(marked > 0 ? exit_not_calculated : exit_ok);
}

std::string_view mode_text(Mode mode)
{
    switch (mode) {
    case Mode::table:
        return "con --tabla";
    case Mode::log:
        return "con --csv";
    case Mode::reading:
        break;
    }
    return "en una lectura";
}

// What is said of an option the mode does not take: the modes it belongs to.
std::string not_for_mode(const log::OptionSpec& spec, Mode mode)
{
    if (spec.option == Option::table)
        return "--csv y --tabla se excluyen";
    std::vector<Mode> modes;
    const auto all = {Mode::reading, Mode::table, Mode::log};
    std::copy_if(all.begin(), all.end(), std::back_inserter(modes),
                 [&spec](Mode other) { return spec.takes(other); });
    std::string message(spec.name);
    if (modes.size() == 1)
        return message + " solo se usa " + std::string(mode_text(modes.front()));
    message += " no se usa " + std::string(mode_text(mode));
    if (mode == Mode::log &&
        (spec.option == Option::o2 || spec.option == Option::co2 || spec.option == Option::temp))
        message += ": las lecturas vienen del archivo";
    return message;
}

} // namespace

ReadingArgs take_reading(const Given& given)
{
    constexpr Mode mode = Mode::reading;
    ReadingArgs args;
    args.fuel = given.text(Option::fuel, mode);
    args.o2 = given.text(Option::o2, mode);
    args.co2 = given.text(Option::co2, mode);
    args.co = given.text(Option::co, mode);
    args.temp = given.text(Option::temp, mode);
    args.temperatures = take_temperatures(given, mode);
    args.target_o2 = given.text(Option::target_o2, mode);
    args.target_temp = given.text(Option::target_temp, mode);
    return args;
}

TableArgs take_table(const Given& given)
{
    constexpr Mode mode = Mode::table;
    TableArgs args;
    args.fuel = given.text(Option::fuel, mode);
    args.o2 = given.text(Option::o2, mode);
    args.temp = given.text(Option::temp, mode);
    args.temperatures = take_temperatures(given, mode);
    args.format = given.text(Option::format, mode);
    args.separator = given.text(Option::separator, mode);
    args.base = given.text(Option::base, mode);
    args.figures = given.text(Option::figures, mode);
    return args;
}

LogArgs take_log(const Given& given)
{
    constexpr Mode mode = Mode::log;
    LogArgs args;
    args.files = given.texts(Option::csv, mode);
    args.fuel = given.text(Option::fuel, mode);
    args.temperatures = take_temperatures(given, mode);
    args.encoding = given.text(Option::encoding, mode);
    args.date_order = given.text(Option::date_order, mode);
    for (const log::ColumnKind& kind : log::column_kinds())
        args.columns.at(static_cast<std::size_t>(kind.column)) = given.column(kind.column);
    args.all_results = given.is_set(Option::all_results, mode);
    args.target_o2 = given.text(Option::target_o2, mode);
    args.target_temp = given.text(Option::target_temp, mode);
    args.summary = given.text(Option::summary, mode);
    args.grouping = given.text(Option::grouping, mode);
    args.chart = given.text(Option::chart, mode);
    args.figures = given.text(Option::figures, mode);
    args.threads = given.text(Option::threads, mode);
    args.alert_drop = given.text(Option::alert_drop, mode);
    args.minimum = given.text(Option::minimum, mode);
    args.consumption = given.text(Option::consumption, mode);
    args.report = given.text(Option::report, mode);
    args.output = given.text(Option::output, mode);
    args.json = given.text(Option::json, mode);
    return args;
}

int run(Given given)
{
    const Mode mode = given.has(Option::csv) ? Mode::log
        : given.has(Option::table)           ? Mode::table
                                             : Mode::reading;
    keep_quiet(given.is_set(Option::quiet, mode));
    try {
        // Each mode takes the options declared for it; one left over belongs to another.
        const auto checked = [&](auto args) {
            if (const auto left = given.not_taken(mode))
                throw UsageError(not_for_mode(log::option_specs()[*left], mode));
            return args;
        };
        switch (mode) {
        case Mode::log:
            return csv_log(checked(take_log(given)));
        case Mode::table:
            return table(checked(take_table(given)));
        case Mode::reading:
            break;
        }
        return one_reading(checked(take_reading(given)));
    } catch (const UsageError& error) {
        complain(std::string(error.what()) + " (vea --help)");
        return exit_usage;
    } catch (const log::LogError& error) {
        complain(log::worded(error.note(), remedy_words) + " (vea --help)");
        return exit_usage;
    }
}

} // namespace quemador::cli
