#include "fault_names.h"

namespace Views {

QStringList Fault_Names(int word, int digits)
{
    // Flag digits 1-4 of each word, left to right after the first, which
    // carries no fault.
    static const char* const names[3][5] = {
        {nullptr, "compressor cool-off", "pressure sensor", "curb sensor", "driver sensor"},
        {nullptr, "driver valve time-out", "over-pressure", "air leak", "compressor time-out"},
        {nullptr, "reservoir valve time-out", "exhaust valve time-out", "over-temperature",
         "curb valve time-out"},
    };
    QStringList active;
    if (word < 0 || word > 2)
        return active;
    int scale = 10000;
    for (int flag = 0; flag < 5; ++flag, scale /= 10)
        if (names[word][flag] && (digits / scale) % 10 == 1)
            active << QLatin1String(names[word][flag]);
    return active;
}

} // namespace Views
