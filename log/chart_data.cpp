// SPDX-License-Identifier: GPL-3.0-or-later
// What the chart gathers as the rows come: each boiler's readings thinned to buckets,
// its marks, its weeks' and months' bins, and the points held for their day.
#include "log/chart.h"

#include "log/chart_scale.h"
#include "log/dates.h"
#include "text/names.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

namespace quemador::log {

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

} // namespace quemador::log
