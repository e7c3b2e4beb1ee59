#include "report/report_page_style.h"

#include "report/job_info.h"

#include <QLocale>

namespace Service_Report {

const QString Title = QStringLiteral("Vantor Service Report");

namespace {

// A CSS string with every character that is not a letter, a digit or a
// space escaped: nothing in it can end the string or the style element.
QString css_string(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : Clean_Text(text)) {
        if (c.isLetterOrNumber() || c == QLatin1Char(' '))
            out += c;
        else
            out += QStringLiteral("\\%1 ").arg(c.unicode(), 0, 16);
    }
    return out + QLatin1Char('"');
}

} // namespace

QPageSize Page_Size()
{
    return QPageSize(QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                : QPageSize::A4);
}

QString Header_Text(const QString& serial, const QString& date)
{
    return QStringLiteral("%1 - Serial %2 - %3").arg(Title, Clean_Text(serial), date);
}

QString Footer_Text(int page, int pages)
{
    return QStringLiteral("Page %1 of %2").arg(page).arg(pages);
}

QString Style_Sheet(const QString& serial, const QString& date)
{
    const bool letter = Page_Size().id() == QPageSize::Letter;
    return QStringLiteral(
               "@page { size: %1; margin: %2mm %3mm %4mm %5mm;\n"
               "  @top-center { content: %6; font: 9pt sans-serif; }\n"
               "  @bottom-center { content: \"Page \" counter(page) \" of \" counter(pages);"
               " font: 9pt sans-serif; } }\n"
               "body { font-family: sans-serif; font-size: %7pt; color: #000; }\n"
               "@media screen { body { max-width: 180mm; margin: 1em auto; } }\n"
               "h1 { font-size: 16pt; }\n"
               "h2 { font-size: 12pt; margin-top: 12pt; break-after: avoid; "
               "page-break-after: avoid; }\n"
               "h3 { font-size: 10.5pt; break-after: avoid; page-break-after: avoid; }\n"
               "table { width: 100%; border-collapse: collapse; break-inside: avoid; "
               "page-break-inside: avoid; }\n"
               "td { padding: 2px; vertical-align: top; }\n"
               ".mark { color: #c03000; }\n"
               "table.chart svg { max-width: 100%; height: auto; }\n"
               "td.sign { vertical-align: bottom; }\n")
        .arg(letter ? QStringLiteral("letter") : QStringLiteral("A4"))
        .arg(Page_Margins_Mm.top())
        .arg(Page_Margins_Mm.right())
        .arg(Page_Margins_Mm.bottom())
        .arg(Page_Margins_Mm.left())
        .arg(css_string(Header_Text(serial, date)))
        .arg(Font_Points);
}

} // namespace Service_Report
