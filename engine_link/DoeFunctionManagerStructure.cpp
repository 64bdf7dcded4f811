// Whole plots, whole-whole plots and blocks of a design, through the engine's optional exports.
#include "DoeFunctionManager.h"

#include "DoeEngineTable.h"

#include <vector>

namespace doeFunc {

using detail::g_engine;

bool DoeFunctionManager::hasRunStructureExports() const
{
    return g_engine.setRunStructure && g_engine.proposeWholePlots && g_engine.runStructure;
}

bool DoeFunctionManager::setRunStructure(const QVector<int>& changes, int wholePlots,
                                         int wholeWholePlots, int blocks, double varianceRatio,
                                         int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.setRunStructure || !model->handle)
        return false;
    std::vector<int> flat(changes.begin(), changes.end());
    flat.push_back(0);  // never hand the engine a null array
    return g_engine.setRunStructure(model->handle, flat.data(), changes.size(), wholePlots,
                                    wholeWholePlots, blocks, varianceRatio)
        == 0;
}

bool DoeFunctionManager::proposeWholePlots(int runs, int& wholePlots, int& wholeWholePlots, int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.proposeWholePlots || !model->handle)
        return false;
    int wp = 0, wwp = 0;
    if (g_engine.proposeWholePlots(model->handle, runs, &wp, &wwp) != 0)
        return false;
    wholePlots = wp;
    wholeWholePlots = wwp;
    return true;
}

bool DoeFunctionManager::getRunStructure(int row, int& wholePlot, int& wholeWholePlot, int& block,
                                         int slot)
{
    StruDoeRegressionModel* model = _getCurModelByIndex(slot);
    if (!g_engine.runStructure || !model->handle)
        return false;
    int wp = 0, wwp = 0, b = 0;
    if (g_engine.runStructure(model->handle, row, &wp, &wwp, &b) != 0)
        return false;
    wholePlot = wp;
    wholeWholePlot = wwp;
    block = b;
    return true;
}

}  // namespace doeFunc
