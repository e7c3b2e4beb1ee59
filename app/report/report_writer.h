#ifndef APP_REPORT_REPORT_WRITER_H
#define APP_REPORT_REPORT_WRITER_H

#include "report/report_data.h"

namespace Service_Report {

// Writes the report as PDF (a name ending in .pdf) or as one self-contained
// HTML file (.html, .htm), the chart inlined as SVG. The file appears only once it
// is complete; false with the reason in `error` otherwise.
bool Write(const Data& data, const QString& file, QString* error);
// Why a report cannot be written under this name (not .pdf, .html or .htm);
// empty when it can.
QString Name_Error(const QString& file);

} // namespace Service_Report

#endif // APP_REPORT_REPORT_WRITER_H
