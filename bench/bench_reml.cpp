// bench-links: plan_core_objs Eigen3::Eigen Boost::headers
// REML fit of a split-plot data set of 1,000 rows (250 whole plots of 4 runs; 3 whole-plot and
// 3 sub-plot factors, main effects and two-factor interactions): the fit through the facade with
// the real engine, and the mixed-model numerics alone. Target: under 0.2 s.
#include "DoeBussinessApi.h"
#include "DoeMixedModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <random>

using doeBussiness::DoeDesignModel;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int plots = 250, runs = 4, n = plots * runs;
    std::mt19937 rng(2101);
    std::normal_distribution<double> noise(0.0, 1.0);
    std::uniform_int_distribution<int> sign(0, 1);
    QTemporaryDir dir;
    const QString path = dir.filePath("split.csv");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return 1;
    QTextStream out(&f);
    out << "Whole Plots,A,B,C,D,E,F,Y\n";
    for (int w = 0; w < plots; ++w) {
        double wp[3], u = 1.5 * noise(rng);
        for (double& v : wp)
            v = sign(rng) ? 1.0 : -1.0;
        for (int r = 0; r < runs; ++r) {
            double sp[3];
            for (double& v : sp)
                v = sign(rng) ? 1.0 : -1.0;
            const double y = 10 + 2 * wp[0] - wp[1] + 0.5 * wp[2] + 1.5 * sp[0] - sp[1] + 0.3 * sp[2]
                             + 0.8 * wp[0] * sp[0] + u + noise(rng);
            out << w + 1 << ',' << wp[0] << ',' << wp[1] << ',' << wp[2] << ',' << sp[0] << ',' << sp[1] << ','
                << sp[2] << ',' << y << '\n';
        }
    }
    f.close();

    doeBussiness::DoeBussinessApi api;
    QString err;
    const QStringList factors{"A", "B", "C", "D", "E", "F"};
    bool ok = api.loadDoeTableByPath(path, err) && api.setModelResponseList({"Y"}, err);
    DoeDesignModel plotsTerm(QStringList{"Whole Plots"});
    ok = ok && api.addModelDataForFitModel(plotsTerm, err);
    for (int i = 0; i < factors.size() && ok; ++i) {
        DoeDesignModel main(QStringList{factors[i]});
        ok = api.addModelDataForFitModel(main, err);
        for (int j = 0; j < i && ok; ++j) {
            DoeDesignModel pair(QStringList{factors[j], factors[i]});
            ok = api.addModelDataForFitModel(pair, err);
        }
    }
    QElapsedTimer prep;
    prep.start();
    ok = ok && api.canRunModel(err) == 1 && api.preparationForModelRegression(err);
    const double prepSeconds = prep.nsecsElapsed() * 1e-9;
    if (!ok) {
        std::printf("set-up failed: %s\n", qPrintable(err));
        return 1;
    }
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        if (!api.runStandardLeastSquares(0, err)) {
            std::printf("fit failed: %s\n", qPrintable(err));
            return 1;
        }
        best = std::min(best, t.nsecsElapsed() * 1e-9);
    }
    QVector<doeBussiness::DoeVarianceComponent> vc;
    api.getVarianceComponents(vc, 0, err);
    std::printf("REML fit through the facade, %d rows, %d whole plots, 22 fixed effects: %.3f s (best of 3; "
                "target 0.2 s); preparation of the regression (engine, once): %.3f s\n",
                n, plots, best, prepSeconds);
    for (const auto& c : vc)
        std::printf("  %s variance %.4f (SE %.4f)\n", qPrintable(c.name), c.variance, c.stdError);

    // The numerics alone on the same shape.
    Eigen::MatrixXd X(n, 22);
    Eigen::VectorXd y(n);
    QVector<int> groups(n);
    std::mt19937 rng2(7);
    for (int i = 0; i < n; ++i) {
        groups[i] = i / runs;
        for (int c = 0; c < 22; ++c)
            X(i, c) = c == 0 ? 1.0 : (sign(rng2) ? 1.0 : -1.0);
        y[i] = X.row(i).sum() + noise(rng2);
    }
    for (int w = 0; w < plots; ++w) {
        const double u = noise(rng2);
        for (int r = 0; r < runs; ++r)
            y[w * runs + r] += u;
    }
    double core = 1e9;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        const auto fit = doeBussiness::fitMixedModel(X, y, {groups}, {"WP"});
        core = std::min(core, t.nsecsElapsed() * 1e-9);
        if (!fit.valid)
            return 1;
    }
    std::printf("REML numerics alone (fit, information, Kenward-Roger covariance): %.3f s\n", core);
    return 0;
}
