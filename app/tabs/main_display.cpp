#include "main_display.h"

#include "suspension_heights_class.h"
#include "ui_main_display.h"

#include <QColor>
#include <QHBoxLayout>
#include <QPalette>

using namespace Quillon;

namespace {

// The response as its own class when it answers the expected command; null otherwise.
template <class Response> Response* response_of(const QSharedPointer<Packet_Class>& packet)
{
    if (!packet || packet->ID() != Response::packet_type)
        return nullptr;
    return static_cast<Response*>(packet.data());
}

void paint_text(QWidget* field, const char* colour)
{
    QPalette palette = field->palette();
    palette.setColor(QPalette::Text, QColor(QLatin1String(colour)));
    field->setPalette(palette);
}

} // namespace

MainDisplay::MainDisplay(QWidget* parent)
    : COM_Display_Interface(parent), ui(new Ui::MainDisplay),
      warning_image(QStringLiteral(":/images/imgWarning"))
{
    ui->setupUi(this);
    suspension_heights = new Suspension_Heights_Class(ui->tbxMode->font(), ui->gbxHeights);
    heights_layout = new QHBoxLayout(ui->gbxHeights);
    heights_layout->addWidget(suspension_heights);
    suspension_heights->show();
    ui->cbxCompTempUnits->addItem(QStringLiteral("\u00B0F"));
    ui->cbxCompTempUnits->addItem(QStringLiteral("\u00B0C"));
    ui->cbxCompTempUnits->setCurrentIndex(0);
    init_periodic_items();
}

MainDisplay::~MainDisplay()
{
    delete DSA_Item;
    delete PSA_Item;
    delete MOD_Item;
    delete OAT_Item;
    delete PXV_Item;
    delete ui;
}

void MainDisplay::init_periodic_items()
{
    if (DSA_Item)
        return; // built once, in the constructor
    DSA_Item = repeating_read(DSA_Pkt, new Packet_Get_DSA,
                              SLOT(Rx_SuspPosLeft(QSharedPointer<Quillon::Packet_Class>)));
    PSA_Item = repeating_read(PSA_Pkt, new Packet_Get_PSA,
                              SLOT(Rx_SuspPosRight(QSharedPointer<Quillon::Packet_Class>)));
    MOD_Item = repeating_read(MOD_Pkt, new Packet_Get_MOD,
                              SLOT(Rx_Mode(QSharedPointer<Quillon::Packet_Class>)));
    OAT_Item = repeating_read(OAT_Pkt, new Packet_Get_OAT,
                              SLOT(Rx_CompTemp(QSharedPointer<Quillon::Packet_Class>)));
    connect(ui->cbxCompTempUnits, SIGNAL(currentIndexChanged(int)), this,
            SLOT(CompTempUnits_IndexChanged(int)));
    PXV_Item = repeating_read(PXV_Pkt, new Packet_Get_PXV,
                              SLOT(Rx_ResPsi(QSharedPointer<Quillon::Packet_Class>)));
}

void MainDisplay::Rx_Ignition(QSharedPointer<Packet_Class> response)
{
    auto igv = response_of<Packet_Resp_IGV>(response);
    if (!igv)
        return;
    const double volts = igv->Voltage();
    ui->tbxBatteryVolts->setText(QString::number(volts, 'f', 1));
    if (first_battery_sample) {
        smoothed_battery_voltage = volts;
        first_battery_sample = false;
    } else {
        smoothed_battery_voltage = (9.0 * smoothed_battery_voltage + volts) / 10.0;
    }
}

void MainDisplay::Rx_SuspPosLeft(QSharedPointer<Packet_Class> response)
{
    if (auto dsa = response_of<Packet_Resp_DSA>(response))
        suspension_heights->driver_angle_changed(dsa->Angle());
}

void MainDisplay::Rx_SuspPosRight(QSharedPointer<Packet_Class> response)
{
    if (auto psa = response_of<Packet_Resp_PSA>(response))
        suspension_heights->curb_angle_changed(psa->Angle());
}

void MainDisplay::Rx_Mode(QSharedPointer<Packet_Class> response)
{
    auto mod = response_of<Packet_Resp_MOD>(response);
    if (!mod)
        return;
    QString text;
    if (mod->Valid) {
        switch (mod->Raw_Value()) {
        case 0:
            text = QStringLiteral("Idle");
            break;
        case 1:
            text = QStringLiteral("Lowering");
            break;
        case 2:
            text = QStringLiteral("Raising");
            break;
        case 3:
            text = QStringLiteral("Compressor test");
            break;
        default:
            break;
        }
    }
    ui->tbxMode->setText(text);
}

void MainDisplay::Rx_CompTemp(QSharedPointer<Packet_Class> response)
{
    if (!response_of<Packet_Resp_OAT>(response))
        return;
    Last_Comp_Temp = response;
    CompTempUnits_IndexChanged(ui->cbxCompTempUnits->currentIndex());
}

void MainDisplay::CompTempUnits_IndexChanged(int index)
{
    auto oat = response_of<Packet_Resp_OAT>(Last_Comp_Temp);
    if (!oat)
        return;
    QString text;
    if (index == 0)
        text = QString::asprintf("%i", int(oat->Temp_F()));
    else if (index == 1)
        text = QString::asprintf("%i", int(oat->Temp_C()));
    ui->tbxCompTemp->setText(text);
}

void MainDisplay::Rx_ResPsi(QSharedPointer<Packet_Class> response)
{
    auto pxv = response_of<Packet_Resp_PXV>(response);
    if (!pxv)
        return;
    const double psi = pxv->Pressure();
    // An answer already on its way when FM1 reported the fault must not
    // replace "Faulted"; the first reading after the fault has cleared does.
    if (!pressure_faulted)
        ui->tbxResPsi->setText(QString::number(int(psi)));
    smoothed_reservoir_pressure = (psi + 9.0 * smoothed_reservoir_pressure) / 10.0;
}

void MainDisplay::Rx_FM1(QSharedPointer<Packet_Class> response)
{
    auto fm1 = response_of<Packet_Resp_FM1>(response);
    if (!fm1)
        return;
    Last_FM1 = response;
    if (!fm1->Valid)
        return;

    const bool driver_fault = fm1->Fault_DriverSensor();
    DSA_Item->setState(driver_fault ? Protocol_Idle : Protocol_Repeat);
    suspension_heights->driver_valid_changed(!driver_fault);

    const bool curb_fault = fm1->Fault_CurbSensor();
    PSA_Item->setState(curb_fault ? Protocol_Idle : Protocol_Repeat);
    suspension_heights->curb_valid_changed(!curb_fault);

    if (fm1->Fault_PressureSensor()) {
        pressure_faulted = true;
        PXV_Item->setState(Protocol_Idle);
        ui->tbxResPsi->setText(QStringLiteral("Faulted"));
        paint_text(ui->tbxResPsi, "orangered");
    } else {
        pressure_faulted = false;
        PXV_Item->setState(Protocol_Repeat);
        paint_text(ui->tbxResPsi, "black");
    }
}

void MainDisplay::show_warning(QLabel* label, bool warning, const QString& tip, bool blink_on)
{
    if (warning) {
        label->setPixmap(blink_on ? warning_image : empty_image);
        label->setToolTip(tip);
        return;
    }
    label->setToolTip(QString());
    if (!blink_on)
        label->setPixmap(empty_image);
}

void MainDisplay::update_battery_warn(bool blink_on)
{
    const double volts = smoothed_battery_voltage;
    const bool warning = volts >= Battery_No_Battery_Below && volts < Battery_Warning_Below;
    show_warning(ui->lblBatteryWarning, warning, QStringLiteral("Battery Under-voltage warning"),
                 blink_on);
}

void MainDisplay::update_ResPsi_warn(bool blink_on)
{
    const double psi = smoothed_reservoir_pressure;
    if (pressure_faulted)
        show_warning(ui->lblResPsiWarning, false, QString(), blink_on);
    else if (psi < Pressure_Warning_Below)
        show_warning(ui->lblResPsiWarning, true, QStringLiteral("Reservoir pressure under 90 PSI"),
                     blink_on);
    else if (psi > Pressure_Warning_Above)
        show_warning(ui->lblResPsiWarning, true, QStringLiteral("Reservoir pressure over 175 PSI"),
                     blink_on);
    else
        show_warning(ui->lblResPsiWarning, false, QString(), blink_on);
}
