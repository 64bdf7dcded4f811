#pragma once
#include <QtGlobal>

#if defined(PLAN_VIEWS_LIBRARY)
#  define PLAN_VIEWS_EXPORT Q_DECL_EXPORT
#else
#  define PLAN_VIEWS_EXPORT Q_DECL_IMPORT
#endif
