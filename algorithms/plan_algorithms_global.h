#pragma once
#include <QtGlobal>

#if defined(PLAN_ALGORITHMS_LIBRARY)
#  define PLAN_ALGORITHMS_EXPORT Q_DECL_EXPORT
#else
#  define PLAN_ALGORITHMS_EXPORT Q_DECL_IMPORT
#endif
