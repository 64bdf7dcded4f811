#include "DoeRegressionData.h"

namespace doeBussiness {

QString DoeRegressionData::convertCell(const DoeDesignTableColumInfo& column, const QString& cell)
{
    if (column.role == Continuous)
        return cell;
    return QString::number(column.values.indexOf(cell));
}

QVector<QVector<QString>> DoeRegressionData::transposed(const QVector<QVector<QString>>& rows,
                                                        int columns)
{
    QVector<QVector<QString>> out(columns);
    for (auto& c : out)
        c.reserve(rows.size());
    for (const auto& row : rows)
        for (int c = 0; c < columns; ++c)
            out[c].append(c < row.size() ? row[c] : QString());
    return out;
}

bool DoeRegressionData::build(const QVector<DoeDesignTableColumInfo>& columns,
                              const QVector<QVector<QString>>& rows, const QList<QString>& factors,
                              const QList<QString>& responses, QString& err)
{
    QVector<int> factorCols, responseCols;
    QMap<QString, DoeDesignTableColumInfo> info;
    auto locate = [&](const QList<QString>& names, QVector<int>& out) {
        for (const QString& n : names) {
            int idx = -1;
            for (int c = 0; c < columns.size(); ++c)
                if (columns[c].name == n) {
                    idx = c;
                    break;
                }
            if (idx < 0)
                return false;
            out.append(idx);
            info.insert(n, columns[idx]);
        }
        return true;
    };
    if (!locate(factors, factorCols) || !locate(responses, responseCols)) {
        err += QStringLiteral("Empty data\n");
        return false;
    }

    DoeRegressionData d;
    d.m_factorNames = factors;
    d.m_responseNames = responses;
    d.m_columnInfo = info;
    auto cellsOf = [](const QVector<QString>& row, const QVector<int>& cols, QVector<QString>& out) {
        out.clear();
        for (int c : cols) {
            const QString cell = c < row.size() ? row[c] : QString();
            if (cell.isEmpty())
                return false;
            out.append(cell);
        }
        return true;
    };
    QVector<QString> f, r;
    for (int row = 0; row < rows.size(); ++row) {
        if (!cellsOf(rows[row], factorCols, f) || !cellsOf(rows[row], responseCols, r))
            continue;
        QVector<QString> cf(f.size()), cr(r.size());
        for (int i = 0; i < f.size(); ++i)
            cf[i] = convertCell(columns[factorCols[i]], f[i]);
        // A response is fitted on the number in its cell, whatever role its column has taken.
        for (int i = 0; i < r.size(); ++i)
            cr[i] = r[i];
        d.m_rowMap.insert(d.m_rawFactors.size(), row);
        d.m_rawFactors.append(f);
        d.m_rawResponses.append(r);
        d.m_convertedFactors.append(cf);
        d.m_convertedResponses.append(cr);
    }
    if (d.m_rawFactors.isEmpty()) {
        err += QStringLiteral("Empty data\n");
        return false;
    }
    d.m_built = true;
    *this = d;
    return true;
}

}  // namespace doeBussiness
