// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/chart.h"

#include "calculation/number_text.h"
#include "calculation/reading_advice.h"
#include "log/chart_scale.h"
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

} // namespace

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

std::string logs_title(const std::vector<std::string>& read,
                       const std::vector<std::string>& left_out)
{
    if (read.size() + left_out.size() == 1)
        return read.empty() ? std::string() : read.front();
    std::string title = std::to_string(read.size()) + " registros";
    for (std::size_t i = 0; i < left_out.size(); ++i)
        title += (i == 0 ? " (sin leer: " : ", ") + left_out[i];
    return left_out.empty() ? title : title + ")";
}

} // namespace quemador::log
