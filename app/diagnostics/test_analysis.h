#ifndef APP_DIAGNOSTICS_TEST_ANALYSIS_H
#define APP_DIAGNOSTICS_TEST_ANALYSIS_H

// The guided tests' judgement, on a series of samples alone: no port, no
// clock. The live runners feed them what they read; an opened recording can
// feed them what it holds.

#include "diagnostics/test_limits.h"
#include "diagnostics/test_result.h"
#include "diagnostics/test_samples.h"

namespace Diagnostics {

// Air leak-down: the reservoir's loss over spans with the compressor off and
// every valve shut, the compressor's starts, and each side's height loss over
// spans with that side's valve shut.
Result Analyse_Leak_Down(const Series& series, const Leak_Limits& limits);

// Compressor: the fill rate while it runs with the valves shut, its longest
// run, its temperature rise per minute of running and the highest
// temperature.
Result Analyse_Compressor(const Series& series, const Compressor_Limits& limits);

enum Side
{
    Driver = 0,
    Curb = 1
};

// One commanded move of the height-sensor test: the side raised (+1) or
// lowered (-1) from `begin`; `end` is when its effect is judged, after the
// release and a moment to settle.
struct Move_Phase
{
    int side = Driver;
    int direction = 1;
    double begin = 0;
    double end = 0;
};

// What a side's sensor did while its side was raised and then lowered.
namespace Sensor_State {
constexpr const char* Ok = "ok";
constexpr const char* Stuck = "stuck";       // stood still, and so did the other
constexpr const char* Reversed = "reversed"; // moved the wrong way
constexpr const char* Swapped = "swapped";   // stood still while the other followed
constexpr const char* Unclear = "unclear";   // none of these
} // namespace Sensor_State

// Height sensors: for each side, its raise and its lower phase. Findings
// "driver_sensor" and "curb_sensor" name each sensor's state.
Result Analyse_Sensors(const Series& series, const QVector<Move_Phase>& phases,
                       const Sensor_Limits& limits);

} // namespace Diagnostics

#endif // APP_DIAGNOSTICS_TEST_ANALYSIS_H
