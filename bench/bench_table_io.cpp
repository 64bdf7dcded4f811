// bench-links: plan_core
// Saving and loading a design table of 100,000 rows x 20 columns; prints the times in seconds.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "DoeFileManager.h"
#include "DoeTableManager.h"

using namespace doeBussiness;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = 100000;
    const int cols = 20;
    DoeTableManager table;
    for (int c = 0; c < cols; ++c) {
        DoeDesignTableColumInfo column;
        column.name = QStringLiteral("Factor %1").arg(c + 1);
        column.role = c % 5 == 4 ? Categorical : Continuous;
        table.addColumn(column);
    }
    for (int r = 0; r < rows; ++r) {
        QVector<QString> cells(cols);
        for (int c = 0; c < cols; ++c)
            cells[c] = c % 5 == 4 ? QStringLiteral("level, %1").arg(r % 7)
                                  : QString::number((r * 37 + c * 11) % 2001 / 1000.0 - 1.0, 'g', 6);
        table.addRow(std::move(cells));
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("table.csv");
    DoeFileManager files;
    QString err;
    QElapsedTimer timer;

    timer.start();
    const bool saved = files.saveDoeTableByPath(path, table, err);
    const double saveSeconds = timer.nsecsElapsed() / 1e9;

    DoeTableManager loaded;
    timer.restart();
    const bool read = files.loadDoeTableByPath(path, loaded, err);
    const double loadSeconds = timer.nsecsElapsed() / 1e9;

    const bool same = read && loaded.rows() == table.rows();
    std::printf("table %d rows x %d columns, file %.1f MB\n", rows, cols, QFileInfo(path).size() / 1e6);
    std::printf("save: %.3f s (target < 2 s)\n", saveSeconds);
    std::printf("load: %.3f s (target < 2 s)\n", loadSeconds);
    std::printf("round trip identical: %s\n", same ? "yes" : "no");
    return saved && same ? 0 : 1;
}
