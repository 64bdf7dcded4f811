#pragma once
// One variance component of a mixed-model fit: a random term, or the residual.
#include <QString>

#include <limits>

#include "plan_core_global.h"

namespace doeBussiness {

struct PLAN_CORE_EXPORT DoeVarianceComponent {
    QString name;
    double variance = std::numeric_limits<double>::quiet_NaN();
    double stdError = std::numeric_limits<double>::quiet_NaN();  // from the inverse REML information
    double share = std::numeric_limits<double>::quiet_NaN();     // of the total variance, 0..1
};

}  // namespace doeBussiness
