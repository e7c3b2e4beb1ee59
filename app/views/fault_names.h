#ifndef APP_VIEWS_FAULT_NAMES_H
#define APP_VIEWS_FAULT_NAMES_H

#include <QStringList>

namespace Views {

// The faults a fault word (FM1, FM2 or FM3, 0-2) reports, from its five flag
// digits read as one number as a recording stores it (01010 is 1010).
QStringList Fault_Names(int word, int digits);

} // namespace Views

#endif // APP_VIEWS_FAULT_NAMES_H
