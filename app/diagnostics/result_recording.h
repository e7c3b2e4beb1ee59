#ifndef APP_DIAGNOSTICS_RESULT_RECORDING_H
#define APP_DIAGNOSTICS_RESULT_RECORDING_H

// A guided test in a session recording: an event when it starts, and when it
// ends a row of `results` (test "guided_leak", "guided_sensors" or
// "guided_compressor", apart from the controller's own compressor test; the
// verdict "pass", "fail" or "inconclusive"; the result's JSON) and an event
// with its verdict line. The recorder tells them as they happen, for the
// charts' marks, and keeps them while it records.

#include "diagnostics/test_result.h"

class Session_Recorder;

namespace Diagnostics {

QString Recorded_Test_Name(Test_Kind kind);
void Record_Start(Session_Recorder* recorder, Test_Kind kind);
void Record_Result(Session_Recorder* recorder, const Result& result);

} // namespace Diagnostics

#endif // APP_DIAGNOSTICS_RESULT_RECORDING_H
