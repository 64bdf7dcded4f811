// Facade operations that check a fit against its data: residuals and the lack-of-fit test.
#include "DoeBussinessApi.h"

#include "DoeFitModelManager.h"
#include "DoeFunctionManager.h"
#include "DoeTableManager.h"

#include <cmath>

namespace doeBussiness {

bool DoeBussinessApi::getResidualByPredicted(QVector<double>& predicted, QVector<double>& residuals, int slot)
{
    predicted.clear();
    residuals.clear();
    if (!m_tableManager || !_isRegressionSlot(slot))
        return false;
    const DoeRegressionData& data = m_tableManager->analysisData().regression;
    const QVector<QVector<QString>>& factors = data.rawFactors();
    const QVector<QVector<QString>>& responses = data.convertedResponses();
    const int n = std::min(factors.size(), responses.size());
    QVector<double> p, r;
    for (int i = 0; i < n; ++i) {
        double y = 0, cl = 0, pl = 0, cu = 0, pu = 0;
        predictResult(factors[i].toList(), y, cl, pl, cu, pu, 0.05, slot);
        bool ok = false;
        const double actual = responses[i].value(slot).toDouble(&ok);
        if (!ok || !std::isfinite(y) || !std::isfinite(actual))
            return false;
        p.append(y);
        r.append(actual - y);
    }
    if (p.isEmpty())
        return false;
    predicted = p;
    residuals = r;
    return true;
}

bool DoeBussinessApi::getLackOfFit(DoeLackOfFitResult& out, int slot)
{
    out = DoeLackOfFitResult();
    if (!m_functionManager || !m_tableManager || !_isRegressionSlot(slot))
        return false;
    double errorSS = 0, modelSS = 0, rmse = 0, rSquare = 0, rSquareAdj = 0, fRatio = 0, probF = 0;
    int modelDF = 0, errorDF = 0;
    m_functionManager->getRunModelResult(errorSS, modelSS, modelDF, errorDF, rmse, rSquare, rSquareAdj, fRatio,
                                         probF, slot);
    const DoeRegressionData& data = m_tableManager->analysisData().regression;
    QVector<double> responses;
    for (const QVector<QString>& row : data.convertedResponses()) {
        bool ok = false;
        const double v = row.value(slot).toDouble(&ok);
        responses.append(ok ? v : std::nan(""));
    }
    out = computeLackOfFit(data.convertedFactors(), responses, errorSS, errorDF);
    return out.available;
}

}  // namespace doeBussiness
