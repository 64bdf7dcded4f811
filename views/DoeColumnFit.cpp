#include "DoeColumnFit.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>
#include <numeric>

namespace doeUI {

namespace {
// Widest value of a column, cell widgets included (public through the base class).
int valueWidth(const QAbstractItemView* view, int column)
{
    return view->sizeHintForColumn(column);
}
}  // namespace

void fitColumnsToHeaderAndValues(QTableView* table, int maxValueWidth)
{
    QHeaderView* header = table->horizontalHeader();
    const int columns = header->count();
    for (int c = 0; c < columns; ++c) {
        const int values = std::min(valueWidth(table, c), maxValueWidth);
        const int title = header->isHidden() ? 0 : header->sectionSizeHint(c);
        header->resizeSection(c, std::max({header->defaultSectionSize(), title, values}));
    }
}

DoeColumnFitter::DoeColumnFitter(QTableView* table, int elastic, int elasticMinimum)
    : QObject(table), m_table(table), m_elastic(elastic), m_elasticMinimum(elasticMinimum)
{
    if (m_elastic >= 0) {
        // One line per cell: a wrapped name would lose its second line in a row of one line's height.
        m_table->setWordWrap(false);
        m_table->setTextElideMode(Qt::ElideMiddle);
    }
    m_viewport = m_table->viewport();
    m_viewport->installEventFilter(this);
}

QVector<int> DoeColumnFitter::naturalWidths() const
{
    const QHeaderView* header = m_table->horizontalHeader();
    QVector<int> widths(header->count());
    for (int c = 0; c < widths.size(); ++c) {
        const int title = header->isHidden() ? 0 : header->sectionSizeHint(c);
        widths[c] = std::max(title, valueWidth(m_table, c));
    }
    return widths;
}

int DoeColumnFitter::shortfall() const
{
    const QVector<int> widths = naturalWidths();
    return std::max(0, std::accumulate(widths.begin(), widths.end(), 0) - m_table->viewport()->width());
}

void DoeColumnFitter::fit()
{
    if (m_fitting)
        return;
    m_fitting = true;
    QVector<int> widths = naturalWidths();
    const int columns = widths.size();
    const int total = std::accumulate(widths.begin(), widths.end(), 0);
    // The viewport leaves out a shown vertical scroll bar; when one comes or goes, the viewport's
    // resize brings us back here.
    const int available = m_table->viewport()->width();
    const bool elastic = m_elastic >= 0 && m_elastic < columns;
    if (columns > 0 && total < available) {
        int spare = available - total;
        if (elastic) {
            widths[m_elastic] += spare;
        } else {
            for (int c = 0; c < columns; ++c) {
                const int share = spare / (columns - c);
                widths[c] += share;
                spare -= share;
            }
        }
    } else if (elastic && total > available) {
        const int floor = std::min(widths[m_elastic], m_elasticMinimum);
        widths[m_elastic] = std::max(floor, widths[m_elastic] - (total - available));
    }
    QHeaderView* header = m_table->horizontalHeader();
    for (int c = 0; c < columns; ++c)
        header->resizeSection(c, widths[c]);
    m_fitting = false;
}

bool DoeColumnFitter::eventFilter(QObject* watched, QEvent* event)
{
    // The table is not asked for its viewport here: while the table is being destroyed its
    // viewport still receives events, and the table is no longer a scroll area.
    if (event->type() == QEvent::Resize && watched == m_viewport)
        fit();
    return QObject::eventFilter(watched, event);
}

}  // namespace doeUI
