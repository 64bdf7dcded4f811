#pragma once
// Long facade work off the GUI thread, behind a modal busy dialog.
#include <QString>

#include <functional>

class QWidget;

namespace doeUI {

// Runs `work` on a worker thread while the GUI keeps painting; user input is held back until it
// ends, so no other facade call can start meanwhile. Quick work finishes before the busy dialog
// (labelled `label`, without Cancel) would show; longer work gets it after 400 ms.
void runWithBusyDialog(QWidget* parent, const QString& label, const std::function<void()>& work);

}  // namespace doeUI
