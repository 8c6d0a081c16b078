// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a run of logs found, as one JSON document for a program to read (quemador1-calc
// --json, and the page's answer): the program's version and the document's schema's;
// each log with its status, why it could not be read, its rows counted by what became
// of them, the columns it read with their units, and its notes as data with their
// words; the logs read as one: each result's spread, the groups and the verdict; and
// the outputs written. docs/quemador1-calc-informe.schema.json describes it; the
// document says the same whatever the machine, so that a test can hold it to a file.

#include "log/json.h"
#include "log/note.h"
#include "log/summary.h"
#include "log/verdict.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::log {

// The schema's version: raised when a member changes its meaning or goes away.
inline constexpr std::uint64_t report_schema = 1;

// One log of a run. A log read keeps its own summary (before it is merged with the
// others) without its groups and months, which the run's summary has.
struct LogOutcome {
    std::string name;           // as given: a path, or "-" for standard input
    int status = 0;             // 0 every row calculated, 1 some not or doubted, 2 not read
    std::optional<Note> reason; // why it could not be read
    std::optional<LogSummary> summary;
};

// A log read, and a log that could not be.
LogOutcome read_outcome(std::string name, const LogSummary& summary);
LogOutcome failed_outcome(std::string name, Note reason);

// A file the run wrote: what it holds ("resultados", "resumen", "grafico", "informe")
// and its path as given.
struct OutputWritten {
    std::string kind;
    std::string path;
};

// A run: its logs in the order given, the summary of those read (merged) and their
// verdict when the run judged them, its outputs, and the status it ends with.
struct RunReport {
    std::vector<LogOutcome> logs;
    const LogSummary* summary = nullptr; // none when no log was read
    const Verdict* verdict = nullptr;    // none when not judged
    std::vector<OutputWritten> outputs;
    int status = 0;
};

// The report as members of the object being written (the page adds its own), and as a
// whole document ending with a line end. Notes are in the face's words.
void write_report(Json& json, const RunReport& report, RemedyWords words);
std::string report_json(const RunReport& report, RemedyWords words);

} // namespace quemador::log
