// Fuzzes a whole CSV log through quemador1-calc's reader, calculation and writer,
// with the input handed over whole or a few bytes at a time.
// Properties: any bytes either make a usage error with no output, or every record
// comes out, in order, with all its fields as read and three more; blank lines stay
// blank; every record counted is either calculated or reported.

#include "cli/csv_log.h"
#include "cli/usage_error.h"
#include "fuzz_checks.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace quemador::cli;

namespace {

// Headers that name the columns, so that most inputs reach the records; the empty one
// leaves the header to the fuzzer.
constexpr std::array<std::string_view, 4> headers = {"", "O2,T\n",
                                                     "\xEF\xBB\xBFo2 (%);CO2;T gas (\xC2\xBA"
                                                     "C);Combustible\r\n",
                                                     "Fecha\tOx\xC3\xADgeno\tTemperatura\n"};

// Hands out its text a few bytes at a time, so that records straddle the reader's refills.
class ChunkedSource : public ByteSource {
public:
    ChunkedSource(std::string_view text, std::size_t chunk) : text_(text), chunk_(chunk) {}
    std::size_t read(char* buffer, std::size_t size) override
    {
        const std::size_t n = std::min({size, chunk_, text_.size()});
        std::copy_n(text_.data(), n, buffer);
        text_.remove_prefix(n);
        return n;
    }

private:
    std::string_view text_;
    std::size_t chunk_;
};

std::vector<std::vector<std::string>> records(std::string_view text, std::optional<char> separator,
                                              char* detected = nullptr)
{
    StringSource source(text);
    CsvReader reader(source, separator);
    std::vector<std::vector<std::string>> out;
    std::vector<std::string_view> fields;
    if (!reader.read_header(fields))
        return out;
    out.emplace_back(fields.begin(), fields.end());
    while (reader.next(fields))
        out.emplace_back(fields.begin(), fields.end());
    if (detected != nullptr)
        *detected = reader.separator();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string input(headers.at(data[0] % headers.size()));
    input.append(reinterpret_cast<const char*>(data + 1), size - 1);

    // Bits 5 to 7 of the first byte: read 1 to 7 bytes at a time, or all at once.
    const std::size_t chunk = data[0] >> 5U;
    ChunkedSource source(input, chunk == 0 ? input.size() : chunk);
    StringSink sink;
    LogOptions options;
    if ((data[0] & 0x10U) != 0)
        options.fuel = quemador::Fuel::fuel_oil_no2;
    std::uint64_t reported = 0;
    options.report = [&](std::string_view) { ++reported; };
    LogSummary summary;
    try {
        summary = process_log(source, sink, options);
    } catch (const UsageError&) {
        FUZZ_REQUIRE(sink.text.empty());
        return 0;
    }

    char separator = ',';
    const auto in = records(input, std::nullopt, &separator);
    const auto out = records(sink.text, separator);
    FUZZ_REQUIRE(in.size() == out.size());
    std::uint64_t counted = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const bool blank = in[i].size() == 1 && in[i][0].empty();
        if (blank && i > 0) {
            FUZZ_REQUIRE(out[i] == in[i]);
            continue;
        }
        counted += i > 0 ? 1 : 0;
        FUZZ_REQUIRE(out[i].size() == in[i].size() + 3);
        FUZZ_REQUIRE(std::equal(in[i].begin(), in[i].end(), out[i].begin()));
    }
    FUZZ_REQUIRE(counted == summary.read);
    FUZZ_REQUIRE(summary.read == summary.calculated + summary.with_errors);
    FUZZ_REQUIRE(reported == summary.with_errors);
    return 0;
}
