#pragma once
// Long facade work off the GUI thread, behind a modal busy dialog.
#include "plan_views_global.h"

#include <QString>

#include <functional>

class QWidget;

namespace doeUI {

// Runs `work` on a worker thread while the GUI keeps painting; user input is held back until it
// ends, so no other facade call can start meanwhile. Quick work finishes before the busy dialog
// (labelled `label`, without Cancel) would show; longer work gets it after 400 ms.
void runWithBusyDialog(QWidget* parent, const QString& label, const std::function<void()>& work);

// As above, and the dialog shows `progress` (0..1; below 0 while unknown) and, when `cancel` is
// given, a Cancel button that calls it (again on every tick until the work ends, so a request that
// arrives while the work is starting is not lost). User input reaches the busy dialog only.
// Returns whether the user cancelled.
PLAN_VIEWS_EXPORT bool runWithProgressDialog(QWidget* parent, const QString& label, const std::function<void()>& work,
                                         const std::function<double()>& progress,
                                         const std::function<void()>& cancel);

}  // namespace doeUI
