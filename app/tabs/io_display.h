#ifndef IO_DISPLAY_H
#define IO_DISPLAY_H

#include "com_display_interface.h"

class QCheckBox;

namespace Ui {
class IODisplay;
}

// The right half of the "I/O" tab: the controller's inputs and its five
// outputs as read-only check boxes, from ten repeating reads. The ignition
// read (IGV) also feeds the battery voltage of MainDisplay; the main window
// connects Ignition_Item()'s Rx signal to MainDisplay::Rx_Ignition.
class IODisplay : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit IODisplay(QWidget* parent = nullptr);
    ~IODisplay() override;

    // The IGV read.
    Quillon::TX_Sched_Item_Protocol_Class* Ignition_Item() const { return IGV_Item; }
    // The ten reads in the order the transmit scheduler first meets them:
    // IGV, LOL, BAH, DSH, DSL, DSS, CSS, RVS, CES, CSR.
    QList<Quillon::TX_Sched_Item_Protocol_Class*> Items() const { return _Periodic_Items; }

    // "Ignition" is checked above this voltage (strictly).
    static constexpr double Ignition_On_Above = 10.0;
    // The style sheet that shows the disabled check boxes' state in black.
    static const char Check_Box_Style[];

public slots:
    void Rx_Ignition(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_SysEnable(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_Trigger(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_DoorSwitchAH(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_DoorSwitchAL(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_OutputLeft(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_OutputRight(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_OutputReservoir(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_OutputExhaust(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_OutputCompressor(QSharedPointer<Quillon::Packet_Class> response);

public:
    void init_periodic_items() override;

private:
    // Sets the box from a boolean response of the given packet type.
    void show_bool(const QSharedPointer<Quillon::Packet_Class>& response, int packet_type,
                   QCheckBox* box);

    Ui::IODisplay* ui;
    Quillon::Packet_Shared_Ptr LOL_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* LOL_Item = nullptr;
    Quillon::Packet_Shared_Ptr BAH_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* BAH_Item = nullptr;
    Quillon::Packet_Shared_Ptr DSH_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* DSH_Item = nullptr;
    Quillon::Packet_Shared_Ptr DSL_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* DSL_Item = nullptr;
    Quillon::Packet_Shared_Ptr DSS_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* DSS_Item = nullptr;
    Quillon::Packet_Shared_Ptr CSS_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* CSS_Item = nullptr;
    Quillon::Packet_Shared_Ptr RVS_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* RVS_Item = nullptr;
    Quillon::Packet_Shared_Ptr CES_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* CES_Item = nullptr;
    Quillon::Packet_Shared_Ptr CSR_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* CSR_Item = nullptr;
    Quillon::Packet_Shared_Ptr IGV_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* IGV_Item = nullptr;
};

#endif // IO_DISPLAY_H
