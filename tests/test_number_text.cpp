#include "calculation/number_text.h"
#include "test_support.h"

#include <cfloat>
#include <clocale>
#include <string>

using namespace quemador;

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void reading_numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");

        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("letters only") << "abc" << 0.0;
        QTest::newRow("digits then letters") << "12abc" << 12.0;
        QTest::newRow("decimal comma ends the number") << "3,5" << 3.0;
        QTest::newRow("blank between digits") << "3 5" << 35.0;
        QTest::newRow("leading blank, tab and line feed") << " \t\n42" << 42.0;
        QTest::newRow("blanks around the period") << "1 . 5" << 1.5;
        QTest::newRow("negative") << "-4.5" << -4.5;
        QTest::newRow("blank after the minus") << " - 7" << -7.0;
        QTest::newRow("plus sign") << "+2" << 2.0;
        QTest::newRow("fraction without integer part") << ".5" << 0.5;
        QTest::newRow("negative fraction") << "-.25" << -0.25;
        QTest::newRow("second period ends the number") << "1.2.3" << 1.2;
        QTest::newRow("two signs") << "--5" << 0.0;
        QTest::newRow("lone minus") << "-" << 0.0;
        QTest::newRow("lone period") << "." << 0.0;
        QTest::newRow("exponent") << "1.5E3" << 1500.0;
        QTest::newRow("lower-case negative exponent") << "2e-2" << 0.02;
        QTest::newRow("exponent with blanks") << "1 E 3" << 1000.0;
        QTest::newRow("bare exponent mark") << "1E" << 1.0;
        QTest::newRow("exponent sign without digits") << "1E+" << 1.0;
        QTest::newRow("exponent without mantissa") << "E5" << 0.0;
        QTest::newRow("hexadecimal prefix") << "&H10" << 0.0;
        QTest::newRow("octal prefix") << "&O7" << 0.0;
        QTest::newRow("leading zeros") << "000000000000000000000012.5" << 12.5;
        QTest::newRow("small fraction") << "0.00000000000000000000000000001" << 1e-29;
        QTest::newRow("subnormal") << "4.9e-324" << 4.9e-324;
        QTest::newRow("below the smallest double") << "2e-324" << 0.0;
        QTest::newRow("far below the smallest double") << "1e-400" << 0.0;
        QTest::newRow("enormous negative exponent") << "1e-99999999999999999999" << 0.0;
        QTest::newRow("largest double") << "1.7976931348623157e308" << DBL_MAX;
        QTest::newRow("many digits, large exponent") << "0.000123e312" << 1.23e308;
        QTest::newRow("non-ASCII character ends the number") << "21ºC" << 21.0;
        QTest::newRow("shown result") << " 84.4" << 84.4;
        QTest::newRow("shown negative result") << "-133452.95" << -133452.95;
    }

    void reading_numbers()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE_EXACT(Val(text.toStdString()), value);
    }

    void reading_too_large_a_number_overflows_data()
    {
        QTest::addColumn<QString>("text");

        QTest::newRow("1e999") << "1e999";
        QTest::newRow("just above the largest double") << "1.8e308";
        QTest::newRow("negative") << "-1e999";
        QTest::newRow("with blanks") << " 9 9 e 9 9 9";
        QTest::newRow("four hundred digits") << "1" + QString(400, '0');
        QTest::newRow("enormous exponent") << "1e99999999999999999999";
    }

    void reading_too_large_a_number_overflows()
    {
        QFETCH(QString, text);
        const auto error = runtime_error_of([&] { (void)Val(text.toStdString()); });
        QVERIFY(error.has_value());
        QCOMPARE(error->number(), ErrorNumber::overflow);
        QCOMPARE(error->source(), ErrorSource::conversion);
        QCOMPARE(QString(error->what()), "Desbordamiento");
    }

    void writing_numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");

        QTest::newRow("zero") << 0.0 << " 0";
        QTest::newRow("negative zero") << -0.0 << " 0";
        QTest::newRow("one decimal") << 84.4 << " 84.4";
        QTest::newRow("negative") << -4.37 << "-4.37";
        QTest::newRow("whole number") << 100.0 << " 100";
        QTest::newRow("below one") << 0.46 << " 0.46";
        QTest::newRow("above minus one") << -0.46 << "-0.46";
        QTest::newRow("large result") << -133452.95 << "-133452.95";
        QTest::newRow("fifteen digits") << 123456789012345.0 << " 123456789012345";
        QTest::newRow("sixteen digits") << 1e15 << " 1E+15";
        QTest::newRow("1E+20") << 1e20 << " 1E+20";
        QTest::newRow("1E-05") << 0.00001 << " 1E-05";
        QTest::newRow("0.0001") << 0.0001 << " 0.0001";
        QTest::newRow("a third") << 1.0 / 3.0 << " 0.333333333333333";
        QTest::newRow("largest double") << DBL_MAX << " 1.79769313486232E+308";
    }

    void writing_numbers()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(q(Str(value)), text);
    }

    // Every value the window can show, rounded to hundredths, reads back as itself.
    void shown_values_read_back_unchanged()
    {
        for (long long n = -2'000'000; n <= 2'000'000; n += 7) {
            const double shown = double(n) / 100.0;
            if (Val(Str(shown)) != shown)
                QFAIL(qPrintable("read back differs for " + q(Str(shown))));
        }
        for (const double shown : {1673.69, -133452.95, 9999999999999.99, -0.01, 1e20}) {
            QCOMPARE_EXACT(Val(Str(shown)), shown);
        }
    }

    // The conversions must not follow the C locale, which a Qt application sets from
    // the environment.
    void comma_decimal_locale_changes_nothing()
    {
        const std::string saved = std::setlocale(LC_ALL, nullptr);
        const char* chosen = nullptr;
        for (const char* name : {"es_ES.UTF-8", "es_ES.utf8", "de_DE.UTF-8", "de_DE.utf8"}) {
            if (std::setlocale(LC_ALL, name) != nullptr) {
                chosen = name;
                break;
            }
        }
        if (chosen == nullptr)
            QSKIP("no comma-decimal locale installed (scripts/install-deps.sh makes es_ES.UTF-8)");
        const bool comma = std::string(std::localeconv()->decimal_point) == ",";

        const double read = Val("3.5");
        const double cut = Val("3,5");
        const QString written = q(Str(-27.85));
        std::setlocale(LC_ALL, saved.c_str());

        QVERIFY2(comma, chosen);
        QCOMPARE_EXACT(read, 3.5);
        QCOMPARE_EXACT(cut, 3.0);
        QCOMPARE(written, "-27.85");
    }
};

QTEST_APPLESS_MAIN(TestNumberText)
#include "test_number_text.moc"
