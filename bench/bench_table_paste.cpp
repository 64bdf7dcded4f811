// bench-links: plan_views plan_core
// Paste of a 100,000 x 4 block into the design table dialog (Ctrl+V on the grid): one bulk update of
// the store plus the grid, and the store's block write alone. Prints seconds for each.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

#include "DoeBussinessApi.h"
#include "DoeTableDlg.h"

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath("t.csv");
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QTextStream out(&f);
    out << "A,B,C,Y\n";
    for (int r = 0; r < rows; ++r)
        out << r % 7 << ',' << r % 11 << ",L" << r % 3 << ',' << r * 0.5 << '\n';
    out.flush();
    f.close();

    doeBussiness::DoeBussinessApi api;
    QString msg;
    if (!api.loadDoeTableByPath(path, msg))
        return 1;
    doeUI::DoeTableDlg dlg(&api, nullptr);
    dlg.initDoeTableData();
    QString block;
    for (int r = 0; r < rows; ++r)
        block += QString("%1\t%2\tM%3\t%4\n").arg(r % 5).arg(r % 13).arg(r % 4).arg(r * 0.25);
    QGuiApplication::clipboard()->setText(block);
    auto* grid = dlg.findChild<QTableWidget*>("tableWidget");
    grid->setCurrentCell(0, 0);
    QElapsedTimer t;
    t.start();
    QKeyEvent paste(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QApplication::sendEvent(grid, &paste);
    const double dialogSeconds = t.nsecsElapsed() / 1e9;

    QVector<doeBussiness::DoeTableCellEdit> edits;
    edits.reserve(rows * 4);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 4; ++c)
            edits.append(doeBussiness::DoeTableCellEdit(r, c, QString::number((r + c) % 9)));
    t.restart();
    api.setTableCells(edits, msg);
    const double storeSeconds = t.nsecsElapsed() / 1e9;
    QVector<QString> row;
    api.getTableDataByRow(rows - 1, row, msg);
    std::printf("paste %d rows x 4 columns through Ctrl+V in the dialog: %.3f s\n", rows, dialogSeconds);
    std::printf("block write of %d cells in the store: %.3f s (last row now %s)\n", rows * 4, storeSeconds,
                qPrintable(QStringList(row.begin(), row.end()).join(',')));
    return 0;
}
