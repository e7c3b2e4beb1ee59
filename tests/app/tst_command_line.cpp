// The program's command line, run as a script would run it: every usage
// mistake ends at once with one line and status 2, before anything is opened
// or written; a headless recording that stops early fails the run; every
// front end, vantor-sim too, refuses a file it cannot read as a recording.

#include "app_test_main.h"

#include "build_info.h"
#include "command_line.h"
#include "sql_file.h"

#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

// The files and folders under DIR, but for the folders made for the run.
QStringList made_in(const QString& dir)
{
    QStringList made;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = QDir(dir).relativeFilePath(it.next());
        if (path != QLatin1String("home") && path != QLatin1String("work"))
            made << path;
    }
    return made;
}

} // namespace

class Command_Line_Test : public QObject
{
    Q_OBJECT

    // A folder of its own for each run: the program's current folder and its
    // home, so that anything it creates shows.
    std::unique_ptr<QTemporaryDir> dir;
    // Files a run must leave alone.
    QTemporaryDir elsewhere;

    QString work() const { return dir->filePath(QStringLiteral("work")); }

    // Starts the program in work() with a home of its own, and the offscreen
    // display unless there should be none at all.
    void start(QProcess& program, const QStringList& arguments, bool display = true)
    {
        const QString home = dir->filePath(QStringLiteral("home"));
        QProcessEnvironment env;
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir->path());
        if (display)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // A sanitizer run's settings and suppressions hold for the program too.
        const QProcessEnvironment outer = QProcessEnvironment::systemEnvironment();
        for (const QString& name : outer.keys())
            if (name.endsWith(QLatin1String("SAN_OPTIONS")))
                env.insert(name, outer.value(name));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(work());
        const bool sim = arguments.value(0) == QLatin1String("vantor-sim");
        program.start(sim ? QStringLiteral(VANTOR_SIM_PROGRAM) : QStringLiteral(VANTOR_PROGRAM),
                      sim ? QStringList(arguments.mid(1)) : arguments);
    }

    // Whether the program ended by itself within MS; killed when not.
    static bool ended(QProcess& program, int ms)
    {
        if (program.waitForFinished(ms))
            return true;
        program.kill();
        program.waitForFinished();
        return false;
    }

private slots:
    void initTestCase()
    {
        QFile taken(elsewhere.filePath(QStringLiteral("taken.sqlite")));
        QVERIFY(taken.open(QIODevice::WriteOnly) && taken.write("keep") == 4);
        QFile plain(elsewhere.filePath(QStringLiteral("plain")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        // Files no front end takes for a recording.
        QVERIFY(mkfifo(QFile::encodeName(elsewhere.filePath("fifo.sqlite")).constData(), 0600) ==
                0);
        QVERIFY(QDir(elsewhere.path()).mkdir("folder.sqlite"));
        QFile text(elsewhere.filePath("text.sqlite"));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("time,code\n0,DSA\n") > 0);
        QVERIFY(Sql_File(elsewhere.filePath("v3.sqlite"))
                    .exec("CREATE TABLE session(key, value);"
                          "INSERT INTO session VALUES('schema_version', 3);"));
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("home")));
        QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("work")));
    }

    // What a good command line asks for, read without running the program.
    void parses_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("asked");
        QTest::newRow("port dialog") << QStringList() << "window port= record= quit=4000/0";
        QTest::newRow("simulated recording")
            << QStringList{"--simulate", "--record", "r.sqlite", "--quit-after", "100"}
            << "window simulate port= record=r.sqlite quit=100/1";
        QTest::newRow("joined values")
            << QStringList{"--port=/dev/ttyUSB0", "--show=charts,traffic"}
            << "window port=/dev/ttyUSB0 record= quit=4000/0 show=charts+traffic";
        QTest::newRow("toolkit options left out")
            << QStringList{"-platform", "offscreen", "-style=fusion", "-reverse", "--simulate"}
            << "window simulate port= record= quit=4000/0";
        QTest::newRow("recording shown")
            << QStringList{"--open", "a.sqlite", "--show", "charts"}
            << "window port= record= quit=4000/0 show=charts open=a.sqlite";
        QTest::newRow("screenshot") << QStringList{"--simulate", "--screenshot", "s.png"}
                                    << "window simulate port= record= quit=4000/0 shot=s.png";
        QTest::newRow("report") << QStringList{"--port", "ttyUSB0", "--report", "s.pdf"}
                                << "report port=ttyUSB0 record= quit=4000/0 report=s.pdf";
        QTest::newRow("export") << QStringList{"--traffic", "--export-csv", "a.sqlite", "out.csv"}
                                << "export port= record= quit=4000/0 csv=a.sqlite>out.csv traffic";
        QTest::newRow("export of a name like an option")
            << QStringList{"--export-csv", "a.sqlite", "--", "-out.csv"}
            << "export port= record= quit=4000/0 csv=a.sqlite>-out.csv";
    }

    void parses()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, asked);
        Command_Line::Options o;
        QString out, err;
        QTextStream out_stream(&out), err_stream(&err);
        QCOMPARE(Command_Line::Parse(QStringList{"Vantor"} + arguments, &o, out_stream, err_stream),
                 Command_Line::Run);
        QCOMPARE(out + err, QString());
        const char* tasks[] = {"window", "export", "report"};
        QStringList got{QLatin1String(tasks[int(o.task)])};
        if (o.simulate)
            got << QStringLiteral("simulate");
        got << "port=" + o.port << "record=" + o.record
            << QStringLiteral("quit=%1/%2").arg(o.quit_after_ms).arg(o.quit_after_set);
        if (!o.show.isEmpty())
            got << "show=" + o.show.join(QLatin1Char('+'));
        if (!o.open.isEmpty())
            got << "open=" + o.open;
        if (!o.screenshot.isEmpty())
            got << "shot=" + o.screenshot;
        if (!o.report.isEmpty())
            got << "report=" + o.report;
        if (o.task == Command_Line::Task::Export_CSV)
            got << "csv=" + o.export_recording + '>' + o.export_output;
        if (o.traffic)
            got << QStringLiteral("traffic");
        QCOMPARE(got.join(QLatin1Char(' ')), asked);
    }

    void usage_errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        // Words the one line names: the options, or the values, at fault.
        QTest::addColumn<QStringList>("named");
        const QString empty;
        const auto row = [](const char* name, const QStringList& arguments,
                            const QStringList& named) {
            QTest::newRow(name) << arguments << named;
        };
        // A mistake in the options themselves.
        row("unknown option", {"--bogus"}, {"bogus"});
        row("missing value", {"--simulate", "--port"}, {"--port"});
        row("an option for a value", {"--port", "--simulate"}, {"--port"});
        row("no number", {"--simulate", "--quit-after", "soon"}, {"--quit-after"});
        row("unknown dock", {"--simulate", "--show", "gauges"}, {"--show"});
        row("traffic alone", {"--traffic"}, {"--traffic", "--export-csv"});
        // An empty value is a wrong value.
        row("empty report", {"--simulate", "--report", empty}, {"--report"});
        row("empty open", {"--open", empty}, {"--open"});
        row("empty record", {"--simulate", "--quit-after", "100", "--record", empty}, {"--record"});
        row("empty screenshot", {"--simulate", "--quit-after", "100", "--screenshot", empty},
            {"--screenshot"});
        row("empty port", {"--port", empty}, {"--port"});
        row("empty show", {"--simulate", "--quit-after", "100", "--show", empty}, {"--show"});
        row("empty replay", {"--simulate", "--quit-after", "100", "--replay", empty}, {"--replay"});
        row("empty export", {"--export-csv", empty, "out.csv"}, {"--export-csv"});
        row("empty export output", {"--export-csv", "a.sqlite", empty}, {"OUT.csv"});
        row("empty quit-after", {"--simulate", "--quit-after", empty}, {"--quit-after"});
        // Options that cannot go together.
        row("record and open", {"--record", "r.sqlite", "--open", "a.sqlite"},
            {"--record", "--open"});
        row("record and report", {"--simulate", "--record", "r.sqlite", "--report", "s.html"},
            {"--record", "--report"});
        row("record and export", {"--export-csv", "a.sqlite", "out.csv", "--record", "r.sqlite"},
            {"--export-csv", "--record"});
        row("report and screenshot",
            {"--simulate", "--report", "s.html", "--screenshot", "shot.png"},
            {"--report", "--screenshot"});
        row("export and simulate", {"--export-csv", "a.sqlite", "out.csv", "--simulate"},
            {"--export-csv", "--simulate"});
        row("simulate and port", {"--simulate", "--port", "ttyUSB0"}, {"--simulate", "--port"});
        row("open and simulate", {"--simulate", "--open", "a.sqlite"}, {"--open", "--simulate"});
        // An option given twice.
        row("two ports", {"--port", "ttyUSB0", "--port", "ttyUSB1"},
            {"--port", "ttyUSB0", "ttyUSB1"});
        row("two recordings shown", {"--open", "a.sqlite", "--open", "b.sqlite"},
            {"--open", "a.sqlite", "b.sqlite"});
        row("two recordings made",
            {"--simulate", "--quit-after", "100", "--record", "a.sqlite", "--record", "b.sqlite"},
            {"--record", "a.sqlite", "b.sqlite"});
        row("two reports", {"--simulate", "--report", "a.html", "--report", "b.html"},
            {"--report", "a.html", "b.html"});
        row("two exports", {"--export-csv", "a.sqlite", "--export-csv", "b.sqlite", "out.csv"},
            {"--export-csv", "a.sqlite", "b.sqlite"});
        // Arguments that belong to no option.
        row("stray argument", {"--simulate", "--quit-after", "100", "stray.sqlite"},
            {"stray.sqlite"});
        row("two CSV files", {"--export-csv", "a.sqlite", "out.csv", "more.csv"}, {"more.csv"});
    }

    // One line naming what is wrong, status 2, and nothing opened or written:
    // no file, no window left waiting for a person.
    void usage_errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, named);
        QProcess program;
        start(program, arguments);
        QVERIFY2(ended(program, 10000), "the program did not end by itself");
        const QString said = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 2);
        QVERIFY2(said.endsWith(QLatin1Char('\n')) && said.count(QLatin1Char('\n')) == 1,
                 qPrintable(said));
        for (const QString& word : named)
            QVERIFY2(said.contains(word), qPrintable(said));
        QCOMPARE(program.readAllStandardOutput(), QByteArray());
        QCOMPARE(made_in(dir->path()), QStringList());
    }

    // Runs that end by themselves: the status, and what the output says (the
    // error output when the run fails). Help and the version need no display
    // at all, as over SSH or from a script.
    void runs_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--record <FILE>";
        QTest::newRow("short help") << QStringList{"-h"} << 0 << "--record <FILE>";
        QTest::newRow("version") << QStringList{"--version"} << 0
                                 << "Pelmar Interface " VANTOR_FULL_VERSION "\n";
        QTest::newRow("unwritten screenshot")
            << QString("-platform offscreen --simulate --quit-after 300 --screenshot "
                       "/nonexistent/shot.png")
                   .split(' ')
            << 1 << "could not write";
        // A recording never replaces a file, nor is made where no folder is,
        // and says so before any port opens.
        const QString taken = elsewhere.filePath(QStringLiteral("taken.sqlite"));
        const QString in_a_file = elsewhere.filePath(QStringLiteral("plain/recording.sqlite"));
        for (const QString& file : {taken, in_a_file})
            QTest::newRow(qPrintable(file))
                << QStringList{"--simulate", "--record", file, "--quit-after", "100"} << 2
                << (file == taken ? file + " already exists; a recording never replaces a file"
                                  : file);
        // Every front end refuses these at once, saying why; a FIFO keeps
        // none of them waiting for a writer.
        const std::pair<const char*, const char*> refused[] = {
            {"fifo", "not a session recording"},
            {"folder", "Is a directory"},
            {"text", "not a session recording"},
            {"missing", "No such file or directory"},
            {"v3", "a recording of a newer format (version 3); this program reads up to 2"}};
        for (const auto& [name, reason] : refused) {
            const QString file = elsewhere.filePath(QString(name) + ".sqlite");
            const QString why = file + ": " + reason;
            QTest::addRow("--open %s", name) << QStringList{"--open", file, "--quit-after", "300"}
                                             << 2 << "Cannot open " + why + '.';
            QTest::addRow("--simulate --replay %s", name)
                << QStringList{"--simulate", "--replay", file, "--quit-after", "300"} << 2 << why;
            QTest::addRow("vantor-sim --replay %s", name)
                << QStringList{"vantor-sim", "--replay", file} << 2 << "vantor-sim: " + why;
        }
        // The kept recording of the first format: every front end reads it.
        const QString v1 = VANTOR_TEST_DATA "/v1.sqlite";
        for (const QStringList& reads :
             {QStringList{"--open", v1, "--quit-after", "300"},
              QStringList{"--simulate", "--replay", v1, "--quit-after", "300"},
              QStringList{"--export-csv", v1, "v1.csv"}, QStringList{"vantor-sim", "--replay", v1}})
            QTest::newRow(qPrintable(reads.first() + " v1")) << reads << 0 << QString();
    }

    void runs()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        QProcess program;
        start(program, arguments,
              arguments.contains(QStringLiteral("--simulate")) ||
                  arguments.contains(QStringLiteral("--open")));
        if (arguments.first() == QLatin1String("vantor-sim") && status == 0) {
            // It serves until it is stopped, naming its pseudo-terminal first.
            QVERIFY(program.waitForReadyRead(10000) && program.readLine().startsWith("/dev/"));
            program.terminate();
        }
        QVERIFY2(ended(program, 30000), "still running");
        QCOMPARE(program.exitCode(), status);
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2((status == 0 ? out : err).contains(output), qPrintable(out + err));
        // A window's run may hear from Qt on a headless machine.
        QVERIFY2(status != 0 || output.isEmpty() || err.isEmpty(), qPrintable(err));
        QFile taken(elsewhere.filePath(QStringLiteral("taken.sqlite")));
        QVERIFY(taken.open(QIODevice::ReadOnly) && taken.readAll() == "keep");
    }

    // The recording's file vanishes while a headless run records: the run
    // says why on the error output and fails, without waiting for anyone.
    void headless_recording_that_stops_fails_the_run()
    {
        const QString file = QDir(work()).filePath(QStringLiteral("vanishing.sqlite"));
        QProcess program;
        start(program, {QStringLiteral("--simulate"), QStringLiteral("--record"), file,
                        QStringLiteral("--quit-after"), QStringLiteral("6000")});
        QVERIFY(program.waitForStarted());
        // Taken away once the recording runs: its log has grown by a batch
        // after the file was made.
        const QString log = file + QStringLiteral("-wal");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(log).size() > 0, 10000);
        const qint64 made = QFileInfo(log).size();
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(log).size() > made, 10000);
        QVERIFY(QFile::remove(file));
        QVERIFY2(ended(program, 30000), "the program did not end by itself");
        const QString said = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        QVERIFY2(said.contains(file) && said.contains(QStringLiteral("disappeared")),
                 qPrintable(said));
    }

    // The same run with its file left alone ends well and says nothing; its
    // recording names the controller from the first second.
    void headless_recording_succeeds()
    {
        const QString file = QDir(work()).filePath(QStringLiteral("lasting.sqlite"));
        QProcess program;
        start(program, {QStringLiteral("--simulate"), QStringLiteral("--record"), file,
                        QStringLiteral("--quit-after"), QStringLiteral("2000")});
        QVERIFY(program.waitForFinished(30000));
        const QString said = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(!said.contains(QStringLiteral("Recording")), qPrintable(said));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(Sql_File(file, true)
                     .column("SELECT key || '=' || value FROM session WHERE key "
                             "IN ('serial_number', 'firmware') ORDER BY key"),
                 QVariantList({"firmware=AS150 R1.07", "serial_number=202407154711"}));
    }
};

VANTOR_TEST_MAIN(Command_Line_Test)
#include "tst_command_line.moc"
