// Design generation through the facade against a scripted engine that offers the optional design
// exports: the model terms with their Necessary flags and the criterion reach it before the model
// is built, a term naming no factor is refused, a running search reports progress and stops, and
// a search too large for the machine is refused.
#include "DoeBussinessApi.h"
#include "DoeFunctionManager.h"
#include "scripted_fixture.h"

#include <algorithm>
#include <thread>

using namespace doeBussiness;

namespace {

using Calls = std::vector<std::string>;

FakeSearchState* searchState()
{
    static QLibrary* library = [] {
        auto* lib = new QLibrary(QCoreApplication::applicationDirPath() + QStringLiteral("/Orvex"));
        lib->load();
        return lib;
    }();
    auto fn = reinterpret_cast<FakeSearchStateFn>(library->resolve("fake_search_state"));
    return fn ? fn() : nullptr;
}

// Factors X1 (continuous), X2 (categorical, three levels), X3 (continuous).
void addFactors(DoeBussinessApi& api)
{
    DoeDesignFactor f;
    QString err;
    ASSERT_TRUE(api.addFactorData(Continuous, 2, f, err));
    ASSERT_TRUE(api.addFactorData(Categorical, 3, f, err));
    ASSERT_TRUE(api.addFactorData(Continuous, 2, f, err));
}

void setModel(DoeBussinessApi& api, const QList<DoeDesignModel>& terms)
{
    api.clearModelDataForCustomDesign();
    QString err;
    DoeDesignModel intercept = DoeDesignModel::intercept();
    ASSERT_TRUE(api.addModelInterceptDataForCustomDesign(intercept, err));
    for (DoeDesignModel t : terms)
        ASSERT_TRUE(api.addModelDataForCustomDesign(t, err)) << err.toStdString();
}

void setCriterion(DoeBussinessApi& api, int criterion)
{
    DoeDesignGeneralSetting g;
    api.getDoeDesignGeneralSetting(g);
    g.optimalityCriterion = criterion;
    QString err;
    ASSERT_TRUE(api.setDoeDesignGeneralSetting(g, err));
}

DoeDesignModel term(const QStringList& names, bool necessary = true)
{
    return DoeDesignModel(names, necessary);
}

class OptionalEngineTest : public ScriptedEngineTest
{
protected:
    void SetUp() override
    {
        ScriptedEngineTest::SetUp();
        search = searchState();
        ASSERT_NE(search, nullptr);
        search->reset();
    }
    FakeSearchState* search = nullptr;
};

}  // namespace

TEST_F(OptionalEngineTest, TermsFlagsAndCriterionReachTheEngineBeforeTheModel)
{
    struct Case {
        const char* name;
        QList<DoeDesignModel> terms;
        int optimality;  // wizard: 0 "Recommended", 1 "Option 1"
        std::vector<std::vector<int>> powers;
        std::vector<int> necessary;
        int criterion;  // engine: 0 D-optimal, 1 I-optimal
    };
    const QList<DoeDesignModel> mainEffects = {term({"X1"}), term({"X2"}), term({"X3"})};
    const std::vector<std::vector<int>> mainPowers = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const Case cases[] = {
        {"main effects, Option 1", mainEffects, 1, mainPowers, {1, 1, 1}, 0},
        {"main effects, Recommended: D-optimal", mainEffects, 0, mainPowers, {1, 1, 1}, 0},
        {"square and If Possible product, Recommended: I-optimal",
         {term({"X1"}), term({"X3", "X1"}, false), term({"X1", "X1"})}, 0,
         {{1, 0, 0}, {1, 0, 1}, {2, 0, 0}}, {1, 0, 1}, 1},
        {"square, Option 1: D-optimal", {term({"X3", "X3"})}, 1, {{0, 0, 2}}, {1}, 0},
        {"categorical square is no square", {term({"X2", "X2"})}, 0, {{0, 2, 0}}, {1}, 0},
        {"cube of a continuous factor, Recommended: I-optimal", {term({"X1", "X1", "X1"})}, 0, {{3, 0, 0}}, {1}, 1},
        {"intercept alone clears the terms", {}, 1, {}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state->reset();
        state->createModelResult = 4;
        DoeBussinessApi api;
        addFactors(api);
        setModel(api, c.terms);
        setCriterion(api, c.optimality);
        QString err;
        ASSERT_TRUE(api.genDoeMinNum(err)) << err.toStdString();
        ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
        ASSERT_EQ(state->objects.size(), 2u);
        const std::string setTerms = "setmodelterms " + std::to_string(c.powers.size());
        const std::string setCrit = "setcriterion " + std::to_string(c.criterion);
        EXPECT_EQ(state->objects[0]->calls,
                  (Calls{"CreateDOEObj", "add1 X1", "add2 X2", "add1 X3", setTerms, setCrit, "createmodel 2"}));
        EXPECT_EQ(Calls(state->objects[1]->calls.begin(), state->objects[1]->calls.begin() + 8),
                  (Calls{"CreateDOEObj", "add1 X1", "add2 X2", "add1 X3", setTerms, setCrit, "seed 1822740228",
                         "createmodel 2"}));
        for (const auto& o : state->objects) {
            EXPECT_EQ(o->termPowers, c.powers);
            EXPECT_EQ(o->termNecessary, c.necessary);
            EXPECT_EQ(o->criterion, c.criterion);
        }
    }
}

TEST_F(OptionalEngineTest, TermNamingNoFactorIsAFactorError)
{
    DoeBussinessApi api;
    addFactors(api);
    setModel(api, {term({"X1"}), term({"X1", "Gone"})});
    QString err;
    EXPECT_FALSE(api.genDoeMinNum(err));
    EXPECT_EQ(err, "Factor error\n");
    err.clear();
    EXPECT_FALSE(api.genDoeTableForCustomDesign(err));
    EXPECT_EQ(err, "Factor error\n");
    for (const auto& o : state->objects)
        EXPECT_EQ(std::count(o->calls.begin(), o->calls.end(), "createmodel 2"), 0);
}

// A search stopped from another thread keeps the design the engine kept, or leaves none and says so.
TEST_F(OptionalEngineTest, CancelFromAnotherThreadKeepsTheBestDesignOrNone)
{
    for (bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "design kept" : "nothing kept");
        state->reset();
        search->reset();
        search->block = true;
        search->keepRunsOnCancel = keep;
        state->createModelResult = 4;
        DoeBussinessApi api;
        addFactors(api);
        QString err;
        ASSERT_TRUE(api.genDoeMinNum(err));
        ASSERT_TRUE(api.canCancelDesign());
        bool made = false;
        std::thread worker([&] { made = api.genDoeTableForCustomDesign(err); });
        for (int i = 0; i < 2000 && !search->generating; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(search->generating);
        EXPECT_EQ(api.designProgress(), 0.25);
        api.cancelDesign();
        worker.join();
        EXPECT_GE(search->cancelCalls, 1);  // asked again when the first row is read
        EXPECT_TRUE(api.designCancelled());
        EXPECT_EQ(api.designProgress(), -1.0);  // no search running
        int rows = -1;
        int cols = -1;
        api.getTableSizeForCustomDesign(rows, cols);
        EXPECT_EQ(made, keep);
        EXPECT_EQ(rows, keep ? 4 : 0);
        EXPECT_EQ(err, keep ? QString() : QString("Design search cancelled before a design was found\n"));
    }
}

// A search that would need more than half of the machine's memory, or more runs than the engine
// makes, is refused before the engine is asked for it, with the figures in the message.
TEST_F(OptionalEngineTest, SearchTooLargeForTheMachineIsRefusedBeforeItStarts)
{
    const double gib = 1024.0 * 1024.0 * 1024.0;
    const double machine = doeFunc::DoeFunctionManager::physicalMemory();
    ASSERT_GT(machine, 0.0);
    const QString has = QString::number(machine / gib, 'f', 1);
    struct Case {
        const char* name;
        int runs;
        double bytesPerRun;
        QString message;  // empty: the design is made
    };
    const Case cases[] = {
        {"a quarter of the machine", 4, machine / 16, {}},
        {"a pebibyte", 4, 256.0 * 1024 * gib,
         "The design search needs about 1048576.0 GiB of memory; this machine has " + has + " GiB\n"},
        {"more runs than the engine makes", 1000001, 0.0, "The design search takes at most 1000000 runs\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        state->reset();
        search->reset();
        search->bytesPerRun = c.bytesPerRun;
        state->createModelResult = 4;
        DoeBussinessApi api;
        addFactors(api);
        QString err;
        ASSERT_TRUE(api.genDoeMinNum(err));
        DoeDesignMakingSetting making;
        api.getDoeDesignMakingSetting(making);
        making.userSpecified = true;
        making.userSpecifiedRuns = c.runs;
        ASSERT_TRUE(api.setDoeDesignMakingSetting(making, err));
        EXPECT_EQ(api.genDoeTableForCustomDesign(err), c.message.isEmpty());
        EXPECT_EQ(err, c.message);
        const Calls& calls = state->objects.back()->calls;
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "generate " + std::to_string(c.runs)),
                  c.message.isEmpty() ? 1 : 0);
    }
}
