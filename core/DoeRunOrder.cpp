#include "DoeRunOrder.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <numeric>
#include <random>

#include "DoeTableManager.h"

namespace doeBussiness {

namespace {

// Appends the rows `idx` to `out`: grouped by the cell of column keys[k] (groups in a random
// order), each group ordered by the next key, the runs of the innermost group shuffled.
void orderRows(const QVector<QVector<QString>>& rows, const QVector<int>& idx, const QVector<int>& keys, int k,
               std::mt19937& gen, QVector<int>& out)
{
    if (k == keys.size()) {
        QVector<int> runs = idx;
        std::shuffle(runs.begin(), runs.end(), gen);
        out += runs;
        return;
    }
    QStringList order;
    QHash<QString, QVector<int>> groups;
    for (int r : idx) {
        const QString& cell = rows[r][keys[k]];
        if (!groups.contains(cell))
            order.append(cell);
        groups[cell].append(r);
    }
    std::shuffle(order.begin(), order.end(), gen);
    for (const QString& cell : qAsConst(order))
        orderRows(rows, groups.value(cell), keys, k + 1, gen, out);
}

const char* const kPlotColumns[] = {"Block", "Whole-Whole Plots", "Whole Plots"};

}  // namespace

bool isPlotColumnName(const QString& name)
{
    for (const char* plot : kPlotColumns)
        if (name == QLatin1String(plot))
            return true;
    return false;
}

QStringList plotLabels(const QVector<QVector<QString>>& rows, int column)
{
    QStringList labels;
    for (const QVector<QString>& row : rows)
        if (column < row.size() && !row[column].isEmpty() && !labels.contains(row[column]))
            labels.append(row[column]);
    std::stable_sort(labels.begin(), labels.end(),
                     [](const QString& a, const QString& b) { return a.toDouble() < b.toDouble(); });
    return labels;
}

bool shuffleRowsKeepingPlots(DoeTableManager& table)
{
    QVector<int> keys;
    for (const char* name : kPlotColumns) {
        const int c = table.columnIndex(QString::fromLatin1(name));
        if (c >= 0)
            keys.append(c);
    }
    if (keys.isEmpty())
        return false;
    const QVector<QVector<QString>>& rows = table.rows();
    QVector<int> all(rows.size());
    std::iota(all.begin(), all.end(), 0);
    std::random_device device;
    std::mt19937 gen(device());
    QVector<int> order;
    orderRows(rows, all, keys, 0, gen, order);
    QVector<QVector<QString>> shuffled;
    shuffled.reserve(rows.size());
    for (int r : qAsConst(order))
        shuffled.append(rows[r]);
    QVector<DoeDesignTableColumInfo> columns = table.columns();
    table.setContent(std::move(columns), std::move(shuffled));
    return true;
}

}  // namespace doeBussiness
