// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/report.h"
#include "test_support.h"

#include <QStringList>

#include <cmath>
#include <set>

using namespace quemador;

namespace {

constexpr double no_value = std::numeric_limits<double>::quiet_NaN();

std::optional<double> given(double x) { return std::isnan(x) ? std::nullopt : std::optional(x); }

// The ids of the figures a report gives, in order.
QString given_ids(const Report& report)
{
    QStringList ids;
    for (const FigureFacts& figure : figure_kinds()) {
        if (report.value(figure.kind))
            ids << q(std::string(figure.id));
    }
    return ids.join(' ');
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT

private slots:
    // Each figure is given where what it needs is there, and only where it means
    // something; the advice says why one is missing.
    void figures_by_need_data()
    {
        QTest::addColumn<int>("fuel");
        QTest::addColumn<double>("o2");
        QTest::addColumn<double>("temp_f");
        QTest::addColumn<double>("co");
        QTest::addColumn<double>("air_f");
        QTest::addColumn<double>("target_o2");
        QTest::addColumn<double>("target_temp_f");
        QTest::addColumn<QString>("ids");
        QTest::addColumn<bool>("outside");
        QTest::addColumn<QString>("advice"); // a part of the last piece of advice

        const int gas = int(Fuel::natural_gas);
        const int oil = int(Fuel::fuel_oil_no2);
        const QString plain = "exceso_aire eficiencia lambda eficiencia_neta perdidas_humos";
        QTest::newRow("natural gas, the reading alone")
            << gas << 3.0 << 300.0 << no_value << no_value << no_value << no_value << plain << false
            << "";
        QTest::newRow("fuel oil, with the air's temperature")
            << oil << 4.0 << 392.0 << no_value << 68.0 << no_value << no_value
            << plain + " eficiencia_corregida" << false << "";
        QTest::newRow("with a target")
            << gas << 3.0 << 356.0 << no_value << no_value << 2.0 << no_value
            << plain + " eficiencia_objetivo ahorro_combustible" << false << "";
        QTest::newRow("with a CO reading") << gas << 3.0 << 300.0 << 50.0 << no_value << no_value
                                           << no_value << plain + " co_sin_aire" << false << "";
        QTest::newRow("flue gas below 60 °F: the window's two, and the oxygen's")
            << gas << 3.0 << 40.0 << 50.0 << no_value << 2.0 << no_value
            << "exceso_aire eficiencia lambda co_sin_aire" << true << "por debajo de los 60 °F";
        QTest::newRow("negative oxygen: no air ratio")
            << oil << -1.0 << 350.0 << no_value << no_value << no_value << no_value
            << "exceso_aire eficiencia" << true << "";
        QTest::newRow("air hotter than the flue gas")
            << gas << 3.0 << 122.0 << no_value << 140.0 << no_value << no_value
            << "exceso_aire eficiencia lambda" << false << "sin eficiencia neta ni corregida";
        QTest::newRow("an air too cold to calculate with")
            << gas << 3.0 << 300.0 << no_value << -1e308 << no_value << no_value
            << "exceso_aire eficiencia lambda" << false
            << "No se puede calcular la eficiencia neta ni la corregida: Desbordamiento";
        QTest::newRow("a target's flue gas colder than the air")
            << gas << 3.0 << 356.0 << no_value << 68.0 << 2.0 << 50.0
            << plain + " eficiencia_corregida" << false << "más fríos que el aire";
        QTest::newRow("oxygen of 21 %: no result at all")
            << gas << 21.0 << 300.0 << 50.0 << no_value << 2.0 << no_value << "" << false << "";
    }

    void figures_by_need()
    {
        QFETCH(int, fuel);
        QFETCH(double, o2);
        QFETCH(double, temp_f);
        QFETCH(double, co);
        QFETCH(double, air_f);
        QFETCH(double, target_o2);
        QFETCH(double, target_temp_f);
        QFETCH(QString, ids);
        QFETCH(bool, outside);
        QFETCH(QString, advice);

        const Comparison comparison{given(air_f), given(target_o2), given(target_temp_f)};
        Report report;
        evaluate({Fuel(fuel), o2, std::nullopt, temp_f, given(co)}, report, {}, comparison);
        QCOMPARE(given_ids(report), ids);
        QCOMPARE(report.outside_model, outside);
        // Every figure given has its text; the window's two mean nothing outside the model.
        for (const FigureFacts& figure : figure_kinds()) {
            QCOMPARE(report.text(figure.kind).empty(), !report.value(figure.kind).has_value());
            QCOMPARE(report.meaningful(figure.kind),
                     report.value(figure.kind) && !(outside && figure.model_result));
        }
        if (!advice.isEmpty())
            QVERIFY2(!report.advice.empty() && q(report.advice.back()).contains(advice),
                     qPrintable(q(report.advice.empty() ? "" : report.advice.back())));
        // A report reused for another reading keeps nothing of this one.
        evaluate({Fuel::natural_gas, 3.0, std::nullopt, 300.0, {}}, report);
        QCOMPARE(given_ids(report),
                 QString("exceso_aire eficiencia lambda eficiencia_neta "
                         "perdidas_humos"));
    }

    // Only the figures asked for are written out; the others keep their values where
    // another figure rests on them.
    void texts_of_the_figures_asked()
    {
        Report report;
        FigureSet asked;
        asked.set(index_of(FigureKind::flue_loss));
        evaluate({Fuel::natural_gas, 3.0, std::nullopt, 300.0, {}}, report, {}, {}, asked);
        QCOMPARE(report.text(FigureKind::flue_loss), std::string(" 6.09"));
        QVERIFY(report.text(FigureKind::net).empty() && report.value(FigureKind::net));
        // The air ratio rests on nothing else: not asked for, not given.
        QVERIFY(!report.value(FigureKind::lambda));
        // The window's two always: their rounding decides whether the reading is shown.
        QCOMPARE(report.text(FigureKind::efficiency), std::string(" 83.94"));
    }

    // λ = 20.9 / (20.9 − O2), and qA = (t_flue − t_air) × (A2 / (21 − O2) + B) by the
    // Siegert constants of each fuel, worked apart from the program's tables.
    void air_ratio_and_flue_loss_data()
    {
        QTest::addColumn<int>("fuel");
        QTest::addColumn<double>("o2");
        QTest::addColumn<double>("flue_c");
        QTest::addColumn<double>("air_c");
        QTest::addColumn<double>("a2");
        QTest::addColumn<double>("b");
        QTest::addColumn<QString>("lambda");
        QTest::addColumn<QString>("loss");

        const int gas = int(Fuel::natural_gas);
        const int oil = int(Fuel::fuel_oil_no2);
        QTest::newRow("natural gas, O2 3, 180 °C, air 20 °C")
            << gas << 3.0 << 180.0 << 20.0 << 0.66 << 0.009 << " 1.17"
            << " 7.31";
        QTest::newRow("natural gas, no oxygen: λ 1")
            << gas << 0.0 << 120.0 << 15.0 << 0.66 << 0.009 << " 1"
            << " 4.25";
        QTest::newRow("fuel oil, O2 4.5, 210 °C, air 25 °C")
            << oil << 4.5 << 210.0 << 25.0 << 0.68 << 0.007 << " 1.27"
            << " 8.92";
        QTest::newRow("fuel oil, O2 10, 250 °C, air 15 °C")
            << oil << 10.0 << 250.0 << 15.0 << 0.68 << 0.007 << " 1.92"
            << " 16.17";
    }

    void air_ratio_and_flue_loss()
    {
        QFETCH(int, fuel);
        QFETCH(double, o2);
        QFETCH(double, flue_c);
        QFETCH(double, air_c);
        QFETCH(double, a2);
        QFETCH(double, b);
        QFETCH(QString, lambda);
        QFETCH(QString, loss);

        Report report;
        evaluate({Fuel(fuel), o2, std::nullopt, celsius_to_fahrenheit(flue_c), {}}, report, {},
                 {celsius_to_fahrenheit(air_c), std::nullopt, std::nullopt});
        QVERIFY(std::abs(*report.value(FigureKind::lambda) - 20.9 / (20.9 - o2)) < 1e-12);
        const double by_hand = (flue_c - air_c) * (a2 / (21.0 - o2) + b);
        QVERIFY2(std::abs(*report.value(FigureKind::flue_loss) - by_hand) < 1e-9,
                 qPrintable(QString::number(*report.value(FigureKind::flue_loss), 'g', 17)));
        QCOMPARE(q(report.text(FigureKind::lambda)), lambda);
        QCOMPARE(q(report.text(FigureKind::flue_loss)), loss);
    }

    // Each basis in a style: the page's decimal comma and °C, the command line's point.
    void bases_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("comma");
        QTest::addColumn<QString>("basis");

        const auto row = [](const char* name, FigureKind kind, bool comma, const char* basis) {
            QTest::newRow(name) << int(kind) << comma << QString::fromUtf8(basis);
        };
        row("air ratio, point", FigureKind::lambda, false, "20.9 / (20.9 − O2)");
        row("air ratio, comma", FigureKind::lambda, true, "20,9 / (20,9 − O2)");
        row("flue-gas loss", FigureKind::flue_loss, true,
            "sobre el PCI, 100 − eficiencia neta, aire a 20,5 °C");
        row("target", FigureKind::target, true, "sobre el PCS, O2 2,5 %, humos a 150 °C");
        row("CO", FigureKind::co_air_free, true, "CO × 20,9 / (20,9 − O2), en humos sin aire");
        row("the window's", FigureKind::efficiency, true, "");
    }

    void bases()
    {
        QFETCH(int, kind);
        QFETCH(bool, comma);
        QFETCH(QString, basis);
        AdviceStyle style;
        style.decimal_comma = comma;
        style.celsius = true;
        const Comparison comparison{celsius_to_fahrenheit(20.5), 2.5, celsius_to_fahrenheit(150)};
        QCOMPARE(q(basis_text(FigureKind(kind), comparison, style)), basis);
    }

    // Every figure has its own id on each face, and is found by its log's id.
    void ids_are_unique()
    {
        std::set<std::string_view> ids;
        std::set<std::string_view> page_ids;
        for (const FigureFacts& figure : figure_kinds()) {
            QVERIFY(ids.insert(figure.id).second);
            QVERIFY(page_ids.insert(figure.page_id).second);
            QCOMPARE(figure_named(figure.id), std::optional(figure.kind));
            QCOMPARE(&figure_facts(figure.kind), &figure);
        }
        QCOMPARE(figure_named("ahorro"), std::nullopt); // a page's id, not a log's
    }
};

QTEST_APPLESS_MAIN(TestReport)
#include "test_report.moc"
