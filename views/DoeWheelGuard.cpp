#include "DoeWheelGuard.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QWheelEvent>

namespace doeUI {

namespace {

bool isWheelControl(QObject* object)
{
    return qobject_cast<QAbstractSpinBox*>(object) || qobject_cast<QComboBox*>(object);
}

// A wheel-focus control takes the focus from the wheel before any filter sees the event.
void dropWheelFocus(QWidget* control)
{
    if (control->focusPolicy() == Qt::WheelFocus)
        control->setFocusPolicy(Qt::StrongFocus);
}

// Hands the wheel to the scroll areas around `control`, innermost first, until one takes it.
void scrollAround(QWidget* control, QWheelEvent* wheel)
{
    for (QWidget* w = control->parentWidget(); w; w = w->parentWidget()) {
        auto* area = qobject_cast<QAbstractScrollArea*>(w);
        if (!area)
            continue;
        QWidget* viewport = area->viewport();
        const QPointF global = wheel->globalPosition();
        QWheelEvent passed(viewport->mapFromGlobal(global.toPoint()), global, wheel->pixelDelta(),
                           wheel->angleDelta(), wheel->buttons(), wheel->modifiers(), wheel->phase(),
                           wheel->inverted(), wheel->source());
        passed.setAccepted(false);
        QApplication::sendEvent(viewport, &passed);
        if (passed.isAccepted())
            return;
        if (w->isWindow())
            return;
    }
}

}  // namespace

DoeWheelGuard* DoeWheelGuard::install(QWidget* root)
{
    return new DoeWheelGuard(root);
}

void guardWheel(QWidget* root)
{
    if (root)
        DoeWheelGuard::install(root);
}

DoeWheelGuard::DoeWheelGuard(QWidget* root) : QObject(root), m_root(root)
{
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (isWheelControl(w))
            dropWheelFocus(w);
    }
    // Watching the application reaches controls made after this point too; the filter is removed
    // when the guard goes with its root.
    qApp->installEventFilter(this);
}

bool DoeWheelGuard::guards(QObject* object) const
{
    auto* w = qobject_cast<QWidget*>(object);
    return w && m_root && isWheelControl(w) && m_root->isAncestorOf(w);
}

bool DoeWheelGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Polish && guards(watched)) {
        dropWheelFocus(static_cast<QWidget*>(watched));
    } else if (event->type() == QEvent::Wheel && guards(watched)) {
        auto* control = static_cast<QWidget*>(watched);
        if (!control->hasFocus()) {
            scrollAround(control, static_cast<QWheelEvent*>(event));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace doeUI
