// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes a whole CSV log through the log's decoding, header search, reader,
// calculation and writer, its dates, groups and chart, with the input handed over
// whole or a few bytes at a time, its encoding detected or given. Built with tiny
// buffers, short inputs reach their edges.
// Properties: any bytes either make a usage error with no output, or an output, a
// summary and a chart that do not depend on how the input arrived (whole on one thread,
// or a few bytes at a time through the pipeline of two); every record counted
// is calculated, out of range or reported; every row is in one group, whatever its
// date; the chart's series are whole; and a UTF-8 log's output, read again, has the
// same records with the same outcomes and reaches a fixed point.

#include "fuzz_checks.h"
#include "log/log.h"
#include "log/log_error.h"
#include "text/encoding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace quemador::log;
using namespace quemador::text;

namespace {

// Headers that name the columns, so that most inputs reach the records; the empty one
// leaves the header to the fuzzer. The second four have dates, boilers and CO.
constexpr std::array<std::string_view, 8> headers = {
    "",
    "O2,T\n",
    "\xEF\xBB\xBFo2 (%);CO2;T gas (\xC2\xBA"
    "C);Combustible\r\n",
    "Fecha\tOx\xC3\xADgeno\tTemperatura\n",
    "Fecha;Caldera;O2;CO;T humos (\xC2\xB0"
    "C)\n",
    "Date,Time,Boiler #,O2,CO (ppm),Stack Temp\n",
    "Fecha y hora\tEquipo\tOx\xC3\xADgeno\tTemperatura\n",
    "N\xC2\xBA caldera;Fecha;O2;T\n"};

struct Run {
    std::optional<LogSummary> summary; // none for a usage error
    std::string output;
    std::uint64_t reported = 0;
    std::optional<Chart> chart;
};

Run run(std::string_view input, std::size_t chunk, const LogOptions& base, bool charted)
{
    Run result;
    StringSource source(input, chunk);
    StringSink sink;
    ChartData chart(8); // a few buckets: long inputs thin their series
    LogOptions options = base;
    options.report = [&](std::string_view) { ++result.reported; };
    options.chart = charted ? &chart : nullptr;
    try {
        result.summary = process_log(source, sink, options);
        if (charted)
            result.chart = chart.chart("registro");
    } catch (const LogError&) {
        FUZZ_REQUIRE(sink.text.empty());
    }
    result.output = std::move(sink.text);
    return result;
}

// The rows each group counts, in order.
std::vector<std::uint64_t> group_rows(const LogSummary& summary)
{
    std::vector<std::uint64_t> rows(summary.groups.size());
    std::transform(summary.groups.begin(), summary.groups.end(), rows.begin(),
                   [](const Group& group) { return group.read; });
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // Bits 0 and 1 of the first byte, and bit 5 of the second: the header.
    std::string input(headers.at((data[0] & 3U) | ((data[1] >> 3U) & 4U)));
    input.append(reinterpret_cast<const char*>(data + 2), size - 2);

    LogOptions options;
    if ((data[0] & 0x10U) != 0)
        options.fuel = quemador::Fuel::fuel_oil_no2;
    // Bits 2 and 3: the encoding detected, or given as UTF-8, Windows-1252 or UTF-16.
    constexpr std::array<std::optional<Encoding>, 4> encodings = {
        std::nullopt, Encoding::utf8, Encoding::windows1252, Encoding::utf16le};
    options.encoding = encodings.at((data[0] >> 2U) & 3U);
    // The second byte: bits 0 and 1, the grouping (the log's own, none, by boiler, by
    // month); bit 2, a chart; bits 3 and 4, the date order (the dates', or given).
    constexpr std::array<std::optional<Grouping>, 4> groupings = {
        std::nullopt, Grouping::none, Grouping::boiler, Grouping::month};
    options.grouping = groupings.at(data[1] & 3U);
    const bool charted = (data[1] & 4U) != 0;
    constexpr std::array<std::optional<DateOrder>, 4> orders = {
        std::nullopt, DateOrder::day_first, DateOrder::month_first, DateOrder::year_first};
    options.date_order = orders.at((data[1] >> 3U) & 3U);
    // Bits 5 to 7 of the first byte: read 1 to 7 bytes at a time.
    const std::size_t chunk = std::max<std::size_t>(data[0] >> 5U, 1);
    const Run whole = run(input, input.size(), options, charted);
    // The chunked run on two threads, through the pipeline (in batches of a record or
    // two, with the tiny buffers).
    LogOptions pipelined = options;
    pipelined.threads = 2;
    const Run chunked = run(input, chunk, pipelined, charted);
    FUZZ_REQUIRE(whole.output == chunked.output);
    FUZZ_REQUIRE(whole.summary.has_value() == chunked.summary.has_value());
    if (!whole.summary)
        return 0;
    const LogSummary& summary = *whole.summary;
    FUZZ_REQUIRE(summary.notes == chunked.summary->notes);
    FUZZ_REQUIRE(group_rows(summary) == group_rows(*chunked.summary));
    FUZZ_REQUIRE(summary.read == summary.calculated + summary.out_of_range + summary.with_errors);
    FUZZ_REQUIRE(summary.doubtful <= summary.read);
    FUZZ_REQUIRE(summary.misdated <= summary.read && summary.undated <= summary.read);
    FUZZ_REQUIRE(whole.reported ==
                 summary.out_of_range + summary.with_errors + summary.unclosed_quotes);
    // Every row is in one group, whether its date was read at once, waited for its
    // column's order, or could not be read.
    const auto rows = group_rows(summary);
    FUZZ_REQUIRE(summary.groups.empty() ||
                 std::accumulate(rows.begin(), rows.end(), std::uint64_t{0}) == summary.read);
    if (charted) {
        const Chart& chart = *whole.chart;
        FUZZ_REQUIRE(chart.rows + chart.undated <= summary.read);
        FUZZ_REQUIRE(chart.rows == chunked.chart->rows && chart.undated == chunked.chart->undated);
        for (const ChartPanel& panel : chart.panels) {
            for (const ChartSeries& series : panel.series) {
                FUZZ_REQUIRE(series.x.size() == series.y.size() && !series.x.empty());
                FUZZ_REQUIRE(std::all_of(series.x.begin(), series.x.end(),
                                         [](double x) { return std::isfinite(x); }));
            }
        }
    }

    // Read again, the output keeps its records and their fields: the results go back in
    // their own columns, and a third reading changes nothing. (The first output may
    // quote a field that the second writes with quotes of its own.)
    // Lines above the header are copied as they are, so a quote left open there may
    // close differently against the header as written: those are left out.
    const bool quote_above_header = summary.header_line > 1 && input.find('"') != std::string::npos;
    const bool read_as_utf8 = options.encoding.value_or(Encoding::utf8) == Encoding::utf8;
    if (read_as_utf8 && valid_utf8(input, false) && summary.unclosed_quotes == 0 &&
        !quote_above_header) {
        const Run again = run(whole.output, whole.output.size(), options, false);
        FUZZ_REQUIRE(again.summary.has_value());
        FUZZ_REQUIRE(again.summary->read == summary.read);
        FUZZ_REQUIRE(again.summary->with_errors == summary.with_errors);
        const Run third = run(again.output, again.output.size(), options, false);
        FUZZ_REQUIRE(third.output == again.output);
    }
    return 0;
}
