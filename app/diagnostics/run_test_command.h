#ifndef APP_DIAGNOSTICS_RUN_TEST_COMMAND_H
#define APP_DIAGNOSTICS_RUN_TEST_COMMAND_H

// One guided test from the command line, without a window: opens the port,
// runs the test to its end, prints its verdict line (or its JSON) and
// returns the exit status scripts read.

#include "diagnostics/test_result.h"
#include "report/job_info.h"

#include <QString>

#include <cmath>

namespace Diagnostics {

namespace Exit {
constexpr int Pass = 0;
constexpr int Not_Read = 1; // the port or the controller could not be read
constexpr int Fail = 3;
constexpr int Inconclusive = 4;
} // namespace Exit

// The exit status for a result.
int Exit_Status(const Result& result);

struct Run_Test_Request
{
    QString port;
    Test_Kind test = Test_Kind::Leak_Down;
    double minutes = std::nan(""); // the test's own length unless set
    bool json = false;
    QString report;               // a service report with the result, when set
    QString record;               // a session recording of the test, when set
    Service_Report::Job_Info job; // for the report and the recording
};

int Run_Test_Command(const Run_Test_Request& request);

} // namespace Diagnostics

#endif // APP_DIAGNOSTICS_RUN_TEST_COMMAND_H
