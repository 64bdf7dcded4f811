#include "DoeMonteCarloTable.h"

#include <cmath>
#include <limits>

namespace doeBussiness {

void DoeMonteCarloTable::clear()
{
    *this = DoeMonteCarloTable();
}

QString DoeMonteCarloTable::numberText(double v)
{
    if (!std::isfinite(v))
        return QString();
    // Six significant digits, as the design table writes its cells.
    return QStringLiteral("%1").arg(v, 0, 'g', -1);
}

QVector<QString> DoeMonteCarloTable::header() const
{
    QVector<QString> out;
    out.reserve(m_columns.size());
    for (const Column& c : m_columns)
        out.append(c.name);
    return out;
}

double DoeMonteCarloTable::value(int row, int column) const
{
    if (row < 0 || row >= m_simulated.size() || column < 0 || column >= m_columns.size())
        return std::numeric_limits<double>::quiet_NaN();
    const Column& c = m_columns[column];
    if (c.kind == Column::Response)
        return m_simulated[row];
    if (!c.perRow.isEmpty())
        return c.perRow[row];
    const int combination = m_runsPerCombination > 0 ? row / m_runsPerCombination : 0;
    return combination < c.perCombination.size() ? c.perCombination[combination]
                                                 : std::numeric_limits<double>::quiet_NaN();
}

QVector<QString> DoeMonteCarloTable::textRow(int row) const
{
    QVector<QString> out;
    out.reserve(m_columns.size());
    for (int c = 0; c < m_columns.size(); ++c) {
        const double v = value(row, c);
        const Column& col = m_columns[c];
        if (col.kind == Column::FactorValue && !col.levels.isEmpty() && std::isfinite(v)) {
            const int idx = static_cast<int>(std::lround(v));
            if (idx >= 0 && idx < col.levels.size() && idx == v) {
                out.append(col.levels[idx]);
                continue;
            }
        }
        out.append(numberText(v));
    }
    return out;
}

QVector<QVector<QString>> DoeMonteCarloTable::textRows() const
{
    QVector<QVector<QString>> rows;
    rows.reserve(m_simulated.size());
    for (int r = 0; r < m_simulated.size(); ++r)
        rows.append(textRow(r));
    return rows;
}

}  // namespace doeBussiness
