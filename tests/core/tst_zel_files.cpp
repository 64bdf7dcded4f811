// Simulator exchange through the facade: definitions become factors, filter the made table and
// code the columns of a loaded result.
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "DoeBussinessApi.h"
#include "facade_test_helpers.h"

using namespace doeBussiness;

namespace {

class ZelFilesTest : public ::testing::Test
{
protected:
    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile f(m_dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
    QVector<QVector<QString>> rows()
    {
        int r = 0;
        int c = 0;
        m_api.getTableSize(r, c);
        QVector<QVector<QString>> out;
        for (int i = 0; i < r; ++i) {
            QVector<QString> row;
            QString err;
            m_api.getTableDataByRow(i, row, err);
            out.append(row);
        }
        return out;
    }

    QTemporaryDir m_dir;
    DoeBussinessApi m_api;
};

}  // namespace

TEST_F(ZelFilesTest, DefinitionsBecomeCategoricalFactors)
{
    const QString def = write("def.txt", "Definition\nP1,1,2,3\nP2,a,b,c\n]\n"
                                         "Definition A\nP2,x,y\nQ,x,x,y\nS,only\n]\n");
    QString err;
    ASSERT_TRUE(m_api.loadZelParamDefFile(def, true, err));
    // P2 again: refused and removed; S has one value.
    EXPECT_EQ(err, "Same Name\nInvalid Level\n");
    QList<QString> names;
    m_api.getFactorDataNameList(names);
    EXPECT_EQ(names, (QList<QString>{"P1", "P2", "Q"}));
    DoeDesignFactor q;
    m_api.getFactorDataByName("Q", q, err);
    EXPECT_EQ(q.role, Categorical);
    EXPECT_EQ(q.values, (QStringList{"x", "y"}));
    DoeDesignFactor p2;
    m_api.getFactorDataByName("P2", p2, err);
    EXPECT_EQ(p2.values, (QStringList{"a", "b", "c"}));
}

TEST_F(ZelFilesTest, MissingDefinitionFileChangesNothing)
{
    QString err;
    DoeDesignFactor f;
    m_api.addFactorData(Continuous, 2, f, err);
    EXPECT_FALSE(m_api.loadZelParamDefFile(m_dir.filePath("none.txt"), false, err));
    EXPECT_FALSE(m_api.loadZelParamDefFile(m_dir.path(), false, err));
    EXPECT_EQ(err, QStringLiteral("Can't find file\ncannot open file: %1\n").arg(m_dir.path()));
    QList<QString> names;
    m_api.getFactorDataNameList(names);
    EXPECT_EQ(names, QList<QString>{"X1"});
}

TEST_F(ZelFilesTest, ResultFileIsCodedAgainstTheDefinitions)
{
    QString err;
    ASSERT_TRUE(m_api.loadZelParamDefFile(write("def.txt", "Definition\nP1,1,2,3\nP2,a,b,c\n]\n"), false, err));
    const QString result = write("result.csv", "case,P1,P2,Y\n1,1,a,0.5\n2,2,b,x\n3,2,a,7\n");
    ASSERT_TRUE(m_api.loadZelSimResultFile(result, err)) << err.toStdString();
    EXPECT_EQ(rows(), (QVector<QVector<QString>>{{"1", "-1", "-1", "0.5"}, {"2", "0", "0", ""}, {"3", "", "", "7"}}));

    // A failed result load leaves the coded table alone (coding it again would empty it).
    EXPECT_FALSE(m_api.loadZelSimResultFile(m_dir.filePath("gone.csv"), err));
    EXPECT_EQ(rows().at(0), (QVector<QString>{"1", "-1", "-1", "0.5"}));

    // Clearing the table also forgets the definitions: a new result keeps its numbers uncoded,
    // while text cells still go, since every column of a result is made continuous.
    m_api.clearTableAndRegressionData();
    ASSERT_TRUE(m_api.loadZelSimResultFile(result, err));
    EXPECT_EQ(rows().at(0), (QVector<QString>{"1", "1", "", "0.5"}));
}

TEST_F(ZelFilesTest, MakeTableReportsAndDropsRowsOutsideTheDefinitions)
{
    QString err;
    ASSERT_TRUE(m_api.loadZelParamDefFile(write("def.txt", "Definition\nP1,1,2,3\nP2,a,b,c\n]\n"), true, err));
    ASSERT_TRUE(m_api.genDoeMinNum(err)) << err.toStdString();
    ASSERT_TRUE(m_api.genDoeTableForCustomDesign(err)) << err.toStdString();
    int generated = 0;
    int cols = 0;
    m_api.getTableSizeForCustomDesign(generated, cols);
    QList<int> invalid;
    for (int r = 0; r < generated; ++r) {
        QVector<QString> row;
        m_api.getTableDataByRowForCustomDesign(r, row, err);
        if (!((row.at(0) == "1" && row.at(1) == "a") || (row.at(0) == "2" && row.at(1) == "b")
              || (row.at(0) == "3" && row.at(1) == "c")))
            invalid.append(r);
    }
    QString check;
    const bool ok = testhelp::makeTable(m_api, 0, check);
    EXPECT_EQ(ok, invalid.isEmpty());
    if (!invalid.isEmpty()) {
        QString expected = "Found invalid row according to parameter defintion and the invalid row will be "
                           "removed.\nInvalid row:";
        for (int r : invalid)
            expected += QStringLiteral(" %1").arg(r + 1);
        EXPECT_EQ(check, expected + "\n");
    }
    int left = 0;
    m_api.getTableSize(left, cols);
    EXPECT_EQ(left, generated - invalid.size());
}

TEST_F(ZelFilesTest, BatchFileWithoutTableIsRefused)
{
    QString err;
    m_api.genDoeTableFromCustomDesign_Preparation();
    ASSERT_TRUE(m_api.saveZelBatchSimFile(m_dir.filePath("b.csv"), err));
    QFile f(m_dir.filePath("b.csv"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("case,\n"));
}

// A definition file that yields no definition is refused and the factors stay; one in UTF-16 or
// with CR-only line ends is read.
TEST_F(ZelFilesTest, DefinitionFilesWithoutADefinitionAreRefused)
{
    QByteArray utf16("\xFE\xFF");
    for (const char c : QByteArray("Definition\nP,1,2\n]\n"))
        utf16.append('\0').append(c);
    struct Case
    {
        const char* what;
        QByteArray bytes;
        QList<QString> factors;  // after the load; X1 when refused
    };
    const QList<Case> cases = {
        {"garbage", "hello\nworld,1,2\n", {"X1"}},
        {"empty", "", {"X1"}},
        {"section never closed", "Definition\nP,1,2\n", {"X1"}},
        {"NUL bytes", QByteArray("Definition\nP,1,\0" "2\n]\n", 20), {"X1"}},
        {"UTF-16", utf16, {"P"}},
        {"CR-only", "Definition\rP,1,2\r]\r", {"P"}},
    };
    for (const Case& c : cases) {
        m_api.clearTableAndRegressionData();
        QString err;
        QList<QString> names;
        m_api.getFactorDataNameList(names);
        for (const QString& n : names)
            m_api.deleteFactorData(n, err);
        DoeDesignFactor f;
        m_api.addFactorData(Continuous, 2, f, err);
        const bool refused = c.factors == QList<QString>{"X1"};
        EXPECT_EQ(m_api.loadZelParamDefFile(write("d.txt", c.bytes), false, err), !refused) << c.what;
        EXPECT_EQ(err, refused ? QStringLiteral("Can't read this file\n") : QString()) << c.what;
        m_api.getFactorDataNameList(names);
        EXPECT_EQ(names, c.factors) << c.what;
    }
}
