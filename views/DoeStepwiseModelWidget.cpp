#include "DoeStepwiseModelWidget.h"
#include "ui_DoeStepwiseModelWidget.h"

#include "DoeBussinessApi.h"
#include "DoeColumnFit.h"
#include "DoeRegressionResultDlg.h"

#include <QCheckBox>
#include <QDoubleValidator>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace doeUI {

using namespace doeBussiness;

using doeBussiness::DoeBussinessApi;

namespace {

enum SettingField { StoppingRule, ProbEnter, ProbLeave, Direction, Rules };

QTableWidgetItem* centredItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

QString num(double v)
{
    return QString("%1").arg(v, 0, 'g');
}

// A statistic the step could not compute (no error degrees of freedom left) shows as an empty cell.
QString cellNum(double v)
{
    return std::isfinite(v) ? num(v) : QString();
}

QWidget* centred(QCheckBox* box)
{
    auto* holder = new QWidget;
    auto* lay = new QHBoxLayout(holder);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setAlignment(Qt::AlignCenter);
    lay->addWidget(box);
    return holder;
}

}  // namespace

DoeStepwiseModelWidget::DoeStepwiseModelWidget(DoeBussinessApi* facade, int modelIndex, QWidget* parent)
    : QWidget(parent), m_facade(facade), m_modelIndex(modelIndex)
{
    m_form.reset(new Ui::doe_stepwise_model_widget);
    m_form->setupUi(this);
    if (m_facade)
        m_facade->getSaveParamName(m_paramNames, m_modelIndex);
    initUI();
    setDataToUI();
    initConnection();
}

DoeStepwiseModelWidget::~DoeStepwiseModelWidget()
{
    stopAndWait();
}

bool DoeStepwiseModelWidget::isRunning() const
{
    return m_future.isStarted() && !m_future.isFinished();
}

void DoeStepwiseModelWidget::stopAndWait()
{
    m_stop = true;
    if (m_future.isStarted())
        m_future.waitForFinished();
}

int DoeStepwiseModelWidget::tableShortfall() const
{
    return std::max(m_infoFit->shortfall(), m_estimatesFit->shortfall());
}

void DoeStepwiseModelWidget::initUI()
{
    m_form->lineEdit_p_enter->setValidator(new QDoubleValidator(this));
    m_form->lineEdit_p_leave->setValidator(new QDoubleValidator(this));
    m_form->tableWidget_total_info->verticalHeader()->hide();
    m_form->tableWidget_estimates->verticalHeader()->hide();
    m_form->tableWidget_estimates->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_form->tableWidget_total_info->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Statistics share the width evenly; a long parameter name gives way first, elided.
    m_infoFit = new DoeColumnFitter(m_form->tableWidget_total_info);
    m_estimatesFit = new DoeColumnFitter(m_form->tableWidget_estimates, 2);
}

void DoeStepwiseModelWidget::setDataToUI()
{
    if (!m_facade)
        return;
    showSetting();
    refresh();
}

void DoeStepwiseModelWidget::initConnection()
{
    connect(m_form->comboBox_stopping_rule, SIGNAL(currentIndexChanged(int)), this,
            SLOT(onComboboxStoppingRuleChanged()));
    connect(m_form->comboBox_direction, SIGNAL(currentIndexChanged(int)), this, SLOT(onComboboxDirectionChanged()));
    connect(m_form->comboBox_rules, SIGNAL(currentIndexChanged(int)), this, SLOT(onComboboxRulesChanged()));
    connect(m_form->lineEdit_p_enter, SIGNAL(editingFinished()), this, SLOT(onLineEditEnterChanged()));
    connect(m_form->lineEdit_p_leave, SIGNAL(editingFinished()), this, SLOT(onLineEditLeaveChanged()));
    connect(m_form->pushButton_enter_single, SIGNAL(clicked()), this, SLOT(onClickedEnterSingle()));
    connect(m_form->pushButton_remove_single, SIGNAL(clicked()), this, SLOT(onClickedRemoveSingle()));
    connect(m_form->pushButton_enter_all, SIGNAL(clicked()), this, SLOT(onClickedEnterAll()));
    connect(m_form->pushButton_remove_all, SIGNAL(clicked()), this, SLOT(onClickedRemoveAll()));
    connect(m_form->pushButton_run, SIGNAL(clicked()), this, SLOT(onClickedRunModel()));
    connect(m_form->pushButton_go, SIGNAL(clicked()), this, SLOT(onClickedGo()));
    connect(m_form->pushButton_stop, SIGNAL(clicked()), this, SLOT(onClickedStop()));
    connect(m_form->pushButton_step, SIGNAL(clicked()), this, SLOT(onClickedStep()));
    connect(&m_watcher, SIGNAL(finished()), this, SLOT(onTaskFinished()));
}

// ---- settings ----

void DoeStepwiseModelWidget::showSetting()
{
    doeBussiness::DoeFitModel_Stepwise_Setting s;
    m_facade->getFitModel_Stepwise_Setting(s, m_modelIndex);
    {
        QSignalBlocker b1(m_form->comboBox_stopping_rule), b2(m_form->comboBox_direction), b3(m_form->comboBox_rules),
            b4(m_form->lineEdit_p_enter), b5(m_form->lineEdit_p_leave);
        m_form->comboBox_stopping_rule->setCurrentIndex(s.stoppingRule);
        m_form->comboBox_direction->setCurrentIndex(s.direction);
        m_form->comboBox_rules->setCurrentIndex(s.rules);
        m_form->lineEdit_p_enter->setText(num(s.probToEnter));
        m_form->lineEdit_p_leave->setText(num(s.probToLeave));
    }
    const bool pValue = m_form->comboBox_stopping_rule->currentIndex() == 0;
    m_form->label_p_enter->setVisible(pValue);
    m_form->lineEdit_p_enter->setVisible(pValue);
    m_form->label_p_leave->setVisible(pValue);
    m_form->lineEdit_p_leave->setVisible(pValue);
}

void DoeStepwiseModelWidget::applySettingField(int field, double value)
{
    if (!m_facade)
        return;
    doeBussiness::DoeFitModel_Stepwise_Setting s;
    m_facade->getFitModel_Stepwise_Setting(s, m_modelIndex);
    switch (field) {
    case StoppingRule: s.stoppingRule = static_cast<int>(value); break;
    case ProbEnter: s.probToEnter = value; break;
    case ProbLeave: s.probToLeave = value; break;
    case Direction: s.direction = static_cast<int>(value); break;
    default: s.rules = static_cast<int>(value); break;
    }
    QString message;
    const bool ok = m_facade->setFitModel_Stepwise_Setting(s, m_modelIndex, message);
    showSetting();
    if (!ok)
        QMessageBox::warning(this, "warning", message);
}

void DoeStepwiseModelWidget::onComboboxStoppingRuleChanged()
{
    applySettingField(StoppingRule, m_form->comboBox_stopping_rule->currentIndex());
}

void DoeStepwiseModelWidget::onComboboxDirectionChanged()
{
    applySettingField(Direction, m_form->comboBox_direction->currentIndex());
}

void DoeStepwiseModelWidget::onComboboxRulesChanged()
{
    applySettingField(Rules, m_form->comboBox_rules->currentIndex());
}

void DoeStepwiseModelWidget::onLineEditEnterChanged()
{
    applySettingField(ProbEnter, m_form->lineEdit_p_enter->text().toDouble());
}

void DoeStepwiseModelWidget::onLineEditLeaveChanged()
{
    applySettingField(ProbLeave, m_form->lineEdit_p_leave->text().toDouble());
}

// ---- hand editing and stepping ----

void DoeStepwiseModelWidget::onClickedEnterSingle()
{
    if (!m_facade || isRunning())
        return;
    m_facade->stepwiseStepCombineDoSingle(true, m_modelIndex);
    refresh();
}

void DoeStepwiseModelWidget::onClickedRemoveSingle()
{
    if (!m_facade || isRunning())
        return;
    m_facade->stepwiseStepCombineDoSingle(false, m_modelIndex);
    refresh();
}

void DoeStepwiseModelWidget::sendFlagsFromBoxes(int forceEntered)
{
    if (!m_facade || isRunning())
        return;
    QVector<QPair<int, int>> pairs;
    for (int i = 0; i < m_boxes.size(); ++i) {
        const int locked = m_boxes[i].first->isChecked() ? 1 : 0;
        int entered = m_boxes[i].second->isChecked() ? 1 : 0;
        if (forceEntered >= 0 && i >= 1 && !locked)
            entered = forceEntered;
        pairs.append(qMakePair(entered, locked));
    }
    m_facade->setMFInfo(pairs, m_modelIndex);
    refresh();
}

void DoeStepwiseModelWidget::onClickedEnterAll()
{
    sendFlagsFromBoxes(1);
}

void DoeStepwiseModelWidget::onClickedRemoveAll()
{
    sendFlagsFromBoxes(0);
}

void DoeStepwiseModelWidget::onLockCheckChanged()
{
    for (auto& pair : m_boxes) {
        if (pair.first == sender())
            pair.second->setEnabled(!pair.first->isChecked());
    }
    sendFlagsFromBoxes(-1);
}

void DoeStepwiseModelWidget::onLockEnterChanged()
{
    sendFlagsFromBoxes(-1);
}

void DoeStepwiseModelWidget::onClickedRunModel()
{
    if (!m_facade || isRunning())
        return;
    m_facade->runModel(m_modelIndex);
    emit sigRunModel(m_modelIndex);
}

void DoeStepwiseModelWidget::onClickedStep()
{
    if (!m_facade || isRunning())
        return;
    m_facade->stepwiseStepCombine(m_modelIndex);
    refresh();
}

void DoeStepwiseModelWidget::setControlsEnabled(bool on)
{
    const QList<QWidget*> controls = {m_form->comboBox_stopping_rule, m_form->comboBox_direction,
                                      m_form->comboBox_rules,         m_form->lineEdit_p_enter,
                                      m_form->lineEdit_p_leave,       m_form->pushButton_enter_single,
                                      m_form->pushButton_remove_single, m_form->pushButton_enter_all,
                                      m_form->pushButton_remove_all,  m_form->pushButton_run,
                                      m_form->pushButton_go,          m_form->pushButton_step,
                                      m_form->tableWidget_total_info, m_form->tableWidget_estimates};
    for (QWidget* w : controls)
        w->setEnabled(on);
    // An open report of this model predicts through the same engine slot: keep it idle meanwhile.
    if (QWidget* top = window()) {
        for (DoeRegressionResultDlg* report : top->findChildren<DoeRegressionResultDlg*>()) {
            if (report->modelIndex() == m_modelIndex)
                report->setEnabled(on);
        }
    }
}

void DoeStepwiseModelWidget::onClickedGo()
{
    if (!m_facade || isRunning())
        return;
    m_stop = false;
    setControlsEnabled(false);
    m_future = QtConcurrent::run([this]() { return runSteps(); });
    m_watcher.setFuture(m_future);
}

// Runs on the worker: steps until nothing changes or Stop is asked for; each finished step's
// statistics go to the GUI thread as a copy, so the window never reads the engine mid-step.
int DoeStepwiseModelWidget::runSteps()
{
    if (!m_facade)
        return -1;
    const int params = m_paramNames.size();
    while (!m_stop) {
        const bool changed = m_facade->stepwiseStepCombine(m_modelIndex);
        StepwiseSnapshot snap = readSnapshot(m_facade, params, m_modelIndex);
        {
            std::lock_guard<std::mutex> lock(m_stepMutex);
            m_latestStep = std::move(snap);
            m_latestStepFresh = true;
        }
        QMetaObject::invokeMethod(this, [this]() { showLatestStep(); }, Qt::QueuedConnection);
        if (!changed)
            break;
    }
    return 0;
}

void DoeStepwiseModelWidget::onClickedStop()
{
    stopAndWait();
}

void DoeStepwiseModelWidget::onTaskFinished()
{
    setControlsEnabled(true);
    refresh();
}

// ---- display ----

StepwiseSnapshot DoeStepwiseModelWidget::readSnapshot(const DoeBussinessApi* facade, int parameterCount,
                                                      int modelIndex)
{
    StepwiseSnapshot s;
    if (!facade)
        return s;
    facade->getStepResult(s.sse, s.dfe, s.rmse, s.rSquare, s.rSquareAdj, s.p, s.cp, s.aicc, s.bicc, modelIndex);
    facade->getMFInfo(s.flags, modelIndex);
    s.params.resize(parameterCount);
    for (int i = 0; i < parameterCount; ++i) {
        auto& p = s.params[i];
        facade->getStepwiseParameter(i, p.estimate, p.nDF, p.ss, p.fRatio, p.probF, modelIndex);
    }
    QVector<QVector<QString>> rows;
    facade->getTableFactorConvertedDataForRegression(rows);
    s.rows = rows.size();
    return s;
}

void DoeStepwiseModelWidget::showLatestStep()
{
    StepwiseSnapshot snap;
    {
        std::lock_guard<std::mutex> lock(m_stepMutex);
        if (!m_latestStepFresh)
            return;
        snap = m_latestStep;
        m_latestStepFresh = false;
    }
    showSnapshot(snap);
}

void DoeStepwiseModelWidget::refresh()
{
    if (!m_facade || isRunning())
        return;
    showSnapshot(readSnapshot(m_facade, m_paramNames.size(), m_modelIndex));
}

void DoeStepwiseModelWidget::showSnapshot(const StepwiseSnapshot& s)
{
    QTableWidget* info = m_form->tableWidget_total_info;
    info->setRowCount(1);
    const QStringList values = {cellNum(s.sse), QString::number(s.dfe), cellNum(s.rmse),
                                cellNum(s.rSquare), cellNum(s.rSquareAdj), cellNum(s.cp),
                                QString::number(s.p), cellNum(s.aicc), cellNum(s.bicc)};
    for (int c = 0; c < values.size() && c < info->columnCount(); ++c)
        info->setItem(0, c, centredItem(values[c]));
    m_infoFit->fit();

    QTableWidget* est = m_form->tableWidget_estimates;
    const int n = m_paramNames.size();
    const bool rebuild = m_boxes.size() != n;
    if (rebuild) {
        est->clearContents();
        m_boxes.clear();
        est->setRowCount(n);
    }
    for (int i = 0; i < n; ++i) {
        const int entered = i < s.flags.size() ? s.flags[i].first : 0;
        const int locked = i < s.flags.size() ? s.flags[i].second : 0;
        if (rebuild) {
            auto* lock = new QCheckBox;
            auto* enter = new QCheckBox;
            lock->setFocusPolicy(Qt::NoFocus);
            enter->setFocusPolicy(Qt::NoFocus);
            est->setCellWidget(i, 0, centred(lock));
            est->setCellWidget(i, 1, centred(enter));
            connect(lock, SIGNAL(clicked()), this, SLOT(onLockCheckChanged()));
            connect(enter, SIGNAL(clicked()), this, SLOT(onLockEnterChanged()));
            m_boxes.append(qMakePair(lock, enter));
        }
        QCheckBox* lock = m_boxes[i].first;
        QCheckBox* enter = m_boxes[i].second;
        {
            QSignalBlocker b1(lock), b2(enter);
            lock->setChecked(locked != 0);
            enter->setChecked(entered != 0);
        }
        enter->setEnabled(locked == 0);
        lock->setEnabled(i != 0);
        const StepwiseSnapshot::Param p = i < s.params.size() ? s.params[i] : StepwiseSnapshot::Param();
        QTableWidgetItem* name = centredItem(m_paramNames[i]);
        name->setToolTip(m_paramNames[i]);
        est->setItem(i, 2, name);
        est->setItem(i, 3, centredItem(cellNum(p.estimate)));
        est->setItem(i, 4, centredItem(QString::number(p.nDF)));
        est->setItem(i, 5, centredItem(cellNum(p.ss)));
        est->setItem(i, 6, centredItem(cellNum(p.fRatio)));
        est->setItem(i, 7, centredItem(cellNum(p.probF)));
    }
    m_estimatesFit->fit();
    m_form->label_row->setText(QString::number(s.rows));
}

}  // namespace doeUI
