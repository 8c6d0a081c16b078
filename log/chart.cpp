// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/chart.h"

#include "calculation/reading_advice.h"
#include "text/names.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace quemador::log {
namespace {

constexpr std::size_t measures = static_cast<std::size_t>(Measure::notices) + 1;

// Colours that keep apart on white and in print, one a boiler; a log without boilers
// gives each measure its own.
constexpr std::array<std::string_view, 8> boiler_colors = {
    "#1565c0", "#c75b00", "#2e7d32", "#6a1b9a", "#00838f", "#ad1457", "#5d4037", "#455a64"};
constexpr std::array<std::string_view, 3> measure_colors = {"#1565c0", "#2e7d32", "#6a1b9a"};

// The range each axis can show: from 0 to past the net efficiency's most, on the left,
// and to the air's O2 on the right.
constexpr double axis_low = 0;
constexpr double efficiency_high = 120;
const double o2_high = std::ceil(quemador::oxygen_in_air);

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

// Names in a legend, at most, in characters.
constexpr std::size_t label_chars = 40;
// A moment further from the others' median than this many times their median distance
// from it, and than a year, is far from them.
constexpr double far_spread = 10;
constexpr double year_seconds = 366.0 * 86400;

std::string plural(std::uint64_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
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
}

std::size_t ChartData::most_buckets() const
{
    const std::size_t share = total_buckets / (3 * std::max<std::size_t>(boilers_.size(), 1));
    return std::clamp<std::size_t>(share, 8, buckets_);
}

std::optional<std::size_t> ChartData::boiler(std::string_view name)
{
    // The name as the log writes it: the one shown may stand for other bytes.
    if (last_ < boilers_.size() && name == last_name_)
        return last_;
    if (const auto found = index_.find(name); found != index_.end()) {
        last_name_ = name;
        return last_ = found->second;
    }
    if (boilers_.size() >= most_boilers)
        return std::nullopt;
    last_ = boilers_.size();
    last_name_ = name;
    index_.emplace(std::string(name), last_);
    // Shown as the summary's lines show it: a control that reorders text made visible,
    // so that it cannot turn the measure after it, or a legend, around.
    boilers_.push_back({text::printable(text::valid_text(name, replaced_)), 0, 0, {}});
    // Each time the boilers double, every series is thinned to its new share, so that
    // all of them together stay within total_buckets.
    if (const std::size_t n = boilers_.size(); n >= 64 && (n & (n - 1)) == 0) {
        const std::size_t most = most_buckets();
        for (Boiler& b : boilers_) {
            for (Thinned& thinned : b.series)
                thinned.thin(most);
        }
    }
    return last_;
}

void ChartData::add(std::string_view boiler_name, Measure measure, double x, double y)
{
    by_line_.reset(); // a point with its place: the chart over the line is not needed
    // The marks are not a boiler's: one series of each kind.
    const bool mark = measure == Measure::outside || measure == Measure::notices;
    const auto at = mark ? std::nullopt : boiler(boiler_name);
    if (!mark && !at) {
        untracked_ += measure == Measure::gross ? 1 : 0;
        return;
    }
    if (!std::isfinite(x) || !std::isfinite(y)) {
        ++not_numbers_;
        return;
    }
    const bool right = styles.at(static_cast<std::size_t>(measure)).right_axis;
    const double high = right ? o2_high : efficiency_high;
    if (y < axis_low || y > high) {
        ++clipped_;
        y = std::clamp(y, axis_low, high);
    }
    if (mark) {
        marks_.at(measure == Measure::outside ? 0 : 1).add(x, y, buckets_);
        return;
    }
    Boiler& b = boilers_[*at];
    if (measure == Measure::gross) {
        b.gross_sum += y;
        ++b.gross_count;
    }
    b.series.at(static_cast<std::size_t>(measure)).add(x, y, most_buckets());
}

void ChartData::hold(std::uint32_t key, std::string_view boiler, Measure measure, double seconds,
                     double y)
{
    std::vector<Held>& held = held_[key];
    auto at = std::find_if(held.begin(), held.end(), [&](const Held& h) {
        return h.measure == measure && h.boiler == boiler;
    });
    if (at == held.end())
        at = held.insert(held.end(), Held{std::string(boiler), measure, {}});
    at->points.add(seconds, y, buckets_);
    by_line_.reset();
}

void ChartData::place(std::uint32_t key, double day_start)
{
    const auto held = held_.find(key);
    if (held == held_.end())
        return;
    for (const Held& h : held->second) {
        ChartSeries points;
        points_of(h.points, points);
        for (std::size_t i = 0; i < points.x.size(); ++i)
            add(h.boiler, h.measure, day_start + points.x[i], points.y[i]);
    }
    held_.erase(held);
}

bool ChartData::by_line() const
{
    return over_time_ && boilers_.empty() && marks_[0].buckets.empty() &&
        marks_[1].buckets.empty() && held_.empty();
}

void ChartData::add_undated(std::string_view boiler, Measure measure, double line, double y)
{
    if (!by_line())
        return;
    if (!by_line_)
        by_line_ = std::make_unique<ChartData>(buckets_);
    by_line_->add(boiler, measure, line, y);
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
    for (const std::size_t i : lined)
        shown[i] = false;
    for (std::size_t k = 0; k < charted_boilers; ++k)
        shown[lined[k]] = true;
    chart.boilers_charted = charted_boilers;
    return shown;
}

namespace {

// Leaves out the points far in time from all the others, and counts their moments: a
// mistyped year would squeeze every other point into a line.
std::uint64_t leave_out_far(std::vector<ChartSeries>& series)
{
    std::vector<double> xs;
    for (const ChartSeries& s : series)
        xs.insert(xs.end(), s.x.begin(), s.x.end());
    if (xs.size() < 3)
        return 0;
    const auto middle = xs.begin() + static_cast<std::ptrdiff_t>(xs.size() / 2);
    std::nth_element(xs.begin(), middle, xs.end());
    const double median = *middle;
    std::transform(xs.begin(), xs.end(), xs.begin(),
                   [median](double x) { return std::abs(x - median); });
    std::nth_element(xs.begin(), middle, xs.end());
    const double reach = std::max(far_spread * *middle, year_seconds);
    std::vector<double> far; // the moments left out, once each
    for (ChartSeries& s : series) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < s.x.size(); ++i) {
            if (std::abs(s.x[i] - median) > reach) {
                far.push_back(s.x[i]);
                continue;
            }
            s.x[kept] = s.x[i];
            s.y[kept] = s.y[i];
            ++kept;
        }
        s.x.resize(kept);
        s.y.resize(kept);
    }
    std::sort(far.begin(), far.end());
    return static_cast<std::uint64_t>(std::unique(far.begin(), far.end()) - far.begin());
}

// A series of a boiler (of the marks, for theirs), named and styled, without its points;
// color counts the boilers named so far.
ChartSeries series_of(const std::string& boiler, Measure measure, bool named, std::size_t color)
{
    const auto m = static_cast<std::size_t>(measure);
    const MeasureStyle& style = styles.at(m);
    ChartSeries drawn{
        std::string(), std::string(),           boiler,        measure, style.right_axis,
        style.points,  std::string(style.dash), std::string(), {},      {}};
    if (style.points) {
        drawn.name = style.name;
        drawn.color = style.color;
    } else if (named) {
        const std::string whose = boiler.empty() ? std::string("Sin caldera") : boiler;
        drawn.name = whose + ": " + std::string(style.name);
        drawn.label = text::shortened(whose, label_chars) + ": " + std::string(style.name);
        drawn.color = boiler_colors.at(color % boiler_colors.size());
    } else {
        drawn.name = capitalised(style.name);
        drawn.color = measure_colors.at(m);
    }
    if (drawn.label.empty())
        drawn.label = drawn.name;
    return drawn;
}

} // namespace

Chart ChartData::chart(std::string_view log_name) const
{
    // Over time without a readable date: over the line instead, every row drawn.
    if (by_line()) {
        Chart over_lines =
            by_line_ ? by_line_->chart(log_name) : ChartData(buckets_).chart(log_name);
        over_lines.rows = undated_;
        return over_lines;
    }
    const bool over_time = over_time_;
    Chart chart;
    std::uint64_t replaced = replaced_;
    chart.title = "Eficiencia y O2 de " + text::valid_text(log_name, replaced);
    chart.over_time = over_time;
    chart.x_label = over_time ? "Fecha" : "Línea del registro";
    chart.y_label = "Eficiencia (%)";
    chart.y2_label = "O2 (%)";
    chart.rows = rows_;
    chart.undated = undated_;
    chart.rows_untracked = untracked_;
    chart.not_numbers = not_numbers_;
    chart.clipped = clipped_;
    chart.replaced = replaced;
    const std::vector<bool> shown = charted(chart);
    // The boilers' series first, in the order the log names them; the marks last.
    const bool named = std::any_of(boilers_.begin(), boilers_.end(),
                                   [](const Boiler& b) { return !b.name.empty(); });
    std::size_t color = 0;
    Boiler marks;
    marks.series.at(static_cast<std::size_t>(Measure::outside)) = marks_[0];
    marks.series.at(static_cast<std::size_t>(Measure::notices)) = marks_[1];
    for (std::size_t b = 0; b <= boilers_.size(); ++b) {
        const Boiler& whose = b < boilers_.size() ? boilers_[b] : marks;
        bool any = false;
        for (std::size_t m = 0; m < measures; ++m) {
            const Thinned& thinned = whose.series.at(m);
            const MeasureStyle& style = styles.at(m);
            if (thinned.buckets.empty() || (b < boilers_.size() && !shown[b]))
                continue;
            ChartSeries drawn = series_of(whose.name, static_cast<Measure>(m), named, color);
            any = any || (named && !style.points);
            points_of(thinned, drawn);
            chart.series.push_back(std::move(drawn));
        }
        color += any ? 1 : 0;
    }
    if (over_time)
        chart.far_in_time = leave_out_far(chart.series);
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
