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
        {{"A", "Y"}, {{"1", "big"}, {"2", "3"}}, {"A"}, "Y", "Response data must be number\nRows: 1\n", 1},
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

namespace {

// Exact line y = 10 + 2 a over six rows; a response cell of row `row` gets `text`.
struct EditedTable
{
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;

    bool load()
    {
        QVector<QStringList> rows;
        for (int i = 0; i < 6; ++i)
            rows.append({QString::number(i), QString::number(10 + 2 * i)});
        return loadTable(api, dir, {"a", "Y"}, rows, err) && api.setModelResponseList({"Y"}, err)
            && api.genModel_RSM_ByGivenList({"a"}, err);
    }
    bool edit(int row, QString text) { return api.setSingleData(row, 1, text, err); }
};

}  // namespace

// A response is fitted on the numbers in its cells: a word typed and removed again must not turn
// the response into level indices, empty response cells leave their rows out.
TEST(RegressionResponse, FittedOnTheNumbersInItsCells)
{
    struct Case
    {
        const char* name;
        QStringList edits;  // texts typed into the response cell of row 2, in turn
        int observations;
    };
    const QVector<Case> cases{{"word then cleared", {"oops", ""}, 5},
                              {"word then number back", {"oops", "14"}, 6},
                              {"cleared", {""}, 5}};
    for (const Case& c : cases) {
        EditedTable t;
        ASSERT_TRUE(t.load());
        for (const QString& e : c.edits)
            ASSERT_TRUE(t.edit(2, e)) << c.name;
        ASSERT_TRUE(t.api.preparationForModelRegression(t.err)) << c.name << t.err.toStdString();
        QVector<QVector<QString>> responses;
        t.api.getTableResponseConvertedDataForRegression(responses);
        ASSERT_EQ(responses.size(), c.observations) << c.name;
        QMap<int, int> map;
        ASSERT_TRUE(t.api.getRegressionTableRowMap(map));
        for (int r = 0; r < responses.size(); ++r)
            EXPECT_EQ(responses[r].value(0), QString::number(10 + 2 * map.value(r))) << c.name;
        enter(t.api, {"a"});
        ASSERT_TRUE(t.api.runModel(0));
        double sse = -1, ssm = -1, rmse, r2 = 0, r2a, f, p;
        int dfm = -1, dfe = -1;
        t.api.getRunModelResult(sse, ssm, dfm, dfe, rmse, r2, r2a, f, p, 0);
        EXPECT_EQ(dfe, c.observations - 2) << c.name;
        EXPECT_NEAR(r2, 1.0, 1e-12) << c.name;
    }
}

// One number rule: texts naming infinity or NaN, overflowing numbers and words are refused in a
// response cell, and the message names the rows (at most ten).
TEST(RegressionResponse, NonNumbersAreRefusedWithTheirRows)
{
    struct Case
    {
        QVector<int> rows;
        QString text, message;
    };
    const QVector<Case> cases{
        {{0}, "inf", "Response data must be number\nRows: 1\n"},
        {{1, 4}, "nan", "Response data must be number\nRows: 2, 5\n"},
        {{3}, "1e999", "Response data must be number\nRows: 4\n"},
        {{2}, "-Infinity", "Response data must be number\nRows: 3\n"},
    };
    for (const Case& c : cases) {
        EditedTable t;
        ASSERT_TRUE(t.load());
        for (int r : c.rows)
            ASSERT_TRUE(t.edit(r, c.text));
        EXPECT_FALSE(t.api.preparationForModelRegression(t.err));
        EXPECT_EQ(t.err, c.message) << c.text.toStdString();
    }
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;
    QVector<QStringList> rows;
    for (int i = 0; i < 14; ++i)
        rows.append({QString::number(i), i % 2 ? "x" : "1"});
    ASSERT_TRUE(loadTable(api, dir, {"a", "Y"}, rows, err));
    ASSERT_TRUE(api.setModelResponseList({"Y"}, err) && api.genModel_RSM_ByGivenList({"a"}, err));
    EXPECT_FALSE(api.preparationForModelRegression(err));
    EXPECT_EQ(err, "Response data must be number\nRows: 2, 4, 6, 8, 10, 12, 14\n");
    err.clear();
    rows.clear();
    for (int i = 0; i < 24; ++i)
        rows.append({QString::number(i), "x"});
    ASSERT_TRUE(loadTable(api, dir, {"a", "Y"}, rows, err));
    ASSERT_TRUE(api.setModelResponseList({"Y"}, err) && api.genModel_RSM_ByGivenList({"a"}, err));
    EXPECT_FALSE(api.preparationForModelRegression(err));
    EXPECT_EQ(err, "Response data must be number\nRows: 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, ...\n");
}

// After a table load or a preparation that failed once the engine slots were replaced, no reader
// answers from the earlier fit.
TEST(RegressionResponse, NoReaderAnswersFromAFitThatNoLongerMatches)
{
    const auto expectNoFit = [](DoeBussinessApi& api, const char* when) {
        double d[7] = {-7, -7, -7, -7, -7, -7, -7};
        int i1 = -7, i2 = -7;
        api.getRunModelResult(d[0], d[1], i1, i2, d[2], d[3], d[4], d[5], d[6], 0);
        EXPECT_EQ(d[0], -7) << when;
        EXPECT_EQ(i2, -7) << when;
        api.getStepResult(d[0], i1, d[1], d[2], d[3], i2, d[4], d[5], d[6], 0);
        EXPECT_EQ(d[0], -7) << when;
        QVector<QString> names;
        api.getSaveParamName(names, 0);
        EXPECT_TRUE(names.isEmpty()) << when;
        QVector<QPair<int, int>> flags;
        api.getMFInfo(flags, 0);
        EXPECT_TRUE(flags.isEmpty()) << when;
        double p = 0, o2, o3, o4, o5;
        api.predictResult({"1"}, p, o2, o3, o4, o5, 0.05, 0);
        EXPECT_TRUE(std::isnan(p)) << when;
        QList<QString> settings{"1"};
        EXPECT_TRUE(std::isnan(api.calculateMax(settings, 0, 1, 2, 0, 0.5, 1, 10, 0))) << when;
    };
    const auto fitted = [](EditedTable& t) {
        if (!t.load() || !t.api.preparationForModelRegression(t.err))
            return false;
        enter(t.api);
        return t.api.runModel(0);
    };
    {
        EditedTable t;
        ASSERT_TRUE(fitted(t));
        // A categorical factor of one level: the engine refuses the model after the slots were
        // replaced.
        for (int r = 0; r < 6; ++r) {
            QString v = "x";
            ASSERT_TRUE(t.api.setSingleData(r, 0, v, t.err));
        }
        EXPECT_FALSE(t.api.preparationForModelRegression(t.err));
        EXPECT_EQ(t.err, "Fail to create model\n");
        expectNoFit(t.api, "failed preparation");
    }
    {
        EditedTable t;
        ASSERT_TRUE(fitted(t));
        ASSERT_TRUE(loadTable(t.api, t.dir, {"b", "Z"}, {{"1", "2"}, {"2", "5"}}, t.err));
        expectNoFit(t.api, "table load");
    }
}

// The example table with a word typed into one Yield cell: the fit is refused naming the row;
// once the cell is cleared, the other 26 rows are fitted on their yields.
TEST(RegressionResponse, ExampleTableWithAWordInYield)
{
    DoeBussinessApi api;
    QString err;
    ASSERT_TRUE(api.loadDoeTableByPath(QString(VARISTRA_SOURCE_DIR) + "/examples/design_with_results.csv", err));
    ASSERT_TRUE(api.setModelResponseList({"Yield"}, err));
    ASSERT_TRUE(api.genModel_RSM_ByGivenList({"Temp", "Time", "Catalyst"}, err));
    QString word = "oops";
    ASSERT_TRUE(api.setSingleData(4, 3, word, err));
    EXPECT_EQ(api.canRunModel(err), 1);
    EXPECT_FALSE(api.preparationForModelRegression(err));
    EXPECT_EQ(err, "Response data must be number\nRows: 5\n");
    QString empty;
    ASSERT_TRUE(api.setSingleData(4, 3, empty, err));
    err.clear();
    ASSERT_TRUE(api.preparationForModelRegression(err)) << err.toStdString();
    QVector<QVector<QString>> yields;
    api.getTableResponseConvertedDataForRegression(yields);
    ASSERT_EQ(yields.size(), 26);
    double mean = 0;
    for (const auto& y : yields)
        mean += y.value(0).toDouble() / yields.size();
    EXPECT_GT(mean, 70);
    EXPECT_LT(mean, 82);
}
