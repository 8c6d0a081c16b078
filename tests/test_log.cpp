// SPDX-License-Identifier: GPL-3.0-or-later
#include "calculation/calculate_command.h"
#include "log/chart.h"
#include "log/columns.h"
#include "log/dates.h"
#include "log/header.h"
#include "log/json.h"
#include "log/log.h"
#include "log/log_error.h"
#include "test_support.h"
#include "text/csv.h"
#include "text/encoding.h"

#include <QStringList>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>

using namespace quemador;
using namespace quemador::log;
using namespace quemador::text;

namespace {

struct LogRun {
    QByteArray out;
    QStringList reports;
    LogSummary summary;
    QString refused; // why the log was refused, when it was
};

LogRun run_log(const QByteArray& input, std::optional<TemperatureUnit> unit,
               std::vector<FigureKind> figures = {})
{
    LogRun run;
    StringSource source(
        std::string_view(input.constData(), static_cast<std::size_t>(input.size())));
    StringSink sink;
    LogOptions options;
    options.fuel = Fuel::natural_gas;
    options.unit = unit;
    options.figures = std::move(figures);
    options.report = [&](std::string_view line) { run.reports << q(std::string(line)); };
    try {
        run.summary = process_log(source, sink, options);
    } catch (const LogError& error) {
        run.refused = error.what();
    }
    run.out = QByteArray::fromStdString(sink.text);
    return run;
}

std::string bytes(const QByteArray& text)
{
    return {text.constData(), static_cast<std::size_t>(text.size())};
}

} // namespace

class TestLog : public QObject {
    Q_OBJECT

private slots:
    void csv_log_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("fahrenheit"); // --fahrenheit given
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QStringList>("reports");

        const auto row = [](const char* name, const QByteArray& input, bool fahrenheit,
                            const QByteArray& output, const QStringList& reports = {}) {
            QTest::newRow(name) << input << fahrenheit << output << reports;
        };
        row("comma", "O2,Temperatura\n3,300\n", false,
            "O2,Temperatura,exceso_aire,eficiencia,eficiencia_neta,aviso\n3,300,15.66,83.94,93.91,"
            "\n");
        row("semicolon, decimal comma in and out", "o2 (%);Temp\n3,5;300\n", false,
            "o2 "
            "(%);Temp;exceso_aire;eficiencia;eficiencia_neta;aviso\n3,5;300;18,74;83,85;93,77;\n");
        row("tab, no final line end", "Fecha\tO2\tT gas\n1/1\t3\t300", false,
            "Fecha\tO2\tT gas\texceso_aire\teficiencia\teficiencia_neta\taviso\n1/1\t3\t300\t15."
            "66\t83.94\t93.91\t\n");
        row("quoted fields kept and requoted", "Nota,O2,T\n\"a, \"\"b\"\"\n c\",3,300\n", false,
            "Nota,O2,T,exceso_aire,eficiencia,eficiencia_neta,aviso\n\"a, \"\"b\"\"\n "
            "c\",3,300,15.66,"
            "83.94,93.91,\n");
        row("BOM and CRLF kept", "\xEF\xBB\xBFO2,T\r\n3,300\r\n", false,
            "\xEF\xBB\xBFO2,T,exceso_aire,eficiencia,eficiencia_neta,aviso\r\n3,300,15.66,83.94,93."
            "91,\r\n");
        row("synonyms, Celsius, fuel column", "OXÍGENO,T gas (ºC),Combustible\n3,150,Gas natural\n",
            false,
            "OXÍGENO,T gas "
            "(ºC),Combustible,exceso_aire,eficiencia,eficiencia_neta,aviso\n3,150,Gas "
            "natural,15.66,83.9,93.86,\n");
        row("Fahrenheit option over a °C header", "O2,Temp (°C)\n3,300\n", true,
            "O2,Temp "
            "(°C),exceso_aire,eficiencia,eficiencia_neta,aviso\n3,300,15.66,83.94,93.91,\n");
        row("fuel oil by name", "O2,T,Fuel\n3,300,Fuel Oil Nº 2\n", false,
            "O2,T,Fuel,exceso_aire,eficiencia,eficiencia_neta,aviso\n3,300,Fuel Oil Nº "
            "2,15.63,87.57,94.03,\n");
        row("bad rows keep their place", "O2;T\n3;300\nabc;300\n\n3;\n21;300\n3;300\n", false,
            "O2;T;exceso_aire;eficiencia;eficiencia_neta;aviso\n3;300;15,66;83,94;93,91;\nabc;300;;"
            ";;O2 "
            "ilegible: «abc»\n\n3;;;;;falta el valor de temperatura\n21;300;;;;no se puede "
            "calcular: "
            "División por cero (error 11). Compruebe la lectura de oxígeno: debe ser menor que "
            "21 %.\n3;300;15,66;83,94;93,91;\n",
            {"línea 3: O2 ilegible: «abc»", "línea 5: falta el valor de temperatura",
             "línea 6: no se puede calcular: División por cero (error 11). Compruebe la lectura "
             "de oxígeno: debe ser menor que 21 %."});
        row("a result too large to round is reported, the rest goes on",
            "O2,T\n211115,33.062\n3,300\n", false,
            "O2,T,exceso_aire,eficiencia,eficiencia_neta,aviso\n211115,33.062,,,,no se puede "
            "calcular: "
            "Desbordamiento (error 6). Compruebe la lectura de oxígeno: debe ser menor que 21 "
            "%.\n3,300,15.66,83.94,93.91,\n",
            {"línea 2: no se puede calcular: Desbordamiento (error 6). Compruebe la lectura de "
             "oxígeno: debe ser menor que 21 %."});
        row("a quoted decimal comma in a comma-separated log", "O2,T\n\"3,5\",300\n3.5,300\n",
            false,
            "O2,T,exceso_aire,eficiencia,eficiencia_neta,aviso\n\"3,5\",300,\"18,74\",\"83,85\","
            "\"93,77\",\n3.5,300,\"18,74\",\"83,85\",\"93,77\",\n");
        row("lines counted in the file, past a title with a quoted line feed",
            "Informe;\"planta\nnorte\"\nO2;T\nabc;300\n", false,
            "Informe;\"planta\nnorte\"\nO2;T;exceso_aire;eficiencia;eficiencia_neta;aviso\nabc;300;"
            ";;;O2 ilegible: «abc»\n",
            {"línea 4: O2 ilegible: «abc»"});
        row("a title that is not Excel's sep= line", "Ref=,\nO2;T\n3;300\n", true,
            "Ref=,\nO2;T;exceso_aire;eficiencia;eficiencia_neta;aviso\n3;300;15,66;83,94;93,91;"
            "\n");
        row("a reading the model does not describe: no numbers, by default", "O2;T\n3;50\n", true,
            "O2;T;exceso_aire;eficiencia;eficiencia_neta;aviso\n3;50;;;;Temperatura de 50 °F: "
            "est\xC3\xA1 por debajo de los 60 °F del aire de combusti\xC3\xB3n que supone el "
            "c\xC3\xA1lculo.\n",
            {"línea 2: Temperatura de 50 °F: está por debajo de los 60 °F del aire de combustión "
             "que supone el cálculo."});
        const QByteArray endless(static_cast<qsizetype>(max_record_bytes) + 10, 'x');
        row("a record over 1 MiB keeps its place", "O2,T\n" + endless + "\n3,300\n", false,
            "O2,T,exceso_aire,eficiencia,eficiencia_neta,aviso\n,,,,,fila de más de 1 MiB: no se "
            "lee\n3,300,15.66,83.94,93.91,\n",
            {"línea 2: fila de más de 1 MiB: no se lee"});
        row("a record over 1 MiB after a calculated one: nothing of that one's",
            "O2,T\n3,300\n" + endless + "\n", false,
            "O2,T,exceso_aire,eficiencia,eficiencia_neta,aviso\n3,300,15.66,83.94,93.91,\n,,,,,"
            "fila de más de 1 MiB: no se lee\n",
            {"línea 3: fila de más de 1 MiB: no se lee"});
        row("a footer's word where a reading goes is an unreadable reading",
            "Fecha;O2;T\n1/1;Media;300\n", false,
            "Fecha;O2;T;exceso_aire;eficiencia;eficiencia_neta;aviso\n1/1;Media;300;;;;O2 "
            "ilegible: «Media»\n",
            {"línea 2: O2 ilegible: «Media»"});
        row("no oxygen column", "CO2,T\n9,300\n", false, "", {});
        row("empty file", "", false, "", {});
    }

    void csv_log()
    {
        QFETCH(QByteArray, input);
        QFETCH(bool, fahrenheit);
        QFETCH(QByteArray, output);
        QFETCH(QStringList, reports);

        const LogRun run =
            run_log(input, fahrenheit ? std::optional(TemperatureUnit::fahrenheit) : std::nullopt);
        QCOMPARE(run.out, output);
        QCOMPARE(run.reports, reports);
        QCOMPARE(run.refused.isEmpty(), !output.isEmpty());
        QCOMPARE(run.summary.with_errors + run.summary.out_of_range,
                 static_cast<std::uint64_t>(reports.size()));
    }

    // What a header names, as analysers and spreadsheets write it.
    // The figures a log gets when told which: in their order, in place in a log of this
    // program's, with their units under the header; one a log cannot give is refused.
    void figures_chosen_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("figures");
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("refused");

        const auto row = [](const char* name, const QByteArray& input, const char* figures,
                            const QByteArray& output, const char* refused = "") {
            QTest::newRow(name) << input << QString(figures) << output << QString(refused);
        };
        row("air ratio and flue-gas loss before the efficiency", "O2,T\n3,300\n",
            "lambda perdidas_humos eficiencia",
            "O2,T,lambda,perdidas_humos,eficiencia,aviso\n3,300,1.17,6.09,83.94,\n");
        row("a log of this program's, read again: in their place",
            "O2,T,lambda,perdidas_humos,eficiencia,aviso\n3,300,,,,\n",
            "lambda perdidas_humos eficiencia",
            "O2,T,lambda,perdidas_humos,eficiencia,aviso\n3,300,1.17,6.09,83.94,\n");
        row("each figure's unit under the header", "O2,T\n%,°F\n3,300\n", "lambda perdidas_humos",
            "O2,T,lambda,perdidas_humos,aviso\n%,°F,,%,\n3,300,1.17,6.09,\n");
        row("a figure of the air: empty in a row without one", "O2,T,T aire\n3,300,68\n3,300,\n",
            "eficiencia_corregida eficiencia_neta",
            "O2,T,T aire,eficiencia_corregida,eficiencia_neta,aviso\n3,300,68,84.13,94.11,\n"
            "3,300,,,93.91,sin temperatura del aire: la eficiencia neta supone 60 °F y no hay "
            "corregida\n");
        row("a figure of the air in a log without one", "O2,T\n3,300\n", "eficiencia_corregida", "",
            "no se puede dar eficiencia_corregida: necesita la temperatura del aire de "
            "combustión (una columna de aire o su opción)");
        row("a target's figure without a target", "O2,T\n3,300\n", "eficiencia_objetivo", "",
            "no se puede dar eficiencia_objetivo: necesita un objetivo (su opción)");
        row("the CO's, in a log without a CO column", "O2,T\n3,300\n", "co_sin_aire", "",
            "no se puede dar co_sin_aire: necesita una columna de CO");
        row("the CO's, from a CO column", "O2,T,CO\n3,300,50\n", "co_sin_aire eficiencia",
            "O2,T,CO,co_sin_aire,eficiencia,aviso\n3,300,50,58,83.94,\n");
    }

    void figures_chosen()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, figures);
        QFETCH(QByteArray, output);
        QFETCH(QString, refused);
        const QStringList ids = figures.split(' ');
        std::vector<FigureKind> chosen(static_cast<std::size_t>(ids.size()));
        std::transform(ids.begin(), ids.end(), chosen.begin(),
                       [](const QString& id) { return *figure_named(id.toStdString()); });
        const LogRun run = run_log(input, std::nullopt, chosen);
        QCOMPARE(run.out, output);
        QCOMPARE(run.refused, refused);
    }

    void header_names_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<int>("column"); // -1 none, else Column
        QTest::addColumn<bool>("generic");
        QTest::addColumn<int>("unit"); // -1 none, else TemperatureUnit
        const int none = -1;
        const int c = static_cast<int>(TemperatureUnit::celsius);
        const int f = static_cast<int>(TemperatureUnit::fahrenheit);
        const auto row = [](const char* header, std::optional<Column> column, bool generic,
                            int unit) {
            QTest::newRow(header) << QString(header) << (column ? static_cast<int>(*column) : -1)
                                  << generic << unit;
        };
        row("O₂ (%)", Column::o2, false, none);
        row("Oxígeno", Column::o2, false, none);
        row("CO₂ (%)", Column::co2, false, none);
        row("Temp. humos (°C)", Column::temperature, false, c);
        row("Tª humos", Column::temperature, false, none);
        row("Tª gases", Column::temperature, false, none);
        row("Temperatura de humos", Column::temperature, false, none);
        row("Flue temp", Column::temperature, false, none);
        row("Temperatura gases [ºF]", Column::temperature, false, f);
        row("T gases", Column::temperature, false, none);
        row("temp_c", Column::temperature, true, c);
        row("Temperatura (°C)", Column::temperature, true, c);
        row("T (°C)", Column::temperature, true, c);
        row("T aire", Column::air, false, none);
        row("Temperatura del aire (°C)", Column::air, false, c);
        row("T comb.", Column::air, false, none);
        row("Exceso aire", std::nullopt, false, none);
        row("Combustible", Column::fuel, false, none);
        row("Rendimiento neto (%)", Column::analyser, false, none);
        row("η (%)", Column::analyser, false, none);
        row("Eta", Column::analyser, false, none);
        row("eficiencia", std::nullopt, false, none); // the program's own column
        row("eficiencia_neta", std::nullopt, false, none);
        row("Caldera", Column::boiler, false, none);
        row("Equipo", Column::boiler, false, none);
        row("Generador", Column::boiler, false, none);
        row("Boiler", Column::boiler, false, none);
        row("Fecha", Column::date, false, none);
        row("Fecha y hora", Column::date, false, none);
        row("Date/Time", Column::date, false, none);
        row("Hora", Column::time, false, none);
        // A boiler's column by its number marker, before or after the word.
        row("Caldera nº", Column::boiler, false, none);
        row("Nº caldera", Column::boiler, false, none);
        row("Caldera n.º", Column::boiler, false, none);
        row("Num. caldera", Column::boiler, false, none);
        row("Id caldera", Column::boiler, false, none);
        row("Nº de equipo", Column::boiler, false, none);
        row("Boiler #", Column::boiler, false, none);
        row("Unit ID", Column::boiler, false, none);
        row("Unidad nº", Column::boiler, false, none);
        row("Unidad", std::nullopt, false, none); // a units column, maybe
        row("Nº de serie", std::nullopt, false, none);
        row("CO (ppm)", Column::co, false, none);
        row("CO ppm", Column::co, false, none);
        row("Monóxido", Column::co, false, none);
        row("co_sin_aire", std::nullopt, false, none); // the program's own column
        row("ºC", std::nullopt, false, c); // as a units line writes it, with the ordinal sign
        row("°F", std::nullopt, false, f);
    }

    void header_names()
    {
        QFETCH(QString, header);
        QFETCH(int, column);
        QFETCH(bool, generic);
        QFETCH(int, unit);
        const std::string text = header.toStdString();
        const auto named = column_named(text);
        QCOMPARE(named ? static_cast<int>(named->column) : -1, column);
        if (named)
            QCOMPARE(named->generic, generic);
        const auto read = unit_named(text);
        QCOMPARE(read ? static_cast<int>(*read) : -1, unit);
    }

    // The separator of a line: the one it holds most often outside quotes.
    void separators_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("separator");
        QTest::newRow("commas") << "Fecha,O2,T"
                                << ",";
        QTest::newRow("more commas than semicolons") << "O2,T,Nota;x"
                                                     << ",";
        QTest::newRow("semicolons") << "Fecha;O2;T,gas"
                                    << ";";
        QTest::newRow("tabs") << "Fecha\tO2\tT"
                              << "\t";
        QTest::newRow("a quoted field hides its separators") << "\"a;b;c\",O2,T"
                                                             << ",";
        QTest::newRow("a quote inside a field is text") << "Nota 5\" de tubo;O2;T,x"
                                                        << ";";
        QTest::newRow("none: a comma") << "O2"
                                       << ",";
    }

    void separators()
    {
        QFETCH(QString, line);
        QFETCH(QString, separator);
        QCOMPARE(QString(QChar(separator_of(line.toStdString()))), separator);
    }

    // The columns a user names: by a number from 1, by the header as written, folded,
    // or one the header lacks; a choice wins over the names found.
    void chosen_columns_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("column"); // -1: none
        QTest::newRow("the first by number") << "1" << 0;
        QTest::newRow("the last by number") << "4" << 3;
        QTest::newRow("past the last") << "5" << -1;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("as written") << "Sonda 2" << 2;
        QTest::newRow("whatever its case and accents") << "SONDÁ 2" << 2;
        QTest::newRow("not there") << "Sonda 3" << -1;
    }

    void chosen_columns()
    {
        QFETCH(QString, choice);
        QFETCH(int, column);
        const std::vector<std::string_view> header = {"O2", "T humos", "Sonda 2", "Nota"};
        ColumnChoice chosen;
        chosen.at(static_cast<std::size_t>(Column::o2)) = choice.toStdString();
        const Columns columns = find_columns(header, chosen);
        QCOMPARE(columns.has(Column::o2) ? static_cast<int>(columns[Column::o2]) : -1, column);
        QCOMPARE(static_cast<int>(columns[Column::temperature]), 1);
        QCOMPARE(columns.missing.at(0).has_value(), column < 0);
    }

    // The largest difference keeps its sign and its line, wherever it comes.
    void largest_difference_data()
    {
        QTest::addColumn<QList<double>>("differences");
        QTest::addColumn<double>("largest");
        QTest::addColumn<int>("line");
        QTest::newRow("first") << QList<double>{-3, 1, 2} << -3.0 << 1;
        QTest::newRow("in the middle") << QList<double>{0.5, -2, 1} << -2.0 << 2;
        QTest::newRow("last") << QList<double>{0, 1, 2.5} << 2.5 << 3;
        QTest::newRow("a first of zero") << QList<double>{0, 0} << 0.0 << 1;
    }

    void largest_difference()
    {
        QFETCH(QList<double>, differences);
        QFETCH(double, largest);
        QFETCH(int, line);
        Differences spread;
        for (qsizetype i = 0; i < differences.size(); ++i)
            spread.add(differences[i], static_cast<std::uint64_t>(i + 1));
        QCOMPARE_EXACT(spread.largest, largest);
        QCOMPARE(spread.largest_line, static_cast<std::uint64_t>(line));
    }

    // Rows that waited for their date column's order are taken into their group: the
    // largest difference is the larger, and of two as large the first in the file.
    void merged_differences_data()
    {
        QTest::addColumn<QList<double>>("group");   // at lines 10, 11, …
        QTest::addColumn<QList<double>>("waiting"); // at lines 2, 3, …
        QTest::addColumn<double>("largest");
        QTest::addColumn<int>("line");
        QTest::newRow("the group's, larger") << QList<double>{2} << QList<double>{-1} << 2.0 << 10;
        QTest::newRow("the waiting one's, larger")
            << QList<double>{1} << QList<double>{-3} << -3.0 << 2;
        QTest::newRow("as large: the first in the file")
            << QList<double>{-2} << QList<double>{2} << 2.0 << 2;
        QTest::newRow("into an empty group") << QList<double>{} << QList<double>{0, 0} << 0.0 << 2;
    }

    void merged_differences()
    {
        QFETCH(QList<double>, group);
        QFETCH(QList<double>, waiting);
        QFETCH(double, largest);
        QFETCH(int, line);
        Differences merged;
        for (qsizetype i = 0; i < group.size(); ++i)
            merged.add(group[i], static_cast<std::uint64_t>(10 + i));
        Differences held;
        for (qsizetype i = 0; i < waiting.size(); ++i)
            held.add(waiting[i], static_cast<std::uint64_t>(2 + i));
        merged.merge(held);
        QCOMPARE(merged.count, static_cast<std::uint64_t>(group.size() + waiting.size()));
        QCOMPARE_EXACT(merged.largest, largest);
        QCOMPARE(merged.largest_line, static_cast<std::uint64_t>(line));
    }

    // A header that cannot be found: the line taken for it, its first columns and how
    // many more.
    void header_not_found()
    {
        const LogRun run = run_log(
            "a;b;c;d;e;f;g;h;i;j;k;l;m;n\n1;2;3;4;5;6;7;8;9;10;11;12;13;14\n", std::nullopt);
        QVERIFY2(run.refused.contains("«k», «l» y 2 más (leída como utf-8)"),
                 qPrintable(run.refused));
    }

    // The analyser's efficiency beside the net one, from a single row on.
    void analyser_difference_lines_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("line");
        QTest::newRow("one row with both")
            << QByteArray("O2;T;Rend.\n3;300;94\n3;300;\n")
            << "«Rend.» (el analizador) menos eficiencia_neta en 1 fila: media 0,09, la mayor "
               "0,09 (línea 2)";
        QTest::newRow("none") << QByteArray("O2;T;Rend.\n3;300;\n")
                              << "«Rend.» (el analizador): ninguna fila con su eficiencia y la "
                                 "neta";
    }

    void analyser_difference_lines()
    {
        QFETCH(QByteArray, log);
        QFETCH(QString, line);
        const LogRun run = run_log(log, TemperatureUnit::fahrenheit);
        QStringList lines;
        for (const std::string& text : summary_lines(run.summary))
            lines << q(text);
        QCOMPARE(lines.last(), line);
    }

    // Oxygen written as a fraction: every first reading from 0 to below 1, one above 0,
    // two at least.
    void oxygen_fractions_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("fraction");
        QTest::newRow("fractions, one of them 0") << QByteArray("O2;T\n0;300\n0,05;300\n") << true;
        QTest::newRow("one of exactly 1 %") << QByteArray("O2;T\n1;300\n0,5;300\n") << false;
        QTest::newRow("a single low reading") << QByteArray("O2;T\n0,5;300\n") << false;
        QTest::newRow("all 0") << QByteArray("O2;T\n0;300\n0;300\n") << false;
        QTest::newRow("a negative one") << QByteArray("O2;T\n-0,1;300\n0,5;300\n") << false;
    }

    void oxygen_fractions()
    {
        QFETCH(QByteArray, input);
        QFETCH(bool, fraction);
        const LogRun run = run_log(input, TemperatureUnit::fahrenheit);
        QCOMPARE(run.out.contains("multiplique la columna por 100"), fraction);
    }

    // The counts of a log's rows, with the doubted ones from the first.
    void counts_of_doubted_rows()
    {
        StringSource source("O2;T\n3;300\n");
        StringSink sink;
        LogOptions options;
        options.fuel = Fuel::natural_gas;
        options.unit = TemperatureUnit::fahrenheit;
        options.target_o2 = 5.0; // less efficient than the reading
        const LogSummary summary = process_log(source, sink, options);
        QCOMPARE(q(counts_line(summary)),
                 QString("filas leídas: 1, calculadas: 1, con aviso: 1, fuera de rango: 0, con "
                         "error: 0, reajustadas: 0, dudosas: 1"));
        QVERIFY(!summary.complete());
    }

    // A log's output does not depend on how its bytes arrive, nor on its encoding: the
    // same text in UTF-16 or Windows-1252 comes back in that encoding, byte for byte
    // what the UTF-8 run gives, converted.
    void encodings_and_chunks_data()
    {
        QTest::addColumn<QByteArray>("utf8");
        QTest::addColumn<int>("encoding"); // Encoding
        QTest::addColumn<QByteArray>("bom");
        const QByteArray log = "Fecha;O₂ (%);Tª humos (°C);Nota\r\n"
                               "12/01;3,5;158,4;«Revisar» el filtro\r\n12/01;3,2;\"161,9\";\r\n";
        const auto e = [](Encoding encoding) { return static_cast<int>(encoding); };
        QTest::newRow("UTF-8") << log << e(Encoding::utf8) << QByteArray();
        QTest::newRow("UTF-16LE with BOM") << log << e(Encoding::utf16le) << QByteArray("\xFF\xFE");
        QTest::newRow("UTF-16BE with BOM") << log << e(Encoding::utf16be) << QByteArray("\xFE\xFF");
        QTest::newRow("header and separator split over a quoted line end")
            << QByteArray("O2,T\"\n\";;") << e(Encoding::utf8) << QByteArray();
        const QByteArray latin =
            "Fecha;O2;Temp. humos (°C);Combustible\r\n03/02;4,2;186,5;Gasóleo C\r\n";
        QTest::newRow("Windows-1252") << latin << e(Encoding::windows1252) << QByteArray();
    }

    void encodings_and_chunks()
    {
        QFETCH(QByteArray, utf8);
        QFETCH(int, encoding);
        QFETCH(QByteArray, bom);
        const auto convert = [](const std::string& text, Encoding to, Encoding from) {
            if (to == from)
                return text;
            Converter converter(to, from);
            std::string out(text.size() * 4 + 4, '\0');
            const char* in = text.data();
            std::size_t in_left = text.size();
            char* o = out.data();
            std::size_t out_left = out.size();
            converter.convert(in, in_left, o, out_left);
            out.resize(out.size() - out_left);
            return out;
        };
        const auto enc = static_cast<Encoding>(encoding);
        const std::string input = bytes(bom) + convert(bytes(utf8), enc, Encoding::utf8);
        LogOptions options;
        options.fuel = Fuel::natural_gas;
        StringSink reference;
        const std::string utf8_text = bytes(utf8);
        StringSource utf8_source(utf8_text);
        const LogSummary expected = process_log(utf8_source, reference, options);
        for (const std::size_t chunk : {std::size_t{1}, std::size_t{3}, input.size()}) {
            StringSource source(input, chunk);
            StringSink sink;
            const LogSummary summary = process_log(source, sink, options);
            QCOMPARE(summary.calculated, expected.calculated);
            QCOMPARE(q(convert(sink.text.substr(bom.size()), Encoding::utf8, enc)),
                     q(reference.text));
            QVERIFY(sink.text.starts_with(bytes(bom)));
        }
    }

    // Dates as logs write them, read whatever the locale; one that does not exist is
    // none, never another day.
    void dates_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<QString>("moment"); // as the chart writes it; empty: not a date
        const auto row = [](const char* name, const char* cell, const char* moment) {
            QTest::newRow(name) << QString(cell) << QString(moment);
        };
        row("ISO 8601 date", "2026-02-14", "14/02/2026");
        row("ISO 8601 with a T and seconds", "2026-02-14T09:12:05", "14/02/2026 09:12");
        row("ISO 8601 with a zone, left as written", "2026-02-14T23:30:00+01:00",
            "14/02/2026 23:30");
        row("ISO 8601 in UTC", "2026-02-14T09:12Z", "14/02/2026 09:12");
        row("ISO 8601 with a space", "2026-02-14 09:12", "14/02/2026 09:12");
        row("day first", "14/02/2026", "14/02/2026");
        row("day first with a time", "14/02/2026 9:05", "14/02/2026 09:05");
        row("day first with seconds and blanks", " 03/11/2025 18:00:59 ", "03/11/2025 18:00");
        row("hyphens and a two-digit year", "3-11-25", "03/11/2025");
        row("points", "03.11.2025 07:30", "03/11/2025 07:30");
        row("a leap day", "29/02/2024", "29/02/2024");
        row("no leap day in 2026", "29/02/2026", "");
        row("31 April", "31/04/2026", "");
        row("month 13 (a US date)", "02/14/2026", "");
        row("no year", "14/02", "");
        row("hour 25", "14/02/2026 25:00", "");
        row("ISO 8601 with one-digit month", "2026-2-14", "");
        row("a time left unfinished", "14/02/2026 09:", "");
        row("words", "ayer", "");
        row("empty", "", "");
    }

    void dates()
    {
        QFETCH(QString, cell);
        QFETCH(QString, moment);
        const auto read = date_of(cell.toStdString());
        QCOMPARE(read.has_value(), !moment.isEmpty());
        if (read)
            QCOMPARE(q(moment_text(read->since_epoch(), read->seconds.has_value())), moment);
    }

    // The month each row of a date column lands in, in the summary and on the chart:
    // every shape of date, and a column's order settled late, never settled, given, or
    // contradicted by a row.
    void date_shapes_data()
    {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QString>("order");      // --formato-fecha; empty: none
        QTest::addColumn<QStringList>("months"); // of each row
        QTest::addColumn<QString>("note");       // a part of the notes, when not empty
        const QString none = "(sin fecha)";
        const auto row = [](const char* name, const QStringList& cells, const QString& order,
                            const QStringList& months, const QString& note = {}) {
            QTest::newRow(name) << cells << order << months << note;
        };
        row("ISO 8601, with a zone; year first with slashes",
            {"2026-02-14T23:30:00+01:00", "2026/03/01"}, "", {"2026-02", "2026-03"});
        row("day first, shown by a day over 12", {"14/02/2026 09:05"}, "", {"2026-02"});
        row("month first, shown by a day over 12", {"02/14/2026"}, "", {"2026-02"},
            "las fechas de «Fecha» van con el mes primero (mm/dd), como muestra la línea 2");
        row("a year of two digits", {"14-02-26"}, "", {"2026-02"});
        row("the same number both ways", {"05/05/2026"}, "", {"2026-05"});
        row("Excel serials, with and without a time; one out of range",
            {"46027,92222", "46059", "46090.5", "12345"}, "",
            {"2026-01", "2026-02", "2026-03", none});
        row("month names in Spanish",
            {"15 ene. 2026 08:30", "3 feb 2026", "3 de marzo de 2026", "marzo 2026", "3-abr-26",
             "1 Septiembre 2026"},
            "", {"2026-01", "2026-02", "2026-03", "2026-03", "2026-04", "2026-09"});
        row("month names in English", {"Mar 3, 2026", "March 3 2026 10:15", "3 Dec 2026"}, "",
            {"2026-03", "2026-03", "2026-12"});
        row("not dates", {"3 mas 2026", "31/04/2026", "13/13/2026", "2026-2-14", "Mar 2026x"}, "",
            {none, none, none, none, none});
        row("settled late, day first", {"03/04/2026", "05/06/2026", "20/06/2026"}, "",
            {"2026-04", "2026-06", "2026-06"});
        row("settled late, month first", {"03/04/2026", "05/06/2026", "06/20/2026"}, "",
            {"2026-03", "2026-05", "2026-06"}, "van con el mes primero (mm/dd)");
        row("never settled: day first, and said", {"03/04/2026", "05/06/2026"}, "",
            {"2026-04", "2026-06"},
            "las fechas de «Fecha» se leen con el día primero (dd/mm): ninguna tiene un número "
            "mayor que 12 que diga cuál es el día; si van con el mes primero, léalo con mm/dd");
        row("contradicted: the row has no date", {"25/01/2026", "01/30/2026", "02/02/2026"}, "",
            {"2026-01", none, "2026-02"},
            "1 fila con la fecha en otro orden que la columna «Fecha», que va con el día primero "
            "(dd/mm) como muestra la línea 2 (la primera en la línea 3: «01/30/2026»): queda sin "
            "fecha");
        row("month first given", {"03/04/2026", "25/01/2026"}, "mm/dd", {"2026-03", none},
            "fecha en otro orden que la columna «Fecha», que va con el mes primero (mm/dd) como se "
            "pidió");
        row("year first given", {"2026-03-04", "03/04/2026"}, "aaaa-mm-dd", {"2026-03", none},
            "fecha en otro orden que la columna «Fecha», que va con el año primero (aaaa-mm-dd) "
            "como se pidió");
    }

    void date_shapes()
    {
        QFETCH(QStringList, cells);
        QFETCH(QString, order);
        QFETCH(QStringList, months);
        QFETCH(QString, note);
        const QString none = "(sin fecha)";
        // Each row its own boiler, so that its group and its series tell where it went.
        std::string input = "Fecha;Caldera;O2;T\n";
        for (qsizetype i = 0; i < cells.size(); ++i)
            input += cells[i].toStdString() + ";r" + std::to_string(i) + ";3;300\n";
        StringSource source(input);
        StringSink sink;
        ChartData data;
        LogOptions options;
        options.fuel = Fuel::natural_gas;
        options.grouping = Grouping::month;
        options.chart = &data;
        if (!order.isEmpty())
            options.date_order = order_named(order.toStdString());
        const LogSummary summary = process_log(source, sink, options);
        QStringList grouped;
        QStringList charted;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const std::string boiler = "r" + std::to_string(i);
            for (const Group& group : summary.groups) {
                if (group.boiler == boiler)
                    grouped << q(month_text(group.month));
            }
            QString drawn = none;
            for (const ChartPanel& panel : data.chart("x").panels) {
                if (panel.boiler == boiler)
                    drawn = q(month_text(month_of(static_cast<std::int64_t>(
                        std::floor(panel.series.at(0).x.at(0) / 86400)))));
            }
            charted << drawn;
        }
        QCOMPARE(grouped, months);
        if (months.count(none) < months.size())
            QCOMPARE(charted, months);
        QString notes;
        for (const Note& line : summary.notes)
            notes += q(worded(line, plain_words)) + "\n";
        if (!note.isEmpty())
            QVERIFY2(notes.contains(note), qPrintable(notes));
        // A row that contradicts its column's order says so, and the status too.
        const bool contradicted = note.contains("otro orden");
        QCOMPARE(summary.misdated > 0, contradicted);
        QCOMPARE(q(sink.text).contains("La fecha «"), contradicted);
        QCOMPARE(summary.complete(), !months.contains(none));
    }

    void moments_and_months()
    {
        QCOMPARE_EXACT(date_of("2026-02-14T09:12:05")->since_epoch(), 1771060325.0);
        QCOMPARE_EXACT(date_of("29/02/2024")->since_epoch(), 1709164800.0);
        QCOMPARE(time_of("9:05:30"), std::optional<std::int32_t>(32730));
        QCOMPARE(time_of("24:00"), std::optional<std::int32_t>());
        QCOMPARE(q(month_text(month_of(date_of("31/12/2025")->days))), QString("2025-12"));
        QCOMPARE(q(month_text(month_of(date_of("01/01/2026")->days))), QString("2026-01"));
    }

    // The summary's groups: each boiler, each month (of each boiler), rows without a
    // readable date left out of the months and said so.
    void groups_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("grouping");       // -1: the default
        QTest::addColumn<QStringList>("groups"); // boiler|month|rows|calculated|mean efficiency
        QTest::addColumn<QString>("note");       // a part of the notes, when not empty
        const int automatic = -1;
        const int boiler = static_cast<int>(Grouping::boiler);
        const int month = static_cast<int>(Grouping::month);
        const int none = static_cast<int>(Grouping::none);
        const QByteArray boilers = "Fecha;Caldera;O2;T\n"
                                   "30/01/2026;B;3;300\n"
                                   "31/01/2026;A;3;300\n"
                                   "01/02/2026;B;abc;300\n"
                                   "01/02/2026;B;5;300\n"
                                   "02/02/2026; ;3;300\n";
        QTest::newRow("by boiler by default, in the log's order, a blank one apart")
            << boilers << automatic << QStringList{"B||3|2|83,73", "A||1|1|83,94", "||1|1|83,94"}
            << QString();
        QTest::newRow("no grouping asked") << boilers << none << QStringList{} << QString();
        QTest::newRow("months of each boiler")
            << boilers << month
            << QStringList{"B|2026-01|1|1|83,94", "B|2026-02|2|1|83,51", "A|2026-01|1|1|83,94",
                           "|2026-02|1|1|83,94"}
            << QString();
        const QByteArray dated = "Fecha y hora,O2,T\n"
                                 "2026-03-01T10:00,3,300\n"
                                 "2026-01-31 23:59,3,300\n"
                                 "2026-02-30T10:00,3,300\n"
                                 ",5,300\n"
                                 "2026-03-02T10:00,5,300\n";
        QTest::newRow("months in order, without boilers; unreadable dates last, kept")
            << dated << month
            << QStringList{"|2026-01|1|1|83,94", "|2026-03|2|2|83,73", "|(sin fecha)|2|2|83,73"}
            << "2 filas sin fecha legible (la primera en la línea 4: «2026-02-30T10:00»): van en "
               "el mes (sin fecha)";
        QTest::newRow("no groups by default without boilers")
            << dated << automatic << QStringList{} << QString();
        QTest::newRow("boilers whatever their case, accents and blanks, as first written")
            << QByteArray("Caldera;O2;T\nCaldera Señora;3;300\ncaldera senora ;5;300\nB;3;300\n")
            << automatic << QStringList{"Caldera Señora||2|2|83,73", "B||1|1|83,94"}
            << "«caldera senora» se cuenta como «Caldera Señora»";
        const QByteArray split = "Fecha;Hora;O2;T\n31/01/2026;23:00;3;300\n01/02/2026;x;3;300\n";
        QTest::newRow("a date with its time beside it; a time that is none")
            << split << month << QStringList{"|2026-01|1|1|83,94", "|(sin fecha)|1|1|83,94"}
            << "1 fila sin fecha legible (la primera en la línea 3: «01/02/2026»)";
        QTest::newRow("by boiler without a boiler column")
            << dated << boiler << QStringList{} << "no hay columna de caldera";
        QTest::newRow("by month without a date column")
            << QByteArray("Caldera,O2,T\nA,3,300\n") << month << QStringList{}
            << "no hay columna de fecha";
    }

    void groups()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, grouping);
        QFETCH(QStringList, groups);
        QFETCH(QString, note);
        LogOptions options;
        options.fuel = Fuel::natural_gas;
        if (grouping >= 0)
            options.grouping = static_cast<Grouping>(grouping);
        const std::string text = bytes(input);
        StringSource source(text);
        StringSink sink;
        LogSummary summary;
        try {
            summary = process_log(source, sink, options);
        } catch (const LogError& error) {
            QVERIFY2(!note.isEmpty() && QString(error.what()).contains(note), error.what());
            QVERIFY(sink.text.empty());
            return;
        }
        QStringList found;
        for (const Group& group : summary.groups) {
            const auto efficiency =
                std::find_if(group.results.begin(), group.results.end(),
                             [](const auto& r) { return r.first == "eficiencia"; });
            found << q(group.boiler) + "|" +
                    (summary.grouping == Grouping::month ? q(month_text(group.month)) : "") + "|" +
                    QString::number(group.read) + "|" + QString::number(efficiency->second.count) +
                    "|" + q(shown_result(efficiency->second.mean())).trimmed().replace('.', ',');
        }
        QCOMPARE(found, groups);
        // The lines and the CSV give one line a group, and a heading.
        QCOMPARE(group_lines(summary).size(), groups.isEmpty() ? 0 : groups.size() + 1);
        QCOMPARE(q(summary_csv(summary)).count('\n'),
                 groups.isEmpty() ? summary.results.size() + 1 : groups.size() + 1);
        if (!note.isEmpty()) {
            QString notes;
            for (const Note& line : summary.notes)
                notes += q(worded(line, plain_words)) + "\n";
            QVERIFY2(notes.contains(note), qPrintable(notes));
        }
    }

    // A column that names boilers without a boiler's header is pointed out: a few short
    // texts, some repeated, in the first rows.
    void boiler_like_columns_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("note"); // empty: none
        QTest::newRow("a few names that repeat")
            << QByteArray("Sala;O2;T\nNorte;3;300\nSur;3;300\nNorte;3;300\nSur;3;300\n")
            << "la columna «Sala» (1) parece nombrar calderas («Norte», «Sur»), y no hay columna "
               "de caldera: el resumen y el gráfico no las separan; si lo es, nómbrela como la de "
               "caldera";
        QTest::newRow("notes that do not repeat")
            << QByteArray("Nota;O2;T\na;3;300\nb;3;300\nc;3;300\nd;3;300\n") << QString();
        QTest::newRow("numbers") << QByteArray("Serie;O2;T\n1;3;300\n2;3;300\n1;3;300\n2;3;300\n")
                                 << QString();
        QTest::newRow("too few rows to tell")
            << QByteArray("Sala;O2;T\nNorte;3;300\nSur;3;300\nNorte;3;300\n") << QString();
        QTest::newRow("a boiler column already")
            << QByteArray("Caldera;Sala;O2;T\nA;N;3;300\nA;S;3;300\nB;N;3;300\nB;S;3;300\n")
            << QString();
    }

    void boiler_like_columns()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, note);
        const LogRun run = run_log(input, TemperatureUnit::fahrenheit);
        QStringList said;
        for (const Note& line : run.summary.notes) {
            if (const QString text = q(worded(line, plain_words)); text.contains("calderas"))
                said << text;
        }
        QCOMPARE(said, note.isEmpty() ? QStringList() : QStringList{note});
    }

    // Over time, but no date can be read: the chart goes over the lines, never from 1970.
    void chart_without_readable_dates()
    {
        StringSource source("Fecha;Caldera;O2;T\npendiente;A;3;300\n?;B;4;320\n;A;3,5;310\n");
        StringSink sink;
        ChartData data;
        LogOptions options;
        options.fuel = Fuel::natural_gas;
        options.chart = &data;
        const LogSummary summary = process_log(source, sink, options);
        const Chart chart = data.chart("x.csv");
        QVERIFY(!chart.over_time);
        QCOMPARE(q(chart.x.label), QString("Línea del registro"));
        QCOMPARE(chart.rows, std::uint64_t{3});
        QCOMPARE(chart.panels.front().series.front().x, (std::vector<double>{2, 4}));
        QCOMPARE(q(worded(summary.notes.back(), plain_words)),
                 QString("ninguna fila tiene una fecha legible: el gráfico va por la línea del "
                         "registro"));
        // Nothing to draw has no time to show either.
        StringSource nothing("Fecha;O2;T\n2026-01-01;abc;300\n");
        ChartData none;
        options.chart = &none;
        process_log(nothing, sink, options);
        QVERIFY(!none.chart("x.csv").over_time);
        QVERIFY(none.chart("x.csv").panels.empty());
    }

    // The chart: a panel for each boiler with a series for each measure, point for point
    // while a log is short, the rows with notices and those outside the model marked at
    // their O2.
    void chart_of_a_short_log()
    {
        const std::string input = "Fecha;Hora;Caldera;O2;CO2;T\n"
                                  "01/02/2026;08:00;A;3;7;300\n"
                                  "01/02/2026;09:00;B;4;;320\n"
                                  "01/02/2026;10:00;A;-1;;300\n"
                                  "01/02/2026;11:00;A;3,5;;310\n"
                                  "01/02/2026;12:00;A;abc;;310\n";
        StringSource source(input);
        StringSink sink;
        ChartData data;
        LogOptions options;
        options.fuel = Fuel::natural_gas;
        options.chart = &data;
        process_log(source, sink, options);
        const Chart chart = data.chart("registro.csv");
        QVERIFY(chart.over_time);
        QCOMPARE(q(chart.title), QString("Eficiencia y O2 de registro.csv"));
        QCOMPARE(q(chart.x.label), QString("Fecha"));
        QStringList series;
        for (const ChartPanel& panel : chart.panels) {
            for (const ChartSeries& s : panel.series) {
                QCOMPARE(s.x.size(), s.y.size());
                series << q(panel.title) + ": " + q(s.name) + " " + QString::number(s.x.size());
            }
        }
        QCOMPARE(series,
                 QStringList({"A: Bruta 2", "A: Neta 2", "A: O2 2", "A: Fuera del modelo 1",
                              "A: Con aviso 1", "B: Bruta 1", "B: Neta 1", "B: O2 1"}));
        // An O2 below the axis's range is drawn at its edge, and counted.
        const ChartSeries& outside = chart.panels[0].series[3];
        QCOMPARE_EXACT(outside.y.front(), 0.0);
        QCOMPARE(chart.clipped, std::uint64_t{1});
        QCOMPARE_EXACT(outside.x.front(), date_of("01/02/2026 10:00")->since_epoch());
        // The CO2 that does not match the O2 is a notice on the first row.
        QCOMPARE_EXACT(chart.panels[0].series[4].x.front(),
                       date_of("01/02/2026 08:00")->since_epoch());
        QCOMPARE(chart.rows, std::uint64_t{5});
    }

    // A long series is thinned to a bounded number of points that keeps every extreme.
    void chart_of_a_long_log()
    {
        std::string input = "O2,T\n";
        for (int i = 0; i < 10000; ++i)
            input += (i == 6789 ? "1,600\n" : "3,300\n");
        StringSource source(input);
        StringSink sink;
        ChartData data(100);
        LogOptions options;
        options.fuel = Fuel::natural_gas;
        options.chart = &data;
        process_log(source, sink, options);
        const Chart chart = data.chart("x.csv");
        QVERIFY(!chart.over_time);
        QCOMPARE(q(chart.x.label), QString("Línea del registro"));
        QCOMPARE(chart.panels.front().series.size(), std::size_t{3});
        const ChartSeries& gross = chart.panels.front().series.front();
        QVERIFY(gross.x.size() <= 200 && gross.x.size() >= 50);
        QVERIFY(std::is_sorted(gross.x.begin(), gross.x.end()));
        const auto lowest = std::min_element(gross.y.begin(), gross.y.end());
        QCOMPARE_EXACT(gross.x.at(static_cast<std::size_t>(lowest - gross.y.begin())), 6791.0);
        QCOMPARE_EXACT(gross.x.front(), 2.0);
    }

    // A chart stays bounded and says what it leaves out: the worst boilers of many, the
    // boilers past those it follows, values no axis can show, moments far from all others.
    void chart_bounds()
    {
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        const auto names = [](const Chart& chart) {
            QStringList boilers;
            for (const ChartPanel& panel : chart.panels)
                boilers << q(panel.boiler);
            return boilers;
        };
        ChartData many;
        for (int b = 0; b < 60; ++b) {
            for (int i = 0; i < 100; ++i)
                many.add("C" + std::to_string(b), i, {80.0 + b % 20 + (b == 59 ? -30 : 0), nan, 3});
        }
        Chart chart = many.chart("x");
        QCOMPARE(chart.boilers, std::uint64_t{60});
        QCOMPARE(chart.boilers_charted, std::uint64_t{50});
        // The best ten of C0 to C58 (efficiency 80 + b % 20) are left out, C59 is the worst.
        const QStringList charted = names(chart);
        QCOMPARE(charted.size(), 50);
        QVERIFY(charted.contains("C59") && charted.contains("C0") && !charted.contains("C19"));
        QCOMPARE(
            q(chart_notes(chart).at(0)),
            QString(
                "el gráfico muestra las 50 calderas de menor eficiencia media, de 60 calderas"));

        // Past the boilers it follows, rows are counted; each series gets its share of
        // the points.
        ChartData crowd;
        for (std::size_t b = 0; b < ChartData::most_boilers + 5; ++b) {
            for (int i = 0; i < 300; ++i)
                crowd.add("C" + std::to_string(b), i, {80, nan, 3});
        }
        chart = crowd.chart("x");
        QCOMPARE(chart.rows_untracked, std::uint64_t{1500}); // 5 boilers of 300 rows
        // 20 buckets each, 2 points a bucket
        QVERIFY(chart.panels.front().series.front().x.size() <= std::size_t{40});

        // No number, beyond the axis, far in time, names that cannot be shown.
        ChartData odd;
        odd.set_over_time(true);
        const double day = 86400;
        for (int i = 0; i < 30; ++i)
            odd.add("A\xFF", 1.7e9 + i * day, {80, nan, 3});
        odd.add("A\xFF", 1.7e9 - 1000 * 365 * day, {80, nan, 3});
        odd.add("A\xFF", 1.7e9, {nan, nan, 3});
        odd.add("A\xFF", 1.7e9 + 0.5 * day, {80, nan, 1e16});
        odd.mark("A\xFF", Measure::outside, 1.7e9, -1e20);
        odd.mark("A\xFF", Measure::outside, 1.7e9, 21); // the axis's edge is within it
        chart = odd.chart("r\x01.csv");
        QCOMPARE(chart.not_numbers, std::uint64_t{1});
        QCOMPARE(chart.clipped, std::uint64_t{2});
        QCOMPARE(chart.far_in_time, std::uint64_t{1});
        QCOMPARE(chart.replaced, std::uint64_t{2});
        QCOMPARE(q(chart.title), QString("Eficiencia y O2 de r\uFFFD.csv"));
        const ChartSeries& o2 = chart.panels.front().series.at(1); // no net
        QCOMPARE(o2.measure, Measure::o2);
        QCOMPARE(*std::max_element(o2.y.begin(), o2.y.end()), 21.0);
        QCOMPARE(chart_notes(chart).size(), std::size_t{4});

        // A name shown as another is shown is still its own boiler.
        ChartData alike;
        alike.add("X\xFF", 1, {80, nan, 3});
        alike.add("X\xEF\xBF\xBD", 2, {81, nan, 3});
        QCOMPARE(alike.chart("x").boilers, std::uint64_t{2});
    }

    // Rows counted by what became of them: a CO past the limit is dangerous and doubtful,
    // also in a reading the model does not describe (the CO air-free needs only the O2);
    // a negative one only doubtful.
    void rows_by_kind_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QList<quint64>>("counts"); // calculated, out of range, errors,
                                                    // doubtful, dangerous CO
        const QByteArray header = "O2,CO,T\n";
        QTest::newRow("a CO past the limit") << header + "3,900,300\n3,20,300\n"
                                             << QList<quint64>{2, 0, 0, 1, 1};
        QTest::newRow("at the limit is not past it") << header + "0,400,300\n"
                                                     << QList<quint64>{1, 0, 0, 0, 0};
        QTest::newRow("a negative CO") << header + "3,-4,300\n" << QList<quint64>{1, 0, 0, 1, 0};
        QTest::newRow("out of range with a CO past the limit") << header + "19,900,300\n"
                                                               << QList<quint64>{0, 1, 0, 1, 1};
        QTest::newRow("an unreadable CO after a dangerous one") << header + "3,900,300\n3,abc,300\n"
                                                                << QList<quint64>{1, 0, 1, 1, 1};
    }

    void rows_by_kind()
    {
        QFETCH(QByteArray, log);
        QFETCH(QList<quint64>, counts);
        const LogSummary summary = run_log(log, std::nullopt).summary;
        QCOMPARE((QList<quint64>{summary.calculated, summary.out_of_range, summary.with_errors,
                                 summary.doubtful, summary.dangerous_co}),
                 counts);
    }

    // A JSON text is UTF-8 whatever the bytes given: escapes where JSON wants them, each
    // byte that is not part of a UTF-8 character as U+FFFD.
    void json_strings_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("plain") << QByteArray("Sala norte") << QByteArray("\"Sala norte\"");
        // Escaped, not raw: moc cannot read a raw string literal.
        QTest::newRow("quote and backslash")
            << QByteArray("a\"b\\c")
            << QByteArray("\"a\\\"b\\\\c\""); // NOLINT(modernize-raw-string-literal)
        QTest::newRow("controls")
            << QByteArray("a\tb\n\x01")
            << QByteArray("\"a\\u0009b\\u000a\\u0001\""); // NOLINT(modernize-raw-string-literal)
        QTest::newRow("two, three and four bytes kept")
            << QByteArray("\xC2\xB0\xE2\x82\xAC\xF0\x9F\x94\xA5")
            << QByteArray("\"\xC2\xB0\xE2\x82\xAC\xF0\x9F\x94\xA5\"");
        QTest::newRow("windows-1252 byte")
            << QByteArray("a\xF1o") << QByteArray("\"a\xEF\xBF\xBDo\"");
        QTest::newRow("lone continuation") << QByteArray("\x80") << QByteArray("\"\xEF\xBF\xBD\"");
        QTest::newRow("overlong") << QByteArray("\xC0\xAF")
                                  << QByteArray("\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
        QTest::newRow("overlong of three")
            << QByteArray("\xE0\x80\xAF") << QByteArray("\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
        QTest::newRow("surrogate")
            << QByteArray("\xED\xA0\x80") << QByteArray("\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
        QTest::newRow("past U+10FFFF") << QByteArray("\xF4\x90\x80\x80")
                                       << QByteArray("\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                                                     "\xEF\xBF\xBD\"");
        QTest::newRow("cut at the end")
            << QByteArray("x\xE2\x82") << QByteArray("\"x\xEF\xBF\xBD\xEF\xBF\xBD\"");
    }

    void json_strings()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, json);
        Json written;
        written.value(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
        QCOMPARE(QByteArray::fromStdString(written.take()), json);
    }

    // Numbers with a decimal point in a locale with a decimal comma too, and null where
    // JSON has no number.
    void json_numbers()
    {
        const std::string saved = std::setlocale(LC_ALL, nullptr);
        bool comma = false;
        for (const char* name : {"es_ES.UTF-8", "es_ES.utf8", "de_DE.UTF-8", "de_DE.utf8"})
            comma = comma || std::setlocale(LC_ALL, name) != nullptr;
        Json json;
        json.open('[');
        for (const double x : {82.5, 0.1, -0.508644459881123, 1e21, 0.0})
            json.value(x, 12);
        json.value(0.1);
        json.value(std::numeric_limits<double>::quiet_NaN());
        json.value(-std::numeric_limits<double>::infinity());
        json.count(18446744073709551615ULL);
        json.close(']');
        std::setlocale(LC_ALL, saved.c_str());
        QCOMPARE(QString::fromStdString(json.take()),
                 QString("[82.5,0.1,-0.508644459881,1e+21,0,0.10000000000000001,null,null,"
                         "18446744073709551615]"));
        if (!comma)
            QSKIP("no comma-decimal locale installed (scripts/install-deps.sh makes es_ES.UTF-8)");
    }
};

QTEST_APPLESS_MAIN(TestLog)
#include "test_log.moc"
