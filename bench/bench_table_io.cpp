// bench-links: plan_core
// Saving and loading a design table (default 1,000,000 rows x 20 columns) and loading a factor and
// a response file of many lines; prints times in seconds and the peak resident memory.
// Usage: bench_table_io [rows] [factor lines] [factor lines with generated names]
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

#include "DoeCustomDesignManager.h"
#include "DoeFileManager.h"
#include "DoeTableManager.h"

using namespace doeBussiness;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int factorCount = argc > 2 ? std::atoi(argv[2]) : 64000;
    const int generatedCount = argc > 3 ? std::atoi(argv[3]) : factorCount;
    const int cols = 20;
    QTemporaryDir dir;
    const QString path = dir.filePath("table.csv");
    DoeFileManager files;
    QString err;
    QElapsedTimer timer;

    // The file is written row by row so that the memory figure below is the load's own.
    auto cell = [](int r, int c) {
        return c % 5 == 4 ? QStringLiteral("level, %1").arg(r % 7)
                          : QString::number((r * 37 + c * 11) % 2001 / 1000.0 - 1.0, 'g', 6);
    };
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return 1;
        QStringList names;
        for (int c = 0; c < cols; ++c)
            names << QStringLiteral("Factor %1").arg(c + 1);
        out.write(names.join(QLatin1Char(',')).toUtf8() + '\n');
        for (int r = 0; r < rows; ++r) {
            QStringList fields;
            for (int c = 0; c < cols; ++c)
                fields << (c % 5 == 4 ? QStringLiteral("\"%1\"").arg(cell(r, c)) : cell(r, c));
            out.write(fields.join(QLatin1Char(',')).toUtf8() + '\n');
        }
    }
    const double rssBeforeLoad = peakRssMiB();

    DoeTableManager loaded;
    const double cpuBefore = cpuSeconds();
    timer.start();
    const bool read = files.loadDoeTableByPath(path, loaded, err);
    const double loadSeconds = timer.nsecsElapsed() / 1e9;
    const double loadCpu = cpuSeconds() - cpuBefore;
    const double rssAfterLoad = peakRssMiB();
    bool same = read && loaded.rows().size() == rows && loaded.columnCount() == cols;
    for (int r = 0; same && r < rows; r += 9973)
        for (int c = 0; same && c < cols; ++c)
            same = loaded.rows().at(r).at(c) == cell(r, c);

    timer.restart();
    const QString copyPath = dir.filePath("copy.csv");
    const bool saved = files.saveDoeTableByPath(copyPath, loaded, err);
    const double saveSeconds = timer.nsecsElapsed() / 1e9;

    std::printf("table %d rows x %d columns, file %.1f MB\n", rows, cols, QFileInfo(path).size() / 1e6);
    std::printf("load: %.3f s wall, %.3f s CPU (target < 3 s)\n", loadSeconds, loadCpu);
    std::printf("peak RSS before load %.0f MiB, after load %.0f MiB (target < 1024 MiB)\n", rssBeforeLoad,
                rssAfterLoad);
    std::printf("save: %.3f s\n", saveSeconds);
    std::printf("cells read back: %s\n", same ? "yes" : "no");
    std::fflush(stdout);

    // Factor and response files of many lines, once with names of the user's own and once with the
    // generated names X1, X2, ... and Y, Y1, ... that a reload has to step past.
    bool factorsSame = true;
    for (const bool generatedNames : {false, true}) {
        DoeCustomDesignManager manager;
        const int count = generatedNames ? generatedCount : factorCount;
        for (int i = 0; i < count; ++i) {
            QString ignored;
            DoeDesignFactor factor;
            manager.addFactorData(i % 3 == 2 ? Categorical : Continuous, 3, factor, ignored);
            DoeDesignResponse response;
            manager.addResponseData(Maximize, response, ignored);
            if (!generatedNames) {
                const QString oldFactor = factor.name;
                factor.name = QStringLiteral("Factor %1").arg(i + 1);
                manager.setFactorData(oldFactor, factor, ignored);
                const QString oldResponse = response.name;
                response.name = QStringLiteral("Response %1").arg(i + 1);
                manager.setResponseData(oldResponse, response, ignored);
            }
        }
        const QString factorPath = dir.filePath("factors.csv");
        const QString responsePath = dir.filePath("responses.csv");
        if (!files.saveFactorByPath(factorPath, manager, err) || !files.saveResponseByPath(responsePath, manager, err)) {
            std::printf("factor/response save failed: %s\n", qPrintable(err));
            return 1;
        }
        DoeCustomDesignManager back;
        QList<int> skipped;
        timer.restart();
        const bool factorsRead = files.loadFactorByPath(factorPath, back, skipped, err);
        const double factorSeconds = timer.nsecsElapsed() / 1e9;
        timer.restart();
        const bool responsesRead = files.loadResponseByPath(responsePath, back, skipped, err);
        const double responseSeconds = timer.nsecsElapsed() / 1e9;
        const bool same = factorsRead && responsesRead && skipped.isEmpty()
            && back.factorStore() == manager.factorStore() && back.responseStore() == manager.responseStore();
        factorsSame = factorsSame && same;
        const char* kind = generatedNames ? "generated names" : "own names";
        std::printf("factor file %d lines, %s: load %.3f s (target < 1 s)\n", count, kind, factorSeconds);
        std::printf("response file %d lines, %s: load %.3f s\n", count, kind, responseSeconds);
        std::printf("read back the same: %s\n", same ? "yes" : "no");
        std::fflush(stdout);
    }
    return same && saved && factorsSame ? 0 : 1;
}
