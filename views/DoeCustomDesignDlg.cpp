#include "DoeCustomDesignDlg.h"

#include "DoeBusyRun.h"
#include "DoeBussinessApi.h"
#include "DoeColumnFit.h"
#include "DoeCustomDesignDlgEvaluation.h"
#include "DoeDesignStructureWidget.h"
#include "DoeNumberInputDlg.h"
#include "DoeScreenFit.h"
#include "DoeTableDlg.h"
#include "DoeWheelGuard.h"
#include "ui_DoeCustomDesignDlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QScrollArea>
#include <QVBoxLayout>
#include <QSignalBlocker>
#include <QTabBar>
#include <algorithm>

using namespace doeBussiness;

namespace doeUI {

namespace {
const int kModelPage = 2;
const int kGenerationPage = 3;
const int kDesignPage = 4;
const int kMaxRuns = 1000000;  // the largest design the engine makes
}  // namespace

DoeCustomDesignDlg::DoeCustomDesignDlg(DoeBussinessApi* api, QWidget* parent)
    : QDialog(parent), m_ui(new Ui::doe_custom_design_dlg), m_api(api)
{
    m_ui->setupUi(this);
    setWindowTitle(tr("Custom Design"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    if (m_api)
        m_api->backGenTableData();
    initUI();
    setDataToUI();
    initConnection();
    fitToAvailableScreen(this);
    DoeWheelGuard::install(this);
}

DoeCustomDesignDlg::~DoeCustomDesignDlg()
{
    delete m_ui;
}

void DoeCustomDesignDlg::keyPressEvent(QKeyEvent* event)
{
    // Return finishes the edit in a field or table and goes no further: as a dialog's default key
    // it would press whichever editor button happens to be default, such as "Main Effects", which
    // quietly rebuilds the model terms. A focused button still takes Return itself.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void DoeCustomDesignDlg::initUI()
{
    m_ui->widget_response->setBussinessApi(m_api);
    m_ui->widget_factor->setBussinessApi(m_api);
    m_ui->widget_model->setBussinessApi(m_api);

    m_pageItems.clear();
    m_ui->treeWidget->clear();
    for (int i = 0; i < m_ui->tabWidget->count(); ++i) {
        auto* item = new QTreeWidgetItem(QStringList(m_ui->tabWidget->tabText(i)));
        item->setFlags(Qt::ItemIsSelectable);
        m_ui->treeWidget->addTopLevelItem(item);
        m_pageItems.insert(i, item);
    }
    fitPageListFont();
    m_ui->tabWidget->tabBar()->hide();
    showPage();
    m_ui->pushButton_previous->setEnabled(false);

    // The number of starts is offered: the stored default keeps the engine's own adaptive budget,
    // another number sets how many random starts the search makes.
    const QString startsTip = tr("Random starts of the design search. With %1 (the default) the "
                                 "engine chooses the effort itself; another number sets the starts "
                                 "(more starts: a better design for hard cases, in more time).")
                                  .arg(DoeDesignGeneralSetting().numberOfStarts);
    m_ui->lineEdit_start_number->setToolTip(startsTip);
    m_ui->label_3->setToolTip(startsTip);
    for (QWidget* w : {m_ui->pushButton_previous, m_ui->pushButton_next, m_ui->pushButton_ok, m_ui->pushButton_cancel})
        w->setFocusPolicy(Qt::StrongFocus);
    // Center points and replicate runs are added to the searched design, so they are offered.
    m_ui->spinBox_center_num->setToolTip(tr("Runs added at the centre of the continuous factors."));
    m_ui->spinBox_run_num->setToolTip(tr("Design runs repeated: those whose repetition helps the criterion most."));
    m_ui->treeWidget->setFocusPolicy(Qt::NoFocus);
    m_ui->spinBox_user->setMaximum(kMaxRuns);
    initDesignPage();
    // Whole plots and blocks sit below the run count on the generation page.
    m_structure = new DoeDesignStructureWidget(m_ui->tab_generation);
    m_ui->verticalLayout_generation->insertWidget(
        m_ui->verticalLayout_generation->indexOf(m_ui->widget_runs) + 1, m_structure);
    m_structure->setBussinessApi(m_api);
    initAliasOptimalBox();
}

void DoeCustomDesignDlg::initAliasOptimalBox()
{
    QWidget* holder = m_ui->comboBox_optimality->parentWidget();
    m_aliasOptimal = new QCheckBox(tr("Alias Optimal"), holder);
    m_aliasOptimal->setObjectName(QStringLiteral("checkBox_alias_optimal"));
    m_aliasOptimal->setToolTip(
        tr("Checked: with If Possible terms, the Necessary terms are kept as clear as possible of the "
           "If Possible ones (least alias sum of squares), while the Necessary model keeps at least 80 % "
           "of the D-efficiency of a D-optimal design.\n"
           "Unchecked: If Possible terms enter a Bayesian D-optimal design, which estimates as many of "
           "them as the runs allow."));
    for (QGridLayout* grid : holder->findChildren<QGridLayout*>()) {
        const int at = grid->indexOf(m_ui->comboBox_optimality);
        if (at < 0)
            continue;
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;  // the criterion's cell
        grid->getItemPosition(at, &row, &column, &rowSpan, &columnSpan);
        // Beside the criterion's box, on its row.
        grid->addWidget(m_aliasOptimal, row, column + 1);
        return;
    }
    if (holder->layout())
        holder->layout()->addWidget(m_aliasOptimal);
}

void DoeCustomDesignDlg::initDesignPage()
{
    QWidget* page = m_ui->tab_design;
    QLayout* pageLayout = page->layout();
    pageLayout->removeWidget(m_ui->tableWidget);
    auto* scroll = new QScrollArea(page);
    scroll->setObjectName(QStringLiteral("scrollArea_design"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    m_ui->tableWidget->setParent(content);
    layout->addWidget(m_ui->tableWidget);
    m_evaluation = new DoeDesignEvaluationPanel(content);
    layout->addWidget(m_evaluation);
    layout->addStretch(1);
    scroll->setWidget(content);
    pageLayout->addWidget(scroll);
    m_evaluation->setBussinessApi(m_api);
}

void DoeCustomDesignDlg::fitPageListFont()
{
    // The page list may not grow past its maximum width; a slightly smaller font keeps the longest
    // page name whole instead of cutting it.
    QTreeWidget* tree = m_ui->treeWidget;
    QFont font = tree->font();
    int longest = 0;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        longest = std::max(longest, QFontMetrics(font).horizontalAdvance(tree->topLevelItem(i)->text(0)));
    const int room = tree->maximumWidth() - 2 * tree->frameWidth() - 12;
    while (longest > room && font.pointSizeF() > 7.0) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
        longest = 0;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            longest = std::max(longest, QFontMetrics(font).horizontalAdvance(tree->topLevelItem(i)->text(0)));
    }
    tree->setFont(font);
}

void DoeCustomDesignDlg::showPage()
{
    if (QTreeWidgetItem* item = m_pageItems.value(m_currentPage))
        item->setSelected(true);
    m_ui->tabWidget->setCurrentIndex(m_currentPage);
}

void DoeCustomDesignDlg::setDataToUI()
{
    if (!m_api)
        return;
    DoeDesignGeneralSetting general;
    m_api->getDoeDesignGeneralSetting(general);
    {
        QSignalBlocker b1(m_ui->lineEdit_random_seed);
        QSignalBlocker b2(m_ui->comboBox_optimality);
        QSignalBlocker b3(m_ui->lineEdit_start_number);
        m_ui->lineEdit_random_seed->setText(general.randomSeed);
        m_ui->comboBox_optimality->clear();
        m_ui->comboBox_optimality->addItems({tr("Recommended"), tr("Option 1")});
        m_ui->comboBox_optimality->setItemData(
            0, tr("I-optimal (least average prediction variance) for a model with squared terms, "
                  "else D-optimal"), Qt::ToolTipRole);
        m_ui->comboBox_optimality->setItemData(
            1, tr("D-optimal: the most precise coefficient estimates"), Qt::ToolTipRole);
        m_ui->comboBox_optimality->setCurrentIndex(general.optimalityCriterion);
        m_ui->lineEdit_start_number->setText(general.numberOfStarts);
    }
    if (m_aliasOptimal) {
        QSignalBlocker block(m_aliasOptimal);
        m_aliasOptimal->setChecked(m_api->aliasOptimal());
    }
    setDataToUI_DesignGeneration();
    setDataToUI_DesignAndEvaluation();

    DoeDesignAfterSetting after;
    m_api->getDoeDesignAfterSetting(after);
    QSignalBlocker b(m_ui->comboBox_order);
    m_ui->comboBox_order->clear();
    m_ui->comboBox_order->addItems({tr("Keep"), tr("Random")});
    m_ui->comboBox_order->setCurrentIndex(after.runOrder);
}

void DoeCustomDesignDlg::setDataToUI_DesignGeneration()
{
    if (!m_api)
        return;
    DoeDesignMakingSetting making;
    m_api->getDoeDesignMakingSetting(making);
    const int minimum = std::max(0, making.minimumRuns);
    {
        QSignalBlocker b(m_ui->spinBox_center_num);
        m_ui->spinBox_center_num->setValue(making.centerPoints);
    }
    {
        QSignalBlocker b(m_ui->spinBox_run_num);
        m_ui->spinBox_run_num->setValue(making.replicateRuns);
    }
    m_ui->label_min->setText(QString::number(minimum));
    {
        QSignalBlocker b1(m_ui->radioButton_min);
        QSignalBlocker b2(m_ui->radioButton_user);
        m_ui->radioButton_min->setChecked(!making.userSpecified);
        m_ui->radioButton_user->setChecked(making.userSpecified);
    }
    QSignalBlocker b(m_ui->spinBox_user);
    m_ui->spinBox_user->setMinimum(minimum);
    m_ui->spinBox_user->setValue(minimum);
    if (m_structure)
        m_structure->refresh();
}

void DoeCustomDesignDlg::setDataToUI_DesignAndEvaluation()
{
    if (!m_api)
        return;
    QTableWidget* table = m_ui->tableWidget;
    table->clear();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    int rows = 0;
    int columns = 0;
    m_api->getTableSizeForCustomDesign(rows, columns);
    table->setRowCount(rows);
    table->setColumnCount(columns);
    QVector<QString> names;
    m_api->getColumnNameVectorForCustomDesign(names);
    for (int r = 0; r < rows; ++r) {
        QVector<QString> values;
        QString message;
        m_api->getTableDataByRowForCustomDesign(r, values, message);
        for (int c = 0; c < columns; ++c)
            table->setItem(r, c, new QTableWidgetItem(c < values.size() ? values[c] : QString()));
    }
    table->setHorizontalHeaderLabels(QStringList(names.begin(), names.end()));
    fitColumnsToHeaderAndValues(table);
    // The runs take up to about a dozen rows of the page; the evaluation follows below them.
    const int shownRows = std::min(std::max(rows, 4), 12);
    table->setMinimumHeight(table->horizontalHeader()->sizeHint().height()
                            + shownRows * table->verticalHeader()->defaultSectionSize() + 2 * table->frameWidth()
                            + table->horizontalScrollBar()->sizeHint().height());
    if (m_evaluation)
        m_evaluation->refresh();
}

void DoeCustomDesignDlg::initConnection()
{
    connect(m_ui->pushButton_next, SIGNAL(clicked(bool)), this, SLOT(onClickedNext()));
    connect(m_ui->pushButton_previous, SIGNAL(clicked(bool)), this, SLOT(onClickedPrevious()));
    connect(m_ui->pushButton_ok, SIGNAL(clicked(bool)), this, SLOT(onClickedOK()));
    connect(m_ui->pushButton_cancel, SIGNAL(clicked(bool)), this, SLOT(onClickedCancel()));
    connect(m_ui->lineEdit_random_seed, SIGNAL(editingFinished()), this, SLOT(slotLineEditRandomSeed()));
    connect(m_ui->comboBox_optimality, SIGNAL(currentIndexChanged(int)), this, SLOT(slotComboBoxOptimality()));
    connect(m_ui->lineEdit_start_number, SIGNAL(editingFinished()), this, SLOT(slotLineEditStartNumber()));
    connect(m_ui->spinBox_center_num, SIGNAL(editingFinished()), this, SLOT(onCenterPointNumberValueChanged()));
    connect(m_ui->spinBox_run_num, SIGNAL(editingFinished()), this, SLOT(onReplicateRunValueChanged()));
    connect(m_ui->radioButton_min, SIGNAL(clicked(bool)), this, SLOT(onMinChecked()));
    connect(m_ui->radioButton_user, SIGNAL(clicked(bool)), this, SLOT(onUserDefineChecked()));
    connect(m_ui->spinBox_user, SIGNAL(editingFinished()), this, SLOT(onUserDefineValueChanged()));
    connect(m_ui->spinBox_user, SIGNAL(editingFinished()), m_structure, SLOT(refresh()));
    connect(m_ui->pushButton, SIGNAL(clicked(bool)), this, SLOT(onClickedMakeDesign()));
    connect(m_ui->comboBox_order, SIGNAL(currentIndexChanged(int)), this, SLOT(onComboBoxRunOrderChanged()));
    connect(m_ui->pushButton_make_table, SIGNAL(clicked(bool)), this, SLOT(onClickedMakeTable()));
    connect(m_aliasOptimal, SIGNAL(toggled(bool)), this, SLOT(slotCheckBoxAliasOptimal()));
}

void DoeCustomDesignDlg::onClickedNext()
{
    const int last = m_ui->tabWidget->count() - 1;
    if (m_currentPage >= last)
        return;
    m_ui->treeWidget->clearSelection();
    m_ui->pushButton_previous->setEnabled(true);
    ++m_currentPage;
    if (m_currentPage == last)
        m_ui->pushButton_next->setEnabled(false);
    showPage();
    initUIAfterNext();
}

void DoeCustomDesignDlg::onClickedPrevious()
{
    if (m_currentPage <= 0)
        return;
    m_ui->treeWidget->clearSelection();
    m_ui->pushButton_next->setEnabled(true);
    --m_currentPage;
    if (m_currentPage == 0)
        m_ui->pushButton_previous->setEnabled(false);
    showPage();
}

void DoeCustomDesignDlg::initUIAfterNext()
{
    if (!m_api)
        return;
    QString message;
    switch (m_currentPage) {
    case kModelPage: {
        QList<QString> factors;
        m_api->getFactorDataNameList(factors);
        if (!m_modelPageSeen) {
            m_api->clearModelDataForCustomDesign();
            m_ui->widget_model->onClickedMainEffect();
        } else {
            if (factors != m_modelFactors)
                m_api->mendModelForFactorsForCustomDesign(m_modelFactors);
            m_ui->widget_model->reloadTerms();
        }
        m_modelPageSeen = true;
        m_modelFactors = factors;
        break;
    }
    case kGenerationPage:
        m_api->genDoeMinNum(message);
        setDataToUI_DesignGeneration();
        break;
    case kDesignPage:
        if (!m_designJustMade)
            makeDesign();
        break;
    default:
        break;
    }
}

void DoeCustomDesignDlg::onClickedOK()
{
    accept();
}

void DoeCustomDesignDlg::onClickedCancel()
{
    if (m_api)
        m_api->useBackGenTableData();
    accept();
}

void DoeCustomDesignDlg::reject()
{
    if (m_api)
        m_api->useBackGenTableData();
    QDialog::reject();
}

bool DoeCustomDesignDlg::sendGeneralSetting(QString& message)
{
    DoeDesignGeneralSetting general;
    general.randomSeed = m_ui->lineEdit_random_seed->text();
    general.numberOfStarts = m_ui->lineEdit_start_number->text();
    general.optimalityCriterion = m_ui->comboBox_optimality->currentIndex();
    return m_api->setDoeDesignGeneralSetting(general, message);
}

void DoeCustomDesignDlg::slotLineEditRandomSeed()
{
    QSignalBlocker block(m_ui->lineEdit_random_seed);
    if (!m_api)
        return;
    QString message;
    if (sendGeneralSetting(message))
        return;
    showWarningBox(this, message);
    DoeDesignGeneralSetting stored;
    m_api->getDoeDesignGeneralSetting(stored);
    m_ui->lineEdit_random_seed->setText(stored.randomSeed);
}

void DoeCustomDesignDlg::slotComboBoxOptimality()
{
    QSignalBlocker block(m_ui->comboBox_optimality);
    if (!m_api)
        return;
    QString message;
    if (sendGeneralSetting(message))
        return;
    showWarningBox(this, message);
    DoeDesignGeneralSetting stored;
    m_api->getDoeDesignGeneralSetting(stored);
    m_ui->comboBox_optimality->setCurrentIndex(stored.optimalityCriterion);
}

void DoeCustomDesignDlg::slotCheckBoxAliasOptimal()
{
    if (m_api)
        m_api->setAliasOptimal(m_aliasOptimal->isChecked());
}

void DoeCustomDesignDlg::slotLineEditStartNumber()
{
    QSignalBlocker block(m_ui->lineEdit_start_number);
    if (!m_api)
        return;
    QString message;
    if (sendGeneralSetting(message))
        return;
    showWarningBox(this, message);
    DoeDesignGeneralSetting stored;
    m_api->getDoeDesignGeneralSetting(stored);
    m_ui->lineEdit_start_number->setText(stored.numberOfStarts);
}

bool DoeCustomDesignDlg::sendMakingSetting(QString& message)
{
    DoeDesignMakingSetting making;
    m_api->getDoeDesignMakingSetting(making);
    making.centerPoints = m_ui->spinBox_center_num->value();
    making.replicateRuns = m_ui->spinBox_run_num->value();
    making.userSpecified = m_ui->radioButton_user->isChecked();
    making.userSpecifiedRuns = m_ui->spinBox_user->value();
    making.minimumRuns = m_ui->label_min->text().toInt();
    return m_api->setDoeDesignMakingSetting(making, message);
}

void DoeCustomDesignDlg::onCenterPointNumberValueChanged()
{
    QSignalBlocker block(m_ui->spinBox_center_num);
    if (!m_api)
        return;
    QString message;
    if (sendMakingSetting(message))
        return;
    showWarningBox(this, message);
    DoeDesignMakingSetting stored;
    m_api->getDoeDesignMakingSetting(stored);
    m_ui->spinBox_center_num->setValue(stored.centerPoints);
}

void DoeCustomDesignDlg::onReplicateRunValueChanged()
{
    QSignalBlocker block(m_ui->spinBox_run_num);
    if (!m_api)
        return;
    QString message;
    if (sendMakingSetting(message))
        return;
    showWarningBox(this, message);
    DoeDesignMakingSetting stored;
    m_api->getDoeDesignMakingSetting(stored);
    m_ui->spinBox_run_num->setValue(stored.replicateRuns);
}

void DoeCustomDesignDlg::onUserDefineValueChanged()
{
    QSignalBlocker block(m_ui->spinBox_user);
    if (!m_api)
        return;
    QString message;
    if (sendMakingSetting(message))
        return;
    showWarningBox(this, message);
    DoeDesignMakingSetting stored;
    m_api->getDoeDesignMakingSetting(stored);
    m_ui->spinBox_user->setValue(stored.userSpecifiedRuns);
}

void DoeCustomDesignDlg::onMinUserChecked()
{
    QSignalBlocker b1(m_ui->radioButton_min);
    QSignalBlocker b2(m_ui->radioButton_user);
    m_ui->radioButton_user->setChecked(m_ui->radioButton_user->isChecked());
    m_ui->radioButton_min->setChecked(!m_ui->radioButton_user->isChecked());
    if (!m_api)
        return;
    QString message;
    if (sendMakingSetting(message))
        return;
    showWarningBox(this, message);
    DoeDesignMakingSetting stored;
    m_api->getDoeDesignMakingSetting(stored);
    m_ui->radioButton_user->setChecked(stored.userSpecified);
    m_ui->radioButton_min->setChecked(!stored.userSpecified);
}

void DoeCustomDesignDlg::onMinChecked()
{
    onMinUserChecked();
}

void DoeCustomDesignDlg::onUserDefineChecked()
{
    onMinUserChecked();
}

void DoeCustomDesignDlg::onClickedMakeDesign()
{
    if (!m_api)
        return;
    makeDesign();
    // The same factors and seed would give the same design again: the page shows this one.
    m_designJustMade = true;
    onClickedNext();
    m_designJustMade = false;
}

void DoeCustomDesignDlg::makeDesign()
{
    QString message;
    bool made = false;
    // Many factors make a long search: the wizard keeps painting behind a busy dialog that shows
    // the search's progress and, when the engine can stop it, a Cancel button.
    std::function<void()> cancel;
    if (m_api->canCancelDesign())
        cancel = [this]() { m_api->cancelDesign(); };
    const bool cancelled = runWithProgressDialog(
        this, tr("Making design..."), [&]() { made = m_api->genDoeTableForCustomDesign(message); },
        [this]() { return m_api->designProgress(); }, cancel);
    setDataToUI_DesignAndEvaluation();
    if (cancelled && made && m_evaluation)
        m_evaluation->setNotice(tr("Search cancelled: this is the best design found before it stopped."));
    else if (cancelled && !made)
        showWarningBox(this, message.isEmpty() ? tr("Search cancelled: no design was made.\n") : message);
    else if (!made && !message.isEmpty())
        showWarningBox(this, message);  // a refused search says why instead of leaving the page empty
}

void DoeCustomDesignDlg::onComboBoxRunOrderChanged()
{
    if (!m_api)
        return;
    DoeDesignAfterSetting after;
    after.runOrder = m_ui->comboBox_order->currentIndex();
    QString message;
    if (m_api->setDoeDesignAfterSetting(after, message))
        return;
    DoeDesignAfterSetting stored;
    m_api->getDoeDesignAfterSetting(stored);
    {
        QSignalBlocker block(m_ui->comboBox_order);
        m_ui->comboBox_order->setCurrentIndex(stored.runOrder);
    }
    showWarningBox(this, message);
}

void DoeCustomDesignDlg::onClickedMakeTable()
{
    if (!m_api)
        return;
    m_api->genDoeTableFromCustomDesign_Preparation();
    QString message;
    if (!m_api->genDoeTableFromCustomDesign_CheckInvalidRow(message))
        showWarningBox(this, message);
    m_api->genDoeTableFromCustomDesign_AfterCheck();
    DoeTableDlg table(m_api, this);
    table.initDoeTableData();
    table.exec();
}

}  // namespace doeUI
