// vantor-sim as a user starts it: the device on the first line, options
// applied, --help, and a clean end on SIGTERM.

#include "frame_check.h"
#include "slave_line.h"
#include "std_string_output.h"

#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

using namespace std::chrono_literals;

class Sim_Program_Test : public QObject
{
    Q_OBJECT

private slots:
    void prints_the_device_and_serves_until_terminated();
    void options_inject_faults();
    void hang_up_option_closes_the_line();
    void help_lists_the_options();
    void unknown_option_is_an_error();

private:
    // Starts the program and returns the device it printed.
    QString start(QProcess& program, const QStringList& arguments);
    void terminate(QProcess& program);
};

QString Sim_Program_Test::start(QProcess& program, const QStringList& arguments)
{
    program.start(VANTOR_SIM_PROGRAM, arguments);
    if (!program.waitForStarted(10000))
        return {};
    QByteArray first;
    while (!first.contains('\n') && program.waitForReadyRead(10000))
        first += program.readAllStandardOutput();
    return QString::fromLocal8Bit(first).section('\n', 0, 0);
}

void Sim_Program_Test::terminate(QProcess& program)
{
    QVERIFY(::kill(pid_t(program.processId()), SIGTERM) == 0);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

void Sim_Program_Test::prints_the_device_and_serves_until_terminated()
{
    QProcess program;
    const QString device = start(program, {});
    QVERIFY2(device.startsWith("/dev/"), qPrintable(device));
    {
        Slave_Line line(device.toStdString());
        QVERIFY(line.is_open());
        QVERIFY(is_value_response(line.ask("get DSA"), "DSA"));
        QCOMPARE(line.ask("go MDP"), std::string("<OK>\n"));
    }
    terminate(program);
}

void Sim_Program_Test::options_inject_faults()
{
    QProcess program;
    const QString device =
        start(program, {"--fm2", "00100", "--silent", "PSA,get MOD", "--refuse-moves", "--verdict",
                        "<FAIL 3>", "--test-time", "200", "--noise", "0"});
    {
        Slave_Line line(device.toStdString());
        QVERIFY(line.is_open());
        QCOMPARE(field_of(line.ask("get FM2")), std::string("00100"));
        QVERIFY(line.write("get PSA\rget MOD\r"));
        QVERIFY(is_value_response(line.ask("get DSA"), "DSA"));
        QCOMPARE(line.ask("go MCP"), std::string("<REFUSED>\n"));
        QCOMPARE(line.ask("go CTS"), std::string("<OK>\n"));
        QCOMPARE(line.read_frame(10s), std::string("<FAIL 3>\n"));
    }
    terminate(program);
}

void Sim_Program_Test::hang_up_option_closes_the_line()
{
    QProcess program;
    const QString device = start(program, {"--hang-up-after", "300"});
    {
        Slave_Line line(device.toStdString());
        QVERIFY(line.is_open());
        QVERIFY(is_value_response(line.ask("get DSA"), "DSA"));
        pollfd p{line.fd(), POLLIN, 0};
        QCOMPARE(poll(&p, 1, 10000), 1);
        QVERIFY(p.revents & POLLHUP);
        QCOMPARE(write(line.fd(), "get DSA\r", 8), ssize_t(-1));
        QCOMPARE(errno, EIO);
    }
    // The program itself goes on until it is told to stop.
    QCOMPARE(program.state(), QProcess::Running);
    terminate(program);
}

void Sim_Program_Test::help_lists_the_options()
{
    QProcess program;
    program.start(VANTOR_SIM_PROGRAM, {"--help"});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
    const QString help = QString::fromLocal8Bit(program.readAllStandardOutput());
    for (const char* option :
         {"--fm1", "--fm2", "--fm3", "--silent", "--all-silent", "--delay", "--trickle",
          "--trickle-gap", "--noise", "--bad-checksum", "--refuse-moves", "--verdict",
          "--test-time", "--hang-up-after", "--pace"})
        QVERIFY2(help.contains(option), option);
}

void Sim_Program_Test::unknown_option_is_an_error()
{
    for (const QStringList& arguments :
         {QStringList{"--frobnicate"}, QStringList{"--fm1", "0012"}, QStringList{"--delay"},
          QStringList{"--verdict", "FAIL"}}) {
        QProcess program;
        program.start(VANTOR_SIM_PROGRAM, arguments);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 2);
        QVERIFY(program.readAllStandardOutput().isEmpty());
        QVERIFY(!program.readAllStandardError().isEmpty());
    }
}

QTEST_GUILESS_MAIN(Sim_Program_Test)
#include "tst_sim_program.moc"
