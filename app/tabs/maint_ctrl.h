#ifndef MAINT_CTRL_H
#define MAINT_CTRL_H

#include "com_display_interface.h"

#include <QDateTime>
#include <QList>
#include <QMessageBox>
#include <QTimer>

#include <array>

class Fault_Counts_Class;
class QLCDNumber;
class QPushButton;

namespace Ui {
class MaintCtrl;
}

// The "Maintenance" tab: the three maintenance counters, read on every gain of
// focus and reset through the controller's reset-code exchange (the value
// before each reset goes into a dated history), and the compressor test with
// its time limit. CompTest tells the main window while a test runs.
class MaintCtrl : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit MaintCtrl(QWidget* parent = nullptr);
    ~MaintCtrl() override;

    void init_periodic_items() override;
    // A test cannot outlive the connection it runs on: losing the worker, or
    // being given another one, ends it.
    void COM_Connect(Quillon::COM_485_Class* manager) override;
    void COM_Disconnect() override;

    void Enable_Reset_Buttons(bool enabled);
    void CompTest_Failed(const QString& message);
    void CompTest_Succeeded(const QString& message);

    // The limit a compressor test has for its verdict, as its message names it.
    static constexpr int Test_Time_Limit = 142000;
    // How long a test actually waits for its verdict: the limit, unless a
    // test shortens the wait.
    void Set_Time_Limit_Wait(int milliseconds) { time_limit_wait = milliseconds; }
    // Minutes, seconds and milliseconds: 83456 ms give "1:23.456".
    static QString Elapsed_Text(qint64 milliseconds);
    // "Compressor Test exceeded time limit of 2 minutes 22 seconds" for 142000 ms.
    static QString Time_Limit_Message(int limit_milliseconds);

    Fault_Counts_Class* Counter_History() const { return _counter_history; }

    // Each compressor test of this session as it ended, for the service report.
    struct Test_Run
    {
        QDateTime started;
        bool passed = false;
        QString verdict; // the first line of the message the user was shown
        qint64 elapsed_ms = 0;
    };
    const QList<Test_Run>& Test_Runs() const { return test_runs; }
    // The exchange items, which the main window may schedule again after a
    // time-out.
    Quillon::TX_Sched_Item_Send_Once_Class* Reset_Code_Item() const { return _code_item; }
    Quillon::TX_Sched_Item_Send_Once_Class* Reset_Confirm_Item() const { return _confirm_item; }
    Quillon::TX_Sched_Item_Send_Once_Class* Test_Start_Item() const { return CTS_Item; }

signals:
    void CompTest(bool running);

public slots:
    void Rx_OnTime(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_CompressorTime(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_CompOverheatCount(QSharedPointer<Quillon::Packet_Class> response);
    void onBtnCompTestClick();
    void Rx_CompTestProgress(QSharedPointer<Quillon::Packet_Class> response);
    void CompTest_Timer_Timeout();
    void Rx_CompTestTimeout();
    void onBtnCompressorTimeReset();
    void onBtnOnTimeReset();
    void onBtnCompOverheatReset();
    void Rx_ResetCode(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_ResetOk(QSharedPointer<Quillon::Packet_Class> response);

private slots:
    void Rx_Test_Packet(QSharedPointer<Quillon::Packet_Class> response);
    void Reset_Items_Scheduling();
    void Test_Start_Scheduling();
    void Test_Start_Finished(Quillon::Disconnect_Enum reason);

private:
    // Also the series of each counter in the history.
    enum Counter_Index
    {
        On_Time = 0,
        Compressor_Time = 1,
        Overheat = 2
    };
    struct Counter
    {
        QLCDNumber* display = nullptr;
        QPushButton* reset_button = nullptr;
        quint16* last = nullptr;
        Quillon::Packet_Shared_Ptr read_pkt;
        Quillon::TX_Sched_Item_Send_Once_Class* read_item = nullptr;
        Quillon::Packet_Shared_Ptr code_pkt;  // Get ALx: the reset code
        Quillon::Packet_Shared_Ptr reset_pkt; // Set ALx: the reset itself
    };
    enum Test_Phase
    {
        Test_Idle,
        Test_Starting,
        Test_Running
    };

    void show_counter(Counter_Index index, const QSharedPointer<Quillon::Packet_Class>& response);
    void start_reset(Counter_Index index);
    bool reset_without_history();
    void schedule(Quillon::TX_Scheduler_Item_Class* item);
    void begin_test();
    void end_test(QMessageBox::Icon icon, const QString& title, const QString& message);

    Ui::MaintCtrl* ui;
    std::array<Counter, 3> counters;
    Quillon::TX_Sched_Item_Send_Once_Class* _code_item = nullptr;
    Quillon::TX_Sched_Item_Send_Once_Class* _confirm_item = nullptr;
    Quillon::Packet_Shared_Ptr CTS_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* CTS_Item = nullptr;
    QDateTime _test_start;
    QTimer _test_timer;
    int time_limit_wait = Test_Time_Limit;
    Test_Phase test_phase = Test_Idle;
    // The serial resource's signals while a test runs.
    QList<QMetaObject::Connection> test_connections;
    Fault_Counts_Class* _counter_history;
    quint16 _last_on_time = 0;
    quint16 _last_comp_time = 0;
    quint16 _last_overheat = 0;
    QList<Test_Run> test_runs;
};

#endif // MAINT_CTRL_H
