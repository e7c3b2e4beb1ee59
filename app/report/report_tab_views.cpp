#include "report/report_tab_views.h"

#include <QCheckBox>

using namespace Quillon;

namespace Service_Report {

QStringList Warnings(const Tab_Views& v)
{
    QStringList warnings;
    if (const auto igv = qobject_cast<Packet_Resp_Voltage*>(v.answer("IGV").data())) {
        if (igv->Voltage() >= MainDisplay::Battery_No_Battery_Below &&
            igv->Voltage() < MainDisplay::Battery_Warning_Below)
            warnings << QStringLiteral("Battery Under-voltage warning");
    }
    const auto pxv = qobject_cast<Packet_Resp_Pressure*>(v.answer("PXV").data());
    const bool faulted = v.main.Pressure_Faulted();
    if (pxv && !faulted && pxv->Pressure() < MainDisplay::Pressure_Warning_Below)
        warnings << QStringLiteral("Reservoir pressure under 90 PSI");
    if (pxv && !faulted && pxv->Pressure() > MainDisplay::Pressure_Warning_Above)
        warnings << QStringLiteral("Reservoir pressure over 175 PSI");
    return warnings;
}

QStringList Active_Faults(const Tab_Views& v)
{
    QStringList active;
    for (QCheckBox* box : v.faults.findChildren<QCheckBox*>())
        if (box->isChecked())
            active << plain(box->text());
    return active;
}

QStringList Faults_Not_Read(const Tab_Views& v)
{
    QStringList missing;
    for (const char* word : {"FM1", "FM2", "FM3"})
        if (!v.has({word}))
            missing << QLatin1String(word);
    return missing;
}

} // namespace Service_Report
