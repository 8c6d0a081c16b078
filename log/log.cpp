// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/log.h"

#include "log/dates.h"
#include "log/header.h"
#include "log/log_error.h"
#include "log/notes.h"
#include "log/section.h"
#include "text/names.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <span>

namespace quemador::log {
namespace {

using text::CsvReader;
using text::CsvWriter;
using text::LineEnd;
using text::trimmed;

constexpr std::uint64_t progress_every = 4096;

// Each figure over the rows calculated, by kind, and the analyser's efficiency less the
// net one.
struct Totals {
    std::array<Spread, figure_count> spreads{};
    Differences analyser;
    std::uint64_t read = 0;
};

// The moment of a record, from its date column and the time column beside it; none when
// the section has no date column or a cell is not a date or a time.
std::optional<Moment> moment_of(const Row& row, const Columns& columns)
{
    if (!columns.has(Column::date))
        return std::nullopt;
    auto moment = date_of(row.at(columns[Column::date]));
    if (moment && columns.has(Column::time) && !moment->seconds) {
        moment->seconds = time_of(row.at(columns[Column::time]));
        if (!moment->seconds)
            return std::nullopt;
    }
    return moment;
}

// Reads a log's records after its header, writes each with its results, and counts it.
class LogRun {
public:
    LogRun(const LogOptions& options, CsvReader& reader, CsvWriter& writer, LogSummary& summary,
           bool over_time)
        : options_(options), reader_(reader), writer_(writer), summary_(summary),
          over_time_(over_time), needs_dates_(summary.grouping == Grouping::month ||
                                              (options.chart != nullptr && over_time)),
          describing_(summary.grouping != Grouping::none || options.chart != nullptr)
    {
    }

    // Starts the rows under a header: writes the header and a units line under it, and
    // looks at the first rows.
    void begin(std::unique_ptr<Section> section, LineEnd end)
    {
        section_ = std::move(section);
        for (const ResultColumn& column : section_->layout().columns) {
            if (column.figure &&
                std::find(used_.begin(), used_.end(), *column.figure) == used_.end())
                used_.push_back(*column.figure);
        }
        section_->set_unit(header_lines(end));
        section_->look_ahead(reader_);
    }

    // Reads the records to the end of the log.
    void run()
    {
        while (reader_.next(fields_))
            record();
    }

    [[nodiscard]] const Section& section() const { return *section_; }
    [[nodiscard]] std::uint64_t units_line() const { return units_line_; }

    // The results of every section, over the rows calculated.
    void finish()
    {
        summary_.results = results_of(totals_);
        summary_.analyser_difference = totals_.analyser;
        finish_groups();
        summary_.comma = section_->results_comma();
        if (repeated_headers_ > 0)
            summary_.notes.push_back(
                "el encabezado se repite " + std::to_string(repeated_headers_) +
                (repeated_headers_ == 1 ? " vez" : " veces") + " (la primera, en la línea " +
                std::to_string(first_repeat_) + "): se copia como está");
        if (summary_.footers > 0)
            summary_.notes.push_back(
                std::to_string(summary_.footers) +
                (summary_.footers == 1 ? " fila de totales" : " filas de totales") + " («" +
                first_footer_ + "», la primera en la línea " + std::to_string(first_footer_line_) +
                ") copiadas sin calcular: no son lecturas");
    }

    // What the summary says of the headers after the first.
    [[nodiscard]] const std::vector<std::string>& later_notes() const { return later_notes_; }

private:
    void record()
    {
        if (const std::uint64_t line = reader_.unclosed_quote_line(); line > 0) {
            ++summary_.unclosed_quotes;
            options_.report("línea " + std::to_string(line) +
                            ": comillas sin cerrar; la línea se lee como una fila, con las "
                            "comillas como texto");
        }
        const Layout& layout = section_->layout();
        if (reader_.too_long()) {
            ++summary_.read;
            row_.kind = RowKind::error;
            row_.doubtful = false;
            row_.notes = "fila de más de 1 MiB: no se lee";
            count();
            if (options_.notice)
                tell();
            layout.write(writer_, fields_, std::nullopt, gather(false), reader_.line_end(), true);
            return;
        }
        // A blank line, or a row of empty cells as spreadsheets leave below a table,
        // is copied as it is.
        if (is_blank(fields_)) {
            writer_.fields_as_read(reader_.raw_record());
            writer_.end_record(reader_.line_end());
            return;
        }
        if (const std::string_view footer = footer_cell(fields_, section_->columns());
            !footer.empty()) {
            footer_row(footer);
            return;
        }
        if (const std::string_view o2_cell = field_at(fields_, section_->columns()[Column::o2]);
            !begins_as_number(o2_cell) && is_header(fields_, o2_cell)) {
            header_row();
            return;
        }
        ++summary_.read;
        summary_.reshaped += fields_.size() != layout.width ? 1 : 0;
        const Row row{fields_, reader_};
        section_->calculate(row, row_);
        count();
        const bool written = row_.kind == RowKind::calculated ||
            (row_.kind == RowKind::out_of_range && options_.all_results);
        const auto results = gather(written);
        if (row_.kind == RowKind::calculated)
            add(totals_, row);
        if (describing_)
            describe(row);
        if (!row_.notes.empty() && options_.notice)
            tell();
        layout.write(writer_, fields_, raw(), results, reader_.line_end(),
                     section_->plain_results());
        if (summary_.read % progress_every == 0)
            options_.progress(summary_.read, reader_.bytes_read());
    }

    // A record read with its quotes as text is written field by field, so that they
    // come out quoted; any other as it was read.
    [[nodiscard]] std::optional<std::string_view> raw() const
    {
        return reader_.unclosed_quote_line() > 0 ? std::nullopt
                                                 : std::optional(reader_.raw_record());
    }

    void footer_row(std::string_view footer)
    {
        if (summary_.footers++ == 0) {
            first_footer_ = std::string(footer);
            first_footer_line_ = reader_.line();
        }
        row_.notes =
            "fila de totales («" + std::string(footer) + "»): no es una lectura, no se calcula";
        if (options_.notice)
            tell();
        section_->layout().write(writer_, fields_, raw(), gather(false), reader_.line_end(), true);
    }

    // Writes the section's header line, and a units line when one comes under it; gives
    // the units line's temperature unit.
    std::optional<TemperatureUnit> header_lines(LineEnd end)
    {
        const Layout& layout = section_->layout();
        layout.write_header(writer_, section_->header(), end);
        reader_.mark();
        if (!reader_.next(fields_) || reader_.too_long() || !is_units_line(fields_)) {
            units_line_ = 0;
            reader_.rewind();
            return std::nullopt;
        }
        reader_.unmark();
        units_line_ = reader_.line();
        std::vector<std::string_view> units(layout.columns.size());
        std::transform(layout.columns.begin(), layout.columns.end(), units.begin(),
                       [](const ResultColumn& column) {
                           return column.figure ? figure_facts(*column.figure).unit : "";
                       });
        layout.write(writer_, fields_, std::nullopt, units, reader_.line_end(), true);
        return unit_named(field_at(fields_, section_->columns()[Column::temperature]));
    }

    // A header further down: the same one again is copied; another one starts the rows
    // under it afresh.
    void header_row()
    {
        const std::vector<std::string>& header = section_->header();
        const std::uint64_t line = reader_.line();
        if (fields_.size() == header.size() &&
            std::equal(fields_.begin(), fields_.end(), header.begin())) {
            if (repeated_headers_++ == 0)
                first_repeat_ = line;
            header_lines(reader_.line_end());
            return;
        }
        const std::vector<std::string> fields(fields_.begin(), fields_.end());
        auto next = std::make_unique<Section>(fields, line, find_columns(fields_, options_.columns),
                                              reader_.separator(), options_);
        begin(std::move(next), reader_.line_end());
        std::string note = "otro encabezado en la línea " + std::to_string(line);
        if (units_line_ > 0)
            note += ", unidades en la línea " + std::to_string(units_line_);
        if (!section_->problem().empty()) {
            later_notes_.push_back(note + ": " + section_->problem() +
                                   "; sus filas no se calculan");
            return;
        }
        later_notes_.push_back(note + "; " + columns_note(*section_, options_));
        const std::vector<std::string> first = first_rows_notes(*section_);
        later_notes_.insert(later_notes_.end(), first.begin(), first.end());
    }

    // Counts a row and reports it when it has no result.
    void count()
    {
        summary_.doubtful += row_.doubtful ? 1 : 0;
        switch (row_.kind) {
        case RowKind::calculated:
            ++summary_.calculated;
            summary_.with_advice += row_.notes.empty() ? 0 : 1;
            return;
        case RowKind::out_of_range:
            ++summary_.out_of_range;
            break;
        case RowKind::error:
            ++summary_.with_errors;
            break;
        }
        report_row();
    }

    [[gnu::noinline]] void report_row() const
    {
        options_.report("línea " + std::to_string(reader_.line()) + ": " + row_.notes);
    }

    // Sets the row's texts for the layout's columns, and gives them.
    std::span<const std::string_view> gather(bool written)
    {
        // The figures' columns, then the notes.
        const std::vector<std::size_t>& figures = section_->layout().figures;
        texts_.resize(figures.size() + 1);
        for (std::size_t k = 0; k < figures.size(); ++k) {
            texts_[k] = written
                ? text::in_file(row_.report.texts[figures[k]], section_->results_comma())
                : std::string_view();
        }
        texts_.back() = row_.notes;
        return texts_;
    }

    // A calculated row's figures that the section writes, and how far the analyser's
    // efficiency is from the net.
    void add(Totals& totals, const Row& row) const
    {
        const Report& report = row_.report;
        for (const std::size_t k : section_->layout().figures) {
            if (report.values[k])
                totals.spreads[k].add(*report.values[k]);
        }
        const auto& net = report.value(FigureKind::net);
        if (double analyser = 0.0; net && section_->analyser(row, analyser))
            totals.analyser.add(analyser - *net, reader_.line());
    }

    // The figures the sections wrote, by their header, from totals.
    [[nodiscard]] std::vector<std::pair<std::string, Spread>> results_of(const Totals& totals) const
    {
        std::vector<std::pair<std::string, Spread>> results(used_.size());
        std::transform(used_.begin(), used_.end(), results.begin(), [&totals](FigureKind figure) {
            return std::pair(std::string(figure_facts(figure).id),
                             totals.spreads.at(index_of(figure)));
        });
        return results;
    }

    [[gnu::noinline]] void tell() const
    {
        options_.notice(RowNotice{reader_.line(), row_.notes, section_->header(), fields_,
                                  section_->columns().index});
    }

    // Whose and when a row is: its group's figures, and its points on the chart.
    [[gnu::noinline]] void describe(const Row& row)
    {
        const Columns& columns = section_->columns();
        const std::string_view boiler =
            columns.has(Column::boiler) ? trimmed(row.at(columns[Column::boiler])) : "";
        std::optional<Moment> moment;
        if (needs_dates_) {
            moment = moment_of(row, columns);
            if (!moment && summary_.undated++ == 0) {
                summary_.first_undated_line = reader_.line();
                summary_.first_undated = std::string(
                    columns.has(Column::date) ? trimmed(row.at(columns[Column::date])) : "");
            }
        }
        const Grouping grouping = summary_.grouping;
        if (grouping == Grouping::boiler || (grouping == Grouping::month && moment)) {
            Totals& group =
                group_of(grouping == Grouping::boiler || summary_.by_boiler ? boiler : "",
                         grouping == Grouping::month ? month_of(moment->days) : 0);
            ++group.read;
            if (row_.kind == RowKind::calculated)
                add(group, row);
        }
        if (options_.chart != nullptr)
            chart(row, boiler, moment);
    }

    void chart(const Row& row, std::string_view boiler, const std::optional<Moment>& moment)
    {
        ChartData& chart = *options_.chart;
        if (over_time_ && !moment) {
            chart.count_undated();
            return;
        }
        chart.count_row();
        const double x = over_time_ ? moment->since_epoch() : static_cast<double>(reader_.line());
        double o2 = 0.0;
        const bool o2_read = row.number(section_->columns()[Column::o2], section_->comma(), o2);
        const Report& report = row_.report;
        if (row_.kind == RowKind::calculated) {
            chart.add(boiler, Measure::gross, x, report.results->efficiency);
            if (const auto& net = report.value(FigureKind::net))
                chart.add(boiler, Measure::net, x, *net);
            chart.add(boiler, Measure::o2, x, o2);
        }
        if (o2_read && row_.kind == RowKind::out_of_range)
            chart.add(boiler, Measure::outside, x, o2);
        else if (o2_read && !row_.notes.empty())
            chart.add(boiler, Measure::notices, x, o2);
    }

    // The figures of a boiler's rows, a month's or a boiler's month; past most_groups,
    // those of the rows of every other group together.
    Totals& group_of(std::string_view boiler, std::int32_t month)
    {
        if (last_group_ < groups_.size() && month == last_month_ && boiler == last_boiler_)
            return groups_[last_group_].second;
        if (groups_.size() >= most_groups) {
            const auto known = boilers_.find(boiler);
            if (known == boilers_.end() || !group_index_.contains(std::pair(known->second, month)))
                return others_;
        }
        const auto order = boilers_.emplace(std::string(boiler), boilers_.size()).first->second;
        const auto [at, added] = group_index_.emplace(std::pair(order, month), groups_.size());
        if (added)
            groups_.emplace_back(std::pair(std::string(boiler), month), Totals{});
        last_group_ = at->second;
        last_boiler_ = boiler;
        last_month_ = month;
        return groups_[last_group_].second;
    }

    // The groups in order (boilers as the log names them first, months in order), and
    // what the summary says of the rows without a date.
    void finish_groups()
    {
        for (const auto& [key, index] : group_index_) {
            const auto& [name, month] = groups_[index].first;
            const Totals& totals = groups_[index].second;
            Group group;
            group.boiler = name;
            group.month = month;
            group.read = totals.read;
            group.results = results_of(totals);
            group.analyser_difference = totals.analyser;
            summary_.groups.push_back(std::move(group));
        }
        if (others_.read > 0) {
            Group others;
            others.others = true;
            others.read = others_.read;
            others.results = results_of(others_);
            others.analyser_difference = others_.analyser;
            summary_.groups.push_back(std::move(others));
            summary_.notes.push_back(std::to_string(others_.read) +
                                     (others_.read == 1 ? " fila" : " filas") +
                                     " de más grupos que los " + std::to_string(most_groups) +
                                     " primeros se cuentan juntas en «otras»");
        }
        if (summary_.undated == 0)
            return;
        std::string note = std::to_string(summary_.undated) +
            (summary_.undated == 1 ? " fila sin fecha legible" : " filas sin fecha legible") +
            " (la primera en la línea " + std::to_string(summary_.first_undated_line) +
            (summary_.first_undated.empty() ? ", vacía"
                                            : ": " + quoted(summary_.first_undated, 40)) +
            ")";
        if (summary_.grouping == Grouping::month)
            note += ": no entra en ningún mes";
        if (options_.chart != nullptr)
            note += summary_.grouping == Grouping::month ? " ni en el gráfico"
                                                         : ": no entra en el gráfico";
        summary_.notes.push_back(note);
    }

    const LogOptions& options_;
    CsvReader& reader_;
    CsvWriter& writer_;
    LogSummary& summary_;
    std::unique_ptr<Section> section_;
    std::uint64_t units_line_ = 0;
    std::vector<std::string_view> fields_;
    RowResults row_;
    // The row's results in the layout's order, in the log's decimal mark.
    std::vector<std::string_view> texts_;
    // The whole log's figures, and the figures the sections wrote, in their order.
    Totals totals_;
    std::vector<FigureKind> used_;
    // The groups' figures, by boiler (numbered as the log names them) and month, and the
    // last one found, looked at first: rows come in runs of one boiler and one month.
    bool over_time_;
    bool needs_dates_;
    bool describing_;
    std::map<std::string, std::size_t, std::less<>> boilers_;
    std::map<std::pair<std::size_t, std::int32_t>, std::size_t> group_index_;
    std::vector<std::pair<std::pair<std::string, std::int32_t>, Totals>> groups_;
    Totals others_;
    std::size_t last_group_ = static_cast<std::size_t>(-1);
    std::string last_boiler_;
    std::int32_t last_month_ = 0;
    std::vector<std::string> later_notes_;
    std::uint64_t repeated_headers_ = 0;
    std::uint64_t first_repeat_ = 0;
    std::string first_footer_;
    std::uint64_t first_footer_line_ = 0;
};

// Why a log cannot give a figure asked for.
std::string not_given_text(FigureKind figure)
{
    const FigureFacts& asked = figure_facts(figure);
    std::string text = "no se puede dar " + std::string(asked.id) + ": ";
    switch (asked.need) {
    case Need::air:
        return text +
            "necesita la temperatura del aire de combustión (una columna de aire o "
            "--aire)";
    case Need::target:
        return text + "necesita un objetivo (--objetivo-o2)";
    case Need::co:
    case Need::nothing:
        break;
    }
    return text + "necesita una lectura de CO, que un registro no da";
}

// What the summary groups by: the option's choice, which needs its column, or by
// boiler when the log names its boilers.
Grouping grouping_of(const Columns& columns, const LogOptions& options)
{
    const Grouping grouping =
        options.grouping.value_or(columns.has(Column::boiler) ? Grouping::boiler : Grouping::none);
    if (grouping == Grouping::boiler && !columns.has(Column::boiler))
        throw LogError("no hay columna de caldera para agrupar por caldera (Caldera, Equipo, "
                       "Generador, Boiler): nómbrela con --col-caldera");
    if (grouping == Grouping::month && !columns.has(Column::date))
        throw LogError("no hay columna de fecha para agrupar por mes (Fecha, Fecha y hora, "
                       "Date): nómbrela con --col-fecha");
    return grouping;
}

} // namespace

LogSummary process_log(text::ByteSource& input, text::ByteSink& output, const LogOptions& options)
{
    text::DecodingSource decoded(input, options.encoding);
    CsvReader reader(decoded, ',');
    const LogStart start =
        find_header(reader, options.columns, [&decoded] { return how_read(decoded); });
    std::vector<std::string_view> header_fields(start.header.begin(), start.header.end());
    const Columns columns = find_columns(header_fields, options.columns);
    if (const std::string problem = columns_problem(start.header, columns); !problem.empty())
        throw LogError(problem);
    if (!columns.has(Column::fuel) && !options.fuel)
        throw LogError("falta el combustible: indique --combustible o añada una columna "
                       "Combustible");
    if (const auto figure = figure_not_given(columns, options))
        throw LogError(not_given_text(*figure));

    LogSummary summary;
    summary.grouping = grouping_of(columns, options);
    summary.by_boiler = summary.grouping == Grouping::month && columns.has(Column::boiler);
    summary.separator = start.separator;
    summary.header_line = start.header_line;
    if (columns.has(Column::analyser))
        summary.analyser_column = start.header.at(columns[Column::analyser]);

    text::EncodingSink sink(output, decoded);
    CsvWriter writer(sink, start.separator, start.line_end);
    writer.raw(start.above);
    if (start.unclosed_quote_line > 0) {
        ++summary.unclosed_quotes;
        options.report(
            "línea " + std::to_string(start.unclosed_quote_line) +
            ": comillas sin cerrar en el encabezado; se lee con las comillas como texto");
    }
    if (options.chart != nullptr)
        options.chart->set_over_time(columns.has(Column::date));
    LogRun run(options, reader, writer, summary, columns.has(Column::date));
    run.begin(std::make_unique<Section>(start.header, start.header_line, columns, start.separator,
                                        options),
              start.line_end);
    // The first header's notes are made now: its section ends at the next header.
    std::string described = "encabezado en la línea " + std::to_string(start.header_line);
    if (run.units_line() > 0)
        described += ", unidades en la línea " + std::to_string(run.units_line());
    std::vector<std::string> first_notes = first_rows_notes(run.section());
    first_notes.insert(first_notes.begin(), columns_note(run.section(), options));
    run.run();
    writer.flush();
    sink.flush();
    run.finish();

    std::vector<std::string> notes = {"leído como " + how_read(decoded) + ", separador " +
                                      separator_name(start.separator) + "; " + described};
    notes.insert(notes.end(), first_notes.begin(), first_notes.end());
    notes.insert(notes.end(), run.later_notes().begin(), run.later_notes().end());
    notes.insert(notes.end(), summary.notes.begin(), summary.notes.end());
    summary.notes = std::move(notes);
    encoding_notes(decoded, sink, summary);
    return summary;
}

} // namespace quemador::log
