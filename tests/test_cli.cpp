// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/commands.h"
#include "cli/output_file.h"
#include "cli/table.h"
#include "cli/usage_error.h"
#include "fake_window.h"
#include "test_support.h"

#include "quemador_version.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <cstring>

#include <sys/resource.h>

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

// The value at a path into a JSON document ("registros/0/estado") as text: "null" for
// null, a number to 12 digits; after "#", the length of the array there.
QString json_at(const QJsonDocument& document, QString path)
{
    const bool length = path.endsWith('#');
    if (length)
        path.chop(1);
    QJsonValue value = document.object();
    for (const QString& step : path.split('/')) {
        bool index = false;
        const int k = step.toInt(&index);
        value = index ? value.toArray().at(k) : value.toObject().value(step);
    }
    if (length)
        return QString::number(value.toArray().size());
    if (value.isNull())
        return "null";
    if (value.isBool())
        return value.toBool() ? "true" : "false";
    return value.isDouble() ? QString::number(value.toDouble(), 'g', 12) : value.toString();
}

// Logs made at run time: a header, then rows of boiler, date and O2 for count rows.
QByteArray many_boilers(int count)
{
    QByteArray log = "Caldera,O2,T humos\n";
    for (int i = 0; i < count; ++i)
        log += "Caldera " + QByteArray::number(i) + "," + QByteArray::number(2 + i % 5) + ",300\n";
    return log;
}

void write_file(const QTemporaryDir& dir, const QString& name, const QByteArray& text)
{
    QFile file(dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

// Two months of two boilers, one file each and their columns in another order
// (enero.csv, febrero.csv), and their consumptions (consumos.csv).
void write_two_months(const QTemporaryDir& dir)
{
    write_file(dir, "enero.csv",
               "Fecha;Caldera;O2;T\n05/01/2026;Norte;3;180\n12/01/2026;Norte;3,2;182\n"
               "05/01/2026;Sur;4;190\n12/01/2026;Sur;4,2;191\n");
    write_file(dir, "febrero.csv",
               "Caldera;O2;Fecha;T\nNORTE;4,5;03/02/2026;185\nNorte;4,6;10/02/2026;186\n"
               "Sur;4;03/02/2026;190\nSur;4;10/02/2026;190\n");
    write_file(dir, "consumos.csv", "caldera;kwh;precio\nNorte;300000;0,09\nSur;100000;0,09\n");
}

QByteArray dated(const QByteArrayList& odd_dates)
{
    QByteArray log = "Fecha,O2,T\n";
    for (int day = 1; day <= 20; ++day)
        log += "2026-03-" + QByteArray::number(day).rightJustified(2, '0') + ",3,300\n";
    for (const QByteArray& date : odd_dates)
        log += date + ",3,300\n";
    return log;
}

// A header of half a million columns, and rows of as many fields whose O2 is beyond the
// air's.
QByteArray wide_log(int rows)
{
    constexpr int columns = 500000;
    QByteArray log = "O2,T" + QByteArray(columns - 2, ',') + "\n";
    for (int i = 0; i < rows; ++i) {
        QByteArray row = "25,300";
        row.reserve(qsizetype{2} * columns);
        for (int k = 2; k < columns; ++k)
            row += ",x";
        log += row + "\n";
    }
    return log;
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

        // Past the window's two lines: each figure with its basis, the air ratio and the
        // flue-gas loss beside the net efficiency.
        const QString lambda = "Índice de aire λ:              1.17    (20.9 / (20.9 − O2))\n";
        const QString analyser = "Exceso de aire (%):  15.66\nEficiencia (%):      82.61\n" +
            lambda +
            "Eficiencia neta (%):           92.69   (sobre el PCI, fórmula de Siegert, aire a "
            "20 °C)\nPérdidas por humos qA (%):     7.31    (sobre el PCI, 100 − eficiencia "
            "neta, aire a 20 °C)\n";
        const QString assumed_air = "Exceso de aire (%):  15.66\nEficiencia (%):      83.94\n" +
            lambda +
            "Eficiencia neta (%):           93.91   (sobre el PCI, fórmula de Siegert, aire a "
            "60 °F, supuesto)\nPérdidas por humos qA (%):     6.09    (sobre el PCI, 100 − "
            "eficiencia neta, aire a 60 °F, supuesto)\n";
        const QString corrected = "Eficiencia corregida (%):      82.8    (sobre el PCS, con los "
                                  "humos menos el aire más 60 °F, aire a 20 °C)\n";
        const QStringList reading = gas + QStringList{"--o2", "3", "--temp", "180", "--celsius"};
        row("net and corrected with the air", reading + QStringList{"--aire", "20"}, 0,
            analyser + corrected, "");
        row("net with the air assumed", gas + QStringList{"--o2", "3", "--temp", "300"}, 0,
            assumed_air, "");
        row("saving at a target", reading + QStringList{"--aire", "20", "--objetivo-o2", "2"}, 0,
            analyser + corrected +
                "Eficiencia en el objetivo (%): 83.01   (sobre el PCS, O2 2 %)\nAhorro de "
                "combustible (%):     0.25    (1 − eficiencia / eficiencia en el objetivo, sobre "
                "el PCS)\n",
            "");
        row("a target with its own temperature",
            reading + QStringList{"--objetivo-o2", "2", "--objetivo-temp", "150"}, 0,
            "Exceso de aire (%):  15.66\nEficiencia (%):      82.61\n" + lambda +
                "Eficiencia neta (%):           92.49   (sobre el PCI, fórmula de Siegert, aire a "
                "15.56 °C, supuesto)\nPérdidas por humos qA (%):     7.51    (sobre el PCI, 100 "
                "− eficiencia neta, aire a 15.56 °C, supuesto)\nEficiencia "
                "en el objetivo (%): 84.07   (sobre el PCS, O2 2 %, humos a 150 °C)\nAhorro de "
                "combustible (%):     1.74    (1 − eficiencia / eficiencia en el objetivo, sobre "
                "el "
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
            gas + QStringList{"--o2", "3.0", "--co2", "7", "--temp", "300"}, 0, assumed_air,
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
            "--resumen solo se usa con --csv");
        row("a date format without a log", gas + QStringList{"--formato-fecha", "mm/dd"}, 2, "",
            "--formato-fecha solo se usa con --csv");
        row("an unknown date format", gas + QStringList{"--csv", "-", "--formato-fecha", "d/m"}, 2,
            "", "formato de fecha desconocido: «d/m» (use dd/mm, mm/dd o aaaa-mm-dd)");
        row("grouping without a log", gas + QStringList{"--agrupar", "mes"}, 2, "",
            "--agrupar solo se usa con --csv");
        row("chart without a log", QStringList{"--tabla", "--grafico", "g.svg"}, 2, "",
            "--grafico solo se usa con --csv");
        row("no threads", QStringList{"--csv", "-", "--hilos", "0"}, 2, "",
            "--hilos debe ser un número entero de 1 a 256: «0»");
        row("a part of a thread", QStringList{"--csv", "-", "--hilos", "1,5"}, 2, "",
            "--hilos debe ser un número entero de 1 a 256: «1,5»");
        row("threads with a reading",
            gas + QStringList{"--o2", "3", "--temp", "300", "--hilos", "2"}, 2, "", "--hilos");
        row("unknown grouping", QStringList{"--csv", "-", "--agrupar", "semana"}, 2, "",
            "agrupación desconocida: «semana» (use caldera, mes o ninguno)");
        row("an option of one reading with a table", QStringList{"--tabla", "--co", "50"}, 2, "",
            "--co solo se usa en una lectura");
        row("a log and a table at once", QStringList{"--csv", "-", "--tabla"}, 2, "",
            "--csv y --tabla se excluyen");
        row("control characters in a message are escaped",
            gas + QStringList{"--o2", "\x1b[2J3", "--temp", "300"}, 2, "",
            "--o2 no es un número: «\\x1b[2J3»");

        // A table marks what the model does not describe, and says so.
        row("table: flue gas colder than the air",
            QStringList{"--tabla", "--o2", "3", "--temp", "50:70:10"}, 1,
            "* O2 %   Exceso de aire %    50 °F    60 °F    70 °F\n"
            "  3.0               15.7     89.9*    89.7     89.4\n\n"
            "* fuera de lo que describe el modelo",
            "O2 3: 1 celda fuera de lo que describe el modelo (humos más fríos que el aire de "
            "combustión)");
        row("CSV table: no number outside the model",
            QStringList{"--tabla", "--formato", "csv", "--o2", "3, 20.95", "--temp", "50, 300"}, 1,
            "o2_pct,exceso_aire_pct,ef_50F,ef_300F\n3,15.66,,83.94\n20.95,,,\n",
            "O2 20.95: 2 celdas fuera de lo que describe el modelo (el oxígeno debe ser al menos "
            "0 y menor que 20.9 %)");

        // A target that would mislead is said so, with status 1.
        row("a target less efficient than the reading",
            gas + QStringList{"--o2", "3", "--temp", "300", "--objetivo-o2", "5"}, 1,
            "*Ahorro de combustible (%):    -0.52    (1 − eficiencia",
            "aviso: El objetivo es menos eficiente que la lectura: el ahorro sale negativo");
        row("a target's flue gas colder than the air",
            reading + QStringList{"--aire", "20", "--objetivo-o2", "2", "--objetivo-temp", "15"}, 1,
            analyser + corrected,
            "aviso: Los humos del objetivo (15 °C) están más fríos que el aire de combustión "
            "(20 °C): sin eficiencia en el objetivo.");

        // CO on air-free flue gas, and a burner that makes CO: a danger, status 1, as for
        // a CO that cannot be.
        row("CO air-free", gas + QStringList{"--o2", "3", "--temp", "300", "--co", "50"}, 0,
            "*CO sin aire (ppm):            58       (CO × 20.9 / (20.9 − O2), en humos sin "
            "aire)\n",
            "");
        row("no CO at all", gas + QStringList{"--o2", "3", "--temp", "300", "--co", "0"}, 0,
            "*CO sin aire (ppm):            0        (", "");
        row("a burner that makes CO",
            gas + QStringList{"--o2", "3", "--temp", "300", "--co", "350,5"}, 1,
            "*CO sin aire (ppm):            409      (",
            "aviso: CO de 350,5 ppm, 409 ppm sin aire: más de 400, el quemador produce CO. "
            "Reducir su aire sería peligroso");
        row("a target for a burner that makes CO",
            gas + QStringList{"--o2", "3", "--temp", "300", "--co", "400", "--objetivo-o2", "2"}, 1,
            "*Ahorro de combustible (%):",
            "aviso: El ahorro en el objetivo supone quitar aire a un quemador que ya produce CO");
        row("a negative CO", gas + QStringList{"--o2", "3", "--temp", "300", "--co", "-5"}, 1,
            "*Eficiencia (%):      83.94\n",
            "aviso: CO de -5 ppm: el monóxido de carbono no puede ser negativo.");
        row("CO not a number", gas + QStringList{"--o2", "3", "--temp", "300", "--co", "bajo"}, 2,
            "", "--co no es un número: «bajo»");

        // --cifras chooses a table's figures; each is declared once, with its values.
        row("a table of the flue-gas loss, in CSV",
            QStringList{"--tabla", "--formato", "csv", "--o2", "3", "--temp", "300", "--cifras",
                        "perdidas_humos,eficiencia"},
            0, "o2_pct,exceso_aire_pct,perdidas_humos_300F,eficiencia_300F\n3,15.66,6.09,83.94\n",
            "");
        row("a table's second figure under the first",
            QStringList{"--tabla", "--o2", "3", "--temp", "300", "--cifras", "lambda,eficiencia"},
            0, "*\n\nEficiencia de combustión (%) — Gas Natural\n", "");
        row("a figure no table gives", QStringList{"--tabla", "--cifras", "ahorro_combustible"}, 2,
            "", "--cifras: la tabla no da ahorro_combustible");
        row("a figure of the air without one",
            QStringList{"--tabla", "--cifras", "eficiencia_corregida"}, 2, "",
            "--cifras: eficiencia_corregida necesita --aire");
        row("an unknown figure", QStringList{"--tabla", "--cifras", "rendimiento"}, 2, "",
            "--cifras: cifra desconocida o repetida: «rendimiento» (use exceso_aire, eficiencia, "
            "lambda,");
        row("a figure named twice", QStringList{"--csv", "-", "--cifras", "lambda, lambda"}, 2, "",
            "«lambda»");
        row("figures for one reading",
            gas + QStringList{"--o2", "3", "--temp", "300", "--cifras", "lambda"}, 2, "",
            "--cifras no se usa en una lectura");
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

    // Logs shaped as they arrive, through the real program: each folder in
    // tests/data/cli holds an input.csv, the options (args, one a line), and the
    // output.csv (none for a refused log), standard error and status expected; and
    // resumen.csv, the --resumen file expected, when the folder is about it.
    // Each on one thread and on three, which gives the same bytes.
    void logs_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("threads");
        const QDir data(QStringLiteral(QUEMADOR_CLI_DATA));
        const QStringList cases = data.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY(cases.size() >= 10);
        for (const QString& name : cases) {
            for (const QString threads : {"1", "3"})
                QTest::newRow(qPrintable(name + ", --hilos " + threads))
                    << data.filePath(name) << threads;
        }
    }

    void logs()
    {
        QFETCH(QString, folder);
        QFETCH(QString, threads);
        const QDir dir(folder);
        const auto contents = [&](const QString& name) {
            QFile file(dir.filePath(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QStringList args = QString::fromUtf8(contents("args")).split('\n', Qt::SkipEmptyParts);
        args << "--csv"
             << "input.csv"
             << "--hilos" << threads;
        QTemporaryDir work;
        const QString summary = work.filePath("resumen.csv");
        if (dir.exists("resumen.csv"))
            args << "--resumen" << summary;
        // resultado.json, when the folder has one, is the run's --json report.
        const QString report = work.filePath("resultado.json");
        if (dir.exists("resultado.json"))
            args << "--json" << report;
        const QByteArray input = contents("input.csv");
        const QStringList files = dir.entryList(QDir::Files);
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral(QUEMADOR_CALC), args);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.readAllStandardOutput(), contents("output.csv"));
        // The summary's folder, which changes from run to run, as "@".
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()).replace(work.path(), "@"),
                 QString::fromUtf8(contents("stderr.txt")));
        QCOMPARE(process.exitCode(), contents("status").trimmed().toInt());
        for (const auto& [written_path, expected] :
             {std::pair(summary, QString("resumen.csv")),
              std::pair(report, QString("resultado.json"))}) {
            if (!dir.exists(expected))
                continue;
            QFile written(written_path);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(written.readAll(), contents(expected));
        }
        // Nothing handed in is touched, and nothing is left behind.
        QCOMPARE(contents("input.csv"), input);
        QCOMPARE(dir.entryList(QDir::Files), files);
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
        // With a byte order mark, as the log has, so that a spreadsheet reads it as UTF-8.
        const QByteArray written = file.readAll();
        QVERIFY(written.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(QString::fromUtf8(written.mid(3)),
                 "resultado;filas;media;minimo;maximo\n"
                 "exceso_aire;4;22,48;21,31;24\n"
                 "eficiencia;4;82,7;82,61;82,83\n"
                 "eficiencia_neta;4;92,6;92,46;92,8\n"
                 "eficiencia_corregida;3;82,84;82,74;82,98\n"
                 "co_sin_aire;4;21,75;18;26\n"
                 "analizador_menos_neta;3;0,06;-0,06;0,24\n");
        // A path that cannot take it is refused before anything is written.
        const Run refused =
            run_calc({"--csv", log, "-c", "gas", "--resumen", dir.filePath("no/such/dir")});
        QCOMPARE(refused.status, 2);
        QCOMPARE(refused.out, QString());
        QVERIFY2(refused.err.contains("no se puede escribir el resumen"), qPrintable(refused.err));
    }

    // With groups, --resumen writes a row for each, with each result's mean, least and
    // greatest in its columns.
    void summary_file_by_group()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("resumen.csv");
        const QString log = QStringLiteral(QUEMADOR_CLI_DATA) + "/boilers-by-month/input.csv";
        const Run run =
            run_calc({"--csv", log, "--celsius", "--agrupar", "mes", "--resumen", path});
        QCOMPARE(run.status, 1);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(file.readAll().mid(3)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 7);
        QCOMPARE(lines[0],
                 "caldera,mes,filas,calculadas,exceso_aire_media,exceso_aire_minimo,"
                 "exceso_aire_maximo,eficiencia_media,eficiencia_minimo,eficiencia_maximo,"
                 "eficiencia_neta_media,eficiencia_neta_minimo,eficiencia_neta_maximo,"
                 "analizador_menos_neta_media,analizador_menos_neta_minimo,"
                 "analizador_menos_neta_maximo,bruta_media,neta_media,tendencia_puntos_mes,"
                 "cambio_primer_ultimo_mes,peor_mes,peor_mes_media,filas_con_aviso,"
                 "co_sin_aire_mayor,ahorro_kwh_anual,ahorro_eur_anual,alerta");
        // Each row ends with its boiler's verdict: the row of line 8 has a notice, the
        // mean falls 0.51 points in a month.
        QCOMPARE(lines[1],
                 "Caldera norte,2026-01,2,2,19.38,18.11,20.66,82.92,82.81,83.03,92.77,"
                 "92.64,92.9,-0.02,-0.04,0,82.75,92.57,-0.51,-0.51,2026-02,82.41,1,,,,");
        QCOMPARE(lines[3],
                 "Caldera norte,2026-03,1,0,,,,,,,,,,,,,82.75,92.57,-0.51,-0.51,2026-02,"
                 "82.41,1,,,,");
        QVERIFY(lines[4].startsWith("Caldera sur,2026-01,1,1,"));
        // A row without a readable date keeps its boiler, in the month "(sin fecha)".
        QVERIFY(lines[6].startsWith("Caldera sur,(sin fecha),1,1,"));
    }

    // --grafico draws the log as an SVG: a panel for each boiler with a series for each
    // measure, the marked rows, ticks on the first of the months, and the title, axes and
    // names as text.
    void chart_file()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("grafico.svg");
        const QString log = QStringLiteral(QUEMADOR_CLI_DATA) + "/boilers-by-month/input.csv";
        const Run run = run_calc({"--csv", log, "--celsius", "--grafico", path});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("1 fila sin fecha legible (la primera en la línea 7: "
                                  "«2026-02-30T08:00:00»): no entra en el gráfico"),
                 qPrintable(run.err));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString svg = QString::fromUtf8(file.readAll());
        QVERIFY(svg.startsWith("<?xml"));
        QVERIFY(svg.contains("<title id=\"titulo\">Eficiencia y O2 de input.csv</title>"));
        for (const char* label : {">Fecha</text>", ">Eficiencia (%)</text>", ">O2 (%)</text>"})
            QVERIFY2(svg.contains(label), label);
        const QRegularExpression item("data-caldera=\"([^\"]*)\"|<g class=\"serie\" "
                                      "data-serie=\"([^\"]*)\" data-puntos=\"(\\d+)\">|"
                                      "class=\"tick-x\">([^<]*)<");
        QStringList drawn;
        for (const auto& match : item.globalMatch(svg))
            drawn << (!match.captured(1).isEmpty() ? "panel " + match.captured(1)
                          : !match.captured(2).isEmpty()
                          ? match.captured(2) + " " + match.captured(3)
                          : "tick " + match.captured(4));
        QCOMPARE(drawn,
                 QStringList({"panel Caldera norte", "tick feb 2026", "tick mar", "Bruta 3",
                              "Neta 3", "O2 3", "Con aviso 1", "panel Caldera sur", "tick feb 2026",
                              "tick mar", "Bruta 2", "Neta 2", "O2 2"}));
        // A mark for each marked row.
        const QString marked = svg.section("data-serie=\"Con aviso\"", 1).section("</g>", 0, 0);
        QCOMPARE(marked.count("<circle"), 1);
        // The legend shows each measure's style once: its dash, or its mark.
        const QString legend = svg.section("<g class=\"leyenda\">", 1).section("</g>", 0, 0);
        QCOMPARE(legend.count("stroke-dasharray=\"7 4\""), 1);
        QCOMPARE(legend.count("stroke-dasharray=\"2 3\""), 1);
        QCOMPARE(legend.count("<circle"), 1);
        for (const char* name :
             {">Bruta</text>", ">Neta</text>", ">O2</text>", ">Con aviso</text>"})
            QVERIFY2(legend.contains(name), name);

        // Without dates, over the line in the file; refused onto the log itself.
        const QString plain = QStringLiteral(QUEMADOR_CLI_DATA) + "/boiler-by-option/input.csv";
        QCOMPARE(run_calc({"--csv", plain, "-c", "fueloil", "--col-caldera", "Planta", "--grafico",
                           path})
                     .status,
                 0);
        QFile again(path);
        QVERIFY(again.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(again.readAll()).contains(">Línea del registro</text>"));
        const Run refused = run_calc({"--csv", plain, "-c", "gas", "--grafico", plain});
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.err.contains("es el propio registro: el gráfico lo borraría"),
                 qPrintable(refused.err));
    }

    // A year of readings: a date about every two months, and each axis's values, as text.
    void chart_axes()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("anual.csv");
        QFile input(log);
        QVERIFY(input.open(QIODevice::WriteOnly));
        input.write("Fecha,O2,T humos\n2026-01-01,3,180\n2026-12-31,3.5,185\n");
        input.close();
        const QString path = dir.filePath("anual.svg");
        QCOMPARE(run_calc({"--csv", log, "-c", "gas", "--celsius", "--grafico", path}).status, 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString svg = QString::fromUtf8(file.readAll());
        QStringList texts;
        for (const auto& match : QRegularExpression(">([^<]*)</text>").globalMatch(svg))
            texts << match.captured(1);
        // The legend, the panel, each axis's values, ticks on the first of the months.
        QCOMPARE(texts.mid(1, 26), QStringList({"Bruta",    "Neta",  "O2",       "Todas las filas",
                                                "82",       "84",    "86",       "88",
                                                "90",       "92",    "94",       "Eficiencia (%)",
                                                "3",        "3,1",   "3,2",      "3,3",
                                                "3,4",      "3,5",   "ene 2026", "mar",
                                                "may",      "jul",   "sep",      "nov",
                                                "ene 2027", "O2 (%)"}));
        // The first and last days within the plot's edges, the efficiencies within it.
        const auto points = QRegularExpression("<polyline [^>]*points=\"([^\"]*)\"").match(svg);
        const QStringList gross = points.captured(1).split(' ');
        QCOMPARE(gross.size(), 2);
        for (const QString& point : gross) {
            const double x = point.section(',', 0, 0).toDouble();
            const double y = point.section(',', 1).toDouble();
            QVERIFY2(x > 72 && x < 936 && y > 80 && y < 250, qPrintable(point));
        }
    }

    // The manager's modes end to end: alerts and money said and the status unchanged,
    // several logs as one year with their results in a folder, and the board's report as
    // a PDF whose text reads back (pdftotext).
    void manager_modes_data()
    {
        QTest::addColumn<QStringList>("args"); // "@" stands for the work folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("said");  // parts of standard error, in order
        QTest::addColumn<QStringList>("files"); // written in the work folder

        const QStringList two = {"--csv", "@/enero.csv", "--csv", "@/febrero.csv"};
        QTest::newRow("alerts are news: the status stays 0")
            << QStringList{"--csv",    "@/enero.csv", "--csv",    "@/febrero.csv",
                           "--salida", "@",           "--minimo", "81,9"}
            << 0
            << QStringList{QString("alerta: caldera «Sur»: media de 2026-01 81,86 %, bajo el ") +
                               "mínimo de 81,9 %",
                           "1. «Sur»",
                           "2. «Norte»",
                           "registro «@/enero.csv»:",
                           "registro «@/febrero.csv»:",
                           "filas leídas: 8, calculadas: 8"}
            << QStringList{"enero-resultados.csv", "febrero-resultados.csv"};
        QTest::newRow("money per boiler and in total, with what it assumes")
            << QStringList{"--csv", "@/enero.csv", "--objetivo-o2",
                           "2",     "--consumos",  "@/consumos.csv"}
            << 0
            << QStringList{"1. «Sur»", "ahorro 644 kWh y 58 € al año", "2. «Norte»",
                           "ahorro al año si cada caldera llega al objetivo:",
                           "€ en total; el ahorro supone"}
            << QStringList{};
        QTest::newRow("the board's report")
            << QStringList{two + QStringList{"--salida", "@", "--informe", "@/informe.pdf"}} << 0
            << QStringList{"veredicto por caldera"} << QStringList{"informe.pdf"};
        QTest::newRow("several logs need a folder for their results")
            << two << 2 << QStringList{"con varios --csv, diga con --salida en qué carpeta"}
            << QStringList{};
        QTest::newRow("money needs a target")
            << QStringList{"--csv", "@/enero.csv", "--consumos", "@/consumos.csv"} << 2
            << QStringList{"--consumos necesita --objetivo-o2"} << QStringList{};
        QTest::newRow("a consumption without its price")
            << QStringList{"--csv", "@/enero.csv", "--objetivo-o2",
                           "2",     "--consumos",  "@/enero.csv"}
            << 2 << QStringList{"«@/enero.csv», línea 2: se esperan una caldera"} << QStringList{};
    }

    void manager_modes()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QStringList, said);
        QFETCH(QStringList, files);
        QTemporaryDir dir;
        const QString at = dir.path();
        write_two_months(dir);
        for (QString& arg : args)
            arg.replace("@", at);
        const Run run = run_calc(QStringList{"-c", "gas", "--celsius"} + args);
        QCOMPARE(run.status, status);
        qsizetype from = 0;
        for (QString part : said) {
            part.replace("@", at);
            const qsizetype found = run.err.indexOf(part, from);
            QVERIFY2(found >= 0, qPrintable(part + "\n" + run.err));
            from = found;
        }
        for (const QString& name : files)
            QVERIFY2(QFile::exists(dir.filePath(name)), qPrintable(name));
        if (files.contains("enero-resultados.csv")) {
            // Each log's results as it alone gives them.
            const Run alone =
                run_calc({"-c", "gas", "--celsius", "--csv", dir.filePath("enero.csv")});
            QFile results(dir.filePath("enero-resultados.csv"));
            QVERIFY(results.open(QIODevice::ReadOnly));
            QCOMPARE(QString::fromUtf8(results.readAll()), alone.out);
            QCOMPARE(run.out, QString());
        }
        if (files.contains("informe.pdf")) {
            QProcess pdf;
            pdf.start("pdftotext", {"-layout", dir.filePath("informe.pdf"), "-"});
            QVERIFY(pdf.waitForFinished(20000));
            const QString text = QString::fromUtf8(pdf.readAllStandardOutput());
            // The first page: the verdict worst first, the alerts, the money; then a page
            // a boiler with its panel and its months.
            const QStringList pages = text.split('\f');
            QCOMPARE(pages.size(), 4); // and the empty one after the last form feed
            for (const char* part :
                 {"Informe de eficiencia de combustión", "Calderas, de peor a mejor", "Bruta media",
                  "Tendencia", "Alertas", "Ninguna alerta.", "Ahorro al año"})
                QVERIFY2(pages[0].contains(QString::fromUtf8(part)), part);
            QVERIFY(pages[0].indexOf("Sur") < pages[0].indexOf("Norte")); // the worse first
            QVERIFY(pages[1].startsWith("Norte") && pages[2].startsWith("Sur"));
            for (const QString& page : {pages[1], pages[2]}) {
                for (const char* part : {"Bruta", "Neta", "O2", "Eficiencia (%)", "/01/2026",
                                         "Por mes", "2026-01", "2026-02"})
                    QVERIFY2(page.contains(QString::fromUtf8(part)), part);
            }
        }
    }

    // --json: what the run found as one document, on standard output with "-" or in a
    // file, the outputs listed, a log that cannot be read named with its reason, the rows
    // counted by what became of them; the status keeps its meaning. Each check is a
    // path into the document ("registros/0/estado") and the value there, "null" for a
    // JSON null; "#" after a path is the length of the array there.
    void json_report_data()
    {
        QTest::addColumn<QStringList>("args"); // "@" stands for the work folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("report"); // where the document is: "-" standard output
        QTest::addColumn<QStringList>("checks");
        QTest::addColumn<QString>("error"); // a part of standard error, when not empty

        const QStringList two = {"--csv", "@/enero.csv", "--csv", "@/febrero.csv"};
        QTest::newRow("two logs as one year, on standard output")
            << two + QStringList{"--salida", "@", "--json", "-", "--minimo", "81,9"} << 0 << "-"
            << QStringList{"programa=quemador1-calc",
                           "esquema=1",
                           "estado=0",
                           "registros#=2",
                           "registros/0/nombre=@/enero.csv",
                           "registros/1/nombre=@/febrero.csv",
                           "registros/1/estado=0",
                           "registros/1/motivo=null",
                           "registros/1/cuentas/leidas=4",
                           "registros/1/secciones/0/columnas/0/columna=o2",
                           "registros/1/secciones/0/columnas/0/numero=2",
                           "registros/1/secciones/0/columnas/2/columna=caldera",
                           "registros/1/secciones/0/columnas/2/encabezado=Caldera",
                           "registros/1/secciones/0/unidad=°C",
                           "registros/1/secciones/0/unidad_segun=opcion",
                           "registros/1/notas/2/tipo=fechas_dia_primero_supuesto",
                           "registros/1/notas/2/valores/columna=Fecha",
                           "registros/1/notas/3/tipo=caldera_escrita_de_otra_forma",
                           "registros/1/notas/3/valores/caldera=NORTE",
                           "registros/1/notas/3/valores/otra=Norte",
                           "leido/grupos/por=caldera",
                           "leido/grupos/lista#=2",
                           "leido/grupos/lista/0/filas=4",
                           "veredicto/calderas/0/caldera=Sur",
                           "veredicto/calderas/0/alerta=true",
                           "veredicto/alertas#=1",
                           "veredicto/alertas/0/tipo=minimo",
                           "veredicto/alertas/0/mes=2026-01",
                           "veredicto/alertas/0/referencia=81.9",
                           "veredicto/dinero=null",
                           "salidas#=2",
                           "salidas/1/tipo=resultados",
                           "salidas/1/ruta=@/febrero-resultados.csv"}
            << "";
        QTest::newRow("money per boiler, and the summary's file listed")
            << QStringList{"--csv",      "@/enero.csv",    "--objetivo-o2", "2",
                           "--consumos", "@/consumos.csv", "--resumen",     "@/resumen.csv",
                           "--json",     "@/informe.json"}
            << 0 << "@/informe.json"
            << QStringList{"veredicto/dinero/con_ahorro=true",
                           "veredicto/calderas/0/caldera=Sur",
                           "veredicto/calderas/0/consumo_kwh=100000",
                           "veredicto/calderas/0/precio_kwh=0.09",
                           "salidas#=1",
                           "salidas/0/tipo=resumen",
                           "salidas/0/ruta=@/resumen.csv"}
            << "";
        QTest::newRow("dangerous CO, doubtful and out of range counted apart: status 1")
            << QStringList{"--csv", "@/co.csv", "--json", "@/informe.json"} << 1 << "@/informe.json"
            << QStringList{"estado=1",
                           "registros/0/estado=1",
                           "registros/0/cuentas/leidas=3",
                           "registros/0/cuentas/co_peligroso=1",
                           "registros/0/cuentas/dudosas=1",
                           "registros/0/cuentas/fuera_de_rango=1",
                           "registros/0/cuentas/con_error=0",
                           "veredicto=null"}
            << "";
        QTest::newRow("a log that cannot be read: its reason, status 2")
            << QStringList{"--csv", "@/sin-encabezado.csv", "--json", "@/informe.json"} << 2
            << "@/informe.json"
            << QStringList{"estado=2",
                           "registros/0/estado=2",
                           "registros/0/motivo/tipo=sin_encabezado",
                           "registros/0/motivo/valores/falta=o2 y temperatura",
                           "leido=null",
                           "salidas#=0"}
            << "faltan las columnas de oxígeno y de temperatura";
        QTest::newRow("standard output holds the results without --salida")
            << QStringList{"--csv", "@/enero.csv", "--json", "-"} << 2 << "" << QStringList{}
            << "--json «-» es la salida estándar, donde van los resultados";
        QTest::newRow("the report's file is checked as any output")
            << QStringList{"--csv", "@/enero.csv", "--json", "@/enero.csv"} << 2 << ""
            << QStringList{} << "--json «@/enero.csv» es el propio registro";
    }

    void json_report()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, report);
        QFETCH(QStringList, checks);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString at = dir.path();
        write_two_months(dir);
        const auto write = [&](const QString& name, const QByteArray& text) {
            write_file(dir, name, text);
        };
        // A row whose CO is past the limit, one the model does not describe, one plain.
        write("co.csv", "O2;CO;T\n3;900;180\n19;20;180\n3;20;180\n");
        write("sin-encabezado.csv", "a;b\n1;2\n");
        for (QString& arg : args)
            arg.replace("@", at);
        report.replace("@", at);
        const Run run = run_calc(QStringList{"-c", "gas", "--celsius"} + args);
        QCOMPARE(run.status, status);
        if (!error.isEmpty())
            QVERIFY2(run.err.contains(error.replace("@", at)), qPrintable(run.err));
        if (report.isEmpty()) {
            QVERIFY2(QDir(at).entryList({"informe*"}, QDir::Files).isEmpty(), "a report written");
            return;
        }
        QByteArray text = run.out.toUtf8();
        if (report != "-") {
            QFile file(report);
            QVERIFY(file.open(QIODevice::ReadOnly));
            text = file.readAll();
        }
        QVERIFY(text.endsWith('\n'));
        QJsonParseError parsed{};
        const QJsonDocument document = QJsonDocument::fromJson(text, &parsed);
        QVERIFY2(parsed.error == QJsonParseError::NoError, qPrintable(parsed.errorString()));
        QCOMPARE(document["version"].toString(), QString(QUEMADOR_VERSION));
        for (QString check : checks) {
            check.replace("@", at);
            const qsizetype equals = check.indexOf('=');
            const QString got = json_at(document, check.left(equals));
            QVERIFY2(got == check.mid(equals + 1), qPrintable(check + " but " + got));
        }
    }

    // The consumptions file's shapes end to end: thousands with either decimal mark, its
    // units from the header, and every refusal with status 2 and its line. Sur's 100,000
    // kWh at 0,09 € save 644 kWh and 58 € a year.
    void consumptions_files_data()
    {
        QTest::addColumn<QByteArray>("file"); // consumos.csv; "folder" for a folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("said"); // parts of standard error, in order

        const QStringList money = {"1. «Sur»", "ahorro 644 kWh y 58 € al año", "2. «Norte»",
                                   "ahorro 879 kWh y 79 € al año"};
        QTest::newRow("thousands with decimal commas")
            << QByteArray("caldera;kwh;precio\nNorte;300.000;0,09\nSur;100.000;0,09\n") << 0
            << money;
        QTest::newRow("thousands with decimal points")
            << QByteArray("caldera,kwh,precio\nNorte,\"300,000.0\",0.09\nSur,\"100,000\",0.09\n")
            << 0 << money;
        QTest::newRow("MWh and €/MWh")
            << QByteArray("caldera;consumo (MWh);precio (€/MWh)\nNorte;300;90\nSur;100;90\n") << 0
            << money;
        QTest::newRow("GJ and EUR/GJ")
            << QByteArray("caldera;consumo (GJ);precio (EUR/GJ)\nNorte;1080;25\nSur;360;25\n") << 0
            << money;
        QTest::newRow("ambiguous thousands")
            << QByteArray("caldera;kwh;precio\nNorte;300.000;1\n") << 2
            << QStringList{"--consumos «@/consumos.csv», línea 2: «300.000» puede ser 300000 (el "
                           "punto separa los miles) o 300 (el punto es la marca decimal)",
                           "escríbalo sin separador de miles (300000)"};
        QTest::newRow("an unknown unit")
            << QByteArray("caldera;consumo (m³);precio\nNorte;300;0,09\n") << 2
            << QStringList{"línea 1: no se conoce la unidad de «consumo (m³)»"};
        QTest::newRow("a boiler named twice")
            << QByteArray("caldera;kwh;precio\nNorte;1;1\nSur;1;1\nnorte;2;1\n") << 2
            << QStringList{"línea 4: la caldera «norte» ya tiene su consumo en la línea 2"};
        QTest::newRow("a folder") << QByteArray("folder") << 2
                                  << QStringList{"«@/consumos.csv» es una carpeta"};
        QTest::newRow("an empty file")
            << QByteArray() << 2 << QStringList{"«@/consumos.csv», el archivo está vacío"};
        QTest::newRow("1e20 kWh in digits")
            << QByteArray("caldera;kwh;precio\nNorte;100000000000000000000;0,09\n") << 2
            << QStringList{"línea 2: un consumo anual de «100000000000000000000» kWh pasa de 10 "
                           "TWh"};
        QTest::newRow("a price past 10 € the kWh")
            << QByteArray("caldera;kwh;precio\nNorte;300000;90\n") << 2
            << QStringList{"línea 2: un precio de «90» €/kWh pasa de 10 € el kWh"};
        // Past a mebibyte, once cut there: Sur's price across the edge (0,15, once read
        // 0,1) and Norte after it.
        const QByteArray header = "caldera;kwh;precio\n";
        const QByteArray cut = "Sur;100000;0,1";
        QByteArray blank((1 << 20) - header.size() - cut.size(), ' ');
        for (qsizetype i = 63; i < blank.size(); i += 64)
            blank[i] = '\n';
        blank.back() = '\n';
        QTest::newRow("past a mebibyte, read whole")
            << header + blank + cut + "5\nNorte;300000;0,09\n"
            << 0 << QStringList{"ahorro 644 kWh y 97 € al año", "ahorro 879 kWh y 79 € al año"};
        QTest::newRow("past 64 MiB, refused by its size")
            << QByteArray("sparse") << 2
            << QStringList{"el archivo de --consumos «@/consumos.csv» ocupa 67108865 bytes"};
    }

    void consumptions_files()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, status);
        QFETCH(QStringList, said);
        QTemporaryDir dir;
        const QString path = dir.filePath("consumos.csv");
        QFile log(dir.filePath("enero.csv"));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("Fecha;Caldera;O2;T\n05/01/2026;Norte;3;180\n12/01/2026;Norte;3,2;182\n"
                  "05/01/2026;Sur;4;190\n12/01/2026;Sur;4,2;191\n");
        log.close();
        if (file == "folder") {
            QVERIFY(QDir(dir.path()).mkdir("consumos.csv"));
        } else {
            QFile consumptions(path);
            QVERIFY(consumptions.open(QIODevice::WriteOnly));
            if (file == "sparse")
                QVERIFY(consumptions.resize((qint64{64} << 20) + 1));
            else
                consumptions.write(file);
        }
        const Run run = run_calc({"-c", "gas", "--celsius", "--csv", log.fileName(),
                                  "--objetivo-o2", "2", "--consumos", path});
        QCOMPARE(run.status, status);
        qsizetype from = 0;
        for (QString part : said) {
            part.replace("@", dir.path());
            const qsizetype found = run.err.indexOf(part, from);
            QVERIFY2(found >= 0, qPrintable(part + "\n" + run.err));
            from = found;
        }
        if (status == 2)
            QCOMPARE(run.out, QString()); // refused before any log is read
    }

    // The report is written the same on every run: the fonts' caches were once let go
    // while Pango still sorted fonts on its own thread, and one run in ten aborted.
    void report_every_run()
    {
        QTemporaryDir dir;
        QFile log(dir.filePath("log.csv"));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("Fecha;Caldera;O2;T\n05/01/2026;Norte;3;180\n05/02/2026;Sur;4;190\n");
        log.close();
        for (int run = 0; run < 40; ++run) {
            const Run done = run_calc({"-c", "gas", "--celsius", "--csv", log.fileName(),
                                       "--informe", dir.filePath("informe.pdf")});
            QVERIFY2(done.status == 1 || done.status == 0, qPrintable(done.err));
        }
    }

    // Hostile logs: each ends, within bounded memory, with a well-formed SVG, the right
    // status and a note for what the chart could not show as it is. They are read on two
    // threads whatever the machine's cores, so that the bound counts the pipeline's
    // batches and the second thread's memory, the same on every machine.
    void hostile_logs_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");   // parts of standard error, between '|'s
        QTest::addColumn<QString>("written"); // a part of the SVG, or of the summary after '*'
        QTest::addColumn<int>("megabytes");   // the most memory it may take

        QTest::newRow("O2 of 1e16 twice: an axis finer than the numbers")
            << QByteArray("Caldera,O2,T\nA,10000000000000000,300\nA,10000000000000002,310\nB\x01,"
                          "3,300\n")
            << 1 << "2 puntos fuera de la escala de su eje|1 carácter de los nombres del gráfico"
            << "Nota: 2 puntos fuera de la escala" << 20;
        QTest::newRow("O2 of 1e20")
            << QByteArray("O2,T\n100000000000000000000,300\n3,300\n") << 1
            << "1 punto fuera de la escala de su eje (eficiencia de 0 a 120 %, O2 de 0 a 21 "
               "%): se dibuja en su borde"
            << ">25</text>" << 20;
        QTest::newRow("U+FFFE, a control and bytes that are not UTF-8 in names")
            << QByteArray("Caldera,O2,T\n\xEF\xBF\xBE"
                          "A\xFF,3,300\nB\x01,3,310\n")
            << 0 << "3 caracteres de los nombres del gráfico no se pueden mostrar"
            << ">\xEF\xBF\xBD"
               "A\xEF\xBF\xBD</text>"
            << 20;
        QTest::newRow("a right-to-left override in a name")
            << QByteArray("Caldera,O2,T\nX\xE2\x80\xAE,3,300\n") << 0
            << "caldera «X\\u202e»: 1 fila"
            << R"(data-caldera="X\u202e")" << 20;
        QTest::newRow("200,000 boilers")
            << many_boilers(200000) << 0
            << "el gráfico muestra las 50 calderas de menor eficiencia media, de 10000 "
               "calderas\nquemador1-calc: 190000 filas de calderas más allá de las 10000 "
               "primeras no entran en el gráfico|190000 filas de más grupos que los 10000 "
               "primeros se cuentan juntas en «otras»|\nquemador1-calc: otras (de más grupos "
               "que los 10000 primeros): 190000 filas, 190000 calculadas;"
            << "data-caldera=\"Caldera 4\"" << 44; // 39 on one thread
        QTest::newRow("a name of 100,000 characters")
            << "Caldera,O2,T\n" + QByteArray(100000, 'x') + ",3,300\n"
            << 0 << "caldera «xxx" << QString(39, 'x') + "…</text>" << 40;
        QTest::newRow("a mistyped year")
            << dated({"1026-03-05"}) << 0 << "1 fecha lejos de todas las demás"
            << ">Nota: 1 fecha lejos" << 20;
        QTest::newRow("years 0001 and 9999")
            << dated({"0001-01-01", "9999-12-31"}) << 0 << "2 fechas lejos de todas las demás"
            << ">Nota: 2 fechas lejos" << 20;
        QTest::newRow("half a million columns, rows with notices")
            << wide_log(8) << 1 << "fuera de rango: 8"
            << "Fuera del modelo" << 120;
        QTest::newRow("names a spreadsheet would run")
            << QByteArray("Caldera,O2,T\n=HYPERLINK(\"http://x\"),3,300\n@SUM(1),3,300\n"
                          "+1+1,3,300\n-2,3,300\n\t3,3,300\nSala,3,300\n")
            << 0 << "caldera «=HYPERLINK"
            << "*\n\"'=HYPERLINK(\"\"http://x\"\")\",1,1,15.66,15.66,15.66,83.94,83.94,83.94,93.91,"
               "93.91,93.91,83.94,93.91,,,,,0,,,,\n'@SUM(1),1,1,15.66"
            << 20;
    }

    void hostile_logs()
    {
        QFETCH(QByteArray, log);
        QFETCH(int, status);
        QFETCH(QString, error);
        QFETCH(QString, written);
        QFETCH(int, megabytes);
        QTemporaryDir dir;
        QFile input(dir.filePath("hostil.csv"));
        QVERIFY(input.open(QIODevice::WriteOnly));
        input.write(log);
        input.close();
        const QString svg = dir.filePath("grafico.svg");
        const QString summary = dir.filePath("resumen.csv");
        const QString memory = dir.filePath("memoria");
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start("/usr/bin/time",
                      {"-f", "%M", "-o", memory, QStringLiteral(QUEMADOR_CALC), "-c", "gas",
                       "--csv", input.fileName(), "--grafico", svg, "--resumen", summary, "--hilos",
                       "2"});
        QVERIFY(process.waitForFinished(120000));
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), status);
        for (const QString& part : error.split('|'))
            QVERIFY2(err.contains(part), qPrintable(part + "\n" + err.left(2000)));
        QCOMPARE(QProcess::execute("xmllint", {"--noout", svg}), 0);
        QFile file(written.startsWith('*') ? summary : svg);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains(written.startsWith('*') ? written.mid(1) : written),
                 qPrintable(text.left(3000)));
        // Every text within the picture.
        const QRegularExpressionMatch size =
            QRegularExpression("viewBox=\"0 0 (\\d+) (\\d+)\"").match(text);
        for (const auto& at :
             QRegularExpression("<text x=\"([^\"]*)\" y=\"([^\"]*)\"").globalMatch(text)) {
            const double x = at.captured(1).toDouble();
            const double y = at.captured(2).toDouble();
            QVERIFY2(x >= 0 && x <= size.captured(1).toDouble() && y >= 0 &&
                         y <= size.captured(2).toDouble(),
                     qPrintable(at.captured(0)));
        }
        // At most a screenful of labels on each axis; the notes one under another.
        QVERIFY(text.count("<text") < 40 + 45 * text.count("class=\"panel\"") + 8);
        QStringList rows;
        for (const auto& note :
             QRegularExpression("<text x=\"72\" y=\"([^\"]*)\"[^>]*>Nota:").globalMatch(text))
            rows << note.captured(1);
        for (qsizetype i = 1; i < rows.size(); ++i)
            QVERIFY(rows[i].toDouble() > rows[i - 1].toDouble());
#if !defined(__SANITIZE_ADDRESS__)
        QFile used(memory);
        QVERIFY(used.open(QIODevice::ReadOnly));
        // The last line: after "Command exited with non-zero status" for a status.
        const int kilobytes = used.readAll().trimmed().split('\n').last().toInt();
        QVERIFY2(kilobytes > 0 && kilobytes < megabytes * 1024,
                 qPrintable(QString::number(kilobytes)));
#else
        Q_UNUSED(megabytes);
#endif
    }

    // A run ended by a signal a user sends leaves no file beside the summary's or
    // chart's place.
    void killed_run_leaves_no_file_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl+C") << SIGINT;
        QTest::newRow("kill") << SIGTERM;
        QTest::newRow("a closed terminal") << SIGHUP;
    }

    void killed_run_leaves_no_file()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral(QUEMADOR_CALC),
                      {"-c", "gas", "--csv", "-", "--grafico", dir.filePath("g.svg"), "--resumen",
                       dir.filePath("r.csv")});
        QVERIFY(process.waitForStarted());
        process.write("O2,T\n3,300\n");
        QTRY_COMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
        QCOMPARE(::kill(static_cast<pid_t>(process.processId()), signal), 0);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // The summary goes in whole or not at all: written beside its place and renamed.
    void summary_file_in_whole_or_not_at_all()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("informes");
        QVERIFY(QDir().mkpath(folder));
        const std::string path = (folder + "/resumen.csv").toStdString();
        {
            OutputFile file(output_target(path, "--resumen", "el resumen"));
            QVERIFY(file.commit("resultado;filas\n"));
        }
        QFile written(QString::fromStdString(path));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), QByteArray("resultado;filas\n"));
        {
            // A folder put in its place before the summary: nothing half done is left.
            OutputFile file(output_target(path, "--resumen", "el resumen"));
            QVERIFY(QFile::remove(QString::fromStdString(path)));
            QVERIFY(QDir().mkpath(QString::fromStdString(path + "/x")));
            QVERIFY(!file.commit("otro"));
            QVERIFY(!file.error().empty());
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{"resumen.csv"});
        {
            // A write that fails half way (the file size limit here, a full disk alike):
            // reported, and nothing half written is left.
            OutputFile file(output_target(dir.filePath("limitado.csv").toStdString(), "--resumen",
                                          "el resumen"));
            rlimit limit{};
            QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
            const rlimit small{8, limit.rlim_max};
            const auto handler = std::signal(SIGXFSZ, SIG_IGN);
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
            const bool committed = file.commit(std::string(64, 'x'));
            setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, handler);
            QVERIFY(!committed);
            QCOMPARE(file.error(), cause_words(EFBIG));
        }
        // A file left undone is taken away.
        {
            OutputFile file(
                output_target(dir.filePath("r.csv").toStdString(), "--resumen", "el resumen"));
        }
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
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
        const QString log = R"(printf 'O2,T\n3,300\n' > "$TMPDIR/q1-log.csv" && )" + calc +
            " -c gas --csv \"$TMPDIR/q1-log.csv\" --resumen ";
        QTest::newRow("summary onto the file standard output goes to")
            << log + R"("$TMPDIR/q1-out.csv" > "$TMPDIR/q1-out.csv")" << 2
            << "es la salida estándar, donde van los resultados";
        QTest::newRow("summary onto a folder") << log + R"("$TMPDIR")" << 2 << "es una carpeta";
    }

    void unusable_output_and_input()
    {
        QFETCH(QString, command);
        QFETCH(int, status);
        QFETCH(QString, error);
        QTemporaryDir dir;
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", dir.path());
        process.setProcessEnvironment(environment);
        process.start("/bin/sh", {"-c", command});
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), status);
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(err.contains(error), qPrintable(err));
    }

    // Every mode takes only options declared for it (a mode asking for another would
    // stop every run of it).
    void every_mode_takes_its_declared_options()
    {
        const Given given;
        take_reading(given);
        take_table(given);
        take_log(given);
    }

    // The man page's options section names every option with its argument, and no option
    // that is not declared.
    void man_page_names_every_option()
    {
        QFile file(QStringLiteral(QUEMADOR_MAN_PAGE));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(file.readAll());
        const auto begin = page.indexOf("\n.SH OPCIONES\n");
        const auto end = page.indexOf("\n.SH ", begin + 1);
        QVERIFY(begin >= 0 && end > begin);
        // Each line as troff sets it: a font macro's arguments run together, quotes gone.
        QString text;
        const QRegularExpression argument("\"([^\"]*)\"|(\\S+)");
        for (const QString& line : page.mid(begin, end - begin).split('\n')) {
            if (!line.startsWith('.')) {
                text += line + '\n';
                continue;
            }
            if (!QRegularExpression("^\\.(B|I|BR|BI|IR|RB|IB|RI)\\s").match(line).hasMatch())
                continue;
            for (const auto& match : argument.globalMatch(line.section(' ', 1)))
                text += match.captured(1) + match.captured(2);
            text += '\n';
        }
        text.remove(QRegularExpression("\\\\f[RBIP]")).replace("\\-", "-").replace("\\~", " ");
        for (const log::OptionSpec& spec : log::option_specs()) {
            const QString named = q(std::string(spec.name)) +
                (spec.argument.empty() ? "" : " " + q(std::string(spec.argument)));
            QVERIFY2(text.contains(named), qPrintable(named));
        }
        for (const auto& match : QRegularExpression("--[a-z0-9-]+").globalMatch(text)) {
            const std::string name = match.captured(0).toStdString();
            const auto specs = log::option_specs();
            QVERIFY2(name == "--help" || name == "--version" ||
                         std::any_of(specs.begin(), specs.end(),
                                     [&name](const auto& spec) { return spec.name == name; }),
                     name.c_str());
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
