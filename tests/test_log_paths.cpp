// SPDX-License-Identifier: GPL-3.0-or-later
// The common row's short way, and the pipeline of several threads, against the general
// way on one thread, byte for byte, over random logs
// of both fuels, every separator and decimal style, and the rows that leave the short
// way (blank cells, unreadable cells, readings outside the model, advice, unknown
// fuels, short and long rows, repeated headers, blank lines, footers).
// QUEMADOR_PATHS_ROWS sets the rows of each log (default 20,000); the bench's runs use
// millions.

#include "log/log.h"
#include "log/note.h"
#include "test_support.h"
#include "text/csv.h"

#include <algorithm>
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
    char buffer[64];
    std::string text(
        buffer,
        std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::fixed, decimals).ptr);
    if (shape.marks == Marks::point)
        return text;
    for (char& c : text)
        c = c == '.' ? ',' : c;
    return shape.marks == Marks::quoted_comma ? '"' + text + '"' : text;
}

std::string random_log(const Shape& shape, std::size_t rows, std::uint64_t seed)
{
    std::mt19937_64 random(seed);
    const auto uniform = [&random](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(random);
    };
    const auto one_in = [&random](unsigned n) { return random() % n == 0; };
    const std::string sep(1, shape.separator);
    std::string header = shape.dated ? "Caldera" + sep + "Fecha" + sep : "";
    header += "O2" + sep + "CO2" + sep + "Temperatura";
    if (shape.fuel_column)
        header += sep + "Combustible";
    std::string log = header + "\n";
    static const char* const fuels[] = {"gas natural", "Gasóleo C", "", "gas", "leña"};
    static const char* const junk[] = {"", " ", "abc", "-", "1e3", "3..5", "nan"};
    for (std::size_t i = 0; i < rows; ++i) {
        if (one_in(5000)) {
            log += header + "\n";
            continue;
        }
        if (one_in(3000)) {
            log += one_in(2) ? "\n" : sep + sep + "\n";
            continue;
        }
        if (shape.dated) {
            log += one_in(4000) ? "Media" : (one_in(2) ? "Sala 1" : "sala 2");
            log += sep + std::to_string(1 + random() % 28) + "/" +
                std::to_string(1 + random() % 12) + "/2026" + sep;
        }
        const bool odd = one_in(50);
        const double o2 = odd ? uniform(-2.0, 25.0) : uniform(1.0, 10.0);
        const double co2 =
            11.8 * (20.9 - o2) / 20.9 + uniform(-0.6, 0.6) + (one_in(40) ? 4.0 : 0.0);
        const double temp = odd ? uniform(-40.0, 3000.0) : uniform(250.0, 600.0);
        log += one_in(500) ? junk[random() % 7] : number(o2, static_cast<int>(random() % 3), shape);
        if (one_in(1000))
            continue; // a row cut short
        log += sep + (one_in(200) ? std::string() : number(co2, 2, shape));
        log += sep + (one_in(500) ? junk[random() % 7] : number(temp, 1, shape));
        if (shape.fuel_column)
            log += sep + fuels[one_in(10) ? random() % 5 : random() % 2];
        if (one_in(1000))
            log += sep + "de más";
        log += one_in(3) ? "\r\n" : "\n";
    }
    return log;
}

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
            char buffer[128];
            text += "\n" + id + " " + std::to_string(spread.count);
            for (const double x : {spread.sum, spread.least, spread.greatest})
                text.append(" ").append(buffer,
                                        std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
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
        const std::string input = random_log(shape, rows_asked(), 1000 + separator + marks);
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
