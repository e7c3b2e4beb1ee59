#ifndef MAIN_WINDOW_H
#define MAIN_WINDOW_H

#include <Quillon.h>

#include <QIcon>
#include <QMainWindow>
#include <QThread>
#include <QTimer>

#include <functional>

class QScrollArea;

namespace Ui {
class MainWindow;
}

class COM_Display_Interface;
class Device_Identity;
class QAction;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class Session_Recorder;
class DevInfoDisplay;
class ErrorsDisplay;
class IODisplay;
class MainDisplay;
class MaintCtrl;
class ManualCtrl;
class MiscCtrl;
class Suspension_Heights_Class;
namespace Views {
class Charts_Dock;
class Event_Marks;
class Line_Tap;
class Traffic_Dock;
} // namespace Views
namespace Service_Report {
class Collector;
}

// The program's one window: two tab widgets above each other, the port
// dialog, the worker on its own thread, the fault word polling and the
// warning blink, and the questions asked when the connection fails.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows the port dialog and starts the worker on the chosen port; closes
    // the window (ending the program) when the dialog is left without one.
    void Open_COM_Dialog();
    // Opens a port by name without the dialog; on failure shows the error
    // and then the dialog.
    void Open_Port(const QString& port_name);
    // Stops the worker and ends the program without asking.
    void Quit_Now();

    // Runs the port dialog; tests replace it so that no person is needed.
    using Port_Dialog_Runner = std::function<int(Quillon::COM_Setup*)>;
    void Set_Port_Dialog_Runner(Port_Dialog_Runner runner);

    Quillon::COM_485_Class* Worker() const { return _COM_Manager; }
    Quillon::COM_Setup* Port_Dialog() const { return COM_Dialog; }
    QTabWidget* Display_Tabs() const;
    QTabWidget* Control_Tabs() const;
    const QList<COM_Display_Interface*>& Tabs() const { return Tab_List; }
    ErrorsDisplay* Fault_Tab() const { return errorsDisplay; }
    // The window's size with the tab pages shown whole, without scrolling.
    QSize Whole_Pages_Size() const;
    // The height tables that follow the lever length.
    QList<Suspension_Heights_Class*> Height_Tables() const;
    // Writes a recording as CSV (see Recording::Export_CSV); a failure is
    // shown in a box.
    bool Export_CSV(const QString& recording, const QString& csv, bool traffic);

    // Session recording (File menu, status bar, --record).
    // Starts recording into FILE, which must not exist yet.
    bool Start_Recording(const QString& file, QString* error);
    void Stop_Recording();
    Session_Recorder* Recorder() const { return Session_Rec; }

    // The Charts and Traffic docks (View menu), live or of a recording.
    // Shows the docks named "charts" and "traffic".
    void Show_Views(const QStringList& names);
    // Shows a recording in both docks; false with *error when it cannot be read.
    bool Open_Recording(const QString& file, QString* error);
    Views::Charts_Dock* Charts() const { return Charts_View; }
    Views::Traffic_Dock* Traffic() const { return Traffic_View; }
    Views::Line_Tap* Views_Tap() const { return Tap; }

private:
    void Setup_Views();
    void Attach_Views(Quillon::COM_Resource* resource);
    void Open_Recording_Dialog();
    Views::Charts_Dock* Charts_View = nullptr;
    Views::Traffic_Dock* Traffic_View = nullptr;
    Views::Line_Tap* Tap = nullptr;

public:
signals:
    void update_warnings(bool blink_on);

public slots:
    void COM_Error_Handler(QString* Errormessage);
    void sched_item_Disconnected(Quillon::Disconnect_Enum Reason,
                                 Quillon::TX_Scheduler_Item_Class* sched_item);
    void tabDisplayIndexChanged(int index);
    void tabControlsIndexChanged(int index);
    void CompTestRunning(bool running);
    void onClickAbout();
    // Asks for a recording and a CSV file, then exports.
    void onExportCSV();
    void COM_Thread_finished();
    void warning_timer_timeout();
    void fault_tab_update(bool blink_on);
    void Rx_Make_Visible();
    void Rx_Make_Visible_Timeout();
    void COM_Manager_Shutdown();
    void sched_item_Timeout_CB(Quillon::TX_Scheduler_Item_Class* sched_item);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Start_COM();
    void Set_Displays_Active(bool on);
    void Disconnect_Displays();
    // Every way the connection is lost ends here: the tabs stop, the worker
    // goes, and the port dialog comes up again.
    void Connection_Lost();
    // Shuts the worker down, waits for its thread, and releases both.
    void Stop_Worker();
    void disconnect_make_visible();
    void Setup_Recording();
    void Record_Session_Dialog();
    void Show_Recording_Status();
    void Record_Technician_Actions();

    QTimer* Warning_Timer;
    // Holds both tab widgets; they scroll in a window smaller than their pages.
    QScrollArea* Page_Scroller;
    int Fault_Tab_Index = -1;
    Ui::MainWindow* ui;
    DevInfoDisplay* devInfoDisplay;
    ErrorsDisplay* errorsDisplay;
    IODisplay* ioDisplay;
    MainDisplay* mainDisplay;
    MaintCtrl* maintCtrl;
    ManualCtrl* manualCtrl;
    MiscCtrl* miscCtrl;
    Quillon::COM_485_Class* _COM_Manager = nullptr;
    QThread* COM_Thread = nullptr;
    QList<COM_Display_Interface*> Tab_List;
    Quillon::COM_Setup* COM_Dialog;
    QIcon Warning_Icon;
    QIcon Empty_Icon;
    Quillon::Packet_Shared_Ptr FM1_Pkt;
    Quillon::Packet_Shared_Ptr FM2_Pkt;
    Quillon::Packet_Shared_Ptr FM3_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* FM1_Item;
    Quillon::TX_Sched_Item_Send_Once_Class* FM2_Item;
    Quillon::TX_Sched_Item_Send_Once_Class* FM3_Item;
    Port_Dialog_Runner Run_Port_Dialog;
    // Previously selected tabs, -1 for none, and the phase of the blink.
    int Previous_Display_Index = -1;
    int Previous_Control_Index = -1;
    bool Blink_Phase = false;
    // Set when the user has already agreed to leave in the port dialog.
    bool Exit_Confirmed = false;
    Session_Recorder* Session_Rec = nullptr;
    // Reads the serial number and firmware each time a port opens.
    Device_Identity* Identity = nullptr;
    QAction* Record_Action = nullptr;
    QAction* Stop_Record_Action = nullptr;
    QLabel* Recording_Label = nullptr;
    QTimer* Recording_Status_Timer = nullptr;

    // Service report (File menu "Save Service Report..."): the file comes
    // from the chooser, which tests replace; Service_Report_Done follows every
    // Save_Service_Report that returned true.
public:
    using Report_File_Chooser = std::function<QString(QWidget*)>;
    void Set_Report_File_Chooser(Report_File_Chooser chooser);
    bool Save_Service_Report(const QString& file);
signals:
    void Service_Report_Done(const QString& file, bool written);

private:
    void Setup_Service_Report();
    void Service_Report_Dialog();
    void Service_Report_Collected();
    Service_Report::Collector* Report_Collector = nullptr;
    Report_File_Chooser Choose_Report_File;
    QString Report_File;

    // Event marks on the charts, the Mark button (Ctrl+M), File > Recent
    // Recordings, and recordings dropped on the window.
public:
    // Asks for a marker's optional text; false when the technician cancels.
    // Tests replace it so that no person is needed.
    using Mark_Text_Asker = std::function<bool(QWidget*, QString*)>;
    void Set_Mark_Text_Asker(Mark_Text_Asker asker);
    // A marker at this moment, with the text the asker gives.
    void Add_Mark();
    Views::Event_Marks* Marks() const { return Event_Marks_View; }
    QMenu* Recent_Menu() const { return Recent_Recordings_Menu; }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Setup_Marks();
    void Fill_Recent_Menu();
    Views::Event_Marks* Event_Marks_View = nullptr;
    QMenu* Recent_Recordings_Menu = nullptr;
    Mark_Text_Asker Ask_Mark_Text;
};

#endif // MAIN_WINDOW_H
