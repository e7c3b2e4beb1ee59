#ifndef QUILLON_GLOBAL_H
#define QUILLON_GLOBAL_H

#include <QtGlobal>

#if defined(QUILLON_LIBRARY)
#define QUILLON_EXPORT Q_DECL_EXPORT
#else
#define QUILLON_EXPORT Q_DECL_IMPORT
#endif

#endif // QUILLON_GLOBAL_H
