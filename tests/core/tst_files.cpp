// Design table, factor and response files and the simulator exchange files, through the facade.
#include <csignal>
#include <functional>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    EXPECT_EQ(err, QStringLiteral("Can't find file\nFail to open file\n%1: Not a regular file\nCan't find file\n")
                       .arg(QDir::toNativeSeparators(m_dir.path())));
    EXPECT_EQ(tableRows(m_api), (QVector<QVector<QString>>{{"1", "2"}}));
}

TEST_F(FilesTest, SaveFailsOnAnUnwritablePath)
{
    QString err;
    EXPECT_FALSE(m_api.saveDoeTableByPath(path("no/such/dir/t.csv"), err));
    EXPECT_FALSE(m_api.saveFactorByPath(m_dir.path(), err));
    // Each message names the file and the system's reason on a second line.
    const QStringList lines = err.split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines.at(0), "Fail to open file");
    EXPECT_TRUE(lines.at(1).startsWith(QDir::toNativeSeparators(path("no/such/dir/t.csv")) + ": ")) << lines.at(1).toStdString();
    EXPECT_EQ(lines.at(2), "Fail to open file");
    EXPECT_TRUE(lines.at(3).startsWith(QDir::toNativeSeparators(m_dir.path()) + ": ")) << lines.at(3).toStdString();
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

// Texts that are not numbers by the one number rule make a column categorical.
TEST_F(FilesTest, TableColumnsFollowTheNumberRule)
{
    struct Case
    {
        QString cells;  // one column, one cell per line
        EDoeFactorRole role;
        QStringList values;
    };
    const QList<Case> cases = {
        {"nan\n3\n5", Categorical, {"nan", "3", "5"}},
        {"3\ninf\n3", Categorical, {"3", "inf"}},
        {"-inf\n1", Categorical, {"-inf", "1"}},
        {"1e999\n2", Categorical, {"1e999", "2"}},
        {"NaN\nNaN", Categorical, {"NaN"}},
        {"1e3\n-0.5\n2", Continuous, {"-0.5", "1e3"}},
    };
    for (const Case& c : cases) {
        DoeTableManager t;
        DoeFileManager::parseDoeTableText("A\n" + c.cells + "\n", t);
        ASSERT_EQ(t.columnCount(), 1);
        EXPECT_EQ(t.columns().at(0).role, c.role) << c.cells.toStdString();
        EXPECT_EQ(t.columns().at(0).values, c.values) << c.cells.toStdString();
    }
}

// Every reader shares the quoting rule: a stray quote inside a field is text, no line is swallowed.
TEST_F(FilesTest, StrayQuotesAreTextInEveryReader)
{
    QString err;
    write("t.csv", "A,B\n1,12\"\n3,4\n5,6\n");
    ASSERT_TRUE(m_api.loadDoeTableByPath(path("t.csv"), err));
    EXPECT_EQ(tableRows(m_api), (QVector<QVector<QString>>{{"1", "12\""}, {"3", "4"}, {"5", "6"}}));

    write("f.csv", "# factor_data_output\nLen,0,0,-1,1,in\"\nW,0,0,-1,1,\n\"Open,0,0,-1,1,\n");
    QList<int> skipped;
    ASSERT_TRUE(m_api.loadFactorByPath(path("f.csv"), skipped, err));
    QList<QString> list;
    m_api.getFactorDataNameList(list);
    EXPECT_EQ(list, (QList<QString>{"Len", "W", "\"Open"}));
    DoeDesignFactor len;
    m_api.getFactorDataByName("Len", len, err);
    EXPECT_EQ(len.units, "in\"");

    write("r.csv", "# response_data_output\nY\",0,1,2,1,,,\nZ,3,,,1,,,\n");
    ASSERT_TRUE(m_api.loadResponseByPath(path("r.csv"), skipped, err));
    m_api.getResponseDataNameList(list);
    EXPECT_EQ(list, (QList<QString>{"Y\"", "Z"}));

    write("d.txt", "Definition\nP,1\",2\nQ,a,b\n]\n");
    ASSERT_TRUE(m_api.loadZelParamDefFile(path("d.txt"), true, err)) << err.toStdString();
    DoeDesignFactor p;
    m_api.getFactorDataByName("P", p, err);
    EXPECT_EQ(p.values, (QStringList{"1\"", "2"}));
    EXPECT_TRUE(skipped.isEmpty());
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

// Encodings and line ends are understood; bytes that are not text are refused and nothing loaded
// before is lost.
TEST_F(FilesTest, TableFilesThatAreNotTextAreRefused)
{
    struct Case
    {
        const char* what;
        QByteArray bytes;
        bool loads;
        QVector<QString> names;
        int rows;
    };
    QByteArray utf16("\xFF\xFE");
    const QString text = QStringLiteral("Temp,Größe\n1,2\n3,4\n");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QByteArray manyInvalid("A,B\n");
    for (int i = 0; i < 20; ++i)
        manyInvalid += "\x80\xFF,1\n";
    const QList<Case> cases = {
        {"UTF-16", utf16, true, {"Temp", QStringLiteral("Größe")}, 2},
        {"CR-only", "A,B,C\r1,2,3\r4,5,6\r", true, {"A", "B", "C"}, 2},
        {"UTF-8 with mark", "\xEF\xBB\xBF" "A\n1\n", true, {"A"}, 1},
        {"NUL byte", QByteArray("A,B\n1,2\n3,\0" "4\n", 13), false, {}, 0},
        {"invalid UTF-8 throughout", manyInvalid, false, {}, 0},
    };
    for (const Case& c : cases) {
        write("keep.csv", "K\n7\n");
        QString err;
        ASSERT_TRUE(m_api.loadDoeTableByPath(path("keep.csv"), err));
        write("t.csv", c.bytes);
        EXPECT_EQ(m_api.loadDoeTableByPath(path("t.csv"), err), c.loads) << c.what;
        if (c.loads) {
            EXPECT_TRUE(err.isEmpty()) << c.what;
            EXPECT_EQ(names(m_api), c.names) << c.what;
            EXPECT_EQ(tableRows(m_api).size(), c.rows) << c.what;
        } else {
            EXPECT_EQ(err, "Can't read this file\n") << c.what;
            EXPECT_EQ(names(m_api), QVector<QString>{"K"}) << c.what;
            EXPECT_EQ(tableRows(m_api), (QVector<QVector<QString>>{{"7"}})) << c.what;
        }
    }
    // Binary data after a good start keeps the factors as they were.
    QString err;
    DoeDesignFactor f;
    m_api.addFactorData(Continuous, 2, f, err);
    write("f.csv", QByteArray("# factor_data_output\nA,0,0,-1,1,\n\0\n", 36));
    QList<int> skipped;
    EXPECT_FALSE(m_api.loadFactorByPath(path("f.csv"), skipped, err));
    EXPECT_EQ(err, "Can't read this file\n");
    QList<QString> list;
    m_api.getFactorDataNameList(list);
    EXPECT_EQ(list, QList<QString>{"X1"});
    EXPECT_TRUE(skipped.isEmpty());
}

// Pipes, devices and folders are refused at once (a pipe without writer would block forever).
TEST_F(FilesTest, PathsThatAreNotRegularFilesAreRefusedAtOnce)
{
    const QString fifo = path("pipe.csv");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    write("keep.csv", "K\n7\n");
    QString err;
    ASSERT_TRUE(m_api.loadDoeTableByPath(path("keep.csv"), err));
    DoeDesignFactor f;
    m_api.addFactorData(Continuous, 2, f, err);
    for (const QString& p : {fifo, QStringLiteral("/dev/null"), m_dir.path()}) {
        const QString expected = QStringLiteral("Fail to open file\n%1: Not a regular file\n").arg(QDir::toNativeSeparators(p));
        QString e;
        EXPECT_FALSE(m_api.loadDoeTableByPath(p, e));
        EXPECT_FALSE(m_api.loadZelSimResultFile(p, e));
        EXPECT_FALSE(m_api.loadFactorByPath(p, e));
        EXPECT_FALSE(m_api.loadResponseByPath(p, e));
        EXPECT_EQ(e, expected + expected + expected + expected);
        e.clear();
        EXPECT_FALSE(m_api.loadZelParamDefFile(p, true, e));
        EXPECT_EQ(e, QStringLiteral("cannot open file: %1\n").arg(p));
    }
    EXPECT_EQ(tableRows(m_api), (QVector<QVector<QString>>{{"7"}}));
    QList<QString> list;
    m_api.getFactorDataNameList(list);
    EXPECT_EQ(list, QList<QString>{"X1"});
}

TEST_F(FilesTest, TableBeyondTheMemoryBudgetIsRefused)
{
    QString text = QStringLiteral("A,B\n");
    for (int r = 0; r < 1000; ++r)
        text += QStringLiteral("%1,x%1\n").arg(r);
    tk::CSVRecordReader reader(text);
    DoeTableManager t;
    QString err;
    EXPECT_FALSE(DoeFileManager::readDoeTable(reader, t, err, 4096));
    EXPECT_EQ(err, "File too large\n");
    EXPECT_EQ(t.columnCount(), 0);
}

namespace {

// Limits the size of files this process writes, so a write fails after its first bytes.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

}  // namespace

// A save that fails part way leaves the old file byte for byte and no temporary file behind.
TEST_F(FilesTest, FailedSaveKeepsTheOldFile)
{
    QString err;
    QString big = QStringLiteral("A,B\n");
    for (int r = 0; r < 20000; ++r)
        big += QStringLiteral("%1,level %1\n").arg(r);
    write("big.csv", big.toUtf8());
    ASSERT_TRUE(m_api.loadDoeTableByPath(path("big.csv"), err));
    for (int i = 0; i < 3000; ++i) {
        DoeDesignFactor f;
        m_api.addFactorData(Categorical, 3, f, err);
        DoeDesignResponse r;
        m_api.addResponseData(Maximize, r, err);
    }
    using Save = std::function<bool(const QString&, QString&)>;
    const QList<QPair<QString, Save>> writers = {
        {"table", [this](const QString& p, QString& e) { return m_api.saveDoeTableByPath(p, e); }},
        {"factors", [this](const QString& p, QString& e) { return m_api.saveFactorByPath(p, e); }},
        {"responses", [this](const QString& p, QString& e) { return m_api.saveResponseByPath(p, e); }},
        {"batch", [this](const QString& p, QString& e) { return m_api.saveZelBatchSimFile(p, e); }},
    };
    const QByteArray old("old,file\n1,2\n");
    for (const auto& writer : writers) {
        write("good.csv", old);
        QString e;
        {
            FileSizeLimit limit(16 * 1024);
            if (!limit.ok())
                GTEST_SKIP() << "cannot limit the file size";
            EXPECT_FALSE(writer.second(path("good.csv"), e)) << writer.first.toStdString();
        }
        EXPECT_TRUE(e.startsWith(QStringLiteral("Fail to write file\n%1: ").arg(QDir::toNativeSeparators(path("good.csv")))))
            << e.toStdString();
        QFile f(path("good.csv"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), old) << writer.first.toStdString();
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 2) << writer.first.toStdString();
        // Without the limit the same save replaces the file.
        EXPECT_TRUE(writer.second(path("good.csv"), e));
        EXPECT_GT(QFileInfo(path("good.csv")).size(), 16 * 1024);
    }
}
