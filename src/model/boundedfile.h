#pragma once

#include <QByteArray>

QT_BEGIN_NAMESPACE
class QFile;
QT_END_NAMESPACE

// Files the application reads whole (projects, diagrams, Mermaid and draw.io files) are
// refused beyond this size before reading a byte: parsing one takes several times its
// size in memory.
inline constexpr qint64 MaxReadFileBytes = 512LL * 1024 * 1024;

// The whole of an open file, false when it holds more than maxBytes or cannot be read. A
// regular file is read in one pass into a buffer of its size (every extra copy of a large
// file costs page faults); a device that reports no size (a pipe) is read in chunks, so
// it cannot grow the buffer without bound either.
bool readBoundedFile(QFile &file, qint64 maxBytes, QByteArray *bytes);

// Asks that the whole 2 MiB pages within size bytes at data, not yet written, be given as
// huge pages: filling a buffer of many megabytes then faults once per 2 MiB instead of once
// per 4 KiB page. Nothing where the system has no such pages.
void adviseHugePages(void *data, qint64 size);
