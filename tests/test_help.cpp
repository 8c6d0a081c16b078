// SPDX-License-Identifier: GPL-3.0-or-later
// The help page, as the window shows it: each worked example marked in it is run
// through the calculation, and every number marked in it must be what the calculation
// gives (resources/help/ayuda.html says how they are marked).
#include "calculation/calculate_command.h"
#include "calculation/net_efficiency.h"
#include "calculation/number_text.h"
#include "test_support.h"

#include <QFile>
#include <QRegularExpression>

#include <map>
#include <optional>

using namespace quemador;

namespace {

// The help page without its comments, which tell how its numbers are marked.
QString page()
{
    QFile file(QStringLiteral(":/help/ayuda.html"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the help page is not in the resources");
    static const QRegularExpression comment(QStringLiteral("<!--.*?-->"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return QString::fromUtf8(file.readAll()).remove(comment);
}

// An example's reading, from its options as quemador1-calc takes them.
struct Example {
    std::map<QString, QString> written; // o2, temp, aire: as the options write them
    Fuel fuel = Fuel::natural_gas;
    double o2 = 0.0;
    double temp = 0.0; // in the example's unit
    std::optional<double> air;
    bool celsius = false;

    [[nodiscard]] double stack_f() const { return celsius ? celsius_to_fahrenheit(temp) : temp; }
    [[nodiscard]] double stack_c() const { return celsius ? temp : fahrenheit_to_celsius(temp); }
    [[nodiscard]] double air_f() const
    {
        return !air ? combustion_air_temp : celsius ? celsius_to_fahrenheit(*air) : *air;
    }
    [[nodiscard]] double air_c() const
    {
        return air && celsius ? *air : fahrenheit_to_celsius(air_f());
    }
};

std::optional<Example> parse(const QString& options)
{
    static const std::map<QString, QString> named = {
        {"--o2", "o2"}, {"--temp", "temp"}, {"--aire", "aire"}};
    Example example;
    const QStringList words = options.split(' ', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words[i] == "--celsius") {
            example.celsius = true;
        } else if (words[i] == "--combustible" && i + 1 < words.size()) {
            const QString& fuel = words[++i];
            if (fuel != "gas" && fuel != "fueloil")
                return std::nullopt;
            example.fuel = fuel == "gas" ? Fuel::natural_gas : Fuel::fuel_oil_no2;
        } else if (named.contains(words[i]) && i + 1 < words.size()) {
            example.written[named.at(words[i])] = words[i + 1];
            ++i;
        } else {
            return std::nullopt;
        }
    }
    const auto number = [&example](const char* name) {
        return Val(example.written.at(name).toStdString());
    };
    example.o2 = number("o2");
    if (example.written.contains("temp"))
        example.temp = number("temp");
    if (example.written.contains("aire"))
        example.air = number("aire");
    return example;
}

QString hundredths(double x) { return q(std::string(without_sign_blank(shown_result(x)))); }
QString plain(double x) { return q(plain_number(x)); }

// A figure worked from an example's reading, with a fuel's constants; empty for a name
// the page should not use.
QString figure(const QString& name, const Example& e, Fuel fuel)
{
    const Reading reading{fuel, e.o2, std::nullopt, e.stack_f(), {}};
    if (name == "exceso")
        return hundredths(calculate(reading).excess_air);
    if (name == "bruta")
        return hundredths(calculate(reading).efficiency);
    if (name == "corregida")
        return hundredths(corrected_gross(reading, e.air_f()).efficiency);
    if (name == "neta")
        return hundredths(net_efficiency(fuel, e.o2, e.stack_c(), e.air_c()));
    if (name == "perdida")
        return hundredths(100.0 - net_efficiency(fuel, e.o2, e.stack_c(), e.air_c()));
    if (name == "humos_f")
        return plain(e.stack_f());
    if (name == "humos_por_9_5")
        return plain(e.temp * 9.0 / 5.0);
    if (name == "humos_menos_aire")
        return plain(e.stack_c() - e.air_c());
    if (name == "humos_corregidos_f")
        return plain(e.stack_f() - e.air_f() + combustion_air_temp);
    if (name == "o2_restante")
        return plain(21.0 - e.o2);
    if (name == "a2")
        return plain(facts(fuel).siegert_a2);
    if (name == "b")
        return plain(facts(fuel).siegert_b);
    return {};
}

const QRegularExpression example_pattern(R"re(<(\w+) data-ejemplo="([^"]*)">(.*?)</\1>)re",
                                         QRegularExpression::DotMatchesEverythingOption);
const QRegularExpression mark_pattern(
    R"re(<span data-(cifra|dato)="([^"]*)"(?: data-combustible="([^"]*)")?>([^<]*)</span>)re");
const QRegularExpression command_pattern(R"re(<code>quemador1-calc ([^<]*)</code>)re");
const QRegularExpression val_pattern(R"re(<span data-val="([^"]*)">([^<]*)</span>)re");

qsizetype count(const QRegularExpression& pattern, const QString& text)
{
    qsizetype n = 0;
    for (auto it = pattern.globalMatch(text); it.hasNext(); it.next())
        ++n;
    return n;
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

    const QString help = page();

private slots:
    void worked_example_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("text");
        int examples = 0;
        for (auto it = example_pattern.globalMatch(help); it.hasNext();) {
            const auto match = it.next();
            QTest::addRow("%s", qPrintable(match.captured(2)))
                << match.captured(2) << match.captured(3);
            ++examples;
        }
        // The gross and net efficiencies with the air, °C to °F, and the excess air alone.
        QVERIFY2(examples >= 3, "the help's worked examples are not marked");
    }

    void worked_example()
    {
        QFETCH(QString, options);
        QFETCH(QString, text);
        const auto example = parse(options);
        QVERIFY2(example, "options that are not a reading");

        int figures = 0;
        for (auto it = mark_pattern.globalMatch(text); it.hasNext();) {
            const auto mark = it.next();
            const QString name = mark.captured(2);
            const QString shown = mark.captured(4);
            if (mark.captured(1) == "dato") {
                QVERIFY2(example->written.contains(name), qPrintable(name));
                QCOMPARE(shown, example->written.at(name));
                continue;
            }
            const QString other_fuel = mark.captured(3);
            QVERIFY(other_fuel.isEmpty() || other_fuel == "fueloil");
            const Fuel fuel = other_fuel.isEmpty() ? example->fuel : Fuel::fuel_oil_no2;
            const QString worked = figure(name, *example, fuel);
            QVERIFY2(!worked.isEmpty(), qPrintable("no figure named " + name));
            QVERIFY2(shown == worked,
                     qPrintable(QStringLiteral("%1: the help says %2, the calculation gives %3")
                                    .arg(name, shown, worked)));
            ++figures;
        }
        QVERIFY(figures > 0);

        // A figure left unmarked would go unchecked: besides the marked numbers and the
        // command, an example holds none with decimals or of three digits but the 100
        // of a percentage.
        static const QRegularExpression figure_like(R"re(\b(\d+\.\d+|\d{3,})\b)re");
        static const QRegularExpression tag("<[^>]*>");
        QString rest = text;
        rest.remove(mark_pattern).remove(command_pattern).remove(tag);
        for (auto it = figure_like.globalMatch(rest); it.hasNext();) {
            const QString number = it.next().captured(1);
            QVERIFY2(number == "100", qPrintable("an unmarked figure: " + number));
        }

        // A command the example names is the example's reading.
        for (auto it = command_pattern.globalMatch(text); it.hasNext();)
            QCOMPARE(it.next().captured(1), options);
    }

    // No marked number lies outside an example, or is marked in a way the test misses.
    void every_mark_is_checked()
    {
        qsizetype in_examples = 0;
        for (auto it = example_pattern.globalMatch(help); it.hasNext();)
            in_examples += count(mark_pattern, it.next().captured(3));
        QCOMPARE(in_examples, help.count("data-cifra=") + help.count("data-dato="));
        QCOMPARE(count(val_pattern, help), help.count("data-val="));
    }

    void number_read_from_a_text_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("read");
        for (auto it = val_pattern.globalMatch(help); it.hasNext();) {
            const auto match = it.next();
            QTest::addRow("«%s»", qPrintable(match.captured(1)))
                << match.captured(1) << match.captured(2);
        }
        QVERIFY2(count(val_pattern, help) > 0, "the help's readings of texts are not marked");
    }

    void number_read_from_a_text()
    {
        QFETCH(QString, typed);
        QFETCH(QString, read);
        QCOMPARE(plain(Val(typed.toStdString())), read);
    }
};

QTEST_GUILESS_MAIN(TestHelp)
#include "test_help.moc"
