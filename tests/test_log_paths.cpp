// SPDX-License-Identifier: GPL-3.0-or-later
// The common row's short way, and the pipeline of several threads, against the general
// way on one thread, byte for byte, over random logs of both fuels, every separator and
// decimal style, and the rows that leave the short way (blank cells, unreadable cells,
// readings outside the model, advice, unknown fuels, short and long rows, repeated
// headers, blank lines, footers).
// QUEMADOR_PATHS_ROWS sets the rows of each log (default 20,000); the bench's runs use
// millions.

#include "log/log.h"
#include "log/note.h"
#include "test_support.h"
#include "text/csv.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <random>
#include <string>

using namespace quemador;
using namespace quemador::log;
using namespace quemador::text;

namespace {

enum class Marks { point, comma, quoted_comma };

struct Shape {
    char separator;
    Marks marks;
    bool fuel_column;
    bool dated; // a boiler and a date column before the readings, grouped by month
};

std::size_t rows_asked()
{
    const char* rows = std::getenv("QUEMADOR_PATHS_ROWS");
    return rows != nullptr ? std::strtoull(rows, nullptr, 10) : 20000;
}

// A number as a log writes it, to the given decimals, with the shape's decimal mark.
std::string number(double x, int decimals, const Shape& shape)
{
    std::array<char, 64> buffer{};
    std::string text(buffer.data(),
                     std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                   std::chars_format::fixed, decimals)
                         .ptr);
    if (shape.marks == Marks::point)
        return text;
    std::replace(text.begin(), text.end(), '.', ',');
    return shape.marks == Marks::quoted_comma ? '"' + text + '"' : text;
}

// Random records of a log of one shape: mostly common rows, and every kind of row that
// leaves the short way.
class RandomLog {
public:
    RandomLog(const Shape& shape, std::uint64_t seed)
        : shape_(shape), random_(seed), sep_(1, shape.separator)
    {
        if (shape.dated)
            header_.append("Caldera").append(sep_).append("Fecha").append(sep_);
        header_.append("O2").append(sep_).append("CO2").append(sep_).append("Temperatura");
        if (shape.fuel_column)
            header_.append(sep_).append("Combustible");
    }

    std::string log(std::size_t rows)
    {
        std::string log = header_ + "\n";
        for (std::size_t i = 0; i < rows; ++i)
            record(log);
        return log;
    }

private:
    double uniform(double low, double high)
    {
        return std::uniform_real_distribution<double>(low, high)(random_);
    }
    bool one_in(unsigned n) { return random_() % n == 0; }
    template <std::size_t n> std::string any(const std::array<std::string_view, n>& texts)
    {
        return std::string(texts.at(random_() % n));
    }

    void record(std::string& log)
    {
        if (one_in(5000)) {
            log.append(header_).append("\n");
        } else if (one_in(3000)) {
            log.append(one_in(2) ? "" : sep_ + sep_).append("\n");
        } else {
            readings(log);
            log.append(one_in(3) ? "\r\n" : "\n");
        }
    }

    void readings(std::string& log)
    {
        static constexpr std::array<std::string_view, 5> fuels = {"gas natural", "Gasóleo C", "",
                                                                  "gas", "leña"};
        static constexpr std::array<std::string_view, 7> junk = {"",    " ",    "abc", "-",
                                                                 "1e3", "3..5", "nan"};
        if (shape_.dated) {
            log.append(one_in(4000) ? "Media" : (one_in(2) ? "Sala 1" : "sala 2")).append(sep_);
            if (one_in(3000)) {
                // A date month first among day-first ones: the row gets a note.
                log.append("1/").append(std::to_string(13 + random_() % 15)).append("/2026");
            } else {
                log.append(std::to_string(1 + random_() % 28)).append("/");
                log.append(std::to_string(1 + random_() % 12)).append("/2026");
            }
            log.append(sep_);
        }
        const bool odd = one_in(50);
        const double o2 = odd ? uniform(-2.0, 25.0) : uniform(1.0, 10.0);
        const double co2 =
            11.8 * (20.9 - o2) / 20.9 + uniform(-0.6, 0.6) + (one_in(40) ? 4.0 : 0.0);
        const double temp = odd ? uniform(-40.0, 3000.0) : uniform(250.0, 600.0);
        log.append(one_in(500) ? any(junk) : number(o2, static_cast<int>(random_() % 3), shape_));
        if (one_in(1000))
            return; // a row cut short
        log.append(sep_).append(one_in(200) ? std::string() : number(co2, 2, shape_));
        log.append(sep_).append(one_in(500) ? any(junk) : number(temp, 1, shape_));
        if (shape_.fuel_column)
            log.append(sep_).append(one_in(10) ? any(fuels) : std::string(fuels.at(random_() % 2)));
        if (one_in(1000))
            log.append(sep_).append("de más");
    }

    Shape shape_;
    std::mt19937_64 random_;
    std::string sep_;
    std::string header_;
};

struct Outcome {
    std::string out;
    std::string notices; // each row with notes: its line and notes
    std::string summary; // the counts, each figure's spread, the groups and notes
};

Outcome run(const std::string& input, const Shape& shape, bool general, std::size_t threads = 1)
{
    Outcome outcome;
    StringSource source(input);
    StringSink sink;
    LogOptions options;
    options.fuel = Fuel::natural_gas;
    options.general_path = general;
    options.threads = threads;
    if (shape.dated)
        options.grouping = Grouping::month;
    options.notice = [&outcome](const RowNotice& row) {
        outcome.notices += std::to_string(row.line) + ": " + std::string(row.notes) + "\n";
    };
    const LogSummary summary = process_log(source, sink, options);
    outcome.out = std::move(sink.text);
    std::string& text = outcome.summary;
    for (const std::uint64_t count :
         {summary.read, summary.calculated, summary.with_advice, summary.out_of_range,
          summary.with_errors, summary.reshaped, summary.doubtful, summary.footers})
        text += std::to_string(count) + " ";
    const auto spreads = [&text](const std::vector<std::pair<std::string, Spread>>& results) {
        for (const auto& [id, spread] : results) {
            std::array<char, 128> buffer{};
            text += "\n" + id + " " + std::to_string(spread.count);
            for (const double x : {spread.sum, spread.least, spread.greatest})
                text.append(" ").append(
                    buffer.data(),
                    std::to_chars(buffer.data(), buffer.data() + buffer.size(), x).ptr);
        }
    };
    spreads(summary.results);
    for (const Group& group : summary.groups) {
        text += "\n" + group.boiler + " " + std::to_string(group.month) + " " +
            std::to_string(group.read);
        spreads(group.results);
    }
    for (const Note& note : summary.notes)
        text += "\n" + worded(note, plain_words);
    return outcome;
}

} // namespace

class TestLogPaths : public QObject {
    Q_OBJECT

private slots:
    void same_bytes_data()
    {
        QTest::addColumn<char>("separator");
        QTest::addColumn<int>("marks");
        QTest::addColumn<bool>("fuel_column");
        QTest::addColumn<bool>("dated");
        const auto row = [](const char* name, char separator, Marks marks, bool fuel, bool dated) {
            QTest::newRow(name) << separator << static_cast<int>(marks) << fuel << dated;
        };
        row("comma, points, gas by option", ',', Marks::point, false, false);
        row("comma, quoted decimal commas, both fuels", ',', Marks::quoted_comma, true, false);
        row("semicolon, decimal commas, both fuels", ';', Marks::comma, true, false);
        row("semicolon, points", ';', Marks::point, false, false);
        row("tab, decimal commas", '\t', Marks::comma, false, false);
        row("tab, points, both fuels", '\t', Marks::point, true, false);
        row("boilers and dates by month, semicolon, commas", ';', Marks::comma, true, true);
        row("boilers and dates by month, comma, points", ',', Marks::point, false, true);
    }

    void same_bytes()
    {
        QFETCH(char, separator);
        QFETCH(int, marks);
        QFETCH(bool, fuel_column);
        QFETCH(bool, dated);
        const Shape shape{separator, static_cast<Marks>(marks), fuel_column, dated};
        const std::string input =
            RandomLog(shape, static_cast<std::uint64_t>(1000 + separator + marks))
                .log(rows_asked());
        const Outcome common = run(input, shape, false);
        const Outcome general = run(input, shape, true);
        QVERIFY(common.out.size() > input.size());
        QVERIFY(!general.notices.empty()); // the rows that leave the short way are there
        const auto [at, _] = std::mismatch(common.out.begin(), common.out.end(),
                                           general.out.begin(), general.out.end());
        const auto from = static_cast<std::size_t>(at - common.out.begin());
        QVERIFY2(common.out == general.out,
                 qPrintable(q("the short way writes «" + common.out.substr(from, 80) +
                              "», the general «" + general.out.substr(from, 80) + "»")));
        QCOMPARE(q(common.notices), q(general.notices));
        QCOMPARE(q(common.summary), q(general.summary));
        // The pipeline, on two threads and on more than the machine has.
        for (const std::size_t threads : {2, 5}) {
            const Outcome pipelined = run(input, shape, false, threads);
            QVERIFY(pipelined.out == general.out);
            QCOMPARE(q(pipelined.notices), q(general.notices));
            QCOMPARE(q(pipelined.summary), q(general.summary));
        }
    }
};

QTEST_GUILESS_MAIN(TestLogPaths)
#include "test_log_paths.moc"
