// Sensitivity analysis through the facade, on models fitted exactly to known polynomials whose
// Sobol indices are worked out here for factors uniform on their bounds.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "tst_regression_support.h"

using namespace analysis_test;

namespace {

// y = 1 + a + 2 b + 0.5 c + 1.5 a b + 0.5 c², a, b, c uniform on [-1, 1].
double poly(double a, double b, double c)
{
    return 1 + a + 2 * b + 0.5 * c + 1.5 * a * b + 0.5 * c * c;
}

class SensitivityFacade : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;

    void fit(const QStringList& header, const QVector<QStringList>& rows, const QStringList& factors)
    {
        ASSERT_TRUE(prepare(api, dir, header, rows, "Y", factors, err)) << err.toStdString();
        enter(api);
        ASSERT_TRUE(api.runModel(0));
    }
};

}  // namespace

TEST_F(SensitivityFacade, IndicesOfAKnownPolynomial)
{
    std::mt19937 gen(11);
    std::uniform_real_distribution<double> u(-1, 1);
    QVector<QStringList> rows;
    for (int i = 0; i < 30; ++i) {
        const double a = i == 0 ? -1 : i == 1 ? 1 : u(gen);
        const double b = i == 0 ? -1 : i == 1 ? 1 : u(gen);
        const double c = i == 0 ? -1 : i == 1 ? 1 : u(gen);
        rows.append({QString::number(a, 'g', 15), QString::number(b, 'g', 15),
                     QString::number(c, 'g', 15), QString::number(poly(a, b, c), 'g', 15)});
    }
    fit({"a", "b", "c", "Y"}, rows, {"a", "b", "c"});

    // Var(x) = 1/3, Var(x y) = 1/9, Var(x²) = 4/45 for independent uniforms on [-1, 1].
    const double va = 1.0 / 3, vb = 4.0 / 3, vc = 0.25 / 3 + 0.25 * 4.0 / 45, vab = 2.25 / 9;
    const double v = va + vb + vc + vab;
    const double s1[] = {va / v, vb / v, vc / v};
    const double st[] = {(va + vab) / v, (vb + vab) / v, vc / v};

    QList<QString> names;
    QList<double> first, total;
    ASSERT_TRUE(api.doSensitivityAnalysis_eFast(1000, 4, names, first, total, 0, err))
        << err.toStdString();
    EXPECT_EQ(names, (QList<QString>{"a", "b", "c"}));
    ASSERT_EQ(first.size(), 3);
    ASSERT_EQ(total.size(), 3);
    for (int i = 0; i < 3; ++i) {
        std::printf("%s: first order %.4f (analytical %.4f), total %.4f (analytical %.4f)\n",
                    qPrintable(names[i]), first[i], s1[i], total[i], st[i]);
        EXPECT_NEAR(first[i], s1[i], 0.02) << i;
        EXPECT_NEAR(total[i], st[i], 0.02) << i;
    }

    // A second run draws new phases: close, but not the same numbers.
    QList<QString> names2;
    QList<double> first2, total2;
    ASSERT_TRUE(api.doSensitivityAnalysis_eFast(1000, 4, names2, first2, total2, 0, err));
    EXPECT_NE(first, first2);
    EXPECT_NEAR(first2[1], s1[1], 0.02);

    // N = 4 M² is refused; the output lists stay as they were.
    EXPECT_FALSE(api.doSensitivityAnalysis_eFast(64, 4, names2, first2, total2, 0, err));
    EXPECT_EQ(err, "eFast invalid input params!\n");
    EXPECT_EQ(names2.size(), 3);
}

TEST_F(SensitivityFacade, ConstantModelAndLevelFactorsFail)
{
    QVector<QStringList> rows;
    for (int i = 0; i < 8; ++i)
        rows.append({QString::number(-1 + 2.0 * i / 7), "5"});
    fit({"a", "Y"}, rows, {"a"});
    QList<QString> names;
    QList<double> first, total;
    EXPECT_FALSE(api.doSensitivityAnalysis_eFast(1000, 4, names, first, total, 0, err));
    EXPECT_EQ(err, "calculate error.\neFast calculate Failed!\n");
    EXPECT_TRUE(names.isEmpty());

    QTemporaryDir dir2;
    DoeBussinessApi api2;
    QString err2;
    QVector<QStringList> rows2;
    for (int i = 0; i < 9; ++i)
        rows2.append({QString("L%1").arg(i % 3), QString::number(i * 0.1), QString::number(i)});
    ASSERT_TRUE(prepare(api2, dir2, {"k", "a", "Y"}, rows2, "Y", {"k", "a"}, err2)) << err2.toStdString();
    EXPECT_FALSE(api2.doSensitivityAnalysis_eFast(1000, 4, names, first, total, 0, err2));
    EXPECT_EQ(err2, "Not continous factor\n");
}
