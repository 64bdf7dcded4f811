#include "DoeDesignStructureWidget.h"

#include "DoeBussinessApi.h"
#include "DoeNumberInputDlg.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>

using namespace doeBussiness;

namespace doeUI {

namespace {
const int kMaxCount = 1000000;
}  // namespace

DoeDesignStructureWidget::DoeDesignStructureWidget(QWidget* parent) : QWidget(parent)
{
    initUI();
}

void DoeDesignStructureWidget::initUI()
{
    setObjectName(QStringLiteral("widget_design_structure"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    auto spin = [this](const char* name, int minimum) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setRange(minimum, kMaxCount);
        box->setMinimumWidth(100);
        return box;
    };
    m_wholePlotsLabel = new QLabel(tr("Number of Whole Plots"), this);
    m_wholePlots = spin("spinBox_whole_plots", 1);
    m_wholeWholePlotsLabel = new QLabel(tr("Number of Whole-Whole Plots"), this);
    m_wholeWholePlots = spin("spinBox_whole_whole_plots", 1);
    m_ratioLabel = new QLabel(tr("Whole Plot Variance Ratio"), this);
    m_ratio = new QDoubleSpinBox(this);
    m_ratio->setObjectName(QStringLiteral("doubleSpinBox_variance_ratio"));
    m_ratio->setRange(0.0, 1000.0);
    m_ratio->setDecimals(3);
    m_ratio->setSingleStep(0.1);
    m_ratio->setToolTip(tr("Whole-plot variance over the residual variance"));
    m_blocks = spin("spinBox_blocks", 1);
    grid->addWidget(m_wholePlotsLabel, 0, 0);
    grid->addWidget(m_wholePlots, 0, 1);
    grid->addWidget(m_wholeWholePlotsLabel, 1, 0);
    grid->addWidget(m_wholeWholePlots, 1, 1);
    grid->addWidget(m_ratioLabel, 2, 0);
    grid->addWidget(m_ratio, 2, 1);
    grid->addWidget(new QLabel(tr("Number of Blocks"), this), 3, 0);
    grid->addWidget(m_blocks, 3, 1);
    grid->setColumnStretch(2, 1);

    connect(m_wholePlots, SIGNAL(editingFinished()), this, SLOT(onWholePlotsEdited()));
    connect(m_wholeWholePlots, SIGNAL(editingFinished()), this, SLOT(onWholeWholePlotsEdited()));
    connect(m_ratio, SIGNAL(editingFinished()), this, SLOT(onVarianceRatioEdited()));
    connect(m_blocks, SIGNAL(editingFinished()), this, SLOT(onBlocksEdited()));
}

void DoeDesignStructureWidget::setBussinessApi(DoeBussinessApi* api)
{
    m_api = api;
    refresh();
}

void DoeDesignStructureWidget::refresh()
{
    if (!m_api)
        return;
    bool hard = false, veryHard = false;
    QList<QString> names;
    m_api->getFactorDataNameList(names);
    for (const QString& name : qAsConst(names)) {
        DoeDesignFactor factor;
        QString ignored;
        if (m_api->getFactorDataByName(name, factor, ignored)) {
            hard = hard || factor.changes == 1;
            veryHard = veryHard || factor.changes == 2;
        }
    }
    DoeDesignStructureSetting s;
    m_api->getDesignStructureSetting(s);
    DoeDesignMakingSetting making;
    m_api->getDoeDesignMakingSetting(making);
    int proposedWp = -1, proposedWwp = -1;
    m_api->getProposedWholePlots(making.userSpecified ? making.userSpecifiedRuns : making.minimumRuns, proposedWp,
                                 proposedWwp);
    const auto show = [](QSpinBox* box, int stored, int proposed) {
        QSignalBlocker b(box);
        box->setValue(stored >= 1 ? stored : (proposed >= 1 ? proposed : 1));
    };
    show(m_wholePlots, s.wholePlots, proposedWp);
    show(m_wholeWholePlots, s.wholeWholePlots, proposedWwp);
    show(m_blocks, s.blocks, 1);
    {
        QSignalBlocker b(m_ratio);
        m_ratio->setValue(s.varianceRatio);
    }
    m_wholePlotsLabel->setVisible(hard);
    m_wholePlots->setVisible(hard);
    m_wholeWholePlotsLabel->setVisible(veryHard);
    m_wholeWholePlots->setVisible(veryHard);
    m_ratioLabel->setVisible(hard || veryHard);
    m_ratio->setVisible(hard || veryHard);
}

void DoeDesignStructureWidget::send(DoeDesignStructureSetting& s)
{
    QString message;
    if (!m_api->setDesignStructureSetting(s, message))
        showWarningBox(this, message);
    refresh();
}

void DoeDesignStructureWidget::onWholePlotsEdited()
{
    if (!m_api)
        return;
    DoeDesignStructureSetting s;
    m_api->getDesignStructureSetting(s);
    s.wholePlots = m_wholePlots->value();
    send(s);
}

void DoeDesignStructureWidget::onWholeWholePlotsEdited()
{
    if (!m_api)
        return;
    DoeDesignStructureSetting s;
    m_api->getDesignStructureSetting(s);
    s.wholeWholePlots = m_wholeWholePlots->value();
    send(s);
}

void DoeDesignStructureWidget::onVarianceRatioEdited()
{
    if (!m_api)
        return;
    DoeDesignStructureSetting s;
    m_api->getDesignStructureSetting(s);
    s.varianceRatio = m_ratio->value();
    send(s);
}

void DoeDesignStructureWidget::onBlocksEdited()
{
    if (!m_api)
        return;
    DoeDesignStructureSetting s;
    m_api->getDesignStructureSetting(s);
    s.blocks = m_blocks->value();
    send(s);
}

}  // namespace doeUI
