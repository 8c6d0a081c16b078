// SPDX-License-Identifier: GPL-3.0-or-later
// The log mode: one log or several read as one, their results, summary, chart and report.
#include "cli/log_command.h"

#include "cli/chart_svg.h"
#include "cli/option_values.h"
#include "cli/report_pdf.h"
#include "cli/summary_file.h"
#include "cli/usage_error.h"
#include "log/log.h"
#include "log/log_error.h"
#include "text/encoding.h"
#include "text/names.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <numeric>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quemador::cli {
namespace {

using log::TemperatureUnit;

// Per-row messages on standard error, at most; the rows keep their notes in the output.
constexpr std::uint64_t max_row_reports = 100;

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
    if (args.encoding)
        options.encoding =
            static_cast<text::Encoding>(read(args.encoding, Option::encoding).choice);
    if (args.date_order)
        options.date_order = log::date_order_chosen(read(args.date_order, Option::date_order));
    options.columns = args.columns;
    // In the log's unit, which the log's reading knows.
    options.air = optional_number(args.temperatures.air, Option::air);
    options.target_o2 = target_o2_option(args.target_o2, args.target_temp);
    options.target_temp = optional_number(args.target_temp, Option::target_temp);
    options.all_results = args.all_results;
    if (args.grouping)
        options.grouping = log::grouping_chosen(read(args.grouping, Option::grouping));
    options.figures = figures_option(args.figures);
    options.threads = args.threads
        ? static_cast<std::size_t>(read(args.threads, Option::threads).number)
        : std::max(1U, std::thread::hardware_concurrency());
    options.judging.drop = optional_number(args.alert_drop, Option::alert_drop);
    options.judging.minimum = optional_number(args.minimum, Option::minimum);
    if (args.consumption && !options.target_o2)
        throw UsageError("--consumos necesita --objetivo-o2: el ahorro se cuenta hasta ese O2");
    options.verdict =
        options.judging.drop || options.judging.minimum || args.consumption || args.report;
    return options;
}

// The consumptions of --consumos: the whole file, or a refusal that says why. A file
// larger than any list of boilers could be is refused by its size rather than read.
std::vector<log::Consumption> consumptions_of(const std::string& path)
{
    constexpr std::uint64_t max_bytes = 64U << 20U;
    const std::string named = "el archivo de --consumos «" + path + "»";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        throw UsageError("no se puede abrir " + named +
                         (errno == ENOENT ? ": no existe" : ": no se puede leer"));
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closed(file, &std::fclose);
    struct stat info {};
    if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode))
        throw UsageError("«" + path + "» es una carpeta, no un archivo de --consumos");
    if (S_ISREG(info.st_mode) && static_cast<std::uint64_t>(info.st_size) > max_bytes)
        throw UsageError(named + " ocupa " + std::to_string(info.st_size) +
                         " bytes: uno de consumos no pasa de 64 MiB");
    std::string text;
    std::array<char, 65536> buffer{};
    std::size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        text.append(buffer.data(), n);
        if (text.size() > max_bytes)
            throw UsageError(named + " pasa de 64 MiB: uno de consumos no es tan grande");
    }
    if (std::ferror(file) != 0)
        throw UsageError("no se puede leer " + named);
    log::ConsumptionsRead got = log::read_consumptions(text);
    if (got.fault)
        throw UsageError("--consumos «" + path + "», " + *got.fault);
    return std::move(got.consumptions);
}

// The name a log goes by in its chart's title: its file's, or "la entrada estándar".
std::string log_name(const std::string& path)
{
    return path == "-" ? "la entrada estándar" : std::filesystem::path(path).filename().string();
}

// Where a log's results go with --salida: NAME-resultados.csv in the folder.
std::string results_path(const std::string& folder, const std::string& log)
{
    const std::filesystem::path name = std::filesystem::path(log).filename();
    const std::string stem = log == "-" ? "entrada" : name.stem().string();
    return (std::filesystem::path(folder) / (stem + "-resultados.csv")).string();
}

// The files a run of logs writes besides standard output.
struct LogOutputs {
    std::optional<SummaryFile> summary;
    std::optional<SummaryFile> chart;
    std::optional<SummaryFile> report;
    std::vector<std::unique_ptr<SummaryFile>> results; // a log's each, with --salida
    bool written = true;                               // false once one could not be
};

// The output files checked, and made, before anything is read.
void open_outputs(LogOutputs& outputs, const LogArgs& args, const std::vector<std::FILE*>& opened)
{
    if (opened.size() > 1 && !args.output)
        throw UsageError("con varios --csv, diga con --salida en qué carpeta van sus resultados");
    if (args.output) {
        std::error_code error;
        if (!std::filesystem::is_directory(*args.output, error))
            throw UsageError("--salida «" + *args.output + "» no es una carpeta");
    }
    if (args.summary)
        outputs.summary.emplace(*args.summary, opened);
    if (args.chart)
        outputs.chart.emplace(*args.chart, opened, "--grafico", "el gráfico");
    if (args.report)
        outputs.report.emplace(*args.report, opened, "--informe", "el informe");
    if (args.output) {
        for (const std::string& path : args.files)
            outputs.results.push_back(std::make_unique<SummaryFile>(
                results_path(*args.output, path), opened, "--salida", "los resultados"));
    }
}

// One log read, its results on standard output or, given results, into that file of
// --salida (written false when they could not be).
log::LogSummary read_log(const LogFile& file, const std::string& path, SummaryFile* results,
                         const LogArgs& args, const log::LogOptions& options, bool& written)
{
    text::FileSource input(file.get());
    std::FILE* out = stdout;
    if (results != nullptr) {
        out = fdopen(dup(results->descriptor()), "wb");
        if (out == nullptr)
            throw UsageError("no se pueden escribir los resultados en «" +
                             results_path(*args.output, path) + "»");
    }
    text::FileSink output(out);
    log::LogSummary summary;
    try {
        summary = log::process_log(input, output, options);
    } catch (const log::LogError& error) {
        if (out != stdout)
            std::fclose(out);
        if (args.files.size() == 1)
            throw;
        throw UsageError("«" + path + "»: " + log::worded(error.note(), remedy_words));
    }
    if (out != stdout) {
        const bool flushed = std::fflush(out) == 0 && std::ferror(out) == 0;
        std::fclose(out);
        if (!flushed || !results->commit({})) {
            say("no se pudieron escribir los resultados en «" + results_path(*args.output, path) +
                "»");
            written = false;
        }
    }
    return summary;
}

// A log's summary into the run's: the first as it is (its file named when there are
// several), the others merged into it.
void gather(log::LogSummary& summary, log::LogSummary one, bool first, const std::string& path,
            bool several)
{
    if (!first) {
        log::merge_summary(summary, one, path);
        return;
    }
    summary = std::move(one);
    if (several)
        summary.notes.insert(summary.notes.begin(),
                             log::Note("registro «" + text::printable(path) + "»:"));
}

// The chart of the logs read, its boilers' alerts marked, its notes said.
log::Chart drawn_chart(const log::ChartData& chart, const std::vector<std::string>& files,
                       const log::Verdict& verdict, text::DecimalComma comma)
{
    log::Chart drawn = chart.chart(files.size() > 1 ? std::to_string(files.size()) + " registros"
                                                    : log_name(files.front()));
    mark_alerts(drawn, verdict, comma);
    for (const std::string& line : log::chart_notes(drawn))
        say(line);
    return drawn;
}

// The text put in a file asked for, if it was; written false when it could not be.
void commit_output(std::optional<SummaryFile>& file, const Text& path, std::string_view what,
                   const std::string& text, bool& written)
{
    if (file && !file->commit(text)) {
        say("no se pudo escribir " + std::string(what) + " en «" + *path + "»: " + file->error());
        written = false;
    }
}

// The summary, the chart and the report, each into its file when asked for.
void write_outputs(LogOutputs& outputs, const LogArgs& args, const log::LogSummary& summary,
                   const log::Verdict* judged, const log::Verdict& verdict,
                   const std::optional<log::Chart>& drawn)
{
    commit_output(outputs.summary, args.summary, "el resumen",
                  outputs.summary ? log::summary_file(summary, judged) : "", outputs.written);
    commit_output(outputs.chart, args.chart, "el gráfico", outputs.chart ? chart_svg(*drawn) : "",
                  outputs.written);
    if (outputs.report)
        commit_output(outputs.report, args.report, "el informe",
                      report_pdf(summary, verdict, *drawn), outputs.written);
}

} // namespace

int csv_log(const LogArgs& args)
{
    log::LogOptions options = log_options(args);
    if (args.consumption)
        options.judging.consumptions = consumptions_of(*args.consumption);
    std::vector<std::unique_ptr<LogFile>> files;
    std::vector<std::FILE*> opened;
    for (const std::string& path : args.files) {
        files.push_back(std::make_unique<LogFile>(path));
        opened.push_back(files.back()->get());
    }
    const bool several = files.size() > 1;
    LogOutputs outputs;
    open_outputs(outputs, args, opened);
    log::ChartData chart;
    if (args.chart || args.report)
        options.chart = &chart;

    Progress progress(
        std::accumulate(files.begin(), files.end(), std::uint64_t{0},
                        [](std::uint64_t sum, const auto& file) { return sum + file->size(); }));
    std::uint64_t reports = 0;
    options.report = [&](std::string_view line) {
        if (++reports > max_row_reports)
            return;
        progress.clear();
        say(line);
    };
    std::uint64_t done = 0; // bytes of the logs before this one
    options.progress = [&](std::uint64_t rows, std::uint64_t bytes) {
        progress.update(rows, done + bytes);
    };

    log::LogSummary summary;
    bool read_failed = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        SummaryFile* results = args.output ? outputs.results[i].get() : nullptr;
        log::LogSummary one =
            read_log(*files[i], args.files[i], results, args, options, outputs.written);
        read_failed = read_failed || std::ferror(files[i]->get()) != 0;
        done += files[i]->size();
        gather(summary, std::move(one), i == 0, args.files[i], several);
    }
    progress.clear();
    if (reports > max_row_reports)
        say("… y " + std::to_string(reports - max_row_reports) +
            " filas más sin resultado: cada una dice por qué en la columna aviso");
    const log::Verdict verdict = log::judge(summary, options.judging);
    for (const std::string& line : log::verdict_lines(verdict, summary.comma))
        say(line);
    for (const std::string& line : log::closing_lines(summary, remedy_words))
        say(line);
    std::optional<log::Chart> drawn;
    if (options.chart != nullptr)
        drawn = drawn_chart(chart, args.files, verdict, summary.comma);
    const bool judged = !summary.months.empty() || options.verdict;
    write_outputs(outputs, args, summary, judged ? &verdict : nullptr, verdict, drawn);
    say(log::counts_line(summary));
    if (read_failed)
        say("error de lectura: el archivo no se leyó entero");
    return finish_output(
        summary.complete() && !read_failed && outputs.written ? exit_ok : exit_not_calculated);
}

} // namespace quemador::cli
