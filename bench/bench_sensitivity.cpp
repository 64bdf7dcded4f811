// bench-links: plan_core plan_engine_link plan_algorithms
// Sensitivity analysis speed through the facade and the engine: six factors at N = 1000, M = 4.
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "DoeBussinessApi.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("table.csv");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return 1;
    QTextStream out(&f);
    out << "A,B,C,D,E,F,Y\n";
    std::mt19937 gen(5);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int i = 0; i < 60; ++i) {
        double x[6];
        for (double& v : x) {
            v = i == 0 ? -1 : i == 1 ? 1 : u(gen);
            out << v << ',';
        }
        out << x[0] + 2 * x[1] - x[2] * x[3] + 0.5 * x[4] * x[4] + 0.1 * x[5] << '\n';
    }
    f.close();

    doeBussiness::DoeBussinessApi api;
    QString err;
    if (!api.loadDoeTableByPath(path, err) || !api.setModelResponseList({"Y"}, err)
        || !api.genModel_RSM_ByGivenList({"A", "B", "C", "D", "E", "F"}, err)
        || !api.preparationForModelRegression(err)) {
        std::fprintf(stderr, "set-up failed: %s", qPrintable(err));
        return 1;
    }
    QVector<QPair<int, int>> flags;
    api.getMFInfo(flags, 0);
    for (auto& p : flags)
        p.first = 1;
    api.setMFInfo(flags, 0);
    api.runModel(0);

    std::vector<double> times;
    QList<QString> names;
    QList<double> s1, st;
    for (int i = 0; i < 5; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!api.doSensitivityAnalysis_eFast(1000, 4, names, s1, st, 0, err)) {
            std::fprintf(stderr, "analysis failed: %s", qPrintable(err));
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("eFAST, 6 factors, N = 1000, M = 4 (6000 model evaluations): median %.1f ms, best %.1f ms "
                "(target < 200 ms)\n", times[times.size() / 2], times.front());
    for (int i = 0; i < names.size(); ++i)
        std::printf("  %s: first order %.4f, total %.4f\n", qPrintable(names[i]), s1[i], st[i]);
    return 0;
}
