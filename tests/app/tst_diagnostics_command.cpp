// One guided test from the command line, as a script runs it: the options
// read, and real runs against the virtual controller with its vehicle
// faults, each verdict ending in its own exit status.

#include "app_test_main.h"

#include "command_line.h"

#include <session_reader.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

class Diagnostics_Command : public QObject
{
    Q_OBJECT

private slots:
    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        // What was asked for, or words the usage error names.
        QTest::addColumn<QString>("asked");
        const auto row = [](const char* name, const QStringList& arguments, const char* asked) {
            QTest::newRow(name) << arguments << QString::fromUtf8(asked);
        };
        row("leak for a script",
            {"--simulate", "--leak-reservoir", "2.5", "--run-test", "leak", "--minutes", "0.5",
             "--json"},
            "leak 0.5 json reservoir=2.5");
        row("both sensors stuck",
            {"--simulate", "--stuck-sensor", "driver", "--stuck-sensor", "curb", "--run-test",
             "sensors"},
            "sensors nan stuck=11");
        row("with report and recording",
            {"--port", "ttyUSB0", "--run-test", "compressor", "--report", "r.pdf", "--record",
             "r.sqlite"},
            "compressor nan");
        row("with a job", {"--simulate", "--run-test", "leak", "--job", "technician=Ann"},
            "leak nan");
        row("unknown test", {"--simulate", "--run-test", "brakes"}, "--run-test");
        row("too short", {"--simulate", "--run-test", "leak", "--minutes", "0.4"}, "--minutes");
        row("sensors take no minutes", {"--simulate", "--run-test", "sensors", "--minutes", "1"},
            "--minutes");
        row("json alone", {"--simulate", "--json"}, "--json");
        row("no controller", {"--run-test", "leak"}, "--port");
        row("fault without simulation", {"--port", "ttyUSB0", "--leak-curb", "1"}, "--simulate");
        row("fault out of range", {"--simulate", "--weak-compressor", "2"}, "--weak-compressor");
        row("with a window's option", {"--simulate", "--run-test", "leak", "--show", "charts"},
            "--show");
    }

    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, asked);
        Command_Line::Options o;
        QString out, err;
        QTextStream out_stream(&out), err_stream(&err);
        const int status =
            Command_Line::Parse(QStringList{"Vantor"} + arguments, &o, out_stream, err_stream);
        if (asked.startsWith(QLatin1String("--"))) {
            QCOMPARE(status, Command_Line::Usage_Error);
            QVERIFY2(err.contains(asked), qPrintable(err));
            return;
        }
        QCOMPARE(status, Command_Line::Run);
        QCOMPARE(o.task, Command_Line::Task::Run_Test);
        QStringList got{Diagnostics::Test_Key(o.test), QString::number(o.minutes)};
        if (o.json)
            got << QStringLiteral("json");
        if (o.plant_faults.reservoir_leak > 0)
            got << QStringLiteral("reservoir=%1").arg(o.plant_faults.reservoir_leak);
        if (o.plant_faults.stuck_sensor[0] || o.plant_faults.stuck_sensor[1])
            got << QStringLiteral("stuck=%1%2")
                       .arg(o.plant_faults.stuck_sensor[0])
                       .arg(o.plant_faults.stuck_sensor[1]);
        QCOMPARE(got.join(QLatin1Char(' ')), asked);
    }

    // Each status once, the runs side by side: each takes real time.
    void runs()
    {
        QTemporaryDir dir;
        const QString record = dir.filePath(QStringLiteral("leak.sqlite"));
        const QString report = dir.filePath(QStringLiteral("report.html"));
        struct Run
        {
            QStringList arguments;
            int status;
            const char* printed; // the start of the verdict line, or JSON
        };
        Run runs[] = {
            {{"--simulate", "--leak-reservoir", "5", "--run-test", "leak", "--minutes", "0.5",
              "--json", "--record", record},
             3,
             "{"},
            {{"--simulate", "--run-test", "leak", "--minutes", "0.5"},
             4,
             "Air leak-down: INCONCLUSIVE"},
            {{"--simulate", "--run-test", "sensors", "--report", report},
             0,
             "Height sensors: PASS"},
            {{"--port", "/dev/null", "--run-test", "compressor"}, 1, ""},
        };
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        std::vector<std::unique_ptr<QProcess>> programs;
        for (const Run& run : runs) {
            programs.push_back(std::make_unique<QProcess>());
            programs.back()->setProcessEnvironment(env);
            programs.back()->start(QStringLiteral(VANTOR_PROGRAM), run.arguments);
        }
        QStringList printed;
        for (std::size_t i = 0; i < programs.size(); ++i) {
            QVERIFY(programs[i]->waitForFinished(120000));
            printed << QString::fromUtf8(programs[i]->readAllStandardOutput());
            QVERIFY2(printed[int(i)].left(int(qstrlen(runs[i].printed))) == runs[i].printed,
                     qPrintable(printed[int(i)]));
            QCOMPARE(programs[i]->exitCode(), runs[i].status);
        }

        const QJsonObject json = QJsonDocument::fromJson(printed[0].toUtf8()).object();
        QCOMPARE(json[QLatin1String("outcome")].toString() + json[QLatin1String("test")].toString(),
                 QStringLiteral("failleak"));
        Recording::Reader reader;
        QVERIFY(reader.open(QFile::encodeName(record).toStdString()));
        QStringList held;
        reader.results([&](const Recording::Result& r) {
            held << QString::fromStdString(r.test + ' ' + r.verdict);
            const auto details = QJsonDocument::fromJson(QByteArray::fromStdString(r.details));
            const double loss = details["figures"][0]["value"].toDouble();
            held << QString::number(std::lround(loss));
            return true;
        });
        reader.events([&](const Recording::Event& e) {
            if (QString::fromStdString(e.kind).startsWith(QLatin1String("guided_test_")))
                held << QString::fromStdString(e.kind);
            return true;
        });
        QCOMPARE(held.join(QLatin1Char(' ')),
                 QStringLiteral("guided_leak fail 5 guided_test_start guided_test_verdict"));
        QVERIFY(QFileInfo(report).size() > 0);
    }
};

VANTOR_TEST_MAIN(Diagnostics_Command)
#include "tst_diagnostics_command.moc"
