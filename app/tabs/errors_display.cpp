#include "errors_display.h"

#include "ui_errors_display.h"

using namespace Quillon;

namespace {

// Display-only boxes: a ticked one shows a black mark and black text rather
// than the greyed look of a disabled widget.
const char Fault_Style_Sheet[] = "QCheckBox[enabled=\"false\"]::indicator:checked "
                                 "{background-color: black}                "
                                 "QCheckBox[enabled=\"false\"] {color: black}";

// The packet as a valid response of the wanted fault word, or null.
template <class Response> const Response* valid_response(const Packet_Shared_Ptr& packet)
{
    if (!packet || packet->ID() != Response::packet_type)
        return nullptr;
    const auto response = qobject_cast<const Response*>(packet.data());
    return response && response->Valid ? response : nullptr;
}

} // namespace

ErrorsDisplay::ErrorsDisplay(QWidget* parent)
    : COM_Display_Interface(parent), ui(new Ui::ErrorsDisplay)
{
    ui->setupUi(this);
    setStyleSheet(QLatin1String(Fault_Style_Sheet));
}

ErrorsDisplay::~ErrorsDisplay()
{
    delete ui;
}

void ErrorsDisplay::init_periodic_items()
{
    FM1_Fault = false;
    FM2_Fault = false;
    FM3_Fault = false;
}

bool ErrorsDisplay::Any_Fault() const
{
    return FM1_Fault || FM2_Fault || FM3_Fault;
}

bool ErrorsDisplay::show_word(QCheckBox* const (&boxes)[4], const bool (&fields)[4])
{
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        boxes[i]->setChecked(fields[i]);
        any = any || fields[i];
    }
    return any;
}

void ErrorsDisplay::Rx_FM1(QSharedPointer<Quillon::Packet_Class> FM1_resp)
{
    const auto r = valid_response<Packet_Resp_FM1>(FM1_resp);
    if (!r)
        return;
    FM1_Fault = show_word(
        {ui->cbxDriverSensor, ui->cbxCurbSensor, ui->cbxPressureSensor, ui->cbxCompCooloff},
        {r->Fault_DriverSensor(), r->Fault_CurbSensor(), r->Fault_PressureSensor(),
         r->Fault_CompCooloff()});
}

void ErrorsDisplay::Rx_FM2(QSharedPointer<Quillon::Packet_Class> FM2_resp)
{
    const auto r = valid_response<Packet_Resp_FM2>(FM2_resp);
    if (!r)
        return;
    FM2_Fault = show_word(
        {ui->cbxCompressorTimeout, ui->cbxAirLeak, ui->cbxOverPressure, ui->cbxDriverSolTimeout},
        {r->Fault_CompressorTimeout(), r->Fault_AirLeak(), r->Fault_OverPressure(),
         r->Fault_DriverSolTimeout()});
}

void ErrorsDisplay::Rx_FM3(QSharedPointer<Quillon::Packet_Class> FM3_resp)
{
    const auto r = valid_response<Packet_Resp_FM3>(FM3_resp);
    if (!r)
        return;
    FM3_Fault = show_word({ui->cbxCurbSolTimeout, ui->cbxOverTemp, ui->cbxExhaustSolTimeout,
                           ui->cbxReservoirSolTimeout},
                          {r->Fault_CurbSolTimeout(), r->Fault_OverTemp(),
                           r->Fault_ExhaustSolTimeout(), r->Fault_ReservoirSolTimeout()});
}
