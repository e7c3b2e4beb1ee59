#ifndef MAIN_DISPLAY_H
#define MAIN_DISPLAY_H

#include "com_display_interface.h"

#include <QPixmap>

class QHBoxLayout;
class QLabel;
class Suspension_Heights_Class;

namespace Ui {
class MainDisplay;
}

// The left half of the "I/O" tab: live sensor angles and heights, operating
// mode, reservoir pressure, compressor temperature and battery voltage, with
// blinking warnings for a low battery and a reservoir pressure out of range.
// Five repeating reads (DSA, PSA, MOD, OAT, PXV); the battery voltage comes
// from IODisplay's IGV read and the fault word FM1 from the main window.
class MainDisplay : public COM_Display_Interface
{
    Q_OBJECT

public:
    explicit MainDisplay(QWidget* parent = nullptr);
    ~MainDisplay() override;

    // The angle and height table; the main window connects the lever length to it.
    Suspension_Heights_Class* Heights() const { return suspension_heights; }

    double Smoothed_Battery_Voltage() const { return smoothed_battery_voltage; }
    double Smoothed_Reservoir_Pressure() const { return smoothed_reservoir_pressure; }
    bool Pressure_Faulted() const { return pressure_faulted; }

    // The five repeating reads, in the order DSA, PSA, MOD, OAT, PXV.
    QList<Quillon::TX_Sched_Item_Protocol_Class*> Items() const { return _Periodic_Items; }
    Quillon::TX_Sched_Item_Protocol_Class* Driver_Angle_Item() const { return DSA_Item; }
    Quillon::TX_Sched_Item_Protocol_Class* Curb_Angle_Item() const { return PSA_Item; }
    Quillon::TX_Sched_Item_Protocol_Class* Mode_Item() const { return MOD_Item; }
    Quillon::TX_Sched_Item_Protocol_Class* Comp_Temp_Item() const { return OAT_Item; }
    Quillon::TX_Sched_Item_Protocol_Class* Res_Psi_Item() const { return PXV_Item; }

    // The warnings stand within these limits (smoothed values).
    static constexpr double Battery_No_Battery_Below = 2.0;
    static constexpr double Battery_Warning_Below = 10.0;
    static constexpr double Pressure_Warning_Below = 90.0;
    static constexpr double Pressure_Warning_Above = 177.0;

public slots:
    void Rx_Ignition(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_SuspPosLeft(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_SuspPosRight(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_Mode(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_CompTemp(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_ResPsi(QSharedPointer<Quillon::Packet_Class> response);
    void Rx_FM1(QSharedPointer<Quillon::Packet_Class> response);
    void CompTempUnits_IndexChanged(int index);
    void init_periodic_items() override;
    void update_battery_warn(bool blink_on);
    void update_ResPsi_warn(bool blink_on);

private:
    // Shows the warning image in the on-phase and the tool tip while the
    // warning stands; see update_battery_warn.
    void show_warning(QLabel* label, bool warning, const QString& tip, bool blink_on);

    Suspension_Heights_Class* suspension_heights = nullptr;
    Ui::MainDisplay* ui;
    QHBoxLayout* heights_layout = nullptr;
    double smoothed_battery_voltage = 0.0;
    double smoothed_reservoir_pressure = 100.0;
    bool pressure_faulted = false;
    QPixmap warning_image;
    QPixmap empty_image;
    Quillon::Packet_Shared_Ptr DSA_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* DSA_Item = nullptr;
    Quillon::Packet_Shared_Ptr PSA_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* PSA_Item = nullptr;
    Quillon::Packet_Shared_Ptr MOD_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* MOD_Item = nullptr;
    Quillon::Packet_Shared_Ptr OAT_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* OAT_Item = nullptr;
    Quillon::Packet_Shared_Ptr PXV_Pkt;
    Quillon::TX_Sched_Item_Protocol_Class* PXV_Item = nullptr;
    Quillon::Packet_Shared_Ptr Last_FM1;
    // Kept per display rather than per program (there is one display).
    Quillon::Packet_Shared_Ptr Last_Comp_Temp;
    bool first_battery_sample = true;
};

#endif // MAIN_DISPLAY_H
