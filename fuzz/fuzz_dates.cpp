// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzzes reading the dates a log writes, in every shape (log/dates.h), one cell alone
// and a column of them.
// Properties: a date read is a day of the calendar that, written as the chart writes
// it and read again, is the same day and minute; a numeric date whose two first
// numbers are equal is one day either way; a column's order, once settled, stays, and
// only a column with an order has dates that contradict it.

#include "fuzz_checks.h"
#include "log/dates.h"

#include <cstdint>
#include <optional>
#include <string_view>

using namespace quemador::log;

namespace {

void round_trip(const Moment& moment)
{
    const auto again = date_of(moment_text(moment.since_epoch(), moment.seconds.has_value()));
    FUZZ_REQUIRE(again.has_value() && again->days == moment.days);
    FUZZ_REQUIRE(again->seconds.has_value() == moment.seconds.has_value());
    if (moment.seconds)
        FUZZ_REQUIRE(*again->seconds == *moment.seconds / 60 * 60);
    month_text(month_of(moment.days));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const DateCell cell = read_date(text);
    if (cell.moment)
        round_trip(*cell.moment);
    for (const DateOrder order : {DateOrder::day_first, DateOrder::month_first}) {
        if (const auto moment = cell.in(order))
            round_trip(*moment);
    }
    if (cell.numeric && cell.first == cell.second) {
        const auto day = cell.in(DateOrder::day_first);
        const auto month = cell.in(DateOrder::month_first);
        FUZZ_REQUIRE(day.has_value() == month.has_value() && (!day || day->days == month->days));
    }
    if (const auto moment = date_of(text))
        round_trip(*moment);

    // The text as a column, a cell a line.
    DateColumn column(std::nullopt);
    std::optional<DateOrder> settled;
    std::uint64_t line = 0;
    for (std::string_view rest = text; !rest.empty();) {
        const auto end = rest.find('\n');
        const auto read = column.read(rest.substr(0, end), ++line);
        FUZZ_REQUIRE(read.state != DateColumn::State::contradicts || settled);
        if (settled)
            FUZZ_REQUIRE(column.order() == settled);
        settled = column.order();
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return 0;
}
