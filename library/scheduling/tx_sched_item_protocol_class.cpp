#include "tx_sched_item_protocol_class.h"

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

QSharedPointer<Packet_Class> TX_Sched_Item_Protocol_Class::Run()
{
    if (Next_TX_Pkt)
        change_theTX_pkt(Next_TX_Pkt);
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
    // A chained item moves on to its next packet at the next Run().
    if (Next_TX_Pkt)
        return;
    TX_Scheduler_Item_Class::Rx_Timeout_Expected();
}

} // namespace Quillon
