#include "misc_ctrl.h"

#include "lever_length_form.h"
#include "ui_misc_ctrl.h"

#include <QHBoxLayout>

using namespace Quillon;

MiscCtrl::MiscCtrl(QWidget* parent) : COM_Display_Interface(parent), ui(new Ui::MiscCtrl)
{
    ui->setupUi(this);
    lever_length_editor = new Lever_Length_Form(ui->gbxEditLL);
    lever_length_layout = new QHBoxLayout(ui->gbxEditLL);
    lever_length_layout->addWidget(lever_length_editor);
    init_periodic_items();
}

MiscCtrl::~MiscCtrl()
{
    delete BPD_Get_Item;
    delete BPD_Set_Item;
    delete ui;
}

void MiscCtrl::init_periodic_items()
{
    if (BPD_Get_Item)
        return; // built once, in the constructor

    BPD_Get_Pkt = Packet_Shared_Ptr(new Packet_Get_BPD);
    BPD_Get_Pkt->setResponse_FiltertoDefault();
    BPD_Get_Pkt->AllocateData();
    BPD_Get_Item = new TX_Sched_Item_Send_Once_Class(BPD_Get_Pkt);
    Add_One_Shot_Item(BPD_Get_Item);

    BPD_Set_Pkt = Packet_Shared_Ptr(new Packet_Set_BPD);
    BPD_Set_Pkt->setResponse_FiltertoDefault();
    BPD_Set_Pkt->AllocateData();
    BPD_Set_Item = new TX_Sched_Item_Send_Once_Class(BPD_Set_Pkt);

    connect(ui->rbAmbulanceMode, SIGNAL(clicked()), this, SLOT(rbSystemModeClicked()));
    connect(ui->rbTowerHaulerMode, SIGNAL(clicked()), this, SLOT(rbSystemModeClicked()));
    connect(ui->btnSaveSettings, SIGNAL(clicked()), this, SLOT(btnSaveSettingsClicked()));

    connect(BPD_Get_Pkt.data(), SIGNAL(Rx_Expected(QSharedPointer<Quillon::Packet_Class>)), this,
            SLOT(Rx_BypassDisable(QSharedPointer<Quillon::Packet_Class>)));
    connect(BPD_Set_Pkt.data(), SIGNAL(Rx_Expected(QSharedPointer<Quillon::Packet_Class>)), this,
            SLOT(Rx_BypassDisableSet(QSharedPointer<Quillon::Packet_Class>)));
}

void MiscCtrl::rbSystemModeClicked()
{
    ui->btnSaveSettings->setEnabled(ui->rbTowerHaulerMode->isChecked() != _tow_haul_mode);
}

void MiscCtrl::btnSaveSettingsClicked()
{
    // Without a worker nothing would answer and the controls would stay locked.
    if (!_COM_Manager)
        return;
    ui->rbAmbulanceMode->setEnabled(false);
    ui->rbTowerHaulerMode->setEnabled(false);
    ui->btnSaveSettings->setEnabled(false);
    static_cast<Packet_Set_BPD*>(BPD_Set_Pkt.data())->setValue(!ui->rbTowerHaulerMode->isChecked());
    _COM_Manager->TX_Scheduler->Schedule_Item(BPD_Set_Item);
}

void MiscCtrl::Rx_BypassDisableSet(QSharedPointer<Packet_Class> response)
{
    Q_UNUSED(response)
    // What the controller now holds is shown by the read that follows.
    if (_COM_Manager)
        _COM_Manager->TX_Scheduler->Schedule_Item(BPD_Get_Item);
}

void MiscCtrl::Rx_BypassDisable(QSharedPointer<Packet_Class> response)
{
    if (response && response->ID() == Packet_Resp_BPD::packet_type && response->Valid) {
        const bool ambulance = static_cast<Packet_Resp_BPD*>(response.data())->Value();
        _tow_haul_mode = !ambulance;
        ui->rbAmbulanceMode->setChecked(ambulance);
        ui->rbTowerHaulerMode->setChecked(!ambulance);
    }
    ui->rbAmbulanceMode->setEnabled(true);
    ui->rbTowerHaulerMode->setEnabled(true);
    rbSystemModeClicked();
}
