#include "DoeSensitivityWidget.h"
#include "ui_DoeSensitivityWidget.h"

#include "DoeBusyRun.h"
#include "DoeBussinessApi.h"
#include "DoeCommon.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace doeUI {

using namespace doeBussiness;

using doeBussiness::DoeCommon;

bool CustomTableWdigetItem::operator<(const QTableWidgetItem& other) const
{
    double a = 0, b = 0;
    if (DoeCommon::getDoubleFromQString(text(), a) && DoeCommon::getDoubleFromQString(other.text(), b))
        return a < b;
    return QTableWidgetItem::operator<(other);
}

DoeSensitivityWidget::DoeSensitivityWidget(doeBussiness::DoeBussinessApi* facade, int modelIndex, QWidget* parent)
    : QWidget(parent), m_facade(facade), m_modelIndex(modelIndex)
{
    m_form.reset(new Ui::doe_sensitivity_analysis_edit_widget);
    m_form->setupUi(this);
    initUI();
    setDataToUI();
    initConnection();
}

DoeSensitivityWidget::~DoeSensitivityWidget() = default;

QTableWidget* DoeSensitivityWidget::resultTable() const
{
    return m_form->tableWidget_result;
}

QSpinBox* DoeSensitivityWidget::sampleSizeBox() const
{
    return m_form->spinBox_efast_sample_size;
}

void DoeSensitivityWidget::initUI()
{
    m_form->label_3->hide();
    m_form->comboBox_type->hide();
    m_form->label_morris_level->hide();
    m_form->spinBox_morris_level->hide();
    m_form->comboBox_type->addItem("eFast");
    m_form->comboBox_type->setCurrentIndex(0);
}

void DoeSensitivityWidget::setDataToUI()
{
    QSignalBlocker block(m_form->spinBox_efast_sample_size);
    m_form->spinBox_efast_sample_size->setMinimum(4 * m_m * m_m + 1);
    m_form->spinBox_efast_sample_size->setValue(m_sampleSize);
}

void DoeSensitivityWidget::initConnection()
{
    connect(m_form->pushButton_apply, SIGNAL(clicked(bool)), this, SLOT(slotButtonApply()));
    connect(m_form->pushButton_advance, SIGNAL(clicked(bool)), this, SLOT(slotButtonAdvance()));
    connect(m_form->comboBox_type, SIGNAL(currentIndexChanged(int)), this, SLOT(slotComboBoxType()));
    connect(m_form->spinBox_efast_sample_size, SIGNAL(editingFinished()), this, SLOT(slotSpinBoxEFastSize()));
}

void DoeSensitivityWidget::slotComboBoxType() {}

void DoeSensitivityWidget::slotSpinBoxEFastSize()
{
    m_sampleSize = m_form->spinBox_efast_sample_size->value();
}

void DoeSensitivityWidget::slotButtonApply()
{
    if (!m_facade)
        return;
    QTableWidget* table = m_form->tableWidget_result;
    table->setSortingEnabled(false);
    table->clear();
    table->setRowCount(0);
    table->setColumnCount(0);

    QList<QString> names;
    QList<double> first, total;
    QString message;
    bool ok = false;
    // Large samples take a while: run off the GUI thread behind a modal busy dialog.
    doeBussiness::DoeBussinessApi* facade = m_facade;
    const int n = m_sampleSize, m = m_m, slot = m_modelIndex;
    runWithBusyDialog(this, "Computing sensitivity indices...", [&, facade, n, m, slot]() {
        ok = facade->doSensitivityAnalysis_eFast(n, m, names, first, total, slot, message);
    });
    if (!ok) {
        QMessageBox::warning(this, "warning", message);
        return;
    }
    const int rows = std::min(names.size(), std::min(first.size(), total.size()));
    table->setColumnCount(3);
    table->setRowCount(rows);
    table->setHorizontalHeaderLabels({"Factor", "S1", "ST"});
    const Qt::ItemFlags readOnly = Qt::ItemIsEnabled;
    for (int r = 0; r < rows; ++r) {
        auto* name = new QTableWidgetItem(QString("%1").arg(names[r]));
        auto* s1 = new CustomTableWdigetItem(QString("%1").arg(first[r], 0, 'g'));
        auto* st = new CustomTableWdigetItem(QString("%1").arg(total[r], 0, 'g'));
        for (QTableWidgetItem* it : {static_cast<QTableWidgetItem*>(name), static_cast<QTableWidgetItem*>(s1),
                                     static_cast<QTableWidgetItem*>(st)})
            it->setFlags(readOnly);
        table->setItem(r, 0, name);
        table->setItem(r, 1, s1);
        table->setItem(r, 2, st);
    }
    table->resizeColumnsToContents();
    table->resizeRowsToContents();
    table->setSortingEnabled(true);
}

void DoeSensitivityWidget::applyInterference(int m)
{
    m_m = m;
    const long long fourM2 = 4LL * m * m;
    if (fourM2 >= m_sampleSize) {
        m_sampleSize = static_cast<int>(fourM2 + 1);
        QMessageBox::warning(this, "warning", QString("The sample size will be changed to %1").arg(m_sampleSize));
    }
    setDataToUI();
}

void DoeSensitivityWidget::slotButtonAdvance()
{
    QDialog dialog(this);
    dialog.setWindowTitle("Advance");
    auto* layout = new QVBoxLayout(&dialog);
    auto* spin = new QSpinBox(&dialog);
    spin->setObjectName("spinBox_interference");
    spin->setRange(1, 5000);
    spin->setValue(m_m);
    layout->addWidget(spin);
    auto* buttons = new QHBoxLayout;
    auto* accept = new QPushButton("Advance", &dialog);
    auto* reject = new QPushButton("Cancel", &dialog);
    buttons->addWidget(accept);
    buttons->addWidget(reject);
    layout->addLayout(buttons);
    connect(accept, SIGNAL(clicked()), &dialog, SLOT(accept()));
    connect(reject, SIGNAL(clicked()), &dialog, SLOT(reject()));
    if (dialog.exec() == QDialog::Accepted)
        applyInterference(spin->value());
}

}  // namespace doeUI
