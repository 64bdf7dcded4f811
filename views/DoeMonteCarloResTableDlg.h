#pragma once
// Table of the simulated runs, opened by the report's "Make Table".
#include "plan_views_global.h"

#include <QDialog>
#include <QString>
#include <QVector>

class QTableWidget;

namespace doeUI {

class PLAN_VIEWS_EXPORT DoeMonteCarloResTableDlg : public QDialog
{
    Q_OBJECT

public:
    explicit DoeMonteCarloResTableDlg(QWidget* parent = nullptr);
    void setData(const QVector<QString>& headers, const QVector<QVector<QString>>& rows);
    QTableWidget* table() const { return m_table; }

private:
    QTableWidget* m_table = nullptr;
};

}  // namespace doeUI
