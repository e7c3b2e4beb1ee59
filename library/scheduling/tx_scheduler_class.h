#ifndef QUILLON_TX_SCHEDULER_CLASS_H
#define QUILLON_TX_SCHEDULER_CLASS_H

#include "quillon_global.h"
#include "scheduling_enums.h"

#include <QList>
#include <QMutex>
#include <QObject>

namespace Quillon {

class COM_Resource;
class TX_Scheduler_Item_Class;

// Decides which request goes out next. Items are served one at a time, in
// rotation, with exactly one request on the line. Body() runs one transmit
// pass on the worker thread; Schedule_Item and Count may be called from any
// thread.
class QUILLON_EXPORT TX_Scheduler_Class : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int Count READ Count)

public:
    enum Phase_Enum
    {
        Select = 0,
        Send = 1,
        Await = 2
    };

    TX_Scheduler_Class(COM_Resource* resource, QObject* parent = nullptr);

    int Phase = Select;
    // Listed items, in the order they were scheduled; not owned.
    QList<TX_Scheduler_Item_Class*> Items;
    int Last_Index = 0;
    COM_Resource* Resource;
    // Guards Items. Not recursive: receivers called directly on the worker
    // thread while it is held must not schedule.
    QMutex List_Lock;
    TX_Scheduler_Item_Class* Current = nullptr;

    // Lists the item, unless it is listed already or the worker has shut
    // down: a worker that has shut down never sends again, so the item is
    // left unscheduled, free for the next worker.
    void Schedule_Item(TX_Scheduler_Item_Class* item);
    int Count();
    // Keeps a listed item that is only waiting to be dropped (Action_Done) by
    // giving it back its starting action. True when the item is listed; a
    // caller schedules it anew otherwise.
    bool Keep_Scheduled(TX_Scheduler_Item_Class* item);
    // Keep_Scheduled and Schedule_Item in one hold of the lock: a listed item
    // is kept, any other is listed, so that an item the transmit pass drops
    // meanwhile is never left out. False only when the worker has shut down.
    bool Schedule_Or_Keep(TX_Scheduler_Item_Class* item);
    // Whether the item is listed. The transmit pass drops an item and sends
    // its last signals about it in one hold of the lock, so an item found
    // unlisted here is one the worker no longer touches.
    bool Is_Listed(TX_Scheduler_Item_Class* item);
    void run_item(TX_Scheduler_Item_Class* item);
    void stop_item(TX_Scheduler_Item_Class* item);
    // Removes every item, recording the reason in those that were in an exchange.
    void COM_disconnect(Quillon::Disconnect_Enum reason);
    // The same when the worker shuts down; from then on nothing is listed.
    void Close(Quillon::Disconnect_Enum reason);
    // One transmit pass: sends at most one request.
    void Body();

protected slots:
    void OnCOM_Error(QString* Error);

private:
    bool running() const;
    // Returns false when the pass ends.
    bool select();
    bool send();
    bool await();
    void remove_all(Disconnect_Enum reason, bool close = false);
    // With List_Lock held.
    void keep_listed(TX_Scheduler_Item_Class* item);
    bool list(TX_Scheduler_Item_Class* item);

    // Set under List_Lock once the worker has shut down.
    bool Closed = false;
};

} // namespace Quillon

#endif // QUILLON_TX_SCHEDULER_CLASS_H
