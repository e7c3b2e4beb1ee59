// The virtual controller replaying a session recording: its Get answers follow
// the recorded timeline at the chosen speed, and the programs refuse a
// recording they cannot read with one line and a non-zero status.

#include "plant_readings.h"
#include "recording_schema.h"
#include "replay.h"
#include "slave_line.h"
#include "virtual_controller.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

namespace {

struct Reading
{
    const char* code;
    long long t_us;
    int raw;
};

// A recording as the program writes it, with the given schema version.
bool write_recording(const QString& path, int version, std::initializer_list<Reading> readings)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.toLocal8Bit().constData(), &db) == SQLITE_OK;
    for (const char* sql : Recording::Schema)
        ok = ok && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    const QByteArray rows =
        QStringLiteral("INSERT INTO session VALUES('schema_version', '%1');").arg(version).toUtf8();
    ok = ok && sqlite3_exec(db, rows.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    for (const Reading& r : readings) {
        const QByteArray sql =
            QStringLiteral("INSERT INTO readings VALUES(%1, '%2', %3, NULL, NULL)")
                .arg(r.t_us)
                .arg(r.code)
                .arg(r.raw)
                .toUtf8();
        ok = ok && sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    return sqlite3_close(db) == SQLITE_OK && ok;
}

} // namespace

class Replay_Test : public QObject
{
    Q_OBJECT

private slots:
    void answers_follow_the_recording_data();
    void answers_follow_the_recording();
    void bad_recording_data();
    void bad_recording();

private:
    QTemporaryDir dir;
};

void Replay_Test::answers_follow_the_recording_data()
{
    QTest::addColumn<double>("speed");
    QTest::newRow("speed 1") << 1.0;
    QTest::newRow("speed 4") << 4.0;
}

void Replay_Test::answers_follow_the_recording()
{
    QFETCH(double, speed);
    const QString path = dir.filePath("session.db");
    QFile::remove(path);
    // DSA changes at 1.2 s; PSA is first read at 0.6 s. A reset challenge
    // stays live, and a raw value above 16 bits is a damaged row.
    QVERIFY(write_recording(path, Recording::Schema_Version,
                            {{"DSA", 0, 111},
                             {"DSA", 1200000, 222},
                             {"PSA", 600000, 444},
                             {"DSS", 0, 1},
                             {"ALG", 0, 5000},
                             {"FM1", 0, 10001},
                             {"MOD", 0, 70000}}));
    std::string error;
    const auto replay = Sim::Replay::load(path.toStdString(), &error);
    QVERIFY2(replay, error.c_str());
    Sim::Virtual_Controller sim;
    sim.set_replay(replay, speed);
    sim.set_counter(Sim::Counter::Overheat, 12345);
    QVERIFY2(sim.start(&error), error.c_str());
    Slave_Line line(sim.device_path());
    QElapsedTimer since_first;
    since_first.start();
    QCOMPARE(line.ask("get DSA"), "DSA 00111,");
    // Before its first reading a code answers its first recorded value.
    QCOMPARE(line.ask("get PSA"), "PSA 00444,");
    QCOMPARE(line.ask("get DSS"), "DSS 00001,");
    QCOMPARE(line.ask("get FM1"), "FM1 10001,");
    // Never read (or not replayable): as the plant answers.
    QCOMPARE(line.ask("get OTC"), "OTC 12345,");
    QVERIFY(QString::fromStdString(line.ask("get ALG"))
                .contains(QRegularExpression("^ALG 00\\d{3},$")));
    QVERIFY(QString::fromStdString(line.ask("get MOD"))
                .contains(QRegularExpression("^MOD 0000[0-5],$")));
    QCOMPARE(line.ask("go MDP"), "<OK>,");

    std::string seen;
    while (since_first.elapsed() < 10000 && (seen = line.ask("get DSA")) != "DSA 00222,")
        QTest::qWait(10);
    QCOMPARE(seen, "DSA 00222,");
    // One-sided: not before its time, and at speed 4 well before the
    // recording's own 1.2 s.
    QVERIFY2(since_first.elapsed() >= 1200 / speed,
             qPrintable(QString::number(since_first.elapsed())));
    QVERIFY(speed == 1.0 || since_first.elapsed() < 1200);
    // After the recording's end the last values hold.
    QTest::qWait(200);
    QCOMPARE(line.ask("get DSA"), "DSA 00222,");
}

void Replay_Test::bad_recording_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("file"); // written by the row: "text", "v99", else missing
    QTest::addColumn<QString>("message");
    QStringList programs{VANTOR_SIM_PROGRAM};
#ifdef VANTOR_PROGRAM
    programs << VANTOR_PROGRAM;
#endif
    for (const QString& program : programs) {
        const QString name = QFileInfo(program).fileName();
        QTest::newRow(qPrintable(name + " missing")) << program << "missing"
                                                     << "cannot open the recording";
        QTest::newRow(qPrintable(name + " text")) << program << "text"
                                                  << "not a session recording";
        QTest::newRow(qPrintable(name + " v99")) << program << "v99"
                                                 << "recording format 99,";
    }
}

void Replay_Test::bad_recording()
{
    QFETCH(QString, program);
    QFETCH(QString, file);
    QFETCH(QString, message);
    const QString path = dir.filePath(file + ".db");
    QFile::remove(path);
    if (file == "text") {
        QFile text(path);
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("time,code\n0,DSA\n") > 0);
    } else if (file == "v99") {
        QVERIFY(write_recording(path, 99, {{"DSA", 0, 1}}));
    }
    QProcess run;
    const QStringList simulate{"--simulate"};
    run.start(program, (program.endsWith("vantor-sim") ? QStringList() : simulate) +
                           QStringList{"--replay", path, "--replay-speed", "2"});
    QVERIFY(run.waitForFinished(10000));
    QCOMPARE(run.exitCode(), 2);
    const QString error = QString::fromLocal8Bit(run.readAllStandardError());
    QVERIFY2(error.count('\n') == 1 && error.contains(message), qPrintable(error));
    QVERIFY(run.readAllStandardOutput().isEmpty());
}

QTEST_GUILESS_MAIN(Replay_Test)
#include "tst_replay.moc"
