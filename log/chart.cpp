// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/chart.h"

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "log/dates.h"
#include "text/names.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

namespace quemador::log {
namespace {

constexpr double none = std::numeric_limits<double>::quiet_NaN();
constexpr double day_seconds = 86400;

// The range each axis can show: from 0 to past the net efficiency's most, above, and to
// the air's O2 below.
constexpr double axis_low = 0;
constexpr double efficiency_high = 120;
const double o2_high = std::ceil(quemador::oxygen_in_air);

struct MeasureStyle {
    std::string_view name; // in the legend
    bool lower;
    bool points;
    std::string_view dash;
    std::string_view color;
};

// Okabe and Ito's palette, which keeps its colours apart for colour-blind readers and
// in grey print; each measure also has its own dash or mark.
constexpr std::array<MeasureStyle, 5> styles = {{
    {"Bruta", false, false, "", "#0072b2"},
    {"Neta", false, false, "7 4", "#d55e00"},
    {"O2", true, false, "2 3", "#009e73"},
    {"Fuera del modelo", true, true, "", "#cc79a7"},
    {"Con aviso", true, true, "", "#e69f00"},
}};

// Names in a panel's title, at most, in characters.
constexpr std::size_t label_chars = 40;
// A moment further from the others' median than this many times their median distance
// from it, and than a year, is far from them.
constexpr double far_spread = 10;
constexpr double year_seconds = 366.0 * day_seconds;
// A line breaks where the next reading is further than this many times the panel's
// usual interval.
constexpr double gap_factor = 6;
// Ticks on an axis, at most: a screenful of labels.
constexpr double most_ticks = 12;
// Past a year, the bands are by month.
constexpr double weekly_span = 400 * day_seconds;

std::string plural(std::uint64_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

const MeasureStyle& style_of(Measure measure)
{
    return styles.at(static_cast<std::size_t>(measure));
}

ChartSeries series_of(Measure measure)
{
    const MeasureStyle& style = style_of(measure);
    ChartSeries series;
    series.name = style.name;
    series.measure = measure;
    series.lower = style.lower;
    series.points = style.points;
    series.dash = style.dash;
    series.color = style.color;
    return series;
}

// The Monday of a day's week, in days from 1970-01-01 (a Thursday).
std::int64_t week_of(std::int64_t days)
{
    const std::int64_t from_monday = ((days + 3) % 7 + 7) % 7;
    return days - from_monday;
}

} // namespace

void ChartData::Stat::add(double v)
{
    if (std::isnan(v))
        return;
    least = count == 0 ? v : std::min(least, v);
    greatest = count == 0 ? v : std::max(greatest, v);
    sum += v;
    ++count;
}

void ChartData::Stat::merge(const Stat& other)
{
    if (other.count == 0)
        return;
    least = count == 0 ? other.least : std::min(least, other.least);
    greatest = count == 0 ? other.greatest : std::max(greatest, other.greatest);
    sum += other.sum;
    count += other.count;
}

void ChartData::Thinned::add(const Point& point, std::size_t most)
{
    const double key = point.row.gross;
    if (!buckets.empty() && buckets.back().points < per_bucket) {
        Bucket& last = buckets.back();
        if (key < last.low.row.gross)
            last.low = point;
        if (key > last.high.row.gross)
            last.high = point;
        ++last.points;
        return;
    }
    buckets.push_back({point, point, 1});
    thin(most);
}

void ChartData::Thinned::thin(std::size_t most)
{
    while (buckets.size() > most) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < buckets.size(); i += 2) {
            Bucket merged = buckets[i];
            if (i + 1 < buckets.size()) {
                const Bucket& next = buckets[i + 1];
                if (next.low.row.gross < merged.low.row.gross)
                    merged.low = next.low;
                if (next.high.row.gross > merged.high.row.gross)
                    merged.high = next.high;
                merged.points += next.points;
            }
            buckets[kept++] = merged;
        }
        buckets.resize(kept);
        per_bucket *= 2;
    }
}

std::vector<ChartData::Point> ChartData::Thinned::points() const
{
    std::vector<Point> out;
    out.reserve(2 * buckets.size());
    for (const Bucket& bucket : buckets) {
        out.push_back(bucket.low);
        if (bucket.points > 1 && bucket.low.x != bucket.high.x)
            out.push_back(bucket.high);
    }
    return out;
}

std::size_t ChartData::most_buckets() const
{
    const std::size_t share = total_buckets / std::max<std::size_t>(boilers_.size(), 1);
    return std::clamp<std::size_t>(share, 8, buckets_);
}

std::optional<std::size_t> ChartData::boiler(std::string_view name)
{
    // The name as the log writes it: the one shown may stand for other bytes.
    if (const auto* recent = std::find_if(
            recent_.begin(), recent_.end(),
            [this, name](const Recent& r) { return r.at < boilers_.size() && name == r.name; });
        recent != recent_.end())
        return recent->at;
    const auto remember = [this, name](std::size_t at) {
        Recent& recent = recent_.at(recent_next_);
        recent_next_ = (recent_next_ + 1) % recent_.size();
        recent.name = name;
        recent.at = at;
        return at;
    };
    if (const auto found = index_.find(name); found != index_.end())
        return remember(found->second);
    // Another spelling of a boiler (in another of several logs read as one): the same
    // boiler, as the log's own groups have it.
    const std::string key = text::caseless(name);
    if (const auto found = keys_.find(key); found != keys_.end()) {
        index_.emplace(std::string(name), found->second);
        return remember(found->second);
    }
    if (boilers_.size() >= most_boilers)
        return std::nullopt;
    const std::size_t at = remember(boilers_.size());
    index_.emplace(std::string(name), at);
    keys_.emplace(key, at);
    // Shown as the summary's lines show it: a control that reorders text made visible,
    // so that it cannot turn the measure after it, or a title, around.
    boilers_.emplace_back();
    boilers_.back().name = text::printable(text::valid_text(name, replaced_));
    // Each time the boilers double, every boiler is thinned to its new share, so that
    // all of them together stay within total_buckets.
    if (const std::size_t n = boilers_.size(); n >= 64 && (n & (n - 1)) == 0) {
        const std::size_t most = most_buckets();
        for (Boiler& b : boilers_) {
            b.rows.thin(most);
            for (Thinned& marks : b.marks)
                marks.thin(most);
        }
    }
    return at;
}

bool ChartData::checked(double x, RowPoint& point)
{
    if (!std::isfinite(x)) {
        ++not_numbers_;
        return false;
    }
    const auto clip = [this](double& y, double high) {
        if (std::isnan(y))
            return;
        if (!std::isfinite(y)) {
            ++not_numbers_;
            y = none;
        } else if (y < axis_low || y > high) {
            ++clipped_;
            y = std::clamp(y, axis_low, high);
        }
    };
    clip(point.gross, efficiency_high);
    clip(point.net, efficiency_high);
    clip(point.o2, o2_high);
    return true;
}

void ChartData::Bin::add(const RowPoint& point, double at)
{
    stats[0].add(point.gross);
    stats[1].add(point.net);
    stats[2].add(point.o2);
    seconds += at;
}

void ChartData::Bin::merge(const Bin& other, double offset)
{
    for (std::size_t m = 0; m < stats.size(); ++m)
        stats.at(m).merge(other.stats.at(m));
    seconds += other.seconds + offset * static_cast<double>(other.stats[0].count);
}

void ChartData::add_to_bins(Boiler& b, double offset, const Bin& bin)
{
    // The week and month kept by pointer stay where they are when boilers_ grows: a
    // boiler's maps are moved, not copied.
    static_assert(std::is_nothrow_move_constructible_v<Boiler>);
    const auto days = static_cast<std::int64_t>(std::floor(offset / day_seconds));
    if (days != b.last_day) {
        b.last_day = days;
        b.last_month = &b.months[month_of(days)];
        b.last_week = nullptr;
        if (by_week_) {
            const auto [at, added] = b.weeks.try_emplace(week_of(days));
            b.last_week = &at->second;
            if (added && ++weeks_ > total_weeks) {
                // Too many weeks to keep: the bands go by month.
                by_week_ = false;
                for (Boiler& each : boilers_) {
                    each.weeks.clear();
                    each.last_week = nullptr;
                }
            }
        }
    }
    b.last_month->merge(bin, offset);
    if (b.last_week != nullptr)
        b.last_week->merge(bin, offset);
}

void ChartData::add(std::string_view boiler_name, double x, RowPoint point)
{
    by_line_.reset(); // a point with its place: the chart over the line is not needed
    const auto at = boiler(boiler_name);
    if (!at) {
        ++untracked_;
        return;
    }
    if (!std::isfinite(point.gross)) {
        ++not_numbers_;
        return;
    }
    if (!checked(x, point))
        return;
    Boiler& b = boilers_[*at];
    b.gross_sum += point.gross;
    ++b.gross_count;
    b.rows.add({x, point}, most_buckets());
    if (over_time_) {
        Bin bin;
        bin.add(point, 0);
        add_to_bins(b, x, bin);
    }
}

void ChartData::mark(std::string_view boiler_name, Measure measure, double x, double o2)
{
    by_line_.reset();
    const auto at = boiler(boiler_name);
    if (!at)
        return;
    // Thinned by the O2, kept in gross too.
    RowPoint point{none, none, o2};
    if (!checked(x, point) || std::isnan(point.o2))
        return;
    point.gross = point.o2;
    boilers_[*at].marks.at(measure == Measure::outside ? 0 : 1).add({x, point}, most_buckets());
}

namespace {

template <typename Held> Held& held_of(std::vector<Held>& held, std::string_view boiler)
{
    auto at =
        std::find_if(held.begin(), held.end(), [&](const Held& h) { return h.boiler == boiler; });
    if (at == held.end()) {
        at = held.insert(held.end(), Held{});
        at->boiler = boiler;
    }
    return *at;
}

} // namespace

void ChartData::hold(std::uint32_t key, std::string_view boiler, double seconds, RowPoint point)
{
    this->boiler(boiler); // its panel in the order the log names the boilers
    Held& held = held_of(held_[key], boiler);
    held.rows.add({seconds, point}, buckets_);
    held.day.add(point, seconds);
    by_line_.reset();
}

void ChartData::hold_mark(std::uint32_t key, std::string_view boiler, Measure measure,
                          double seconds, double o2)
{
    this->boiler(boiler);
    Held& held = held_of(held_[key], boiler);
    held.marks.at(measure == Measure::outside ? 0 : 1).add({seconds, {o2, none, o2}}, buckets_);
    by_line_.reset();
}

void ChartData::place(std::uint32_t key, double day_start)
{
    const auto held = held_.find(key);
    if (held == held_.end())
        return;
    for (const Held& h : held->second) {
        const auto at = boiler(h.boiler);
        if (!at) {
            untracked_ += h.day.stats[0].count;
            continue;
        }
        for (std::size_t k = 0; k < h.marks.size(); ++k) {
            for (const Point& p : h.marks.at(k).points())
                mark(h.boiler, k == 0 ? Measure::outside : Measure::notices, day_start + p.x,
                     p.row.o2);
        }
        // The day's readings, thinned, as points; its sums, whole, in the bins.
        for (const Point& p : h.rows.points()) {
            RowPoint point = p.row;
            const double x = day_start + p.x;
            if (!checked(x, point) || std::isnan(point.gross))
                continue;
            boilers_[*at].rows.add({x, point}, most_buckets());
        }
        Boiler& b = boilers_[*at];
        b.gross_sum += h.day.stats[0].sum;
        b.gross_count += h.day.stats[0].count;
        add_to_bins(b, day_start, h.day);
    }
    held_.erase(held);
}

bool ChartData::by_line() const { return over_time_ && boilers_.empty() && held_.empty(); }

void ChartData::add_undated(std::string_view boiler, double line, RowPoint point)
{
    if (!by_line())
        return;
    if (!by_line_)
        by_line_ = std::make_unique<ChartData>(buckets_);
    by_line_->add(boiler, line, point);
}

void ChartData::mark_undated(std::string_view boiler, Measure measure, double line, double o2)
{
    if (!by_line())
        return;
    if (!by_line_)
        by_line_ = std::make_unique<ChartData>(buckets_);
    by_line_->mark(boiler, measure, line, o2);
}

std::vector<bool> ChartData::charted(Chart& chart) const
{
    std::vector<std::size_t> lined;
    for (std::size_t i = 0; i < boilers_.size(); ++i) {
        if (boilers_[i].gross_count > 0)
            lined.push_back(i);
    }
    chart.boilers = lined.size();
    std::vector<bool> shown(boilers_.size(), true);
    if (lined.size() <= charted_boilers) {
        chart.boilers_charted = lined.size();
        return shown;
    }
    // The worst: the lowest mean efficiency first, the first in the log among equals.
    const auto mean = [this](std::size_t i) {
        return boilers_[i].gross_sum / static_cast<double>(boilers_[i].gross_count);
    };
    std::stable_sort(lined.begin(), lined.end(),
                     [&](std::size_t a, std::size_t b) { return mean(a) < mean(b); });
    for (std::size_t i = 0; i < boilers_.size(); ++i)
        shown[i] = false;
    for (std::size_t k = 0; k < charted_boilers; ++k)
        shown[lined[k]] = true;
    chart.boilers_charted = charted_boilers;
    return shown;
}

namespace {

// Readings at one moment become one point, their mean: a line through them would be a
// spike.
void merge_equal_moments(std::vector<double>& x, const std::vector<std::vector<double>*>& ys)
{
    std::size_t kept = 0;
    for (std::size_t i = 0; i < x.size();) {
        std::size_t j = i;
        while (j < x.size() && x[j] == x[i])
            ++j;
        for (std::vector<double>* y : ys) {
            double sum = 0;
            double count = 0;
            for (std::size_t k = i; k < j; ++k) {
                if (!std::isnan((*y)[k])) {
                    sum += (*y)[k];
                    ++count;
                }
            }
            (*y)[kept] = count > 0 ? sum / count : none;
        }
        x[kept++] = x[i];
        i = j;
    }
    x.resize(kept);
    for (std::vector<double>* y : ys)
        y->resize(kept);
}

// Every vector of a series beside its x.
std::vector<std::vector<double>*> values_of(ChartSeries& s)
{
    std::vector<std::vector<double>*> values = {&s.y};
    if (!s.low.empty()) {
        values.push_back(&s.low);
        values.push_back(&s.high);
    }
    return values;
}

// A break (NaN) between two points further apart than gap.
void break_gaps(ChartSeries& s, double gap)
{
    if (s.x.size() < 2)
        return;
    ChartSeries out = s;
    const std::vector<std::vector<double>*> from = values_of(s);
    const std::vector<std::vector<double>*> to = values_of(out);
    out.x.clear();
    for (std::vector<double>* v : to)
        v->clear();
    for (std::size_t i = 0; i < s.x.size(); ++i) {
        if (i > 0 && s.x[i] - s.x[i - 1] > gap) {
            out.x.push_back((s.x[i] + s.x[i - 1]) / 2);
            for (std::vector<double>* v : to)
                v->push_back(none);
        }
        out.x.push_back(s.x[i]);
        for (std::size_t k = 0; k < to.size(); ++k)
            to[k]->push_back((*from[k])[i]);
    }
    s = std::move(out);
}

// The usual interval between moments: the median of those that are not nought.
double usual_interval(const std::vector<double>& x)
{
    std::vector<double> steps;
    for (std::size_t i = 1; i < x.size(); ++i) {
        if (x[i] > x[i - 1])
            steps.push_back(x[i] - x[i - 1]);
    }
    if (steps.empty())
        return 0;
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

// The median of every moment drawn, and how far from it a moment may lie: far_spread
// times the median distance from it, a year at least. Nothing when too few to tell.
std::optional<std::pair<double, double>> median_and_reach(const std::vector<ChartPanel>& panels)
{
    std::vector<double> xs;
    for (const ChartPanel& panel : panels) {
        for (const ChartSeries& s : panel.series)
            xs.insert(xs.end(), s.x.begin(), s.x.end());
    }
    if (xs.size() < 3)
        return std::nullopt;
    const auto middle = xs.begin() + static_cast<std::ptrdiff_t>(xs.size() / 2);
    std::nth_element(xs.begin(), middle, xs.end());
    const double median = *middle;
    std::transform(xs.begin(), xs.end(), xs.begin(),
                   [median](double x) { return std::abs(x - median); });
    std::nth_element(xs.begin(), middle, xs.end());
    return std::pair{median, std::max(far_spread * *middle, year_seconds)};
}

// Leaves out the points of a series further than reach from median; their moments go
// to far when far is given.
void drop_far(ChartSeries& s, double median, double reach, std::vector<double>* far)
{
    const auto values = values_of(s);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < s.x.size(); ++i) {
        if (std::abs(s.x[i] - median) > reach) {
            if (far != nullptr)
                far->push_back(s.x[i]);
            continue;
        }
        s.x[kept] = s.x[i];
        for (std::vector<double>* v : values)
            (*v)[kept] = (*v)[i];
        ++kept;
    }
    s.x.resize(kept);
    for (std::vector<double>* v : values)
        v->resize(kept);
}

// Leaves out the points far in time from all the others, and counts their moments: a
// mistyped year would squeeze every other point into a line.
std::uint64_t leave_out_far(std::vector<ChartPanel>& panels)
{
    const auto found = median_and_reach(panels);
    if (!found)
        return 0;
    const auto [median, reach] = *found;
    std::vector<double> far; // the moments left out, once each
    for (ChartPanel& panel : panels) {
        for (ChartSeries& s : panel.series)
            drop_far(s, median, reach, &far);
        for (ChartSeries& band : panel.bands)
            drop_far(band, median, reach, nullptr);
    }
    std::sort(far.begin(), far.end());
    return static_cast<std::uint64_t>(std::unique(far.begin(), far.end()) - far.begin());
}

// The ticks from low to high a step apart, when they are few and the numbers can tell
// them apart; otherwise the two ends alone.
std::vector<double> ticks_of(double low, double high, double step)
{
    const double count = std::floor((high - low) / step + 0.5);
    if (count == 0)
        return {low};
    if (!(count >= 1 && count <= most_ticks) || low + step == low || high - step == high)
        return {low, high};
    std::vector<double> ticks;
    for (double i = 0; i <= count; ++i) {
        const double t = low + i * step;
        ticks.push_back(std::abs(t) < step / 1e6 ? 0.0 : t);
    }
    return ticks;
}

// A number as the chart writes it: with a decimal comma, as the page's Spanish.
std::string number_text(double x)
{
    std::string text = plain_number(x);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// Steps of 1, 2 or 5 times a power of ten, about six ticks over the range.
ChartAxis round_axis(double low, double high)
{
    ChartAxis axis;
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = 0;
        high = 1;
    }
    if (!(low < high)) {
        low -= std::max(1.0, std::abs(low) / 100);
        high += std::max(1.0, std::abs(high) / 100);
    }
    const double rough = (high - low) / 6;
    // rough is above nought: the range is widened when empty.
    const double power = std::pow(
        10.0, std::floor(std::log10(std::max(rough, std::numeric_limits<double>::denorm_min()))));
    double step = power;
    for (const double m : {2.0, 5.0, 10.0}) {
        if (step < rough)
            step = m * power;
    }
    axis.low = std::floor(low / step) * step;
    axis.high = std::ceil(high / step) * step;
    for (const double t : ticks_of(axis.low, axis.high, step))
        axis.ticks.push_back({t, number_text(t)});
    return axis;
}

// A time axis over a few weeks: ticks on whole hours, days or weeks.
void short_time_ticks(ChartAxis& axis)
{
    constexpr std::array<double, 9> steps = {3600,      3 * 3600,  6 * 3600,   12 * 3600, 86400,
                                             2 * 86400, 7 * 86400, 14 * 86400, 28 * 86400};
    const double rough = (axis.high - axis.low) / 6;
    const auto* const found =
        std::find_if(steps.begin(), steps.end(), [rough](double s) { return s >= rough; });
    const double step = found == steps.end() ? steps.back() : *found;
    const double first = std::ceil(axis.low / step) * step;
    if (first > axis.high)
        return;
    for (const double t :
         ticks_of(first, first + std::floor((axis.high - first) / step) * step, step))
        axis.ticks.push_back({t, moment_text(t, step < day_seconds)});
}

// A time axis: ticks on the first of the months, every month or every few, labelled
// with the month's short name, and its year in January and on the first tick.
ChartAxis time_axis(double low, double high)
{
    ChartAxis axis;
    if (!std::isfinite(low) || !std::isfinite(high)) {
        low = 0;
        high = day_seconds;
    }
    if (!(low < high)) {
        low -= day_seconds / 2;
        high += day_seconds / 2;
    }
    // A margin of 2 % each side, so that a first or last point is not cut in half.
    const double margin = (high - low) / 50;
    axis.low = low - margin;
    axis.high = high + margin;
    const auto month_at = [](double seconds) {
        return month_of(static_cast<std::int64_t>(std::floor(seconds / day_seconds)));
    };
    const auto start = [](std::int32_t month) {
        return static_cast<double>(first_day_of(month)) * day_seconds;
    };
    std::int32_t first = month_at(axis.low);
    if (start(first) < axis.low)
        ++first;
    const std::int32_t last = month_at(axis.high);
    if (last - first + 1 < 2) {
        short_time_ticks(axis);
        return axis;
    }
    std::int32_t step = 1;
    for (const std::int32_t s : {1, 2, 3, 6, 12, 24, 60, 120, 240, 600, 1200, 2400, 6000}) {
        step = s;
        // Whole months a step apart, from the first to the last.
        const std::int32_t count = (last - first) / s + 1;
        if (count <= static_cast<std::int32_t>(most_ticks))
            break;
    }
    const std::int32_t aligned = first + ((step - first % step) % step);
    for (std::int32_t m = aligned; m <= last; m += step) {
        const int year = m >= 0 ? m / 12 : (m - 11) / 12;
        std::string text = step >= 12 ? std::to_string(year) : std::string(month_short_name(m));
        if (step < 12 && (m == aligned || m % 12 == 0))
            text += " " + std::to_string(year);
        axis.ticks.push_back({start(m), std::move(text)});
    }
    return axis;
}

// The least and greatest of values, NaN left out.
struct Range {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    void add(const std::vector<double>& values)
    {
        for (const double v : values) {
            if (!std::isnan(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
    }
    [[nodiscard]] bool empty() const { return low > high; }
};

} // namespace

std::vector<ChartData::Point> ChartData::in_time_order(const Thinned& thinned)
{
    std::vector<Point> points = thinned.points();
    std::stable_sort(points.begin(), points.end(),
                     [](const Point& p, const Point& q) { return p.x < q.x; });
    return points;
}

void ChartData::add_readings(ChartPanel& panel, const Boiler& b)
{
    std::array<ChartSeries, 3> lines = {series_of(Measure::gross), series_of(Measure::net),
                                        series_of(Measure::o2)};
    for (const Point& p : in_time_order(b.rows)) {
        const std::array<double, 3> values = {p.row.gross, p.row.net, p.row.o2};
        for (std::size_t m = 0; m < lines.size(); ++m) {
            lines.at(m).x.push_back(p.x);
            lines.at(m).y.push_back(values.at(m));
        }
    }
    for (ChartSeries& line : lines) {
        merge_equal_moments(line.x, {&line.y});
        const bool any =
            std::any_of(line.y.begin(), line.y.end(), [](double y) { return !std::isnan(y); });
        if (any)
            panel.series.push_back(std::move(line));
    }
}

void ChartData::add_marks(ChartPanel& panel, const Boiler& b)
{
    for (std::size_t k = 0; k < b.marks.size(); ++k) {
        ChartSeries marks = series_of(k == 0 ? Measure::outside : Measure::notices);
        for (const Point& p : in_time_order(b.marks.at(k))) {
            marks.x.push_back(p.x);
            marks.y.push_back(p.row.o2);
        }
        if (!marks.x.empty())
            panel.series.push_back(std::move(marks));
    }
}

void ChartData::add_bands(ChartPanel& panel, const Bins& bins)
{
    for (std::size_t m = 0; m < 3; ++m) {
        ChartSeries band = series_of(static_cast<Measure>(m));
        for (const auto& [key, bin] : bins) {
            const Stat& stat = bin.stats.at(m);
            if (stat.count == 0)
                continue;
            band.x.push_back(bin.seconds / static_cast<double>(bin.stats[0].count));
            // Within the band, whatever the rounding of the sum.
            band.y.push_back(
                std::clamp(stat.sum / static_cast<double>(stat.count), stat.least, stat.greatest));
            band.low.push_back(stat.least);
            band.high.push_back(stat.greatest);
        }
        if (!band.x.empty())
            panel.bands.push_back(std::move(band));
    }
}

ChartPanel ChartData::boiler_panel(const Boiler& b, bool named, bool weekly) const
{
    ChartPanel panel;
    panel.boiler = b.name;
    panel.title = !named ? "Todas las filas" : b.name.empty() ? "Sin caldera" : b.name;
    panel.label = text::shortened(panel.title, label_chars);
    panel.readings = b.gross_count;
    panel.dense = over_time_ && b.gross_count > dense_readings;

    // Every reading kept, in time order, one point a moment; then the marks.
    add_readings(panel, b);
    add_marks(panel, b);
    // Over time, each week's or month's mean, least and greatest, at its readings' mean
    // moment.
    if (over_time_)
        add_bands(panel, weekly ? b.weeks : b.months);
    return panel;
}

namespace {

// Lines broken at the gaps: readings far longer apart than the panel's usual interval,
// a week or month missing from the bands.
void break_panel_gaps(ChartPanel& panel, bool over_time, bool weekly)
{
    const auto gross = std::find_if(panel.series.begin(), panel.series.end(),
                                    [](const ChartSeries& s) { return !s.points; });
    const double usual = gross == panel.series.end() ? 0 : usual_interval(gross->x);
    if (usual > 0 && over_time) {
        for (ChartSeries& s : panel.series) {
            if (!s.points)
                break_gaps(s, gap_factor * usual);
        }
    }
    for (ChartSeries& band : panel.bands)
        break_gaps(band, (weekly ? 10 : 45) * day_seconds);
}

// The axes the panels share: x, the efficiencies above and O2 below.
void set_axes(Chart& chart)
{
    Range x_range;
    Range above;
    Range below;
    for (const ChartPanel& panel : chart.panels) {
        for (const auto* group : {&panel.series, &panel.bands}) {
            for (const ChartSeries& s : *group) {
                x_range.add(s.x);
                Range& range = s.lower ? below : above;
                range.add(s.y);
                range.add(s.low);
                range.add(s.high);
            }
        }
    }
    if (x_range.empty())
        x_range = Range{0, 1};
    chart.x = chart.over_time ? time_axis(x_range.low, x_range.high)
                              : round_axis(x_range.low, x_range.high);
    chart.y = above.empty() ? round_axis(0, 100) : round_axis(above.low, above.high);
    chart.y2 = below.empty() ? round_axis(0, 21) : round_axis(below.low, below.high);
    chart.x.label = chart.over_time ? "Fecha" : "Línea del registro";
    chart.y.label = "Eficiencia (%)";
    chart.y2.label = "O2 (%)";
}

// The legend: each measure drawn, in its style.
std::vector<ChartSeries> legend_of(const std::vector<ChartPanel>& panels)
{
    std::vector<ChartSeries> legend;
    for (const Measure m :
         {Measure::gross, Measure::net, Measure::o2, Measure::outside, Measure::notices}) {
        const bool drawn = std::any_of(panels.begin(), panels.end(), [m](const ChartPanel& panel) {
            return std::any_of(panel.series.begin(), panel.series.end(),
                               [m](const ChartSeries& s) { return s.measure == m; });
        });
        if (drawn)
            legend.push_back(series_of(m));
    }
    return legend;
}

} // namespace

bool ChartData::weekly_bands() const
{
    Range span;
    for (const Boiler& b : boilers_) {
        for (const Point& p : b.rows.points())
            span.add({p.x});
    }
    return by_week_ && !span.empty() && span.high - span.low <= weekly_span;
}

Chart ChartData::chart(std::string_view log_name) const
{
    // Over time without a readable date: over the line instead, every row drawn.
    if (by_line()) {
        Chart over_lines =
            by_line_ ? by_line_->chart(log_name) : ChartData(buckets_).chart(log_name);
        over_lines.rows = undated_;
        return over_lines;
    }
    Chart chart;
    std::uint64_t replaced = replaced_;
    chart.title = "Eficiencia y O2 de " + text::valid_text(log_name, replaced);
    chart.over_time = over_time_;
    chart.rows = rows_;
    chart.undated = undated_;
    chart.rows_untracked = untracked_;
    chart.not_numbers = not_numbers_;
    chart.clipped = clipped_;
    chart.replaced = replaced;
    const std::vector<bool> shown = charted(chart);
    const bool named = std::any_of(boilers_.begin(), boilers_.end(),
                                   [](const Boiler& b) { return !b.name.empty(); });

    const bool weekly = weekly_bands();
    for (std::size_t i = 0; i < boilers_.size(); ++i) {
        const Boiler& b = boilers_[i];
        const bool marked = !b.marks[0].buckets.empty() || !b.marks[1].buckets.empty();
        if (!shown[i] || (b.gross_count == 0 && !marked))
            continue;
        chart.panels.push_back(boiler_panel(b, named, weekly));
    }
    if (over_time_)
        chart.far_in_time = leave_out_far(chart.panels);
    for (ChartPanel& panel : chart.panels)
        break_panel_gaps(panel, over_time_, weekly);
    set_axes(chart);
    chart.band_period = !over_time_ ? "" : weekly ? "semana" : "mes";
    chart.legend = legend_of(chart.panels);
    return chart;
}

std::vector<std::string> chart_notes(const Chart& chart)
{
    std::vector<std::string> notes;
    if (chart.boilers_charted < chart.boilers)
        notes.push_back("el gráfico muestra las " + std::to_string(chart.boilers_charted) +
                        " calderas de menor eficiencia media, de " + std::to_string(chart.boilers) +
                        " calderas");
    if (chart.rows_untracked > 0)
        notes.push_back(plural(chart.rows_untracked, "fila", "filas") +
                        " de calderas más allá de las " + std::to_string(ChartData::most_boilers) +
                        " primeras no entran en el gráfico");
    if (chart.clipped > 0)
        notes.push_back(
            plural(chart.clipped, "punto", "puntos") +
            " fuera de la escala de su eje (eficiencia de " +
            std::to_string(static_cast<int>(axis_low)) + " a " +
            std::to_string(static_cast<int>(efficiency_high)) + " %, O2 de " +
            std::to_string(static_cast<int>(axis_low)) + " a " +
            std::to_string(static_cast<int>(o2_high)) +
            (chart.clipped == 1 ? " %): se dibuja en su borde" : " %): se dibujan en su borde"));
    if (chart.not_numbers > 0)
        notes.push_back(plural(chart.not_numbers, "punto", "puntos") +
                        " sin un valor que dibujar no entran en el gráfico");
    if (chart.far_in_time > 0)
        notes.push_back(plural(chart.far_in_time, "fecha", "fechas") +
                        " lejos de todas las demás (¿un año mal escrito?): sus puntos no entran "
                        "en el gráfico");
    if (chart.replaced > 0)
        notes.push_back(plural(chart.replaced, "carácter", "caracteres") +
                        " de los nombres del gráfico no se pueden mostrar (bytes que no son "
                        "UTF-8, controles): se muestran como «�»");
    return notes;
}

} // namespace quemador::log
