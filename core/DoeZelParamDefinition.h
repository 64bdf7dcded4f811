#pragma once
// One definition section of a simulator parameter definition file, and the parser of such files.
#include <memory>

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include "plan_core_global.h"

// The custom-design state that holds the definitions also drives generation through the engine link.
namespace doeFunc {
class DoeFunctionManager;
}

namespace tk {
class CSVRecordReader;
}

namespace doeBussiness {

struct DoeParamDefinition
{
    QStringList paramNames;                  // in file order
    QMap<QString, QStringList> paramValues;  // values listed on each parameter's line
    QStringList blockKeys;                   // first fields of the bracket-block lines, file order
    QMap<QString, QStringList> blockValues;  // remaining fields of each block line

    // Admissible combinations: point j takes the j-th value of every parameter, for every j that
    // all parameter lines reach.
    int pointCount() const;
    QVector<QStringList> points() const;
    // Code of every parameter at every point, as cell text (see the .cpp for the block entries).
    QVector<QStringList> pointCodes() const;
    // Index of the point equal to `tuple` (values in parameter order), or -1.
    int findPoint(const QStringList& tuple) const;
    // Every point mapped to its first index, for checking many rows.
    QHash<QStringList, int> pointIndex() const;

    bool operator==(const DoeParamDefinition& o) const
    {
        return paramNames == o.paramNames && paramValues == o.paramValues && blockKeys == o.blockKeys
            && blockValues == o.blockValues;
    }
};

using DoeParamDefinitionList = QList<DoeParamDefinition>;

// Parses the text of a parameter definition file; sections left open at the end are dropped.
PLAN_CORE_EXPORT DoeParamDefinitionList parseZelParamDefText(const QString& text);
PLAN_CORE_EXPORT DoeParamDefinitionList parseZelParamDefRecords(tk::CSVRecordReader& reader);

}  // namespace doeBussiness
