#include "ZelConsole.h"

ZelConsole::ZelConsole(ZelConsole** owner, QWidget* parent)
    : QDialog(parent), m_owner(owner)
{
    setWindowTitle(tr("Simulator Console"));
}

ZelConsole::~ZelConsole()
{
    if (m_owner)
        *m_owner = nullptr;
}
