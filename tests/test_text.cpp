// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support.h"
#include "text/buffers.h"
#include "text/csv.h"
#include "text/encoding.h"
#include "text/names.h"
#include "text/number_column.h"
#include "text/numbers.h"
#include "text/transcode.h"

#include <QStringList>

#include <array>
#include <cerrno>
#include <charconv>
#include <optional>
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
        double value = -1.0;
        QCOMPARE(parse_number(typed, DecimalComma::accepted, value), accepted);
        if (!accepted) {
            QCOMPARE_EXACT(value, -1.0); // left as it was
            return;
        }
        std::string plain = text.trimmed().replace(',', '.').toStdString();
        if (plain.front() == '+')
            plain.erase(0, 1);
        double expected = 0.0;
        std::from_chars(plain.data(), plain.data() + plain.size(), expected);
        QCOMPARE_EXACT(value, expected);
    }

    // A cell read both ways: with a decimal point (a comma grouping thousands) and with a
    // decimal comma (a point grouping them). "-" where it does not read that way; "g"
    // after a number read with a thousands separator.
    void grouped_number_readings_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("point");
        QTest::addColumn<QString>("comma");
        const auto row = [](const char* cell, const char* point, const char* comma) {
            QTest::newRow(cell) << QString(cell) << QString(point) << QString(comma);
        };
        row("1270", "1270", "1270");
        row("1.270", "1.27", "1270g");
        row("1,270", "1270g", "1.27");
        row("200.000", "200", "200000g");
        row("1.250.000", "-", "1250000g");
        row("1.250.000,5", "-", "1250000.5g");
        row(" -1.270,25 ", "-", "-1270.25g");
        row("+1.270", "1.27", "1270g");
        row("1,270.5", "1270.5g", "-");
        row("1,250,000", "1250000g", "-");
        row("0,09", "-", "0.09");
        row("0.270", "0.27", "-");        // a first group of 0 is no thousands
        row("01.270", "1.27", "-");       // nor one that begins with 0
        row("1234.567", "1234.567", "-"); // a first group of four
        row("12.5", "12.5", "-");         // a group of one
        row("1.27", "1.27", "-");         // of two
        row("1.2345", "1.2345", "-");     // of four
        row(".5", "0.5", "-");
        row(",250", "-", "0.25");
        row("1.270.5", "-", "-");
        row("1.250,", "-", "-"); // grouped, and a mark without decimals
        row("1..250", "-", "-");
        row("1,270,5", "-", "-");
        row("1.270,5.0", "-", "-");
        row("1 270", "-", "-");
        row("1e3", "-", "-");
        row("", "-", "-");
        row("-", "-", "-");
        row(".", "-", "-");
    }

    void grouped_number_readings()
    {
        QFETCH(QString, cell);
        QFETCH(QString, point);
        QFETCH(QString, comma);
        const std::string text = cell.toStdString();
        const NumberReadings readings = number_readings(text);
        const auto shown = [](const std::optional<double>& value, bool grouped) {
            return value ? QString::number(*value, 'g', 15) + (grouped ? "g" : "") : QString("-");
        };
        QCOMPARE(shown(readings.point, readings.grouped_point), point);
        QCOMPARE(shown(readings.comma, readings.grouped_comma), comma);
        QCOMPARE(readings.ambiguous(), point != "-" && comma != "-" && point != comma);
    }

    // A column's cells in turn, and what each gives: a number ("g" when grouped), "?"
    // waiting for the mark, "!" a contradiction, "-" none; then the mark it settled and
    // on which line.
    void grouped_number_column_data()
    {
        QTest::addColumn<QString>("cells"); // separated by '|'
        QTest::addColumn<QString>("given"); // "", "point" or "comma"
        QTest::addColumn<QString>("read");
        QTest::addColumn<QString>("mark");
        QTest::addColumn<int>("line");
        QTest::newRow("settled early by a decimal comma") << "4,30|1.270|1.250.000|7"
                                                          << ""
                                                          << "4.3 1270g 1250000g 7"
                                                          << "comma" << 1;
        QTest::newRow("settled late: waits, then reads") << "1.270|200.000|0,09|1.270"
                                                         << ""
                                                         << "? ? 0.09 1270g"
                                                         << "comma" << 3;
        QTest::newRow("never settled: not guessed") << "1.270|15|200,000|x"
                                                    << ""
                                                    << "? 15 ? -"
                                                    << "none" << 0;
        QTest::newRow("a grouped figure alone settles the comma") << "1.250.000|1.270"
                                                                  << ""
                                                                  << "1250000g 1270g"
                                                                  << "comma" << 1;
        QTest::newRow("the point settled by a grouped figure with decimals")
            << "1,270.5|200,000|3.5"
            << ""
            << "1270.5g 200000g 3.5"
            << "point" << 1;
        QTest::newRow("a contradiction after the point settled") << "12.5|1,270|1,5|1.250.000"
                                                                 << ""
                                                                 << "12.5 1270g ! !"
                                                                 << "point" << 1;
        QTest::newRow("a given mark: nothing waits, nothing settles") << "1.270|12.5|0,5"
                                                                      << "comma"
                                                                      << "1270g ! 0.5"
                                                                      << "comma" << 0;
        QTest::newRow("whole numbers settle nothing") << "1270|-3|+0"
                                                      << ""
                                                      << "1270 -3 0"
                                                      << "none" << 0;
    }

    void grouped_number_column()
    {
        QFETCH(QString, cells);
        QFETCH(QString, given);
        QFETCH(QString, read);
        QFETCH(QString, mark);
        QFETCH(int, line);
        std::optional<DecimalMark> mark_given;
        if (!given.isEmpty())
            mark_given = given == "point" ? DecimalMark::point : DecimalMark::comma;
        NumberColumn column(mark_given);
        QStringList got;
        std::uint64_t grouped = 0;
        std::uint64_t waited = 0;
        std::uint64_t at = 0;
        for (const QString& cell : cells.split('|')) {
            const auto r = column.read(cell.toStdString(), ++at);
            switch (r.state) {
            case NumberColumn::State::number:
                got << QString::number(r.value, 'g', 15) + (r.grouped ? "g" : "");
                grouped += r.grouped ? 1 : 0;
                break;
            case NumberColumn::State::waiting:
                got << "?";
                ++waited;
                break;
            case NumberColumn::State::contradicts:
                got << "!";
                break;
            case NumberColumn::State::none:
                got << "-";
                break;
            }
        }
        QCOMPARE(got.join(' '), read);
        QCOMPARE(QString(!column.mark()                             ? "none"
                             : *column.mark() == DecimalMark::point ? "point"
                                                                    : "comma"),
                 mark);
        QCOMPARE(column.settled_line(), static_cast<std::uint64_t>(line));
        QCOMPARE(column.given(), !given.isEmpty());
        QCOMPARE(column.grouped(), grouped);
        QCOMPARE(column.waited(), waited);
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

    // Records as the reader hands them out: fields joined by '|', records by '/'; how
    // each ends (n LF, c CR LF, r CR, - none) and the line where each begins.
    void reader_records_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("records");
        QTest::addColumn<QString>("ends");
        QTest::addColumn<QString>("lines");
        QTest::addColumn<int>("unclosed_quote_line"); // 0 for none
        const auto row = [](const char* name, const QByteArray& input, const char* records,
                            const char* ends, const char* lines, int unclosed = 0) {
            QTest::newRow(name) << input << QString(records) << QString(ends) << QString(lines)
                                << unclosed;
        };
        row("CRLF, no final line end", "a,b\r\nc,d", "a|b/c|d", "c-", "1 2");
        row("CR only, as old Excel for Mac wrote", "a,b\rc,d\r", "a|b/c|d", "rr", "1 2");
        row("every record its own line end", "a\r\nb\nc\rd", "a/b/c/d", "cnr-", "1 2 3 4");
        row("a carriage return last in the input", "a,b\r", "a|b", "r", "1");
        row("a lone carriage return ends a line", "a\rb,c\n", "a/b|c", "rn", "1 2");
        row("blank lines of each kind", "a\n\r\n\rb\n", "a///b", "ncrn", "1 2 3 4");
        row("quote inside a field is text", "5\" pulgadas,x\n", "5\" pulgadas|x", "n", "1");
        row("quoted separator, quote and line feed", "\"a,\"\"b\"\"\nc\",d\n", "a,\"b\"\nc|d", "n",
            "1");
        row("line ends inside quotes are text and count as lines", "\"a\rb\r\nc\",d\r\"e\"\re\r",
            "a\rb\r\nc|d/e/e", "rrr", "1 4 5");
        row("a quoted field closed before the line end", "\"x\"\r\ny\r", "x/y", "cr", "1 2");
        row("quote open at the end", "x,y\n1,\"abc\n2,3\n", "x|y/1|\"abc/2|3", "nnn", "1 2 3", 2);
        row("text after the closing quote", "1,\"a\"b,c\r2,3\r", "1|\"a\"b|c/2|3", "rr", "1 2", 1);
    }

    void reader_records()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, records);
        QFETCH(QString, ends);
        QFETCH(QString, lines);
        QFETCH(int, unclosed_quote_line);
        const std::string text = bytes(input);
        // Every chunk size puts a line end, and a CR before its LF, across two reads.
        for (std::size_t chunk = 1; chunk <= text.size(); ++chunk) {
            StringSource source(text, chunk);
            CsvReader reader(source, ',');
            std::vector<std::string_view> fields;
            QStringList read;
            QString read_ends;
            QStringList read_lines;
            int unclosed = 0;
            while (reader.next(fields)) {
                QStringList joined;
                for (const auto field : fields)
                    joined << q(std::string(field));
                read << joined.join('|');
                read_ends += QString("-ncr").at(static_cast<int>(reader.line_end()));
                read_lines << QString::number(reader.line());
                unclosed =
                    unclosed == 0 ? static_cast<int>(reader.unclosed_quote_line()) : unclosed;
            }
            QCOMPARE(read.join('/'), records);
            QCOMPARE(read_ends, ends);
            QCOMPARE(read_lines.join(' '), lines);
            QCOMPARE(unclosed, unclosed_quote_line);
        }
    }

    // Which fields were quoted: a decimal comma is read in those of a comma-separated log.
    void reader_quoted_fields()
    {
        StringSource source("\"3,5\",300,\"\"\r4,\"x\"\r");
        CsvReader reader(source, ',');
        std::vector<std::string_view> fields;
        QVERIFY(reader.next(fields));
        QCOMPARE(fields.size(), std::size_t{3});
        QVERIFY(reader.quoted(0) && !reader.quoted(1) && reader.quoted(2) && !reader.quoted(3));
        QVERIFY(reader.next(fields));
        QVERIFY(!reader.quoted(0) && reader.quoted(1));
    }

    // A look-ahead reads the same records again after rewind, with their line numbers,
    // however far it went (past several refills of the buffer), and reads on from there.
    void reader_look_ahead()
    {
        std::string text = "h1;h2\r\n";
        for (int i = 0; i < 20000; ++i)
            text += "r" + std::to_string(i) + ";\"q\r\n" + std::to_string(i) + "\"\r\n";
        for (const std::size_t chunk : {std::size_t{7}, text.size()}) {
            StringSource source(text, chunk);
            CsvReader reader(source, ';');
            std::vector<std::string_view> fields;
            QVERIFY(reader.next(fields));
            const auto read_records = [&](int count) {
                QStringList seen;
                for (int i = 0; i < count && reader.next(fields); ++i)
                    seen << q(std::string(fields.at(0))) + "@" + QString::number(reader.line()) +
                            "=" + q(std::string(fields.at(1)));
                return seen;
            };
            reader.mark();
            const QStringList first = read_records(5000);
            reader.rewind();
            QCOMPARE(read_records(5000), first);
            QCOMPARE(first.at(1), QString("r1@4=q\r\n1"));
            QCOMPARE(read_records(1).at(0), QString("r5000@10002=q\r\n5000"));
        }
    }

    // A record over 1 MiB met in a look-ahead ends it there without being passed over.
    void look_ahead_stops_at_a_record_too_long()
    {
        const std::string text = "a\n" + std::string(max_record_bytes + 5, 'x') + "\nb\n";
        StringSource source(text);
        CsvReader reader(source, ',');
        std::vector<std::string_view> fields;
        reader.mark();
        QVERIFY(reader.next(fields) && !reader.too_long());
        QVERIFY(reader.next(fields) && reader.too_long());
        reader.rewind();
        QVERIFY(reader.next(fields) && fields.at(0) == "a");
        QVERIFY(reader.next(fields) && reader.too_long());
        QVERIFY(reader.next(fields) && fields.at(0) == "b" && reader.line() == 3);
    }

    // What a source decodes to, read a few bytes at a time and in one go: the encoding
    // decided, the UTF-8 text, the units read as U+FFFD and the bytes passed through that
    // are not UTF-8; written back through a sink that follows it, the same bytes.
    void decoding_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("given"); // -1 none, else Encoding
        QTest::addColumn<int>("decided");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("replaced");
        QTest::addColumn<int>("not_utf8");
        QTest::addColumn<bool>("round_trip");
        const int none = -1;
        const auto e = [](Encoding encoding) { return static_cast<int>(encoding); };
        const auto row = [](const char* name, const QByteArray& input, int given, int decided,
                            const QByteArray& text, int replaced = 0, int not_utf8 = 0,
                            bool round_trip = true) {
            QTest::newRow(name) << input << given << decided << text << replaced << not_utf8
                                << round_trip;
        };
        row("UTF-8 with a byte order mark", "\xEF\xBB\xBFT\xC2\xAA", none, e(Encoding::utf8),
            "T\xC2\xAA");
        row("UTF-16LE, a surrogate pair",
            QByteArray("\xFF\xFE"
                       "a\0\x3D\xD8\x00\xDE",
                       8),
            none, e(Encoding::utf16le), "a\xF0\x9F\x98\x80");
        row("UTF-16BE, a surrogate pair", QByteArray("\xFE\xFF\0a\xD8\x3D\xDE\x00", 8), none,
            e(Encoding::utf16be), "a\xF0\x9F\x98\x80");
        row("UTF-16LE without a byte order mark",
            QByteArray("O\0"
                       "2\0;\0T\0\xF3\0",
                       10),
            none, e(Encoding::utf16le), "O2;T\xC3\xB3");
        row("UTF-16BE without a byte order mark",
            QByteArray("\0O\0"
                       "2\0;\0T",
                       8),
            none, e(Encoding::utf16be), "O2;T");
        row("ASCII, then a Windows-1252 byte", "O2;T\r\n3;Gas\xF3leo", none,
            e(Encoding::windows1252), "O2;T\r\n3;Gas\xC3\xB3leo");
        row("ASCII, then UTF-8", "O2;T\r\n3;Gas\xC3\xB3leo", none, e(Encoding::utf8),
            "O2;T\r\n3;Gas\xC3\xB3leo");
        row("Windows-1252 bytes that name nothing", "a\x81\x8D\x8F\x90\x9D\xF3", none,
            e(Encoding::windows1252), "a\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D\xC3\xB3");
        row("UTF-8, then a stray byte, passed through", "\xC3\xB1;\xF3;", none, e(Encoding::utf8),
            "\xC3\xB1;\xF3;", 0, 1);
        row("UTF-8 given: a stray byte passed through",
            "a\xF3"
            "b",
            e(Encoding::utf8), e(Encoding::utf8),
            "a\xF3"
            "b",
            0, 1);
        row("a UTF-8 lead byte last in the input is Windows-1252", "a\xC3", none,
            e(Encoding::windows1252), "a\xC3\x83");
        row("UTF-8 cut short at the end", "\xC3\xB1\xC3", none, e(Encoding::utf8), "\xC3\xB1\xC3",
            0, 1);
        row("a lone UTF-16 surrogate",
            QByteArray("\xFF\xFE\x3D\xD8"
                       "a\0",
                       6),
            none, e(Encoding::utf16le),
            "\xEF\xBF\xBD"
            "a",
            1, 0, false);
        row("UTF-16 cut short at the end",
            QByteArray("\xFF\xFE"
                       "a\0b",
                       5),
            none, e(Encoding::utf16le), "a\xEF\xBF\xBD", 1, 0, false);
        row("UTF-8 read as Windows-1252, as told", "Gas\xC3\xB3leo", e(Encoding::windows1252),
            e(Encoding::windows1252), "Gas\xC3\x83\xC2\xB3leo");
        row("nothing but ASCII: nothing decided", "O2;T\n3;300\n", none, none, "O2;T\n3;300\n");
    }

    void decoding()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, given);
        QFETCH(int, decided);
        QFETCH(QByteArray, text);
        QFETCH(int, replaced);
        QFETCH(int, not_utf8);
        QFETCH(bool, round_trip);
        const std::string bytes_in = bytes(input);
        const std::optional<Encoding> encoding =
            given < 0 ? std::nullopt : std::optional(static_cast<Encoding>(given));
        for (std::size_t chunk = 1; chunk <= bytes_in.size(); ++chunk) {
            StringSource source(bytes_in, chunk);
            DecodingSource decoded(source, encoding);
            std::string out;
            std::array<char, 3> buffer{}; // small reads, as a reader near its buffer's end
            for (std::size_t n = 0; (n = decoded.read(buffer.data(), buffer.size())) > 0;)
                out.append(buffer.data(), n);
            QCOMPARE(QByteArray::fromStdString(out), text);
            QCOMPARE(decoded.decided() ? static_cast<int>(*decoded.decided()) : -1, decided);
            QCOMPARE(decoded.replaced(), static_cast<std::uint64_t>(replaced));
            QCOMPARE(decoded.not_utf8(), static_cast<std::uint64_t>(not_utf8));
            if (!round_trip)
                continue;
            StringSink written;
            {
                EncodingSink sink(written, decoded);
                sink.write(out);
            }
            QCOMPARE(QByteArray::fromStdString(written.text), input);
        }
    }

    // A long UTF-8 text read as Windows-1252 comes out whole, wherever its characters
    // fall against the decoder's buffers: "Í" and "Á" hold bytes that Windows-1252 leaves
    // unnamed, which the decoder writes itself. The text is shifted by one more byte each
    // time, so that every byte of a line falls once at the end of the first buffer.
    void long_text_read_as_windows_1252()
    {
        const std::string line = "Gas\xC3\xB3leo C;\xE2\x82\xAC;\xC3\x8DNDICE \xC3\x81\n";
        std::string body;
        while (body.size() < 70'000)
            body += line;
        // Each byte as Windows-1252 reads it, by iconv; the unnamed ones as C1 controls.
        Converter converter(Encoding::utf8, Encoding::windows1252);
        std::array<std::string, 256> as_1252;
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            std::array<char, 4> out{};
            const char* in = &byte;
            std::size_t in_left = 1;
            char* o = out.data();
            std::size_t out_left = out.size();
            const bool named = converter.convert(in, in_left, o, out_left) == 0;
            as_1252.at(static_cast<std::size_t>(b)) =
                named ? std::string(out.data(), out.size() - out_left) : std::string{'\xC2', byte};
        }
        for (std::size_t shift = 0; shift <= line.size(); ++shift) {
            const std::string text = std::string(shift, 'x') + body;
            std::string expected;
            for (const char c : text)
                expected += as_1252.at(static_cast<unsigned char>(c));
            StringSource source(text);
            DecodingSource decoded(source, Encoding::windows1252);
            std::string read;
            std::vector<char> buffer(65536);
            for (std::size_t n = 0; (n = decoded.read(buffer.data(), buffer.size())) > 0;)
                read.append(buffer.data(), n);
            QCOMPARE(read.size(), expected.size());
            QVERIFY(read == expected);
            QVERIFY(decoded.utf8_looking() > 0);
        }
    }

    // Names folded as headers are compared.
    void folded_names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::newRow("unit and signs dropped") << "T gas (°C)"
                                                << "tgasc";
        QTest::newRow("subscript two") << "O₂"
                                       << "o2";
        QTest::newRow("every subscript digit") << "x₀₁₉"
                                               << "x019";
        QTest::newRow("accents and ñ") << "Óxígeno Añadido Ü"
                                       << "oxigenoanadidou";
        QTest::newRow("other letters dropped") << "Tª humos"
                                               << "thumos";
    }

    void folded_names()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        QCOMPARE(q(folded(name.toStdString())), key);
    }

    // The program's own conversions, which the WebAssembly build uses, do what glibc's
    // iconv does: the same text, the same stop and error at the same place, whatever the
    // room left for the output.
    void transcode_as_iconv_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        const auto e = [](Encoding encoding) { return static_cast<int>(encoding); };
        QByteArray every_byte;
        for (int b = 0x80; b < 0x100; ++b) {
            if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D)
                every_byte += static_cast<char>(b);
        }
        const QByteArray text = "O₂ 3,5 % — «Gasóleo» 20 °C ñ € 😀 ſ";
        QTest::newRow("every named byte of Windows-1252")
            << every_byte << e(Encoding::windows1252) << e(Encoding::utf8);
        QTest::newRow("a byte Windows-1252 leaves unnamed")
            << QByteArray("ab\x81"
                          "c")
            << e(Encoding::windows1252) << e(Encoding::utf8);
        QTest::newRow("back to Windows-1252") << QString::fromLatin1(every_byte).toUtf8()
                                              << e(Encoding::utf8) << e(Encoding::windows1252);
        QTest::newRow("UTF-16LE, surrogate pairs")
            << QByteArray(reinterpret_cast<const char*>(QString::fromUtf8(text).utf16()),
                          QString::fromUtf8(text).size() * 2)
            << e(Encoding::utf16le) << e(Encoding::utf8);
        QTest::newRow("to UTF-16LE") << text << e(Encoding::utf8) << e(Encoding::utf16le);
        QTest::newRow("to UTF-16BE") << text << e(Encoding::utf8) << e(Encoding::utf16be);
        QTest::newRow("a lone surrogate") << QByteArray("a\0\x3D\xD8"
                                                        "b\0",
                                                        6)
                                          << e(Encoding::utf16le) << e(Encoding::utf8);
        QTest::newRow("a low surrogate first")
            << QByteArray("\0a\xDE\x00", 4) << e(Encoding::utf16be) << e(Encoding::utf8);
        QTest::newRow("UTF-16 cut short")
            << QByteArray("a\0\x3D\xD8\x00", 5) << e(Encoding::utf16le) << e(Encoding::utf8);
        QTest::newRow("UTF-8 that is not")
            << QByteArray("ab\xC3(\xE0\x80\x80") << e(Encoding::utf8) << e(Encoding::utf16le);
        QTest::newRow("UTF-8 cut short")
            << QByteArray("ab\xE2\x82") << e(Encoding::utf8) << e(Encoding::windows1252);
    }

    void transcode_as_iconv()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, from);
        QFETCH(int, to);
        const std::string text = bytes(input);
        struct Done {
            std::size_t result;
            int error;
            std::size_t read;
            std::string written;
        };
        for (std::size_t room = 0; room <= text.size() * 4; room += room < 8 ? 1 : 61) {
            const auto run = [&](auto&& convert) {
                std::string out(room, '\0');
                const char* in = text.data();
                std::size_t in_left = text.size();
                char* o = out.data();
                std::size_t out_left = room;
                errno = 0;
                const std::size_t result = convert(in, in_left, o, out_left);
                return Done{result, result == static_cast<std::size_t>(-1) ? errno : 0,
                            text.size() - in_left, out.substr(0, room - out_left)};
            };
            Converter iconv_conversion(static_cast<Encoding>(to), static_cast<Encoding>(from));
            const Done by_iconv =
                run([&](const char*& in, std::size_t& in_left, char*& out, std::size_t& out_left) {
                    return iconv_conversion.convert(in, in_left, out, out_left);
                });
            const Done own =
                run([&](const char*& in, std::size_t& in_left, char*& out, std::size_t& out_left) {
                    return transcode(static_cast<Encoding>(from), static_cast<Encoding>(to), in,
                                     in_left, out, out_left);
                });
            QCOMPARE(own.error, by_iconv.error);
            QCOMPARE(own.read, by_iconv.read);
            QCOMPARE(QByteArray::fromStdString(own.written),
                     QByteArray::fromStdString(by_iconv.written));
            QCOMPARE(own.result, by_iconv.result);
        }
    }

    // A character Windows-1252 lacks: iconv writes a near one, the program's own
    // conversion a question mark; both count it.
    void transcode_approximates()
    {
        const std::string text = "O₂ ☺";
        const char* in = text.data();
        std::size_t in_left = text.size();
        std::string out(16, '\0');
        char* o = out.data();
        std::size_t out_left = out.size();
        QCOMPARE(transcode(Encoding::utf8, Encoding::windows1252, in, in_left, o, out_left),
                 std::size_t{2});
        QCOMPARE(QByteArray::fromStdString(out.substr(0, out.size() - out_left)),
                 QByteArray("O? ?"));
    }

    // Control characters in a message are escaped; text, accents and « » are not.
    void printable_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("escape sequence") << QByteArray("\x1b[31m3") << R"(\x1b[31m3)";
        QTest::newRow("bell, carriage return, tab")
            << QByteArray("4\x07\r\t") << R"(4\x07\x0d\x09)";
        QTest::newRow("delete and a C1 control") << QByteArray("a\x7f"
                                                               "b\xC2\x9B"
                                                               "c")
                                                 << R"(a\x7fb\x9bc)";
        QTest::newRow("Spanish") << QByteArray("«Gasóleo» ñ °C") << "«Gasóleo» ñ °C";
        QTest::newRow("a right-to-left override before figures")
            << QByteArray("Sala \xE2\x80\xAE: 18,11") << R"(Sala \u202e: 18,11)";
        QTest::newRow("isolates, marks and the Arabic letter mark")
            << QByteArray("\xE2\x81\xA6"
                          "a\xE2\x81\xA9\xE2\x80\x8F\xD8\x9C"
                          "b")
            << R"(\u2066a\u2069\u200f\u061cb)";
        QTest::newRow("Hebrew and an em dash are text")
            << QByteArray("\xD7\x90 \xE2\x80\x94") << "\u05d0 \u2014";
    }

    void printable()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, shown);
        QCOMPARE(q(text::printable(bytes(text))), shown);
    }

    // Names made text any XML reader takes: what is not UTF-8, or is a character XML
    // forbids, becomes U+FFFD, counted.
    void valid_text_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("valid");
        QTest::addColumn<int>("replaced");
        const QByteArray r = "\xEF\xBF\xBD";
        QTest::newRow("Spanish and a tab")
            << QByteArray("Caldera ñ\t°") << QByteArray("Caldera ñ\t°") << 0;
        QTest::newRow("U+FFFE and U+FFFF") << QByteArray("a\xEF\xBF\xBE"
                                                         "b\xEF\xBF\xBF")
                                           << "a" + r + "b" + r << 2;
        QTest::newRow("C0 controls but tab and line ends")
            << QByteArray("\x01\x1F\r\n", 4) << r + r + "\r\n"
            << 2;
        QTest::newRow("Windows-1252 bytes") << QByteArray("Cami\xF3n") << "Cami" + r + "n" << 1;
        QTest::newRow("a character cut short at the end")
            << QByteArray("a\xE2\x82") << "a" + r + r << 2;
        QTest::newRow("an overlong slash and a surrogate")
            << QByteArray("\xC0\xAF\xED\xA0\x80") << r + r + r + r + r << 5;
        QTest::newRow("four bytes, and past U+10FFFF")
            << QByteArray("\xF0\x9F\x94\xA5\xF4\x90\x80\x80") << "\xF0\x9F\x94\xA5" + r + r + r + r
            << 4;
    }

    void valid_text()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, valid);
        QFETCH(int, replaced);
        std::uint64_t count = 0;
        QCOMPARE(QByteArray::fromStdString(text::valid_text(bytes(text), count)), valid);
        QCOMPARE(count, static_cast<std::uint64_t>(replaced));
    }

    // Names cut to a number of characters, never inside one; and cells a spreadsheet
    // would take for a formula made text.
    void shortened_and_spreadsheet_cells()
    {
        QCOMPARE(q(text::shortened("Caldera", 7)), QString("Caldera"));
        QCOMPARE(q(text::shortened("Calderas", 7)), QString("Calder…"));
        QCOMPARE(q(text::shortened("ñañañaña", 4)), QString("ñañ…"));
        const std::vector<std::pair<std::string, std::string>> cells = {
            {"=HYPERLINK(\"x\")", "'=HYPERLINK(\"x\")"},
            {"+1+1", "'+1+1"},
            {"-2", "'-2"},
            {"@SUM(1)", "'@SUM(1)"},
            {"\tcmd", "'\tcmd"},
            {"\rcmd", "'\rcmd"},
            {"Sala 1 = norte", "Sala 1 = norte"},
            {"", ""}};
        for (const auto& [cell, safe] : cells)
            QCOMPARE(q(text::spreadsheet_cell(cell)), q(safe));
    }

    // The bound is a mebibyte: a record of one and a half is too long.
    void a_mebibyte_and_a_half_is_too_long()
    {
        const std::string text = "a\n" + std::string(std::size_t{1536} * 1024, 'x') + "\nb\n";
        StringSource source(text);
        CsvReader reader(source, ',');
        std::vector<std::string_view> fields;
        QVERIFY(reader.next(fields) && !reader.too_long());
        QVERIFY(reader.next(fields) && reader.too_long());
        QVERIFY(reader.next(fields) && fields.at(0) == "b");
    }

    // A record over 1 MiB is skipped to its line end, plain or with a quoted field that
    // closes (not an unclosed quote), and the next one is read as usual.
    void record_too_long()
    {
        const std::string long_field(max_record_bytes + 10, 'x');
        for (const std::string& record :
             {long_field, "1,\"a,b\"," + long_field, long_field + "\r"}) {
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
    // writer's buffer (the rounds pass its 64 KiB several times), with the log's line end;
    // the bytes written so far are counted across its flushes and past a field longer
    // than its buffer; a writer made like it writes the same.
    void writer_copies_every_length()
    {
        const std::string longer(3 * buffer_bytes + 5, 'z');
        for (const bool crlf : {false, true}) {
            StringSink sink;
            StringSink like_sink;
            std::string expected;
            {
                CsvWriter writer(sink, ';', crlf ? LineEnd::crlf : LineEnd::lf);
                CsvWriter like(like_sink, writer);
                for (int round = 0; round < 100; ++round) {
                    for (std::size_t n = 0; n <= 40; ++n) {
                        std::string field(n, ' ');
                        for (std::size_t i = 0; i < n; ++i)
                            field[i] = static_cast<char>('a' + (i + n + round) % 26);
                        if (n == 7 && round % 10 == 0)
                            field = longer;
                        for (CsvWriter* each : {&writer, &like}) {
                            each->fields_as_read(field);
                            each->plain_field(field);
                            each->end_record();
                        }
                        expected.append(field).append(";").append(field).append(crlf ? "\r\n"
                                                                                     : "\n");
                        QCOMPARE(writer.written(), expected.size());
                    }
                }
            }
            QCOMPARE(sink.text.size(), expected.size());
            QVERIFY(sink.text == expected);
            QVERIFY(like_sink.text == expected);
        }
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "test_text.moc"
