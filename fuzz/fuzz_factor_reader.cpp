// Factor file reader over arbitrary bytes: applying the lines must terminate, keep the store
// consistent and report skipped lines in ascending order after the marker line.
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "DoeCustomDesignManager.h"
#include "CSVHelper.h"
#include "DoeFileManager.h"
#include "fuzz_reader_input.h"

using doeBussiness::DoeCustomDesignManager;
using doeBussiness::DoeFileManager;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzReaderInput input(data, size);
    tk::CSVRecordReader reader(&input.buffer, input.blockSize);
    DoeCustomDesignManager manager;
    QList<int> skipped;
    QString err;
    if (!DoeFileManager::readFactors(reader, manager, skipped, err)) {
        // A refused file leaves the store and the skipped lines untouched.
        if (!manager.factorStore().isEmpty() || !skipped.isEmpty() || err.isEmpty())
            std::abort();
        return 0;
    }
    for (int i = 0; i < skipped.size(); ++i)
        if (skipped.at(i) < 2 || (i > 0 && skipped.at(i) <= skipped.at(i - 1)))
            std::abort();
    const auto& store = manager.factorStore();
    if (store.names().size() != store.records().size())
        std::abort();
    // What was stored is written and read back without a skipped line.
    DoeCustomDesignManager again;
    QList<int> skippedAgain;
    DoeFileManager::applyFactorText(DoeFileManager::factorText(manager), again, skippedAgain);
    if (!skippedAgain.isEmpty() || again.factorStore().names() != store.names())
        std::abort();
    return 0;
}
