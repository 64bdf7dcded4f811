#pragma once
// Builds a fitted regression in one list slot of an engine link with the real engine: continuous
// factors, a generated design, responses from a known function, and the chosen terms entered.
#include "DoeFunctionManager.h"

#include <QStringList>

#include <functional>

struct EngineFactor {
    QString name;
    double low;
    double high;
};

// Returns the number of runs written; 0 when the engine produced no usable design.
inline int fitKnownFunction(doeFunc::DoeFunctionManager& link, const QList<EngineFactor>& factors,
                            int runs, const std::function<double(const QVector<double>&)>& f,
                            const QStringList& enteredTerms)
{
    if (!link.createDoeObjMulti(1))
        return 0;
    QVector<QString> names;
    for (const EngineFactor& factor : factors) {
        link.addContinuousFactor(factor.name, factor.low, factor.high, 0);
        names.append(factor.name);
    }
    link.addResponses(QStringLiteral("Y"), 0);
    link.setRandomSeed(12345UL, 0);
    if (link.creataDoeModel(2, 0) == -1)
        return 0;
    link.generateDoeTable(runs, 0);
    for (int row = 0; row < runs; ++row) {
        const double* values = link.getVFactorByLineIdx(row, 0);
        if (!values)
            return 0;
        QVector<double> x(values, values + factors.size());
        // A small wobble keeps a residual error, so that intervals are defined.
        const double y = f(x) + ((row % 3) - 1) * 1e-3;
        link.setVResponseByLineIdx({QString::number(y, 'g', 17)}, row, 0);
    }
    const int n = factors.size();
    link.initRegressionBaseData(names, QVector<int>(n, 1), QVector<int>(n, 0),
                                QVector<QVector<QString>>(n), QVector<QVector<double>>(n), 0);
    QVector<QString> params;
    link.getSaveParamName(params, 0);
    QVector<QPair<int, int>> flags;
    link.getMFInfo(flags, 0);
    for (int p = 1; p < flags.size() && p < params.size(); ++p)
        flags[p].first = enteredTerms.contains(params[p]) ? 1 : 0;
    link.setMFInfo(flags, 0);
    link.doStep(0);
    link.runModel(0);
    return runs;
}
