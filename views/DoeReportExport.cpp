#include "DoeReportExport.h"

#include "Custom_QFileDialog.h"
#include "DoeDurableFile.h"
#include "DoeRegressionResultDlg.h"

#include <QAction>
#include <QBuffer>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPdfWriter>
#include <QTableWidget>
#include <QTextStream>
#include <qcustomplot.h>

#include <functional>
#ifdef VARISTRA_HAVE_SVG
#include <QSvgGenerator>
#endif

namespace doeUI {
namespace reportexport {

namespace {

QString cellText(const QTableWidget* table, int row, int col)
{
    const QTableWidgetItem* it = table->item(row, col);
    return it ? it->text() : QString();
}

QList<QStringList> tableCells(const QTableWidget* table)
{
    QList<QStringList> rows;
    if (!table)
        return rows;
    if (!table->horizontalHeader()->isHidden()) {
        QStringList titles;
        for (int c = 0; c < table->columnCount(); ++c) {
            const QTableWidgetItem* h = table->horizontalHeaderItem(c);
            titles << (h ? h->text() : QString::number(c + 1));
        }
        rows << titles;
    }
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells << cellText(table, r, c);
        rows << cells;
    }
    return rows;
}

QString csvField(const QString& s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n'))
        && !s.contains(QLatin1Char('\r')))
        return s;
    QString quoted = s;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

QString tableText(const QTableWidget* table, QChar separator)
{
    QString out;
    for (QStringList cells : tableCells(table)) {
        for (QString& c : cells) {
            c.replace(QLatin1Char('\t'), QLatin1Char(' '));
            c.replace(QLatin1Char('\n'), QLatin1Char(' '));
            c.replace(QLatin1Char('\r'), QLatin1Char(' '));
        }
        out += cells.join(separator) + QLatin1Char('\n');
    }
    return out;
}

QString tableCsv(const QTableWidget* table)
{
    QString out;
    for (const QStringList& cells : tableCells(table)) {
        QStringList quoted;
        for (const QString& c : cells)
            quoted << csvField(c);
        out += quoted.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return out;
}

namespace {

// Renders the file into memory with `render`, then puts the bytes in place in one durable step, so a
// failed export (full disk, pipe or folder at the path) reports why and leaves an earlier file whole.
bool writeRendered(const QString& path, QString& err, const std::function<bool(QIODevice&)>& render)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QString reason;
    if (!buffer.open(QIODevice::WriteOnly) || !render(buffer) || bytes.isEmpty()) {
        reason = QStringLiteral("%1: %2").arg(path, QStringLiteral("Could not render the file"));
    } else {
        buffer.close();
        if (doeBussiness::DoeDurableFile::write(path, bytes, reason) == doeBussiness::DoeDurableFile::Written)
            return true;
    }
    err += QStringLiteral("Fail to write file\n%1\n").arg(reason);
    return false;
}

}  // namespace

bool saveTableCsv(const QTableWidget* table, const QString& path, QString& err)
{
    if (!table) {
        err += QStringLiteral("Fail to write file\n");
        return false;
    }
    QString reason;
    if (doeBussiness::DoeDurableFile::write(path, tableCsv(table).toUtf8(), reason)
        == doeBussiness::DoeDurableFile::Written)
        return true;
    err += QStringLiteral("Fail to write file\n%1\n").arg(reason);
    return false;
}

bool savePlotImage(QCustomPlot* plot, const QString& path, QString& err)
{
    if (!plot || path.isEmpty()) {
        err += QStringLiteral("Fail to write file\n");
        return false;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    const int w = std::max(1, plot->width());
    const int h = std::max(1, plot->height());
#ifndef VARISTRA_HAVE_SVG
    if (suffix == QLatin1String("svg")) {
        err += QStringLiteral("Fail to write file\n");
        return false;
    }
#endif
    // Vector output draws the plot through a vectorised painter; anything else is a PNG.
    auto vector = [&](QPaintDevice& device) {
        QCPPainter painter;
        if (!painter.begin(&device))
            return false;
        painter.setMode(QCPPainter::pmVectorized);
        painter.setMode(QCPPainter::pmNoCaching);
        plot->toPainter(&painter, w, h);
        return painter.end();
    };
    return writeRendered(path, err, [&](QIODevice& out) {
        if (suffix == QLatin1String("pdf")) {
            QPdfWriter pdf(&out);
            pdf.setCreator(QStringLiteral("Varistra"));
            pdf.setResolution(72);
            pdf.setPageSize(QPageSize(QSizeF(w, h), QPageSize::Point));
            pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
            return vector(pdf) && out.size() > 0;
        }
#ifdef VARISTRA_HAVE_SVG
        if (suffix == QLatin1String("svg")) {
            QSvgGenerator svg;
            svg.setOutputDevice(&out);
            svg.setSize(QSize(w, h));
            svg.setViewBox(QRect(0, 0, w, h));
            return vector(svg) && out.size() > 0;
        }
#endif
        return plot->toPixmap(w, h).save(&out, "PNG");
    });
}

namespace {

// A context-menu entry of `widget` that calls `slot` of `receiver`.
void addMenuAction(QWidget* widget, QObject* receiver, const QString& text, const QString& name, const char* slot)
{
    auto* action = new QAction(text, widget);
    action->setObjectName(name);
    QObject::connect(action, SIGNAL(triggered()), receiver, slot);
    widget->addAction(action);
    widget->setContextMenuPolicy(Qt::ActionsContextMenu);
}

}  // namespace

void addPlotActions(QCustomPlot* plot)
{
    if (!plot)
        return;
    auto* actions = new DoeReportExportActions(plot, nullptr, nullptr, plot);
    addMenuAction(plot, actions, QStringLiteral("Save Image..."), QStringLiteral("action_save_image"),
                  SLOT(slotSaveImage()));
    addMenuAction(plot, actions, QStringLiteral("Copy Image"), QStringLiteral("action_copy_image"),
                  SLOT(slotCopyImage()));
}

void addTableActions(QTableWidget* table)
{
    if (!table)
        return;
    auto* actions = new DoeReportExportActions(nullptr, table, nullptr, table);
    addMenuAction(table, actions, QStringLiteral("Copy"), QStringLiteral("action_copy_table"), SLOT(slotCopyTable()));
    addMenuAction(table, actions, QStringLiteral("Export CSV..."), QStringLiteral("action_export_csv"),
                  SLOT(slotExportCsv()));
}

}  // namespace reportexport

DoeReportExportActions::DoeReportExportActions(QCustomPlot* plot, QTableWidget* table, DoeRegressionResultDlg* report,
                                               QObject* parent)
    : QObject(parent), m_plot(plot), m_table(table), m_report(report)
{
}

QWidget* DoeReportExportActions::dialogParent() const
{
    if (m_report)
        return m_report;
    if (m_plot)
        return m_plot->window();
    return m_table ? m_table->window() : nullptr;
}

void DoeReportExportActions::slotSaveImage()
{
    if (!m_plot)
        return;
    QString filter = QStringLiteral("PNG image (*.png)");
    const QString path = Custom_QFileDialog::getSaveFileName(
        dialogParent(), QStringLiteral("Select File"), QString(),
        QStringLiteral("PNG image (*.png);;")
#ifdef VARISTRA_HAVE_SVG
            + QStringLiteral("SVG image (*.svg);;")
#endif
            + QStringLiteral("PDF document (*.pdf)"),
        &filter);
    if (path.isEmpty())
        return;
    QString message;
    if (!reportexport::savePlotImage(m_plot, path, message))
        QMessageBox::warning(dialogParent(), QStringLiteral("warning"), message);
}

void DoeReportExportActions::slotCopyImage()
{
    if (m_plot)
        QApplication::clipboard()->setPixmap(m_plot->toPixmap());
}

void DoeReportExportActions::slotCopyTable()
{
    if (m_table)
        QApplication::clipboard()->setText(reportexport::tableText(m_table));
}

void DoeReportExportActions::slotExportCsv()
{
    if (!m_table)
        return;
    QString filter = QStringLiteral("csv File (*.csv)");
    const QString path = Custom_QFileDialog::getSaveFileName(dialogParent(), QStringLiteral("Select File"), QString(),
                                                             QStringLiteral("csv File (*.csv)"), &filter);
    if (path.isEmpty())
        return;
    QString message;
    if (!reportexport::saveTableCsv(m_table, path, message))
        QMessageBox::warning(dialogParent(), QStringLiteral("warning"), message);
}

void DoeReportExportActions::slotSaveReport()
{
    if (!m_report)
        return;
    QString filter = QStringLiteral("PDF document (*.pdf)");
    const QString path = Custom_QFileDialog::getSaveFileName(m_report, QStringLiteral("Select File"), QString(),
                                                             QStringLiteral("PDF document (*.pdf)"), &filter);
    if (path.isEmpty())
        return;
    QString message;
    auto* report = static_cast<DoeRegressionResultDlg*>(m_report.data());
    if (report->exportReport(path, message))
        QMessageBox::warning(m_report, QStringLiteral("warning"), QStringLiteral("Success\n"));
    else
        QMessageBox::warning(m_report, QStringLiteral("warning"), message);
}

}  // namespace doeUI
