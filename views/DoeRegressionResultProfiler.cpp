// The prediction profiler of the regression report: profile curves with their bands, the
// desirability row and function, markers, mouse handling and the factor entry row.
#include "DoeRegressionResultDlg.h"
#include "ui_DoeRegressionResultDlg.h"

#include "DoeProfilerMath.h"

#include <QDoubleValidator>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <qcustomplot.h>

namespace doeUI {

using namespace doeBussiness;

namespace {

constexpr int kPoints = profiler::kProfilePoints;

QString g6(double v)
{
    return QString::number(v, 'g', 6);
}

QString gArg(double v)
{
    return QString("%1").arg(v, 0, 'g');
}

void hideAxisDecor(QCPAxis* axis)
{
    axis->setTickLabels(false);
    axis->setTicks(false);
}

}  // namespace

bool DoeRegressionResultDlg::isContinuous(int factor) const
{
    if (factor < 0 || factor >= m_allFactors.size())
        return true;
    auto it = m_factorInfo.find(m_allFactors[factor]);
    return it == m_factorInfo.end() || it->role == EDoeFactorRole::Continuous;
}

QStringList DoeRegressionResultDlg::levelTexts(int factor) const
{
    if (factor < 0 || factor >= m_allFactors.size())
        return {};
    return m_factorInfo.value(m_allFactors[factor]).values;
}

// The row of factor texts for point p of factor `varying`'s profile.
QList<QString> DoeRegressionResultDlg::settingTexts(int varying, int p, double& gridValue) const
{
    QList<QString> row;
    for (int k = 0; k < m_factorCount; ++k) {
        const bool cont = isContinuous(k);
        const QStringList levels = cont ? QStringList() : levelTexts(k);
        if (k == varying) {
            if (cont) {
                const QVector<double>& col = m_factorColumns[k];
                const double lo = col.isEmpty() ? 0.0 : col.first();
                const double hi = col.isEmpty() ? 0.0 : col.last();
                gridValue = lo + (hi - lo) / (kPoints - 1) * p;
                row.append(g6(gridValue));
            } else {
                const int L = std::max(1, levels.size());
                gridValue = p % L;
                row.append(levels.value(p % L));
            }
        } else if (cont) {
            row.append(g6(m_settings.value(k)));
        } else {
            row.append(levels.value(static_cast<int>(m_settings.value(k))));
        }
    }
    return row;
}

// Fills the five profile curves of every factor; false (with the warning) on a NaN prediction.
bool DoeRegressionResultDlg::computeProfiles(bool usedOnlyForRange)
{
    QVector<QVector<double>> pred(m_factorCount), cu(m_factorCount), cl(m_factorCount), pu(m_factorCount),
        pl(m_factorCount), grid(m_factorCount);
    bool first = true;
    double yMin = 0, yMax = 0;
    for (int j = 0; j < m_factorCount; ++j) {
        const bool counts = !usedOnlyForRange || m_factorUsed.value(j, false);
        for (int p = 0; p < kPoints; ++p) {
            double x = 0;
            const QList<QString> row = settingTexts(j, p, x);
            double y = 0, lowC = 0, lowP = 0, upC = 0, upP = 0;
            m_facade->predictResult(row, y, lowC, lowP, upC, upP, 0.05, m_modelIndex);
            // A fit without error degrees of freedom still predicts; only its bands are undefined.
            if (!std::isfinite(y)) {
                QMessageBox::warning(this, "Warning", "Invalid Result");
                return false;
            }
            grid[j].append(x);
            pred[j].append(y);
            cl[j].append(lowC);
            cu[j].append(upC);
            pl[j].append(lowP);
            pu[j].append(upP);
            if (counts) {
                for (double v : {y, lowC, lowP, upC, upP}) {
                    if (!std::isfinite(v))
                        continue;
                    if (first) {
                        yMin = yMax = v;
                        first = false;
                    }
                    yMin = std::min(yMin, v);
                    yMax = std::max(yMax, v);
                }
            }
        }
    }
    m_grid = grid;
    m_predicted = pred;
    m_confidenceUpper = cu;
    m_confidenceLower = cl;
    m_predictionUpper = pu;
    m_predictionLower = pl;
    if (!first) {
        m_yMin = yMin;
        m_yMax = yMax;
    }
    profiler::paddedRange(m_yMin, m_yMax, 0.1, m_yLower, m_yUpper);
    return true;
}

void DoeRegressionResultDlg::resampleDesirability()
{
    profiler::sampleDesirability(m_desirabilityPoints, m_yLower, m_yUpper, m_desirabilityKeys,
                                 m_desirabilityValues);
}

void DoeRegressionResultDlg::computeDesirabilityProfiles()
{
    m_desirabilityProfiles.resize(m_factorCount);
    for (int j = 0; j < m_factorCount; ++j) {
        QVector<double>& out = m_desirabilityProfiles[j];
        out.resize(m_predicted[j].size());
        for (int p = 0; p < out.size(); ++p) {
            const double d = profiler::desirabilityOf(m_predicted[j][p], m_desirabilityKeys, m_desirabilityValues);
            out[p] = std::isfinite(d) ? d : 0.0;
        }
    }
}

int DoeRegressionResultDlg::labelColumn() const
{
    for (int c = 0; c < m_factorCount; ++c) {
        if (m_factorUsed.value(c, false))
            return c;
    }
    return m_factorCount;
}

bool DoeRegressionResultDlg::buildProfiler()
{
    m_form->checkBox_display_con->setChecked(true);
    m_form->checkBox_diaplay_pre->setChecked(true);
    connect(m_form->checkBox_display_con, SIGNAL(clicked(bool)), this, SLOT(slot_conAndPreDisplay()));
    connect(m_form->checkBox_diaplay_pre, SIGNAL(clicked(bool)), this, SLOT(slot_conAndPreDisplay()));
    connect(m_form->pushButton_max_desire, SIGNAL(clicked(bool)), this, SLOT(slot_Maximize_Desirability()));

    auto* container = new QWidget(this);
    auto* gridLayout = new QGridLayout(container);
    gridLayout->setHorizontalSpacing(0);
    gridLayout->setVerticalSpacing(0);
    gridLayout->setContentsMargins(0, 0, 0, 0);

    m_factorCount = m_factorRows.isEmpty() ? 0 : m_factorRows.first().size();
    m_factorCount = std::min(m_factorCount, m_allFactors.size());
    QVector<QVector<QString>> converted;
    m_facade->getTableFactorConvertedDataForRegression(converted);
    m_factorColumns = QVector<QVector<double>>(m_factorCount);
    for (const auto& row : converted) {
        for (int j = 0; j < m_factorCount && j < row.size(); ++j)
            m_factorColumns[j].append(row[j].toDouble());
    }
    for (auto& col : m_factorColumns)
        std::sort(col.begin(), col.end());
    m_factorUsed.resize(m_factorCount);

    m_settings = QVector<double>(m_factorCount, 0.0);
    for (int j = 0; j < m_factorCount; ++j) {
        if (!m_factorInfo.contains(m_allFactors[j]) || m_factorColumns[j].isEmpty())
            continue;
        m_settings[j] = isContinuous(j) ? (m_factorColumns[j].first() + m_factorColumns[j].last()) / 2.0
                                        : m_factorColumns[j].first();
        if (!isContinuous(j))
            m_settings[j] = std::max(0.0, m_settings[j]);
    }

    if (!computeProfiles(false) || !predictCurrent())
        return false;
    // The first build's range covers every factor.
    int goal = 0;
    const QString response = m_responses.value(m_modelIndex);
    if (m_responseInfo.contains(response))
        goal = static_cast<int>(m_responseInfo.value(response).goal);
    m_desirabilityPoints = profiler::desirabilityPointsForGoal(goal, m_yMin, m_yMax, m_yLower, m_yUpper);
    resampleDesirability();
    computeDesirabilityProfiles();

    m_usedFactorCount = 0;
    for (bool u : m_factorUsed)
        m_usedFactorCount += u ? 1 : 0;

    m_plots.clear();
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col <= m_factorCount; ++col) {
            QCustomPlot* plot = makeCell(row, col);
            m_plots.append(plot);
            if (col == m_factorCount || m_factorUsed.value(col, false))
                gridLayout->addWidget(plot, row, col);
            else
                plot->hide();
        }
    }
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col <= m_factorCount; ++col)
            fillCell(row, col);
    }
    alignLabelColumn();
    const int width = m_usedFactorCount * 200 + 280;
    const int height = m_responseRowCount * 200 + 230;
    container->setMinimumSize(width, height);
    container->setMaximumSize(width, height);
    m_form->prediction_profiler_layout->addWidget(container);
    return true;
}

QCustomPlot* DoeRegressionResultDlg::makeCell(int row, int col)
{
    auto* plot = new QCustomPlot(this);
    plot->installEventFilter(this);
    plot->setFixedSize(200, 200);
    const bool labelCol = col == labelColumn() && col < m_factorCount;
    const bool last = col == m_factorCount;
    if (row == 0)
        plot->setFixedSize(labelCol ? 280 : 200, 200);
    else
        plot->setFixedSize(labelCol ? 280 : 200, 230);
    if (last)
        plot->setFixedSize(200, row == 0 ? 200 : 230);

    plot->xAxis2->setVisible(true);
    plot->yAxis2->setVisible(true);
    hideAxisDecor(plot->xAxis2);
    hideAxisDecor(plot->yAxis2);
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis, plot->xAxis2, plot->yAxis2})
        axis->setBasePen(QPen(Qt::black));
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
        axis->grid()->setVisible(false);
        axis->setLabelPadding(0);
        axis->setTickLabelPadding(0);
    }
    if (row == 0 && col == 0 && labelCol)
        plot->axisRect()->setMinimumMargins(QMargins(80, 0, 0, 0));
    else if (row == 1)
        plot->axisRect()->setMinimumMargins(QMargins(0, 0, 0, 30));
    else
        plot->axisRect()->setMinimumMargins(QMargins(0, 0, 0, 0));
    if (labelCol && row == 0 && col != 0)
        plot->axisRect()->setMinimumMargins(QMargins(80, 0, 0, 0));

    if (row == 0 && !last) {
        QCPGraph* g0 = plot->addGraph();
        g0->setPen(QPen(Qt::black, 2));
        QCPGraph* g1 = plot->addGraph();
        QCPGraph* g2 = plot->addGraph();
        g1->setPen(QPen(QColor(255, 0, 0, 200), 1));
        g2->setPen(QPen(QColor(255, 0, 0, 200), 1));
        g2->setBrush(QColor(255, 0, 0, 60));
        g2->setChannelFillGraph(g1);
        QCPGraph* g3 = plot->addGraph();
        QCPGraph* g4 = plot->addGraph();
        g3->setPen(QPen(QColor(0, 0, 255, 200), 1));
        g4->setPen(QPen(QColor(0, 0, 255, 200), 1));
        g4->setBrush(QColor(0, 0, 255, 60));
        g4->setChannelFillGraph(g3);
        plot->xAxis->setLabel(QString());
        hideAxisDecor(plot->xAxis);
        if (labelCol) {
            // Five lines of current values go into this label: a smaller font keeps them inside the cell.
            QFont small = plot->yAxis->labelFont();
            small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.8));
            plot->yAxis->setLabelFont(small);
            plot->yAxis->setLabel(QString("%1\n\n").arg(m_responses.value(m_modelIndex)));
        } else {
            plot->yAxis->setLabel(QString());
            hideAxisDecor(plot->yAxis);
        }
    } else if (row == 1 && !last) {
        QCPGraph* g0 = plot->addGraph();
        g0->setPen(QPen(Qt::black, 2));
        if (!isContinuous(col)) {
            // Levels by their texts rather than by their indices.
            QSharedPointer<QCPAxisTickerText> ticker(new QCPAxisTickerText);
            const QStringList levels = levelTexts(col);
            for (int k = 0; k < levels.size(); ++k)
                ticker->addTick(k, levels[k]);
            plot->xAxis->setTicker(ticker);
        }
        if (labelCol) {
            plot->yAxis->setLabel("Desirability\n\n\n");
        } else {
            plot->yAxis->setLabel(QString());
            hideAxisDecor(plot->yAxis);
        }
    } else if (row == 0 && last) {
        QCPGraph* points = plot->addGraph();
        points->setPen(QPen(Qt::black, 2));
        points->setLineStyle(QCPGraph::lsNone);
        points->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, 4));
        QCPGraph* curve = plot->addGraph(plot->yAxis, plot->xAxis);
        curve->setPen(QPen(Qt::black, 2));
        plot->xAxis->setLabel(QString());
        plot->yAxis->setLabel(QString());
        hideAxisDecor(plot->xAxis);
        hideAxisDecor(plot->yAxis);
        plot->xAxis->setRange(-0.1, 1.1);
    } else {
        plot->yAxis->setLabel(QString());
        plot->xAxis->setLabel("\nDesirability");
        hideAxisDecor(plot->yAxis);
        plot->xAxis->setRange(-0.1, 1.1);
        plot->yAxis->setRange(-0.1, 1.1);
    }
    return plot;
}

// Graph data, ranges, labels and markers of one cell from the current profiles.
void DoeRegressionResultDlg::fillCell(int row, int col)
{
    QCustomPlot* plot = m_plots.value((m_factorCount + 1) * row + col);
    if (!plot)
        return;
    const bool last = col == m_factorCount;
    auto xRange = [&](int c) {
        if (m_grid[c].isEmpty())
            return QCPRange(0, 1);
        double lo = m_grid[c].first(), hi = m_grid[c].last();
        if (!isContinuous(c)) {
            // Level indices: show every level, half a step beyond the first and last.
            lo = -0.5;
            hi = std::max(0, levelTexts(c).size() - 1) + 0.5;
        } else if (!(hi > lo)) {
            profiler::paddedRange(lo, hi, 0.0, lo, hi);
        }
        return QCPRange(lo, hi);
    };
    if (row == 0 && !last) {
        // Undefined bands (no error degrees of freedom) are left empty rather than drawn from NaN.
        auto band = [&](int graph, const QVector<double>& values) {
            const bool finite = std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
            plot->graph(graph)->setData(finite ? m_grid[col] : QVector<double>(),
                                        finite ? values : QVector<double>());
        };
        plot->graph(0)->setData(m_grid[col], m_predicted[col]);
        band(1, m_confidenceUpper[col]);
        band(2, m_confidenceLower[col]);
        band(3, m_predictionUpper[col]);
        band(4, m_predictionLower[col]);
        plot->graph(1)->setVisible(m_showConfidence);
        plot->graph(2)->setVisible(m_showConfidence);
        plot->graph(3)->setVisible(m_showPrediction);
        plot->graph(4)->setVisible(m_showPrediction);
        plot->xAxis->setRange(xRange(col));
        plot->yAxis->setRange(m_yLower, m_yUpper);
        setMarker(row, col, m_settings[col]);
    } else if (row == 1 && !last) {
        plot->graph(0)->setData(m_grid[col], m_desirabilityProfiles[col]);
        plot->xAxis->setLabel(QString("%2\n%1").arg(m_allFactors.value(col)).arg(settingText(col)));
        plot->xAxis->setRange(xRange(col));
        plot->yAxis->setRange(-0.1, 1.1);
        setMarker(row, col, m_settings[col]);
    } else if (row == 0 && last) {
        QVector<double> d, y;
        for (const QPointF& p : m_desirabilityPoints) {
            d.append(p.x());
            y.append(p.y());
        }
        plot->graph(0)->setData(d, y);
        plot->graph(1)->setData(m_desirabilityKeys, m_desirabilityValues, true);
        plot->yAxis->setRange(m_yLower, m_yUpper);
        if (m_factorCount > 0)
            setMarker(row, col, m_settings[m_factorCount - 1]);
    } else {
        plot->replot();
    }
}

void DoeRegressionResultDlg::setMarker(int row, int col, double x)
{
    const int cell = (m_factorCount + 1) * row + col;
    QCustomPlot* plot = m_plots.value(cell);
    if (!plot || m_factorCount == 0)
        return;
    const bool last = col == m_factorCount;
    const int factor = last ? m_factorCount - 1 : col;
    double setting = x;
    const int idx = profiler::snapSetting(isContinuous(factor), m_grid[factor], levelTexts(factor).size(), x, setting);
    if (!last)
        m_settings[factor] = setting;
    double y = 0;
    if (m_currentValid)
        y = row == 0 ? m_currentPrediction : currentDesirability();
    else if (row == 0)
        y = m_predicted[factor].value(idx);
    else
        y = m_desirabilityProfiles[factor].value(idx);

    QCPItemStraightLine* h = nullptr;
    QCPItemStraightLine* v = nullptr;
    for (int i = 0; i < plot->itemCount(); ++i) {
        auto* line = qobject_cast<QCPItemStraightLine*>(plot->item(i));
        if (!line)
            continue;
        if (!h)
            h = line;
        else if (!v)
            v = line;
    }
    if (!h) {
        QPen pen(Qt::red, 1, Qt::DashLine);
        h = new QCPItemStraightLine(plot);
        v = new QCPItemStraightLine(plot);
        h->setPen(pen);
        v->setPen(pen);
        m_horizontalMarkers.append(h);
        m_verticalMarkers.append(v);
    }
    const QCPRange xr = plot->xAxis->range();
    const QCPRange yr = plot->yAxis->range();
    h->point1->setCoords(xr.lower, y);
    h->point2->setCoords(xr.upper, y);
    v->point1->setCoords(setting, yr.lower);
    v->point2->setCoords(setting, yr.upper);
    v->setVisible(!last);
    if (!m_deferReplot)
        plot->replot();
}

bool DoeRegressionResultDlg::changeSetting(int row, int col, double x)
{
    Q_UNUSED(row);
    if (col < 0 || col >= m_factorCount || !m_facade)
        return false;
    const QVector<double> before = m_settings;
    double setting = x;
    if (isContinuous(col)) {
        // Keep typed or dragged values inside the factor's range so predictions stay finite.
        const QVector<double>& g = m_grid[col];
        if (!g.isEmpty() && std::isfinite(x))
            setting = std::min(std::max(x, g.first()), g.last());
        else if (!g.isEmpty())
            setting = m_settings[col];
    }
    const int idx = profiler::snapSetting(isContinuous(col), m_grid[col], levelTexts(col).size(), setting, setting);
    m_settings[col] = setting;
    if (!computeProfiles(true) || !predictCurrent()) {
        m_settings = before;
        predictCurrent();
        return false;
    }
    profiler::holdPointsInRange(m_desirabilityPoints, m_yLower, m_yUpper);
    resampleDesirability();
    computeDesirabilityProfiles();
    refreshCells(col, idx);
    updatePredictionLabel();
    followProfilerInMonteCarlo();
    return true;
}

void DoeRegressionResultDlg::refreshCells(int changed, int idx)
{
    // Every cell is drawn once, after all of them have their new data and labels.
    m_deferReplot = true;
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < m_factorCount; ++col)
            fillCell(row, col);
    }
    fillCell(0, m_factorCount);
    m_deferReplot = false;
    const int lc = labelColumn();
    if (lc < m_factorCount)
        setLabelTexts(changed, idx);
    for (int i = 0; i < m_plots.size(); ++i) {
        // The corner cell never changes; hidden columns are not drawn.
        if (i != 2 * (m_factorCount + 1) - 1 && !m_plots[i]->isHidden())
            m_plots[i]->replot();
    }
    alignLabelColumn();
}

void DoeRegressionResultDlg::alignLabelColumn()
{
    const int lc = labelColumn();
    if (lc >= m_factorCount)
        return;
    QCustomPlot* cells[2] = {m_plots.value(lc), m_plots.value(m_factorCount + 1 + lc)};
    if (!cells[0] || !cells[1])
        return;
    // Margins are those of the latest replot. The margin only grows, so the axes do not jump while a setting is dragged.
    const int left = std::max(cells[0]->axisRect()->margins().left(), cells[1]->axisRect()->margins().left());
    for (QCustomPlot* plot : cells) {
        QMargins m = plot->axisRect()->minimumMargins();
        if (m.left() >= left)
            continue;
        m.setLeft(left);
        plot->axisRect()->setMinimumMargins(m);
        plot->replot();
    }
}

void DoeRegressionResultDlg::setLabelTexts(int changed, int idx)
{
    const int lc = labelColumn();
    QCustomPlot* top = m_plots.value(lc);
    QCustomPlot* bottom = m_plots.value(m_factorCount + 1 + lc);
    if (!top || !bottom)
        return;
    // The readouts show the prediction at the settings themselves, not the nearest curve point.
    const double y = m_currentValid ? m_currentPrediction : m_predicted[changed].value(idx);
    const double d = m_currentValid ? currentDesirability() : m_desirabilityProfiles[changed].value(idx);
    if (!m_currentValid || intervalsDefined()) {
        top->yAxis->setLabel(QString("%6\n%1\ncon:[%2,%3](red)\npre:[%4 ,%5](blue)")
                                 .arg(gArg(y))
                                 .arg(gArg(m_currentValid ? m_currentConfLow : m_confidenceLower[changed].value(idx)))
                                 .arg(gArg(m_currentValid ? m_currentConfHigh : m_confidenceUpper[changed].value(idx)))
                                 .arg(gArg(m_currentValid ? m_currentPredLow : m_predictionLower[changed].value(idx)))
                                 .arg(gArg(m_currentValid ? m_currentPredHigh : m_predictionUpper[changed].value(idx)))
                                 .arg(m_responses.value(m_modelIndex)));
    } else {
        top->yAxis->setLabel(QString("%2\n%1\nintervals undefined\n(no error DF)")
                                 .arg(gArg(y), m_responses.value(m_modelIndex)));
    }
    bottom->yAxis->setLabel(QString("Desirability\n%1\n\n").arg(gArg(d)));
}

bool DoeRegressionResultDlg::intervalsDefined() const
{
    for (double v : {m_currentConfLow, m_currentConfHigh, m_currentPredLow, m_currentPredHigh})
        if (!std::isfinite(v))
            return false;
    return true;
}

double DoeRegressionResultDlg::currentDesirability() const
{
    const double d = profiler::desirabilityOf(m_currentPrediction, m_desirabilityKeys, m_desirabilityValues);
    return std::isfinite(d) ? d : 0.0;
}

bool DoeRegressionResultDlg::predictCurrent()
{
    double x = 0;
    const QList<QString> row = settingTexts(-1, 0, x);
    double y = 0, lowC = 0, lowP = 0, upC = 0, upP = 0;
    m_facade->predictResult(row, y, lowC, lowP, upC, upP, 0.05, m_modelIndex);
    m_currentPrediction = y;
    m_currentConfLow = lowC;
    m_currentConfHigh = upC;
    m_currentPredLow = lowP;
    m_currentPredHigh = upP;
    m_currentValid = std::isfinite(y);
    return m_currentValid;
}

QString DoeRegressionResultDlg::settingText(int factor) const
{
    const double v = m_settings.value(factor);
    if (!isContinuous(factor)) {
        const QStringList levels = levelTexts(factor);
        const int k = static_cast<int>(v);
        if (k >= 0 && k < levels.size() && k == v)
            return levels[k];
    }
    return g6(v);
}

void DoeRegressionResultDlg::slot_conAndPreDisplay()
{
    m_showConfidence = m_form->checkBox_display_con->isChecked();
    m_showPrediction = m_form->checkBox_diaplay_pre->isChecked();
    for (int col = 0; col < m_factorCount; ++col) {
        QCustomPlot* plot = m_plots.value(col);
        if (!plot || plot->graphCount() < 5)
            continue;
        plot->graph(1)->setVisible(m_showConfidence);
        plot->graph(2)->setVisible(m_showConfidence);
        plot->graph(3)->setVisible(m_showPrediction);
        plot->graph(4)->setVisible(m_showPrediction);
        plot->replot();
    }
}

void DoeRegressionResultDlg::slot_Maximize_Desirability()
{
    if (!m_facade || m_factorCount == 0 || m_desirabilityPoints.size() != 3)
        return;
    QList<QString> out;
    const QVector<QPointF>& p = m_desirabilityPoints;
    m_facade->calculateMax(out, p[0].y(), p[1].y(), p[2].y(), p[0].x(), p[1].x(), p[2].x(), 10, m_modelIndex);
    for (int i = 0; i < out.size() && i < m_settings.size(); ++i) {
        bool ok = false;
        const double v = out[i].toDouble(&ok);
        if (ok && std::isfinite(v))
            m_settings[i] = v;
    }
    changeSetting(0, 0, m_settings[0]);
    refreshEntryFields();
}

// ---- entry row ----

void DoeRegressionResultDlg::buildEntryRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    for (int i = 0; i < m_allFactors.size(); ++i) {
        auto* label = new QLabel(m_allFactors[i] + ": ", row);
        auto* edit = new QLineEdit(row);
        if (isContinuous(i)) {
            auto* validator = new QDoubleValidator(edit);
            validator->setNotation(QDoubleValidator::StandardNotation);
            edit->setValidator(validator);
        } else {
            // Takes a level text or a level index; the tip lists which index is which level.
            QStringList pairs;
            const QStringList levels = levelTexts(i);
            for (int k = 0; k < levels.size(); ++k)
                pairs << QString("%1 = %2").arg(k).arg(levels[k]);
            edit->setToolTip(QString("Type a level or its number: %1").arg(pairs.join(", ")));
        }
        edit->setText(settingText(i));
        const bool used = m_factorUsed.value(i, false);
        label->setVisible(used);
        edit->setVisible(used);
        layout->addWidget(label);
        layout->addWidget(edit);
        connect(edit, SIGNAL(editingFinished()), this, SLOT(slot_LineEditFactors()));
        m_factorEdits.append(edit);
    }
    // Return in an entry field lands here instead of pressing another button of the dialog.
    auto* sink = new QPushButton(row);
    sink->setDefault(true);
    sink->setFocusPolicy(Qt::StrongFocus);
    sink->hide();
    layout->addWidget(sink);
    layout->addSpacerItem(new QSpacerItem(20, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    m_form->prediction_profiler_layout->addWidget(row);
}

void DoeRegressionResultDlg::refreshEntryFields()
{
    for (int i = 0; i < m_factorEdits.size(); ++i) {
        QSignalBlocker block(m_factorEdits[i]);
        m_factorEdits[i]->setText(settingText(i));
    }
}

void DoeRegressionResultDlg::slot_LineEditFactors()
{
    auto* edit = qobject_cast<QLineEdit*>(sender());
    const int col = m_factorEdits.indexOf(edit);
    if (col < 0)
        return;
    double x = 0;
    const bool ok = settingFromText(col, edit->text(), x);
    if (ok && col < m_factorCount)
        changeSetting(0, col, x);
    refreshEntryFields();
}

// ---- mouse ----

int DoeRegressionResultDlg::cellColumn(QCustomPlot* plot, int& row) const
{
    const int idx = m_plots.indexOf(plot);
    if (idx < 0 || m_factorCount + 1 <= 0)
        return -1;
    row = idx / (m_factorCount + 1);
    return idx % (m_factorCount + 1);
}

bool DoeRegressionResultDlg::eventFilter(QObject* watched, QEvent* event)
{
    auto* plot = qobject_cast<QCustomPlot*>(watched);
    int row = 0;
    const int col = plot ? cellColumn(plot, row) : -1;
    if (col < 0)
        return QDialog::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() != Qt::ControlModifier)
            QCoreApplication::sendEvent(m_form->scrollArea->verticalScrollBar(), event);
        return true;
    }
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton)
            break;
        m_pressX = me->pos().x();
        m_pressY = me->pos().y();
        m_dragging = true;
        const double x = plot->xAxis->pixelToCoord(me->pos().x());
        const double y = plot->yAxis->pixelToCoord(me->pos().y());
        if (plot->xAxis->range().contains(x) && plot->yAxis->range().contains(y) && col < m_factorCount) {
            changeSetting(row, col, x);
            refreshEntryFields();
        }
        break;
    }
    case QEvent::MouseMove: {
        if (!m_dragging)
            break;
        auto* me = static_cast<QMouseEvent*>(event);
        if (row == 0 && col == m_factorCount) {
            if (!m_pointGrabbed) {
                const double x1 = plot->xAxis->pixelToCoord(m_pressX - 8), x2 = plot->xAxis->pixelToCoord(m_pressX + 8);
                const double y1 = plot->yAxis->pixelToCoord(m_pressY - 8), y2 = plot->yAxis->pixelToCoord(m_pressY + 8);
                for (int i = 0; i < m_desirabilityPoints.size(); ++i) {
                    const QPointF& p = m_desirabilityPoints[i];
                    if (p.x() >= std::min(x1, x2) && p.x() <= std::max(x1, x2) && p.y() >= std::min(y1, y2)
                        && p.y() <= std::max(y1, y2)) {
                        m_grabbedPoint = i;
                        m_pointGrabbed = true;
                        break;
                    }
                }
            }
            if (m_pointGrabbed && m_grabbedPoint >= 0 && m_grabbedPoint < m_desirabilityPoints.size()) {
                double d = plot->xAxis->pixelToCoord(me->pos().x());
                double y = plot->yAxis->pixelToCoord(me->pos().y());
                d = std::min(1.0, std::max(0.0, std::isfinite(d) ? d : 0.0));
                y = std::min(m_yUpper, std::max(m_yLower, std::isfinite(y) ? y : m_yLower));
                m_desirabilityPoints[m_grabbedPoint] = QPointF(d, y);
                const QPointF moved = m_desirabilityPoints[m_grabbedPoint];
                profiler::holdPointsInRange(m_desirabilityPoints, m_yLower, m_yUpper);
                m_grabbedPoint = m_desirabilityPoints.indexOf(moved);  // sorting may move it
                if (m_grabbedPoint < 0)
                    m_pointGrabbed = false;
                resampleDesirability();
                fillCell(0, m_factorCount);
                m_desirabilityChanged = true;
            }
        } else if (col < m_factorCount) {
            const QPoint delta = me->pos() - QPoint(int(m_pressX), int(m_pressY));
            if (delta.manhattanLength() > 10) {
                const QCPRange xr = plot->xAxis->range();
                double x = plot->xAxis->pixelToCoord(me->pos().x());
                x = std::min(xr.upper, std::max(xr.lower, x));
                changeSetting(row, col, x);
                refreshEntryFields();
            }
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        m_dragging = false;
        m_pointGrabbed = false;
        m_grabbedPoint = -1;
        if (m_desirabilityChanged) {
            computeDesirabilityProfiles();
            for (int c = 0; c < m_factorCount; ++c)
                fillCell(1, c);
            // The desirability readout follows the reshaped function, as the curves do.
            if (labelColumn() < m_factorCount) {
                setLabelTexts(labelColumn(), 0);
                m_plots.value(m_factorCount + 1 + labelColumn())->replot();
            }
            m_desirabilityChanged = false;
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace doeUI
