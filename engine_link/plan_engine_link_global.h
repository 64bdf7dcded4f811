#pragma once
#include <QtGlobal>

#if defined(PLAN_ENGINE_LINK_LIBRARY)
#  define PLAN_ENGINE_LINK_EXPORT Q_DECL_EXPORT
#else
#  define PLAN_ENGINE_LINK_EXPORT Q_DECL_IMPORT
#endif
