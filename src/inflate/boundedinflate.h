#pragma once

#include <QByteArray>
#include <QtGlobal>

// A compressed stream may inflate to at most this many bytes; a larger one is refused, so a
// small file cannot exhaust memory.
constexpr qsizetype MaxInflatedBytes = qsizetype(64) * 1024 * 1024;

// Inflates all of input with zlib (windowBits -15 raw, 15 zlib, 31 gzip). True only when the
// stream ended properly, output is not empty and it stayed within MaxInflatedBytes.
bool inflateBytes(const QByteArray &input, QByteArray *output, int windowBits);
