#include "recording_reader.h"

#include <QFile>
#include <QSettings>

#include <algorithm>

#include <session_reader.h>

namespace Views {

bool Read_Recording(const QString& file, Recording_Views* out, QString* error)
{
    *out = Recording_Views();
    Recording::Reader reader;
    bool ok = reader.open(QFile::encodeName(file).toStdString());
    // Heights with the lever length set now; the clock from the session's
    // start.
    out->charts.Set_Lever_Length(QSettings().value(QStringLiteral("System/ll"), 6.0).toDouble());
    if (ok)
        out->charts.Set_Start(QDateTime::fromString(
            QString::fromStdString(reader.session_value("started")), Qt::ISODateWithMs));
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
    const auto text = [](const std::string& s) { return QString::fromStdString(s); };
    ok = ok && reader.events([&](const Recording::Event& e) {
        out->marks.append({double(e.t_us) / 1e6, text(e.kind), text(e.text)});
        return true;
    });
    ok = ok && reader.results([&](const Recording::Result& r) {
        out->marks.append({double(r.t_us) / 1e6, QStringLiteral("result"),
                           Result_Text(text(r.test), text(r.verdict), text(r.summary))});
        return true;
    });
    ok = ok && reader.markers([&](const Recording::Marker& m) {
        out->marks.append({double(m.t_us) / 1e6, QStringLiteral("marker"), text(m.text)});
        return true;
    });
    std::stable_sort(out->marks.begin(), out->marks.end(),
                     [](const Mark& a, const Mark& b) { return a.t_s < b.t_s; });
    if (ok)
        return true;
    *out = Recording_Views();
    *error =
        QStringLiteral("Cannot open %1: %2.").arg(file, QString::fromStdString(reader.error()));
    return false;
}

} // namespace Views
