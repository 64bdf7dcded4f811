// Facade operations of the stepwise window. Step statistics are read through published
// snapshots, so the window can refresh while a worker thread keeps stepping the same slot.
#include "DoeBussinessApi.h"

#include "DoeFitModelManager.h"
#include "DoeFunctionManager.h"

#include <memory>

namespace doeBussiness {

void DoeBussinessApi::_publishStepwiseSnapshot(int slot)
{
    if (!m_functionManager || !_isRegressionSlot(slot))
        return;
    auto snap = std::make_shared<DoeStepwiseSnapshot>();
    m_functionManager->getStepResult(snap->sse, snap->dfe, snap->rmse, snap->rSquare,
                                     snap->rSquareAdj, snap->p, snap->cp, snap->aicc, snap->bicc,
                                     slot);
    m_functionManager->getMFInfo(snap->flags, slot);
    snap->terms.resize(snap->flags.size());
    for (int i = 0; i < snap->terms.size(); ++i) {
        DoeStepwiseSnapshot::Term& t = snap->terms[i];
        m_functionManager->getStepwiseParameter(i, t.estimate, t.nDF, t.ss, t.fRatio, t.probF, slot);
    }
    m_fitModelManager->slotSettings().stepwiseSnapshots.publish(slot, std::move(snap));
}

void DoeBussinessApi::getStepResult(double& sse, int& dfe, double& rmse, double& rSquare,
                                    double& rSquareAdj, int& p, double& cp, double& aicc,
                                    double& bicc, int slot) const
{
    if (!m_fitModelManager)
        return;
    const auto snap = m_fitModelManager->slotSettings().stepwiseSnapshots.get(slot);
    if (!snap)
        return;
    sse = snap->sse;
    dfe = snap->dfe;
    rmse = snap->rmse;
    rSquare = snap->rSquare;
    rSquareAdj = snap->rSquareAdj;
    p = snap->p;
    cp = snap->cp;
    aicc = snap->aicc;
    bicc = snap->bicc;
}

void DoeBussinessApi::getStepwiseParameter(int param, double& estimate, int& nDF, double& ss,
                                           double& fRatio, double& probF, int slot) const
{
    if (!m_fitModelManager)
        return;
    const auto snap = m_fitModelManager->slotSettings().stepwiseSnapshots.get(slot);
    if (!snap || param < 0 || param >= snap->terms.size())
        return;
    const DoeStepwiseSnapshot::Term& t = snap->terms[param];
    estimate = t.estimate;
    nDF = t.nDF;
    ss = t.ss;
    fRatio = t.fRatio;
    probF = t.probF;
}

void DoeBussinessApi::getMFInfo(QVector<QPair<int, int>>& out, int slot) const
{
    if (!m_fitModelManager)
        return;
    const auto snap = m_fitModelManager->slotSettings().stepwiseSnapshots.get(slot);
    if (snap && !snap->flags.isEmpty())
        out = snap->flags;
}

void DoeBussinessApi::setMFInfo(const QVector<QPair<int, int>>& flags, int slot)
{
    if (!m_functionManager || !_isRegressionSlot(slot))
        return;
    m_functionManager->setMFInfo(flags, slot);
    // Refit, so that the statistics shown next describe the terms now entered.
    m_functionManager->doStep(slot);
    _publishStepwiseSnapshot(slot);
}

void DoeBussinessApi::getFitModel_Stepwise_Setting(DoeFitModel_Stepwise_Setting& s, int slot) const
{
    if (!m_fitModelManager)
        return;
    const auto& list = m_fitModelManager->slotSettings().stepwise;
    if (slot >= 0 && slot < list.size())
        s = list[slot];
}

bool DoeBussinessApi::setFitModel_Stepwise_Setting(DoeFitModel_Stepwise_Setting& s, int slot,
                                                   QString& err)
{
    if (!m_fitModelManager) {
        err += QStringLiteral("No Regression Setting\n");
        return false;
    }
    auto& list = m_fitModelManager->slotSettings().stepwise;
    if (slot < 0 || slot >= list.size()) {
        err += QStringLiteral("Invalid index\n");
        s = DoeFitModel_Stepwise_Setting();
        return false;
    }
    const QString problem = stepwiseSettingError(s);
    if (!problem.isEmpty()) {
        err += problem;
        s = list[slot];
        return false;
    }
    list[slot] = s;
    return true;
}

bool DoeBussinessApi::stepwiseStepCombine(int slot)
{
    if (!m_functionManager || !_isRegressionSlot(slot))
        return false;
    const DoeFitModel_Stepwise_Setting s = m_fitModelManager->slotSettings().stepwise.at(slot);
    bool changed = false;
    switch (s.direction) {
    case 0:
        changed = m_functionManager->stepwiseStepCombineForward(s.probToEnter, s.probToLeave, slot);
        break;
    case 1:
        changed = m_functionManager->stepwiseStepCombineBackward(s.probToEnter, s.probToLeave, slot);
        break;
    case 2:
        changed = m_functionManager->stepwiseStepCombineMixed(s.probToEnter, s.probToLeave, slot);
        break;
    default:
        return false;
    }
    m_functionManager->doStep(slot);
    _publishStepwiseSnapshot(slot);
    return changed;
}

bool DoeBussinessApi::stepwiseStepCombineDoSingle(bool forward, int slot)
{
    if (!m_functionManager || !_isRegressionSlot(slot))
        return false;
    const DoeFitModel_Stepwise_Setting s = m_fitModelManager->slotSettings().stepwise.at(slot);
    const bool changed = forward
        ? m_functionManager->stepwiseStepCombineForward(s.probToEnter, s.probToLeave, slot)
        : m_functionManager->stepwiseStepCombineBackward(s.probToEnter, s.probToLeave, slot);
    m_functionManager->doStep(slot);
    _publishStepwiseSnapshot(slot);
    return changed;
}

}  // namespace doeBussiness
