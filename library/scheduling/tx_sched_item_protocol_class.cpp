#include "tx_sched_item_protocol_class.h"

#include "sanitizer_locks.h"

namespace Quillon {

Item_action_enum TX_Sched_Item_Protocol_Class::DefaultStartingAction()
{
    update_action();
    return Current_Action;
}

void TX_Sched_Item_Protocol_Class::update_action()
{
    switch (Current_State) {
    case Protocol_Idle:
        Current_Action = Action_Hold;
        break;
    case Protocol_Step:
        Current_State = Protocol_Idle;
        emit Protocol_Update(this);
        Current_Action = Action_Hold;
        break;
    case Protocol_Repeat:
        Current_Action = Action_Repeat;
        break;
    default:
        break;
    }
}

void TX_Sched_Item_Protocol_Class::Set_Next_TX_Pkt(QSharedPointer<Packet_Class>& p)
{
    detail::Locker lock(Next_Lock);
    Next_TX_Pkt = p;
}

QSharedPointer<Packet_Class> TX_Sched_Item_Protocol_Class::Run()
{
    Packet_Shared_Ptr next;
    {
        detail::Locker lock(Next_Lock);
        next = Next_TX_Pkt;
    }
    if (next)
        change_theTX_pkt(next);
    if (Current_Action != Action_Done) {
        if (TX_Pkt && TX_Pkt->Response_Filter)
            Current_Action = Action_Running;
        else
            update_action();
    }
    return TX_Pkt;
}

void TX_Sched_Item_Protocol_Class::setState(Protocol_State_Enum s)
{
    if (s == Current_State)
        return;
    Current_State = s;
    emit Protocol_Update(this);
    setAction(s != Protocol_Idle ? Action_Start : Action_Hold);
}

void TX_Sched_Item_Protocol_Class::Rx_Expected_Packet(
    const QSharedPointer<Packet_Class>& Tx_Message)
{
    Retry_Count = 0;
    clear_request_timeout();
    emit Rx(Tx_Message);
    if (Current_Action != Action_Done)
        update_action();
}

void TX_Sched_Item_Protocol_Class::Rx_Timeout_Expected()
{
    // A chained item is retried and gives up like any other: its next packet
    // may well be the same request again, which would otherwise be resent
    // for ever and keep every other item off the line.
    TX_Scheduler_Item_Class::Rx_Timeout_Expected();
}

} // namespace Quillon
