#ifndef DEV_INFO_DISPLAY_H
#define DEV_INFO_DISPLAY_H

#include "com_display_interface.h"

namespace Ui {
class DevInfoDisplay;
}

// The "Device" tab: the controller's serial number and its firmware part
// number with revision. Neither changes while the controller runs, so the tab
// reads them once each time it is shown, through two chains of one-shot
// requests, each run one command after the other on a single item:
// SN1, SN2, SN3, SN4 for the serial number and PRT, REV for the part number.
class DevInfoDisplay : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit DevInfoDisplay(QWidget* parent = nullptr);
    ~DevInfoDisplay() override;

    void init_periodic_items() override;

public slots:
    void Rx_FirmwareSN(QSharedPointer<Quillon::Packet_Class> response);
    void FirmwareSN_Sched();
    void Rx_FirmwarePN(QSharedPointer<Quillon::Packet_Class> response);
    void FirmwarePN_Sched();

private:
    // Moves `item` on from the request it last sent to the one after it in
    // `chain`, and schedules it; after the last one it goes back to the first
    // and stays unscheduled until the next gain of focus.
    void advance_chain(Quillon::TX_Sched_Item_Send_Once_Class* item,
                       QList<Quillon::Packet_Shared_Ptr>& chain);

    Ui::DevInfoDisplay* ui;
    QList<Quillon::Packet_Shared_Ptr> SN_Pkts; // SN1 to SN4
    Quillon::TX_Sched_Item_Send_Once_Class* SN_Item = nullptr;
    QList<Quillon::Packet_Shared_Ptr> PN_Pkts; // PRT, REV
    Quillon::TX_Sched_Item_Send_Once_Class* PN_Item = nullptr;

    // The texts shown, each replaced only when its own answer arrives.
    QString Serial_Parts[4];
    QString Part_Number;
    QString Revision;
};

#endif // DEV_INFO_DISPLAY_H
