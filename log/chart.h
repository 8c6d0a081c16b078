// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A log's chart as a description both faces draw from: the page with its chart library,
// the command line as an SVG file and as the pages of its report. Small multiples: one
// panel per boiler on shared axes, the gross and net efficiency above and the O2 below,
// over time when the log has dates (ticks on the first of the months), over the line in
// the file otherwise (and when none of its dates can be read). A panel's readings are in
// time order; readings at one moment are one point, their mean; a line breaks where the
// time to the next reading is far longer than the panel's usual interval. A dense panel
// is drawn as each week's (or month's) mean with a band from its least to its greatest,
// and its readings are there too, for a face's switch to every reading. The rows outside
// the model and those with notices are marks at their O2.
//
// Memory stays bounded whatever the log: each boiler keeps at most a fixed number of
// buckets of consecutive readings (a bucket of several drawn by its readings of least and
// greatest efficiency, so that every peak stays in the picture), and its weeks and
// months as sums; a log of many boilers charts the worst of them by their mean
// efficiency; a point out of its axis's range is drawn at its edge, and one far in time
// from the others is left out, each counted for the chart's notes. A value that is no
// number (NaN) in a series is a break in its line, never a coordinate.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quemador::log {

enum class Measure { gross, net, o2, outside, notices };

// A measure's line (or marks) in a panel; for a band, each point's mean, least and
// greatest over its week or month.
struct ChartSeries {
    std::string name; // "Bruta", "Neta", "O2", "Fuera del modelo", "Con aviso"
    Measure measure = Measure::gross;
    bool lower = false;  // in the O2 plot, under the efficiencies
    bool points = false; // marks: points without a line
    std::string dash;    // an SVG dash pattern ("6 4"); empty for a solid line
    std::string color;   // "#0072b2"
    std::vector<double> x;
    std::vector<double> y;    // NaN: no value here, the line breaks
    std::vector<double> low;  // a band's least, as y; empty for readings
    std::vector<double> high; // a band's greatest
};

// One boiler's panel.
struct ChartPanel {
    std::string boiler; // as the log writes it; empty without a boiler column
    std::string title;  // as shown: the name made printable ("Sin caldera", "Todas las filas")
    std::string label;  // the title shortened when it is long
    std::uint64_t readings = 0; // rows calculated and drawn
    // More readings than a panel's width can show: drawn as bands by default.
    bool dense = false;
    std::vector<ChartSeries> series; // every reading (thinned when many), then the marks
    std::vector<ChartSeries> bands;  // by week or month; empty over the line
    // What a face marks the panel with: its alerts, in its words.
    std::vector<std::string> alerts;
};

struct ChartTick {
    double at = 0;
    std::string text; // "feb", "ene 2026", "83", "4,5"
};

// An axis's range and its ticks; every panel shares it.
struct ChartAxis {
    std::string label;
    double low = 0;
    double high = 1;
    std::vector<ChartTick> ticks;
};

struct Chart {
    std::string title;
    // Over time, x is in seconds from 1970-01-01 on the log's own clock; otherwise it
    // is the line in the file.
    bool over_time = false;
    ChartAxis x;
    ChartAxis y;  // above: the efficiencies
    ChartAxis y2; // below: the O2
    // What a band's point stands for: "semana" or "mes"; empty without bands.
    std::string band_period;
    // The palette's entries, in the legend's order: each series' name, style and colour.
    std::vector<ChartSeries> legend;
    std::vector<ChartPanel> panels;
    // Rows drawn, and rows of readings that could not be placed (no readable date).
    std::uint64_t rows = 0;
    std::uint64_t undated = 0;
    // Boilers with a line, and those charted: the worst by mean efficiency when there
    // are more than a chart can show.
    std::uint64_t boilers = 0;
    std::uint64_t boilers_charted = 0;
    // Rows of boilers past the most the chart follows, left out.
    std::uint64_t rows_untracked = 0;
    // Points whose value is no number, left out; points beyond their axis's range
    // (an O2 of 1e16), drawn at its edge; the moments far in time from all the others
    // (a mistyped year), whose points are left out.
    std::uint64_t not_numbers = 0;
    std::uint64_t clipped = 0;
    std::uint64_t far_in_time = 0;
    // Characters of the names that cannot be shown (bytes that are not UTF-8, controls
    // XML forbids), each shown as U+FFFD.
    std::uint64_t replaced = 0;
};

// What a face says of a chart beside it, one line each: the boilers left out, the
// points clipped or left out, the characters replaced; none when all is drawn.
std::vector<std::string> chart_notes(const Chart& chart);

// A calculated row's point: its efficiencies and O2; a figure the row has not, NaN.
struct RowPoint {
    double gross;
    double net;
    double o2;
};

// The title of the chart of several logs: how many were read, and the names of those
// left out (logs that could not be read); one log's own name when it is the only one.
std::string logs_title(const std::vector<std::string>& read,
                       const std::vector<std::string>& left_out);

// Gathers the points of a log's chart as its rows are read.
class ChartData {
public:
    // Buckets per boiler at most; a boiler of no more readings is drawn reading for
    // reading.
    static constexpr std::size_t default_buckets = 1000;
    // Buckets of all the boilers together, at most: with many boilers, each gets its
    // share.
    static constexpr std::size_t total_buckets = 200000;
    // Weeks of all the boilers together, at most; past it the bands are by month.
    static constexpr std::size_t total_weeks = 100000;
    // Boilers the chart follows, at most; the rows of any other are counted.
    static constexpr std::size_t most_boilers = 10000;
    // Boilers a chart shows, at most.
    static constexpr std::size_t charted_boilers = 50;
    // Readings a panel shows one by one, at most, before it is drawn as bands.
    static constexpr std::uint64_t dense_readings = 300;
    explicit ChartData(std::size_t buckets = default_buckets) : buckets_(buckets) {}

    // A calculated row of a boiler (empty when the log names none), at x.
    void add(std::string_view boiler, double x, RowPoint point);
    // A row outside the model or with notices, at its O2.
    void mark(std::string_view boiler, Measure measure, double x, double o2);
    // A point of a chart over time whose day is not known yet: held under its day's
    // key, at its seconds into the day, until place() puts the key's points on its day.
    // Memory stays bounded: each key's points are thinned as the chart's are.
    void hold(std::uint32_t key, std::string_view boiler, double seconds, RowPoint point);
    void hold_mark(std::uint32_t key, std::string_view boiler, Measure measure, double seconds,
                   double o2);
    void place(std::uint32_t key, double day_start);
    // A point of a chart over time without a readable date, at its line: drawn over
    // the line only when no point has a date.
    void add_undated(std::string_view boiler, double line, RowPoint point);
    void mark_undated(std::string_view boiler, Measure measure, double line, double o2);
    void count_row() { ++rows_; }
    void count_undated() { ++undated_; }
    // Whether the chart over time is drawn over the line: no point has a date (and an
    // empty chart has no time to show).
    [[nodiscard]] bool by_line() const;
    // Whether x is a moment (the log has dates) or a line.
    void set_over_time(bool over_time) { over_time_ = over_time; }

    // The chart of what was gathered, titled after the log's name.
    [[nodiscard]] Chart chart(std::string_view log_name) const;

private:
    // A reading, or a mark (its O2 in o2 and in gross, by which it is thinned).
    struct Point {
        double x;
        RowPoint row;
    };
    struct Bucket {
        Point low, high; // the points of least and greatest key
        std::uint64_t points;
    };
    // Consecutive points in buckets, at most a number of them: when full, every two
    // become one.
    struct Thinned {
        std::uint64_t per_bucket = 1;
        std::vector<Bucket> buckets;
        void add(const Point& point, std::size_t most); // by the point's gross
        void thin(std::size_t most);
        [[nodiscard]] std::vector<Point> points() const;
    };
    // The sum, count, least and greatest of a measure over a week or month.
    struct Stat {
        double sum = 0;
        std::uint64_t count = 0;
        double least = 0;
        double greatest = 0;
        void add(double v);
        void merge(const Stat& other);
    };
    // A week's or month's readings: their measures, and the sum of their moments (of a
    // day held, into the day), so that the band's point is at their mean moment.
    struct Bin {
        std::array<Stat, 3> stats; // gross, net, O2
        double seconds = 0;
        void add(const RowPoint& point, double at);
        void merge(const Bin& other, double offset);
    };
    using Bins = std::map<std::int64_t, Bin>;
    struct Boiler {
        std::string name; // as shown: U+FFFD for what cannot be, controls escaped
        double gross_sum = 0;
        std::uint64_t gross_count = 0;
        Thinned rows;
        std::array<Thinned, 2> marks; // outside the model, with notices
        Bins weeks;                   // by the Monday of the week, in days from 1970
        Bins months;                  // year × 12 + month − 1
        // The week and month of the last day added to, looked at first: rows come in
        // order of time.
        std::int64_t last_day = std::numeric_limits<std::int64_t>::min();
        Bin* last_week = nullptr;
        Bin* last_month = nullptr;
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const
        {
            return std::hash<std::string_view>{}(text);
        }
    };
    // The points of one boiler held for their day, and their sums for its week and month.
    struct Held {
        std::string boiler;
        Thinned rows;
        std::array<Thinned, 2> marks;
        Bin day;
    };

    // The boiler's place in boilers_; none past most_boilers.
    std::optional<std::size_t> boiler(std::string_view name);
    // Buckets per boiler now: a share of total_buckets.
    [[nodiscard]] std::size_t most_buckets() const;
    // A row's values clipped to their axes, those that are no number counted; false when
    // its place is no number.
    bool checked(double x, RowPoint& point);
    // A day's (or a reading's) bin into the boiler's week and month, its moments offset.
    void add_to_bins(Boiler& b, double offset, const Bin& bin);
    // The boilers charted: all, or the worst by mean efficiency when many.
    [[nodiscard]] std::vector<bool> charted(Chart& chart) const;
    // A boiler's panel: its readings' lines and its marks, and over time its bands.
    [[nodiscard]] ChartPanel boiler_panel(const Boiler& b, bool named, bool weekly) const;
    // Whether the bands are by week: the readings span little enough time.
    [[nodiscard]] bool weekly_bands() const;
    // The steps of a panel: its readings' lines, its marks, its bands.
    static std::vector<Point> in_time_order(const Thinned& thinned);
    static void add_readings(ChartPanel& panel, const Boiler& b);
    static void add_marks(ChartPanel& panel, const Boiler& b);
    static void add_bands(ChartPanel& panel, const Bins& bins);

    std::size_t buckets_;
    std::vector<Boiler> boilers_;
    std::map<std::uint32_t, std::vector<Held>> held_;
    // The points over the line, while no point has a date.
    std::unique_ptr<ChartData> by_line_;
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> index_; // by spelling
    std::unordered_map<std::string, std::size_t> keys_;                         // by text::caseless
    // The boilers of the last points, looked at first: a log's rows come in runs of a
    // boiler, or take a few boilers in turn.
    struct Recent {
        std::string name; // as the log writes it
        std::size_t at = 0;
    };
    std::array<Recent, 4> recent_;
    std::size_t recent_next_ = 0; // the one replaced next
    std::size_t weeks_ = 0;       // weeks of every boiler
    bool by_week_ = true;         // until there are too many weeks
    std::uint64_t rows_ = 0;
    std::uint64_t undated_ = 0;
    std::uint64_t untracked_ = 0;
    std::uint64_t not_numbers_ = 0;
    std::uint64_t clipped_ = 0;
    std::uint64_t replaced_ = 0;
    bool over_time_ = false;
};

} // namespace quemador::log
