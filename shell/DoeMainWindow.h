#pragma once
#include <QMainWindow>

#include "plan_shell_global.h"

namespace doeUI {

class PLAN_SHELL_EXPORT DoeMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit DoeMainWindow(DoeMainWindow** hostPointer);
    ~DoeMainWindow() override;

private:
    DoeMainWindow** m_hostPointer = nullptr;
};

}  // namespace doeUI
