// Event marks on the charts, live and from a recording; the Mark button;
// the recent recordings; a recording dropped on the window.
#include "app_test_main.h"

#include "main_window.h"
#include "recording/recent_recordings.h"
#include "recording/session_recorder.h"
#include "views/charts_dock.h"
#include "views/event_marks.h"

#include <virtual_controller.h>

#include <QAbstractButton>
#include <QMenu>
#include <QMimeData>
#include <qwt_plot.h>
#include <qwt_plot_item.h>
#include <qwt_plot_marker.h>
#include <session_reader.h>
#include <session_writer.h>

using namespace Views;

namespace {

QStringList kinds_of(const QVector<Mark>& marks)
{
    QStringList kinds;
    for (const Mark& m : marks)
        kinds << m.kind;
    return kinds;
}

// The marks' lines drawn on each plot of the charts.
QList<int> lines_per_plot(MainWindow& window)
{
    QList<int> lines;
    for (const QwtPlot* plot : window.Charts()->findChildren<QwtPlot*>())
        lines << plot->itemList(QwtPlotItem::Rtti_PlotUserItem + 25).size();
    return lines;
}

// What the tool tip says at a mark's time on the first plot.
QString tip_at(MainWindow& window, double t_s)
{
    const QwtPlot* plot = window.Charts()->findChildren<QwtPlot*>().first();
    return window.Marks()->Text_Near(plot, int(plot->canvasMap(QwtPlot::xBottom).transform(t_s)));
}

} // namespace

class Event_Marks_Test : public QObject
{
    Q_OBJECT

private slots:
    void live_session_is_marked_and_its_marker_stored();
    void recording_marks_are_drawn();
    void recent_list_data();
    void recent_list();
    void dropped_file_is_opened_data();
    void dropped_file_is_opened();

private:
    QString recording_with_marks();
    QTemporaryDir dir;
};

void Event_Marks_Test::live_session_is_marked_and_its_marker_stored()
{
    Prompt_Answers prompts;
    Sim::Virtual_Controller sim;
    QVERIFY(sim.set_test_verdict("<TEST DONE>"));
    sim.set_test_duration(std::chrono::milliseconds(200));
    QVERIFY(sim.start());
    MainWindow window;
    window.show();
    window.Show_Views({QStringLiteral("charts")});
    window.Open_Port(QString::fromStdString(sim.device_path()));
    Session_Recorder* recorder = window.Recorder();
    // Long enough for a stamp since the recording began to differ from one
    // on the charts' clock.
    QTRY_VERIFY(window.Charts()->Data().Last_Time() > 1);
    const QString file = dir.filePath(QStringLiteral("marked.sqlite"));
    QString error;
    QVERIFY2(window.Start_Recording(file, &error), qPrintable(error));

    auto raise = window.findChild<QAbstractButton*>(QStringLiteral("btnFillLeft"));
    emit raise->pressed();
    emit raise->released();
    window.findChild<QAbstractButton*>(QStringLiteral("btnCompTest"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!prompts.asked.isEmpty(), 10000);
    recorder->Add_Result(QStringLiteral("leak-down"), QStringLiteral("fail"),
                         QStringLiteral("3 starts"), QStringLiteral("{}"));
    // A cancelled mark is none; the technician's text is kept.
    window.Set_Mark_Text_Asker([](QWidget*, QString*) { return false; });
    window.Add_Mark();
    window.Set_Mark_Text_Asker([](QWidget*, QString* text) {
        *text = QStringLiteral(" door open ");
        return true;
    });
    window.Add_Mark();
    sim.set_all_silent(true);
    QTRY_VERIFY(kinds_of(window.Marks()->Marks()).contains(QStringLiteral("timeout")));
    window.Quit_Now();
    window.Stop_Recording();

    QTRY_VERIFY(kinds_of(window.Marks()->Marks()).contains(QStringLiteral("port_closed")));
    const QVector<Mark> marks = window.Marks()->Marks();
    const QStringList kinds = kinds_of(marks);
    for (const char* kind :
         {"port_opened", "move_pressed", "move_released", "compressor_test_start",
          "compressor_test_verdict", "box", "result", "marker", "timeout", "port_closed"})
        QVERIFY2(kinds.contains(QLatin1String(kind)), kind);
    QCOMPARE(kinds.count(QStringLiteral("marker")), 1);
    QVERIFY(std::is_sorted(marks.begin(), marks.end(),
                           [](const Mark& a, const Mark& b) { return a.t_s < b.t_s; }));
    // On the charts' clock, among the readings of their moment.
    const Mark pressed = marks[kinds.indexOf(QStringLiteral("move_pressed"))];
    QVERIFY(pressed.t_s > 1 && pressed.t_s <= window.Charts()->Data().Last_Time());
    for (int lines : lines_per_plot(window))
        QCOMPARE(lines, window.Marks()->Lines());
    const Mark result = marks[kinds.indexOf(QStringLiteral("result"))];
    QVERIFY2(
        tip_at(window, result.t_s).contains(QStringLiteral("result: leak-down: fail, 3 starts")),
        qPrintable(tip_at(window, result.t_s)));

    // The marker went into the recording, at its moment.
    Recording::Reader reader;
    QVERIFY(reader.open(QFile::encodeName(file).toStdString()));
    std::vector<Recording::Marker> stored;
    QVERIFY(reader.markers([&](const Recording::Marker& m) {
        stored.push_back(m);
        return true;
    }));
    QCOMPARE(int(stored.size()), 1);
    QCOMPARE(QString::fromStdString(stored[0].text), QStringLiteral("door open"));
    QVERIFY(stored[0].t_us > 0);
}

// A recording whose events, results and markers are known; the compressor
// test's verdict and its result share one moment.
QString Event_Marks_Test::recording_with_marks()
{
    const QString file = dir.filePath(QStringLiteral("events.sqlite"));
    if (QFile::exists(file))
        return file;
    Recording::Writer db;
    db.create(QFile::encodeName(file).toStdString());
    db.begin();
    db.add_reading(0, "PXV", 600, 100.0, "psi");
    db.add_reading(30000000, "PXV", 700, 110.0, "psi");
    db.add_event(1000000, "port_opened", "ttyUSB0");
    db.add_event(2000000, "timeout", "get PXV");
    db.add_event(3500000, "compressor_test_start", "");
    db.add_event(9000000, "compressor_test_verdict", "<FAIL 1>");
    db.add_result(9000000, "compressor", "fail", "<FAIL 1>", "{}");
    db.add_marker(12000000, "door open");
    db.add_event(20000000, "port_closed", nullptr);
    db.commit();
    db.close();
    return file;
}

void Event_Marks_Test::recording_marks_are_drawn()
{
    MainWindow window;
    window.show();
    // A live mark is not mixed with the recording's.
    window.Recorder()->Add_Marker(QStringLiteral("live"));
    QTRY_COMPARE(window.Marks()->Marks().size(), 1);
    QString error;
    QVERIFY2(window.Open_Recording(recording_with_marks(), &error), qPrintable(error));
    const QVector<Mark> marks = window.Marks()->Marks();
    QCOMPARE(kinds_of(marks),
             QStringList({"port_opened", "timeout", "compressor_test_start",
                          "compressor_test_verdict", "result", "marker", "port_closed"}));
    QCOMPARE(marks[5].t_s, 12.0);
    QCOMPARE(window.Marks()->Lines(), 6);
    for (int lines : lines_per_plot(window))
        QCOMPARE(lines, 6);
    window.Charts()->Redraw();
    QCOMPARE(tip_at(window, 9.0), QStringLiteral("9.000 s  compressor test verdict: <FAIL 1>\n"
                                                 "9.000 s  result: compressor: fail, <FAIL 1>"));
    QVERIFY(tip_at(window, 12.0).endsWith(QStringLiteral("mark: door open")));
    // Labelled once, on the first plot; a moment's second mark is counted.
    QStringList labels;
    for (const QwtPlot* plot : window.Charts()->findChildren<QwtPlot*>())
        for (const QwtPlotItem* item : plot->itemList(QwtPlotItem::Rtti_PlotUserItem + 25))
            if (!static_cast<const QwtPlotMarker*>(item)->label().isEmpty())
                labels << static_cast<const QwtPlotMarker*>(item)->label().text();
    QCOMPARE(labels, QStringList({"port opened", "time-out", "test start", "<FAIL 1> +1",
                                  "door open", "port closed"}));
    // Later live events leave the recording's marks alone.
    window.Recorder()->Add_Marker(QStringLiteral("late"));
    QTest::qWait(50);
    QCOMPARE(window.Marks()->Marks().size(), marks.size());
}

void Event_Marks_Test::recent_list_data()
{
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("removed");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("newest first") << QStringList{"a", "b", "c"} << QStringList{}
                                  << QStringList{"c", "b", "a"};
    QTest::newRow("again moves first")
        << QStringList{"a", "b", "a"} << QStringList{} << QStringList{"a", "b"};
    QTest::newRow("missing left out")
        << QStringList{"a", "b", "c"} << QStringList{"b"} << QStringList{"c", "a"};
    QStringList ten;
    for (int i = 0; i < 10; ++i)
        ten << QString::number(i);
    QTest::newRow("last eight") << ten << QStringList{}
                                << QStringList{"9", "8", "7", "6", "5", "4", "3", "2"};
}

void Event_Marks_Test::recent_list()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, removed);
    QFETCH(QStringList, listed);
    Recent_Recordings::Clear();
    QTemporaryDir folder;
    for (const QString& name : added) {
        QFile(folder.filePath(name)).open(QIODevice::WriteOnly);
        Recent_Recordings::Add(folder.filePath(name));
    }
    for (const QString& name : removed)
        QFile::remove(folder.filePath(name));
    QStringList want;
    for (const QString& name : listed)
        want << folder.filePath(name);
    QCOMPARE(Recent_Recordings::List(), want);
}

void Event_Marks_Test::dropped_file_is_opened_data()
{
    QTest::addColumn<bool>("recording");
    QTest::newRow("a recording") << true;
    QTest::newRow("not a recording") << false;
}

void Event_Marks_Test::dropped_file_is_opened()
{
    QFETCH(bool, recording);
    Prompt_Answers prompts;
    Recent_Recordings::Clear();
    QString file = recording_with_marks();
    if (!recording) {
        file = dir.filePath(QStringLiteral("notes.txt"));
        QFile text(file);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("not a recording\n");
    }
    MainWindow window;
    window.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);

    QCOMPARE(!window.Charts()->Is_Live(), recording);
    QCOMPARE(prompts.asked.size(), recording ? 0 : 1);
    QCOMPARE(Recent_Recordings::List(), recording ? QStringList{file} : QStringList{});
    // The File menu offers it next time.
    QMenu* menu = window.Recent_Menu();
    emit window.findChild<QMenu*>(QStringLiteral("menu_File"))->aboutToShow();
    QCOMPARE(menu->isEnabled(), recording);
    if (recording)
        QCOMPARE(menu->actions().first()->data().toString(), file);
}

VANTOR_TEST_MAIN(Event_Marks_Test)
#include "tst_event_marks.moc"
