#include "DoeAugmentDesignDlg.h"

#include "DoeBusyRun.h"
#include "DoeBussinessApi.h"
#include "DoeCustomDesignDlgEvaluation.h"
#include "DoeModelEditWidget.h"
#include "DoeNumberInputDlg.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace doeBussiness;

namespace doeUI {

namespace {

enum FactorColumn { ColName = 0, ColRole, ColLow, ColHigh };

QString roleText(EDoeFactorRole role)
{
    switch (role) {
    case Continuous:
        return QStringLiteral("Continuous");
    case DiscreteNumeric:
        return QStringLiteral("Discrete Numeric");
    default:
        return QStringLiteral("Categorical");
    }
}

} // namespace

DoeAugmentDesignDlg::DoeAugmentDesignDlg(DoeBussinessApi* api, QWidget* parent)
    : QDialog(parent)
    , m_api(api)
{
    setObjectName(QStringLiteral("DoeAugmentDesignDlg"));
    setWindowTitle(tr("Augment Design"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    initUI();
    // The custom design is borrowed for the augmentation and given back unless it succeeds.
    QString err;
    if (m_api) {
        m_api->backGenTableData();
        m_ready = m_api->prepareAugmentDesign(err);
        if (!m_ready)
            m_api->useBackGenTableData();
    } else {
        err = QStringLiteral("Unknown error\n");
    }
    if (!m_ready) {
        showWarningBox(this, err);
        m_augment->setEnabled(false);
        connect(m_close, SIGNAL(clicked()), this, SLOT(reject()));
        return;
    }
    setDataToUI();
    initConnection();
}

void DoeAugmentDesignDlg::initUI()
{
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tabWidget_augment"));

    auto* setupPage = new QWidget(m_tabs);
    auto* setup = new QVBoxLayout(setupPage);
    auto* factorsBox = new QGroupBox(tr("Factors"), setupPage);
    auto* factorsLayout = new QVBoxLayout(factorsBox);
    auto* hint = new QLabel(
        tr("Uncheck a factor to leave it out of the new runs; a continuous range may be "
           "widened by editing Low or High (the runs already made must stay inside). A table read "
           "from a file lists its response columns here too: uncheck them to keep their values."),
        factorsBox);
    hint->setWordWrap(true);
    m_factors = new QTableWidget(0, 4, factorsBox);
    m_factors->setObjectName(QStringLiteral("tableWidget_factors"));
    m_factors->setHorizontalHeaderLabels(
        { tr("Factor"), tr("Role"), tr("Low / Levels"), tr("High") });
    m_factors->verticalHeader()->hide();
    m_factors->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_factors->horizontalHeader()->setSectionResizeMode(ColName, QHeaderView::ResizeToContents);
    m_factors->horizontalHeader()->setSectionResizeMode(ColRole, QHeaderView::ResizeToContents);
    factorsLayout->addWidget(hint);
    factorsLayout->addWidget(m_factors);

    auto* modelBox = new QGroupBox(tr("Model"), setupPage);
    auto* modelLayout = new QVBoxLayout(modelBox);
    m_model = new DoeModelEditWidget(modelBox);
    modelLayout->addWidget(m_model);

    auto* runsBox = new QGroupBox(tr("Runs"), setupPage);
    auto* runs = new QGridLayout(runsBox);
    m_addRuns = new QSpinBox(runsBox);
    m_addRuns->setObjectName(QStringLiteral("spinBox_add_runs"));
    m_addRuns->setRange(0, 1000000);
    m_minimum = new QLabel(runsBox);
    m_minimum->setObjectName(QStringLiteral("label_minimum_runs"));
    m_block = new QCheckBox(tr("Add a block column"), runsBox);
    m_block->setObjectName(QStringLiteral("checkBox_add_block"));
    m_block->setToolTip(
        tr("The runs already made form block 1 and the new runs block 2; the block enters "
           "the model as a fixed effect."));
    m_foldOver = new QCheckBox(tr("Fold over"), runsBox);
    m_foldOver->setObjectName(QStringLiteral("checkBox_fold_over"));
    m_foldOver->setToolTip(
        tr("Two-level designs: adds the mirror image of every run, in every factor or in "
           "the one chosen."));
    m_foldFactor = new QComboBox(runsBox);
    m_foldFactor->setObjectName(QStringLiteral("comboBox_fold_factor"));
    m_foldFactor->setEnabled(false);
    runs->addWidget(new QLabel(tr("Number of runs to add"), runsBox), 0, 0);
    runs->addWidget(m_addRuns, 0, 1);
    runs->addWidget(m_minimum, 0, 2);
    runs->addWidget(m_block, 1, 0, 1, 3);
    runs->addWidget(m_foldOver, 2, 0);
    runs->addWidget(m_foldFactor, 2, 1, 1, 2);
    runs->setColumnStretch(2, 1);
    runs->setRowStretch(3, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(factorsBox, 3);
    top->addWidget(runsBox, 2);
    setup->addLayout(top, 2);
    setup->addWidget(modelBox, 3);
    m_tabs->addTab(setupPage, tr("Factors and Model"));

    auto* evalPage = new QWidget(m_tabs);
    auto* evalLayout = new QVBoxLayout(evalPage);
    m_result = new QLabel(evalPage);
    m_result->setObjectName(QStringLiteral("label_augment_result"));
    m_evaluation = new DoeDesignEvaluationPanel(evalPage);
    auto* scroll = new QScrollArea(evalPage);
    scroll->setWidgetResizable(true);
    scroll->setWidget(m_evaluation);
    evalLayout->addWidget(m_result);
    evalLayout->addWidget(scroll, 1);
    m_tabs->addTab(evalPage, tr("Design Evaluation"));
    m_tabs->setTabEnabled(1, false);

    m_augment = new QPushButton(tr("Augment"), this);
    m_augment->setObjectName(QStringLiteral("pushButton_augment"));
    m_augment->setDefault(true);
    m_close = new QPushButton(tr("Close"), this);
    m_close->setObjectName(QStringLiteral("pushButton_close"));
    m_close->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_augment);
    buttons->addWidget(m_close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);
    resize(1040, 780);
}

void DoeAugmentDesignDlg::setDataToUI()
{
    QSignalBlocker block(m_factors);
    QList<QString> names;
    m_api->getFactorDataNameList(names);
    m_factors->setRowCount(names.size());
    m_foldFactor->clear();
    m_foldFactor->addItem(tr("All factors"), QString());
    for (int r = 0; r < names.size(); ++r) {
        DoeDesignFactor factor;
        QString err;
        m_api->getFactorDataByName(names.at(r), factor, err);
        fillFactorRow(r, factor, true);
        m_foldFactor->addItem(factor.name, factor.name);
    }
    m_model->setBussinessApi(m_api);
    refreshMinimum();
}

void DoeAugmentDesignDlg::fillFactorRow(int row, const DoeDesignFactor& factor, bool kept)
{
    // Items are written in place: this runs from their own change signal.
    QSignalBlocker block(m_factors);
    const auto cell = [this, row](int col, const QString& text, Qt::ItemFlags flags) {
        QTableWidgetItem* item = m_factors->item(row, col);
        if (!item) {
            item = new QTableWidgetItem;
            m_factors->setItem(row, col, item);
        }
        item->setText(text);
        item->setFlags(flags);
        return item;
    };
    QTableWidgetItem* name
        = cell(ColName, factor.name, Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    name->setCheckState(kept ? Qt::Checked : Qt::Unchecked);
    name->setData(Qt::UserRole, factor.name);
    cell(ColRole, roleText(factor.role), Qt::ItemIsEnabled);
    const Qt::ItemFlags editable = kept
        ? Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsSelectable
        : Qt::ItemFlags(Qt::ItemIsEnabled);
    if (factor.role == Continuous) {
        cell(ColLow, factor.values.value(0), editable);
        cell(ColHigh, factor.values.value(1), editable);
    } else {
        cell(ColLow, factor.values.join(QStringLiteral(", ")), Qt::ItemIsEnabled);
        cell(ColHigh, QString(), Qt::ItemIsEnabled);
    }
}

void DoeAugmentDesignDlg::initConnection()
{
    connect(m_factors, SIGNAL(itemChanged(QTableWidgetItem*)), this,
        SLOT(onFactorItemChanged(QTableWidgetItem*)));
    connect(m_block, SIGNAL(toggled(bool)), this, SLOT(onOptionsChanged()));
    connect(m_foldOver, SIGNAL(toggled(bool)), this, SLOT(onOptionsChanged()));
    connect(m_augment, SIGNAL(clicked()), this, SLOT(onClickedAugment()));
    connect(m_close, SIGNAL(clicked()), this, SLOT(reject()));
    // The model page edits the terms through its own buttons, menus and table; the minimum
    // follows each of those edits.
    for (QAbstractButton* b : m_model->findChildren<QAbstractButton*>())
        connect(b, SIGNAL(clicked()), this, SLOT(refreshMinimum()), Qt::QueuedConnection);
    for (QMenu* menu : m_model->findChildren<QMenu*>())
        connect(
            menu, SIGNAL(triggered(QAction*)), this, SLOT(refreshMinimum()), Qt::QueuedConnection);
    for (QTableWidget* t : m_model->findChildren<QTableWidget*>())
        connect(t, SIGNAL(itemChanged(QTableWidgetItem*)), this, SLOT(refreshMinimum()),
            Qt::QueuedConnection);
}

void DoeAugmentDesignDlg::onFactorItemChanged(QTableWidgetItem* item)
{
    if (!item)
        return;
    if (item->column() == ColName) {
        setKept(item->data(Qt::UserRole).toString(), item->checkState() == Qt::Checked, item);
        return;
    }
    if (item->column() == ColLow || item->column() == ColHigh)
        setRange(item->row(), item);
}

void DoeAugmentDesignDlg::setKept(const QString& name, bool kept, QTableWidgetItem* item)
{
    QList<QString> before;
    m_api->getFactorDataNameList(before);
    QString err;
    DoeDesignFactor factor;
    bool ok = false;
    if (kept) {
        factor = m_left.value(name);
        DoeDesignFactor added;
        ok = m_api->addFactorData(factor.role, factor.values.size(), added, err);
        if (ok && !m_api->setFactorData(added.name, factor, err)) {
            QString ignored;
            m_api->deleteFactorData(added.name, ignored);
            ok = false;
        }
        if (ok)
            m_left.remove(name);
    } else {
        ok = m_api->getFactorDataByName(name, factor, err) && m_api->deleteFactorData(name, err);
        if (ok)
            m_left.insert(name, factor);
    }
    if (!ok) {
        showWarningBox(this, err);
        QSignalBlocker block(m_factors);
        item->setCheckState(kept ? Qt::Unchecked : Qt::Checked);
        return;
    }
    m_api->mendModelForFactorsForCustomDesign(before);
    fillFactorRow(item->row(), factor, kept);
    m_model->reloadTerms();
    refreshMinimum();
}

void DoeAugmentDesignDlg::setRange(int row, QTableWidgetItem* item)
{
    const QString name = m_factors->item(row, ColName)->data(Qt::UserRole).toString();
    DoeDesignFactor factor;
    QString err;
    if (!m_api->getFactorDataByName(name, factor, err) || factor.role != Continuous)
        return;
    const DoeDesignFactor before = factor;
    factor.values = QStringList { m_factors->item(row, ColLow)->text().trimmed(),
        m_factors->item(row, ColHigh)->text().trimmed() };
    if (!m_api->setFactorData(name, factor, err)) {
        showWarningBox(this, err);
    } else if (m_api->augmentMinimumRuns(false, err) < 0) {
        // Only widening is possible: the runs already made must stay inside the range.
        DoeDesignFactor back = before;
        QString ignored;
        m_api->setFactorData(name, back, ignored);
        showWarningBox(this, err);
    }
    // Show what the facade keeps, accepted or not.
    DoeDesignFactor stored;
    QString ignored;
    m_api->getFactorDataByName(name, stored, ignored);
    fillFactorRow(row, stored, true);
    Q_UNUSED(item)
    refreshMinimum();
}

void DoeAugmentDesignDlg::onOptionsChanged()
{
    const bool fold = m_foldOver->isChecked();
    m_foldFactor->setEnabled(fold);
    m_addRuns->setEnabled(!fold);
    refreshMinimum();
}

void DoeAugmentDesignDlg::refreshMinimum()
{
    if (!m_api || !m_ready || m_augmented)
        return;
    int rows = 0, cols = 0;
    m_api->getTableSize(rows, cols);
    if (m_foldOver->isChecked()) {
        m_minimum->setText(tr("Fold over adds %1 runs").arg(rows));
        m_minimum->setToolTip(QString());
        return;
    }
    QString err;
    const int minimum = m_api->augmentMinimumRuns(m_block->isChecked(), err);
    if (minimum < 0) {
        m_minimum->setText(tr("Minimum runs to add: not known"));
        m_minimum->setToolTip(err.trimmed());
        return;
    }
    m_minimum->setText(tr("Minimum runs to add: %1").arg(minimum));
    m_minimum->setToolTip(QString());
    if (m_addRuns->value() < minimum) {
        QSignalBlocker block(m_addRuns);
        m_addRuns->setValue(minimum);
    }
}

void DoeAugmentDesignDlg::onClickedAugment()
{
    if (!m_api || !m_ready || m_augmented)
        return;
    int rowsBefore = 0, cols = 0;
    m_api->getTableSize(rowsBefore, cols);
    QString err;
    bool ok = false;
    bool cancelled = false;
    if (m_foldOver->isChecked()) {
        ok = m_api->foldOverDesign(m_foldFactor->currentData().toString(), m_block->isChecked(), err);
    } else {
        // The search for the new runs may take a while: off the GUI thread, with progress and Cancel.
        const int runs = m_addRuns->value();
        const bool block = m_block->isChecked();
        std::function<void()> cancel;
        if (m_api->canCancelDesign())
            cancel = [this]() { m_api->cancelDesign(); };
        cancelled = runWithProgressDialog(
            this, tr("Searching the new runs..."), [&]() { ok = m_api->augmentDesign(runs, block, err); },
            [this]() { return m_api->designProgress(); }, cancel);
    }
    if (!ok) {
        showWarningBox(this, err);
        return;
    }
    m_augmented = true;
    int rows = 0;
    m_api->getTableSize(rows, cols);
    m_result->setText(
        tr("The design table now holds %1 runs: the %2 runs already made first, then %3 new runs "
           "with empty responses.")
            .arg(rows)
            .arg(rowsBefore)
            .arg(rows - rowsBefore));
    m_tabs->widget(0)->setEnabled(false);
    m_augment->setEnabled(false);
    m_close->setDefault(true);
    m_tabs->setTabEnabled(1, true);
    m_evaluation->setBussinessApi(m_api);
    m_evaluation->refresh();
    if (cancelled)
        m_evaluation->setNotice(tr("Search cancelled: these are the best new runs found before it stopped."));
    m_tabs->setCurrentIndex(1);
}

void DoeAugmentDesignDlg::done(int result)
{
    // Nothing augmented: the custom design goes back to what it was before the dialog opened.
    if (m_api && m_ready && !m_augmented)
        m_api->useBackGenTableData();
    m_ready = m_ready && m_augmented;
    QDialog::done(m_augmented ? QDialog::Accepted : result);
}

} // namespace doeUI
