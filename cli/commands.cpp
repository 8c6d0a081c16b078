// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/commands.h"

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "cli/chart_svg.h"
#include "cli/summary_file.h"
#include "cli/table.h"
#include "cli/usage_error.h"
#include "log/log.h"
#include "log/log_error.h"
#include "log/reading.h"
#include "text/encoding.h"
#include "text/names.h"
#include "text/numbers.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quemador::cli {
namespace {

using log::TemperatureUnit;
using text::DecimalComma;

// Per-row messages on standard error, at most; the rows keep their notes in the output.
constexpr std::uint64_t max_row_reports = 100;

void say(std::string_view line)
{
    // Written whole, control characters escaped: a field quoted in a message may hold any
    // byte.
    const std::string shown = text::printable(line);
    std::fputs("quemador1-calc: ", stderr);
    std::fwrite(shown.data(), 1, shown.size(), stderr);
    std::fputc('\n', stderr);
}

Temperatures take_temperatures(Given& given)
{
    return {given.is_set("--celsius"), given.is_set("--fahrenheit"), given.text("--aire")};
}

std::optional<Fuel> fuel_option(const Text& text)
{
    if (!text)
        return std::nullopt;
    const auto fuel = log::fuel_named(*text);
    if (!fuel)
        throw UsageError(log::unknown_fuel(*text) + " (use gas o fueloil)");
    return fuel;
}

double number_option(const Text& text, std::string_view option)
{
    if (!text)
        throw UsageError("falta " + std::string(option));
    double value = 0.0;
    if (!text::parse_number(*text, DecimalComma::accepted, value))
        throw UsageError(std::string(option) + " no es un número: " + quoted(*text, 40) +
                         " (escriba solo cifras, con punto o coma decimal)");
    return value;
}

std::optional<double> optional_number(const Text& text, std::string_view option)
{
    if (!text)
        return std::nullopt;
    return number_option(text, option);
}

// Whether temperatures are in °C; --celsius and --fahrenheit exclude each other.
bool in_celsius(const Temperatures& temperatures)
{
    if (temperatures.celsius && temperatures.fahrenheit)
        throw UsageError("--celsius y --fahrenheit se excluyen");
    return temperatures.celsius;
}

// The status of a mode once its output is written: a write error on standard output
// (a full disk, a closed pipe) ends it with a message and status 1.
int finish_output(int status)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        say("no se pudo escribir la salida entera");
        return exit_not_calculated;
    }
    return status;
}

// A target oxygen reading the model describes: from 0 to below the air's.
std::optional<double> target_o2_option(const Text& text, const Text& target_temp)
{
    if (target_temp && !text)
        throw UsageError("--objetivo-temp solo se usa con --objetivo-o2");
    if (!text)
        return std::nullopt;
    const double o2 = number_option(text, "--objetivo-o2");
    if (!(o2 >= 0.0 && o2 < oxygen_in_air))
        throw UsageError("--objetivo-o2 debe ser al menos 0 y menor que el " +
                         plain_number(oxygen_in_air) + " % del aire: " + quoted(*text, 40));
    return o2;
}

// The lines after the window's two: each figure as the window shows a result, and its
// basis.
void print_figures(const log::Outcome& outcome, const AdviceStyle& style,
                   const log::Comparison& comparison)
{
    for (const log::Figure& figure : log::figures(outcome, style, comparison)) {
        // The values padded to one width, so that the bases start in one column.
        std::printf("%-30.*s%-7.*s  (%s)\n", static_cast<int>(figure.label.size()),
                    figure.label.data(), static_cast<int>(figure.value.size()), figure.value.data(),
                    figure.basis.c_str());
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
    reading.o2 = number_option(args.o2, "--o2");
    reading.temp_f = in_fahrenheit(number_option(args.temp, "--temp"));
    reading.co2 = optional_number(args.co2, "--co2");
    reading.co_ppm = optional_number(args.co, "--co");

    log::Comparison comparison;
    if (const auto air = optional_number(args.temperatures.air, "--aire"))
        comparison.air_f = in_fahrenheit(*air);
    comparison.target_o2 = target_o2_option(args.target_o2, args.target_temp);
    if (const auto target = optional_number(args.target_temp, "--objetivo-temp"))
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

    log::Outcome outcome;
    log::evaluate(reading, outcome, style, comparison);
    if (!outcome.shown()) {
        say(outcome.failure);
        return exit_not_calculated;
    }
    std::printf("Exceso de aire (%%): %s\nEficiencia (%%):     %s\n", outcome.excess_air.c_str(),
                outcome.efficiency.c_str());
    print_figures(outcome, style, comparison);
    for (const auto& message : outcome.advice) {
        const std::string shown = text::printable(message);
        std::fprintf(stderr, "aviso: %s\n", shown.c_str());
    }
    // The window shows numbers the model does not describe; the status says so.
    return finish_output(outcome.outside_model || outcome.doubtful ? exit_not_calculated : exit_ok);
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
    const std::string format = args.format.value_or("texto");
    if (format != "texto" && format != "csv")
        throw UsageError("formato desconocido: «" + format + "» (use texto o csv)");
    options.format = format == "csv" ? TableFormat::csv : TableFormat::text;
    const std::string base = args.base.value_or("bruta");
    if (base != "bruta" && base != "neta")
        throw UsageError("base desconocida: «" + base + "» (use bruta o neta)");
    options.net = base == "neta";
    options.air = optional_number(args.temperatures.air, "--aire");
    if (args.separator) {
        const std::string& separator = *args.separator;
        if (options.format != TableFormat::csv)
            throw UsageError("--separador solo se usa con --tabla --formato csv");
        if (separator != "," && separator != ";" && separator != "\t" && separator != "\\t")
            throw UsageError("separador no válido: «" + separator + "» (use , ; o \\t)");
        options.separator = separator == ";" ? ';' : separator == "," ? ',' : '\t';
    }

    std::string out;
    const int marked = write_table(options, out, say);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return finish_output(marked > 0 ? exit_not_calculated : exit_ok);
}

// Progress on a terminal: rows read and, for a file of known size, the share of it;
// a few times a second once the run has lasted a moment.
class Progress {
public:
    explicit Progress(std::uint64_t total_bytes)
        : shown_(isatty(STDERR_FILENO) == 1), total_(total_bytes), last_(Clock::now())
    {
    }

    void update(std::uint64_t rows, std::uint64_t bytes)
    {
        if (!shown_)
            return;
        const auto now = Clock::now();
        if (now - last_ < std::chrono::milliseconds(250))
            return;
        last_ = now;
        line_ = true;
        if (total_ > 0)
            std::fprintf(stderr, "\r%llu filas (%llu %%)", static_cast<unsigned long long>(rows),
                         static_cast<unsigned long long>(bytes * 100 / total_));
        else
            std::fprintf(stderr, "\r%llu filas", static_cast<unsigned long long>(rows));
    }

    // Clears the progress line before a message or at the end.
    void clear()
    {
        if (line_)
            std::fputs("\r\033[K", stderr);
        line_ = false;
    }

private:
    using Clock = std::chrono::steady_clock;
    bool shown_;
    bool line_ = false;
    std::uint64_t total_;
    Clock::time_point last_;
};

// The log's file, open for reading; standard input for "-".
class LogFile {
public:
    explicit LogFile(const std::string& path)
    {
        if (path == "-") {
            struct stat info {};
            if (fstat(STDIN_FILENO, &info) == 0 && S_ISDIR(info.st_mode))
                throw UsageError("la entrada estándar es una carpeta, no un archivo CSV");
            file_ = stdin;
            return;
        }
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            throw UsageError("«" + path + "» es una carpeta, no un archivo CSV");
        file_ = std::fopen(path.c_str(), "rb");
        if (file_ == nullptr)
            throw UsageError("no se puede abrir el archivo «" + path +
                             (errno == ENOENT ? "»: no existe" : "»: no se puede leer"));
    }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile()
    {
        if (file_ != stdin)
            std::fclose(file_);
    }

    [[nodiscard]] std::FILE* get() const { return file_; }
    // The size of a regular file; 0 for anything else.
    [[nodiscard]] std::uint64_t size() const
    {
        struct stat info {};
        return fstat(fileno(file_), &info) == 0 && S_ISREG(info.st_mode)
            ? static_cast<std::uint64_t>(info.st_size)
            : 0;
    }

private:
    std::FILE* file_ = nullptr;
};

log::LogOptions log_options(const LogArgs& args)
{
    log::LogOptions options;
    options.fuel = fuel_option(args.fuel);
    if (in_celsius(args.temperatures))
        options.unit = TemperatureUnit::celsius;
    if (args.temperatures.fahrenheit)
        options.unit = TemperatureUnit::fahrenheit;
    if (args.encoding) {
        options.encoding = text::encoding_named(*args.encoding);
        if (!options.encoding)
            throw UsageError("codificación desconocida: «" + *args.encoding +
                             "» (use utf-8, utf-16 o windows-1252)");
    }
    options.columns = args.columns;
    // In the log's unit, which the log's reading knows.
    options.air = optional_number(args.temperatures.air, "--aire");
    options.target_o2 = target_o2_option(args.target_o2, args.target_temp);
    options.target_temp = optional_number(args.target_temp, "--objetivo-temp");
    options.all_results = args.all_results;
    if (args.grouping) {
        const std::string& grouping = *args.grouping;
        if (grouping == "caldera")
            options.grouping = log::Grouping::boiler;
        else if (grouping == "mes")
            options.grouping = log::Grouping::month;
        else if (grouping == "ninguno")
            options.grouping = log::Grouping::none;
        else
            throw UsageError("agrupación desconocida: " + quoted(grouping, 40) +
                             " (use caldera, mes o ninguno)");
    }
    return options;
}

// The name a log goes by in its chart's title: its file's, or "la entrada estándar".
std::string log_name(const std::string& path)
{
    return path == "-" ? "la entrada estándar" : std::filesystem::path(path).filename().string();
}

int csv_log(const LogArgs& args)
{
    log::LogOptions options = log_options(args);
    const LogFile file(args.file);
    // Checked, and its file made, before anything is read.
    std::optional<SummaryFile> summary_file;
    if (args.summary)
        summary_file.emplace(*args.summary, file.get());
    std::optional<SummaryFile> chart_file;
    log::ChartData chart;
    if (args.chart) {
        chart_file.emplace(*args.chart, file.get(), "--grafico", "el gráfico");
        options.chart = &chart;
    }

    Progress progress(file.size());
    std::uint64_t reports = 0;
    options.report = [&](std::string_view line) {
        if (++reports > max_row_reports)
            return;
        progress.clear();
        say(line);
    };
    options.progress = [&](std::uint64_t rows, std::uint64_t bytes) {
        progress.update(rows, bytes);
    };

    text::FileSource input(file.get());
    text::FileSink output(stdout);
    const log::LogSummary summary = log::process_log(input, output, options);
    progress.clear();
    const bool read_failed = std::ferror(file.get()) != 0;
    if (reports > max_row_reports)
        say("… y " + std::to_string(reports - max_row_reports) +
            " filas más sin resultado: cada una dice por qué en la columna aviso");
    for (const std::string& line : log::closing_lines(summary))
        say(line);
    std::optional<log::Chart> drawn;
    if (chart_file) {
        drawn = chart.chart(log_name(args.file));
        for (const std::string& line : log::chart_notes(*drawn))
            say(line);
    }
    bool summary_written = true;
    if (summary_file && !summary_file->commit(log::summary_csv(summary))) {
        say("no se pudo escribir el resumen en «" + *args.summary + "»: " + summary_file->error());
        summary_written = false;
    }
    if (chart_file && !chart_file->commit(chart_svg(*drawn))) {
        say("no se pudo escribir el gráfico en «" + *args.chart + "»: " + chart_file->error());
        summary_written = false;
    }
    say(log::counts_line(summary));
    if (read_failed)
        say("error de lectura: el archivo no se leyó entero");
    return finish_output(
        summary.complete() && !read_failed && summary_written ? exit_ok : exit_not_calculated);
}

// The modes, by the option that chooses them.
enum class Mode { reading, table, log };

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

void take(Mode mode, Given& given)
{
    switch (mode) {
    case Mode::reading:
        take_reading(given);
        return;
    case Mode::table:
        take_table(given);
        return;
    case Mode::log:
        take_log(given);
        return;
    }
}

// What is said of an option the mode does not take: the modes it belongs to.
std::string not_for_mode(std::string_view option, Mode mode)
{
    if (option == "--tabla")
        return "--csv y --tabla se excluyen";
    std::vector<Mode> modes;
    for (const Mode other : {Mode::reading, Mode::table, Mode::log}) {
        // A mode takes an option when it does not leave it over.
        Given given;
        const auto& specs = option_specs();
        for (std::size_t i = 0; i < specs.size(); ++i) {
            if (specs[i].name() == option) {
                if (specs[i].flag())
                    given.flag(i) = true;
                else
                    given.value(i) = "";
            }
        }
        take(other, given);
        if (given.not_taken().empty())
            modes.push_back(other);
    }
    std::string message(option);
    if (modes.size() == 1)
        return message + " solo se usa " + std::string(mode_text(modes.front()));
    message += " no se usa " + std::string(mode_text(mode));
    if (mode == Mode::log && (option == "--o2" || option == "--co2" || option == "--temp"))
        message += ": las lecturas vienen del archivo";
    return message;
}

} // namespace

ReadingArgs take_reading(Given& given)
{
    ReadingArgs args;
    args.fuel = given.text("--combustible");
    args.o2 = given.text("--o2");
    args.co2 = given.text("--co2");
    args.co = given.text("--co");
    args.temp = given.text("--temp");
    args.temperatures = take_temperatures(given);
    args.target_o2 = given.text("--objetivo-o2");
    args.target_temp = given.text("--objetivo-temp");
    return args;
}

TableArgs take_table(Given& given)
{
    TableArgs args;
    given.is_set("--tabla");
    args.fuel = given.text("--combustible");
    args.o2 = given.text("--o2");
    args.temp = given.text("--temp");
    args.temperatures = take_temperatures(given);
    args.format = given.text("--formato");
    args.separator = given.text("--separador");
    args.base = given.text("--base");
    return args;
}

LogArgs take_log(Given& given)
{
    LogArgs args;
    args.file = given.text("--csv").value_or("");
    args.fuel = given.text("--combustible");
    args.temperatures = take_temperatures(given);
    args.encoding = given.text("--codificacion");
    for (const log::ColumnKind& kind : log::column_kinds())
        args.columns.at(static_cast<std::size_t>(kind.column)) = given.text(kind.option);
    args.all_results = given.is_set("--todos");
    args.target_o2 = given.text("--objetivo-o2");
    args.target_temp = given.text("--objetivo-temp");
    args.summary = given.text("--resumen");
    args.grouping = given.text("--agrupar");
    args.chart = given.text("--grafico");
    return args;
}

int run(Given given)
{
    const Mode mode = given.has("--csv") ? Mode::log
        : given.has("--tabla")           ? Mode::table
                                         : Mode::reading;
    try {
        // Each mode takes its options; one left over belongs to another.
        const auto checked = [&](auto args) {
            if (const auto left = given.not_taken(); !left.empty())
                throw UsageError(not_for_mode(left.front(), mode));
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
        say(std::string(error.what()) + " (vea --help)");
        return exit_usage;
    } catch (const log::LogError& error) {
        say(std::string(error.what()) + " (vea --help)");
        return exit_usage;
    }
}

} // namespace quemador::cli
