#include "DoeWheelGuard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPointer>
#include <QWheelEvent>

namespace doeUI {

namespace {

bool isValueControl(QObject* o)
{
    return qobject_cast<QAbstractSpinBox*>(o) || qobject_cast<QComboBox*>(o);
}

class WheelGuard : public QObject
{
public:
    explicit WheelGuard(QWidget* root) : QObject(root), m_root(root) { qApp->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::Wheel && type != QEvent::Polish)
            return false;
        auto* w = qobject_cast<QWidget*>(watched);
        if (!w || !isValueControl(w) || !m_root || !m_root->isAncestorOf(w))
            return false;
        // No focus from the wheel: a control takes focus by click or Tab only.
        if (w->focusPolicy() == Qt::WheelFocus)
            w->setFocusPolicy(Qt::StrongFocus);
        if (type == QEvent::Wheel && !w->hasFocus()) {
            // Ignored and filtered out: the application hands the wheel on to the parents.
            event->ignore();
            return true;
        }
        return false;
    }

private:
    QPointer<QWidget> m_root;
};

}  // namespace

void guardWheel(QWidget* root)
{
    if (!root)
        return;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (isValueControl(w) && w->focusPolicy() == Qt::WheelFocus)
            w->setFocusPolicy(Qt::StrongFocus);
    }
    new WheelGuard(root);
}

}  // namespace doeUI
