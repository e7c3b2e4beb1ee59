#include "report/report_writer.h"

#include "report/report_pdf.h"

#include <QFileInfo>
#include <QSaveFile>

namespace Service_Report {

namespace {

QByteArray html_bytes(const Data& data)
{
    return Html(data, Chart_Form::Svg).toUtf8();
}

} // namespace

QString Name_Error(const QString& file)
{
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("pdf") || suffix == QLatin1String("html") ||
        suffix == QLatin1String("htm"))
        return QString();
    return QStringLiteral("%1: a report is written as .pdf or .html").arg(file);
}

bool Write(const Data& data, const QString& file, QString* error)
{
    *error = Name_Error(file);
    if (!error->isEmpty())
        return false;
    const bool pdf = QFileInfo(file).suffix().toLower() == QLatin1String("pdf");
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    bool written = false;
    if (pdf) {
        written = Write_Pdf(data, &out);
    } else {
        const QByteArray bytes = html_bytes(data);
        written = out.write(bytes) == bytes.size();
    }
    if (!written || !out.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

} // namespace Service_Report
