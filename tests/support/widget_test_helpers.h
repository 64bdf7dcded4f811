#pragma once
// Helpers for widget tests: answer the next modal window (message box, file dialog, small dialogs)
// from inside its own event loop, and find widgets by object name.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTest>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace testhelp {

// Polls until a modal widget other than `except` (and accepted by `wanted`, when given) is active and
// hands it to fn; gives up after timeoutMs.
inline void onNextModal(std::function<void(QWidget*)> fn, int timeoutMs = 5000, QWidget* except = nullptr,
                        std::function<bool(QWidget*)> wanted = nullptr, std::function<bool()> alive = nullptr)
{
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (alive && !alive()) {
            timer->stop();
            timer->deleteLater();
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == except || (modal && wanted && !wanted(modal)))
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

// Records the text and title of the next message box and presses `button` on it, as long as the
// caller keeps the returned record.
struct BoxRecord {
    QString title;
    QString text;
    bool seen = false;
};

inline std::shared_ptr<BoxRecord> answerNextBox(QMessageBox::StandardButton button = QMessageBox::Ok,
                                                QWidget* except = nullptr)
{
    // The poller only holds the record weakly: once the test drops it, nothing is answered any more,
    // so an expected box that never came cannot swallow a later one.
    auto rec = std::make_shared<BoxRecord>();
    std::weak_ptr<BoxRecord> weak = rec;
    onNextModal([weak, button](QWidget* w) {
        auto rec = weak.lock();
        if (!rec)
            return;
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
    }, 5000, except, [](QWidget* w) { return qobject_cast<QMessageBox*>(w) != nullptr; },
       [weak] { return !weak.expired(); });
    return rec;
}

// A left click on widget w through its top-level window's event path, as a user's click arrives.
inline void clickInWindow(QWidget* w)
{
    QWidget* window = w->window();
    QCoreApplication::processEvents();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      w->mapTo(window, w->rect().center()));
}

// The action at `path` ("Categorical/3 Level") in a menu and its sub-menus, or null.
inline QAction* menuAction(QMenu* menu, const QString& path)
{
    const QStringList parts = path.split('/');
    for (int i = 0; menu && i < parts.size(); ++i) {
        QMenu* next = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->text() != parts[i])
                continue;
            if (i + 1 == parts.size())
                return a;
            next = a->menu();
            break;
        }
        menu = next;
    }
    return nullptr;
}

// The same, in the menu of a push button.
inline QAction* menuAction(QWidget* button, const QString& path)
{
    auto* b = qobject_cast<QPushButton*>(button);
    return b ? menuAction(b->menu(), path) : nullptr;
}

// The action at `path` ("File/Load") in the menu bar of `window`, or null.
inline QAction* menuBarAction(QWidget* window, const QString& path)
{
    auto* bar = window->findChild<QMenuBar*>();
    const QString top = path.section('/', 0, 0);
    if (!bar)
        return nullptr;
    for (QAction* m : bar->actions())
        if (m->text() == top)
            return menuAction(m->menu(), path.section('/', 1));
    return nullptr;
}

// Chooses `path` in an open file dialog, as a user typing it would.
inline void chooseFile(QFileDialog* fd, const QString& path)
{
    // An absolute path typed into the name field does not depend on the dialog's directory,
    // which the dialog's file model may still be loading.
    fd->setDirectory(QFileInfo(path).absolutePath());
    if (auto* edit = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        edit->setText(QFileInfo(path).absoluteFilePath());
    else
        fd->selectFile(path);
    static_cast<QDialog*>(fd)->accept();
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
        chooseFile(fd, path);
    }, 5000, except, [](QWidget* w) { return qobject_cast<QFileDialog*>(w) != nullptr; });
}

// Chooses the entry `text` of the next popup menu, as a user does with the keyboard; an empty
// text closes the menu without a choice. `seen` (optional) receives the entries shown.
inline void chooseInNextPopup(const QString& text, QStringList* seen = nullptr, int timeoutMs = 5000)
{
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu && clock->elapsed() <= timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (!menu)
            return;
        QAction* wanted = nullptr;
        for (QAction* a : menu->actions()) {
            if (seen)
                *seen << a->text();
            if (a->text() == text)
                wanted = a;
        }
        if (!wanted) {
            menu->close();
            return;
        }
        menu->setActiveAction(wanted);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(menu, &press);
    });
    timer->start(10);
}

template <typename T>
T* child(QObject* parent, const char* name)
{
    return parent->findChild<T*>(QString::fromLatin1(name));
}

}  // namespace testhelp
