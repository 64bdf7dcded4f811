#pragma once
// Window sizes that fit the screen a window opens on, whatever its size and scaling.
#include "plan_views_global.h"

class QWidget;

namespace doeUI {

// Shrinks `window` to at most `share` of the available area of the screen it will open on (its
// parent's screen, else the screen under the mouse). A dialog then places itself over its parent,
// inside that area, when it is shown.
PLAN_VIEWS_EXPORT void fitToAvailableScreen(QWidget* window, double share = 0.9);

// Only shrinks the window's size to that share; its minimum size stays as its layout makes it.
PLAN_VIEWS_EXPORT void boundToAvailableScreen(QWidget* window, double share = 0.9);

}  // namespace doeUI
