// The window with its docks on the screen it has: ctest runs this program on
// screens of several sizes (see CMakeLists.txt). The window stays wholly on
// the screen's free area, and every dock shown stays usable beside the tabs.
#include "app_test_main.h"

#include "main_window.h"
#include "views/charts_dock.h"
#include "views/traffic_dock.h"

#include <QAction>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <qwt_plot.h>

using namespace Views;

namespace {

// WIDGET's rectangle on the screen.
QRect on_screen(const QWidget* widget)
{
    return QRect(widget->mapToGlobal(QPoint()), widget->size());
}

} // namespace

class Window_Layout : public QObject
{
    Q_OBJECT

private slots:
    void docks_stay_on_the_screen_data();
    void docks_stay_on_the_screen();
};

void Window_Layout::docks_stay_on_the_screen_data()
{
    QTest::addColumn<QStringList>("docks");
    QTest::addColumn<bool>("from_menu"); // View menu rather than the command line
    QTest::addColumn<QPoint>("at");      // where the window was before
    QTest::newRow("both") << QStringList{"charts", "traffic"} << false << QPoint(0, 0);
    QTest::newRow("charts") << QStringList{"charts"} << false << QPoint(0, 0);
    QTest::newRow("traffic") << QStringList{"traffic"} << false << QPoint(0, 0);
    QTest::newRow("both from the menu") << QStringList{"charts", "traffic"} << true << QPoint(0, 0);
    QTest::newRow("window off the middle")
        << QStringList{"charts", "traffic"} << false << QPoint(300, 200);
}

void Window_Layout::docks_stay_on_the_screen()
{
    QFETCH(QStringList, docks);
    QFETCH(bool, from_menu);
    QFETCH(QPoint, at);
    MainWindow window;
    window.move(at);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The tabs as the first answer shows them: as large as the screen lets them.
    window.Rx_Make_Visible();
    const QRect free = window.screen()->availableGeometry();
    if (from_menu) {
        for (QDockWidget* dock : {static_cast<QDockWidget*>(window.Charts()),
                                  static_cast<QDockWidget*>(window.Traffic())})
            dock->toggleViewAction()->trigger();
    } else {
        window.Show_Views(docks);
    }
    QTest::qWait(50); // the docks' layout settles
    const QRect frame = window.frameGeometry();
    const QString where =
        QString::asprintf("screen %dx%d, window %d,%d %dx%d, docks in area %d", free.width(),
                          free.height(), frame.x(), frame.y(), frame.width(), frame.height(),
                          int(window.dockWidgetArea(window.Charts())));
    qInfo().noquote() << where;
    QVERIFY2(free.contains(window.frameGeometry()), qPrintable(where));
    // The tabs keep a usable part of the window.
    QVERIFY2(window.centralWidget()->width() >= 300 && window.centralWidget()->height() >= 150,
             qPrintable(where));

    Charts_Dock* charts = window.Charts();
    Traffic_Dock* traffic = window.Traffic();
    // Docks that share their place as tabs are checked each on top in turn.
    const bool tabbed = docks.size() == 2 && !window.tabifiedDockWidgets(charts).isEmpty();
    if (tabbed) {
        QVERIFY(charts->isVisible());
        QVERIFY(!traffic->Is_Shown());
    } else {
        QCOMPARE(charts->isVisible(), docks.contains("charts"));
        QCOMPARE(traffic->isVisible(), docks.contains("traffic"));
    }
    if (charts->isVisible()) {
        // Four plots, each tall enough to read a trace from, even on a
        // screen as short as 600 pixels.
        QVERIFY2(charts->width() >= 300, qPrintable(where));
        for (const QwtPlot* plot : charts->findChildren<QwtPlot*>())
            QVERIFY2(plot->canvas()->height() >= 20 && plot->canvas()->width() >= 200,
                     qPrintable(where + ", plot " + plot->objectName()));
    }
    if (tabbed) {
        traffic->raise();
        QTest::qWait(50);
        QVERIFY(traffic->Is_Shown() && !charts->Is_Shown());
    }
    if (traffic->isVisible()) {
        // Save... wholly on the screen and not clipped by anything.
        auto save = traffic->findChild<QPushButton*>(QStringLiteral("btnTrafficSave"));
        QVERIFY(save && save->isVisible());
        QVERIFY2(free.contains(on_screen(save)), qPrintable(where));
        QCOMPARE(save->visibleRegion().boundingRect(), save->rect());
        // A few rows of the table at least.
        const QTableView* table = traffic->View();
        QVERIFY2(table->viewport()->height() >= 5 * table->verticalHeader()->defaultSectionSize(),
                 qPrintable(where));
    }
    // Where the screen is wide enough for the tabs and the docks side by
    // side, the docks are beside the tabs.
    const int pages =
        window.Whole_Pages_Size().width() - (window.width() - window.centralWidget()->width());
    if (pages + 720 <= free.width() - (frame.width() - window.width()))
        QCOMPARE(window.dockWidgetArea(charts), Qt::RightDockWidgetArea);

    // Shown again, the docks take no more of the screen.
    window.Show_Views({"charts", "traffic"});
    window.Show_Views({"charts", "traffic"});
    QVERIFY2(free.contains(window.frameGeometry()), qPrintable(where));
    if (docks.size() == 2)
        QCOMPARE(window.frameGeometry(), frame);
}

VANTOR_TEST_MAIN(Window_Layout)
#include "tst_window_layout.moc"
