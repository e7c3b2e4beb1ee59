// The main window's part in finding moments of a session: the events drawn
// as marks on the charts, the technician's own markers (Mark, Ctrl+M), the
// recent recordings of the File menu, and a recording dropped on the window.

#include "main_window.h"
#include "recording/recent_recordings.h"
#include "recording/session_recorder.h"
#include "ui_main_window.h"
#include "views/charts_dock.h"
#include "views/event_marks.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QToolButton>

using namespace Quillon;

namespace {

void Open_Or_Tell(MainWindow* window, const QString& file)
{
    QString error;
    if (!window->Open_Recording(file, &error))
        Ask_User(QMessageBox::Critical, QStringLiteral("Open Recording"), error, QMessageBox::Ok,
                 QMessageBox::NoButton, window);
}

// The first local file of a drag, if any; a folder is no recording.
QString Dropped_File(const QMimeData* data)
{
    if (data)
        for (const QUrl& url : data->urls())
            if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
                return url.toLocalFile();
    return QString();
}

} // namespace

void MainWindow::Setup_Marks()
{
    Event_Marks_View = new Views::Event_Marks(this);
    Event_Marks_View->Follow(Charts_View);
    // Queued: a port opened while a recording is shown is marked once the
    // charts have gone live.
    connect(
        Session_Rec, &Session_Recorder::Event_Noted, this,
        [this](qint64 t_us, const QString& kind, const QString& text) {
            if (Charts_View->Is_Live())
                Event_Marks_View->Add({double(t_us) / 1e6, kind, text}, Views::Charts_Dock::Kept_S);
        },
        Qt::QueuedConnection);

    Ask_Mark_Text = [](QWidget* parent, QString* text) {
        bool ok = false;
        *text = QInputDialog::getText(parent, QStringLiteral("Mark"),
                                      QStringLiteral("Text of the mark (optional):"),
                                      QLineEdit::Normal, QString(), &ok);
        return ok;
    };
    auto mark = new QAction(QStringLiteral("Mark"), this);
    mark->setObjectName(QStringLiteral("actionMark"));
    mark->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    mark->setToolTip(
        QStringLiteral("Marks this moment on the charts and in the recording (Ctrl+M)"));
    connect(mark, &QAction::triggered, this, &MainWindow::Add_Mark);
    if (auto view = menuBar()->findChild<QMenu*>(QStringLiteral("menu_View"))) {
        view->addSeparator();
        view->addAction(mark);
    }
    auto button = new QToolButton(this);
    button->setObjectName(QStringLiteral("btnMark"));
    button->setDefaultAction(mark);
    statusBar()->addPermanentWidget(button);

    Recent_Recordings_Menu = new QMenu(QStringLiteral("Recent Recordings"), this);
    Recent_Recordings_Menu->setObjectName(QStringLiteral("menuRecentRecordings"));
    const auto open = findChild<QAction*>(QStringLiteral("actionOpenRecording"));
    const QList<QAction*> file_actions = ui->menu_File->actions();
    const int after_open = open ? file_actions.indexOf(open) + 1 : -1;
    ui->menu_File->insertMenu(after_open > 0 && after_open < file_actions.size()
                                  ? file_actions[after_open]
                                  : ui->actionExit,
                              Recent_Recordings_Menu);
    // Filled as the File menu opens: a disabled menu never says it opens.
    connect(ui->menu_File, &QMenu::aboutToShow, this, &MainWindow::Fill_Recent_Menu);
    Fill_Recent_Menu();

    setAcceptDrops(true);
}

void MainWindow::Set_Mark_Text_Asker(Mark_Text_Asker asker)
{
    Ask_Mark_Text = std::move(asker);
}

void MainWindow::Add_Mark()
{
    // The moment of the key, not of the end of typing.
    const qint64 t_us = Session_Rec->Now_Us();
    QString text;
    if (!Ask_Mark_Text(this, &text))
        return;
    Session_Rec->Add_Marker_At(t_us, text.trimmed());
}

void MainWindow::Fill_Recent_Menu()
{
    Recent_Recordings_Menu->clear();
    const QStringList files = Recent_Recordings::List();
    for (int i = 0; i < files.size(); ++i) {
        const QString file = files[i];
        QAction* item = Recent_Recordings_Menu->addAction(
            QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(file).fileName()));
        item->setToolTip(QDir::toNativeSeparators(file));
        item->setStatusTip(QDir::toNativeSeparators(file));
        item->setData(file);
        connect(item, &QAction::triggered, this, [this, file] { Open_Or_Tell(this, file); });
    }
    Recent_Recordings_Menu->addSeparator();
    QAction* clear = Recent_Recordings_Menu->addAction(QStringLiteral("Clear"));
    clear->setEnabled(!files.isEmpty());
    connect(clear, &QAction::triggered, this, [] { Recent_Recordings::Clear(); });
    Recent_Recordings_Menu->setEnabled(!files.isEmpty());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!Dropped_File(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString file = Dropped_File(event->mimeData());
    if (file.isEmpty())
        return;
    event->acceptProposedAction();
    Open_Or_Tell(this, file);
}
