#ifndef APP_VIEWS_RECORDING_READER_H
#define APP_VIEWS_RECORDING_READER_H

#include "chart_data.h"
#include "event_marks.h"

#include <QString>

namespace Views {

// What the charts show of a session recording; the traffic monitor reads
// its rows from the file itself.
struct Recording_Views
{
    Chart_Data charts;
    // The session's events, test results and markers, in time order.
    QVector<Mark> marks;
};

// Reads a recording without changing it (opened read-only). Refuses a file
// that is no recording or one of a newer format, saying why in *error.
bool Read_Recording(const QString& file, Recording_Views* out, QString* error);

} // namespace Views

#endif // APP_VIEWS_RECORDING_READER_H
