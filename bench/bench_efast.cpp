// bench-links: plan_algorithms plan_engine_link
// Sensitivity analysis of a fitted six-factor response-surface model at N = 1000, M = 4 (6000
// model evaluations through the engine link), timed over several runs.
#include "DoeAlgorithmManager.h"
#include "DoeFunctionManager.h"
#include "../tests/engine_link/engine_fit_helper.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    doeFunc::DoeFunctionManager link;
    if (!link.isEngineLoaded()) {
        std::printf("engine library not found beside the benchmark\n");
        return 1;
    }
    QList<EngineFactor> factors;
    for (int i = 0; i < 6; ++i)
        factors.append({QStringLiteral("X%1").arg(i + 1), -1.0, 1.0});
    auto model = [](const QVector<double>& x) {
        return 1.0 + 4.0 * x[0] + 2.0 * x[1] + x[2] + 0.5 * x[3] + 0.25 * x[4] + 0.1 * x[5]
               + 1.5 * x[0] * x[1] + x[2] * x[2];
    };
    const QStringList terms{"X1", "X2", "X3", "X4", "X5", "X6", "X1*X2", "X3*X3"};
    if (fitKnownFunction(link, factors, 40, model, terms) != 40) {
        std::printf("the engine could not fit the benchmark model\n");
        return 1;
    }
    QList<QPair<double, double>> bounds;
    for (int i = 0; i < 6; ++i)
        bounds.append({-1.0, 1.0});

    std::vector<double> ms;
    QVector<double> s1, st;
    for (int rep = 0; rep < 7; ++rep) {
        doeAlgorithm::DoeAlgorithmManager manager;
        manager.setRegressionFuncAndIdx(&link, 0);
        QString err;
        QElapsedTimer timer;
        timer.start();
        if (!manager.setSensitivityProblem(1, bounds, err)
            || !manager.doSensitivityAnalysis_eFast(1000, 4, s1, st, err)) {
            std::printf("analysis failed: %s", qPrintable(err));
            return 1;
        }
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("eFAST, 6 factors, N = 1000, M = 4 (6000 evaluations): median %.1f ms, min %.1f ms, "
                "max %.1f ms over %zu runs (target < 200 ms)\n",
                ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
    for (int i = 0; i < s1.size(); ++i)
        std::printf("  X%d: first order %.3f, total %.3f\n", i + 1, s1[i], st[i]);
    return 0;
}
