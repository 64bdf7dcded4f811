// Stepwise settings, the step rules through the facade and the real engine, and reading the
// step results while another thread steps the same slot.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "DoeStepwiseSetting.h"
#include "tst_regression_support.h"

using namespace analysis_test;
using doeBussiness::DoeFitModel_Stepwise_Setting;

namespace {

// Five factors in [-1, 1]: the full quadratic model has 20 candidate terms; y uses four of them.
const QStringList kFactors{"A", "B", "C", "D", "E"};
const QSet<QString> kTrueTerms{"A", "C", "A*B", "D*D"};

QVector<QStringList> sparseRows(int n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::normal_distribution<double> noise(0.0, 0.05);
    QVector<QStringList> rows;
    for (int i = 0; i < n; ++i) {
        double x[5];
        QStringList cells;
        for (double& v : x) {
            v = i == 0 ? -1.0 : i == 1 ? 1.0 : u(gen);  // first rows fix the column ranges
            cells << QString::number(v, 'g', 12);
        }
        const double y = 1 + 3 * x[0] - 2 * x[2] + 2.5 * x[0] * x[1] + 1.5 * x[3] * x[3] + noise(gen);
        cells << QString::number(y, 'g', 12);
        rows.append(cells);
    }
    return rows;
}

struct TermState
{
    QVector<QPair<int, int>> flags;
    QVector<double> probF;
};

TermState state(DoeBussinessApi& api)
{
    TermState s;
    api.getMFInfo(s.flags, 0);
    for (int i = 0; i < s.flags.size(); ++i) {
        double est, ss, f, p = NAN;
        int ndf;
        api.getStepwiseParameter(i, est, ndf, ss, f, p, 0);
        s.probF.append(p);
    }
    return s;
}

// The term a forward (or backward) step must choose from the current statistics, or -1.
int expectedChoice(const TermState& s, bool forward, double threshold)
{
    int best = -1;
    double bestP = forward ? 1.0 : -1.0;
    for (int i = 1; i < s.flags.size(); ++i) {
        if (s.flags[i].second || (s.flags[i].first != 0) == forward)
            continue;
        if (forward ? s.probF[i] < bestP : s.probF[i] > bestP) {
            bestP = s.probF[i];
            best = i;
        }
    }
    if (best < 0)
        return -1;
    return (forward ? threshold > bestP : bestP > threshold) ? best : -1;
}

class StepwiseFacade : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;

    void SetUp() override
    {
        QStringList header = kFactors;
        header << "Y";
        ASSERT_TRUE(prepare(api, dir, header, sparseRows(40, 7), "Y", kFactors, err))
            << err.toStdString();
    }
    void setDirection(int direction, double pEnter, double pLeave)
    {
        DoeFitModel_Stepwise_Setting s;
        s.direction = direction;
        s.probToEnter = pEnter;
        s.probToLeave = pLeave;
        ASSERT_TRUE(api.setFitModel_Stepwise_Setting(s, 0, err)) << err.toStdString();
    }
};

}  // namespace

TEST(StepwiseSetting, ValidationOrderAndBounds)
{
    DoeFitModel_Stepwise_Setting s;
    EXPECT_TRUE(stepwiseSettingError(s).isEmpty());
    s.probToEnter = 1.0;
    s.probToLeave = 0.0;
    EXPECT_TRUE(stepwiseSettingError(s).isEmpty());
    s.direction = 3;
    s.probToEnter = 2;  // the direction is reported first
    EXPECT_EQ(stepwiseSettingError(s), "Invalid stepwise direction\n");
    s = {};
    s.stoppingRule = -1;
    EXPECT_EQ(stepwiseSettingError(s), "Invalid stepwise stopping rule\n");
    s = {};
    s.rules = 4;
    EXPECT_EQ(stepwiseSettingError(s), "Invalid stepwise rules\n");
    s = {};
    s.probToEnter = NAN;
    EXPECT_EQ(stepwiseSettingError(s), "Invalid stepwise p value to enter\n");
    s = {};
    s.probToLeave = 1.01;
    EXPECT_EQ(stepwiseSettingError(s), "Invalid stepwise p value to leave\n");
}

TEST_F(StepwiseFacade, SettingsAreStoredPerSlotAndRefusalsShowTheStoredRecord)
{
    DoeFitModel_Stepwise_Setting s;
    s.direction = 2;
    s.probToEnter = 0.1;
    EXPECT_TRUE(api.setFitModel_Stepwise_Setting(s, 0, err));
    DoeFitModel_Stepwise_Setting bad = s;
    bad.direction = 3;
    EXPECT_FALSE(api.setFitModel_Stepwise_Setting(bad, 0, err));
    EXPECT_EQ(err, "Invalid stepwise direction\n");
    EXPECT_EQ(bad, s);
    err.clear();
    bad.direction = 1;
    EXPECT_FALSE(api.setFitModel_Stepwise_Setting(bad, 1, err));
    EXPECT_EQ(err, "Invalid index\n");
    EXPECT_EQ(bad, DoeFitModel_Stepwise_Setting());
    DoeFitModel_Stepwise_Setting read;
    api.getFitModel_Stepwise_Setting(read, 0);
    EXPECT_EQ(read, s);
    read.rules = 3;
    api.getFitModel_Stepwise_Setting(read, 5);  // outside: unchanged
    EXPECT_EQ(read.rules, 3);
}

TEST_F(StepwiseFacade, ForwardFromTheInterceptEntersTheTrueTermsFirst)
{
    EXPECT_TRUE(enteredNames(api).isEmpty());
    setDirection(0, 0.25, 0.25);
    for (int step = 0; step < 4; ++step) {
        const TermState before = state(api);
        const int choice = expectedChoice(before, true, 0.25);
        ASSERT_TRUE(api.stepwiseStepCombine(0)) << step;
        EXPECT_EQ(state(api).flags[choice].first, 1) << step;
    }
    EXPECT_EQ(enteredNames(api), kTrueTerms);
    double sse, rmse, r2, r2a, cp, aicc, bicc;
    int dfe, p;
    api.getStepResult(sse, dfe, rmse, r2, r2a, p, cp, aicc, bicc, 0);
    EXPECT_EQ(p, 5);
    EXPECT_EQ(dfe, 35);
    EXPECT_GT(r2, 0.99);
}

TEST_F(StepwiseFacade, LockedBestCandidateIsPassedOver)
{
    TermState s = state(api);
    const int best = expectedChoice(s, true, 1.0);
    ASSERT_GT(best, 0);
    s.flags[best].second = 1;  // locked, not entered
    api.setMFInfo(s.flags, 0);
    s = state(api);
    const int next = expectedChoice(s, true, 1.0);
    ASSERT_NE(next, best);
    EXPECT_TRUE(api.stepwiseStepCombineDoSingle(true, 0));
    s = state(api);
    EXPECT_EQ(s.flags[best].first, 0);
    EXPECT_EQ(s.flags[next].first, 1);

    // Locked and entered: a backward step leaves it in even when it is the worst term.
    enter(api);
    s = state(api);
    for (int i = 1; i < s.flags.size(); ++i)
        s.flags[i].second = 0;
    api.setMFInfo(s.flags, 0);
    s = state(api);
    const int worst = expectedChoice(s, false, 0.0);
    s.flags[worst].second = 1;
    api.setMFInfo(s.flags, 0);
    EXPECT_TRUE(api.stepwiseStepCombineDoSingle(false, 0));
    EXPECT_EQ(state(api).flags[worst].first, 1);
}

TEST_F(StepwiseFacade, BackwardAndMixedFollowTheirRules)
{
    enter(api);
    setDirection(1, 0.25, 0.05);
    int steps = 0;
    for (;;) {
        const TermState before = state(api);
        const int choice = expectedChoice(before, false, 0.05);
        const bool changed = api.stepwiseStepCombine(0);
        EXPECT_EQ(changed, choice >= 0);
        if (!changed)
            break;
        EXPECT_EQ(state(api).flags[choice].first, 0);
        ASSERT_LT(++steps, 21);
    }
    EXPECT_TRUE(enteredNames(api).contains(kTrueTerms));
    EXPECT_GE(steps, 10);

    // Mixed: removes first when a term exceeds the leave threshold, otherwise enters.
    enter(api, {"A", "C", "A*B", "D*D", "E*E"});
    setDirection(2, 0.25, 0.0001);
    TermState before = state(api);
    int leave = expectedChoice(before, false, 0.0001);
    ASSERT_GE(leave, 0);
    EXPECT_TRUE(api.stepwiseStepCombine(0));
    EXPECT_EQ(state(api).flags[leave].first, 0);

    setDirection(2, 1.0, 1.0);  // nothing can leave: a term enters
    before = state(api);
    ASSERT_EQ(expectedChoice(before, false, 1.0), -1);
    const int entering = expectedChoice(before, true, 1.0);
    EXPECT_TRUE(api.stepwiseStepCombine(0));
    EXPECT_EQ(state(api).flags[entering].first, 1);

    // No candidate meets its threshold: false, but the step results still describe the terms.
    setDirection(0, 0.0, 0.0);
    const QSet<QString> now = enteredNames(api);
    EXPECT_FALSE(api.stepwiseStepCombine(0));
    EXPECT_EQ(enteredNames(api), now);
}

// A worker steps to the end while this thread keeps reading: every read is a complete record.
TEST_F(StepwiseFacade, ReadingWhileAnotherThreadStepsIsConsistent)
{
    setDirection(0, 0.99, 0.99);
    // A plain thread: its start and join are visible to the race detector, unlike the thread
    // pool of an uninstrumented Qt, which the window itself uses.
    std::atomic<bool> done{false};
    int steps = 0;
    std::thread task([this, &done, &steps] {
        while (api.stepwiseStepCombine(0))
            ++steps;
        done = true;
    });
    int reads = 0;
    while (!done || reads < 50) {
        double sse, rmse, r2, r2a, cp, aicc, bicc;
        int dfe = -1, p = -1;
        api.getStepResult(sse, dfe, rmse, r2, r2a, p, cp, aicc, bicc, 0);
        QVector<QPair<int, int>> flags;
        api.getMFInfo(flags, 0);
        QVector<QString> params;
        api.getSaveParamName(params, 0);
        // Within one record the step statistics agree with each other and the flags cover every
        // parameter.
        const bool whole = p + dfe == 40 && p >= 1 && flags.size() == params.size();
        EXPECT_TRUE(whole) << p << " " << dfe << " " << flags.size();
        ++reads;
        if (!whole)
            break;
        if (done && reads >= 50)
            break;
    }
    task.join();
    EXPECT_GE(steps, 4);
    double sse, rmse, r2, r2a, cp, aicc, bicc;
    int dfe = -1, p = -1;
    api.getStepResult(sse, dfe, rmse, r2, r2a, p, cp, aicc, bicc, 0);
    EXPECT_EQ(p, enteredNames(api).size() + 1);
}

TEST(StepwiseSnapshotStore, PublishedRecordsAreReadWhole)
{
    doeBussiness::DoeStepwiseSnapshotStore store;
    std::thread writer([&store] {
        for (int i = 0; i < 20000; ++i) {
            auto s = std::make_shared<doeBussiness::DoeStepwiseSnapshot>();
            s->sse = i;
            s->dfe = i;
            s->flags.fill(qMakePair(i, i), 8);
            store.publish(0, std::move(s));
        }
    });
    int seen = 0;
    for (int k = 0; k < 20000; ++k) {
        const auto s = store.get(0);
        if (!s)
            continue;
        ++seen;
        ASSERT_EQ(s->sse, s->dfe);
        ASSERT_EQ(s->flags.size(), 8);
        ASSERT_EQ(s->flags[7].first, s->dfe);
    }
    writer.join();
    EXPECT_EQ(store.get(0)->dfe, 19999);
    EXPECT_FALSE(store.get(1));
    EXPECT_FALSE(store.get(-1));
    doeBussiness::DoeStepwiseSnapshotStore copy = store;
    store.clear();
    EXPECT_EQ(copy.get(0)->dfe, 19999);
    EXPECT_FALSE(store.get(0));
}
