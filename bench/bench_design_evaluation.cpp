// bench-links: plan_core_objs Eigen3::Eigen Boost::headers
// Evaluation of a 20-factor response-surface design (231 parameters, 300 runs on three levels):
// prints the time in seconds and the figures, so that a change of the search shows in both.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <random>

#include "DoeDesignEvaluator.h"

using namespace doeBussiness;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int factors = 20;
    const int runs = 300;
    QVector<DoeDesignTableColumInfo> columns;
    QList<DoeDesignModel> terms{DoeDesignModel::intercept()};
    for (int f = 0; f < factors; ++f) {
        DoeDesignFactor factor;
        factor.name = QStringLiteral("X%1").arg(f + 1);
        factor.values = QStringList{"-1", "1"};
        columns.append(DoeDesignTableColumInfo(factor));
        terms.append(DoeDesignModel(QStringList{factor.name}));
    }
    for (int i = 0; i < factors; ++i) {
        for (int j = i; j < factors; ++j)
            terms.append(DoeDesignModel(QStringList{columns[i].name, columns[j].name}));
    }
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> level(-1, 1);
    QVector<QVector<QString>> rows;
    for (int r = 0; r < runs; ++r) {
        QVector<QString> cells;
        for (int f = 0; f < factors; ++f)
            cells.append(QString::number(level(rng)));
        rows.append(cells);
    }

    DoeDesignEvaluation e;
    QString err;
    QElapsedTimer timer;
    timer.start();
    const bool ok = evaluateDesign(columns, rows, terms, DoeDesignEvaluationSetting(), e, err);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("20-factor response surface, %d runs, %d parameters: evaluation %.3f s (target < 0.5 s)%s\n",
                runs, e.parameters.size(), seconds, ok ? "" : " FAILED");
    std::printf("  D %.3f  A %.3f  G %.3f  average variance %.5f  FDS median %.5f\n", e.dEfficiency,
                e.aEfficiency, e.gEfficiency, e.averageVariance, e.fds.isEmpty() ? 0.0 : e.fds[50].second);

    // The same factors as a screening model: main effects Necessary, the 190 products If Possible,
    // 40 runs; with the largest signal-to-noise ratio accepted, so the power takes the large
    // noncentrality road for every term.
    QList<DoeDesignModel> screening{DoeDesignModel::intercept()};
    for (int i = 0; i < factors; ++i)
        screening.append(DoeDesignModel(QStringList{columns[i].name}));
    for (int i = 0; i < factors; ++i)
        for (int j = i + 1; j < factors; ++j)
            screening.append(DoeDesignModel(QStringList{columns[i].name, columns[j].name}, false));
    DoeDesignEvaluationSetting loud;
    loud.signalToNoise = 1e6;
    DoeDesignEvaluation s;
    timer.restart();
    const bool okScreening = evaluateDesign(columns, rows.mid(0, 40), screening, loud, s, err);
    const double screeningSeconds = timer.nsecsElapsed() / 1e9;
    double largestAlias = 0.0;
    for (double a : s.aliasNorm)
        if (a == a)
            largestAlias = std::max(largestAlias, a);
    std::printf("20-factor screening, 40 runs, 21 Necessary and 190 If Possible terms, snr 1e6: evaluation %.3f s%s\n",
                screeningSeconds, okScreening ? "" : " FAILED");
    std::printf("  D %.3f  A %.3f  G %.3f  power of X1 %.6f  largest alias norm %.4f\n", s.dEfficiency,
                s.aEfficiency, s.gEfficiency, s.power.value(1), largestAlias);
    return ok && okScreening ? 0 : 1;
}
