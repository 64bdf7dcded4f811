#include "DoeBusyRun.h"

#include <QApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace doeUI {

namespace {

constexpr int kShowAfterMs = 400;
constexpr int kSteps = 1000;

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
        case QEvent::TouchBegin: {
            auto* widget = qobject_cast<QWidget*>(watched);
            return !(widget && m_allowed->isVisible() && widget->window() == m_allowed);
        }
        case QEvent::Close:
            return watched != m_allowed && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow();
        default:
            return false;
        }
    }

private:
    QWidget* m_allowed;
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
    QProgressDialog dialog(label, cancel ? QObject::tr("Cancel") : QString(), 0, 0, parent);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(kShowAfterMs);
    if (!cancel)
        dialog.setCancelButton(nullptr);
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
    dialog.reset();
    return cancelled;
}

}  // namespace doeUI
