#pragma once
#include <QtGlobal>

#if defined(PLAN_SHELL_LIBRARY)
#  define PLAN_SHELL_EXPORT Q_DECL_EXPORT
#else
#  define PLAN_SHELL_EXPORT Q_DECL_IMPORT
#endif
