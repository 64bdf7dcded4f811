#include "DoeJointProfilerDlg.h"

#include "DoeBussinessApi.h"
#include "DoeDurableFile.h"
#include "DoeNumberInputDlg.h"
#include "DoeReportExport.h"
#include "DoeReportTable.h"
#include "Custom_QFileDialog.h"

#include <QBoxLayout>
#include <QBuffer>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

using doeBussiness::DoeBussinessApi;
using doeBussiness::DoeDesirabilitySpec;

namespace doeUI {

namespace {

constexpr int kPoints = 100;
constexpr int kCell = 170;
constexpr int kLabelCell = 240;

double finiteOr(double v, double fallback) { return std::isfinite(v) ? v : fallback; }

void styleCell(QCustomPlot* p)
{
    // Many cells redraw on every move: plain lines keep a refresh within a frame.
    p->setNotAntialiasedElements(QCP::aeAll);
    p->setPlottingHint(QCP::phFastPolylines, true);
    p->xAxis2->setVisible(true);
    p->yAxis2->setVisible(true);
    for (QCPAxis* a : {p->xAxis, p->yAxis, p->xAxis2, p->yAxis2}) {
        a->setBasePen(QPen(Qt::black));
        a->grid()->setVisible(false);
        a->setTickLabels(false);
        a->setTicks(false);
        a->setPadding(0);
        a->setTickLabelPadding(0);
        a->setLabelPadding(0);
    }
}

}  // namespace

DoeJointProfilerDlg::DoeJointProfilerDlg(DoeBussinessApi* facade, QWidget* parent) : QDialog(parent), m_facade(facade)
{
    setObjectName(QStringLiteral("doe_joint_profiler_dlg"));
    setWindowTitle(QStringLiteral("Prediction Profiler"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    initUI();
    setDataToUI();
    initConnection();
}

QPushButton* DoeJointProfilerDlg::addLauncher(DoeBussinessApi* facade, QWidget* host, QBoxLayout* layout)
{
    QList<QString> responses;
    if (facade)
        facade->getModelResponseList(responses);
    if (!layout || responses.size() < 2)
        return nullptr;
    auto* button = new QPushButton(QStringLiteral("Joint Profiler..."), host);
    button->setObjectName(QStringLiteral("pushButton_joint_profiler"));
    button->setMaximumWidth(250);
    layout->addWidget(button);
    connect(button, SIGNAL(clicked(bool)), new DoeJointProfilerLauncher(facade, host, button), SLOT(slotOpen()));
    return button;
}

void DoeJointProfilerLauncher::slotOpen()
{
    auto* dlg = new DoeJointProfilerDlg(m_facade, m_host);
    if (!dlg->isValid()) {
        delete dlg;
        return;
    }
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->show();
}

void DoeJointProfilerDlg::initUI()
{
    resize(1200, 900);
    auto* outer = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    auto* page = new QVBoxLayout(content);

    auto* buttons = new QHBoxLayout;
    m_maximize = new QPushButton(QStringLiteral("Maximize Desirability"), content);
    m_maximize->setObjectName(QStringLiteral("pushButton_max_desire"));
    m_saveImage = new QPushButton(QStringLiteral("Save Image..."), content);
    m_saveImage->setObjectName(QStringLiteral("pushButton_save_image"));
    buttons->addWidget(m_maximize);
    buttons->addWidget(m_saveImage);
    buttons->addStretch();
    page->addLayout(buttons);

    m_plotArea = new QWidget(content);
    m_plotArea->setObjectName(QStringLiteral("joint_profiler_plots"));
    m_grid = new QGridLayout(m_plotArea);
    m_grid->setSpacing(0);
    m_grid->setContentsMargins(0, 0, 0, 0);
    page->addWidget(m_plotArea);

    page->addWidget(new QLabel(QStringLiteral("Desirability functions"), content));
    m_specTable = new QTableWidget(0, 8, content);
    m_specTable->setObjectName(QStringLiteral("tableWidget_desirability"));
    m_specTable->setHorizontalHeaderLabels({"Response", "Low", "Middle", "High", "d Low", "d Middle", "d High",
                                            "Importance"});
    m_specTable->verticalHeader()->hide();
    m_specTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_specTable->setMinimumHeight(110);
    m_specTable->setMaximumHeight(160);
    page->addWidget(m_specTable);

    page->addWidget(new QLabel(QStringLiteral("Current settings"), content));
    m_optimumTable = new QTableWidget(0, 5, content);
    m_optimumTable->setObjectName(QStringLiteral("tableWidget_optimum"));
    m_optimumTable->setHorizontalHeaderLabels({"Item", "Value", "Lower 95%", "Upper 95%", "Desirability"});
    m_optimumTable->verticalHeader()->hide();
    m_optimumTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_optimumTable->setMinimumHeight(200);
    page->addWidget(m_optimumTable);
    auto* tableButtons = new QHBoxLayout;
    m_copy = new QPushButton(QStringLiteral("Copy"), content);
    m_copy->setObjectName(QStringLiteral("pushButton_copy_optimum"));
    m_exportCsv = new QPushButton(QStringLiteral("Export CSV..."), content);
    m_exportCsv->setObjectName(QStringLiteral("pushButton_export_optimum"));
    tableButtons->addWidget(m_copy);
    tableButtons->addWidget(m_exportCsv);
    tableButtons->addStretch();
    page->addLayout(tableButtons);

    page->addWidget(new QLabel(QStringLiteral("Joint Monte Carlo"), content));
    m_limitTable = new QTableWidget(0, 4, content);
    m_limitTable->setObjectName(QStringLiteral("tableWidget_joint_limits"));
    m_limitTable->setHorizontalHeaderLabels({"Response", "Noise SD", "LSL", "USL"});
    m_limitTable->verticalHeader()->hide();
    m_limitTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_limitTable->setMaximumHeight(160);
    page->addWidget(m_limitTable);
    auto* runRow = new QHBoxLayout;
    runRow->addWidget(new QLabel(QStringLiteral("N Runs:"), content));
    m_runs = new QSpinBox(content);
    m_runs->setObjectName(QStringLiteral("spinBox_joint_runs"));
    m_runs->setRange(1, 3000000);
    m_runs->setSingleStep(1000);
    m_runs->setValue(10000);
    runRow->addWidget(m_runs);
    m_simulate = new QPushButton(QStringLiteral("Simulate"), content);
    m_simulate->setObjectName(QStringLiteral("pushButton_joint_simulate"));
    runRow->addWidget(m_simulate);
    runRow->addStretch();
    page->addLayout(runRow);
    m_rateTable = report::makeTable(0, 2, content);
    m_rateTable->setObjectName(QStringLiteral("tableWidget_joint_rates"));
    m_rateTable->setMinimumHeight(120);
    page->addWidget(m_rateTable);
    page->addStretch();
}

void DoeJointProfilerDlg::setDataToUI()
{
    if (!m_facade)
        return;
    QString message;
    m_facade->getModelFactorList(m_factors);
    m_facade->getModelResponseList(m_responses);
    QMap<QString, doeBussiness::DoeDesignTableColumInfo> info;
    QVector<bool> used;
    QList<QString> factors;
    m_facade->getRegressionAllFactorAndUsedFactor(factors, info, used, 0);
    for (const QString& f : m_factors) {
        const auto col = info.value(f);
        doeBussiness::DoeJointFactorDomain d;
        d.continuous = col.role == doeBussiness::Continuous;
        if (d.continuous && col.values.size() == 2) {
            d.low = col.values[0].toDouble();
            d.high = col.values[1].toDouble();
        }
        d.levels = d.continuous ? 0 : col.values.size();
        m_region.append(d);
        m_levels.append(QStringList(col.values));
        m_settings.append(d.continuous ? (d.low + d.high) / 2.0 : 0.0);
    }
    for (int k = 0; k < m_responses.size(); ++k) {
        DoeDesirabilitySpec s;
        if (!m_facade->getInitialDesirabilitySpec(k, s, message)) {
            showWarningBox(this, message);
            return;
        }
        m_specs.append(s);
    }
    // Cells: one row per response and the D row; the last column shows the desirability functions.
    const int columns = m_factors.size() + 1;
    for (int row = 0; row <= m_responses.size(); ++row) {
        for (int c = 0; c < columns; ++c) {
            auto* p = new QCustomPlot(m_plotArea);
            styleCell(p);
            p->installEventFilter(this);
            const bool labelColumn = c == 0;
            const bool lastRow = row == m_responses.size();
            p->setFixedSize(labelColumn ? kLabelCell : kCell, lastRow ? kCell + 40 : kCell);
            if (labelColumn)
                p->axisRect()->setMinimumMargins(QMargins(70, 0, 0, lastRow ? 40 : 0));
            else
                p->axisRect()->setMinimumMargins(QMargins(0, 0, 0, lastRow ? 40 : 0));
            m_plots.append(p);
            m_grid->addWidget(p, row, c);
        }
    }
    for (int c = 0; c < m_factors.size(); ++c) {
        auto* e = new QLineEdit(m_plotArea);
        e->setObjectName(QStringLiteral("lineEdit_factor_%1").arg(c));
        e->setFixedWidth((c == 0 ? kLabelCell : kCell) - 4);
        m_entries.append(e);
        m_grid->addWidget(e, m_responses.size() + 1, c);
    }
    fillSpecTable();
    m_limitTable->setRowCount(m_responses.size());
    QMap<QString, doeBussiness::DoeMonteCarloResponseInfo> noise;
    for (int k = 0; k < m_responses.size(); ++k) {
        m_facade->getMonteCarloResponseInfo(k, noise);
        const auto r = noise.value(m_responses[k]);
        QTableWidgetItem* name = report::item(m_responses[k]);
        m_limitTable->setItem(k, 0, name);
        m_limitTable->setItem(k, 1, new QTableWidgetItem(r.noiseMode == 1 ? QString::number(r.noiseStdDev) : "0"));
        m_limitTable->setItem(k, 2, new QTableWidgetItem(r.lowerSpecLimit));
        m_limitTable->setItem(k, 3, new QTableWidgetItem(r.upperSpecLimit));
    }
    m_valid = true;
    refresh();
}

void DoeJointProfilerDlg::initConnection()
{
    connect(m_maximize, SIGNAL(clicked(bool)), this, SLOT(slotMaximize()));
    connect(m_saveImage, SIGNAL(clicked(bool)), this, SLOT(slotSaveImage()));
    connect(m_simulate, SIGNAL(clicked(bool)), this, SLOT(slotSimulate()));
    connect(m_specTable, SIGNAL(cellChanged(int, int)), this, SLOT(slotSpecEdited(int, int)));
    for (QLineEdit* e : m_entries)
        connect(e, SIGNAL(editingFinished()), this, SLOT(slotFactorEdited()));
    auto* actions = new DoeReportExportActions(nullptr, m_optimumTable, nullptr, this);
    connect(m_copy, SIGNAL(clicked(bool)), actions, SLOT(slotCopyTable()));
    connect(m_exportCsv, SIGNAL(clicked(bool)), actions, SLOT(slotExportCsv()));
}

QList<QString> DoeJointProfilerDlg::settings() const
{
    QList<QString> out;
    for (double v : m_settings)
        out.append(QString::number(v, 'g', 17));
    return out;
}

QString DoeJointProfilerDlg::settingText(int c) const
{
    if (m_region[c].continuous)
        return QString::number(m_settings[c], 'g', 6);
    return m_levels[c].value(static_cast<int>(m_settings[c]));
}

void DoeJointProfilerDlg::setSetting(int c, double x)
{
    if (c < 0 || c >= m_region.size() || !std::isfinite(x))
        return;
    const auto& d = m_region[c];
    if (d.continuous)
        m_settings[c] = std::min(std::max(x, std::min(d.low, d.high)), std::max(d.low, d.high));
    else
        m_settings[c] = std::min(std::max(0.0, std::round(x)), double(std::max(0, d.levels - 1)));
    refresh();
}

void DoeJointProfilerDlg::refresh()
{
    if (!m_valid)
        return;
    QString message;
    doeBussiness::DoeJointProfiles profiles;
    doeBussiness::DoeJointPoint point;
    if (!m_facade->getJointProfiles(settings(), m_specs, kPoints, profiles, message)
        || std::isnan(m_facade->jointDesirability(settings(), m_specs, point, message))) {
        showWarningBox(this, message);  // the earlier curves stay
        return;
    }
    m_profiles = profiles;
    m_point = point;
    drawPlots();
    fillEntries();
    fillOptimumTable();
}

void DoeJointProfilerDlg::drawPlots()
{
    const int n = m_responses.size();
    const int m = m_factors.size();
    const int columns = m + 1;
    for (int r = 0; r <= n; ++r) {
        double lo = -0.1, hi = 1.1;
        if (r < n) {
            lo = std::numeric_limits<double>::infinity();
            hi = -lo;
            for (int c = 0; c < m; ++c)
                for (const auto* v : {&m_profiles.confLow[r][c], &m_profiles.confHigh[r][c], &m_profiles.predicted[r][c]})
                    for (double y : *v)
                        if (std::isfinite(y)) {
                            lo = std::min(lo, y);
                            hi = std::max(hi, y);
                        }
            const double pad = hi > lo ? (hi - lo) * 0.1 : 1.0;
            lo -= pad;
            hi += pad;
        }
        for (int c = 0; c < columns; ++c) {
            QCustomPlot* p = m_plots[columns * r + c];
            p->clearPlottables();
            p->clearItems();
            p->yAxis->setRange(lo, hi);
            if (c == 0) {
                p->yAxis->setTickLabels(true);
                p->yAxis->setTicks(true);
                p->yAxis->setLabel(r < n ? m_responses[r] : QStringLiteral("Desirability"));
            }
            if (c < m) {
                const QVector<double>& x = m_profiles.grid[c];
                p->xAxis->setRange(x.isEmpty() ? 0 : x.first(), x.isEmpty() ? 1 : std::max(x.last(), x.first() + 1e-9));
                if (r == n) {
                    p->xAxis->setTickLabels(true);
                    p->xAxis->setTicks(true);
                    p->xAxis->setLabel(QStringLiteral("%1\n%2").arg(m_factors[c], settingText(c)));
                    if (!m_region[c].continuous) {
                        QSharedPointer<QCPAxisTickerText> ticker(new QCPAxisTickerText);
                        for (int l = 0; l < m_levels[c].size(); ++l)
                            ticker->addTick(l, m_levels[c][l]);
                        p->xAxis->setTicker(ticker);
                    }
                }
                if (!m_region[c].continuous)
                    p->xAxis->setRange(-0.3, std::max(0.3, m_levels[c].size() - 0.7));
                const QCPScatterStyle::ScatterShape shape =
                    m_region[c].continuous ? QCPScatterStyle::ssNone : QCPScatterStyle::ssDisc;
                if (r < n) {
                    QCPGraph* high = p->addGraph();
                    high->setData(x, m_profiles.confHigh[r][c]);
                    high->setPen(QPen(QColor(255, 0, 0, 200)));
                    QCPGraph* low = p->addGraph();
                    low->setData(x, m_profiles.confLow[r][c]);
                    low->setPen(QPen(QColor(255, 0, 0, 200)));
                    low->setBrush(QColor(255, 200, 200));  // opaque: blending costs more than the curves
                    low->setChannelFillGraph(high);
                    QCPGraph* mid = p->addGraph();
                    mid->setData(x, m_profiles.predicted[r][c]);
                    mid->setPen(QPen(Qt::black, 2));
                    mid->setScatterStyle(QCPScatterStyle(shape, 5));
                } else {
                    QCPGraph* d = p->addGraph();
                    d->setData(x, m_profiles.overall[c]);
                    d->setPen(QPen(Qt::black, 2));
                    d->setScatterStyle(QCPScatterStyle(shape, 5));
                }
                auto* vertical = new QCPItemStraightLine(p);
                vertical->point1->setCoords(m_settings[c], 0);
                vertical->point2->setCoords(m_settings[c], 1);
                vertical->setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
            } else {
                p->xAxis->setRange(-0.1, 1.1);
                if (r < n) {
                    // The response's desirability function, drawn response upward, d across.
                    const DoeDesirabilitySpec& s = m_specs[r];
                    QVector<double> ys{lo, s.y1, s.y2, s.y3, hi};
                    std::sort(ys.begin(), ys.end());
                    QVector<double> ds;
                    for (double y : ys)
                        ds.append(doeBussiness::individualDesirability(s, y));
                    QCPCurve* curve = new QCPCurve(p->xAxis, p->yAxis);
                    curve->setData(ds, ys);
                    curve->setPen(QPen(Qt::black, 2));
                    auto* pts = p->addGraph(p->yAxis, p->xAxis);
                    pts->setData(QVector<double>{s.y1, s.y2, s.y3}, QVector<double>{s.d1, s.d2, s.d3});
                    pts->setLineStyle(QCPGraph::lsNone);
                    pts->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, 6));
                    if (r == 0)
                        p->xAxis2->setLabel(QStringLiteral("Desirability"));
                } else {
                    p->xAxis->setLabel(QStringLiteral("D = %1").arg(report::number(m_point.overall)));
                }
            }
            const double y = r < n ? finiteOr(m_point.predicted.value(r), lo) : finiteOr(m_point.overall, 0);
            auto* horizontal = new QCPItemStraightLine(p);
            horizontal->point1->setCoords(0, y);
            horizontal->point2->setCoords(1, y);
            horizontal->setPen(QPen(QColor(200, 0, 0), 1, Qt::DashLine));
            p->replot();
        }
    }
}

void DoeJointProfilerDlg::fillEntries()
{
    for (int c = 0; c < m_entries.size(); ++c) {
        const QSignalBlocker block(m_entries[c]);
        m_entries[c]->setText(settingText(c));
    }
}

void DoeJointProfilerDlg::fillSpecTable()
{
    const QSignalBlocker block(m_specTable);
    m_specTable->setRowCount(m_specs.size());
    for (int r = 0; r < m_specs.size(); ++r) {
        const DoeDesirabilitySpec& s = m_specs[r];
        m_specTable->setItem(r, 0, report::item(m_responses.value(r)));
        const double v[7] = {s.y1, s.y2, s.y3, s.d1, s.d2, s.d3, s.importance};
        for (int c = 0; c < 7; ++c)
            m_specTable->setItem(r, c + 1, new QTableWidgetItem(QString::number(v[c], 'g', 6)));
    }
}

void DoeJointProfilerDlg::slotSpecEdited(int row, int column)
{
    if (row < 0 || row >= m_specs.size() || column < 1 || column > 7)
        return;
    bool ok = false;
    const double v = m_specTable->item(row, column)->text().toDouble(&ok);
    DoeDesirabilitySpec s = m_specs[row];
    double* fields[7] = {&s.y1, &s.y2, &s.y3, &s.d1, &s.d2, &s.d3, &s.importance};
    const bool isD = column >= 4 && column <= 6;
    if (!ok || !std::isfinite(v) || (isD && (v < 0 || v > 1)) || (column == 7 && v < 0)) {
        showWarningBox(this, isD ? QStringLiteral("Desirability must be between 0 and 1\n")
                                 : QStringLiteral("Invalid Value\n"));
    } else {
        *fields[column - 1] = v;
        m_specs[row] = s;
    }
    fillSpecTable();
    refresh();
}

void DoeJointProfilerDlg::fillOptimumTable()
{
    m_optimumTable->setRowCount(0);
    auto addRow = [&](const QStringList& cells) {
        const int r = m_optimumTable->rowCount();
        m_optimumTable->insertRow(r);
        for (int c = 0; c < cells.size(); ++c)
            m_optimumTable->setItem(r, c, c == 0 ? report::label(cells[c]) : report::item(cells[c]));
    };
    for (int c = 0; c < m_factors.size(); ++c)
        addRow({m_factors[c], settingText(c), QString(), QString(), QString()});
    for (int r = 0; r < m_responses.size(); ++r)
        addRow({m_responses[r], report::number(m_point.predicted.value(r)), report::number(m_point.predLow.value(r)),
                report::number(m_point.predHigh.value(r)), report::number(m_point.desirability.value(r))});
    addRow({QStringLiteral("Desirability"), QString(), QString(), QString(), report::number(m_point.overall)});
}

void DoeJointProfilerDlg::slotFactorEdited()
{
    const int c = m_entries.indexOf(qobject_cast<QLineEdit*>(sender()));
    if (c < 0)
        return;
    const QString text = m_entries[c]->text().trimmed();
    bool ok = false;
    double x = text.toDouble(&ok);
    if (!m_region[c].continuous && m_levels[c].contains(text)) {
        x = m_levels[c].indexOf(text);
        ok = true;
    }
    if (!ok) {
        showWarningBox(this, QStringLiteral("Invalid Value\n"));
        fillEntries();
        return;
    }
    setSetting(c, x);
}

void DoeJointProfilerDlg::slotMaximize()
{
    QList<QString> best;
    QString message;
    const double d = m_facade->maximizeJointDesirability(best, m_specs, message);
    if (std::isnan(d) || best.size() != m_settings.size()) {
        showWarningBox(this, message);
        return;
    }
    for (int i = 0; i < best.size(); ++i)
        m_settings[i] = best[i].toDouble();
    refresh();
}

void DoeJointProfilerDlg::slotSaveImage()
{
    QString filter = QStringLiteral("PNG image (*.png)");
    const QString path = Custom_QFileDialog::getSaveFileName(this, QStringLiteral("Select File"), QString(),
                                                             QStringLiteral("PNG image (*.png)"), &filter);
    if (path.isEmpty())
        return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString reason;
    if (!m_plotArea->grab().save(&buffer, "PNG")
        || doeBussiness::DoeDurableFile::write(path, bytes, reason) != doeBussiness::DoeDurableFile::Written)
        showWarningBox(this, reason.isEmpty() ? QStringLiteral("fail to save image\n") : reason);
}

void DoeJointProfilerDlg::slotSimulate()
{
    const double none = std::numeric_limits<double>::quiet_NaN();
    QVector<QPair<double, double>> limits;
    QString message;
    // Factor draws centre on the current settings; each response takes the noise given here.
    m_facade->setMonteCarloFactorsDefaultValue(0, m_settings, QVector<bool>(m_settings.size(), true));
    for (int k = 0; k < m_responses.size(); ++k) {
        auto text = [&](int c) { return m_limitTable->item(k, c) ? m_limitTable->item(k, c)->text().trimmed() : QString(); };
        bool okSd = false, okLo = true, okHi = true;
        const double sd = text(1).isEmpty() ? 0.0 : text(1).toDouble(&okSd);
        const double lo = text(2).isEmpty() ? none : text(2).toDouble(&okLo);
        const double hi = text(3).isEmpty() ? none : text(3).toDouble(&okHi);
        if ((!text(1).isEmpty() && (!okSd || sd < 0)) || !okLo || !okHi) {
            showWarningBox(this, QStringLiteral("Response %1: Invalid Value\n").arg(m_responses[k]));
            return;
        }
        QMap<QString, doeBussiness::DoeMonteCarloResponseInfo> map;
        m_facade->getMonteCarloResponseInfo(k, map);
        auto info = map.value(m_responses[k]);
        info.noiseMode = sd > 0 ? 1 : 0;
        if (sd > 0)
            info.noiseStdDev = sd;
        if (!m_facade->setMonteCarloResponseInfo(k, m_responses[k], info, message)) {
            showWarningBox(this, message);
            return;
        }
        limits.append(qMakePair(lo, hi));
    }
    double joint = 0;
    QVector<double> rates;
    if (!m_facade->simulateJointDefects(m_runs->value(), limits, joint, rates, message)) {
        showWarningBox(this, message);
        return;
    }
    m_rateTable->setRowCount(rates.size() + 2);
    m_rateTable->setItem(0, 0, report::header(QStringLiteral("Defect")));
    m_rateTable->setItem(0, 1, report::header(QStringLiteral("Rate")));
    for (int k = 0; k < rates.size(); ++k) {
        m_rateTable->setItem(k + 1, 0, report::label(m_responses.value(k)));
        m_rateTable->setItem(k + 1, 1, report::item(report::number(rates[k])));
    }
    m_rateTable->setItem(rates.size() + 1, 0, report::label(QStringLiteral("All")));
    m_rateTable->setItem(rates.size() + 1, 1, report::item(report::number(joint)));
}

bool DoeJointProfilerDlg::eventFilter(QObject* watched, QEvent* event)
{
    auto* plot = qobject_cast<QCustomPlot*>(watched);
    const int index = plot ? m_plots.indexOf(plot) : -1;
    const int columns = m_factors.size() + 1;
    const int c = index >= 0 ? index % columns : -1;
    if (index >= 0 && event->type() == QEvent::MouseButtonRelease)
        m_dragging = false;
    if (index >= 0 && c < m_factors.size()) {
        if (event->type() == QEvent::MouseButtonPress || (event->type() == QEvent::MouseMove && m_dragging)) {
            auto* me = static_cast<QMouseEvent*>(event);
            if (event->type() == QEvent::MouseButtonPress) {
                if (me->button() != Qt::LeftButton)
                    return QDialog::eventFilter(watched, event);
                m_dragging = true;
            }
            setSetting(c, plot->xAxis->pixelToCoord(me->pos().x()));
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace doeUI
