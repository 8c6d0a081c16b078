// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes the consumptions file of the money (log/verdict.h) and the number reader it
// reads with (text/number_column.h): the whole input as a file, each line as a cell
// alone and as a column.
// Properties: a file gives consumptions or a fault, never neither; every consumption is
// within the bounds, in kWh and € the kWh, and names a boiler no other names; a cell
// without marks reads the same both ways, one with them reads as its digits would with
// its grouping taken out; a column's mark, once settled, stays, and only a settled column
// has cells that contradict it; a whole number is printed whatever its size.

#include "fuzz_checks.h"
#include "log/verdict.h"
#include "text/names.h"
#include "text/number_column.h"
#include "text/numbers.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <string_view>

using namespace quemador;

namespace {

// A reading checked against the plain reader: the cell with its grouping marks taken out
// and its decimal mark a point.
void same_as_plain(std::string_view cell, const std::optional<double>& value, char decimal,
                   char group)
{
    if (!value)
        return;
    FUZZ_REQUIRE(std::isfinite(*value));
    std::string plain;
    for (const char c : cell) {
        if (c != group)
            plain += c == decimal ? '.' : c;
    }
    double again = 0;
    FUZZ_REQUIRE(text::parse_number(plain, text::DecimalComma::rejected, again));
    FUZZ_REQUIRE(again == *value);
}

void cell(std::string_view text)
{
    const text::NumberReadings readings = text::number_readings(text);
    if (!readings.marked && (readings.point || readings.comma))
        FUZZ_REQUIRE(readings.point && readings.comma && *readings.point == *readings.comma);
    if (readings.ambiguous())
        FUZZ_REQUIRE(*readings.point != *readings.comma);
    same_as_plain(text, readings.point, '.', ',');
    same_as_plain(text, readings.comma, ',', '.');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const log::ConsumptionsRead read = log::read_consumptions(text);
    FUZZ_REQUIRE(read.fault || !read.consumptions.empty());
    std::set<std::string> boilers;
    double total = 0;
    for (const log::Consumption& c : read.consumptions) {
        FUZZ_REQUIRE(c.kwh >= 0 && c.kwh <= log::max_yearly_kwh);
        FUZZ_REQUIRE(c.price >= 0 && c.price <= log::max_kwh_price);
        FUZZ_REQUIRE(boilers.insert(text::caseless(c.boiler)).second);
        total += c.kwh * c.price;
    }
    FUZZ_REQUIRE(!log::whole_text(total).empty());

    // The text as a column, a cell a line.
    text::NumberColumn column;
    std::optional<text::DecimalMark> settled;
    std::uint64_t line = 0;
    for (std::string_view rest = text; !rest.empty();) {
        const auto end = rest.find('\n');
        const std::string_view one = rest.substr(0, end);
        cell(one);
        const auto got = column.read(one, ++line);
        FUZZ_REQUIRE(got.state != text::NumberColumn::State::contradicts || settled);
        FUZZ_REQUIRE(got.state != text::NumberColumn::State::waiting || !column.mark());
        if (settled)
            FUZZ_REQUIRE(column.mark() == settled);
        settled = column.mark();
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }

    // Eight bytes as a double, printed as a sum.
    if (size >= sizeof(double)) {
        double x = 0;
        std::memcpy(&x, data, sizeof x);
        FUZZ_REQUIRE(!log::whole_text(x).empty());
    }
    return 0;
}
