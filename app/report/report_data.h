#ifndef APP_REPORT_REPORT_DATA_H
#define APP_REPORT_REPORT_DATA_H

#include "diagnostics/test_result.h"
#include "report/job_info.h"
#include "report/report_chart.h"
#include "tabs/fault_counts_class.h"
#include "tabs/maint_ctrl.h"

#include <Quillon.h>

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

namespace Service_Report {

// Shown wherever a value's request went unanswered: never a stale or a
// default value in its place.
extern const QString Not_Read_Text;

// Everything a service report shows: the controller's answers as read, and
// what the program itself knows.
struct Data
{
    QDateTime created;
    QString program_version;
    QString port;
    // The valid answers by command code; a code that is absent was not read.
    QHash<QString, Quillon::Packet_Shared_Ptr> answers;
    // The counter histories in the maintenance tab's series order (on time,
    // compressor time, overheat count); empty when there is no history file.
    QList<fc_map_type> history;
    // The maintenance tab's compressor tests of this session.
    QList<MaintCtrl::Test_Run> compressor_runs;
    // The guided tests run this session, in the order they ran.
    QVector<Diagnostics::Result> tests;
    Job_Info job;
    // The running recording's file; empty when none runs.
    QString recording;
    // Over the recording, or the last test's span; empty for no chart.
    Chart chart;
};

// Where the chart goes in a page: an inline SVG for the HTML file, or an
// object the PDF's layout paints in its place.
enum class Chart_Form
{
    Svg,
    Placeholder
};
// Marks the chart's place in the page with Chart_Form::Placeholder.
extern const QString Chart_Placeholder;

// The report as one complete HTML page, formatted as the program's tabs
// show each value.
QString Html(const Data& data, Chart_Form form = Chart_Form::Svg);

// The controller's serial number as the device tab shows it, or "not read".
QString Serial_Text(const Data& data);

// A counter history's stamp (YYMMDDhhmmss, local time) as a date and time.
QString Stamp_Text(qint64 stamp);

// One line of the verdict: what was checked and how it came out.
struct Check
{
    enum Status
    {
        Pass,
        Fail,
        Incomplete,
        Note // said, but no part of the verdict
    };
    Status status = Pass;
    QString name;
    QString text;
};
// The checks behind the verdict, and the verdict: FAIL when any failed,
// INCOMPLETE when none failed but one could not be judged, PASS otherwise.
QVector<Check> Checks(const Data& data);
Check::Status Overall(const QVector<Check>& checks);
// "PASS", "FAIL", "INCOMPLETE", "NOTE".
QString Status_Text(Check::Status status);

// The date and time with its time zone: "2026-12-07 06:15:02 CET (UTC+01:00)".
QString Time_Text(const QDateTime& when);

} // namespace Service_Report

#endif // APP_REPORT_REPORT_DATA_H
