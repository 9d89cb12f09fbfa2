#include "boundedfile.h"

#include <QFile>

namespace {
constexpr qint64 ReadChunkBytes = 1024 * 1024;
}

bool readBoundedFile(QFile &file, qint64 maxBytes, QByteArray *bytes)
{
    bytes->clear();
    const qint64 size = file.size();
    if (size > maxBytes)
        return false;
    if (!file.isSequential()) {
        bytes->resize(size);
        const qint64 read = file.read(bytes->data(), size);
        if (read < 0)
            return false;
        bytes->truncate(read);
        return true;
    }
    for (;;) {
        const QByteArray chunk = file.read(ReadChunkBytes);
        if (chunk.isEmpty())
            return file.error() == QFileDevice::NoError;
        if (bytes->size() + chunk.size() > maxBytes)
            return false;
        bytes->append(chunk);
    }
}
