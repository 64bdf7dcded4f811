#pragma once
// Data-less interface shared by every dialog and edit widget that carries the business facade.
// A class derives from its Qt widget class first and from BaseUI second, adds Q_INTERFACES(doeUI::BaseUI),
// and runs initUI(), setDataToUI(), initConnection() in that order once it has the facade.
#include <QtPlugin>

namespace doeUI {

class BaseUI
{
public:
    virtual ~BaseUI() = default;

protected:
    // One-time set-up the generated form does not do: hiding, headers, delegates, item lists.
    virtual void initUI() = 0;
    // Fill the widgets from what the facade holds.
    virtual void setDataToUI() = 0;
    // Connect widget signals to the class's slots.
    virtual void initConnection() = 0;
};

} // namespace doeUI

#define DoeBaseUI_iid "BaseUI"
Q_DECLARE_INTERFACE(doeUI::BaseUI, DoeBaseUI_iid)
