#include "boundedfile.h"

#include <QFile>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

#include <cstdint>

namespace {
constexpr qint64 ReadChunkBytes = 1024 * 1024;
}

void adviseHugePages(void *data, qint64 size)
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t HugePageBytes = 2 * 1024 * 1024;
    if (!data || size < qint64(2 * HugePageBytes))
        return;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + HugePageBytes - 1) & ~(HugePageBytes - 1);
    const std::uintptr_t last = (begin + std::uintptr_t(size)) & ~(HugePageBytes - 1);
    if (last > first)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

bool readBoundedFile(QFile &file, qint64 maxBytes, QByteArray *bytes)
{
    bytes->clear();
    const qint64 size = file.size();
    if (size > maxBytes)
        return false;
    if (!file.isSequential()) {
        bytes->resize(size);
        adviseHugePages(bytes->data(), size);
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
