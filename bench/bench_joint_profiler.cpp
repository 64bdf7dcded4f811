// bench-links: plan_views plan_core QCustomPlot::QCustomPlot
// Joint profiler with 4 responses over 8 factors (full quadratic each): one refresh after a
// setting change (profiles of every response and of D, every cell redrawn; target under 16 ms)
// and Maximize Desirability (target under 1 s).
#include "DoeBussinessApi.h"
#include "DoeJointProfilerDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <random>
#include <time.h>

namespace {

bool prepare(doeBussiness::DoeBussinessApi& api, const QString& path, int factors, int responses, int rows,
             QString& err)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&f);
    QStringList names, ys;
    for (int k = 0; k < factors; ++k)
        names << QString("F%1").arg(k + 1);
    for (int j = 0; j < responses; ++j)
        ys << QString("Y%1").arg(j + 1);
    out << names.join(",") << "," << ys.join(",") << "\n";
    std::mt19937 gen(11);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::normal_distribution<double> noise(0.0, 0.05);
    for (int r = 0; r < rows; ++r) {
        QStringList cells;
        std::vector<double> x(factors);
        for (int k = 0; k < factors; ++k) {
            x[k] = r == 0 ? -1.0 : (r == 1 ? 1.0 : u(gen));
            cells << QString::number(x[k], 'g', 8);
        }
        for (int j = 0; j < responses; ++j) {
            double y = 5 + j;
            for (int k = 0; k < factors; ++k)
                y += ((k + j) % 3 - 1) * 0.4 * x[k] - 0.2 * x[k] * x[k];
            cells << QString::number(y + noise(gen), 'g', 10);
        }
        out << cells.join(",") << "\n";
    }
    f.close();
    api.setFitModel_SeveralResponses(true);
    if (!api.loadDoeTableByPath(path, err) || !api.setModelResponseList(ys, err)
        || !api.genModel_RSM_ByGivenList(names, err) || api.canRunModel(err) != 1
        || !api.preparationForModelRegression(err))
        return false;
    for (int j = 0; j < responses; ++j)
        if (!api.runStandardLeastSquares(j, err))
            return false;
    return true;
}

// CPU time of this thread in ms: on a machine shared with other jobs the wall time also counts
// the waits for a core.
double cpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int factors = 8, responses = 4;
    QTemporaryDir dir;
    doeBussiness::DoeBussinessApi api;
    QString err;
    if (!prepare(api, dir.filePath("j.csv"), factors, responses, 200, err)) {
        std::printf("set-up failed: %s\n", qPrintable(err));
        return 1;
    }
    doeUI::DoeJointProfilerDlg dlg(&api, nullptr);
    if (!dlg.isValid()) {
        std::printf("profiler failed\n");
        return 1;
    }
    dlg.show();
    app.processEvents();
    auto* entry = dlg.findChild<QLineEdit*>("lineEdit_factor_0");
    std::vector<double> refresh, profiles, maximize, refreshCpu, maximizeCpu;
    for (int i = 0; i < 30; ++i) {
        entry->setText(QString::number(-0.9 + 0.06 * i));
        QElapsedTimer t;
        t.start();
        const double c0 = cpuMs();
        QMetaObject::invokeMethod(entry, "editingFinished");
        app.processEvents();  // the repaint of the cells belongs to the refresh
        refresh.push_back(t.nsecsElapsed() / 1e6);
        refreshCpu.push_back(cpuMs() - c0);
        doeBussiness::DoeJointProfiles out;
        t.restart();
        api.getJointProfiles(dlg.settings(), dlg.specs(), 100, out, err);
        profiles.push_back(t.nsecsElapsed() / 1e6);
    }
    double best = 0;
    for (int i = 0; i < 5; ++i) {
        QList<QString> settings;
        QElapsedTimer t;
        t.start();
        const double c0 = cpuMs();
        best = api.maximizeJointDesirability(settings, dlg.specs(), err);
        maximize.push_back(t.nsecsElapsed() / 1e6);
        maximizeCpu.push_back(cpuMs() - c0);
    }
    std::printf("joint profiler, %d responses x %d factors, full quadratic, 200 rows\n", responses, factors);
    std::printf("%-30s %8s %14s %13s %10s\n", "operation", "repeats", "median wall ms", "median CPU ms",
                "target ms");
    std::printf("%-30s %8d %14.2f %13.2f %10d\n", "refresh (profiles + redraw)", 30, median(refresh),
                median(refreshCpu), 16);
    std::printf("%-30s %8d %14.2f %13s %10s\n", "  of which facade profiles", 30, median(profiles), "-", "-");
    std::printf("%-30s %8d %14.1f %13.1f %10d\n", "Maximize Desirability", 5, median(maximize), median(maximizeCpu),
                1000);
    std::printf("best D %.6f\n", best);
    return 0;
}
