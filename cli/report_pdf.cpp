// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/report_pdf.h"

#include "calculation/calculate_command.h"
#include "calculation/report.h"
#include "log/dates.h"
#include "text/names.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <string_view>
#include <vector>

namespace quemador::cli {
namespace {

using log::ChartAxis;
using log::ChartPanel;
using log::ChartSeries;

// A4 across, in points.
constexpr double page_width = 842;
constexpr double page_height = 595;
constexpr double margin = 40;
constexpr double body_width = page_width - 2 * margin;

struct Rgb {
    double r, g, b;
};

// "#0072b2" as Cairo's colour.
Rgb rgb(std::string_view hex)
{
    const auto channel = [hex](std::size_t at) {
        if (hex.size() < at + 2)
            return 0.0;
        return std::stoi(std::string(hex.substr(at, 2)), nullptr, 16) / 255.0;
    };
    return {channel(1), channel(3), channel(5)};
}

void set_color(cairo_t* cr, std::string_view hex, double alpha = 1)
{
    const Rgb c = rgb(hex);
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

cairo_status_t append(void* closure, const unsigned char* data, unsigned int length)
{
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

class Report {
public:
    Report(const log::LogSummary& summary, const log::Verdict& verdict, const log::Chart& chart)
        : summary_(summary), verdict_(verdict), chart_(chart),
          surface_(cairo_pdf_surface_create_for_stream(append, &out_, page_width, page_height),
                   cairo_surface_destroy),
          cr_(cairo_create(surface_.get()), cairo_destroy)
    {
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_TITLE,
                                       ("Informe: " + chart.title).c_str());
        cairo_pdf_surface_set_metadata(surface_.get(), CAIRO_PDF_METADATA_CREATOR,
                                       "quemador1-calc");
    }

    std::string write()
    {
        first_page();
        for (const ChartPanel& panel : chart_.panels) {
            cairo_show_page(cr_.get());
            boiler_page(panel);
        }
        // Finishing the surface ends its last page.
        cr_.reset();
        cairo_surface_finish(surface_.get());
        return std::move(out_);
    }

private:
    // Text at (x, y), its top; wrapped to width when width > 0. Gives its height.
    double text(double x, double y, const std::string& content, double size, bool bold = false,
                double width = 0, std::string_view color = "#1c1917",
                PangoAlignment align = PANGO_ALIGN_LEFT)
    {
        cairo_t* cr = cr_.get();
        std::unique_ptr<PangoLayout, decltype(&g_object_unref)> layout(
            pango_cairo_create_layout(cr), g_object_unref);
        std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> font(
            pango_font_description_from_string("DejaVu Sans"), pango_font_description_free);
        pango_font_description_set_absolute_size(font.get(), size * PANGO_SCALE);
        pango_font_description_set_weight(font.get(),
                                          bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_layout_set_font_description(layout.get(), font.get());
        if (width > 0) {
            pango_layout_set_width(layout.get(), static_cast<int>(width * PANGO_SCALE));
            pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
            pango_layout_set_alignment(layout.get(), align);
        }
        pango_layout_set_text(layout.get(), content.c_str(), static_cast<int>(content.size()));
        set_color(cr, color);
        cairo_move_to(cr, x, y);
        pango_cairo_show_layout(cr, layout.get());
        int w = 0;
        int h = 0;
        pango_layout_get_size(layout.get(), &w, &h);
        return static_cast<double>(h) / PANGO_SCALE;
    }

    // A table: a header row, then rows; columns of the widths given, numbers to the right.
    double table(double y, const std::vector<std::string>& header,
                 const std::vector<std::vector<std::string>>& rows,
                 const std::vector<double>& widths, double size)
    {
        cairo_t* cr = cr_.get();
        const auto row_of = [&](const std::vector<std::string>& cells, bool bold) {
            double x = margin;
            double tallest = 0;
            for (std::size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
                // Names to the left, numbers to the right under their headers.
                const bool left = c == 0 ||
                    (!bold && !cells[c].empty() &&
                     std::isdigit(static_cast<unsigned char>(cells[c][0])) == 0 &&
                     cells[c][0] != '-');
                tallest = std::max(tallest,
                                   text(x + 2, y + 2, cells[c], size, bold, widths[c] - 4,
                                        "#1c1917", left ? PANGO_ALIGN_LEFT : PANGO_ALIGN_RIGHT));
                x += widths[c];
            }
            return tallest + 4;
        };
        set_color(cr, "#eeeeee");
        const double header_height = [&] {
            cairo_save(cr);
            const double h = row_of(header, true);
            cairo_restore(cr);
            return h;
        }();
        y += header_height;
        cairo_set_line_width(cr, 0.6);
        set_color(cr, "#555555");
        cairo_move_to(cr, margin, y);
        cairo_line_to(cr, margin + body_width, y);
        cairo_stroke(cr);
        for (const auto& row : rows) {
            y += row_of(row, false);
            set_color(cr, "#dddddd");
            cairo_move_to(cr, margin, y);
            cairo_line_to(cr, margin + body_width, y);
            cairo_stroke(cr);
        }
        return y;
    }

    void first_page()
    {
        double y = margin;
        y += text(margin, y, "Informe de eficiencia de combustión", 18, true) + 2;
        y += text(margin, y, chart_.title, 11, false, body_width, "#444444") + 4;
        y += text(margin, y, log::counts_line(summary_), 8, false, body_width, "#666666") + 12;

        y += text(margin, y, "Calderas, de peor a mejor (con alerta primero)", 13, true) + 4;
        // The columns with figures; the alert's words go in the list below, not in a cell.
        const auto columns = log::verdict_columns(verdict_);
        std::vector<bool> shown = log::verdict_shown(verdict_);
        shown.back() = false;
        std::vector<std::string> header;
        std::vector<double> widths;
        const auto kept = static_cast<double>(std::count(shown.begin(), shown.end(), true));
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (!shown[c])
                continue;
            header.emplace_back(columns[c].header);
            widths.push_back(c == 0 ? 130 : (body_width - 130) / (kept - 1));
        }
        std::vector<std::vector<std::string>> rows;
        for (const auto& all : log::verdict_rows(verdict_, text::DecimalComma::accepted)) {
            std::vector<std::string> row;
            for (std::size_t c = 0; c < all.size(); ++c) {
                if (shown[c])
                    row.push_back(all[c]);
            }
            if (row.front().empty())
                row.front() = "(sin caldera)";
            rows.push_back(std::move(row));
        }
        if (rows.size() > 20)
            rows.resize(20);
        y = table(y, header, rows, widths, 8) + 12;
        if (verdict_.boilers.size() > 20)
            y += text(margin, y,
                      "… y " + std::to_string(verdict_.boilers.size() - 20) +
                          " calderas más (todas en el resumen CSV)",
                      8) +
                6;

        y += text(margin, y, "Alertas", 13, true) + 4;
        if (verdict_.alerts.empty())
            y += text(margin, y, "Ninguna alerta.", 9) + 4;
        for (const log::Alert& alert : verdict_.alerts) {
            if (y > page_height - margin - 60)
                break;
            y += text(margin, y,
                      "• " + (alert.boiler.empty() ? std::string("El registro") : alert.boiler) +
                          ": " + log::alert_text(alert, text::DecimalComma::accepted),
                      9, false, body_width, "#b00020") +
                2;
        }
        y += 10;
        y += text(margin, y, "Ahorro al año", 13, true) + 4;
        if (!verdict_.money)
            text(margin, y,
                 "Sin consumos de las calderas: el ahorro en kWh y euros necesita el consumo "
                 "anual y el precio del kWh de cada una, y un O2 objetivo.",
                 9, false, body_width);
        else if (!verdict_.saving_given)
            text(margin, y,
                 "El registro no da el ahorro de combustible: hace falta un O2 objetivo.", 9, false,
                 body_width);
        else {
            y += text(margin, y,
                      "Si cada caldera llega al objetivo: " + log::whole_text(verdict_.total_kwh) +
                          " kWh y " + log::whole_text(verdict_.total_eur) + " € al año en total.",
                      11, true, body_width) +
                4;
            std::string assumed(log::money_assumptions());
            assumed.front() = 'E';
            text(margin, y, assumed + ".", 8, false, body_width, "#444444");
        }
    }

    static std::string figure(double x)
    {
        std::string shown = shown_result(x);
        std::replace(shown.begin(), shown.end(), '.', ',');
        return shown;
    }

    [[nodiscard]] double px(double x, double left, double right) const
    {
        const ChartAxis& axis = chart_.x;
        return axis.low < axis.high
            ? left + (x - axis.low) / (axis.high - axis.low) * (right - left)
            : (left + right) / 2;
    }

    static double py(const ChartAxis& axis, double y, double top, double bottom)
    {
        return axis.low < axis.high
            ? bottom - (y - axis.low) / (axis.high - axis.low) * (bottom - top)
            : (top + bottom) / 2;
    }

    // A run of a series' values as a path, broken where a value is no number.
    void path(const ChartSeries& s, const std::vector<double>& ys, const ChartAxis& axis,
              double top, double bottom, double left, double right)
    {
        cairo_t* cr = cr_.get();
        bool drawing = false;
        for (std::size_t i = 0; i < s.x.size(); ++i) {
            if (!std::isfinite(ys[i])) {
                drawing = false;
                continue;
            }
            const double x = px(s.x[i], left, right);
            const double y = py(axis, ys[i], top, bottom);
            if (drawing)
                cairo_line_to(cr, x, y);
            else
                cairo_move_to(cr, x, y);
            drawing = true;
        }
    }

    void stroke_style(const ChartSeries& s)
    {
        cairo_t* cr = cr_.get();
        set_color(cr, s.color);
        cairo_set_line_width(cr, s.measure == log::Measure::o2 ? 1.0 : 1.4);
        std::vector<double> dashes;
        std::string_view dash = s.dash;
        while (!dash.empty()) {
            const auto space = dash.find(' ');
            dashes.push_back(std::stod(std::string(dash.substr(0, space))) * 0.7);
            dash = space == std::string_view::npos ? "" : dash.substr(space + 1);
        }
        cairo_set_dash(cr, dashes.data(), static_cast<int>(dashes.size()), 0);
    }

    // Where a plot is drawn on the page, and the axis of its values.
    struct Area {
        const ChartAxis& axis;
        double top;
        double bottom;
        double left;
        double right;
    };

    // The plot's grid, its ticks (those of x when asked), its frame and its axis's name.
    void frame(const Area& area, bool x_ticks)
    {
        cairo_t* cr = cr_.get();
        cairo_set_dash(cr, nullptr, 0, 0);
        cairo_set_line_width(cr, 0.4);
        for (const log::ChartTick& tick : area.axis.ticks) {
            const double y = py(area.axis, tick.at, area.top, area.bottom);
            set_color(cr, "#e6e6e6");
            cairo_move_to(cr, area.left, y);
            cairo_line_to(cr, area.right, y);
            cairo_stroke(cr);
            text(margin, y - 5, tick.text, 7, false, 36, "#333333", PANGO_ALIGN_RIGHT);
        }
        for (const log::ChartTick& tick : chart_.x.ticks) {
            const double x = px(tick.at, area.left, area.right);
            set_color(cr, "#f0f0f0");
            cairo_move_to(cr, x, area.top);
            cairo_line_to(cr, x, area.bottom);
            cairo_stroke(cr);
            if (x_ticks)
                text(x - 30, area.bottom + 2, tick.text, 7, false, 60, "#333333",
                     PANGO_ALIGN_CENTER);
        }
        set_color(cr, "#999999");
        cairo_rectangle(cr, area.left, area.top, area.right - area.left, area.bottom - area.top);
        cairo_stroke(cr);
        text(area.left + 4, area.top + 2, area.axis.label, 7, false, 0, "#666666");
    }

    // The band of the values from..to: its greatest forward, its least back.
    void band_run(const ChartSeries& band, const Area& area, std::size_t from, std::size_t to)
    {
        cairo_t* cr = cr_.get();
        for (std::size_t k = from; k < to; ++k)
            (k == from ? cairo_move_to
                       : cairo_line_to)(cr, px(band.x[k], area.left, area.right),
                                        py(area.axis, band.high[k], area.top, area.bottom));
        for (std::size_t k = to; k-- > from;)
            cairo_line_to(cr, px(band.x[k], area.left, area.right),
                          py(area.axis, band.low[k], area.top, area.bottom));
        cairo_close_path(cr);
        set_color(cr, band.color, 0.2);
        cairo_fill(cr);
    }

    // A band a run of numbers at a time, and its mean's line over it.
    void draw_band(const ChartSeries& band, const Area& area)
    {
        std::size_t i = 0;
        while (i < band.x.size()) {
            while (i < band.x.size() && !std::isfinite(band.y[i]))
                ++i;
            std::size_t j = i;
            while (j < band.x.size() && std::isfinite(band.y[j]))
                ++j;
            if (j > i)
                band_run(band, area, i, j);
            i = j;
        }
        stroke_style(band);
        path(band, band.y, area.axis, area.top, area.bottom, area.left, area.right);
        cairo_stroke(cr_.get());
    }

    // A series' line, with a dot at each point when they are few.
    void draw_line(const ChartSeries& s, const Area& area)
    {
        cairo_t* cr = cr_.get();
        stroke_style(s);
        path(s, s.y, area.axis, area.top, area.bottom, area.left, area.right);
        cairo_stroke(cr);
        if (s.x.size() > 40)
            return;
        for (std::size_t i = 0; i < s.x.size(); ++i) {
            if (!std::isfinite(s.y[i]))
                continue;
            cairo_new_sub_path(cr);
            cairo_arc(cr, px(s.x[i], area.left, area.right),
                      py(area.axis, s.y[i], area.top, area.bottom), 1.6, 0, 2 * M_PI);
            cairo_fill(cr);
        }
    }

    // The rows outside the model or with notices, a ring each.
    void draw_marks(const ChartPanel& panel, const Area& area)
    {
        cairo_t* cr = cr_.get();
        cairo_set_dash(cr, nullptr, 0, 0);
        for (const ChartSeries& s : panel.series) {
            if (!s.points)
                continue;
            set_color(cr, s.color);
            for (std::size_t i = 0; i < s.x.size(); ++i) {
                cairo_new_sub_path(cr);
                cairo_arc(cr, px(s.x[i], area.left, area.right),
                          py(area.axis, s.y[i], area.top, area.bottom), 2.6, 0, 2 * M_PI);
                cairo_stroke(cr);
            }
        }
    }

    void plot(const ChartPanel& panel, bool lower, double top, double bottom, bool x_ticks)
    {
        cairo_t* cr = cr_.get();
        const Area area{lower ? chart_.y2 : chart_.y, top, bottom, margin + 40,
                        margin + body_width};
        frame(area, x_ticks);

        cairo_save(cr);
        cairo_rectangle(cr, area.left, top, area.right - area.left, bottom - top);
        cairo_clip(cr);
        if (panel.dense) {
            for (const ChartSeries& band : panel.bands) {
                if (band.lower == lower)
                    draw_band(band, area);
            }
        } else {
            for (const ChartSeries& s : panel.series) {
                if (!s.points && s.lower == lower)
                    draw_line(s, area);
            }
        }
        if (lower)
            draw_marks(panel, area);
        cairo_restore(cr);
    }

    void legend(double y)
    {
        cairo_t* cr = cr_.get();
        double x = margin + 40;
        for (const ChartSeries& s : chart_.legend) {
            if (s.points) {
                set_color(cr, s.color);
                cairo_set_dash(cr, nullptr, 0, 0);
                cairo_new_sub_path(cr);
                cairo_arc(cr, x + 9, y + 5, 2.6, 0, 2 * M_PI);
                cairo_stroke(cr);
            } else {
                stroke_style(s);
                cairo_move_to(cr, x, y + 5);
                cairo_line_to(cr, x + 20, y + 5);
                cairo_stroke(cr);
            }
            text(x + 24, y, s.name, 8);
            x += 34 + 6.0 * static_cast<double>(s.name.size());
        }
    }

    void boiler_page(const ChartPanel& panel)
    {
        double y = margin;
        y += text(margin, y, panel.title, 16, true, body_width) + 2;
        for (const std::string& alert : panel.alerts) {
            // Each alert drawn below the last.
            const double height =
                text(margin, y, "⚠ Alerta: " + alert, 9, true, body_width, "#b00020");
            y += height + 2;
        }
        if (panel.dense)
            y += text(margin, y,
                      std::to_string(panel.readings) + " lecturas: media por " +
                          chart_.band_period + ", con su banda de mínima a máxima",
                      8, false, body_width, "#444444");
        y += 4;
        legend(y);
        y += 16;
        const double upper_bottom = y + 150;
        plot(panel, false, y, upper_bottom, false);
        plot(panel, true, upper_bottom + 6, upper_bottom + 66, true);
        y = upper_bottom + 66 + 18;

        // Its months: rows, mean gross and net, rows with notices.
        std::vector<std::vector<std::string>> rows;
        const std::string_view gross_id = figure_facts(FigureKind::efficiency).id;
        const std::string_view net_id = figure_facts(FigureKind::net).id;
        for (const log::Group& group : summary_.months) {
            std::uint64_t replaced = 0;
            if (text::printable(text::valid_text(group.boiler, replaced)) != panel.boiler)
                continue;
            std::vector<std::string> row = {
                log::month_text(group.month),      std::to_string(group.read), "", "", "", "",
                std::to_string(group.with_notices)};
            for (const auto& [id, spread] : group.results) {
                if (spread.count == 0)
                    continue;
                if (id == gross_id) {
                    row[2] = figure(spread.mean());
                    row[4] = figure(spread.least);
                    row[5] = figure(spread.greatest);
                } else if (id == net_id) {
                    row[3] = figure(spread.mean());
                }
            }
            rows.push_back(std::move(row));
        }
        if (rows.empty())
            return;
        y += text(margin, y, "Por mes", 11, true) + 2;
        const double room = page_height - margin - y;
        const double size = rows.size() > 14 ? 6.5 : 8;
        const std::size_t fit = static_cast<std::size_t>(room / (size + 6)) - 1;
        if (rows.size() > fit)
            rows.resize(fit);
        table(y,
              {"Mes", "Filas", "Bruta media (%)", "Neta media (%)", "Bruta mínima (%)",
               "Bruta máxima (%)", "Filas con aviso"},
              rows, {90, 60, 100, 100, 100, 100, 100}, size);
    }

    const log::LogSummary& summary_;
    const log::Verdict& verdict_;
    const log::Chart& chart_;
    std::string out_;
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface_;
    std::unique_ptr<cairo_t, decltype(&cairo_destroy)> cr_;
};

} // namespace

std::string report_pdf(const log::LogSummary& summary, const log::Verdict& verdict,
                       const log::Chart& chart)
{
    // The fonts' caches stay with Pango, Cairo and Fontconfig for the program's life:
    // Pango may still be sorting fonts on a thread of its own, and letting the caches go
    // under it aborts the program.
    return Report(summary, verdict, chart).write();
}

} // namespace quemador::cli
