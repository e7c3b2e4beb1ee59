// vantor-sim as a user starts it: the device on the first line, options
// applied, --help, bad options refused, and a clean end on SIGTERM.

#include "slave_line.h"

#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

class Sim_Program_Test : public QObject
{
    Q_OBJECT

private slots:
    void options_data();
    void options();
};

void Sim_Program_Test::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("exit_code"); // -1: serves until terminated

    QTest::newRow("plain") << QStringList() << QByteArray("get DSA\rgo MDP") << "DSA \\d{5},<OK>,"
                           << -1;
    // The requests silenced come first: answers come in order.
    QTest::newRow("faults")
        << QStringList{"--fm2",     "00100",    "--silent",    "PSA,get MOD", "--refuse-moves",
                       "--verdict", "<FAIL 3>", "--test-time", "200",         "--noise",
                       "0"}
        << QByteArray("get PSA\rget MOD\rget FM2\rgo MCP\rgo CTS")
        << "FM2 00100,<REFUSED>,<OK>,<FAIL 3>," << -1;
    QTest::newRow("line") << QStringList{"--bad-checksum", "--delay", "10",     "--trickle",
                                         "--trickle-gap",  "100",     "--pace", "--no-compressor",
                                         "--fm1",          "00000",   "--fm3",  "00000"}
                          << QByteArray("get DSA\rset SRH") << "DSA \\d{5}!,<OK>," << -1;
    QTest::newRow("all silent") << QStringList{"--all-silent"} << QByteArray("get DSA") << "" << -1;
    QTest::newRow("hang-up") << QStringList{"--hang-up-after", "300"} << QByteArray("get DSA")
                             << "DSA \\d{5}," << -1;
    QTest::newRow("help") << QStringList{"--help"} << QByteArray() << "" << 0;
    for (const QStringList& bad : {QStringList{"--frobnicate"}, QStringList{"--fm1", "0012"},
                                   QStringList{"--delay"}, QStringList{"--verdict", "FAIL"}})
        QTest::newRow(qPrintable(bad.join(' '))) << bad << QByteArray() << "" << 2;
}

void Sim_Program_Test::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, request);
    QFETCH(QString, expected);
    QFETCH(int, exit_code);

    QProcess program;
    program.start(VANTOR_SIM_PROGRAM, arguments);
    QVERIFY(program.waitForStarted(10000));
    if (exit_code >= 0) {
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), exit_code);
        const QByteArray out = program.readAllStandardOutput();
        // Help goes to the standard output; a mistake only to the error output.
        QCOMPARE(out.startsWith("Usage:"), exit_code == 0);
        QCOMPARE(program.readAllStandardError().isEmpty(), exit_code == 0);
        return;
    }
    QByteArray first;
    while (!first.contains('\n') && program.waitForReadyRead(10000))
        first += program.readAllStandardOutput();
    const QString device = QString::fromLocal8Bit(first).section('\n', 0, 0);
    QVERIFY2(device.startsWith("/dev/"), qPrintable(device));
    {
        Slave_Line line(device.toStdString());
        QVERIFY(line.is_open());
        std::string seen;
        QVERIFY(line.write(request.toStdString() + "\r"));
        QVERIFY2(line.collect(expected, &seen), seen.c_str());
        QCOMPARE(line.read_for(std::chrono::milliseconds(200)), std::string());
        if (arguments.contains("--hang-up-after")) {
            pollfd p{line.fd(), POLLIN, 0};
            QCOMPARE(poll(&p, 1, 10000), 1);
            QVERIFY(p.revents & POLLHUP);
            QCOMPARE(write(line.fd(), "get DSA\r", 8), ssize_t(-1));
            QCOMPARE(errno, EIO);
        }
    }
    // The program goes on, hung up or not, until it is told to stop.
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY(::kill(pid_t(program.processId()), SIGTERM) == 0);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

QTEST_GUILESS_MAIN(Sim_Program_Test)
#include "tst_sim_program.moc"
