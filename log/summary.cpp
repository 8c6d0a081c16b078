// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/summary.h"

#include "calculation/calculate_command.h"
#include "log/dates.h"
#include "log/verdict.h"
#include "text/csv.h"
#include "text/names.h"

#include <array>

namespace quemador::log {
namespace {

std::string rows_text(std::uint64_t count, std::string_view one = " fila",
                      std::string_view many = " filas")
{
    return std::to_string(count) + std::string(count == 1 ? one : many);
}

// A figure of the summary, in the log's decimal mark.
std::string in_log(double x, text::DecimalComma comma)
{
    std::string shown = shown_result(x);
    return std::string(text::in_file(shown, comma));
}

// A group as the summary names it: «Sala 1», 2026-02.
std::string group_name(const LogSummary& summary, const Group& group)
{
    if (group.others)
        return "otras (de más grupos que los " + std::to_string(most_groups) + " primeros)";
    std::string name;
    if (summary.grouping == Grouping::boiler || summary.by_boiler)
        name = group.boiler.empty() ? "sin caldera"
                                    : "caldera «" + text::shortened(group.boiler, 80) + "»";
    if (summary.grouping == Grouping::month)
        name += (name.empty() ? "" : ", ") + std::string("mes ") + month_text(group.month);
    return name;
}

// A spread as a group's line gives it: its mean, then its least and greatest.
std::string spread_text(const Spread& spread, text::DecimalComma comma)
{
    return in_log(spread.mean(), comma) + " (" + in_log(spread.least, comma) + " a " +
        in_log(spread.greatest, comma) + ")";
}

std::uint64_t calculated(const Group& group)
{
    std::uint64_t most = 0;
    for (const auto& [name, spread] : group.results)
        most = std::max(most, spread.count);
    return most;
}

} // namespace

namespace {

void merge_results(std::vector<std::pair<std::string, Spread>>& into,
                   const std::vector<std::pair<std::string, Spread>>& from)
{
    for (const auto& result : from) {
        const auto at = std::find_if(into.begin(), into.end(), [&result](const auto& other) {
            return other.first == result.first;
        });
        if (at == into.end())
            into.push_back(result);
        else
            at->second.merge(result.second);
    }
}

// Groups of the same boiler and month made one; boilers in the order first named, months
// in order.
void merge_groups(std::vector<Group>& into, const std::vector<Group>& from)
{
    std::vector<std::string> boilers;
    for (const Group& group : into) {
        if (std::find(boilers.begin(), boilers.end(), text::caseless(group.boiler)) ==
            boilers.end())
            boilers.push_back(text::caseless(group.boiler));
    }
    for (const Group& group : from) {
        const std::string key = text::caseless(group.boiler);
        const auto at = std::find_if(into.begin(), into.end(), [&](const Group& g) {
            return g.others == group.others && g.month == group.month &&
                text::caseless(g.boiler) == key;
        });
        if (at == into.end()) {
            into.push_back(group);
            // Shown as the first log writes it.
            const auto named = std::find_if(into.begin(), into.end(), [&](const Group& g) {
                return text::caseless(g.boiler) == key;
            });
            into.back().boiler = named->boiler;
            if (std::find(boilers.begin(), boilers.end(), key) == boilers.end())
                boilers.push_back(key);
            continue;
        }
        at->read += group.read;
        at->with_notices += group.with_notices;
        merge_results(at->results, group.results);
        at->analyser_difference.merge(group.analyser_difference);
    }
    const auto rank = [&boilers](const Group& g) {
        return std::pair(g.others,
                         std::find(boilers.begin(), boilers.end(), text::caseless(g.boiler)) -
                             boilers.begin());
    };
    std::stable_sort(into.begin(), into.end(), [&](const Group& a, const Group& b) {
        return std::pair(rank(a), a.month) < std::pair(rank(b), b.month);
    });
}

} // namespace

void merge_summary(LogSummary& into, const LogSummary& from, std::string_view file)
{
    for (const auto& [count, more] :
         {std::pair(&into.read, from.read), std::pair(&into.calculated, from.calculated),
          std::pair(&into.with_advice, from.with_advice),
          std::pair(&into.out_of_range, from.out_of_range),
          std::pair(&into.with_errors, from.with_errors), std::pair(&into.reshaped, from.reshaped),
          std::pair(&into.doubtful, from.doubtful),
          std::pair(&into.dangerous_co, from.dangerous_co), std::pair(&into.footers, from.footers),
          std::pair(&into.unclosed_quotes, from.unclosed_quotes),
          std::pair(&into.misdated, from.misdated), std::pair(&into.undated, from.undated)})
        *count += more;
    into.notes.push_back(Note("registro «" + text::printable(file) + "»:")
                             .about("registro", {{"nombre", std::string(file)}}));
    into.notes.insert(into.notes.end(), from.notes.begin(), from.notes.end());
    into.sections.insert(into.sections.end(), from.sections.begin(), from.sections.end());
    merge_results(into.results, from.results);
    if (into.analyser_column.empty())
        into.analyser_column = from.analyser_column;
    into.analyser_difference.merge(from.analyser_difference);
    merge_groups(into.groups, from.groups);
    merge_groups(into.months, from.months);
}

std::vector<std::string> group_lines(const LogSummary& summary)
{
    std::vector<std::string> lines;
    if (summary.groups.empty())
        return lines;
    lines.push_back(std::string(summary.grouping == Grouping::boiler ? "por caldera"
                                    : summary.by_boiler              ? "por caldera y mes"
                                                                     : "por mes") +
                    ", en las filas calculadas: media (mínima a máxima) de cada resultado");
    for (const Group& group : summary.groups) {
        std::string line = group_name(summary, group) + ": " + rows_text(group.read) + ", " +
            rows_text(calculated(group), " calculada", " calculadas");
        for (const auto& [name, spread] : group.results) {
            if (spread.count > 0)
                line += "; " + name + " " + spread_text(spread, summary.comma);
        }
        if (!summary.analyser_column.empty() && group.analyser_difference.count > 0)
            line += "; «" + summary.analyser_column + "» menos eficiencia_neta " +
                in_log(group.analyser_difference.mean(), summary.comma);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> closing_lines(const LogSummary& summary, RemedyWords words)
{
    std::vector<std::string> lines(summary.notes.size());
    std::transform(summary.notes.begin(), summary.notes.end(), lines.begin(),
                   [words](const Note& note) { return worded(note, words); });
    for (const auto& more : {summary_lines(summary), group_lines(summary)})
        lines.insert(lines.end(), more.begin(), more.end());
    return lines;
}

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
    if (summary.grouping == Grouping::month && summary.undated > 0)
        line += ", sin fecha legible: " + std::to_string(summary.undated);
    if (summary.misdated > 0)
        line += ", con la fecha en otro orden: " + std::to_string(summary.misdated);
    return line;
}

namespace {

using Table = std::vector<std::vector<std::string>>;

// The header of the groups' table: the group's columns, then each result's mean, least
// and greatest.
std::vector<std::string> groups_header(const LogSummary& summary, bool boiler, bool month)
{
    std::vector<std::string> header;
    if (boiler)
        header.emplace_back("caldera");
    if (month)
        header.emplace_back("mes");
    header.emplace_back("filas");
    header.emplace_back("calculadas");
    std::vector<std::string> names(summary.results.size());
    std::transform(summary.results.begin(), summary.results.end(), names.begin(),
                   [](const auto& result) { return result.first; });
    if (!summary.analyser_column.empty())
        names.emplace_back("analizador_menos_neta");
    for (const std::string& name : names) {
        header.insert(header.end(), {name + "_media", name + "_minimo", name + "_maximo"});
    }
    return header;
}

// A spread's mean, least and greatest, as the summary's table writes them; empty for none.
std::array<std::string, 3> spread_cells(const Spread& spread, text::DecimalComma comma)
{
    if (spread.count == 0)
        return {};
    return {in_log(spread.mean(), comma), in_log(spread.least, comma),
            in_log(spread.greatest, comma)};
}

// A group's boiler and month cells: «otras» for the rows past most_groups; a name safe
// in a spreadsheet.
std::vector<std::string> group_cells(const Group& group, bool boiler, bool month)
{
    std::vector<std::string> cells;
    if (boiler)
        cells.push_back(group.others ? "otras" : text::spreadsheet_cell(group.boiler));
    if (month)
        cells.push_back(group.others ? (boiler ? "" : "otras") : month_text(group.month));
    return cells;
}

// A row for each group, with each result's mean, least and greatest in its columns.
Table groups_table(const LogSummary& summary)
{
    const bool boiler = summary.grouping == Grouping::boiler || summary.by_boiler;
    const bool month = summary.grouping == Grouping::month;
    const bool analyser = !summary.analyser_column.empty();
    Table table = {groups_header(summary, boiler, month)};
    for (const Group& group : summary.groups) {
        std::vector<std::string> row = group_cells(group, boiler, month);
        row.push_back(std::to_string(group.read));
        row.push_back(std::to_string(calculated(group)));
        std::vector<const Spread*> spreads(group.results.size());
        std::transform(group.results.begin(), group.results.end(), spreads.begin(),
                       [](const auto& result) { return &result.second; });
        if (analyser)
            spreads.push_back(&group.analyser_difference);
        for (const Spread* spread : spreads) {
            const auto cells = spread_cells(*spread, summary.comma);
            row.insert(row.end(), cells.begin(), cells.end());
        }
        table.push_back(std::move(row));
    }
    return table;
}

} // namespace

namespace {

// Each group's row ends with its boiler's verdict, its name left out: the group has it.
void add_verdict(Table& table, const LogSummary& summary, const Verdict& verdict)
{
    const auto columns = verdict_columns(verdict);
    for (std::size_t c = 1; c < columns.size(); ++c)
        table.front().emplace_back(columns[c].id);
    const auto rows = verdict_rows(verdict, summary.comma);
    for (std::size_t r = 0; r < summary.groups.size(); ++r) {
        std::vector<std::string>& row = table.at(r + 1);
        const Group& group = summary.groups[r];
        const auto at = std::find_if(
            verdict.boilers.begin(), verdict.boilers.end(),
            [&](const BoilerVerdict& v) { return !group.others && v.boiler == group.boiler; });
        if (at == verdict.boilers.end()) {
            row.resize(row.size() + columns.size() - 1);
            continue;
        }
        const auto& cells = rows.at(static_cast<std::size_t>(at - verdict.boilers.begin()));
        row.insert(row.end(), cells.begin() + 1, cells.end());
    }
}

} // namespace

std::vector<std::vector<std::string>> summary_table(const LogSummary& summary,
                                                    const Verdict* verdict)
{
    if (!summary.groups.empty()) {
        Table table = groups_table(summary);
        if (verdict != nullptr)
            add_verdict(table, summary, *verdict);
        return table;
    }
    Table table = {{"resultado", "filas", "media", "minimo", "maximo"}};
    const auto row = [&](const std::string& name, const Spread& spread) {
        const auto figures = spread_cells(spread, summary.comma);
        std::vector<std::string> cells = {name, std::to_string(spread.count)};
        cells.insert(cells.end(), figures.begin(), figures.end());
        table.push_back(std::move(cells));
    };
    for (const auto& [name, spread] : summary.results)
        row(name, spread);
    if (!summary.analyser_column.empty())
        row("analizador_menos_neta", summary.analyser_difference);
    return table;
}

std::string summary_csv(const LogSummary& summary, const Verdict* verdict)
{
    text::StringSink sink;
    {
        text::CsvWriter writer(sink, summary.separator, text::LineEnd::lf);
        for (const auto& row : summary_table(summary, verdict)) {
            for (const std::string& cell : row)
                writer.field(cell);
            writer.end_record();
        }
    }
    return std::move(sink.text);
}

std::string summary_file(const LogSummary& summary, const Verdict* verdict)
{
    return std::string(text::bom_of(summary.encoding)) +
        text::encoded(summary_csv(summary, verdict), summary.encoding);
}

} // namespace quemador::log
