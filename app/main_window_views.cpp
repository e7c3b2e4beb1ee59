// The main window's part in the live views: the Charts and Traffic docks,
// the View menu that shows them, and File > Open Recording..., which shows a
// recording in both.

#include "main_window.h"
#include "ui_main_window.h"
#include "views/charts_dock.h"
#include "views/line_tap.h"
#include "views/recording_reader.h"
#include "views/traffic_dock.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QScrollArea>
#include <QStatusBar>

using namespace Quillon;

namespace {

// The line is tapped only while a dock shows it live.
void Follow_Line(Views::Line_Tap* tap, const Views::Charts_Dock* charts,
                 const Views::Traffic_Dock* traffic)
{
    tap->Set_Wanted(charts->Is_Live() && (charts->Is_Shown() || traffic->Is_Shown()));
}

} // namespace

void MainWindow::Setup_Views()
{
    Tap = new Views::Line_Tap(this);
    Charts_View = new Views::Charts_Dock(this);
    Traffic_View = new Views::Traffic_Dock(this);
    addDockWidget(Qt::RightDockWidgetArea, Charts_View);
    splitDockWidget(Charts_View, Traffic_View, Qt::Vertical);
    Charts_View->hide();
    Traffic_View->hide();
    connect(Tap, &Views::Line_Tap::Frames, this, [this](const QVector<Views::Line_Frame>& frames) {
        // A recording on show is not mixed with the line; a hidden dock
        // takes nothing from it.
        if (!Charts_View->Is_Live())
            return;
        if (Charts_View->Is_Shown())
            Charts_View->Add_Frames(frames);
        if (Traffic_View->Is_Shown())
            Traffic_View->Add_Frames(frames);
    });
    const auto follow_line = [this] { Follow_Line(Tap, Charts_View, Traffic_View); };
    connect(Charts_View, &QDockWidget::visibilityChanged, this, follow_line);
    connect(Traffic_View, &QDockWidget::visibilityChanged, this, follow_line);
    follow_line();
    // The compressor's temperature in the unit the I/O tab shows.
    if (auto units = findChild<QComboBox*>(QStringLiteral("cbxCompTempUnits"))) {
        const auto follow = [this](int index) { Charts_View->Set_Fahrenheit(index != 1); };
        connect(units, QOverload<int>::of(&QComboBox::currentIndexChanged), this, follow);
        follow(units->currentIndex());
    }

    QMenu* view = new QMenu(QStringLiteral("&View"), this);
    view->setObjectName(QStringLiteral("menu_View"));
    view->addAction(Charts_View->toggleViewAction());
    view->addAction(Traffic_View->toggleViewAction());
    menuBar()->insertMenu(ui->menu_Help->menuAction(), view);
    auto open = new QAction(QStringLiteral("Open Recording..."), this);
    open->setObjectName(QStringLiteral("actionOpenRecording"));
    ui->menu_File->insertAction(ui->actionExit, open);
    connect(open, &QAction::triggered, this, &MainWindow::Open_Recording_Dialog);
}

void MainWindow::Attach_Views(COM_Resource* resource)
{
    Tap->Attach(resource);
    Page_Scroller->show();
    if (!Charts_View->Is_Live())
        Traffic_View->Clear();
    Charts_View->Start_Live();
    Follow_Line(Tap, Charts_View, Traffic_View);
}

void MainWindow::Show_Views(const QStringList& names)
{
    const int before = width();
    if (names.contains(QStringLiteral("charts")))
        Charts_View->show();
    if (names.contains(QStringLiteral("traffic")))
        Traffic_View->show();
    // Room for the docks beside the tabs rather than squeezed out of them.
    if (Charts_View->isVisible() || Traffic_View->isVisible()) {
        resize(std::max(before, 640) + 720, std::max(height(), 760));
        resizeDocks({Charts_View}, {720}, Qt::Horizontal);
        if (Charts_View->isVisible() && Traffic_View->isVisible())
            resizeDocks({Charts_View, Traffic_View}, {460, 300}, Qt::Vertical);
    }
}

bool MainWindow::Open_Recording(const QString& file, QString* error)
{
    QElapsedTimer took;
    took.start();
    Views::Recording_Views shown;
    if (!Views::Read_Recording(file, &shown, error))
        return false;
    // Without a port the tabs have nothing to show: the docks take the window.
    if (!_COM_Manager)
        Page_Scroller->hide();
    Charts_View->Show_Recording(shown.charts, QFileInfo(file).fileName());
    Traffic_View->Show_Rows(shown.traffic);
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
    const QString file =
        QFileDialog::getOpenFileName(this, QStringLiteral("Open Recording"), QString(),
                                     QStringLiteral("Recordings (*.sqlite *.db);;All files (*)"));
    QString error;
    if (!file.isEmpty() && !Open_Recording(file, &error))
        Ask_User(QMessageBox::Critical, QStringLiteral("Open Recording"), error, QMessageBox::Ok,
                 QMessageBox::NoButton, this);
}
