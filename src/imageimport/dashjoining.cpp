// Dashed lines (the links of views) are drawn as short pieces of ink with gaps between them;
// the gaps are inked so that connector tracing follows the line as one.
#include "boxtouchindex.h"
#include "recognitionsteps.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

// A dash is a small piece of ink of some length; a gap between dashes is a few pixels.
constexpr int MaxDashPixels = 150;
constexpr int MinDashLength = 5;
constexpr int MaxDashGap = 10;
// How far back from its tip a dash's direction is taken.
constexpr int TipReach = 6;

constexpr std::array<QPoint, 8> Neighbours = {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1),
                                              QPoint(1, 1), QPoint(1, -1), QPoint(-1, 1), QPoint(-1, -1)};

int squaredDistance(const QPoint &a, const QPoint &b)
{
    const QPoint d = a - b;
    return d.x() * d.x() + d.y() * d.y();
}

QPoint farthestFrom(const std::vector<QPoint> &pixels, const QPoint &from)
{
    QPoint far = from;
    for (const QPoint &p : pixels) {
        if (squaredDistance(p, from) > squaredDistance(far, from))
            far = p;
    }
    return far;
}

class DashJoiner
{
public:
    DashJoiner(const QImage &working, const QList<QRectF> &boxes)
        : m_joined(working)
        , m_width(working.width())
        , m_height(working.height())
        , m_index(boxes, coveringBoxes(working, boxes), working.size())
        , m_piece(size_t(m_width) * size_t(m_height), -1)
    {
    }

    QImage join()
    {
        std::vector<QPoint> pixels;
        int piece = 0;
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                if (m_piece[at(x, y)] >= 0 || !traceable(x, y))
                    continue;
                collectPiece(QPoint(x, y), piece, pixels);
                if (isDash(pixels))
                    m_dashes.push_back({piece, pixels});
                ++piece;
            }
        }
        for (const Dash &dash : m_dashes) {
            const QPoint one = farthestFrom(dash.pixels, dash.pixels.front());
            const QPoint other = farthestFrom(dash.pixels, one);
            bridgeFrom(dash, one);
            bridgeFrom(dash, other);
        }
        return m_joined;
    }

private:
    struct Dash
    {
        int piece;
        std::vector<QPoint> pixels;
    };

    size_t at(int x, int y) const { return size_t(y) * size_t(m_width) + size_t(x); }
    bool inside(const QPoint &p) const { return p.x() >= 0 && p.y() >= 0 && p.x() < m_width && p.y() < m_height; }
    bool traceable(int x, int y) const { return m_joined.constScanLine(y)[x] == 0 && !m_index.isCovered(x, y); }

    void collectPiece(const QPoint &start, int piece, std::vector<QPoint> &pixels)
    {
        pixels.assign(1, start);
        m_piece[at(start.x(), start.y())] = piece;
        for (size_t head = 0; head < pixels.size(); ++head) {
            for (const QPoint &step : Neighbours) {
                const QPoint n = pixels[head] + step;
                if (inside(n) && m_piece[at(n.x(), n.y())] < 0 && traceable(n.x(), n.y())) {
                    m_piece[at(n.x(), n.y())] = piece;
                    pixels.push_back(n);
                }
            }
        }
    }

    static bool isDash(const std::vector<QPoint> &pixels)
    {
        if (pixels.size() > size_t(MaxDashPixels))
            return false;
        QRect bounds;
        for (const QPoint &p : pixels)
            bounds |= QRect(p, QSize(1, 1));
        return std::max(bounds.width(), bounds.height()) >= MinDashLength;
    }

    // Looks ahead of the tip, along the way the dash runs there, for the next piece of the
    // line or a box's border, and inks the gap up to it.
    void bridgeFrom(const Dash &dash, const QPoint &tip)
    {
        QPointF back;
        int near = 0;
        for (const QPoint &p : dash.pixels) {
            if (squaredDistance(p, tip) <= TipReach * TipReach) {
                back += QPointF(p);
                ++near;
            }
        }
        QPointF direction = QPointF(tip) - back / std::max(near, 1);
        const double length = std::hypot(direction.x(), direction.y());
        if (length < 1.0)
            return;
        direction /= length;
        const QPoint across(qRound(-direction.y()), qRound(direction.x()));
        for (int step = 1; step <= MaxDashGap + 1; ++step) {
            const QPoint ahead = tip + QPointF(direction * step).toPoint();
            for (const QPoint &candidate : {ahead, ahead + across, ahead - across}) {
                if (!inside(candidate))
                    continue;
                const bool border = m_index.isCovered(candidate.x(), candidate.y());
                const int piece = m_piece[at(candidate.x(), candidate.y())];
                if (border || (piece >= 0 && piece != dash.piece)) {
                    if (step > 1)
                        inkBetween(tip, candidate);
                    return;
                }
            }
        }
    }

    void inkBetween(const QPoint &from, const QPoint &to)
    {
        const int steps = std::max(std::abs(to.x() - from.x()), std::abs(to.y() - from.y()));
        for (int i = 1; i < steps; ++i) {
            const QPoint p(from.x() + qRound(double(to.x() - from.x()) * i / steps),
                           from.y() + qRound(double(to.y() - from.y()) * i / steps));
            if (!m_index.isCovered(p.x(), p.y()))
                m_joined.scanLine(p.y())[p.x()] = 0;
        }
    }

    QImage m_joined;
    int m_width;
    int m_height;
    BoxTouchIndex m_index;
    std::vector<int> m_piece;
    std::vector<Dash> m_dashes;
};

} // namespace

QImage joinDashes(const QImage &working, const QList<QRectF> &boxes)
{
    if (working.isNull())
        return working;
    return DashJoiner(working, boxes).join();
}
