// Event marks on the charts, live and from a recording; the Mark button;
// the recent recordings; a recording dropped on the window.
#include "app_test_main.h"

#include "main_window.h"
#include "recording/recent_recordings.h"
#include "recording/session_recorder.h"
#include "views/charts_dock.h"
#include "views/event_marks.h"
#include "views/traffic_dock.h"
#include "views/traffic_table.h"

#include <virtual_controller.h>

#include <QAbstractButton>
#include <QMenu>
#include <QMimeData>
#include <QTableView>
#include <QToolTip>
#include <qwt_plot.h>
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

// The labels drawn on the charts; every plot has a line for every moment.
QStringList drawn_labels(MainWindow& window)
{
    QStringList labels;
    for (const QwtPlot* plot : window.Charts()->findChildren<QwtPlot*>()) {
        const QwtPlotItemList items = plot->itemList(QwtPlotItem::Rtti_PlotUserItem + 25);
        if (items.size() != window.Marks()->Lines())
            return {QStringLiteral("a plot without every line")};
        for (const QwtPlotItem* item : items)
            if (!static_cast<const QwtPlotMarker*>(item)->label().isEmpty())
                labels << static_cast<const QwtPlotMarker*>(item)->label().text();
    }
    return labels;
}

// The tool tip on the first plot where the pointer rests at time T_S.
QString tip_at(MainWindow& window, double t_s)
{
    QwtPlot* plot = window.Charts()->findChildren<QwtPlot*>().first();
    const QPoint at(int(plot->canvasMap(QwtPlot::xBottom).transform(t_s)), 5);
    QHelpEvent help(QEvent::ToolTip, at, plot->canvas()->mapToGlobal(at));
    QApplication::sendEvent(plot->canvas(), &help);
    return QToolTip::text();
}

} // namespace

class Event_Marks_Test : public QObject
{
    Q_OBJECT

private slots:
    void live_session_is_marked_and_its_marker_stored();
    void recording_marks_are_drawn();
    void recent_list();
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
    window.Recorder()->Add_Result("leak-down", "fail", "3 starts", "{}");
    // A cancelled mark is none.
    for (const bool given : {false, true}) {
        window.Set_Mark_Text_Asker([given](QWidget*, QString* text) {
            *text = QStringLiteral(" door open ");
            return given;
        });
        window.Add_Mark();
    }
    sim.set_all_silent(true);
    QTRY_VERIFY(kinds_of(window.Marks()->Marks()).contains(QStringLiteral("timeout")));
    window.Quit_Now();
    window.Stop_Recording();

    QTRY_VERIFY(kinds_of(window.Marks()->Marks()).contains(QStringLiteral("port_closed")));
    const QVector<Mark> marks = window.Marks()->Marks();
    const QStringList kinds = kinds_of(marks);
    for (const char* kind :
         {"port_opened", "move_pressed", "move_released", "compressor_test_start",
          "compressor_test_verdict", "box", "result", "timeout", "port_closed"})
        QVERIFY2(kinds.contains(QLatin1String(kind)), kind);
    QCOMPARE(kinds.count(QStringLiteral("marker")), 1);
    // On the charts' clock, among the readings of their moment.
    const Mark pressed = marks[kinds.indexOf(QStringLiteral("move_pressed"))];
    QVERIFY(pressed.t_s > 1 && pressed.t_s <= window.Charts()->Data().Last_Time());
    QCOMPARE(drawn_labels(window).size(), window.Marks()->Lines());

    // The marker went into the recording, with its text.
    Recording::Reader reader;
    QVERIFY(reader.open(QFile::encodeName(file).toStdString()));
    QStringList stored;
    QVERIFY(reader.markers([&](const Recording::Marker& m) {
        stored << QString::fromStdString(m.text);
        return m.t_us > 0;
    }));
    QCOMPARE(stored, QStringList{"door open"});
}

// A recording whose events, results and markers are known; the compressor
// test's verdict and its result share one moment.
QString Event_Marks_Test::recording_with_marks()
{
    const QString file = dir.filePath(QStringLiteral("events.sqlite"));
    Recording::Writer db;
    if (QFile::exists(file) || !db.create(QFile::encodeName(file).toStdString()))
        return file;
    db.begin();
    db.add_reading(0, "PXV", 600, 100.0, "psi");
    db.add_reading(30000000, "PXV", 700, 110.0, "psi");
    const std::pair<qint64, const char*> events[] = {{1000000, "port_opened"},
                                                     {2000000, "timeout"},
                                                     {3500000, "compressor_test_start"},
                                                     {9000000, "compressor_test_verdict"},
                                                     {20000000, "port_closed"}};
    for (const auto& [t_us, kind] : events)
        db.add_event(t_us, kind, t_us == 9000000 ? "<FAIL 1>" : "");
    db.add_result(9000000, "compressor", "fail", "<FAIL 1>", "{}");
    db.add_marker(12000000, "door open");
    db.add_traffic(11900000, Recording::Direction::Tx, "PXV\r", 4);
    db.add_traffic(12400000, Recording::Direction::Rx, "PXV 00700\r", 10);
    db.commit();
    db.close();
    return file;
}

void Event_Marks_Test::recording_marks_are_drawn()
{
    MainWindow window;
    window.show();
    // A live mark is not mixed with the recording's, nor the recording's with later ones.
    window.Recorder()->Add_Marker(QStringLiteral("live"));
    QTRY_COMPARE(window.Marks()->Marks().size(), 1);
    QString error;
    QVERIFY2(window.Open_Recording(recording_with_marks(), &error), qPrintable(error));
    window.Recorder()->Add_Marker(QStringLiteral("late"));
    QTest::qWait(50);
    const QVector<Mark> marks = window.Marks()->Marks();
    QCOMPARE(kinds_of(marks),
             QStringList({"port_opened", "timeout", "compressor_test_start",
                          "compressor_test_verdict", "result", "marker", "port_closed"}));
    QCOMPARE(marks[5].t_s, 12.0);
    // Labelled once, on the first plot; a moment's second mark is counted.
    QCOMPARE(drawn_labels(window), QStringList({"port opened", "time-out", "test start",
                                                "<FAIL 1> +1", "door open", "port closed"}));
    window.Charts()->Redraw();
    QCOMPARE(tip_at(window, 9.0), QStringLiteral("9.000 s  compressor test verdict: <FAIL 1>\n"
                                                 "9.000 s  result: compressor: fail, <FAIL 1>"));

    // A click on the charts finds the traffic row of its moment; a row chosen
    // in the traffic puts the charts' cursor on its time.
    QTableView* table = window.Traffic()->View();
    emit window.Charts()->Time_Clicked(12.2);
    const auto row_time = [table] {
        return table->currentIndex().data(Traffic_Table::Time_Role).toDouble();
    };
    QTRY_VERIFY(table->currentIndex().isValid());
    QCOMPARE(row_time(), 12.4);
    table->setCurrentIndex(table->model()->index(0, 0));
    QCOMPARE(window.Charts()->Hover_Time().value_or(-1), row_time());
}

// Newest first, once each, the last eight, only those still there.
void Event_Marks_Test::recent_list()
{
    Recent_Recordings::Clear();
    QTemporaryDir folder;
    for (const QString& name : QStringLiteral("0 1 2 3 4 5 6 7 8 9 3").split(' ')) {
        QFile(folder.filePath(name)).open(QIODevice::WriteOnly);
        Recent_Recordings::Add(folder.filePath(name));
    }
    QFile::remove(folder.filePath(QStringLiteral("8")));
    QStringList want;
    for (const QString& name : QStringLiteral("3 9 7 6 5 4 2").split(' '))
        want << folder.filePath(name);
    QCOMPARE(Recent_Recordings::List(), want);
}

void Event_Marks_Test::dropped_file_is_opened()
{
    Recent_Recordings::Clear();
    const QString file = recording_with_marks();
    MainWindow window;
    window.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);

    QVERIFY(!window.Charts()->Is_Live());
    QCOMPARE(window.Marks()->Marks().size(), 7);
    // The File menu offers it next time.
    emit window.findChild<QMenu*>(QStringLiteral("menu_File"))->aboutToShow();
    QCOMPARE(window.Recent_Menu()->actions().first()->data().toString(), file);
}

VANTOR_TEST_MAIN(Event_Marks_Test)
#include "tst_event_marks.moc"
