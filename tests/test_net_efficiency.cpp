// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/net_efficiency.h"
#include "calculation/reading_advice.h"
#include "test_support.h"

#include <cmath>

using namespace quemador;

namespace {

constexpr double air_c = 20.0;

// The model's gross efficiency with the air at air_c, put on the lower heating value.
double gross_on_lhv(Fuel fuel, double o2, double flue_c)
{
    const Reading reading{fuel, o2, std::nullopt, celsius_to_fahrenheit(flue_c), {}};
    return corrected_gross(reading, celsius_to_fahrenheit(air_c)).efficiency *
        facts(fuel).hhv_over_lhv;
}

} // namespace

class TestNetEfficiency : public QObject {
    Q_OBJECT

private slots:
    void siegert_formula_data()
    {
        QTest::addColumn<int>("fuel");
        QTest::addColumn<double>("o2");
        QTest::addColumn<double>("flue");
        QTest::addColumn<double>("air");
        QTest::addColumn<double>("expected");

        const int gas = int(Fuel::natural_gas);
        const int oil = int(Fuel::fuel_oil_no2);
        // 100 − (t_gas − t_air) × (A2 / (21 − O2) + B), worked by hand.
        QTest::newRow("natural gas, O2 3, 180 °C, air 20 °C")
            << gas << 3.0 << 180.0 << 20.0 << 100 - 160 * (0.66 / 18 + 0.009);
        QTest::newRow("fuel oil, O2 3, 180 °C, air 20 °C")
            << oil << 3.0 << 180.0 << 20.0 << 100 - 160 * (0.68 / 18 + 0.007);
        QTest::newRow("natural gas, O2 0, 120 °C, air 15 °C")
            << gas << 0.0 << 120.0 << 15.0 << 100 - 105 * (0.66 / 21 + 0.009);
        QTest::newRow("flue gas at the air's temperature: no loss")
            << oil << 7.0 << 20.0 << 20.0 << 100.0;
    }

    void siegert_formula()
    {
        QFETCH(int, fuel);
        QFETCH(double, o2);
        QFETCH(double, flue);
        QFETCH(double, air);
        QFETCH(double, expected);
        QVERIFY(std::abs(net_efficiency(Fuel(fuel), o2, flue, air) - expected) < 1e-12);
    }

    // The one °C⇄°F conversion, both ways.
    void temperature_conversions_data()
    {
        QTest::addColumn<double>("celsius");
        QTest::addColumn<double>("fahrenheit");
        QTest::newRow("the scales meet") << -40.0 << -40.0;
        QTest::newRow("water boils") << 100.0 << 212.0;
        QTest::newRow("a flue gas") << 180.0 << 356.0;
        QTest::newRow("the model's air") << 15.5 + 1.0 / 18 << 60.0;
    }

    void temperature_conversions()
    {
        QFETCH(double, celsius);
        QFETCH(double, fahrenheit);
        QVERIFY(std::abs(celsius_to_fahrenheit(celsius) - fahrenheit) < 1e-12);
        QVERIFY(std::abs(fahrenheit_to_celsius(fahrenheit) - celsius) < 1e-12);
    }

    void oxygen_of_21_is_an_error()
    {
        const auto error =
            runtime_error_of([] { (void)net_efficiency(Fuel::natural_gas, 21.0, 180.0, 20.0); });
        QVERIFY(error.has_value());
        QCOMPARE(int(error->number()), int(ErrorNumber::division_by_zero));
    }

    void corrected_gross_runs_on_the_net_temperature()
    {
        // Air at 60 °F changes nothing; warmer air lowers the stack temperature the model sees.
        const Reading reading{Fuel::natural_gas, 3.0, 9.0, 300.0, {}};
        QCOMPARE_EXACT(corrected_gross(reading, combustion_air_temp).efficiency,
                       calculate(reading).efficiency);
        QCOMPARE_EXACT(corrected_gross(reading, 80.0).efficiency,
                       calculate({Fuel::natural_gas, 3.0, 9.0, 280.0, {}}).efficiency);
    }

    // Two independent models: the gross correlation put on the lower heating value, and
    // the analysers' Siegert formula. Over O2 2–9 % and flue gas 60–250 °C with the air
    // at 20 °C the first lies below the second, by at most 1.02 points for natural gas
    // and 1.37 for fuel oil (whose heating-value ratio, 1.06, is the rounder figure).
    void gross_on_lhv_agrees_with_net_data()
    {
        QTest::addColumn<int>("fuel");
        QTest::addColumn<double>("tolerance");
        QTest::newRow("natural gas") << int(Fuel::natural_gas) << 1.05;
        QTest::newRow("fuel oil") << int(Fuel::fuel_oil_no2) << 1.4;
    }

    void gross_on_lhv_agrees_with_net()
    {
        QFETCH(int, fuel);
        QFETCH(double, tolerance);
        double largest = 0.0;
        for (int tenths = 20; tenths <= 90; ++tenths) {
            const double o2 = tenths / 10.0;
            for (double flue = 60.0; flue <= 250.0; flue += 1.0) {
                const double difference = gross_on_lhv(Fuel(fuel), o2, flue) -
                    net_efficiency(Fuel(fuel), o2, flue, air_c);
                QVERIFY2(difference < 0.0 && -difference <= tolerance,
                         qPrintable(
                             QStringLiteral("O2 %1, %2 °C: %3").arg(o2).arg(flue).arg(difference)));
                largest = std::max(largest, -difference);
            }
        }
        QVERIFY(largest > tolerance - 0.1); // the band is as tight as the tolerance says
    }

    // CO × 20.9 / (20.9 − O2), worked by hand.
    void co_air_free_data()
    {
        QTest::addColumn<double>("co");
        QTest::addColumn<double>("o2");
        QTest::addColumn<double>("air_free");
        QTest::newRow("no oxygen: the CO as measured") << 100.0 << 0.0 << 100.0;
        QTest::newRow("half the air's oxygen: doubled") << 50.0 << 10.45 << 100.0;
        QTest::newRow("O2 3 %") << 100.0 << 3.0 << 100 * 20.9 / 17.9;
        QTest::newRow("no CO") << 0.0 << 5.0 << 0.0;
        QTest::newRow("the limit, reached at O2 3 %")
            << 400 * 17.9 / 20.9 << 3.0 << co_air_free_limit;
    }

    void co_air_free()
    {
        QFETCH(double, co);
        QFETCH(double, o2);
        QFETCH(double, air_free);
        QVERIFY(std::abs(::co_air_free(co, o2) - air_free) < 1e-9);
    }

    void co_air_free_at_the_air_oxygen_is_an_error()
    {
        const auto error = runtime_error_of([] { (void)::co_air_free(100.0, oxygen_in_air); });
        QVERIFY(error.has_value());
        QCOMPARE(int(error->number()), int(ErrorNumber::division_by_zero));
    }

    void fuel_saving_data()
    {
        QTest::addColumn<double>("now");
        QTest::addColumn<double>("target");
        QTest::addColumn<double>("saving");
        QTest::newRow("the DOE tip sheet's figures") << 78.2 << 83.1 << 5.8965102286401937;
        QTest::newRow("no change") << 80.0 << 80.0 << 0.0;
        QTest::newRow("a worse target costs fuel") << 84.0 << 80.0 << -5.0;
    }

    void fuel_saving()
    {
        QFETCH(double, now);
        QFETCH(double, target);
        QFETCH(double, saving);
        QVERIFY(std::abs(::fuel_saving(now, target) - saving) < 1e-12);
    }

    // The DOE tip sheet tunes a natural-gas boiler from 44.9 % excess air at a net stack
    // temperature of 400 °F to 9.5 % at 300 °F, and saves 5.9 % of the fuel. The model at
    // the matching oxygen readings (7 % and 2 %), net temperature + 60 °F, gives 5.3 %.
    void saving_reproduces_the_doe_example()
    {
        const double now = calculate({Fuel::natural_gas, 7.0, std::nullopt, 460.0, {}}).efficiency;
        const double target =
            calculate({Fuel::natural_gas, 2.0, std::nullopt, 360.0, {}}).efficiency;
        const double saving = ::fuel_saving(now, target);
        QVERIFY2(std::abs(saving - 5.9) < 1.0, qPrintable(QString::number(saving)));
    }
};

QTEST_APPLESS_MAIN(TestNetEfficiency)
#include "test_net_efficiency.moc"
