// Inflating zlib, raw deflate and gzip streams within a fixed output cap.
#include "boundedinflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace {

enum class InflateResult { InitFailed, Failed, Complete };

// Inflates input in 16384-byte steps, handing each step's bytes to sink. Fails on a
// corrupt or cut-short stream, on a call that makes no progress, and once the output
// would pass MaxInflatedBytes.
template<typename Sink>
InflateResult inflateStream(const QByteArray &input, int windowBits, Sink sink)
{
    z_stream stream = {};
    if (inflateInit2(&stream, windowBits) != Z_OK)
        return InflateResult::InitFailed;

    // zlib counts input in uInt; larger inputs are handed over in pieces.
    const char *next = input.constData();
    qsizetype remaining = input.size();
    const auto refill = [&]() {
        const qsizetype piece = std::min<qsizetype>(remaining, qsizetype(UINT_MAX));
        stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(next));
        stream.avail_in = uInt(piece);
        next += piece;
        remaining -= piece;
    };
    refill();
    const auto finish = [&stream](InflateResult result) {
        inflateEnd(&stream);
        return result;
    };

    qsizetype producedTotal = 0;
    char buffer[16384];
    for (;;) {
        if (stream.avail_in == 0 && remaining > 0)
            refill();
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = uInt(sizeof(buffer));
        const uInt inputBefore = stream.avail_in;
        const int result = inflate(&stream, Z_NO_FLUSH);
        const qsizetype produced = qsizetype(sizeof(buffer)) - qsizetype(stream.avail_out);
        const bool consumed = stream.avail_in != inputBefore;

        if (produced > MaxInflatedBytes - producedTotal)
            return finish(InflateResult::Failed);
        producedTotal += produced;
        if (produced > 0)
            sink(buffer, produced);

        switch (result) {
        case Z_OK:
            if (produced == 0 && !consumed)
                return finish(InflateResult::Failed);
            break;
        case Z_STREAM_END:
            return finish(InflateResult::Complete);
        case Z_BUF_ERROR:
            // Out of input before the end, or no progress possible: cut short.
            if ((stream.avail_in == 0 && remaining == 0) || (produced == 0 && !consumed))
                return finish(InflateResult::Failed);
            break;
        default:
            return finish(InflateResult::Failed);
        }
    }
}

} // namespace

bool inflateBytes(const QByteArray &input, QByteArray *output, int windowBits)
{
    if (!output)
        return false;
    // The first pass only measures, so a stream past the cap costs no memory and a
    // good one is stored in a buffer of exactly its size.
    qsizetype total = 0;
    const auto count = [&total](const char *, qsizetype size) { total += size; };
    const InflateResult measured = inflateStream(input, windowBits, count);
    if (measured == InflateResult::InitFailed)
        return false;
    output->clear();
    if (measured != InflateResult::Complete || total == 0)
        return false;
    output->reserve(total);
    const auto store = [output](const char *data, qsizetype size) { output->append(data, size); };
    return inflateStream(input, windowBits, store) == InflateResult::Complete && !output->isEmpty();
}
