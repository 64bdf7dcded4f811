// Bad input to every analysis operation of the facade: impossible slots, no fit, empty or
// unusable tables. Each returns its failure value or message and nothing crashes.
#include <gtest/gtest.h>

#include "DoeRegressionData.h"
#include "tst_regression_support.h"

using namespace analysis_test;
using namespace doeBussiness;

namespace {

// Calls every analysis getter and action with `slot`; nothing may crash and no number may
// come out of the Monte Carlo data.
void touchEverything(DoeBussinessApi& api, int slot)
{
    QString err;
    double d[9] = {};
    int i1 = 0, i2 = 0;
    api.getRunModelResult(d[0], d[1], i1, i2, d[2], d[3], d[4], d[5], d[6], slot);
    api.getRunParameter(0, d[0], d[1], d[2], d[3], slot);
    api.getStepResult(d[0], i1, d[1], d[2], d[3], i2, d[4], d[5], d[6], slot);
    api.getStepwiseParameter(99, d[0], i1, d[1], d[2], d[3], slot);
    QVector<QString> names;
    api.getSaveFacName(names, slot);
    api.getSaveParamName(names, slot);
    QVector<QPair<int, int>> flags;
    api.getMFInfo(flags, slot);
    api.setMFInfo({{1, 1}, {1, 0}, {1, 0}}, slot);
    api.predictResult({"1", "2", "3"}, d[0], d[1], d[2], d[3], d[4], 0.05, slot);
    QList<QString> settings{"1"};
    api.calculateMax(settings, 0, 1, 2, 0, 0.5, 1, 10, slot);
    QList<QString> factors;
    QMap<QString, DoeDesignTableColumInfo> info;
    QVector<bool> used;
    api.getRegressionAllFactorAndUsedFactor(factors, info, used, slot);
    EXPECT_FALSE(api.stepwiseStepCombine(slot));
    EXPECT_FALSE(api.stepwiseStepCombineDoSingle(true, slot));
    DoeFitModel_Stepwise_Setting s;
    api.getFitModel_Stepwise_Setting(s, slot);
    api.setFitModel_Stepwise_Setting(s, slot, err);
    QMap<QString, DoeMonteCarloFactorInfo> fmap;
    api.getMonteCarloFactorInfo(slot, fmap);
    DoeMonteCarloFactorInfo f;
    api.setMonteCarloFactorInfo(slot, "A", f, err);
    QPair<int, double> n(10, 5.0);
    api.setMonteCarloNum(slot, n, err);
    api.setMonteCarloFactorsDefaultValue(slot, {1, 2, 3}, {true});
    api.monteCarloValidCheck(slot, err);
    api.genMonteCarloTableData(slot);
    QVector<QString> header;
    QVector<QVector<QString>> rows;
    if (api.getMonteCarloTableData(header, rows, slot))
        for (const auto& r : rows)
            for (const QString& c : r) {
                bool ok = false;
                const double v = c.toDouble(&ok);
                EXPECT_TRUE(!ok || std::isfinite(v));
            }
    QVector<double> values;
    QPair<double, double> range;
    if (api.getResponseData(values, range, slot)) {
        for (double v : values)
            EXPECT_TRUE(std::isfinite(v));
        EXPECT_TRUE(std::isfinite(range.first) && std::isfinite(range.second));
    }
    QList<QString> sn;
    QList<double> s1, st;
    api.doSensitivityAnalysis_eFast(65, 4, sn, s1, st, slot, err);
    api.runModel(slot);
}

}  // namespace

TEST(RegressionBadInput, NothingPreparedAndImpossibleSlots)
{
    DoeBussinessApi api;
    QString err;
    EXPECT_EQ(api.canRunModel(err), -1);
    EXPECT_EQ(err, "Cannot run without Y responses\n");
    err.clear();
    EXPECT_FALSE(api.preparationForModelRegression(err));
    EXPECT_EQ(err, "No data\n");
    for (int slot : {-1, 0, 1, 1000})
        touchEverything(api, slot);
    double o1 = 0, o2, o3, o4, o5;
    api.predictResult({"1"}, o1, o2, o3, o4, o5, 0.05, 0);
    EXPECT_TRUE(std::isnan(o1));
    QList<QString> settings{"x"};
    EXPECT_TRUE(std::isnan(api.calculateMax(settings, 0, 1, 2, 0, 0.5, 1, 10, 0)));
    EXPECT_EQ(settings, QList<QString>{"x"});
    QMap<int, int> map;
    EXPECT_FALSE(api.getRegressionTableRowMap(map));
    EXPECT_FALSE(api.runModel(0));
}

TEST(RegressionBadInput, UnusableTablesAreRefusedWithTheirMessages)
{
    struct Case
    {
        QStringList header;
        QVector<QStringList> rows;
        QStringList factors;
        QString response, message;
        int canRun;
    };
    const QVector<Case> cases{
        {{"A", "Y"}, {{"1", "2"}, {"2", "3"}}, {"A", "Y"}, "Y", "Same variable in response and model\n", -1},
        {{"A", "Y"}, {{"1", ""}, {"2", ""}}, {"A"}, "Y", "All rows have data that is missing\n", -1},
        {{"A", "B", "Y"}, {{"1", "", "4"}, {"", "2", "5"}}, {"A", "B"}, "Y", "Empty data\n", 1},
        {{"A", "Y"}, {{"1", "big"}, {"2", "3"}}, {"A"}, "Y", "Response data must be number\n", 1},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        DoeBussinessApi api;
        QString err;
        ASSERT_TRUE(loadTable(api, dir, c.header, c.rows, err));
        ASSERT_TRUE(api.setModelResponseList({c.response}, err));
        ASSERT_TRUE(api.genModel_RSM_ByGivenList(c.factors, err));
        const int canRun = api.canRunModel(err);
        EXPECT_EQ(canRun, c.canRun) << c.message.toStdString();
        if (canRun == 1) {
            EXPECT_FALSE(api.preparationForModelRegression(err));
        }
        EXPECT_EQ(err, c.message);
        for (int slot : {-1, 0, 5})
            touchEverything(api, slot);
    }
}

// Tables the engine can take but that give degenerate fits: one row, all-equal responses.
TEST(RegressionBadInput, DegenerateFitsGiveNoNumbersToTheSimulation)
{
    const QVector<QVector<QStringList>> tables{
        {{"0.5", "3"}},
        {{"0", "4"}, {"0.5", "4"}, {"1", "4"}, {"0.2", "4"}},
    };
    for (const auto& rows : tables) {
        QTemporaryDir dir;
        DoeBussinessApi api;
        QString err;
        if (!prepare(api, dir, {"A", "Y"}, rows, "Y", {"A"}, err)) {
            EXPECT_FALSE(err.isEmpty());
        } else {
            enter(api);
            EXPECT_TRUE(api.runModel(0));
            DoeMonteCarloResponseInfo r;
            r.noiseMode = 2;
            api.setMonteCarloResponseInfo(0, "Y", r, err);
        }
        for (int slot : {0, -1, 2})
            touchEverything(api, slot);
    }
}

TEST(RegressionData, BuildKeepsCompleteRowsAndCodesLevels)
{
    DoeDesignTableColumInfo a, c, y;
    a.name = "A";
    a.values = QStringList{"0", "10"};
    c.name = "C";
    c.role = Categorical;
    c.values = QStringList{"lo", "hi"};
    y.name = "Y";
    const QVector<QVector<QString>> rows{
        {"1", "hi", "3"}, {"2", "", "4"}, {"3", "mid", "5"}, {"4", "lo"}};
    DoeRegressionData d;
    QString err;
    ASSERT_TRUE(d.build({a, c, y}, rows, {"C", "A"}, {"Y"}, err));
    EXPECT_EQ(d.rawFactors(), (QVector<QVector<QString>>{{"hi", "1"}, {"mid", "3"}}));
    EXPECT_EQ(d.convertedFactors(), (QVector<QVector<QString>>{{"1", "1"}, {"-1", "3"}}));
    EXPECT_EQ(d.rowMap(), (QMap<int, int>{{0, 0}, {1, 2}}));
    EXPECT_EQ(DoeRegressionData::transposed(d.rawFactors(), 2)[0], (QVector<QString>{"hi", "mid"}));
    EXPECT_FALSE(d.build({a, c, y}, rows, {"Z"}, {"Y"}, err));
    EXPECT_FALSE(d.build({a, c, y}, {{"", "lo", "1"}}, {"A"}, {"Y"}, err));
    EXPECT_EQ(err, "Empty data\nEmpty data\n");
    EXPECT_TRUE(d.isBuilt());  // a failed build keeps the earlier data set
}
