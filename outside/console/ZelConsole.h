#pragma once
// Simulator console window.
#include <QDialog>

#if defined(ZEL_CONSOLE_LIBRARY)
#  define ZEL_CONSOLE_EXPORT Q_DECL_EXPORT
#else
#  define ZEL_CONSOLE_EXPORT Q_DECL_IMPORT
#endif

class ZEL_CONSOLE_EXPORT ZelConsole : public QDialog
{
    Q_OBJECT
public:
    ZelConsole(ZelConsole** owner, QWidget* parent = nullptr);
    ~ZelConsole() override;

private:
    ZelConsole** m_owner = nullptr;
};
