#pragma once
// Cells and tables in the report's style: centred, read-only, grey labels, bold headers.
#include <QString>

class QTableWidget;
class QTableWidgetItem;
class QWidget;

namespace doeUI {
namespace report {

QTableWidgetItem* item(const QString& text);
QTableWidgetItem* label(const QString& text);   // grey background
QTableWidgetItem* header(const QString& text);  // grey and bold
QString number(double v);                       // 'g', six significant digits; empty when not finite
// Both headers hidden, every section stretched.
QTableWidget* makeTable(int rows, int columns, QWidget* parent);

}  // namespace report
}  // namespace doeUI
