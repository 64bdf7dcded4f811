// Design table, factor and response files and the simulator exchange files, through the facade.
#include <random>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "CSVHelper.h"
#include "DoeBussinessApi.h"
#include "DoeFileManager.h"
#include "DoeTableManager.h"

using namespace doeBussiness;

namespace {

class FilesTest : public ::testing::Test
{
protected:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QString read(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QVector<QVector<QString>> tableRows(DoeBussinessApi& api) const
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
    QVector<QString> names(DoeBussinessApi& api) const
    {
        QVector<QString> out;
        api.getColumnNameVector(out);
        return out;
    }

    QTemporaryDir m_dir;
    DoeBussinessApi m_api;
};

QString randomField(std::mt19937& gen)
{
    static const QStringList pieces = {",", "\"", "\n", "\r\n", " ", "\t", "a", "µm", "°C", "温度", "1.5", "#"};
    std::uniform_int_distribution<int> count(1, 6);
    std::uniform_int_distribution<int> pick(0, pieces.size() - 1);
    QString s;
    for (int i = count(gen); i > 0; --i)
        s += pieces.at(pick(gen));
    return s;
}

}  // namespace

TEST_F(FilesTest, TableColumnKindsAreInferredFromTheCells)
{
    write("t.csv", "Num,Mixed,Empty\n10,1\n2,x\n7.5,1\n\n");
    QString err;
    ASSERT_TRUE(m_api.loadDoeTableByPath(path("t.csv"), err)) << err.toStdString();
    EXPECT_EQ(names(m_api), (QVector<QString>{"Num", "Mixed", "Empty"}));
    EXPECT_EQ(tableRows(m_api), (QVector<QVector<QString>>{{"10", "1", ""}, {"2", "x", ""}, {"7.5", "1", ""}}));

    DoeTableManager t;
    DoeFileManager::parseDoeTableText("Num,Mixed,Empty\n10,1\n2,x\n7.5,1\n", t);
    EXPECT_EQ(t.columns().at(0).role, Continuous);
    EXPECT_EQ(t.columns().at(0).values, (QStringList{"2", "10"}));
    EXPECT_EQ(t.columns().at(1).role, Categorical);
    EXPECT_EQ(t.columns().at(1).values, (QStringList{"1", "x"}));
    EXPECT_TRUE(t.columns().at(2).values.isEmpty());
    for (const DoeDesignTableColumInfo& c : t.columns()) {
        EXPECT_TRUE(c.loadedFromFile);
        EXPECT_TRUE(c.isFactor);
    }
}

TEST_F(FilesTest, TableHeaderIsPaddedAndMadeUnique)
{
    DoeTableManager t;
    DoeFileManager::parseDoeTableText("A,,A,A\n1,2,3,4,5,6\n", t);
    QVector<QString> n;
    t.getColumnNameVector(n);
    EXPECT_EQ(n, (QVector<QString>{"A", "Column_2", "A_2", "A_3", "Column_5", "Column_6"}));

    DoeTableManager empty;
    DoeFileManager::parseDoeTableText(QString(), empty);
    EXPECT_EQ(empty.columnCount(), 0);
    EXPECT_EQ(empty.rowCount(), 0);
}

TEST_F(FilesTest, FailedTableLoadKeepsTheCurrentTable)
{
    write("t.csv", "A,B\n1,2\n");
    QString err;
    ASSERT_TRUE(m_api.loadDoeTableByPath(path("t.csv"), err));
    EXPECT_FALSE(m_api.loadDoeTableByPath(path("missing.csv"), err));
    EXPECT_FALSE(m_api.loadDoeTableByPath(m_dir.path(), err));  // a folder cannot be opened
    EXPECT_FALSE(m_api.loadZelSimResultFile(path("missing.csv"), err));
    EXPECT_EQ(err, "Can't find file\nFail to open file\nCan't find file\n");
    EXPECT_EQ(tableRows(m_api), (QVector<QVector<QString>>{{"1", "2"}}));
}

TEST_F(FilesTest, SaveFailsOnAnUnwritablePath)
{
    QString err;
    EXPECT_FALSE(m_api.saveDoeTableByPath(path("no/such/dir/t.csv"), err));
    EXPECT_FALSE(m_api.saveFactorByPath(m_dir.path(), err));
    EXPECT_EQ(err, "Fail to open file\nFail to open file\n");
}

TEST_F(FilesTest, FactorFileWritesOneLinePerFactorAndReadsItBack)
{
    QString err;
    DoeDesignFactor a;
    ASSERT_TRUE(m_api.addFactorData(Categorical, 3, a, err));
    const QString generated = a.name;
    a.name = "A";
    ASSERT_TRUE(m_api.setFactorData(generated, a, err));
    DoeDesignFactor b;
    ASSERT_TRUE(m_api.addFactorData(Continuous, 2, b, err));
    b.units = "µm, wide";
    b.changes = 2;
    ASSERT_TRUE(m_api.setFactorData(b.name, b, err));
    ASSERT_TRUE(m_api.saveFactorByPath(path("f.csv"), err));
    EXPECT_EQ(read("f.csv"), "# factor_data_output\nA,2,0,L1,L2,L3,\nX1,0,2,-1,1,\"µm, wide\"\n");

    DoeBussinessApi other;
    QList<int> skipped;
    ASSERT_TRUE(other.loadFactorByPath(path("f.csv"), skipped, err));
    EXPECT_TRUE(skipped.isEmpty());
    QList<QString> list;
    other.getFactorDataNameList(list);
    EXPECT_EQ(list, (QList<QString>{"A", "X1"}));
    DoeDesignFactor back;
    other.getFactorDataByName("A", back, err);
    EXPECT_EQ(back, a);
    other.getFactorDataByName("X1", back, err);
    EXPECT_EQ(back, b);
    EXPECT_TRUE(err.isEmpty());
}

TEST_F(FilesTest, FactorFileSkipsBadLinesAndReportsTheirNumbers)
{
    write("f.csv", "# factor_data_output\n"
                   "short,0,0,-1,1\n"         // 5 fields
                   "\n"
                   "R,3,0,-1,1,u\n"           // role out of range
                   "C,x,0,-1,1,u\n"           // role not a number
                   "OK,0,1,-5,5,mm\n"
                   "OK,0,0,1,2,\n"            // repeated name: refused after being added
                   "D,1,0,1,2,2,\n");         // repeated level
    QString err;
    QList<int> skipped;
    ASSERT_TRUE(m_api.loadFactorByPath(path("f.csv"), skipped, err));
    EXPECT_TRUE(err.isEmpty());
    EXPECT_EQ(skipped, (QList<int>{2, 4, 5, 7, 8}));
    EXPECT_EQ(DoeFileManager::skippedLinesText({2, 4}), "line 2: fail to read\nline 4: fail to read\n");
    QList<QString> list;
    m_api.getFactorDataNameList(list);
    // The refused lines leave the factor added under its generated name.
    EXPECT_EQ(list, (QList<QString>{"OK", "X1", "X2"}));
}

TEST_F(FilesTest, MarkerAndMissingFileKeepTheStores)
{
    QString err;
    DoeDesignFactor f;
    m_api.addFactorData(Continuous, 2, f, err);
    DoeDesignResponse r;
    m_api.addResponseData(Maximize, r, err);
    write("bad.csv", "# response_data_output\nX9,0,0,-1,1,\n");
    write("bad2.csv", "# factor_data_output\nY9,0,1,2,3,4,5,6\n");
    EXPECT_FALSE(m_api.loadFactorByPath(path("bad.csv"), err));
    EXPECT_FALSE(m_api.loadResponseByPath(path("bad2.csv"), err));
    EXPECT_FALSE(m_api.loadFactorByPath(path("none.csv"), err));
    EXPECT_EQ(err, "Can't read this file\nCan't read this file\nCan't find file\n");
    QList<QString> list;
    m_api.getFactorDataNameList(list);
    EXPECT_EQ(list, QList<QString>{"X1"});
    m_api.getResponseDataNameList(list);
    EXPECT_EQ(list, QList<QString>{"Y"});
}

TEST_F(FilesTest, ResponseFileNormalisesNumbersOnReading)
{
    write("r.csv", "# response_data_output\n"
                   "Yield,0,1.234567890,5,2,,,\"%, abs\"\n"
                   "Cost,2,1,2,1,0,9,€,extra\n"
                   "Bad,4,1,2,1,0,9,u\n"
                   "Short,0,1,2\n");
    QString err;
    QList<int> skipped;
    ASSERT_TRUE(m_api.loadResponseByPath(path("r.csv"), skipped, err));
    EXPECT_EQ(skipped, (QList<int>{4, 5}));
    DoeDesignResponse y;
    ASSERT_TRUE(m_api.getResponseDataByName("Yield", y, err));
    EXPECT_EQ(y.lowerLimit, "1.23457");
    EXPECT_EQ(y.upperLimit, "5");
    EXPECT_EQ(y.units, "%, abs");
    DoeDesignResponse c;
    ASSERT_TRUE(m_api.getResponseDataByName("Cost", c, err));
    EXPECT_EQ(c.goal, Minimize);
    EXPECT_EQ(c.units, "€");

    ASSERT_TRUE(m_api.saveResponseByPath(path("r2.csv"), err));
    DoeBussinessApi other;
    ASSERT_TRUE(other.loadResponseByPath(path("r2.csv"), err));
    DoeDesignResponse back;
    other.getResponseDataByName("Yield", back, err);
    EXPECT_EQ(back, y);
}

TEST_F(FilesTest, BatchFileNumbersTheRuns)
{
    write("t.csv", "A,B\n1,x\n2,\"y,z\"\n");
    QString err;
    ASSERT_TRUE(m_api.loadDoeTableByPath(path("t.csv"), err));
    ASSERT_TRUE(m_api.saveZelBatchSimFile(path("batch.csv"), err));
    EXPECT_EQ(read("batch.csv"), "case,A,B\n1,1,x\n2,2,\"y,z\"\n");
}

// Property: random fields with separators, quotes, line breaks, padding and non-ASCII text come
// back unchanged from each of the files.
TEST_F(FilesTest, RandomFieldsSurviveEveryFile)
{
    std::mt19937 gen(4242);
    for (int trial = 0; trial < 60; ++trial) {
        QString err;
        // Design table and batch file: header and cells.
        QVector<QString> header{randomField(gen) + "h", randomField(gen) + "k"};
        if (header.at(0) == header.at(1))
            header[1] += "2";
        QString text = tk::CSVHelper::joinFields(QStringList(header.begin(), header.end())) + "\n";
        QVector<QVector<QString>> rows;
        for (int r = 0; r < 3; ++r) {
            QVector<QString> row{randomField(gen), randomField(gen)};
            rows.append(row);
            text += tk::CSVHelper::joinFields(QStringList(row.begin(), row.end())) + "\n";
        }
        write("p.csv", text.toUtf8());
        ASSERT_TRUE(m_api.loadDoeTableByPath(path("p.csv"), err));
        ASSERT_TRUE(m_api.saveDoeTableByPath(path("p2.csv"), err));
        ASSERT_TRUE(m_api.loadDoeTableByPath(path("p2.csv"), err));
        ASSERT_EQ(names(m_api), header);
        ASSERT_EQ(tableRows(m_api), rows);
        ASSERT_TRUE(m_api.saveZelBatchSimFile(path("b.csv"), err));
        ASSERT_TRUE(m_api.loadDoeTableByPath(path("b.csv"), err));
        ASSERT_EQ(names(m_api), (QVector<QString>{"case", header.at(0), header.at(1)}));
        ASSERT_EQ(tableRows(m_api).at(2), (QVector<QString>{"3", rows.at(2).at(0), rows.at(2).at(1)}));

        // Factor and response files: names, levels and units.
        DoeBussinessApi api;
        DoeDesignFactor f;
        ASSERT_TRUE(api.addFactorData(Categorical, 2, f, err));
        const QString generated = f.name;
        f.name = randomField(gen) + "F";
        f.values = QStringList{randomField(gen) + "1", randomField(gen) + "2"};
        f.units = randomField(gen);
        ASSERT_TRUE(api.setFactorData(generated, f, err)) << err.toStdString();
        DoeDesignResponse r;
        ASSERT_TRUE(api.addResponseData(None, r, err));
        r.name = randomField(gen) + "R";
        r.units = randomField(gen);
        ASSERT_TRUE(api.setResponseData("Y", r, err));
        ASSERT_TRUE(api.saveFactorByPath(path("f.csv"), err));
        ASSERT_TRUE(api.saveResponseByPath(path("r.csv"), err));
        DoeBussinessApi back;
        ASSERT_TRUE(back.loadFactorByPath(path("f.csv"), err));
        ASSERT_TRUE(back.loadResponseByPath(path("r.csv"), err));
        DoeDesignFactor f2;
        ASSERT_TRUE(back.getFactorDataByName(f.name, f2, err)) << f.name.toStdString();
        ASSERT_EQ(f2, f);
        DoeDesignResponse r2;
        ASSERT_TRUE(back.getResponseDataByName(r.name, r2, err));
        ASSERT_EQ(r2.units, r.units);
        ASSERT_TRUE(err.isEmpty()) << err.toStdString();
    }
}
