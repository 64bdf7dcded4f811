#include "DoeModelEditWidget.h"
#include "ui_DoeModelEditWidget.h"

#include "DoeBussinessApi.h"
#include "DoeNumberInputDlg.h"
#include "NoFocusDelegate.h"

#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>

using namespace doeBussiness;

namespace doeUI {

DoeModelEditWidget::DoeModelEditWidget(QWidget* parent) : QWidget(parent)
{
    m_ui = new Ui::doe_model_edit_widget;
    m_ui->setupUi(this);
}

DoeModelEditWidget::~DoeModelEditWidget()
{
    delete m_ui;
}

void DoeModelEditWidget::setBussinessApi(DoeBussinessApi* api)
{
    m_api = api;
    initUI();
    setDataToUI();
    initConnection();
}

void DoeModelEditWidget::initUI()
{
    m_interactionsMenu = new QMenu(m_ui->pushButton_interaction);
    m_ui->pushButton_interaction->setMenu(m_interactionsMenu);
    m_powersMenu = new QMenu(m_ui->pushButton_powers);
    m_ui->pushButton_powers->setMenu(m_powersMenu);
    m_ui->pushButton_interaction->setEnabled(false);
    m_ui->pushButton_cross->setEnabled(false);
    m_ui->pushButton_powers->setEnabled(false);
    m_ui->tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_ui->tableWidget->verticalHeader()->hide();
    m_ui->tableWidget->setShowGrid(false);
    m_ui->tableWidget->setItemDelegateForColumn(1, new NoFocusDelegate(m_ui->tableWidget));
    m_ui->tableWidget->viewport()->installEventFilter(this);
    m_ui->pushButton_remove->setEnabled(false);
}

void DoeModelEditWidget::setDataToUI()
{
    if (!m_api)
        return;
    const int size = m_api->getModelDataSizeForCustomDesign();
    for (int i = 0; i < size; ++i) {
        DoeDesignModel model;
        QString message;
        if (m_api->getModelDataByIdxForCustomDesign(i, model, message))
            appendRow(model);
    }
}

void DoeModelEditWidget::initConnection()
{
    connect(m_ui->pushButton_main_effect, SIGNAL(clicked(bool)), this, SLOT(onClickedMainEffect()));
    connect(m_ui->pushButton_rsm, SIGNAL(clicked(bool)), this, SLOT(onClickedRSM()));
    connect(m_ui->pushButton_remove, SIGNAL(clicked(bool)), this, SLOT(onClickedRemove()));
}

void DoeModelEditWidget::appendRow(const DoeDesignModel& model)
{
    QSignalBlocker block(m_ui->tableWidget);
    const int row = m_ui->tableWidget->rowCount();
    m_ui->tableWidget->insertRow(row);
    auto* name = new QTableWidgetItem;
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    m_ui->tableWidget->setItem(row, 0, name);
    auto* estimability = new QTableWidgetItem;
    estimability->setFlags(Qt::NoItemFlags);
    m_ui->tableWidget->setItem(row, 1, estimability);
    fillRow(row, model);
}

void DoeModelEditWidget::fillRow(int row, const DoeDesignModel& model)
{
    QSignalBlocker block(m_ui->tableWidget);
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, 0))
        item->setText(model.algebraShowStr());
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, 1))
        item->setText(model.necessary ? tr("Necessary") : tr("If Possible"));
}

void DoeModelEditWidget::reloadTerms()
{
    {
        QSignalBlocker block(m_ui->tableWidget);
        m_ui->tableWidget->clearContents();
        m_ui->tableWidget->setRowCount(0);
    }
    setDataToUI();
}

void DoeModelEditWidget::onClickedMainEffect()
{
    {
        QSignalBlocker block(m_ui->tableWidget);
        m_ui->tableWidget->clearContents();
        m_ui->tableWidget->setRowCount(0);
    }
    if (m_api)
        m_api->genModelForCustomDesign_MainEffect();
    setDataToUI();
}

void DoeModelEditWidget::onClickedRSM()
{
    {
        QSignalBlocker block(m_ui->tableWidget);
        m_ui->tableWidget->clearContents();
        m_ui->tableWidget->setRowCount(0);
    }
    if (m_api)
        m_api->genModelForCustomDesign_RSM();
    setDataToUI();
}

void DoeModelEditWidget::onClickedRemove()
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
        if (m_api->deleteModelDataForCustomDesign(r, message)) {
            QSignalBlocker block(m_ui->tableWidget);
            m_ui->tableWidget->removeRow(r);
        } else {
            showWarningBox(this, message);
        }
    }
    if (m_ui->tableWidget->rowCount() == 0)
        setDataToUI();
}

void DoeModelEditWidget::setNecessary(const QList<int>& rows, bool necessary)
{
    if (!m_api)
        return;
    for (int r : rows) {
        if (r < 0 || r >= m_api->getModelDataSizeForCustomDesign())
            continue;
        DoeDesignModel model;
        QString message;
        if (!m_api->getModelDataByIdxForCustomDesign(r, model, message))
            continue;
        model.necessary = necessary;
        m_api->setModelDataForCustomDesign(r, model, message);
        if (r < m_ui->tableWidget->rowCount())
            fillRow(r, model);
    }
}

bool DoeModelEditWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ui->tableWidget->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        QTableWidgetItem* clicked = m_ui->tableWidget->itemAt(mouse->pos());
        if (mouse->button() == Qt::LeftButton && clicked && clicked->column() == 1) {
            QList<int> rows;
            for (QTableWidgetItem* item : m_ui->tableWidget->selectedItems())
                if (item->column() == 0)
                    rows << item->row();
            if (rows.isEmpty())
                rows << clicked->row();
            QMenu menu(m_ui->tableWidget);
            QAction* necessary = menu.addAction(tr("Necessary"));
            QAction* ifPossible = menu.addAction(tr("If Possible"));
            QAction* chosen = menu.exec(mouse->globalPos());
            if (chosen == necessary)
                setNecessary(rows, true);
            else if (chosen == ifPossible)
                setNecessary(rows, false);
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace doeUI
