#ifndef APP_DIAGNOSTICS_RECORDING_ANALYSIS_H
#define APP_DIAGNOSTICS_RECORDING_ANALYSIS_H

// The leak-down and compressor analyses over a session recording: what the
// live test would have judged, had it watched the same readings. The
// height-sensor test commands moves of its own and so runs only live.

#include "diagnostics/test_limits.h"
#include "diagnostics/test_samples.h"

#include <QString>

#include <limits>

namespace Diagnostics {

constexpr double Whole_Recording = std::numeric_limits<double>::infinity();

// The series of a recording between FROM_S and TO_S, seconds on the
// recording's own clock; each sample still holds the last value read before
// FROM_S, and its time counts from FROM_S. False with *error when the file
// cannot be read.
bool Recording_Series(const QString& file, double from_s, double to_s, Series* series,
                      QString* error);

// True when the analysis of KIND can run on a recording.
bool Runs_On_Recording(Test_Kind kind);

// The analysis of KIND over the recording, or between FROM_S and TO_S, with
// the limits the user keeps. A recording that cannot be read, or a test that
// runs only live, gives an inconclusive result that says why, and *error.
Result Analyse_Recording(const QString& file, Test_Kind kind, double from_s = 0,
                         double to_s = Whole_Recording, QString* error = nullptr);

} // namespace Diagnostics

#endif // APP_DIAGNOSTICS_RECORDING_ANALYSIS_H
