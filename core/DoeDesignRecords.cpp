#include "DoeDesignRecords.h"

#include "DoeCommon.h"

namespace doeBussiness {

bool DoeDesignModel::operator==(const DoeDesignModel& other) const
{
    return DoeCommon::isStringListEqual(terms, other.terms);
}

QString DoeDesignModel::algebraShowStr() const { return terms.join(QLatin1Char('*')); }

DoeDesignTableColumInfo::DoeDesignTableColumInfo(const DoeDesignFactor& factor)
    : name(factor.name), values(factor.values), role(factor.role), isFactor(true), units(factor.units)
{
    if (role == DiscreteNumeric)
        DoeCommon::sortQStringListByNumber(values);
}

DoeDesignTableColumInfo::DoeDesignTableColumInfo(const DoeDesignResponse& response)
    : name(response.name),
      isFactor(false),
      goal(response.goal),
      lowerLimit(response.lowerLimit),
      upperLimit(response.upperLimit),
      importance(response.importance),
      lowerDetectionLimit(response.lowerDetectionLimit),
      upperDetectionLimit(response.upperDetectionLimit),
      units(response.units)
{
}

}  // namespace doeBussiness
