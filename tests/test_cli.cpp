// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/csv_log.h"
#include "cli/encoding.h"
#include "cli/numbers.h"
#include "cli/table.h"
#include "cli/usage_error.h"
#include "fake_window.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <charconv>

using namespace quemador;
using namespace quemador::cli;

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

Run run_calc(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(QUEMADOR_CALC), args);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// What the window's two result boxes show after a click, as quemador1-calc prints them.
QString window_results(bool gas, const char* o2, const char* temp)
{
    FakeWindow window;
    window.choose_gas(gas);
    window.box(Input::O2) = o2;
    window.box(Input::Temp_stack) = temp;
    Calcular_Click(window);
    return "Exceso de aire (%): " + q(window.box(CalculatorWindow::ResultBox::Relacion_AF)) +
        "\nEficiencia (%):     " + q(window.box(CalculatorWindow::ResultBox::Eficiencia)) + "\n";
}

struct LogRun {
    QByteArray out;
    QStringList reports;
    LogSummary summary;
    QString usage_error;
};

LogRun run_log(const QByteArray& input, std::optional<TemperatureUnit> unit)
{
    LogRun run;
    StringSource source(
        std::string_view(input.constData(), static_cast<std::size_t>(input.size())));
    StringSink sink;
    LogOptions options;
    options.fuel = Fuel::natural_gas;
    options.unit = unit;
    options.report = [&](std::string_view line) { run.reports << q(std::string(line)); };
    try {
        run.summary = process_log(source, sink, options);
    } catch (const UsageError& error) {
        run.usage_error = error.what();
    }
    run.out = QByteArray::fromStdString(sink.text);
    return run;
}

std::string bytes(const QByteArray& text)
{
    return {text.constData(), static_cast<std::size_t>(text.size())};
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void command_line_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");   // the whole standard output, or after '*' a part
        QTest::addColumn<QString>("error"); // a part of standard error, when not empty

        const auto row = [](const char* name, const QStringList& args, int status,
                            const QString& out, const QString& error) {
            QTest::newRow(name) << args << status << out << error;
        };
        const QStringList gas = {"--combustible", "gas"};
        const QStringList oil = {"-c", "fueloil"};

        row("natural gas as the window", gas + QStringList{"--o2", "3", "--temp", "300"}, 0,
            window_results(true, "3", "300"), "");
        row("fuel oil as the window", oil + QStringList{"--o2", "5", "--temp", "400"}, 0,
            window_results(false, "5", "400"), "");
        row("decimal comma", gas + QStringList{"--o2", "3,5", "--temp", "300"}, 0,
            window_results(true, "3.5", "300"), "");
        row("negative reading: the window's numbers, status 1",
            oil + QStringList{"--o2", "-1", "--temp", "300"}, 1, window_results(false, "-1", "300"),
            "aviso: O2 de -1 %");
        row("room air: the window's numbers, status 1",
            gas + QStringList{"--o2", "20.9", "--temp", "77"}, 1,
            window_results(true, "20.9", "77"),
            "aviso: O2 de 20.9 %: los humos no pueden tener tanto oxígeno");
        row("heating gas oil by its Spanish name",
            QStringList{"-c", "Gasóleo C", "--o2", "5", "--temp", "400"}, 0,
            window_results(false, "5", "400"), "");
        row("Celsius converted first", gas + QStringList{"--o2", "3", "--temp", "150", "--celsius"},
            0, window_results(true, "3", "302"), "");
        row("advice on standard error",
            gas + QStringList{"--o2", "3", "--co2", "3", "--temp", "300"}, 0,
            window_results(true, "3", "300"), "aviso: CO2 de 3 %");

        row("letters", gas + QStringList{"--o2", "abc", "--temp", "300"}, 2, "",
            "--o2 no es un número: «abc»");
        row("trailing unit", gas + QStringList{"--o2", "3", "--temp", "150C"}, 2, "", "«150C»");
        row("exponent", gas + QStringList{"--o2", "1e3", "--temp", "300"}, 2, "", "«1e3»");
        row("two separators", gas + QStringList{"--o2", "3.5,1", "--temp", "300"}, 2, "", "--o2");
        row("infinity", gas + QStringList{"--o2", "3", "--temp", "inf"}, 2, "", "--temp");
        row("empty", gas + QStringList{"--o2", "", "--temp", "300"}, 2, "", "--o2");
        row("missing reading", gas + QStringList{"--o2", "3"}, 2, "", "falta --temp");
        row("a fuel the program does not have",
            QStringList{"-c", "GLP", "--o2", "3", "--temp", "300"}, 2, "",
            "«GLP»; el programa calcula con gas natural o con fuel oil Nº 2 (gasóleo C)");
        row("unknown option", QStringList{"--oxigeno", "3"}, 2, "", "argumento no esperado");
        row("stray argument named whole", QStringList{"gas"}, 2, "",
            "argumento no esperado: gas (vea --help)");
        row("default table temperatures", QStringList{"--tabla", "--o2", "3"}, 0,
            "* O2 %   Exceso de aire %   200 °F   300 °F   400 °F   500 °F   600 °F\n", "");
        row("option without its value", gas + QStringList{"--o2"}, 2, "",
            "falta el valor de --o2 (vea --help)");
        row("missing file", QStringList{"--csv", "/nonexistent/log.csv"}, 2, "", "no existe");
        row("csv with a reading", QStringList{"--csv", "-", "--o2", "3"}, 2, "", "--o2 no se usa");
        row("oxygen of 21 %", gas + QStringList{"--o2", "21", "--temp", "300"}, 1, "",
            "División por cero (error 11). Compruebe la lectura de oxígeno: debe ser menor que 21 "
            "%.\n");
        row("result too large to round", gas + QStringList{"--o2", "211115", "--temp", "33.062"}, 1,
            "", "Desbordamiento (error 6)");
        row("table cell without result", QStringList{"--tabla", "--o2", "3, 21"}, 1, "",
            "O2 21: no se puede calcular");
        row("table list read two ways", QStringList{"--tabla", "--o2", "3,5"}, 2, "",
            "escriba 3.5 para un valor (3,5) o «3, 5» para dos (3 y 5)");
        row("table for a Spanish Excel",
            QStringList{"--tabla", "--formato", "csv", "--separador", ";", "--o2", "3.5", "--temp",
                        "300:400:100"},
            0, "o2_pct;exceso_aire_pct;ef_300F;ef_400F\n3,5;18,74;83,85;81,42\n", "");
        row("separator without a CSV table", QStringList{"--tabla", "--separador", ";"}, 2, "",
            "--separador solo se usa con --tabla --formato csv");
        row("unknown encoding", QStringList{"--csv", "-", "--codificacion", "latin9"}, 2, "",
            "codificación desconocida: «latin9»");
        row("version", QStringList{"--version"}, 0, "quemador1-calc 1.0.0\n", "");
        row("help in Spanish", QStringList{"--help"}, 0,
            "*Uso: quemador1-calc [OPCIONES]\n\nOpciones:\n", "");

        // Past the window's two lines: each figure with its basis.
        const QString analyser = "Exceso de aire (%):  15.66\nEficiencia (%):      82.61\n"
                                 "Eficiencia neta (%):           92.69   (sobre el PCI, fórmula "
                                 "de Siegert, aire a 20 °C)\n";
        const QString corrected = "Eficiencia corregida (%):      82.8    (sobre el PCS, con los "
                                  "humos menos el aire más 60 °F, aire a 20 °C)\n";
        const QStringList reading = gas + QStringList{"--o2", "3", "--temp", "180", "--celsius"};
        row("net and corrected with the air", reading + QStringList{"--aire", "20"}, 0,
            analyser + corrected, "");
        row("net with the air assumed", gas + QStringList{"--o2", "3", "--temp", "300"}, 0,
            "Exceso de aire (%):  15.66\nEficiencia (%):      83.94\nEficiencia neta (%):      "
            "     93.91   (sobre el PCI, fórmula de Siegert, aire a 60 °F, supuesto)\n",
            "");
        row("saving at a target", reading + QStringList{"--aire", "20", "--objetivo-o2", "2"}, 0,
            analyser + corrected +
                "Eficiencia en el objetivo (%): 83.01   (sobre el PCS, O2 2 %)\nAhorro de "
                "combustible (%):     0.25    (1 − eficiencia / eficiencia en el objetivo, sobre "
                "el PCS)\n",
            "");
        row("a target with its own temperature",
            reading + QStringList{"--objetivo-o2", "2", "--objetivo-temp", "150"}, 0,
            "Exceso de aire (%):  15.66\nEficiencia (%):      82.61\nEficiencia neta (%):      "
            "     92.49   (sobre el PCI, fórmula de Siegert, aire a 15.56 °C, "
            "supuesto)\nEficiencia "
            "en el objetivo (%): 84.07   (sobre el PCS, O2 2 %, humos a 150 °C)\nAhorro de "
            "combustible (%):     1.74    (1 − eficiencia / eficiencia en el objetivo, sobre el "
            "PCS)\n",
            "");
        row("air hotter than the flue gas",
            gas + QStringList{"--o2", "3", "--temp", "300", "--aire", "400"}, 0,
            "Exceso de aire (%):  15.66\nEficiencia (%):      83.94\n",
            "aviso: El aire de combustión (400 °F) está más caliente que los humos (300 °F)");
        row("notices in the unit of --temp",
            gas + QStringList{"--o2", "3", "--temp", "150", "--celsius", "--aire", "200"}, 0,
            "Exceso de aire (%):  15.66\nEficiencia (%):      83.9\n",
            "aviso: El aire de combustión (200 °C) está más caliente que los humos (150 °C)");
        row("a stack temperature below the air's, in °C",
            gas + QStringList{"--o2", "3.0", "--temp", "10", "--celsius"}, 1,
            "Exceso de aire (%):  15.66\nEficiencia (%):      89.89\n",
            "aviso: Temperatura de 10 °C: está por debajo de los 15.6 °C (60 °F)");
        row("readings quoted as typed",
            gas + QStringList{"--o2", "3.0", "--co2", "7", "--temp", "300"}, 0,
            "Exceso de aire (%):  15.66\nEficiencia (%):      83.94\n"
            "Eficiencia neta (%):           93.91   (sobre el PCI, fórmula de Siegert, aire a "
            "60 °F, supuesto)\n",
            "aviso: CO2 de 7 % no cuadra con O2 de 3.0 %");
        row("air not a number", reading + QStringList{"--aire", "20C"}, 2, "",
            "--aire no es un número");
        row("target oxygen of the air", reading + QStringList{"--objetivo-o2", "20.9"}, 2, "",
            "--objetivo-o2 debe ser al menos 0 y menor que el 20.9 % del aire");
        row("target temperature alone", reading + QStringList{"--objetivo-temp", "150"}, 2, "",
            "--objetivo-temp solo se usa con --objetivo-o2");
        row("net table",
            QStringList{"--tabla", "--base", "neta", "--o2", "3", "--temp", "180", "--celsius",
                        "--aire", "20", "--formato", "csv"},
            0, "o2_pct,exceso_aire_pct,ef_180C\n3,15.66,92.69\n", "");
        row("net table's title names its air",
            QStringList{"--tabla", "--base", "neta", "--o2", "3", "--temp", "300"}, 0,
            "Eficiencia neta de combustión (%, sobre el PCI, fórmula de Siegert) — Gas Natural, "
            "aire de combustión a 60 °F (supuesto)\n",
            "");
        row("unknown base", QStringList{"--tabla", "--base", "pci"}, 2, "", "base desconocida");
        row("summary file without a log", QStringList{"--resumen", "r.csv"}, 2, "",
            "--resumen solo se usan con --csv");
    }

    void command_line()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, error);

        const Run run = run_calc(args);
        QCOMPARE(run.status, status);
        if (out.startsWith('*')) // a part of the output
            QVERIFY2(run.out.contains(out.mid(1)), qPrintable(run.out));
        // One reading prints the window's two lines first; the lines after them have
        // their own rows.
        else if (!out.isEmpty())
            QCOMPARE(run.out.left(out.size()), out);
        if (status == 2)
            QVERIFY2(run.out.isEmpty() && run.err.count('\n') == 1, qPrintable(run.err));
        if (!error.isEmpty())
            QVERIFY2(run.err.contains(error), qPrintable(run.err));
        else
            QCOMPARE(run.err, QString());
    }

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
        row("decimal comma needs another separator", "O2,T\n\"3,5\",300\n", false,
            "O2,T,exceso_aire,eficiencia,eficiencia_neta,aviso\n\"3,5\",300,,,,\"O2 ilegible: "
            "«3,5»\"\n",
            {"línea 2: O2 ilegible: «3,5»"});
        row("lines counted in the file, past a title with a quoted line feed",
            "Informe;\"planta\nnorte\"\nO2;T\nabc;300\n", false,
            "Informe;\"planta\nnorte\"\nO2;T;exceso_aire;eficiencia;eficiencia_neta;aviso\nabc;300;"
            ";;;O2 ilegible: «abc»\n",
            {"línea 4: O2 ilegible: «abc»"});
        const QByteArray endless(static_cast<qsizetype>(max_record_bytes) + 10, 'x');
        row("a record over 1 MiB keeps its place", "O2,T\n" + endless + "\n3,300\n", false,
            "O2,T,exceso_aire,eficiencia,eficiencia_neta,aviso\n,,,,,fila de más de 1 MiB: no se "
            "lee\n3,300,15.66,83.94,93.91,\n",
            {"línea 2: fila de más de 1 MiB: no se lee"});
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
        QCOMPARE(run.usage_error.isEmpty(), !output.isEmpty());
        QCOMPARE(run.summary.with_errors + run.summary.out_of_range,
                 static_cast<std::uint64_t>(reports.size()));
    }

    // Logs shaped as they arrive, through the real program: each folder in
    // tests/data/cli holds an input.csv, the options (args, one a line), and the
    // output.csv (none for a refused log), standard error and status expected.
    void logs_data()
    {
        QTest::addColumn<QString>("folder");
        const QDir data(QStringLiteral(QUEMADOR_CLI_DATA));
        const QStringList cases = data.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY(cases.size() >= 10);
        for (const QString& name : cases)
            QTest::newRow(qPrintable(name)) << data.filePath(name);
    }

    void logs()
    {
        QFETCH(QString, folder);
        const QDir dir(folder);
        const auto contents = [&](const QString& name) {
            QFile file(dir.filePath(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QStringList args = QString::fromUtf8(contents("args")).split('\n', Qt::SkipEmptyParts);
        args << "--csv"
             << "input.csv";
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral(QUEMADOR_CALC), args);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.readAllStandardOutput(), contents("output.csv"));
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                 QString::fromUtf8(contents("stderr.txt")));
        QCOMPARE(process.exitCode(), contents("status").trimmed().toInt());
    }

    // --resumen writes the log's summary as CSV, in the log's separator and decimal mark:
    // each result over the rows calculated, and the analyser's efficiency less the net.
    void summary_file()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("resumen.csv");
        const QString log =
            QStringLiteral(QUEMADOR_CLI_DATA) + "/air-and-analyser-efficiency/input.csv";
        const Run run = run_calc({"--csv", log, "-c", "gas", "--resumen", path});
        QCOMPARE(run.status, 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()),
                 "resultado;filas;media;minimo;maximo\n"
                 "exceso_aire;4;22,48;21,31;24\n"
                 "eficiencia;4;82,7;82,61;82,83\n"
                 "eficiencia_neta;4;92,6;92,46;92,8\n"
                 "eficiencia_corregida;3;82,84;82,74;82,98\n"
                 "analizador_menos_neta;3;0,06;-0,06;0,24\n");
        QVERIFY(run_calc({"--csv", log, "-c", "gas", "--resumen", dir.filePath("no/such/dir")})
                    .status == 2);
    }

    // Every mode ends with a message and status 1 when its output cannot be written,
    // and names a folder given as its input.
    void unusable_output_and_input_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        const QString calc = QStringLiteral(QUEMADOR_CALC);
        const QString full = " > /dev/full";
        const QString written = "no se pudo escribir la salida entera";
        QTest::newRow("one reading") << calc + " -c gas --o2 3 --temp 300" + full << 1 << written;
        QTest::newRow("table") << calc + " --tabla" + full << 1 << written;
        QTest::newRow("log") << "printf 'O2,T\\n3,300\\n' | " + calc + " -c gas --csv -" + full << 1
                             << written;
        QTest::newRow("folder on standard input")
            << calc + " -c gas --csv - < /" << 2 << "la entrada estándar es una carpeta";
    }

    void unusable_output_and_input()
    {
        QFETCH(QString, command);
        QFETCH(int, status);
        QFETCH(QString, error);
        QProcess process;
        process.start("/bin/sh", {"-c", command});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), status);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(error), qPrintable(err));
    }

    // What a header names, as analysers and spreadsheets write it.
    void header_names_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("unit"); // -1 none, else TemperatureUnit
        const int none = -1;
        const int c = static_cast<int>(TemperatureUnit::celsius);
        const int f = static_cast<int>(TemperatureUnit::fahrenheit);
        const auto row = [](const char* header, Column column, int unit) {
            QTest::newRow(header) << QString(header) << static_cast<int>(column) << unit;
        };
        row("O₂ (%)", Column::o2, none);
        row("Oxígeno", Column::o2, none);
        row("CO₂ (%)", Column::co2, none);
        row("Temp. humos (°C)", Column::temperature, c);
        row("Tª humos", Column::temperature, none);
        row("Temperatura gases [ºF]", Column::temperature, f);
        row("T gases", Column::temperature, none);
        row("temp_c", Column::temperature, c);
        row("T aire", Column::air, none);
        row("Temperatura del aire (°C)", Column::air, c);
        row("T comb.", Column::air, none);
        row("Exceso aire", Column::none, none);
        row("Combustible", Column::fuel, none);
        row("Rendimiento neto (%)", Column::analyser, none);
        row("η (%)", Column::analyser, none);
        row("Eta", Column::analyser, none);
        row("eficiencia", Column::none, none); // the program's own column
        row("eficiencia_neta", Column::none, none);
        row("ºC", Column::none, c); // as a units line writes it, with the ordinal sign
        row("°F", Column::none, f);
    }

    void header_names()
    {
        QFETCH(QString, header);
        QFETCH(int, column);
        QFETCH(int, unit);
        const std::string text = header.toStdString();
        QCOMPARE(static_cast<int>(column_named(text)), column);
        const auto read = unit_named(text);
        QCOMPARE(read ? static_cast<int>(*read) : -1, unit);
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
        row("carriage return inside a field", "a\rb,c\n", "a\rb|c");
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
                CsvWriter writer(sink, ';', crlf);
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

    // A log's output does not depend on how its bytes arrive, nor on its encoding: the
    // same text in UTF-16 or Windows-1252 comes back in that encoding, byte for byte
    // what the UTF-8 run gives, converted.
    void encodings_and_chunks_data()
    {
        QTest::addColumn<QByteArray>("utf8");
        QTest::addColumn<QString>("encoding"); // as iconv names it
        QTest::addColumn<QByteArray>("bom");
        const QByteArray log = "Fecha;O₂ (%);Tª humos (°C);Nota\r\n"
                               "12/01;3,5;158,4;«Revisar» el filtro\r\n12/01;3,2;\"161,9\";\r\n";
        QTest::newRow("UTF-8") << log << "UTF-8" << QByteArray();
        QTest::newRow("UTF-16LE with BOM") << log << "UTF-16LE" << QByteArray("\xFF\xFE");
        QTest::newRow("UTF-16BE with BOM") << log << "UTF-16BE" << QByteArray("\xFE\xFF");
        QTest::newRow("header and separator split over a quoted line end")
            << QByteArray("O2,T\"\n\";;") << "UTF-8" << QByteArray();
        const QByteArray latin =
            "Fecha;O2;Temp. humos (°C);Combustible\r\n03/02;4,2;186,5;Gasóleo C\r\n";
        QTest::newRow("Windows-1252") << latin << "WINDOWS-1252" << QByteArray();
    }

    void encodings_and_chunks()
    {
        QFETCH(QByteArray, utf8);
        QFETCH(QString, encoding);
        QFETCH(QByteArray, bom);
        const auto convert = [](const std::string& text, const std::string& to,
                                const std::string& from) {
            Converter converter(to.c_str(), from.c_str());
            std::string out(text.size() * 4 + 4, '\0');
            const char* in = text.data();
            std::size_t in_left = text.size();
            char* o = out.data();
            std::size_t out_left = out.size();
            converter.convert(in, in_left, o, out_left);
            out.resize(out.size() - out_left);
            return out;
        };
        const std::string enc = encoding.toStdString();
        const std::string input = bytes(bom) + convert(bytes(utf8), enc, "UTF-8");
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
            QCOMPARE(q(convert(sink.text.substr(bom.size()), "UTF-8", enc)), q(reference.text));
            QVERIFY(sink.text.starts_with(bytes(bom)));
        }
    }

    void table_shape()
    {
        TableOptions options;
        options.o2 = {3, 21};
        options.temperatures = parse_range("200:600:100", "--temp");
        QStringList reports;
        const auto report = [&](std::string_view line) { reports << q(std::string(line)); };

        std::string text;
        QCOMPARE(write_table(options, text, report), 5);
        const QStringList lines = q(text).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6); // title, basis on two lines, column heads, two rows
        QVERIFY(lines[0].contains("Gas Natural"));
        QVERIFY(lines[1].endsWith("temperatura de humos en °F,"));
        QVERIFY(lines[3].endsWith("200 °F   300 °F   400 °F   500 °F   600 °F"));
        QCOMPARE(lines[4].simplified(), QString("3.0 15.7 86.3 83.9 81.6 79.2 76.8"));
        QCOMPARE(lines[4].size(), lines[3].size());
        QCOMPARE(lines[5].size(), lines[3].size());
        QVERIFY(lines[5].simplified().startsWith("21.0 error error"));
        QCOMPARE(reports.size(), 1);

        options.format = TableFormat::csv;
        options.fuel = Fuel::fuel_oil_no2;
        options.o2 = parse_list("5", "--o2");
        options.temperatures = {400};
        std::string csv;
        QCOMPARE(write_table(options, csv, report), 0);
        QCOMPARE(q(csv), QString("o2_pct,exceso_aire_pct,ef_400F\n5,29.44,84.53\n"));

        for (const char* bad : {"600:200:100", "200:600:0", "200:600", "200:x:100", "0:1e9:1"})
            QVERIFY_THROWS_EXCEPTION(UsageError, parse_range(bad, "--temp"));
    }
};

QTEST_APPLESS_MAIN(TestCli)
#include "test_cli.moc"
