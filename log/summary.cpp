// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/summary.h"

#include "calculation/calculate_command.h"
#include "text/csv.h"

namespace quemador::log {
namespace {

std::string rows_text(std::uint64_t count)
{
    return std::to_string(count) + (count == 1 ? " fila" : " filas");
}

// A figure of the summary, in the log's decimal mark.
std::string in_log(double x, text::DecimalComma comma)
{
    std::string shown = shown_result(x);
    return std::string(text::in_file(shown, comma));
}

} // namespace

std::vector<std::string> summary_lines(const LogSummary& summary)
{
    std::vector<std::string> lines;
    for (const auto& [name, spread] : summary.results) {
        if (spread.count == 0)
            continue;
        lines.push_back(name + " en " + rows_text(spread.count) + ": media " +
                        in_log(spread.mean(), summary.comma) + ", mínima " +
                        in_log(spread.least, summary.comma) + ", máxima " +
                        in_log(spread.greatest, summary.comma));
    }
    const Differences& difference = summary.analyser_difference;
    if (!summary.analyser_column.empty() && difference.count > 0)
        lines.push_back(
            "«" + summary.analyser_column + "» (el analizador) menos eficiencia_neta en " +
            rows_text(difference.count) + ": media " + in_log(difference.mean(), summary.comma) +
            ", la mayor " + in_log(difference.largest, summary.comma) + " (línea " +
            std::to_string(difference.largest_line) + ")");
    else if (!summary.analyser_column.empty())
        lines.push_back("«" + summary.analyser_column +
                        "» (el analizador): ninguna fila con su eficiencia y la neta");
    return lines;
}

std::string counts_line(const LogSummary& summary)
{
    std::string line = "filas leídas: " + std::to_string(summary.read) +
        ", calculadas: " + std::to_string(summary.calculated) +
        ", con aviso: " + std::to_string(summary.with_advice) +
        ", fuera de rango: " + std::to_string(summary.out_of_range) +
        ", con error: " + std::to_string(summary.with_errors) +
        ", reajustadas: " + std::to_string(summary.reshaped);
    if (summary.unclosed_quotes > 0)
        line += ", con comillas sin cerrar: " + std::to_string(summary.unclosed_quotes);
    if (summary.doubtful > 0)
        line += ", dudosas: " + std::to_string(summary.doubtful);
    if (summary.footers > 0)
        line += ", de totales (sin calcular): " + std::to_string(summary.footers);
    return line;
}

std::string summary_csv(const LogSummary& summary)
{
    text::StringSink sink;
    {
        text::CsvWriter writer(sink, summary.separator, text::LineEnd::lf);
        for (const char* name : {"resultado", "filas", "media", "minimo", "maximo"})
            writer.field(name);
        writer.end_record();
        const auto row = [&](const std::string& name, const Spread& spread) {
            writer.field(name);
            writer.field(std::to_string(spread.count));
            for (const double x : {spread.mean(), spread.least, spread.greatest})
                writer.field(spread.count > 0 ? in_log(x, summary.comma) : "");
            writer.end_record();
        };
        for (const auto& [name, spread] : summary.results)
            row(name, spread);
        if (!summary.analyser_column.empty())
            row("analizador_menos_neta", summary.analyser_difference);
    }
    return std::move(sink.text);
}

} // namespace quemador::log
