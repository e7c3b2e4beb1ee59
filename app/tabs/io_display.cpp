#include "io_display.h"

#include "ui_io_display.h"

using namespace Quillon;

const char IODisplay::Check_Box_Style[] =
    "QCheckBox[enabled=\"false\"]::indicator:checked {background-color: black}"
    "                "
    "QCheckBox[enabled=\"false\"] {color: black}";

IODisplay::IODisplay(QWidget* parent) : COM_Display_Interface(parent), ui(new Ui::IODisplay)
{
    ui->setupUi(this);
    init_periodic_items();
    setStyleSheet(QLatin1String(Check_Box_Style));
}

IODisplay::~IODisplay()
{
    for (TX_Sched_Item_Protocol_Class* item : {IGV_Item, LOL_Item, BAH_Item, DSH_Item, DSL_Item,
                                               DSS_Item, CSS_Item, RVS_Item, CES_Item, CSR_Item})
        delete item;
    delete ui;
}

void IODisplay::init_periodic_items()
{
    if (IGV_Item)
        return; // built once, in the constructor
    IGV_Item = repeating_read(IGV_Pkt, new Packet_Get_IGV,
                              SLOT(Rx_Ignition(QSharedPointer<Quillon::Packet_Class>)));
    LOL_Item = repeating_read(LOL_Pkt, new Packet_Get_LOL,
                              SLOT(Rx_SysEnable(QSharedPointer<Quillon::Packet_Class>)));
    BAH_Item = repeating_read(BAH_Pkt, new Packet_Get_BAH,
                              SLOT(Rx_Trigger(QSharedPointer<Quillon::Packet_Class>)));
    DSH_Item = repeating_read(DSH_Pkt, new Packet_Get_DSH,
                              SLOT(Rx_DoorSwitchAH(QSharedPointer<Quillon::Packet_Class>)));
    DSL_Item = repeating_read(DSL_Pkt, new Packet_Get_DSL,
                              SLOT(Rx_DoorSwitchAL(QSharedPointer<Quillon::Packet_Class>)));
    DSS_Item = repeating_read(DSS_Pkt, new Packet_Get_DSS,
                              SLOT(Rx_OutputLeft(QSharedPointer<Quillon::Packet_Class>)));
    CSS_Item = repeating_read(CSS_Pkt, new Packet_Get_CSS,
                              SLOT(Rx_OutputRight(QSharedPointer<Quillon::Packet_Class>)));
    RVS_Item = repeating_read(RVS_Pkt, new Packet_Get_RVS,
                              SLOT(Rx_OutputReservoir(QSharedPointer<Quillon::Packet_Class>)));
    CES_Item = repeating_read(CES_Pkt, new Packet_Get_CES,
                              SLOT(Rx_OutputExhaust(QSharedPointer<Quillon::Packet_Class>)));
    CSR_Item = repeating_read(CSR_Pkt, new Packet_Get_CSR,
                              SLOT(Rx_OutputCompressor(QSharedPointer<Quillon::Packet_Class>)));
}

void IODisplay::show_bool(const QSharedPointer<Packet_Class>& response, int packet_type,
                          QCheckBox* box)
{
    if (!response || response->ID() != packet_type)
        return;
    box->setChecked(static_cast<Packet_Resp_Bool*>(response.data())->Value());
}

void IODisplay::Rx_Ignition(QSharedPointer<Packet_Class> response)
{
    if (!response || response->ID() != Packet_Resp_IGV::packet_type)
        return;
    const double volts = static_cast<Packet_Resp_IGV*>(response.data())->Voltage();
    ui->cbxIgnition->setChecked(volts > Ignition_On_Above);
}

void IODisplay::Rx_SysEnable(QSharedPointer<Packet_Class> response)
{
    show_bool(response, Packet_Resp_LOL::packet_type, ui->cbxLowerEnable);
}

void IODisplay::Rx_Trigger(QSharedPointer<Packet_Class> response)
{
    show_bool(response, Packet_Resp_BAH::packet_type, ui->cbxTrigger);
}

void IODisplay::Rx_DoorSwitchAH(QSharedPointer<Packet_Class> response)
{
    show_bool(response, Packet_Resp_DSH::packet_type, ui->cbxDoorSwitchAH);
}

void IODisplay::Rx_DoorSwitchAL(QSharedPointer<Packet_Class> response)
{
    show_bool(response, Packet_Resp_DSL::packet_type, ui->cbxDoorSwitchAL);
}

void IODisplay::Rx_OutputLeft(QSharedPointer<Packet_Class> response)
{
    show_bool(response, Packet_Resp_DSS::packet_type, ui->cbxOutputLeft);
}

void IODisplay::Rx_OutputRight(QSharedPointer<Packet_Class> response)
{
    show_bool(response, Packet_Resp_CSS::packet_type, ui->cbxOutputRight);
}

void IODisplay::Rx_OutputReservoir(QSharedPointer<Packet_Class> response)
{
    show_bool(response, Packet_Resp_RVS::packet_type, ui->cbxOutputReservoir);
}

void IODisplay::Rx_OutputExhaust(QSharedPointer<Packet_Class> response)
{
    if (!response || response->ID() != Packet_Resp_CES::packet_type)
        return;
    ui->cbxOutputExhaust->setChecked(static_cast<Packet_Resp_CES*>(response.data())->Raw_Value() !=
                                     0);
}

void IODisplay::Rx_OutputCompressor(QSharedPointer<Packet_Class> response)
{
    show_bool(response, Packet_Resp_CSR::packet_type, ui->cbxOutputCompressor);
}
