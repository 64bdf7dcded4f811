// Design generation through the facade against the scripted engine, which lacks the optional
// design exports: the engine sees exactly the calls it always saw, whatever the model page holds.
#include "DoeBussinessApi.h"
#include "scripted_fixture.h"

using namespace doeBussiness;

namespace {

using Calls = std::vector<std::string>;

void addContinuous(DoeBussinessApi& api, int count)
{
    DoeDesignFactor f;
    QString err;
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(api.addFactorData(Continuous, 2, f, err));
}

int customRowCount(const DoeBussinessApi& api)
{
    int rows = -1;
    int cols = -1;
    api.getTableSizeForCustomDesign(rows, cols);
    return rows;
}

}  // namespace

TEST_F(ScriptedEngineTest, GenerationCallsStayTheSameForEveryModel)
{
    struct Case {
        const char* name;
        void (*model)(DoeBussinessApi&);
    };
    const Case cases[] = {
        {"main effects", [](DoeBussinessApi& api) { api.genModelForCustomDesign_MainEffect(); }},
        {"response surface", [](DoeBussinessApi& api) { api.genModelForCustomDesign_RSM(); }},
        {"a term naming no factor",
         [](DoeBussinessApi& api) {
             DoeDesignModel ghost(QStringList{"Ghost"}, false);
             QString err;
             api.addModelDataForCustomDesign(ghost, err);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state->reset();
        state->createModelResult = 3;
        DoeBussinessApi api;
        addContinuous(api, 2);
        c.model(api);
        QString err;
        ASSERT_TRUE(api.genDoeMinNum(err)) << err.toStdString();
        ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
        EXPECT_TRUE(err.isEmpty());
        ASSERT_EQ(state->objects.size(), 2u);
        EXPECT_EQ(state->objects[0]->calls, (Calls{"CreateDOEObj", "add1 X1", "add1 X2", "createmodel 2"}));
        EXPECT_EQ(state->objects[1]->calls,
                  (Calls{"CreateDOEObj", "add1 X1", "add1 X2", "seed 1822740228", "createmodel 2", "generate 3",
                         "Vfactor 0", "Vfactor 1", "Vfactor 2"}));
        EXPECT_EQ(customRowCount(api), 3);
        EXPECT_FALSE(api.canCancelDesign());
        EXPECT_EQ(api.designProgress(), -1.0);
    }
}

// A user-specified run count of 0: the engine is asked for 0 runs and one row is read back.
TEST_F(ScriptedEngineTest, ZeroUserRunsAskForZeroAndReadOneRow)
{
    state->createModelResult = 0;
    DoeBussinessApi api;
    addContinuous(api, 1);
    QString err;
    ASSERT_TRUE(api.genDoeMinNum(err));
    DoeDesignMakingSetting making;
    api.getDoeDesignMakingSetting(making);
    making.userSpecified = true;
    making.userSpecifiedRuns = 0;
    ASSERT_TRUE(api.setDoeDesignMakingSetting(making, err)) << err.toStdString();
    ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
    EXPECT_TRUE(err.isEmpty());
    const Calls& calls = state->objects.back()->calls;
    EXPECT_EQ(Calls(calls.end() - 2, calls.end()), (Calls{"generate 0", "Vfactor 0"}));
    EXPECT_EQ(customRowCount(api), 1);
}

// Augmenting needs the engine to keep runs fixed: without that export it is refused before any
// engine call, and the table stays as it was.
TEST_F(ScriptedEngineTest, AugmentWithoutFixedRunsIsRefused)
{
    state->createModelResult = 3;
    DoeBussinessApi api;
    addContinuous(api, 2);
    QString err;
    ASSERT_TRUE(api.genDoeMinNum(err)) << err.toStdString();
    ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
    api.genDoeTableFromCustomDesign_Preparation();
    api.genDoeTableFromCustomDesign_AfterCheck();
    ASSERT_TRUE(api.prepareAugmentDesign(err)) << err.toStdString();
    const size_t objects = state->objects.size();
    int rows = 0, cols = 0;
    api.getTableSize(rows, cols);
    EXPECT_FALSE(api.augmentDesign(4, false, err));
    EXPECT_EQ(err.toStdString(), "The design engine cannot keep runs fixed\n");
    EXPECT_EQ(state->objects.size(), objects);
    int rowsAfter = 0;
    api.getTableSize(rowsAfter, cols);
    EXPECT_EQ(rowsAfter, rows);
}
