#ifndef COM_DISPLAY_INTERFACE_H
#define COM_DISPLAY_INTERFACE_H

#include <Quillon.h>

#include <QList>
#include <QWidget>

#include <functional>

// The base of every tab. A tab keeps its controller traffic in scheduler
// items; the main window hands it the worker and tells it when it is shown,
// and only the shown tabs load the line with their requests.
class COM_Display_Interface : public QWidget
{
    Q_OBJECT

public:
    explicit COM_Display_Interface(QWidget* parent = nullptr);
    ~COM_Display_Interface() override;

    void Add_Periodic_Item(Quillon::TX_Sched_Item_Protocol_Class* item);
    void Add_One_Shot_Item(Quillon::TX_Scheduler_Item_Class* item);
    void Remove_Periodic_Item(Quillon::TX_Sched_Item_Protocol_Class* item);
    void Remove_One_Shot_Item(Quillon::TX_Scheduler_Item_Class* item);

    // Told of every Has_Focus (true) and Lost_Focus (false); for tests.
    using Focus_Observer = std::function<void(COM_Display_Interface*, bool)>;
    static void Set_Focus_Observer(Focus_Observer observer);

public slots:
    virtual void COM_Connect(Quillon::COM_485_Class* _COM_Manager);
    virtual void COM_Disconnect();
    virtual void Has_Focus();
    virtual void Lost_Focus();

public:
    virtual void init_periodic_items() = 0;

protected:
    // The common shape of a tab's periodic reading: the request made ready
    // and kept in `handle`, a repeating item listed with the tab, its answers
    // delivered to `slot` of this tab.
    Quillon::TX_Sched_Item_Protocol_Class* repeating_read(Quillon::Packet_Shared_Ptr& handle,
                                                          Quillon::Packet_Class* request,
                                                          const char* slot);

    Quillon::COM_485_Class* _COM_Manager = nullptr;
    QList<Quillon::TX_Sched_Item_Protocol_Class*> _Periodic_Items;
    QList<Quillon::TX_Scheduler_Item_Class*> _One_Shot_Items;
};

#endif // COM_DISPLAY_INTERFACE_H
