#pragma once
// Getting the report's plots and tables out: images (PNG, or vector SVG and PDF), clipboard
// copies, CSV files, and the context-menu actions that offer them on each plot and table.
#include "plan_views_global.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QCustomPlot;
class QTableWidget;
class QWidget;

namespace doeUI {

class DoeRegressionResultDlg;

namespace reportexport {

// Every cell of the table, one line per row and `separator` between cells; the column titles come
// first when the table shows them. Tabs and line breaks inside a cell become blanks.
PLAN_VIEWS_EXPORT QString tableText(const QTableWidget* table, QChar separator = QLatin1Char('\t'));
// The same cells as comma-separated lines, quoted where a cell needs it.
PLAN_VIEWS_EXPORT QString tableCsv(const QTableWidget* table);
PLAN_VIEWS_EXPORT bool saveTableCsv(const QTableWidget* table, const QString& path, QString& err);
// PNG, SVG or PDF chosen by the file's suffix (PNG when it has none); SVG and PDF keep lines
// and text as vectors.
PLAN_VIEWS_EXPORT bool savePlotImage(QCustomPlot* plot, const QString& path, QString& err);

// "Save Image..." and "Copy Image" in the plot's context menu.
PLAN_VIEWS_EXPORT void addPlotActions(QCustomPlot* plot);
// "Copy" and "Export CSV..." in the table's context menu.
PLAN_VIEWS_EXPORT void addTableActions(QTableWidget* table);

}  // namespace reportexport

// Carries out the context-menu actions of one plot or table, and the report's "Save Report...".
class PLAN_VIEWS_EXPORT DoeReportExportActions : public QObject
{
    Q_OBJECT

public:
    DoeReportExportActions(QCustomPlot* plot, QTableWidget* table, DoeRegressionResultDlg* report,
                           QObject* parent);

public slots:
    void slotSaveImage();
    void slotCopyImage();
    void slotCopyTable();
    void slotExportCsv();
    void slotSaveReport();

private:
    QWidget* dialogParent() const;

    QPointer<QCustomPlot> m_plot;
    QPointer<QTableWidget> m_table;
    QPointer<QWidget> m_report;  // the report dialog
};

}  // namespace doeUI
