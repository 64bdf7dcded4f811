#pragma once
// The fuzz input as a device read in small blocks, so that every block boundary the readers must
// bridge (a split character, CR LF, a doubled quote) is reached.
#include <cstddef>
#include <cstdint>

#include <QBuffer>
#include <QByteArray>

struct FuzzReaderInput
{
    FuzzReaderInput(const uint8_t* data, size_t size)
        : bytes(reinterpret_cast<const char*>(data), static_cast<int>(size)),
          blockSize(1 + static_cast<int>(size % 13))
    {
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
    }
    QByteArray bytes;
    QBuffer buffer;
    int blockSize;
};
