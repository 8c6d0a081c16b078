// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the CSV reader alone: the same records, with the same fields, line numbers and
// unclosed quotes, whatever the line ends (LF, CR LF or a lone CR) and however the
// input is chunked, and a look-ahead reads them again the same after a rewind. Built
// with tiny buffers, short inputs reach every refill and every growth of the buffer.

#include "fuzz_checks.h"
#include "text/csv.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using namespace quemador::text;

namespace {

struct Record {
    std::vector<std::string> fields;
    std::uint64_t line;
    std::uint64_t unclosed_quote_line;
    bool too_long;

    bool operator==(const Record&) const = default;
};

// Line ends inside a field as LF, whatever they were written as.
std::string with_lf(std::string_view field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\r') {
            out += '\n';
            i += i + 1 < field.size() && field[i + 1] == '\n' ? 1 : 0;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<Record> records(std::string_view text, char separator, std::size_t chunk,
                            std::size_t look_ahead)
{
    StringSource source(text, chunk);
    CsvReader reader(source, separator);
    std::vector<Record> read;
    std::vector<std::string_view> fields;
    const auto next = [&](std::vector<Record>& into) {
        if (!reader.next(fields))
            return false;
        Record record{{}, reader.line(), reader.unclosed_quote_line(), reader.too_long()};
        std::transform(fields.begin(), fields.end(), std::back_inserter(record.fields), with_lf);
        into.push_back(std::move(record));
        return true;
    };
    // A look-ahead over the first records, which are then read again.
    reader.mark();
    std::vector<Record> ahead;
    for (std::size_t i = 0; i < look_ahead && next(ahead);)
        ++i;
    reader.rewind();
    while (next(read)) {}
    FUZZ_REQUIRE(ahead.size() <= read.size());
    FUZZ_REQUIRE(std::equal(ahead.begin(), ahead.end(), read.begin()));
    return read;
}

// The text with every line end written as the given one.
std::string with_line_ends(std::string_view text, std::string_view end)
{
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += end;
        else
            out += c;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte: the separator (bits 0 and 1), how many records are looked ahead
    // (bits 2 to 4) and how many bytes are read at a time (bits 5 to 7, 1 to 7).
    constexpr std::array<char, 4> separators = {',', ';', '\t', '|'};
    const char separator = separators.at(data[0] & 3U);
    const std::size_t look_ahead = (data[0] >> 2U) & 7U;
    const std::size_t chunk = std::max<std::size_t>(data[0] >> 5U, 1);
    // Line ends as LF only, so that each can be written the three ways.
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());

    const std::vector<Record> lf = records(text, separator, text.size() + 1, look_ahead);
    FUZZ_REQUIRE(records(text, separator, chunk, look_ahead) == lf);
    for (const std::string_view end : {"\r\n", "\r"}) {
        const std::string other = with_line_ends(text, end);
        FUZZ_REQUIRE(records(other, separator, other.size() + 1, look_ahead) == lf);
        FUZZ_REQUIRE(records(other, separator, chunk, look_ahead) == lf);
    }
    return 0;
}
