// Facade operations of a REML mixed-model fit: its variance components, and the fixed-effect
// figures and predictions that replace the engine's least-squares ones for that slot.
#include "DoeBussinessApi.h"

#include "DoeFunctionManager.h"
#include "DoeMixedModelSlot.h"
#include "DoeTableManager.h"

#include <cmath>

namespace doeBussiness {

bool DoeBussinessApi::getVarianceComponents(QVector<DoeVarianceComponent>& out, int modelIndex, QString& err) const
{
    out.clear();
    if (!m_tableManager) {
        err += QStringLiteral("Unknown error\n");
        return false;
    }
    const auto mixed = m_tableManager->analysisData().mixedFits.value(modelIndex);
    if (!mixed) {
        err += QStringLiteral("The fit has no random effect\n");
        return false;
    }
    out = mixed->components;
    return true;
}

// The residual's standard deviation, and the whole-model test on Kenward-Roger DF instead of
// the least-squares F that ignores the whole plots.
bool DoeBussinessApi::_mixedRunModelResult(double& rmse, double& fRatio, double& probF, int slot) const
{
    const auto mixed = m_tableManager ? m_tableManager->analysisData().mixedFits.value(slot) : nullptr;
    if (!mixed)
        return false;
    rmse = std::sqrt(mixed->components.last().variance);
    fRatio = mixed->wholeModel.fRatio;
    probF = mixed->wholeModel.probF;
    return true;
}

bool DoeBussinessApi::_mixedRunParameter(int param, double& estimate, double& stdError, double& tRatio,
                                         double& probT, int slot) const
{
    const auto mixed = m_tableManager ? m_tableManager->analysisData().mixedFits.value(slot) : nullptr;
    if (!mixed)
        return false;
    const int c = mixed->basis.indexOf(param);
    if (c < 0)
        return false;
    estimate = mixed->fit.beta[c];
    stdError = mixed->stdError[c];
    tRatio = mixed->tRatio[c];
    probT = mixed->probT[c];
    return true;
}

bool DoeBussinessApi::_mixedPredict(const QList<QString>& converted, double& o1, double& o2, double& o3,
                                    double& o4, double& o5, double alpha, int slot) const
{
    const auto mixed = m_tableManager ? m_tableManager->analysisData().mixedFits.value(slot) : nullptr;
    if (!mixed || !m_functionManager)
        return false;
    doeFunc::DoeParameterLayout layout;
    QVector<double> row;
    const DoeRegressionData& data = m_tableManager->analysisData().regression;
    if (!m_functionManager->getParameterLayout(layout, slot)
        || !codeParameterRow(data, layout, converted.toVector(), row))
        return true;  // outputs stay NaN: the row cannot be coded
    predictMixed(*mixed, row, alpha, o1, o2, o3, o4, o5);
    return true;
}

}  // namespace doeBussiness
