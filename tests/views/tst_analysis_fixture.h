#pragma once
// Shared set-up of the analysis view tests: a facade holding a design table written from a
// known function, with the regression prepared (and optionally every term entered and run).
#include "DoeBussinessApi.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>

#include <cmath>
#include <functional>
#include <memory>

namespace analysistest {

using doeBussiness::DoeBussinessApi;

// Y = 10 + 3 a - 2 b + 1.5 a^2 - b^2 + 0.5 a b (+ 4 for level B of C when present), coded
// a = (A - 15) / 5 over A in [10, 20], b = B2 over [-1, 1], with a small fixed disturbance.
inline double knownY(double A, double B, const QString& level)
{
    const double a = (A - 15.0) / 5.0;
    const double b = B;
    double y = 10 + 3 * a - 2 * b + 1.5 * a * a - b * b + 0.5 * a * b;
    if (level == "L2")
        y += 4;
    else if (level == "L3")
        y -= 1;
    return y;
}

inline double disturbance(int i)
{
    static const double d[] = {0.004, -0.003, 0.002, -0.001, 0.003, -0.004, 0.001, 0.0, -0.002};
    return d[i % 9];
}

struct Fitted {
    std::unique_ptr<DoeBussinessApi> api{new DoeBussinessApi};
    QTemporaryDir dir;
    QString path;
    QString message;

    // Writes the table (with or without the categorical column) and loads it.
    bool load(bool withCategorical, bool flatResponse = false, double noise = 1.0)
    {
        path = dir.filePath(withCategorical ? "cat.csv" : "cont.csv");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
            return false;
        QTextStream out(&f);
        out << (withCategorical ? "A,B,C,Y\n" : "A,B,Y\n");
        int i = 0;
        const QStringList levels = withCategorical ? QStringList{"L1", "L2", "L3"} : QStringList{"L1"};
        for (double A : {10.0, 12.5, 15.0, 17.5, 20.0}) {
            for (double B : {-1.0, -0.5, 0.0, 0.5, 1.0}) {
                for (const QString& L : levels) {
                    const double y = flatResponse ? 5.0 : knownY(A, B, L) + noise * disturbance(i++);
                    out << A << "," << B << ",";
                    if (withCategorical)
                        out << L << ",";
                    out << QString::number(y, 'g', 10) << "\n";
                }
            }
        }
        f.close();
        return api->loadDoeTableByPath(path, message);
    }

    bool prepare(const QStringList& xs, const QString& y = "Y")
    {
        if (!api->setModelResponseList({y}, message))
            return false;
        if (!api->genModel_RSM_ByGivenList(xs, message))
            return false;
        if (api->canRunModel(message) != 1)
            return false;
        return api->preparationForModelRegression(message);
    }

    void enterAll()
    {
        QVector<QPair<int, int>> flags;
        api->getMFInfo(flags, 0);
        for (int i = 0; i < flags.size(); ++i)
            flags[i].first = 1;
        api->setMFInfo(flags, 0);
    }

    // The shipped example as the walkthrough fits it: the stepwise run to its end, then Run Model.
    bool fitExample()
    {
        if (!api->loadDoeTableByPath(QString(VARISTRA_SOURCE_DIR) + "/examples/design_with_results.csv", message)
            || !prepare({"Temp", "Time", "Catalyst"}, "Yield"))
            return false;
        for (int step = 0; step < 100 && api->stepwiseStepCombine(0); ++step) {
        }
        return api->runModel(0);
    }

    // A table of the given lines (header first), every term entered and run.
    bool fitLines(const QStringList& lines, const QStringList& xs)
    {
        path = dir.filePath("lines.csv");
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
            return false;
        f.write(lines.join("\n").toUtf8() + "\n");
        f.close();
        if (!api->loadDoeTableByPath(path, message) || !prepare(xs))
            return false;
        enterAll();
        return api->runModel(0);
    }

    // Full quadratic fit of the two continuous factors (and the categorical one when asked).
    bool fitAll(bool withCategorical, bool flatResponse = false, double noise = 1.0)
    {
        if (!load(withCategorical, flatResponse, noise))
            return false;
        if (!prepare(withCategorical ? QStringList{"A", "B", "C"} : QStringList{"A", "B"}))
            return false;
        enterAll();
        return api->runModel(0);
    }
};

}  // namespace analysistest
