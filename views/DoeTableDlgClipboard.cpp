#include "DoeTableDlgClipboard.h"

namespace doeUI {

namespace {

QString quoted(const QString& cell)
{
    if (!cell.contains(QLatin1Char('\t')) && !cell.contains(QLatin1Char('\n')) && !cell.contains(QLatin1Char('\r'))
        && !cell.startsWith(QLatin1Char('"')))
        return cell;
    QString out = cell;
    out.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

}  // namespace

QString blockToTabSeparated(const QVector<QVector<QString>>& block)
{
    QString text;
    for (const QVector<QString>& row : block) {
        for (int c = 0; c < row.size(); ++c) {
            if (c > 0)
                text += QLatin1Char('\t');
            text += quoted(row[c]);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

QVector<QVector<QString>> blockFromTabSeparated(const QString& text)
{
    QVector<QVector<QString>> block;
    QVector<QString> row;
    QString cell;
    bool inQuotes = false;
    bool cellStarted = false;  // a quote opens a quoted cell only as its first character
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar ch = text[i];
        if (inQuotes) {
            if (ch == QLatin1Char('"') && i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                cell += ch;
                ++i;
            } else if (ch == QLatin1Char('"')) {
                inQuotes = false;
            } else {
                cell += ch;
            }
            continue;
        }
        if (ch == QLatin1Char('"') && !cellStarted) {
            inQuotes = true;
            cellStarted = true;
        } else if (ch == QLatin1Char('\t')) {
            row << cell;
            cell.clear();
            cellStarted = false;
        } else if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r')) {
            if (ch == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
            row << cell;
            block << row;
            row.clear();
            cell.clear();
            cellStarted = false;
        } else {
            cell += ch;
            cellStarted = true;
        }
    }
    if (cellStarted || !row.isEmpty())
        block << (row << cell);
    return block;
}

}  // namespace doeUI
