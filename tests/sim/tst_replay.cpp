// The virtual controller replaying a session recording at a chosen speed.

#include "replay.h"
#include "schema_sql.h"
#include "slave_line.h"
#include "sql_file.h"
#include "virtual_controller.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

// A recording as the program writes it, with readings given as SQL rows of
// (t_us, code, raw).
static bool write_recording(const QString& path, const QString& readings)
{
    return Sql_File(path).exec(schema_sql() + "INSERT INTO readings(t_us, code, raw) VALUES " +
                               readings);
}

class Replay_Test : public QObject
{
    Q_OBJECT

private slots:
    void answers_follow_the_recording_data();
    void answers_follow_the_recording();

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
    QVERIFY(write_recording(
        path, "(0, 'DSA', 111), (1200000, 'DSA', 222), (600000, 'PSA', 444), "
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

QTEST_GUILESS_MAIN(Replay_Test)
#include "tst_replay.moc"
