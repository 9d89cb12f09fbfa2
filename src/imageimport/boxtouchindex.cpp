#include "boxtouchindex.h"

#include <algorithm>
#include <cmath>

namespace {

// The whole pixels p with low <= p <= high inside 0..limit - 1; first > last when none.
void integerSpan(double low, double high, int limit, int *first, int *last)
{
    *first = 0;
    *last = -1;
    if (std::isnan(low) || std::isnan(high))
        return;
    const double from = std::ceil(std::max(low, -1.0));
    const double to = std::floor(std::min(high, double(limit)));
    if (from > to)
        return;
    *first = std::max(int(from), 0);
    *last = std::min(int(to), limit - 1);
}

} // namespace

QRectF boxCover(const QRectF &box)
{
    return QRectF(box.x() - 2, box.y() - 2, box.width() + 4, box.height() + 4);
}

QRectF touchBandOuter(const QRectF &box)
{
    return QRectF(box.x() - 14, box.y() - 14, box.width() + 28, box.height() + 28);
}

QRectF touchBandInner(const QRectF &box)
{
    return QRectF(box.x() + 6, box.y() + 6, box.width() - 12, box.height() - 12);
}

BoxTouchIndex::PixelSpan BoxTouchIndex::pixelsOf(const QRectF &rect, const QSize &imageSize)
{
    PixelSpan span;
    integerSpan(rect.x(), rect.x() + rect.width(), imageSize.width(), &span.left, &span.right);
    integerSpan(rect.y(), rect.y() + rect.height(), imageSize.height(), &span.top, &span.bottom);
    return span;
}

BoxTouchIndex::BoxTouchIndex(const QList<QRectF> &boxes, const QList<QRectF> &covering, const QSize &imageSize)
    : m_width(std::max(imageSize.width(), 0))
    , m_height(std::max(imageSize.height(), 0))
    , m_cellColumns((m_width + CellSize - 1) / CellSize)
{
    markCovered(covering);
    listBands(boxes);
}

// Counts the covers over each pixel with a sweep down the rows: a column difference
// array changes where a cover starts or ends, and its running sum is the row's count.
void BoxTouchIndex::markCovered(const QList<QRectF> &boxes)
{
    m_covered.assign(size_t(m_width) * size_t(m_height), 0);
    std::vector<std::vector<PixelSpan>> starting(size_t(m_height) + 1);
    std::vector<std::vector<PixelSpan>> ending(size_t(m_height) + 1);
    for (const QRectF &box : boxes) {
        const PixelSpan span = pixelsOf(boxCover(box), QSize(m_width, m_height));
        if (span.isEmpty())
            continue;
        starting[size_t(span.top)].push_back(span);
        ending[size_t(span.bottom) + 1].push_back(span);
    }
    std::vector<int> difference(size_t(m_width) + 1, 0);
    for (int y = 0; y < m_height; ++y) {
        for (const PixelSpan &span : starting[size_t(y)]) {
            ++difference[size_t(span.left)];
            --difference[size_t(span.right) + 1];
        }
        for (const PixelSpan &span : ending[size_t(y)]) {
            --difference[size_t(span.left)];
            ++difference[size_t(span.right) + 1];
        }
        int covering = 0;
        unsigned char *row = m_covered.data() + size_t(y) * size_t(m_width);
        for (int x = 0; x < m_width; ++x) {
            covering += difference[size_t(x)];
            row[x] = covering > 0 ? 1 : 0;
        }
    }
}

void BoxTouchIndex::listBands(const QList<QRectF> &boxes)
{
    const int cellRows = (m_height + CellSize - 1) / CellSize;
    m_cells.assign(size_t(m_cellColumns) * size_t(cellRows), {});
    m_bands.reserve(size_t(boxes.size()));
    const QSize size(m_width, m_height);
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        const Band band{pixelsOf(touchBandOuter(boxes.at(i)), size), pixelsOf(touchBandInner(boxes.at(i)), size)};
        m_bands.push_back(band);
        if (band.outer.isEmpty())
            continue;
        for (int row = band.outer.top / CellSize; row <= band.outer.bottom / CellSize; ++row) {
            for (int column = band.outer.left / CellSize; column <= band.outer.right / CellSize; ++column)
                m_cells[size_t(row) * size_t(m_cellColumns) + size_t(column)].push_back(int(i));
        }
    }
}
