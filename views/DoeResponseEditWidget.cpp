#include "DoeResponseEditWidget.h"
#include "ui_DoeResponseEditWidget.h"

#include "Custom_QFileDialog.h"
#include "DoeBussinessApi.h"
#include "DoeNumberInputDlg.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QSignalBlocker>
#include <algorithm>

using namespace doeBussiness;

namespace doeUI {

namespace {
const char* const kLastIndexProperty = "last_index";
const int kGoalNone = 3;
const int kFirstValueColumn = 2;
const int kUnitsColumn = 7;

QStringList valuesOf(const DoeDesignResponse& r)
{
    return {r.lowerLimit, r.upperLimit, r.importance, r.lowerDetectionLimit, r.upperDetectionLimit};
}
}  // namespace

DoeResponseEditWidget::DoeResponseEditWidget(QWidget* parent) : QWidget(parent)
{
    m_ui = new Ui::doe_response_edit_widget;
    m_ui->setupUi(this);
}

DoeResponseEditWidget::~DoeResponseEditWidget()
{
    delete m_ui;
}

void DoeResponseEditWidget::setBussinessApi(DoeBussinessApi* api)
{
    m_api = api;
    initUI();
    setDataToUI();
    initConnection();
}

void DoeResponseEditWidget::initUI()
{
    m_goalMenu = new QMenu(m_ui->pushButton_add);
    m_maxAction = m_goalMenu->addAction(tr("Maximize"));
    m_matchAction = m_goalMenu->addAction(tr("Match Target"));
    m_minAction = m_goalMenu->addAction(tr("Minimize"));
    m_noneAction = m_goalMenu->addAction(tr("None"));
    m_ui->pushButton_add->setMenu(m_goalMenu);
    m_ui->tableWidget->verticalHeader()->hide();
    for (QWidget* w : {static_cast<QWidget*>(m_ui->pushButton_add), static_cast<QWidget*>(m_ui->pushButton_remove),
                       static_cast<QWidget*>(m_ui->pushButton_multi), static_cast<QWidget*>(m_ui->pushButton_load),
                       static_cast<QWidget*>(m_ui->pushButton_save)})
        w->setFocusPolicy(Qt::NoFocus);
    // The detection-limit headers are long: never narrower than their text.
    const QFontMetrics metrics = m_ui->tableWidget->horizontalHeader()->fontMetrics();
    for (int c : {5, 6}) {
        const QTableWidgetItem* head = m_ui->tableWidget->horizontalHeaderItem(c);
        const int textWidth = head ? metrics.horizontalAdvance(head->text()) + 16 : 0;
        m_ui->tableWidget->setColumnWidth(c, std::max(180, textWidth));
    }
}

void DoeResponseEditWidget::setDataToUI()
{
    QSignalBlocker block(m_ui->tableWidget);
    m_ui->tableWidget->clearContents();
    m_ui->tableWidget->setRowCount(0);
    if (!m_api)
        return;
    QList<QString> names;
    m_api->getResponseDataNameList(names);
    for (const QString& name : names) {
        DoeDesignResponse response;
        QString message;
        if (m_api->getResponseDataByName(name, response, message))
            appendRow(response);
    }
}

void DoeResponseEditWidget::initConnection()
{
    connect(m_maxAction, SIGNAL(triggered()), this, SLOT(onClickedAddMax()));
    connect(m_matchAction, SIGNAL(triggered()), this, SLOT(onClickedAddMatch()));
    connect(m_minAction, SIGNAL(triggered()), this, SLOT(onClickedAddMin()));
    connect(m_noneAction, SIGNAL(triggered()), this, SLOT(onClickedAddNone()));
    connect(m_ui->pushButton_remove, SIGNAL(clicked(bool)), this, SLOT(onClickedRemove()));
    connect(m_ui->pushButton_multi, SIGNAL(clicked(bool)), this, SLOT(onClickedNumberOfResponses()));
    connect(m_ui->tableWidget, SIGNAL(cellChanged(int, int)), this, SLOT(onTableDataChanged(int, int)));
    connect(m_ui->pushButton_save, SIGNAL(clicked(bool)), this, SLOT(onClickedSave()));
    connect(m_ui->pushButton_load, SIGNAL(clicked(bool)), this, SLOT(onClickedLoad()));
}

void DoeResponseEditWidget::appendRow(const DoeDesignResponse& response)
{
    QSignalBlocker block(m_ui->tableWidget);
    const int row = m_ui->tableWidget->rowCount();
    m_ui->tableWidget->insertRow(row);
    m_ui->tableWidget->setItem(row, 0, new QTableWidgetItem);
    auto* goalItem = new QTableWidgetItem;
    goalItem->setFlags(Qt::ItemIsEnabled);
    m_ui->tableWidget->setItem(row, 1, goalItem);
    auto* combo = new QComboBox;
    combo->addItems({tr("Maximize"), tr("Match Target"), tr("Minimize"), tr("None")});
    m_ui->tableWidget->setCellWidget(row, 1, combo);
    for (int c = kFirstValueColumn; c <= kUnitsColumn; ++c)
        m_ui->tableWidget->setItem(row, c, new QTableWidgetItem);
    fillRow(row, response);
    connect(combo, SIGNAL(currentIndexChanged(int)), this, SLOT(onComboBoxChanged()));
}

void DoeResponseEditWidget::fillRow(int row, const DoeDesignResponse& response)
{
    QSignalBlocker block(m_ui->tableWidget);
    const int goal = int(response.goal);
    m_ui->tableWidget->item(row, 0)->setText(response.name);
    if (auto* combo = qobject_cast<QComboBox*>(m_ui->tableWidget->cellWidget(row, 1))) {
        QSignalBlocker comboBlock(combo);
        combo->setCurrentIndex(goal);
        combo->setProperty(kLastIndexProperty, goal);
    }
    const QStringList values = valuesOf(response);
    for (int i = 0; i < values.size(); ++i) {
        QTableWidgetItem* item = m_ui->tableWidget->item(row, kFirstValueColumn + i);
        if (goal == kGoalNone) {
            // The real value waits behind "NA" until the goal changes back.
            item->setText(QStringLiteral("NA"));
            item->setData(Qt::UserRole, values[i]);
            item->setFlags(Qt::ItemIsEnabled);
        } else {
            item->setData(Qt::UserRole, QVariant());
            item->setText(values[i]);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsEditable);
        }
    }
    QTableWidgetItem* units = m_ui->tableWidget->item(row, kUnitsColumn);
    units->setText(response.units);
    units->setFlags(Qt::ItemIsEnabled | Qt::ItemIsEditable);
}

void DoeResponseEditWidget::addResponse(int goal)
{
    m_lastGoal = goal;
    if (!m_api)
        return;
    DoeDesignResponse response;
    QString message;
    if (m_api->addResponseData(EDoeResponseGoal(goal), response, message))
        appendRow(response);
    else
        showWarningBox(this, message);
}

void DoeResponseEditWidget::onClickedAddMax() { addResponse(0); }
void DoeResponseEditWidget::onClickedAddMatch() { addResponse(1); }
void DoeResponseEditWidget::onClickedAddMin() { addResponse(2); }
void DoeResponseEditWidget::onClickedAddNone() { addResponse(3); }

void DoeResponseEditWidget::deleteRow(int row)
{
    QTableWidgetItem* nameItem = m_ui->tableWidget->item(row, 0);
    if (!m_api || !nameItem)
        return;
    QString message;
    if (m_api->deleteResponseData(nameItem->text(), message)) {
        QSignalBlocker block(m_ui->tableWidget);
        m_ui->tableWidget->removeRow(row);
    } else {
        showWarningBox(this, message);
    }
}

void DoeResponseEditWidget::onClickedRemove()
{
    QList<int> rows;
    for (int r = m_ui->tableWidget->rowCount() - 1; r >= 0; --r) {
        QTableWidgetItem* item = m_ui->tableWidget->item(r, 0);
        if (item && item->isSelected())
            rows << r;
    }
    for (int r : qAsConst(rows))
        deleteRow(r);
}

void DoeResponseEditWidget::onClickedNumberOfResponses()
{
    DoeNumberInputDlg dlg(tr("Specify Number of Responses"), 1, 1, 30, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    const int wanted = dlg.value();
    const int rows = m_ui->tableWidget->rowCount();
    QSignalBlocker block(m_ui->tableWidget);
    if (wanted < rows) {
        for (int r = rows - 1; r >= wanted; --r)
            deleteRow(r);
    } else {
        for (int i = rows; i < wanted; ++i)
            addResponse(m_lastGoal);
    }
}

void DoeResponseEditWidget::onTableDataChanged(int row, int column)
{
    Q_UNUSED(column)
    if (row < 0 || row >= m_ui->tableWidget->rowCount())
        return;
    DoeDesignResponse response;
    bool wasHidden = false;
    if (auto* combo = qobject_cast<QComboBox*>(m_ui->tableWidget->cellWidget(row, 1))) {
        if (combo->currentIndex() >= 0)
            response.goal = EDoeResponseGoal(combo->currentIndex());
        wasHidden = combo->property(kLastIndexProperty).toInt() == kGoalNone;
        combo->setProperty(kLastIndexProperty, combo->currentIndex());
    }
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, 0))
        response.name = item->text();
    QStringList values;
    for (int c = kFirstValueColumn; c < kUnitsColumn; ++c) {
        QTableWidgetItem* item = m_ui->tableWidget->item(row, c);
        values << (item ? (wasHidden ? item->data(Qt::UserRole).toString() : item->text()) : QString());
    }
    response.lowerLimit = values[0];
    response.upperLimit = values[1];
    response.importance = values[2];
    response.lowerDetectionLimit = values[3];
    response.upperDetectionLimit = values[4];
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, kUnitsColumn))
        response.units = item->text();

    if (!m_api)
        return;
    QList<QString> names;
    m_api->getResponseDataNameList(names);
    if (row >= names.size())
        return;
    QString message;
    if (!m_api->setResponseData(names.at(row), response, message))
        showWarningBox(this, message);
    fillRow(row, response);
}

void DoeResponseEditWidget::onComboBoxChanged()
{
    // The combo box that changed names its own row: the table's current row may be another one.
    int row = m_ui->tableWidget->currentRow();
    for (int r = 0; r < m_ui->tableWidget->rowCount(); ++r)
        if (m_ui->tableWidget->cellWidget(r, 1) == sender()) {
            row = r;
            break;
        }
    onTableDataChanged(row, 1);
}

void DoeResponseEditWidget::onClickedLoad()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open File"), QString(),
                                                      QStringLiteral("csv File (*.csv);;All Files (*.*)"));
    if (path.isEmpty() || !m_api)
        return;
    {
        QSignalBlocker block(m_ui->tableWidget);
        QString message;
        QList<int> skipped;
        const bool ok = m_api->loadResponseByPath(path, skipped, message);
        showWarningBox(this, ok ? QStringLiteral("Success\n") + DoeBussinessApi::skippedLinesText(skipped) : message);
    }
    setDataToUI();
}

void DoeResponseEditWidget::onClickedSave()
{
    const QString path = Custom_QFileDialog::getSaveFileName(nullptr, tr("Select File"), QString(),
                                                             QStringLiteral("txt File (*.txt);;All Files (*.*)"),
                                                             nullptr, QFileDialog::Options());
    if (path.isEmpty() || !m_api)
        return;
    QString message;
    const bool ok = m_api->saveResponseByPath(path, message);
    showWarningBox(this, ok ? QStringLiteral("Success\n") : message);
}

}  // namespace doeUI
