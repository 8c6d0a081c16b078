// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support.h"
#include "text/csv.h"
#include "text/encoding.h"
#include "text/names.h"
#include "text/numbers.h"

#include <QStringList>

#include <charconv>
#include <string>
#include <vector>

using namespace quemador;
using namespace quemador::text;

namespace {

std::string bytes(const QByteArray& text)
{
    return {text.constData(), static_cast<std::size_t>(text.size())};
}

} // namespace

class TestText : public QObject {
    Q_OBJECT

private slots:
    // Accepted texts read exactly as from_chars reads them (the fast path for short
    // numbers must round the same way); anything else reads as nothing.
    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        for (const char* text :
             {"0.1", "3,5", " 42 ", "-0.3", "+7.", ".5", "123456789012345", "1234567890123456",
              "0.000000000000001", "2.675", "999999999999999.95", "9007199254740993"})
            QTest::newRow(text) << QString(text) << true;
        for (const char* text : {"", ".", "-", "1.2.3", "3 5", "1e3", "0x10", "nan", "2,5.1"})
            QTest::newRow(text) << QString(text) << false;
    }

    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        const std::string typed = text.toStdString();
        const auto value = parse_number(typed, DecimalComma::accepted);
        QCOMPARE(value.has_value(), accepted);
        if (!accepted)
            return;
        std::string plain = text.trimmed().replace(',', '.').toStdString();
        if (plain.front() == '+')
            plain.erase(0, 1);
        double expected = 0.0;
        std::from_chars(plain.data(), plain.data() + plain.size(), expected);
        QCOMPARE_EXACT(*value, expected);
    }

    // Windows-1252 is taken for any first bytes that are not UTF-8.
    void utf8_detection_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("more_follows");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("Spanish in UTF-8") << QByteArray("Gasóleo, nº 2, 150 °C") << false << true;
        QTest::newRow("Spanish in Windows-1252")
            << QByteArray("Gas\xF3leo, n\xBA 2") << false << false;
        QTest::newRow("°±² in Windows-1252") << QByteArray("\xB0\xB1\xB2") << false << false;
        QTest::newRow("byte that starts nothing")
            << QByteArray("\xF8\x80\x80\x80") << false << false;
        QTest::newRow("overlong") << QByteArray("\xC0\xAF") << false << false;
        QTest::newRow("cut short, more to come") << QByteArray("ab\xE2\x82") << true << true;
        QTest::newRow("cut short at the end") << QByteArray("ab\xE2\x82") << false << false;
    }

    void utf8_detection()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, more_follows);
        QFETCH(bool, utf8);
        QCOMPARE(valid_utf8(bytes(text), more_follows), utf8);
    }

    // Records as the reader hands them out: fields joined by '|', records by '/'.
    void reader_records_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("records");
        QTest::addColumn<int>("unclosed_quote_line"); // 0 for none
        const auto row = [](const char* name, const QByteArray& input, const char* records,
                            int unclosed = 0) {
            QTest::newRow(name) << input << QString(records) << unclosed;
        };
        row("CRLF, no final line end", "a,b\r\nc,d", "a|b/c|d");
        row("a lone carriage return ends a line", "a\rb,c\n", "a/b|c");
        row("blank line", "a\n\nb\n", "a//b");
        row("quote inside a field is text", "5\" pulgadas,x\n", "5\" pulgadas|x");
        row("quoted separator, quote and line feed", "\"a,\"\"b\"\"\nc\",d\n", "a,\"b\"\nc|d");
        row("quote open at the end", "x,y\n1,\"abc\n2,3\n", "x|y/1|\"abc/2|3", 2);
        row("text after the closing quote", "1,\"a\"b,c\n2,3\n", "1|\"a\"b|c/2|3", 1);
    }

    void reader_records()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, records);
        QFETCH(int, unclosed_quote_line);
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{1000}}) {
            const std::string text = bytes(input);
            StringSource source(text, chunk);
            CsvReader reader(source, ',');
            std::vector<std::string_view> fields;
            QStringList read;
            int unclosed = 0;
            while (reader.next(fields)) {
                QStringList joined;
                for (const auto field : fields)
                    joined << q(std::string(field));
                read << joined.join('|');
                unclosed =
                    unclosed == 0 ? static_cast<int>(reader.unclosed_quote_line()) : unclosed;
            }
            QCOMPARE(read.join('/'), records);
            QCOMPARE(unclosed, unclosed_quote_line);
        }
    }

    // A record over 1 MiB is skipped to its line end, plain or with a quoted field that
    // closes (not an unclosed quote), and the next one is read as usual.
    void record_too_long()
    {
        const std::string long_field(max_record_bytes + 10, 'x');
        for (const std::string& record : {long_field, "1,\"a,b\"," + long_field}) {
            const std::string text = "a,b\n" + record + "\nc,d\n";
            StringSource source(text);
            CsvReader reader(source, ',');
            std::vector<std::string_view> fields;
            QVERIFY(reader.next(fields) && !reader.too_long());
            QVERIFY(reader.next(fields) && reader.too_long() && fields.empty());
            QCOMPARE(reader.unclosed_quote_line(), std::uint64_t{0});
            QCOMPARE(reader.line(), std::uint64_t{2});
            QVERIFY(reader.next(fields) && !reader.too_long());
            QCOMPARE(q(std::string(fields.at(1))), QString("d"));
            QCOMPARE(reader.line(), std::uint64_t{3});
        }
    }

    // Fields of every length come out as they went in, wherever they fall in the
    // writer's buffer (the rounds pass its 64 KiB several times), with the log's line end.
    void writer_copies_every_length()
    {
        for (const bool crlf : {false, true}) {
            StringSink sink;
            std::string expected;
            {
                CsvWriter writer(sink, ';', crlf ? LineEnd::crlf : LineEnd::lf);
                for (int round = 0; round < 100; ++round) {
                    for (std::size_t n = 0; n <= 40; ++n) {
                        std::string field(n, ' ');
                        for (std::size_t i = 0; i < n; ++i)
                            field[i] = static_cast<char>('a' + (i + n + round) % 26);
                        writer.fields_as_read(field);
                        writer.plain_field(field);
                        writer.end_record();
                        expected.append(field).append(";").append(field).append(crlf ? "\r\n"
                                                                                     : "\n");
                    }
                }
            }
            QCOMPARE(sink.text.size(), expected.size());
            QVERIFY(sink.text == expected);
        }
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "test_text.moc"
