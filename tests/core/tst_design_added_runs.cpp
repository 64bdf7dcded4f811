// Center points and replicated runs added to a searched design, and designs kept for comparison.
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

#include "DoeBussinessApi.h"
#include "DoeDesignAddedRuns.h"
#include "facade_test_helpers.h"

using namespace doeBussiness;

namespace {

DoeDesignFactor factor(EDoeFactorRole role, const QStringList& values)
{
    DoeDesignFactor f;
    f.role = role;
    f.values = values;
    return f;
}

QVector<QVector<QString>> customRows(const DoeBussinessApi& api)
{
    int rows = 0;
    int cols = 0;
    api.getTableSizeForCustomDesign(rows, cols);
    QVector<QVector<QString>> out;
    for (int r = 0; r < rows; ++r) {
        QVector<QString> row;
        QString err;
        api.getTableDataByRowForCustomDesign(r, row, err);
        out.append(row);
    }
    return out;
}

// Three continuous factors, main effects, 8 runs chosen by the user, with added runs.
void makeDesign(DoeBussinessApi& api, int runs, int centre, int replicates, bool quadratic = false,
                int criterion = 1)
{
    QString err;
    for (const QStringList& range : {QStringList{"150", "200"}, QStringList{"0", "1"}, QStringList{"-1", "1"}}) {
        DoeDesignFactor f;
        ASSERT_TRUE(api.addFactorData(Continuous, 2, f, err)) << err.toStdString();
        f.values = range;
        ASSERT_TRUE(api.setFactorData(f.name, f, err)) << err.toStdString();
    }
    api.clearModelDataForCustomDesign();
    if (quadratic)
        api.genModelForCustomDesign_RSM();
    else
        api.genModelForCustomDesign_MainEffect();
    DoeDesignGeneralSetting general;
    api.getDoeDesignGeneralSetting(general);
    general.optimalityCriterion = criterion;
    ASSERT_TRUE(api.setDoeDesignGeneralSetting(general, err)) << err.toStdString();
    ASSERT_TRUE(api.genDoeMinNum(err)) << err.toStdString();
    DoeDesignMakingSetting making;
    api.getDoeDesignMakingSetting(making);
    making.userSpecified = true;
    making.userSpecifiedRuns = runs;
    making.centerPoints = centre;
    making.replicateRuns = replicates;
    ASSERT_TRUE(api.setDoeDesignMakingSetting(making, err)) << err.toStdString();
    ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
}

}  // namespace

TEST(AddedRuns, CentreCellsByFactorRole)
{
    struct Case
    {
        const char* name;
        DoeDesignFactor factor;
        QStringList expected;  // centre points 0, 1, 2, 3
    };
    const QVector<Case> cases = {
        {"continuous", factor(Continuous, {"150", "200"}), {"175", "175", "175", "175"}},
        {"continuous, reversed range", factor(Continuous, {"1", "0"}), {"0.5", "0.5", "0.5", "0.5"}},
        {"continuous, large offset kept exact", factor(Continuous, {"1000000", "1000001"}),
         {"1000000.5", "1000000.5", "1000000.5", "1000000.5"}},
        {"discrete, level nearest the middle", factor(DiscreteNumeric, {"10", "2", "5"}), {"5", "5", "5", "5"}},
        {"discrete, tie to the first stored", factor(DiscreteNumeric, {"4", "3", "2", "1"}), {"3", "3", "3", "3"}},
        {"categorical, levels in turn", factor(Categorical, {"a", "b", "c"}), {"a", "b", "c", "a"}},
    };
    for (const Case& c : cases)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(centrePointCells({c.factor}, i), QVector<QString>{c.expected.at(i)}) << c.name << " " << i;
}

TEST(AddedRuns, ReplicatesFollowTheCriterion)
{
    // One factor, model 1, x, x^2 over [-1, 1]: W holds the moments 1, 1/3, 1/5. For runs -1, 0, 1, 1
    // the leverages are 1, 1, 1/2, 1/2 (D: a tie, the lowest row wins) and the drops of the average
    // variance 1/15, 4/15, 1/45, 1/45 (I: the centre run).
    const auto quad = [](double x) { return QVector<double>{1.0, x, x * x}; };
    const QVector<QVector<double>> w = {{1, 0, 1.0 / 3}, {0, 1.0 / 3, 0}, {1.0 / 3, 0, 1.0 / 5}};
    const QVector<QVector<double>> runs = {quad(-1), quad(0), quad(1), quad(1)};
    const QVector<QVector<double>> line = {{1, -1}, {1, 1}, {1, 0}};
    struct Case
    {
        const char* name;
        QVector<QVector<double>> X;
        QVector<QVector<double>> moments;
        int designRuns, count;
        bool iOptimal;
        QVector<int> expected;
    };
    const QVector<Case> cases = {
        {"D: largest leverage, lowest row on a tie", runs, w, 4, 1, false, {0}},
        {"I: largest drop of the average variance", runs, w, 4, 1, true, {1}},
        // Row 2 (a centre point already added) is never repeated; each design row once before again.
        {"only design rows, each before any twice", line, {{1, 0}, {0, 1.0 / 3}}, 2, 3, false, {0, 1, 0}},
        {"nothing asked", runs, w, 4, 0, false, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseReplicateRows(c.X, QVector<bool>(c.X.first().size(), false), c.moments, c.designRuns,
                                      c.count, c.iOptimal),
                  c.expected)
            << c.name;
}

TEST(AddedRuns, CentrePointsAndReplicatesThroughTheRealEngine)
{
    DoeBussinessApi api;
    makeDesign(api, 8, 3, 2);
    const QVector<QVector<QString>> rows = customRows(api);
    ASSERT_EQ(rows.size(), 13);
    const QVector<QVector<QString>> design = rows.mid(0, 8);
    for (int r = 8; r < 11; ++r)
        EXPECT_EQ(rows.at(r), (QVector<QString>{"175", "0.5", "0"})) << r;
    EXPECT_FALSE(design.contains(QVector<QString>{"175", "0.5", "0"}));
    EXPECT_TRUE(design.contains(rows.at(11)));
    EXPECT_TRUE(design.contains(rows.at(12)));
    EXPECT_NE(rows.at(11), rows.at(12));

    // The evaluation judges all 13 runs: 4 parameters leave 9 error degrees of freedom.
    DoeDesignEvaluation e;
    QString err;
    ASSERT_TRUE(api.getDesignEvaluation(e, err)) << err.toStdString();
    EXPECT_EQ(e.errorDf, 9);
    // "Make Table" carries every run.
    testhelp::makeTable(api, 0, err);
    int tableRows = 0;
    int tableCols = 0;
    api.getTableSize(tableRows, tableCols);
    EXPECT_EQ(tableRows, 13);

    // Without added runs the engine's runs are the table, as before.
    DoeBussinessApi plain;
    makeDesign(plain, 8, 0, 0);
    EXPECT_EQ(customRows(plain), design);
}

TEST(AddedRuns, TooManyAddedRunsAreRefused)
{
    DoeBussinessApi api;
    makeDesign(api, 8, 0, 0);
    DoeDesignMakingSetting making;
    api.getDoeDesignMakingSetting(making);
    making.centerPoints = 2147483647;
    making.replicateRuns = 2147483647;
    QString err;
    ASSERT_TRUE(api.setDoeDesignMakingSetting(making, err));
    EXPECT_FALSE(api.genDoeTableForCustomDesign(err));
    EXPECT_EQ(err, "A design takes at most 1000000 runs with its center points and replicates\n");
    EXPECT_TRUE(customRows(api).isEmpty());
}

TEST(DesignComparison, KeepsUpToThreeAndExportsThemBesideTheCurrent)
{
    DoeBussinessApi api;
    QString err;
    EXPECT_FALSE(api.keepDesignEvaluationForComparison(err));
    EXPECT_EQ(err, "No design to evaluate\n");

    makeDesign(api, 10, 0, 0, true, 1);  // D-optimal response surface
    err.clear();
    ASSERT_TRUE(api.keepDesignEvaluationForComparison(err)) << err.toStdString();
    DoeDesignGeneralSetting general;
    api.getDoeDesignGeneralSetting(general);
    general.optimalityCriterion = 0;  // I-optimal for a response surface
    ASSERT_TRUE(api.setDoeDesignGeneralSetting(general, err));
    ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
    ASSERT_TRUE(api.keepDesignEvaluationForComparison(err));
    ASSERT_TRUE(api.keepDesignEvaluationForComparison(err));
    EXPECT_FALSE(api.keepDesignEvaluationForComparison(err));
    EXPECT_EQ(err, "At most three designs can be kept for comparison\n");

    QList<DoeKeptDesignEvaluation> kept;
    api.getKeptDesignEvaluations(kept);
    ASSERT_EQ(kept.size(), 3);
    EXPECT_EQ(kept.at(0).label, "Design 1");
    EXPECT_EQ(kept.at(0).criterion, "D-optimal");
    EXPECT_EQ(kept.at(1).criterion, "I-optimal");
    EXPECT_EQ(kept.at(2).label, "Design 3");
    EXPECT_EQ(kept.at(0).runs, 10);
    // The I-optimal search gives the lower average variance, the D-optimal one the higher D.
    EXPECT_LT(kept.at(1).evaluation.averageVariance, kept.at(0).evaluation.averageVariance);
    EXPECT_GT(kept.at(0).evaluation.dEfficiency, kept.at(1).evaluation.dEfficiency);

    QTemporaryDir dir;
    err.clear();
    ASSERT_TRUE(api.exportDesignEvaluationCsv(dir.filePath("evaluation.csv"), err)) << err.toStdString();
    QFile file(dir.filePath("evaluation.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    EXPECT_EQ(lines.at(0), "Design Diagnostics,\"Current (I-optimal, 10 runs)\",\"Design 1 (D-optimal, 10 runs)\","
                           "\"Design 2 (I-optimal, 10 runs)\",\"Design 3 (I-optimal, 10 runs)\"");
    EXPECT_TRUE(lines.at(1).startsWith("D Efficiency (%),"));
    EXPECT_EQ(lines.at(1).split(',').at(1).toDouble(), kept.at(1).evaluation.dEfficiency);
    EXPECT_TRUE(lines.contains("Runs,10,10,10,10"));
    EXPECT_TRUE(lines.contains("Significance Level,0.05"));
    const int fds = lines.indexOf(QRegularExpression("^Fraction of Design Space,.*"));
    ASSERT_GT(fds, 0);
    EXPECT_EQ(lines.at(fds + 1).split(',').first(), "0");
    EXPECT_EQ(lines.at(fds + 101).split(',').first(), "1");
    const int runs = lines.indexOf("Design");
    ASSERT_GT(runs, fds);
    EXPECT_EQ(lines.at(runs + 1), "X1,X2,X3");
    EXPECT_EQ(lines.size(), runs + 2 + 10 + 1);  // ten runs, then the final line break

    // A folder is no file: the write fails and says so.
    err.clear();
    EXPECT_FALSE(api.exportDesignEvaluationCsv(dir.path(), err));
    EXPECT_TRUE(err.startsWith("Fail to write file\n")) << err.toStdString();

    api.clearKeptDesignEvaluations();
    api.getKeptDesignEvaluations(kept);
    EXPECT_TRUE(kept.isEmpty());
}

// Centre points are held in the search, so the searched runs complement them: with two centre
// points each criterion's design beats the other's on its own figure (I: average variance,
// D: D-efficiency), the centre points still last and at the centre.
TEST(AddedRuns, CentrePointsTakePartInTheSearch)
{
    DoeDesignEvaluation byCriterion[2];
    for (int criterion : {0, 1}) {
        DoeBussinessApi api;
        makeDesign(api, 10, 2, 0, true, criterion);
        const QVector<QVector<QString>> rows = customRows(api);
        ASSERT_EQ(rows.size(), 12);
        for (int r = 10; r < 12; ++r)
            EXPECT_EQ(rows.at(r), (QVector<QString>{"175", "0.5", "0"})) << r;
        QString err;
        ASSERT_TRUE(api.getDesignEvaluation(byCriterion[criterion], err)) << err.toStdString();
    }
    EXPECT_LT(byCriterion[0].averageVariance, byCriterion[1].averageVariance);
    EXPECT_GT(byCriterion[1].dEfficiency, byCriterion[0].dEfficiency);
}
