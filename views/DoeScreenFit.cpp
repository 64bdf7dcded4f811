#include "DoeScreenFit.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace doeUI {

namespace {

// `share` of the available area of the screen `window` will open on; empty without a screen.
QSize availableShare(const QWidget* window, double share)
{
    QScreen* screen = nullptr;
    if (QWidget* parent = window->parentWidget())
        screen = parent->window()->screen();
    if (!screen)
        screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QSize();
    const QRect area = screen->availableGeometry();
    return QSize(int(area.width() * share), int(area.height() * share));
}

}  // namespace

void fitToAvailableScreen(QWidget* window, double share)
{
    const QSize limit = availableShare(window, share);
    if (limit.isEmpty())
        return;
    // Where the layout asks for more than the limit, the limit wins, so the buttons stay on screen.
    const QSize needed = window->layout() ? window->layout()->minimumSize() : window->minimumSize();
    window->setMinimumSize(needed.boundedTo(limit));
    window->resize(window->size().boundedTo(limit));
}

void boundToAvailableScreen(QWidget* window, double share)
{
    const QSize limit = availableShare(window, share);
    if (!limit.isEmpty())
        window->resize(window->size().boundedTo(limit));
}

}  // namespace doeUI
