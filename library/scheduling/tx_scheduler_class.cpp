#include "tx_scheduler_class.h"

#include "sanitizer_locks.h"
#include "serial/com_resource.h"
#include "tx_scheduler_item_class.h"

namespace Quillon {

TX_Scheduler_Class::TX_Scheduler_Class(COM_Resource* resource, QObject* parent)
    : QObject(parent), Resource(resource)
{
    connect(Resource, SIGNAL(COM_Error(QString*)), this, SLOT(OnCOM_Error(QString*)));
}

void TX_Scheduler_Class::Schedule_Item(TX_Scheduler_Item_Class* item)
{
    if (!item)
        return;
    detail::Locker lock(List_Lock);
    list(item);
}

int TX_Scheduler_Class::Count()
{
    detail::Locker lock(List_Lock);
    return Items.size();
}

bool TX_Scheduler_Class::Keep_Scheduled(TX_Scheduler_Item_Class* item)
{
    detail::Locker lock(List_Lock);
    if (!Items.contains(item))
        return false;
    keep_listed(item);
    return true;
}

bool TX_Scheduler_Class::Schedule_Or_Keep(TX_Scheduler_Item_Class* item)
{
    if (!item)
        return false;
    detail::Locker lock(List_Lock);
    if (Items.contains(item)) {
        keep_listed(item);
        return true;
    }
    return list(item);
}

bool TX_Scheduler_Class::Is_Listed(TX_Scheduler_Item_Class* item)
{
    detail::Locker lock(List_Lock);
    return Items.contains(item);
}

void TX_Scheduler_Class::keep_listed(TX_Scheduler_Item_Class* item)
{
    if (item->Action() == Action_Done)
        item->setAction(item->DefaultStartingAction());
}

bool TX_Scheduler_Class::list(TX_Scheduler_Item_Class* item)
{
    // Read under the lock, which every change of the flag holds.
    if (item->Is_Scheduled())
        return true;
    if (Closed)
        return false;
    Items.append(item);
    item->setIs_Scheduled(true);
    return true;
}

void TX_Scheduler_Class::run_item(TX_Scheduler_Item_Class* item)
{
    if (item->Is_Running())
        return;
    item->Error_Conn = connect(Resource, SIGNAL(COM_Error(QString*)), item, SLOT(OnCOM_Error()),
                               Qt::DirectConnection);
    emit item->Is_RunningChanged(item);
}

void TX_Scheduler_Class::stop_item(TX_Scheduler_Item_Class* item)
{
    if (!item->Is_Running())
        return;
    disconnect(item->Error_Conn);
    item->Error_Conn = QMetaObject::Connection();
    emit item->Is_RunningChanged(item);
    item->disconnect_pkt_events();
}

void TX_Scheduler_Class::COM_disconnect(Disconnect_Enum reason)
{
    remove_all(reason);
}

void TX_Scheduler_Class::Close(Disconnect_Enum reason)
{
    remove_all(reason, true);
}

void TX_Scheduler_Class::OnCOM_Error(QString* Error)
{
    Q_UNUSED(Error)
    remove_all(Disconnect_COM_Error);
}

void TX_Scheduler_Class::remove_all(Disconnect_Enum reason, bool close)
{
    detail::Locker lock(List_Lock);
    // In the same hold of the lock, so that no item slips in between.
    Closed = Closed || close;
    for (TX_Scheduler_Item_Class* item : qAsConst(Items)) {
        const Item_action_enum action = item->Action();
        if (action == Action_Running || action == Action_Repeat)
            item->COM_disconnect_CB(reason);
        stop_item(item);
        item->setIs_Scheduled(false);
    }
    Items.clear();
}

bool TX_Scheduler_Class::running() const
{
    return int(Resource->COM_Command) == COM_Resource::COM_Run;
}

void TX_Scheduler_Class::Body()
{
    bool go_on = running();
    while (go_on) {
        switch (Phase) {
        case Select:
            go_on = select() && running();
            break;
        case Send:
            go_on = send();
            break;
        case Await:
            go_on = await();
            break;
        default:
            Phase = Select;
            break;
        }
    }
}

bool TX_Scheduler_Class::select()
{
    detail::lock(List_Lock);
    if (Items.isEmpty()) {
        detail::unlock(List_Lock);
        return false;
    }
    int start = Last_Index + 1;
    Current = nullptr;

    // Remove finished items. Their signals go out with the lock held.
    for (int i = 0; i < Items.size();) {
        TX_Scheduler_Item_Class* item = Items.at(i);
        const Item_action_enum action = item->Action();
        if (action != Action_Done && action != Action_Disconnect) {
            ++i;
            continue;
        }
        const Disconnect_Enum reason =
            action == Action_Done ? Disconnect_None : item->Reason.load();
        item->setIs_Scheduled(false);
        stop_item(item);
        Items.removeAt(i);
        if (i < start)
            --start;
        emit item->Finished(reason, item);
        if (action == Action_Disconnect)
            emit Resource->Item_Disconnected(reason, item);
    }

    if (start >= Items.size())
        start = 0;
    const int size = Items.size();
    for (int n = 0; n < size; ++n) {
        const int i = (start + n) % size;
        const Item_action_enum action = Items.at(i)->Action();
        if (action != Action_Hold && action != Action_Done) {
            Current = Items.at(i);
            Last_Index = i;
            break;
        }
    }
    detail::unlock(List_Lock);

    if (!Current) {
        Last_Index = start;
        return false;
    }
    run_item(Current);
    Phase = Send;
    return true;
}

bool TX_Scheduler_Class::send()
{
    if (!Current) {
        Phase = Select;
        return running();
    }
    Packet_Shared_Ptr request = Current->Run();
    Current->Resend = false;
    if (!request)
        return false;
    Current->connect_pkt_events();
    if (Resource->Send_Packet(request))
        Phase = Await;
    else
        Resource->COM_Command = COM_Resource::COM_Shutdown;
    return false;
}

bool TX_Scheduler_Class::await()
{
    if (!Current) {
        Phase = Select;
        return running();
    }
    if (Current->Resend) {
        Phase = Send;
        return true;
    }
    if (Current->Action() == Action_Running) {
        Phase = Send;
        return running();
    }
    detail::lock(List_Lock);
    if (Current->Action() == Action_Repeat && Items.size() == 1 && Last_Index < Items.size() &&
        Items.at(Last_Index) == Current) {
        detail::unlock(List_Lock);
        Phase = Send;
        return running();
    }
    stop_item(Current);
    Current = nullptr;
    detail::unlock(List_Lock);
    Phase = Select;
    return running();
}

} // namespace Quillon
