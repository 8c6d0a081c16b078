// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/float_text.h"
#include "calculation/number_text.h"
#include "test_support.h"

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <random>
#include <string>
#include <vector>

using namespace quemador;

namespace {

// The text of a number by its definition: rounded to 15 significant digits.
std::string rounded_to_fifteen_digits(double x)
{
    std::array<char, 32> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), x,
                                         std::chars_format::general, 15);
    std::string text = x < 0 ? "" : " ";
    for (const char* p = buffer.data(); p != end; ++p)
        text.push_back(*p == 'e' ? 'E' : *p);
    return text;
}

} // namespace

class TestNumberText : public QObject {
    Q_OBJECT

private slots:
    void reading_numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");

        const auto row = [](const QByteArray& row_name, const QString& text, double value) {
            QTest::newRow(row_name.constData()) << text << value;
        };

        row("empty", "", 0.0);
        row("letters only", "abc", 0.0);
        row("digits then letters", "12abc", 12.0);
        row("decimal comma ends the number", "3,5", 3.0);
        row("blank between digits", "3 5", 35.0);
        row("leading blank, tab and line feed", " \t\n42", 42.0);
        row("blanks around the period", "1 . 5", 1.5);
        row("negative", "-4.5", -4.5);
        row("blank after the minus", " - 7", -7.0);
        row("plus sign", "+2", 2.0);
        row("fraction without integer part", ".5", 0.5);
        row("negative fraction", "-.25", -0.25);
        row("second period ends the number", "1.2.3", 1.2);
        row("two signs", "--5", 0.0);
        row("lone minus", "-", 0.0);
        row("lone period", ".", 0.0);
        row("exponent", "1.5E3", 1500.0);
        row("lower-case negative exponent", "2e-2", 0.02);
        row("exponent with blanks", "1 E 3", 1000.0);
        row("bare exponent mark", "1E", 1.0);
        row("exponent sign without digits", "1E+", 1.0);
        row("exponent without mantissa", "E5", 0.0);
        row("hexadecimal prefix", "&H10", 0.0);
        row("octal prefix", "&O7", 0.0);
        row("leading zeros", "000000000000000000000012.5", 12.5);
        row("small fraction", "0.00000000000000000000000000001", 1e-29);
        row("subnormal", "4.9e-324", 4.9e-324);
        row("below the smallest double", "2e-324", 0.0);
        row("far below the smallest double", "1e-400", 0.0);
        row("enormous negative exponent", "1e-99999999999999999999", 0.0);
        row("largest double", "1.7976931348623157e308", DBL_MAX);
        row("many digits, large exponent", "0.000123e312", 1.23e308);
        row("non-ASCII character ends the number", "21ºC", 21.0);
        row("shown result", " 84.4", 84.4);
        row("shown negative result", "-133452.95", -133452.95);
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

        const auto row = [](const QByteArray& row_name, const QString& text) {
            QTest::newRow(row_name.constData()) << text;
        };

        row("1e999", "1e999");
        row("just above the largest double", "1.8e308");
        row("negative", "-1e999");
        row("with blanks", " 9 9 e 9 9 9");
        row("four hundred digits", "1" + QString(400, '0'));
        row("enormous exponent", "1e99999999999999999999");
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

        const auto row = [](const QByteArray& row_name, double value, const QString& text) {
            QTest::newRow(row_name.constData()) << value << text;
        };

        row("zero", 0.0, " 0");
        row("negative zero", -0.0, " 0");
        row("one decimal", 84.4, " 84.4");
        row("negative", -4.37, "-4.37");
        row("whole number", 100.0, " 100");
        row("below one", 0.46, " 0.46");
        row("above minus one", -0.46, "-0.46");
        row("large result", -133452.95, "-133452.95");
        row("fifteen digits", 123456789012345.0, " 123456789012345");
        row("sixteen digits", 1e15, " 1E+15");
        row("1E+20", 1e20, " 1E+20");
        row("1E-05", 0.00001, " 1E-05");
        row("0.0001", 0.0001, " 0.0001");
        row("a third", 1.0 / 3.0, " 0.333333333333333");
        row("largest double", DBL_MAX, " 1.79769313486232E+308");
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

    // Str lays out the shortest digits when they are 15 or fewer: it must agree with
    // rounding to 15 significant digits, the definition of the text, everywhere.
    void writing_agrees_with_rounding_to_fifteen_digits()
    {
        std::vector<double> values = {5e-324,     DBL_MIN,   DBL_MAX,      1e-5,    0.0001,
                                      0.00012345, 1e14,      1e15,         1e16,    1e22,
                                      1e23,       0.1 + 0.2, 1.0 / 3,      2.0 / 3, 99999.99,
                                      1e15 - 1,   1e15 + 2,  123456789.125};
        for (long long n = -100'000; n <= 100'000; n += 3)
            values.push_back(double(n) / 100.0);
        std::mt19937_64 bits(20261207);
        while (values.size() < 400'000) {
            const auto x = std::bit_cast<double>(bits());
            if (std::isfinite(x))
                values.push_back(x);
        }
        for (const double x : values) {
            for (const double signed_x : {x, -x}) {
                if (Str(signed_x) != rounded_to_fifteen_digits(signed_x))
                    QFAIL(qPrintable(QString("%1 written as '%2', not '%3'")
                                         .arg(signed_x, 0, 'g', 17)
                                         .arg(q(Str(signed_x)))
                                         .arg(q(rounded_to_fifteen_digits(signed_x)))));
            }
        }
    }

    // Val takes a quicker road for short numbers: it must agree with a correctly
    // rounded reading of the same decimal text.
    void reading_agrees_with_correct_rounding()
    {
        std::mt19937_64 random(7);
        for (int i = 0; i < 300'000; ++i) {
            std::string text = random() % 2 == 0 ? "" : "-";
            const auto length = 1 + random() % 20;
            const auto point = random() % (length + 1);
            for (std::size_t d = 0; d < length; ++d) {
                if (d == point)
                    text.push_back('.');
                text.push_back(char('0' + random() % 10));
            }
            if (random() % 2 == 0)
                text += "e" + std::to_string(int(random() % 61) - 30);

            double expected = 0.0;
            std::from_chars(text.data(), text.data() + text.size(), expected);
            expected += 0.0;
            if (Val(text) != expected)
                QFAIL(qPrintable(QString("'%1' read as %2, not %3")
                                     .arg(q(text))
                                     .arg(Val(text), 0, 'g', 17)
                                     .arg(expected, 0, 'g', 17)));
        }
    }

    // The WebAssembly build writes and reads through C's snprintf and strtod: they must
    // give what <charconv> gives here, digits and out-of-range alike.
    void printf_and_strtod_agree_with_charconv()
    {
        std::vector<double> values = {0.0,  5e-324,   DBL_MIN,       DBL_MAX, 1e-5,      0.0001,
                                      1e15, 1e16,     1e22,          1e23,    0.1 + 0.2, 1.0 / 3,
                                      84.4, 1e15 - 1, 123456789.125, 99999.99};
        std::mt19937_64 bits(20261221);
        while (values.size() < 100'000) {
            const auto x = std::abs(std::bit_cast<double>(bits()));
            if (std::isfinite(x))
                values.push_back(x);
        }
        for (const double x : values) {
            std::array<char, 40> by_printf{};
            std::array<char, 40> by_charconv{};
            char* end =
                float_text::general(by_printf.data(), by_printf.data() + by_printf.size(), x, 15);
            const auto expected =
                std::to_chars(by_charconv.data(), by_charconv.data() + by_charconv.size(), x,
                              std::chars_format::general, 15);
            const std::string written(by_printf.data(), end);
            if (written != std::string(by_charconv.data(), expected.ptr))
                QFAIL(qPrintable(QString("%1 written as '%2'").arg(x, 0, 'g', 17).arg(q(written))));
        }

        std::vector<std::string> texts = {
            "1e400",  "1e-400", "17976931348623157e292",  "17976931348623159e292",
            "5e-324", "2e-324", "24703282292062328e-340", "1e-320",
            "0e5",    "85e-2"};
        std::mt19937_64 random(21);
        while (texts.size() < 100'000) {
            std::string text;
            for (auto length = 1 + random() % 20; length > 0; --length)
                text.push_back(char('0' + random() % 10));
            texts.push_back(text + "e" + std::to_string(int(random() % 700) - 350));
        }
        for (const std::string& text : texts) {
            double by_strtod = -1.0;
            double by_charconv = -1.0;
            const std::errc error = float_text::decimal(text, by_strtod);
            const auto expected =
                std::from_chars(text.data(), text.data() + text.size(), by_charconv);
            if (error != expected.ec ||
                std::bit_cast<std::uint64_t>(by_strtod) !=
                    std::bit_cast<std::uint64_t>(by_charconv))
                QFAIL(qPrintable(QString("'%1' read as %2, not %3")
                                     .arg(q(text))
                                     .arg(by_strtod, 0, 'g', 17)
                                     .arg(by_charconv, 0, 'g', 17)));
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
