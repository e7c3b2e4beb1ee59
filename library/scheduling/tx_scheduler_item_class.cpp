#include "tx_scheduler_item_class.h"

namespace Quillon {

TX_Scheduler_Item_Class::TX_Scheduler_Item_Class(QObject* parent) : QObject(parent) {}

TX_Scheduler_Item_Class::~TX_Scheduler_Item_Class() = default;

void TX_Scheduler_Item_Class::setIs_Scheduled(bool s)
{
    if (!s)
        Current_Action = DefaultStartingAction();
    if (Scheduled_Flag != s) {
        Scheduled_Flag = s;
        emit Is_ScheduledChanged(this);
    }
}

void TX_Scheduler_Item_Class::Rx_Expected_Packet(const QSharedPointer<Packet_Class>& Tx_Message)
{
    Retry_Count = 0;
    clear_request_timeout();
    emit Rx(Tx_Message);
}

void TX_Scheduler_Item_Class::Rx_Timeout_Expected()
{
    clear_request_timeout();
    if (Retry_Count < Retry_Count_Max()) {
        ++Retry_Count;
        Resend = true;
    } else {
        Retry_Count = 0;
        Retry_Exceeded_CB();
    }
}

void TX_Scheduler_Item_Class::OnCOM_Error()
{
    COM_disconnect_CB(Disconnect_COM_Error);
}

void TX_Scheduler_Item_Class::set_theTX_pkt(QSharedPointer<Packet_Class>& p)
{
    Retry_Count = 0;
    Resend = false;
    TX_Pkt = p;
    if (Is_Running())
        connect_pkt_events();
}

void TX_Scheduler_Item_Class::remove_theTX_pkt()
{
    if (!TX_Pkt)
        return;
    if (clear_request_timeout())
        disconnect_pkt_events();
}

bool TX_Scheduler_Item_Class::change_theTX_pkt(QSharedPointer<Packet_Class>& p)
{
    if (p.data() == TX_Pkt.data())
        return false;
    remove_theTX_pkt();
    set_theTX_pkt(p);
    Reason = Disconnect_None;
    return true;
}

void TX_Scheduler_Item_Class::Handle_Wrong_Response()
{
    if (Retry_Count < Retry_Count_Max()) {
        ++Retry_Count;
        if (clear_request_timeout())
            Resend = true;
    } else {
        Retry_Count = 0;
    }
}

void TX_Scheduler_Item_Class::connect_pkt_events()
{
    if (Rx_Conn || !TX_Pkt || !TX_Pkt->Response_Filter)
        return;
    Packet_Class* request = TX_Pkt.data();
    Rx_Conn = connect(request, &Packet_Class::Rx_Expected, this,
                      &TX_Scheduler_Item_Class::Rx_Expected_Packet, Qt::DirectConnection);
    Timeout_Conn = connect(request, &Packet_Class::Rx_Timeout_Expected, this,
                           &TX_Scheduler_Item_Class::Rx_Timeout_Expected, Qt::DirectConnection);
}

void TX_Scheduler_Item_Class::disconnect_pkt_events()
{
    if (!Rx_Conn)
        return;
    disconnect(Rx_Conn);
    disconnect(Timeout_Conn);
    Rx_Conn = QMetaObject::Connection();
    Timeout_Conn = QMetaObject::Connection();
}

void TX_Scheduler_Item_Class::COM_disconnect_CB(Disconnect_Enum reason)
{
    Current_Action = Action_Disconnect;
    Reason = reason;
}

void TX_Scheduler_Item_Class::Retry_Exceeded_CB()
{
    COM_disconnect_CB(Disconnect_Timeout);
}

QSharedPointer<Packet_Class> TX_Scheduler_Item_Class::Run()
{
    setAction_Unless_Done(Action_Running);
    return TX_Pkt;
}

bool TX_Scheduler_Item_Class::setAction_Unless_Done(Item_action_enum a)
{
    Item_action_enum seen = Current_Action;
    while (seen != Action_Done) {
        if (Current_Action.compare_exchange_weak(seen, a))
            return true;
    }
    return false;
}

bool TX_Scheduler_Item_Class::retry_exceeded()
{
    if (Retry_Count < Retry_Count_Max()) {
        ++Retry_Count;
        return false;
    }
    Retry_Count = 0;
    return true;
}

bool TX_Scheduler_Item_Class::clear_request_timeout()
{
    return TX_Pkt && TX_Pkt->Clear_Timeout();
}

} // namespace Quillon
