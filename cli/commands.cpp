#include "cli/commands.h"

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

    Outcome outcome;
    evaluate(reading, outcome);
    if (!outcome.shown()) {
        say(outcome.failure);
        return exit_not_calculated;
    }
    std::printf("Exceso de aire (%%): %s\nEficiencia (%%):     %s\n", outcome.excess_air.c_str(),
                outcome.efficiency.c_str());
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
    options.columns = {args.col_o2, args.col_temp, args.col_co2, args.col_fuel};
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
        args.col_fuel || args.all_results;
    forbid(log_option && !args.csv, "--codificacion, --col-… y --todos solo se usan con --csv");
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
