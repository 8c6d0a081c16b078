// SPDX-License-Identifier: GPL-3.0-or-later
#include "web/log_page.h"

#include "calculation/calculate_command.h"
#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "log/chart.h"
#include "log/json.h"
#include "log/log.h"
#include "log/log_error.h"
#include "log/options.h"
#include "log/run_report.h"
#include "text/encoding.h"
#include "text/names.h"
#include "text/number_column.h"
#include "text/numbers.h"
#include "web/chart_json.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <exception>
#include <iterator>
#include <optional>
#include <vector>

namespace quemador::web {
namespace {

using log::Option;

// How the page names the control of an option in a message.
std::string_view control_name(Option option)
{
    switch (option) {
    case Option::air:
        return "El aire de combustión";
    case Option::target_o2:
        return "El O2 objetivo";
    case Option::target_temp:
        return "Los humos objetivo";
    case Option::grouping:
        return "El resumen";
    case Option::encoding:
        return "La codificación";
    case Option::date_order:
        return "El formato de fecha";
    default:
        break;
    }
    return "El combustible";
}

// What is wrong with a control's value, naming the control.
std::string fault_text(const log::OptionSpec& spec, const log::OptionFault& fault)
{
    std::string name(control_name(spec.option));
    switch (fault.kind) {
    case log::OptionFault::Kind::not_a_number:
        return name + " no es un número: " + quoted(fault.text, 40) +
            " (escriba solo cifras, con punto o coma decimal)";
    case log::OptionFault::Kind::out_of_range:
        name.front() = static_cast<char>(name.front() - 'A' + 'a');
        return name + " " + log::range_text(spec, text::DecimalComma::accepted) + ": " +
            quoted(fault.text, 40);
    case log::OptionFault::Kind::unknown:
        break;
    }
    return name + ": " + std::string(spec.unknown) + " " + quoted(fault.text, 40) + " (use " +
        std::string(spec.use) + ")";
}

// Sets one option of the log from its control's value, read by its declaration.
void set_option(const log::OptionSpec& spec, const nlohmann::json& given, log::LogOptions& options)
{
    if (spec.kind == log::ValueKind::flag) {
        if (!given.is_boolean() || !given.get<bool>())
            return;
        if (spec.option == Option::all_results)
            options.all_results = true;
        else
            options.unit = spec.option == Option::celsius ? log::TemperatureUnit::celsius
                                                          : log::TemperatureUnit::fahrenheit;
        return;
    }
    if (!given.is_string() || text::is_blank(given.get<std::string>()))
        return;
    const std::string text(text::trimmed(given.get<std::string>()));
    const log::OptionValue value = log::read_option(spec, text);
    if (value.fault)
        throw log::LogError(fault_text(spec, *value.fault));
    switch (spec.option) {
    case Option::fuel:
        options.fuel = static_cast<Fuel>(value.choice);
        return;
    case Option::encoding:
        options.encoding = static_cast<text::Encoding>(value.choice);
        return;
    case Option::air:
        options.air = value.number;
        return;
    case Option::target_o2:
        options.target_o2 = value.number;
        return;
    case Option::target_temp:
        options.target_temp = value.number;
        return;
    case Option::grouping:
        options.grouping = log::grouping_chosen(value);
        return;
    case Option::date_order:
        options.date_order = log::date_order_chosen(value);
        return;
    case Option::column:
        options.columns.at(static_cast<std::size_t>(*spec.column)) = text;
        return;
    case Option::figures:
        options.figures = value.figures;
        return;
    case Option::alert_drop:
        options.judging.drop = value.number;
        return;
    case Option::minimum:
        options.judging.minimum = value.number;
        return;
    default:
        return;
    }
}

// The log's options from a request, by the declarations of the log's options.
log::LogOptions options_of(const nlohmann::json& request)
{
    log::LogOptions options;
    for (const log::OptionSpec& spec : log::option_specs()) {
        const auto given = request.find(spec.key());
        if (spec.takes(log::Mode::log) && given != request.end())
            set_option(spec, *given, options);
    }
    if (options.target_temp && !options.target_o2)
        throw log::LogError("los humos objetivo cuentan solo con un O2 objetivo");
    return options;
}

void write_strings(Json& json, const std::vector<std::string>& texts)
{
    json.open('[');
    for (const std::string& text : texts)
        json.value(text);
    json.close(']');
}

// A row with notes as the page lists it: an excerpt of the row, so that a row of half a
// million columns takes no more than a short one.
struct Notice {
    std::uint64_t line = 0;
    std::string notes;
    std::vector<std::uint64_t> numbers; // of the columns kept, from 1
    std::vector<std::string> header;
    std::vector<std::string> fields;
    std::uint64_t left_out = 0; // columns
};

Notice excerpt(const log::RowNotice& row)
{
    Notice notice;
    notice.line = row.line;
    notice.notes = text::printable(row.notes);
    const std::size_t width = std::max(row.header.size(), row.fields.size());
    const auto kept = [&](std::size_t k) {
        return k < excerpt_columns ||
            std::find(row.columns.begin(), row.columns.end(), k) != row.columns.end();
    };
    for (std::size_t k = 0; k < width; ++k) {
        if (!kept(k)) {
            ++notice.left_out;
            continue;
        }
        notice.numbers.push_back(k + 1);
        notice.header.push_back(
            k < row.header.size() ? text::shortened(row.header[k], excerpt_chars) : "");
        notice.fields.push_back(
            k < row.fields.size() ? text::shortened(row.fields[k], excerpt_chars) : "");
    }
    return notice;
}

} // namespace

std::string control_words(const log::Remedy& remedy)
{
    using Ask = log::Remedy::Ask;
    using Setting = log::Remedy::Setting;
    const std::string column =
        "en Más opciones, Columna: " + std::string(log::kind_of(remedy.column).what);
    switch (remedy.ask) {
    case Ask::set:
        return "elija " + remedy.value +
            (remedy.setting == Setting::unit           ? " en Temperaturas"
                 : remedy.setting == Setting::encoding ? " en Más opciones, Codificación"
                                                       : " en Más opciones, Formato de fecha");
    case Ask::give:
        return remedy.setting == Setting::fuel ? "elija uno en Combustible de las filas sin él"
                                               : "elíjala en Más opciones, Codificación";
    case Ask::set_by:
        return remedy.setting == Setting::unit ? "según Temperaturas"
                                               : "según Más opciones, Formato de fecha";
    case Ask::name_column:
        return "nómbrela " + column;
    case Ask::which_column:
        return "diga cuál " + column + " (nombre o número)";
    case Ask::for_column:
        return "para la Columna: " + std::string(log::kind_of(remedy.column).what) +
            " de Más opciones";
    case Ask::control:
        return remedy.setting == Setting::air ? "Aire de combustión" : "O2 objetivo";
    case Ask::name_readings:
        break;
    }
    return "diga qué columna es cada lectura en Más opciones, Columna: O2 y Columna: "
           "temperatura (nombre o número)";
}

namespace {

// Bytes as base64: a file in any encoding carried in the JSON answer.
std::string base64(std::string_view bytes)
{
    static constexpr std::string_view digits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v = v << 8U | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0U);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? digits[(v >> (18 - 6 * k)) & 63U] : '=';
    }
    return out;
}

// The consumptions a request gives: [{"caldera", "kwh", "precio"}], as typed in the
// boxes; a row without both figures is left out. A figure that cannot be read, reads two
// ways or is past the bounds of a consumptions file leaves its boiler without money, and
// faults says why, so that the boxes can be mended.
std::vector<log::Consumption> consumptions_of(const nlohmann::json& request,
                                              std::vector<std::string>& faults)
{
    std::vector<log::Consumption> out;
    const auto given = request.find("consumos");
    if (given == request.end() || !given->is_array())
        return out;
    // The boxes filled in, each boiler's consumption and price.
    struct Typed {
        std::string boiler;
        std::string kwh;
        std::string price;
    };
    std::vector<Typed> typed;
    for (const auto& row : *given) {
        if (!row.is_object())
            continue;
        const auto text = [&row](const char* key) {
            const auto at = row.find(key);
            return at != row.end() && at->is_string()
                ? std::string(text::trimmed(at->get<std::string>()))
                : std::string();
        };
        Typed one{text("caldera"), text("kwh"), text("precio")};
        if (!one.kwh.empty() && !one.price.empty())
            typed.push_back(std::move(one));
    }
    // As a consumptions file's figures: one decimal mark for all the boxes, settled by
    // those that read one way only; a figure that reads two ways is not guessed.
    text::NumberColumn column;
    for (const Typed& one : typed) {
        column.read(one.kwh, 0);
        column.read(one.price, 0);
    }
    for (const Typed& one : typed) {
        const auto figure = [&](const std::string& cell, std::string_view what, double bound,
                                std::string_view past) -> std::optional<double> {
            const text::NumberColumn::Read got = column.read(cell, 0);
            const std::string named =
                "«" + one.boiler + "», " + std::string(what) + " «" + cell + "»";
            if (got.state == text::NumberColumn::State::waiting)
                faults.push_back(named +
                                 ": puede leerse de dos maneras; escríbalo sin separador de "
                                 "miles, o con sus decimales.");
            else if (got.state != text::NumberColumn::State::number || !(got.value >= 0))
                faults.push_back(named + ": no es una cifra que se pueda leer.");
            else if (got.value > bound)
                faults.push_back(named + ": pasa de " + std::string(past) + ".");
            else
                return got.value;
            return std::nullopt;
        };
        const auto kwh = figure(one.kwh, "consumo", log::max_yearly_kwh, "10 TWh al año");
        const auto price = figure(one.price, "precio", log::max_kwh_price, "10 € el kWh");
        if (kwh && price)
            out.push_back({one.boiler, *kwh, *price});
    }
    return out;
}

void write_verdict(Json& json, const log::Verdict& verdict, const log::LogSummary& summary,
                   const std::vector<std::string>& consumption_faults)
{
    json.key("veredicto");
    json.open('{');
    json.key("columnas");
    json.open('[');
    const auto shown = log::verdict_shown(verdict);
    const auto columns = log::verdict_columns(verdict);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        json.open('{');
        json.member("id", columns[c].id);
        json.member("nombre", columns[c].header);
        json.member("mostrar", static_cast<bool>(shown[c]));
        json.close('}');
    }
    json.close(']');
    json.key("filas");
    json.open('[');
    for (const auto& row : log::verdict_rows(verdict, text::DecimalComma::accepted))
        write_strings(json, row);
    json.close(']');
    json.key("alertas");
    json.open('[');
    for (const log::Alert& alert : verdict.alerts) {
        json.open('{');
        json.member("caldera", alert.boiler);
        json.member("texto", log::alert_text(alert, text::DecimalComma::accepted));
        json.close('}');
    }
    json.close(']');
    json.member("dinero", verdict.money && verdict.saving_given);
    json.member("total_kwh", verdict.total_kwh);
    json.member("total_eur", verdict.total_eur);
    json.member("supone", log::money_assumptions());
    json.key("consumos_sin_leer");
    write_strings(json, consumption_faults);
    json.close('}');
    // Each boiler's months: rows, mean gross and net, rows with notices.
    json.key("meses");
    json.open('[');
    for (const log::Group& group : summary.months) {
        const auto mean = [&group](FigureKind figure) {
            const std::string_view id = figure_facts(figure).id;
            for (const auto& [name, spread] : group.results) {
                if (name == id && spread.count > 0) {
                    std::string shown = shown_result(spread.mean());
                    return std::string(text::in_file(shown, text::DecimalComma::accepted));
                }
            }
            return std::string();
        };
        json.open('{');
        json.member("caldera", group.boiler);
        json.member("mes", log::month_text(group.month));
        json.member_count("filas", group.read);
        json.member("bruta", mean(FigureKind::efficiency));
        json.member("neta", mean(FigureKind::net));
        json.member_count("avisos", group.with_notices);
        json.close('}');
    }
    json.close(']');
}

// The names of the files a request reads, one after the other; none for one file.
std::vector<std::string> names_of(const nlohmann::json& request)
{
    std::vector<std::string> names;
    if (const auto many = request.find("nombres"); many != request.end() && many->is_array()) {
        std::transform(many->begin(), many->end(), std::back_inserter(names),
                       [](const nlohmann::json& name) {
                           return name.is_string() ? name.get<std::string>() : std::string();
                       });
    }
    return names;
}

// A file of several that could not be read: its place among them, its name and why.
struct LeftOut {
    std::size_t index = 0;
    std::string name;
    std::string reason;
};

// The name of the request's file of that number, for the report.
std::string file_name(const nlohmann::json& request, const std::vector<std::string>& names,
                      std::size_t i)
{
    if (i < names.size())
        return names[i];
    const auto name = request.find("nombre");
    return name != request.end() && name->is_string() ? name->get<std::string>() : std::string();
}

// Each file of several as quemador1-calc reads them, into one summary: its notes after
// its name. One that cannot be read is left out, with why, and the others are read; the
// names of those read go to read. Each file's outcome goes to the report.
log::LogSummary read_logs(text::ByteSource& input, text::ByteSink& output,
                          const log::LogOptions& options, const nlohmann::json& request,
                          const std::vector<std::string>& names, const std::function<bool()>& next,
                          std::vector<std::string>& read, std::vector<LeftOut>& left_out,
                          log::RunReport& report)
{
    log::LogSummary summary;
    for (std::size_t i = 0;; ++i) {
        const std::string name = file_name(request, names, i);
        log::LogSummary one;
        bool unread = false;
        try {
            one = log::process_log(input, output, options);
        } catch (const log::LogError& error) {
            report.logs.push_back(log::failed_outcome(name, error.note()));
            if (names.size() < 2)
                throw;
            left_out.push_back({i, name, log::worded(error.note(), control_words)});
            unread = true;
        }
        if (!unread) {
            report.logs.push_back(log::read_outcome(name, one));
            if (read.empty()) {
                summary = std::move(one);
                if (names.size() > 1)
                    summary.notes.insert(summary.notes.begin(),
                                         log::Note("registro «" + name + "»:"));
            } else {
                log::merge_summary(summary, one, name);
            }
            read.push_back(name);
        }
        if (next())
            continue;
        if (read.empty())
            throw log::LogError("no se pudo leer ninguno de los registros: «" +
                                left_out.front().name + "»: " + left_out.front().reason);
        return summary;
    }
}

// The files left out, as the answer gives them.
void write_left_out(Json& json, const std::vector<LeftOut>& left_out)
{
    json.key("omitidos");
    json.open('[');
    for (const LeftOut& log : left_out) {
        json.open('{');
        json.member_count("indice", log.index);
        json.member("nombre", log.name);
        json.member("error", log.reason);
        json.close('}');
    }
    json.close(']');
}

// The run's report as a member of the answer.
void write_run_report(Json& json, const log::RunReport& report)
{
    json.key("informe");
    json.open('{');
    log::write_report(json, report, control_words);
    json.close('}');
}

// The answer of a request that could not be read: its status and why, and the report
// of the files read until then.
std::string failed(Json& json, std::string_view why, log::RunReport& report)
{
    json.member_count("estado", 2);
    json.member("error", why);
    report.status = 2;
    write_run_report(json, report);
    json.close('}');
    return json.take();
}

// The chart's title: how many logs and those left out, or the one's name when the
// request gives it.
std::string chart_title(const nlohmann::json& request, const std::vector<std::string>& read,
                        const std::vector<LeftOut>& left_out)
{
    if (read.size() + left_out.size() > 1) {
        std::vector<std::string> left_names;
        std::transform(left_out.begin(), left_out.end(), std::back_inserter(left_names),
                       [](const LeftOut& log) { return log.name; });
        return log::logs_title(read, left_names);
    }
    const auto name = request.find("nombre");
    return name != request.end() && name->is_string() ? name->get<std::string>() : std::string();
}

// The lines as quemador1-calc shows them, with the chart's own.
std::vector<std::string> lines_of(const log::LogSummary& summary, const log::Verdict& verdict,
                                  const log::Chart& drawn, const std::vector<LeftOut>& left_out)
{
    std::vector<std::string> lines;
    std::transform(
        left_out.begin(), left_out.end(), std::back_inserter(lines),
        [](const LeftOut& log) { return "registro «" + log.name + "» sin leer: " + log.reason; });
    const std::vector<std::string> judged = log::verdict_lines(verdict, summary.comma);
    lines.insert(lines.end(), judged.begin(), judged.end());
    const std::vector<std::string> closing = log::closing_lines(summary, control_words);
    lines.insert(lines.end(), closing.begin(), closing.end());
    const std::vector<std::string> notes = log::chart_notes(drawn);
    lines.insert(lines.end(), notes.begin(), notes.end());
    for (std::string& line : lines)
        line = text::printable(line);
    return lines;
}

// The rows with notices listed, and how many there were.
void write_notices(Json& json, const std::vector<Notice>& notices, std::uint64_t count)
{
    json.member_count("avisos_total", count);
    json.key("avisos");
    json.open('[');
    for (const Notice& notice : notices) {
        json.open('{');
        json.member_count("linea", notice.line);
        json.member("aviso", notice.notes);
        json.key("columnas");
        json.open('[');
        for (const std::uint64_t number : notice.numbers)
            json.count(number);
        json.close(']');
        json.key("encabezado");
        write_strings(json, notice.header);
        json.key("campos");
        write_strings(json, notice.fields);
        json.member_count("omitidas", notice.left_out);
        json.close('}');
    }
    json.close(']');
}

} // namespace

std::string run_log_json(std::string_view request, text::ByteSource& input, text::ByteSink& output,
                         const std::function<void(std::uint64_t, std::uint64_t)>& progress,
                         const std::function<bool()>& next)
{
    const auto asked = nlohmann::json::parse(request, nullptr, false);
    Json json;
    json.open('{');
    std::vector<Notice> notices;
    std::uint64_t notice_count = 0;
    log::ChartData chart;
    log::LogSummary summary;
    log::LogOptions options;
    std::vector<std::string> read;
    std::vector<LeftOut> left_out;
    log::RunReport report;
    std::vector<std::string> consumption_faults;
    try {
        if (!asked.is_object())
            throw log::LogError("la petición no es un objeto JSON");
        options = options_of(asked);
        options.judging.consumptions = consumptions_of(asked, consumption_faults);
        options.verdict = options.judging.drop || options.judging.minimum ||
            !options.judging.consumptions.empty();
        options.progress = progress;
        options.chart = &chart;
        options.notice = [&](const log::RowNotice& row) {
            if (++notice_count > listed_notices)
                return;
            notices.push_back(excerpt(row));
        };
        const std::vector<std::string> names = names_of(asked);
        summary = read_logs(input, output, options, asked, names, next, read, left_out, report);
    } catch (const log::LogError& error) {
        return failed(json, log::worded(error.note(), control_words), report);
    } catch (const std::exception& error) {
        // Out of memory and the like.
        return failed(json, error.what(), report);
    }
    // The worst status: a file left out is one that cannot be read.
    const int status = !left_out.empty() ? 2 : summary.complete() ? 0 : 1;
    json.member_count("estado", static_cast<std::uint64_t>(status));
    write_left_out(json, left_out);
    const log::Verdict verdict = log::judge(summary, options.judging);
    report.status = status;
    report.summary = &summary;
    report.verdict = summary.months.empty() && !options.verdict ? nullptr : &verdict;
    log::Chart drawn = chart.chart(chart_title(asked, read, left_out));
    log::mark_alerts(drawn, verdict, text::DecimalComma::accepted);
    json.key("lineas");
    write_strings(json, lines_of(summary, verdict, drawn, left_out));
    json.member("cuentas", log::counts_line(summary));
    const log::Verdict* judged = summary.months.empty() ? nullptr : &verdict;
    json.key("tabla");
    json.open('[');
    for (const auto& row : log::summary_table(summary, judged))
        write_strings(json, row);
    json.close(']');
    json.member("resumen_archivo", base64(log::summary_file(summary, judged)));
    write_verdict(json, verdict, summary, consumption_faults);
    write_notices(json, notices, notice_count);
    json.key("grafico");
    write_chart(json, drawn);
    write_run_report(json, report);
    json.close('}');
    return json.take();
}

} // namespace quemador::web
