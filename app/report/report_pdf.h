#ifndef APP_REPORT_REPORT_PDF_H
#define APP_REPORT_REPORT_PDF_H

#include "report/report_data.h"

class QIODevice;

namespace Service_Report {

// Writes the report's pages as PDF into OUT.
bool Write_Pdf(const Data& data, QIODevice* out);

} // namespace Service_Report

#endif // APP_REPORT_REPORT_PDF_H
