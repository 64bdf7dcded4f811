#include "DoeMainWindow.h"

namespace doeUI {

DoeMainWindow::DoeMainWindow(DoeMainWindow** hostPointer)
    : QMainWindow(nullptr), m_hostPointer(hostPointer)
{
    setWindowTitle(QStringLiteral("Varistra"));
    resize(800, 600);
}

DoeMainWindow::~DoeMainWindow()
{
    if (m_hostPointer) {
        *m_hostPointer = nullptr;
        m_hostPointer = nullptr;
    }
}

}  // namespace doeUI
