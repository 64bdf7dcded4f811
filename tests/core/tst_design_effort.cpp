// Search effort and quality choices of the custom design through the facade and the real engine:
// alias-optimal screening, table texts that keep large-offset factors apart, factors without range.
#include <Eigen/Dense>
#include <gtest/gtest.h>

#include "DoeBussinessApi.h"
#include "DoeContinuousCellText.h"

using namespace doeBussiness;

namespace {

QString addContinuous(DoeBussinessApi& api, const QStringList& range)
{
    DoeDesignFactor f;
    QString err;
    EXPECT_TRUE(api.addFactorData(Continuous, 2, f, err));
    f.values = range;
    EXPECT_TRUE(api.setFactorData(f.name, f, err)) << err.toStdString();
    return f.name;
}

// k factors on `range`: main effects Necessary, every two-factor product with the given flag.
void screening(DoeBussinessApi& api, int k, bool productsNecessary, const QStringList& range)
{
    QList<QString> names;
    for (int i = 0; i < k; ++i)
        names.append(addContinuous(api, range));
    api.clearModelDataForCustomDesign();
    api.genModelForCustomDesign_MainEffect();
    for (int i = 0; i < k; ++i)
        for (int j = i + 1; j < k; ++j) {
            DoeDesignModel m(QStringList{names[i], names[j]}, productsNecessary);
            QString err;
            ASSERT_TRUE(api.addModelDataForCustomDesign(m, err));
        }
}

bool generate(DoeBussinessApi& api, int runs, QString& err)
{
    if (!api.genDoeMinNum(err))
        return false;
    DoeDesignMakingSetting making;
    api.getDoeDesignMakingSetting(making);
    making.userSpecified = runs > 0;
    if (runs > 0)
        making.userSpecifiedRuns = runs;
    return api.setDoeDesignMakingSetting(making, err) && api.genDoeTableForCustomDesign(err);
}

Eigen::MatrixXd runMatrix(const DoeBussinessApi& api)
{
    int rows = 0, cols = 0;
    api.getTableSizeForCustomDesign(rows, cols);
    Eigen::MatrixXd x(rows, cols);
    for (int r = 0; r < rows; ++r) {
        QVector<QString> cells;
        QString err;
        api.getTableDataByRowForCustomDesign(r, cells, err);
        for (int c = 0; c < cols; ++c)
            x(r, c) = cells[c].toDouble();
    }
    return x;
}

double dEfficiency(const DoeBussinessApi& api)
{
    DoeDesignEvaluation e;
    QString err;
    EXPECT_TRUE(api.getDesignEvaluation(e, err)) << err.toStdString();
    return e.dEfficiency;
}

}  // namespace

// The regular resolution IV fraction answers the screening question: no main effect aliased
// with a product, all main effects orthogonal. The Bayesian design trades some of both away.
TEST(DesignEffort, AliasOptimalScreeningIsClearOfTheProducts)
{
    for (bool alias : {true, false}) {
        SCOPED_TRACE(alias ? "alias optimal" : "Bayesian D");
        DoeBussinessApi api;
        screening(api, 6, false, {"-1", "1"});
        api.setAliasOptimal(alias);
        EXPECT_EQ(api.aliasOptimal(), alias);
        QString err;
        ASSERT_TRUE(generate(api, 16, err)) << err.toStdString();
        const Eigen::MatrixXd x = runMatrix(api);
        ASSERT_EQ(x.rows(), 16);
        Eigen::MatrixXd xn(16, 7), xq(16, 15);
        xn << Eigen::VectorXd::Ones(16), x;
        for (int i = 0, c = 0; i < 6; ++i)
            for (int j = i + 1; j < 6; ++j)
                xq.col(c++) = x.col(i).cwiseProduct(x.col(j));
        const double aliasSquares = (xn.transpose() * xn).ldlt().solve(xn.transpose() * xq).squaredNorm();
        if (alias) {
            EXPECT_NEAR(aliasSquares, 0.0, 1e-12);
            EXPECT_NEAR(dEfficiency(api), 100.0, 1e-9);
        } else {
            EXPECT_GT(aliasSquares, 0.1);
        }
    }
}

// Runs of a factor on [1000000, 1000001] must stay apart in the table: the design evaluates as
// the same design on [-1, 1] does.
TEST(DesignEffort, LargeOffsetFactorsKeepTheirDesign)
{
    double reference = 0.0;
    for (const QStringList& range : {QStringList{"-1", "1"}, QStringList{"1000000", "1000001"}}) {
        DoeBussinessApi api;
        screening(api, 4, true, range);
        QString err;
        ASSERT_TRUE(generate(api, 0, err)) << err.toStdString();
        const double d = dEfficiency(api);
        if (reference == 0.0)
            reference = d;
        EXPECT_GT(d, 50.0);
        EXPECT_NEAR(d, reference, 1e-9 * reference);
    }
}

TEST(DesignEffort, ContinuousFactorWithoutRangeIsRefused)
{
    DoeBussinessApi api;
    addContinuous(api, {"-1", "1"});
    const QString flat = addContinuous(api, {"5", "5"});
    api.genModelForCustomDesign_MainEffect();
    QString err;
    EXPECT_FALSE(generate(api, 0, err));
    EXPECT_TRUE(err.endsWith(QStringLiteral("Factor %1 has no range\n").arg(flat))) << err.toStdString();
    int rows = -1, cols = -1;
    api.getTableSizeForCustomDesign(rows, cols);
    EXPECT_EQ(rows, 0);
}

TEST(DesignEffort, ContinuousCellTexts)
{
    const struct {
        double value, low, high;
        const char* text;
    } rows[] = {
        {150, 150, 200, "150"},          {200, 150, 200, "200"},
        {175, 150, 200, "175"},          {162.5, 150, 200, "162.5"},
        {-1, -1, 1, "-1"},               {0.25, -1, 1, "0.25"},
        {1000001, 1000000, 1000001, "1000001"},
        {1000000.5, 1000000, 1000001, "1000000.5"},
        {151.2345678901, 150, 200, "151.2345679"},
        {0.1 + 0.2, 0, 1, "0.3"},
        {1.0 / 3.0, 0, 1e-6, "0.333333333333333"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(continuousCellText(r.value, r.low, r.high).toStdString(), r.text) << r.value;
}
