#include "DoeFactorEditWidget.h"
#include "ui_DoeFactorEditWidget.h"

#include "Custom_QFileDialog.h"
#include "DoeBussinessApi.h"
#include "DoeNumberInputDlg.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <algorithm>

using namespace doeBussiness;

namespace doeUI {

namespace {
const char* const kLevelProperty = "factor_add_level";
const int kValuesColumn = 3;

QString roleText(int role)
{
    switch (role) {
    case 1: return QStringLiteral("Discrete Numeric");
    case 2: return QStringLiteral("Categorical");
    default: return QStringLiteral("Continuous");
    }
}
}  // namespace

DoeFactorEditWidget::DoeFactorEditWidget(QWidget* parent) : QWidget(parent)
{
    m_ui = new Ui::doe_factor_edit_widget;
    m_ui->setupUi(this);
}

DoeFactorEditWidget::~DoeFactorEditWidget()
{
    delete m_ui;
}

void DoeFactorEditWidget::setBussinessApi(DoeBussinessApi* api)
{
    m_api = api;
    initUI();
    setDataToUI();
    initConnection();
    m_roleNames.clear();
    m_roleNames.insert(QStringLiteral("Continuous"), 0);
    m_roleNames.insert(QStringLiteral("Discrete Numeric"), 1);
    m_roleNames.insert(QStringLiteral("Categorical"), 2);
}

void DoeFactorEditWidget::initUI()
{
    m_addMenu = new QMenu(m_ui->pushButton_add);
    m_continuousAction = m_addMenu->addAction(tr("Continuous"));
    m_discreteMenu = m_addMenu->addMenu(tr("Discrete Numeric"));
    m_categoricalMenu = m_addMenu->addMenu(tr("Categorical"));
    for (int n = 2; n <= 8; ++n) {
        QAction* d = m_discreteMenu->addAction(tr("%1 Level").arg(n));
        d->setProperty(kLevelProperty, n);
        m_discreteLevelActions << d;
        QAction* c = m_categoricalMenu->addAction(tr("%1 Level").arg(n));
        c->setProperty(kLevelProperty, n);
        m_categoricalLevelActions << c;
    }
    m_discreteOtherAction = m_discreteMenu->addAction(tr("Other..."));
    m_categoricalOtherAction = m_categoricalMenu->addAction(tr("Other..."));

    m_advancedMenu = new QMenu(m_ui->pushButton_advanced);
    m_paramDefAction = m_advancedMenu->addAction(tr("Load Parameter Definition"));
    m_ui->pushButton_advanced->setMenu(m_advancedMenu);
    m_ui->pushButton_add->setMenu(m_addMenu);

    m_ui->tableWidget->verticalHeader()->hide();
    m_ui->checkBox_factor->hide();
    for (QWidget* w : {static_cast<QWidget*>(m_ui->pushButton_add), static_cast<QWidget*>(m_ui->pushButton_remove),
                       static_cast<QWidget*>(m_ui->pushButton_load), static_cast<QWidget*>(m_ui->pushButton_save),
                       static_cast<QWidget*>(m_ui->pushButton_advanced)})
        w->setFocusPolicy(Qt::NoFocus);
    m_ui->tableWidget->setColumnWidth(kValuesColumn, 450);
    // The longest role text stays readable whatever the font.
    const int roleWidth = m_ui->tableWidget->fontMetrics().horizontalAdvance(roleText(1)) + 16;
    m_ui->tableWidget->setColumnWidth(1, std::max(m_ui->tableWidget->columnWidth(1), roleWidth));
}

void DoeFactorEditWidget::setDataToUI()
{
    QSignalBlocker block(m_ui->tableWidget);
    m_ui->tableWidget->clearContents();
    m_ui->tableWidget->setRowCount(0);
    if (!m_api)
        return;
    QList<QString> names;
    m_api->getFactorDataNameList(names);
    for (const QString& name : names) {
        DoeDesignFactor factor;
        QString message;
        if (m_api->getFactorDataByName(name, factor, message))
            appendRow(factor);
    }
}

void DoeFactorEditWidget::initConnection()
{
    connect(m_continuousAction, SIGNAL(triggered()), this, SLOT(onClickedAddContinus()));
    connect(m_discreteOtherAction, SIGNAL(triggered()), this, SLOT(onClickedAddDiscreteOther()));
    connect(m_categoricalOtherAction, SIGNAL(triggered()), this, SLOT(onClickedAddCategoryOther()));
    for (QAction* a : qAsConst(m_discreteLevelActions))
        connect(a, SIGNAL(triggered()), this, SLOT(onClickedAddDiscreteNormal()));
    for (QAction* a : qAsConst(m_categoricalLevelActions))
        connect(a, SIGNAL(triggered()), this, SLOT(onClickedAddCategoryNormal()));
    connect(m_ui->pushButton_remove, SIGNAL(clicked(bool)), this, SLOT(onClickedRemove()));
    connect(m_ui->tableWidget, SIGNAL(cellChanged(int, int)), this, SLOT(onTableDataChanged(int, int)));
    connect(m_ui->pushButton_save, SIGNAL(clicked(bool)), this, SLOT(onClickedSave()));
    connect(m_ui->pushButton_load, SIGNAL(clicked(bool)), this, SLOT(onClickedLoad()));
    connect(m_ui->checkBox_factor, SIGNAL(clicked(bool)), this, SIGNAL(sigUseChecked(bool)));
    connect(m_paramDefAction, SIGNAL(triggered()), this, SLOT(onClickedLoadZel()));
}

void DoeFactorEditWidget::appendRow(const DoeDesignFactor& factor)
{
    QSignalBlocker block(m_ui->tableWidget);
    const int row = m_ui->tableWidget->rowCount();
    m_ui->tableWidget->insertRow(row);

    m_ui->tableWidget->setItem(row, 0, new QTableWidgetItem(factor.name));
    auto* roleItem = new QTableWidgetItem(roleText(int(factor.role)));
    roleItem->setFlags(Qt::ItemIsEnabled);
    m_ui->tableWidget->setItem(row, 1, roleItem);

    auto* changesItem = new QTableWidgetItem;
    changesItem->setFlags(Qt::ItemIsEnabled);
    m_ui->tableWidget->setItem(row, 2, changesItem);
    auto* combo = new QComboBox;
    combo->addItems({tr("Easy"), tr("Hard"), tr("Very Hard")});
    combo->setCurrentIndex(factor.changes);
    m_ui->tableWidget->setCellWidget(row, 2, combo);
    connect(combo, SIGNAL(currentIndexChanged(int)), this, SLOT(onComboBoxChanged()));

    auto* valuesItem = new QTableWidgetItem;
    valuesItem->setFlags(Qt::ItemIsEnabled);
    m_ui->tableWidget->setItem(row, kValuesColumn, valuesItem);
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (const QString& v : factor.values) {
        auto* edit = new QLineEdit(v, holder);
        layout->addWidget(edit);
        connect(edit, SIGNAL(editingFinished()), this, SLOT(onLineEditFinishied()));
    }
    m_ui->tableWidget->setCellWidget(row, kValuesColumn, holder);

    auto* unitsItem = new QTableWidgetItem(factor.units);
    unitsItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsEditable);
    m_ui->tableWidget->setItem(row, 4, unitsItem);
}

QList<QLineEdit*> DoeFactorEditWidget::valueEdits(int row) const
{
    QWidget* holder = m_ui->tableWidget->cellWidget(row, kValuesColumn);
    if (!holder)
        return {};
    return holder->findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
}

void DoeFactorEditWidget::fillRow(int row, const DoeDesignFactor& factor)
{
    QSignalBlocker block(m_ui->tableWidget);
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, 0))
        item->setText(factor.name);
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, 1))
        item->setText(roleText(int(factor.role)));
    if (auto* combo = qobject_cast<QComboBox*>(m_ui->tableWidget->cellWidget(row, 2))) {
        QSignalBlocker comboBlock(combo);
        combo->setCurrentIndex(factor.changes);
    }
    const QList<QLineEdit*> edits = valueEdits(row);
    for (int i = 0; i < edits.size() && i < factor.values.size(); ++i) {
        QSignalBlocker editBlock(edits[i]);
        edits[i]->setText(factor.values[i]);
    }
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, 4))
        item->setText(factor.units);
}

void DoeFactorEditWidget::addFactors(int role, int levels)
{
    const int count = m_ui->spinBox_add_n->value();
    if (!m_api)
        return;
    QString message;
    for (int i = 0; i < count; ++i) {
        DoeDesignFactor factor;
        if (m_api->addFactorData(EDoeFactorRole(role), levels, factor, message))
            appendRow(factor);
    }
    if (!message.isEmpty())
        showWarningBox(this, message);
}

int DoeFactorEditWidget::askLevels()
{
    DoeNumberInputDlg dlg(tr("Specify Number of Levels"), 9, 2, 30, this);
    return dlg.exec() == QDialog::Accepted ? dlg.value() : 0;
}

void DoeFactorEditWidget::onClickedAddContinus()
{
    addFactors(0, 2);
}

void DoeFactorEditWidget::onClickedAddDiscreteNormal()
{
    auto* action = qobject_cast<QAction*>(sender());
    const int levels = action ? action->property(kLevelProperty).toInt() : 0;
    if (levels >= 2 && levels <= 8)
        addFactors(1, levels);
}

void DoeFactorEditWidget::onClickedAddDiscreteOther()
{
    if (const int levels = askLevels())
        addFactors(1, levels);
}

void DoeFactorEditWidget::onClickedAddCategoryNormal()
{
    auto* action = qobject_cast<QAction*>(sender());
    const int levels = action ? action->property(kLevelProperty).toInt() : 0;
    if (levels >= 2 && levels <= 8)
        addFactors(2, levels);
}

void DoeFactorEditWidget::onClickedAddCategoryOther()
{
    if (const int levels = askLevels())
        addFactors(2, levels);
}

void DoeFactorEditWidget::onClickedRemove()
{
    QList<int> rows;
    for (int r = m_ui->tableWidget->rowCount() - 1; r >= 0; --r) {
        QTableWidgetItem* item = m_ui->tableWidget->item(r, 0);
        if (item && item->isSelected())
            rows << r;
    }
    for (int r : qAsConst(rows)) {
        if (!m_api)
            continue;
        QString message;
        if (m_api->deleteFactorData(m_ui->tableWidget->item(r, 0)->text(), message)) {
            QSignalBlocker block(m_ui->tableWidget);
            m_ui->tableWidget->removeRow(r);
        } else {
            showWarningBox(this, message);
        }
    }
}

void DoeFactorEditWidget::onTableDataChanged(int row, int column)
{
    Q_UNUSED(column)
    if (row < 0 || row >= m_ui->tableWidget->rowCount())
        return;
    DoeDesignFactor factor;
    if (auto* combo = qobject_cast<QComboBox*>(m_ui->tableWidget->cellWidget(row, 2)))
        if (combo->currentIndex() >= 0)
            factor.changes = combo->currentIndex();
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, 0))
        factor.name = item->text();
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, 4))
        factor.units = item->text();
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, 1))
        factor.role = EDoeFactorRole(m_roleNames.value(item->text(), 0));
    const QList<QLineEdit*> edits = valueEdits(row);
    for (QLineEdit* e : edits)
        factor.values << e->text();

    if (!m_api)
        return;
    QList<QString> names;
    m_api->getFactorDataNameList(names);
    if (row >= names.size())
        return;
    // Every value field stays quiet while the warning box takes the focus away from it.
    QList<QLineEdit*> all;
    for (int r = 0; r < m_ui->tableWidget->rowCount(); ++r)
        all << valueEdits(r);
    for (QLineEdit* e : qAsConst(all))
        e->blockSignals(true);
    QString message;
    if (!m_api->setFactorData(names.at(row), factor, message))
        showWarningBox(nullptr, message);
    fillRow(row, factor);
    for (QLineEdit* e : qAsConst(all))
        e->blockSignals(false);
}

void DoeFactorEditWidget::onComboBoxChanged()
{
    // The combo box that changed names its own row: the table's current row may be another one.
    int row = m_ui->tableWidget->currentRow();
    for (int r = 0; r < m_ui->tableWidget->rowCount(); ++r)
        if (m_ui->tableWidget->cellWidget(r, 2) == sender()) {
            row = r;
            break;
        }
    onTableDataChanged(row, 2);
}

void DoeFactorEditWidget::onLineEditFinishied()
{
    auto* edit = qobject_cast<QLineEdit*>(sender());
    if (!edit)
        return;
    for (int r = 0; r < m_ui->tableWidget->rowCount(); ++r)
        if (m_ui->tableWidget->cellWidget(r, kValuesColumn) == edit->parentWidget()) {
            onTableDataChanged(r, kValuesColumn);
            return;
        }
}

void DoeFactorEditWidget::loadWith(bool parameterDefinition)
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open File"), QString(),
                                                      QStringLiteral("csv File (*.csv);;All Files (*.*)"));
    if (path.isEmpty() || !m_api)
        return;
    {
        QSignalBlocker block(m_ui->tableWidget);
        QString message;
        QList<int> skipped;
        const bool ok = parameterDefinition ? m_api->loadZelParamDefFile(path, true, message)
                                            : m_api->loadFactorByPath(path, skipped, message);
        showWarningBox(this, ok ? QStringLiteral("Success\n") + DoeBussinessApi::skippedLinesText(skipped) : message);
    }
    setDataToUI();
}

void DoeFactorEditWidget::onClickedLoad()
{
    loadWith(false);
}

void DoeFactorEditWidget::onClickedLoadZel()
{
    loadWith(true);
}

void DoeFactorEditWidget::onClickedSave()
{
    const QString path = Custom_QFileDialog::getSaveFileName(nullptr, tr("Select File"), QString(),
                                                             QStringLiteral("txt File (*.txt);;All Files (*.*)"),
                                                             nullptr, QFileDialog::Options());
    if (path.isEmpty() || !m_api)
        return;
    QString message;
    const bool ok = m_api->saveFactorByPath(path, message);
    showWarningBox(this, ok ? QStringLiteral("Success\n") : message);
}

}  // namespace doeUI
