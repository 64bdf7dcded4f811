#pragma once
// One row of the Effect Tests of a fit: the partial F test of dropping every parameter of a
// model term from the fitted model, the other terms staying in.
#include <QString>

#include <limits>

#include "plan_core_global.h"

namespace doeBussiness {

struct PLAN_CORE_EXPORT DoeEffectTest {
    QString term;
    int nparm = 0;             // parameters of the term in the fit
    int df = 0;                // those that are estimable
    double denominatorDF = 0;  // error DF of the fit
    double sumOfSquares = 0;
    // NaN when the term or the error has no degrees of freedom.
    double fRatio = std::numeric_limits<double>::quiet_NaN();
    double probF = std::numeric_limits<double>::quiet_NaN();
};

}  // namespace doeBussiness
