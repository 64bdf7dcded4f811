#include "DoeModelEditWidget.h"
#include "ui_DoeModelEditWidget.h"

#include "DoeBussinessApi.h"
#include "DoeNumberInputDlg.h"
#include "NoFocusDelegate.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>

#include <algorithm>

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

    // Orders and powers travel as action data; an entry enables with what the selection allows.
    const QStringList orders = {tr("2nd"), tr("3rd"), tr("4th"), tr("5th")};
    for (int k = 0; k < orders.size(); ++k)
        m_interactionsMenu->addAction(orders[k])->setData(k + 2);
    for (int k = 0; k < 2; ++k)
        m_powersMenu->addAction(orders[k])->setData(k + 2);

    // The factors the interactions, powers and crosses are built from, beside the terms.
    m_factorList = new QListWidget(this);
    m_factorList->setObjectName(QStringLiteral("listWidget_factors"));
    m_factorList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* factorColumn = new QVBoxLayout;
    factorColumn->addWidget(new QLabel(tr("Factors"), this));
    factorColumn->addWidget(m_factorList);
    auto* lists = new QHBoxLayout;
    const int at = m_ui->verticalLayout->indexOf(m_ui->tableWidget);
    m_ui->verticalLayout->removeWidget(m_ui->tableWidget);
    lists->addLayout(factorColumn, 1);
    lists->addWidget(m_ui->tableWidget, 3);
    m_ui->verticalLayout->insertLayout(at, lists);
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
    refreshFactorList();
    onSelectionChanged();
}

void DoeModelEditWidget::refreshFactorList()
{
    if (!m_factorList)
        return;
    const QStringList keep = selectedFactors();
    QList<QString> names;
    if (m_api)
        m_api->getFactorDataNameList(names);
    QSignalBlocker block(m_factorList);
    m_factorList->clear();
    for (const QString& name : qAsConst(names)) {
        auto* item = new QListWidgetItem(name, m_factorList);
        item->setSelected(keep.contains(name));
    }
}

QStringList DoeModelEditWidget::selectedFactors() const
{
    QStringList names;
    if (!m_factorList)
        return names;
    for (int r = 0; r < m_factorList->count(); ++r)
        if (m_factorList->item(r)->isSelected())
            names << m_factorList->item(r)->text();
    return names;
}

QList<int> DoeModelEditWidget::selectedTermRows() const
{
    QList<int> rows;
    for (int r = 0; r < m_ui->tableWidget->rowCount(); ++r) {
        QTableWidgetItem* item = m_ui->tableWidget->item(r, 0);
        if (item && item->isSelected())
            rows << r;
    }
    return rows;
}

void DoeModelEditWidget::onSelectionChanged()
{
    const QStringList factors = selectedFactors();
    const QList<int> rows = selectedTermRows();
    const int all = m_factorList ? m_factorList->count() : 0;
    bool square = false;
    bool cube = false;
    for (const QString& name : factors) {
        DoeDesignFactor factor;
        QString ignored;
        if (!m_api || !m_api->getFactorDataByName(name, factor, ignored))
            continue;
        square = square || factor.role != Categorical;
        cube = cube || factor.role == Continuous;
    }
    const int pool = factors.isEmpty() ? all : factors.size();
    if (m_interactionsMenu)
        for (QAction* a : m_interactionsMenu->actions())
            a->setEnabled(pool >= a->data().toInt());
    if (m_powersMenu)
        for (QAction* a : m_powersMenu->actions())
            a->setEnabled(a->data().toInt() == 2 ? square : cube);
    m_ui->pushButton_interaction->setEnabled(m_api && pool >= 2);
    m_ui->pushButton_powers->setEnabled(m_api && square);
    m_ui->pushButton_cross->setEnabled(m_api && !factors.isEmpty() && (!rows.isEmpty() || factors.size() > 1));
    const int intercept = m_api ? m_api->getModelInterceptDataIdxForCustomDesign() : -1;
    const bool removable = std::any_of(rows.begin(), rows.end(), [&](int r) { return r != intercept; });
    m_ui->pushButton_remove->setEnabled(m_api && removable);
}

void DoeModelEditWidget::finishEdit(bool ok, const QString& message)
{
    if (!ok)
        showWarningBox(this, message);
    reloadTerms();
}

void DoeModelEditWidget::initConnection()
{
    connect(m_ui->pushButton_main_effect, SIGNAL(clicked(bool)), this, SLOT(onClickedMainEffect()));
    connect(m_ui->pushButton_rsm, SIGNAL(clicked(bool)), this, SLOT(onClickedRSM()));
    connect(m_ui->pushButton_remove, SIGNAL(clicked(bool)), this, SLOT(onClickedRemove()));
    connect(m_interactionsMenu, SIGNAL(triggered(QAction*)), this, SLOT(onInteractionChosen(QAction*)));
    connect(m_powersMenu, SIGNAL(triggered(QAction*)), this, SLOT(onPowerChosen(QAction*)));
    connect(m_ui->pushButton_cross, SIGNAL(clicked(bool)), this, SLOT(onClickedCross()));
    connect(m_ui->tableWidget, SIGNAL(itemSelectionChanged()), this, SLOT(onSelectionChanged()));
    connect(m_factorList, SIGNAL(itemSelectionChanged()), this, SLOT(onSelectionChanged()));
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
    if (QTableWidgetItem* item = m_ui->tableWidget->item(row, 0)) {
        item->setText(model.algebraShowStr());
        item->setToolTip(item->text());  // long products are elided in the column
    }
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
    const QList<int> rows = selectedTermRows();
    if (!m_api || rows.isEmpty())
        return;
    QString message;
    finishEdit(m_api->removeModelDataListForCustomDesign(rows, message), message);
}

void DoeModelEditWidget::onInteractionChosen(QAction* action)
{
    if (!m_api || !action)
        return;
    QString message;
    finishEdit(m_api->addInteractionModelDataForCustomDesign(selectedFactors(), action->data().toInt(), message),
               message);
}

void DoeModelEditWidget::onPowerChosen(QAction* action)
{
    if (!m_api || !action)
        return;
    QString message;
    finishEdit(m_api->addPowerModelDataForCustomDesign(selectedFactors(), action->data().toInt(), message), message);
}

void DoeModelEditWidget::onClickedCross()
{
    if (!m_api)
        return;
    QString message;
    finishEdit(m_api->addCrossModelDataForCustomDesign(selectedFactors(), selectedTermRows(), message), message);
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
