#include "com_display_interface.h"

namespace {
COM_Display_Interface::Focus_Observer& focus_observer()
{
    static COM_Display_Interface::Focus_Observer observer;
    return observer;
}
} // namespace

COM_Display_Interface::COM_Display_Interface(QWidget* parent) : QWidget(parent) {}

COM_Display_Interface::~COM_Display_Interface() = default;

void COM_Display_Interface::Set_Focus_Observer(Focus_Observer observer)
{
    focus_observer() = std::move(observer);
}

void COM_Display_Interface::Add_Periodic_Item(Quillon::TX_Sched_Item_Protocol_Class* item)
{
    if (!_Periodic_Items.contains(item))
        _Periodic_Items.append(item);
}

void COM_Display_Interface::Add_One_Shot_Item(Quillon::TX_Scheduler_Item_Class* item)
{
    if (!_One_Shot_Items.contains(item))
        _One_Shot_Items.append(item);
}

void COM_Display_Interface::Remove_Periodic_Item(Quillon::TX_Sched_Item_Protocol_Class* item)
{
    _Periodic_Items.removeAll(item);
}

void COM_Display_Interface::Remove_One_Shot_Item(Quillon::TX_Scheduler_Item_Class* item)
{
    _One_Shot_Items.removeAll(item);
}

void COM_Display_Interface::COM_Connect(Quillon::COM_485_Class* manager)
{
    _COM_Manager = manager;
}

void COM_Display_Interface::COM_Disconnect()
{
    _COM_Manager = nullptr;
}

void COM_Display_Interface::Has_Focus()
{
    if (focus_observer())
        focus_observer()(this, true);
    if (!_COM_Manager)
        return;
    // An item that lost the focus a moment ago may still be listed, only
    // waiting to be dropped: it is kept instead, or the tab would fall silent.
    // Checked and scheduled in one step, so that the transmit pass cannot
    // drop it in between.
    Quillon::TX_Scheduler_Class* scheduler = _COM_Manager->TX_Scheduler;
    // Copies: a slot run meanwhile may change the lists.
    const auto periodic = _Periodic_Items;
    for (Quillon::TX_Sched_Item_Protocol_Class* item : periodic) {
        if (item->State() != Quillon::Protocol_Idle)
            scheduler->Schedule_Or_Keep(item);
    }
    const auto one_shot = _One_Shot_Items;
    for (Quillon::TX_Scheduler_Item_Class* item : one_shot)
        scheduler->Schedule_Or_Keep(item);
}

void COM_Display_Interface::Lost_Focus()
{
    if (focus_observer())
        focus_observer()(this, false);
    const auto periodic = _Periodic_Items;
    for (Quillon::TX_Sched_Item_Protocol_Class* item : periodic) {
        if (item->Is_Scheduled())
            item->setAction(Quillon::Action_Done);
    }
    const auto one_shot = _One_Shot_Items;
    for (Quillon::TX_Scheduler_Item_Class* item : one_shot) {
        if (item->Is_Scheduled())
            item->setAction(Quillon::Action_Done);
    }
}

Quillon::TX_Sched_Item_Protocol_Class*
COM_Display_Interface::repeating_read(Quillon::Packet_Shared_Ptr& handle,
                                      Quillon::Packet_Class* request, const char* slot)
{
    request->setResponse_FiltertoDefault();
    handle = Quillon::Packet_Shared_Ptr(request);
    handle->AllocateData();
    auto item = new Quillon::TX_Sched_Item_Protocol_Class;
    item->set_theTX_pkt(handle);
    item->setState(Quillon::Protocol_Repeat);
    Add_Periodic_Item(item);
    connect(item, SIGNAL(Rx(QSharedPointer<Quillon::Packet_Class>)), this, slot);
    return item;
}
