// The main window's part in the service report: the File menu's action, the
// file dialog, and the reading of everything once before the report is
// written. A value whose request was not answered appears as "not read".

#include "main_window.h"
#include "recording/session_recorder.h"
#include "report/job_dialog.h"
#include "report/report_collector.h"
#include "report/report_command.h"
#include "report/report_writer.h"
#include "tabs/fault_counts_class.h"
#include "tabs/maint_ctrl.h"
#include "ui_main_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStatusBar>

using namespace Quillon;

namespace {

void tell(QWidget* parent, const QString& text)
{
    Ask_User(QMessageBox::Critical, QStringLiteral("Service Report"), text, QMessageBox::Ok,
             QMessageBox::NoButton, parent);
}

QString ask_for_file(QWidget* parent)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString name =
        QStringLiteral("service-report-%1.pdf")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString html = QStringLiteral("HTML (*.html)");
    QString chosen;
    QString file = QFileDialog::getSaveFileName(parent, QStringLiteral("Save Service Report"),
                                                QDir(folder).filePath(name),
                                                QStringLiteral("PDF (*.pdf);;") + html, &chosen);
    // A name without a known extension takes the chosen type's.
    if (!file.isEmpty() && !Service_Report::Name_Error(file).isEmpty())
        file += chosen == html ? QStringLiteral(".html") : QStringLiteral(".pdf");
    return file;
}

bool edit_in_dialog(Service_Report::Job_Info* job, QWidget* parent)
{
    Service_Report::Job_Dialog dialog(*job, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *job = dialog.Job();
    return true;
}

} // namespace

void MainWindow::Setup_Service_Report()
{
    Report_Collector = new Service_Report::Collector(this);
    connect(Report_Collector, &Service_Report::Collector::Collected, this,
            &MainWindow::Service_Report_Collected);
    Choose_Report_File = ask_for_file;
    Edit_Job_With = edit_in_dialog;
    connect(Session_Rec, &Session_Recorder::Progress, this, &MainWindow::Record_Job);
    auto job = new QAction(QStringLiteral("Job..."), this);
    job->setObjectName(QStringLiteral("actionJob"));
    ui->menu_File->insertAction(ui->actionExit, job);
    connect(job, &QAction::triggered, this, &MainWindow::Edit_Job);
    auto action = new QAction(QStringLiteral("Save Service Report..."), this);
    action->setObjectName(QStringLiteral("actionSaveServiceReport"));
    ui->menu_File->insertAction(ui->actionExit, action);
    connect(action, &QAction::triggered, this, &MainWindow::Service_Report_Dialog);
}

void MainWindow::Set_Report_File_Chooser(Report_File_Chooser chooser)
{
    Choose_Report_File = std::move(chooser);
}

void MainWindow::Service_Report_Dialog()
{
    if (!_COM_Manager) {
        tell(this, QStringLiteral("Not connected to a controller."));
        return;
    }
    if (Report_Collector->Is_Running())
        return;
    if (!Edit_Job())
        return;
    const QString file = Choose_Report_File(this);
    if (!file.isEmpty())
        Save_Service_Report(file);
}

bool MainWindow::Save_Service_Report(const QString& file)
{
    if (!Report_Collector->Start(_COM_Manager))
        return false;
    Report_File = file;
    statusBar()->showMessage(QStringLiteral("Reading the controller for the service report..."));
    return true;
}

void MainWindow::Service_Report_Collected()
{
    Service_Report::Data data;
    data.created = QDateTime::currentDateTime();
    data.program_version = QCoreApplication::applicationVersion();
    data.port = COM_Dialog->Open_Resource ? COM_Dialog->Open_Port_Name_Text() : QString();
    data.answers = Report_Collector->Answers();
    for (int i = 0; i < maintCtrl->Counter_History()->Series_Count(); ++i)
        data.history << maintCtrl->Counter_History()->Series(i);
    data.compressor_runs = maintCtrl->Test_Runs();
    data.tests = Report_Tests;
    data.job = Report_Job;
    data.chart = Report_Test_Chart;
    if (Session_Rec->Is_Recording()) {
        Session_Rec->Flush();
        data.recording = Session_Rec->File_Name();
        data.chart = Service_Report::Recording_Chart(data.recording);
    }
    QString error;
    const bool written = Service_Report::Write(data, Report_File, &error);
    if (written)
        statusBar()->showMessage(QStringLiteral("Service report saved to %1").arg(Report_File));
    else
        tell(this, error);
    emit Service_Report_Done(Report_File, written);
}

void MainWindow::Set_Job_Editor(Job_Editor editor)
{
    Edit_Job_With = std::move(editor);
}

bool MainWindow::Edit_Job()
{
    Service_Report::Job_Info job = Report_Job;
    if (!Edit_Job_With(&job, this))
        return false;
    Set_Job(job);
    return true;
}

void MainWindow::Set_Job(const Service_Report::Job_Info& job)
{
    Report_Job = job;
    Record_Job();
}

// Each entry that changed, into whichever recording runs: one started after
// the job was entered gets it with its first write.
void MainWindow::Record_Job()
{
    if (!Session_Rec->Is_Recording())
        return;
    if (Session_Rec->File_Name() != Recorded_Job_File) {
        Recorded_Job_File = Session_Rec->File_Name();
        Recorded_Job = Service_Report::Job_Info();
    }
    for (const QString& key : Service_Report::Job_Info::Keys())
        if (*Report_Job.Entry(key) != *Recorded_Job.Entry(key))
            Session_Rec->Set_Job(key, *Report_Job.Entry(key));
    Recorded_Job = Report_Job;
}

void MainWindow::Add_Report_Test(const Diagnostics::Result& result,
                                 const Diagnostics::Series& samples)
{
    Report_Tests.append(result);
    if (!samples.empty())
        Report_Test_Chart = Service_Report::Samples_Chart(
            samples, Diagnostics::Test_Title(result.test) + QStringLiteral(" test"));
}
