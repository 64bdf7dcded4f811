#pragma once
// Data for the analysis benchmarks: a random design of n continuous factors in [-1, 1] with a
// quadratic response, fitted with every term of the full quadratic model entered and run.
#include "DoeBussinessApi.h"

#include <QFile>
#include <QStringList>
#include <QTextStream>
#include <random>

namespace benchdata {

inline bool prepareQuadratic(doeBussiness::DoeBussinessApi& api, const QString& path, int factors, int rows,
                             QString& err)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QTextStream out(&f);
    QStringList names;
    for (int k = 0; k < factors; ++k)
        names << QString("F%1").arg(k + 1);
    out << names.join(",") << ",Y\n";
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::normal_distribution<double> noise(0.0, 0.05);
    for (int r = 0; r < rows; ++r) {
        double y = 5;
        QStringList cells;
        std::vector<double> x(factors);
        for (int k = 0; k < factors; ++k) {
            x[k] = (r == 0) ? -1.0 : (r == 1 ? 1.0 : u(gen));
            cells << QString::number(x[k], 'g', 8);
            y += (k + 1) * 0.3 * x[k] - 0.2 * x[k] * x[k];
        }
        for (int k = 0; k + 1 < factors; ++k)
            y += 0.1 * x[k] * x[k + 1];
        out << cells.join(",") << "," << QString::number(y + noise(gen), 'g', 10) << "\n";
    }
    f.close();
    if (!api.loadDoeTableByPath(path, err) || !api.setModelResponseList({"Y"}, err)
        || !api.genModel_RSM_ByGivenList(names, err) || api.canRunModel(err) != 1
        || !api.preparationForModelRegression(err))
        return false;
    QVector<QPair<int, int>> flags;
    api.getMFInfo(flags, 0);
    for (auto& fl : flags)
        fl.first = 1;
    api.setMFInfo(flags, 0);
    return api.runModel(0);
}

}  // namespace benchdata
