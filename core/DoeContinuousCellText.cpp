#include "DoeContinuousCellText.h"

#include <cmath>

namespace doeBussiness {

QString continuousCellText(double value, double low, double high)
{
    const double tolerance = 1e-9 * std::fabs(high - low);
    QString text;
    for (int digits = 6; digits <= 17; ++digits) {
        text = QString("%1").arg(value, 0, 'g', digits);
        if (std::fabs(text.toDouble() - value) <= tolerance)
            break;
    }
    return text;
}

}  // namespace doeBussiness
