// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A whole log of readings in CSV: every line is copied to the output, in order, each
// record with its results and advice, one record at a time, in the encoding the log
// came in. It needs nothing but a byte source and a byte sink.

#include "calculation/report.h"
#include "log/chart.h"
#include "log/columns.h"
#include "log/dates.h"
#include "log/summary.h"
#include "log/verdict.h"
#include "text/csv.h"
#include "text/encoding.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace quemador::log {

// A row with notes, for a face that lists them: its line in the file, its notes as the
// aviso column gives them, the header over it and its fields as read, and where the
// columns of its readings are.
struct RowNotice {
    std::uint64_t line;
    std::string_view notes;
    const std::vector<std::string>& header;
    const std::vector<std::string_view>& fields;
    const Columns::Indexes& columns;
};

struct LogOptions {
    // For records without a fuel of their own.
    std::optional<Fuel> fuel;
    // Overrides the unit that the header or its units line gives.
    std::optional<TemperatureUnit> unit;
    // The log's encoding, when it is not to be detected.
    std::optional<text::Encoding> encoding;
    // Columns named by the user, over those found by their header.
    ColumnChoice columns;
    // The figures written into each record, in their order; none: default_figures
    // (log/layout.h).
    std::vector<FigureKind> figures;
    // Results outside the model are written too, not only the reason.
    bool all_results = false;
    // In the log's temperature unit: the combustion air's temperature for rows without
    // one of their own, and a target's stack temperature. With a target oxygen, the
    // log gains the fuel a tuning to it would save.
    std::optional<double> air;
    std::optional<double> target_o2;
    std::optional<double> target_temp;
    // What the summary groups by; none: by boiler when the log has a boiler column,
    // otherwise not at all. A grouping the log has no column for is a LogError.
    std::optional<Grouping> grouping;
    // How the date column writes its numeric dates; none: as its data shows.
    std::optional<DateOrder> date_order;
    // Whether the summary gathers each boiler's months for its verdict (a log with a
    // boiler column always does), and what the verdict flags and counts (log/verdict.h).
    bool verdict = false;
    JudgeOptions judging;
    // Where the chart's points go, when the log is charted; the chart is over time when
    // the log has a date column.
    ChartData* chart = nullptr;
    // Every row through the general way of reading and calculating it, never the
    // common row's short way: the reference that the short way is held to.
    bool general_path = false;
    // The threads that read the log: with more than one, the rows of a section whose
    // rows may take the short way are read ahead, calculated in parallel and written in
    // order, to the same bytes and summary as one thread gives. One starts no thread.
    // (Where the build has no pipeline, as on the web page, the log is read by one.)
    std::size_t threads = 1;
    // Every row with notes, when set.
    std::function<void(const RowNotice&)> notice;
    // One line for the user: a record that could not be calculated, with its line (in no
    // face's words: a row's notes are written into the log).
    std::function<void(std::string_view)> report = [](std::string_view) {};
    // Called every few thousand records with the records and bytes read so far.
    std::function<void(std::uint64_t, std::uint64_t)> progress = [](std::uint64_t, std::uint64_t) {
    };
};

// Reads the log from input and writes it to output. The lines above the header and a
// units line under it are copied through; each record gets a column for each figure
// (by default exceso_aire, eficiencia, eficiencia_neta, and eficiencia_corregida with an
// air temperature, ahorro_combustible with a target) and aviso, appended after the header's columns
// or in their place when the header has them already (a log written by this program).
// A record shorter than the header is padded to its width; a longer one keeps its
// extra fields after the results. A header further down (two exports appended, or one
// repeated on every page) starts the rows under it afresh. A spreadsheet's footer rows
// (Media, Máximo, …) are copied without results. A log whose header cannot be found,
// whose columns are missing or ambiguous, or that cannot give a figure asked for, is a
// LogError, before anything is written.
LogSummary process_log(text::ByteSource& input, text::ByteSink& output, const LogOptions& options);

} // namespace quemador::log
