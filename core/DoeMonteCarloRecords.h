#pragma once
// Monte Carlo settings of one response slot: how each model factor is drawn, how each response
// gets its noise and spec limits, and how many runs are simulated. Plain copyable records.
#include <QList>
#include <QPair>
#include <QString>

#include "plan_core_global.h"

namespace doeBussiness {

struct PLAN_CORE_EXPORT DoeMonteCarloFactorInfo
{
    int used = 1;                  // 0: the factor stays at its fixed value
    QList<QString> levelValues;    // level texts of a discrete or categorical factor
    int discrete = 0;              // 0 continuous, otherwise discrete or categorical
    QList<QString> levelWeights;   // one weight text per level
    int random = 1;                // 1 random, 0 fixed
    int distribution = 0;          // 0 normal, 1 uniform
    double fixedValue = 0.0;       // for a discrete factor: a level index
    double mean = 0.0;
    double stdDev = 0.4;
    double lower = -1.0;
    double upper = 1.0;
    int sequence = 0;              // 0 none, 1 location, 2 spread
    int sequenceSteps = 2;
    double locationStart = -1.0;
    double locationEnd = 1.0;
    double spreadStart = 0.25;
    double spreadEnd = 0.5;

    bool operator==(const DoeMonteCarloFactorInfo& o) const;
    bool operator!=(const DoeMonteCarloFactorInfo& o) const { return !(*this == o); }
};

struct PLAN_CORE_EXPORT DoeMonteCarloResponseInfo
{
    int noiseMode = 0;             // 0 no noise, 1 normal noise of noiseStdDev, 2 noise from the fit
    double noiseStdDev = 0.95;
    QString lowerSpecLimit;        // empty: none
    QString upperSpecLimit;        // empty: none

    bool operator==(const DoeMonteCarloResponseInfo& o) const;
    bool operator!=(const DoeMonteCarloResponseInfo& o) const { return !(*this == o); }
};

// Runs to simulate and the percentage that sets the reported percentile range.
using DoeMonteCarloRunSetting = QPair<int, double>;

constexpr int kMonteCarloMaxRuns = 3000000;
inline DoeMonteCarloRunSetting defaultMonteCarloRunSetting() { return qMakePair(10000, 5.0); }

// Admission rules of the three settings; a refused value is never stored.
PLAN_CORE_EXPORT bool isMonteCarloFactorInfoValid(const DoeMonteCarloFactorInfo& info);
PLAN_CORE_EXPORT bool isMonteCarloResponseInfoValid(const DoeMonteCarloResponseInfo& info);
PLAN_CORE_EXPORT bool isMonteCarloRunSettingValid(const DoeMonteCarloRunSetting& setting);

}  // namespace doeBussiness
