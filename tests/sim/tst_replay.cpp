// The virtual controller replaying a session recording at a chosen speed, and
// the programs refusing a recording they cannot read.

#include "replay.h"
#include "session_schema.h"
#include "slave_line.h"
#include "virtual_controller.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sqlite3.h>

// A recording as the program writes it: its schema, the version, and the
// readings given as SQL rows of (t_us, code, raw).
static bool write_recording(const QString& path, int version, const QString& readings)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(path.toLocal8Bit().constData(), &db) == SQLITE_OK;
    for (std::size_t i = 0; i < Recording::Schema_Statements; ++i)
        ok = ok && sqlite3_exec(db, Recording::Schema[i], nullptr, nullptr, nullptr) == SQLITE_OK;
    const QByteArray rows = QStringLiteral("INSERT INTO session VALUES('schema_version', '%1');"
                                           "INSERT INTO readings(t_us, code, raw) VALUES %2")
                                .arg(version)
                                .arg(readings)
                                .toUtf8();
    ok = ok && sqlite3_exec(db, rows.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    return sqlite3_close(db) == SQLITE_OK && ok;
}

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
    const QString path = dir.filePath(QTest::currentDataTag());
    // DSA changes at 1.2 s; PSA is first read at 0.6 s. A reset challenge
    // stays live, and a raw value above 16 bits is a damaged row.
    QVERIFY(
        write_recording(path, Recording::Schema_Version,
                        "(0, 'DSA', 111), (1200000, 'DSA', 222), (600000, 'PSA', 444), "
                        "(0, 'DSS', 1), (0, 'ALG', 5000), (0, 'FM1', 10001), (0, 'MOD', 70000)"));
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
    // Before its first reading a code answers its first recorded value; codes
    // never read (OTC) or not replayable answer as the plant does.
    std::string seen;
    QVERIFY(line.write("get DSA\rget PSA\rget DSS\rget FM1\rget OTC\rget ALG\rget MOD\rgo MDP\r"));
    QVERIFY2(line.collect("DSA 00111,PSA 00444,DSS 00001,FM1 10001,OTC 12345,ALG 00\\d{3},"
                          "MOD 0000[0-5],<OK>,",
                          &seen),
             seen.c_str());

    while (since_first.elapsed() < 10000 && (seen = line.ask("get DSA")) != "DSA 00222,")
        QTest::qWait(10);
    QCOMPARE(seen, "DSA 00222,");
    // One-sided: not before its time, and at speed 4 well before the
    // recording's own 1.2 s.
    const qint64 ms = since_first.elapsed();
    QVERIFY2(ms >= 1200 / speed && (speed == 1.0 || ms < 1200), qPrintable(QString::number(ms)));
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
    const std::pair<const char*, const char*> files[] = {
        {"missing", "No such file or directory"},
        {"text", "not a session recording"},
        {"v99", "a recording of a newer format (version 99); this program reads up to 2"}};
    for (const QString& program : programs)
        for (const auto& [file, message] : files)
            QTest::newRow(qPrintable(QFileInfo(program).fileName() + ' ' + file))
                << program << file << message;
}

void Replay_Test::bad_recording()
{
    QFETCH(QString, program);
    QFETCH(QString, file);
    QFETCH(QString, message);
    const QString path = dir.filePath(QTest::currentDataTag());
    if (file == "text") {
        QFile text(path);
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("time,code\n0,DSA\n") > 0);
    } else if (file == "v99") {
        QVERIFY(write_recording(path, 99, "(0, 'DSA', 1)"));
    }
    QProcess run;
    run.start(program,
              (program.endsWith("vantor-sim") ? QStringList() : QStringList{"--simulate"}) +
                  QStringList{"--replay", path, "--replay-speed", "2"});
    QVERIFY(run.waitForFinished(10000));
    QCOMPARE(run.exitCode(), 2);
    const QString error = QString::fromLocal8Bit(run.readAllStandardError());
    QVERIFY2(error.count('\n') == 1 && error.contains(message), qPrintable(error));
}

QTEST_GUILESS_MAIN(Replay_Test)
#include "tst_replay.moc"
