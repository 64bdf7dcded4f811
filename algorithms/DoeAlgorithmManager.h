#pragma once
// Entry point of the sensitivity analysis: one manager per analysis, lent the engine link and slot.
#include "DoeAlgorithmBase.h"
#include "plan_algorithms_global.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QVector>

namespace doeAlgorithm {

class DoeAlgorithm_Sensivity_eFast;

class PLAN_ALGORITHMS_EXPORT DoeAlgorithmManager : public DoeAlgorithmBase {
public:
    DoeAlgorithmManager();
    ~DoeAlgorithmManager() override;
    DoeAlgorithmManager(const DoeAlgorithmManager&) = delete;
    DoeAlgorithmManager& operator=(const DoeAlgorithmManager&) = delete;

    // Factor bounds (low, high) of the problem; the first argument is not read.
    bool setSensitivityProblem(int kind, const QList<QPair<double, double>>& bounds, QString& err);
    // First-order and total indices, one per factor, from N samples per factor and interference M.
    bool doSensitivityAnalysis_eFast(int N, int M, QVector<double>& S1, QVector<double>& ST,
                                     QString& err);
    // Model outputs of the last analysis; y is left unchanged when there are none.
    void getPreY(QVector<double>& y) const;

private:
    DoeAlgorithm_Sensivity_eFast* m_eFast = nullptr;
};

}  // namespace doeAlgorithm
