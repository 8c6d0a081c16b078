// SPDX-License-Identifier: GPL-3.0-or-later
// quemador1-calc's runs as a script sees them: where each output goes (symlinks, devices,
// FIFOs, standard output, collisions, a full disk), batches with a log that cannot be
// read, signals during a run, many logs under a small limit of open files, --silencio.
// Each case is a shell command run in a fresh folder holding three logs (a.csv, b.csv,
// c.csv) and an empty folder out/, with $C the program.

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {

struct Run {
    int status = -1;
    QString out;
    QString err;
};

const QByteArray log_text = "Caldera,O2,T\nNorte,3,300\nSur,4,320\n";

// A fresh folder with the logs, its path in dir.
void prepare(const QTemporaryDir& dir)
{
    for (const char* name : {"a.csv", "b.csv", "c.csv"}) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(log_text);
    }
    QVERIFY(QDir(dir.path()).mkdir("out"));
    // Other users may go through it (for the cases run without root's rights).
    QVERIFY(QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadOther | QFile::ExeOther | QFile::WriteOther));
}

Run shell(const QTemporaryDir& dir, const QString& command, int timeout = 20000)
{
    QProcess process;
    process.setWorkingDirectory(dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("C", QStringLiteral(QUEMADOR_CALC));
    process.setProcessEnvironment(environment);
    process.start("bash", {"-c", command});
    if (!process.waitForFinished(timeout))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// The hidden files left beside the outputs: temporaries that outlived the run.
QStringList leftovers(const QTemporaryDir& dir)
{
    QStringList found;
    for (const QString& folder : {dir.path(), dir.filePath("out")}) {
        for (const QString& name : QDir(folder).entryList(QDir::Hidden | QDir::Files))
            if (name.startsWith('.'))
                found << name;
    }
    return found;
}

} // namespace

class OutputsTest : public QObject {
    Q_OBJECT

private slots:
    // Each output target: the command, its status, what stderr says, and a check run
    // after it that must succeed.
    void targets_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("check");
        const QString run = "$C -c gas --csv a.csv --salida out ";
        QTest::newRow("a symlink to a file: the file written, the link kept")
            << "mkdir arch && echo viejo > arch/r.csv && ln -s arch/r.csv ultimo.csv && " + run +
                "--resumen ultimo.csv"
            << 0 << ""
            << "test -L ultimo.csv && grep -q caldera arch/r.csv";
        QTest::newRow("a dangling symlink: its target made")
            << "mkdir arch && ln -s arch/nuevo.csv ultimo.csv && " + run + "--grafico ultimo.csv"
            << 0 << ""
            << "test -L ultimo.csv && grep -q '<svg' arch/nuevo.csv";
        QTest::newRow("a relative symlink in another folder")
            << "mkdir -p arch/2026 && ln -s 2026/r.csv arch/ultimo.csv && " + run +
                "--resumen arch/ultimo.csv"
            << 0 << ""
            << "test -L arch/ultimo.csv && test -s arch/2026/r.csv";
        QTest::newRow("/dev/stdout, a file of the shell's")
            << run + "--resumen /dev/stdout > got.csv" << 0 << ""
            << "grep -q caldera got.csv && test ! -e /dev/stdout -o -L /dev/stdout";
        QTest::newRow("/dev/stderr") << run + "--resumen /dev/stderr -q 2> got.csv" << 0 << ""
                                     << "grep -q caldera got.csv";
        QTest::newRow("- is standard output")
            << run + "--resumen - | grep -c Norte > got.txt" << 0 << ""
            << "test \"$(cat got.txt)\" = 1 && test ! -e ./-";
        QTest::newRow("a FIFO, written into and kept")
            << "mkfifo f && (cat f > got.svg &) && " + run + "--grafico f; sleep 0.2" << 0 << ""
            << "test -p f && grep -q '<svg' got.svg";
        QTest::newRow("/dev/null") << run + "--resumen /dev/null --grafico /dev/null" << 0 << ""
                                   << "test -c /dev/null";
        QTest::newRow("a PDF on a terminal")
            << "script -qec '$C -c gas --csv a.csv --salida out --informe -' /dev/null" << 2
            << "no se escribe en la terminal"
            << "test -z \"$(ls out)\"";
        QTest::newRow("a PDF into a pipe") << run + "--informe - | head -c 5 > got.txt" << 0 << ""
                                           << "test \"$(cat got.txt)\" = %PDF-";
        QTest::newRow("a folder that does not exist")
            << run + "--resumen nada/r.csv" << 2 << "la carpeta «nada» no existe"
            << "test -z \"$(ls out)\"";
        QTest::newRow("two outputs on one file")
            << run + "--resumen x.pdf --informe x.pdf" << 2
            << "--resumen «x.pdf» y --informe «x.pdf» escribirían el mismo archivo"
            << "test ! -e x.pdf";
        QTest::newRow("two outputs on one file through a symlink")
            << "ln -s x.csv y.csv && " + run + "--resumen x.csv --grafico y.csv" << 2
            << "escribirían el mismo archivo"
            << "test ! -e x.csv";
        QTest::newRow("two outputs on standard output")
            << run + "--resumen - --grafico -" << 2 << "escribirían el mismo archivo"
            << "true";
        QTest::newRow("an output on its log")
            << run + "--resumen a.csv" << 2 << "--resumen «a.csv» es el propio registro"
            << "grep -q Norte a.csv";
        QTest::newRow("an output on its log through a symlink")
            << "ln -s a.csv enlace.csv && " + run + "--resumen enlace.csv" << 2
            << "es el propio registro"
            << "grep -q Norte a.csv";
        QTest::newRow("results on the log given on standard input")
            << "cp a.csv entrada-resultados.csv && $C -c gas --csv - --salida . < "
               "entrada-resultados.csv"
            << 2 << "es el propio registro"
            << "grep -q Norte entrada-resultados.csv";
        QTest::newRow("colliding results names")
            << "mkdir x y && cp a.csv x/log.csv && cp a.csv y/log.csv && $C -c gas --csv "
               "x/log.csv --csv y/log.csv --salida out"
            << 2
            << "los resultados de «x/log.csv» («out/log-resultados.csv») y los resultados de "
               "«y/log.csv» («out/log-resultados.csv») escribirían el mismo archivo"
            << "test -z \"$(ls out)\"";
        QTest::newRow("standard input and entrada.csv")
            << "cp a.csv entrada.csv && $C -c gas --csv - --csv entrada.csv --salida out < b.csv"
            << 2 << "escribirían el mismo archivo"
            << "test -z \"$(ls out)\"";
        QTest::newRow("the summary and results on standard output")
            << "$C -c gas --csv a.csv --resumen -" << 2
            << "es la salida estándar, donde van los resultados"
            << "true";
        QTest::newRow("a results file that is another log's")
            << "cp a.csv out/b-resultados.csv && $C -c gas --csv out/b-resultados.csv --csv b.csv "
               "--salida out"
            << 2 << "es el registro «out/b-resultados.csv»"
            << "grep -q Norte out/b-resultados.csv";
        QTest::newRow("a read-only folder")
            << "mkdir ro && chmod 555 ro && chmod 777 out && "
               "if [ $(id -u) = 0 ]; then P='setpriv --reuid=65534 --regid=65534 --clear-groups'; "
               "fi; $P $C -c gas --csv a.csv --salida out --resumen ro/r.csv"
            << 2 << "no se puede escribir el resumen en «ro/r.csv»: no hay permiso"
            << "test -z \"$(ls -A ro)$(ls -A out)\"";
    }

    void targets()
    {
        QFETCH(QString, command);
        QFETCH(int, status);
        QFETCH(QString, error);
        QFETCH(QString, check);
        QTemporaryDir dir;
        prepare(dir);
        const Run run = shell(dir, command);
        QVERIFY2(run.status == status, qPrintable(run.err));
        // A terminal's messages come through script's standard output.
        QVERIFY2(run.err.contains(error) || run.out.contains(error), qPrintable(run.err));
        const Run checked = shell(dir, check);
        QVERIFY2(checked.status == 0, qPrintable(check));
        QCOMPARE(leftovers(dir), QStringList());
    }

    // A full disk: the results that do not fit are said, with the reason, and their
    // temporary goes at once, so that a small log after them is still written.
    void full_disk()
    {
        QTemporaryDir dir;
        prepare(dir);
        if (shell(dir, "mkdir full && mount -t tmpfs -o size=32k tmpfs full 2>/dev/null").status !=
            0)
            QSKIP("no tmpfs can be mounted here (needs root in a system that allows it)");
        const Run run = shell(
            dir,
            "python3 -c \"print('Caldera,O2,T'); [print(f'B{i},3,300') for i in range(4000)]\" > "
            "big.csv && $C -c gas --csv big.csv --csv a.csv --salida full; s=$?; ls -A full > "
            "got.txt; umount full; exit $s");
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("no se pudieron escribir los resultados en "
                                  "«full/big-resultados.csv»: no queda espacio en el disco"),
                 qPrintable(run.err));
        QVERIFY2(run.err.contains("escrito: «full/a-resultados.csv»"), qPrintable(run.err));
        QCOMPARE(shell(dir, "cat got.txt").out, QString("a-resultados.csv\n"));
    }

    // A log that cannot be read, first, in the middle or last: the others are read and
    // written, the summary covers them, the written files are listed, and the status is
    // the worst.
    void batches_data()
    {
        QTest::addColumn<QString>("logs");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("report");
        QTest::newRow("a missing log first")
            << "--csv falta.csv --csv a.csv --csv b.csv"
            << "a b"
            << "registro «falta.csv» sin leer: no se puede abrir el archivo «falta.csv»: no existe"
            << 2 << "2 2 0 0";
        QTest::newRow("a folder in the middle")
            << "--csv a.csv --csv out --csv b.csv"
            << "a b"
            << "registro «out» sin leer: «out» es una carpeta" << 2 << "2 0 2 0";
        QTest::newRow("not a log, last")
            << "--csv a.csv --csv b.csv --csv nolog.csv"
            << "a b"
            << "registro «nolog.csv» sin leer: faltan las columnas de oxígeno y de temperatura" << 2
            << "2 0 0 2";
        QTest::newRow("an unreadable log")
            << "--csv a.csv --csv secreto.csv --csv b.csv"
            << "a b"
            << "registro «secreto.csv» sin leer: no se puede abrir el archivo «secreto.csv»: no "
               "hay permiso"
            << 2 << "2 0 2 0";
        QTest::newRow("every log read") << "--csv a.csv --csv b.csv --csv c.csv"
                                        << "a b c"
                                        << "" << 0 << "0 0 0 0";
    }

    void batches()
    {
        QFETCH(QString, logs);
        QFETCH(QString, written);
        QFETCH(QString, said);
        QFETCH(int, status);
        QFETCH(QString, report);
        QTemporaryDir dir;
        prepare(dir);
        const Run run = shell(
            dir,
            "printf 'x,y\\n1,2\\n' > nolog.csv && cp a.csv secreto.csv && chmod 000 "
            "secreto.csv && chmod 777 out && if [ $(id -u) = 0 ]; then P='setpriv "
            "--reuid=65534 --regid=65534 --clear-groups'; fi; $P $C -c gas " +
                logs +
                " --salida out --resumen out/resumen.csv --grafico out/g.svg --json out/r.json");
        QVERIFY2(run.status == status, qPrintable(run.err));
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        QStringList expected;
        for (const QString& log : written.split(' '))
            expected << log + "-resultados.csv";
        expected << "g.svg"
                 << "r.json"
                 << "resumen.csv";
        QCOMPARE(QDir(dir.filePath("out")).entryList(QDir::Files, QDir::Name), expected);
        // The summary covers the logs read: each boiler's rows from each of them.
        const Run summary = shell(dir, "grep '^Norte' out/resumen.csv | cut -d, -f2");
        QCOMPARE(summary.out.trimmed(), QString::number(written.split(' ').size()));
        // The list of what was written, in order, last on stderr.
        QStringList listed;
        for (const QString& log : written.split(' '))
            listed << "quemador1-calc: escrito: «out/" + log + "-resultados.csv»";
        listed << "quemador1-calc: escrito: «out/resumen.csv»"
               << "quemador1-calc: escrito: «out/g.svg»"
               << "quemador1-calc: escrito: «out/r.json»";
        const QStringList lines = run.err.trimmed().split('\n');
        QCOMPARE(lines.mid(lines.size() - listed.size()), listed);
        // The JSON report: the run's status, then each log's in order.
        const Run json = shell(dir,
                               "python3 -c 'import json; r = json.load(open(\"out/r.json\")); "
                               "print(r[\"estado\"], *(g[\"estado\"] for g in r[\"registros\"]))'");
        QCOMPARE(json.out.trimmed(), report);
        // The chart says which logs were left out.
        if (status != 0)
            QVERIFY(shell(dir, "grep -q 'sin leer' out/g.svg").status == 0);
    }

    // A signal during a run of 30 logs with every output: the run is ended by it and no
    // temporary is left beside any target. The 15th log is a FIFO that the test holds
    // open half written, so that its results are being written when the signal comes.
    void signal_during_run_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl+C") << SIGINT;
        QTest::newRow("kill") << SIGTERM;
        QTest::newRow("a closed terminal") << SIGHUP;
    }

    void signal_during_run()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        prepare(dir);
        QStringList args{"-c",        "gas",       "--salida",  "out",       "--resumen",
                         "out/r.csv", "--grafico", "out/g.svg", "--informe", "out/i.pdf"};
        for (int i = 1; i <= 30; ++i) {
            const QString name = QString("log%1.csv").arg(i, 2, 10, QChar('0'));
            args << "--csv" << name;
            if (i != 15)
                QVERIFY(QFile::copy(dir.filePath("a.csv"), dir.filePath(name)));
        }
        QCOMPARE(shell(dir, "mkfifo log15.csv").status, 0);
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(QUEMADOR_CALC), args);
        QVERIFY(process.waitForStarted());
        QFile fifo(dir.filePath("log15.csv"));
        QVERIFY(fifo.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        fifo.write(log_text);
        // The 14 logs before are written, and the 15th's results are under way.
        QTRY_COMPARE_WITH_TIMEOUT(
            QDir(dir.filePath("out")).entryList({"*-resultados.csv"}, QDir::Files).size(), 14,
            60000);
        QTRY_VERIFY(!leftovers(dir).isEmpty());
        QCOMPARE(::kill(static_cast<pid_t>(process.processId()), signal), 0);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(leftovers(dir), QStringList());
    }

    // A reader of standard output that goes away: the run ends by the closed pipe, and the
    // chart's and report's temporaries go with it.
    void closed_pipe()
    {
        QTemporaryDir dir;
        prepare(dir);
        QString logs;
        for (int i = 1; i <= 30; ++i)
            logs += " --csv log" + QString::number(i) + ".csv";
        // Standard output a pipe whose reader is gone before the run starts.
        const Run run = shell(
            dir,
            "for i in $(seq 30); do cp a.csv log$i.csv; done; python3 -c 'import os, "
            "subprocess, sys; r, w = os.pipe(); os.close(r); print(subprocess.run(sys.argv[1:], "
            "stdout=w).returncode)' $C -c gas" +
                logs + " --salida out --grafico out/g.svg --informe out/i.pdf --resumen -");
        QCOMPARE(run.out.trimmed(), QString::number(-SIGPIPE));
        QCOMPARE(leftovers(dir), QStringList());
    }

    // Each log and its results are open only while the log is read: many logs under a
    // limit of open files far below their number.
    void many_logs_few_descriptors()
    {
        QTemporaryDir dir;
        prepare(dir);
        const Run run =
            shell(dir,
                  "for i in $(seq 300); do cp a.csv l$i.csv; done; ulimit -n 24; $C -c gas "
                  "$(for i in $(seq 300); do printf -- '--csv l%s.csv ' $i; done) --salida "
                  "out --resumen r.csv -q",
                  60000);
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(run.err, QString());
        QCOMPARE(QDir(dir.filePath("out")).entryList(QDir::Files).size(), 300);
    }

    // --silencio: nothing on stderr but errors, in every mode.
    void quiet_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("one reading") << "$C -q -c gas --o2 3 --temp 300" << 0 << "";
        QTest::newRow("a table") << "$C --silencio --tabla -c gas" << 0 << "";
        QTest::newRow("a log with notices")
            << R"(printf 'O2,T\n3,300\n30,300\n' | $C -q -c gas --csv - --resumen r.csv)" << 1
            << "";
        QTest::newRow("a batch with a log left out")
            << "$C -q -c gas --csv a.csv --csv falta.csv --salida out" << 2
            << "quemador1-calc: registro «falta.csv» sin leer: no se puede abrir el archivo "
               "«falta.csv»: no existe (No such file or directory)\n";
        QTest::newRow("a wrong option") << "$C -q -c carbon --o2 3 --temp 300" << 2
                                        << "quemador1-calc: combustible desconocido: «carbon»";
    }

    void quiet()
    {
        QFETCH(QString, command);
        QFETCH(int, status);
        QFETCH(QString, error);
        QTemporaryDir dir;
        prepare(dir);
        const Run run = shell(dir, command + " > /dev/null");
        QCOMPARE(run.status, status);
        QVERIFY2(error.isEmpty() ? run.err.isEmpty() : run.err.startsWith(error),
                 qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(OutputsTest)
#include "test_outputs.moc"
