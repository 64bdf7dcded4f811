// The whole report as a PDF: headings, tables and notes as real text, plots as vector drawings,
// in the order the report shows them, over as many pages as needed.
#include "DoeRegressionResultDlg.h"
#include "DoeJointProfilerDlg.h"

#include <memory>
#include "ui_DoeRegressionResultDlg.h"

#include "DoeDurableFile.h"
#include "DoeSensitivityWidget.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QPdfWriter>
#include <QBuffer>
#include <QTableWidget>
#include <qcustomplot.h>

namespace doeUI {

namespace {

// Lays content down the pages; units are points (the writer runs at 72 dots per inch).
class PdfPages
{
public:
    PdfPages(QPdfWriter& writer, QCPPainter& painter) : m_writer(writer), m_painter(painter)
    {
        const QRect page = writer.pageLayout().paintRectPixels(72);
        m_width = page.width();
        m_bottom = page.height();
        m_body.setFamily(QStringLiteral("DejaVu Sans"));
        m_body.setPointSizeF(8.5);
        // Plain letters, no ligatures: the text stays searchable word for word.
        m_body.setStyleStrategy(QFont::PreferNoShaping);
    }

    void space(double h) { m_y += h; }

    void need(double h)
    {
        if (m_y + h > m_bottom && m_y > 0) {
            m_writer.newPage();
            m_y = 0;
        }
    }

    // A heading kept on one page with the `keep` points that follow it.
    void heading(const QString& text, double size = 13, double keep = 60)
    {
        QFont f = m_body;
        f.setBold(true);
        f.setPointSizeF(size);
        m_painter.setFont(f);
        const double h = QFontMetricsF(f, &m_writer).height() + 6;
        need(h + keep);
        m_painter.setPen(Qt::black);
        m_painter.drawText(QRectF(0, m_y, m_width, h), Qt::AlignLeft | Qt::AlignVCenter, text);
        m_y += h + 2;
    }

    void paragraph(const QString& text)
    {
        if (text.isEmpty())
            return;
        m_painter.setFont(m_body);
        const QRectF box = m_painter.boundingRect(QRectF(0, 0, m_width, 1e6), Qt::TextWordWrap, text);
        need(box.height() + 4);
        m_painter.setPen(Qt::black);
        m_painter.drawText(QRectF(0, m_y, m_width, box.height()), Qt::TextWordWrap, text);
        m_y += box.height() + 6;
    }

    void table(const QTableWidget* t)
    {
        if (!t || t->columnCount() == 0)
            return;
        QList<QList<const QTableWidgetItem*>> rows;
        const bool titles = !t->horizontalHeader()->isHidden();
        if (titles) {
            QList<const QTableWidgetItem*> r;
            for (int c = 0; c < t->columnCount(); ++c)
                r << t->horizontalHeaderItem(c);
            rows << r;
        }
        for (int r = 0; r < t->rowCount(); ++r) {
            QList<const QTableWidgetItem*> row;
            for (int c = 0; c < t->columnCount(); ++c)
                row << t->item(r, c);
            rows << row;
        }
        QFont bold = m_body;
        bold.setBold(true);
        const QFontMetricsF fm(bold, &m_writer);
        QVector<double> widths(t->columnCount(), 30.0);
        for (const auto& row : rows)
            for (int c = 0; c < row.size(); ++c)
                if (row[c])
                    widths[c] = std::max(widths[c], fm.horizontalAdvance(row[c]->text()) + 12);
        double total = 0;
        for (double w : widths)
            total += w;
        if (total > m_width)
            for (double& w : widths)
                w *= m_width / total;
        const double h = fm.height() + 6;
        if (rows.size() * h < m_bottom)
            need(rows.size() * h);  // a table that fits on one page is not split
        for (int r = 0; r < rows.size(); ++r) {
            need(h);
            double x = 0;
            for (int c = 0; c < rows[r].size(); ++c) {
                const QTableWidgetItem* it = rows[r][c];
                const QRectF cell(x, m_y, widths[c], h);
                const bool isTitle = titles && r == 0;
                const QBrush bg = it ? it->background() : QBrush();
                if (isTitle || bg.style() != Qt::NoBrush)
                    m_painter.fillRect(cell, isTitle ? QColor(220, 220, 220) : bg.color());
                m_painter.setPen(QPen(QColor(150, 150, 150), 0.5));
                m_painter.drawRect(cell);
                if (it) {
                    m_painter.setFont(isTitle || it->font().weight() >= 75 ? bold : m_body);
                    m_painter.setPen(Qt::black);
                    m_painter.drawText(cell.adjusted(3, 0, -3, 0), Qt::AlignCenter, it->text());
                }
                x += widths[c];
            }
            m_y += h;
        }
        m_y += 8;
    }

    // Draws the plots at their offsets inside a frame, scaled together to at most the page width.
    void plots(const QVector<QPair<QCustomPlot*, QPoint>>& placed, const QSize& frame)
    {
        if (placed.isEmpty() || frame.isEmpty())
            return;
        const double s = std::min(1.0, m_width / frame.width());
        need(frame.height() * s + 6);
        for (const auto& pp : placed) {
            QCustomPlot* p = pp.first;
            m_painter.save();
            m_painter.translate(pp.second.x() * s, m_y + pp.second.y() * s);
            m_painter.scale(s, s);
            m_painter.setClipRect(QRect(0, 0, p->width(), p->height()));
            p->toPainter(&m_painter, p->width(), p->height());
            m_painter.restore();
        }
        m_y += frame.height() * s + 8;
    }

    void plot(QCustomPlot* p)
    {
        if (p)
            plots({{p, QPoint(0, 0)}}, p->size());
    }

private:
    QPdfWriter& m_writer;
    QCPPainter& m_painter;
    QFont m_body;
    double m_width = 0;
    double m_bottom = 0;
    double m_y = 0;
};

}  // namespace

bool DoeRegressionResultDlg::exportReport(const QString& path, QString& err)
{
    if (!m_actualPlot) {
        err += QStringLiteral("No report to save\n");
        return false;
    }
    if (path.isEmpty()) {
        err += QStringLiteral("Fail to write file\n");
        return false;
    }
    // Rendered into memory, then put in place in one durable step once the whole report is there.
    QByteArray bytes;
    QBuffer file(&bytes);
    file.open(QIODevice::WriteOnly);
    QPdfWriter writer(&file);
    writer.setResolution(72);
    writer.setCreator(QStringLiteral("Varistra"));
    writer.setTitle(QString("Regression Result %1").arg(m_responses.value(m_modelIndex)));
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                     QPageLayout::Millimeter));
    QCPPainter painter;
    if (!painter.begin(&writer)) {
        err += QStringLiteral("Fail to write file\n");
        return false;
    }
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    PdfPages pages(writer, painter);

    const QString response = m_responses.value(m_modelIndex);
    pages.heading(QString("Regression Result: %1").arg(response), 16);
    pages.heading(m_form->label_y_predict->text());
    if (m_responseHeading)
        pages.heading(m_responseHeading->text(), 11, m_actualPlot->height());
    pages.plot(m_actualPlot);
    if (m_residualPlot) {
        pages.heading("Residual by Predicted", 13, m_residualPlot->height());
        pages.plot(m_residualPlot);
    }

    // The fit tables with their titles and notes, in the order the report lists them.
    for (int i = 0; i < m_form->verticalLayout_result->count(); ++i) {
        QWidget* w = m_form->verticalLayout_result->itemAt(i)->widget();
        if (auto* t = qobject_cast<QTableWidget*>(w))
            pages.table(t);
        else if (auto* l = qobject_cast<QLabel*>(w)) {
            // A title stays on the page of its table.
            QLayoutItem* next = m_form->verticalLayout_result->itemAt(i + 1);
            auto* t = next ? qobject_cast<QTableWidget*>(next->widget()) : nullptr;
            if (l == m_codedNote)
                pages.paragraph(l->text());
            else
                pages.heading(l->text(), 13, t ? 16.0 * (t->rowCount() + 1) : 60);
        }
    }

    pages.heading(m_form->label_2->text(), 13, 300);
    if (m_predictionLabel)
        pages.paragraph(m_predictionLabel->text());
    QStringList settings;
    for (int i = 0; i < m_allFactors.size() && i < m_factorEdits.size(); ++i) {
        if (m_factorUsed.value(i, false))
            settings << QString("%1: %2").arg(m_allFactors[i], m_factorEdits[i]->text());
    }
    pages.paragraph(QString("Current settings: %1").arg(settings.join(", ")));
    // The profiler grid: shown columns side by side, the two rows one above the other.
    QVector<QPair<QCustomPlot*, QPoint>> cells;
    QSize frame;
    for (int row = 0, y = 0; row < 2; ++row) {
        int x = 0, height = 0;
        for (int col = 0; col <= m_factorCount; ++col) {
            QCustomPlot* p = m_plots.value((m_factorCount + 1) * row + col);
            if (!p || (col < m_factorCount && !m_factorUsed.value(col, false)))
                continue;
            cells.append({p, QPoint(x, y)});
            x += p->width();
            height = std::max(height, p->height());
        }
        frame = frame.expandedTo(QSize(x, y + height));
        y += height;
    }
    pages.plots(cells, frame);

    pages.heading("Monte Carlo Simulation", 13, 150);
    if (m_monteCarloWidgets.isEmpty()) {
        pages.paragraph("Not simulated yet.");
    } else {
        for (QWidget* w : m_monteCarloWidgets) {
            if (auto* t = qobject_cast<QTableWidget*>(w)) {
                pages.table(t);
            } else if (auto* p = w->findChild<QCustomPlot*>()) {
                pages.plot(p);
            } else {
                QStringList texts;
                for (QLabel* l : w->findChildren<QLabel*>())
                    texts << l->text().trimmed();
                pages.paragraph(texts.join("      "));
            }
        }
        if (m_capabilityLabel)
            pages.paragraph(m_capabilityLabel->text());
    }

    // A fit of several responses: the joint profiler as the user left it, else one at its optimum.
    QList<QString> fitted;
    m_facade->getModelResponseList(fitted);
    if (fitted.size() > 1) {
        pages.heading("Joint Desirability", 13, 300);
        DoeJointProfilerDlg* joint = findChild<DoeJointProfilerDlg*>();
        std::unique_ptr<DoeJointProfilerDlg> fresh;
        if (!joint) {
            fresh.reset(new DoeJointProfilerDlg(m_facade, nullptr));
            if (fresh->isValid())
                fresh->slotMaximize();
            joint = fresh.get();
        }
        if (joint->isValid()) {
            joint->plotArea()->adjustSize();
            QVector<QPair<QCustomPlot*, QPoint>> jointCells;
            QSize jointFrame;
            for (QCustomPlot* p : joint->plotArea()->findChildren<QCustomPlot*>()) {
                jointCells.append({p, p->pos()});
                jointFrame = jointFrame.expandedTo(QSize(p->x() + p->width(), p->y() + p->height()));
            }
            pages.plots(jointCells, jointFrame);
            pages.table(joint->optimumTable());
        } else {
            pages.paragraph("Not available.");
        }
    }

    pages.heading("Sensitivity Analysis", 13, 20);
    if (auto* unavailable = findChild<QLabel*>("label_sensitivity_unavailable")) {
        pages.paragraph(unavailable->text());
    } else if (auto* sens = findChild<DoeSensitivityWidget*>()) {
        if (sens->resultTable()->rowCount() > 0)
            pages.table(sens->resultTable());
        else
            pages.paragraph("Not run yet.");
    }
    QString reason = QStringLiteral("%1: %2").arg(path, QStringLiteral("Could not render the report"));
    if (painter.end() && !bytes.isEmpty()
        && doeBussiness::DoeDurableFile::write(path, bytes, reason) == doeBussiness::DoeDurableFile::Written)
        return true;
    err += QStringLiteral("Fail to write file\n%1\n").arg(reason);
    return false;
}

}  // namespace doeUI
