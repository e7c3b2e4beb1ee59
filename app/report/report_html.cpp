// The report's text. Each value is formatted by the tab that shows it in the
// window: the tabs are built off screen, handed the answers through their
// own slots, and their fields read back.

#include "report/report_data.h"

#include "tabs/dev_info_display.h"
#include "tabs/errors_display.h"
#include "tabs/io_display.h"
#include "tabs/lever_length_form.h"
#include "tabs/main_display.h"
#include "tabs/misc_ctrl.h"
#include "tabs/suspension_heights_class.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QTableWidgetItem>

using namespace Quillon;

namespace Service_Report {

const QString Not_Read_Text = QStringLiteral("not read");

namespace {

// The I/O tab's boxes, the command each shows and the slot that takes it.
const struct
{
    const char* code;
    const char* slot;
    const char* box;
} Io_Boxes[] = {
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

// The maintenance counters in the report's order, with their history series.
const struct
{
    const char* code;
    const char* name;
    const char* unit;
    int series;
} Counters[] = {
    {"CPT", "Compressor time", " hours", 1},
    {"IGT", "On time", " hours", 0},
    {"OTC", "Compressor overheat count", "", 2},
};

QString plain(const QString& label)
{
    return QString(label).remove(QLatin1Char('&'));
}

QString field(const QWidget* tab, const char* name)
{
    const QObject* child = tab->findChild<QObject*>(QLatin1String(name));
    return child ? child->property("text").toString() : QString();
}

// The tabs that format the values, built off screen and fed the answers.
class Tab_Views
{
public:
    explicit Tab_Views(const QHash<QString, Packet_Shared_Ptr>& answers) : answers(answers)
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
    const Packet_Shared_Ptr answer(const char* code) const
    {
        return answers.value(QLatin1String(code));
    }

    const QHash<QString, Packet_Shared_Ptr>& answers;
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
            if (const Packet_Shared_Ptr packet = answer(code))
                QMetaObject::invokeMethod(tab, *slot, Qt::DirectConnection,
                                          Q_ARG(QSharedPointer<Quillon::Packet_Class>, packet));
            ++slot;
        }
    }
};

class Page
{
public:
    void heading(const QString& text)
    {
        close_table();
        html += QStringLiteral("<h2>%1</h2>\n").arg(text.toHtmlEscaped());
    }
    void row(const QString& label, const QString& value)
    {
        if (!in_table)
            html += QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\">\n");
        in_table = true;
        html += QStringLiteral("<tr><td width=\"40%\">%1</td><td>%2</td></tr>\n")
                    .arg(label.toHtmlEscaped(), value.toHtmlEscaped());
    }
    void paragraph(const QString& text)
    {
        close_table();
        html += QStringLiteral("<p>%1</p>\n").arg(text.toHtmlEscaped());
    }
    void close_table()
    {
        if (in_table)
            html += QStringLiteral("</table>\n");
        in_table = false;
    }
    QString html;

private:
    bool in_table = false;
};

QString angle_cell(const Tab_Views& v, const char* code, int column)
{
    const QTableWidgetItem* cell =
        v.main.Heights()->item(Suspension_Heights_Class::Angle_Row, column);
    // A sensor the fault word reports as faulted shows so, read or not.
    if (cell && cell->text() == Suspension_Heights_Class::tr("Faulted"))
        return cell->text();
    return v.shown({code}, cell ? cell->text() : QString());
}

QString height_cell(const Tab_Views& v, const char* code, int column)
{
    const QTableWidgetItem* cell =
        v.main.Heights()->item(Suspension_Heights_Class::Distance_Row, column);
    return v.shown({code}, cell ? cell->text() : QString());
}

QString stamp_text(qint64 stamp)
{
    // YYMMDDhhmmss, local time.
    const QString d = QString::number(stamp).rightJustified(12, QLatin1Char('0'));
    return QStringLiteral("20%1-%2-%3 %4:%5:%6")
        .arg(d.mid(0, 2), d.mid(2, 2), d.mid(4, 2), d.mid(6, 2), d.mid(8, 2), d.mid(10, 2));
}

void controller_section(Page& page, Tab_Views& v)
{
    page.heading(QStringLiteral("Controller"));
    page.row(QStringLiteral("Serial number"),
             v.shown({"SN1", "SN2", "SN3", "SN4"}, field(&v.dev, "tbxSN")));
    page.row(QStringLiteral("Firmware part number"),
             v.shown({"PRT", "REV"}, field(&v.dev, "tbxFirmwareVer")));
    QString mode;
    for (QRadioButton* button : v.misc.findChildren<QRadioButton*>())
        if (button->isChecked())
            mode = plain(button->text());
    page.row(QStringLiteral("Controller mode"), v.shown({"BPD"}, mode));
    page.row(QStringLiteral("Lever length"),
             QString::number(v.misc.Lever_Length_Editor()->lever_length(), 'f', 1) +
                 QStringLiteral(" in"));
}

void readings_section(Page& page, Tab_Views& v)
{
    page.heading(QStringLiteral("Live readings"));
    using H = Suspension_Heights_Class;
    page.row(QStringLiteral("Driver's side angle"), angle_cell(v, "DSA", H::Driver_Column));
    page.row(QStringLiteral("Curb side angle"), angle_cell(v, "PSA", H::Curb_Column));
    page.row(QStringLiteral("Driver's side height"), height_cell(v, "DSA", H::Driver_Column));
    page.row(QStringLiteral("Curb side height"), height_cell(v, "PSA", H::Curb_Column));
    const bool pressure_faulted = v.main.Pressure_Faulted();
    const QString psi = field(&v.main, "tbxResPsi");
    page.row(QStringLiteral("Reservoir pressure"),
             pressure_faulted ? psi : v.shown({"PXV"}, psi + QStringLiteral(" psi")));
    auto units = v.main.findChild<QComboBox*>(QStringLiteral("cbxCompTempUnits"));
    QStringList temperatures;
    for (int i = 0; units && i < units->count(); ++i) {
        units->setCurrentIndex(i);
        temperatures << field(&v.main, "tbxCompTemp") + QLatin1Char(' ') + units->itemText(i);
    }
    page.row(QStringLiteral("Compressor temperature"),
             v.shown({"OAT"}, temperatures.join(QStringLiteral(" / "))));
    page.row(QStringLiteral("Battery voltage"),
             v.shown({"IGV"}, field(&v.main, "tbxBatteryVolts") + QStringLiteral(" V")));
    page.row(QStringLiteral("Operating mode"), v.shown({"MOD"}, field(&v.main, "tbxMode")));
    for (const auto& b : Io_Boxes) {
        auto box = v.io.findChild<QCheckBox*>(QLatin1String(b.box));
        auto group = qobject_cast<QGroupBox*>(box->parentWidget());
        const QString label =
            (group ? group->title() + QStringLiteral(": ") : QString()) + plain(box->text());
        page.row(label, v.shown({b.code},
                                box->isChecked() ? QStringLiteral("on") : QStringLiteral("off")));
    }

    // The warnings the status tab shows, judged on this one reading.
    QStringList warnings;
    if (const auto igv = qobject_cast<Packet_Resp_Voltage*>(v.answer("IGV").data())) {
        if (igv->Voltage() >= MainDisplay::Battery_No_Battery_Below &&
            igv->Voltage() < MainDisplay::Battery_Warning_Below)
            warnings << QStringLiteral("Battery Under-voltage warning");
    }
    const auto pxv = qobject_cast<Packet_Resp_Pressure*>(v.answer("PXV").data());
    if (pxv && !pressure_faulted && pxv->Pressure() < MainDisplay::Pressure_Warning_Below)
        warnings << QStringLiteral("Reservoir pressure under 90 PSI");
    if (pxv && !pressure_faulted && pxv->Pressure() > MainDisplay::Pressure_Warning_Above)
        warnings << QStringLiteral("Reservoir pressure over 175 PSI");
    page.row(QStringLiteral("Warnings"),
             warnings.isEmpty() ? QStringLiteral("None") : warnings.join(QStringLiteral("; ")));
}

void faults_section(Page& page, Tab_Views& v)
{
    page.heading(QStringLiteral("Faults"));
    QStringList missing;
    for (const char* word : {"FM1", "FM2", "FM3"})
        if (!v.has({word}))
            missing << QLatin1String(word);
    int active = 0;
    for (QCheckBox* box : v.faults.findChildren<QCheckBox*>()) {
        if (box->isChecked()) {
            page.paragraph(plain(box->text()));
            ++active;
        }
    }
    if (!missing.isEmpty())
        page.paragraph(QStringLiteral("Fault words %1: %2")
                           .arg(missing.join(QStringLiteral(", ")), Not_Read_Text));
    else if (active == 0)
        page.paragraph(QStringLiteral("No active faults"));
}

void maintenance_section(Page& page, const Data& data, Tab_Views& v)
{
    page.heading(QStringLiteral("Maintenance"));
    for (const auto& c : Counters) {
        const auto value = qobject_cast<Packet_Resp_UInt16*>(v.answer(c.code).data());
        page.row(QLatin1String(c.name),
                 value ? QString::number(value->Raw_Value()) + QLatin1String(c.unit)
                       : Not_Read_Text);
        const fc_map_type history = data.history.value(c.series);
        if (history.isEmpty())
            page.row(QLatin1String(c.name) + QStringLiteral(" history"),
                     QStringLiteral("No history file"));
        for (auto it = history.constBegin(); it != history.constEnd(); ++it)
            page.row(QStringLiteral("Recorded ") + stamp_text(it.key()),
                     QString::number(it.value()) + QLatin1String(c.unit));
    }
}

} // namespace

QString Time_Text(const QDateTime& when)
{
    const int offset = when.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + when.timeZoneAbbreviation() +
           QString::asprintf(", UTC%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60,
                             minutes % 60);
}

QString Html(const Data& data, const QString& chart_source)
{
    Tab_Views views(data.answers);
    Page page;
    page.html = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>Vantor Service "
                               "Report</title></head><body>\n<h1>Vantor Service Report</h1>\n");
    page.row(QStringLiteral("Date"), Time_Text(data.created));
    page.row(QStringLiteral("Program version"), data.program_version);
    page.row(QStringLiteral("Port"), data.port);
    controller_section(page, views);
    readings_section(page, views);
    faults_section(page, views);
    maintenance_section(page, data, views);

    page.heading(QStringLiteral("Compressor test"));
    if (data.tests.isEmpty())
        page.paragraph(QStringLiteral("Not run"));
    for (const MaintCtrl::Test_Run& run : data.tests)
        page.row(run.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                     (run.passed ? QStringLiteral(" passed") : QStringLiteral(" failed")),
                 run.verdict + QStringLiteral(" (") + MaintCtrl::Elapsed_Text(run.elapsed_ms) +
                     QStringLiteral(")"));

    if (!data.recording.isEmpty()) {
        page.heading(QStringLiteral("Recording"));
        page.row(QStringLiteral("File"), data.recording);
        page.close_table();
        if (!data.chart.isNull())
            page.html += QStringLiteral("<p><img src=\"%1\" width=\"%2\" height=\"%3\"></p>\n")
                             .arg(chart_source.toHtmlEscaped())
                             .arg(data.chart.width())
                             .arg(data.chart.height());
    }
    page.close_table();
    page.html += QStringLiteral("</body></html>\n");
    return page.html;
}

} // namespace Service_Report
