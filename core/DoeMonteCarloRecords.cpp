#include "DoeMonteCarloRecords.h"

#include <cmath>

namespace doeBussiness {

bool DoeMonteCarloFactorInfo::operator==(const DoeMonteCarloFactorInfo& o) const
{
    return used == o.used && levelValues == o.levelValues && discrete == o.discrete
        && levelWeights == o.levelWeights && random == o.random && distribution == o.distribution
        && fixedValue == o.fixedValue && mean == o.mean && stdDev == o.stdDev && lower == o.lower
        && upper == o.upper && sequence == o.sequence && sequenceSteps == o.sequenceSteps
        && locationStart == o.locationStart && locationEnd == o.locationEnd
        && spreadStart == o.spreadStart && spreadEnd == o.spreadEnd;
}

bool DoeMonteCarloResponseInfo::operator==(const DoeMonteCarloResponseInfo& o) const
{
    return noiseMode == o.noiseMode && noiseStdDev == o.noiseStdDev
        && lowerSpecLimit == o.lowerSpecLimit && upperSpecLimit == o.upperSpecLimit;
}

static bool isNumberOrEmpty(const QString& s)
{
    if (s.isEmpty())
        return true;
    bool ok = false;
    const double v = s.toDouble(&ok);
    return ok && std::isfinite(v);
}

bool isMonteCarloFactorInfoValid(const DoeMonteCarloFactorInfo& info)
{
    const double values[] = {info.fixedValue, info.mean, info.stdDev, info.lower, info.upper,
                             info.locationStart, info.locationEnd, info.spreadStart, info.spreadEnd};
    for (double v : values)
        if (!std::isfinite(v))
            return false;
    if (info.sequenceSteps < 1 || info.stdDev <= 0.0 || info.lower > info.upper)
        return false;
    if (info.discrete != 0) {
        const double f = info.fixedValue;
        if (f != std::floor(f) || f < 0.0 || f >= info.levelValues.size())
            return false;
    }
    return true;
}

bool isMonteCarloResponseInfoValid(const DoeMonteCarloResponseInfo& info)
{
    return isNumberOrEmpty(info.lowerSpecLimit) && isNumberOrEmpty(info.upperSpecLimit)
        && info.noiseStdDev > 0.0 && std::isfinite(info.noiseStdDev);
}

bool isMonteCarloRunSettingValid(const DoeMonteCarloRunSetting& setting)
{
    return setting.first >= 1 && setting.first <= kMonteCarloMaxRuns && setting.second >= 0.0
        && setting.second <= 50.0;
}

}  // namespace doeBussiness
