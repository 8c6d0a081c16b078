// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/chart.h"

#include <algorithm>
#include <array>

namespace quemador::log {
namespace {

constexpr std::size_t measures = static_cast<std::size_t>(Measure::notices) + 1;

// Colours that keep apart on white and in print, one a boiler; a log without boilers
// gives each measure its own.
constexpr std::array<std::string_view, 8> boiler_colors = {
    "#1565c0", "#c75b00", "#2e7d32", "#6a1b9a", "#00838f", "#ad1457", "#5d4037", "#455a64"};
constexpr std::array<std::string_view, 3> measure_colors = {"#1565c0", "#2e7d32", "#6a1b9a"};

struct MeasureStyle {
    std::string_view name; // in the legend
    bool right_axis;
    bool points;
    std::string_view dash;
    std::string_view color; // for the marks, whatever the boiler
};

constexpr std::array<MeasureStyle, measures> styles = {{
    {"bruta", false, false, "", ""},
    {"neta", false, false, "7 4", ""},
    {"O2", true, false, "2 3", ""},
    {"Fuera del modelo", true, true, "", "#c62828"},
    {"Con aviso", true, true, "", "#8d6e00"},
}};

// A chart's title, axes and counts, without its series.
Chart frame(std::string_view log_name, bool over_time, std::uint64_t rows, std::uint64_t undated)
{
    Chart chart;
    chart.title = "Eficiencia y O2 de " + std::string(log_name);
    chart.over_time = over_time;
    chart.x_label = over_time ? "Fecha" : "Línea del registro";
    chart.y_label = "Eficiencia (%)";
    chart.y2_label = "O2 (%)";
    chart.rows = rows;
    chart.undated = undated;
    return chart;
}

std::string capitalised(std::string_view text)
{
    std::string out(text);
    if (!out.empty() && out.front() >= 'a' && out.front() <= 'z')
        out.front() = static_cast<char>(out.front() - 'a' + 'A');
    return out;
}

} // namespace

void ChartData::points_of(const Thinned& thinned, ChartSeries& series)
{
    for (const Bucket& bucket : thinned.buckets) {
        // A bucket of several points: its least and greatest, in their order.
        const bool low_first = bucket.x_low <= bucket.x_high;
        series.x.push_back(low_first ? bucket.x_low : bucket.x_high);
        series.y.push_back(low_first ? bucket.y_low : bucket.y_high);
        if (bucket.points > 1 && bucket.x_low != bucket.x_high) {
            series.x.push_back(low_first ? bucket.x_high : bucket.x_low);
            series.y.push_back(low_first ? bucket.y_high : bucket.y_low);
        }
    }
}

void ChartData::Thinned::add(double x, double y, std::size_t most)
{
    if (!buckets.empty() && buckets.back().points < per_bucket) {
        Bucket& last = buckets.back();
        if (y < last.y_low) {
            last.x_low = x;
            last.y_low = y;
        }
        if (y > last.y_high) {
            last.x_high = x;
            last.y_high = y;
        }
        ++last.points;
        return;
    }
    buckets.push_back({x, y, x, y, 1});
    if (buckets.size() <= most)
        return;
    // Full: every two buckets become one, twice as wide.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < buckets.size(); i += 2) {
        Bucket merged = buckets[i];
        if (i + 1 < buckets.size()) {
            const Bucket& next = buckets[i + 1];
            if (next.y_low < merged.y_low) {
                merged.x_low = next.x_low;
                merged.y_low = next.y_low;
            }
            if (next.y_high > merged.y_high) {
                merged.x_high = next.x_high;
                merged.y_high = next.y_high;
            }
            merged.points += next.points;
        }
        buckets[kept++] = merged;
    }
    buckets.resize(kept);
    per_bucket *= 2;
}

ChartData::Thinned& ChartData::series(std::vector<Boiler>& boilers, std::size_t& last,
                                      std::string_view boiler, Measure measure)
{
    if (last >= boilers.size() || boilers[last].name != boiler) {
        const auto found = std::find_if(boilers.begin(), boilers.end(),
                                        [boiler](const Boiler& b) { return b.name == boiler; });
        last = static_cast<std::size_t>(found - boilers.begin());
        if (found == boilers.end())
            boilers.push_back({std::string(boiler), std::vector<Thinned>(measures)});
    }
    return boilers[last].series.at(static_cast<std::size_t>(measure));
}

void ChartData::add(std::string_view boiler, Measure measure, double x, double y)
{
    // The marks are not a boiler's: one series of each kind.
    if (measure == Measure::outside || measure == Measure::notices)
        boiler = {};
    series(boilers_, last_, boiler, measure).add(x, y, buckets_);
    by_line_.clear();
}

void ChartData::hold(std::uint32_t key, std::string_view boiler, Measure measure, double seconds,
                     double y)
{
    if (measure == Measure::outside || measure == Measure::notices)
        boiler = {};
    std::size_t last = 0;
    series(held_[key], last, boiler, measure).add(seconds, y, buckets_);
    by_line_.clear();
}

void ChartData::place(std::uint32_t key, double day_start)
{
    const auto held = held_.find(key);
    if (held == held_.end())
        return;
    for (const Boiler& boiler : held->second) {
        for (std::size_t m = 0; m < measures; ++m) {
            ChartSeries points;
            points_of(boiler.series[m], points);
            for (std::size_t i = 0; i < points.x.size(); ++i)
                add(boiler.name, static_cast<Measure>(m), day_start + points.x[i], points.y[i]);
        }
    }
    held_.erase(held);
}

void ChartData::add_undated(std::string_view boiler, Measure measure, double line, double y)
{
    if (!boilers_.empty() || !held_.empty())
        return;
    if (measure == Measure::outside || measure == Measure::notices)
        boiler = {};
    series(by_line_, last_by_line_, boiler, measure).add(line, y, buckets_);
}

Chart ChartData::chart(std::string_view log_name) const
{
    // Over time without a readable date: over the line instead, every row drawn.
    const bool over_line = by_line();
    const std::vector<Boiler>& boilers = over_line ? by_line_ : boilers_;
    Chart chart = over_line ? frame(log_name, false, undated_, 0)
                            : frame(log_name, over_time_, rows_, undated_);
    // The boilers' series first, in the order the log names them; the marks last.
    const bool named = std::any_of(boilers.begin(), boilers.end(),
                                   [](const Boiler& b) { return !b.name.empty(); });
    std::size_t color = 0;
    std::vector<ChartSeries> marks;
    for (const Boiler& boiler : boilers) {
        bool any = false;
        for (std::size_t m = 0; m < measures; ++m) {
            const Thinned& thinned = boiler.series[m];
            if (thinned.buckets.empty())
                continue;
            const MeasureStyle& style = styles.at(m);
            const auto measure = static_cast<Measure>(m);
            ChartSeries drawn{std::string(),    boiler.name,  measure,
                              style.right_axis, style.points, std::string(style.dash),
                              std::string(),    {},           {}};
            if (style.points) {
                drawn.name = style.name;
                drawn.color = style.color;
            } else if (named) {
                drawn.name = (boiler.name.empty() ? std::string("Sin caldera") : boiler.name) +
                    ": " + std::string(style.name);
                drawn.color = boiler_colors.at(color % boiler_colors.size());
                any = true;
            } else {
                drawn.name = capitalised(style.name);
                drawn.color = measure_colors.at(m);
            }
            points_of(thinned, drawn);
            (style.points ? marks : chart.series).push_back(std::move(drawn));
        }
        color += any ? 1 : 0;
    }
    for (ChartSeries& mark : marks)
        chart.series.push_back(std::move(mark));
    return chart;
}

} // namespace quemador::log
