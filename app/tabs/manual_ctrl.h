#ifndef MANUAL_CTRL_H
#define MANUAL_CTRL_H

#include "com_display_interface.h"
#include "move_delegate_si_class.h"

class QHBoxLayout;
class QPushButton;
class Suspension_Heights_Class;

namespace Ui {
class ManualCtrl;
}

// Raising and lowering each side by hand while a button is held, storing the
// present position as the ride or dump preset, moving to a preset, and the
// two preset tables. Everything is locked out while an angle sensor is
// faulted or the reservoir is below 90 PSI.
class ManualCtrl : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit ManualCtrl(QWidget* parent = nullptr);
    ~ManualCtrl() override;

    void init_periodic_items() override;

    // The preset tables; the main window connects the lever length to both.
    Suspension_Heights_Class* Ride_Heights() const { return _ride_heights; }
    Suspension_Heights_Class* Dump_Heights() const { return _dump_heights; }
    Quillon::Move_Delegate_SI_Class* Driver_Delegate() { return &_ds_delegate; }
    Quillon::Move_Delegate_SI_Class* Curb_Delegate() { return &_cs_delegate; }

    // Reservoir pressure below which the controls are locked out.
    static constexpr double Minimum_Pressure = 90.0;

public slots:
    void btnFillBothPressed();
    void btnFillLeftPressed();
    void btnFillRightPressed();
    void btnDumpBothPressed();
    void btnDumpLeftPressed();
    void btnDumpRightPressed();
    void btnFillBothReleased();
    void btnFillLeftReleased();
    void btnFillRightReleased();
    void btnDumpBothReleased();
    void btnDumpLeftReleased();
    void btnDumpRightReleased();
    void Rx_FM1(QSharedPointer<Quillon::Packet_Class> response);
    void btnSaveDumpHeightClicked();
    void btnSaveRideHeightClicked();
    void btnMoveToRideHeightClicked();
    void btnMoveToDumpHeightClicked();
    void DumpHeight_saved(Quillon::Disconnect_Enum disconnect_reason);
    void RideHeight_saved(Quillon::Disconnect_Enum disconnect_reason);
    void Rx_Get_LHC(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_Get_LHD(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_Get_RHC(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_Get_RHD(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_ResPsi(QSharedPointer<Quillon::Packet_Class> response);
    void Move_DS_Failed(Quillon::Move_State_Enum _move_state);
    void Move_CS_Failed(Quillon::Move_State_Enum _move_state);

private:
    void update_enables();
    void show_move_failure(const QString& side, Quillon::Move_State_Enum state);
    void wire_hold_buttons();
    void schedule(Quillon::TX_Scheduler_Item_Class* item);
    Quillon::TX_Sched_Item_Send_Once_Class* preset_read(Quillon::Packet_Shared_Ptr& handle,
                                                        Quillon::Packet_Class* request,
                                                        const char* slot);
    Quillon::TX_Sched_Item_Send_Once_Class* button_item(Quillon::Packet_Shared_Ptr& handle,
                                                        Quillon::Packet_Class* request,
                                                        QPushButton* button,
                                                        const char* clicked_slot);

    Suspension_Heights_Class* _ride_heights = nullptr;
    Suspension_Heights_Class* _dump_heights = nullptr;
    Ui::ManualCtrl* ui;
    QHBoxLayout* ride_layout = nullptr;
    QHBoxLayout* dump_layout = nullptr;
    Quillon::Packet_Shared_Ptr LHC_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* LHC_Item = nullptr;
    Quillon::Packet_Shared_Ptr LHD_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* LHD_Item = nullptr;
    Quillon::Packet_Shared_Ptr RHC_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* RHC_Item = nullptr;
    Quillon::Packet_Shared_Ptr RHD_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* RHD_Item = nullptr;
    Quillon::Move_Delegate_SI_Class _ds_delegate;
    Quillon::Move_Delegate_SI_Class _cs_delegate;
    Quillon::Packet_Shared_Ptr SLP_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* SLP_Item = nullptr;
    Quillon::Packet_Shared_Ptr SRH_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* SRH_Item = nullptr;
    Quillon::Packet_Shared_Ptr RDH_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* RDH_Item = nullptr;
    Quillon::Packet_Shared_Ptr LSP_Pkt;
    Quillon::TX_Sched_Item_Send_Once_Class* LSP_Item = nullptr;
    Quillon::TX_Sched_Item_Protocol_Class* PXV_Item = nullptr;
    bool _sensor_fault = true;
    bool _low_pressure = true;
};

#endif // MANUAL_CTRL_H
