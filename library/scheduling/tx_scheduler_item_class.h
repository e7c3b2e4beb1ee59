#ifndef QUILLON_TX_SCHEDULER_ITEM_CLASS_H
#define QUILLON_TX_SCHEDULER_ITEM_CLASS_H

#include "packets/packet_class.h"
#include "quillon_global.h"
#include "scheduling_enums.h"

#include <QObject>

#include <atomic>

namespace Quillon {

// One transaction served by the transmit scheduler: it holds the request,
// decides after each answer or time-out what happens next, counts retries and
// tells its owner through signals. The program owns items; the scheduler only
// lists them. Slots run on the worker thread; signals reach the program queued.
//
// The state shared between the threads is kept in single atomic bytes: the
// user interface thread may change the action at any time, and the worker
// acts on the new value at its next look.
class QUILLON_EXPORT TX_Scheduler_Item_Class : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Quillon::Item_action_enum Action READ Action WRITE setAction)
    Q_PROPERTY(bool Is_Scheduled READ Is_Scheduled WRITE setIs_Scheduled NOTIFY Is_ScheduledChanged)
    Q_PROPERTY(bool Is_Running READ Is_Running NOTIFY Is_RunningChanged)
    Q_PROPERTY(QSharedPointer<Quillon::Packet_Class> TX_message READ TX_message)
    Q_PROPERTY(unsigned char Retry_Count_Max READ Retry_Count_Max CONSTANT)

public:
    explicit TX_Scheduler_Item_Class(QObject* parent = nullptr);
    ~TX_Scheduler_Item_Class() override;

    Packet_Shared_Ptr TX_Pkt;
    QMetaObject::Connection Rx_Conn;
    QMetaObject::Connection Timeout_Conn;
    std::atomic<Item_action_enum> Current_Action{Action_Start};
    std::atomic<bool> Scheduled_Flag{false};
    std::atomic<quint8> Retry_Count{0};
    // The item is running while this connection to the resource exists.
    QMetaObject::Connection Error_Conn;
    std::atomic<bool> Resend{false};
    std::atomic<Disconnect_Enum> Reason{Disconnect_None};

    virtual Item_action_enum DefaultStartingAction() = 0;
    virtual unsigned char Retry_Count_Max() = 0;
    virtual void setIs_Scheduled(bool s);

public slots:
    virtual void Rx_Expected_Packet(const QSharedPointer<Quillon::Packet_Class>& Tx_Message);
    virtual void Rx_Timeout_Expected();
    virtual void OnCOM_Error();

public:
    virtual void set_theTX_pkt(QSharedPointer<Quillon::Packet_Class>& p);
    virtual void remove_theTX_pkt();
    virtual bool change_theTX_pkt(QSharedPointer<Quillon::Packet_Class>& p);
    virtual void Handle_Wrong_Response();
    virtual void connect_pkt_events();
    virtual void disconnect_pkt_events();
    virtual void COM_disconnect_CB(Quillon::Disconnect_Enum reason);
    virtual void Retry_Exceeded_CB();
    virtual QSharedPointer<Quillon::Packet_Class> Run();

    Item_action_enum Action() const { return Current_Action; }
    // A plain store: the scheduler sees the new action at its next look.
    void setAction(Item_action_enum a) { Current_Action = a; }
    // Stores `a` unless the item has been told to finish (Action_Done), which
    // the user interface thread may do at any moment: the worker's own
    // changes never undo that. True when `a` was stored.
    bool setAction_Unless_Done(Item_action_enum a);
    bool Is_Scheduled() const { return Scheduled_Flag; }
    bool Is_Running() const { return bool(Error_Conn); }
    QSharedPointer<Quillon::Packet_Class> TX_message() const { return TX_Pkt; }
    bool retry_exceeded();

signals:
    void Finished(Quillon::Disconnect_Enum disconnect_reason,
                  Quillon::TX_Scheduler_Item_Class* sched_item);
    void Is_ScheduledChanged(Quillon::TX_Scheduler_Item_Class* sched_item);
    void Is_RunningChanged(Quillon::TX_Scheduler_Item_Class* sched_item);
    void Rx(QSharedPointer<Quillon::Packet_Class> Rx_Message);

protected:
    // Ends the current request's deadline; true if one was pending.
    bool clear_request_timeout();
};

} // namespace Quillon

#endif // QUILLON_TX_SCHEDULER_ITEM_CLASS_H
