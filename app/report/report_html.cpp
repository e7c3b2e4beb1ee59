// The report's page: the verdict first, then the job, everything read from
// the controller as the tabs show it, the tests, the chart and the
// signatures. Every text from the controller or a person is cleaned and
// escaped here, in one place.

#include "report/report_data.h"
#include "report/report_page_style.h"
#include "report/report_tab_views.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QTableWidgetItem>

using namespace Quillon;

namespace Service_Report {

const QString Not_Read_Text = QStringLiteral("not read");
const QString Chart_Placeholder = QStringLiteral("[report chart]");

namespace {

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

// Any text as it may stand in the page: control characters dropped, line
// breaks kept as breaks, markup escaped.
QString text(const QString& raw, int longest = 4000)
{
    return Clean_Text(raw, longest, true)
        .toHtmlEscaped()
        .replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

// Each section is a heading and one table, kept together on a page.
class Page
{
public:
    void heading(const QString& title, int level = 2)
    {
        close_table();
        html += QStringLiteral("<h%1>%2</h%1>\n").arg(level).arg(text(title));
    }
    void row(const QString& label, const QString& value, const QString& mark = QString())
    {
        open_table();
        html += QStringLiteral("<tr><td width=\"40%\">%1</td><td>%2%3</td></tr>\n")
                    .arg(text(label), text(value), mark);
    }
    // A row of cells already escaped, with its class.
    void cells(const QStringList& escaped, const QString& css_class = QString())
    {
        open_table();
        html += css_class.isEmpty() ? QStringLiteral("<tr>")
                                    : QStringLiteral("<tr class=\"%1\">").arg(css_class);
        for (const QString& cell : escaped)
            html += QStringLiteral("<td>") + cell + QStringLiteral("</td>");
        html += QStringLiteral("</tr>\n");
    }
    void paragraph(const QString& value)
    {
        close_table();
        html += QStringLiteral("<p>%1</p>\n").arg(text(value));
    }
    void close_table()
    {
        if (in_table)
            html += QStringLiteral("</table>\n");
        in_table = false;
    }
    QString html;

private:
    void open_table()
    {
        if (!in_table)
            html += QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\">\n");
        in_table = true;
    }
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
    // Tenths, as the charts show pressure: 144.9 psi is not 144.
    const auto pxv = qobject_cast<Packet_Resp_Pressure*>(v.answer("PXV").data());
    const QString psi = pressure_faulted || !pxv ? field(&v.main, "tbxResPsi")
                                                 : QString::number(pxv->Pressure(), 'f', 1);
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

    const QStringList warnings = Warnings(v);
    page.row(QStringLiteral("Warnings"),
             warnings.isEmpty() ? QStringLiteral("None") : warnings.join(QStringLiteral("; ")));
}

void faults_section(Page& page, Tab_Views& v)
{
    page.heading(QStringLiteral("Faults"));
    const QStringList missing = Faults_Not_Read(v);
    const QStringList active = Active_Faults(v);
    for (const QString& fault : active)
        page.row(fault, QStringLiteral("active"));
    if (!missing.isEmpty())
        page.row(QStringLiteral("Fault words ") + missing.join(QStringLiteral(", ")),
                 Not_Read_Text);
    else if (active.isEmpty())
        page.row(QStringLiteral("No active faults"), QString());
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
            page.row(QStringLiteral("Recorded ") + Stamp_Text(it.key()),
                     QString::number(it.value()) + QLatin1String(c.unit));
    }
}

// A verdict word in its colour, inline so that the PDF shows it too.
QString status_cell(const QString& status)
{
    static const QHash<QString, QString> Colours = {
        {QStringLiteral("PASS"), QStringLiteral("#006400")},
        {QStringLiteral("FAIL"), QStringLiteral("#b00000")},
        {QStringLiteral("INCOMPLETE"), QStringLiteral("#a05a00")},
        {QStringLiteral("INCONCLUSIVE"), QStringLiteral("#a05a00")}};
    return QStringLiteral("<b style=\"color: %1\">%2</b>")
        .arg(Colours.value(status, QStringLiteral("#000000")), status);
}

void verdict_section(Page& page, const Data& data)
{
    const QVector<Check> checks = Checks(data);
    const Check::Status overall = Overall(checks);
    page.close_table();
    page.html += QStringLiteral("<h2>Verdict</h2>\n<p class=\"overall\" style=\"font-size: 14pt; "
                                "font-weight: bold\">Overall: %1</p>\n")
                     .arg(status_cell(Status_Text(overall)));
    for (const Check& c : checks)
        page.cells({status_cell(Status_Text(c.status)), text(c.name), text(c.text)},
                   Status_Text(c.status).toLower());
}

void job_section(Page& page, const Job_Info& job)
{
    page.heading(QStringLiteral("Job"));
    if (job.Is_Empty())
        page.row(QStringLiteral("Job"), QStringLiteral("Not entered"));
    for (const auto& entry : job.Entries()) {
        const bool bad_vin =
            entry.first == QLatin1String("vin") && !Job_Info::Vin_Valid(entry.second);
        page.row(Job_Info::Label(entry.first), entry.second,
                 bad_vin
                     ? QStringLiteral(" <span class=\"mark\">(not a valid 17-character VIN)</span>")
                     : QString());
    }
}

void compressor_section(Page& page, const Data& data)
{
    page.heading(QStringLiteral("Compressor test"));
    if (data.compressor_runs.isEmpty())
        page.row(QStringLiteral("Compressor test"), QStringLiteral("Not run"));
    for (const MaintCtrl::Test_Run& run : data.compressor_runs)
        page.row(run.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                     (run.passed ? QStringLiteral(" passed") : QStringLiteral(" failed")),
                 run.verdict + QStringLiteral(" (") + MaintCtrl::Elapsed_Text(run.elapsed_ms) +
                     QStringLiteral(")"));
}

// Each guided test: its verdict, then every figure beside its limit.
void tests_section(Page& page, const Data& data)
{
    for (const Diagnostics::Result& r : data.tests) {
        page.heading(Diagnostics::Test_Title(r.test) + QStringLiteral(" test") +
                         (r.started.isValid()
                              ? r.started.toString(QStringLiteral(", yyyy-MM-dd HH:mm:ss"))
                              : QString()),
                     3);
        const QString outcome = Diagnostics::Outcome_Text(r.outcome);
        page.cells({status_cell(outcome), text(r.summary), QString(), QString()},
                   outcome.toLower());
        if (!r.reason.isEmpty())
            page.cells({QStringLiteral("Reason"), text(r.reason), QString(), QString()});
        for (const Diagnostics::Figure& f : r.figures)
            page.cells(
                {text(f.name),
                 f.Measured() ? text(Diagnostics::Figure::Number(f.value, f.decimals) +
                                     QLatin1Char(' ') + f.unit)
                              : QStringLiteral("not measured"),
                 text(f.Limit_Text()),
                 f.kind == Diagnostics::Figure::No_Limit
                     ? QString()
                     : text(f.Passed() ? QStringLiteral("within") : QStringLiteral("outside"))});
        for (auto it = r.findings.constBegin(); it != r.findings.constEnd(); ++it)
            page.cells({text(QString(it.key()).replace(QLatin1Char('_'), QLatin1Char(' '))),
                        text(it.value()), QString(), QString()});
    }
}

void chart_section(Page& page, const Data& data, Chart_Form form)
{
    if (data.recording.isEmpty() && data.chart.Is_Empty())
        return;
    page.heading(QStringLiteral("Chart"));
    if (!data.recording.isEmpty())
        page.row(QStringLiteral("Recording"), data.recording);
    page.close_table();
    // In a table of its own, so that the chart keeps to its heading's page.
    if (!data.chart.Is_Empty())
        page.html += QStringLiteral("<table class=\"chart\" width=\"100%\"><tr><td>%1</td></tr>"
                                    "</table>\n")
                         .arg(form == Chart_Form::Svg ? Chart_Svg(data.chart) : Chart_Placeholder);
}

// Room to sign: two boxes side by side, each with its name beneath.
void signatures_section(Page& page, const Job_Info& job)
{
    page.heading(QStringLiteral("Signatures"));
    // A line to sign on, drawn with text so that every renderer shows it.
    const QString box = QStringLiteral("<td class=\"sign\" width=\"50%\"><br><br><br>"
                                       "______________________________</td>");
    page.close_table();
    page.html +=
        QStringLiteral("<table class=\"signatures\" width=\"100%\" cellspacing=\"8\" "
                       "cellpadding=\"2\">\n<tr>") +
        box + box +
        QStringLiteral(
            "</tr>\n<tr><td>Technician's signature</td><td>Customer's signature</td></tr>\n"
            "<tr><td>Technician: %1</td><td>Customer: %2</td></tr>\n"
            "<tr><td>Date:</td><td>Date:</td></tr>\n</table>\n")
            .arg(text(job.technician, 200), text(job.customer, 200));
}

} // namespace

QString Stamp_Text(qint64 stamp)
{
    // YYMMDDhhmmss, local time.
    const QString d = QString::number(stamp).rightJustified(12, QLatin1Char('0'));
    return QStringLiteral("20%1-%2-%3 %4:%5:%6")
        .arg(d.mid(0, 2), d.mid(2, 2), d.mid(4, 2), d.mid(6, 2), d.mid(8, 2), d.mid(10, 2));
}

QString Time_Text(const QDateTime& when)
{
    const int offset = when.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + when.timeZoneAbbreviation() +
           QString::asprintf(", UTC%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60,
                             minutes % 60);
}

QString Serial_Text(const Data& data)
{
    Tab_Views views(data.answers);
    return views.shown({"SN1", "SN2", "SN3", "SN4"}, field(&views.dev, "tbxSN"));
}

QString Html(const Data& data, Chart_Form form)
{
    Tab_Views views(data.answers);
    const QString serial = views.shown({"SN1", "SN2", "SN3", "SN4"}, field(&views.dev, "tbxSN"));
    Page page;
    page.html =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>%1</title>\n<style>\n%2</style>\n</head>\n<body>\n"
                       "<h1>%1</h1>\n")
            .arg(Title, Style_Sheet(serial, Time_Text(data.created)));
    page.row(QStringLiteral("Date"), Time_Text(data.created));
    page.row(QStringLiteral("Controller serial number"), serial);
    page.row(QStringLiteral("Program version"), data.program_version);
    page.row(QStringLiteral("Port"), data.port);
    verdict_section(page, data);
    job_section(page, data.job);
    controller_section(page, views);
    readings_section(page, views);
    faults_section(page, views);
    maintenance_section(page, data, views);
    compressor_section(page, data);
    tests_section(page, data);
    chart_section(page, data, form);
    signatures_section(page, data.job);
    page.close_table();
    page.html += QStringLiteral("</body>\n</html>\n");
    return page.html;
}

} // namespace Service_Report
