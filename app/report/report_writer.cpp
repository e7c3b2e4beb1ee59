#include "report/report_writer.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QLocale>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QUrl>

namespace Service_Report {

namespace {

// A4, or Letter where the locale measures in US units.
QPageSize page_size()
{
    return QPageSize(QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                : QPageSize::A4);
}

bool write_pdf(const Data& data, QIODevice* out)
{
    const QString chart = QStringLiteral("report-chart.png");
    QTextDocument document;
    // Text as the reader would search it: "off", not a ligature of its own.
    QFont font = document.defaultFont();
    font.setPointSizeF(10);
    font.setStyleStrategy(QFont::PreferNoShaping);
    document.setDefaultFont(font);
    if (!data.chart.isNull())
        document.addResource(QTextDocument::ImageResource, QUrl(chart), data.chart);
    document.setHtml(Html(data, chart));
    QPdfWriter pdf(out);
    pdf.setTitle(QStringLiteral("Vantor Service Report"));
    pdf.setCreator(QStringLiteral("Vantor ") + data.program_version);
    pdf.setPageSize(page_size());
    pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    // Laid out on the page itself (no page numbers of its own), at the
    // resolution the chart's pixel size is meant for.
    pdf.setResolution(96);
    document.documentLayout()->setPaintDevice(&pdf);
    document.setPageSize(pdf.pageLayout().paintRectPixels(pdf.resolution()).size());
    document.print(&pdf);
    return true;
}

QByteArray html_bytes(const Data& data)
{
    QString chart;
    if (!data.chart.isNull()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        data.chart.save(&buffer, "PNG");
        chart = QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
    }
    return Html(data, chart).toUtf8();
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
        written = write_pdf(data, &out);
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
