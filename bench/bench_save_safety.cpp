// bench-links: plan_core
// Driver of scripts/save_safety.sh: saves design tables over a file the way the application does,
// so that the script can fill the disk or kill the process mid-save and then check the file.
// Usage:
//   bench_save_safety fill <path> <rows>   save a table of <rows> rows over <path> once; prints the outcome
//   bench_save_safety loop <path>          save table A, then B, then A ... over <path> until killed
//   bench_save_safety check <path>         prints "A", "B" or "other" for what <path> holds
#include <QCoreApplication>
#include <QFile>
#include <cstdio>
#include <cstdlib>

#include "DoeFileManager.h"
#include "DoeTableManager.h"

using namespace doeBussiness;

namespace {

void fillTable(DoeTableManager& t, int rows, const QString& tag)
{
    for (int c = 0; c < 8; ++c) {
        DoeDesignTableColumInfo column;
        column.name = QStringLiteral("%1 %2").arg(tag).arg(c + 1);
        t.addColumn(column);
    }
    for (int r = 0; r < rows; ++r) {
        QVector<QString> cells(8);
        for (int c = 0; c < 8; ++c)
            cells[c] = QStringLiteral("%1-%2.%3").arg(tag).arg(r).arg(c);
        t.addRow(std::move(cells));
    }
}

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    DoeFileManager files;
    QString err;
    if (mode == QLatin1String("fill") && argc > 3) {
        DoeTableManager big;
        fillTable(big, std::atoi(argv[3]), QStringLiteral("N"));
        const bool saved = files.saveDoeTableByPath(path, big, err);
        std::printf("save %s%s\n", saved ? "succeeded" : "failed: ", qPrintable(err.replace('\n', ' ')));
        return saved ? 0 : 1;
    }
    // A and B differ in size so that a cut or mixed file is never mistaken for either.
    DoeTableManager a;
    fillTable(a, 40000, QStringLiteral("A"));
    DoeTableManager b;
    fillTable(b, 60000, QStringLiteral("B"));
    if (mode == QLatin1String("loop")) {
        for (long i = 0;; ++i) {
            if (!files.saveDoeTableByPath(path, i % 2 ? b : a, err)) {
                std::printf("save failed: %s\n", qPrintable(err));
                return 1;
            }
        }
    }
    if (mode == QLatin1String("check")) {
        const QByteArray bytes = bytesOf(path);
        const char* what = bytes == DoeFileManager::doeTableText(a).toUtf8()   ? "A"
                           : bytes == DoeFileManager::doeTableText(b).toUtf8() ? "B"
                                                                               : "other";
        std::printf("%s\n", what);
        return 0;
    }
    return 2;
}
