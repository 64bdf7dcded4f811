#include "DoeNumberInputDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace doeUI {

DoeNumberInputDlg::DoeNumberInputDlg(const QString& labelText, int value, int minimum, int maximum,
                                     QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("doe_number_input_dlg"));
    setWindowTitle(labelText.trimmed());
    m_label = new QLabel(labelText, this);
    m_label->setObjectName(QStringLiteral("label_number"));
    m_spinBox = new QSpinBox(this);
    m_spinBox->setObjectName(QStringLiteral("spinBox_number"));
    m_spinBox->setRange(minimum, maximum);
    m_spinBox->setValue(value);
    m_spinBox->setMinimumWidth(80);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("pushButton_ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("pushButton_cancel"));

    auto* row = new QHBoxLayout;
    row->addWidget(m_label);
    row->addWidget(m_spinBox);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);

    connect(ok, SIGNAL(clicked(bool)), this, SLOT(accept()));
    connect(cancel, SIGNAL(clicked(bool)), this, SLOT(reject()));
}

int DoeNumberInputDlg::value() const
{
    return m_spinBox->value();
}

void showWarningBox(QWidget* parent, const QString& message)
{
    QMessageBox::warning(parent, QStringLiteral("warning"), message);
}

}  // namespace doeUI
