#include "DoeAlgorithmManager.h"

#include "DoeAlgorithm_Sensivity_eFast.h"

namespace doeAlgorithm {

DoeAlgorithmManager::DoeAlgorithmManager() : m_eFast(new DoeAlgorithm_Sensivity_eFast) {}

DoeAlgorithmManager::~DoeAlgorithmManager()
{
    delete m_eFast;
}

bool DoeAlgorithmManager::setSensitivityProblem(int kind, const QList<QPair<double, double>>& bounds,
                                                QString& err)
{
    Q_UNUSED(kind);
    m_eFast->setRegressionFuncAndIdx(m_funcManager, m_regressionIdx);
    return m_eFast->setProblem(bounds, err);
}

bool DoeAlgorithmManager::doSensitivityAnalysis_eFast(int N, int M, QVector<double>& S1,
                                                      QVector<double>& ST, QString& err)
{
    // The link may have been lent after the problem was set: the analysis uses the current one.
    m_eFast->setRegressionFuncAndIdx(m_funcManager, m_regressionIdx);
    return m_eFast->analyse(N, M, S1, ST, err);
}

void DoeAlgorithmManager::getPreY(QVector<double>& y) const
{
    const QVector<double>& outputs = m_eFast->outputs();
    if (!outputs.isEmpty())
        y = outputs;
}

}  // namespace doeAlgorithm
