#include "DoeAlgorithmBase.h"

namespace doeAlgorithm {

DoeAlgorithmBase::DoeAlgorithmBase() = default;

DoeAlgorithmBase::~DoeAlgorithmBase() = default;

void DoeAlgorithmBase::setRegressionFuncAndIdx(doeFunc::DoeFunctionManager* link, int slot)
{
    m_funcManager = link;
    m_regressionIdx = slot;
}

}  // namespace doeAlgorithm
