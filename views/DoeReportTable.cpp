#include "DoeReportTable.h"

#include <cmath>

#include <QFont>
#include <QHeaderView>
#include <QTableWidget>

namespace doeUI {
namespace report {

QTableWidgetItem* item(const QString& text)
{
    auto* it = new QTableWidgetItem(text);
    it->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    it->setFlags(it->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEditable));
    return it;
}

QTableWidgetItem* label(const QString& text)
{
    auto* it = item(text);
    it->setBackground(QColor(220, 220, 220));
    return it;
}

QTableWidgetItem* header(const QString& text)
{
    auto* it = label(text);
    QFont f = it->font();
    f.setWeight(75);
    it->setFont(f);
    return it;
}

QString number(double v)
{
    // A statistic without degrees of freedom has no value: its cell stays empty.
    return std::isfinite(v) ? QString("%1").arg(v, 0, 'g') : QString();
}

QTableWidget* makeTable(int rows, int columns, QWidget* parent)
{
    auto* t = new QTableWidget(rows, columns, parent);
    t->horizontalHeader()->hide();
    t->verticalHeader()->hide();
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    return t;
}

}  // namespace report
}  // namespace doeUI
