#pragma once
#include <QtGlobal>

#if defined(PLAN_CORE_LIBRARY)
#  define PLAN_CORE_EXPORT Q_DECL_EXPORT
#else
#  define PLAN_CORE_EXPORT Q_DECL_IMPORT
#endif
