#include "recording_reader.h"

#include <QFile>

#include <session_reader.h>

namespace Views {

bool Read_Recording(const QString& file, Recording_Views* out, QString* error)
{
    *out = Recording_Views();
    Recording::Reader reader;
    bool ok = reader.open(QFile::encodeName(file).toStdString());
    // Every reading in the order written, which is time order: one pass over
    // the table is several times faster than one index look-up per row; the
    // traces are put in time order afterwards, should a file not be.
    ok = ok && reader.readings(Recording::Reader::Order::Written, [&](const Recording::Reading& r) {
        const int channel = r.has_value ? Channel_Of(r.code.data()) : -1;
        if (channel >= 0)
            out->charts.Add(double(r.t_us) / 1e6, channel, r.value);
        return true;
    });
    out->charts.Sort();
    if (ok)
        return true;
    *out = Recording_Views();
    *error =
        QStringLiteral("Cannot open %1: %2.").arg(file, QString::fromStdString(reader.error()));
    return false;
}

} // namespace Views
