#pragma once
// Spin boxes and combo boxes inside a scrolling page change with the mouse wheel only when
// they have the keyboard focus; otherwise the wheel scrolls the page as it does elsewhere.
#include "plan_views_global.h"

class QWidget;

namespace doeUI {

// Guards every spin box and combo box under root, also those created later.
PLAN_VIEWS_EXPORT void guardWheel(QWidget* root);

}  // namespace doeUI
