// Restricted randomisation of the custom design: the whole-plot, whole-whole-plot and block
// setting, its hand-over to the engine and the plot columns of the generated table.
#include <cmath>

#include "DoeCustomDesignManager.h"
#include "DoeFunctionManager.h"
#include "DoeTableManager.h"

namespace doeBussiness {

namespace {

constexpr int kDefaultSlot = -1;
constexpr int kMaxCount = 1000000;

bool validCount(int count)
{
    return count == -1 || (count >= 1 && count <= kMaxCount);
}

DoeDesignTableColumInfo groupColumn(const QString& name, int count)
{
    DoeDesignTableColumInfo column;
    column.name = name;
    column.role = Categorical;
    for (int k = 1; k <= count; ++k)
        column.values.append(QString::number(k));
    return column;
}

}  // namespace

bool DoeCustomDesignManager::setDesignStructureSetting(DoeDesignStructureSetting& s, QString& err)
{
    if (!validCount(s.wholePlots) || !validCount(s.wholeWholePlots) || s.blocks < 1 || s.blocks > kMaxCount
        || !std::isfinite(s.varianceRatio) || s.varianceRatio < 0.0) {
        err += QStringLiteral("Invalid Value\n");
        s = m_structure;
        return false;
    }
    m_structure = s;
    return true;
}

void DoeCustomDesignManager::proposedWholePlots(int runs, int& wholePlots, int& wholeWholePlots) const
{
    const auto capped = [runs](int proposal) { return proposal < 1 ? -1 : (runs >= 1 ? qMin(proposal, runs) : proposal); };
    wholePlots = capped(m_proposedWholePlots);
    wholeWholePlots = capped(m_proposedWholeWholePlots);
}

QVector<int> DoeCustomDesignManager::factorChanges() const
{
    QVector<int> changes;
    for (const QString& name : m_factors.names()) {
        DoeDesignFactor factor;
        QString ignored;
        changes.append(getFactorDataByName(name, factor, ignored) ? factor.changes : 0);
    }
    return changes;
}

bool DoeCustomDesignManager::passRunStructure(doeFunc::DoeFunctionManager* engine, int runs, QString& err) const
{
    // An engine without the exports designs as if every factor changed freely, as it always did.
    if (!engine->hasRunStructureExports())
        return true;
    const QVector<int> changes = factorChanges();
    const bool hard = changes.contains(1), veryHard = changes.contains(2);
    if (runs >= 1) {
        const int rows = runs;
        if (hard && m_structure.wholePlots > rows) {
            err += QStringLiteral("Number of Whole Plots is larger than the number of runs\n");
            return false;
        }
        if (veryHard && m_structure.wholeWholePlots > (hard && m_structure.wholePlots >= 1 ? m_structure.wholePlots : rows)) {
            err += QStringLiteral("Number of Whole-Whole Plots is larger than the number of whole plots\n");
            return false;
        }
        if (m_structure.blocks > rows) {
            err += QStringLiteral("Number of Blocks is larger than the number of runs\n");
            return false;
        }
    }
    if (!engine->setRunStructure(changes, m_structure.wholePlots, m_structure.wholeWholePlots, m_structure.blocks,
                                 m_structure.varianceRatio, kDefaultSlot)) {
        err += QStringLiteral("Fail to calculate\n");
        return false;
    }
    return true;
}

void DoeCustomDesignManager::addStructureColumns(doeFunc::DoeFunctionManager* engine, int rows)
{
    if (!engine->hasRunStructureExports() || !m_customTable || m_customTable->rowCount() != rows)
        return;
    QVector<int> wp(rows), wwp(rows), block(rows);
    int maxWp = 0, maxWwp = 0, maxBlock = 0;
    for (int r = 0; r < rows; ++r) {
        if (!engine->getRunStructure(r, wp[r], wwp[r], block[r], kDefaultSlot))
            return;
        maxWp = qMax(maxWp, wp[r]);
        maxWwp = qMax(maxWwp, wwp[r]);
        maxBlock = qMax(maxBlock, block[r]);
    }
    QVector<DoeDesignTableColumInfo> columns = m_customTable->columns();
    QVector<QVector<QString>> cells = m_customTable->rows();
    const auto append = [&](const QString& name, int count, const QVector<int>& numbers) {
        if (count < 1 || m_customTable->columnIndex(name) >= 0)
            return;
        columns.append(groupColumn(name, count));
        for (int r = 0; r < rows; ++r)
            cells[r].append(QString::number(numbers[r]));
    };
    append(QStringLiteral("Whole Plots"), maxWp, wp);
    append(QStringLiteral("Whole-Whole Plots"), maxWwp, wwp);
    append(QStringLiteral("Block"), maxBlock, block);
    if (columns.size() != m_customTable->columnCount())
        m_customTable->setContent(std::move(columns), std::move(cells));
}

}  // namespace doeBussiness
