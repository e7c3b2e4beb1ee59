#ifndef APP_REPORT_REPORT_PAGE_STYLE_H
#define APP_REPORT_REPORT_PAGE_STYLE_H

// The report's pages, the same in both forms: the paper and its margins,
// the header (title, serial number, date) and the footer "Page N of M".

#include <QMarginsF>
#include <QPageSize>
#include <QString>

namespace Service_Report {

extern const QString Title;

// Millimetres: the header and the footer stand in the top and bottom margins.
const QMarginsF Page_Margins_Mm(15, 22, 15, 20);
constexpr double Font_Points = 10;

// A4, or Letter where the locale measures in US units.
QPageSize Page_Size();

// The header's text: "Vantor Service Report - Serial 00012345 - 2026-...".
QString Header_Text(const QString& serial, const QString& date);
QString Footer_Text(int page, int pages);

// The HTML page's one style sheet, for the screen and for print; its print
// pages carry the same header and footer as the PDF's.
QString Style_Sheet(const QString& serial, const QString& date);

} // namespace Service_Report

#endif // APP_REPORT_REPORT_PAGE_STYLE_H
