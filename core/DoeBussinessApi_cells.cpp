#include "DoeBussinessApi.h"
#include "DoeTableManager.h"

namespace doeBussiness {

namespace {
const QString kNoTableForCells = QStringLiteral("Table doesn't exist\n");
}

bool DoeBussinessApi::setTableCells(QVector<DoeTableCellEdit>& edits, QString& err)
{
    if (!m_tableManager) {
        err += kNoTableForCells;
        return false;
    }
    return m_tableManager->setCells(edits, err);
}

void DoeBussinessApi::getTableColumnStates(const QVector<int>& columns, QVector<DoeTableColumnState>& out) const
{
    out.clear();
    if (m_tableManager)
        m_tableManager->columnStates(columns, out);
}

bool DoeBussinessApi::restoreTableCells(const QVector<DoeTableCellEdit>& cells,
                                        const QVector<DoeTableColumnState>& columns, QString& err)
{
    if (!m_tableManager) {
        err += kNoTableForCells;
        return false;
    }
    return m_tableManager->restoreCells(cells, columns, err);
}

}  // namespace doeBussiness
