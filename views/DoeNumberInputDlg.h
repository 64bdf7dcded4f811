#pragma once
// Small modal question for one whole number: a label and a spin box in one row, OK and Cancel
// after a spacer below. Used for the number of levels, the number of responses and the row to move to.
#include "plan_views_global.h"

#include <QDialog>

class QLabel;
class QSpinBox;

namespace doeUI {

class PLAN_VIEWS_EXPORT DoeNumberInputDlg : public QDialog
{
    Q_OBJECT
public:
    DoeNumberInputDlg(const QString& labelText, int value, int minimum, int maximum, QWidget* parent);

    int value() const;
    QSpinBox* spinBox() const { return m_spinBox; }

private:
    QLabel* m_label = nullptr;
    QSpinBox* m_spinBox = nullptr;
};

// Shows the facade's message (or "Success\n") the way every dialog of the wizard does.
PLAN_VIEWS_EXPORT void showWarningBox(QWidget* parent, const QString& message);

}  // namespace doeUI
