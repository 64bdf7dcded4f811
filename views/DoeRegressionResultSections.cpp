// The sections below the profiler: the Monte Carlo settings with "Make Table" and "Simulate",
// and the sensitivity section.
#include "DoeRegressionResultDlg.h"

#include "ui_DoeRegressionResultDlg.h"

#include "DoeBusyRun.h"
#include "DoeCommon.h"
#include "DoeMonteCarloEditWidget.h"
#include "DoeMonteCarloResTableDlg.h"
#include "DoeProfilerMath.h"
#include "DoeReportExport.h"
#include "DoeReportTable.h"
#include "DoeSensitivityWidget.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <qcustomplot.h>

namespace doeUI {

using namespace doeBussiness;

using doeBussiness::DoeCommon;

void DoeRegressionResultDlg::buildSections()
{
    m_facade->setMonteCarloFactorsDefaultValue(m_modelIndex, m_settings, m_factorUsed);
    auto* editor = new DoeMonteCarloEditWidget(m_facade, m_modelIndex, this);
    editor->setMinimumHeight(700);
    m_form->prediction_profiler_layout->addWidget(editor);
    m_monteCarloEditor = editor;
    // Means start at the profiler's settings and follow it until the user types one.
    m_monteCarloFollowed = m_settings;

    auto* makeTable = new QPushButton("Make Table", this);
    makeTable->setMaximumWidth(200);
    makeTable->setObjectName("pushButton_monte_carlo_make_table");
    connect(makeTable, SIGNAL(clicked(bool)), this, SLOT(slot_DoeMonteCarloMakeTable()));
    m_form->prediction_profiler_layout->addWidget(makeTable);
    auto* simulate = new QPushButton("Simulate", this);
    simulate->setMaximumWidth(200);
    simulate->setObjectName("pushButton_monte_carlo_simulate");
    connect(simulate, SIGNAL(clicked(bool)), this, SLOT(slot_DoeMonteCarloStimulat()));
    m_form->prediction_profiler_layout->addWidget(simulate);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    m_form->prediction_profiler_layout->addWidget(line);

    bool allContinuous = true;
    for (int i = 0; i < m_allFactors.size() && i < m_factorUsed.size(); ++i) {
        auto it = m_factorInfo.find(m_allFactors[i]);
        if (it != m_factorInfo.end() && it->role != EDoeFactorRole::Continuous)
            allContinuous = false;
    }
    if (!allContinuous) {
        auto* label = new QLabel("Sensitivity analysis is only available for continous factors", this);
        label->setObjectName("label_sensitivity_unavailable");
        m_form->prediction_profiler_layout->addWidget(label);
    } else {
        auto* sensitivity = new DoeSensitivityWidget(m_facade, m_modelIndex, this);
        sensitivity->setMinimumHeight(400);
        m_form->prediction_profiler_layout->addWidget(sensitivity);
        reportexport::addTableActions(sensitivity->resultTable());
    }
}

void DoeRegressionResultDlg::slot_DoeMonteCarloMakeTable()
{
    if (!m_facade)
        return;
    QVector<QString> headers;
    QVector<QVector<QString>> rows;
    QVector<double> values;
    QPair<double, double> range;
    doeBussiness::DoeBussinessApi* facade = m_facade;
    const int slot = m_modelIndex;
    bool simulated = false;
    runWithBusyDialog(this, "Simulating...", [&]() {
        simulated = facade->genMonteCarloTableData(slot);
        facade->getMonteCarloTableData(headers, rows, slot);
        facade->getResponseData(values, range, slot);
    });
    // A refused simulation says why instead of showing an empty table.
    QString refusal;
    if (!simulated && !m_facade->monteCarloValidCheck(m_modelIndex, refusal)) {
        QMessageBox::warning(this, "Warning", refusal);
        return;
    }
    headers.append("Obj");
    headers.append("Y in Spec");

    QString lowerText, upperText;
    QMap<QString, DoeMonteCarloResponseInfo> responseInfo;
    if (m_modelIndex >= 0 && m_modelIndex < m_responses.size()
        && m_facade->getMonteCarloResponseInfo(m_modelIndex, responseInfo)
        && responseInfo.contains(m_responses[m_modelIndex])) {
        const DoeMonteCarloResponseInfo info = responseInfo.value(m_responses[m_modelIndex]);
        lowerText = info.lowerSpecLimit;
        upperText = info.upperSpecLimit;
    }
    double lower = 0, upper = 0;
    const int kind = DoeCommon::getLeftAndRightInfo(lowerText, upperText, lower, upper);
    for (int i = 0; i < values.size() && i < rows.size(); ++i) {
        const double d = profiler::desirabilityOf(values[i], m_desirabilityKeys, m_desirabilityValues);
        rows[i].append(QString::number(d, 'g', 6));
        rows[i].append(profiler::inSpec(values[i], kind, lower, upper) ? "1" : "0");
    }
    m_monteCarloTable->setData(headers, rows);
    m_monteCarloTable->show();
    m_monteCarloTable->showNormal();
}

void DoeRegressionResultDlg::insertMonteCarloWidget(QWidget* w)
{
    QVBoxLayout* layout = m_form->prediction_profiler_layout;
    m_monteCarloWidgets.append(w);
    if (layout->count() < 2)
        layout->addWidget(w);
    else
        layout->insertWidget(layout->count() - 2, w);
}

void DoeRegressionResultDlg::slot_DoeMonteCarloStimulat()
{
    if (!m_facade)
        return;
    QString message;
    if (!m_facade->monteCarloValidCheck(m_modelIndex, message)) {
        QMessageBox::warning(this, "Warning", message);
        return;
    }
    QVector<double> values;
    QPair<double, double> range(0.0, 0.0);
    doeBussiness::DoeBussinessApi* facade = m_facade;
    const int slot = m_modelIndex;
    runWithBusyDialog(this, "Simulating...", [&]() {
        facade->genMonteCarloTableData(slot);
        if (!facade->getResponseData(values, range, slot))
            range = qMakePair(0.0, 0.0);
    });
    double mean = 0, sd = 0;
    DoeCommon::calculateMeanAndStd(values, mean, sd);
    // The summary and the histogram span the percentile pair; values beyond it fall into the end bins.
    const double min = range.first;
    const double max = range.second;

    QString lowerText, upperText;
    QMap<QString, DoeMonteCarloResponseInfo> responseInfo;
    if (m_modelIndex >= 0 && m_modelIndex < m_responses.size()
        && m_facade->getMonteCarloResponseInfo(m_modelIndex, responseInfo)
        && responseInfo.contains(m_responses[m_modelIndex])) {
        const DoeMonteCarloResponseInfo info = responseInfo.value(m_responses[m_modelIndex]);
        lowerText = info.lowerSpecLimit;
        upperText = info.upperSpecLimit;
    }
    double lower = 0, upper = 0;
    const int kind = DoeCommon::getLeftAndRightInfo(lowerText, upperText, lower, upper);
    bool rateDefined = true;
    const double rate = profiler::inSpecRate(values, kind, lower, upper, rateDefined);

    qDeleteAll(m_monteCarloWidgets);
    m_monteCarloWidgets.clear();

    auto* summary = new QWidget(this);
    auto* summaryLayout = new QHBoxLayout(summary);
    summaryLayout->addWidget(new QLabel(QString("Min Value:%1    ").arg(min, 0, 'g'), summary));
    summaryLayout->addWidget(new QLabel(QString("Max Value:%1").arg(max, 0, 'g'), summary));
    summaryLayout->addSpacerItem(new QSpacerItem(20, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));

    auto* histogramBox = new QWidget(this);
    histogramBox->setFixedHeight(300);
    histogramBox->setFixedWidth((m_responseRowCount + 1) * 600);
    auto* histogramLayout = new QHBoxLayout(histogramBox);
    auto* plot = new QCustomPlot(histogramBox);
    plot->setObjectName("monte_carlo_histogram");
    const profiler::Histogram h = profiler::histogram(values, min, max);
    auto* bars = new QCPBars(plot->xAxis, plot->yAxis);
    bars->setWidth(h.width);
    bars->setBrush(QColor(100, 180, 255, 100));
    bars->setPen(QPen(QColor(0, 0, 255)));
    bars->setData(h.keys, h.counts, true);
    plot->xAxis->setRange(h.lower, h.upper);
    plot->yAxis->setRange(0, h.maxCount + 100);
    plot->xAxis->setLabel(m_responses.value(m_modelIndex));
    plot->yAxis->setLabel("Count");
    plot->setVisible(m_histogramVisible);
    addSpecLines(plot, kind, lower, upper);
    reportexport::addPlotActions(plot);
    histogramLayout->addWidget(plot);
    plot->replot();

    auto* table = report::makeTable(3, 4, this);
    table->setObjectName("monte_carlo_result_table");
    table->setFixedSize(500, 180);
    const QStringList heads = {"Defect", "Rate", "Mean", "SD"};
    for (int c = 0; c < 4; ++c)
        table->setItem(0, c, report::header(heads[c]));
    // No simulated values: the rate is unknown, shown empty rather than as a division by zero.
    const QString defect = rateDefined ? QString::number(1.0 - rate, 'g', 6) : QString();
    table->setItem(1, 0, report::item(m_responses.value(m_modelIndex)));
    table->setItem(1, 1, report::item(defect));
    table->setItem(1, 2, report::item(values.isEmpty() ? QString() : QString::number(mean, 'g', 6)));
    table->setItem(1, 3, report::item(values.isEmpty() ? QString() : QString::number(sd, 'g', 6)));
    table->setItem(2, 0, report::item("All"));
    table->setItem(2, 1, report::item(defect));
    table->setItem(2, 2, report::item(QString()));
    table->setItem(2, 3, report::item(QString()));

    insertMonteCarloWidget(summary);
    insertMonteCarloWidget(histogramBox);
    insertMonteCarloWidget(table);

    // Capability under the defect table; replaced with the other results on the next run.
    reportexport::addTableActions(table);
    delete m_capabilityLabel;
    m_capabilityLabel = new QLabel(this);
    m_capabilityLabel->setObjectName("label_monte_carlo_capability");
    m_capabilityLabel->setText(profiler::capabilityLine(mean, sd, kind, lower, upper, rateDefined, rate));
    QVBoxLayout* layout = m_form->prediction_profiler_layout;
    layout->insertWidget(layout->indexOf(table) + 1, m_capabilityLabel);
}

}  // namespace doeUI
