// Raster preparation: any picture into the black-and-white working image of box detection
// and text recognition (ink 0, background 255).
#include "recognitionsteps.h"

#include <QPainter>

#include <algorithm>
#include <array>

namespace {

using Histogram = std::array<qint64, 256>;

// Transparent pixels would turn into the grey of their hidden colour, usually black.
QImage flattenedOverWhite(const QImage &picture)
{
    QImage flat(picture.size(), QImage::Format_ARGB32_Premultiplied);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, picture);
    painter.end();
    return flat;
}

QImage greyOf(QImage picture, int sizeLimit)
{
    if (picture.width() > sizeLimit || picture.height() > sizeLimit)
        picture = picture.scaled(sizeLimit, sizeLimit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (picture.isNull())
        return QImage();
    if (picture.hasAlphaChannel())
        picture = flattenedOverWhite(picture);
    return picture.convertToFormat(QImage::Format_Grayscale8);
}

Histogram histogramOf(const QImage &grey)
{
    Histogram counts{};
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *line = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            ++counts[line[x]];
    }
    return counts;
}

double meanOf(const Histogram &counts, qint64 pixels)
{
    double sum = 0;
    for (int v = 0; v < 256; ++v)
        sum += double(v) * double(counts[v]);
    return sum / double(std::max<qint64>(pixels, 1));
}

void invert(QImage &grey, Histogram &counts)
{
    for (int y = 0; y < grey.height(); ++y) {
        uchar *line = grey.scanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            line[x] = uchar(255 - line[x]);
    }
    std::reverse(counts.begin(), counts.end());
}

// Otsu's threshold: the first grey value with the largest between-class variance; 128
// when no value splits the picture.
int otsuThreshold(const Histogram &counts, qint64 pixels)
{
    double total = 0;
    for (int t = 0; t < 256; ++t)
        total += double(t) * double(counts[t]);
    double weightBelow = 0;
    double sumBelow = 0;
    double bestVariance = -1.0;
    int best = 128;
    for (int t = 0; t < 256; ++t) {
        weightBelow += double(counts[t]);
        if (weightBelow == 0)
            continue;
        const double weightAbove = double(pixels) - weightBelow;
        if (weightAbove == 0)
            break;
        sumBelow += double(t) * double(counts[t]);
        const double meanBelow = sumBelow / weightBelow;
        const double meanAbove = (total - sumBelow) / weightAbove;
        const double variance = weightBelow * weightAbove * (meanBelow - meanAbove) * (meanBelow - meanAbove);
        if (variance > bestVariance) {
            bestVariance = variance;
            best = t;
        }
    }
    return best;
}

QImage thresholded(const QImage &grey, int threshold)
{
    QImage binary(grey.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar *in = grey.constScanLine(y);
        uchar *out = binary.scanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            out[x] = in[x] >= threshold ? 255 : 0;
    }
    return binary;
}

// One pass over the interior pixels into a copy: a pixel of value `from` becomes `to`
// when one of its four direct neighbours has value `to`.
QImage closingPass(const QImage &source, uchar from, uchar to)
{
    QImage result = source.copy();
    for (int y = 1; y + 1 < source.height(); ++y) {
        const uchar *above = source.constScanLine(y - 1);
        const uchar *line = source.constScanLine(y);
        const uchar *below = source.constScanLine(y + 1);
        uchar *out = result.scanLine(y);
        for (int x = 1; x + 1 < source.width(); ++x) {
            if (line[x] == from
                && (above[x] == to || below[x] == to || line[x - 1] == to || line[x + 1] == to))
                out[x] = to;
        }
    }
    return result;
}

} // namespace

QImage thresholdImage(QImage picture, int sizeLimit)
{
    if (picture.isNull())
        return QImage();
    QImage grey = greyOf(std::move(picture), sizeLimit);
    if (grey.isNull())
        return QImage();
    const qint64 pixels = qint64(grey.width()) * grey.height();
    Histogram counts = histogramOf(grey);
    if (meanOf(counts, pixels) < 110.0)
        invert(grey, counts);
    const int threshold = std::clamp(otsuThreshold(counts, pixels) - 4, 80, 220);
    return thresholded(grey, threshold);
}

QImage closeInk(QImage binary)
{
    if (binary.width() < 3 || binary.height() < 3)
        return binary;
    binary = closingPass(binary, 255, 0);
    binary = closingPass(binary, 255, 0);
    return closingPass(binary, 0, 255);
}

QImage binarizeImage(QImage picture)
{
    return closeInk(thresholdImage(std::move(picture)));
}
