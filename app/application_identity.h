#ifndef APPLICATION_IDENTITY_H
#define APPLICATION_IDENTITY_H

// Who the program says it is: set once at start-up and shown in its boxes.

#include "build_info.h"

#include <QLatin1String>

namespace Identity {
const QLatin1String Organisation_Name("Corvane");
// Placeholder addresses of this project; no real vendor or builder.
const QLatin1String Organisation_Domain("vantor.example");
const QLatin1String Builder_Web_Site("https://vantor.example/");
const QLatin1String Vendor_Web_Site("https://vendor.example/");
const QLatin1String Toolkit_Web_Site("https://www.qt.io/");
const QLatin1String Application_Name("Pelmar Interface");
const QLatin1String Window_Title("Pelmar Vantor");
const QLatin1String Version(VANTOR_VERSION);
const QLatin1String Date_Code(VANTOR_DATE_CODE);
const QLatin1String Toolkit_Version("5.4.0");
} // namespace Identity

#endif // APPLICATION_IDENTITY_H
