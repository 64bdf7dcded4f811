#include "DoeRegressionResultDlg.h"
#include "DoeJointProfilerDlg.h"
#include "ui_DoeRegressionResultDlg.h"

#include "DoeMonteCarloResTableDlg.h"
#include "DoeProfilerMath.h"
#include "DoeReportExport.h"
#include "DoeScreenFit.h"
#include "DoeReportTable.h"
#include "DoeWheelGuard.h"

#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTableWidget>
#include <algorithm>
#include <cmath>
#include <qcustomplot.h>

namespace doeUI {

using namespace doeBussiness;

using doeBussiness::DoeBussinessApi;

DoeRegressionResultDlg::DoeRegressionResultDlg(DoeBussinessApi* facade, int modelIndex, QWidget* parent)
    : QDialog(parent), m_facade(facade), m_modelIndex(modelIndex)
{
    m_form.reset(new Ui::doe_regression_result_dlg);
    m_form->setupUi(this);
    setWindowTitle("Regression Result");
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    // The form's size can exceed small or scaled screens: open at most at 90 % of the available area.
    boundToAvailableScreen(this, 0.9);
}

void DoeRegressionResultDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_placed || event->spontaneous())
        return;
    m_placed = true;
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    // Centred on the available area when the window manager would leave part of it outside.
    const QRect avail = screen->availableGeometry();
    if (!avail.contains(frameGeometry())) {
        QRect r = frameGeometry();
        r.moveCenter(avail.center());
        move(r.topLeft().x() < avail.left() ? avail.left() : r.topLeft().x(),
             r.topLeft().y() < avail.top() ? avail.top() : r.topLeft().y());
    }
}

DoeRegressionResultDlg::~DoeRegressionResultDlg() = default;

QScrollArea* DoeRegressionResultDlg::scrollArea() const
{
    return m_form->scrollArea;
}

bool DoeRegressionResultDlg::initialize()
{
    initUI();
    setDataToUI();
    initConnection();
    return m_valid;
}

void DoeRegressionResultDlg::initUI()
{
    m_monteCarloTable = new DoeMonteCarloResTableDlg(this);
}

void DoeRegressionResultDlg::initConnection() {}

void DoeRegressionResultDlg::setDataToUI()
{
    if (!m_facade)
        return;
    auto* save = new QPushButton("Save Report...", this);
    save->setObjectName("pushButton_save_report");
    save->setMaximumWidth(200);
    connect(save, SIGNAL(clicked(bool)), new DoeReportExportActions(nullptr, nullptr, this, save),
            SLOT(slotSaveReport()));
    m_form->verticalLayout_2->insertWidget(0, save);
    DoeJointProfilerDlg::addLauncher(m_facade, this, m_form->verticalLayout);

    buildTables();
    loadRegressionData();
    fillCodedNote();
    if (!buildActualByPredicted() || !buildProfiler()) {
        m_valid = false;
        return;
    }
    buildResidualPlot();
    buildEntryRow();
    updatePredictionLabel();
    buildSections();
    for (QTableWidget* t : m_reportTables)
        reportexport::addTableActions(t);
    reportexport::addTableActions(m_lackOfFitTable);
    reportexport::addTableActions(m_effectTestsTable);
    reportexport::addPlotActions(m_actualPlot);
    reportexport::addPlotActions(m_residualPlot);
    for (QCustomPlot* p : m_plots)
        reportexport::addPlotActions(p);
    guardWheel(this);
}

// ---- the three tables ----

void DoeRegressionResultDlg::buildTables()
{
    double errorSS = 0, modelSS = 0, rmse = 0, rSquare = 0, rSquareAdj = 0, fRatio = 0, probF = 0;
    int modelDF = 0, errorDF = 0;
    m_facade->getRunModelResult(errorSS, modelSS, modelDF, errorDF, rmse, rSquare, rSquareAdj, fRatio, probF,
                                m_modelIndex);
    m_rmse = rmse;
    m_rSquare = rSquare;
    m_probF = probF;

    QVector<QVector<QString>> responseRows;
    m_facade->getTableResponseConvertedDataForRegression(responseRows);
    double sum = 0;
    for (const auto& row : responseRows) {
        if (m_modelIndex >= 0 && m_modelIndex < row.size())
            sum += row[m_modelIndex].toDouble();
    }
    const double mean = responseRows.isEmpty() ? 0.0 : sum / responseRows.size();

    using report::item;
    using report::label;
    using report::header;
    using report::number;

    // Summary of Fit
    m_form->verticalLayout_result->addWidget(new QLabel("Summary of Fit", this));
    QTableWidget* fit = report::makeTable(5, 2, this);
    fit->setMinimumHeight(175);
    fit->setMaximumWidth(500);
    const QStringList names = {"RSquare", "RSquare Adj", "Root Mean Square Error", "Mean of Response",
                               "Observations(or Sum Wgts)"};
    const QStringList values = {number(rSquare), number(rSquareAdj), number(rmse), number(mean),
                                QString::number(responseRows.size())};
    for (int r = 0; r < 5; ++r) {
        fit->setItem(r, 0, label(names[r]));
        fit->setItem(r, 1, item(values[r]));
    }
    m_form->verticalLayout_result->addWidget(fit);

    // Analysis of Variance; a mixed model shows its REML variance components in its place.
    QTableWidget* anova = buildVarianceComponentsTable();
    if (!anova) {
        m_form->verticalLayout_result->addWidget(new QLabel("Analysis of Variance", this));
        anova = report::makeTable(4, 5, this);
        anova->setMinimumHeight(140);
        anova->setMaximumWidth(1250);
        const QStringList heads = {"Source", "DF", "Sum of Squares", "Mean Square", "F Ratio"};
        for (int c = 0; c < 5; ++c)
            anova->setItem(0, c, header(heads[c]));
        anova->setItem(1, 0, label("Model"));
        anova->setItem(2, 0, label("Error"));
        anova->setItem(3, 0, label("C. Total"));
        anova->setItem(1, 1, item(QString::number(modelDF)));
        anova->setItem(1, 2, item(number(modelSS)));
        anova->setItem(1, 3, item(number(modelSS / modelDF)));
        anova->setItem(1, 4, item(number(fRatio)));
        anova->setItem(2, 1, item(QString::number(errorDF)));
        anova->setItem(2, 2, item(number(errorSS)));
        anova->setItem(2, 3, item(number(errorSS / errorDF)));
        anova->setItem(2, 4, header("Prob > F"));
        anova->setItem(3, 1, item(QString::number(modelDF + errorDF)));
        anova->setItem(3, 2, item(number(modelSS + errorSS)));
        anova->setItem(3, 3, item(QString()));
        anova->setItem(3, 4, item(number(probF)));
        m_form->verticalLayout_result->addWidget(anova);
    }
    if (!m_mixedModel)
        buildLackOfFitTable();
    buildEffectTestsTable();

    // Parameter Estimates
    m_form->verticalLayout_result->addWidget(new QLabel("Parameter Estimates", this));
    QVector<QString> params;
    QVector<QPair<int, int>> flags;
    m_facade->getSaveParamName(params, m_modelIndex);
    m_facade->getMFInfo(flags, m_modelIndex);
    QList<QStringList> rows;
    const int n = std::min(params.size(), flags.size());
    for (int i = 0; i < n; ++i) {
        if (flags[i].first != 1)
            continue;
        double estimate = 0, stdError = 0, tRatio = 0, probT = 0;
        m_facade->getRunParameter(i, estimate, stdError, tRatio, probT, m_modelIndex);
        rows.append({params[i], number(estimate), number(stdError), number(tRatio), number(probT)});
    }
    QTableWidget* est = report::makeTable(rows.size() + 1, 5, this);
    est->setMinimumHeight(35 * (rows.size() + 1));
    est->setMaximumWidth(250 * 5);
    const QStringList estHeads = {"Term", "Estimate", "Std Error", "t Ratio", "Prob > |t|"};
    for (int c = 0; c < 5; ++c)
        est->setItem(0, c, header(estHeads[c]));
    for (int r = 0; r < rows.size(); ++r) {
        est->setItem(r + 1, 0, label(rows[r][0]));
        for (int c = 1; c < 5; ++c)
            est->setItem(r + 1, c, item(rows[r][c]));
    }
    m_form->verticalLayout_result->addWidget(est);
    m_codedNote = new QLabel(this);
    m_codedNote->setObjectName("label_coded_units_note");
    m_codedNote->setWordWrap(true);
    m_form->verticalLayout_result->addWidget(m_codedNote);
    m_reportTables = {fit, anova, est};
}

void DoeRegressionResultDlg::loadRegressionData()
{
    m_facade->getTableFactorRawDataForRegression(m_factorRows, true);
    m_facade->getTableResponseRawDataForRegression(m_responseRows, true);
    m_factorInfo.clear();
    m_responseInfo.clear();
    m_facade->getModelResponseList(m_responses);
    m_facade->getAllColumnInfoByNameForRegression(m_responses, m_responseInfo);
    m_facade->getRegressionAllFactorAndUsedFactor(m_allFactors, m_factorInfo, m_factorUsed, m_modelIndex);
}

// ---- Actual by Predicted ----

bool DoeRegressionResultDlg::buildActualByPredicted()
{
    QVector<double> predicted, upper, lower, actual;
    bool bandDefined = true;
    double lo = 0, hi = 0;
    bool first = true;
    auto track = [&](double v) {
        if (first) {
            lo = hi = v;
            first = false;
        }
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    };
    for (const auto& row : m_factorRows) {
        double p = 0, cl = 0, pl = 0, cu = 0, pu = 0;
        m_facade->predictResult(row.toList(), p, cl, pl, cu, pu, 0.05, m_modelIndex);
        // Without error degrees of freedom the prediction stands and only the band is missing.
        if (!std::isfinite(p)) {
            QMessageBox::warning(this, "Warning", "Invalid Result");
            return false;
        }
        bandDefined = bandDefined && std::isfinite(pu) && std::isfinite(pl);
        predicted.append(p);
        upper.append(pu);
        lower.append(pl);
        for (double v : {p, cl, pl, cu, pu})
            if (std::isfinite(v))
                track(v);
    }
    bool firstActual = true;
    double alo = 0, ahi = 0;
    for (const auto& row : m_responseRows) {
        const double v = (m_modelIndex >= 0 && m_modelIndex < row.size()) ? row[m_modelIndex].toDouble() : 0.0;
        actual.append(v);
        if (firstActual) {
            alo = ahi = v;
            firstActual = false;
        }
        alo = std::min(alo, v);
        ahi = std::max(ahi, v);
    }
    if (!firstActual) {
        if (first) {
            lo = alo;
            hi = ahi;
        } else {
            lo = std::min(lo, alo);
            hi = std::max(hi, ahi);
        }
    }
    double rangeLo = 0, rangeHi = 0;
    profiler::paddedRange(lo, hi, 0.1, rangeLo, rangeHi);
    const double r = rangeHi - rangeLo;  // never zero, so the diagonal stays visible
    const double a = lo - 0.2 * (hi - lo > 0 ? hi - lo : r);
    const double b = hi + 0.2 * (hi - lo > 0 ? hi - lo : r);

    m_responseHeading = new QLabel(QString("Response %1").arg(m_responses.value(m_modelIndex)), this);
    m_responseHeading->setObjectName("label_response_name");
    QFont headingFont = m_responseHeading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
    m_responseHeading->setFont(headingFont);
    m_form->actual_by_predicted_layout->addWidget(m_responseHeading);

    auto* plot = new QCustomPlot(this);
    plot->setMinimumSize(500, 450);
    plot->setMaximumSize(500, 450);
    m_form->actual_by_predicted_layout->addWidget(plot);
    m_actualPlot = plot;
    plot->xAxis->setLabel(QString("Y Predicted %1 %2\n%3")
                              .arg(QString("RSME=%1").arg(m_rmse, 0, 'g'))
                              .arg(QString("RSq=%1").arg(m_rSquare, 0, 'g'))
                              .arg(QString("PValue=%1").arg(m_probF, 0, 'g')));
    plot->yAxis->setLabel("Y Actual");

    QCPGraph* diagonal = plot->addGraph();
    diagonal->setPen(QPen(QColor(255, 0, 0, 200), 2));
    diagonal->setLineStyle(QCPGraph::lsLine);
    diagonal->setData({a, b}, {a, b});

    // Prediction band: upper and lower bounds over the predicted values, extended to the line ends.
    QVector<int> order(predicted.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](int x, int y) { return predicted[x] < predicted[y]; });
    QVector<double> keys, up, down;
    for (int i : order) {
        keys.append(predicted[i]);
        up.append(upper[i]);
        down.append(lower[i]);
    }
    if (!bandDefined) {
        keys.clear();
        up.clear();
        down.clear();
    }
    if (!keys.isEmpty()) {
        keys.prepend(a);
        up.prepend(up.first());
        down.prepend(down.first());
        keys.append(b);
        up.append(up.last());
        down.append(down.last());
    }
    QCPGraph* bandUp = plot->addGraph();
    QCPGraph* bandDown = plot->addGraph();
    bandUp->setPen(QPen(QColor(255, 0, 0)));
    bandDown->setPen(QPen(QColor(255, 0, 0)));
    bandUp->setLineStyle(QCPGraph::lsLine);
    bandDown->setLineStyle(QCPGraph::lsLine);
    bandUp->setData(keys, up, true);
    bandDown->setData(keys, down, true);
    bandDown->setBrush(QColor(255, 0, 0, 60));
    bandDown->setChannelFillGraph(bandUp);

    QCPGraph* runs = plot->addGraph();
    runs->setLineStyle(QCPGraph::lsNone);
    runs->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(Qt::black, 3), QBrush(Qt::black), 4));
    const int n = std::min(predicted.size(), actual.size());
    runs->setData(predicted.mid(0, n), actual.mid(0, n));

    plot->xAxis->setRange(rangeLo, rangeHi);
    plot->yAxis->setRange(rangeLo, rangeHi);
    plot->replot();
    return true;
}

}  // namespace doeUI
