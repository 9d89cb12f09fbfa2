#pragma once

#include <QByteArray>
#include <QtGlobal>

// A compressed stream may inflate to at most this many bytes; a larger one is refused, so a
// small file cannot exhaust memory.
constexpr qsizetype MaxInflatedBytes = qsizetype(64) * 1024 * 1024;

// What several inflations may produce together. A file of many compressed streams shares
// one budget, so streams each just under the cap cannot add up to gigabytes of work.
// Everything a stream produces is spent, whether it inflates properly or not.
class InflateBudget
{
public:
    explicit InflateBudget(qsizetype bytes = MaxInflatedBytes) : remaining_(qMax<qsizetype>(bytes, 0)) {}

    qsizetype remaining() const { return remaining_; }
    // True once a stream was refused for needing more than was left.
    bool exceeded() const { return exceeded_; }

private:
    friend bool inflateBytes(const QByteArray &input, QByteArray *output, int windowBits,
                             InflateBudget *budget);
    qsizetype remaining_;
    bool exceeded_ = false;
};

// Inflates all of input with zlib (windowBits -15 raw, 15 zlib, 31 gzip). True only when the
// stream ended properly, output is not empty and it stayed within MaxInflatedBytes.
bool inflateBytes(const QByteArray &input, QByteArray *output, int windowBits);

// The same within what is left of budget, which the stream's output is taken from. On
// failure output is empty.
bool inflateBytes(const QByteArray &input, QByteArray *output, int windowBits, InflateBudget *budget);
