#include "DoeScreenFit.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QWidget>

namespace doeUI {

void fitToAvailableScreen(QWidget* window, double share)
{
    QScreen* screen = nullptr;
    if (QWidget* parent = window->parentWidget())
        screen = parent->window()->screen();
    if (!screen)
        screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize limit(int(area.width() * share), int(area.height() * share));

    // Where the layout asks for more than the limit, the limit wins, so the buttons stay on screen.
    const QSize needed = window->layout() ? window->layout()->minimumSize() : window->minimumSize();
    window->setMinimumSize(needed.boundedTo(limit));
    window->resize(window->size().boundedTo(limit));
}

}  // namespace doeUI
