#include "diagnostics/recording_analysis.h"

#include "diagnostics/test_analysis.h"

#include <session_reader.h>

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace Diagnostics {

namespace {

// An hour's recording holds hundreds of thousands of readings; a tenth of a
// second is finer than any rate the analyses measure.
constexpr double Resolution_Seconds = 0.1;

double stored_lever()
{
    bool ok = false;
    const double inches = QSettings().value(QStringLiteral("System/ll"), 6.0).toDouble(&ok);
    return ok && inches > 0 ? inches : 6.0;
}

Result refused(Test_Kind kind, const QString& why, QString* error)
{
    if (error)
        *error = why;
    Result result;
    result.test = kind;
    result.outcome = Outcome::Inconclusive;
    result.reason_code = QLatin1String(Reason::Not_Run);
    result.reason = why;
    result.summary = QStringLiteral("not analysed");
    return result;
}

} // namespace

bool Recording_Series(const QString& file, double from_s, double to_s, Series* series,
                      QString* error)
{
    Recording::Reader reader;
    if (!reader.open(QFile::encodeName(file).toStdString())) {
        *error = QStringLiteral("%1: %2").arg(QFileInfo(file).fileName(),
                                              QString::fromStdString(reader.error()));
        return false;
    }
    Series_Builder builder(stored_lever());
    builder.Set_Resolution(Resolution_Seconds);
    const QStringList& codes = Series_Builder::Codes();
    const bool read = reader.readings(Recording::Reader::Order::Time, [&](const auto& r) {
        const double t = double(r.t_us) / 1e6;
        if (t > to_s)
            return false;
        const QString code = QString::fromLatin1(r.code.data(), int(r.code.size()));
        if (codes.contains(code))
            builder.Add(t, code, r.has_value ? r.value : double(r.raw));
        return true;
    });
    if (!read) {
        *error = QString::fromStdString(reader.error());
        return false;
    }
    series->clear();
    for (const Sample& s : builder.Samples()) {
        if (s.t < from_s)
            continue;
        series->push_back(s);
        series->back().t -= from_s;
    }
    return true;
}

bool Runs_On_Recording(Test_Kind kind)
{
    return kind != Test_Kind::Sensors;
}

Result Analyse_Recording(const QString& file, Test_Kind kind, double from_s, double to_s,
                         QString* error)
{
    if (!Runs_On_Recording(kind))
        return refused(kind,
                       QStringLiteral("The height-sensor test moves the vehicle: it runs only "
                                      "on a connected controller."),
                       error);
    if (!(from_s >= 0) || !(to_s > from_s))
        return refused(kind, QStringLiteral("The span to analyse is empty."), error);
    Series series;
    QString why;
    if (!Recording_Series(file, from_s, to_s, &series, &why))
        return refused(kind, why, error);
    const Test_Limits limits;
    Result result = kind == Test_Kind::Leak_Down ? Analyse_Leak_Down(series, limits.Leak())
                                                 : Analyse_Compressor(series, limits.Compressor());
    result.seconds = series.empty() ? 0 : series.back().t;
    if (error)
        error->clear();
    return result;
}

} // namespace Diagnostics
