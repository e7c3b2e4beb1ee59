#ifndef QUILLON_TX_SCHED_ITEM_PROTOCOL_CLASS_H
#define QUILLON_TX_SCHED_ITEM_PROTOCOL_CLASS_H

#include "tx_scheduler_item_class.h"

#include <QMutex>

namespace Quillon {

// A transaction driven by its State: idle, one step, or repeated in every
// rotation. The tabs poll with State Protocol_Repeat.
class QUILLON_EXPORT TX_Sched_Item_Protocol_Class : public TX_Scheduler_Item_Class
{
    Q_OBJECT
    Q_PROPERTY(Quillon::Protocol_State_Enum State READ State WRITE setState)

public:
    TX_Sched_Item_Protocol_Class() : TX_Scheduler_Item_Class(nullptr) {}

    Packet_Shared_Ptr Next_TX_Pkt;
    std::atomic<Protocol_State_Enum> Current_State{Protocol_Idle};

    Item_action_enum DefaultStartingAction() override;
    unsigned char Retry_Count_Max() override { return 5; }
    QSharedPointer<Quillon::Packet_Class> Run() override;

    // Sets the action that follows from the state; a Protocol_Step state
    // becomes idle on the way.
    void update_action();
    Protocol_State_Enum State() const { return Current_State; }
    void setState(Quillon::Protocol_State_Enum s);
    // Called on the user interface thread while the worker may be in Run().
    void Set_Next_TX_Pkt(QSharedPointer<Quillon::Packet_Class>& p);

public slots:
    void Rx_Expected_Packet(const QSharedPointer<Quillon::Packet_Class>& Tx_Message) override;
    void Rx_Timeout_Expected() override;

signals:
    void Protocol_Update(Quillon::TX_Sched_Item_Protocol_Class* Protocol);

protected:
    // update_action() on the worker thread: a finish asked for meanwhile wins.
    void update_action_unless_done();

private:
    // The action that follows from the state; a Protocol_Step state becomes
    // idle on the way. Action_Start for states that change nothing.
    Item_action_enum state_action();

    // Guards Next_TX_Pkt, which both threads use.
    QMutex Next_Lock;
};

} // namespace Quillon

#endif // QUILLON_TX_SCHED_ITEM_PROTOCOL_CLASS_H
