// Parameter definition reader over arbitrary bytes: parsing must terminate, and every definition
// must have consistent points and codes.
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "CSVHelper.h"
#include "DoeZelParamDefinition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const doeBussiness::DoeParamDefinitionList defs =
        doeBussiness::parseZelParamDefText(tk::CSVHelper::decodeFileText(bytes));
    for (const doeBussiness::DoeParamDefinition& d : defs) {
        const QVector<QStringList> points = d.points();
        const QVector<QStringList> codes = d.pointCodes();
        const QHash<QStringList, int> index = d.pointIndex();
        if (points.size() != d.pointCount() || codes.size() != points.size())
            std::abort();
        for (int j = 0; j < points.size(); ++j) {
            if (points.at(j).size() != d.paramNames.size() || codes.at(j).size() != d.paramNames.size())
                std::abort();
            if (index.value(points.at(j), -1) > j || index.value(points.at(j), -1) < 0)
                std::abort();
        }
        if (d.blockKeys.size() != d.blockValues.size())
            std::abort();
    }
    return 0;
}
