#include <QSet>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "DoeCommon.h"

using doeBussiness::DoeCommon;

TEST(CommonTTable, LookupRoundsLargeDegreesOfFreedomToTableKeys)
{
    double v = -1;
    ASSERT_TRUE(DoeCommon::getTDistributionValue(0.05, 45, v));
    EXPECT_DOUBLE_EQ(v, 2.021);
    ASSERT_TRUE(DoeCommon::getTDistributionValue(0.05, 46, v));
    EXPECT_DOUBLE_EQ(v, 2.009);
    const struct
    {
        unsigned df;
        double value;
    } cases[] = {{0, 12.706}, {1, 12.706}, {2, 4.303}, {40, 2.021}, {55, 2.009}, {56, 2.0},  {105, 1.984},
                 {106, 1.982}, {115, 1.982}, {116, 1.98}, {150, 1.98}, {151, 1.972}, {300, 1.972},
                 {301, 1.965}, {700, 1.965}, {701, 1.96}, {std::numeric_limits<unsigned>::max(), 1.96}};
    for (const auto& c : cases) {
        ASSERT_TRUE(DoeCommon::getTDistributionValue(0.05, c.df, v)) << c.df;
        EXPECT_DOUBLE_EQ(v, c.value) << c.df;
    }
}

TEST(CommonTTable, UnknownLevelIsRefusedAndLeavesValue)
{
    double v = 7;
    EXPECT_FALSE(DoeCommon::getTDistributionValue(0.1, 10, v));
    EXPECT_FALSE(DoeCommon::getTDistributionValue(std::nan(""), 10, v));
    EXPECT_EQ(v, 7);
}

TEST(CommonStatistics, PopulationMeanAndStd)
{
    double mean = -1, sd = -1;
    DoeCommon::calculateMeanAndStd({1, 2, 3, 4}, mean, sd);
    EXPECT_DOUBLE_EQ(mean, 2.5);
    EXPECT_NEAR(sd, 1.118034, 1e-6);
    DoeCommon::calculateMeanAndStd({}, mean, sd);
    EXPECT_EQ(mean, 0);
    EXPECT_EQ(sd, 0);
}

TEST(CommonParsing, NumbersAndEmptyTexts)
{
    double d = 0;
    EXPECT_TRUE(DoeCommon::getDoubleFromQString(QStringLiteral("2.5"), d));
    EXPECT_EQ(d, 2.5);
    EXPECT_TRUE(DoeCommon::getDoubleFromQString(QStringLiteral(" -1e3 "), d));
    EXPECT_EQ(d, -1000);
    for (const char* bad : {"", "abc", "1,5", "12a", "0x10", "1e400", "-1e400", "nan", "inf", "-inf"}) {
        EXPECT_FALSE(DoeCommon::getDoubleFromQString(QString::fromLatin1(bad), d)) << bad;
        EXPECT_FALSE(DoeCommon::isDouble(QString::fromLatin1(bad))) << bad;
    }
    EXPECT_TRUE(DoeCommon::isDoubleOrEmpty(QString()));
    EXPECT_TRUE(DoeCommon::isDoubleOrEmpty(QStringLiteral("3")));
    EXPECT_FALSE(DoeCommon::isDoubleOrEmpty(QStringLiteral("x")));
    EXPECT_TRUE(DoeCommon::isAllVectorValueEmpty({}));
    EXPECT_TRUE(DoeCommon::isAllVectorValueEmpty({QString(), QString()}));
    EXPECT_FALSE(DoeCommon::isAllVectorValueEmpty({QString(), QStringLiteral(" ")}));
}

TEST(CommonParsing, LeftAndRightInfo)
{
    double l = 99, r = 99;
    EXPECT_EQ(DoeCommon::getLeftAndRightInfo(QString(), QString(), l, r), 0);
    EXPECT_EQ(DoeCommon::getLeftAndRightInfo(QString(), QStringLiteral("5"), l, r), 1);
    EXPECT_EQ(r, 5);
    EXPECT_EQ(DoeCommon::getLeftAndRightInfo(QStringLiteral("2"), QString(), l, r), 2);
    EXPECT_EQ(l, 2);
    EXPECT_EQ(DoeCommon::getLeftAndRightInfo(QStringLiteral("-3"), QStringLiteral("4"), l, r), 3);
    EXPECT_EQ(l, -3);
    EXPECT_EQ(r, 4);
    l = r = 99;
    EXPECT_EQ(DoeCommon::getLeftAndRightInfo(QStringLiteral("x"), QString(), l, r), -1);
    EXPECT_EQ(DoeCommon::getLeftAndRightInfo(QStringLiteral("1"), QStringLiteral("y"), l, r), -1);
    EXPECT_EQ(DoeCommon::getLeftAndRightInfo(QStringLiteral("nan"), QStringLiteral("1"), l, r), -1);
    EXPECT_EQ(l, 99);
    EXPECT_EQ(r, 99);
}

TEST(CommonLists, StepListAndMinMaxCorrection)
{
    QList<double> out{42};
    DoeCommon::getStepList(0, 1, 5, out);
    EXPECT_EQ(out, (QList<double>{0, 0.25, 0.5, 0.75, 1}));
    for (int n : {1, 0, -5, std::numeric_limits<int>::min()}) {
        DoeCommon::getStepList(3, 7, n, out);
        EXPECT_EQ(out, QList<double>{3}) << n;
    }

    double lo = 5, hi = 5;
    DoeCommon::correctMinMaxValue(lo, hi, false);
    EXPECT_EQ(lo, 5);
    EXPECT_EQ(hi, 6);
    lo = hi = 5;
    DoeCommon::correctMinMaxValue(lo, hi, true);
    EXPECT_EQ(lo, 4);
    EXPECT_EQ(hi, 5);
    lo = 1, hi = 2;
    DoeCommon::correctMinMaxValue(lo, hi, true);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 2);
    const double big = std::numeric_limits<double>::max();
    lo = big, hi = 0;
    DoeCommon::correctMinMaxValue(lo, hi, true);
    EXPECT_EQ(lo, big);
    EXPECT_EQ(hi, big);
    lo = 0, hi = -big;
    DoeCommon::correctMinMaxValue(lo, hi, false);
    EXPECT_EQ(lo, -big);
    EXPECT_EQ(hi, -big);
}

TEST(CommonLists, MultisetEqualityAndDuplicates)
{
    using L = QStringList;
    EXPECT_TRUE(DoeCommon::isStringListEqual(L{"X1", "X2", "X1"}, L{"X1", "X1", "X2"}));
    EXPECT_FALSE(DoeCommon::isStringListEqual(L{"X1", "X2", "X1"}, L{"X1", "X2"}));
    EXPECT_FALSE(DoeCommon::isStringListEqual(L{"X1", "X1"}, L{"X1", "X2"}));
    EXPECT_FALSE(DoeCommon::isStringListEqual(L{"a"}, L{"A"}));
    EXPECT_TRUE(DoeCommon::isStringListEqual(L{}, L{}));
    L l{"b", "a", "b", "c", "a"};
    DoeCommon::removeListSame(l);
    EXPECT_EQ(l, (L{"b", "a", "c"}));
}

TEST(CommonLists, SortByNumberCollapsesEqualValues)
{
    QStringList l{"10", "9", "word", "0"};
    DoeCommon::sortQStringListByNumber(l);
    EXPECT_EQ(l, (QStringList{"0", "9", "10"}));
    QStringList odd{"nan", "1", "inf", "-2"};
    DoeCommon::sortQStringListByNumber(odd);
    EXPECT_EQ(odd, (QStringList{"-2", "inf", "1"}));  // texts that are no usable number count as 0
}

TEST(CommonNames, UniqueColumnNames)
{
    QVector<QString> names{QString(), "B", "B"};
    DoeCommon::correctVecRepeatedValue(names);
    EXPECT_EQ(names, (QVector<QString>{"Column_1", "B", "B_2"}));
    QVector<QString> triple{"A", "A", "A"};
    DoeCommon::correctVecRepeatedValue(triple);
    EXPECT_EQ(triple, (QVector<QString>{"A", "A_2", "A_2_2"}));
    QVector<QString> clash{"Column_2", QString()};
    DoeCommon::correctVecRepeatedValue(clash);
    EXPECT_EQ(clash, (QVector<QString>{"Column_2", "Column_2_2"}));
}

TEST(CommonNames, ManyEqualNamesStayUniqueWithoutDeepRecursion)
{
    QVector<QString> names(3000, QStringLiteral("A"));
    DoeCommon::correctVecRepeatedValue(names);
    ASSERT_EQ(names.size(), 3000);
    QSet<QString> seen(names.begin(), names.end());
    EXPECT_EQ(seen.size(), 3000);
}

TEST(CommonSampleGrid, FullGridVariesFirstFactorFastest)
{
    QVector<QList<QString>> points{{QStringLiteral("stale")}};
    DoeCommon::genSamplePointsForPredict(points, {{1, 2}, {10, 20, 30}}, 10);
    ASSERT_EQ(points.size(), 6);
    EXPECT_EQ(points[0], (QList<QString>{"1", "10"}));
    EXPECT_EQ(points[1], (QList<QString>{"2", "10"}));
    EXPECT_EQ(points[2], (QList<QString>{"1", "20"}));
    EXPECT_EQ(points[5], (QList<QString>{"2", "30"}));
    DoeCommon::genSamplePointsForPredict(points, {{1.23456789}}, 10);
    EXPECT_EQ(points, (QVector<QList<QString>>{{"1.23457"}}));
    DoeCommon::genSamplePointsForPredict(points, {{1, 2}, {}}, 10);
    EXPECT_TRUE(points.isEmpty());
}

TEST(CommonSampleGrid, LargeGridIsThinnedByBase)
{
    QVector<double> axis(400);
    for (int i = 0; i < axis.size(); ++i)
        axis[i] = i;
    QVector<QList<QString>> points;
    DoeCommon::genSamplePointsForPredict(points, {axis, axis}, 10);  // 160000 points, base^2 = 100
    ASSERT_EQ(points.size(), 1600);
    EXPECT_EQ(points[0], (QList<QString>{"0", "0"}));
    EXPECT_EQ(points[1], (QList<QString>{"10", "0"}));
    EXPECT_EQ(points[40], (QList<QString>{"0", "10"}));
    // A base that cannot thin and an astronomically large grid give no points instead of exhausting memory.
    DoeCommon::genSamplePointsForPredict(points, {axis, axis}, 1);
    EXPECT_TRUE(points.isEmpty());
    DoeCommon::genSamplePointsForPredict(points, QVector<QVector<double>>(12, axis), 2);
    EXPECT_TRUE(points.isEmpty());
    // A thinned grid larger than the full-grid limit is still made: 100^3 / 2^3 points.
    DoeCommon::genSamplePointsForPredict(points, QVector<QVector<double>>(3, axis.mid(0, 100)), 2);
    ASSERT_EQ(points.size(), 125000);
    EXPECT_EQ(points[1], (QList<QString>{"2", "0", "0"}));
}

TEST(CommonRandom, RangesAndDegenerateArguments)
{
    for (int i = 0; i < 10000; ++i) {
        const double u = DoeCommon::random_uniform(-2, 3);
        ASSERT_GE(u, -2);
        ASSERT_LT(u, 3);
    }
    EXPECT_EQ(DoeCommon::random_normal(3, 0), 3);
    EXPECT_EQ(DoeCommon::random_normal(3, -1), 3);
    EXPECT_TRUE(std::isnan(DoeCommon::random_t(0)));
    EXPECT_TRUE(std::isnan(DoeCommon::random_t(-3)));
    EXPECT_TRUE(std::isnan(DoeCommon::random_t(std::nan(""))));
    EXPECT_EQ(DoeCommon::random_discrete({}), -1);
    EXPECT_EQ(DoeCommon::random_discrete({0, 0, 5}), 2);
    EXPECT_EQ(DoeCommon::random_discrete({-1, 2, std::nan("")}), 1);
    const int any = DoeCommon::random_discrete({0, 0, 0});
    EXPECT_TRUE(any >= 0 && any < 3);
}

TEST(CommonRandom, MomentsMatchTheDistributions)
{
    const int n = 200000;
    QVector<double> normal(n), t(n), uniform(n);
    for (int i = 0; i < n; ++i) {
        normal[i] = DoeCommon::random_normal(5, 2);
        t[i] = DoeCommon::random_t(10);
        uniform[i] = DoeCommon::random_uniform(0, 1);
    }
    double m = 0, s = 0;
    DoeCommon::calculateMeanAndStd(normal, m, s);
    EXPECT_NEAR(m, 5, 0.03);
    EXPECT_NEAR(s, 2, 0.03);
    DoeCommon::calculateMeanAndStd(t, m, s);
    EXPECT_NEAR(m, 0, 0.02);
    EXPECT_NEAR(s, std::sqrt(10.0 / 8.0), 0.03);  // variance df / (df - 2)
    DoeCommon::calculateMeanAndStd(uniform, m, s);
    EXPECT_NEAR(m, 0.5, 0.01);
    EXPECT_NEAR(s, std::sqrt(1.0 / 12.0), 0.01);

    std::vector<int> counts(3, 0);
    for (int i = 0; i < 60000; ++i)
        ++counts[static_cast<size_t>(DoeCommon::random_discrete({1, 2, 3}))];
    EXPECT_NEAR(counts[0] / 60000.0, 1 / 6.0, 0.01);
    EXPECT_NEAR(counts[2] / 60000.0, 0.5, 0.01);
}

TEST(CommonRandom, NotReproducibleAndIndependentPerThread)
{
    // Two draws of 53-bit doubles coinciding would point at a shared or re-seeded generator.
    EXPECT_NE(DoeCommon::random_uniform(0, 1), DoeCommon::random_uniform(0, 1));
    std::vector<double> first(4), second(4);
    std::thread a([&] {
        for (double& v : first)
            v = DoeCommon::random_normal(0, 1);
    });
    std::thread b([&] {
        for (double& v : second)
            v = DoeCommon::random_normal(0, 1);
    });
    a.join();
    b.join();
    EXPECT_NE(first, second);
}

TEST(CommonTTable, ConcurrentFirstUseIsSafe)
{
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            double v = 0;
            if (DoeCommon::getTDistributionValue(0.05, 10, v) && v == 2.228)
                ++good;
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(good.load(), 4);
}
