// The traffic monitor: frames in words, batched updates, filters, saving.
#include "app_test_main.h"
#include "test_responses.h"

#include "main_window.h"
#include "recording/session_recorder.h"
#include "views/charts_dock.h"
#include "views/frame_text.h"
#include "views/line_tap.h"
#include "views/traffic_dock.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <virtual_controller.h>

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

} // namespace

class Traffic : public QObject
{
    Q_OBJECT

private slots:
    void frames_in_words_data();
    void frames_in_words();
    void a_busy_line_updates_in_batches();
    void filters_show_the_matching_rows_data();
    void filters_show_the_matching_rows();
    void pause_copy_and_save();
    void hidden_docks_take_nothing_from_the_line();
    void one_tap_for_the_recorder_and_the_docks();
};

void Traffic::frames_in_words_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("meaning");
    const auto answer = int(Direction::Answer);
    QTest::newRow("request") << int(Direction::Request) << QByteArray("get PXV\r")
                             << QString::fromUtf8("get PXV⏎") << "read PXV";
    QTest::newRow("set") << int(Direction::Request) << QByteArray("set SLP 12\r")
                         << QString::fromUtf8("set SLP 12⏎") << "set SLP 12";
    QTest::newRow("pressure") << answer << QByteArray("PXV 00758\x1f\n") << "PXV 00758<1F><0A>"
                              << "PXV 758 = 120.0 psi";
    QTest::newRow("mode") << answer << QByteArray("MOD 00002\x1f\n") << "MOD 00002<1F><0A>"
                          << "MOD 2 = Raising";
    QTest::newRow("faults") << answer << QByteArray("FM2 00110\x1f\n") << "FM2 00110<1F><0A>"
                            << "FM2 110 = over-pressure, air leak";
    QTest::newRow("unreadable") << answer << QByteArray("PXV 0x758\x1f\n") << "PXV 0x758<1F><0A>"
                                << "PXV 0x758 = unreadable value";
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
    // Twenty a second: a slow machine may take longer than the second.
    const qint64 allowed = took.elapsed() / 50;
    QVERIFY2(updates <= std::max<qint64>(20, allowed), qPrintable(QString::number(updates)));
    tap.Deliver();
    QCOMPARE(dock.Model()->rowCount(), 5000);

    // Only the newest rows are kept.
    for (int i = 0; i < 6000; ++i)
        tap.Push(frame(Direction::Noise, QByteArray::number(i)));
    tap.Deliver();
    QCOMPARE(dock.Model()->rowCount(), Traffic_Model::Max_Rows);
    QCOMPARE(dock.Model()->Row(Traffic_Model::Max_Rows - 1).bytes, QByteArray("5999"));
}

void Traffic::filters_show_the_matching_rows_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("direction"); // combo box index: 0 all
    QTest::addColumn<int>("rows");
    QTest::newRow("everything") << "" << 0 << 7;
    QTest::newRow("one code") << "pxv" << 0 << 4;
    QTest::newRow("requests of a code") << "PXV" << 1 << 2;
    QTest::newRow("answers") << "" << 2 << 3;
    QTest::newRow("noise") << "" << 3 << 1;
    QTest::newRow("no such code") << "ZZZ" << 0 << 0;
}

void Traffic::filters_show_the_matching_rows()
{
    QFETCH(QString, code);
    QFETCH(int, direction);
    QFETCH(int, rows);
    Traffic_Dock dock;
    dock.Add_Frames(
        {frame(Direction::Request, "get PXV\r"), frame(Direction::Answer, "PXV 00758\x1f\n"),
         frame(Direction::Request, "get DSA\r"), frame(Direction::Noise, "\x01\x02"),
         frame(Direction::Answer, "DSA 00100\x1f\n"), frame(Direction::Request, "get PXV\r"),
         timeout_of(new Quillon::Packet_Get_PXV)});
    dock.findChild<QLineEdit*>(QStringLiteral("tbxTrafficCode"))->setText(code);
    dock.findChild<QComboBox*>(QStringLiteral("cbxTrafficDirection"))->setCurrentIndex(direction);
    QCOMPARE(dock.Filter()->rowCount(), rows);
    QCOMPARE(dock.Model()->Text(6, Traffic_Model::Meaning),
             QStringLiteral("time-out after 1 send: read PXV"));
}

void Traffic::pause_copy_and_save()
{
    Traffic_Dock dock;
    dock.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dock));
    // Other exchanges in between do not end the count; a system answer ends a set's.
    QVector<Line_Frame> sends(3, frame(Direction::Request, "get OAT\r"));
    sends << frame(Direction::Request, "set SLP 12\r") << frame(Direction::Answer, "<OK>\n")
          << frame(Direction::Request, "get DSA\r") << frame(Direction::Answer, "DSA 00100\x1f\n");
    sends << sends.mid(0, 3) << timeout_of(new Quillon::Packet_Get_OAT);
    dock.Add_Frames(sends);
    QCOMPARE(dock.Model()->Text(10, Traffic_Model::Meaning),
             QStringLiteral("time-out after 6 sends: read OAT"));

    dock.findChild<QCheckBox*>(QStringLiteral("cbxTrafficPause"))->setChecked(true);
    dock.Add_Frames({frame(Direction::Noise, "x")});
    QCOMPARE(dock.Model()->rowCount(), 11);
    dock.Set_Paused(false);
    QCOMPARE(dock.Model()->rowCount(), 12);

    dock.View()->selectRow(10);
    dock.Copy_Selection();
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("0.000\tanswer\t\ttime-out after 6 sends: read OAT\n"));

    QTemporaryDir dir;
    dock.findChild<QComboBox*>(QStringLiteral("cbxTrafficDirection"))->setCurrentIndex(3);
    QString error;
    QVERIFY(dock.Save_Shown(dir.filePath(QStringLiteral("t.txt")), &error));
    QFile saved(dir.filePath(QStringLiteral("t.txt")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), QByteArray("0.000\tnoise\tx\tnoise, 1 bytes\n"));
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

VANTOR_TEST_MAIN(Traffic)
#include "tst_traffic.moc"
