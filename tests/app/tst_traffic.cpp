// The traffic monitor: frames in words, batched updates, filters, saving, a
// whole recording read on demand, find, and rows chosen by time.
#include "app_test_main.h"
#include "sql_file.h"
#include "test_responses.h"

#include "main_window.h"
#include "recording/session_recorder.h"
#include "views/charts_dock.h"
#include "views/frame_text.h"
#include "views/line_tap.h"
#include "views/recorded_traffic_model.h"
#include "views/traffic_dock.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <virtual_controller.h>

#include <session_schema.h>

#include <atomic>
#include <thread>

using namespace Views;

namespace {

Line_Frame frame(Direction direction, const QByteArray& bytes)
{
    Line_Frame f;
    f.direction = direction;
    f.bytes = bytes;
    return f;
}

// The worker's report that REQUEST went unanswered.
Line_Frame timeout_of(Quillon::Packet_Class* request)
{
    Line_Frame f = frame(Direction::Answer, {});
    f.timeout = true;
    f.packet = Quillon::Packet_Shared_Ptr(request);
    f.packet->AllocateData();
    return f;
}

// A recording of EXCHANGES requests and answers of DSA, PSA and PXV in turn,
// 1.65 ms apart, each answer's value its number; requests are stored before
// all answers, as a bulk import may, so that the file's order is not time
// order. Events: the port opened at 0, a time-out after the 100,000th answer.
// A row whose time is text is left out; one whose time is a real number
// comes last.
void write_recording(const QString& file, int exchanges)
{
    Sql_File db(file);
    for (std::size_t i = 0; i < Recording::Schema_Statements; ++i)
        QVERIFY(db.exec(QString::fromLatin1(Recording::Schema[i])));
    QVERIFY(db.exec(
        QStringLiteral(
            "INSERT INTO session VALUES ('schema_version', '2');"
            "CREATE TEMP TABLE ex AS WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM "
            "n "
            "WHERE i < %1 - 1) SELECT i, i * 1650 AS t, substr('DSAPSAPXV', 1 + 3 * (i %% 3), 3) "
            "AS "
            "code FROM n;"
            "INSERT INTO traffic SELECT t, 'tx', CAST('get ' || code || char(13) AS BLOB) FROM ex;"
            "INSERT INTO traffic SELECT t + 1500, 'rx', CAST(code || ' ' || printf('%%05d', i) || "
            "char(31, 10) AS BLOB) FROM ex;"
            "INSERT INTO traffic VALUES ('abc', 'noise', x'00'), (1e12 + 0.5, 'noise', x'01');"
            "INSERT INTO events VALUES (0, 'port_opened', '/dev/ttyUSB0'), "
            "(100000 * 1650 + 1600, 'timeout', 'get PXV');")
            .arg(exchanges)
            .replace(QLatin1String("%%"), QLatin1String("%"))));
}

} // namespace

class Traffic : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void frames_in_words_data();
    void frames_in_words();
    void a_busy_line_updates_in_batches();
    void filters_show_the_matching_rows_data();
    void filters_show_the_matching_rows();
    void pause_copy_and_save();
    void hidden_docks_take_nothing_from_the_line();
    void one_tap_for_the_recorder_and_the_docks();
    void rows_of_their_own_kind();
    void a_whole_recording_on_demand();
    void find_data();
    void find();
    void rows_chosen_by_time_data();
    void rows_chosen_by_time();
    void a_recording_filtered_as_it_is_read_data();
    void a_recording_filtered_as_it_is_read();
    void a_recording_saved_a_piece_at_a_time();

private:
    QTemporaryDir dir;
    QString large;
};

void Traffic::frames_in_words_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("meaning");
    const auto answer = int(Direction::Answer);
    QTest::newRow("request") << int(Direction::Request) << QByteArray("get PXV\r")
                             << QString::fromUtf8("get PXV⏎") << "read PXV reservoir pressure";
    QTest::newRow("set") << int(Direction::Request) << QByteArray("set SLP 12\r")
                         << QString::fromUtf8("set SLP 12⏎") << "set SLP store dump height 12";
    QTest::newRow("pressure") << answer << QByteArray("PXV 00758\x1f\n") << "PXV 00758<1F><0A>"
                              << "PXV reservoir pressure 758 = 120.0 psi";
    QTest::newRow("mode") << answer << QByteArray("MOD 00002\x1f\n") << "MOD 00002<1F><0A>"
                          << "MOD operating mode 2 = Raising";
    QTest::newRow("faults") << answer << QByteArray("FM2 00110\x1f\n") << "FM2 00110<1F><0A>"
                            << "FM2 fault group 2 110 = over-pressure, air leak";
    QTest::newRow("unreadable") << answer << QByteArray("PXV 0x758\x1f\n") << "PXV 0x758<1F><0A>"
                                << "PXV reservoir pressure 0x758 = unreadable value";
    QTest::newRow("system") << answer << QByteArray("<OK>\n") << "<OK><0A>"
                            << "<OK>";
    QTest::newRow("noise") << int(Direction::Noise) << QByteArray("\xff\x00zz\r\n\x7f", 7)
                           << QString::fromUtf8("<FF><00>zz⏎<0A><7F>") << "noise, 7 bytes";
}

void Traffic::frames_in_words()
{
    QFETCH(int, direction);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QFETCH(QString, meaning);
    QCOMPARE(Visible_Bytes(bytes), shown);
    QCOMPARE(Frame_Meaning(Direction(direction), bytes), meaning);
}

// 5,000 frames in one second from another thread, as the worker sends them.
void Traffic::a_busy_line_updates_in_batches()
{
    QElapsedTimer took; // from before the tap's timer starts
    took.start();
    Line_Tap tap;
    tap.Set_Wanted(Line_Tap::Docks, true);
    Traffic_Dock dock;
    dock.show();
    connect(&tap, &Line_Tap::Frames, &dock, &Traffic_Dock::Add_Frames);
    int updates = 0;
    connect(dock.Model(), &QAbstractItemModel::rowsInserted, [&] { ++updates; });
    std::atomic<bool> done{false};
    std::thread line([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 5000; ++i) {
            tap.Push(frame(Direction::Request, "get DSA\r"));
            if (i % 50 == 49)
                std::this_thread::sleep_until(start + std::chrono::milliseconds(i / 5));
        }
        done = true;
    });
    while (!done)
        QTest::qWait(5);
    line.join();
    // Four a second, and the first at once: a slow machine may take longer
    // than the second.
    const qint64 allowed = took.elapsed() / 250 + 1;
    QVERIFY2(updates <= std::max<qint64>(5, allowed), qPrintable(QString::number(updates)));
    tap.Deliver();
    QTRY_COMPARE(dock.Model()->rowCount(), 5000);
    dock.Set_Refresh_Interval(0);

    // Only the newest rows are kept.
    for (int i = 0; i < Traffic_Model::Max_Rows; ++i)
        tap.Push(frame(Direction::Request, QByteArray::number(i)));
    tap.Deliver();
    QCOMPARE(dock.Model()->rowCount(), Traffic_Model::Max_Rows);
    QCOMPARE(dock.Model()->Row(Traffic_Model::Max_Rows - 1).bytes,
             QByteArray::number(Traffic_Model::Max_Rows - 1));
}

void Traffic::filters_show_the_matching_rows_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("direction"); // combo box index: 0 all
    QTest::addColumn<int>("rows");
    QTest::newRow("everything") << "" << 0 << 7;
    QTest::newRow("one code") << "pxv" << 0 << 4;
    QTest::newRow("requests of a code") << "PXV" << 1 << 2;
    QTest::newRow("answers") << "" << 2 << 2;
    QTest::newRow("noise") << "" << 3 << 1;
    QTest::newRow("no such code") << "ZZZ" << 0 << 0;
}

void Traffic::filters_show_the_matching_rows()
{
    QFETCH(QString, code);
    QFETCH(int, direction);
    QFETCH(int, rows);
    Traffic_Dock dock;
    dock.Set_Refresh_Interval(0);
    dock.Add_Frames(
        {frame(Direction::Request, "get PXV\r"), frame(Direction::Answer, "PXV 00758\x1f\n"),
         frame(Direction::Request, "get DSA\r"), frame(Direction::Noise, "\x01\x02"),
         frame(Direction::Answer, "DSA 00100\x1f\n"), frame(Direction::Request, "get PXV\r"),
         timeout_of(new Quillon::Packet_Get_PXV)});
    dock.findChild<QLineEdit*>(QStringLiteral("tbxTrafficCode"))->setText(code);
    dock.findChild<QComboBox*>(QStringLiteral("cbxTrafficDirection"))->setCurrentIndex(direction);
    QCOMPARE(dock.View()->model()->rowCount(), rows);
    QCOMPARE(dock.Model()->Text(6, Traffic_Model::Meaning),
             QStringLiteral("time-out after 1 send: read PXV reservoir pressure"));
}

void Traffic::pause_copy_and_save()
{
    Traffic_Dock dock;
    dock.Set_Refresh_Interval(0);
    dock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dock));
    // Other exchanges in between do not end the count; a system answer ends a set's.
    QVector<Line_Frame> sends(3, frame(Direction::Request, "get OAT\r"));
    sends << frame(Direction::Request, "set SLP 12\r") << frame(Direction::Answer, "<OK>\n")
          << frame(Direction::Request, "get DSA\r") << frame(Direction::Answer, "DSA 00100\x1f\n");
    sends << sends.mid(0, 3) << timeout_of(new Quillon::Packet_Get_OAT);
    dock.Add_Frames(sends);
    QCOMPARE(dock.Model()->Text(10, Traffic_Model::Meaning),
             QStringLiteral("time-out after 6 sends: read OAT compressor temperature"));

    dock.findChild<QCheckBox*>(QStringLiteral("cbxTrafficPause"))->setChecked(true);
    dock.Add_Frames({frame(Direction::Noise, "x")});
    QCOMPARE(dock.Model()->rowCount(), 11);
    dock.Set_Paused(false);
    QCOMPARE(dock.Model()->rowCount(), 12);

    dock.View()->selectRow(10);
    dock.Copy_Selection();
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("0.000\t0.000\ttime-out\t\ttime-out after 6 sends: read OAT compressor "
                            "temperature\n"));

    QTemporaryDir dir;
    dock.findChild<QComboBox*>(QStringLiteral("cbxTrafficDirection"))->setCurrentIndex(3);
    QString error;
    QVERIFY(dock.Save_Shown(dir.filePath(QStringLiteral("t.txt")), &error));
    QFile saved(dir.filePath(QStringLiteral("t.txt")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("0.000\t0.000\tnoise\tx\tnoise, 1 byte\n"));
    QVERIFY(!dock.Save_Shown(dir.path(), &error));
    QVERIFY(error.contains(dir.path()));
}

// The window's docks against the virtual controller: while hidden they take
// nothing from the line, and shown again they start from what it sends next.
void Traffic::hidden_docks_take_nothing_from_the_line()
{
    Prompt_Answers answers;
    Sim::Virtual_Controller sim;
    QVERIFY(sim.start());
    MainWindow window;
    window.show();
    window.Open_Port(QString::fromStdString(sim.device_path()));
    QVERIFY(window.Worker());
    Line_Tap* tap = window.Views_Tap();
    Traffic_Model* rows = window.Traffic()->Model();
    const Chart_Data& readings = window.Charts()->Data();
    // Waits for N more requests on the line, and the tap's next delivery.
    const auto line_runs = [&](unsigned n) {
        const unsigned until = sim.total_requests() + n;
        const bool ran = QTest::qWaitFor([&] { return sim.total_requests() >= until; }, 10000);
        QTest::qWait(120);
        return ran;
    };

    QVERIFY(line_runs(20));
    QCOMPARE(tap->Queued(), 0);
    QCOMPARE(rows->rowCount(), 0);
    QVERIFY(readings.Is_Empty());

    window.Show_Views({"charts", "traffic"});
    // Both on show, even where the screen is small enough for them to share
    // one place as tabs.
    window.addDockWidget(Qt::RightDockWidgetArea, window.Traffic());
    QTRY_VERIFY(window.Charts()->Is_Shown() && window.Traffic()->Is_Shown());
    QTRY_VERIFY_WITH_TIMEOUT(rows->rowCount() > 0 && !readings.Is_Empty(), 20000);

    // Hidden as from the View menu.
    window.Charts()->toggleViewAction()->trigger();
    window.Traffic()->toggleViewAction()->trigger();
    QVERIFY(!window.Charts()->isVisible() && !window.Traffic()->isVisible());
    QElapsedTimer hidden;
    hidden.start();
    const int kept_rows = rows->rowCount();
    const double last_reading = readings.Last_Time();
    const double last_row = rows->Row(kept_rows - 1).t_s;
    QVERIFY(line_runs(20));
    QCOMPARE(tap->Queued(), 0);
    QCOMPARE(rows->rowCount(), kept_rows);
    QCOMPARE(readings.Last_Time(), last_reading);

    // The traffic alone again: the line from now on, nothing from before.
    const double hidden_s = hidden.nsecsElapsed() / 1e9;
    window.Traffic()->toggleViewAction()->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(rows->rowCount() > kept_rows, 20000);
    QVERIFY2(rows->Row(kept_rows).t_s - last_row >= hidden_s,
             qPrintable(QStringLiteral("%1 s after the last row, hidden for %2 s")
                            .arg(rows->Row(kept_rows).t_s - last_row)
                            .arg(hidden_s)));
    QVERIFY(line_runs(20));
    QCOMPARE(readings.Last_Time(), last_reading);
}

// The recorder and the docks share the tap: a recording wants the line with
// the docks hidden, the docks shown later get only what came after, and with
// neither the tap takes nothing.
void Traffic::one_tap_for_the_recorder_and_the_docks()
{
    Prompt_Answers answers;
    Sim::Virtual_Controller sim;
    QVERIFY(sim.start());
    QTemporaryDir dir;
    MainWindow window;
    window.show();
    QString error;
    QVERIFY2(window.Start_Recording(dir.filePath(QStringLiteral("tap.sqlite")), &error),
             qPrintable(error));
    window.Open_Port(QString::fromStdString(sim.device_path()));
    Line_Tap* tap = window.Views_Tap();
    Traffic_Model* rows = window.Traffic()->Model();
    QVERIFY(tap->Is_Wanted(Line_Tap::Recorder) && !tap->Is_Wanted(Line_Tap::Docks));
    QTRY_VERIFY(window.Recorder()->Exchanges() > 20);
    QCOMPARE(rows->rowCount(), 0);

    window.Show_Views({"traffic"});
    QTRY_VERIFY(tap->Is_Wanted(Line_Tap::Docks));
    const double shown_s = tap->Wanted_Since(Line_Tap::Docks) / 1e6;
    QTRY_VERIFY(rows->rowCount() > 0);
    QVERIFY(rows->Row(0).t_s >= shown_s);

    window.Stop_Recording();
    QVERIFY(!tap->Is_Wanted(Line_Tap::Recorder));
    window.Traffic()->toggleViewAction()->trigger();
    QVERIFY(!tap->Is_Wanted());
    QCOMPARE(tap->Queued(), 0);
    const unsigned from = sim.total_requests();
    QTRY_VERIFY(sim.total_requests() > from + 20);
    QCOMPARE(tap->Queued(), 0);
    window.Quit_Now();
}

// Noise that comes in pieces, over batches, is one row until something else
// comes; a time-out is a row of its own, and marks its request.
void Traffic::rows_of_their_own_kind()
{
    Traffic_Dock dock;
    dock.Set_Refresh_Interval(0);
    dock.Add_Frames({frame(Direction::Noise, "a"), frame(Direction::Noise, "bc")});
    dock.Add_Frames({frame(Direction::Noise, "d"), frame(Direction::Request, "get PXV\r"),
                     frame(Direction::Noise, "e"), timeout_of(new Quillon::Packet_Get_PXV)});
    const Traffic_Model* rows = dock.Model();
    QCOMPARE(rows->rowCount(), 4);
    const QStringList want[] = {
        {"noise", "abcd", "noise, 4 bytes"},
        {"request, unanswered", QString::fromUtf8("get PXV⏎"), "read PXV reservoir pressure"},
        {"noise", "e", "noise, 1 byte"},
        {"time-out", "", "time-out after 1 send: read PXV reservoir pressure"}};
    for (int row = 0; row < 4; ++row)
        QCOMPARE(
            (QStringList{rows->Text(row, Traffic_Table::Dir), rows->Text(row, Traffic_Table::Bytes),
                         rows->Text(row, Traffic_Table::Meaning)}),
            want[row]);
    QVERIFY(rows->index(3, 0).data(Qt::BackgroundRole).isValid());
    QVERIFY(rows->index(1, 0).data(Qt::BackgroundRole).isValid());
    QVERIFY(!rows->index(0, Traffic_Table::Bytes).data(Qt::FontRole).isNull());
    QCOMPARE(rows->index(0, Traffic_Table::Bytes).data(Qt::ToolTipRole).toString(),
             QStringLiteral("abcd"));
}

void Traffic::initTestCase()
{
    large = dir.filePath(QStringLiteral("large.sqlite"));
    write_recording(large, 150000);
}

// 300,000 frames: more rows than one slice of the index, read as asked.
void Traffic::a_whole_recording_on_demand()
{
    Recorded_Traffic_Model model;
    QString error;
    QVERIFY2(model.Open(large, &error), qPrintable(error));
    QCOMPARE(model.rowCount(), 0);
    QTRY_VERIFY(model.rowCount() > 0);
    QTRY_VERIFY(model.Is_Indexed());
    QCOMPARE(model.rowCount(), 300003);
    // The first rows, far inside, the events, and the row of a real time last.
    const struct
    {
        int row;
        double t_s;
        const char* bytes;
        const char* meaning;
    } rows[] = {
        {0, 0.0, "get DSA\u23CE", "read DSA driver-side angle"},
        {1, 0.0, "", "port opened: /dev/ttyUSB0"},
        {155556, 128.33355, "PXV 77777<1F><0A>", "PXV reservoir pressure 77777"},
        {200002, 165.0015, "PSA 100000<1F><0A>", "PSA curb-side angle"},
        {200003, 165.0016, "", "time-out after 1 send: read PXV reservoir pressure"},
        {300002, 1e6, "<01>", "noise, 1 byte"},
    };
    for (const auto& r : rows) {
        QCOMPARE(model.Row(r.row).t_s, r.t_s);
        QCOMPARE(model.Text(r.row, Traffic_Table::Bytes), QString::fromUtf8(r.bytes));
        QVERIFY2(model.Text(r.row, Traffic_Table::Meaning).startsWith(QString::fromUtf8(r.meaning)),
                 qPrintable(model.Text(r.row, Traffic_Table::Meaning)));
    }
    QVERIFY(!model.Open(dir.path(), &error));
}

void Traffic::find_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<int>("from"); // -1: no row chosen
    QTest::addColumn<int>("found");
    QTest::newRow("forward") << "pxv 77777" << true << -1 << 155556;
    QTest::newRow("backward") << "PXV 77777" << false << -1 << 155556;
    QTest::newRow("an event, backward") << "port opened" << false << 155556 << 1;
    QTest::newRow("a time-out, forward") << "time-out" << true << 155556 << 200003;
    QTest::newRow("round the start") << "time-out" << false << 1 << 200003;
    QTest::newRow("by code") << "PXV" << false << 200003 << 199998;
    QTest::newRow("nowhere") << "no such text" << true << 0 << -1;
}

void Traffic::find()
{
    QFETCH(QString, text);
    QFETCH(bool, forward);
    QFETCH(int, from);
    QFETCH(int, found);
    Traffic_Dock dock;
    dock.Set_Refresh_Interval(0);
    QString error;
    QVERIFY2(dock.Show_Recording(large, &error), qPrintable(error));
    dock.Recorded()->Index_All();
    if (from >= 0)
        dock.View()->setCurrentIndex(dock.View()->model()->index(from, 0));
    QCOMPARE(dock.Find(text, forward), found >= 0);
    QCOMPARE(dock.View()->currentIndex().row(), found >= 0 ? found : from);
    // The same from the field, a slice at a time.
    if (from >= 0)
        dock.View()->setCurrentIndex(dock.View()->model()->index(from, 0));
    auto status = dock.findChild<QLabel*>(QStringLiteral("lblTrafficFind"));
    dock.Start_Find(text, forward);
    QTRY_VERIFY(!dock.Is_Finding());
    QCOMPARE(dock.View()->currentIndex().row(), found >= 0 ? found : from);
    QCOMPARE(status->text(), found >= 0 ? QString() : QStringLiteral("Not found"));
}

void Traffic::rows_chosen_by_time_data()
{
    QTest::addColumn<double>("t_s");
    QTest::addColumn<int>("row");
    QTest::newRow("a row's time") << 128.33355 << 155556;
    QTest::newRow("nearer the row before") << 128.3336 << 155556;
    QTest::newRow("nearer the row after") << 128.33366 << 155557;
    QTest::newRow("before the first") << -5.0 << 0;
    QTest::newRow("after the last") << 2e6 << 300002;
}

// The charts choose a row by time without being told back; a row the
// technician chooses tells its time.
void Traffic::rows_chosen_by_time()
{
    QFETCH(double, t_s);
    QFETCH(int, row);
    Traffic_Dock dock;
    dock.Set_Refresh_Interval(0);
    QString error;
    QVERIFY2(dock.Show_Recording(large, &error), qPrintable(error));
    QSignalSpy told(&dock, &Traffic_Dock::Row_Time_Selected);
    dock.Select_Nearest(t_s);
    QCOMPARE(dock.View()->currentIndex().row(), row);
    QCOMPARE(told.count(), 0);
    const int other = row > 0 ? row - 1 : row + 1;
    dock.View()->setCurrentIndex(dock.View()->model()->index(other, 0));
    QCOMPARE(told.count(), 1);
    QCOMPARE(told[0][0].toDouble(), dock.Source()->Row(other).t_s);
}

void Traffic::a_recording_filtered_as_it_is_read_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("direction"); // combo box index: 0 all
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("row"); // one row far inside
    QTest::addColumn<double>("t_s");
    QTest::addColumn<QString>("text");
    QTest::newRow("a code, with its time-out")
        << "pxv" << 0 << 100001 << 66666 << 165.0016 << "time-out after 1 send";
    QTest::newRow("the row after the time-out")
        << "PXV" << 0 << 100001 << 66667 << 165.00165 << "read PXV";
    QTest::newRow("requests") << "" << 1 << 150000 << 100000 << 165.0 << "read PSA";
    QTest::newRow("answers of a code")
        << "PXV" << 2 << 50000 << 49999 << 247.49985 << "PXV reservoir pressure 14999";
    QTest::newRow("noise of a time") << "" << 3 << 1 << 0 << 1e6 << "noise, 1 byte";
    QTest::newRow("no such code") << "ZZZ" << 0 << 0 << -1 << 0.0 << "";
}

// A recording's rows are filtered as the file is read, not in memory.
void Traffic::a_recording_filtered_as_it_is_read()
{
    QFETCH(QString, code);
    QFETCH(int, direction);
    QFETCH(int, rows);
    QFETCH(int, row);
    QFETCH(double, t_s);
    QFETCH(QString, text);
    Traffic_Dock dock;
    QString error;
    QVERIFY2(dock.Show_Recording(large, &error), qPrintable(error));
    dock.findChild<QLineEdit*>(QStringLiteral("tbxTrafficCode"))->setText(code);
    dock.findChild<QComboBox*>(QStringLiteral("cbxTrafficDirection"))->setCurrentIndex(direction);
    QCOMPARE(dock.View()->model(), dock.Recorded());
    QTRY_VERIFY(dock.Recorded()->Is_Indexed());
    QCOMPARE(dock.Recorded()->rowCount(), rows);
    if (row >= 0) {
        QCOMPARE(dock.Recorded()->Row(row).t_s, t_s);
        QVERIFY2(dock.Recorded()->Text(row, Traffic_Table::Meaning).startsWith(text),
                 qPrintable(dock.Recorded()->Text(row, Traffic_Table::Meaning)));
    }
}

void Traffic::a_recording_saved_a_piece_at_a_time()
{
    Traffic_Dock dock;
    QString error;
    QVERIFY2(dock.Show_Recording(large, &error), qPrintable(error));
    dock.findChild<QLineEdit*>(QStringLiteral("tbxTrafficCode"))->setText(QStringLiteral("DSA"));
    const QString file = dir.filePath(QStringLiteral("dsa.txt"));
    int told = 0, count = 0;
    QVERIFY2(dock.Save_Shown(file, &error,
                             [&](int done, int all) {
                                 told = done;
                                 count = all;
                                 return true;
                             }),
             qPrintable(error));
    QCOMPARE(count, 100000);
    QCOMPARE(told, 100000);
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll().count('\n'), 100000);
    saved.close();
    // Stopped, it leaves what was there.
    QVERIFY(!dock.Save_Shown(file, &error, [](int done, int) { return done < 5000; }));
    QVERIFY(error.isEmpty());
    QCOMPARE(QFileInfo(file).size(), saved.size());
}

VANTOR_TEST_MAIN(Traffic)
#include "tst_traffic.moc"
