#include "DoeTableManager.h"

#include <algorithm>
#include <random>

#include <QSet>

#include "DoeCommon.h"

namespace doeBussiness {

namespace {

bool isNumber(const QString& s)
{
    return DoeCommon::isDouble(s);
}

}  // namespace

DoeTableManager::DoeTableManager() = default;
DoeTableManager::~DoeTableManager() = default;

DoeTableManager* DoeTableManager::clone() const
{
    return new DoeTableManager(*this);
}

void DoeTableManager::getTableSize(int& rows, int& cols) const
{
    rows = m_rows.size();
    cols = m_columns.size();
}

bool DoeTableManager::getTableDataByRow(int row, QVector<QString>& out, QString& err) const
{
    if (row < 0 || row >= m_rows.size()) {
        err += QStringLiteral("Invalid row\n");
        return false;
    }
    out = m_rows.at(row);
    return true;
}

void DoeTableManager::getColumnNameVector(QVector<QString>& out) const
{
    out.clear();
    out.reserve(m_columns.size());
    for (const DoeDesignTableColumInfo& c : m_columns)
        out.append(c.name);
}

void DoeTableManager::getColumnNameUnitVector(QVector<QString>& out) const
{
    out.clear();
    out.reserve(m_columns.size());
    for (const DoeDesignTableColumInfo& c : m_columns)
        out.append(c.units.isEmpty() ? c.name : QStringLiteral("%1(%2)").arg(c.name, c.units));
}

int DoeTableManager::columnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).name == name)
            return i;
    return -1;
}

bool DoeTableManager::getColumnByName(const QString& name, DoeDesignTableColumInfo& out, int& idx,
                                      QString& err) const
{
    const int i = columnIndex(name);
    if (i < 0) {
        err += QStringLiteral("Invalid name\n");
        return false;
    }
    out = m_columns.at(i);
    idx = i;
    return true;
}

bool DoeTableManager::setSingleData(int row, int col, QString& value, QString& err)
{
    if (!applyCell(row, col, value, err))
        return false;
    refreshColumn(col);
    return true;
}

QString DoeTableManager::unstorableTextReason(const QString& text)
{
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar ch = text.at(i);
        if (ch.isNull())
            return QStringLiteral("Invalid value: a NUL character cannot be kept in a table file\n");
        if (ch.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (ch.isSurrogate())
            return QStringLiteral("Invalid value: a broken character (unpaired UTF-16 surrogate) cannot be "
                                  "kept in a table file\n");
    }
    return QString();
}

bool DoeTableManager::applyCell(int row, int col, QString& value, QString& err)
{
    if (row < 0 || row >= m_rows.size()) {
        err += QStringLiteral("Invalid row\n");
        return false;
    }
    if (col < 0 || col >= m_rows.at(row).size() || col >= m_columns.size()) {
        err += QStringLiteral("Invalid col\n");
        return false;
    }
    // A text the table file cannot carry would be saved with success and then refuse to load.
    const QString unstorable = unstorableTextReason(value);
    if (!unstorable.isEmpty()) {
        err += unstorable;
        value = m_rows.at(row).at(col);
        return false;
    }
    DoeDesignTableColumInfo& column = m_columns[col];
    const bool notNumber = !value.isEmpty() && !isNumber(value);
    switch (column.role) {
    case EDoeFactorRole::Continuous:
        if (notNumber) {
            column.role = EDoeFactorRole::Categorical;
            column.values.clear();
        }
        break;
    case EDoeFactorRole::DiscreteNumeric:
        if (notNumber)
            column.role = EDoeFactorRole::Categorical;
        break;
    case EDoeFactorRole::Categorical:
        break;
    default:
        err += QStringLiteral("Invalid value\n");
        value = m_rows.at(row).at(col);
        return false;
    }
    m_rows[row][col] = value;
    return true;
}

bool DoeTableManager::setCells(QVector<DoeTableCellEdit>& edits, QString& err)
{
    QVector<bool> touched(m_columns.size(), false);
    QSet<QString> reasons;
    QStringList reasonOrder;
    for (DoeTableCellEdit& edit : edits) {
        edit.refusal.clear();
        const bool inside = edit.row >= 0 && edit.row < m_rows.size() && edit.column >= 0
                            && edit.column < m_rows.at(edit.row).size();
        edit.previous = inside ? m_rows.at(edit.row).at(edit.column) : QString();
        if (applyCell(edit.row, edit.column, edit.text, edit.refusal)) {
            touched[edit.column] = true;
            continue;
        }
        if (!reasons.contains(edit.refusal)) {
            reasons.insert(edit.refusal);
            reasonOrder << edit.refusal;
        }
    }
    for (int c = 0; c < touched.size(); ++c)
        if (touched.at(c))
            refreshColumn(c);
    err += reasonOrder.join(QString());
    return reasonOrder.isEmpty();
}

void DoeTableManager::columnStates(const QVector<int>& columns, QVector<DoeTableColumnState>& out) const
{
    out.clear();
    for (int c : columns) {
        if (c < 0 || c >= m_columns.size())
            continue;
        DoeTableColumnState state;
        state.column = c;
        state.role = m_columns.at(c).role;
        state.values = m_columns.at(c).values;
        out.append(state);
    }
}

bool DoeTableManager::restoreCells(const QVector<DoeTableCellEdit>& cells, const QVector<DoeTableColumnState>& columns,
                                   QString& err)
{
    for (const DoeTableCellEdit& cell : cells) {
        if (cell.row < 0 || cell.row >= m_rows.size() || cell.column < 0 || cell.column >= m_rows.at(cell.row).size()
            || cell.column >= m_columns.size()) {
            err += QStringLiteral("Invalid cell: row %1, column %2\n").arg(cell.row).arg(cell.column);
            return false;
        }
    }
    for (const DoeTableColumnState& state : columns) {
        if (state.column < 0 || state.column >= m_columns.size()) {
            err += QStringLiteral("Invalid col\n");
            return false;
        }
    }
    for (const DoeTableCellEdit& cell : cells)
        m_rows[cell.row][cell.column] = cell.text;
    for (const DoeTableColumnState& state : columns) {
        m_columns[state.column].role = state.role;
        m_columns[state.column].values = state.values;
    }
    return true;
}

bool DoeTableManager::deleteTableRow(int row, QString& err)
{
    if (row < 0 || row >= m_rows.size()) {
        err += QStringLiteral("Invalid row\n");
        return false;
    }
    m_rows.removeAt(row);
    refreshAllColumns();
    discardRowDerivedData();
    return true;
}

bool DoeTableManager::moveTableRow(int from, int to, QString& err)
{
    if (from < 0 || from >= m_rows.size() || to < 0 || to >= m_rows.size()) {
        err += QStringLiteral("Invalid row\n");
        return false;
    }
    if (from == to)
        return true;
    std::swap(m_rows[from], m_rows[to]);
    discardRowDerivedData();
    return true;
}

bool DoeTableManager::addColumn(const DoeDesignTableColumInfo& column)
{
    if (columnIndex(column.name) >= 0)
        return false;
    m_columns.append(column);
    for (QVector<QString>& row : m_rows)
        row.append(QString());
    return true;
}

void DoeTableManager::addRow(const QVector<QString>& cells)
{
    addRow(QVector<QString>(cells));
}

void DoeTableManager::addRow(QVector<QString>&& cells)
{
    cells.resize(m_columns.size());
    m_rows.append(std::move(cells));
}

void DoeTableManager::setContent(QVector<DoeDesignTableColumInfo>&& columns, QVector<QVector<QString>>&& rows)
{
    clear();
    m_columns = std::move(columns);
    m_rows = std::move(rows);
    for (QVector<QString>& row : m_rows)
        row.resize(m_columns.size());
}

void DoeTableManager::clear()
{
    m_columns.clear();
    m_rows.clear();
    m_rowMap.clear();
    m_invalidRows.clear();
    clearAllAnalysisData();
}

void DoeTableManager::takeContentFrom(DoeTableManager& other)
{
    clear();
    m_columns = std::move(other.m_columns);
    m_rows = std::move(other.m_rows);
    other.m_columns.clear();
    other.m_rows.clear();
}

void DoeTableManager::refreshColumn(int c)
{
    if (c < 0 || c >= m_columns.size())
        return;
    DoeDesignTableColumInfo& column = m_columns[c];
    QStringList values = column.values;
    QSet<QString> known(values.begin(), values.end());
    QSet<QString> present;
    for (const QVector<QString>& row : qAsConst(m_rows)) {
        if (c >= row.size())
            continue;
        const QString& cell = row.at(c);
        if (cell.isEmpty())
            continue;
        present.insert(cell);
        if (!known.contains(cell)) {
            known.insert(cell);
            values.append(cell);
        }
    }
    for (int i = values.size() - 1; i >= 0; --i)
        if (!present.contains(values.at(i)))
            values.removeAt(i);
    if (!values.isEmpty()) {
        if (column.role == EDoeFactorRole::DiscreteNumeric) {
            DoeCommon::sortQStringListByNumber(values);
        } else if (column.role == EDoeFactorRole::Continuous) {
            DoeCommon::sortQStringListByNumber(values);
            if (values.size() > 2)
                values = QStringList{values.first(), values.last()};
        }
    }
    column.values = values;
}

void DoeTableManager::refreshAllColumns()
{
    for (int c = 0; c < m_columns.size(); ++c)
        refreshColumn(c);
}

void DoeTableManager::shuffleRows()
{
    std::random_device device;
    std::mt19937 generator(device());
    std::shuffle(m_rows.begin(), m_rows.end(), generator);
    discardRowDerivedData();
}

void DoeTableManager::discardRowDerivedData()
{
    m_rowMap.clear();
    clearRowAlignedAnalysisData();
}

bool DoeTableManager::checkInvalidRows(QString& err)
{
    m_invalidRows.clear();
    QVector<bool> invalid(m_rows.size(), false);
    for (const DoeParamDefinition& def : qAsConst(m_paramDefinitions)) {
        QVector<int> cols;
        for (const QString& name : def.paramNames)
            cols.append(columnIndex(name));
        if (def.paramNames.isEmpty() || cols.contains(-1))
            continue;
        const QHash<QStringList, int> index = def.pointIndex();
        for (int r = 0; r < m_rows.size(); ++r) {
            QStringList tuple;
            for (int c : qAsConst(cols))
                tuple.append(m_rows.at(r).value(c));
            if (!index.contains(tuple))
                invalid[r] = true;
        }
    }
    for (int r = 0; r < invalid.size(); ++r)
        if (invalid.at(r))
            m_invalidRows.append(r);
    if (m_invalidRows.isEmpty())
        return true;
    QString message = QStringLiteral(
        "Found invalid row according to parameter defintion and the invalid row will be removed.\n"
        "Invalid row:");
    for (int r : qAsConst(m_invalidRows))
        message += QStringLiteral(" %1").arg(r + 1);
    err += message + QLatin1Char('\n');
    return false;
}

bool DoeTableManager::removeInvalidRows(QString& err)
{
    bool ok = true;
    for (int i = m_invalidRows.size() - 1; i >= 0; --i) {
        const int r = m_invalidRows.at(i);
        if (r >= 0 && r < m_rows.size()) {
            m_rows.removeAt(r);
        } else {
            err += QStringLiteral("Invalid row: %1\n").arg(r);
            ok = false;
        }
    }
    if (!m_invalidRows.isEmpty())
        discardRowDerivedData();
    m_invalidRows.clear();
    refreshAllColumns();
    return ok;
}

void DoeTableManager::applyParamDefinitions()
{
    QMap<QString, int> columnOf;
    for (int c = 0; c < m_columns.size(); ++c)
        columnOf.insert(m_columns.at(c).name, c);
    for (const DoeParamDefinition& def : qAsConst(m_paramDefinitions)) {
        QVector<int> cols;
        for (const QString& name : def.paramNames)
            cols.append(columnOf.value(name, -1));
        if (def.paramNames.isEmpty() || cols.contains(-1))
            continue;
        const QVector<QStringList> codes = def.pointCodes();
        const QHash<QStringList, int> index = def.pointIndex();
        for (QVector<QString>& row : m_rows) {
            QStringList tuple;
            for (int c : qAsConst(cols))
                tuple.append(row.value(c));
            const int j = index.value(tuple, -1);
            for (int p = 0; p < cols.size(); ++p)
                row[cols.at(p)] = j >= 0 ? codes.at(j).value(p) : QString();
        }
    }
    for (int c = 0; c < m_columns.size(); ++c) {
        DoeDesignTableColumInfo& column = m_columns[c];
        if (column.role == EDoeFactorRole::Continuous)
            continue;
        column.role = EDoeFactorRole::Continuous;
        for (QVector<QString>& row : m_rows)
            if (c < row.size() && !isNumber(row.at(c)))
                row[c].clear();
    }
    refreshAllColumns();
}

}  // namespace doeBussiness
