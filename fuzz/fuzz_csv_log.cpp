// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes a whole CSV log through the log's decoding, header search, reader,
// calculation and writer, with the input handed over whole or a few bytes at a time,
// its encoding detected or given. Built with tiny buffers, short inputs reach their
// edges.
// Properties: any bytes either make a usage error with no output, or an output that
// does not depend on how the input arrived; every record counted is calculated, out
// of range or reported; and a UTF-8 log's output, read again, has the same records
// with the same outcomes and reaches a fixed point.

#include "fuzz_checks.h"
#include "log/log.h"
#include "log/log_error.h"
#include "text/encoding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using namespace quemador::log;
using namespace quemador::text;

namespace {

// Headers that name the columns, so that most inputs reach the records; the empty one
// leaves the header to the fuzzer.
constexpr std::array<std::string_view, 4> headers = {"", "O2,T\n",
                                                     "\xEF\xBB\xBFo2 (%);CO2;T gas (\xC2\xBA"
                                                     "C);Combustible\r\n",
                                                     "Fecha\tOx\xC3\xADgeno\tTemperatura\n"};

struct Run {
    std::optional<LogSummary> summary; // none for a usage error
    std::string output;
    std::uint64_t reported = 0;
};

Run run(std::string_view input, std::size_t chunk, const LogOptions& base)
{
    Run result;
    StringSource source(input, chunk);
    StringSink sink;
    LogOptions options = base;
    options.report = [&](std::string_view) { ++result.reported; };
    try {
        result.summary = process_log(source, sink, options);
    } catch (const LogError&) {
        FUZZ_REQUIRE(sink.text.empty());
    }
    result.output = std::move(sink.text);
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string input(headers.at(data[0] & 3U));
    input.append(reinterpret_cast<const char*>(data + 1), size - 1);

    LogOptions options;
    if ((data[0] & 0x10U) != 0)
        options.fuel = quemador::Fuel::fuel_oil_no2;
    // Bits 2 and 3: the encoding detected, or given as UTF-8, Windows-1252 or UTF-16.
    constexpr std::array<std::optional<Encoding>, 4> encodings = {
        std::nullopt, Encoding::utf8, Encoding::windows1252, Encoding::utf16le};
    options.encoding = encodings.at((data[0] >> 2U) & 3U);
    // Bits 5 to 7 of the first byte: read 1 to 7 bytes at a time.
    const std::size_t chunk = std::max<std::size_t>(data[0] >> 5U, 1);
    const Run whole = run(input, input.size(), options);
    const Run chunked = run(input, chunk, options);
    FUZZ_REQUIRE(whole.output == chunked.output);
    FUZZ_REQUIRE(whole.summary.has_value() == chunked.summary.has_value());
    if (!whole.summary)
        return 0;
    const LogSummary& summary = *whole.summary;
    FUZZ_REQUIRE(summary.notes == chunked.summary->notes);
    FUZZ_REQUIRE(summary.read == summary.calculated + summary.out_of_range + summary.with_errors);
    FUZZ_REQUIRE(summary.doubtful <= summary.read);
    FUZZ_REQUIRE(whole.reported ==
                 summary.out_of_range + summary.with_errors + summary.unclosed_quotes);

    // Read again, the output keeps its records and their fields: the results go back in
    // their own columns, and a third reading changes nothing. (The first output may
    // quote a field that the second writes with quotes of its own.)
    // Lines above the header are copied as they are, so a quote left open there may
    // close differently against the header as written: those are left out.
    const bool quote_above_header = summary.header_line > 1 && input.find('"') != std::string::npos;
    const bool read_as_utf8 = options.encoding.value_or(Encoding::utf8) == Encoding::utf8;
    if (read_as_utf8 && valid_utf8(input, false) && summary.unclosed_quotes == 0 &&
        !quote_above_header) {
        const Run again = run(whole.output, whole.output.size(), options);
        FUZZ_REQUIRE(again.summary.has_value());
        FUZZ_REQUIRE(again.summary->read == summary.read);
        FUZZ_REQUIRE(again.summary->with_errors == summary.with_errors);
        const Run third = run(again.output, again.output.size(), options);
        FUZZ_REQUIRE(third.output == again.output);
    }
    return 0;
}
