// The main window's part in session recording: the File menu's actions, the
// status bar while a recording runs, and the message when one stops.

#include "main_window.h"
#include "recording/recent_recordings.h"
#include "recording/session_recorder.h"
#include "ui_main_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QRadioButton>
#include <QSettings>
#include <QStatusBar>

using namespace Quillon;

namespace {

void tell(QWidget* parent, const QString& title, const QString& text)
{
    User_Prompt prompt;
    prompt.icon = QMessageBox::Critical;
    prompt.title = title;
    prompt.text = text;
    prompt.parent = parent;
    Ask_User(prompt);
}

} // namespace

void MainWindow::Setup_Recording()
{
    Session_Rec = new Session_Recorder(Tap, this);
    Record_Action = new QAction(QStringLiteral("Record Session..."), this);
    Record_Action->setObjectName(QStringLiteral("actionRecordSession"));
    Stop_Record_Action = new QAction(QStringLiteral("Stop Recording"), this);
    Stop_Record_Action->setObjectName(QStringLiteral("actionStopRecording"));
    Stop_Record_Action->setEnabled(false);
    ui->menu_File->insertActions(ui->actionExit, {Record_Action, Stop_Record_Action});
    ui->menu_File->insertSeparator(ui->actionExit);
    connect(Record_Action, &QAction::triggered, this, &MainWindow::Record_Session_Dialog);
    connect(Stop_Record_Action, &QAction::triggered, this, &MainWindow::Stop_Recording);

    Recording_Label = new QLabel(this);
    Recording_Label->setObjectName(QStringLiteral("recordingStatus"));
    Recording_Label->hide();
    statusBar()->addPermanentWidget(Recording_Label);
    Recording_Status_Timer = new QTimer(this);
    Recording_Status_Timer->setInterval(1000);
    connect(Recording_Status_Timer, &QTimer::timeout, this, &MainWindow::Show_Recording_Status);

    Record_Technician_Actions();

    connect(Session_Rec, &Session_Recorder::Recording_Failed, this, [this](const QString& message) {
        Show_Recording_Status();
        statusBar()->showMessage(message);
        tell(this, QStringLiteral("Recording stopped"), message);
    });
}

bool MainWindow::Start_Recording(const QString& file, QString* error)
{
    if (!Session_Rec->Start(file, error))
        return false;
    Recent_Recordings::Add(file);
    statusBar()->clearMessage();
    Recording_Status_Timer->start();
    Show_Recording_Status();
    return true;
}

void MainWindow::Stop_Recording()
{
    const QString file = Session_Rec->File_Name();
    const bool was_recording = Session_Rec->Is_Recording();
    Session_Rec->Stop();
    Show_Recording_Status();
    if (was_recording)
        statusBar()->showMessage(QStringLiteral("Recording saved to %1").arg(file));
}

void MainWindow::Record_Session_Dialog()
{
    const QString folder = Recent_Recordings::Folder();
    const QString name =
        QStringLiteral("vantor-%1.sqlite")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    // The dialog itself asks before an existing file is chosen.
    const QString file = QFileDialog::getSaveFileName(
        this, QStringLiteral("Record Session"), QDir(folder).filePath(name),
        QStringLiteral("Recordings (*.sqlite);;All files (*)"));
    if (file.isEmpty())
        return;
    if (QFileInfo::exists(file) && !QFile::remove(file)) {
        tell(this, QStringLiteral("Record Session"),
             QStringLiteral("Cannot replace %1.").arg(file));
        return;
    }
    QString error;
    if (!Start_Recording(file, &error))
        tell(this, QStringLiteral("Record Session"), error);
}

void MainWindow::Show_Recording_Status()
{
    const bool on = Session_Rec->Is_Recording();
    Record_Action->setEnabled(!on);
    Stop_Record_Action->setEnabled(on);
    Recording_Label->setVisible(on);
    if (!on) {
        Recording_Status_Timer->stop();
        return;
    }
    const QTime elapsed = QTime(0, 0).addMSecs(int(Session_Rec->Elapsed_Ms()));
    Recording_Label->setText(QStringLiteral("Recording %1  %2  %3 exchanges")
                                 .arg(QFileInfo(Session_Rec->File_Name()).fileName(),
                                      elapsed.toString(QStringLiteral("HH:mm:ss")))
                                 .arg(Session_Rec->Exchanges()));
}

void MainWindow::Record_Technician_Actions()
{
    // The buttons of the control tabs, by their names in the forms.
    const struct
    {
        const char* button;
        const char* kind;
        const char* text;
    } actions[] = {
        {"btnFillLeft", "move", "driver raise"},
        {"btnFillBoth", "move", "both raise"},
        {"btnFillRight", "move", "curb raise"},
        {"btnDumpLeft", "move", "driver lower"},
        {"btnDumpBoth", "move", "both lower"},
        {"btnDumpRight", "move", "curb lower"},
        {"btnMoveToRideHeight", "preset_move", "ride height"},
        {"btnMoveToDumpHeight", "preset_move", "dump height"},
        {"btnSaveRideHeight", "preset_save", "ride height"},
        {"btnSaveDumpHeight", "preset_save", "dump height"},
        {"btnCompressorTimeReset", "counter_reset", "compressor time"},
        {"btnOnTimeReset", "counter_reset", "on time"},
        {"btnCompOverheatReset", "counter_reset", "compressor overheat"},
        {"btnSaveSettings", "mode_save", nullptr},
        {"btnSaveLL", "lever_length_save", nullptr},
        {"btnCompTest", "compressor_test_start", ""},
    };
    for (const auto& a : actions) {
        auto button = findChild<QAbstractButton*>(QLatin1String(a.button));
        if (!button)
            continue;
        const QString kind = QLatin1String(a.kind);
        const QString text = QLatin1String(a.text);
        if (kind == QLatin1String("move")) {
            connect(button, &QAbstractButton::pressed, Session_Rec,
                    [this, text] { Session_Rec->Add_Event(QStringLiteral("move_pressed"), text); });
            connect(button, &QAbstractButton::released, Session_Rec, [this, text] {
                Session_Rec->Add_Event(QStringLiteral("move_released"), text);
            });
            continue;
        }
        // Connected after the tab's own handlers: what was saved is known.
        connect(button, &QAbstractButton::clicked, Session_Rec, [this, kind, text, a] {
            QString said = text;
            if (qstrcmp(a.kind, "mode_save") == 0) {
                for (QRadioButton* mode : findChildren<QRadioButton*>())
                    if (mode->isChecked() && mode->objectName().endsWith(QLatin1String("Mode")))
                        said = mode->text();
            } else if (!a.text) {
                said = QSettings().value(QStringLiteral("System/ll")).toString();
            }
            Session_Rec->Add_Event(kind, said);
        });
    }
}
