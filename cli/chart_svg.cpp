// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/chart_svg.h"

#include "calculation/number_text.h"
#include "log/dates.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string_view>
#include <vector>

namespace quemador::cli {
namespace {

using log::Chart;
using log::ChartSeries;

constexpr double width = 960;
constexpr double left = 72;  // room for the efficiency axis
constexpr double right = 72; // and for the O2 axis
constexpr double top = 56;
constexpr double plot_height = 360;
constexpr double legend_row = 22;
constexpr double seconds_per_day = 86400;
constexpr double days_per_year = 365.25;
constexpr std::size_t sparse_points = 40;
// Ticks on an axis, at most: a screenful of labels.
constexpr double most_ticks = 12;
// Coordinates, at most this far from the picture: whatever a value, its coordinate is a
// number printf writes whole.
constexpr double far_coordinate = 1e7;

// A number as the chart writes it: with a decimal comma, as the page's Spanish.
std::string number(double x)
{
    std::string text = plain_number(x);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// A coordinate to a tenth, whatever the locale (integers only go through printf).
std::string coordinate(double x)
{
    if (!std::isfinite(x))
        x = 0;
    const long long tenths = std::llround(std::clamp(x, -far_coordinate, far_coordinate) * 10);
    const long long size = tenths < 0 ? -tenths : tenths;
    std::array<char, 32> text{};
    const int n = size % 10 != 0
        ? std::snprintf(text.data(), text.size(), "%s%lld.%lld", tenths < 0 ? "-" : "", size / 10,
                        size % 10)
        : std::snprintf(text.data(), text.size(), "%s%lld", tenths < 0 ? "-" : "", size / 10);
    return {text.data(), static_cast<std::size_t>(n)};
}

std::string escaped(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            // Control characters have no place in XML.
            out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return out;
}

// An axis: the range shown and its ticks, at round values.
struct Axis {
    double low = 0;
    double high = 1;
    std::vector<double> ticks;

    [[nodiscard]] double at(double x, double from, double to) const
    {
        if (!(low < high))
            return (from + to) / 2;
        return from + (x - low) / (high - low) * (to - from);
    }
};

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

// Steps of 1, 2 or 5 times a power of ten, about six ticks over the range.
Axis round_axis(double low, double high)
{
    if (!std::isfinite(low) || !std::isfinite(high))
        return {0, 1, {0, 1}};
    if (!(low < high)) {
        low -= std::max(1.0, std::abs(low) / 100);
        high += std::max(1.0, std::abs(high) / 100);
    }
    const double rough = (high - low) / 6;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power;
    for (const double m : {2.0, 5.0, 10.0}) {
        if (step < rough)
            step = m * power;
    }
    Axis axis{std::floor(low / step) * step, std::ceil(high / step) * step, {}};
    axis.ticks = ticks_of(axis.low, axis.high, step);
    return axis;
}

// A time axis: ticks on whole hours, days or years, about six over the range.
Axis time_axis(double low, double high)
{
    if (!std::isfinite(low) || !std::isfinite(high))
        return {0, seconds_per_day, {0, seconds_per_day}};
    if (!(low < high)) {
        low -= seconds_per_day / 2;
        high += seconds_per_day / 2;
    }
    constexpr std::array<double, 14> steps = {
        3600,       3 * 3600,   6 * 3600,   12 * 3600,  86400,       2 * 86400,   7 * 86400,
        14 * 86400, 30 * 86400, 61 * 86400, 91 * 86400, 182 * 86400, 365 * 86400, 730 * 86400};
    const double rough = (high - low) / 6;
    const auto* const found =
        std::find_if(steps.begin(), steps.end(), [rough](double s) { return s >= rough; });
    double step = found == steps.end() ? steps.back() : *found;
    // Past two years, whole days of 5, 10, 20, 50… years.
    for (const double years : {5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000}) {
        if (step >= rough)
            break;
        step = std::round(years * days_per_year) * seconds_per_day;
    }
    Axis axis{low, high, {}};
    const double first = std::ceil(low / step) * step;
    if (first <= high)
        axis.ticks = ticks_of(first, first + std::floor((high - first) / step) * step, step);
    return axis;
}

struct Range {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();
    void add(double x)
    {
        low = std::min(low, x);
        high = std::max(high, x);
    }
    [[nodiscard]] bool empty() const { return low > high; }
};

class Svg {
public:
    explicit Svg(const Chart& chart) : chart_(chart) {}

    std::string draw()
    {
        Range x_range;
        Range left_range;
        Range right_range;
        for (const ChartSeries& series : chart_.series) {
            for (std::size_t i = 0; i < series.x.size(); ++i) {
                x_range.add(series.x[i]);
                (series.right_axis ? right_range : left_range).add(series.y[i]);
            }
        }
        if (x_range.empty())
            x_range = {0, 1};
        x_ = chart_.over_time ? time_axis(x_range.low, x_range.high)
                              : round_axis(x_range.low, x_range.high);
        y_ = left_range.empty() ? round_axis(0, 100) : round_axis(left_range.low, left_range.high);
        y2_ =
            right_range.empty() ? round_axis(0, 21) : round_axis(right_range.low, right_range.high);

        const double legend_top = top + plot_height + 64;
        const auto rows = legend_rows();
        const std::vector<std::string> notes = log::chart_notes(chart_);
        const double notes_top = legend_top + static_cast<double>(rows.size()) * legend_row;
        const double height = notes_top + static_cast<double>(notes.size()) * legend_row + 16;
        out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        out_ += R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" + coordinate(width) +
            R"(" height=")" + coordinate(height) + R"(" viewBox="0 0 )" + coordinate(width) + " " +
            coordinate(height) + R"(" role="img" aria-labelledby="titulo descripcion" )" +
            "font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\" font-size=\"13\">\n";
        out_ += R"(<title id="titulo">)" + escaped(chart_.title) + "</title>\n";
        out_ += R"(<desc id="descripcion">)" + escaped(description()) + "</desc>\n";
        out_ += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
        text(width / 2, 30, chart_.title, "middle", R"(font-size="17" font-weight="bold")");
        axes();
        out_ += "<g class=\"series\">\n";
        for (const ChartSeries& series : chart_.series)
            draw(series);
        out_ += "</g>\n";
        legend(rows, legend_top);
        if (!notes.empty()) {
            out_ += "<g class=\"notas\" fill=\"#5d4037\">\n";
            for (std::size_t i = 0; i < notes.size(); ++i)
                text(left, notes_top + static_cast<double>(i) * legend_row, "Nota: " + notes[i],
                     "start");
            out_ += "</g>\n";
        }
        out_ += "</svg>\n";
        return std::move(out_);
    }

private:
    [[nodiscard]] double px(double x) const { return x_.at(x, left, width - right); }
    [[nodiscard]] double py(const ChartSeries& series, double y) const
    {
        return (series.right_axis ? y2_ : y_).at(y, top + plot_height, top);
    }

    [[nodiscard]] std::string description() const
    {
        std::string said = std::to_string(chart_.rows) + " filas dibujadas";
        if (chart_.undated > 0)
            said += ", " + std::to_string(chart_.undated) + " sin fecha legible";
        said += ". Series:";
        for (const ChartSeries& series : chart_.series)
            said += " " + series.name + " (" + std::to_string(series.x.size()) + " puntos);";
        return said;
    }

    void text(double x, double y, std::string_view content, std::string_view anchor,
              std::string_view extra = {})
    {
        out_ += R"(<text x=")" + coordinate(x) + R"(" y=")" + coordinate(y) + R"(" text-anchor=")" +
            std::string(anchor) + R"(")" + (extra.empty() ? "" : " " + std::string(extra)) + ">" +
            escaped(content) + "</text>\n";
    }

    void line(double x1, double y1, double x2, double y2, std::string_view style)
    {
        out_ += R"(<line x1=")" + coordinate(x1) + R"(" y1=")" + coordinate(y1) + R"(" x2=")" +
            coordinate(x2) + R"(" y2=")" + coordinate(y2) + R"(" )" + std::string(style) + "/>\n";
    }

    [[nodiscard]] std::string tick_text(double t) const
    {
        if (!chart_.over_time)
            return number(t);
        const bool whole_days = std::fmod(t, seconds_per_day) == 0 &&
            (x_.ticks.size() < 2 || x_.ticks[1] - x_.ticks[0] >= seconds_per_day);
        return log::moment_text(t, !whole_days);
    }

    void axes()
    {
        const double bottom = top + plot_height;
        out_ += "<g class=\"ejes\" fill=\"#333333\">\n";
        for (const double t : y_.ticks) {
            const double y = y_.at(t, bottom, top);
            line(left, y, width - right, y, R"(stroke="#e0e0e0")");
            text(left - 6, y + 4, number(t), "end");
        }
        for (const double t : y2_.ticks)
            text(width - right + 6, y2_.at(t, bottom, top) + 4, number(t), "start");
        for (const double t : x_.ticks) {
            const double x = px(t);
            line(x, bottom, x, bottom + 5, R"(stroke="#333333")");
            text(x, bottom + 20, tick_text(t), "middle");
        }
        out_ += R"(<rect x=")" + coordinate(left) + R"(" y=")" + coordinate(top) + R"(" width=")" +
            coordinate(width - left - right) + R"(" height=")" + coordinate(plot_height) +
            "\" fill=\"none\" stroke=\"#333333\"/>\n";
        text(width / 2, bottom + 44, chart_.x_label, "middle", R"(class="eje-x")");
        const std::string middle = coordinate(top + plot_height / 2);
        text(18, top + plot_height / 2, chart_.y_label, "middle",
             R"(class="eje-y" transform="rotate(-90 18 )" + middle + ")\"");
        const std::string x2 = coordinate(width - 14);
        text(width - 14, top + plot_height / 2, chart_.y2_label, "middle",
             R"(class="eje-y2" transform="rotate(90 )" + x2 + " " + middle + ")\"");
        out_ += "</g>\n";
    }

    void draw(const ChartSeries& series)
    {
        out_ += R"(<g class="serie" data-serie=")" + escaped(series.name) + R"(" data-puntos=")" +
            std::to_string(series.x.size()) + "\">\n<title>" + escaped(series.name) + "</title>\n";
        if (series.points) {
            for (std::size_t i = 0; i < series.x.size(); ++i)
                mark(series, px(series.x[i]), py(series, series.y[i]));
        } else {
            out_ += R"(<polyline fill="none" stroke=")" + series.color + R"(" stroke-width=")" +
                (series.measure == log::Measure::o2 ? "1.5" : "2") + R"(")" +
                (series.dash.empty() ? "" : R"( stroke-dasharray=")" + series.dash + R"(")") +
                R"( stroke-linejoin="round" points=")";
            for (std::size_t i = 0; i < series.x.size(); ++i)
                out_ += (i > 0 ? " " : "") + coordinate(px(series.x[i])) + "," +
                    coordinate(py(series, series.y[i]));
            out_ += "\"/>\n";
            // A few points are shown one by one: a single one draws no line.
            if (series.x.size() <= sparse_points) {
                for (std::size_t i = 0; i < series.x.size(); ++i)
                    out_ += R"(<circle cx=")" + coordinate(px(series.x[i])) + R"(" cy=")" +
                        coordinate(py(series, series.y[i])) + R"(" r="2.5" fill=")" + series.color +
                        "\"/>\n";
            }
        }
        out_ += "</g>\n";
    }

    void mark(const ChartSeries& series, double x, double y)
    {
        if (series.measure == log::Measure::outside)
            out_ += R"(<path d="M)" + coordinate(x) + " " + coordinate(y - 6) +
                R"(l5 9h-10z" fill=")" + series.color + "\"/>\n";
        else
            out_ += R"(<circle cx=")" + coordinate(x) + R"(" cy=")" + coordinate(y) +
                R"(" r="4" fill="none" stroke-width="2" stroke=")" + series.color + "\"/>\n";
    }

    // The legend's items, row by row, as wide as the chart allows.
    [[nodiscard]] std::vector<std::vector<const ChartSeries*>> legend_rows() const
    {
        std::vector<std::vector<const ChartSeries*>> rows(1);
        double used = 0;
        for (const ChartSeries& series : chart_.series) {
            const double item = item_width(series);
            if (used + item > width - left && !rows.back().empty()) {
                rows.emplace_back();
                used = 0;
            }
            rows.back().push_back(&series);
            used += item;
        }
        return rows;
    }

    static double item_width(const ChartSeries& series)
    {
        // About 7.5 pixels a character at 13 px, the sample and a gap.
        const auto chars = std::count_if(series.label.begin(), series.label.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
        });
        return 44 + 7.5 * static_cast<double>(chars);
    }

    void legend(const std::vector<std::vector<const ChartSeries*>>& rows, double first)
    {
        out_ += "<g class=\"leyenda\">\n";
        double y = first;
        for (const auto& row : rows) {
            double x = left;
            for (const ChartSeries* series : row) {
                if (series->points) {
                    mark(*series, x + 12, y - 4);
                } else {
                    line(x, y - 4, x + 26, y - 4,
                         R"(stroke=")" + series->color + R"(" stroke-width="2")" +
                             (series->dash.empty()
                                  ? ""
                                  : R"( stroke-dasharray=")" + series->dash + R"(")"));
                }
                if (series->label == series->name) {
                    text(x + 32, y, series->label, "start");
                } else {
                    // Shortened: the whole name shows on hover.
                    out_ += R"(<text x=")" + coordinate(x + 32) + R"(" y=")" + coordinate(y) +
                        R"(" text-anchor="start"><title>)" + escaped(series->name) + "</title>" +
                        escaped(series->label) + "</text>\n";
                }
                x += item_width(*series);
            }
            y += legend_row;
        }
        out_ += "</g>\n";
    }

    const Chart& chart_;
    Axis x_;
    Axis y_;
    Axis y2_;
    std::string out_;
};

} // namespace

std::string chart_svg(const Chart& chart) { return Svg(chart).draw(); }

} // namespace quemador::cli
