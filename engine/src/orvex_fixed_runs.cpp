#include "orvex_fixed_runs.h"

#include "orvex_engine.h"

#include <algorithm>
#include <cmath>

namespace orvex {

void FixedCells::impose(double* searchCoords) const
{
    for (size_t k = 0; k < mask.size(); ++k)
        if (mask[k])
            searchCoords[k] = coords[k];
}

bool FixedCells::admits(int i, const double* candidate) const
{
    const size_t base = static_cast<size_t>(i) * F;
    for (int f = 0; f < F; ++f)
        if (mask[base + f] && candidate[f] != coords[base + f])
            return false;
    return true;
}

bool fixableValue(const Factor& factor, double v)
{
    if (!std::isfinite(v))
        return false;
    if (factor.kind == FactorKind::Continuous)
        return true;
    return v == std::floor(v) && levelIndex(v, factor.levelCount()) >= 0;
}

FixedCells codeFixedCells(
    const Model& model, const std::vector<double>& runs, const std::vector<char>& mask, int n)
{
    FixedCells fc;
    fc.n = n;
    fc.F = model.factorCount();
    fc.mask = mask;
    fc.coords.assign(mask.size(), 0.0);
    fc.wholeRow.assign(n, 0);
    for (int i = 0; i < n; ++i) {
        bool all = fc.F > 0;
        for (int f = 0; f < fc.F; ++f) {
            const size_t k = static_cast<size_t>(i) * fc.F + f;
            if (!mask[k]) {
                all = false;
                continue;
            }
            const Factor& fac = model.factor(f);
            fc.coords[k] = fac.kind == FactorKind::Continuous ? fac.codedValue(runs[k]) : runs[k];
        }
        fc.wholeRow[i] = all ? 1 : 0;
    }
    return fc;
}

bool Engine::fixRun(int row, const int* factors)
{
    if (row < 0 || row >= runCount_ || !model_.isBuilt())
        return false;
    const int F = model_.factorCount();
    const double* values = &runs_[static_cast<size_t>(row) * F];
    for (int f = 0; f < F; ++f)
        if ((!factors || factors[f]) && !fixableValue(model_.factor(f), values[f]))
            return false;
    fixedMask_.resize(static_cast<size_t>(runCount_) * F, 0);
    for (int f = 0; f < F; ++f)
        fixedMask_[static_cast<size_t>(row) * F + f] = (!factors || factors[f]) ? 1 : 0;
    // The search runs again on the next read unless every cell is now fixed.
    pending_ = std::find(fixedMask_.begin(), fixedMask_.end(), 0) != fixedMask_.end();
    return true;
}

} // namespace orvex
