#pragma once
// The run structure a design is made for: whole plots for hard-to-change factors, whole-whole
// plots for very hard ones, fixed blocks, and the whole-plot to residual variance ratio.
#include "plan_core_global.h"

struct PLAN_CORE_EXPORT DoeDesignStructureSetting
{
    int wholePlots = -1;       // -1: the engine's proposal
    int wholeWholePlots = -1;  // -1: the engine's proposal
    int blocks = 1;            // 1: no blocks
    double varianceRatio = 1.0;

    bool operator==(const DoeDesignStructureSetting& o) const
    {
        return wholePlots == o.wholePlots && wholeWholePlots == o.wholeWholePlots && blocks == o.blocks
            && varianceRatio == o.varianceRatio;
    }
    bool operator!=(const DoeDesignStructureSetting& o) const { return !(*this == o); }
};
