#include "main_window.h"

#include "application_identity.h"
#include "data_files.h"
#include "device_identity.h"
#include "diagnostics/test_wizard.h"
#include "recording/csv_export.h"
#include "recording/session_recorder.h"
#include "tabs/dev_info_display.h"
#include "tabs/errors_display.h"
#include "tabs/io_display.h"
#include "tabs/lever_length_form.h"
#include "tabs/main_display.h"
#include "tabs/maint_ctrl.h"
#include "tabs/manual_ctrl.h"
#include "tabs/misc_ctrl.h"
#include "tabs/suspension_heights_class.h"
#include "ui_main_window.h"
#include "views/line_tap.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpacerItem>
#include <QTabBar>
#include <QUrl>

#include <sanitizer_locks.h>

using namespace Quillon;

namespace {

TX_Sched_Item_Send_Once_Class* fault_word_item(Packet_Shared_Ptr& handle, Packet_Class* packet)
{
    packet->setResponse_FiltertoDefault();
    handle = Packet_Shared_Ptr(packet);
    return new TX_Sched_Item_Send_Once_Class(handle);
}

} // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), Warning_Timer(new QTimer(this)), ui(new Ui::MainWindow),
      devInfoDisplay(new DevInfoDisplay(this)), errorsDisplay(new ErrorsDisplay(this)),
      ioDisplay(new IODisplay(this)), mainDisplay(new MainDisplay(this)),
      maintCtrl(new MaintCtrl(this)), manualCtrl(new ManualCtrl(this)),
      miscCtrl(new MiscCtrl(this)), COM_Dialog(new COM_Setup(this)),
      Warning_Icon(QStringLiteral(":/images/imgWarning")),
      FM1_Item(fault_word_item(FM1_Pkt, new Packet_Get_FM1)),
      FM2_Item(fault_word_item(FM2_Pkt, new Packet_Get_FM2)),
      FM3_Item(fault_word_item(FM3_Pkt, new Packet_Get_FM3)),
      Run_Port_Dialog([](COM_Setup* dialog) { return dialog->exec(); })
{
    ui->setupUi(this);
    setWindowTitle(Identity::Window_Title);
    // The tab pages need more height than a laptop screen has: they scroll
    // when the window is smaller than they are, and look as laid out when not.
    Page_Scroller = new QScrollArea;
    Page_Scroller->setObjectName(QStringLiteral("scrollArea"));
    Page_Scroller->setFrameShape(QFrame::NoFrame);
    Page_Scroller->setWidgetResizable(true);
    Page_Scroller->setWidget(takeCentralWidget());
    setCentralWidget(Page_Scroller);
    Tab_List << mainDisplay << ioDisplay << errorsDisplay << devInfoDisplay << manualCtrl
             << miscCtrl << maintCtrl;

    auto io_page = new QWidget;
    auto io_layout = new QHBoxLayout(io_page);
    io_layout->addWidget(mainDisplay);
    io_layout->addWidget(ioDisplay);
    io_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
    ui->tabDisplay->addTab(io_page, QStringLiteral("I/O"));
    Fault_Tab_Index = ui->tabDisplay->addTab(errorsDisplay, QStringLiteral("Fault"));
    ui->tabDisplay->addTab(devInfoDisplay, QStringLiteral("Device"));
    ui->tabControls->addTab(manualCtrl, QStringLiteral("Manual Operation"));
    ui->tabControls->addTab(miscCtrl, QStringLiteral("Misc Settings"));
    ui->tabControls->addTab(maintCtrl, QStringLiteral("Maintenance"));

    // Selected before the connections, so that building calls no focus handler.
    ui->tabDisplay->setCurrentIndex(0);
    ui->tabControls->setCurrentIndex(0);
    connect(ui->tabControls, SIGNAL(currentChanged(int)), this, SLOT(tabControlsIndexChanged(int)));
    connect(ui->tabDisplay, SIGNAL(currentChanged(int)), this, SLOT(tabDisplayIndexChanged(int)));
    connect(ui->actionExit, SIGNAL(triggered()), this, SLOT(close()));
    connect(ui->action_About, SIGNAL(triggered()), this, SLOT(onClickAbout()));
    auto export_csv = new QAction(QStringLiteral("Export CSV..."), this);
    export_csv->setObjectName(QStringLiteral("actionExport_CSV"));
    ui->menu_File->insertAction(ui->actionExit, export_csv);
    connect(export_csv, SIGNAL(triggered()), this, SLOT(onExportCSV()));
    connect(maintCtrl, SIGNAL(CompTest(bool)), this, SLOT(CompTestRunning(bool)));
    Lever_Length_Form* lever_length = miscCtrl->Lever_Length_Editor();
    for (Suspension_Heights_Class* heights : Height_Tables())
        connect(lever_length, SIGNAL(lever_length_changed(double)), heights,
                SLOT(lever_length_changed(double)));

    ui->tabDisplay->hide();
    ui->tabControls->hide();
    connect(Warning_Timer, SIGNAL(timeout()), this, SLOT(warning_timer_timeout()));
    connect(this, SIGNAL(update_warnings(bool)), this, SLOT(fault_tab_update(bool)));
    connect(this, SIGNAL(update_warnings(bool)), mainDisplay, SLOT(update_battery_warn(bool)));
    connect(this, SIGNAL(update_warnings(bool)), mainDisplay, SLOT(update_ResPsi_warn(bool)));
    // Every height table starts with the stored lever length.
    lever_length->load_lever_length();

    FM1_Pkt->AllocateData();
    FM2_Pkt->AllocateData();
    FM3_Pkt->AllocateData();
    connect(ioDisplay->Ignition_Item(), SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)),
            mainDisplay, SLOT(Rx_Ignition(QSharedPointer<Quillon::Packet_Class>)));
    const struct
    {
        TX_Sched_Item_Send_Once_Class* item;
        QObject* tab;
        const char* slot;
    } fault_words[] = {
        {FM1_Item, errorsDisplay, SLOT(Rx_FM1(QSharedPointer<Quillon::Packet_Class>))},
        {FM1_Item, mainDisplay, SLOT(Rx_FM1(QSharedPointer<Quillon::Packet_Class>))},
        {FM1_Item, manualCtrl, SLOT(Rx_FM1(QSharedPointer<Quillon::Packet_Class>))},
        {FM2_Item, errorsDisplay, SLOT(Rx_FM2(QSharedPointer<Quillon::Packet_Class>))},
        {FM3_Item, errorsDisplay, SLOT(Rx_FM3(QSharedPointer<Quillon::Packet_Class>))},
    };
    for (const auto& w : fault_words)
        connect(w.item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), w.tab, w.slot);
    // Before its consumers, the recorder and the docks.
    Tap = new Views::Line_Tap(this);
    Setup_Recording();
    Setup_Views();
    Setup_Service_Report();
    Setup_Tests();
    Identity = new Device_Identity(this);
}

MainWindow::~MainWindow()
{
    // The children go after this window has stopped being one: what they
    // signal on their way out (a recording's last flush, a dock hidden) must
    // not reach it.
    for (QObject* child : findChildren<QObject*>())
        disconnect(child, nullptr, this, nullptr);
    Stop_Worker();
    delete FM1_Item;
    delete FM2_Item;
    delete FM3_Item;
    delete ui;
}

QList<Suspension_Heights_Class*> MainWindow::Height_Tables() const
{
    return {mainDisplay->Heights(), manualCtrl->Ride_Heights(), manualCtrl->Dump_Heights()};
}

QSize MainWindow::Whole_Pages_Size() const
{
    return size() - Page_Scroller->size() + ui->centralwidget->sizeHint();
}

QTabWidget* MainWindow::Display_Tabs() const
{
    return ui->tabDisplay;
}

QTabWidget* MainWindow::Control_Tabs() const
{
    return ui->tabControls;
}

void MainWindow::Set_Port_Dialog_Runner(Port_Dialog_Runner runner)
{
    Run_Port_Dialog = std::move(runner);
}

void MainWindow::Open_COM_Dialog()
{
    if (Run_Port_Dialog(COM_Dialog) == QDialog::Accepted) {
        Start_COM();
        Set_Displays_Active(true);
        return;
    }
    // The port dialog has asked already; the program ends, even when the
    // event loop has not started yet.
    Exit_Confirmed = true;
    if (close())
        QMetaObject::invokeMethod(qApp, "quit", Qt::QueuedConnection);
}

void MainWindow::Open_Port(const QString& port_name)
{
    QString name = port_name;
    QString error;
    if (COM_Dialog->TryOpenWithDefaults(&name, &error)) {
        Start_COM();
        Set_Displays_Active(true);
        return;
    }
    Ask_User(QMessageBox::Critical, QStringLiteral("Error Opening COM Port ") + name, error,
             QMessageBox::Ok, QMessageBox::Ok, this);
    COM_Dialog->Refresh_COM_Ports();
    Open_COM_Dialog();
}

void MainWindow::Quit_Now()
{
    Set_Displays_Active(false);
    Stop_Worker();
    Stop_Recording();
    hide();
    QMetaObject::invokeMethod(qApp, "quit", Qt::QueuedConnection);
}

void MainWindow::Start_COM()
{
    // A worker left from an earlier connection goes first.
    Stop_Worker();
    COM_Resource* resource = COM_Dialog->Open_Resource;
    // A resource opened again after a loss still holds its last worker's
    // shutdown word.
    resource->COM_Command = COM_Resource::COM_Run;
    _COM_Manager = new COM_485_Class(resource, nullptr);
    COM_Thread = new QThread(this);

    // Once per resource: a resource opened again after a loss is still
    // connected from before, and each connection would show its own box.
    connect(resource, SIGNAL(COM_Error(QString*)), this, SLOT(COM_Error_Handler(QString*)),
            Qt::UniqueConnection);
    connect(
        resource,
        SIGNAL(Item_Disconnected(Quillon::Disconnect_Enum, Quillon::TX_Scheduler_Item_Class*)),
        this,
        SLOT(sched_item_Disconnected(Quillon::Disconnect_Enum, Quillon::TX_Scheduler_Item_Class*)),
        Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    connect(_COM_Manager, SIGNAL(shutdown()), this, SLOT(COM_Manager_Shutdown()));
    connect(COM_Thread, SIGNAL(finished()), this, SLOT(COM_Thread_finished()));

    for (COM_Display_Interface* tab : qAsConst(Tab_List))
        tab->COM_Connect(_COM_Manager);
    Session_Rec->Attach(resource);
    Attach_Views(resource);
    _COM_Manager->Start_On(COM_Thread);
    Identity->Read(_COM_Manager);
    Warning_Timer->start(1000);
    fault_tab_update(false);
}

void MainWindow::Set_Displays_Active(bool on)
{
    if (on) {
        tabControlsIndexChanged(ui->tabControls->currentIndex());
        tabDisplayIndexChanged(ui->tabDisplay->currentIndex());
        if (_COM_Manager && COM_Dialog->Open_Resource)
            connect(COM_Dialog->Open_Resource,
                    SIGNAL(Rx_Expected_Packet(QSharedPointer<Quillon::Packet_Class>,
                                              QSharedPointer<Quillon::Packet_Class>)),
                    this, SLOT(Rx_Make_Visible()));
        return;
    }
    if (_COM_Manager)
        disconnect_make_visible();
    tabControlsIndexChanged(-1);
    tabDisplayIndexChanged(-1);
    ui->tabDisplay->hide();
    ui->tabControls->hide();
}

void MainWindow::disconnect_make_visible()
{
    if (COM_Resource* resource = COM_Dialog->Open_Resource) {
        disconnect(resource, nullptr, this, SLOT(Rx_Make_Visible()));
        disconnect(resource, nullptr, this, SLOT(Rx_Make_Visible_Timeout()));
    }
}

void MainWindow::Disconnect_Displays()
{
    Warning_Timer->stop();
    for (COM_Display_Interface* tab : qAsConst(Tab_List))
        tab->COM_Disconnect();
}

void MainWindow::Stop_Worker()
{
    if (!_COM_Manager)
        return;
    COM_485_Class* worker = _COM_Manager;
    _COM_Manager = nullptr;
    QThread* thread = COM_Thread;
    COM_Thread = nullptr;
    const bool stopped = !thread || worker->Stop_On(thread, 2000);
    if (Session_Rec)
        Session_Rec->Detach();
    if (!stopped) {
        // Still running: leave both to the thread rather than delete a live
        // object, nor let the window take the thread with it.
        thread->setParent(nullptr);
        connect(thread, &QThread::finished, worker, &QObject::deleteLater);
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        return;
    }
    delete worker;
    delete thread;
}

void MainWindow::COM_Error_Handler(QString* Errormessage)
{
    // Only the current worker's own error ends the connection. A report of a
    // worker already released, or of another resource, may still be on its
    // way when the next connection is up.
    if (!_COM_Manager || !Errormessage || Errormessage != _COM_Manager->Shutdown_Error())
        return;
    Ask_User(QMessageBox::Critical, QStringLiteral("COM error"), *Errormessage, QMessageBox::Ok,
             QMessageBox::NoButton, this);
    Connection_Lost();
}

void MainWindow::Connection_Lost()
{
    if (Open_Wizard)
        Open_Wizard->Connection_Lost();
    Set_Displays_Active(false);
    Disconnect_Displays();
    // The worker has shut down or is told to now; once it has, the port is
    // closed, so that the dialog offers no way back to the dead connection.
    Stop_Worker();
    COM_Dialog->Refresh_COM_Ports();
    Open_COM_Dialog();
}

void MainWindow::sched_item_Disconnected(Disconnect_Enum Reason,
                                         TX_Scheduler_Item_Class* sched_item)
{
    if (Reason == Disconnect_Timeout)
        sched_item_Timeout_CB(sched_item);
}

void MainWindow::sched_item_Timeout_CB(TX_Scheduler_Item_Class* sched_item)
{
    if (!_COM_Manager)
        return;
    COM_485_Class* worker = _COM_Manager;
    worker->setSuspend();
    worker->waitForSuspend();
    const auto answer = Ask_User(QMessageBox::Critical, QStringLiteral("COM Timeout"),
                                 QStringLiteral("Communication failed.  Retry?"),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, this);
    if (worker != _COM_Manager)
        return;
    if (answer == QMessageBox::Yes) {
        worker->TX_Scheduler->Schedule_Item(sched_item);
        worker->Resume();
        return;
    }
    Connection_Lost();
}

void MainWindow::tabDisplayIndexChanged(int index)
{
    switch (Previous_Display_Index) {
    case 0:
        mainDisplay->Lost_Focus();
        ioDisplay->Lost_Focus();
        break;
    case 1:
        errorsDisplay->Lost_Focus();
        break;
    case 2:
        devInfoDisplay->Lost_Focus();
        break;
    default:
        break;
    }
    Previous_Display_Index = index;
    switch (index) {
    case 0:
        mainDisplay->Has_Focus();
        ioDisplay->Has_Focus();
        break;
    case 1:
        errorsDisplay->Has_Focus();
        break;
    case 2:
        devInfoDisplay->Has_Focus();
        break;
    default:
        break;
    }
}

void MainWindow::tabControlsIndexChanged(int index)
{
    COM_Display_Interface* const tabs[] = {manualCtrl, miscCtrl, maintCtrl};
    if (Previous_Control_Index >= 0 && Previous_Control_Index < 3)
        tabs[Previous_Control_Index]->Lost_Focus();
    Previous_Control_Index = index;
    if (index >= 0 && index < 3)
        tabs[index]->Has_Focus();
}

void MainWindow::CompTestRunning(bool running)
{
    manualCtrl->setEnabled(!running);
    miscCtrl->setEnabled(!running);
}

void MainWindow::onClickAbout()
{
    const QString app = QCoreApplication::applicationName();
    // An absolute path already starts with a slash: QUrl writes file:///...
    const QString eula = QUrl::fromLocalFile(Data_File(QCoreApplication::applicationDirPath(),
                                                       QStringLiteral("EULA.rtf")))
                             .toString(QUrl::FullyEncoded);
    const QString text =
        QStringLiteral("<table><tr><td><b>Vendor placeholder</b></td></tr>"
                       "<tr><td>1 Example Street, Example Town</td></tr>"
                       "<tr><td>Phone: +00 000 000 000</td></tr>"
                       "<tr><td><a href=\"") +
        Identity::Vendor_Web_Site + QStringLiteral("\">") + Identity::Vendor_Web_Site +
        QStringLiteral("</a></td></tr></table><br><br>") + app + QStringLiteral(" version ") +
        Identity::Version + QLatin1Char('.') + Identity::Date_Code +
        QStringLiteral("<br>Library version ") + getfullversion() +
        QStringLiteral("<br><br>Built by <a href=\"") + Identity::Builder_Web_Site +
        QStringLiteral("\">") + QCoreApplication::organizationName() +
        QStringLiteral("</a><br>Based on <a href=\"") + Identity::Toolkit_Web_Site +
        QStringLiteral("\">QT version ") + Identity::Toolkit_Version +
        QStringLiteral("</a><br>See <a href=\"") + eula +
        QStringLiteral("\">EULA</a> for more details");
    QMessageBox::about(this, QStringLiteral("About ") + app, text);
}

void MainWindow::COM_Thread_finished()
{
    // The thread object may already be gone with Stop_Worker.
    QThread* thread = qobject_cast<QThread*>(sender());
    if (!thread || thread != COM_Thread)
        return;
    thread->wait();
    detail::thread_joined(thread);
    COM_Thread = nullptr;
    delete thread;
}

void MainWindow::warning_timer_timeout()
{
    emit update_warnings(Blink_Phase);
    Blink_Phase = !Blink_Phase;
}

void MainWindow::fault_tab_update(bool blink_on)
{
    QTabBar* bar = ui->tabDisplay->tabBar();
    if (!blink_on) {
        bar->setTabTextColor(Fault_Tab_Index, QColor(QStringLiteral("black")));
        ui->tabDisplay->setTabIcon(Fault_Tab_Index, Empty_Icon);
        if (_COM_Manager) {
            _COM_Manager->TX_Scheduler->Schedule_Item(FM1_Item);
            _COM_Manager->TX_Scheduler->Schedule_Item(FM2_Item);
            _COM_Manager->TX_Scheduler->Schedule_Item(FM3_Item);
        }
        return;
    }
    if (errorsDisplay->Any_Fault()) {
        bar->setTabTextColor(Fault_Tab_Index, QColor(QStringLiteral("orangered")));
        ui->tabDisplay->setTabIcon(Fault_Tab_Index, Warning_Icon);
    }
}

void MainWindow::Rx_Make_Visible()
{
    disconnect_make_visible();
    ui->tabDisplay->show();
    ui->tabControls->show();
    // Room for the whole pages, as far as the screen has it; where the
    // height falls short, the width takes the vertical scroll bar as well.
    const QSize whole = Whole_Pages_Size();
    QSize wanted = whole;
    if (QScreen* shown_on = screen()) {
        const QSize room = shown_on->availableGeometry().size() - (frameGeometry().size() - size());
        if (whole.height() > room.height())
            wanted.rwidth() += Page_Scroller->verticalScrollBar()->sizeHint().width();
        wanted = wanted.boundedTo(room);
    }
    resize(size().expandedTo(wanted));
}

void MainWindow::Rx_Make_Visible_Timeout()
{
    Set_Displays_Active(false);
    Stop_Worker();
    Open_COM_Dialog();
}

void MainWindow::COM_Manager_Shutdown()
{
    // Only the current worker's report counts. A report of a worker already
    // released may arrive after a new worker took its address.
    if (!_COM_Manager || sender() != _COM_Manager || !_COM_Manager->Is_Shutdown())
        return;
    Disconnect_Displays();
    Stop_Worker();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!COM_Dialog->Open_Resource) {
        event->accept();
        return;
    }
    if (Exit_Confirmed) {
        Set_Displays_Active(false);
        Stop_Worker();
        event->accept();
        return;
    }
    const QString app = QCoreApplication::applicationName();
    const auto answer = Ask_User(QMessageBox::Question, QStringLiteral("Closing ") + app,
                                 QStringLiteral("Are you sure you want to exit %1?").arg(app),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No, this);
    if (answer != QMessageBox::Yes) {
        event->ignore();
        return;
    }
    Set_Displays_Active(false);
    Stop_Worker();
    event->accept();
}

void MainWindow::onExportCSV()
{
    const QString recording = QFileDialog::getOpenFileName(
        this, QStringLiteral("Export CSV: Recording"), QString(),
        QStringLiteral("All files (*);;SQLite databases (*.sqlite *.db)"));
    if (recording.isEmpty())
        return;
    const QString readings = QStringLiteral("Readings (*.csv)");
    QString chosen = readings;
    const QString csv = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export CSV"),
        QFileInfo(recording).path() + QLatin1Char('/') + QFileInfo(recording).completeBaseName() +
            QStringLiteral(".csv"),
        readings + QStringLiteral(";;Traffic on the line (*.csv)"), &chosen);
    if (!csv.isEmpty())
        Export_CSV(recording, csv, chosen != readings);
}

bool MainWindow::Export_CSV(const QString& recording, const QString& csv, bool traffic)
{
    QString error;
    if (Recording::Export_CSV(recording, csv, traffic, &error))
        return true;
    Ask_User(QMessageBox::Critical, QStringLiteral("Export CSV"), error, QMessageBox::Ok,
             QMessageBox::NoButton, this);
    return false;
}
