#ifndef QUILLON_TX_SCHED_ITEM_SEND_ONCE_CLASS_H
#define QUILLON_TX_SCHED_ITEM_SEND_ONCE_CLASS_H

#include "tx_scheduler_item_class.h"

#include <QMutex>

namespace Quillon {

// A one-shot transaction: finished once its request is answered, or at once
// after sending if the request expects no answer. A chain of one-shot
// requests runs on one item: give it the next packet with Set_Next_TX_Pkt,
// then schedule it again.
class QUILLON_EXPORT TX_Sched_Item_Send_Once_Class : public TX_Scheduler_Item_Class
{
    Q_OBJECT

public:
    explicit TX_Sched_Item_Send_Once_Class(QSharedPointer<Quillon::Packet_Class>& p);

    Packet_Shared_Ptr Next_TX_Pkt;

    Item_action_enum DefaultStartingAction() override { return Action_Start; }
    unsigned char Retry_Count_Max() override { return 5; }
    void setIs_Scheduled(bool s) override;
    QSharedPointer<Quillon::Packet_Class> Run() override;

    // Takes effect when the item is next scheduled. Called on the user
    // interface thread while the worker may be unscheduling the item.
    void Set_Next_TX_Pkt(QSharedPointer<Quillon::Packet_Class>& p);

public slots:
    void Rx_Expected_Packet(const QSharedPointer<Quillon::Packet_Class>& Tx_Message) override;

private:
    // Guards Next_TX_Pkt, which both threads use.
    QMutex Next_Lock;
};

} // namespace Quillon

#endif // QUILLON_TX_SCHED_ITEM_SEND_ONCE_CLASS_H
