// Designs kept for comparison beside the current one on the evaluation page, and the export of
// the evaluation as CSV (through the facade) and of the page as PDF.
#include "DoeCustomDesignDlgEvaluation.h"

#include "Custom_QFileDialog.h"
#include "DoeBussinessApi.h"
#include "DoeDurableFile.h"
#include "DoeNumberInputDlg.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

using namespace doeBussiness;

namespace doeUI {

namespace {

// Kept designs in the FDS plot: colours apart from the current design's blue, dashed.
const QColor kKeptColours[] = {QColor(255, 127, 14), QColor(44, 160, 44), QColor(214, 39, 40)};

QString keptHeader(const DoeKeptDesignEvaluation& d)
{
    return QStringLiteral("%1\n%2, %3 runs").arg(d.label, d.criterion).arg(d.runs);
}

QTableWidgetItem* cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

QString figure(double v, int digits)
{
    return std::isfinite(v) ? QString::number(v, 'g', digits) : QStringLiteral("\u2014");
}

void fitHeight(QTableWidget* table, int rows)
{
    for (int c = 1; c < table->columnCount(); ++c)
        table->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    table->setFixedHeight(table->horizontalHeader()->sizeHint().height()
                          + rows * table->verticalHeader()->defaultSectionSize() + 2 * table->frameWidth() + 2);
}

// Beside other designs a table takes the width its columns need rather than cutting its labels;
// alone, its first column stretches over the room it is given.
void fitWidth(QTableWidget* table, bool beside)
{
    table->horizontalHeader()->setSectionResizeMode(0, beside ? QHeaderView::ResizeToContents : QHeaderView::Stretch);
    int needed = 2 * table->frameWidth() + 2;
    for (int c = 0; c < table->columnCount(); ++c)
        needed += std::max(table->horizontalHeader()->sectionSizeHint(c),
                           static_cast<QAbstractItemView*>(table)->sizeHintForColumn(c));
    table->setMinimumWidth(beside ? needed : 0);
}

}  // namespace

void DoeDesignEvaluationPanel::initComparisonUI(QVBoxLayout* layout)
{
    auto* row = new QHBoxLayout;
    m_keep = new QPushButton(tr("Keep for comparison"), this);
    m_keep->setObjectName(QStringLiteral("pushButton_keep_for_comparison"));
    m_keep->setToolTip(tr("Keep this design's evaluation to show it beside the designs made next (up to three)."));
    m_clearKept = new QPushButton(tr("Clear Comparison"), this);
    m_clearKept->setObjectName(QStringLiteral("pushButton_clear_comparison"));
    m_clearKept->setEnabled(false);
    m_export = new QPushButton(tr("Export Evaluation..."), this);
    m_export->setObjectName(QStringLiteral("pushButton_export_evaluation"));
    m_export->setToolTip(tr("Write the evaluation and the kept designs as CSV, and this page as PDF beside it."));
    row->addWidget(m_keep);
    row->addWidget(m_clearKept);
    row->addStretch(1);
    row->addWidget(m_export);
    layout->addLayout(row);
}

void DoeDesignEvaluationPanel::initComparisonConnection()
{
    connect(m_keep, SIGNAL(clicked()), this, SLOT(onKeepForComparison()), Qt::UniqueConnection);
    connect(m_clearKept, SIGNAL(clicked()), this, SLOT(onClearComparison()), Qt::UniqueConnection);
    connect(m_export, SIGNAL(clicked()), this, SLOT(onExportEvaluation()), Qt::UniqueConnection);
}

void DoeDesignEvaluationPanel::onKeepForComparison()
{
    if (!m_api)
        return;
    QString message;
    if (!m_api->keepDesignEvaluationForComparison(message)) {
        showWarningBox(this, message);
        return;
    }
    refresh();
}

void DoeDesignEvaluationPanel::onClearComparison()
{
    if (!m_api)
        return;
    m_api->clearKeptDesignEvaluations();
    refresh();
}

void DoeDesignEvaluationPanel::onExportEvaluation()
{
    if (!m_api)
        return;
    QString filter = QStringLiteral("csv File (*.csv)");
    const QString path = Custom_QFileDialog::getSaveFileName(this, QStringLiteral("Select File"), QString(),
                                                             QStringLiteral("csv File (*.csv)"), &filter);
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    const QString pdfPath = info.dir().filePath(info.completeBaseName() + QStringLiteral(".pdf"));
    QString message;
    const bool ok = m_api->exportDesignEvaluationCsv(path, message) && exportPagePdf(pdfPath, message);
    showWarningBox(this, ok ? QStringLiteral("Success\n") : message);
}

bool DoeDesignEvaluationPanel::exportPagePdf(const QString& path, QString& err)
{
    // The run table sits above the evaluation in the same scrolled page: print both.
    QWidget* page = parentWidget() ? parentWidget() : this;
    const QSize size = page->size().expandedTo(QSize(1, 1));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool rendered = false;
    {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(QStringLiteral("Varistra"));
        pdf.setTitle(QStringLiteral("Design Evaluation"));
        pdf.setResolution(72);
        pdf.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter painter;
        if (painter.begin(&pdf)) {
            page->render(&painter);
            rendered = painter.end();
        }
    }
    QString reason = QStringLiteral("%1: %2").arg(path, QStringLiteral("Could not render the page"));
    if (rendered && !bytes.isEmpty() && DoeDurableFile::write(path, bytes, reason) == DoeDurableFile::Written)
        return true;
    err += QStringLiteral("Fail to write file\n%1\n").arg(reason);
    return false;
}

void DoeDesignEvaluationPanel::showComparison(const DoeDesignEvaluation* current)
{
    QList<DoeKeptDesignEvaluation> kept;
    if (m_api)
        m_api->getKeptDesignEvaluations(kept);
    m_clearKept->setEnabled(!kept.isEmpty());
    m_keep->setEnabled(current && kept.size() < kMaxKeptDesignEvaluations);
    m_export->setEnabled(current != nullptr);

    // Efficiencies and average variance: one column per kept design after the current one.
    DoeKeptDesignEvaluation now;
    QString ignored;
    const bool described = current && m_api && m_api->getCurrentDesignEvaluationForComparison(now, ignored);
    const QString currentHeader = described ? keptHeader(now) : tr("Current");
    m_efficiencies->setColumnCount(2 + kept.size());
    m_efficiencies->horizontalHeaderItem(1)->setText(kept.isEmpty() ? tr("Value") : currentHeader);
    for (int k = 0; k < kept.size(); ++k) {
        const DoeDesignEvaluation& e = kept.at(k).evaluation;
        m_efficiencies->setHorizontalHeaderItem(2 + k, new QTableWidgetItem(keptHeader(kept.at(k))));
        const bool estimable = std::isfinite(e.averageVariance);
        const double values[] = {e.dEfficiency, e.aEfficiency, e.gEfficiency, e.averageVariance};
        for (int r = 0; r < 4; ++r)
            m_efficiencies->setItem(r, 2 + k, cell(figure(estimable ? values[r] : std::nan(""), r < 3 ? 4 : 6)));
    }
    fitHeight(m_efficiencies, 4);
    fitWidth(m_efficiencies, !kept.isEmpty());

    // Power of each current term in every kept design that has the term.
    m_power->setColumnCount(3 + kept.size());
    for (int k = 0; k < kept.size(); ++k) {
        const DoeDesignEvaluation& e = kept.at(k).evaluation;
        m_power->setHorizontalHeaderItem(3 + k, new QTableWidgetItem(keptHeader(kept.at(k))));
        for (int r = 0; r < m_power->rowCount(); ++r) {
            const QString term = m_power->item(r, 0) ? m_power->item(r, 0)->text() : QString();
            const int i = e.terms.indexOf(term);
            QString text = QStringLiteral("\u2014");
            if (i >= 0 && i < e.necessary.size() && !e.necessary.at(i))
                text = tr("If Possible");
            else if (i >= 0)
                text = figure(e.power.value(i, std::nan("")), 4);
            m_power->setItem(r, 3 + k, cell(text));
        }
    }
    if (!kept.isEmpty())
        fitHeight(m_power, std::max(4, std::min(m_power->rowCount(), 24)));
    fitWidth(m_power, !kept.isEmpty());

    // FDS curves overlaid, with a legend naming each design.
    QCustomPlot* plot = m_fdsPlot;
    if (plot->graphCount() > 0)
        plot->graph(0)->setName(described ? QStringLiteral("%1 (%2, %3 runs)").arg(now.label, now.criterion).arg(now.runs)
                                          : tr("Current"));
    double top = plot->graphCount() > 0 ? plot->yAxis->range().upper / 1.1 : 0.0;
    for (int k = 0; k < kept.size(); ++k) {
        QVector<double> xs;
        QVector<double> ys;
        for (const auto& point : kept.at(k).evaluation.fds) {
            if (!std::isfinite(point.first) || !std::isfinite(point.second))
                continue;
            xs.append(point.first);
            ys.append(point.second);
            top = std::max(top, point.second);
        }
        if (xs.isEmpty())
            continue;
        QCPGraph* graph = plot->addGraph();
        graph->setData(xs, ys, true);
        graph->setPen(QPen(kKeptColours[k % 3], 2, Qt::DashLine));
        graph->setName(QStringLiteral("%1 (%2, %3 runs)").arg(kept.at(k).label, kept.at(k).criterion).arg(kept.at(k).runs));
    }
    plot->legend->setVisible(!kept.isEmpty() && plot->graphCount() > 0);
    if (plot->legend->visible()) {
        plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
        plot->xAxis->setRange(0, 1);
        plot->yAxis->setRange(0, top > 0 ? top * 1.1 : 1.0);
    }
    plot->replot();
}

}  // namespace doeUI
