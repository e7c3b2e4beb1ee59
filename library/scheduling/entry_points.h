#ifndef QUILLON_ENTRY_POINTS_H
#define QUILLON_ENTRY_POINTS_H

#include "quillon_global.h"

#include <QString>

namespace Quillon {

// Registers the library's signal argument types for queued connections.
// Call once at start-up, before any serial or scheduling object exists;
// further calls register nothing new and return the same id.
QUILLON_EXPORT int init();

QUILLON_EXPORT QString getversion();
QUILLON_EXPORT QString getdatecode();
QUILLON_EXPORT QString getfullversion();

} // namespace Quillon

#endif // QUILLON_ENTRY_POINTS_H
