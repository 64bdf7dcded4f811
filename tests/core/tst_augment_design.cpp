// Augmenting the design table through the facade and the real engine, and its fold-over.
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

#include <Eigen/Cholesky>

#include <cmath>

#include "DoeBussinessApi.h"
#include "facade_test_helpers.h"

using namespace doeBussiness;

namespace {

using Rows = QVector<QVector<QString>>;

Rows tableRows(const DoeBussinessApi& api)
{
    int rows = 0, cols = 0;
    api.getTableSize(rows, cols);
    Rows out;
    for (int r = 0; r < rows; ++r) {
        QVector<QString> row;
        QString err;
        api.getTableDataByRow(r, row, err);
        out.append(row);
    }
    return out;
}

// The 2^(3-1) main-effects fraction (X3 = X1*X2) as a made table with a response Y.
const Rows kFraction = { { "-1", "-1", "1", "10.5" }, { "1", "-1", "-1", "12" },
    { "-1", "1", "-1", "9.25" }, { "1", "1", "1", "14" } };

void makeFractionTable(DoeBussinessApi& api)
{
    QString err;
    for (int k = 0; k < 3; ++k) {
        DoeDesignFactor f;
        ASSERT_TRUE(api.addFactorData(Continuous, 2, f, err));
        f.values = QStringList { "-1", "1" };
        ASSERT_TRUE(api.setFactorData(f.name, f, err)) << err.toStdString();
    }
    DoeDesignResponse y;
    ASSERT_TRUE(api.addResponseData(Maximize, y, err));
    api.genModelForCustomDesign_MainEffect();
    DoeDesignMakingSetting making;
    making.userSpecified = true;
    making.minimumRuns = 4;
    making.userSpecifiedRuns = 4;
    ASSERT_TRUE(api.setDoeDesignMakingSetting(making, err)) << err.toStdString();
    ASSERT_TRUE(api.genDoeTableForCustomDesign(err)) << err.toStdString();
    ASSERT_TRUE(testhelp::makeTable(api, 0, err)) << err.toStdString();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            QString v = kFraction[r][c];
            ASSERT_TRUE(api.setSingleData(r, c, v, err)) << err.toStdString();
        }
}

// D-efficiency 100 det(X'X)^(1/10) / n of the full quadratic in the first three columns.
long double quadraticD(const Rows& rows)
{
    using LMatrix = Eigen::Matrix<long double, Eigen::Dynamic, Eigen::Dynamic>;
    LMatrix X(rows.size(), 10);
    for (int i = 0; i < rows.size(); ++i) {
        const long double a = rows[i][0].toDouble(), b = rows[i][1].toDouble(),
                          c = rows[i][2].toDouble();
        const long double r[10] = { 1, a, b, c, a * b, a * c, b * c, a * a, b * b, c * c };
        for (int j = 0; j < 10; ++j)
            X(i, j) = r[j];
    }
    const Eigen::LDLT<LMatrix> ldlt(X.transpose() * X);
    long double det = 1;
    for (int j = 0; j < 10; ++j)
        det *= ldlt.vectorD()[j];
    return 100.0L * std::pow(det, 0.1L) / rows.size();
}

bool loadCsv(DoeBussinessApi& api, const QTemporaryDir& dir, const QString& text)
{
    const QString path = dir.filePath("t.csv");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream(&f) << text;
    f.close();
    QString err;
    return api.loadDoeTableByPath(path, err);
}

} // namespace

// A screening fraction extended to the full quadratic: the old runs first and unchanged with
// their responses, the new ones searched with empty responses, at least as D-efficient as 300
// exchange starts that keep the old runs (bench/augment_reference.py: 46.304474191222 %), and the
// evaluation is of the augmented design.
TEST(AugmentDesign, FractionToFullQuadratic)
{
    constexpr double kReferenceD = 46.304474191222;
    for (bool block : { false, true }) {
        SCOPED_TRACE(block ? "with block" : "without block");
        DoeBussinessApi api;
        makeFractionTable(api);
        QString err;
        ASSERT_TRUE(api.prepareAugmentDesign(err)) << err.toStdString();
        QList<QString> factors;
        api.getFactorDataNameList(factors);
        EXPECT_EQ(factors, (QList<QString> { "X1", "X2", "X3" }));
        api.genModelForCustomDesign_RSM();
        EXPECT_EQ(api.augmentMinimumRuns(block, err), block ? 7 : 6) << err.toStdString();
        EXPECT_FALSE(api.augmentDesign(block ? 6 : 5, block, err));
        EXPECT_EQ(err.toStdString(),
            block ? "At least 7 runs must be added\n" : "At least 6 runs must be added\n");
        err.clear();
        ASSERT_TRUE(api.augmentDesign(10, block, err)) << err.toStdString();
        QVector<QString> names;
        api.getColumnNameVector(names);
        EXPECT_EQ(names,
            block ? (QVector<QString> { "X1", "X2", "X3", "Block", "Y" })
                  : (QVector<QString> { "X1", "X2", "X3", "Y" }));
        const Rows rows = tableRows(api);
        ASSERT_EQ(rows.size(), 14);
        const int yCol = block ? 4 : 3;
        for (int r = 0; r < 14; ++r) {
            if (r < 4) {
                EXPECT_EQ(rows[r].mid(0, 3), kFraction[r].mid(0, 3)) << "run " << r;
                EXPECT_EQ(rows[r][yCol], kFraction[r][3]);
            } else {
                EXPECT_TRUE(rows[r][yCol].isEmpty()) << "run " << r;
            }
            if (block) {
                EXPECT_EQ(rows[r][3], r < 4 ? "1" : "2");
            }
        }
        DoeDesignEvaluation eval;
        ASSERT_TRUE(api.getDesignEvaluation(eval, err)) << err.toStdString();
        if (!block) {
            EXPECT_GE(static_cast<double>(quadraticD(rows)), kReferenceD - 1e-9);
            EXPECT_NEAR(eval.dEfficiency, static_cast<double>(quadraticD(rows)), 1e-9);
        } else {
            EXPECT_TRUE(eval.terms.contains("Block"));
        }
    }
}

// Refusals leave the table as it was: runs below the minimum, a range that no longer holds the
// runs, a level the runs do not use, no table.
TEST(AugmentDesign, RefusalsKeepTheTable)
{
    struct Case {
        const char* name;
        QStringList x1Values; // X1's values after preparing; empty: unchanged
        int addRuns;
        const char* message;
    } cases[] = {
        { "narrowed range", { "0", "1" }, 10, "Factor X1: the range must hold run 1 (-1)\n" },
        { "no range", { "1", "1" }, 10, "Factor X1 has no range\n" },
        { "too few runs", {}, 0, "At least 6 runs must be added\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DoeBussinessApi api;
        makeFractionTable(api);
        QString err;
        ASSERT_TRUE(api.prepareAugmentDesign(err));
        api.genModelForCustomDesign_RSM();
        if (!c.x1Values.isEmpty()) {
            DoeDesignFactor f;
            api.getFactorDataByName("X1", f, err);
            f.values = c.x1Values;
            ASSERT_TRUE(api.setFactorData("X1", f, err)) << err.toStdString();
        }
        const Rows before = tableRows(api);
        EXPECT_FALSE(api.augmentDesign(c.addRuns, false, err));
        EXPECT_EQ(err.toStdString(), c.message);
        EXPECT_EQ(tableRows(api), before);
    }
    // A widened range is taken: the new runs may use it.
    DoeBussinessApi api;
    makeFractionTable(api);
    QString err;
    ASSERT_TRUE(api.prepareAugmentDesign(err));
    DoeDesignFactor f;
    api.getFactorDataByName("X1", f, err);
    f.values = QStringList { "-2", "2" };
    ASSERT_TRUE(api.setFactorData("X1", f, err));
    ASSERT_TRUE(api.augmentDesign(4, false, err)) << err.toStdString();
    bool wide = false;
    for (const auto& row : tableRows(api))
        wide = wide || std::fabs(row[0].toDouble()) == 2.0;
    EXPECT_TRUE(wide);
}

// The fold-over of the 2^(7-4) resolution III design: 16 runs whose main effects are clear of
// every two-factor interaction (X1'X2 = 0 exactly in integers); one factor's fold-over mirrors
// only that column; a column of three levels is refused.
TEST(AugmentDesign, FoldOver)
{
    QTemporaryDir dir;
    QString csv = "A,B,C,D,E,F,G\n";
    for (int i = 0; i < 8; ++i) {
        const int a = (i & 1) ? 1 : -1, b = (i & 2) ? 1 : -1, c = (i & 4) ? 1 : -1;
        csv += QString("%1,%2,%3,%4,%5,%6,%7\n")
                   .arg(a)
                   .arg(b)
                   .arg(c)
                   .arg(a * b)
                   .arg(a * c)
                   .arg(b * c)
                   .arg(a * b * c);
    }
    DoeBussinessApi api;
    ASSERT_TRUE(loadCsv(api, dir, csv));
    QString err;
    ASSERT_TRUE(api.foldOverDesign("", err)) << err.toStdString();
    const Rows rows = tableRows(api);
    ASSERT_EQ(rows.size(), 16);
    long long worst = 0;
    for (int m = 0; m < 7; ++m)
        for (int p = 0; p < 7; ++p)
            for (int q = p + 1; q < 7; ++q) {
                long long dot = 0;
                for (const auto& row : rows)
                    dot += row[m].toLongLong() * row[p].toLongLong() * row[q].toLongLong();
                worst = std::max(worst, std::llabs(dot));
            }
    EXPECT_EQ(worst, 0) << "a main effect is aliased with a two-factor interaction";
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 7; ++c)
            EXPECT_EQ(rows[r + 8][c].toInt(), -rows[r][c].toInt());

    struct Case {
        const char* name;
        QString csv;
        QString factor;
        const char* message; // empty: accepted
    } cases[] = {
        { "one factor", "A,B\n-1,1\n1,1\n", "A", "" },
        { "three levels", "A,B\n-1,1\n0,1\n1,-1\n", "",
            "Fold over needs two levels in every run: factor A has 3\n" },
        { "unknown factor", "A,B\n-1,1\n1,-1\n", "Z",
            "Factor Z is not a column of the design table\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DoeBussinessApi one;
        ASSERT_TRUE(loadCsv(one, dir, c.csv));
        QString e;
        const bool ok = one.foldOverDesign(c.factor, e);
        EXPECT_EQ(ok, QString(c.message).isEmpty());
        EXPECT_EQ(e.toStdString(), c.message);
        if (ok) {
            EXPECT_EQ(tableRows(one),
                (Rows { { "-1", "1" }, { "1", "1" }, { "1", "1" }, { "-1", "1" } }));
        }
    }
}

// A table read from a file keeps no column roles: a column with runs still to be measured, or
// named as a response of the design, is kept as a response and not designed for.
TEST(AugmentDesign, FileColumnsWithEmptyRunsOrResponseNamesStayResponses)
{
    QTemporaryDir dir;
    DoeBussinessApi api;
    QString err;
    DoeDesignResponse known;
    ASSERT_TRUE(api.addResponseData(Maximize, known, err));
    ASSERT_TRUE(loadCsv(api, dir,
        QStringLiteral("X1,X2,Pending,%1\n-1,-1,,1\n1,-1,2,2\n-1,1,,3\n1,1,4,4\n").arg(known.name)));
    ASSERT_TRUE(api.prepareAugmentDesign(err)) << err.toStdString();
    QList<QString> factors, responses;
    api.getFactorDataNameList(factors);
    api.getResponseDataNameList(responses);
    EXPECT_EQ(factors, (QList<QString> { "X1", "X2" }));
    EXPECT_EQ(responses, (QList<QString> { "Pending", known.name }));
    ASSERT_TRUE(api.augmentDesign(2, false, err)) << err.toStdString();
    const Rows rows = tableRows(api);
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows[1][2], "2");
    EXPECT_TRUE(rows[5][2].isEmpty() && rows[5][3].isEmpty());
}

// The new runs follow the design's run order: Keep gives them as searched, Random the same runs
// in another order; the runs already made stay first either way.
TEST(AugmentDesign, NewRunsFollowTheRunOrder)
{
    Rows byOrder[2];
    for (int order : { 0, 1 }) {
        DoeBussinessApi api;
        makeFractionTable(api);
        QString err;
        DoeDesignAfterSetting after;
        after.runOrder = order;
        ASSERT_TRUE(api.setDoeDesignAfterSetting(after, err));
        ASSERT_TRUE(api.prepareAugmentDesign(err)) << err.toStdString();
        api.genModelForCustomDesign_RSM();
        ASSERT_TRUE(api.augmentDesign(12, false, err)) << err.toStdString();
        byOrder[order] = tableRows(api);
        ASSERT_EQ(byOrder[order].size(), 16);
        for (int r = 0; r < 4; ++r)
            EXPECT_EQ(byOrder[order][r].mid(0, 3), kFraction[r].mid(0, 3)) << "run " << r;
    }
    Rows kept = byOrder[0].mid(4), shuffled = byOrder[1].mid(4);
    EXPECT_NE(kept, shuffled);  // 12 runs: the same order by chance is below 1 in 10^6
    std::sort(kept.begin(), kept.end());
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(kept, shuffled);
}
