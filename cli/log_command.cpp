// SPDX-License-Identifier: GPL-3.0-or-later
// The log mode: one log or several read as one, their results, summary, chart and report.
#include "cli/log_command.h"

#include "cli/chart_svg.h"
#include "cli/option_values.h"
#include "cli/output_file.h"
#include "cli/report_pdf.h"
#include "cli/usage_error.h"
#include "log/log.h"
#include "log/log_error.h"
#include "log/run_report.h"
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

// The log's file, open for reading; standard input for "-". Opened when the log is read
// and closed after, so that a run of any number of logs holds one open at a time.
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
        file_ = std::fopen(path.c_str(), "rbe");
        if (file_ == nullptr)
            throw UsageError("no se puede abrir el archivo «" + path + "»: " + cause_words(errno));
    }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile()
    {
        if (file_ != stdin)
            std::fclose(file_);
    }

    [[nodiscard]] std::FILE* get() const { return file_; }

private:
    std::FILE* file_ = nullptr;
};

// The size of a log that is a regular file, for the progress; 0 for anything else.
std::uint64_t file_size(const std::string& path)
{
    struct stat info {};
    const int got = path == "-" ? fstat(STDIN_FILENO, &info) : stat(path.c_str(), &info);
    return got == 0 && S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
}

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

// The files a run of logs writes besides standard output, checked before anything is
// read. The summary, chart, report and JSON are opened then; each log's results when the
// log is read, and closed after.
struct LogOutputs {
    std::optional<OutputFile> summary;
    std::optional<OutputFile> chart;
    std::optional<OutputFile> report;
    std::optional<OutputFile> json;
    std::vector<OutputTarget> results;       // a log's each, with --salida
    std::vector<log::OutputWritten> written; // the files the run wrote, in order
    bool failed = false;                     // true once one could not be written
};

void open_outputs(LogOutputs& outputs, const LogArgs& args)
{
    if (args.files.size() > 1 && !args.output)
        throw UsageError("con varios --csv, diga con --salida en qué carpeta van sus resultados");
    if (args.output) {
        std::error_code error;
        if (!std::filesystem::is_directory(*args.output, error))
            throw UsageError("--salida «" + *args.output + "» no es una carpeta");
        for (const std::string& path : args.files) {
            outputs.results.push_back(
                output_target(results_path(*args.output, path), "--salida", "los resultados"));
            outputs.results.back().log = path;
        }
    }
    std::optional<OutputTarget> summary;
    std::optional<OutputTarget> chart;
    std::optional<OutputTarget> report;
    std::optional<OutputTarget> json;
    if (args.summary)
        summary = output_target(*args.summary, "--resumen", "el resumen");
    if (args.chart)
        chart = output_target(*args.chart, "--grafico", "el gráfico");
    if (args.report)
        report = output_target(*args.report, "--informe", "el informe", true);
    if (args.json)
        json = output_target(*args.json, "--json", "el informe JSON");

    std::vector<const OutputTarget*> all;
    std::transform(outputs.results.begin(), outputs.results.end(), std::back_inserter(all),
                   [](const OutputTarget& target) { return &target; });
    for (const auto* target : {&summary, &chart, &report, &json})
        if (*target)
            all.push_back(&**target);
    std::vector<std::optional<FileKey>> inputs;
    std::transform(args.files.begin(), args.files.end(), std::back_inserter(inputs), input_key);
    refuse_collisions(all, inputs, args.files, !args.output);

    if (summary)
        outputs.summary.emplace(std::move(*summary));
    if (chart)
        outputs.chart.emplace(std::move(*chart));
    if (report)
        outputs.report.emplace(std::move(*report));
    if (json)
        outputs.json.emplace(std::move(*json));
}

// What an output holds, as the JSON report names it.
std::string output_kind(const OutputTarget& target)
{
    return target.option == "--salida" ? "resultados" : target.option.substr(2);
}

// A log that could not be read (said with its reason when met); the run goes on with the
// others.
struct LeftOut {
    std::string path;
};

// One log read, its results on standard output or, given results, into that file of
// --salida (listed as written, or said when they could not be).
log::LogSummary read_log(const std::string& path, const OutputTarget* results,
                         const log::LogOptions& options, LogOutputs& outputs, bool& incomplete)
{
    const LogFile file(path);
    std::optional<OutputFile> into;
    std::FILE* out = stdout;
    if (results != nullptr) {
        into.emplace(*results);
        out = fdopen(dup(into->descriptor()), "wb");
        if (out == nullptr)
            throw UsageError("no se pueden escribir los resultados en «" + results->given +
                             "»: " + cause_words(errno));
    }
    text::FileSource input(file.get());
    text::FileSink output(out);
    log::LogSummary summary;
    try {
        summary = log::process_log(input, output, options);
    } catch (...) {
        if (out != stdout)
            std::fclose(out);
        throw;
    }
    if (std::ferror(file.get()) != 0) {
        complain("«" + path + "»: error de lectura: el archivo no se leyó entero");
        incomplete = true;
    }
    if (out != stdout) {
        const bool flushed = std::fflush(out) == 0 && std::ferror(out) == 0;
        const int error = flushed ? 0 : errno;
        std::fclose(out);
        if (!flushed || !into->commit({})) {
            complain("no se pudieron escribir los resultados en «" + results->given +
                     "»: " + (flushed ? into->error() : cause_words(error)));
            outputs.failed = true;
        } else {
            outputs.written.push_back({output_kind(*results), results->given});
        }
    }
    return summary;
}

// The chart of the logs read, its boilers' alerts marked, its notes said.
log::Chart drawn_chart(const log::ChartData& chart, const std::vector<std::string>& read,
                       const std::vector<LeftOut>& left_out, const log::Verdict& verdict,
                       text::DecimalComma comma)
{
    std::vector<std::string> read_names;
    std::vector<std::string> left_names;
    std::transform(read.begin(), read.end(), std::back_inserter(read_names), log_name);
    std::transform(left_out.begin(), left_out.end(), std::back_inserter(left_names),
                   [](const LeftOut& log) { return log_name(log.path); });
    log::Chart drawn = chart.chart(log::logs_title(read_names, left_names));
    mark_alerts(drawn, verdict, comma);
    for (const std::string& line : log::chart_notes(drawn))
        say(line);
    return drawn;
}

// The text put in a file asked for, if it was; listed as written, or said when it could
// not be.
void commit_output(std::optional<OutputFile>& file, const std::string& text, LogOutputs& outputs)
{
    if (!file)
        return;
    if (file->commit(text)) {
        if (file->target().descriptor < 0)
            outputs.written.push_back({output_kind(file->target()), file->target().given});
        return;
    }
    complain("no se pudo escribir " + file->target().what + " en «" + file->target().given +
             "»: " + file->error());
    outputs.failed = true;
}

// What the logs of a run gave: their summary as one, the logs read and those left out,
// and each log's outcome for the JSON report.
struct LogsRead {
    log::LogSummary summary;
    std::vector<std::string> read;
    std::vector<LeftOut> left_out;
    bool incomplete = false; // a log not read whole
    log::RunReport report;
};

// The JSON report, when asked for, with the run's status and the files written so far.
void write_json(LogOutputs& outputs, log::RunReport& report, int status)
{
    if (!outputs.json)
        return;
    report.status = status;
    report.outputs = outputs.written;
    commit_output(outputs.json, log::report_json(report, remedy_words), outputs);
}

// One log of the run read into it. One that cannot be read is said and left out, and the
// others go on; a single log that cannot be read ends the run as a wrong command does.
void read_into(LogsRead& logs, const std::string& path, const OutputTarget* results,
               const log::LogOptions& options, LogOutputs& outputs, bool several)
{
    log::LogSummary one;
    std::optional<std::string> fault;
    try {
        one = read_log(path, results, options, outputs, logs.incomplete);
    } catch (const UsageError& error) {
        logs.report.logs.push_back(log::failed_outcome(path, log::Note(error.what())));
        if (!several) {
            write_json(outputs, logs.report, exit_usage);
            throw;
        }
        fault = error.what();
    } catch (const log::LogError& error) {
        logs.report.logs.push_back(log::failed_outcome(path, error.note()));
        if (!several) {
            write_json(outputs, logs.report, exit_usage);
            throw;
        }
        fault = log::worded(error.note(), remedy_words);
    }
    if (fault) {
        complain("registro «" + path + "» sin leer: " + *fault);
        logs.left_out.push_back({path});
        return;
    }
    if (outputs.json)
        logs.report.logs.push_back(log::read_outcome(path, one));
    if (logs.read.empty()) {
        logs.summary = std::move(one);
        if (several)
            logs.summary.notes.insert(logs.summary.notes.begin(),
                                      log::Note("registro «" + text::printable(path) + "»:"));
    } else {
        log::merge_summary(logs.summary, one, path);
    }
    logs.read.push_back(path);
}

// The summary, the chart and the report, each into its file when asked for.
void write_outputs(LogOutputs& outputs, const LogsRead& logs, const log::Verdict& verdict,
                   bool judged, const std::optional<log::Chart>& drawn)
{
    if (outputs.summary)
        commit_output(outputs.summary, log::summary_file(logs.summary, judged ? &verdict : nullptr),
                      outputs);
    if (outputs.chart)
        commit_output(outputs.chart, chart_svg(*drawn), outputs);
    if (outputs.report)
        commit_output(outputs.report, report_pdf(logs.summary, verdict, *drawn), outputs);
}

} // namespace

int csv_log(const LogArgs& args)
{
    log::LogOptions options = log_options(args);
    if (args.consumption)
        options.judging.consumptions = consumptions_of(*args.consumption);
    LogOutputs outputs;
    open_outputs(outputs, args);
    log::ChartData chart;
    if (args.chart || args.report)
        options.chart = &chart;

    Progress progress(std::accumulate(
        args.files.begin(), args.files.end(), std::uint64_t{0},
        [](std::uint64_t sum, const std::string& path) { return sum + file_size(path); }));
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

    LogsRead logs;
    for (std::size_t i = 0; i < args.files.size(); ++i) {
        const std::size_t left = logs.left_out.size();
        read_into(logs, args.files[i], args.output ? &outputs.results[i] : nullptr, options,
                  outputs, args.files.size() > 1);
        if (logs.left_out.size() != left)
            progress.clear();
        done += file_size(args.files[i]);
    }
    progress.clear();
    if (reports > max_row_reports)
        say("… y " + std::to_string(reports - max_row_reports) +
            " filas más sin resultado: cada una dice por qué en la columna aviso");
    if (logs.read.empty()) {
        complain(
            "no se pudo leer ninguno de los registros: no se escribe el resumen, el gráfico ni el "
            "informe");
        write_json(outputs, logs.report, exit_usage);
        return exit_usage;
    }

    const log::LogSummary& summary = logs.summary;
    const log::Verdict verdict = log::judge(summary, options.judging);
    for (const std::string& line : log::verdict_lines(verdict, summary.comma))
        say(line);
    for (const std::string& line : log::closing_lines(summary, remedy_words))
        say(line);
    std::optional<log::Chart> drawn;
    if (options.chart != nullptr)
        drawn = drawn_chart(chart, logs.read, logs.left_out, verdict, summary.comma);
    const bool judged = !summary.months.empty() || options.verdict;
    write_outputs(outputs, logs, verdict, judged, drawn);
    say(log::counts_line(summary));
    const int status = !logs.left_out.empty()                       ? exit_usage
        : summary.complete() && !logs.incomplete && !outputs.failed ? exit_ok
                                                                    : exit_not_calculated;
    logs.report.summary = &summary;
    logs.report.verdict = judged ? &verdict : nullptr;
    write_json(outputs, logs.report, status);
    for (const log::OutputWritten& output : outputs.written)
        say("escrito: «" + output.path + "»");
    // The JSON's own failure counts too.
    return finish_output(status == exit_ok && outputs.failed ? exit_not_calculated : status);
}

} // namespace quemador::cli
