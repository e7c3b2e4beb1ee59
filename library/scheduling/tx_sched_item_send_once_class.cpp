#include "tx_sched_item_send_once_class.h"

#include "sanitizer_locks.h"

namespace Quillon {

TX_Sched_Item_Send_Once_Class::TX_Sched_Item_Send_Once_Class(QSharedPointer<Packet_Class>& p)
    : TX_Scheduler_Item_Class(nullptr)
{
    set_theTX_pkt(p);
}

void TX_Sched_Item_Send_Once_Class::setIs_Scheduled(bool s)
{
    TX_Scheduler_Item_Class::setIs_Scheduled(s);
    Packet_Shared_Ptr next;
    {
        detail::Locker lock(Next_Lock);
        next = Next_TX_Pkt;
    }
    if (next)
        change_theTX_pkt(next);
    else
        Retry_Count = 0;
}

void TX_Sched_Item_Send_Once_Class::Set_Next_TX_Pkt(QSharedPointer<Packet_Class>& p)
{
    detail::Locker lock(Next_Lock);
    Next_TX_Pkt = p;
}

QSharedPointer<Packet_Class> TX_Sched_Item_Send_Once_Class::Run()
{
    if (TX_Pkt && !TX_Pkt->Response_Filter)
        Current_Action = Action_Done;
    return TX_Pkt;
}

void TX_Sched_Item_Send_Once_Class::Rx_Expected_Packet(
    const QSharedPointer<Packet_Class>& Tx_Message)
{
    Current_Action = Action_Done;
    Retry_Count = 0;
    clear_request_timeout();
    emit Rx(Tx_Message);
}

} // namespace Quillon
