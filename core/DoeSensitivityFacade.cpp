// Facade bridge to the sensitivity algorithms: bounds of the fitted model's factors, then one
// analysis with a manager made for this call only.
#include "DoeBussinessApi.h"

#include "DoeAlgorithmManager.h"

namespace doeBussiness {

bool DoeBussinessApi::_genSensitivityAnalysisBoundList(QList<QString>& names,
                                                       QList<QPair<double, double>>& bounds,
                                                       QList<int>& removed, int slot, QString& err)
{
    bounds.clear();
    removed.clear();
    QMap<QString, DoeDesignTableColumInfo> info;
    QVector<bool> used;
    getRegressionAllFactorAndUsedFactor(names, info, used, slot);
    for (int i = 0; i < names.size(); ++i) {
        if (i >= used.size() || !info.contains(names[i])) {
            err += QStringLiteral("Unknown error\n");
            return false;
        }
        const DoeDesignTableColumInfo& col = info[names[i]];
        if (col.role != Continuous) {
            err += QStringLiteral("Not continous factor\n");
            return false;
        }
        if (col.values.size() != 2) {
            err += QStringLiteral("Unknown error\n");
            return false;
        }
        bounds.append(qMakePair(col.values[0].toDouble(), col.values[1].toDouble()));
    }
    return true;
}

bool DoeBussinessApi::doSensitivityAnalysis_eFast(int N, int M, QList<QString>& names,
                                                  QList<double>& firstOrder, QList<double>& total,
                                                  int slot, QString& err)
{
    QList<QString> factorNames;
    QList<QPair<double, double>> bounds;
    QList<int> removed;
    if (!_genSensitivityAnalysisBoundList(factorNames, bounds, removed, slot, err))
        return false;
    doeAlgorithm::DoeAlgorithmManager manager;
    manager.setRegressionFuncAndIdx(m_functionManager, slot);
    if (!manager.setSensitivityProblem(1, bounds, err))
        return false;
    QVector<double> s1, st;
    if (!manager.doSensitivityAnalysis_eFast(N, M, s1, st, err))
        return false;
    names = factorNames;
    firstOrder = s1.toList();
    total = st.toList();
    return true;
}

}  // namespace doeBussiness
