// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A log's chart as a description both faces draw from: the page with its chart library,
// the command line as an SVG file. The gross and net efficiency on the left axis and
// the O2 on the right, over time when the log has dates, over the line in the file
// otherwise (and when none of its dates can be read); one set of series per boiler;
// the rows outside the model and those with notices marked at their O2. A long log is
// thinned as it is read: each series keeps at most a fixed number of buckets of
// consecutive points, and a bucket of several points is drawn by its least and
// greatest, so memory stays bounded and every peak stays in the picture.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quemador::log {

enum class Measure { gross, net, o2, outside, notices };

struct ChartSeries {
    std::string name;   // in the legend: "Bruta", "Caldera 1: neta", "Fuera del modelo"
    std::string boiler; // as the log writes it; empty without a boiler column
    Measure measure;
    bool right_axis;   // on the O2 axis
    bool points;       // marks: points without a line
    std::string dash;  // an SVG dash pattern ("6 4"); empty for a solid line
    std::string color; // "#1565c0"
    std::vector<double> x;
    std::vector<double> y;
};

struct Chart {
    std::string title;
    // Over time, x is in seconds from 1970-01-01 on the log's own clock; otherwise it
    // is the line in the file.
    bool over_time = false;
    std::string x_label;
    std::string y_label;  // left: the efficiencies
    std::string y2_label; // right: the O2
    std::vector<ChartSeries> series;
    // Rows drawn, and rows of readings that could not be placed (no readable date).
    std::uint64_t rows = 0;
    std::uint64_t undated = 0;
};

// Gathers the points of a log's chart as its rows are read.
class ChartData {
public:
    // Buckets per series at most; a series of no more points is drawn point for point.
    static constexpr std::size_t default_buckets = 1000;
    explicit ChartData(std::size_t buckets = default_buckets) : buckets_(buckets) {}

    // A point of a series (the boiler empty when the log names none).
    void add(std::string_view boiler, Measure measure, double x, double y);
    // A point of a chart over time whose day is not known yet: held under its day's
    // key, at its seconds into the day, until place() puts the key's points on its day.
    // Memory stays bounded: each key's series are thinned as the chart's are.
    void hold(std::uint32_t key, std::string_view boiler, Measure measure, double seconds,
              double y);
    void place(std::uint32_t key, double day_start);
    // A point of a chart over time without a readable date, at its line: drawn over
    // the line only when no point has a date.
    void add_undated(std::string_view boiler, Measure measure, double line, double y);
    void count_row() { ++rows_; }
    void count_undated() { ++undated_; }
    // Whether the chart over time is drawn over the line: no point has a date (and an
    // empty chart has no time to show).
    [[nodiscard]] bool by_line() const { return over_time_ && boilers_.empty() && held_.empty(); }
    // Whether x is a moment (the log has dates) or a line.
    void set_over_time(bool over_time) { over_time_ = over_time; }

    // The chart of what was gathered, titled after the log's name.
    [[nodiscard]] Chart chart(std::string_view log_name) const;

private:
    struct Bucket {
        double x_low, y_low, x_high, y_high;
        std::uint64_t points;
    };
    struct Thinned {
        std::uint64_t per_bucket = 1;
        std::vector<Bucket> buckets;
        void add(double x, double y, std::size_t most);
    };
    struct Boiler {
        std::string name;
        std::vector<Thinned> series; // by Measure
    };
    // A boiler's series of a measure among boilers, the one at last looked at first.
    static Thinned& series(std::vector<Boiler>& boilers, std::size_t& last, std::string_view boiler,
                           Measure measure);
    // A series' points: each bucket's least and greatest.
    static void points_of(const Thinned& thinned, ChartSeries& series);

    std::size_t buckets_;
    std::vector<Boiler> boilers_;
    std::size_t last_ = 0; // the boiler of the last point, looked at first
    std::map<std::uint32_t, std::vector<Boiler>> held_;
    std::vector<Boiler> by_line_; // while no point has a date
    std::size_t last_by_line_ = 0;
    std::uint64_t rows_ = 0;
    std::uint64_t undated_ = 0;
    bool over_time_ = false;
};

} // namespace quemador::log
