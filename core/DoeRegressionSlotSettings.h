#pragma once
// Per-response-slot analysis settings kept by the fit-model state: stepwise rules with the latest
// stepwise statistics, and the Monte Carlo factor, response and run settings.
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

#include "DoeMonteCarloRecords.h"
#include "DoeStepwiseSetting.h"
#include "plan_core_global.h"

namespace doeBussiness {

struct PLAN_CORE_EXPORT DoeRegressionSlotSettings
{
    QList<DoeFitModel_Stepwise_Setting> stepwise;
    DoeStepwiseSnapshotStore stepwiseSnapshots;
    QVector<QMap<QString, DoeMonteCarloFactorInfo>> monteCarloFactors;
    QVector<QMap<QString, DoeMonteCarloResponseInfo>> monteCarloResponses;
    QVector<DoeMonteCarloRunSetting> monteCarloRuns;

    void clear()
    {
        stepwise.clear();
        stepwiseSnapshots.clear();
        clearMonteCarlo();
    }
    void clearMonteCarlo()
    {
        monteCarloFactors.clear();
        monteCarloResponses.clear();
        monteCarloRuns.clear();
    }
    bool hasMonteCarloSlot(int slot) const { return slot >= 0 && slot < monteCarloRuns.size(); }
};

}  // namespace doeBussiness
