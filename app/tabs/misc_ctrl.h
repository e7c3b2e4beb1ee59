#ifndef MISC_CTRL_H
#define MISC_CTRL_H

#include "com_display_interface.h"

class QHBoxLayout;
class Lever_Length_Form;

namespace Ui {
class MiscCtrl;
}

// The "Misc Settings" tab: the controller mode, kept by the controller as its
// bypass-disable setting (BPD), and the lever length editor. The mode is read
// again on every gain of focus.
class MiscCtrl : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit MiscCtrl(QWidget* parent = nullptr);
    ~MiscCtrl() override;

    void init_periodic_items() override;

    // The main window connects its lever_length_changed to the height tables
    // and has it load the stored length at start-up.
    Lever_Length_Form* Lever_Length_Editor() const { return lever_length_editor; }

    // The mode last read from the controller.
    bool Tow_Haul_Mode() const { return _tow_haul_mode; }

public slots:
    void rbSystemModeClicked();
    void btnSaveSettingsClicked();
    void Rx_BypassDisableSet(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_BypassDisable(QSharedPointer<Quillon::Packet_Class> response);

private:
    Ui::MiscCtrl* ui;
    Lever_Length_Form* lever_length_editor = nullptr;
    QHBoxLayout* lever_length_layout = nullptr;
    Quillon::Packet_Shared_Ptr BPD_Get_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* BPD_Get_Item = nullptr;
    Quillon::Packet_Shared_Ptr BPD_Set_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* BPD_Set_Item = nullptr;
    bool _tow_haul_mode = false;
};

#endif // MISC_CTRL_H
