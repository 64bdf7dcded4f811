#include "DoeCustomDesignDlgEvaluation.h"

#include "DoeBussinessApi.h"
#include "DoeNumberInputDlg.h"

#include <QDoubleValidator>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QHelpEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolTip>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

using namespace doeBussiness;

namespace doeUI {

namespace {

const int kPlotHeight = 340;
const int kMaxAxisLabels = 40;  // beyond this, every k-th parameter is named

QString numberText(double v, int digits = 6)
{
    return std::isfinite(v) ? QString::number(v, 'g', digits) : QStringLiteral("\u2014");
}

QTableWidgetItem* readOnlyItem(const QString& text, Qt::Alignment align = Qt::AlignCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setTextAlignment(align);
    return item;
}

QTableWidget* makeTable(QWidget* parent, const QString& name, const QStringList& headers)
{
    auto* table = new QTableWidget(0, headers.size(), parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    return table;
}

QCustomPlot* makePlot(QWidget* parent, const QString& name)
{
    auto* plot = new QCustomPlot(parent);
    plot->setObjectName(name);
    plot->setMinimumHeight(kPlotHeight);
    plot->setMinimumWidth(380);
    return plot;
}

// Tick labels naming the parameters at integer positions; thinned when there are many.
QSharedPointer<QCPAxisTickerText> nameTicker(const QStringList& names)
{
    QSharedPointer<QCPAxisTickerText> ticker(new QCPAxisTickerText);
    const int step = names.size() > kMaxAxisLabels ? (names.size() + kMaxAxisLabels - 1) / kMaxAxisLabels : 1;
    for (int i = 0; i < names.size(); i += step)
        ticker->addTick(i, names.at(i));
    return ticker;
}

}  // namespace

DoeDesignEvaluationPanel::DoeDesignEvaluationPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("widget_design_evaluation"));
    initUI();
}

void DoeDesignEvaluationPanel::setBussinessApi(DoeBussinessApi* api)
{
    m_api = api;
    showSetting();
    initConnection();
}

void DoeDesignEvaluationPanel::initUI()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("label_evaluation_message"));
    m_message->hide();
    layout->addWidget(m_message);
    initComparisonUI(layout);

    auto* top = new QHBoxLayout;
    auto* efficiencyBox = new QGroupBox(tr("Design Diagnostics"), this);
    auto* efficiencyLayout = new QVBoxLayout(efficiencyBox);
    m_efficiencies = makeTable(efficiencyBox, QStringLiteral("tableWidget_efficiency"), {tr("Diagnostic"), tr("Value")});
    m_efficiencies->setRowCount(4);
    const QStringList labels = {tr("D Efficiency (%)"), tr("A Efficiency (%)"), tr("G Efficiency (%)"),
                                tr("Average Variance of Prediction")};
    for (int r = 0; r < labels.size(); ++r)
        m_efficiencies->setItem(r, 0, readOnlyItem(labels.at(r), Qt::AlignLeft | Qt::AlignVCenter));
    const QString codingTip =
        tr("Categorical factors in orthonormal contrasts, scaled so that a balanced full factorial gives "
           "X'X = n I (100 %); continuous and discrete numeric factors coded on [-1, 1].");
    for (int r = 0; r < 2; ++r)
        m_efficiencies->item(r, 0)->setToolTip(codingTip);
    m_efficiencies->setFixedHeight(m_efficiencies->horizontalHeader()->sizeHint().height()
                                   + 4 * m_efficiencies->verticalHeader()->defaultSectionSize() + 4);
    efficiencyLayout->addWidget(m_efficiencies);
    efficiencyLayout->addStretch(1);
    top->addWidget(efficiencyBox, 1);

    auto* powerBox = new QGroupBox(tr("Power Analysis"), this);
    auto* powerLayout = new QVBoxLayout(powerBox);
    auto* fields = new QGridLayout;
    m_alpha = new QLineEdit(powerBox);
    m_alpha->setObjectName(QStringLiteral("lineEdit_alpha"));
    m_signalToNoise = new QLineEdit(powerBox);
    m_signalToNoise->setObjectName(QStringLiteral("lineEdit_signal_to_noise"));
    for (QLineEdit* edit : {m_alpha, m_signalToNoise}) {
        edit->setValidator(new QDoubleValidator(edit));
        edit->setMaximumWidth(120);
    }
    fields->addWidget(new QLabel(tr("Significance Level"), powerBox), 0, 0);
    fields->addWidget(m_alpha, 0, 1);
    fields->addWidget(new QLabel(tr("Signal to Noise Ratio"), powerBox), 1, 0);
    fields->addWidget(m_signalToNoise, 1, 1);
    fields->setColumnStretch(2, 1);
    powerLayout->addLayout(fields);
    m_power = makeTable(powerBox, QStringLiteral("tableWidget_power"), {tr("Term"), tr("Power"), tr("Alias Norm")});
    m_power->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    m_power->horizontalHeaderItem(2)->setToolTip(
        tr("For an If Possible term: the norm of its column of the alias matrix (X1'X1)^-1 X1'x2, how much "
           "the term would bias the Necessary estimates per unit of its own coefficient."));
    powerLayout->addWidget(m_power);
    m_powerNote = new QLabel(tr("Power needs more runs than model parameters."), powerBox);
    m_powerNote->setObjectName(QStringLiteral("label_power_note"));
    m_powerNote->hide();
    powerLayout->addWidget(m_powerNote);
    auto* meaning = new QLabel(
        tr("Signal to noise: every coefficient of a term, in units of the error's standard deviation, on "
           "the coded scale (factors from -1 to 1). A categorical term's power assumes each of its "
           "effect-coded coefficients (a level against the mean of all levels; the last level is their "
           "negative sum) has that size. If Possible terms are not in the model whose figures are shown: "
           "each shows its alias norm with the Necessary terms."),
        powerBox);
    meaning->setObjectName(QStringLiteral("label_signal_to_noise_meaning"));
    meaning->setWordWrap(true);
    QFont small = meaning->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    meaning->setFont(small);
    powerLayout->addWidget(meaning);
    powerLayout->addStretch(1);
    top->addWidget(powerBox, 1);
    layout->addLayout(top);

    auto* bottom = new QHBoxLayout;
    auto* mapBox = new QGroupBox(tr("Color Map On Correlations"), this);
    auto* mapLayout = new QVBoxLayout(mapBox);
    m_correlationPlot = makePlot(mapBox, QStringLiteral("plot_correlations"));
    m_correlationPlot->installEventFilter(this);
    mapLayout->addWidget(m_correlationPlot);
    bottom->addWidget(mapBox, 1);
    auto* fdsBox = new QGroupBox(tr("Fraction of Design Space Plot"), this);
    auto* fdsLayout = new QVBoxLayout(fdsBox);
    m_fdsPlot = makePlot(fdsBox, QStringLiteral("plot_fds"));
    fdsLayout->addWidget(m_fdsPlot);
    bottom->addWidget(fdsBox, 1);
    layout->addLayout(bottom);
}

void DoeDesignEvaluationPanel::initConnection()
{
    connect(m_alpha, SIGNAL(editingFinished()), this, SLOT(onSettingEdited()), Qt::UniqueConnection);
    connect(m_signalToNoise, SIGNAL(editingFinished()), this, SLOT(onSettingEdited()), Qt::UniqueConnection);
    initComparisonConnection();
}

void DoeDesignEvaluationPanel::showSetting()
{
    if (!m_api)
        return;
    DoeDesignEvaluationSetting s;
    m_api->getDesignEvaluationSetting(s);
    QSignalBlocker b1(m_alpha);
    QSignalBlocker b2(m_signalToNoise);
    m_alpha->setText(QString::number(s.alpha, 'g', 6));
    m_signalToNoise->setText(QString::number(s.signalToNoise, 'g', 6));
}

void DoeDesignEvaluationPanel::onSettingEdited()
{
    if (!m_api)
        return;
    DoeDesignEvaluationSetting s;
    m_api->getDesignEvaluationSetting(s);
    const DoeDesignEvaluationSetting before = s;
    bool okAlpha = false;
    bool okSnr = false;
    s.alpha = QLocale().toDouble(m_alpha->text(), &okAlpha);
    if (!okAlpha)
        s.alpha = m_alpha->text().toDouble(&okAlpha);
    s.signalToNoise = QLocale().toDouble(m_signalToNoise->text(), &okSnr);
    if (!okSnr)
        s.signalToNoise = m_signalToNoise->text().toDouble(&okSnr);
    if (okAlpha && okSnr && s == before)
        return;
    // Text that is not a number is refused like a value out of range, with that field's message.
    if (!okAlpha)
        s.alpha = std::nan("");
    if (!okSnr)
        s.signalToNoise = std::nan("");
    QString message;
    if (!m_api->setDesignEvaluationSetting(s, message)) {
        showSetting();
        showWarningBox(this, message);
        return;
    }
    showSetting();
    refresh();
}

void DoeDesignEvaluationPanel::setNotice(const QString& text)
{
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

void DoeDesignEvaluationPanel::clearAll(const QString& message)
{
    m_message->setText(message.trimmed());
    m_message->setVisible(!message.isEmpty());
    for (int r = 0; r < m_efficiencies->rowCount(); ++r)
        m_efficiencies->setItem(r, 1, readOnlyItem(QStringLiteral("\u2014")));
    m_power->setRowCount(0);
    m_correlations.clear();
    m_correlationNames.clear();
    m_correlationPlot->clearPlottables();
    m_correlationPlot->plotLayout()->clear();
    m_correlationPlot->plotLayout()->addElement(0, 0, new QCPAxisRect(m_correlationPlot));
    m_correlationPlot->replot();
    m_fdsPlot->clearGraphs();
    m_fdsPlot->replot();
}

void DoeDesignEvaluationPanel::refresh()
{
    if (!m_api)
        return;
    DoeDesignEvaluation e;
    QString message;
    if (!m_api->getDesignEvaluation(e, message)) {
        const bool noDesign = message == QLatin1String("Unknown error\n") || message == QLatin1String("No data\n");
        clearAll(noDesign ? tr("No design to evaluate.") : message.trimmed());
        showComparison(nullptr);
        return;
    }
    clearAll(QString());
    if (!std::isfinite(e.averageVariance))
        clearAll(tr("The design cannot estimate every Necessary parameter of the model: add runs, remove terms "
                    "or make terms If Possible."));
    showEfficiencies(e);
    showPower(e);
    showCorrelations(e);
    showFds(e);
    showComparison(&e);
}

void DoeDesignEvaluationPanel::showEfficiencies(const DoeDesignEvaluation& e)
{
    const bool estimable = std::isfinite(e.averageVariance);
    const double values[] = {e.dEfficiency, e.aEfficiency, e.gEfficiency, e.averageVariance};
    for (int r = 0; r < 4; ++r) {
        const double v = estimable ? values[r] : std::nan("");
        m_efficiencies->setItem(r, 1, readOnlyItem(numberText(v, r < 3 ? 4 : 6)));
    }
}

void DoeDesignEvaluationPanel::showPower(const DoeDesignEvaluation& e)
{
    m_power->setRowCount(e.terms.size());
    // Up to two dozen terms (a screening model of six factors with its products) show without scrolling.
    const int shown = std::max(4, std::min(e.terms.size(), 24));
    m_power->setFixedHeight(m_power->horizontalHeader()->sizeHint().height()
                            + shown * m_power->verticalHeader()->defaultSectionSize() + 2 * m_power->frameWidth());
    // Only a design that estimates its Necessary terms yet leaves no error degree of freedom lacks
    // power for want of runs; a singular one says so above.
    m_powerNote->setVisible(std::isfinite(e.averageVariance) && e.errorDf < 1 && !e.terms.isEmpty());
    for (int r = 0; r < e.terms.size(); ++r) {
        const bool necessary = r >= e.necessary.size() || e.necessary.at(r);
        m_power->setItem(r, 0, readOnlyItem(e.terms.at(r), Qt::AlignLeft | Qt::AlignVCenter));
        if (necessary) {
            const double p = r < e.power.size() ? e.power.at(r) : std::nan("");
            m_power->setItem(r, 1, readOnlyItem(numberText(p, 4)));
            m_power->setItem(r, 2, readOnlyItem(QString()));
            continue;
        }
        auto* mark = readOnlyItem(tr("If Possible"));
        mark->setToolTip(tr("Not in the model whose power is shown; see its alias norm."));
        mark->setForeground(QColor(110, 110, 110));
        m_power->setItem(r, 1, mark);
        const double a = r < e.aliasNorm.size() ? e.aliasNorm.at(r) : std::nan("");
        m_power->setItem(r, 2, readOnlyItem(numberText(a, 4)));
    }
}

void DoeDesignEvaluationPanel::showCorrelations(const DoeDesignEvaluation& e)
{
    QCustomPlot* plot = m_correlationPlot;
    plot->clearPlottables();
    plot->plotLayout()->clear();
    auto* rect = new QCPAxisRect(plot);
    plot->plotLayout()->addElement(0, 0, rect);
    QStringList names;
    for (const QString& p : e.parameters)
        if (p != QLatin1String("Intercept"))
            names.append(p);
    const int m = e.correlations.size();
    if (m == 0 || names.size() != m) {
        plot->replot();
        return;
    }
    // Room for every named row: the map grows with the parameters, the page scrolls.
    plot->setMinimumHeight(std::min(900, std::max(kPlotHeight, 14 * m + 140)));
    QCPAxis* x = rect->axis(QCPAxis::atBottom);
    QCPAxis* y = rect->axis(QCPAxis::atLeft);
    auto* map = new QCPColorMap(x, y);
    map->data()->setSize(m, m);
    map->data()->setRange(QCPRange(0, m - 1), QCPRange(0, m - 1));
    // A constant column has no correlation: its cells are left blank (transparent), not 0.
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) {
            const double v = e.correlations[i][j];
            map->data()->setCell(i, j, std::isfinite(v) ? v : 0.0);
            if (!std::isfinite(v))
                map->data()->setAlpha(i, j, 0);
        }
    m_correlationNames = names;
    m_correlations = e.correlations;
    QCPColorGradient gradient;
    gradient.setColorStopAt(0.0, QColor(49, 54, 149));
    gradient.setColorStopAt(0.25, QColor(116, 173, 209));
    gradient.setColorStopAt(0.5, QColor(255, 255, 191));
    gradient.setColorStopAt(0.75, QColor(244, 109, 67));
    gradient.setColorStopAt(1.0, QColor(165, 0, 38));
    map->setGradient(gradient);
    map->setDataRange(QCPRange(0, 1));
    map->setInterpolate(false);
    auto* scale = new QCPColorScale(plot);
    plot->plotLayout()->addElement(0, 1, scale);
    scale->setType(QCPAxis::atRight);
    scale->setDataRange(QCPRange(0, 1));
    scale->setGradient(gradient);
    scale->axis()->setLabel(tr("|r|"));
    map->setColorScale(scale);
    auto* group = new QCPMarginGroup(plot);
    rect->setMarginGroup(QCP::msBottom | QCP::msTop, group);
    scale->setMarginGroup(QCP::msBottom | QCP::msTop, group);

    QFont small = font();
    small.setPointSizeF(m > 20 ? 7.0 : (m > 12 ? 8.0 : 9.0));
    for (QCPAxis* axis : {x, y}) {
        axis->setTicker(nameTicker(names));
        axis->setTickLabelFont(small);
        axis->setRange(-0.5, m - 0.5);
        axis->grid()->setVisible(false);
        axis->setSubTicks(false);
    }
    x->setTickLabelRotation(90);
    y->setRangeReversed(true);  // first parameter at the top left, as in a matrix
    plot->replot();
}

bool DoeDesignEvaluationPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_correlationPlot && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = correlationTip(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, m_correlationPlot);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QString DoeDesignEvaluationPanel::correlationTip(const QPoint& pos) const
{
    const int m = m_correlations.size();
    if (m == 0 || m_correlationPlot->plottableCount() == 0)
        return QString();
    auto* map = qobject_cast<QCPColorMap*>(m_correlationPlot->plottable(0));
    if (!map)
        return QString();
    double key = 0.0;
    double value = 0.0;
    map->pixelsToCoords(pos, key, value);
    const int i = static_cast<int>(std::lround(key));
    const int j = static_cast<int>(std::lround(value));
    if (i < 0 || j < 0 || i >= m || j >= m || i >= m_correlationNames.size() || j >= m_correlationNames.size())
        return QString();
    const double r = m_correlations[i][j];
    const QString pair = m_correlationNames.at(i) + QStringLiteral(" / ") + m_correlationNames.at(j);
    if (!std::isfinite(r))
        return pair + tr(": undefined (a constant column has no correlation)");
    return pair + QStringLiteral(": |r| = ") + QString::number(r, 'g', 4);
}

void DoeDesignEvaluationPanel::showFds(const DoeDesignEvaluation& e)
{
    QCustomPlot* plot = m_fdsPlot;
    plot->clearGraphs();
    plot->xAxis->setLabel(tr("Fraction of Space"));
    plot->yAxis->setLabel(tr("Prediction Variance"));
    QVector<double> xs;
    QVector<double> ys;
    double top = 0.0;
    for (const auto& point : e.fds) {
        if (!std::isfinite(point.first) || !std::isfinite(point.second))
            continue;
        xs.append(point.first);
        ys.append(point.second);
        top = std::max(top, point.second);
    }
    if (!xs.isEmpty()) {
        QCPGraph* graph = plot->addGraph();
        graph->setData(xs, ys, true);
        graph->setPen(QPen(QColor(31, 119, 180), 2));
        plot->xAxis->setRange(0, 1);
        plot->yAxis->setRange(0, top > 0 ? top * 1.1 : 1.0);
    }
    plot->replot();
}

}  // namespace doeUI
