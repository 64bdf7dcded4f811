#pragma once
// Column widths for data tables: whole headers and values visible, and no sideways scrolling where
// the table's own width can hold every column.
#include <QObject>
#include <QVector>

class QTableView;

namespace doeUI {

// Sizes each column to its header and values, at least the default section width; values longer than
// `maxValueWidth` pixels are cut there, headers never are.
void fitColumnsToHeaderAndValues(QTableView* table, int maxValueWidth = 320);

// Keeps a table's columns filling its visible width: every column gets its header and value width,
// spare width goes to `elastic` (or is shared evenly when it is -1), and when the columns do not fit,
// `elastic` gives up width down to `elasticMinimum`, its texts elided in the middle. Refits whenever
// the table is resized; call fit() after the contents change. Owned by the table.
class DoeColumnFitter : public QObject
{
public:
    DoeColumnFitter(QTableView* table, int elastic = -1, int elasticMinimum = 120);
    void fit();
    // Pixels the table lacks to show every column whole, 0 when it has enough.
    int shortfall() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QVector<int> naturalWidths() const;

    QTableView* m_table;
    QObject* m_viewport = nullptr;
    int m_elastic;
    int m_elasticMinimum;
    bool m_fitting = false;
};

}  // namespace doeUI
