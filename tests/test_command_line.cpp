// SPDX-License-Identifier: GPL-3.0-or-later
// The real executable's command line: its own options answer without a display,
// Qt's options still reach Qt, anything else is refused, and a missing display is
// told in one line instead of Qt's core dump.

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void run_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("display"); // empty: DISPLAY unset
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out_begins");
        QTest::addColumn<QString>("err");

        const QString usage = "Uso: quemador1 [-h | --help] [-v | --version] [opciones de Qt]\n";
        const auto row = [](const char* name, const QStringList& arguments, const QString& display,
                            int status, const QString& out_begins, const QString& err) {
            QTest::newRow(name) << arguments << display << status << out_begins << err;
        };
        row("--help", {"--help"}, "", 0, usage + "Calcula el exceso de aire", "");
        row("-h after an unknown option", {"--frob", "-h"}, "", 0, usage, "");
        row("--version", {"--version"}, "", 0, "Quemador1 1.0.0\n", "");
        row("-v", {"-v"}, "", 0, "Quemador1 1.0.0\n", "");
        row("Qt's options are Qt's", {"-platform", "offscreen", "-style", "fusion", "--frob"}, "",
            2, "", "quemador1: opción desconocida: «--frob»\n" + usage);
        row("an argument", {"-platform", "offscreen", "informe.txt"}, "", 2, "",
            "quemador1: argumento de más: «informe.txt»\n" + usage);
        row("an unknown option, no display", {"--frob"}, "", 2, "",
            "quemador1: opción desconocida: «--frob»\n" + usage);
        row("an unknown option, a display that is not there", {"--frob"}, ":7391", 2, "",
            "quemador1: opción desconocida: «--frob»\n" + usage);
        row("Qt's options with two dashes or =", {"--platform", "offscreen", "-style=fusion", "x"},
            "", 2, "", "quemador1: argumento de más: «x»\n" + usage);
        row("a Qt option without its value", {"-reverse", "-platform"}, "", 2, "",
            "quemador1: falta el valor de la opción «-platform»\n" + usage);
        row("-display names the display", {"-display", ":7392"}, "", 1, "",
            "quemador1: no se puede conectar con la pantalla «:7392»\n");
        row("no DISPLAY", {}, "", 1, "",
            "quemador1: no hay pantalla: la variable DISPLAY está vacía\n");
        row("a display that is not there", {}, ":7391", 1, "",
            "quemador1: no se puede conectar con la pantalla «:7391»\n");
    }

    void run()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, display);
        QFETCH(int, status);
        QFETCH(QString, out_begins);
        QFETCH(QString, err);

        const QTemporaryDir runtime_dir;
        QVERIFY(runtime_dir.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        if (!display.isEmpty())
            environment.insert("DISPLAY", display);
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.insert("XDG_RUNTIME_DIR", runtime_dir.path());

        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QUEMADOR1_PATH, arguments);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit); // no crash, no core dump
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        QCOMPARE(QString::fromUtf8(program.readAllStandardError()), err);
        QVERIFY2(out_begins.isEmpty() ? out.isEmpty() : out.startsWith(out_begins),
                 qPrintable(out));
        QCOMPARE(program.exitCode(), status);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
