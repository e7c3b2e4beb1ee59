#include "dev_info_display.h"

#include "ui_dev_info_display.h"

using namespace Quillon;

namespace {

Packet_Shared_Ptr get_request(Packet_Class* packet)
{
    packet->setResponse_FiltertoDefault();
    Packet_Shared_Ptr handle(packet);
    handle->AllocateData();
    return handle;
}

// A new item on the chain's first request, connected to the tab's two slots.
TX_Sched_Item_Send_Once_Class* chain_item(QList<Packet_Shared_Ptr>& chain, QObject* tab,
                                          const char* rx_slot, const char* sched_slot)
{
    auto item = new TX_Sched_Item_Send_Once_Class(chain.first());
    QObject::connect(item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), tab, rx_slot);
    QObject::connect(item, SIGNAL(Is_ScheduledChanged(Quillon::TX_Scheduler_Item_Class*)), tab,
                     sched_slot);
    return item;
}

} // namespace

DevInfoDisplay::DevInfoDisplay(QWidget* parent)
    : COM_Display_Interface(parent), ui(new Ui::DevInfoDisplay)
{
    ui->setupUi(this);
    init_periodic_items();
}

DevInfoDisplay::~DevInfoDisplay()
{
    delete SN_Item;
    delete PN_Item;
    delete ui;
}

void DevInfoDisplay::init_periodic_items()
{
    for (TX_Sched_Item_Send_Once_Class* old : {SN_Item, PN_Item}) {
        Remove_One_Shot_Item(old);
        delete old;
    }

    SN_Pkts = {get_request(new Packet_Get_SN1), get_request(new Packet_Get_SN2),
               get_request(new Packet_Get_SN3), get_request(new Packet_Get_SN4)};
    SN_Item = chain_item(SN_Pkts, this, SLOT(Rx_FirmwareSN(QSharedPointer<Quillon::Packet_Class>)),
                         SLOT(FirmwareSN_Sched()));
    Add_One_Shot_Item(SN_Item);

    PN_Pkts = {get_request(new Packet_Get_PRT), get_request(new Packet_Get_REV)};
    PN_Item = chain_item(PN_Pkts, this, SLOT(Rx_FirmwarePN(QSharedPointer<Quillon::Packet_Class>)),
                         SLOT(FirmwarePN_Sched()));
    Add_One_Shot_Item(PN_Item);
}

void DevInfoDisplay::advance_chain(TX_Sched_Item_Send_Once_Class* item,
                                   QList<Packet_Shared_Ptr>& chain)
{
    // The signal also comes when the item enters the schedule.
    if (item->Is_Scheduled())
        return;
    // Without a worker the chain ends here, and the next gain of focus starts
    // it again from its first request.
    int next = 0;
    if (_COM_Manager) {
        const Packet_Class* sent = item->TX_message().data();
        for (int i = 0; i + 1 < chain.size(); ++i) {
            if (chain.at(i).data() == sent)
                next = i + 1;
        }
    }
    item->Set_Next_TX_Pkt(chain[next]);
    if (next != 0)
        _COM_Manager->TX_Scheduler->Schedule_Item(item);
}

void DevInfoDisplay::FirmwareSN_Sched()
{
    advance_chain(SN_Item, SN_Pkts);
}

void DevInfoDisplay::FirmwarePN_Sched()
{
    advance_chain(PN_Item, PN_Pkts);
}

void DevInfoDisplay::Rx_FirmwareSN(QSharedPointer<Quillon::Packet_Class> response)
{
    // The answer's own command tells which part it is; the default filter of
    // each request lets only the answer of that command through.
    const auto value = qobject_cast<const Packet_Resp_UInt16*>(response.data());
    if (!value)
        return;
    const int type = response->ID();
    const int part = type == Packet_Resp_SN1::packet_type   ? 0
                     : type == Packet_Resp_SN2::packet_type ? 1
                     : type == Packet_Resp_SN3::packet_type ? 2
                                                            : 3;
    static const int widths[4] = {2, 2, 1, 3};
    Serial_Parts[part] =
        QStringLiteral("%1").arg(value->Raw_Value(), widths[part], 10, QLatin1Char('0'));
    ui->tbxSN->setText(Serial_Parts[0] + Serial_Parts[1] + Serial_Parts[2] + Serial_Parts[3]);
}

void DevInfoDisplay::Rx_FirmwarePN(QSharedPointer<Quillon::Packet_Class> response)
{
    const auto text = qobject_cast<const Packet_Resp_String*>(response.data());
    if (!text)
        return;
    if (response->ID() == Packet_Resp_PRT::packet_type)
        Part_Number = text->Text();
    else
        Revision = text->Text();
    ui->tbxFirmwareVer->setText(Part_Number + QLatin1Char(' ') + Revision);
}
