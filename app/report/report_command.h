#ifndef APP_REPORT_REPORT_COMMAND_H
#define APP_REPORT_REPORT_COMMAND_H

#include "diagnostics/test_result.h"
#include "report/job_info.h"
#include "report/report_chart.h"
#include "tabs/fault_counts_class.h"

#include <QList>
#include <QString>

namespace Service_Report {

// The command line's report: opens the port, reads everything once, writes
// the report and returns the exit status. Anything not read, or not written,
// is one line on the error output, status 1 and no file. TESTS are the
// guided tests run before it, CHART the last one's.
int Run_Command(const QString& port, const QString& file, const Job_Info& job = Job_Info(),
                const QVector<Diagnostics::Result>& tests = {}, const Chart& chart = Chart());

// The counter histories from the history file, without creating it; empty
// when there is none.
QList<fc_map_type> Stored_History();

} // namespace Service_Report

#endif // APP_REPORT_REPORT_COMMAND_H
