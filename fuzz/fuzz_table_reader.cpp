// Design table reader (also the simulation result reader) over arbitrary bytes: reading must
// terminate, refuse non-text, keep every row as wide as the header, give unique non-empty names,
// read the same in small blocks as in one piece, and a table written back and read again must come
// back the same.
#include <cstdint>
#include <cstdlib>

#include <QByteArray>
#include <QSet>

#include "CSVHelper.h"
#include "DoeFileManager.h"
#include "DoeTableManager.h"
#include "fuzz_reader_input.h"

using doeBussiness::DoeFileManager;
using doeBussiness::DoeTableManager;

namespace {

// Rows that are a single empty cell are written as empty lines, which the reader skips.
QVector<QVector<QString>> keptRows(const DoeTableManager& t)
{
    QVector<QVector<QString>> out;
    for (const QVector<QString>& row : t.rows())
        if (!(row.size() == 1 && row.first().isEmpty()))
            out.append(row);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReaderInput input(data, size);
    tk::CSVRecordReader reader(&input.buffer, input.blockSize);
    DoeTableManager first;
    QString err;
    if (!DoeFileManager::readDoeTable(reader, first, err)) {
        if (reader.status() == tk::CSVRecordReader::Ok || first.columnCount() != 0)
            std::abort();
        return 0;
    }
    // Large inputs (the seeds of a million columns) are not read a second time, to keep runs fast.
    if (size <= 65536) {
        DoeTableManager whole;
        DoeFileManager::parseDoeTableText(DoeFileManager::decodeFile(input.bytes), whole);
        if (whole.rows() != first.rows() || whole.columnCount() != first.columnCount())
            std::abort();
    }

    QVector<QString> names;
    first.getColumnNameVector(names);
    QSet<QString> unique;
    for (const QString& n : names) {
        if (n.isEmpty() || unique.contains(n))
            std::abort();
        unique.insert(n);
    }
    for (const QVector<QString>& row : first.rows())
        if (row.size() != first.columnCount())
            std::abort();

    DoeTableManager second;
    DoeFileManager::parseDoeTableText(DoeFileManager::decodeFile(DoeFileManager::doeTableText(first).toUtf8()),
                                      second);
    QVector<QString> secondNames;
    second.getColumnNameVector(secondNames);
    if (secondNames != names || second.rows() != keptRows(first))
        std::abort();
    return 0;
}
