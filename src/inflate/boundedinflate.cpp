// Inflating zlib, raw deflate and gzip streams within a budget of output bytes.
#include "boundedinflate.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace {

enum class InflateResult { InitFailed, Failed, OverBudget, Complete };

// Inflates input straight into output, which grows geometrically but never past
// allowance + 1 bytes: reaching that last byte proves the stream needs more than allowed.
// Fails on a corrupt or cut-short stream and on a call that makes no progress.
InflateResult inflateStream(const QByteArray &input, int windowBits, qsizetype allowance,
                            QByteArray *output, qsizetype *produced)
{
    *produced = 0;
    z_stream stream = {};
    if (inflateInit2(&stream, windowBits) != Z_OK)
        return InflateResult::InitFailed;

    // zlib counts input and output in uInt; larger spans are handed over in pieces.
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
    const auto finish = [&](InflateResult result) {
        inflateEnd(&stream);
        output->resize(*produced);
        return result;
    };

    const qsizetype limit = allowance + 1;
    qsizetype &written = *produced;
    for (;;) {
        if (stream.avail_in == 0 && remaining > 0)
            refill();
        if (written == output->size()) {
            if (written >= limit)
                return finish(InflateResult::OverBudget);
            const qsizetype grown = std::clamp<qsizetype>(written * 2, 65536, qsizetype(1) << 30);
            const qsizetype size = std::min(written + grown, limit);
            // reserve first: resize alone may round the block up well past the limit.
            output->reserve(size);
            output->resize(size);
        }
        const qsizetype room = std::min<qsizetype>(output->size() - written, qsizetype(UINT_MAX));
        stream.next_out = reinterpret_cast<Bytef *>(output->data() + written);
        stream.avail_out = uInt(room);
        const uInt inputBefore = stream.avail_in;
        const int result = inflate(&stream, Z_NO_FLUSH);
        const qsizetype step = room - qsizetype(stream.avail_out);
        const bool consumed = stream.avail_in != inputBefore;
        written += step;

        switch (result) {
        case Z_OK:
            if (step == 0 && !consumed)
                return finish(InflateResult::Failed);
            break;
        case Z_STREAM_END:
            return finish(written > allowance ? InflateResult::OverBudget : InflateResult::Complete);
        case Z_BUF_ERROR:
            // Out of input before the end, or no progress possible: cut short.
            if ((stream.avail_in == 0 && remaining == 0) || (step == 0 && !consumed))
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
    InflateBudget budget;
    return inflateBytes(input, output, windowBits, &budget);
}

bool inflateBytes(const QByteArray &input, QByteArray *output, int windowBits, InflateBudget *budget)
{
    if (!output || !budget)
        return false;
    QByteArray inflated;
    qsizetype produced = 0;
    const InflateResult result = inflateStream(input, windowBits, budget->remaining_, &inflated, &produced);
    if (result == InflateResult::InitFailed)
        return false;
    output->clear();
    if (result == InflateResult::OverBudget) {
        budget->remaining_ = 0;
        budget->exceeded_ = true;
        return false;
    }
    budget->remaining_ -= produced;
    if (result != InflateResult::Complete || inflated.isEmpty())
        return false;
    // A page is usually far smaller than its last growth step.
    if (inflated.capacity() - inflated.size() > inflated.size() / 4)
        inflated.squeeze();
    *output = std::move(inflated);
    return true;
}
