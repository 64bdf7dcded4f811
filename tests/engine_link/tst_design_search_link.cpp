// The design search through the engine link with the real engine: the engine searches on the
// first read after generate, and its progress and cancel must reach it there.
#include "DoeFunctionManager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using doeFunc::DoeFunctionManager;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr double kSlowdown = 4.0;  // the address checker slows the search's inner loops
#else
constexpr double kSlowdown = 1.0;
#endif

// A response-surface design of `factors` continuous factors, generated but not read yet.
void generate(DoeFunctionManager& m, int factors, int runs)
{
    ASSERT_TRUE(m.createDoeObj());
    for (int f = 0; f < factors; ++f)
        m.addContinuousFactor(QString("X%1").arg(f + 1), -1.0, 1.0, -1);
    ASSERT_NE(m.creataDoeModel(2, -1), -1);
    m.generateDoeTable(runs, -1);
}

}  // namespace

TEST(EngineLinkSearch, ProgressAndCancelReachTheSearchOnTheFirstRead)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.isEngineLoaded());
    generate(m, 16, 200);
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> returned{false};
    Clock::time_point end;
    std::thread reader([&] {
        m.getVFactorByLineIdx(0, -1);
        end = Clock::now();
        returned = true;
    });
    double progress = -1.0;
    for (int i = 0; i < 5000 && !returned && progress <= 0.0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        progress = m.generateProgress();
    }
    const Clock::time_point asked = Clock::now();
    m.cancelGenerate();
    reader.join();
    EXPECT_GT(progress, 0.0) << "no progress seen while the search ran";
    EXPECT_LT(std::chrono::duration<double>(end - asked).count(), 0.2 * kSlowdown);
    EXPECT_TRUE(m.generateCancelled());
    EXPECT_EQ(m.generateProgress(), -1.0);  // nothing runs any more

    // Cancelled between generate and the first read: the search stops at once, with no rows.
    generate(m, 16, 200);
    m.cancelGenerate();
    EXPECT_EQ(m.getVFactorByLineIdx(0, -1), nullptr);
    EXPECT_EQ(m.getVFactorByLineIdx(1, -1), nullptr);
}

// A cancelled design search must not stop a later regression from taking its runs.
TEST(EngineLinkSearch, RegressionSlotsIgnoreACancelledDesignSearch)
{
    DoeFunctionManager m;
    ASSERT_TRUE(m.isEngineLoaded());
    generate(m, 2, 6);
    m.cancelGenerate();
    ASSERT_TRUE(m.createDoeObjMulti(1));
    m.addContinuousFactor("A", -1.0, 1.0, 0);
    m.addContinuousFactor("B", -1.0, 1.0, 0);
    ASSERT_NE(m.creataDoeModel(2, 0), -1);
    m.generateDoeTable(6, 0);
    m.setVFactorByLineIdx({"0.5", "-0.25"}, 0, 0);
    const double* row = m.getVFactorByLineIdx(0, 0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row[0], 0.5);
    EXPECT_EQ(row[1], -0.25);
}
