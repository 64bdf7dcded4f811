// Parameter definition reader over arbitrary bytes: parsing must terminate, and every definition
// must have consistent points and codes.
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "CSVHelper.h"
#include "DoeFileManager.h"
#include "DoeZelParamDefinition.h"
#include "fuzz_reader_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReaderInput input(data, size);
    tk::CSVRecordReader reader(&input.buffer, input.blockSize);
    doeBussiness::DoeParamDefinitionList defs;
    QString err;
    if (!doeBussiness::DoeFileManager::readParamDefinitions(reader, defs, err)) {
        if (err.isEmpty() || !defs.isEmpty())
            std::abort();
        return 0;
    }
    if (reader.status() == tk::CSVRecordReader::Ok
        && !(doeBussiness::parseZelParamDefText(tk::CSVHelper::decodeFileText(input.bytes)) == defs))
        std::abort();
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
