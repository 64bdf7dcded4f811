#pragma once
// Helpers for widget tests: answer the next modal window (message box, file dialog, small dialogs)
// from inside its own event loop, and find widgets by object name.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace testhelp {

// Polls until a modal widget other than `except` is active and hands it to fn; gives up after timeoutMs.
inline void onNextModal(std::function<void(QWidget*)> fn, int timeoutMs = 5000, QWidget* except = nullptr)
{
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == except)
            modal = nullptr;
        if (modal || clock->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            if (modal)
                fn(modal);
        }
    });
    timer->start(10);
}

// Records the text and title of the next message box and presses `button` on it.
struct BoxRecord {
    QString title;
    QString text;
    bool seen = false;
};

inline std::shared_ptr<BoxRecord> answerNextBox(QMessageBox::StandardButton button = QMessageBox::Ok,
                                                QWidget* except = nullptr)
{
    auto rec = std::make_shared<BoxRecord>();
    onNextModal([rec, button](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box) {
            if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
            return;
        }
        rec->seen = true;
        rec->title = box->windowTitle();
        rec->text = box->text();
        if (QAbstractButton* b = box->button(button))
            b->click();
        else
            box->reject();
    }, 5000, except);
    return rec;
}

// Makes the next file dialog return `path` (an empty path cancels it).
inline void answerNextFileDialog(const QString& path, QWidget* except = nullptr)
{
    onNextModal([path](QWidget* w) {
        auto* fd = qobject_cast<QFileDialog*>(w);
        if (!fd || path.isEmpty()) {
            if (auto* d = qobject_cast<QDialog*>(w))
                d->reject();
            return;
        }
        fd->selectFile(path);
        static_cast<QDialog*>(fd)->accept();
    }, 5000, except);
}

template <typename T>
T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace testhelp
