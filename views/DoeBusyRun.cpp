#include "DoeBusyRun.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>

namespace doeUI {

namespace {

constexpr int kShowAfterMs = 400;
constexpr int kSteps = 1000;

// The window an input or close event is aimed at: platform input arrives at the QWindow first,
// then at the widget under it; a shortcut's event goes to the shortcut, a child of its widget.
QObject* targetWindow(QObject* watched)
{
    for (QObject* o = watched; o; o = o->parent()) {
        if (o->isWidgetType())
            return static_cast<QWidget*>(o)->window();
        if (auto* window = qobject_cast<QWindow*>(o)) {
            while (window->parent())
                window = window->parent();
            return window;
        }
    }
    return nullptr;
}

// Drops user input meant for any window but the busy dialog while the work runs.
class InputGate : public QObject
{
public:
    explicit InputGate(QWidget* allowed) : m_allowed(allowed) { qApp->installEventFilter(this); }
    ~InputGate() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::TouchBegin:
            return !(m_allowed->isVisible() && isAllowed(watched));
        case QEvent::Close:
            // Other windows stay open; the busy dialog's own close box means Cancel.
            return !isAllowed(watched) && isWindow(watched);
        default:
            return false;
        }
    }

private:
    static bool isWindow(QObject* watched)
    {
        if (watched->isWidgetType())
            return static_cast<QWidget*>(watched)->isWindow();
        return qobject_cast<QWindow*>(watched) != nullptr;
    }

    bool isAllowed(QObject* watched) const
    {
        QObject* target = targetWindow(watched);
        return target && (target == m_allowed || target == m_allowed->windowHandle());
    }

    QWidget* m_allowed;
};

// A busy dialog whose close box and Escape mean Cancel: it stays up, saying it is stopping,
// until the work has ended, and without a Cancel button they do nothing.
class BusyDialog : public QProgressDialog
{
public:
    BusyDialog(const QString& label, bool cancellable, QWidget* parent)
        : QProgressDialog(label, cancellable ? QObject::tr("Cancel") : QString(), 0, 0, parent),
          m_cancellable(cancellable)
    {
        if (!cancellable)
            setCancelButton(nullptr);
    }

    // Lets the dialog go when the work has ended.
    void finish()
    {
        m_finished = true;
        reset();
        hide();
    }

    void reject() override
    {
        if (m_finished)
            QProgressDialog::reject();
        else if (m_cancellable)
            emit canceled();
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (m_finished) {
            QProgressDialog::closeEvent(event);
            return;
        }
        event->ignore();
        if (m_cancellable)
            emit canceled();
    }

private:
    bool m_cancellable;
    bool m_finished = false;
};

}  // namespace

void runWithBusyDialog(QWidget* parent, const QString& label, const std::function<void()>& work)
{
    QProgressDialog progress(label, QString(), 0, 0, parent);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kShowAfterMs);
    progress.setCancelButton(nullptr);
    QTimer::singleShot(kShowAfterMs, &progress, SLOT(show()));
    QFutureWatcher<void> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, SIGNAL(finished()), &loop, SLOT(quit()));
    watcher.setFuture(QtConcurrent::run(work));
    if (!watcher.isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    watcher.waitForFinished();
    progress.reset();
}

bool runWithProgressDialog(QWidget* parent, const QString& label, const std::function<void()>& work,
                           const std::function<double()>& progress, const std::function<void()>& cancel)
{
    BusyDialog dialog(label, static_cast<bool>(cancel), parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(kShowAfterMs);
    QTimer::singleShot(kShowAfterMs, &dialog, SLOT(show()));
    InputGate gate(&dialog);

    QFutureWatcher<void> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, SIGNAL(finished()), &loop, SLOT(quit()));
    bool cancelled = false;
    // The dialog stays up, saying it is stopping, until the work has ended.
    QObject::disconnect(&dialog, SIGNAL(canceled()), &dialog, SLOT(cancel()));
    QObject::connect(&dialog, &QProgressDialog::canceled, [&]() {
        if (cancelled || !cancel)
            return;
        cancelled = true;
        dialog.setLabelText(QObject::tr("Stopping..."));
        cancel();
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&]() {
        if (cancelled)
            cancel();
        const double p = progress ? progress() : -1.0;
        if (p >= 0.0 && p <= 1.0) {
            if (dialog.maximum() != kSteps)
                dialog.setRange(0, kSteps);
            dialog.setValue(static_cast<int>(p * (kSteps - 1)));  // full only when the work ends
        }
    });
    watcher.setFuture(QtConcurrent::run(work));
    if (!watcher.isFinished()) {
        tick.start(100);
        loop.exec();
        tick.stop();
    }
    watcher.waitForFinished();
    dialog.finish();
    return cancelled;
}

}  // namespace doeUI
