#pragma once

#include <QList>
#include <QRectF>
#include <QSize>

#include <vector>

// Answers the two box tests of connector tracing for one working image without looping
// over all boxes per pixel: whether a pixel is covered by some box (the box grown by 2, so
// its border line too), and which boxes' touch bands (the box grown by 14, less the box
// shrunk by 6) hold it.
// Pixels are tested as points with edges included, exactly as the rectangles would.
class BoxTouchIndex
{
public:
    // Only the boxes listed in covering cover pixels; every box has its touch band.
    BoxTouchIndex(const QList<QRectF> &boxes, const QList<QRectF> &covering, const QSize &imageSize);

    bool isCovered(int x, int y) const { return m_covered[size_t(y) * size_t(m_width) + size_t(x)] != 0; }

    // Calls visit(box index) for every box whose touch band holds (x, y), in box order.
    template <typename Visit>
    void forEachBandAt(int x, int y, Visit &&visit) const
    {
        for (int box : m_cells[size_t(y / CellSize) * size_t(m_cellColumns) + size_t(x / CellSize)]) {
            const Band &band = m_bands[size_t(box)];
            if (band.outer.contains(x, y) && !band.inner.contains(x, y))
                visit(box);
        }
    }

    // Inclusive integer bounds of the pixels a real rectangle holds, clipped to the image.
    struct PixelSpan
    {
        int left = 0;
        int top = 0;
        int right = -1;
        int bottom = -1;

        bool isEmpty() const { return right < left || bottom < top; }
        bool contains(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
    };
    static PixelSpan pixelsOf(const QRectF &rect, const QSize &imageSize);

private:
    static constexpr int CellSize = 32;

    struct Band
    {
        PixelSpan outer;
        PixelSpan inner;
    };

    void markCovered(const QList<QRectF> &boxes);
    void listBands(const QList<QRectF> &boxes);

    int m_width = 0;
    int m_height = 0;
    int m_cellColumns = 0;
    std::vector<unsigned char> m_covered;
    std::vector<Band> m_bands;
    std::vector<std::vector<int>> m_cells;
};

// The rectangles of a box that connector tracing tests pixels against.
// The pixels a box covers for tracing: the box with its border line.
QRectF boxCover(const QRectF &box);
QRectF touchBandOuter(const QRectF &box);
QRectF touchBandInner(const QRectF &box);
