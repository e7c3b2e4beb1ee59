// The main window's part in the live views: the Charts and Traffic docks,
// the View menu that shows them, and File > Open Recording..., which shows a
// recording in both.

#include "main_window.h"
#include "recording/recent_recordings.h"
#include "ui_main_window.h"
#include "views/charts_dock.h"
#include "views/event_marks.h"
#include "views/line_tap.h"
#include "views/recording_reader.h"
#include "views/traffic_dock.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QStyle>

#include <algorithm>

using namespace Quillon;

namespace {

// The tabs keep at least this width beside the docks; the docks want this
// width beside the tabs. Below the tabs they take this share of the height,
// and on a short screen up to this height while the tabs keep the rest.
constexpr int Tabs_Width = 640;
constexpr int Docks_Width = 720;
constexpr double Docks_Height_Share = 0.45;
constexpr int Docks_Height = 360;
constexpr int Tabs_Height = 240;

// The line is tapped only while a dock shows it live.
void Follow_Line(Views::Line_Tap* tap, const Views::Charts_Dock* charts,
                 const Views::Traffic_Dock* traffic)
{
    tap->Set_Wanted(Views::Line_Tap::Docks,
                    charts->Is_Live() && (charts->Is_Shown() || traffic->Is_Shown()));
}

// Room for the shown docks beside the tabs where the screen is wide enough
// for both, and below them where it is not; the window grows only as far as
// its screen's free area, frame included, and stays wholly on it. Floating
// docks are left where the technician put them.
void Lay_Out_Docks(MainWindow* window)
{
    Views::Charts_Dock* charts = window->Charts();
    Views::Traffic_Dock* traffic = window->Traffic();
    QList<QDockWidget*> docked, shown;
    for (QDockWidget* dock :
         {static_cast<QDockWidget*>(charts), static_cast<QDockWidget*>(traffic)}) {
        if (dock->isFloating())
            continue;
        docked << dock;
        if (!dock->isHidden())
            shown << dock;
    }
    if (shown.isEmpty())
        return;
    const QScreen* screen = window->screen();
    const QRect free = screen ? screen->availableGeometry() : QRect();
    QSize room(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (free.isValid())
        room = free.size() - (window->frameGeometry().size() - window->size());
    // The tabs keep their width, up to their pages' whole width.
    const int central = window->centralWidget()->width();
    const int pages = window->Whole_Pages_Size().width() - (window->width() - central);
    const int tabs = std::max(std::min(central, pages), Tabs_Width);
    const bool beside = tabs + Docks_Width <= room.width();
    const Qt::DockWidgetArea area = beside ? Qt::RightDockWidgetArea : Qt::BottomDockWidgetArea;
    // Below the tabs, side by side where both fit the width, else as tabs.
    const bool tabbed =
        !beside && docked.size() == 2 &&
        charts->minimumSizeHint().width() + traffic->minimumSizeHint().width() +
                2 * window->style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent) >
            room.width();
    bool moved = tabbed != !window->tabifiedDockWidgets(docked.first()).isEmpty();
    for (QDockWidget* dock : qAsConst(docked))
        moved = moved || window->dockWidgetArea(dock) != area;
    if (moved) {
        window->addDockWidget(area, docked.first());
        if (tabbed)
            window->tabifyDockWidget(docked.first(), docked.last());
        else if (docked.size() == 2)
            window->splitDockWidget(docked.first(), docked.last(),
                                    beside ? Qt::Vertical : Qt::Horizontal);
    }
    if (tabbed)
        shown.first()->raise();
    if (beside) {
        window->resize(std::min(std::max(window->width(), tabs + Docks_Width), room.width()),
                       std::min(std::max(window->height(), 760), room.height()));
        window->resizeDocks({shown.first()}, {Docks_Width}, Qt::Horizontal);
        if (shown.size() == 2)
            window->resizeDocks(shown, {window->height() * 6 / 10, window->height() * 4 / 10},
                                Qt::Vertical);
    } else {
        window->resize(room);
        const int height = window->height();
        window->resizeDocks({shown.first()},
                            {std::max(int(height * Docks_Height_Share),
                                      std::min(Docks_Height, height - Tabs_Height))},
                            Qt::Vertical);
        if (shown.size() == 2 && !tabbed)
            window->resizeDocks(shown, {window->width() * 55 / 100, window->width() * 45 / 100},
                                Qt::Horizontal);
    }
    if (free.isValid()) {
        // Moved back from the screen's right and bottom edges, then from its
        // left and top ones.
        QRect frame = window->frameGeometry();
        frame.moveRight(std::min(frame.right(), free.right()));
        frame.moveBottom(std::min(frame.bottom(), free.bottom()));
        frame.moveLeft(std::max(frame.left(), free.left()));
        frame.moveTop(std::max(frame.top(), free.top()));
        if (frame.topLeft() != window->frameGeometry().topLeft())
            window->move(frame.topLeft());
    }
}

} // namespace

void MainWindow::Setup_Views()
{
    Charts_View = new Views::Charts_Dock(this);
    Traffic_View = new Views::Traffic_Dock(this);
    addDockWidget(Qt::RightDockWidgetArea, Charts_View);
    splitDockWidget(Charts_View, Traffic_View, Qt::Vertical);
    Charts_View->hide();
    Traffic_View->hide();
    connect(Tap, &Views::Line_Tap::Frames, this, [this](const QVector<Views::Line_Frame>& frames) {
        // A recording on show is not mixed with the line; a hidden dock
        // takes nothing from it.
        if (!Charts_View->Is_Live() || !Tap->Is_Wanted(Views::Line_Tap::Docks) || frames.isEmpty())
            return;
        // What the tap kept for the recorder before a dock was shown is not
        // the docks'.
        const qint64 since = Tap->Wanted_Since(Views::Line_Tap::Docks);
        QVector<Views::Line_Frame> newer;
        if (frames.first().t_us < since) {
            std::copy_if(frames.begin(), frames.end(), std::back_inserter(newer),
                         [since](const Views::Line_Frame& f) { return f.t_us >= since; });
            if (newer.isEmpty())
                return;
        }
        const QVector<Views::Line_Frame>& shown = newer.isEmpty() ? frames : newer;
        if (Charts_View->Is_Shown())
            Charts_View->Add_Frames(shown);
        if (Traffic_View->Is_Shown())
            Traffic_View->Add_Frames(shown);
    });
    // The tap is the context: the window's children go in the order they
    // came, the tap first, and the docks, hidden as they go, must not reach
    // it or the window then.
    const auto follow_line = [tap = Tap, charts = Charts_View, traffic = Traffic_View] {
        Follow_Line(tap, charts, traffic);
    };
    connect(Charts_View, &QDockWidget::visibilityChanged, Tap, follow_line);
    connect(Traffic_View, &QDockWidget::visibilityChanged, Tap, follow_line);
    follow_line();
    // A row chosen in the traffic shows its moment on the charts; a click on
    // the charts finds the row of that moment. Neither answer comes back.
    connect(Traffic_View, &Views::Traffic_Dock::Row_Time_Selected, Charts_View,
            &Views::Charts_Dock::Set_Cursor_Time);
    connect(Charts_View, &Views::Charts_Dock::Time_Clicked, Traffic_View,
            &Views::Traffic_Dock::Select_Nearest);
    // The compressor's temperature in the unit the I/O tab shows.
    if (auto units = findChild<QComboBox*>(QStringLiteral("cbxCompTempUnits"))) {
        const auto follow = [this](int index) { Charts_View->Set_Fahrenheit(index != 1); };
        connect(units, QOverload<int>::of(&QComboBox::currentIndexChanged), this, follow);
        follow(units->currentIndex());
    }

    QMenu* view = new QMenu(QStringLiteral("&View"), this);
    view->setObjectName(QStringLiteral("menu_View"));
    for (QDockWidget* dock :
         {static_cast<QDockWidget*>(Charts_View), static_cast<QDockWidget*>(Traffic_View)}) {
        view->addAction(dock->toggleViewAction());
        // Shown from the menu, a dock gets its room as from the command line.
        connect(dock->toggleViewAction(), &QAction::triggered, this, [this](bool shown) {
            if (shown)
                Lay_Out_Docks(this);
        });
    }
    menuBar()->insertMenu(ui->menu_Help->menuAction(), view);
    auto open = new QAction(QStringLiteral("Open Recording..."), this);
    open->setObjectName(QStringLiteral("actionOpenRecording"));
    ui->menu_File->insertAction(ui->actionExit, open);
    connect(open, &QAction::triggered, this, &MainWindow::Open_Recording_Dialog);
    Setup_Marks();
}

void MainWindow::Attach_Views(COM_Resource* resource)
{
    Tap->Attach(resource);
    Page_Scroller->show();
    if (!Charts_View->Is_Live()) {
        Traffic_View->Clear();
        Event_Marks_View->Clear();
    }
    Charts_View->Start_Live();
    Follow_Line(Tap, Charts_View, Traffic_View);
}

void MainWindow::Show_Views(const QStringList& names)
{
    bool shown = false;
    for (QDockWidget* dock :
         {static_cast<QDockWidget*>(Charts_View), static_cast<QDockWidget*>(Traffic_View)}) {
        if (names.contains(dock == Charts_View ? QStringLiteral("charts")
                                               : QStringLiteral("traffic")) &&
            dock->isHidden()) {
            dock->show();
            shown = true;
        }
    }
    // Docks already on show keep the place and size they have.
    if (shown)
        Lay_Out_Docks(this);
}

bool MainWindow::Open_Recording(const QString& file, QString* error)
{
    QElapsedTimer took;
    took.start();
    Views::Recording_Views shown;
    QString traffic_error;
    if (!Views::Read_Recording(file, &shown, error))
        return false;
    if (!Traffic_View->Show_Recording(file, &traffic_error)) {
        *error = QStringLiteral("Cannot open %1: %2.").arg(file, traffic_error);
        return false;
    }
    // Without a port the tabs have nothing to show: the docks take the window.
    if (!_COM_Manager)
        Page_Scroller->hide();
    Charts_View->Show_Recording(shown.charts, QFileInfo(file).fileName());
    Event_Marks_View->Show(shown.marks);
    Recent_Recordings::Add(file);
    Follow_Line(Tap, Charts_View, Traffic_View);
    QStringList docks;
    if (!Charts_View->isVisible())
        docks << QStringLiteral("charts");
    if (!Traffic_View->isVisible())
        docks << QStringLiteral("traffic");
    Show_Views(docks);
    statusBar()->showMessage(
        QStringLiteral("%1 opened in %2 s").arg(file).arg(took.elapsed() / 1000.0, 0, 'f', 1));
    return true;
}

void MainWindow::Open_Recording_Dialog()
{
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Recording"), Recent_Recordings::Folder(),
        QStringLiteral("Recordings (*.sqlite *.db);;All files (*)"));
    QString error;
    if (!file.isEmpty() && !Open_Recording(file, &error))
        Ask_User(QMessageBox::Critical, QStringLiteral("Open Recording"), error, QMessageBox::Ok,
                 QMessageBox::NoButton, this);
}
