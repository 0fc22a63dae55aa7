#pragma once

#include <QtCore/qglobal.h>

#if defined(RITRA_BUILDING_LIBRARY)
#define RITRA_EXPORT Q_DECL_EXPORT
#else
#define RITRA_EXPORT Q_DECL_IMPORT
#endif
