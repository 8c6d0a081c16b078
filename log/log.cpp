// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/log.h"

#include "calculation/net_efficiency.h"
#include "log/dates.h"
#include "log/groups.h"
#include "log/header.h"
#include "log/log_error.h"
#include "log/notes.h"
#include "log/section.h"
#include "text/buffers.h"
#include "text/names.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <span>

#ifdef QUEMADOR_PIPELINE
#include "log/batch.h"

#include <atomic>

#include <tbb/global_control.h>
#include <tbb/parallel_pipeline.h>
#endif

namespace quemador::log {
namespace {

// Where a section found its readings, for a program that reads the summary.
SectionRead section_read(const Section& section)
{
    SectionRead read;
    read.line = section.line();
    for (const ColumnKind& kind : column_kinds()) {
        if (section.columns().has(kind.column))
            read.columns.push_back({kind.column,
                                    section.header().at(section.columns()[kind.column]),
                                    section.columns()[kind.column] + 1});
    }
    read.unit = section.unit().first;
    switch (section.unit().second) {
    case UnitSource::option:
        read.unit_source = "opcion";
        break;
    case UnitSource::units_line:
        read.unit_source = "linea_de_unidades";
        break;
    case UnitSource::header:
        read.unit_source = "encabezado";
        break;
    case UnitSource::none:
        break;
    }
    return read;
}

using text::CsvReader;
using text::CsvWriter;
using text::LineEnd;
using text::trimmed;

constexpr std::uint64_t progress_every = 4096;

// When a row is, as its date column and the time beside it say.
struct When {
    DateColumn::State state = DateColumn::State::none;
    Moment moment;         // dated; with waiting, its seconds only
    AmbiguousDate waiting; // waiting: for the column's order
};

// Reads a log's records after its header, writes each with its results, and counts it.
class LogRun {
public:
    LogRun(const LogOptions& options, CsvReader& reader, CsvWriter& writer, LogSummary& summary,
           bool over_time, bool verdict)
        : options_(options), reader_(reader), writer_(writer), summary_(summary),
          over_time_(over_time), verdict_(verdict),
          needs_dates_(summary.grouping == Grouping::month ||
                       ((options.chart != nullptr || verdict) && over_time)),
          describing_(summary.grouping != Grouping::none || options.chart != nullptr || verdict),
          dates_(options.date_order)
    {
    }

    // Starts the rows under a header: writes the header and a units line under it, and
    // looks at the first rows.
    void begin(std::unique_ptr<Section> section, LineEnd end)
    {
        section_ = std::move(section);
        if (date_column_.empty() && section_->columns().has(Column::date))
            date_column_ = section_->header().at(section_->columns()[Column::date]);
        for (const ResultColumn& column : section_->layout().columns) {
            if (column.figure &&
                std::find(used_.begin(), used_.end(), *column.figure) == used_.end())
                used_.push_back(*column.figure);
        }
        section_->set_unit(header_lines(end));
        section_->look_ahead(reader_);
        if (!section_->problem())
            summary_.sections.push_back(section_read(*section_));
    }

    // Reads the records to the end of the log: with more than one thread, the runs of
    // readings of a section whose rows may take the short way through the pipeline,
    // the rest one by one.
    void run()
    {
#ifdef QUEMADOR_PIPELINE
        if (options_.threads > 1) {
            const tbb::global_control threads(tbb::global_control::max_allowed_parallelism,
                                              options_.threads);
            for (;;) {
                if (section_->common()) {
                    if (!pipeline())
                        return;
                    fields_.swap(ahead_);
                } else if (!reader_.next(fields_)) {
                    return;
                }
                record();
            }
        }
#endif
        while (reader_.next(fields_))
            record();
    }

    [[nodiscard]] const Section& section() const { return *section_; }
    [[nodiscard]] std::uint64_t units_line() const { return units_line_; }

    // The results of every section, over the rows calculated, and what the summary
    // says of the run.
    void finish()
    {
        // Dates never shown to be month first are read day first, as in Spain.
        if (!dates_.order())
            settle(DateOrder::day_first);
        summary_.results = results_of(totals_);
        summary_.analyser_difference = totals_.analyser;
        finish_groups();
        summary_.comma = section_->results_comma();
        std::vector<Note>& notes = summary_.notes;
        if (repeated_headers_ > 0)
            notes.push_back(repeated_headers_note(repeated_headers_, first_repeat_));
        if (summary_.footers > 0)
            notes.push_back(footers_note(summary_.footers, first_footer_, first_footer_line_));
        if (needs_dates_) {
            const auto said = date_order_notes(dates_, date_column_);
            notes.insert(notes.end(), said.begin(), said.end());
        }
        if (summary_.misdated > 0)
            notes.push_back(misdated_note(misdated_, dates_, date_column_));
        const bool by_line = options_.chart != nullptr && options_.chart->by_line();
        if (summary_.undated > 0)
            notes.push_back(undated_note(undated_, summary_.grouping == Grouping::month,
                                         options_.chart != nullptr && !by_line));
        if (by_line && summary_.undated > 0)
            notes.push_back(by_line_note());
        if (boilers_.respelled() > 0)
            notes.push_back(spellings_note(boilers_.first_respelled().first,
                                           boilers_.first_respelled().second,
                                           boilers_.respelled() - 1));
    }

    // What the summary says of the headers after the first.
    [[nodiscard]] const std::vector<Note>& later_notes() const { return later_notes_; }

private:
    void record()
    {
        line_ = reader_.line();
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
            layout.write(writer_, fields_, nullptr, gather(false), reader_.line_end(), true);
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
        data_row(Row{fields_, reader_.quoted_fields()}, raw(), reader_.line_end(),
                 reader_.bytes_read(), nullptr);
    }

    // A row of readings, in fields_: calculated (or, with calculated, as the short way
    // calculated it ahead, and written ahead when written is not empty), counted,
    // described and written.
    void data_row(const Row& row, const std::string_view* raw, LineEnd end,
                  std::uint64_t bytes_read, CommonRow* calculated, std::string_view written = {})
    {
        const Layout& layout = section_->layout();
        ++summary_.read;
        summary_.reshaped += fields_.size() != layout.width ? 1 : 0;
        if (calculated != nullptr) {
            section_->take(row, *calculated, row_);
        } else {
            section_->calculate(row, row_);
        }
        const When when = section_->columns().has(Column::date) ? when_of(row) : When{};
        count();
        if (row_.kind == RowKind::calculated)
            add(totals_, row);
        if (describing_)
            describe(row, when);
        if (!row_.notes.empty() && options_.notice)
            tell();
        if (!written.empty() && row_.notes.empty()) {
            writer_.raw(written);
        } else {
            const bool shown = row_.kind == RowKind::calculated ||
                (row_.kind == RowKind::out_of_range && options_.all_results);
            layout.write(writer_, fields_, raw, gather(shown), end, section_->plain_results());
        }
        if (summary_.read % progress_every == 0)
            options_.progress(summary_.read, bytes_read);
    }

#ifdef QUEMADOR_PIPELINE
    // Whether a record read ahead is one that the pipeline can take, as record() tells
    // them apart: a blank line, or a row of readings (whether they read or not). A
    // record too long for a batch, with an unclosed quote, a footer or a header stops
    // the pipeline and is read on its own.
    [[nodiscard]] bool pipelined(const std::vector<std::string_view>& fields, bool blank) const
    {
        if (reader_.too_long() || reader_.unclosed_quote_line() > 0 ||
            reader_.raw_record().size() > Batch::most_bytes || fields.size() > Batch::most_fields)
            return false;
        if (blank)
            return true;
        const std::string_view o2_cell = field_at(fields, section_->columns()[Column::o2]);
        return footer_cell(fields, section_->columns()).empty() &&
            (begins_as_number(o2_cell) || !is_header(fields, o2_cell));
    }

    // Reads, calculates and writes the section's rows in the pipeline: records read in
    // batches, in order, their common rows calculated in parallel, then each counted,
    // described and written in order by data_row, as one thread does. True when it
    // stopped at a record it cannot take, the reader's last, in ahead_; false at the
    // end of the log.
    bool pipeline()
    {
        bool stopped = false;
        bool ended = false;
        const auto read = [&](tbb::flow_control& control) -> Batch* {
            if (stopped || ended) {
                control.stop();
                return nullptr;
            }
            Batch* batch = batches_.take();
            while (!batch->full()) {
                if (!reader_.next(ahead_)) {
                    ended = true;
                    break;
                }
                const bool blank = is_blank(ahead_);
                if (!pipelined(ahead_, blank)) {
                    stopped = true;
                    break;
                }
                batch->add(reader_, ahead_, blank);
            }
            if (batch->size() == 0) {
                batches_.give_back(batch);
                control.stop();
                return nullptr;
            }
            return batch;
        };
        // The results' decimal mark, once the rows in order have settled it: the batches
        // calculated after it write their rows too.
        std::atomic<int> comma = -1;
        const auto settled = [&comma, this] {
            if (const auto mark = section_->settled_comma())
                comma.store(static_cast<int>(*mark), std::memory_order_release);
        };
        settled();
        const auto calculate_rows = [this, &comma](Batch* batch) {
            const int mark = comma.load(std::memory_order_acquire);
            batch->calculate(*section_,
                             mark < 0 ? std::nullopt
                                      : std::optional(static_cast<text::DecimalComma>(mark)),
                             writer_);
            return batch;
        };
        const auto write = [this, &settled](Batch* batch) {
            for (std::size_t i = 0; i < batch->size(); ++i) {
                const Batch::Record& record = batch->record(i, fields_);
                line_ = record.line;
                const std::string_view raw = batch->raw(record);
                if (record.blank) {
                    writer_.fields_as_read(raw);
                    writer_.end_record(record.end);
                    continue;
                }
                data_row(Row{fields_, batch->quoted(record)}, &raw, record.end, record.bytes_read,
                         batch->common(i) ? &batch->results(i) : nullptr, batch->written(i));
            }
            batches_.give_back(batch);
            settled();
        };
        tbb::parallel_pipeline(
            std::min<std::size_t>(2 * options_.threads, most_batches),
            tbb::make_filter<void, Batch*>(tbb::filter_mode::serial_in_order, read) &
                tbb::make_filter<Batch*, Batch*>(tbb::filter_mode::parallel, calculate_rows) &
                tbb::make_filter<Batch*, void>(tbb::filter_mode::serial_in_order, write));
        return stopped;
    }
#endif

    // A record read with its quotes as text is written field by field, so that they
    // come out quoted; any other as it was read.
    [[nodiscard]] const std::string_view* raw()
    {
        raw_ = reader_.raw_record();
        return reader_.unclosed_quote_line() > 0 ? nullptr : &raw_;
    }

    void footer_row(std::string_view footer)
    {
        if (summary_.footers++ == 0) {
            first_footer_ = std::string(footer);
            first_footer_line_ = line_;
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
        layout.write(writer_, fields_, nullptr, units, reader_.line_end(), true);
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
        const auto notes = later_header_notes(*section_, units_line_, options_);
        later_notes_.insert(later_notes_.end(), notes.begin(), notes.end());
    }

    // Counts a row and reports it when it has no result.
    void count()
    {
        summary_.doubtful += row_.doubtful ? 1 : 0;
        if (const auto& co = row_.report.value(FigureKind::co_air_free);
            row_.kind != RowKind::error && co && *co > co_air_free_limit) [[unlikely]]
            ++summary_.dangerous_co;
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
        options_.report("línea " + std::to_string(line_) + ": " + row_.notes);
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
    // efficiency is from the net. The CO in whole ppm, as each row gives it.
    void add(Totals& totals, const Row& row) const
    {
        constexpr std::size_t co = index_of(FigureKind::co_air_free);
        const Report& report = row_.report;
        for (const std::size_t k : section_->layout().figures) {
            if (report.values[k])
                totals.spreads[k].add(k == co ? std::round(*report.values[k]) : *report.values[k]);
        }
        const auto& net = report.value(FigureKind::net);
        if (double analyser = 0.0; net && section_->analyser(row, analyser))
            totals.analyser.add(analyser - *net, line_);
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
        options_.notice(
            RowNotice{line_, row_.notes, section_->header(), fields_, section_->columns().index});
    }

    // When a row is: its date column read, in the column's order (a date in another
    // order is said in its notes), and the time beside it.
    [[gnu::noinline]] When when_of(const Row& row)
    {
        const Columns& columns = section_->columns();
        const std::string_view cell = row.at(columns[Column::date]);
        const std::uint64_t settled = dates_.settled_line();
        const auto read = dates_.read(cell, line_);
        if (dates_.settled_line() != settled)
            settle(*dates_.order());
        When when{read.state, read.moment, read.waiting};
        if (read.state == DateColumn::State::contradicts) {
            ++summary_.misdated;
            misdated_.add(line_, cell);
            add_note(row_.notes, misdated_row(cell, dates_),
                     row_.kind == RowKind::error ? ". " : " ");
            when.state = DateColumn::State::none;
        }
        if (when.state != DateColumn::State::none && !when.moment.seconds &&
            columns.has(Column::time) && needs_dates_) {
            when.moment.seconds = time_of(row.at(columns[Column::time]));
            if (!when.moment.seconds)
                when.state = DateColumn::State::none;
        }
        return when;
    }

    // Whose and when a row is: its group's figures, and its points on the chart.
    [[gnu::noinline]] void describe(const Row& row, const When& when)
    {
        const Columns& columns = section_->columns();
        const std::string_view cell =
            columns.has(Column::boiler) ? row.at(columns[Column::boiler]) : "";
        const std::size_t boiler = boilers_.of(cell);
        using State = DateColumn::State;
        if (needs_dates_ && when.state == State::none)
            undated_.add(line_, columns.has(Column::date) ? row.at(columns[Column::date]) : "");
        const Grouping grouping = summary_.grouping;
        if (grouping != Grouping::none) {
            const std::size_t whose =
                grouping == Grouping::boiler || summary_.by_boiler ? boiler : boilers_.of("");
            count_in(grouping == Grouping::boiler ? groups_.of(whose, 0)
                                                  : month_group(groups_, whose, when),
                     row);
        }
        if (verdict_)
            count_in(month_group(months_, boiler, when), row);
        if (options_.chart != nullptr)
            chart(row, boiler == Boilers::others ? trimmed(cell) : boilers_.name(boiler), when);
    }

    // A boiler's month in a table of groups: its date's, the one waiting for the date
    // column's order, or the month of rows without a date.
    static Totals& month_group(GroupTable& table, std::size_t boiler, const When& when)
    {
        using State = DateColumn::State;
        if (when.state == State::waiting)
            return table.waiting(boiler, when.waiting);
        return table.of(boiler, when.state == State::dated ? month_of(when.moment.days) : no_month);
    }

    void count_in(Totals& group, const Row& row) const
    {
        ++group.read;
        group.with_notices += row_.notes.empty() ? 0 : 1;
        if (row_.kind == RowKind::calculated)
            add(group, row);
    }

    void chart(const Row& row, std::string_view boiler, const When& when)
    {
        ChartData& chart = *options_.chart;
        using State = DateColumn::State;
        const auto line = static_cast<double>(line_);
        if (over_time_ && when.state == State::none)
            chart.count_undated();
        else
            chart.count_row();
        if (over_time_ && when.state == State::waiting)
            waiting_.insert(when.waiting.key());
        const auto put = [&](const RowPoint& point) {
            if (!over_time_)
                chart.add(boiler, line, point);
            else if (when.state == State::dated)
                chart.add(boiler, when.moment.since_epoch(), point);
            else if (when.state == State::waiting)
                chart.hold(when.waiting.key(), boiler, when.moment.seconds.value_or(0), point);
            else
                chart.add_undated(boiler, line, point);
        };
        const auto mark = [&](Measure measure, double o2) {
            if (!over_time_)
                chart.mark(boiler, measure, line, o2);
            else if (when.state == State::dated)
                chart.mark(boiler, measure, when.moment.since_epoch(), o2);
            else if (when.state == State::waiting)
                chart.hold_mark(when.waiting.key(), boiler, measure,
                                when.moment.seconds.value_or(0), o2);
            else
                chart.mark_undated(boiler, measure, line, o2);
        };
        double o2 = 0.0;
        const bool o2_read = row.number(section_->columns()[Column::o2], section_->comma(), o2);
        const Report& report = row_.report;
        if (row_.kind == RowKind::calculated) {
            const auto& net = report.value(FigureKind::net);
            put({report.results->efficiency, net ? *net : std::nan(""), o2});
        }
        if (o2_read && row_.kind == RowKind::out_of_range)
            mark(Measure::outside, o2);
        else if (o2_read && !row_.notes.empty())
            mark(Measure::notices, o2);
    }

    // The date column's order is known: the rows that waited for it go to their
    // months, and their points on the chart to their days, in the order of the days.
    void settle(DateOrder order)
    {
        groups_.settle(order);
        months_.settle(order);
        if (options_.chart == nullptr)
            return;
        std::vector<std::pair<std::int64_t, std::uint32_t>> days(waiting_.size());
        std::transform(waiting_.begin(), waiting_.end(), days.begin(), [order](std::uint32_t key) {
            return std::pair(AmbiguousDate::of_key(key).in(order).time_since_epoch().count(), key);
        });
        std::sort(days.begin(), days.end());
        for (const auto& [day, key] : days)
            options_.chart->place(key, static_cast<double>(day) * 86400.0);
        waiting_.clear();
    }

    // A group of the summary from its rows' totals.
    [[nodiscard]] Group group_of(std::size_t boiler, std::int32_t month, const Totals& totals) const
    {
        Group group;
        group.boiler = boilers_.name(boiler);
        group.month = month;
        group.read = totals.read;
        group.with_notices = totals.with_notices;
        group.results = results_of(totals);
        group.analyser_difference = totals.analyser;
        return group;
    }

    // The groups in order: boilers as the log names them first, months in order, rows
    // without a date last.
    void finish_groups()
    {
        groups_.each([this](std::size_t boiler, std::int32_t month, const Totals& totals) {
            summary_.groups.push_back(group_of(boiler, month, totals));
        });
        months_.each([this](std::size_t boiler, std::int32_t month, const Totals& totals) {
            summary_.months.push_back(group_of(boiler, month, totals));
        });
        const Totals& others = groups_.others();
        if (others.read > 0) {
            Group group;
            group.others = true;
            group.read = others.read;
            group.with_notices = others.with_notices;
            group.results = results_of(others);
            group.analyser_difference = others.analyser;
            summary_.groups.push_back(std::move(group));
            summary_.notes.push_back(
                Note(std::to_string(others.read) + (others.read == 1 ? " fila" : " filas") +
                     " de más grupos que los " + std::to_string(most_groups) +
                     " primeros se cuentan juntas en «otras»")
                    .about("grupos_de_mas",
                           {{"filas", others.read}, {"grupos", std::uint64_t{most_groups}}}));
        }
        summary_.undated = undated_.count;
    }

    const LogOptions& options_;
    CsvReader& reader_;
    CsvWriter& writer_;
    LogSummary& summary_;
    std::unique_ptr<Section> section_;
    std::uint64_t units_line_ = 0;
    std::vector<std::string_view> fields_;
#ifdef QUEMADOR_PIPELINE
    // The fields of the record the pipeline read last, on a cache line of their own: the
    // pipeline's first stage writes them while its last writes the members around.
    alignas(64) std::vector<std::string_view> ahead_;
    alignas(64) Batches batches_;
#endif
    std::uint64_t line_ = 0; // where the record begins
    std::string_view raw_;   // the record as read
    RowResults row_;
    // The row's results in the layout's order, in the log's decimal mark.
    std::vector<std::string_view> texts_;
    // The whole log's figures, and which results a section wrote.
    Totals totals_;
    std::vector<FigureKind> used_; // the figures the sections wrote, in their order
    bool over_time_;
    bool verdict_; // each boiler's months gathered
    bool needs_dates_;
    bool describing_;
    // The dates, read in their column's order; rows without one where they are wanted,
    // and with one in another order.
    DateColumn dates_;
    std::string date_column_;
    FirstOf undated_;
    FirstOf misdated_;
    // The groups' figures as asked; rows whose day waits for the date column's order hold
    // their points on the chart by their date's key.
    Boilers boilers_;
    GroupTable groups_;
    // By boiler and month, for the verdict.
    GroupTable months_;
    std::set<std::uint32_t> waiting_;
    std::vector<Note> later_notes_;
    std::uint64_t repeated_headers_ = 0;
    std::uint64_t first_repeat_ = 0;
    std::string first_footer_;
    std::uint64_t first_footer_line_ = 0;
};

// What the summary groups by: the option's choice, which needs its column, or by
// boiler when the log names its boilers.
Grouping grouping_of(const Columns& columns, const LogOptions& options)
{
    const Grouping grouping =
        options.grouping.value_or(columns.has(Column::boiler) ? Grouping::boiler : Grouping::none);
    if ((grouping == Grouping::boiler && !columns.has(Column::boiler)) ||
        (grouping == Grouping::month && !columns.has(Column::date)))
        throw LogError(no_grouping_column_note(grouping));
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
    if (auto problem = columns_problem(start.header, columns))
        throw LogError(std::move(*problem));
    if (!columns.has(Column::fuel) && !options.fuel)
        throw LogError(no_fuel_note());
    if (const auto figure = figure_not_given(columns, options))
        throw LogError(not_given_note(*figure));

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
    // A log of boilers is judged boiler by boiler; any other when asked.
    LogRun run(options, reader, writer, summary, columns.has(Column::date),
               options.verdict || columns.has(Column::boiler));
    run.begin(std::make_unique<Section>(start.header, start.header_line, columns, start.separator,
                                        options),
              start.line_end);
    // The first header's notes are made now: its section ends at the next header.
    std::vector<Note> notes = {
        read_note(decoded, start.separator, start.header_line, run.units_line()),
        columns_note(run.section(), options)};
    std::vector<Note> first = first_rows_notes(run.section());
    notes.insert(notes.end(), std::make_move_iterator(first.begin()),
                 std::make_move_iterator(first.end()));
    run.run();
    writer.flush();
    sink.flush();
    run.finish();

    // The encoding is known once the log is read.
    notes.front() = read_note(decoded, start.separator, start.header_line, run.units_line());
    notes.insert(notes.end(), run.later_notes().begin(), run.later_notes().end());
    notes.insert(notes.end(), summary.notes.begin(), summary.notes.end());
    summary.notes = std::move(notes);
    summary.encoding = sink.encoding().value_or(decoded.encoding());
    encoding_notes(decoded, sink, summary);
    return summary;
}

} // namespace quemador::log
