// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/efficiency_model.h"
#include "calculation/number_text.h"
#include "test_support.h"

#include <array>
#include <cmath>

using namespace quemador;

namespace {

const Coeficientes_Combustible& coefficients(bool gas) { return gas ? natural_gas : fuel_oil_no2; }

WindowState run(bool gas, double o2, double temp)
{
    WindowState state;
    state.Valor_O2 = o2;
    state.Valor_Temp = temp;
    run_model(coefficients(gas), state);
    return state;
}

bool close_to(double actual, double expected, double relative)
{
    return std::abs(actual - expected) <= relative * std::abs(expected);
}

} // namespace

class TestEfficiencyModel : public QObject {
    Q_OBJECT

private slots:
    void displayed_results_data()
    {
        QTest::addColumn<bool>("gas");
        QTest::addColumn<double>("o2");
        QTest::addColumn<double>("temp");
        QTest::addColumn<QString>("excessAir");
        QTest::addColumn<QString>("efficiency");

        const auto row = [](const QByteArray& row_name, bool gas, double o2, double temp,
                            const QString& excessAir, const QString& efficiency) {
            QTest::newRow(row_name.constData()) << gas << o2 << temp << excessAir << efficiency;
        };

        row("natural gas, O2 0, 300 °F", true, 0.0, 300.0, " 0", " 84.4");
        row("natural gas, O2 3, 300 °F", true, 3.0, 300.0, " 15.66", " 83.94");
        row("natural gas, O2 2, 350 °F", true, 2.0, 350.0, " 9.95", " 82.97");
        row("natural gas, O2 10, 500 °F", true, 10.0, 500.0, " 81.8", " 74.23");
        row("natural gas, O2 3, 0 °F", true, 3.0, 0.0, " 15.66", " 91.08");
        row("natural gas, O2 3, 5000 °F", true, 3.0, 5000.0, " 15.66", "-27.85");
        row("natural gas, O2 -1, 300 °F", true, -1.0, 300.0, "-4.37", " 84.52");
        row("natural gas, O2 30, 300 °F", true, 30.0, 300.0, "-262.67", " 86.6");
        row("natural gas, O2 20, 300 °F", true, 20.0, 300.0, " 1673.69", "-133452.95");
        row("fuel oil, O2 0, 300 °F", false, 0.0, 300.0, " 0", " 88.02");
        row("fuel oil, O2 3, 300 °F", false, 3.0, 300.0, " 15.63", " 87.57");
        row("fuel oil, O2 5, 400 °F", false, 5.0, 400.0, " 29.44", " 84.53");
        row("fuel oil, O2 10, 500 °F", false, 10.0, 500.0, " 86.6", " 77.07");
        row("fuel oil, O2 -1, 300 °F", false, -1.0, 300.0, "-4.22", " 88.13");
    }

    void displayed_results()
    {
        QFETCH(bool, gas);
        QFETCH(double, o2);
        QFETCH(double, temp);
        QFETCH(QString, excessAir);
        QFETCH(QString, efficiency);

        const WindowState state = run(gas, o2, temp);
        QCOMPARE(q(Str(Redondeo_Centesimas(state.Exceso_Aire))), excessAir);
        QCOMPARE(q(Str(Redondeo_Centesimas(state.Valor_Eficiencia))), efficiency);
    }

    void intermediate_values_natural_gas()
    {
        const WindowState state = run(true, 3.0, 300.0);
        QVERIFY(close_to(state.Factor_Comb, 4.474874, 1e-12));
        QVERIFY(close_to(state.Exceso_Aire, 15.661015, 5e-8));
        QVERIFY(close_to(state.Pendiente, -42.041312, 5e-8));
        QVERIFY(close_to(state.Temp_Limite, 3829.0857, 5e-8));
        QVERIFY(close_to(state.Valor_Eficiencia, 83.943282, 5e-8));
    }

    void no_oxygen_depends_on_temperature_alone_data()
    {
        QTest::addColumn<bool>("gas");
        QTest::addColumn<double>("temp");
        QTest::addColumn<double>("limit");
        QTest::addColumn<double>("slope");

        const auto row = [](const QByteArray& row_name, bool gas, double temp, double limit,
                            double slope) {
            QTest::newRow(row_name.constData()) << gas << temp << limit << slope;
        };

        for (const double temp : {0.0, 300.0, 1200.0}) {
            const QByteArray t = QByteArray::number(temp);
            row("natural gas, " + t + " °F", true, temp, 4193.7255, 46.134944);
            row("fuel oil, " + t + " °F", false, temp, 4397.4408, 46.550034);
        }
    }

    void no_oxygen_depends_on_temperature_alone()
    {
        QFETCH(bool, gas);
        QFETCH(double, temp);
        QFETCH(double, limit);
        QFETCH(double, slope);

        const WindowState state = run(gas, 0.0, temp);
        QCOMPARE_EXACT(state.Exceso_Aire, 0.0);
        QVERIFY(close_to(state.Valor_Eficiencia, (limit - temp) / slope, 1e-7));
    }

    void state_keeps_its_values_between_runs()
    {
        WindowState state;
        state.Valor_O2 = 3.0;
        state.Valor_Temp = 300.0;
        state.Valor_CO2 = 12.5;
        run_model(natural_gas, state);
        const double first = state.Valor_Eficiencia;
        run_model(natural_gas, state);
        QCOMPARE_EXACT(state.Valor_Eficiencia, first);
        QCOMPARE_EXACT(state.Valor_CO2, 12.5);
    }

    // A failing step raises its error and leaves the earlier steps' variables set and
    // the later ones as they were.
    void errors_stop_at_their_step_data()
    {
        QTest::addColumn<bool>("gas");
        QTest::addColumn<double>("o2");
        QTest::addColumn<double>("temp");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("failingStep");

        const auto row = [](const QByteArray& row_name, bool gas, double o2, double temp,
                            int number, int failingStep) {
            QTest::newRow(row_name.constData()) << gas << o2 << temp << number << failingStep;
        };

        for (const bool gas : {true, false}) {
            const QByteArray fuel = gas ? "natural gas" : "fuel oil";
            row(fuel + ", O2 21: zero slope", gas, 21.0, 300.0, int(ErrorNumber::division_by_zero),
                5);
            row(fuel + ", O2 21.008403361344538: zero denominator", gas, 21.008403361344538, 300.0,
                int(ErrorNumber::division_by_zero), 2);
            row(fuel + ", O2 21.02: power overflows", gas, 21.02, 300.0, int(ErrorNumber::overflow),
                3);
            row(fuel + ", O2 1e200: numerator overflows", gas, 1e200, 300.0,
                int(ErrorNumber::overflow), 2);
        }
        row("natural gas, O2 20.9934, 1e20 °F: efficiency overflows", true, 20.9934, 1e20,
            int(ErrorNumber::overflow), 5);
    }

    void errors_stop_at_their_step()
    {
        QFETCH(bool, gas);
        QFETCH(double, o2);
        QFETCH(double, temp);
        QFETCH(int, number);
        QFETCH(int, failingStep);

        constexpr double untouched = 12345.0;
        WindowState state{o2, 0.0, temp, untouched, untouched, untouched, untouched, untouched};
        const auto error = runtime_error_of([&] { run_model(coefficients(gas), state); });
        QVERIFY(error.has_value());
        QCOMPARE(int(error->number()), number);
        QCOMPARE(int(error->source()), int(ErrorSource::arithmetic));

        // In the order the steps assign them.
        const std::array by_step = {state.Factor_Comb, state.Exceso_Aire, state.Pendiente,
                                    state.Temp_Limite, state.Valor_Eficiencia};
        for (int step = 1; step <= 5; ++step) {
            const bool assigned = by_step.at(step - 1) != untouched;
            QVERIFY2(assigned == (step < failingStep), qPrintable(QString("step %1").arg(step)));
        }
    }

    void rounding_to_hundredths_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");

        const auto row = [](const QByteArray& row_name, double value, const QString& shown) {
            QTest::newRow(row_name.constData()) << value << shown;
        };

        row("already round", 84.4, " 84.4");
        row("down", 83.943282, " 83.94");
        row("up", 15.661015, " 15.66");
        row("half up", 0.125, " 0.13");
        row("negative half up", -0.125, "-0.12");
        row("negative, nearest below", -4.37442, "-4.37");
        row("negative, nearest above", -27.8515, "-27.85");
        row("negative, rounds to zero", -0.005, " 0");
        row("negative, just past half", -0.0051, "-0.01");
        row("whole negative", -3.0, "-3");
        row("large", 123456789.126, " 123456789.13");
    }

    void rounding_to_hundredths()
    {
        QFETCH(double, value);
        QFETCH(QString, shown);
        QCOMPARE(q(Str(Redondeo_Centesimas(value))), shown);
    }

    void rounding_a_huge_value_overflows()
    {
        const auto error = runtime_error_of([] { (void)Redondeo_Centesimas(1e307); });
        QVERIFY(error.has_value());
        QCOMPARE(error->number(), ErrorNumber::overflow);
    }
};

QTEST_APPLESS_MAIN(TestEfficiencyModel)
#include "test_efficiency_model.moc"
