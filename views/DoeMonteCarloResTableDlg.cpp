#include "DoeMonteCarloResTableDlg.h"

#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace doeUI {

DoeMonteCarloResTableDlg::DoeMonteCarloResTableDlg(QWidget* parent) : QDialog(parent)
{
    auto* layout = new QVBoxLayout(this);
    m_table = new QTableWidget(this);
    layout->addWidget(m_table);
    setWindowTitle("Monte Carlo Table");
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint);
    resize(700, 700);
}

void DoeMonteCarloResTableDlg::setData(const QVector<QString>& headers, const QVector<QVector<QString>>& rows)
{
    m_table->clear();
    m_table->setColumnCount(headers.size());
    m_table->setRowCount(rows.size());
    m_table->setHorizontalHeaderLabels(headers.toList());
    m_table->setUpdatesEnabled(false);
    for (int r = 0; r < rows.size(); ++r) {
        const int n = std::min(rows[r].size(), headers.size());
        for (int c = 0; c < n; ++c) {
            auto* it = new QTableWidgetItem(rows[r][c]);
            it->setFlags(it->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEditable));
            m_table->setItem(r, c, it);
        }
    }
    m_table->setUpdatesEnabled(true);
}

}  // namespace doeUI
