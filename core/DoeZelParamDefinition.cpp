#include "DoeZelParamDefinition.h"

#include <algorithm>
#include <limits>

#include "CSVHelper.h"
#include "DoeCommon.h"

namespace doeBussiness {

int DoeParamDefinition::pointCount() const
{
    if (paramNames.isEmpty())
        return 0;
    int n = std::numeric_limits<int>::max();
    for (const QString& name : paramNames)
        n = std::min(n, static_cast<int>(paramValues.value(name).size()));
    return n;
}

QVector<QStringList> DoeParamDefinition::points() const
{
    const int n = pointCount();
    QVector<QStringList> out(n);
    for (int j = 0; j < n; ++j)
        for (const QString& name : paramNames)
            out[j].append(paramValues.value(name).at(j));
    return out;
}

// Codes of point j: a parameter with N values gets -1 + 2j/(N-1) (0 when N is 1), so its values
// spread evenly over -1 .. 1. A block entry keyed by a parameter name overrides those codes by
// position: its j-th value, when it reads as a number, is the code of the parameter's j-th value;
// positions the entry does not cover, or where it holds no number, keep the generated code.
QVector<QStringList> DoeParamDefinition::pointCodes() const
{
    const int n = pointCount();
    QVector<QStringList> out(n);
    for (const QString& name : paramNames) {
        const int count = paramValues.value(name).size();
        const QStringList block = blockValues.value(name);
        for (int j = 0; j < n; ++j) {
            double code = count > 1 ? -1.0 + 2.0 * j / (count - 1) : 0.0;
            if (j < block.size()) {
                double given = 0.0;
                if (DoeCommon::getDoubleFromQString(block.at(j).trimmed(), given))
                    code = given;
            }
            out[j].append(QString("%1").arg(code, 0, 'g', -1));
        }
    }
    return out;
}

int DoeParamDefinition::findPoint(const QStringList& tuple) const
{
    if (tuple.size() != paramNames.size())
        return -1;
    const int n = pointCount();
    for (int j = 0; j < n; ++j) {
        bool same = true;
        for (int p = 0; p < paramNames.size() && same; ++p)
            same = paramValues.value(paramNames.at(p)).at(j) == tuple.at(p);
        if (same)
            return j;
    }
    return -1;
}

QHash<QStringList, int> DoeParamDefinition::pointIndex() const
{
    const QVector<QStringList> all = points();
    QHash<QStringList, int> index;
    index.reserve(all.size());
    for (int j = all.size() - 1; j >= 0; --j)
        index.insert(all.at(j), j);
    return index;
}

DoeParamDefinitionList parseZelParamDefText(const QString& text)
{
    tk::CSVRecordReader reader(text);
    return parseZelParamDefRecords(reader);
}

DoeParamDefinitionList parseZelParamDefRecords(tk::CSVRecordReader& reader)
{
    DoeParamDefinitionList out;
    DoeParamDefinition cur;
    bool inSection = false;
    bool inBlock = false;
    int lastParamValueCount = 0;

    QStringView record;
    QString scratch;
    QVector<QString> fields;
    while (reader.next(record)) {
        fields.clear();
        tk::CSVHelper::forEachField(record, scratch,
                                    [&fields](const QChar* data, int size) { fields.append(QString(data, size)); });
        if (fields.isEmpty())
            continue;
        const QString& first = fields.first();
        if (first.startsWith(QLatin1String("Definition"))) {
            // A new section line also abandons a section that was never closed.
            cur = DoeParamDefinition();
            inSection = true;
            inBlock = false;
            lastParamValueCount = 0;
            continue;
        }
        if (!inSection)
            continue;
        if (first == QLatin1String("[")) {
            inBlock = true;
            continue;
        }
        if (first == QLatin1String("]")) {
            out.append(cur);
            cur = DoeParamDefinition();
            inSection = false;
            inBlock = false;
            continue;
        }
        if (fields.size() < 2)
            continue;
        const QStringList values = QStringList(fields.begin() + 1, fields.end());
        if (!inBlock) {
            if (cur.paramValues.contains(first))
                continue;
            cur.paramNames.append(first);
            cur.paramValues.insert(first, values);
            lastParamValueCount = values.size();
            continue;
        }
        if (cur.paramNames.isEmpty() || cur.blockValues.contains(first))
            continue;
        // Block lines keep no more values than the last parameter line and the alphabetically
        // first parameter have.
        const QString firstByName = *std::min_element(cur.paramNames.begin(), cur.paramNames.end());
        const int keep = std::min(lastParamValueCount, static_cast<int>(cur.paramValues.value(firstByName).size()));
        cur.blockKeys.append(first);
        cur.blockValues.insert(first, values.mid(0, keep));
    }
    return out;
}

}  // namespace doeBussiness
