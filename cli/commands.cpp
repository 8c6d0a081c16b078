// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/commands.h"

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "cli/csv_log.h"
#include "cli/encoding.h"
#include "cli/names.h"
#include "cli/numbers.h"
#include "cli/reading.h"
#include "cli/table.h"
#include "cli/usage_error.h"

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

void say(std::string_view line)
{
    // Written whole: a field quoted in a message may hold any byte, a zero byte too.
    std::fputs("quemador1-calc: ", stderr);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
}

std::optional<Fuel> fuel_option(const Arguments& args)
{
    if (!args.fuel)
        return std::nullopt;
    const auto fuel = fuel_named(*args.fuel);
    if (!fuel)
        throw UsageError(unknown_fuel(*args.fuel) + " (use gas o fueloil)");
    return fuel;
}

double number_option(const std::optional<std::string>& text, std::string_view option)
{
    if (!text)
        throw UsageError("falta " + std::string(option));
    const auto value = parse_number(*text, DecimalComma::accepted);
    if (!value)
        throw UsageError(std::string(option) + " no es un número: «" + *text +
                         "» (escriba solo cifras, con punto o coma decimal)");
    return *value;
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

// A temperature option in °F: its value is in the unit of --temp.
std::optional<double> temperature_option(const std::optional<std::string>& text,
                                         std::string_view option, bool celsius)
{
    if (!text)
        return std::nullopt;
    const double value = number_option(text, option);
    return celsius ? celsius_to_fahrenheit(value) : value;
}

// A target oxygen reading the model describes: from 0 to below the air's.
std::optional<double> target_o2_option(const Arguments& args)
{
    if (!args.target_o2)
        return std::nullopt;
    const double o2 = number_option(args.target_o2, "--objetivo-o2");
    if (!(o2 >= 0.0 && o2 < oxygen_in_air))
        throw UsageError("--objetivo-o2 debe ser al menos 0 y menor que el " +
                         plain_number(oxygen_in_air) + " % del aire: «" + *args.target_o2 + "»");
    return o2;
}

// The air's temperature and the target, from --aire, --objetivo-o2 and --objetivo-temp.
Comparison comparison_options(const Arguments& args)
{
    Comparison comparison;
    comparison.air_f = temperature_option(args.air, "--aire", args.celsius);
    comparison.target_o2 = target_o2_option(args);
    comparison.target_temp_f =
        temperature_option(args.target_temp, "--objetivo-temp", args.celsius);
    return comparison;
}

// One line after the window's two: a figure as the window shows a result, and its basis.
void print_figure(const char* label, const std::string& value, const std::string& basis)
{
    // The values padded to one width, so that the bases start in one column.
    std::printf("%-30s%-7s  (%s)\n", label, value.c_str(), basis.c_str());
}

// The lines printed after the window's two: each figure with its basis.
void print_comparison(const Outcome& outcome, const AdviceStyle& style,
                      const Comparison& comparison)
{
    const std::string air = "aire a " +
        temperature_text(comparison.air_f.value_or(combustion_air_temp), style) +
        (comparison.air_f ? "" : ", supuesto");
    if (!outcome.net.empty())
        print_figure("Eficiencia neta (%):", outcome.net,
                     "sobre el PCI, fórmula de Siegert, " + air);
    if (!outcome.corrected.empty())
        print_figure("Eficiencia corregida (%):", outcome.corrected,
                     "sobre el PCS, con los humos menos el aire más 60 °F, " + air);
    if (outcome.target.empty())
        return;
    std::string target = "O2 " + plain_number(*comparison.target_o2) + " %";
    if (comparison.target_temp_f)
        target += ", humos a " + temperature_text(*comparison.target_temp_f, style);
    print_figure("Eficiencia en el objetivo (%):", outcome.target, "sobre el PCS, " + target);
    print_figure("Ahorro de combustible (%):", outcome.saving,
                 "1 − eficiencia / eficiencia en el objetivo, sobre el PCS");
}

int one_reading(const Arguments& args)
{
    const auto fuel = fuel_option(args);
    if (!fuel)
        throw UsageError("falta --combustible (gas o fueloil)");
    Reading reading;
    reading.fuel = *fuel;
    reading.o2 = number_option(args.o2, "--o2");
    const double temp = number_option(args.temp, "--temp");
    reading.temp_f = args.celsius ? celsius_to_fahrenheit(temp) : temp;
    if (args.co2)
        reading.co2 = number_option(args.co2, "--co2");

    const Comparison comparison = comparison_options(args);

    // The notices quote the readings as typed, and temperatures in the unit of --temp.
    AdviceStyle style;
    style.celsius = args.celsius;
    style.o2_text = *args.o2;
    style.temp_text = *args.temp;
    if (args.co2)
        style.co2_text = *args.co2;

    Outcome outcome;
    evaluate(reading, outcome, style, comparison);
    if (!outcome.shown()) {
        say(outcome.failure);
        return exit_not_calculated;
    }
    std::printf("Exceso de aire (%%): %s\nEficiencia (%%):     %s\n", outcome.excess_air.c_str(),
                outcome.efficiency.c_str());
    print_comparison(outcome, style, comparison);
    for (const auto& message : outcome.advice)
        std::fprintf(stderr, "aviso: %s\n", message.c_str());
    // The window shows numbers the model does not describe; the status says so.
    return finish_output(outcome.outside_model ? exit_not_calculated : exit_ok);
}

int table(const Arguments& args)
{
    TableOptions options;
    options.fuel = fuel_option(args).value_or(Fuel::natural_gas);
    options.unit = args.celsius ? TemperatureUnit::celsius : TemperatureUnit::fahrenheit;
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
    if (args.air)
        options.air = number_option(args.air, "--aire");
    if (args.separator) {
        const std::string& separator = *args.separator;
        if (separator != "," && separator != ";" && separator != "\t" && separator != "\\t")
            throw UsageError("separador no válido: «" + separator + "» (use , ; o \\t)");
        options.separator = separator == ";" ? ';' : separator == "," ? ',' : '\t';
    }

    std::string out;
    const int failures = write_table(options, out, say);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return finish_output(failures > 0 ? exit_not_calculated : exit_ok);
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

std::string rows_text(std::uint64_t count)
{
    return std::to_string(count) + (count == 1 ? " fila" : " filas");
}

// The summary's figures, one line each: every result over the rows calculated, and the
// analyser's efficiency beside the net one.
std::vector<std::string> summary_lines(const LogSummary& summary)
{
    std::vector<std::string> lines;
    for (const auto& [name, spread] : summary.results) {
        if (spread.count == 0)
            continue;
        lines.push_back(name + " en " + rows_text(spread.count) + ": media " +
                        shown_in_file(spread.mean(), summary.comma) + ", mínima " +
                        shown_in_file(spread.least, summary.comma) + ", máxima " +
                        shown_in_file(spread.greatest, summary.comma));
    }
    const Differences& difference = summary.analyser_difference;
    if (!summary.analyser_column.empty() && difference.count > 0)
        lines.push_back("«" + summary.analyser_column +
                        "» (el analizador) menos eficiencia_neta en " +
                        rows_text(difference.count) + ": media " +
                        shown_in_file(difference.mean(), summary.comma) + ", la mayor " +
                        shown_in_file(difference.largest, summary.comma) + " (línea " +
                        std::to_string(difference.largest_line) + ")");
    else if (!summary.analyser_column.empty())
        lines.push_back("«" + summary.analyser_column +
                        "» (el analizador): ninguna fila con su eficiencia y la neta");
    return lines;
}

// The summary as CSV, in the log's separator and decimal mark: a row for each result
// and one for the analyser's difference.
void write_summary(const std::string& path, const LogSummary& summary)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        throw UsageError("no se puede escribir el resumen en «" + path + "»");
    const std::string separator(1, summary.separator);
    std::string text = "resultado" + separator + "filas" + separator + "media" + separator +
        "minimo" + separator + "maximo\n";
    const auto row = [&](const std::string& name, const Spread& spread) {
        text += name + separator + std::to_string(spread.count);
        for (const double x : {spread.mean(), spread.least, spread.greatest})
            text += separator + (spread.count > 0 ? shown_in_file(x, summary.comma) : "");
        text += '\n';
    };
    for (const auto& [name, spread] : summary.results)
        row(name, spread);
    if (!summary.analyser_column.empty())
        row("analizador_menos_neta", summary.analyser_difference);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written)
        throw UsageError("no se pudo escribir el resumen en «" + path + "»");
}

std::FILE* open_log(const std::string& path)
{
    if (path == "-") {
        struct stat info {};
        if (fstat(STDIN_FILENO, &info) == 0 && S_ISDIR(info.st_mode))
            throw UsageError("la entrada estándar es una carpeta, no un archivo CSV");
        return stdin;
    }
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        throw UsageError("«" + path + "» es una carpeta, no un archivo CSV");
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        throw UsageError("no se puede abrir el archivo «" + path +
                         (errno == ENOENT ? "»: no existe" : "»: no se puede leer"));
    return file;
}

LogOptions log_options(const Arguments& args)
{
    LogOptions options;
    options.fuel = fuel_option(args);
    if (args.celsius)
        options.unit = TemperatureUnit::celsius;
    if (args.fahrenheit)
        options.unit = TemperatureUnit::fahrenheit;
    if (args.encoding) {
        options.encoding = encoding_named(*args.encoding);
        if (!options.encoding)
            throw UsageError("codificación desconocida: «" + *args.encoding +
                             "» (use utf-8, utf-16 o windows-1252)");
    }
    options.columns = {args.col_o2,   args.col_temp, args.col_co2,
                       args.col_fuel, args.col_air,  args.col_analyser};
    // In the log's unit, which the processor knows.
    if (args.air)
        options.air = number_option(args.air, "--aire");
    options.target_o2 = target_o2_option(args);
    if (args.target_temp)
        options.target_temp = number_option(args.target_temp, "--objetivo-temp");
    options.all_results = args.all_results;
    return options;
}

int csv_log(const Arguments& args)
{
    LogOptions options = log_options(args);
    std::FILE* file = open_log(*args.csv);
    struct stat info {};
    const std::uint64_t size =
        fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : 0;

    Progress progress(size);
    options.report = [&](std::string_view line) {
        progress.clear();
        say(line);
    };
    options.progress = [&](std::uint64_t rows, std::uint64_t bytes) {
        progress.update(rows, bytes);
    };

    FileSource input(file);
    FileSink output(stdout);
    LogSummary summary;
    try {
        summary = process_log(input, output, options);
    } catch (...) {
        if (file != stdin)
            std::fclose(file);
        throw;
    }
    progress.clear();
    const bool read_failed = std::ferror(file) != 0;
    if (file != stdin)
        std::fclose(file);
    for (const std::string& note : summary.notes)
        say(note);
    for (const std::string& line : summary_lines(summary))
        say(line);
    if (args.summary)
        write_summary(*args.summary, summary);
    say("filas leídas: " + std::to_string(summary.read) + ", calculadas: " +
        std::to_string(summary.calculated) + ", con aviso: " + std::to_string(summary.with_advice) +
        ", fuera de rango: " + std::to_string(summary.out_of_range) + ", con error: " +
        std::to_string(summary.with_errors) + ", reajustadas: " + std::to_string(summary.reshaped) +
        (summary.unclosed_quotes > 0
             ? ", con comillas sin cerrar: " + std::to_string(summary.unclosed_quotes)
             : ""));
    if (read_failed)
        say("error de lectura: el archivo no se leyó entero");
    return finish_output(summary.all_calculated() && !read_failed ? exit_ok : exit_not_calculated);
}

// Options that have no meaning together.
void check_combination(const Arguments& args)
{
    const auto forbid = [](bool given, const std::string& message) {
        if (given)
            throw UsageError(message);
    };
    forbid(args.celsius && args.fahrenheit, "--celsius y --fahrenheit se excluyen");
    forbid(args.csv && args.table, "--csv y --tabla se excluyen");
    for (const auto& [given, name] :
         {std::pair{args.o2.has_value(), "--o2"}, std::pair{args.co2.has_value(), "--co2"},
          std::pair{args.temp.has_value(), "--temp"}})
        forbid(args.csv && given,
               std::string(name) + " no se usa con --csv: las lecturas vienen del archivo");
    forbid(args.table && args.co2, "--co2 no se usa con --tabla");
    forbid(args.format && !args.table, "--formato solo se usa con --tabla");
    forbid(args.separator && args.format != "csv",
           "--separador solo se usa con --tabla --formato csv");
    const bool log_option = args.encoding || args.col_o2 || args.col_temp || args.col_co2 ||
        args.col_fuel || args.col_air || args.col_analyser || args.all_results || args.summary;
    forbid(log_option && !args.csv,
           "--codificacion, --col-…, --todos y --resumen solo se usan con --csv");
    forbid(args.base && !args.table, "--base solo se usa con --tabla");
    forbid(args.table && args.target_o2, "--objetivo-o2 no se usa con --tabla");
    forbid(args.target_temp && !args.target_o2, "--objetivo-temp solo se usa con --objetivo-o2");
}

} // namespace

int run(const Arguments& args)
{
    try {
        check_combination(args);
        if (args.csv)
            return csv_log(args);
        if (args.table)
            return table(args);
        return one_reading(args);
    } catch (const UsageError& error) {
        say(std::string(error.what()) + " (vea --help)");
        return exit_usage;
    }
}

} // namespace quemador::cli
