// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/chart_svg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <limits>
#include <string_view>
#include <vector>

namespace quemador::cli {
namespace {

using log::Chart;
using log::ChartSeries;

constexpr double width = 960;
constexpr double left = 72; // room for the axes' numbers and names
constexpr double right = 24;
constexpr double top = 48;
constexpr double legend_row = 22;
constexpr double panel_title = 24;
constexpr double upper_height = 140; // the efficiencies
constexpr double plot_gap = 8;
constexpr double lower_height = 64; // the O2
constexpr double tick_room = 22;
constexpr double panel_gap = 18;
constexpr double panel_height =
    panel_title + upper_height + plot_gap + lower_height + tick_room + panel_gap;
constexpr std::size_t sparse_points = 40;
// Coordinates, at most this far from the picture: whatever a value, its coordinate is a
// number printf writes whole.
constexpr double far_coordinate = 1e7;
constexpr std::string_view alert_color = "#b00020";

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

// Where a value of an axis goes between two coordinates.
double place(const log::ChartAxis& axis, double v, double from, double to)
{
    if (!(axis.low < axis.high))
        return (from + to) / 2;
    return from + (v - axis.low) / (axis.high - axis.low) * (to - from);
}

class Svg {
public:
    explicit Svg(const Chart& chart) : chart_(chart) {}

    std::string draw()
    {
        const std::vector<std::string> notes = log::chart_notes(chart_);
        const auto rows = legend_rows();
        const double panels_top = top + static_cast<double>(rows.size()) * legend_row + 12;
        const double notes_top = panels_top +
            static_cast<double>(std::max<std::size_t>(chart_.panels.size(), 1)) * panel_height + 20;
        const double height = notes_top + static_cast<double>(notes.size()) * legend_row + 8;
        out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        out_ += R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" + coordinate(width) +
            R"(" height=")" + coordinate(height) + R"(" viewBox="0 0 )" + coordinate(width) + " " +
            coordinate(height) + R"(" role="img" aria-labelledby="titulo descripcion" )" +
            "font-family=\"DejaVu Sans, Verdana, Arial, sans-serif\" font-size=\"13\">\n";
        out_ += R"(<title id="titulo">)" + escaped(chart_.title) + "</title>\n";
        out_ += R"(<desc id="descripcion">)" + escaped(description()) + "</desc>\n";
        out_ += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
        text(width / 2, 28, chart_.title, "middle", R"(font-size="17" font-weight="bold")");
        legend(rows, top + 12);
        for (std::size_t i = 0; i < chart_.panels.size(); ++i)
            draw_panel(chart_.panels[i], panels_top + static_cast<double>(i) * panel_height);
        if (chart_.panels.empty())
            text(width / 2, panels_top + panel_height / 2, "Ninguna fila que dibujar", "middle");
        text(width / 2, notes_top - 8, chart_.x.label, "middle", R"(class="eje-x")");
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
    [[nodiscard]] std::string description() const
    {
        std::string said = std::to_string(chart_.rows) + " filas dibujadas";
        if (chart_.undated > 0)
            said += ", " + std::to_string(chart_.undated) + " sin fecha legible";
        said += ". Un panel por caldera:";
        for (const log::ChartPanel& panel : chart_.panels) {
            said += " " + panel.title + " (" + std::to_string(panel.readings) + " lecturas" +
                (panel.dense ? ", media por " + chart_.band_period : "") + ")";
            for (const std::string& alert : panel.alerts)
                said += ", alerta: " + alert;
            said += ";";
        }
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

    [[nodiscard]] double px(double x) const { return place(chart_.x, x, left, width - right); }

    // One plot of a panel: its frame, its axis's ticks and name, and its series.
    struct Plot {
        const log::ChartAxis* axis;
        double top;
        double bottom;
    };

    void frame(const Plot& plot, bool x_ticks)
    {
        out_ += "<g class=\"ejes\" fill=\"#333333\">\n";
        for (const log::ChartTick& tick : plot.axis->ticks) {
            const double y = place(*plot.axis, tick.at, plot.bottom, plot.top);
            line(left, y, width - right, y, R"(stroke="#e6e6e6")");
            text(left - 6, y + 4, tick.text, "end", R"(class="tick-y")");
        }
        for (const log::ChartTick& tick : chart_.x.ticks) {
            const double x = px(tick.at);
            line(x, plot.top, x, plot.bottom, R"(stroke="#f0f0f0")");
            if (x_ticks) {
                line(x, plot.bottom, x, plot.bottom + 4, R"(stroke="#333333")");
                text(x, plot.bottom + 17, tick.text, "middle", R"(class="tick-x")");
            }
        }
        out_ += R"(<rect x=")" + coordinate(left) + R"(" y=")" + coordinate(plot.top) +
            R"(" width=")" + coordinate(width - left - right) + R"(" height=")" +
            coordinate(plot.bottom - plot.top) + "\" fill=\"none\" stroke=\"#999999\"/>\n";
        const std::string middle = coordinate((plot.top + plot.bottom) / 2);
        text(16, (plot.top + plot.bottom) / 2, plot.axis->label, "middle",
             R"(font-size="11" transform="rotate(-90 16 )" + middle + ")\"");
        out_ += "</g>\n";
    }

    // A panel's name (the whole of it on hover when shortened), with its readings when
    // drawn as bands, and its alerts at the right.
    void heading(const log::ChartPanel& panel, double y)
    {
        std::string heading = panel.label;
        if (panel.dense)
            heading += "  (" + std::to_string(panel.readings) + " lecturas: media por " +
                chart_.band_period + ", banda de mínima a máxima)";
        if (panel.label != panel.title)
            out_ += R"(<text x=")" + coordinate(left) + R"(" y=")" + coordinate(y + 16) +
                R"(" text-anchor="start" font-weight="bold"><title>)" + escaped(panel.title) +
                "</title>" + escaped(heading) + "</text>\n";
        else
            text(left, y + 16, heading, "start", R"(font-weight="bold")");
        if (!panel.alerts.empty()) {
            std::string said = "⚠ ";
            for (std::size_t i = 0; i < panel.alerts.size(); ++i)
                said += (i > 0 ? "; " : "") + panel.alerts[i];
            text(width - right, y + 16, said, "end",
                 R"(class="alerta" font-weight="bold" fill=")" + std::string(alert_color) + "\"");
        }
    }

    // The bands of a dense panel or its lines, then its marks over the lower plot.
    void lines_and_marks(const log::ChartPanel& panel, const Plot& upper, const Plot& lower)
    {
        if (panel.dense) {
            for (const ChartSeries& band : panel.bands)
                draw_band(band, band.lower ? lower : upper);
        } else {
            for (const ChartSeries& series : panel.series) {
                if (!series.points)
                    draw(series, series.lower ? lower : upper);
            }
        }
        for (const ChartSeries& series : panel.series) {
            if (series.points)
                draw(series, lower);
        }
    }

    void draw_panel(const log::ChartPanel& panel, double y)
    {
        out_ += R"(<g class="panel" data-caldera=")" + escaped(panel.boiler) + "\">\n";
        heading(panel, y);
        const Plot upper{&chart_.y, y + panel_title, y + panel_title + upper_height};
        const Plot lower{&chart_.y2, upper.bottom + plot_gap,
                         upper.bottom + plot_gap + lower_height};
        if (!panel.alerts.empty())
            out_ += R"(<rect class="alerta" x=")" + coordinate(left - 3) + R"(" y=")" +
                coordinate(upper.top - 3) + R"(" width=")" + coordinate(width - left - right + 6) +
                R"(" height=")" + coordinate(lower.bottom - upper.top + 6) +
                R"(" fill="none" stroke-width="2" stroke=")" + std::string(alert_color) + "\"/>\n";
        frame(upper, false);
        frame(lower, true);
        lines_and_marks(panel, upper, lower);
        out_ += "</g>\n";
    }

    // The coordinates of a run of values, split where a value is no number.
    template <typename Each>
    void segments(const std::vector<double>& x, const std::vector<double>& y, Each each) const
    {
        std::size_t i = 0;
        while (i < x.size()) {
            while (i < x.size() && !std::isfinite(y[i]))
                ++i;
            std::size_t j = i;
            while (j < x.size() && std::isfinite(y[j]))
                ++j;
            if (j > i)
                each(i, j);
            i = j;
        }
    }

    [[nodiscard]] std::string points_of(const std::vector<double>& x, const std::vector<double>& y,
                                        const Plot& plot, std::size_t from, std::size_t to) const
    {
        std::string points;
        for (std::size_t i = from; i < to; ++i)
            points += (i > from ? " " : "") + coordinate(px(x[i])) + "," +
                coordinate(place(*plot.axis, y[i], plot.bottom, plot.top));
        return points;
    }

    void polyline(const ChartSeries& series, const std::vector<double>& y, const Plot& plot)
    {
        segments(series.x, y, [&](std::size_t from, std::size_t to) {
            out_ += R"(<polyline fill="none" stroke=")" + series.color + R"(" stroke-width=")" +
                (series.measure == log::Measure::o2 ? "1.5" : "2") + R"(")" +
                (series.dash.empty() ? "" : R"( stroke-dasharray=")" + series.dash + R"(")") +
                R"( stroke-linejoin="round" points=")" + points_of(series.x, y, plot, from, to) +
                "\"/>\n";
        });
    }

    static std::size_t finite_count(const std::vector<double>& y)
    {
        return static_cast<std::size_t>(
            std::count_if(y.begin(), y.end(), [](double v) { return std::isfinite(v); }));
    }

    void draw(const ChartSeries& series, const Plot& plot)
    {
        out_ += R"(<g class="serie" data-serie=")" + escaped(series.name) + R"(" data-puntos=")" +
            std::to_string(finite_count(series.y)) + "\">\n";
        if (series.points) {
            for (std::size_t i = 0; i < series.x.size(); ++i)
                mark(series, px(series.x[i]),
                     place(*plot.axis, series.y[i], plot.bottom, plot.top));
        } else {
            polyline(series, series.y, plot);
            // A few points are shown one by one: a single one draws no line.
            if (finite_count(series.y) <= sparse_points) {
                for (std::size_t i = 0; i < series.x.size(); ++i) {
                    if (std::isfinite(series.y[i]))
                        out_ += R"(<circle cx=")" + coordinate(px(series.x[i])) + R"(" cy=")" +
                            coordinate(place(*plot.axis, series.y[i], plot.bottom, plot.top)) +
                            R"(" r="2.5" fill=")" + series.color + "\"/>\n";
                }
            }
        }
        out_ += "</g>\n";
    }

    void draw_band(const ChartSeries& band, const Plot& plot)
    {
        out_ += R"(<g class="banda" data-serie=")" + escaped(band.name) + R"(" data-puntos=")" +
            std::to_string(finite_count(band.y)) + "\">\n";
        segments(band.x, band.y, [&](std::size_t from, std::size_t to) {
            std::string points = points_of(band.x, band.high, plot, from, to);
            for (std::size_t i = to; i-- > from;)
                points += " " + coordinate(px(band.x[i])) + "," +
                    coordinate(place(*plot.axis, band.low[i], plot.bottom, plot.top));
            out_ += R"(<polygon fill=")" + band.color + R"(" fill-opacity="0.18" points=")" +
                points + "\"/>\n";
        });
        polyline(band, band.y, plot);
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

    // The legend's items: each series' style, then the band's when a panel has bands.
    struct Item {
        const ChartSeries* series; // none for the band
        std::string label;
    };

    [[nodiscard]] std::vector<std::vector<Item>> legend_rows() const
    {
        std::vector<Item> items;
        std::transform(chart_.legend.begin(), chart_.legend.end(), std::back_inserter(items),
                       [](const ChartSeries& series) {
                           return Item{&series, series.name};
                       });
        if (std::any_of(chart_.panels.begin(), chart_.panels.end(),
                        [](const log::ChartPanel& p) { return p.dense; }))
            items.push_back(
                {nullptr, "media por " + chart_.band_period + " (banda: mínima a máxima)"});
        std::vector<std::vector<Item>> rows(1);
        double used = 0;
        for (Item& item : items) {
            const double w = item_width(item.label);
            if (used + w > width - left && !rows.back().empty()) {
                rows.emplace_back();
                used = 0;
            }
            rows.back().push_back(std::move(item));
            used += w;
        }
        return rows;
    }

    static double item_width(std::string_view label)
    {
        // About 7.5 pixels a character at 13 px, the sample and a gap.
        const auto chars = std::count_if(label.begin(), label.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
        });
        return 48 + 7.5 * static_cast<double>(chars);
    }

    void legend(const std::vector<std::vector<Item>>& rows, double first)
    {
        out_ += "<g class=\"leyenda\">\n";
        double y = first;
        for (const auto& row : rows) {
            double x = left;
            for (const Item& item : row) {
                if (item.series == nullptr) {
                    out_ += R"(<rect x=")" + coordinate(x) + R"(" y=")" + coordinate(y - 10) +
                        R"(" width="26" height="12" fill="#777777" fill-opacity="0.25"/>)" + "\n";
                    line(x, y - 4, x + 26, y - 4, R"(stroke="#777777" stroke-width="2")");
                } else if (item.series->points) {
                    mark(*item.series, x + 12, y - 4);
                } else {
                    line(x, y - 4, x + 26, y - 4,
                         R"(stroke=")" + item.series->color + R"(" stroke-width="2")" +
                             (item.series->dash.empty()
                                  ? ""
                                  : R"( stroke-dasharray=")" + item.series->dash + R"(")"));
                }
                text(x + 32, y, item.label, "start");
                x += item_width(item.label);
            }
            y += legend_row;
        }
        out_ += "</g>\n";
    }

    const Chart& chart_;
    std::string out_;
};

} // namespace

std::string chart_svg(const Chart& chart) { return Svg(chart).draw(); }

} // namespace quemador::cli
