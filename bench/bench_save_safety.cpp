// bench-links: plan_core plan_views QCustomPlot::QCustomPlot
// Driver of scripts/save_safety.sh: saves design tables over a file the way the application does,
// so that the script can fill the disk or kill the process mid-save and then check the file.
// Usage:
//   bench_save_safety sweep <folder>       on a small filesystem: every writer, a small and a large file,
//                                          0 to 60 KiB left free; prints each case and the totals
//   bench_save_safety fill <path> <rows>   save a table of <rows> rows over <path> once; prints the outcome
//   bench_save_safety loop <path>          save table A, then B, then A ... over <path> until killed
//   bench_save_safety check <path>         prints "A", "B" or "other" for what <path> holds
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sys/statvfs.h>
#include <unistd.h>

#include <fcntl.h>
#include <qcustomplot.h>

#include "../tests/views/tst_analysis_fixture.h"
#include "DoeBussinessApi.h"
#include "DoeFileManager.h"
#include "DoeRegressionResultDlg.h"
#include "DoeReportExport.h"
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

qint64 freeBytes(const QString& folder)
{
    struct statvfs st {};
    return ::statvfs(QFile::encodeName(folder).constData(), &st) == 0
               ? static_cast<qint64>(st.f_bavail) * static_cast<qint64>(st.f_frsize)
               : -1;
}

// Takes space with a filler file until `keep` bytes stay free; answers what is left.
qint64 leaveFree(const QString& folder, qint64 keep)
{
    const int fd = ::open(QFile::encodeName(folder + "/filler").constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return -1;
    static const QByteArray block(4096, 'f');
    for (qint64 excess = freeBytes(folder) - keep; excess > 0; excess = freeBytes(folder) - keep) {
        const ssize_t n = ::write(fd, block.constData(), static_cast<size_t>(std::min<qint64>(excess, block.size())));
        if (n <= 0 && errno != EINTR)
            break;
    }
    ::fsync(fd);
    ::close(fd);
    return freeBytes(folder);
}

struct Writer
{
    QString name;
    QString file;
    std::function<bool(const QString&, QString&)> save;
};

// Every writer of the application over one set of data, each with a small and a large file.
int sweep(const QString& folder)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "bench_save_safety";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    QList<Writer> writers;
    std::vector<std::unique_ptr<DoeBussinessApi>> apis;
    for (int rows : {8, 6000}) {
        const QString size = rows < 100 ? QStringLiteral("small") : QStringLiteral("large");
        apis.emplace_back(new DoeBussinessApi);
        DoeBussinessApi* api = apis.back().get();
        DoeTableManager t;
        fillTable(t, rows, QStringLiteral("T"));
        QTemporaryDir scratch;
        QFile f(scratch.filePath("t.csv"));
        f.open(QIODevice::WriteOnly);
        f.write(DoeFileManager::doeTableText(t).toUtf8());
        f.close();
        QString err;
        api->loadDoeTableByPath(f.fileName(), err);
        for (int i = 0; i < rows / 8; ++i) {
            DoeDesignFactor factor;
            api->addFactorData(doeBussiness::Categorical, 3, factor, err);
            DoeDesignResponse response;
            api->addResponseData(doeBussiness::Maximize, response, err);
        }
        writers.append({"table " + size, "t.csv", [api](const QString& p, QString& e) { return api->saveDoeTableByPath(p, e); }});
        writers.append({"factors " + size, "f.csv", [api](const QString& p, QString& e) { return api->saveFactorByPath(p, e); }});
        writers.append({"responses " + size, "r.csv", [api](const QString& p, QString& e) { return api->saveResponseByPath(p, e); }});
        writers.append({"batch " + size, "b.csv", [api](const QString& p, QString& e) { return api->saveZelBatchSimFile(p, e); }});
    }
    analysistest::Fitted fit;
    if (!fit.fitAll(false)) {
        std::printf("no fitted model for the report: %s\n", qPrintable(fit.message));
        return 1;
    }
    doeUI::DoeRegressionResultDlg report(fit.api.get(), 0, nullptr);
    if (!report.initialize())
        return 1;
    doeUI::DoeRegressionResultDlg simulated(fit.api.get(), 0, nullptr);
    if (!simulated.initialize())
        return 1;
    simulated.findChild<QPushButton*>("pushButton_monte_carlo_simulate")->click();
    QCustomPlot* plot = report.residualPlot();
    QCustomPlot wide;
    wide.resize(1600, 1200);
    wide.addGraph();
    for (int i = 0; i < 4000; ++i)
        wide.graph(0)->addData(i, std::sin(i * 0.01) * 100 + (i % 17));
    wide.rescaleAxes();
    QTableWidget bigTable(3000, 6);
    for (int r = 0; r < bigTable.rowCount(); ++r)
        for (int c = 0; c < bigTable.columnCount(); ++c)
            bigTable.setItem(r, c, new QTableWidgetItem(QString::number(r * 0.37 + c, 'g', 8)));
    auto* rep = &report;
    auto* sim = &simulated;
    writers.append({"report small", "r.pdf", [rep](const QString& p, QString& e) { return rep->exportReport(p, e); }});
    writers.append({"report large", "r.pdf", [sim](const QString& p, QString& e) { return sim->exportReport(p, e); }});
    for (const char* ext : {"png", "svg", "pdf"}) {
        writers.append({QStringLiteral("plot %1 small").arg(ext), QStringLiteral("p.%1").arg(ext),
                        [plot](const QString& p, QString& e) { return doeUI::reportexport::savePlotImage(plot, p, e); }});
        QCustomPlot* w = &wide;
        writers.append({QStringLiteral("plot %1 large").arg(ext), QStringLiteral("p.%1").arg(ext),
                        [w](const QString& p, QString& e) { return doeUI::reportexport::savePlotImage(w, p, e); }});
    }
    QTableWidget* fitTable = report.reportTables().value(0);
    QTableWidget* big = &bigTable;
    writers.append({"table csv small", "c.csv", [fitTable](const QString& p, QString& e) { return doeUI::reportexport::saveTableCsv(fitTable, p, e); }});
    writers.append({"table csv large", "c.csv", [big](const QString& p, QString& e) { return doeUI::reportexport::saveTableCsv(big, p, e); }});

    // What each writer makes when nothing goes wrong (PDFs carry their time of making, so files
    // are compared by size, start and end).
    QTemporaryDir refs;
    QList<QByteArray> fresh;
    for (const Writer& w : writers) {
        QString err;
        const QString p = refs.filePath(w.file);
        if (!w.save(p, err)) {
            std::printf("%s: reference save failed: %s\n", qPrintable(w.name), qPrintable(err));
            return 1;
        }
        fresh.append(bytesOf(p));
    }
    auto isFresh = [](const QByteArray& now, const QByteArray& ref) {
        return now.size() == ref.size() && now.left(8) == ref.left(8) && now.right(16) == ref.right(16);
    };

    const QByteArray old = "Good,File,Kept\n" + QByteArray("1,2,3\n").repeated(45);
    int cases = 0, falseSuccesses = 0, damaged = 0, temporaries = 0, saved = 0, refused = 0;
    QElapsedTimer clock;
    clock.start();
    QDir dir(folder);
    for (int kib : {0, 4, 12, 20, 40, 60}) {
        for (int i = 0; i < writers.size(); ++i) {
            const Writer& w = writers.at(i);
            for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
                dir.remove(entry);
            const QString target = dir.filePath(w.file);
            QFile f(target);
            f.open(QIODevice::WriteOnly);
            f.write(old);
            f.close();
            const qint64 left = leaveFree(folder, kib * 1024);
            QString err;
            const bool ok = w.save(target, err);
            const QByteArray now = bytesOf(target);
            const bool whole = isFresh(now, fresh.at(i));
            const char* state = now == old ? "old" : whole ? "new" : "damaged";
            const int strays = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size() - 2;
            ++cases;
            falseSuccesses += ok && !whole ? 1 : 0;
            damaged += now != old && !whole ? 1 : 0;
            temporaries += strays;
            (ok ? saved : refused) += 1;
            std::printf("free %2d KiB (%6lld B)  %-17s %7d B  %-8s file %-7s temporaries %d  %s\n", kib,
                        static_cast<long long>(left), qPrintable(w.name), int(fresh.at(i).size()),
                        ok ? "saved" : "refused", state, strays,
                        ok ? "" : qPrintable(err.section('\n', 1, 1)));
        }
    }
    for (const QString& entry : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        dir.remove(entry);
    std::printf("cases %d (saved %d, refused %d) in %lld ms\n", cases, saved, refused,
                static_cast<long long>(clock.elapsed()));
    std::printf("false successes: %d\ndamaged earlier files: %d\ntemporaries left: %d\n", falseSuccesses, damaged,
                temporaries);
    return falseSuccesses + damaged + temporaries == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && QByteArray(argv[1]) == "sweep")
        return sweep(QString::fromLocal8Bit(argv[2]));
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
