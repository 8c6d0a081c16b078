// SPDX-License-Identifier: GPL-3.0-or-later
// Logs through the library as a manager reads them: the chart's panels, bands or
// readings, breaks and ticks; each boiler's verdict (trend, change, worst month, order),
// its alerts and its money; consumptions read; several logs as one.

#include "calculation/report.h"
#include "log/chart.h"
#include "log/dates.h"
#include "log/log.h"
#include "log/verdict.h"
#include "test_support.h"
#include "text/csv.h"

#include <QRegularExpression>
#include <QStringList>
#include <QtTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

using namespace quemador;
using namespace quemador::log;

namespace {

struct Read {
    LogSummary summary;
    Chart chart;
};

Read read_log(const std::string& input, const JudgeOptions& judging = {},
              std::optional<double> target_o2 = std::nullopt)
{
    text::StringSource source(input);
    text::StringSink sink;
    ChartData data;
    LogOptions options;
    options.fuel = Fuel::natural_gas;
    options.unit = TemperatureUnit::celsius;
    options.chart = &data;
    options.judging = judging;
    options.target_o2 = target_o2;
    Read read;
    read.summary = process_log(source, sink, options);
    read.chart = data.chart("registro.csv");
    return read;
}

// A row a day (at 08:00) from a day of 2026, for so many days, every step days.
std::string days(const std::string& boiler, int first, int count, const std::string& o2,
                 int step = 1)
{
    std::string rows;
    for (int i = 0; i < count; ++i) {
        const auto day = std::chrono::sys_days{std::chrono::year{2026} / 1 / 1} +
            std::chrono::days{first + i * step};
        const std::chrono::year_month_day date{day};
        std::array<char, 16> text{};
        std::snprintf(text.data(), text.size(), "%04d-%02u-%02u", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
        rows.append(text.data()).append(" 08:00;").append(boiler).append(";").append(o2);
        rows.append(";180\n");
    }
    return rows;
}

// A month's rows: four, a week apart, from the month's first day (months from 0, in 2026).
std::string month(const std::string& boiler, int m, const std::string& o2)
{
    const auto first =
        std::chrono::sys_days{std::chrono::year{2026} / std::chrono::month(1 + m) / 1} -
        std::chrono::sys_days{std::chrono::year{2026} / 1 / 1};
    return days(boiler, static_cast<int>(first.count()), 4, o2, 7);
}

const std::string header = "Fecha;Caldera;O2;T\n";

const ChartSeries* series_of(const ChartPanel& panel, Measure measure)
{
    const auto at = std::find_if(panel.series.begin(), panel.series.end(),
                                 [measure](const ChartSeries& s) { return s.measure == measure; });
    return at == panel.series.end() ? nullptr : &*at;
}

// The efficiency of one reading at 180 °C, through the core.
Report reading_at(double o2, std::optional<double> target = std::nullopt)
{
    Reading reading;
    reading.o2 = o2;
    reading.temp_f = celsius_to_fahrenheit(180);
    Report report;
    Comparison comparison;
    comparison.target_o2 = target;
    evaluate(reading, report, {}, comparison);
    return report;
}

} // namespace

class TestVerdict : public QObject {
    Q_OBJECT

private slots:
    // The chart's description of a log: its panels (readings one by one or in bands),
    // the ticks on its time axis, and the breaks in its lines.
    void chart_description_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<QStringList>("panels"); // title, readings, "bandas" when dense
        QTest::addColumn<QString>("period");
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<int>("breaks"); // in the first panel's gross line

        QTest::newRow("two boilers of a few days: readings, ticks on days")
            << q(header + days("A", 0, 5, "3") + days("B", 0, 3, "4")) << QStringList{"A 5", "B 3"}
            << "semana" << QStringList{"02/01/2026", "03/01/2026", "04/01/2026", "05/01/2026"} << 0;
        QTest::newRow("a dense boiler: weekly bands, ticks on the first of the months")
            << q(header + days("A", 0, 400, "3", 0) + days("A", 1, 89, "3"))
            << QStringList{"A 489 bandas"} << "semana"
            << QStringList{"ene 2026", "feb", "mar", "abr"} << 0;
        QTest::newRow("a gap of weeks breaks the line")
            << q(header + days("A", 0, 20, "3") + days("A", 59, 20, "3")) << QStringList{"A 40"}
            << "semana" << QStringList{"ene 2026", "feb", "mar"} << 1;
        QTest::newRow("two years: monthly bands, ticks every few months")
            << q(header + days("A", 0, 400, "3", 2)) << QStringList{"A 400 bandas"} << "mes"
            << QStringList{"ene 2026", "abr", "jul", "oct",     "ene 2027",
                           "abr",      "jul", "oct", "ene 2028"}
            << 0;
    }

    void chart_description()
    {
        QFETCH(QString, log);
        QFETCH(QStringList, panels);
        QFETCH(QString, period);
        QFETCH(QStringList, ticks);
        QFETCH(int, breaks);
        const Chart chart = read_log(log.toStdString()).chart;
        QStringList drawn;
        for (const ChartPanel& panel : chart.panels) {
            drawn << q(panel.title) + " " + QString::number(panel.readings) +
                    (panel.dense ? " bandas" : "");
            QCOMPARE(panel.dense, !panel.bands.empty() && panel.readings > 300);
            for (const ChartSeries& s : panel.series)
                QVERIFY(std::is_sorted(s.x.begin(), s.x.end()));
        }
        QCOMPARE(drawn, panels);
        QCOMPARE(q(chart.band_period), period);
        QStringList shown;
        for (const ChartTick& tick : chart.x.ticks) {
            shown << q(tick.text);
            QVERIFY(tick.at >= chart.x.low && tick.at <= chart.x.high);
        }
        QVERIFY2(shown == ticks, qPrintable(shown.join(", ")));
        const ChartSeries& gross = chart.panels.front().series.front();
        QCOMPARE(gross.measure, Measure::gross);
        QCOMPARE(
            std::count_if(gross.y.begin(), gross.y.end(), [](double y) { return std::isnan(y); }),
            static_cast<std::ptrdiff_t>(breaks));
        // Every band's least and greatest around its mean.
        for (const ChartSeries& band : chart.panels.front().bands) {
            for (std::size_t i = 0; i < band.x.size(); ++i)
                QVERIFY(std::isnan(band.y[i]) ||
                        (band.low[i] <= band.y[i] && band.y[i] <= band.high[i]));
        }
    }

    // Readings out of time order are drawn in it; readings at one moment are one point,
    // their mean, never a spike.
    void readings_in_time_order()
    {
        const Chart chart = read_log(header +
                                     "2026-01-03 08:00;A;3;180\n"
                                     "2026-01-01 08:00;A;3;180\n"
                                     "2026-01-02 08:00;A;3;180\n"
                                     "2026-01-02 08:00;A;5;180\n")
                                .chart;
        const ChartSeries* o2 = series_of(chart.panels.at(0), Measure::o2);
        QVERIFY(o2 != nullptr);
        QCOMPARE(o2->y, (std::vector<double>{3, 4, 3}));
        QCOMPARE_EXACT(o2->x.at(1) - o2->x.at(0), 86400.0);
        // The same moments in uPlot's data and the SVG: both are these.
        QCOMPARE(chart.panels.at(0).series.front().x, o2->x);
        // Each measure in the legend once, in its own style.
        QStringList legend;
        for (const ChartSeries& s : chart.legend)
            legend << q(s.name) + " " + q(s.dash) + " " + q(s.color);
        QCOMPARE(legend, QStringList({"Bruta  #0072b2", "Neta 7 4 #d55e00", "O2 2 3 #009e73"}));
    }

    // Each boiler's verdict: the order (alerts first, then the lowest mean), the trend
    // and change over the monthly means, the worst month, and the alerts.
    void verdicts_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<double>("drop");    // none: a negative
        QTest::addColumn<double>("minimum"); // none: a negative
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QStringList>("alerts");    // boiler, kind, first month, months
        QTest::addColumn<QString>("trend_of_last"); // "<0", "0" or ">0"

        const std::string steady = month("Estable", 0, "3") + month("Estable", 1, "3") +
            month("Estable", 2, "3") + month("Estable", 3, "3") + month("Estable", 4, "3");
        const std::string falling = month("Cae", 0, "3") + month("Cae", 1, "3") +
            month("Cae", 2, "3") + month("Cae", 3, "8") + month("Cae", 4, "10");
        const std::string low = month("Baja", 0, "12") + month("Baja", 1, "12") +
            month("Baja", 2, "12") + month("Baja", 3, "12") + month("Baja", 4, "12");
        const QString three = q(header + steady + falling + low);
        QTest::newRow("no alerts: the lowest mean first")
            << three << -1.0 << -1.0 << QStringList{"Baja", "Cae", "Estable"} << QStringList{}
            << "0";
        QTest::newRow("a drop from the first three months: that boiler first")
            << three << 1.0 << -1.0 << QStringList{"Cae", "Baja", "Estable"}
            << QStringList{"Cae caída 2026-04 2"} << "0";
        QTest::newRow("a drop smaller than the points: no alert")
            << three << 10.0 << -1.0 << QStringList{"Baja", "Cae", "Estable"} << QStringList{}
            << "0";
        const double at_10 = *reading_at(10).value(FigureKind::efficiency);
        QTest::newRow("under the minimum: every month of one, the last of another")
            << three << -1.0 << at_10 + 0.01 << QStringList{"Baja", "Cae", "Estable"}
            << QStringList{"Cae mínimo 2026-05 1", "Baja mínimo 2026-01 5"} << "0";
        QTest::newRow("a falling boiler alone: a falling trend")
            << q(header + falling) << -1.0 << -1.0 << QStringList{"Cae"} << QStringList{} << "<0";
        QTest::newRow("without dates: no trend, the minimum over the whole log")
            << q("Caldera;O2;T\nX;10;180\nX;10;180\n") << -1.0 << at_10 + 0.01 << QStringList{"X"}
            << QStringList{"X mínimo (sin fecha) 1"} << "none";
    }

    void verdicts()
    {
        QFETCH(QString, log);
        QFETCH(double, drop);
        QFETCH(double, minimum);
        QFETCH(QStringList, order);
        QFETCH(QStringList, alerts);
        QFETCH(QString, trend_of_last);
        JudgeOptions judging;
        if (drop >= 0)
            judging.drop = drop;
        if (minimum >= 0)
            judging.minimum = minimum;
        const Read read = read_log(log.toStdString(), judging);
        const Verdict verdict = judge(read.summary, judging);
        QStringList boilers;
        for (const BoilerVerdict& v : verdict.boilers)
            boilers << q(v.boiler);
        QCOMPARE(boilers, order);
        QStringList flagged;
        for (const Alert& alert : verdict.alerts)
            flagged << q(alert.boiler) +
                    (alert.kind == Alert::Kind::drop ? " caída " : " mínimo ") +
                    q(month_text(alert.month)) + " " + QString::number(alert.months);
        QCOMPARE(flagged, alerts);
        // Listed first, and marked on the boiler's panel.
        const auto lines = verdict_lines(verdict, text::DecimalComma::accepted);
        for (qsizetype i = 0; i < alerts.size(); ++i)
            QVERIFY(lines.at(static_cast<std::size_t>(i)).starts_with("alerta: "));
        Chart chart = read.chart;
        mark_alerts(chart, verdict, text::DecimalComma::accepted);
        for (const ChartPanel& panel : chart.panels) {
            const bool alerted =
                std::any_of(verdict.alerts.begin(), verdict.alerts.end(),
                            [&](const Alert& a) { return a.boiler == panel.boiler; });
            QCOMPARE(!panel.alerts.empty(), alerted);
        }
        const BoilerVerdict& last = verdict.boilers.back();
        const QString trend = !last.trend  ? "none"
            : std::abs(*last.trend) < 1e-9 ? "0"
            : *last.trend < 0              ? "<0"
                                           : ">0";
        QCOMPARE(trend, trend_of_last);
    }

    // The trend is the least-squares slope over the monthly means, the change the last
    // month's mean less the first's, the worst month the lowest mean: against the core's
    // efficiency of each month's one reading.
    void trend_and_change()
    {
        const std::string log = header + month("A", 0, "3") + month("A", 1, "4") +
            month("A", 2, "6") + month("A", 5, "5");
        const Verdict verdict = judge(read_log(log).summary, {});
        const BoilerVerdict& a = verdict.boilers.at(0);
        const auto eff = [](double o2) { return *reading_at(o2).value(FigureKind::efficiency); };
        // Months 0, 1, 2 and 5 of 2026.
        const std::array<double, 4> xs = {0, 1, 2, 5};
        const std::array<double, 4> ys = {eff(3), eff(4), eff(6), eff(5)};
        double mx = 0;
        double my = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            mx += xs.at(i) / 4;
            my += ys.at(i) / 4;
        }
        double sxy = 0;
        double sxx = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            sxy += (xs.at(i) - mx) * (ys.at(i) - my);
            sxx += (xs.at(i) - mx) * (xs.at(i) - mx);
        }
        QVERIFY(std::abs(*a.trend - sxy / sxx) < 1e-9);
        QVERIFY(std::abs(*a.change - (eff(5) - eff(3))) < 1e-9);
        QCOMPARE(q(month_text(a.worst_month)), QString("2026-03"));
        QVERIFY(std::abs(a.worst_mean - eff(6)) < 1e-9);
        QCOMPARE(q(month_text(a.first_month)), QString("2026-01"));
        QCOMPARE(q(month_text(a.last_month)), QString("2026-06"));
    }

    // Money: each boiler's yearly kWh times its mean saving at the target, at its price;
    // the total; a consumption for a boiler the log does not name is said.
    void money()
    {
        const std::string log = header + month("Sala", 0, "5") + month("Cocina", 0, "7");
        JudgeOptions judging;
        judging.consumptions = {{"SALA", 200000, 0.1}, {"cocina", 50000, 0.12}, {"Ático", 1, 1}};
        const Verdict verdict = judge(read_log(log, judging, 3).summary, judging);
        const auto saving = [](double o2) { return *reading_at(o2, 3).value(FigureKind::saving); };
        QVERIFY(verdict.money && verdict.saving_given);
        const BoilerVerdict& cocina = verdict.boilers.at(0);
        const BoilerVerdict& sala = verdict.boilers.at(1);
        QCOMPARE(q(cocina.boiler), QString("Cocina"));
        QVERIFY(std::abs(*sala.kwh_saved - 200000 * saving(5) / 100) < 1e-6);
        QVERIFY(std::abs(*sala.eur_saved - 20000 * saving(5) / 100) < 1e-6);
        QVERIFY(std::abs(*cocina.eur_saved - 50000 * 0.12 * saving(7) / 100) < 1e-6);
        QVERIFY(std::abs(verdict.total_eur - *sala.eur_saved - *cocina.eur_saved) < 1e-9);
        QCOMPARE(verdict.unmatched, std::vector<std::string>{"Ático"});
        const auto lines = verdict_lines(verdict, text::DecimalComma::accepted);
        const QString said = q(lines.at(lines.size() - 2));
        QVERIFY2(said.contains("kWh") && said.contains("€ en total") &&
                     said.contains(q(std::string(money_assumptions()))),
                 qPrintable(said));
        QVERIFY(q(lines.back()).contains("«Ático»: el registro no la nombra"));
        // Without a target, no saving to count: said, not a zero.
        const Verdict untargeted = judge(read_log(log, judging).summary, judging);
        QVERIFY(!untargeted.saving_given && !untargeted.boilers.at(0).kwh_saved);
    }

    void consumptions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("read"); // boiler kwh price
        QTest::addColumn<QString>("fault");
        QTest::newRow("semicolons, a header, decimal commas")
            << "caldera;kWh;precio\nSala 1;120000;0,085\n"
            << QStringList{"Sala 1 120000 0.085"} << "";
        QTest::newRow("commas, no header, a blank line")
            << "Sala,100000,0.1\n\nCocina,5000,0.2\n"
            << QStringList{"Sala 100000 0.1", "Cocina 5000 0.2"} << "";
        QTest::newRow("the separator from the first line with something")
            << "\r\n  \nSala;1.000.000;0,1\n"
            << QStringList{"Sala 1000000 0.1"} << "";
        QTest::newRow("tabs, a byte order mark") << "\xEF\xBB\xBFSala\t10\t1\n"
                                                 << QStringList{"Sala 10 1"} << "";
        QTest::newRow("a row without its price")
            << "Sala;10;1\nCocina;20\n"
            << QStringList{}
            << "línea 2: se esperan una caldera, su consumo anual y el precio de su energía";
        QTest::newRow("a negative consumption")
            << "Sala;-10;1\n"
            << QStringList{} << "línea 1: el consumo y el precio no pueden ser negativos";
        // Thousands, settled by the file's figures.
        QTest::newRow("thousands with decimal commas")
            << "caldera;kwh;precio\nSala;1.250.000;0,085\nCocina;200.000;0,09\n"
            << QStringList{"Sala 1250000 0.085", "Cocina 200000 0.09"} << "";
        QTest::newRow("thousands settled by a later line's price")
            << "Sala;200.000;1\nCocina;5000;0,1\n"
            << QStringList{"Sala 200000 1", "Cocina 5000 0.1"} << "";
        QTest::newRow("thousands with decimal points, quoted among commas")
            << "caldera,kwh,precio\nSala,\"1,250,000.5\",0.085\nCocina,\"200,000\",0.09\n"
            << QStringList{"Sala 1250000.5 0.085", "Cocina 200000 0.09"} << "";
        QTest::newRow("thousands with decimal points, tabs") << "Sala\t1,270\t0.09\n"
                                                             << QStringList{"Sala 1270 0.09"} << "";
        QTest::newRow("ambiguous: nothing settles the point")
            << "caldera;kwh;precio\nSala;200.000;1\n"
            << QStringList{}
            << "línea 2: «200.000» puede ser 200000 (el punto separa los miles) o 200 (el punto "
               "es la marca decimal), y ninguna otra cifra del archivo dice cuál: escríbalo sin "
               "separador de miles (200000)";
        QTest::newRow("ambiguous with a comma")
            << "Sala;1,270;2\n"
            << QStringList{}
            << "línea 1: «1,270» puede ser 1270 (la coma separa los miles) o 1,27 (la coma es la "
               "marca decimal)";
        QTest::newRow("two decimal marks in one file")
            << "Sala;1.250.000;0,1\nCocina;100;0.09\n"
            << QStringList{}
            << "línea 2: «0.09» no se lee con la coma como marca decimal, que es la del archivo "
               "desde «1.250.000» en la línea 1";
        // Units from the header, every figure in kWh and € the kWh once read.
        QTest::newRow("MWh and €/MWh") << "caldera;consumo (MWh);precio (€/MWh)\nSala;1,25;90,5\n"
                                       << QStringList{"Sala 1250 0.0905"} << "";
        QTest::newRow("GJ and EUR/GJ") << "caldera;consumo (GJ);precio (EUR/GJ)\nSala;36;25\n"
                                       << QStringList{"Sala 10000 0.09"} << "";
        QTest::newRow("units as words, the euro in Windows-1252")
            << "caldera;consumo anual MWh;precio \x80/MWh\nSala;2;100\n"
            << QStringList{"Sala 2000 0.1"} << "";
        QTest::newRow("kWh and a price per MWh") << "caldera;kWh/año;EUR/MWh\nSala;2000;100\n"
                                                 << QStringList{"Sala 2000 0.1"} << "";
        QTest::newRow("a header without units: kWh and € the kWh")
            << "caldera;consumo;precio (€)\nSala;2000;0,1\n"
            << QStringList{"Sala 2000 0.1"} << "";
        QTest::newRow("an unknown unit of consumption")
            << "caldera;consumo (m³);precio\nSala;100;0,1\n"
            << QStringList{}
            << "línea 1: no se conoce la unidad de «consumo (m³)»: el consumo anual se da en kWh, "
               "MWh o GJ";
        QTest::newRow("a unit not read, as a word")
            << "caldera;termias;precio\nSala;100;0,1\n"
            << QStringList{} << "línea 1: no se conoce la unidad de «termias»";
        QTest::newRow("two units in one header")
            << "caldera;kWh o MWh;precio\nSala;100;0,1\n"
            << QStringList{} << "línea 1: no se conoce la unidad de «kWh o MWh»";
        QTest::newRow("a price in cents") << "caldera;kwh;precio (c€/kWh)\nSala;100;9\n"
                                          << QStringList{}
                                          << "línea 1: no se conoce la unidad de «precio "
                                             "(c€/kWh)»: el precio se da en €/kWh, €/MWh o €/GJ";
        QTest::newRow("a price in dollars") << "caldera;kwh;precio ($/kWh)\nSala;100;0,1\n"
                                            << QStringList{} << "línea 1: no se conoce la unidad";
        QTest::newRow("a price per another unit")
            << "caldera;kwh;precio (€/m3)\nSala;100;0,1\n"
            << QStringList{} << "línea 1: no se conoce la unidad";
        // Refused whole, with the line.
        QTest::newRow("a boiler named twice, whatever its case")
            << "Sala;1;1\nCocina;1;1\nSALA;2;1\n"
            << QStringList{} << "línea 3: la caldera «SALA» ya tiene su consumo en la línea 1";
        QTest::newRow("empty") << "" << QStringList{} << "el archivo está vacío";
        QTest::newRow("blank lines and a byte order mark only")
            << "\xEF\xBB\xBF\r\n \n"
            << QStringList{} << "el archivo está vacío";
        QTest::newRow("a header only")
            << "caldera;kwh;precio\n"
            << QStringList{} << "el archivo no da el consumo de ninguna caldera";
        QTest::newRow("10 TWh in MWh, at the bound") << "caldera;MWh;precio\nSala;10.000.000;0,1\n"
                                                     << QStringList{"Sala 10000000000 0.1"} << "";
        QTest::newRow("past 10 TWh in MWh")
            << "caldera;MWh;precio\nSala;10.000.001;0,1\n"
            << QStringList{}
            << "línea 2: un consumo anual de «10.000.001» MWh pasa de 10 TWh: revise la cifra y "
               "la unidad de la cabecera";
        QTest::newRow("1e20 kWh in digits")
            << "Sala;100000000000000000000;0,1\n"
            << QStringList{}
            << "línea 1: un consumo anual de «100000000000000000000» kWh pasa de 10 TWh";
        QTest::newRow("10 € the kWh in €/MWh, at the bound") << "caldera;kwh;€/MWh\nSala;1;10000\n"
                                                             << QStringList{"Sala 1 10"} << "";
        QTest::newRow("a price per MWh under a header in kWh")
            << "caldera;kwh;precio\nSala;100;90\n"
            << QStringList{} << "línea 2: un precio de «90» €/kWh pasa de 10 € el kWh";
        QTest::newRow("a decimal comma unquoted among commas")
            << "Sala,100000,0,09\n"
            << QStringList{}
            << "línea 1: tiene más campos que los de una caldera, su consumo y su precio; en un "
               "CSV separado por comas, una cifra con comas va entre comillas";
        QTest::newRow("a fourth column the header names")
            << "caldera;kwh;precio;nota\nSala;1;1;nueva\n"
            << QStringList{"Sala 1 1"} << "";
    }

    void consumptions()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, read);
        QFETCH(QString, fault);
        const std::string bytes = text.toStdString();
        const ConsumptionsRead got = read_consumptions(bytes);
        // A fault begins with what the row gives (a longer message may follow).
        QVERIFY2(fault.isEmpty() ? !got.fault : q(got.fault.value_or("")).startsWith(fault),
                 qPrintable(q(got.fault.value_or("(none)"))));
        if (!fault.isEmpty())
            return;
        QStringList rows;
        for (const Consumption& c : got.consumptions)
            rows << q(c.boiler) + " " + QString::number(c.kwh, 'g', 12) + " " +
                    QString::number(c.price, 'g', 12);
        QCOMPARE(rows, read);
    }

    // A file past a mebibyte is read whole: a price across the mebibyte's edge and the
    // boiler after it (blank lines before them).
    void consumptions_past_a_mebibyte()
    {
        const std::string header = "caldera;kwh;precio\n";
        const std::string cut = "Sur;100000;0,1";
        std::string blank((1U << 20U) - header.size() - cut.size(), ' ');
        for (std::size_t i = 63; i < blank.size(); i += 64)
            blank[i] = '\n';
        blank.back() = '\n';
        const std::string text = header + blank + cut + "5\nNorte;300000;0,09\n";
        QVERIFY(text.size() > (1U << 20U));
        const ConsumptionsRead got = read_consumptions(text);
        QVERIFY(!got.fault);
        QCOMPARE(got.consumptions.size(), std::size_t{2});
        QCOMPARE_EXACT(got.consumptions.at(0).price, 0.15);
        QCOMPARE(q(got.consumptions.at(1).boiler), QString("Norte"));
    }

    // Sums of money and energy as whole numbers, whatever their size: 1e20 once printed
    // as -9223372036854775808.
    void whole_numbers_data()
    {
        QTest::addColumn<double>("x");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0";
        QTest::newRow("a half rounds away from zero") << 1234.5 << "1235";
        QTest::newRow("negative") << -2.5 << "-3";
        QTest::newRow("the last with every digit") << 999999999999999.0 << "999999999999999";
        QTest::newRow("10^15") << 1e15 << "1E+15";
        QTest::newRow("1e20") << 1e20 << "1E+20";
        QTest::newRow("-1e20") << -1e20 << "-1E+20";
        QTest::newRow("past a long long") << 1e300 << "1E+300";
        QTest::newRow("infinite") << HUGE_VAL << "—";
        QTest::newRow("not a number") << std::nan("") << "—";
    }

    void whole_numbers()
    {
        QFETCH(double, x);
        QFETCH(QString, text);
        QCOMPARE(q(whole_text(x)), text);
    }

    // The money of the largest figures the file takes is said in digits, every boiler's
    // and the total.
    void money_at_the_bounds()
    {
        const std::string log = header + month("Sala", 0, "5") + month("Cocina", 0, "7");
        JudgeOptions judging;
        judging.consumptions = {{"Sala", max_yearly_kwh, max_kwh_price},
                                {"Cocina", max_yearly_kwh, max_kwh_price}};
        const Verdict verdict = judge(read_log(log, judging, 3).summary, judging);
        const auto lines = verdict_lines(verdict, text::DecimalComma::accepted);
        const QString total = q(lines.at(lines.size() - 1));
        QVERIFY2(QRegularExpression("^ahorro al año si cada caldera llega al objetivo: [0-9]{9,11} "
                                    "kWh y [0-9]{10,12} € en total")
                     .match(total)
                     .hasMatch(),
                 qPrintable(total));
    }

    // Several logs as one: a boiler's months from each file in one verdict, whatever the
    // case of its name; counts added; each file's notes under its name.
    void several_logs_as_one()
    {
        LogSummary one = read_log(header + month("Sala", 0, "3") + month("Sala", 1, "3")).summary;
        const LogSummary two =
            read_log(header + month("SALA", 2, "3") + month("SALA", 3, "7") + month("Aula", 3, "4"))
                .summary;
        const std::uint64_t rows = one.read + two.read;
        merge_summary(one, two, "abril.csv");
        QCOMPARE(one.read, rows);
        QStringList groups;
        for (const Group& group : one.months)
            groups << q(group.boiler) + " " + q(month_text(group.month));
        QCOMPARE(groups,
                 QStringList({"Sala 2026-01", "Sala 2026-02", "Sala 2026-03", "Sala 2026-04",
                              "Aula 2026-04"}));
        JudgeOptions judging;
        judging.drop = 1;
        const Verdict verdict = judge(one, judging);
        QCOMPARE(verdict.alerts.size(), std::size_t{1});
        QCOMPARE(q(verdict.alerts[0].boiler), QString("Sala"));
        const auto named = std::find_if(one.notes.begin(), one.notes.end(), [](const Note& n) {
            return worded(n, plain_words) == "registro «abril.csv»:";
        });
        QVERIFY(named != one.notes.end());
    }
};

QTEST_APPLESS_MAIN(TestVerdict)
#include "test_verdict.moc"
