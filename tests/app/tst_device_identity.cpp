// The controller's serial number and firmware, read once when a port opens
// whatever tab is shown, and in a headless recording from its first second.
#include "app_test_main.h"

#include "main_window.h"

#include <virtual_controller.h>

#include <QProcess>

#include <sqlite3.h>

class Device_Identity_Test : public QObject
{
    Q_OBJECT

private slots:
    void read_once_at_connect_whatever_tab();
    void headless_recording_names_the_controller();
};

void Device_Identity_Test::read_once_at_connect_whatever_tab()
{
    Prompt_Answers prompts;
    Sim::Virtual_Controller sim;
    QVERIFY(sim.start());
    MainWindow window;
    window.Open_Port(QString::fromStdString(sim.device_path()));
    QTRY_VERIFY(sim.request_count("get REV") > 0);
    // The main tab keeps polling meanwhile; the identity is not read again.
    const unsigned polled = sim.total_requests();
    QTRY_VERIFY(sim.total_requests() > polled + 20);
    for (const char* code : {"SN1", "SN2", "SN3", "SN4", "PRT", "REV"})
        QCOMPARE(sim.request_count(std::string("get ") + code), 1u);
    QVERIFY(prompts.asked.isEmpty());
    window.Quit_Now();
}

void Device_Identity_Test::headless_recording_names_the_controller()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("run.sqlite"));
    QProcess program;
    program.setProcessEnvironment([] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }());
    program.start(QStringLiteral(VANTOR_PROGRAM),
                  {QStringLiteral("--simulate"), QStringLiteral("--record"), file,
                   QStringLiteral("--quit-after"), QStringLiteral("2000")});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);

    sqlite3* db = nullptr;
    QCOMPARE(
        sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr),
        SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db,
                                "SELECT key || '=' || value FROM session WHERE key IN "
                                "('serial_number', 'firmware') ORDER BY key",
                                -1, &st, nullptr),
             SQLITE_OK);
    QStringList identity;
    while (sqlite3_step(st) == SQLITE_ROW)
        identity << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    sqlite3_close(db);
    QCOMPARE(identity, QStringList({"firmware=AS150 R1.07", "serial_number=202407154711"}));
}

VANTOR_TEST_MAIN(Device_Identity_Test)
#include "tst_device_identity.moc"
