#pragma once
// Lack-of-fit test of a fitted model: the error of the fit split into the scatter of replicated
// factor settings around their own mean (pure error) and the rest (lack of fit).
#include <QString>
#include <QVector>

#include <limits>

#include "plan_core_global.h"

namespace doeBussiness {

struct PLAN_CORE_EXPORT DoeLackOfFitResult {
    // False until computed, and when the data hold no replicated factor settings.
    bool available = false;
    int lackOfFitDF = 0;
    int pureErrorDF = 0;
    int totalErrorDF = 0;
    double lackOfFitSS = 0.0;
    double pureErrorSS = 0.0;
    double totalErrorSS = 0.0;
    // NaN where the degrees of freedom leave the value undefined.
    double lackOfFitMS = std::numeric_limits<double>::quiet_NaN();
    double pureErrorMS = std::numeric_limits<double>::quiet_NaN();
    double totalErrorMS = std::numeric_limits<double>::quiet_NaN();
    double fRatio = std::numeric_limits<double>::quiet_NaN();
    double probF = std::numeric_limits<double>::quiet_NaN();
    // Why F and Prob > F are missing although the lack of fit has degrees of freedom.
    QString note;
};

// Rows with the same factor texts (compared as numbers where both parse) form one group. The
// total error is the fit's own (SS and DF of the error row); rows and responses align by index.
PLAN_CORE_EXPORT DoeLackOfFitResult computeLackOfFit(const QVector<QVector<QString>>& factorRows,
                                                     const QVector<double>& responses, double errorSS,
                                                     int errorDF);

}  // namespace doeBussiness
