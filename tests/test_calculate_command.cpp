// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/calculate_command.h"
#include "calculation/number_text.h"
#include "fake_window.h"
#include "test_support.h"

#include <QStringList>

#include <cmath>
#include <random>
#include <vector>

using namespace quemador;
using ResultBox = CalculatorWindow::ResultBox;

namespace {

QString excess_air(FakeWindow& w) { return q(w.box(ResultBox::Relacion_AF)); }
QString efficiency(FakeWindow& w) { return q(w.box(ResultBox::Eficiencia)); }

} // namespace

class TestCalculateCommand : public QObject {
    Q_OBJECT

private slots:
    void click_shows_results_data()
    {
        QTest::addColumn<bool>("gas");
        QTest::addColumn<QString>("o2");
        QTest::addColumn<QString>("temp");
        QTest::addColumn<QString>("excessAir");
        QTest::addColumn<QString>("efficiency");

        const auto row = [](const QByteArray& row_name, bool gas, const QString& o2,
                            const QString& temp, const QString& excessAir,
                            const QString& efficiency) {
            QTest::newRow(row_name.constData()) << gas << o2 << temp << excessAir << efficiency;
        };

        row("window as it starts", true, "0", "300", " 0", " 84.4");
        row("fuel oil", false, "0", "300", " 0", " 88.02");
        row("letters in the oxygen box", true, "abc", "300", " 0", " 84.4");
        row("empty oxygen box", true, "", "300", " 0", " 84.4");
        row("decimal comma", true, "3,7", "300", " 15.66", " 83.94");
        row("blanks in the temperature", true, " 3", "3 00", " 15.66", " 83.94");
        row("negative efficiency", true, "3", "5000", " 15.66", "-27.85");
        row("negative excess air", false, "-1", "300", "-4.22", " 88.13");
        row("hundredths from 79.30497", true, "3", "495", " 15.66", " 79.3");
    }

    void click_shows_results()
    {
        QFETCH(bool, gas);
        QFETCH(QString, o2);
        QFETCH(QString, temp);
        QFETCH(QString, excessAir);
        QFETCH(QString, efficiency);

        FakeWindow window;
        window.choose_gas(gas);
        window.box(Input::O2) = o2.toStdString();
        window.box(Input::Temp_stack) = temp.toStdString();

        Calcular_Click(window);
        QCOMPARE(excess_air(window), excessAir);
        QCOMPARE(::efficiency(window), efficiency);

        Calcular_Click(window);
        QCOMPARE(excess_air(window), excessAir);
        QCOMPARE(::efficiency(window), efficiency);

        // The same reading without a window shows the same texts.
        const Results results = calculate({gas ? Fuel::natural_gas : Fuel::fuel_oil_no2,
                                           Val(o2.toStdString()),
                                           std::nullopt,
                                           Val(temp.toStdString()),
                                           {}});
        QCOMPARE(q(shown_result(results.excess_air)), excessAir);
        QCOMPARE(q(shown_result(results.efficiency)), efficiency);
    }

    // shown_result writes straight from the number of hundredths what Str writes of
    // Redondeo_Centesimas: the same text for every value, at the edges of its fast path
    // and over many magnitudes.
    void shown_result_is_str_of_the_rounding()
    {
        std::vector<double> values = {0.0,      -0.0,    0.004999,     0.005,
                                      -0.005,   -0.0051, -4.37442,     83.943282,
                                      79.30497, -27.845, 1e12 - 0.005, 999999999999.995,
                                      1e12,     -1e12,   1.7e306,      -3.03754258900402e42};
        std::mt19937_64 random(7);
        std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
        std::uniform_int_distribution<int> exponent(-4, 15);
        for (int i = 0; i < 100000; ++i)
            values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
        for (const double x : values)
            QCOMPARE(q(shown_result(x)), q(Str(Redondeo_Centesimas(x))));
    }

    void each_control_is_consulted_once_in_order()
    {
        FakeWindow window;
        Calcular_Click(window);
        const std::vector<std::string> expected = {"get O2",
                                                   "get CO2",
                                                   "get Temp_stack",
                                                   "is_on Opcion_Gas_Natural",
                                                   "is_on Opcion_Fuel_Oil",
                                                   "set Relacion_AF",
                                                   "set Eficiencia"};
        QCOMPARE(window.log, expected);
    }

    void carbon_dioxide_never_changes_a_result()
    {
        for (const bool gas : {true, false}) {
            FakeWindow window;
            window.choose_gas(gas);
            window.box(Input::O2) = "4.2";
            Calcular_Click(window);
            const QString air = excess_air(window);
            const QString eff = efficiency(window);
            for (const char* co2 : {"0", "99.9", "-5", "abc", "1e300", ""}) {
                window.box(Input::CO2) = co2;
                Calcular_Click(window);
                QCOMPARE(excess_air(window), air);
                QCOMPARE(efficiency(window), eff);
                QCOMPARE_EXACT(window.state().Valor_CO2, Val(co2));
            }
        }
    }

    // Through the window exactly one option is on; the command asks each in turn.
    void options_are_two_separate_tests()
    {
        FakeWindow window;
        window.gas_on = false;
        window.oil_on = false;
        Calcular_Click(window);
        QCOMPARE(excess_air(window), " 0");
        QCOMPARE(efficiency(window), " 0");

        window.choose_gas(true);
        window.box(Input::O2) = "3";
        Calcular_Click(window);
        window.gas_on = false;
        window.box(Input::O2) = "10";
        Calcular_Click(window);
        QCOMPARE(excess_air(window), " 15.66"); // previous results shown again
        QCOMPARE(efficiency(window), " 83.94");

        window.gas_on = true;
        window.oil_on = true;
        window.box(Input::O2) = "0";
        Calcular_Click(window);
        QCOMPARE(efficiency(window), " 88.02"); // fuel oil runs last
    }

    // What a click returns for its advice: the texts as the boxes held them, and the
    // fuel whose coefficients gave the results on show.
    void click_returns_what_it_read_data()
    {
        QTest::addColumn<bool>("gas_on");
        QTest::addColumn<bool>("oil_on");
        QTest::addColumn<int>("fuel");

        const int gas = int(Fuel::natural_gas);
        const int oil = int(Fuel::fuel_oil_no2);
        QTest::newRow("natural gas on") << true << false << gas;
        QTest::newRow("fuel oil on") << false << true << oil;
        QTest::newRow("both on: fuel oil runs last") << true << true << oil;
        QTest::newRow("neither on: natural gas") << false << false << gas;
    }

    void click_returns_what_it_read()
    {
        QFETCH(bool, gas_on);
        QFETCH(bool, oil_on);
        QFETCH(int, fuel);

        FakeWindow window;
        window.gas_on = gas_on;
        window.oil_on = oil_on;
        window.box(Input::O2) = " 3,5";
        window.box(Input::CO2) = "";
        window.box(Input::Temp_stack) = "180 ºC";
        const ClickReadings read = Calcular_Click(window);
        QCOMPARE(int(read.fuel), fuel);
        const auto text = [&read](Input box) { return q(std::string(read.text(box))); };
        QCOMPARE(text(Input::O2), " 3,5");
        QCOMPARE(text(Input::CO2), "");
        QCOMPARE(text(Input::Temp_stack), "180 ºC");
        QCOMPARE(window.log.size(), std::size_t{7}); // each control consulted once, as ever
    }

    void errors_empty_both_results_data()
    {
        QTest::addColumn<Input>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("gas");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("source");

        const auto row = [](const QByteArray& row_name, Input box, const QString& text, bool gas,
                            int number, int source) {
            QTest::newRow(row_name.constData()) << box << text << gas << number << source;
        };

        const int conversion = int(ErrorSource::conversion);
        const int arithmetic = int(ErrorSource::arithmetic);
        const int division = int(ErrorNumber::division_by_zero);
        const int overflow = int(ErrorNumber::overflow);
        row("O2 21, natural gas", Input::O2, "21", true, division, arithmetic);
        row("O2 21, fuel oil", Input::O2, "21", false, division, arithmetic);
        row("O2 21.008403361344538", Input::O2, "21.008403361344538", true, division, arithmetic);
        row("O2 21.02", Input::O2, "21.02", false, overflow, arithmetic);
        row("1e999 in O2", Input::O2, "1e999", true, overflow, conversion);
        row("1e999 in CO2", Input::CO2, "1e999", true, overflow, conversion);
        row("1e999 in Temp_stack", Input::Temp_stack, "1e999", false, overflow, conversion);
    }

    void errors_empty_both_results()
    {
        QFETCH(Input, box);
        QFETCH(QString, text);
        QFETCH(bool, gas);
        QFETCH(int, number);
        QFETCH(int, source);

        FakeWindow window;
        window.choose_gas(gas);
        Calcular_Click(window); // earlier results that must not stay on show
        window.box(box) = text.toStdString();
        const auto inputs = std::vector{window.box(Input::O2), window.box(Input::CO2),
                                        window.box(Input::Temp_stack)};

        const auto error = runtime_error_of([&] { Calcular_Click(window); });
        QVERIFY(error.has_value());
        QCOMPARE(int(error->number()), number);
        QCOMPARE(int(error->source()), source);
        QVERIFY(error->input() == box);
        QCOMPARE(excess_air(window), "");
        QCOMPARE(efficiency(window), "");
        QCOMPARE((std::vector{window.box(Input::O2), window.box(Input::CO2),
                              window.box(Input::Temp_stack)}),
                 inputs);

        window.box(box) = "3";
        Calcular_Click(window);
        QVERIFY(!efficiency(window).isEmpty());
    }

    // A model error blames the stack temperature only when an ordinary one would not fail.
    void model_errors_name_their_reading_data()
    {
        QTest::addColumn<QString>("o2");
        QTest::addColumn<QString>("temp");
        QTest::addColumn<int>("input");

        QTest::newRow("O2 21") << "21"
                               << "300" << int(Input::O2);
        QTest::newRow("O2 21, 1e300 °F") << "21"
                                         << "1e300" << int(Input::O2);
        QTest::newRow("O2 20.9, 1e300 °F") << "20.9"
                                           << "1e300" << int(Input::Temp_stack);
        QTest::newRow("O2 20.9934, 1e20 °F") << "20.9934"
                                             << "1e20" << int(Input::Temp_stack);
    }

    void model_errors_name_their_reading()
    {
        QFETCH(QString, o2);
        QFETCH(QString, temp);
        QFETCH(int, input);

        FakeWindow window;
        window.box(Input::O2) = o2.toStdString();
        window.box(Input::Temp_stack) = temp.toStdString();
        const auto error = runtime_error_of([&] { Calcular_Click(window); });
        QVERIFY(error.has_value());
        QCOMPARE(int(error->source()), int(ErrorSource::arithmetic));
        QVERIFY(error->input() == Input(input));

        // One reading without a window blames the same input.
        const auto reading_error = runtime_error_of([&] {
            calculate({Fuel::natural_gas,
                       Val(o2.toStdString()),
                       std::nullopt,
                       Val(temp.toStdString()),
                       {}});
        });
        QVERIFY(reading_error.has_value());
        QVERIFY(reading_error->input() == Input(input));
    }
};

QTEST_APPLESS_MAIN(TestCalculateCommand)
#include "test_calculate_command.moc"
