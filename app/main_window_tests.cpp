// The Tests menu: the guided tests' wizards, their limits, and the
// leak-down and compressor analyses over a recording. Each result is kept for
// the session's report and, while recording, written into the recording.

#include "diagnostics/recording_analysis.h"
#include "diagnostics/result_recording.h"
#include "diagnostics/test_limits_dialog.h"
#include "diagnostics/test_wizard.h"
#include "main_window.h"
#include "recording/recent_recordings.h"
#include "ui_main_window.h"
#include "views/charts_dock.h"

#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>

using namespace Diagnostics;

namespace {

void tell(QWidget* parent, const QString& text)
{
    Quillon::Ask_User(QMessageBox::Information, QStringLiteral("Tests"), text, QMessageBox::Ok,
                      QMessageBox::Ok, parent);
}

const Test_Kind all_tests[] = {Test_Kind::Leak_Down, Test_Kind::Sensors, Test_Kind::Compressor};

} // namespace

void MainWindow::Setup_Tests()
{
    auto menu = new QMenu(QStringLiteral("&Tests"), this);
    menu->setObjectName(QStringLiteral("menu_Tests"));
    for (const Test_Kind kind : all_tests) {
        QAction* run = menu->addAction(Test_Title(kind) + QStringLiteral("..."));
        run->setObjectName(QStringLiteral("actionTest_") + Test_Key(kind));
        connect(run, &QAction::triggered, this, [this, kind] { Open_Test_Wizard(kind); });
    }
    menu->addSeparator();
    for (const Test_Kind kind : all_tests) {
        if (!Runs_On_Recording(kind))
            continue;
        QAction* analyse =
            menu->addAction(QStringLiteral("Analyse Recording: %1...").arg(Test_Title(kind)));
        analyse->setObjectName(QStringLiteral("actionAnalyse_") + Test_Key(kind));
        connect(analyse, &QAction::triggered, this,
                [this, kind] { Analyse_Recording_Dialog(kind); });
    }
    menu->addSeparator();
    QAction* limits = menu->addAction(QStringLiteral("Test Limits..."));
    limits->setObjectName(QStringLiteral("actionTestLimits"));
    connect(limits, &QAction::triggered, this, [this] {
        Test_Limits stored;
        Test_Limits_Dialog(&stored, this).exec();
    });
    menuBar()->insertMenu(ui->menu_Help->menuAction(), menu);
    // The recording the charts show, which is the one opened last; else one
    // the technician chooses.
    Choose_Recording = [this](QWidget* parent) {
        const QStringList recent = Recent_Recordings::List();
        if (!Charts_View->Is_Live() && !recent.isEmpty())
            return recent.first();
        return QFileDialog::getOpenFileName(parent, QStringLiteral("Analyse Recording"),
                                            Recent_Recordings::Folder(),
                                            QStringLiteral("Recordings (*.sqlite *.db);;"
                                                           "All files (*)"));
    };
}

Test_Wizard* MainWindow::Open_Test_Wizard(Test_Kind kind)
{
    if (Open_Wizard) {
        Open_Wizard->raise();
        Open_Wizard->activateWindow();
        return Open_Wizard;
    }
    if (!_COM_Manager) {
        tell(this, QStringLiteral("Not connected to a controller."));
        return nullptr;
    }
    // The job the result will belong to, before the vehicle is touched.
    if (!Edit_Job())
        return nullptr;
    const Test_Limits limits;
    Open_Wizard = new Test_Wizard(kind, limits, _COM_Manager, this);
    Open_Wizard->setAttribute(Qt::WA_DeleteOnClose);
    connect(Open_Wizard, &Test_Wizard::Test_Started, this,
            [this](Test_Kind started) { Record_Start(Session_Rec, started); });
    connect(Open_Wizard, &Test_Wizard::Result_Ready, this,
            [this, wizard = Open_Wizard.data()](const Result& result) {
                Keep_Test_Result(result, wizard->Runner()->Samples());
            });
    Open_Wizard->show();
    return Open_Wizard;
}

void MainWindow::Keep_Test_Result(const Result& result, const Series& samples)
{
    Add_Report_Test(result, samples);
    Record_Result(Session_Rec, result);
    emit Test_Result_Added(result);
}

Result MainWindow::Analyse_Recording_File(const QString& file, Test_Kind kind, double from_s,
                                          double to_s)
{
    QString error;
    const Result result = Analyse_Recording(file, kind, from_s, to_s, &error);
    if (!error.isEmpty()) {
        tell(this, error);
        return result;
    }
    Keep_Test_Result(result, Series());
    return result;
}

void MainWindow::Analyse_Recording_Dialog(Test_Kind kind)
{
    const QString file = Choose_Recording(this);
    if (file.isEmpty())
        return;
    // Between the chart's cursors when both are pinned on the recording
    // shown, else the whole recording.
    double from_s = 0;
    double to_s = Whole_Recording;
    if (Charts_View->Is_Live() || !Charts_View->Cursor_Span(&from_s, &to_s)) {
        from_s = 0;
        to_s = Whole_Recording;
    }
    const Result result = Analyse_Recording_File(file, kind, from_s, to_s);
    if (result.reason_code == QLatin1String(Reason::Not_Run))
        return;
    tell(
        this, result.Verdict_Line() + QStringLiteral("\n\n") + [&] {
            QStringList lines;
            for (const Figure& f : result.figures)
                lines << f.name + QStringLiteral(": ") + f.Text();
            if (!result.reason.isEmpty())
                lines << result.reason;
            return lines.join(QLatin1Char('\n'));
        }());
}

void MainWindow::Set_Recording_Chooser(Recording_Chooser chooser)
{
    Choose_Recording = std::move(chooser);
}
