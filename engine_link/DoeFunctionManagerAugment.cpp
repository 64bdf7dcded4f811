// Runs kept fixed while the engine searches the others: the optional export of augmentation.
#include "DoeEngineTable.h"
#include "DoeFunctionManager.h"

#include <vector>

namespace doeFunc {

using detail::g_engine;

bool DoeFunctionManager::canFixDesignRuns() const
{
    return g_engine.fixRun != nullptr;
}

bool DoeFunctionManager::fixDesignRun(int row, const QVector<bool>& factors, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.fixRun || !model->handle || row < 0 || row >= model->runCount)
        return false;
    if (!factors.isEmpty() && factors.size() != model->addedFactorCount)
        return false;
    std::vector<int> flags;
    for (bool f : factors)
        flags.push_back(f ? 1 : 0);
    if (g_engine.fixRun(model->handle, row, factors.isEmpty() ? nullptr : flags.data()) != 0)
        return false;
    model->searchPending = true; // the next read runs the search: progress and cancel reach it
    return true;
}

} // namespace doeFunc
