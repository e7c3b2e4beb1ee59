#ifndef APP_REPORT_REPORT_DATA_H
#define APP_REPORT_REPORT_DATA_H

#include "diagnostics/test_result.h"
#include "tabs/fault_counts_class.h"
#include "tabs/maint_ctrl.h"

#include <Quillon.h>

#include <QDateTime>
#include <QHash>
#include <QImage>
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
    QList<MaintCtrl::Test_Run> tests;
    // The guided tests run this session, in the order they ended.
    QVector<Diagnostics::Result> results;
    // The running recording's file and its chart; empty when none runs.
    QString recording;
    QImage chart;
};

// The report as one HTML page, formatted as the program's tabs show each
// value; the chart, when there is one, is the image at `chart_source`.
QString Html(const Data& data, const QString& chart_source);

// The date and time with its time zone: "2026-12-07 06:15:02 CET (UTC+01:00)".
QString Time_Text(const QDateTime& when);

} // namespace Service_Report

#endif // APP_REPORT_REPORT_DATA_H
