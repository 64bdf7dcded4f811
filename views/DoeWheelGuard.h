#pragma once
// Keeps the mouse wheel from changing spin boxes and combo boxes the user is only scrolling past:
// under a guarded window such a control changes with the wheel only while it has the keyboard
// focus; otherwise the wheel goes to the scroll area around it.
#include "plan_views_global.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace doeUI {

class PLAN_VIEWS_EXPORT DoeWheelGuard : public QObject
{
    Q_OBJECT
public:
    // Guards every spin box and combo box inside `root`, including those created later (table cell
    // editors, rows added by the user). The guard is owned by `root`.
    static DoeWheelGuard* install(QWidget* root);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DoeWheelGuard(QWidget* root);
    bool guards(QObject* object) const;

    QPointer<QWidget> m_root;
};

// The same guard, for callers that do not keep it; nothing for a null root.
PLAN_VIEWS_EXPORT void guardWheel(QWidget* root);

}  // namespace doeUI
