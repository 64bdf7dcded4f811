#pragma once
// Blocks of table cells as tab-separated text, the way spreadsheets copy and paste them: rows end
// in a newline, cells are separated by tabs, and a cell holding a tab, a newline or a quote is quoted
// with its quotes doubled.
#include <QString>
#include <QVector>

namespace doeUI {

QString blockToTabSeparated(const QVector<QVector<QString>>& block);

// Reads a block; one trailing line end is not a further row, "\r\n" and "\r" end rows as "\n" does.
QVector<QVector<QString>> blockFromTabSeparated(const QString& text);

}  // namespace doeUI
