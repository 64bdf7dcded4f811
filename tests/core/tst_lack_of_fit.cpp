// Residuals and the lack-of-fit test on small data sets whose numbers are worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "tst_regression_support.h"

using doeBussiness::DoeBussinessApi;
using doeBussiness::DoeLackOfFitResult;

namespace {

struct LofCase {
    const char* name;
    QStringList header;
    QVector<QStringList> rows;
    QSet<QString> entered;  // terms of the fitted model
    bool available;
    int lofDF, pureDF, totalDF;
    long double lofSS, pureSS, totalSS;
    bool hasF;
    long double f, p;
    const char* note = "";
};

// Prob > F for F(1, 3) = t(3)^2: P(|T| > t) = 1 - (2 / pi) (t / (sqrt(3) (1 + t^2 / 3)) + atan(t / sqrt(3))).
long double probF13(long double f)
{
    const long double t = std::sqrt(f);
    const long double pi = 3.141592653589793238462643383279502884L;
    return 1.0L - (2.0L / pi) * (t / (std::sqrt(3.0L) * (1.0L + t * t / 3.0L)) + std::atan(t / std::sqrt(3.0L)));
}

}  // namespace

// Y on X in {-1, 0, 1} twice each: group means 2, 7, 6; the line 5 + 2 X leaves residuals
// -2, 0, 1, 3, -2, 0, so SSE = 18 on 4 DF; pure error 6 on 3 DF; lack of fit 12 on 1 DF; F = 6.
TEST(LackOfFit, HandWorkedTables)
{
    const QVector<LofCase> cases = {
        {"linear model on replicated X", {"X", "Y"},
         {{"-1", "1"}, {"-1", "3"}, {"0", "6"}, {"0", "8"}, {"1", "5"}, {"1", "7"}}, {"X"},
         true, 1, 3, 4, 12, 6, 18, true, 6, probF13(6)},
        // One level mean per group: the fit is the pure error itself and nothing lacks.
        {"categorical factor, saturated", {"C", "Y"},
         {{"a", "1"}, {"a", "3"}, {"b", "6"}, {"b", "8"}, {"c", "5"}, {"c", "7"}}, {},
         true, 0, 3, 3, 0, 6, 6, false, 0, 0},
        // Identical replicates: the line 4 + 2 X leaves 12 on 4 DF, all of it lack of fit, and
        // F is undefined.
        {"pure error zero", {"X", "Y"},
         {{"-1", "1"}, {"-1", "1"}, {"0", "6"}, {"0", "6"}, {"1", "5"}, {"1", "5"}}, {"X"},
         true, 1, 3, 4, 12, 0, 12, false, 0, 0, "pure error is zero"},
        {"no replicates", {"X", "Y"}, {{"-1", "1"}, {"0", "2"}, {"1", "4"}, {"0.5", "3"}}, {"X"},
         false, 0, 0, 0, 0, 0, 0, false, 0, 0},
    };
    for (const LofCase& c : cases) {
        SCOPED_TRACE(c.name);
        DoeBussinessApi api;
        QTemporaryDir dir;
        QString err;
        ASSERT_TRUE(analysis_test::prepare(api, dir, c.header, c.rows, "Y", {c.header[0]}, err)) << err.toStdString();
        analysis_test::enter(api, c.entered);
        ASSERT_TRUE(api.runModel(0));
        DoeLackOfFitResult r;
        EXPECT_EQ(api.getLackOfFit(r, 0), c.available);
        EXPECT_EQ(r.available, c.available);
        if (!c.available)
            continue;
        EXPECT_EQ(r.lackOfFitDF, c.lofDF);
        EXPECT_EQ(r.pureErrorDF, c.pureDF);
        EXPECT_EQ(r.totalErrorDF, c.totalDF);
        EXPECT_NEAR(r.lackOfFitSS, double(c.lofSS), 1e-9);
        EXPECT_NEAR(r.pureErrorSS, double(c.pureSS), 1e-12);
        EXPECT_NEAR(r.totalErrorSS, double(c.totalSS), 1e-9);
        EXPECT_NEAR(r.pureErrorMS, double(c.pureSS / c.pureDF), 1e-12);
        EXPECT_NEAR(r.totalErrorMS, double(c.totalSS / c.totalDF), 1e-9);
        if (c.lofDF == 0)
            EXPECT_EQ(r.lackOfFitSS, 0.0);  // exactly: nothing is left to lack
        EXPECT_EQ(r.note, c.note);
        EXPECT_EQ(std::isfinite(r.fRatio), c.hasF);
        EXPECT_EQ(std::isfinite(r.probF), c.hasF);
        if (c.hasF) {
            EXPECT_NEAR(r.lackOfFitMS, double(c.lofSS / c.lofDF), 1e-9);
            EXPECT_NEAR(r.fRatio, double(c.f), 1e-9);
            EXPECT_NEAR(r.probF, double(c.p), 1e-9);
        }
    }
}

TEST(LackOfFit, ResidualsAndGroupingByNumber)
{
    DoeBussinessApi api;
    QTemporaryDir dir;
    QString err;
    ASSERT_TRUE(analysis_test::prepare(api, dir, {"X", "Y"},
                                       {{"-1", "1"}, {"-1", "3"}, {"0", "6"}, {"0", "8"}, {"1", "5"}, {"1", "7"}},
                                       "Y", {"X"}, err));
    QVector<double> predicted, residuals;
    EXPECT_FALSE(api.getResidualByPredicted(predicted, residuals, 3));  // no such slot
    analysis_test::enter(api, {"X"});
    ASSERT_TRUE(api.runModel(0));
    ASSERT_TRUE(api.getResidualByPredicted(predicted, residuals, 0));
    const double wantP[] = {3, 3, 5, 5, 7, 7}, wantR[] = {-2, 0, 1, 3, -2, 0};
    ASSERT_EQ(predicted.size(), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_NEAR(predicted[i], wantP[i], 1e-9) << i;
        EXPECT_NEAR(residuals[i], wantR[i], 1e-9) << i;
    }
    // Settings written differently but equal as numbers are one group; an empty data set has none.
    const DoeLackOfFitResult r = doeBussiness::computeLackOfFit({{"10"}, {"10.0"}, {"1e1"}}, {1, 2, 6}, 14, 2);
    EXPECT_TRUE(r.available);
    EXPECT_EQ(r.pureErrorDF, 2);
    EXPECT_DOUBLE_EQ(r.pureErrorSS, 14.0);
    EXPECT_FALSE(doeBussiness::computeLackOfFit({}, {}, 0, 0).available);
}
