// The design table store: cell edits and the column levels they keep, row removal and exchange,
// columns, clones, and the checks and coding driven by simulator parameter definitions.
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "DoeTableManager.h"

using namespace doeBussiness;

namespace {

DoeDesignTableColumInfo column(const QString& name, EDoeFactorRole role = Continuous, const QString& units = {})
{
    DoeDesignTableColumInfo c;
    c.name = name;
    c.role = role;
    c.units = units;
    return c;
}

// A table with one column per name and the given rows, levels refreshed.
void fill(DoeTableManager& t, const QStringList& names, const QVector<QVector<QString>>& rows,
          EDoeFactorRole role = Continuous)
{
    for (const QString& n : names)
        t.addColumn(column(n, role));
    for (const QVector<QString>& r : rows)
        t.addRow(r);
    t.refreshAllColumns();
}

QVector<QString> columnCells(const DoeTableManager& t, int c)
{
    QVector<QString> out;
    for (const QVector<QString>& row : t.rows())
        out.append(row.at(c));
    return out;
}

}  // namespace

TEST(TableCellEdit, ContinuousColumnKeepsMinimumAndMaximum)
{
    DoeTableManager t;
    fill(t, {"A"}, {{"1"}, {"3"}, {"3"}});
    EXPECT_EQ(t.columns().at(0).values, (QStringList{"1", "3"}));
    QString err;
    QString v = "2";
    ASSERT_TRUE(t.setSingleData(1, 0, v, err));
    EXPECT_EQ(t.columns().at(0).values, (QStringList{"1", "3"}));
    v = "5";
    ASSERT_TRUE(t.setSingleData(1, 0, v, err));
    EXPECT_EQ(t.columns().at(0).values, (QStringList{"1", "5"}));
    EXPECT_TRUE(err.isEmpty());
}

TEST(TableCellEdit, TextTurnsNumericColumnsCategoricalForGood)
{
    DoeTableManager t;
    fill(t, {"A"}, {{"1"}, {"3"}, {"2"}});
    QString err;
    QString v = "abc";
    ASSERT_TRUE(t.setSingleData(1, 0, v, err));
    EXPECT_EQ(t.columns().at(0).role, Categorical);
    EXPECT_EQ(t.columns().at(0).values, (QStringList{"1", "abc", "2"}));
    v = "7";
    ASSERT_TRUE(t.setSingleData(1, 0, v, err));
    EXPECT_EQ(t.columns().at(0).role, Categorical);

    DoeTableManager d;
    fill(d, {"D"}, {{"10"}, {"2"}}, DiscreteNumeric);
    EXPECT_EQ(d.columns().at(0).values, (QStringList{"2", "10"}));
    v = "";  // an empty cell is no reason to change the kind
    ASSERT_TRUE(d.setSingleData(0, 0, v, err));
    EXPECT_EQ(d.columns().at(0).role, DiscreteNumeric);
    EXPECT_EQ(d.columns().at(0).values, QStringList{"2"});
    v = "x";
    ASSERT_TRUE(d.setSingleData(0, 0, v, err));
    EXPECT_EQ(d.columns().at(0).role, Categorical);
}

TEST(TableCellEdit, BadIndicesAndRolesAreRefusedWithoutChange)
{
    DoeTableManager t;
    fill(t, {"A", "B"}, {{"1", "2"}});
    QString err;
    QString v = "9";
    EXPECT_FALSE(t.setSingleData(-1, 0, v, err));
    EXPECT_FALSE(t.setSingleData(1, 0, v, err));
    EXPECT_FALSE(t.setSingleData(0, 2, v, err));
    EXPECT_FALSE(t.setSingleData(0, -1, v, err));
    EXPECT_FALSE(t.setSingleData(INT_MAX, INT_MAX, v, err));
    EXPECT_EQ(err, "Invalid row\nInvalid row\nInvalid col\nInvalid col\nInvalid row\n");

    DoeTableManager odd;
    odd.addColumn(column("R", static_cast<EDoeFactorRole>(7)));
    odd.addRow({"old"});
    err.clear();
    v = "new";
    EXPECT_FALSE(odd.setSingleData(0, 0, v, err));
    EXPECT_EQ(err, "Invalid value\n");
    EXPECT_EQ(v, "old");
    EXPECT_EQ(odd.rows().at(0).at(0), "old");
}

TEST(TableRows, DeletingTheOnlyRowWithALevelDropsTheLevel)
{
    DoeTableManager t;
    fill(t, {"C"}, {{"a"}, {"b"}, {"a"}}, Categorical);
    t.rowMap().insert(0, 0);
    QString err;
    ASSERT_TRUE(t.deleteTableRow(1, err));
    EXPECT_EQ(t.columns().at(0).values, QStringList{"a"});
    EXPECT_TRUE(t.rowMap().isEmpty());
    EXPECT_FALSE(t.deleteTableRow(2, err));
    EXPECT_FALSE(t.deleteTableRow(-1, err));
    EXPECT_EQ(err, "Invalid row\nInvalid row\n");
    EXPECT_EQ(t.rowCount(), 2);
}

TEST(TableRows, MoveExchangesTwoRows)
{
    DoeTableManager t;
    fill(t, {"N"}, {{"A"}, {"B"}, {"C"}}, Categorical);
    QString err;
    ASSERT_TRUE(t.moveTableRow(0, 2, err));
    EXPECT_EQ(columnCells(t, 0), (QVector<QString>{"C", "B", "A"}));
    EXPECT_TRUE(t.moveTableRow(1, 1, err));
    EXPECT_FALSE(t.moveTableRow(0, 3, err));
    EXPECT_FALSE(t.moveTableRow(-1, 0, err));
    EXPECT_EQ(err, "Invalid row\nInvalid row\n");
}

TEST(TableRows, GetRowChecksTheIndex)
{
    DoeTableManager t;
    fill(t, {"A"}, {{"1"}});
    QString err;
    QVector<QString> out{"keep"};
    EXPECT_FALSE(t.getTableDataByRow(-1, out, err));
    EXPECT_FALSE(t.getTableDataByRow(1, out, err));
    EXPECT_EQ(out, QVector<QString>{"keep"});
    EXPECT_TRUE(t.getTableDataByRow(0, out, err));
    EXPECT_EQ(out, QVector<QString>{"1"});
    EXPECT_EQ(err, "Invalid row\nInvalid row\n");
}

TEST(TableColumns, NamesUnitsAndRepeatedColumns)
{
    DoeTableManager t;
    EXPECT_TRUE(t.addColumn(column("Temp", Continuous, "C")));
    t.addRow({"1", "surplus"});
    EXPECT_EQ(t.rows().at(0), QVector<QString>{"1"});
    EXPECT_TRUE(t.addColumn(column("Plain")));
    EXPECT_FALSE(t.addColumn(column("Temp")));
    EXPECT_EQ(t.rows().at(0).size(), 2);
    QVector<QString> labels;
    t.getColumnNameUnitVector(labels);
    EXPECT_EQ(labels, (QVector<QString>{"Temp(C)", "Plain"}));
    DoeDesignTableColumInfo found;
    int idx = -1;
    QString err;
    EXPECT_TRUE(t.getColumnByName("Plain", found, idx, err));
    EXPECT_EQ(idx, 1);
    EXPECT_FALSE(t.getColumnByName("plain", found, idx, err));
    EXPECT_EQ(err, "Invalid name\n");
}

TEST(TableClone, CopyIsDeepAndIndependent)
{
    DoeTableManager t;
    fill(t, {"A"}, {{"1"}, {"2"}});
    t.setParamDefinitions(parseZelParamDefText("Definition\nA,1,2\n]\n"));
    t.rowMap().insert(1, 0);
    DoeTableManager* copy = t.clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->rows(), t.rows());
    EXPECT_EQ(copy->paramDefinitions(), t.paramDefinitions());
    EXPECT_EQ(copy->rowMap(), t.rowMap());
    QString err;
    QString v = "9";
    copy->setSingleData(0, 0, v, err);
    EXPECT_EQ(t.rows().at(0).at(0), "1");
    delete copy;
}

TEST(TableShuffle, KeepsTheRowsAsAMultiset)
{
    DoeTableManager t;
    QVector<QVector<QString>> rows;
    for (int i = 0; i < 50; ++i)
        rows.append({QString::number(i), QString::number(i * i)});
    fill(t, {"I", "Sq"}, rows);
    t.rowMap().insert(0, 0);
    t.shuffleRows();
    EXPECT_TRUE(t.rowMap().isEmpty());
    QVector<QVector<QString>> after = t.rows();
    EXPECT_NE(after, rows);  // 50! orders: a repeat of the original is not a realistic outcome
    std::sort(after.begin(), after.end(), [](const QVector<QString>& a, const QVector<QString>& b) {
        return a.at(0).toInt() < b.at(0).toInt();
    });
    EXPECT_EQ(after, rows);
}

TEST(TableDefinitions, RowsOutsideThePointsAreReportedAndRemoved)
{
    DoeTableManager t;
    fill(t, {"P1", "P2", "Other"}, {{"1", "a", "x"}, {"2", "a", "y"}, {"3", "c", "z"}, {"9", "9", "w"}},
         Categorical);
    t.setParamDefinitions(parseZelParamDefText("Definition\nP1,1,2,3\nP2,a,b,c\n]\n"
                                                "Definition\nMissing,1\n]\n"));
    QString err;
    EXPECT_FALSE(t.checkInvalidRows(err));
    EXPECT_EQ(err, "Found invalid row according to parameter defintion and the invalid row will be removed.\n"
                   "Invalid row: 2 4\n");
    EXPECT_EQ(t.invalidRows(), (QList<int>{1, 3}));
    QString removeErr;
    EXPECT_TRUE(t.removeInvalidRows(removeErr));
    EXPECT_EQ(columnCells(t, 2), (QVector<QString>{"x", "z"}));
    EXPECT_EQ(t.columns().at(2).values, (QStringList{"x", "z"}));

    DoeTableManager plain;
    fill(plain, {"A"}, {{"1"}});
    QString none;
    EXPECT_TRUE(plain.checkInvalidRows(none));
    EXPECT_TRUE(none.isEmpty());
}

TEST(TableDefinitions, StaleInvalidRowIsReportedNotTouched)
{
    DoeTableManager t;
    fill(t, {"P"}, {{"1"}, {"5"}}, Categorical);
    t.setParamDefinitions(parseZelParamDefText("Definition\nP,1,2\n]\n"));
    QString err;
    t.checkInvalidRows(err);
    QString delErr;
    t.deleteTableRow(1, delErr);
    QString removeErr;
    EXPECT_FALSE(t.removeInvalidRows(removeErr));
    EXPECT_EQ(removeErr, "Invalid row: 1\n");
    EXPECT_EQ(t.rowCount(), 1);
}

TEST(TableDefinitions, ApplyingCodesParameterCellsAndMakesColumnsContinuous)
{
    DoeTableManager t;
    fill(t, {"P1", "P2", "Note"}, {{"1", "a", "5"}, {"2", "b", "text"}, {"2", "a", ""}}, Categorical);
    t.setParamDefinitions(parseZelParamDefText("Definition\nP1,1,2,3\nP2,a,b,c\n]\n"));
    t.applyParamDefinitions();
    EXPECT_EQ(t.rows(), (QVector<QVector<QString>>{{"-1", "-1", "5"}, {"0", "0", ""}, {"", "", ""}}));
    for (const DoeDesignTableColumInfo& c : t.columns())
        EXPECT_EQ(c.role, Continuous);
    EXPECT_EQ(t.columns().at(0).values, (QStringList{"-1", "0"}));
}

TEST(TableClear, EmptiesColumnsRowsAndBookkeeping)
{
    DoeTableManager t;
    fill(t, {"A"}, {{"1"}});
    t.rowMap().insert(0, 0);
    t.setParamDefinitions(parseZelParamDefText("Definition\nA,2,3\n]\n"));
    QString err;
    t.checkInvalidRows(err);
    t.clear();
    int rows = -1;
    int cols = -1;
    t.getTableSize(rows, cols);
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(cols, 0);
    EXPECT_TRUE(t.rowMap().isEmpty());
    EXPECT_TRUE(t.invalidRows().isEmpty());
    EXPECT_EQ(t.paramDefinitions().size(), 1);
}

// A block write gives what writing the cells one at a time gives: kinds, levels, per-cell refusals.
TEST(TableCellBlock, BlockWriteMatchesCellByCellRules)
{
    const struct {
        const char* name;
        EDoeFactorRole role;
        QVector<DoeTableCellEdit> edits;
        QVector<QString> cells;  // column 0 afterwards
        EDoeFactorRole roleAfter;
        QStringList values;
        QStringList refusals;  // per edit, empty when stored
    } cases[] = {
        {"numbers widen the range", Continuous, {{0, 0, "0.5"}, {2, 0, "9"}}, {"0.5", "3", "9"}, Continuous,
         {"0.5", "9"}, {"", ""}},
        {"text makes the column categorical", Continuous, {{1, 0, "b"}, {2, 0, "a"}}, {"1", "b", "a"}, Categorical,
         {"1", "b", "a"}, {"", ""}},
        {"discrete keeps its levels sorted", DiscreteNumeric, {{0, 0, "7"}, {1, 0, ""}}, {"7", "", "2"},
         DiscreteNumeric, {"2", "7"}, {"", ""}},
        {"bad cells are refused one by one", Continuous,
         {{0, 0, "4"}, {3, 0, "5"}, {1, 1, "5"}, {2, 0, QString("x") + QChar(0) + "y"}}, {"4", "3", "2"}, Continuous,
         {"2", "4"},
         {"", "Invalid row\n", "Invalid col\n", DoeTableManager::unstorableTextReason(QString(QChar(0)))}},
    };
    for (const auto& c : cases) {
        DoeTableManager t;
        fill(t, {"A"}, {{"1"}, {"3"}, {"2"}}, c.role);
        QVector<DoeTableCellEdit> edits = c.edits;
        QString err;
        const bool allStored = t.setCells(edits, err);
        EXPECT_EQ(columnCells(t, 0), c.cells) << c.name;
        EXPECT_EQ(t.columns().at(0).role, c.roleAfter) << c.name;
        EXPECT_EQ(t.columns().at(0).values, c.values) << c.name;
        QStringList refusals;
        for (const DoeTableCellEdit& e : edits)
            refusals << e.refusal;
        EXPECT_EQ(refusals, c.refusals) << c.name;
        EXPECT_EQ(allStored, refusals.join(QString()).isEmpty()) << c.name;
        EXPECT_EQ(err.isEmpty(), allStored) << c.name;
    }
}

// Restoring the before-state of a block write (undo) and then its after-state (redo) gives back
// cells, column kinds and levels exactly, the kind change included.
TEST(TableCellBlock, RestoreUndoesAndRedoesABlockWrite)
{
    DoeTableManager t;
    fill(t, {"A", "B"}, {{"1", "x"}, {"3", "y"}, {"2", "x"}});
    const QVector<DoeDesignTableColumInfo> before = t.columns();
    const QVector<QVector<QString>> rowsBefore = t.rows();
    QVector<DoeTableColumnState> statesBefore;
    t.columnStates({0, 5}, statesBefore);
    ASSERT_EQ(statesBefore.size(), 1);
    QVector<DoeTableCellEdit> edits{{0, 0, "abc"}, {2, 0, "9"}};
    QString err;
    ASSERT_TRUE(t.setCells(edits, err));
    const QVector<DoeDesignTableColumInfo> after = t.columns();
    const QVector<QVector<QString>> rowsAfter = t.rows();
    ASSERT_EQ(after.at(0).role, Categorical);
    QVector<DoeTableColumnState> statesAfter;
    t.columnStates({0}, statesAfter);

    QVector<DoeTableCellEdit> undo = edits;
    for (DoeTableCellEdit& e : undo)
        e.text = e.previous;
    ASSERT_TRUE(t.restoreCells(undo, statesBefore, err));
    EXPECT_EQ(t.rows(), rowsBefore);
    EXPECT_EQ(t.columns().at(0).role, before.at(0).role);
    EXPECT_EQ(t.columns().at(0).values, before.at(0).values);
    ASSERT_TRUE(t.restoreCells(edits, statesAfter, err));
    EXPECT_EQ(t.rows(), rowsAfter);
    EXPECT_EQ(t.columns().at(0).role, Categorical);
    EXPECT_EQ(t.columns().at(0).values, after.at(0).values);
    EXPECT_TRUE(err.isEmpty());

    // A stale index changes nothing, not even the cells before it.
    QVector<DoeTableCellEdit> stale{{0, 1, "z"}, {3, 0, "q"}};
    EXPECT_FALSE(t.restoreCells(stale, {}, err));
    EXPECT_EQ(t.rows(), rowsAfter);
}

// The facade guard test needs the shared test access to the facade's members.
#if __has_include("tst_facade_access.h")
#include "DoeBussinessApi.h"
#include "tst_facade_access.h"

// Without a design table the table operations refuse with one message and touch no output.
TEST(TableFacadeGuards, MissingTableIsReportedNotDereferenced)
{
    DoeBussinessApi api;
    DoeTableManager*& table = DoeBussinessApiTestAccess::table(api);
    delete table;
    table = nullptr;
    QString err;
    QVector<QString> out{"keep"};
    QString value = "1";
    EXPECT_FALSE(api.getTableDataByRow(0, out, err));
    EXPECT_FALSE(api.setSingleData(0, 0, value, err));
    EXPECT_FALSE(api.deleteTableRow(0, err));
    EXPECT_FALSE(api.moveTableRow(0, 1, err));
    EXPECT_FALSE(api.saveDoeTableByPath("unused.csv", err));
    EXPECT_FALSE(api.saveZelBatchSimFile("unused.csv", err));
    EXPECT_FALSE(api.genDoeTableFromCustomDesign_CheckInvalidRow(err));
    EXPECT_EQ(err, QString("Table doesn't exist\n").repeated(7));
    int rows = -3;
    int cols = -3;
    api.getTableSize(rows, cols);
    api.getColumnNameVector(out);
    api.getColumnNameUnitVector(out);
    api.clearTableAndRegressionData();
    EXPECT_EQ(rows, -3);
    EXPECT_EQ(out, QVector<QString>{"keep"});
    // Make Table brings a table back.
    api.genDoeTableFromCustomDesign_Preparation();
    api.getTableSize(rows, cols);
    EXPECT_EQ(rows, 0);
}

// Every text a cell accepts survives a save and a load of the table file; texts the file cannot
// carry are refused at entry with the cell unchanged, so no saved table is unreadable.
TEST(TableCellText, AcceptedTextsSurviveTheFileAndTheRestAreRefused)
{
    QVector<QChar> probes;
    for (ushort u = 0; u < 0x20; ++u)
        probes << QChar(u);
    for (ushort u : {0x7F, 0x85, 0xA0, 0x2028, 0xFEFF, 0xFFFE, 0xFFFF, 0xD800, 0xDC00})
        probes << QChar(u);
    const QString pair = QString::fromUcs4(U"\U0001F600");
    QTemporaryDir dir;
    const QString path = dir.filePath("t.csv");
    for (const QChar ch : probes) {
        for (const QString& text : {QString(ch), QString("a") + ch + "b", QString(ch) + pair, pair + ch}) {
            DoeBussinessApi api;
            QFile seed(path);
            ASSERT_TRUE(seed.open(QIODevice::WriteOnly | QIODevice::Truncate));
            seed.write("A,B\n1,k\n");
            seed.close();
            QString err;
            ASSERT_TRUE(api.loadDoeTableByPath(path, err)) << err.toStdString();
            const bool refusable = ch.isNull() || ch.isSurrogate();
            QString value = text;
            const bool stored = api.setSingleData(0, 1, value, err);
            QVector<QString> row;
            api.getTableDataByRow(0, row, err);
            const QString label = QString("U+%1 in \"%2\"").arg(ch.unicode(), 4, 16, QChar('0')).arg(text.size());
            if (refusable) {
                EXPECT_FALSE(stored) << label.toStdString();
                EXPECT_EQ(row.value(1), "k") << label.toStdString();
                EXPECT_EQ(value, "k") << label.toStdString();
                continue;
            }
            ASSERT_TRUE(stored) << label.toStdString();
            ASSERT_TRUE(api.saveDoeTableByPath(path, err)) << err.toStdString();
            ASSERT_TRUE(api.loadDoeTableByPath(path, err)) << label.toStdString() << err.toStdString();
            api.getTableDataByRow(0, row, err);
            EXPECT_EQ(row.value(1), text) << label.toStdString();
        }
    }
}
#endif
