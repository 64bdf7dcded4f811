// Custom design generation through the real engine, "Make Table", and the wizard's snapshot.
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "DoeBussinessApi.h"
#include "facade_test_helpers.h"

using namespace doeBussiness;
using testhelp::makeTable;

namespace {

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

QVector<QVector<QString>> designRows(const DoeBussinessApi& api)
{
    int rows = 0;
    int cols = 0;
    api.getTableSize(rows, cols);
    QVector<QVector<QString>> out;
    for (int r = 0; r < rows; ++r) {
        QVector<QString> row;
        QString err;
        api.getTableDataByRow(r, row, err);
        out.append(row);
    }
    return out;
}

QVector<QVector<QString>> sorted(QVector<QVector<QString>> rows)
{
    std::sort(rows.begin(), rows.end(), [](const QVector<QString>& a, const QVector<QString>& b) {
        return QStringList(a.begin(), a.end()).join('\x1f') < QStringList(b.begin(), b.end()).join('\x1f');
    });
    return rows;
}

void addFactor(DoeBussinessApi& api, EDoeFactorRole role, const QStringList& values)
{
    QString err;
    DoeDesignFactor f;
    ASSERT_TRUE(api.addFactorData(role, values.size(), f, err)) << err.toStdString();
    f.values = values;
    ASSERT_TRUE(api.setFactorData(f.name, f, err)) << err.toStdString();
}

}  // namespace

TEST(Generation, TwoContinuousFactorsGiveTheFullQuadraticAndMakeTheTable)
{
    DoeBussinessApi api;
    addFactor(api, Continuous, {"-1", "1"});
    addFactor(api, Continuous, {"-1", "1"});
    DoeDesignResponse y;
    QString err;
    api.addResponseData(Maximize, y, err);

    ASSERT_TRUE(api.genDoeMinNum(err)) << err.toStdString();
    DoeDesignMakingSetting making;
    api.getDoeDesignMakingSetting(making);
    EXPECT_EQ(making.minimumRuns, 6);
    EXPECT_EQ(making.userSpecifiedRuns, 6);

    ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
    const QVector<QVector<QString>> runs = customRows(api);
    ASSERT_EQ(runs.size(), 6);
    QSet<QString> distinct;
    for (const QVector<QString>& row : runs) {
        ASSERT_EQ(row.size(), 2);
        for (const QString& cell : row) {
            bool ok = false;
            const double v = cell.toDouble(&ok);
            EXPECT_TRUE(ok && v >= -1.0 && v <= 1.0) << cell.toStdString();
        }
        distinct.insert(QStringList(row.begin(), row.end()).join(','));
    }
    EXPECT_EQ(distinct.size(), 6);
    QVector<QString> names;
    api.getColumnNameVectorForCustomDesign(names);
    EXPECT_EQ(names, (QVector<QString>{"X1", "X2"}));

    // Keep: generated order, one empty response cell per row; the fit model gets terms and Y.
    makeTable(api, 0, err);
    QVector<QVector<QString>> expected;
    for (QVector<QString> row : runs)
        expected.append(row << QString());
    EXPECT_EQ(designRows(api), expected);
    api.getColumnNameVector(names);
    EXPECT_EQ(names, (QVector<QString>{"X1", "X2", "Y"}));
    QList<QString> responses;
    api.getModelResponseList(responses);
    EXPECT_EQ(responses, QList<QString>{"Y"});

    // Random: the same rows in some order.
    makeTable(api, 1, err);
    EXPECT_EQ(sorted(designRows(api)), sorted(expected));

    // Save and load give the same table back.
    QTemporaryDir dir;
    const QVector<QVector<QString>> made = designRows(api);
    ASSERT_TRUE(api.saveDoeTableByPath(dir.filePath("design.csv"), err));
    ASSERT_TRUE(api.loadDoeTableByPath(dir.filePath("design.csv"), err));
    EXPECT_EQ(designRows(api), made);
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

TEST(Generation, CategoricalAndDiscreteCellsShowLevelTexts)
{
    DoeBussinessApi api;
    addFactor(api, Categorical, {"red", "green", "blue"});
    addFactor(api, DiscreteNumeric, {"10", "2", "5"});
    QString err;
    ASSERT_TRUE(api.genDoeMinNum(err)) << err.toStdString();
    ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
    const QVector<QVector<QString>> runs = customRows(api);
    ASSERT_FALSE(runs.isEmpty());
    QSet<QString> colours;
    for (const QVector<QString>& row : runs) {
        EXPECT_TRUE(QStringList({"red", "green", "blue"}).contains(row.at(0))) << row.at(0).toStdString();
        EXPECT_TRUE(QStringList({"10", "2", "5"}).contains(row.at(1))) << row.at(1).toStdString();
        colours.insert(row.at(0));
    }
    EXPECT_EQ(colours.size(), 3);

    makeTable(api, 0, err);
    QTemporaryDir dir;
    ASSERT_TRUE(api.saveDoeTableByPath(dir.filePath("design.csv"), err));
    ASSERT_TRUE(api.loadDoeTableByPath(dir.filePath("design.csv"), err));
    EXPECT_EQ(designRows(api), runs);
}

TEST(Generation, SameSeedSameFactorsSameTable)
{
    DoeBussinessApi api;
    addFactor(api, Continuous, {"0", "10"});
    addFactor(api, Categorical, {"a", "b", "c"});
    addFactor(api, DiscreteNumeric, {"1", "2", "3", "4"});
    QString err;
    ASSERT_TRUE(api.genDoeMinNum(err));
    ASSERT_TRUE(api.genDoeTableForCustomDesign(err));
    const QVector<QVector<QString>> first = customRows(api);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(api.genDoeTableForCustomDesign(err));
        EXPECT_EQ(customRows(api), first);
    }
    DoeBussinessApi fresh;
    addFactor(fresh, Continuous, {"0", "10"});
    addFactor(fresh, Categorical, {"a", "b", "c"});
    addFactor(fresh, DiscreteNumeric, {"1", "2", "3", "4"});
    ASSERT_TRUE(fresh.genDoeMinNum(err));
    ASSERT_TRUE(fresh.genDoeTableForCustomDesign(err));
    EXPECT_EQ(customRows(fresh), first);
}

TEST(Generation, UserSpecifiedRunCountIsGenerated)
{
    DoeBussinessApi api;
    addFactor(api, Continuous, {"-1", "1"});
    QString err;
    ASSERT_TRUE(api.genDoeMinNum(err));
    DoeDesignMakingSetting making;
    api.getDoeDesignMakingSetting(making);
    making.userSpecified = true;
    making.userSpecifiedRuns = making.minimumRuns + 3;
    ASSERT_TRUE(api.setDoeDesignMakingSetting(making, err));
    ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
    EXPECT_EQ(customRows(api).size(), making.userSpecifiedRuns);
}

TEST(Generation, FailuresLeaveAnEmptyCustomTable)
{
    DoeBussinessApi api;
    QString err;
    int rows = -7;
    int cols = -7;
    api.getTableSizeForCustomDesign(rows, cols);
    EXPECT_EQ(rows, -7);  // no table yet
    QVector<QString> row;
    EXPECT_FALSE(api.getTableDataByRowForCustomDesign(0, row, err));
    EXPECT_EQ(err, "Unknown error\n");

    err.clear();
    EXPECT_FALSE(api.genDoeTableForCustomDesign(err));
    EXPECT_EQ(err, "No data\n");
    api.getTableSizeForCustomDesign(rows, cols);
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(cols, 0);
    EXPECT_FALSE(api.getTableDataByRowForCustomDesign(0, row, err));
    EXPECT_EQ(err, "No data\nInvalid row\n");
}

TEST(Generation, SnapshotRestoresStateAndMovesTheTableBackOnce)
{
    DoeBussinessApi api;
    addFactor(api, Continuous, {"-1", "1"});
    addFactor(api, Continuous, {"-1", "1"});
    QString err;
    api.genDoeMinNum(err);
    api.genDoeTableForCustomDesign(err);
    const QVector<QVector<QString>> runs = customRows(api);
    api.backGenTableData();

    api.deleteFactorData("X1", err);
    DoeDesignResponse y;
    api.addResponseData(Minimize, y, err);
    api.clearModelDataForCustomDesign();
    DoeDesignGeneralSetting general;
    general.randomSeed = "7";
    api.setDoeDesignGeneralSetting(general, err);
    api.genDoeTableForCustomDesign(err);

    api.useBackGenTableData();
    QList<QString> factors;
    api.getFactorDataNameList(factors);
    EXPECT_EQ(factors, (QList<QString>{"X1", "X2"}));
    QList<QString> responses;
    api.getResponseDataNameList(responses);
    EXPECT_TRUE(responses.isEmpty());
    EXPECT_EQ(api.getModelDataSizeForCustomDesign(), 1);
    api.getDoeDesignGeneralSetting(general);
    EXPECT_EQ(general.randomSeed, "1822740228");
    EXPECT_EQ(customRows(api), runs);

    api.useBackGenTableData();
    int rows = -7;
    int cols = -7;
    api.getTableSizeForCustomDesign(rows, cols);
    EXPECT_EQ(rows, -7);
}

TEST(Generation, MakeTableWithoutCustomTableGivesResponseColumnsOnly)
{
    DoeBussinessApi api;
    QString err;
    DoeDesignResponse y;
    api.addResponseData(Maximize, y, err);
    EXPECT_TRUE(makeTable(api, 1, err));
    QVector<QString> names;
    api.getColumnNameVector(names);
    EXPECT_EQ(names, QVector<QString>{"Y"});
    int rows = -1;
    int cols = -1;
    api.getTableSize(rows, cols);
    EXPECT_EQ(rows, 0);
}
