#pragma once
// Common base of the analysis algorithms: the borrowed engine link and the response slot whose
// fitted model they evaluate.
#include "plan_algorithms_global.h"

namespace doeFunc {
class DoeFunctionManager;
}

namespace doeAlgorithm {

class PLAN_ALGORITHMS_EXPORT DoeAlgorithmBase {
public:
    DoeAlgorithmBase();
    virtual ~DoeAlgorithmBase();

    // Stores the engine link (not owned) and the slot of the model to evaluate.
    virtual void setRegressionFuncAndIdx(doeFunc::DoeFunctionManager* link, int slot);

protected:
    doeFunc::DoeFunctionManager* m_funcManager = nullptr;
    int m_regressionIdx = -1;
};

}  // namespace doeAlgorithm
