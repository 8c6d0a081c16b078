// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A log judged for its energy manager, boiler by boiler, worst first: the mean gross and
// net efficiency, the trend (points a month, a least-squares line over the monthly
// means), the change from the first month to the last, the worst month, the rows with
// notices and the highest CO air-free; the alerts (a month whose mean falls too far
// below the boiler's first three months', or below a minimum); and what reaching the
// target O2 would save a year, in kWh and euros, from each boiler's yearly consumption
// and price. The figures come from the summary's months (LogOptions::verdict); the
// verdict is data, which each face words and lays out from the one table of its columns.

#include "log/chart.h"
#include "log/dates.h"
#include "log/summary.h"
#include "text/number_column.h"
#include "text/numbers.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::log {

// A boiler's yearly consumption as its bills give it, and its energy's price.
struct Consumption {
    std::string boiler;
    double kwh = 0;
    double price = 0; // € per kWh
};

struct JudgeOptions {
    // An alert when a month's mean gross efficiency falls more than this many points
    // below the mean of the boiler's first three months.
    std::optional<double> drop;
    // An alert when a month's mean gross efficiency is below this.
    std::optional<double> minimum;
    std::vector<Consumption> consumptions;
};

struct Alert {
    enum class Kind : std::uint8_t { drop, minimum } kind = Kind::drop;
    std::string boiler;
    std::int32_t month = 0;   // the first month flagged; no_month for a log without dates
    double mean = 0;          // that month's mean gross efficiency
    double reference = 0;     // the first three months' mean, or the minimum
    std::uint64_t months = 0; // months flagged
};

struct BoilerVerdict {
    std::string boiler; // as the log first writes it
    std::uint64_t read = 0;
    std::uint64_t with_notices = 0;
    std::optional<double> gross; // means over the rows calculated
    std::optional<double> net;
    std::optional<double> trend;  // points a month
    std::optional<double> change; // last month's mean less the first's
    std::int32_t first_month = no_month;
    std::int32_t last_month = no_month;
    std::int32_t worst_month = no_month;
    double worst_mean = 0;
    std::optional<double> co_max; // ppm
    std::optional<double> saving; // mean fuel saving at the target, %
    std::optional<Consumption> consumption;
    std::optional<double> kwh_saved; // a year
    std::optional<double> eur_saved;
    bool alert = false;
};

struct Verdict {
    // The boilers with an alert first, then the others; each part worst first.
    std::vector<BoilerVerdict> boilers;
    std::vector<Alert> alerts;
    bool has_co = false;
    // Money: asked for (consumptions given), and whether the log has the saving figure.
    bool money = false;
    bool saving_given = false;
    double total_kwh = 0;
    double total_eur = 0;
    // Consumptions whose boiler the log does not name.
    std::vector<std::string> unmatched;
};

Verdict judge(const LogSummary& summary, const JudgeOptions& options);

// The verdict's columns, in order: their id (as a file's header and the page name them)
// and their header in words.
struct VerdictColumn {
    std::string_view id;
    std::string_view header;
};
std::span<const VerdictColumn> verdict_columns(const Verdict& verdict);
// Whether a face shows each column: the CO without a CO column, the money without it, the
// alerts without any are left out of a page or a report (a file keeps every column).
std::vector<bool> verdict_shown(const Verdict& verdict);

// The verdict as a table: a row for each boiler, in the verdict's order, its cells in
// a decimal mark; empty where a figure is not known.
std::vector<std::vector<std::string>> verdict_rows(const Verdict& verdict,
                                                   text::DecimalComma comma);

// What the figures of money assume, in one sentence.
std::string_view money_assumptions();

// The verdict in lines, for a summary: the alerts first, then each boiler worst first,
// then the money with what it assumes; none without boilers to judge.
std::vector<std::string> verdict_lines(const Verdict& verdict, text::DecimalComma comma);

// An alert in words, for a line or a panel.
std::string alert_text(const Alert& alert, text::DecimalComma comma);

// Marks each boiler's panel with its alerts, in words.
void mark_alerts(Chart& chart, const Verdict& verdict, text::DecimalComma comma);

// Units of a consumptions file: the yearly consumption's, and the energy its price is
// for.
enum class EnergyUnit : std::uint8_t { kwh, mwh, gj };
// Its name ("MWh") and its kWh (1 GJ = 1000 / 3.6 kWh).
std::string_view unit_name(EnergyUnit unit);
double kwh_in(EnergyUnit unit);

// The figures past which a consumptions file is taken for a mistake rather than read:
// a boiler's year over 10 TWh, a price over 10 € the kWh.
inline constexpr double max_yearly_kwh = 1e10;
inline constexpr double max_kwh_price = 10;

// Reads a small CSV of consumptions: a boiler, its yearly consumption and the price of
// its energy a row, separated by commas, semicolons or tabs. A first line that is not
// figures is a header, which may name the units: the consumption in kWh, MWh or GJ, the
// price in € (or EUR) per kWh, MWh or GJ; kWh and € the kWh when it names none. The
// numbers may group thousands: the file's decimal mark is the one its figures show
// (NumberColumn), and a figure that reads both ways with nothing in the file to settle it
// is refused. Every consumption is in kWh and every price in € the kWh once read. A row
// that cannot be read, a unit not known, a boiler named twice, a figure past the bounds
// above and a file without consumptions are a fault, said with the line.
struct ConsumptionsRead {
    std::vector<Consumption> consumptions;
    std::optional<std::string> fault;
    EnergyUnit energy = EnergyUnit::kwh;     // of the consumptions, as the header names it
    EnergyUnit priced_per = EnergyUnit::kwh; // of the prices, as the header names it
    std::optional<text::DecimalMark> mark;   // the file's decimal mark, once its figures show it
    std::uint64_t grouped = 0;               // figures written with a thousands separator
};
ConsumptionsRead read_consumptions(std::string_view text);

// A sum of money or energy as a whole number, locale-free and safe for any double: its
// digits up to 10^15, Str's exponent form past that ("1E+20"), "—" for what is not
// finite.
std::string whole_text(double x);

} // namespace quemador::log
