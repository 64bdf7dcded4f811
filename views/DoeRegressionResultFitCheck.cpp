// Report parts that say what the fit means: the response heading, the coded-units note, the
// lack-of-fit table, the residual plot, the readable current prediction, the Monte Carlo means
// that follow the profiler, and the LSL and USL lines of the histogram.
#include "DoeRegressionResultDlg.h"
#include "ui_DoeRegressionResultDlg.h"

#include "DoeMonteCarloEditWidget.h"
#include "DoeProfilerMath.h"
#include "DoeReportTable.h"

#include <QLabel>
#include <QTableWidget>
#include <cmath>
#include <limits>
#include <qcustomplot.h>

namespace doeUI {

using namespace doeBussiness;

void DoeRegressionResultDlg::buildLackOfFitTable()
{
    DoeLackOfFitResult lof;
    if (!m_facade->getLackOfFit(lof, m_modelIndex))
        return;
    using report::header;
    using report::item;
    using report::label;
    using report::number;
    auto* title = new QLabel("Lack Of Fit", this);
    title->setObjectName("label_lack_of_fit");
    m_form->verticalLayout_result->addWidget(title);
    QTableWidget* t = report::makeTable(4, 6, this);
    t->setObjectName("tableWidget_lack_of_fit");
    t->setMinimumHeight(140);
    t->setMaximumWidth(1250);
    const QStringList heads = {"Source", "DF", "Sum of Squares", "Mean Square", "F Ratio", "Prob > F"};
    for (int c = 0; c < heads.size(); ++c)
        t->setItem(0, c, header(heads[c]));
    const QStringList sources = {"Lack Of Fit", "Pure Error", "Total Error"};
    const int dfs[] = {lof.lackOfFitDF, lof.pureErrorDF, lof.totalErrorDF};
    const double ss[] = {lof.lackOfFitSS, lof.pureErrorSS, lof.totalErrorSS};
    const double ms[] = {lof.lackOfFitMS, lof.pureErrorMS, lof.totalErrorMS};
    // With a zero pure error the test has no value: a dash and the reason, never an infinity.
    const QString dash = QStringLiteral("\u2014");
    const bool undefined = !lof.note.isEmpty();
    const QString f = undefined ? dash : number(lof.fRatio);
    const QString p = undefined ? dash
                      : std::isfinite(lof.probF) && lof.probF < 1e-4 ? QStringLiteral("<.0001")
                                                                     : number(lof.probF);
    for (int r = 0; r < 3; ++r) {
        t->setItem(r + 1, 0, label(sources[r]));
        t->setItem(r + 1, 1, item(QString::number(dfs[r])));
        t->setItem(r + 1, 2, item(number(ss[r])));
        t->setItem(r + 1, 3, item(number(ms[r])));
        t->setItem(r + 1, 4, item(r == 0 ? f : QString()));
        t->setItem(r + 1, 5, item(r == 0 ? p : QString()));
    }
    m_form->verticalLayout_result->addWidget(t);
    m_lackOfFitTable = t;
    if (undefined) {
        auto* note = new QLabel(QString("Note: %1").arg(lof.note), this);
        note->setObjectName("label_lack_of_fit_note");
        m_form->verticalLayout_result->addWidget(note);
    }
}

void DoeRegressionResultDlg::fillCodedNote()
{
    if (!m_codedNote)
        return;
    QStringList ranges;
    for (const QString& name : m_allFactors) {
        auto it = m_factorInfo.find(name);
        if (it == m_factorInfo.end())
            continue;
        if (it->role == EDoeFactorRole::Continuous && it->values.size() == 2)
            ranges << QString("%1 from %2 (-1) to %3 (1)").arg(name, it->values[0], it->values[1]);
        else
            ranges << QString("%1 levels %2").arg(name, it->values.join(", "));
    }
    m_codedNote->setText(QString("Estimates are in coded units (-1 to 1): each continuous factor's range maps to "
                                 "-1 to 1. Factor ranges: %1.")
                             .arg(ranges.join("; ")));
}

void DoeRegressionResultDlg::buildResidualPlot()
{
    QVector<double> predicted, residuals;
    if (!m_facade->getResidualByPredicted(predicted, residuals, m_modelIndex))
        return;
    auto* title = new QLabel("Residual by Predicted", this);
    title->setObjectName("label_residual_by_predicted");
    m_form->actual_by_predicted_layout->addWidget(title);
    auto* plot = new QCustomPlot(this);
    plot->setObjectName("residual_by_predicted_plot");
    plot->setMinimumSize(500, 300);
    plot->setMaximumSize(500, 300);
    m_form->actual_by_predicted_layout->addWidget(plot);
    m_residualPlot = plot;
    plot->xAxis->setLabel("Y Predicted");
    plot->yAxis->setLabel("Y Residual");

    const auto xs = std::minmax_element(predicted.begin(), predicted.end());
    const auto ys = std::minmax_element(residuals.begin(), residuals.end());
    double xLo = 0, xHi = 1, yLo = 0, yHi = 1;
    profiler::paddedRange(*xs.first, *xs.second, 0.1, xLo, xHi);
    // Symmetric around zero, so the zero line sits in the middle.
    const double reach = std::max(std::fabs(*ys.first), std::fabs(*ys.second));
    profiler::paddedRange(-reach, reach, 0.1, yLo, yHi);

    QCPGraph* zero = plot->addGraph();
    zero->setPen(QPen(QColor(255, 0, 0, 200), 1, Qt::DashLine));
    zero->setData({xLo, xHi}, {0.0, 0.0});
    QCPGraph* runs = plot->addGraph();
    runs->setLineStyle(QCPGraph::lsNone);
    runs->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, QPen(Qt::black, 3), QBrush(Qt::black), 4));
    runs->setData(predicted, residuals);
    plot->xAxis->setRange(xLo, xHi);
    plot->yAxis->setRange(yLo, yHi);
    plot->replot();
}

// Level texts are taken as they are; other texts as numbers (a level index for other roles).
bool DoeRegressionResultDlg::settingFromText(int factor, const QString& text, double& setting) const
{
    const QString t = text.trimmed();
    if (!isContinuous(factor)) {
        const QStringList levels = levelTexts(factor);
        int idx = levels.indexOf(t);
        for (int i = 0; idx < 0 && i < levels.size(); ++i) {
            if (levels[i].compare(t, Qt::CaseInsensitive) == 0)
                idx = i;
        }
        if (idx >= 0) {
            setting = idx;
            return true;
        }
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok)
        setting = v;
    return ok;
}

void DoeRegressionResultDlg::updatePredictionLabel()
{
    if (m_plots.isEmpty())
        return;
    if (!m_predictionLabel) {
        m_predictionLabel = new QLabel(this);
        m_predictionLabel->setObjectName("label_profiler_prediction");
        m_predictionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_predictionLabel->setWordWrap(true);
        QFont f = m_predictionLabel->font();
        f.setPointSizeF(f.pointSizeF() * 1.15);
        m_predictionLabel->setFont(f);
        QVBoxLayout* layout = m_form->prediction_profiler_layout;
        const int at = layout->indexOf(m_plots.first()->parentWidget());
        layout->insertWidget(at < 0 ? layout->count() : at, m_predictionLabel);
    }
    const QString name = m_responses.value(m_modelIndex);
    if (!m_currentValid) {
        m_predictionLabel->setText(QString("%1: no prediction at the current settings").arg(name));
        return;
    }
    auto g = [](double v) { return QString::number(v, 'g', 6); };
    if (!intervalsDefined()) {
        m_predictionLabel->setText(QString("%1 = %2      intervals undefined (no error degrees of freedom)")
                                       .arg(name, g(m_currentPrediction)));
        return;
    }
    m_predictionLabel->setText(
        QString("%1 = %2      95% confidence interval [%3, %4]      95% prediction interval [%5, %6]")
            .arg(name, g(m_currentPrediction), g(m_currentConfLow), g(m_currentConfHigh), g(m_currentPredLow),
                 g(m_currentPredHigh)));
}

void DoeRegressionResultDlg::followProfilerInMonteCarlo()
{
    QMap<QString, DoeMonteCarloFactorInfo> infos;
    if (!m_facade || !m_facade->getMonteCarloFactorInfo(m_modelIndex, infos))
        return;
    m_monteCarloFollowed.resize(m_factorCount);
    bool any = false;
    for (int i = 0; i < m_factorCount; ++i) {
        if (!isContinuous(i) || !infos.contains(m_allFactors.value(i)))
            continue;
        DoeMonteCarloFactorInfo info = infos.value(m_allFactors[i]);
        const double last = m_monteCarloFollowed[i];
        const bool followMean = info.mean == last;
        const bool followFixed = info.fixedValue == last;
        if (!followMean && !followFixed) {
            m_monteCarloFollowed[i] = std::numeric_limits<double>::quiet_NaN();  // typed: stays as typed
            continue;
        }
        if (followMean)
            info.mean = m_settings[i];
        if (followFixed)
            info.fixedValue = m_settings[i];
        QString message;
        if (m_facade->setMonteCarloFactorInfo(m_modelIndex, m_allFactors[i], info, message)) {
            m_monteCarloFollowed[i] = m_settings[i];
            any = true;
        }
    }
    if (any && m_monteCarloEditor) {
        for (DoeMonteCarloFactorWidget* w : m_monteCarloEditor->factorWidgets())
            w->reload();
    }
}

void DoeRegressionResultDlg::addSpecLines(QCustomPlot* plot, int kind, double lower, double upper)
{
    QVector<QPair<double, QString>> lines;
    if (kind == 2 || kind == 3)
        lines.append({lower, "LSL"});
    if (kind == 1 || kind == 3)
        lines.append({upper, "USL"});
    QCPRange xr = plot->xAxis->range();
    for (const auto& l : lines) {
        if (!std::isfinite(l.first))
            continue;
        auto* line = new QCPItemStraightLine(plot);
        line->setObjectName(l.second);
        line->setPen(QPen(QColor(200, 0, 0), 2, Qt::DashLine));
        line->point1->setCoords(l.first, 0);
        line->point2->setCoords(l.first, 1);
        auto* text = new QCPItemText(plot);
        text->setText(l.second);
        text->setColor(QColor(200, 0, 0));
        // Beside the line on a white ground, so neither hides the other.
        text->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
        text->setBrush(QBrush(Qt::white));
        text->setPadding(QMargins(3, 1, 3, 1));
        text->position->setTypeX(QCPItemPosition::ptPlotCoords);
        text->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        text->position->setCoords(l.first, 0.02);
        xr.expand(l.first);
    }
    // Limits outside the simulated values stay in view, with a little room beside them.
    if (!lines.isEmpty() && xr != plot->xAxis->range()) {
        const double pad = 0.05 * xr.size();
        plot->xAxis->setRange(xr.lower - pad, xr.upper + pad);
    }
    plot->replot();
}

}  // namespace doeUI
