// A cancelled design search through the engine link with the real engine. Progress and cancel of
// a running search are tested through the busy dialog (tst_busy_cancel).
#include "DoeFunctionManager.h"

#include <gtest/gtest.h>

// A cancelled design search must not stop a later regression from taking its runs.
TEST(EngineLinkSearch, RegressionSlotsIgnoreACancelledDesignSearch)
{
    doeFunc::DoeFunctionManager m;
    ASSERT_TRUE(m.isEngineLoaded());
    ASSERT_TRUE(m.createDoeObj());
    m.addContinuousFactor("A", -1.0, 1.0, -1);
    ASSERT_NE(m.creataDoeModel(2, -1), -1);
    m.generateDoeTable(4, -1);
    m.cancelGenerate();
    EXPECT_EQ(m.getVFactorByLineIdx(0, -1), nullptr);  // stopped before a start finished

    ASSERT_TRUE(m.createDoeObjMulti(1));
    m.addContinuousFactor("A", -1.0, 1.0, 0);
    ASSERT_NE(m.creataDoeModel(2, 0), -1);
    m.generateDoeTable(4, 0);
    m.setVFactorByLineIdx({"0.5"}, 0, 0);
    const double* row = m.getVFactorByLineIdx(0, 0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row[0], 0.5);
}
