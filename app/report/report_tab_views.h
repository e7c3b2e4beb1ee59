#ifndef APP_REPORT_REPORT_TAB_VIEWS_H
#define APP_REPORT_REPORT_TAB_VIEWS_H

// The tabs that format the report's values, built off screen, handed the
// answers through their own slots, and their fields read back: the report
// says each value as the window shows it.

#include "report/report_data.h"

#include "tabs/dev_info_display.h"
#include "tabs/errors_display.h"
#include "tabs/io_display.h"
#include "tabs/lever_length_form.h"
#include "tabs/main_display.h"
#include "tabs/misc_ctrl.h"
#include "tabs/suspension_heights_class.h"

namespace Service_Report {

// The I/O tab's boxes, the command each shows and the slot that takes it.
struct Io_Box
{
    const char* code;
    const char* slot;
    const char* box;
};
inline const Io_Box Io_Boxes[] = {
    {"IGV", "Rx_Ignition", "cbxIgnition"},
    {"BAH", "Rx_Trigger", "cbxTrigger"},
    {"DSH", "Rx_DoorSwitchAH", "cbxDoorSwitchAH"},
    {"DSL", "Rx_DoorSwitchAL", "cbxDoorSwitchAL"},
    {"LOL", "Rx_SysEnable", "cbxLowerEnable"},
    {"DSS", "Rx_OutputLeft", "cbxOutputLeft"},
    {"CSS", "Rx_OutputRight", "cbxOutputRight"},
    {"RVS", "Rx_OutputReservoir", "cbxOutputReservoir"},
    {"CES", "Rx_OutputExhaust", "cbxOutputExhaust"},
    {"CSR", "Rx_OutputCompressor", "cbxOutputCompressor"},
};

inline QString plain(const QString& label)
{
    return QString(label).remove(QLatin1Char('&'));
}

inline QString field(const QWidget* tab, const char* name)
{
    const QObject* child = tab->findChild<QObject*>(QLatin1String(name));
    return child ? child->property("text").toString() : QString();
}

// The tabs that format the values, built off screen and fed the answers.
class Tab_Views
{
public:
    explicit Tab_Views(const QHash<QString, Quillon::Packet_Shared_Ptr>& answers) : answers(answers)
    {
        misc.Lever_Length_Editor()->load_lever_length();
        main.Heights()->lever_length_changed(misc.Lever_Length_Editor()->lever_length());
        feed(&faults, {"FM1", "FM2", "FM3"}, {"Rx_FM1", "Rx_FM2", "Rx_FM3"});
        feed(&main, {"FM1", "DSA", "PSA", "MOD", "OAT", "PXV", "IGV"},
             {"Rx_FM1", "Rx_SuspPosLeft", "Rx_SuspPosRight", "Rx_Mode", "Rx_CompTemp", "Rx_ResPsi",
              "Rx_Ignition"});
        if (has({"SN1", "SN2", "SN3", "SN4"}))
            feed(&dev, {"SN1", "SN2", "SN3", "SN4"},
                 {"Rx_FirmwareSN", "Rx_FirmwareSN", "Rx_FirmwareSN", "Rx_FirmwareSN"});
        if (has({"PRT", "REV"}))
            feed(&dev, {"PRT", "REV"}, {"Rx_FirmwarePN", "Rx_FirmwarePN"});
        feed(&misc, {"BPD"}, {"Rx_BypassDisable"});
        for (const auto& b : Io_Boxes)
            feed(&io, {b.code}, {b.slot});
    }

    bool has(std::initializer_list<const char*> codes) const
    {
        for (const char* code : codes)
            if (!answers.contains(QLatin1String(code)))
                return false;
        return true;
    }
    // The tab's text where every code was read, "not read" otherwise.
    QString shown(std::initializer_list<const char*> codes, const QString& text) const
    {
        return has(codes) ? text : Not_Read_Text;
    }
    const Quillon::Packet_Shared_Ptr answer(const char* code) const
    {
        return answers.value(QLatin1String(code));
    }

    const QHash<QString, Quillon::Packet_Shared_Ptr>& answers;
    DevInfoDisplay dev;
    ErrorsDisplay faults;
    IODisplay io;
    MainDisplay main;
    MiscCtrl misc;

private:
    void feed(QObject* tab, std::initializer_list<const char*> codes,
              std::initializer_list<const char*> handlers)
    {
        auto slot = handlers.begin();
        for (const char* code : codes) {
            if (const Quillon::Packet_Shared_Ptr packet = answer(code))
                QMetaObject::invokeMethod(tab, *slot, Qt::DirectConnection,
                                          Q_ARG(QSharedPointer<Quillon::Packet_Class>, packet));
            ++slot;
        }
    }
};

// The warnings the status tab shows, judged on this one reading.
QStringList Warnings(const Tab_Views& v);
// The fault boxes the fault tab shows checked.
QStringList Active_Faults(const Tab_Views& v);
// The fault words not read, "FM2"...
QStringList Faults_Not_Read(const Tab_Views& v);

} // namespace Service_Report

#endif // APP_REPORT_REPORT_TAB_VIEWS_H
