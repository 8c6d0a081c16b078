// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes a log's grouping, its chart, its verdict and the chart's SVG: any bytes, grouped
// by boiler, by month or not at all, charted over time or over the line, with few buckets
// so that short inputs thin their series, judged with alerts.
// Properties: the groups are those of distinct keys, at most the cap and "otras"; the
// verdict has a row of every column for each boiler, each alert's boiler among them; the
// SVG is text any XML reader takes (well-formed UTF-8, no character XML forbids), its
// labels are bounded, and every coordinate is a plain number within reach.

#include "cli/chart_svg.h"
#include "fuzz_checks.h"
#include "log/chart.h"
#include "log/log.h"
#include "log/log_error.h"
#include "log/verdict.h"
#include "text/names.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

using namespace quemador;
using namespace quemador::log;

namespace {

// Headers with a boiler and a date column, so that most inputs reach the groups and
// the chart's time axis; the empty one leaves the header to the fuzzer.
constexpr std::array<std::string_view, 4> headers = {
    "", "Caldera,Fecha,O2,T\n",
    "Equipo;Fecha y hora;O2;CO2;T humos (\xC2\xBA"
    "C)\n",
    "Fecha\tHora\tCaldera\tOx\xC3\xADgeno\tTemperatura\tCombustible\n"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string input(headers.at(data[0] & 3U));
    input.append(reinterpret_cast<const char*>(data + 1), size - 1);

    LogOptions options;
    options.fuel = Fuel::natural_gas;
    constexpr std::array<std::optional<Grouping>, 4> groupings = {std::nullopt, Grouping::boiler,
                                                                  Grouping::month, Grouping::none};
    options.grouping = groupings.at((data[0] >> 2U) & 3U);
    ChartData chart((data[0] >> 4U) + 1);
    options.chart = &chart;
    options.verdict = true;
    options.judging.drop = 1;
    options.judging.minimum = 83;
    text::StringSource source(input);
    text::StringSink sink;
    LogSummary summary;
    try {
        summary = process_log(source, sink, options);
    } catch (const LogError&) {
        return 0;
    }
    FUZZ_REQUIRE(summary.groups.size() <= most_groups + 1);

    const Verdict verdict = judge(summary, options.judging);
    for (const auto& row : verdict_rows(verdict, text::DecimalComma::accepted))
        FUZZ_REQUIRE(row.size() == verdict_columns(verdict).size());
    for (const Alert& alert : verdict.alerts)
        FUZZ_REQUIRE(std::any_of(verdict.boilers.begin(), verdict.boilers.end(),
                                 [&](const BoilerVerdict& v) { return v.boiler == alert.boiler; }));
    const auto table = summary_table(summary, &verdict);
    for (const auto& row : table)
        FUZZ_REQUIRE(row.size() == table.front().size());
    Chart drawn = chart.chart("registro\xFF.csv");
    mark_alerts(drawn, verdict, text::DecimalComma::accepted);
    FUZZ_REQUIRE(drawn.boilers_charted <= ChartData::charted_boilers);
    for (const ChartPanel& panel : drawn.panels) {
        for (const auto* group : {&panel.series, &panel.bands}) {
            for (const ChartSeries& series : *group) {
                FUZZ_REQUIRE(series.x.size() == series.y.size());
                FUZZ_REQUIRE(series.low.size() == series.high.size());
                FUZZ_REQUIRE(series.low.empty() || series.low.size() == series.x.size());
            }
        }
    }
    const std::string svg = cli::chart_svg(drawn);
    std::uint64_t replaced = 0;
    FUZZ_REQUIRE(text::valid_text(svg, replaced) == svg);
    std::size_t labels = 0;
    for (std::size_t at = svg.find("<text"); at != std::string::npos;
         at = svg.find("<text", at + 1))
        ++labels;
    FUZZ_REQUIRE(labels <= 60 + 45 * drawn.panels.size());
    // Every coordinate plain digits, a sign and a point.
    for (const std::string_view name : {" x=\"", " y=\"", " cx=\"", " cy=\"", " x1=\"", " y2=\""}) {
        for (std::size_t at = svg.find(name); at != std::string::npos;
             at = svg.find(name, at + 1)) {
            // Within an attribute's value (a boiler's name in data-caldera) it is text.
            const std::size_t tag = svg.rfind('<', at);
            if (std::count(svg.begin() + static_cast<std::ptrdiff_t>(tag),
                           svg.begin() + static_cast<std::ptrdiff_t>(at), '"') %
                    2 !=
                0)
                continue;
            const std::size_t from = at + name.size();
            const std::size_t end = svg.find('"', from);
            FUZZ_REQUIRE(end != std::string::npos && end > from && end - from <= 10);
            FUZZ_REQUIRE(svg.find_first_not_of("-0123456789.", from) == end);
        }
    }
    return 0;
}
