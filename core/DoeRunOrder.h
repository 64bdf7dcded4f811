#pragma once
// Columns of restricted randomisation (blocks, whole-whole plots, whole plots): their names, their
// levels, and a random run order that keeps each group contiguous.
#include <QString>
#include <QStringList>
#include <QVector>

namespace doeBussiness {

class DoeTableManager;

// "Whole Plots", "Whole-Whole Plots" or "Block": numbered groups, categorical whatever their cells.
bool isPlotColumnName(const QString& name);
// Distinct non-empty cells of column `column`, numbers in ascending order.
QStringList plotLabels(const QVector<QVector<QString>>& rows, int column);

// False (table untouched) when the table has no "Block", "Whole-Whole Plots" or "Whole Plots"
// column; the caller then shuffles freely.
bool shuffleRowsKeepingPlots(DoeTableManager& table);

}  // namespace doeBussiness
