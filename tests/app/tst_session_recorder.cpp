// Session recordings against the virtual controller, and a killed recording.
#include "app_test_main.h"
#include "test_requests.h"

#include "main_window.h"
#include "recording/session_recorder.h"

#include <virtual_controller.h>

#include "sql_file.h"

#include <QAbstractButton>
#include <QProcess>

// A recording opened read-only, as a user's script would open it.
class Reader : public Sql_File
{
public:
    explicit Reader(const QString& file) : Sql_File(file, true) {}
};

class Session_Recording : public QObject
{
    Q_OBJECT

public:
    // The program's runs have no display.
    Session_Recording() { qputenv("QT_QPA_PLATFORM", "offscreen"); }

private slots:
    void recording_matches_the_line();
    void compressor_verdict_is_a_result();
    void a_vanished_file_stops_only_the_recording();
    void killed_program_leaves_a_sound_file();

private:
    // Starts a recording into FILE and connects to the controller.
    void record(MainWindow& window, Sim::Virtual_Controller& sim, const QString& file)
    {
        QString error;
        QVERIFY(sim.start());
        QVERIFY2(window.Start_Recording(dir.filePath(file), &error), qPrintable(error));
        window.Open_Port(QString::fromStdString(sim.device_path()));
    }
    QTemporaryDir dir;
};

void Session_Recording::recording_matches_the_line()
{
    Prompt_Answers prompts;
    Sim::Virtual_Controller sim;
    // At the real line's pace: an instant line outruns a sanitizer build's
    // writer, and the test would only measure how far behind it falls.
    sim.set_line_pacing(true);
    sim.set_angle_raw(Sim::Side::Driver, 785);
    MainWindow window;
    record(window, sim, QStringLiteral("line.sqlite"));
    Session_Recorder* recorder = window.Recorder();
    QTRY_VERIFY(recorder->Exchanges() > 0);

    // The driver's angle changes between two readings of the recording's clock.
    const qint64 before_us = recorder->Elapsed_Ms() * 1000;
    sim.set_angle_raw(Sim::Side::Driver, 330);
    // Two batches written since.
    const qint64 at_change = recorder->Exchanges();
    QTRY_VERIFY(recorder->Exchanges() > at_change);
    const qint64 a_batch_later = recorder->Exchanges();
    QTRY_VERIFY(recorder->Exchanges() > a_batch_later);
    window.Display_Tabs()->setCurrentIndex(2); // the device tab reads its parts
    QTRY_VERIFY(sim.request_count("get REV") > 0);
    // The technician raises the driver's side for a moment.
    auto raise = window.findChild<QAbstractButton*>(QStringLiteral("btnFillLeft"));
    emit raise->pressed();
    QTRY_VERIFY(sim.request_count("go MDP") > 0);
    emit raise->released();
    // A glitch of three bytes before each answer, for a few answers.
    sim.set_noise_bytes(3);
    const unsigned glitched_from = sim.total_requests();
    QTRY_VERIFY(sim.total_requests() > glitched_from + 3);
    sim.set_noise_bytes(0);
    // The controller falls silent: the requests time out.
    sim.set_all_silent(true);
    QTRY_VERIFY(!prompts.asked.isEmpty());
    // What the technician adds: a mark, the work order, a test's outcome.
    recorder->Add_Marker(QStringLiteral("door open"));
    recorder->Set_Job(QStringLiteral("vin"), QStringLiteral("1FT123"));
    recorder->Add_Result(QStringLiteral("leak"), QStringLiteral("pass"), QStringLiteral("no leak"),
                         QStringLiteral("{\"psi\": 2}"));
    window.Quit_Now();
    QTRY_COMPARE(sim.total_requests(), unsigned(recorder->Exchanges()));
    window.Stop_Recording();
    // A clean end leaves one self-contained file.
    const QString file = recorder->File_Name();
    QVERIFY(!QFile::exists(file + "-wal") && !QFile::exists(file + "-shm"));
    QCOMPARE(Reader(file).value("PRAGMA journal_mode").toString(), QStringLiteral("delete"));

    Reader rec(file);
    QCOMPARE(rec.value("SELECT text FROM markers").toString(), QStringLiteral("door open"));
    QCOMPARE(rec.value("SELECT key || '=' || value FROM job").toString(),
             QStringLiteral("vin=1FT123"));
    QCOMPARE(rec.value("SELECT test || verdict || summary || details FROM results").toString(),
             QStringLiteral("leakpassno leak{\"psi\": 2}"));
    // Every request as the controller received it, with its carriage return.
    const QVariantList tx = rec.column("SELECT bytes FROM traffic WHERE direction = 'tx' "
                                       "ORDER BY rowid");
    QCOMPARE(tx.size(), int(sim.total_requests()));
    QCOMPARE(tx.last().toByteArray(), QByteArray::fromStdString(sim.last_request()) + '\r');
    QCOMPARE(unsigned(tx.count(QByteArray("get DSA\r"))), sim.request_count("get DSA"));

    // Every answer as sent: body, checksum and line feed.
    const QVariantList rx = rec.column("SELECT bytes FROM traffic WHERE direction = 'rx'");
    for (const QVariant& frame : rx) {
        const QByteArray bytes = frame.toByteArray();
        if (!bytes.startsWith('<'))
            QCOMPARE(bytes, value_frame(bytes.constData()));
    }

    // Each glitch as one row of its three bytes, however the receiver dropped them.
    const QVariantList glitches =
        rec.column("SELECT length(bytes) FROM traffic WHERE direction = 'noise'");
    QVERIFY(!glitches.isEmpty());
    QCOMPARE(glitches.count(3), glitches.size());

    // The readings switch from the old angle to the new once, after the change.
    const QVariantList raws =
        rec.column("SELECT raw FROM readings WHERE code = 'DSA' ORDER BY t_us");
    const int switch_at = raws.indexOf(330);
    QVERIFY(raws.indexOf(785) == 0 && switch_at > 0 && raws.lastIndexOf(785) == switch_at - 1);
    QVERIFY(
        rec.value("SELECT min(t_us) FROM readings WHERE code = 'DSA' AND raw = 330").toLongLong() >=
        before_us);
    QCOMPARE(rec.value("SELECT round(value, 1) || unit FROM readings WHERE raw = 785").toString(),
             QStringLiteral("30.0deg"));

    QCOMPARE(rec.column("SELECT kind FROM events WHERE kind LIKE 'port%' ORDER BY t_us"),
             QVariantList({"port_opened", "port_closed"}));
    QVERIFY(rec.value("SELECT count(*) FROM events WHERE kind = 'timeout'").toInt() > 0);
    // A slow machine may see the time-out more than once before the end.
    QCOMPARE(rec.column("SELECT kind || ': ' || text FROM events WHERE kind LIKE 'move%' OR "
                        "kind = 'box' ORDER BY t_us LIMIT 3"),
             QVariantList({"move_pressed: driver raise", "move_released: driver raise",
                           "box: COM Timeout: Communication failed.  Retry?"}));
    QCOMPARE(
        rec.column("SELECT key || '=' || value FROM session WHERE key NOT IN "
                   "('started', 'program_version') ORDER BY key"),
        QVariantList({"firmware=AS150 R1.07", "port=" + QString::fromStdString(sim.device_path()),
                      "schema_version=2", "serial_number=202407154711"}));
}

void Session_Recording::compressor_verdict_is_a_result()
{
    Prompt_Answers prompts;
    Sim::Virtual_Controller sim;
    QVERIFY(sim.set_test_verdict("<FAIL 2>"));
    sim.set_test_duration(std::chrono::milliseconds(200));
    MainWindow window;
    record(window, sim, QStringLiteral("compressor.sqlite"));
    QTRY_VERIFY(window.Recorder()->Exchanges() > 0);
    window.findChild<QAbstractButton*>(QStringLiteral("btnCompTest"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(sim.request_count("go CTS") > 0 && !prompts.asked.isEmpty(), 10000);
    window.Quit_Now();
    window.Stop_Recording();
    Reader rec(window.Recorder()->File_Name());
    QCOMPARE(rec.column("SELECT text FROM events WHERE kind = 'compressor_test_verdict'"),
             QVariantList{"<FAIL 2>"});
    QCOMPARE(rec.column("SELECT test || ' ' || verdict || ' ' || summary || ' ' || details FROM "
                        "results"),
             QVariantList{"compressor fail <FAIL 2> {\"response\": \"<FAIL 2>\"}"});
}

void Session_Recording::a_vanished_file_stops_only_the_recording()
{
    Prompt_Answers prompts;
    Sim::Virtual_Controller sim;
    MainWindow window;
    record(window, sim, QStringLiteral("vanishing.sqlite"));
    const QString file = window.Recorder()->File_Name();
    QTRY_VERIFY(window.Recorder()->Exchanges() > 5);
    QVERIFY(QFile::remove(file));
    QTRY_VERIFY(!window.Recorder()->Is_Recording());
    QCOMPARE(prompts.asked.size(), 1);
    QCOMPARE(prompts.asked[0].title, QStringLiteral("Recording stopped"));
    QVERIFY(prompts.asked[0].text.contains(file));
    // The connection goes on.
    const unsigned served = sim.total_requests();
    QTRY_VERIFY(sim.total_requests() > served + 5);
    QVERIFY(window.Worker());
    window.Quit_Now();
}

void Session_Recording::killed_program_leaves_a_sound_file()
{
    const QString file = dir.filePath(QStringLiteral("killed.sqlite"));
    QProcess program;
    program.start(QStringLiteral(VANTOR_PROGRAM),
                  {QStringLiteral("--simulate"), QStringLiteral("--record"), file});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(file).size() > 0, 10000); // the schema is there
    const QString last_row = QStringLiteral("SELECT max(t_us) FROM traffic");
    qint64 first_us = 0, committed_us = 0;
    {
        // What a reader sees has been committed: it must survive the kill.
        Reader live(file);
        QTRY_VERIFY_WITH_TIMEOUT((first_us = live.value(last_row).toLongLong()) > 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT((committed_us = live.value(last_row).toLongLong()) > first_us,
                                 10000);
    }
    program.kill();
    QVERIFY(program.waitForFinished());

    Reader rec(file);
    QCOMPARE(rec.value("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    QVERIFY(rec.value(last_row).toLongLong() >= committed_us);
}

VANTOR_TEST_MAIN(Session_Recording)
#include "tst_session_recorder.moc"
