// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A log's chart as a description both faces draw from: the page with its chart library,
// the command line as an SVG file. The gross and net efficiency on the left axis and
// the O2 on the right, over time when the log has dates, over the line in the file
// otherwise (and when none of its dates can be read); one set of series per boiler;
// the rows outside the model and those with notices marked at their O2. A long log is
// thinned as it is read: each series keeps at most a fixed number of buckets of
// consecutive points, and a bucket of several points is drawn by its least and
// greatest, so memory stays bounded and every peak stays in the picture. A log of many
// boilers charts the worst of them, by their mean efficiency; a point out of its axis's
// range is drawn at its edge, and one far in time from the others is left out, each
// counted for the chart's notes.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quemador::log {

enum class Measure { gross, net, o2, outside, notices };

struct ChartSeries {
    std::string name;   // "Bruta", "Caldera 1: neta", "Fuera del modelo"
    std::string label;  // in the legend: the name, shortened when it is long
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

// Gathers the points of a log's chart as its rows are read.
class ChartData {
public:
    // Buckets per series at most; a series of no more points is drawn point for point.
    static constexpr std::size_t default_buckets = 1000;
    // Buckets of all the series together, at most: with many boilers, each series gets
    // its share.
    static constexpr std::size_t total_buckets = 200000;
    // Boilers the chart follows, at most; the rows of any other are counted.
    static constexpr std::size_t most_boilers = 10000;
    // Boilers a chart shows, at most.
    static constexpr std::size_t charted_boilers = 50;
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
    [[nodiscard]] bool by_line() const;
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
        // Every two buckets become one, twice as wide, until there are at most most.
        void thin(std::size_t most);
    };
    struct Boiler {
        std::string name; // as shown: U+FFFD for what cannot be, controls escaped
        double gross_sum = 0;
        std::uint64_t gross_count = 0;
        std::array<Thinned, 5> series; // by Measure
    };
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const
        {
            return std::hash<std::string_view>{}(text);
        }
    };
    // The boiler's place in boilers_; none past most_boilers.
    std::optional<std::size_t> boiler(std::string_view name);
    // Buckets per series now: a share of total_buckets.
    [[nodiscard]] std::size_t most_buckets() const;
    // A series' points: each bucket's least and greatest.
    static void points_of(const Thinned& thinned, ChartSeries& series);
    // The boilers charted: all, or the worst by mean efficiency when many.
    [[nodiscard]] std::vector<bool> charted(Chart& chart) const;

    // The points of one boiler's measure held for their day.
    struct Held {
        std::string boiler;
        Measure measure;
        Thinned points;
    };

    std::size_t buckets_;
    std::vector<Boiler> boilers_;
    std::map<std::uint32_t, std::vector<Held>> held_;
    // The points over the line, while no point has a date.
    std::unique_ptr<ChartData> by_line_;
    std::unordered_map<std::string, std::size_t, Hash, std::equal_to<>> index_;
    std::array<Thinned, 2> marks_; // outside the model, with notices
    std::size_t last_ = 0;         // the boiler of the last point, looked at first
    std::string last_name_;        // its name as the log writes it
    std::uint64_t rows_ = 0;
    std::uint64_t undated_ = 0;
    std::uint64_t untracked_ = 0;
    std::uint64_t not_numbers_ = 0;
    std::uint64_t clipped_ = 0;
    std::uint64_t replaced_ = 0;
    bool over_time_ = false;
};

} // namespace quemador::log
