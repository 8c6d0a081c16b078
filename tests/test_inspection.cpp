// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/efficiency_model.h"
#include "calculation/inspection.h"
#include "test_support.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <numeric>
#include <vector>

using namespace quemador;

namespace {

constexpr double no_value = std::numeric_limits<double>::quiet_NaN();

std::optional<double> given(double x) { return std::isnan(x) ? std::nullopt : std::optional(x); }

// A reading's report: O2 %, flue gas °F, CO ppm (NaN: none), air °F (NaN: none).
Report report_of(Fuel fuel, double o2, double temp_f, double co = no_value, double air_f = no_value)
{
    Reading reading;
    reading.fuel = fuel;
    reading.o2 = o2;
    reading.temp_f = temp_f;
    reading.co_ppm = given(co);
    Comparison comparison;
    comparison.air_f = given(air_f);
    Report report;
    evaluate(reading, report, {}, comparison);
    return report;
}

std::vector<Report> gas_readings(std::initializer_list<std::pair<double, double>> o2_and_co)
{
    std::vector<Report> reports;
    double temp = 350.0;
    for (const auto& [o2, co] : o2_and_co)
        reports.push_back(report_of(Fuel::natural_gas, o2, temp += 4.0, co));
    return reports;
}

const char* judgement_word(Judgement judgement)
{
    switch (judgement) {
    case Judgement::pass:
        return "pass";
    case Judgement::fail:
        return "fail";
    case Judgement::no_limit:
        return "no-limit";
    case Judgement::not_measured:
        return "not-measured";
    }
    return "?";
}

const char* verdict_word(Verdict verdict)
{
    switch (verdict) {
    case Verdict::conforming:
        return "conforming";
    case Verdict::not_conforming:
        return "not conforming";
    case Verdict::no_limits:
        return "no limits";
    case Verdict::incomplete:
        return "incomplete";
    }
    return "?";
}

} // namespace

class TestInspection : public QObject {
    Q_OBJECT

private slots:
    // The mean of each figure over the readings, by hand, where every reading gives the
    // figure and it means something in each; none elsewhere.
    void means_data()
    {
        QTest::addColumn<QString>("case_name");
        QTest::newRow("three gas readings, CO in each") << "three";
        QTest::newRow("one reading: its own figures") << "one";
        QTest::newRow("CO in two readings of three: no CO mean") << "co in two";
        QTest::newRow("a reading outside the model: no mean of the window's two") << "outside";
        QTest::newRow("the air in every reading: a corrected mean") << "air";
        QTest::newRow("no reading: no mean") << "none";
    }
    void means()
    {
        QFETCH(QString, case_name);
        std::vector<Report> reports;
        QStringList missing; // the figures with no mean
        if (case_name == "three") {
            reports = gas_readings({{3.0, 40.0}, {3.4, 52.0}, {2.9, 47.0}});
            missing << "eficiencia_corregida"
                    << "eficiencia_objetivo"
                    << "ahorro_combustible";
        } else if (case_name == "one") {
            reports = gas_readings({{3.0, 40.0}});
            missing << "eficiencia_corregida"
                    << "eficiencia_objetivo"
                    << "ahorro_combustible";
        } else if (case_name == "co in two") {
            reports = gas_readings({{3.0, 40.0}, {3.4, no_value}, {2.9, 47.0}});
            missing << "eficiencia_corregida"
                    << "eficiencia_objetivo"
                    << "ahorro_combustible"
                    << "co_sin_aire";
        } else if (case_name == "outside") {
            reports = gas_readings({{3.0, 40.0}, {3.4, 52.0}});
            reports.push_back(report_of(Fuel::natural_gas, 3.0, 40.0, 50.0));
            missing << "exceso_aire"
                    << "eficiencia"
                    << "eficiencia_neta"
                    << "perdidas_humos"
                    << "eficiencia_corregida"
                    << "eficiencia_objetivo"
                    << "ahorro_combustible";
        } else if (case_name == "air") {
            reports = {report_of(Fuel::fuel_oil_no2, 4.0, 392.0, no_value, 68.0),
                       report_of(Fuel::fuel_oil_no2, 4.2, 400.0, no_value, 70.0)};
            missing << "eficiencia_objetivo"
                    << "ahorro_combustible"
                    << "co_sin_aire";
        } else {
            for (const FigureFacts& figure : figure_kinds())
                missing << q(std::string(figure.id));
        }
        const FigureValues means = mean_figures(reports);
        QStringList without;
        for (const FigureFacts& figure : figure_kinds()) {
            const auto& mean = means.at(index_of(figure.kind));
            if (!mean) {
                without << q(std::string(figure.id));
                continue;
            }
            const double sum = std::accumulate(reports.begin(), reports.end(), 0.0,
                                               [&](double total, const Report& report) {
                                                   return total + *report.value(figure.kind);
                                               });
            QCOMPARE_EXACT(*mean, sum / static_cast<double>(reports.size()));
        }
        QCOMPARE(without.join(' '), missing.join(' '));
    }

    // Each limit judged on what the report prints, and the whole verdict: never a pass
    // with a limit missing or a figure a limit needs not measured.
    void verdicts_data()
    {
        QTest::addColumn<int>("fuel");
        QTest::addColumn<double>("min_efficiency");
        QTest::addColumn<bool>("net_basis");
        QTest::addColumn<double>("max_co");
        QTest::addColumn<double>("max_smoke");
        QTest::addColumn<double>("co");    // of every reading; NaN: none
        QTest::addColumn<double>("smoke"); // recorded; NaN: none
        QTest::addColumn<QString>("checks");
        QTest::addColumn<QString>("verdict");

        const int gas = int(Fuel::natural_gas);
        const int oil = int(Fuel::fuel_oil_no2);
        // Readings at O2 2.8 to 3.2 % and 356 °F: gas, gross about 83 % and net about 93 %;
        // fuel oil, gross about 86 %.
        QTest::newRow("gas, every limit passes, the CO default")
            << gas << 80.0 << false << no_value << no_value << 50.0 << no_value
            << "efficiency:pass(80,user) co:pass(400,default)"
            << "conforming";
        QTest::newRow("gas, the efficiency fails")
            << gas << 85.0 << false << no_value << no_value << 50.0 << no_value
            << "efficiency:fail(85,user) co:pass(400,default)"
            << "not conforming";
        QTest::newRow("gas, the net basis passes where the gross fails")
            << gas << 85.0 << true << no_value << no_value << 50.0 << no_value
            << "efficiency:pass(85,user) co:pass(400,default)"
            << "conforming";
        QTest::newRow("gas, a CO past the default")
            << gas << 80.0 << false << no_value << no_value << 400.0 << no_value
            << "efficiency:pass(80,user) co:fail(400,default)"
            << "not conforming";
        QTest::newRow("gas, a CO past the user's limit")
            << gas << 80.0 << false << 50.0 << no_value << 50.0 << no_value
            << "efficiency:pass(80,user) co:fail(50,user)"
            << "not conforming";
        QTest::newRow("gas, no efficiency limit: no pass")
            << gas << no_value << false << no_value << no_value << 50.0 << no_value
            << "efficiency:no-limit co:pass(400,default)"
            << "no limits";
        QTest::newRow("gas, no limit and a CO past the default: a fail")
            << gas << no_value << false << no_value << no_value << 500.0 << no_value
            << "efficiency:no-limit co:fail(400,default)"
            << "not conforming";
        QTest::newRow("gas, CO not measured: no pass")
            << gas << 80.0 << false << no_value << no_value << no_value << no_value
            << "efficiency:pass(80,user) co:not-measured(400,default)"
            << "incomplete";
        QTest::newRow("gas, a smoke limit does not apply")
            << gas << 80.0 << false << no_value << 2.0 << 50.0 << 5.0
            << "efficiency:pass(80,user) co:pass(400,default)"
            << "conforming";
        QTest::newRow("fuel oil, smoke within its limit")
            << oil << 80.0 << false << no_value << 2.0 << 50.0 << 2.0
            << "efficiency:pass(80,user) co:pass(400,default) smoke:pass(2,user)"
            << "conforming";
        QTest::newRow("fuel oil, smoke past its limit")
            << oil << 80.0 << false << no_value << 2.0 << 50.0 << 3.0
            << "efficiency:pass(80,user) co:pass(400,default) smoke:fail(2,user)"
            << "not conforming";
        QTest::newRow("fuel oil, no smoke limit: no pass")
            << oil << 80.0 << false << no_value << no_value << 50.0 << 1.0
            << "efficiency:pass(80,user) co:pass(400,default) smoke:no-limit"
            << "no limits";
        QTest::newRow("fuel oil, smoke not recorded: no pass")
            << oil << 80.0 << false << no_value << 2.0 << 50.0 << no_value
            << "efficiency:pass(80,user) co:pass(400,default) smoke:not-measured(2,user)"
            << "incomplete";
    }
    void verdicts()
    {
        QFETCH(int, fuel);
        QFETCH(double, min_efficiency);
        QFETCH(bool, net_basis);
        QFETCH(double, max_co);
        QFETCH(double, max_smoke);
        QFETCH(double, co);
        QFETCH(double, smoke);
        QFETCH(QString, checks);
        QFETCH(QString, verdict);

        Limits limits;
        limits.min_efficiency = given(min_efficiency);
        limits.efficiency_figure = net_basis ? FigureKind::net : FigureKind::efficiency;
        limits.max_co = given(max_co);
        limits.max_smoke = given(max_smoke);
        const std::array<double, 3> oxygen = {3.0, 3.2, 2.8};
        std::vector<Report> reports;
        std::transform(oxygen.begin(), oxygen.end(), std::back_inserter(reports),
                       [&](double o2) { return report_of(Fuel(fuel), o2, 356.0, co); });
        const Inspection inspection = inspect(reports, Fuel(fuel), limits, given(smoke));
        QStringList said;
        for (const LimitCheck& check : inspection.checks) {
            QString text = QStringList{"efficiency", "co", "smoke"}[int(check.kind)] + ":" +
                judgement_word(check.judgement);
            if (check.limit)
                text += QString("(%1,%2)")
                            .arg(*check.limit)
                            .arg(check.set_by_user ? "user" : "default");
            said << text;
        }
        QCOMPARE(said.join(' '), checks);
        QCOMPARE(QString(verdict_word(inspection.verdict)), verdict);
    }

    // What is judged: the mean efficiency as printed (a mean printed as the limit passes),
    // and the highest CO air-free of the readings, whichever reading it is.
    void what_is_judged()
    {
        std::vector<Report> reports = gas_readings({{3.0, 40.0}, {3.4, 380.0}, {2.9, 47.0}});
        const FigureValues averages = mean_figures(reports);
        const double printed =
            as_shown(FigureKind::efficiency, *averages[index_of(FigureKind::efficiency)]);
        // A mean that rounds up: judged unrounded, it would fail its printed value.
        QVERIFY(*averages[index_of(FigureKind::efficiency)] < printed);
        Limits limits;
        limits.min_efficiency = printed;
        Inspection inspection = inspect(reports, Fuel::natural_gas, limits, std::nullopt);
        QCOMPARE(int(inspection.checks[0].judgement), int(Judgement::pass));
        QCOMPARE_EXACT(*inspection.checks[0].measured, printed);
        limits.min_efficiency = printed + 0.01;
        inspection = inspect(reports, Fuel::natural_gas, limits, std::nullopt);
        QCOMPARE(int(inspection.checks[0].judgement), int(Judgement::fail));
        // The middle reading's: 380 ppm at 3.4 % O2.
        QCOMPARE_EXACT(*inspection.checks[1].measured, std::round(380.0 * 20.9 / 17.5));
        QVERIFY(co_past_limit(limits, 400.4) == false);
        QVERIFY(co_past_limit(limits, 400.5));
        limits.max_co = 100.0;
        QVERIFY(co_past_limit(limits, 100.6) && !co_past_limit(limits, 100.0));
    }

    // The room's CO and the draught, judged only where their limits are set, each
    // bound of the draught's range apart; a limit set and nothing measured is no pass.
    void room_co_and_draught_data()
    {
        QTest::addColumn<double>("max_ambient_co");
        QTest::addColumn<double>("min_draught");
        QTest::addColumn<double>("max_draught");
        QTest::addColumn<double>("ambient_co");
        QTest::addColumn<double>("draught");
        QTest::addColumn<QString>("checks");
        QTest::addColumn<QString>("verdict");
        const double n = no_value;
        QTest::newRow("no limits: judged as before") << n << n << n << 80.0 << -500.0 << ""
                                                     << "conforming";
        QTest::newRow("room CO within") << 50.0 << n << n << 50.0 << n << "ambient_co:pass"
                                        << "conforming";
        QTest::newRow("room CO past") << 50.0 << n << n << 51.0 << n << "ambient_co:fail"
                                      << "not conforming";
        QTest::newRow("room CO not measured")
            << 50.0 << n << n << n << n << "ambient_co:not-measured"
            << "incomplete";
        QTest::newRow("draught within") << n << -20.0 << -5.0 << n << -12.0 << "draught:pass"
                                        << "conforming";
        QTest::newRow("draught at its least") << n << -20.0 << -5.0 << n << -20.0 << "draught:pass"
                                              << "conforming";
        QTest::newRow("draught too weak") << n << -20.0 << -5.0 << n << -3.0 << "draught:fail"
                                          << "not conforming";
        QTest::newRow("draught too strong") << n << -20.0 << -5.0 << n << -25.0 << "draught:fail"
                                            << "not conforming";
        QTest::newRow("only a least, passed") << n << -20.0 << n << n << 100.0 << "draught:pass"
                                              << "conforming";
        QTest::newRow("only a greatest, failed") << n << n << -5.0 << n << 0.0 << "draught:fail"
                                                 << "not conforming";
        QTest::newRow("both set, neither measured")
            << 50.0 << -20.0 << -5.0 << n << n << "ambient_co:not-measured draught:not-measured"
            << "incomplete";
    }

    void room_co_and_draught()
    {
        QFETCH(double, max_ambient_co);
        QFETCH(double, min_draught);
        QFETCH(double, max_draught);
        QFETCH(double, ambient_co);
        QFETCH(double, draught);
        QFETCH(QString, checks);
        QFETCH(QString, verdict);
        Limits limits;
        limits.min_efficiency = 50.0;
        limits.max_ambient_co = given(max_ambient_co);
        limits.min_draught = given(min_draught);
        limits.max_draught = given(max_draught);
        const std::vector<Report> reports = gas_readings({{3.0, 40.0}});
        const Inspection inspection =
            inspect(reports, Fuel::natural_gas, limits,
                    Recorded{std::nullopt, given(ambient_co), given(draught)});
        QStringList said;
        for (const LimitCheck& check : inspection.checks) {
            if (check.kind == LimitKind::ambient_co || check.kind == LimitKind::draught)
                said << QString(check.kind == LimitKind::ambient_co ? "ambient_co" : "draught") +
                        ":" + judgement_word(check.judgement);
        }
        QCOMPARE(said.join(' '), checks);
        QCOMPARE(QString(verdict_word(inspection.verdict)), verdict);
    }
};

QTEST_APPLESS_MAIN(TestInspection)
#include "test_inspection.moc"
