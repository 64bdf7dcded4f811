// Sensitivity analysis against closed-form models: frequencies, the fast spectrum against a direct
// transform, accuracy against exact indices, repeated use, and models without variance.
#include "DoeAlgorithmManager.h"
#include "DoeAlgorithm_Sensivity_eFast.h"
#include "DoeFunctionManager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

using doeAlgorithm::DoeAlgorithmManager;
using doeAlgorithm::DoeAlgorithm_Sensivity_eFast;
namespace efast = doeAlgorithm::efast;

namespace {

enum ModelKind { Polynomial = 1, Constant = 2, LargeConstant = 3, InfiniteAbove = 4, FirstFactor = 5,
                 NotANumber = 6 };

// Engine link holding one fitted-model slot whose prediction is the chosen closed-form model.
struct ModelLink {
    explicit ModelLink(int kind, int factors)
    {
        EXPECT_TRUE(link.isEngineLoaded()) << "the model engine is missing beside the test";
        EXPECT_TRUE(link.createDoeObjMulti(1));
        link.creataDoeModel(kind, 0);
        QVector<QString> names;
        for (int i = 0; i < factors; ++i)
            names.append(QStringLiteral("X%1").arg(i + 1));
        link.initRegressionBaseData(names, QVector<int>(factors, 1), QVector<int>(factors, 0),
                                    QVector<QVector<QString>>(factors),
                                    QVector<QVector<double>>(factors), 0);
    }
    doeFunc::DoeFunctionManager link;
};

// f = x1 + 0.5 x2 + 1.5 x1 x3 + 2 x3², x1 and x3 uniform on [-1, 1], x2 on [2, 6]: the parts
// x1, x2, x1·x3 and x3² are uncorrelated with variances 1/3, 1/3, 1/4 and 16/45. (Three factors
// keep the low search frequencies, 7 and 15, free of shared harmonics.)
const QList<QPair<double, double>> kPolynomialBounds{{-1, 1}, {2, 6}, {-1, 1}};
constexpr double kV1 = 1.0 / 3.0, kV2 = 1.0 / 3.0, kV13 = 0.25, kV33 = 16.0 / 45.0;
constexpr double kTotal = kV1 + kV2 + kV13 + kV33;
const QVector<double> kFirst{kV1 / kTotal, kV2 / kTotal, kV33 / kTotal};
const QVector<double> kTotalIdx{(kV1 + kV13) / kTotal, kV2 / kTotal, (kV13 + kV33) / kTotal};

void expectNear(const QVector<double>& got, const QVector<double>& want, double tol)
{
    ASSERT_EQ(got.size(), want.size());
    for (int i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], tol) << "factor " << i;
}

std::vector<double> directPower(const std::vector<double>& y)
{
    const int n = static_cast<int>(y.size());
    std::vector<double> power(static_cast<size_t>(n / 2 + 1));
    for (int f = 0; f <= n / 2; ++f) {
        std::complex<double> sum = 0.0;
        for (int k = 0; k < n; ++k) {
            const double angle = -2.0 * M_PI * f * static_cast<double>(k) / n;
            sum += y[static_cast<size_t>(k)] * std::polar(1.0, angle);
        }
        power[static_cast<size_t>(f)] = std::norm(sum) / (static_cast<double>(n) * n);
    }
    return power;
}

}  // namespace

TEST(EfastFrequencies, FollowTheSampleSizeAndInterference)
{
    EXPECT_FALSE(efast::validSampleParameters(64, 4));  // exactly 4·M² is refused
    EXPECT_TRUE(efast::validSampleParameters(65, 4));
    EXPECT_FALSE(efast::validSampleParameters(0, 1));
    EXPECT_FALSE(efast::validSampleParameters(100, 0));
    EXPECT_FALSE(efast::validSampleParameters(100, -2));
    EXPECT_FALSE(efast::validSampleParameters(2000000000, 50000));  // 4·M² beyond int

    const efast::Frequencies small = efast::frequencies(65, 4, 2);
    EXPECT_EQ(small.omega0, 8);
    EXPECT_EQ(small.others, QVector<int>{1});

    const efast::Frequencies three = efast::frequencies(1000, 4, 3);
    EXPECT_EQ(three.omega0, 124);
    EXPECT_EQ(three.others, (QVector<int>{7, 15}));

    // Fewer distinct low frequencies than factors: they cycle through 1 .. 15.
    const efast::Frequencies many = efast::frequencies(1000, 4, 20);
    ASSERT_EQ(many.others.size(), 19);
    for (int i = 1; i < 20; ++i)
        EXPECT_EQ(many.others[i - 1], (i % 15) + 1);

    EXPECT_TRUE(efast::frequencies(1000, 4, 1).others.isEmpty());
}

TEST(EfastSpectrum, MatchesADirectTransformForAnyLength)
{
    std::mt19937 engine(7);
    std::normal_distribution<double> normal(3.0, 2.0);
    for (int n : {1, 2, 6, 97, 997, 1000, 1024}) {
        std::vector<double> y(static_cast<size_t>(n));
        for (double& v : y)
            v = normal(engine);
        efast::RealSpectrum fast(n);
        ASSERT_TRUE(fast.isValid());
        QVector<double> power;
        fast.compute(y.data(), power);
        const std::vector<double> direct = directPower(y);
        ASSERT_EQ(power.size(), static_cast<int>(direct.size())) << "n = " << n;
        for (size_t f = 0; f < direct.size(); ++f)
            EXPECT_NEAR(power[static_cast<int>(f)], direct[f], 1e-9) << "n = " << n << ", f = " << f;
    }
    EXPECT_FALSE(efast::RealSpectrum(0).isValid());
}

TEST(EfastAnalysis, RecoversTheExactIndicesOfAPolynomial)
{
    ModelLink model(Polynomial, 3);
    DoeAlgorithmManager manager;
    QString err;
    ASSERT_TRUE(manager.setSensitivityProblem(1, kPolynomialBounds, err));
    manager.setRegressionFuncAndIdx(&model.link, 0);  // lent after the problem: still used
    QVector<double> s1, st;
    ASSERT_TRUE(manager.doSensitivityAnalysis_eFast(1000, 4, s1, st, err)) << err.toStdString();
    EXPECT_TRUE(err.isEmpty());
    expectNear(s1, kFirst, 0.02);
    expectNear(st, kTotalIdx, 0.02);
}

TEST(EfastAnalysis, RepeatedRunsAnalyseTheirOwnSamples)
{
    ModelLink model(Polynomial, 3);
    DoeAlgorithmManager manager;
    manager.setRegressionFuncAndIdx(&model.link, 0);
    QString err;
    ASSERT_TRUE(manager.setSensitivityProblem(1, kPolynomialBounds, err));

    QVector<double> s1a, sta, ya, s1b, stb, yb;
    ASSERT_TRUE(manager.doSensitivityAnalysis_eFast(1000, 4, s1a, sta, err));
    manager.getPreY(ya);
    ASSERT_TRUE(manager.doSensitivityAnalysis_eFast(1000, 4, s1b, stb, err));
    manager.getPreY(yb);

    EXPECT_EQ(ya.size(), 3 * 1000);
    EXPECT_EQ(yb.size(), 3 * 1000);
    EXPECT_NE(ya, yb);  // fresh random phases
    expectNear(s1b, kFirst, 0.02);
    expectNear(stb, kTotalIdx, 0.02);
    expectNear(s1a, s1b, 0.03);
}

TEST(EfastAnalysis, SamplesFollowTheBoundsAndFeedTheModelAsText)
{
    ModelLink model(FirstFactor, 3);
    DoeAlgorithm_Sensivity_eFast analysis;
    analysis.setRegressionFuncAndIdx(&model.link, 0);
    QString err;
    ASSERT_TRUE(analysis.setProblem({{10, 20}, {0.5, 0.5}, {-3, 1}}, err));
    QVector<double> s1, st;
    ASSERT_TRUE(analysis.analyse(101, 2, s1, st, err)) << err.toStdString();

    const auto& rows = analysis.samples();
    const auto& y = analysis.outputs();
    ASSERT_EQ(rows.size(), 3 * 101);
    ASSERT_EQ(y.size(), rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].size(), 3);
        EXPECT_GE(rows[r][0], 10.0);
        EXPECT_LE(rows[r][0], 20.0);
        EXPECT_EQ(rows[r][1], 0.5);  // equal bounds: a constant column
        EXPECT_GE(rows[r][2], -3.0);
        EXPECT_LE(rows[r][2], 1.0);
        // The model sees each value with six significant digits.
        EXPECT_EQ(y[r], QString::number(rows[r][0], 'g', 6).toDouble());
    }
    // Only the first factor matters, the constant one not at all.
    EXPECT_NEAR(s1[0], 1.0, 0.02);
    EXPECT_NEAR(st[1], 0.0, 0.02);
    EXPECT_NEAR(s1[2], 0.0, 0.02);
}

TEST(EfastAnalysis, ModelsWithoutVarianceOrFiniteValuesFail)
{
    struct Case {
        ModelKind kind;
        const char* message;
    };
    const Case cases[] = {
        {Constant, "calculate error.\neFast calculate Failed!\n"},
        {LargeConstant, "calculate error.\neFast calculate Failed!\n"},
        {InfiniteAbove, "calculate error.\neFast calculate Failed!\n"},
        {NotANumber, "calculate error.\neFast genarate Failed!\n"},
    };
    for (const Case& c : cases) {
        ModelLink model(c.kind, 2);
        DoeAlgorithmManager manager;
        manager.setRegressionFuncAndIdx(&model.link, 0);
        QString err = QStringLiteral("before\n");
        ASSERT_TRUE(manager.setSensitivityProblem(1, {{0, 1}, {0, 1}}, err));
        QVector<double> s1{9}, st{9};
        EXPECT_FALSE(manager.doSensitivityAnalysis_eFast(1000, 4, s1, st, err));
        EXPECT_EQ(err, QStringLiteral("before\n") + QString::fromLatin1(c.message))
            << "model " << c.kind;
    }
}
