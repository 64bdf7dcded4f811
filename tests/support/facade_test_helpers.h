#pragma once
// Facade sequences that many tests need, written once.
#include "DoeBussinessApi.h"

namespace testhelp {

// "Make Table" of the custom design with the given run order (0 keeps the design's order);
// false when the invalid-row check reported rows, which are then removed as the user would see.
inline bool makeTable(doeBussiness::DoeBussinessApi& api, int runOrder, QString& err)
{
    doeBussiness::DoeDesignAfterSetting after;
    after.runOrder = runOrder;
    api.setDoeDesignAfterSetting(after, err);
    api.genDoeTableFromCustomDesign_Preparation();
    const bool ok = api.genDoeTableFromCustomDesign_CheckInvalidRow(err);
    api.genDoeTableFromCustomDesign_AfterCheck();
    return ok;
}

}  // namespace testhelp
