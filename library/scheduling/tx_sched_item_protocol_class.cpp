#include "tx_sched_item_protocol_class.h"

#include "sanitizer_locks.h"

namespace Quillon {

Item_action_enum TX_Sched_Item_Protocol_Class::DefaultStartingAction()
{
    update_action();
    return Current_Action;
}

Item_action_enum TX_Sched_Item_Protocol_Class::state_action()
{
    switch (Current_State) {
    case Protocol_Idle:
        return Action_Hold;
    case Protocol_Step:
        Current_State = Protocol_Idle;
        emit Protocol_Update(this);
        return Action_Hold;
    case Protocol_Repeat:
        return Action_Repeat;
    default:
        return Action_Start;
    }
}

void TX_Sched_Item_Protocol_Class::update_action()
{
    const Protocol_State_Enum state = Current_State;
    const Item_action_enum action = state_action();
    // Other states keep the action as it is.
    if (state == Protocol_Idle || state == Protocol_Step || state == Protocol_Repeat)
        Current_Action = action;
}

void TX_Sched_Item_Protocol_Class::update_action_unless_done()
{
    if (Current_Action == Action_Done)
        return;
    const Protocol_State_Enum state = Current_State;
    // Worked out first: a receiver of Protocol_Update may tell the item to
    // finish, and that must not be overwritten.
    const Item_action_enum action = state_action();
    if (state == Protocol_Idle || state == Protocol_Step || state == Protocol_Repeat)
        setAction_Unless_Done(action);
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
    if (TX_Pkt && TX_Pkt->Response_Filter)
        setAction_Unless_Done(Action_Running);
    else
        update_action_unless_done();
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
    update_action_unless_done();
}

void TX_Sched_Item_Protocol_Class::Rx_Timeout_Expected()
{
    // A chained item is retried and gives up like any other: its next packet
    // may well be the same request again, which would otherwise be resent
    // for ever and keep every other item off the line.
    TX_Scheduler_Item_Class::Rx_Timeout_Expected();
}

} // namespace Quillon
