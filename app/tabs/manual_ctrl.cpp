#include "manual_ctrl.h"

#include "suspension_heights_class.h"
#include "ui_manual_ctrl.h"

#include <QHBoxLayout>

using namespace Quillon;

namespace {

// The response as its own class when it is a valid answer of the expected
// command; null otherwise.
template <class Response> Response* valid_response(const QSharedPointer<Packet_Class>& packet)
{
    if (!packet || !packet->Valid || packet->ID() != Response::packet_type)
        return nullptr;
    return static_cast<Response*>(packet.data());
}

Suspension_Heights_Class* preset_table(QGroupBox* box, QHBoxLayout*& layout)
{
    auto table = new Suspension_Heights_Class(QFont(box->font()), box);
    layout = new QHBoxLayout(box);
    layout->addWidget(table);
    return table;
}

} // namespace

ManualCtrl::ManualCtrl(QWidget* parent)
    : COM_Display_Interface(parent), ui(new Ui::ManualCtrl), _ds_delegate(0, this),
      _cs_delegate(1, this)
{
    ui->setupUi(this);
    _ride_heights = preset_table(ui->gbxCurrentSettings_RH, ride_layout);
    _dump_heights = preset_table(ui->gbxCurrentSettings_DH, dump_layout);
    wire_hold_buttons();
    init_periodic_items();
}

ManualCtrl::~ManualCtrl()
{
    const TX_Scheduler_Item_Class* items[] = {LHC_Item, LHD_Item, RHC_Item, RHD_Item, SLP_Item,
                                              SRH_Item, RDH_Item, LSP_Item, PXV_Item};
    for (const TX_Scheduler_Item_Class* item : items)
        delete item;
    delete ui;
}

void ManualCtrl::wire_hold_buttons()
{
    // A "Both" button presses and releases its two single-side buttons.
    const struct
    {
        const char* signal;
        QPushButton* both;
        QPushButton* left;
        QPushButton* right;
        const char* both_slot;
        const char* left_slot;
        const char* right_slot;
    } rows[] = {
        {SIGNAL(pressed()), ui->btnFillBoth, ui->btnFillLeft, ui->btnFillRight,
         SLOT(btnFillBothPressed()), SLOT(btnFillLeftPressed()), SLOT(btnFillRightPressed())},
        {SIGNAL(pressed()), ui->btnDumpBoth, ui->btnDumpLeft, ui->btnDumpRight,
         SLOT(btnDumpBothPressed()), SLOT(btnDumpLeftPressed()), SLOT(btnDumpRightPressed())},
        {SIGNAL(released()), ui->btnFillBoth, ui->btnFillLeft, ui->btnFillRight,
         SLOT(btnFillBothReleased()), SLOT(btnFillLeftReleased()), SLOT(btnFillRightReleased())},
        {SIGNAL(released()), ui->btnDumpBoth, ui->btnDumpLeft, ui->btnDumpRight,
         SLOT(btnDumpBothReleased()), SLOT(btnDumpLeftReleased()), SLOT(btnDumpRightReleased())},
    };
    for (const auto& row : rows) {
        connect(row.both, row.signal, this, row.both_slot);
        connect(row.both, row.signal, row.left, row.signal);
        connect(row.both, row.signal, row.right, row.signal);
        connect(row.left, row.signal, this, row.left_slot);
        connect(row.right, row.signal, this, row.right_slot);
    }
}

TX_Sched_Item_Send_Once_Class* ManualCtrl::preset_read(Packet_Shared_Ptr& handle,
                                                       Packet_Class* request, const char* slot)
{
    request->setResponse_FiltertoDefault();
    handle = Packet_Shared_Ptr(request);
    handle->AllocateData();
    auto item = new TX_Sched_Item_Send_Once_Class(handle);
    connect(request, SIGNAL(Rx_Expected(QSharedPointer<Quillon::Packet_Class>)), this, slot);
    Add_One_Shot_Item(item);
    return item;
}

TX_Sched_Item_Send_Once_Class* ManualCtrl::button_item(Packet_Shared_Ptr& handle,
                                                       Packet_Class* request, QPushButton* button,
                                                       const char* clicked_slot)
{
    request->setResponse_FiltertoDefault();
    handle = Packet_Shared_Ptr(request);
    handle->AllocateData();
    auto item = new TX_Sched_Item_Send_Once_Class(handle);
    connect(button, SIGNAL(clicked()), this, clicked_slot);
    return item;
}

void ManualCtrl::init_periodic_items()
{
    if (LHC_Item)
        return; // built once, in the constructor
    LHC_Item = preset_read(LHC_Pkt, new Packet_Get_LHC,
                           SLOT(Rx_Get_LHC(QSharedPointer<Quillon::Packet_Class>)));
    LHD_Item = preset_read(LHD_Pkt, new Packet_Get_LHD,
                           SLOT(Rx_Get_LHD(QSharedPointer<Quillon::Packet_Class>)));
    RHC_Item = preset_read(RHC_Pkt, new Packet_Get_RHC,
                           SLOT(Rx_Get_RHC(QSharedPointer<Quillon::Packet_Class>)));
    RHD_Item = preset_read(RHD_Pkt, new Packet_Get_RHD,
                           SLOT(Rx_Get_RHD(QSharedPointer<Quillon::Packet_Class>)));

    auto pxv = new Packet_Get_PXV;
    pxv->setResponse_FiltertoDefault();
    Packet_Shared_Ptr pxv_handle(pxv);
    pxv_handle->AllocateData();
    PXV_Item = new TX_Sched_Item_Protocol_Class;
    PXV_Item->set_theTX_pkt(pxv_handle);
    PXV_Item->setState(Protocol_Repeat);
    connect(pxv, SIGNAL(Rx_Expected(QSharedPointer<Quillon::Packet_Class>)), this,
            SLOT(Rx_ResPsi(QSharedPointer<Quillon::Packet_Class>)));
    Add_Periodic_Item(PXV_Item);

    // Idle movers are listed but send nothing until a button is pressed.
    Add_One_Shot_Item(_ds_delegate.getScheduler_Item());
    Add_One_Shot_Item(_cs_delegate.getScheduler_Item());

    SLP_Item = button_item(SLP_Pkt, new Packet_Set_SLP, ui->btnSaveDumpHeight,
                           SLOT(btnSaveDumpHeightClicked()));
    connect(SLP_Item, SIGNAL(Finished(Quillon::Disconnect_Enum, Quillon::TX_Scheduler_Item_Class*)),
            this, SLOT(DumpHeight_saved(Quillon::Disconnect_Enum)));
    SRH_Item = button_item(SRH_Pkt, new Packet_Set_SRH, ui->btnSaveRideHeight,
                           SLOT(btnSaveRideHeightClicked()));
    connect(SRH_Item, SIGNAL(Finished(Quillon::Disconnect_Enum, Quillon::TX_Scheduler_Item_Class*)),
            this, SLOT(RideHeight_saved(Quillon::Disconnect_Enum)));
    // A store dropped by a serial error or a shutdown ends without Finished;
    // its button must not stay disabled for the rest of the session.
    const QPair<TX_Scheduler_Item_Class*, QPushButton*> stores[] = {
        {SLP_Item, ui->btnSaveDumpHeight}, {SRH_Item, ui->btnSaveRideHeight}};
    for (const auto& store : stores) {
        QPushButton* button = store.second;
        connect(store.first, &TX_Scheduler_Item_Class::Is_ScheduledChanged, this,
                [button](TX_Scheduler_Item_Class* item) {
                    if (!item->Is_Scheduled())
                        button->setEnabled(true);
                });
    }

    RDH_Item = button_item(RDH_Pkt, new Packet_Go_RDH, ui->btnMoveToRideHeight,
                           SLOT(btnMoveToRideHeightClicked()));
    LSP_Item = button_item(LSP_Pkt, new Packet_Go_LSP, ui->btnMoveToDumpHeight,
                           SLOT(btnMoveToDumpHeightClicked()));

    connect(&_ds_delegate, SIGNAL(Move_Failed(Quillon::Move_State_Enum)), this,
            SLOT(Move_DS_Failed(Quillon::Move_State_Enum)), Qt::QueuedConnection);
    connect(&_cs_delegate, SIGNAL(Move_Failed(Quillon::Move_State_Enum)), this,
            SLOT(Move_CS_Failed(Quillon::Move_State_Enum)), Qt::QueuedConnection);
}

void ManualCtrl::schedule(TX_Scheduler_Item_Class* item)
{
    if (_COM_Manager)
        _COM_Manager->TX_Scheduler->Schedule_Item(item);
}

void ManualCtrl::btnFillBothPressed()
{
    ui->btnFillLeft->setDown(true);
    ui->btnFillRight->setDown(true);
}

void ManualCtrl::btnFillLeftPressed()
{
    _ds_delegate.setMove_state(Move_Raise);
}

void ManualCtrl::btnFillRightPressed()
{
    _cs_delegate.setMove_state(Move_Raise);
}

void ManualCtrl::btnDumpBothPressed()
{
    ui->btnDumpLeft->setDown(true);
    ui->btnDumpRight->setDown(true);
}

void ManualCtrl::btnDumpLeftPressed()
{
    _ds_delegate.setMove_state(Move_Lower);
}

void ManualCtrl::btnDumpRightPressed()
{
    _cs_delegate.setMove_state(Move_Lower);
}

void ManualCtrl::btnFillBothReleased()
{
    ui->btnFillLeft->setDown(false);
    ui->btnFillRight->setDown(false);
}

void ManualCtrl::btnFillLeftReleased()
{
    _ds_delegate.setMove_state(Move_Idle);
}

void ManualCtrl::btnFillRightReleased()
{
    _cs_delegate.setMove_state(Move_Idle);
}

void ManualCtrl::btnDumpBothReleased()
{
    ui->btnDumpLeft->setDown(false);
    ui->btnDumpRight->setDown(false);
}

void ManualCtrl::btnDumpLeftReleased()
{
    _ds_delegate.setMove_state(Move_Idle);
}

void ManualCtrl::btnDumpRightReleased()
{
    _cs_delegate.setMove_state(Move_Idle);
}

void ManualCtrl::Rx_FM1(QSharedPointer<Packet_Class> response)
{
    auto fm1 = valid_response<Packet_Resp_FM1>(response);
    if (!fm1)
        return;
    _sensor_fault = fm1->Fault_DriverSensor() || fm1->Fault_CurbSensor();
    update_enables();
}

void ManualCtrl::btnSaveDumpHeightClicked()
{
    // Without a worker nothing would ever enable the button again.
    if (!_COM_Manager)
        return;
    schedule(SLP_Item);
    ui->btnSaveDumpHeight->setEnabled(false);
}

void ManualCtrl::btnSaveRideHeightClicked()
{
    if (!_COM_Manager)
        return;
    schedule(SRH_Item);
    ui->btnSaveRideHeight->setEnabled(false);
}

void ManualCtrl::btnMoveToRideHeightClicked()
{
    schedule(RDH_Item);
}

void ManualCtrl::btnMoveToDumpHeightClicked()
{
    schedule(LSP_Item);
}

void ManualCtrl::DumpHeight_saved(Disconnect_Enum disconnect_reason)
{
    if (disconnect_reason == Disconnect_None) {
        schedule(LHC_Item);
        schedule(LHD_Item);
    }
    ui->btnSaveDumpHeight->setEnabled(true);
}

void ManualCtrl::RideHeight_saved(Disconnect_Enum disconnect_reason)
{
    if (disconnect_reason == Disconnect_None) {
        schedule(RHC_Item);
        schedule(RHD_Item);
    }
    ui->btnSaveRideHeight->setEnabled(true);
}

void ManualCtrl::Rx_Get_LHC(QSharedPointer<Packet_Class> response)
{
    if (auto lhc = valid_response<Packet_Resp_LHC>(response))
        _dump_heights->curb_angle_changed(lhc->Angle());
}

void ManualCtrl::Rx_Get_LHD(QSharedPointer<Packet_Class> response)
{
    if (auto lhd = valid_response<Packet_Resp_LHD>(response))
        _dump_heights->driver_angle_changed(lhd->Angle());
}

void ManualCtrl::Rx_Get_RHC(QSharedPointer<Packet_Class> response)
{
    if (auto rhc = valid_response<Packet_Resp_RHC>(response))
        _ride_heights->curb_angle_changed(rhc->Angle());
}

void ManualCtrl::Rx_Get_RHD(QSharedPointer<Packet_Class> response)
{
    if (auto rhd = valid_response<Packet_Resp_RHD>(response))
        _ride_heights->driver_angle_changed(rhd->Angle());
}

void ManualCtrl::Rx_ResPsi(QSharedPointer<Packet_Class> response)
{
    auto pxv = valid_response<Packet_Resp_PXV>(response);
    if (!pxv)
        return;
    _low_pressure = pxv->Pressure() < Minimum_Pressure;
    update_enables();
}

void ManualCtrl::update_enables()
{
    const bool enabled = !_sensor_fault && !_low_pressure;
    QGroupBox* const groups[] = {ui->gbxDump, ui->gbxFill, ui->gbxMoveToPreset,
                                 ui->gbxSaveAsPreset};
    for (QGroupBox* group : groups)
        group->setEnabled(enabled);
    if (!enabled) {
        _cs_delegate.setMove_state(Move_Idle);
        _ds_delegate.setMove_state(Move_Idle);
    }
}

void ManualCtrl::Move_DS_Failed(Move_State_Enum _move_state)
{
    show_move_failure(QStringLiteral("Driver's side "), _move_state);
}

void ManualCtrl::Move_CS_Failed(Move_State_Enum _move_state)
{
    show_move_failure(QStringLiteral("Curb side "), _move_state);
}

void ManualCtrl::show_move_failure(const QString& side, Move_State_Enum state)
{
    QString verb;
    if (state == Move_Lower) {
        verb = QStringLiteral("lower ");
        ui->btnDumpLeft->setDown(false);
        ui->btnDumpRight->setDown(false);
    } else if (state == Move_Raise) {
        verb = QStringLiteral("raise ");
        ui->btnFillLeft->setDown(false);
        ui->btnFillRight->setDown(false);
    }
    const QString failed = QStringLiteral("move failed!");
    User_Prompt prompt;
    prompt.icon = QMessageBox::Warning;
    prompt.title = side + failed;
    prompt.text = side + verb + failed;
    prompt.buttons = QMessageBox::Ok;
    prompt.parent = this;
    Ask_User(prompt);
}
