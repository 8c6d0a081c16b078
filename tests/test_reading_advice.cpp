// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/reading_advice.h"
#include "test_support.h"

#include <QStringList>

#include <cmath>
#include <limits>

using namespace quemador;

namespace {

constexpr double from_model = std::numeric_limits<double>::quiet_NaN();

// "subject|message" for each piece of advice, to compare as a list.
QStringList listed(const std::vector<Advice>& advice)
{
    static const QStringList subjects = {"O2", "CO2", "Temp_stack", "results"};
    QStringList out;
    for (const Advice& a : advice)
        out << subjects.at(a.subject ? int(*a.subject) : 3) + "|" + q(a.message);
    return out;
}

} // namespace

class TestReadingAdvice : public QObject {
    Q_OBJECT

private slots:
    void text_not_wholly_a_number_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message"); // empty: no advice

        const auto row = [](const char* name, Input box, const QString& text,
                            const QString& message) {
            QTest::newRow(name) << int(box) << text << message;
        };
        const auto O2 = Input::O2;
        const auto Temp = Input::Temp_stack;

        row("a number", O2, "3", "");
        row("blanks around", O2, " 3.5 ", "");
        row("blank inside a number", O2, "3 5",
            "«3 5» se lee como 35: los espacios dentro de un número no cuentan.");
        row("blanks inside and around", Temp, " 1 000 ",
            "« 1 000 » se lee como 1000: los espacios dentro de un número no cuentan.");
        row("too large: the error report covers it", O2, "1e999x", "");
        row("decimal comma", O2, "3,5",
            "«3,5» se lee como 3: la coma no separa decimales; escriba 3.5.");
        row("negative decimal comma", O2, "-0,5",
            "«-0,5» se lee como 0: la coma no separa decimales; escriba -0.5.");
        row("thousands comma", O2, "1,234.5", "«1,234.5» se lee como 1; se ignora «,234.5».");
        row("letters", O2, "abc", "«abc» no es un número: se lee como 0.");
        row("sign alone", O2, "-", "«-» no es un número: se lee como 0.");
        row("empty", O2, "", "Casilla vacía: se lee como 0.");
        row("digits then letters", O2, "12abc", "«12abc» se lee como 12; se ignora «abc».");
        row("comma after a decimal point", O2, "1.5,3", "«1.5,3» se lee como 1.5; se ignora «,3».");
        row("ordinal C", Temp, "150 ºC", "«150 ºC» se lee como 150 °F, pero 150 °C son 302 °F.");
        row("degree C", Temp, "-40 °C", "«-40 °C» se lee como -40 °F, pero -40 °C son -40 °F.");
        row("C after an oxygen reading", O2, "150 ºC", "«150 ºC» se lee como 150; se ignora «ºC».");
        row("long text cut on a character", O2, "3x" + QString(20, u'º'),
            "«3x" + QString(11, u'º') + "…» se lee como 3; se ignora «x" + QString(11, u'º') +
                "…».");
    }

    void text_not_wholly_a_number()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, message);

        const auto advice = text_advice(Input(box), text.toStdString());
        QCOMPARE(advice ? q(advice->message) : QString(), message);
        if (advice)
            QVERIFY(advice->subject == Input(box));
    }

    // The brief names what was read, for a list that already names the box.
    void brief_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("brief");

        QTest::newRow("decimal comma") << int(Input::O2) << "3,5"
                                       << "«3,5» se lee como 3";
        QTest::newRow("degrees C") << int(Input::Temp_stack) << "180 ºC"
                                   << "«180 ºC» se lee como 180 °F";
        QTest::newRow("empty") << int(Input::O2) << ""
                               << "vacía, se lee como 0";
    }

    void brief()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, brief);

        const auto advice = text_advice(Input(box), text.toStdString());
        QVERIFY(advice.has_value());
        QCOMPARE(q(advice->brief), brief);
    }

    void readings_and_results_data()
    {
        QTest::addColumn<int>("fuel");
        QTest::addColumn<double>("o2");
        QTest::addColumn<double>("co2");
        QTest::addColumn<double>("temp");
        QTest::addColumn<double>("excessAir");  // from_model: run the model
        QTest::addColumn<double>("efficiency"); // from_model: run the model
        QTest::addColumn<QStringList>("expected");

        const auto row = [](const char* name, Fuel fuel, double o2, double co2, double temp,
                            double excess_air, double efficiency, const QStringList& expected) {
            QTest::newRow(name) << int(fuel) << o2 << co2 << temp << excess_air << efficiency
                                << expected;
        };
        const auto gas = Fuel::natural_gas;
        const auto oil = Fuel::fuel_oil_no2;
        const double m = from_model;

        row("window as it starts", gas, 0, 10, 300, m, m, {});
        row("natural gas, O2 2, CO2 10.7, 250 °F", gas, 2, 10.7, 250, m, m, {});
        row("natural gas, O2 8, CO2 7.3, 600 °F", gas, 8, 7.3, 600, m, m, {});
        row("fuel oil, O2 3, CO2 13.2, 400 °F", oil, 3, 13.2, 400, m, m, {});

        row("O2 just below air's", gas, 20.89, 0, 300, 50, 50, {});
        row("O2 25 as the window computes it", gas, 25, 0, 300, m, m,
            {"O2|O2 de 25 %: los humos no pueden tener tanto oxígeno como el aire (20.9 %).",
             "results|Resultados fuera de lo que cubre la correlación (exceso de aire -510.81 %, "
             "eficiencia 84.97 %): revise las lecturas."});
        row("O2 negative", gas, -0.01, 10, 300, 0, 84.4,
            {"O2|O2 de -0.01 %: el oxígeno no puede ser negativo."});
        row("CO2 negative", gas, 0, -0.5, 300, 0, 84.4,
            {"CO2|CO2 de -0.5 %: el dióxido de carbono no puede ser negativo."});
        row("stack at combustion air temperature", gas, 0, 10, 60, 0, 90, {});
        row("stack below combustion air temperature", gas, 0, 10, 59.99, 0, 90,
            {"Temp_stack|Temperatura de 59.99 °F: está por debajo de los 60 °F del aire de "
             "combustión que supone el cálculo."});

        const QString out = "results|Resultados fuera de lo que cubre la correlación (exceso de "
                            "aire %1 %, eficiencia %2 %): revise las lecturas.";
        row("efficiency 100", gas, 0, 10, 300, 0, 100, {});
        row("efficiency above 100", gas, 0, 10, 300, 0, 100.01, {out.arg("0", "100.01")});
        row("efficiency 0", gas, 0, 10, 300, 0, 0, {});
        row("efficiency below 0", gas, 0, 10, 300, 0, -0.01, {out.arg("0", "-0.01")});
        row("excess air below 0", gas, 0, 10, 300, -0.01, 80, {out.arg("-0.01", "80")});
        row("O2 20.9 as the window computes it", gas, 20.9, 0, 300, m, m,
            {"O2|O2 de 20.9 %: los humos no pueden tener tanto oxígeno como el aire (20.9 %).",
             "results|Resultados fuera de lo que cubre la correlación (exceso de aire 16171.63 "
             "%, eficiencia por debajo de -1000000 %): revise las lecturas."});

        // Natural gas with O2 3 expects CO2 10.106.
        const QString orsat = "CO2|CO2 de %1 % no cuadra con O2 de 3 %: con %2 se esperaría %3 %. "
                              "¿Entra aire en la muestra o está elegido el otro combustible?";
        row("Orsat, CO2 1.4 below", gas, 3, 8.7, 300, m, m, {});
        row("Orsat, CO2 1.6 below", gas, 3, 8.5, 300, m, m,
            {orsat.arg("8.5", "gas natural", "10.1")});
        row("Orsat, CO2 1.6 above", gas, 3, 11.7, 300, m, m,
            {orsat.arg("11.7", "gas natural", "10.1")});
        // Fuel oil with O2 3.8 expects CO2 12.6: 1.5 points either way is still consistent.
        row("Orsat, CO2 exactly 1.5 above", oil, 3.8, 14.1, 300, m, m, {});
        row("Orsat, CO2 exactly 1.5 below", oil, 3.8, 11.1, 300, m, m, {});
        row("Orsat, CO2 1.51 above", oil, 3.8, 14.11, 300, m, m,
            {"CO2|CO2 de 14.11 % no cuadra con O2 de 3.8 %: con fuel oil nº 2 se esperaría 12.6 "
             "%. ¿Entra aire en la muestra o está elegido el otro combustible?"});
        row("Orsat, natural-gas reading with fuel oil", oil, 3, 10.1, 300, m, m,
            {orsat.arg("10.1", "fuel oil nº 2", "13.2")});
    }

    void readings_and_results()
    {
        QFETCH(int, fuel);
        QFETCH(double, o2);
        QFETCH(double, co2);
        QFETCH(double, temp);
        QFETCH(double, excessAir);
        QFETCH(double, efficiency);
        QFETCH(QStringList, expected);

        const Reading reading{Fuel(fuel), o2, co2, temp, {}};
        Results results{excessAir, efficiency};
        if (std::isnan(excessAir))
            results = calculate(reading);
        QCOMPARE(listed(reading_advice(reading, results)), expected);
    }
};

QTEST_APPLESS_MAIN(TestReadingAdvice)
#include "test_reading_advice.moc"
