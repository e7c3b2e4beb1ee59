#include "maint_ctrl.h"

#include "fault_counts_class.h"
#include "ui_maint_ctrl.h"

#include <QDir>

#include <cstring>

using namespace Quillon;

namespace {

template <class Packet> Packet_Shared_Ptr new_request()
{
    auto packet = new Packet;
    packet->setResponse_FiltertoDefault();
    Packet_Shared_Ptr handle(packet);
    handle->AllocateData();
    return handle;
}

// The commands of one counter and the slot that shows it, in the order of
// the history's series.
struct Counter_Commands
{
    Packet_Shared_Ptr (*read)();
    Packet_Shared_Ptr (*code)();
    Packet_Shared_Ptr (*reset)();
    const char* shown_by;
};

const Counter_Commands counter_commands[] = {
    {new_request<Packet_Get_IGT>, new_request<Packet_Get_ALR>, new_request<Packet_Set_ALR>,
     SLOT(Rx_OnTime(QSharedPointer<Quillon::Packet_Class>))},
    {new_request<Packet_Get_CPT>, new_request<Packet_Get_ALG>, new_request<Packet_Set_ALG>,
     SLOT(Rx_CompressorTime(QSharedPointer<Quillon::Packet_Class>))},
    {new_request<Packet_Get_OTC>, new_request<Packet_Get_ALO>, new_request<Packet_Set_ALO>,
     SLOT(Rx_CompOverheatCount(QSharedPointer<Quillon::Packet_Class>))},
};

// The controller's verdicts on a compressor test and what the user is told.
struct Verdict
{
    const char* text;
    bool succeeded;
    const char* message;
};

const Verdict verdicts[] = {
    {"<TEST DONE>", true, "Test Succeeded.\nTime elapsed was "},
    {"<FAIL 1>", false, "Unable to charge reservoir to 100 psi before test.\nTime elapsed was "},
    {"<FAIL 2>", false, "Unable to drain reservoir to 100 psi before test.\nTime elapsed was "},
    {"<FAIL 3>", false,
     "Unable to charge reservoir in the necessary time frame.\nTime elapsed was "},
    {"<OVER TEMP>", false, "Compressor exceeds maximum temperature limit.\nTime elapsed was "},
    {"<OVER TIME>", false, "Maximum Time exceeded.\nTime elapsed was "},
};

const QString Failure_Title = QStringLiteral("Compressor Test Failure");
const QString Success_Title = QStringLiteral("Compressor Test Success");
const QString Start_Failed = QStringLiteral("Compressor Test command timed out");
const QString History_Title = QStringLiteral("Counter History");

// The text of a system response: up to its first zero byte or its length.
QByteArray system_text(Packet_Class* packet)
{
    const char* data = packet->getData();
    if (!data)
        return QByteArray();
    return QByteArray(data, int(qstrnlen(data, packet->getLength())));
}

} // namespace

MaintCtrl::MaintCtrl(QWidget* parent)
    : COM_Display_Interface(parent), ui(new Ui::MaintCtrl),
      _counter_history(new Fault_Counts_Class(QStringLiteral("parameters.ini"), 3, this))
{
    ui->setupUi(this);
    counters[On_Time].display = ui->lcdOnTime;
    counters[On_Time].reset_button = ui->btnOnTimeReset;
    counters[On_Time].last = &_last_on_time;
    counters[Compressor_Time].display = ui->lcdCompressorTime;
    counters[Compressor_Time].reset_button = ui->btnCompressorTimeReset;
    counters[Compressor_Time].last = &_last_comp_time;
    counters[Overheat].display = ui->lcdCompOverheat;
    counters[Overheat].reset_button = ui->btnCompOverheatReset;
    counters[Overheat].last = &_last_overheat;
    init_periodic_items();
}

MaintCtrl::~MaintCtrl()
{
    for (Counter& counter : counters)
        delete counter.read_item;
    delete _code_item;
    delete _confirm_item;
    delete CTS_Item;
    delete ui;
}

void MaintCtrl::init_periodic_items()
{
    if (_code_item)
        return; // built once, in the constructor

    for (int i = 0; i < int(counters.size()); ++i) {
        Counter& counter = counters[i];
        counter.read_pkt = counter_commands[i].read();
        counter.read_item = new TX_Sched_Item_Send_Once_Class(counter.read_pkt);
        Add_One_Shot_Item(counter.read_item);
        connect(counter.read_pkt.data(), SIGNAL(Rx_Expected(QSharedPointer<Quillon::Packet_Class>)),
                this, counter_commands[i].shown_by);
    }
    for (int i = 0; i < int(counters.size()); ++i) {
        counters[i].code_pkt = counter_commands[i].code();
        counters[i].reset_pkt = counter_commands[i].reset();
    }

    // Both carry whichever counter is being reset; their packets are replaced before use.
    _code_item = new TX_Sched_Item_Send_Once_Class(counters[Compressor_Time].code_pkt);
    _confirm_item = new TX_Sched_Item_Send_Once_Class(counters[On_Time].code_pkt);
    connect(ui->btnCompressorTimeReset, SIGNAL(clicked()), this, SLOT(onBtnCompressorTimeReset()));
    connect(ui->btnOnTimeReset, SIGNAL(clicked()), this, SLOT(onBtnOnTimeReset()));
    connect(ui->btnCompOverheatReset, SIGNAL(clicked()), this, SLOT(onBtnCompOverheatReset()));
    connect(_code_item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), this,
            SLOT(Rx_ResetCode(QSharedPointer<Quillon::Packet_Class>)));
    connect(_confirm_item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), this,
            SLOT(Rx_ResetOk(QSharedPointer<Quillon::Packet_Class>)));
    // An exchange can also end unanswered (out of retries, a serial error, the
    // worker's shutdown); the buttons follow whether a step is still listed.
    connect(_code_item, SIGNAL(Is_ScheduledChanged(Quillon::TX_Scheduler_Item_Class*)), this,
            SLOT(Reset_Items_Scheduling()));
    connect(_confirm_item, SIGNAL(Is_ScheduledChanged(Quillon::TX_Scheduler_Item_Class*)), this,
            SLOT(Reset_Items_Scheduling()));

    CTS_Pkt = new_request<Packet_Go_CTS>();
    CTS_Item = new TX_Sched_Item_Send_Once_Class(CTS_Pkt);
    connect(CTS_Pkt.data(), SIGNAL(Rx_Expected(QSharedPointer<Quillon::Packet_Class>)), this,
            SLOT(Rx_CompTestProgress(QSharedPointer<Quillon::Packet_Class>)));
    // An external schedule of the start request (the main window's retry)
    // belongs to the test it retries, or starts one.
    connect(CTS_Item, SIGNAL(Is_ScheduledChanged(Quillon::TX_Scheduler_Item_Class*)), this,
            SLOT(Test_Start_Scheduling()));
    // Judged when the start request's item ends, after its resends, rather
    // than at the first unanswered attempt, which the controller may still
    // accept when it is sent again.
    connect(CTS_Item, SIGNAL(Finished(Quillon::Disconnect_Enum, Quillon::TX_Scheduler_Item_Class*)),
            this, SLOT(Test_Start_Finished(Quillon::Disconnect_Enum)));
    connect(ui->btnCompTest, SIGNAL(clicked()), this, SLOT(onBtnCompTestClick()));
}

void MaintCtrl::schedule(TX_Scheduler_Item_Class* item)
{
    if (_COM_Manager)
        _COM_Manager->TX_Scheduler->Schedule_Item(item);
}

void MaintCtrl::show_counter(Counter_Index index, const QSharedPointer<Packet_Class>& response)
{
    auto value = qobject_cast<Packet_Resp_UInt16*>(response.data());
    if (!value)
        return;
    Counter& counter = counters[index];
    *counter.last = value->Raw_Value();
    counter.display->display(int(*counter.last));
}

void MaintCtrl::Rx_OnTime(QSharedPointer<Packet_Class> response)
{
    show_counter(On_Time, response);
}

void MaintCtrl::Rx_CompressorTime(QSharedPointer<Packet_Class> response)
{
    show_counter(Compressor_Time, response);
}

void MaintCtrl::Rx_CompOverheatCount(QSharedPointer<Packet_Class> response)
{
    show_counter(Overheat, response);
}

void MaintCtrl::Enable_Reset_Buttons(bool enabled)
{
    for (Counter& counter : counters)
        counter.reset_button->setEnabled(enabled);
}

void MaintCtrl::start_reset(Counter_Index index)
{
    if (!_COM_Manager)
        return;
    Enable_Reset_Buttons(false);
    Counter& counter = counters[index];
    // The value goes into the history before the controller forgets it.
    const fc_map_type before = _counter_history->Series(index);
    const bool saved = _counter_history->record(index, *counter.last);
    const QString copy = _counter_history->Take_Set_Aside();
    if (!copy.isEmpty()) {
        Ask_User(QMessageBox::Information, History_Title,
                 QStringLiteral("The counter history in %1 could not be read whole. "
                                "Its previous contents have been kept in %2.")
                     .arg(QDir::toNativeSeparators(_counter_history->File_Path()),
                          QDir::toNativeSeparators(copy)),
                 QMessageBox::Ok, QMessageBox::NoButton, this);
    }
    if (!saved && (!reset_without_history() || !_COM_Manager)) {
        _counter_history->Restore_Series(index, before);
        Enable_Reset_Buttons(true);
        return;
    }
    _code_item->Set_Next_TX_Pkt(counter.code_pkt);
    schedule(_code_item);
}

bool MaintCtrl::reset_without_history()
{
    return Ask_User(QMessageBox::Warning, History_Title,
                    QStringLiteral("The counter history could not be saved to %1:\n%2\n\n"
                                   "Reset the counter anyway? Its present value would not be "
                                   "kept.")
                        .arg(QDir::toNativeSeparators(_counter_history->File_Path()),
                             _counter_history->Error_String()),
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                    this) == QMessageBox::Yes;
}

void MaintCtrl::onBtnCompressorTimeReset()
{
    start_reset(Compressor_Time);
}

void MaintCtrl::onBtnOnTimeReset()
{
    start_reset(On_Time);
}

void MaintCtrl::onBtnCompOverheatReset()
{
    start_reset(Overheat);
}

void MaintCtrl::Rx_ResetCode(QSharedPointer<Packet_Class> response)
{
    auto code = qobject_cast<Packet_Resp_Reset_Code*>(response.data());
    if (!code)
        return;
    const Packet_Shared_Ptr sent = _code_item->TX_message();
    for (Counter& counter : counters) {
        if (counter.code_pkt != sent)
            continue;
        static_cast<Packet_Set_UInt_Class*>(counter.reset_pkt.data())->setValue(code->Reset_Code());
        _confirm_item->Set_Next_TX_Pkt(counter.reset_pkt);
        schedule(_confirm_item);
        return;
    }
}

void MaintCtrl::Rx_ResetOk(QSharedPointer<Packet_Class> response)
{
    Q_UNUSED(response)
    Enable_Reset_Buttons(true);
    const Packet_Shared_Ptr sent = _confirm_item->TX_message();
    for (Counter& counter : counters) {
        if (counter.reset_pkt == sent)
            schedule(counter.read_item);
    }
}

void MaintCtrl::Reset_Items_Scheduling()
{
    // An answered step has already handed over to the next one, whose item is
    // listed by now; so nothing listed means the exchange is over, answered or
    // not. Scheduling a step again (a retry) locks the buttons again.
    Enable_Reset_Buttons(!_code_item->Is_Scheduled() && !_confirm_item->Is_Scheduled());
}

void MaintCtrl::onBtnCompTestClick()
{
    if (!_COM_Manager || test_phase != Test_Idle)
        return;
    begin_test();
    schedule(CTS_Item);
}

void MaintCtrl::begin_test()
{
    test_phase = Test_Starting;
    // A verdict that answers the start request itself is timed from here.
    _test_start = QDateTime::currentDateTime();
    // The verdict comes later, unasked, so every received packet is looked at.
    // Both are listened to from here rather than from the "<OK>": a verdict or
    // a serial error that follows the "<OK>" closely is already on its way
    // when the "<OK>" reaches this tab.
    if (COM_Resource* resource = _COM_Manager ? _COM_Manager->Resource_In_Use() : nullptr) {
        test_connections << connect(resource,
                                    SIGNAL(Rx_Packet(QSharedPointer<Quillon::Packet_Class>)), this,
                                    SLOT(Rx_Test_Packet(QSharedPointer<Quillon::Packet_Class>)))
                         << connect(resource, SIGNAL(COM_Error(QString*)), this,
                                    SLOT(Rx_CompTestTimeout()));
    }
    ui->btnCompTest->setEnabled(false);
    emit CompTest(true);
}

void MaintCtrl::Test_Start_Scheduling()
{
    // Scheduled again from outside, as the main window's retry after a
    // time-out does: a running test goes on, otherwise one starts.
    if (CTS_Item->Is_Scheduled() && test_phase == Test_Idle)
        begin_test();
}

void MaintCtrl::Test_Start_Finished(Disconnect_Enum reason)
{
    // A start that ran out of resends is put to the user by the main window:
    // a retry sends it again for the same test, giving up the connection ends
    // the test (COM_Disconnect). Any other end without "<OK>" fails it.
    if (test_phase == Test_Starting && reason != Disconnect_Timeout && !CTS_Item->Is_Scheduled())
        Rx_CompTestTimeout();
}

void MaintCtrl::COM_Connect(COM_485_Class* manager)
{
    if (manager != _COM_Manager)
        Rx_CompTestTimeout();
    COM_Display_Interface::COM_Connect(manager);
}

void MaintCtrl::COM_Disconnect()
{
    COM_Display_Interface::COM_Disconnect();
    Rx_CompTestTimeout();
}

void MaintCtrl::Rx_CompTestProgress(QSharedPointer<Packet_Class> response)
{
    if (test_phase == Test_Idle || !response || response->ID() != Packet_Resp_System::packet_type ||
        !response->Valid)
        return;
    const QByteArray text = system_text(response.data());

    if (text == "<OK>") {
        // Only the answer to the start request starts the clock.
        if (test_phase != Test_Starting)
            return;
        _test_start = QDateTime::currentDateTime();
        test_phase = Test_Running;
        _test_timer.setSingleShot(true);
        connect(&_test_timer, SIGNAL(timeout()), this, SLOT(CompTest_Timer_Timeout()),
                Qt::UniqueConnection);
        _test_timer.start(time_limit_wait);
        return;
    }

    const QString elapsed = Elapsed_Text(_test_start.msecsTo(QDateTime::currentDateTime()));
    for (const Verdict& verdict : verdicts) {
        if (text != verdict.text)
            continue;
        const QString message = QString::fromLatin1(verdict.message) + elapsed;
        if (verdict.succeeded)
            CompTest_Succeeded(message);
        else
            CompTest_Failed(message + QStringLiteral(" seconds"));
        return;
    }
}

void MaintCtrl::Rx_Test_Packet(QSharedPointer<Packet_Class> response)
{
    // Until the start request's own answer has been judged, what else the
    // controller sends does not count.
    if (test_phase == Test_Running)
        Rx_CompTestProgress(response);
}

void MaintCtrl::CompTest_Timer_Timeout()
{
    if (test_phase != Test_Idle)
        CompTest_Failed(Time_Limit_Message(Test_Time_Limit));
}

void MaintCtrl::Rx_CompTestTimeout()
{
    if (test_phase != Test_Idle)
        CompTest_Failed(Start_Failed);
}

void MaintCtrl::CompTest_Failed(const QString& message)
{
    end_test(QMessageBox::Critical, Failure_Title, message);
}

void MaintCtrl::CompTest_Succeeded(const QString& message)
{
    end_test(QMessageBox::Information, Success_Title, message);
}

void MaintCtrl::end_test(QMessageBox::Icon icon, const QString& title, const QString& message)
{
    // Nothing reaches the test any more while the box is open.
    test_phase = Test_Idle;
    disconnect(&_test_timer, SIGNAL(timeout()), this, SLOT(CompTest_Timer_Timeout()));
    _test_timer.stop();
    for (const QMetaObject::Connection& connection : qAsConst(test_connections))
        disconnect(connection);
    test_connections.clear();
    test_runs.append({_test_start, icon == QMessageBox::Information,
                      message.section(QLatin1Char('\n'), 0, 0),
                      qMax<qint64>(0, _test_start.msecsTo(QDateTime::currentDateTime()))});

    Ask_User(icon, title, message, QMessageBox::Ok, QMessageBox::NoButton, this);

    // A test started while the box was open keeps the button and the other
    // tabs locked.
    if (test_phase != Test_Idle)
        return;
    ui->btnCompTest->setEnabled(true);
    emit CompTest(false);
}

QString MaintCtrl::Elapsed_Text(qint64 milliseconds)
{
    const qint64 e = qMax<qint64>(0, milliseconds);
    return QString::asprintf("%i:%02i.%03lli", int(e / 60000), int(e % 60000 / 1000),
                             static_cast<long long>(e % 60000 % 1000));
}

QString MaintCtrl::Time_Limit_Message(int limit_milliseconds)
{
    return QStringLiteral("Compressor Test exceeded time limit of ") +
           QString::asprintf("%i minutes %i seconds", limit_milliseconds / 60000,
                             limit_milliseconds % 60000 / 1000);
}
