#pragma once
// One design table: named columns described by DoeDesignTableColumInfo and rows of text cells.
// Keeps each column's levels consistent with its cells, records the rows found invalid against
// the simulator's parameter definitions, and carries the data the analyses derive from the table.
#include <QList>
#include <QMap>
#include <QString>
#include <QVector>

#include "DoeDesignRecords.h"
#include "DoeRegressionData.h"
#include "DoeTableCellEdit.h"
#include "DoeZelParamDefinition.h"
#include "plan_core_global.h"

namespace doeBussiness {

class PLAN_CORE_EXPORT DoeTableManager
{
public:
    DoeTableManager();
    ~DoeTableManager();
    DoeTableManager& operator=(const DoeTableManager&) = delete;

    // Deep copy of every member, analysis data included. Caller owns the result.
    DoeTableManager* clone() const;

    int rowCount() const { return m_rows.size(); }
    int columnCount() const { return m_columns.size(); }
    const QVector<DoeDesignTableColumInfo>& columns() const { return m_columns; }
    const QVector<QVector<QString>>& rows() const { return m_rows; }

    void getTableSize(int& rows, int& cols) const;
    bool getTableDataByRow(int row, QVector<QString>& out, QString& err) const;
    void getColumnNameVector(QVector<QString>& out) const;
    void getColumnNameUnitVector(QVector<QString>& out) const;
    // Index of the named column, or -1.
    int columnIndex(const QString& name) const;
    // Copies the named column and its index; "Invalid name\n" when there is none.
    bool getColumnByName(const QString& name, DoeDesignTableColumInfo& out, int& idx, QString& err) const;

    bool setSingleData(int row, int col, QString& value, QString& err);
    // Writes many cells at once with the rules of setSingleData, refreshing each touched column
    // once, so a block of n cells costs O(n + touched columns x rows). Cells are judged one by one:
    // a refused cell keeps its text and carries the reason. False when any cell was refused; the
    // message then holds each distinct reason once.
    bool setCells(QVector<DoeTableCellEdit>& edits, QString& err);
    // Kind and levels of the given columns (out-of-range indices are skipped).
    void columnStates(const QVector<int>& columns, QVector<DoeTableColumnState>& out) const;
    // Puts cell texts (`text` of each edit) and column states back exactly as given, without
    // deriving anything: the inverse of a setCells whose before-state was taken with columnStates.
    // Checks every index first; on a bad one nothing changes.
    bool restoreCells(const QVector<DoeTableCellEdit>& cells, const QVector<DoeTableColumnState>& columns,
                      QString& err);
    // Empty when `text` can be stored in a cell and read back from a table file; otherwise the
    // message that refuses it (NUL characters and unpaired UTF-16 surrogates).
    static QString unstorableTextReason(const QString& text);
    bool deleteTableRow(int row, QString& err);
    bool moveTableRow(int from, int to, QString& err);

    // False (no message) when a column of that name exists; otherwise rows grow by one empty cell.
    bool addColumn(const DoeDesignTableColumInfo& column);
    // Appends a row cut or padded to the column count.
    void addRow(const QVector<QString>& cells);
    void addRow(QVector<QString>&& cells);
    // Replaces columns and rows at once (file loads); names must be unique, rows as wide as the
    // column list. Avoids the per-column name check, which is quadratic for very wide files.
    void setContent(QVector<DoeDesignTableColumInfo>&& columns, QVector<QVector<QString>>&& rows);
    // Removes columns, rows and every analysis member.
    void clear();
    // Takes columns and rows of `other` (which is left empty); definitions and invalid rows stay.
    void takeContentFrom(DoeTableManager& other);

    void refreshColumn(int c);
    void refreshAllColumns();
    // Puts the rows in a uniformly random, non-reproducible order.
    void shuffleRows();

    // ---- simulator parameter definitions ----
    void setParamDefinitions(const DoeParamDefinitionList& defs) { m_paramDefinitions = defs; }
    const DoeParamDefinitionList& paramDefinitions() const { return m_paramDefinitions; }
    // Records the rows whose parameter cells form no admissible point; false with the two-line
    // message when some are invalid.
    bool checkInvalidRows(QString& err);
    const QList<int>& invalidRows() const { return m_invalidRows; }
    // Removes the recorded invalid rows, last first, then refreshes every column.
    bool removeInvalidRows(QString& err);
    // Replaces parameter cells by their point codes and makes every column continuous.
    void applyParamDefinitions();

    QMap<int, int>& rowMap() { return m_rowMap; }
    const QMap<int, int>& rowMap() const { return m_rowMap; }

    // ---- regression data set and Monte Carlo table ----
    // Members held here must be copyable (clone copies the whole object). The two hooks are called
    // by the table: the first whenever rows are removed or reordered, the second when it is cleared.
    void clearRowAlignedAnalysisData() { m_analysis.regression.clearRowMap(); }
    void clearAllAnalysisData() { m_analysis.clear(); }
    DoeRegressionAnalysisData& analysisData() { return m_analysis; }
    const DoeRegressionAnalysisData& analysisData() const { return m_analysis; }

private:
    DoeRegressionAnalysisData m_analysis;

public:
    // ---- end of regression data set and Monte Carlo table ----

private:
    DoeTableManager(const DoeTableManager&) = default;
    void discardRowDerivedData();
    // Checks one cell write and applies its column-kind change and text; no level refresh.
    bool applyCell(int row, int col, QString& value, QString& err);

    QVector<DoeDesignTableColumInfo> m_columns;
    QVector<QVector<QString>> m_rows;
    QMap<int, int> m_rowMap;
    QList<int> m_invalidRows;
    DoeParamDefinitionList m_paramDefinitions;
};

}  // namespace doeBussiness
