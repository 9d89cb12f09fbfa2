// The raster route: entity boxes as enclosed background regions of the working image, their
// text, and connectors as connected ink running between boxes.
#include "boxgrid.h"
#include "boxtouchindex.h"
#include "connectornetwork.h"
#include "recognitionsteps.h"

#include <QSet>

#include <algorithm>
#include <array>
#include <numeric>
#include <vector>

namespace {

constexpr int MinimumRegionPixels = 280;
constexpr int MinimumConnectorPixels = 18;
// The smallest box mergeRectangles keeps.
constexpr int MinimumBoxWidth = 36;
constexpr int MinimumBoxHeight = 22;
// A region filling less of its rectangle than this, whose rectangle overlaps another's, is
// the background between a line and the box it loops around.
constexpr double MaximumLoopFill = 0.7;
// An empty compartment lines up with the box part above or below it within these pixels.
constexpr int CompartmentSlack = 4;
constexpr int CompartmentGap = 6;
constexpr int MarkerReach = 7;
// How much wider a connector's contact with one box must be than with the other to take
// that end for the many end.
constexpr int ForkSpreadMargin = 4;

// Visits the pixels of one 4-connected area breadth first from start (right, left, below,
// above), marking each in visited; accept tells which pixels belong to it.
template <typename Accept, typename Visit>
void floodFill(int width, int height, int start, std::vector<uchar> &visited, std::vector<int> &queue,
               Accept &&accept, Visit &&visit)
{
    queue.assign(1, start);
    visited[size_t(start)] = 1;
    for (size_t head = 0; head < queue.size(); ++head) {
        const int p = queue[head];
        const int x = p % width;
        const int y = p / width;
        visit(x, y);
        const std::array<std::pair<bool, int>, 4> neighbours = {
            std::pair{x + 1 < width, p + 1}, std::pair{x > 0, p - 1}, std::pair{y + 1 < height, p + width},
            std::pair{y > 0, p - width}};
        for (const auto &[inside, n] : neighbours) {
            if (inside && !visited[size_t(n)] && accept(n)) {
                visited[size_t(n)] = 1;
                queue.push_back(n);
            }
        }
    }
}

std::vector<uchar> backgroundOf(const QImage &working)
{
    const int width = working.width();
    std::vector<uchar> background(size_t(width) * size_t(working.height()));
    for (int y = 0; y < working.height(); ++y) {
        const uchar *line = working.constScanLine(y);
        for (int x = 0; x < width; ++x)
            background[size_t(y) * width + x] = line[x] != 0;
    }
    return background;
}

QImage maskImage(const std::vector<uchar> &marked, int width, int height)
{
    QImage mask(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y) {
        uchar *line = mask.scanLine(y);
        for (int x = 0; x < width; ++x)
            line[x] = marked[size_t(y) * width + x] ? 255 : 0;
    }
    return mask;
}

bool sameSize(const QImage &a, const QImage &b)
{
    return a.size() == b.size();
}

// A link for each join whose pair is not linked yet, until the bound is reached. The end met
// along a wider contact (the prongs of a crow's foot, spread along the border) is the many
// end; a single point of contact is the one end.
void linkJoins(const std::vector<ConnectorJoin> &joins, QSet<QPair<int, int>> &linked, QList<RecognizedLink> &links,
               bool *warned)
{
    for (const ConnectorJoin &join : joins) {
        const QPair<int, int> pair(join.first, join.second);
        if (linked.contains(pair))
            continue;
        if (links.size() >= MaxRasterLinks) {
            if (!*warned)
                qWarning("detectRasterBoxes: too many connections, keeping the first %d links", MaxRasterLinks);
            *warned = true;
            return;
        }
        linked.insert(pair);
        RecognizedLink link;
        link.oneIndex = join.first;
        link.manyIndex = join.second;
        if (join.firstSpread >= join.secondSpread + ForkSpreadMargin)
            link.swapEnds();
        links.append(link);
    }
}

bool hasInkInside(const QImage &working, const QRectF &box)
{
    const QRect inside = clippedPixelRect(QRectF(box.x() + 4, box.y() + 4, box.width() - 8, box.height() - 8),
                                          working.rect());
    for (int y = inside.top(); y <= inside.bottom() && !inside.isEmpty(); ++y) {
        const uchar *row = working.constScanLine(y);
        if (std::find(row + inside.left(), row + inside.right() + 1, uchar(0)) != row + inside.right() + 1)
            return true;
    }
    return false;
}

} // namespace

QImage outsideMask(const QImage &working)
{
    const int width = working.width();
    const int height = working.height();
    if (width == 0 || height == 0)
        return QImage();
    const std::vector<uchar> background = backgroundOf(working);
    std::vector<uchar> outside(background.size(), 0);
    std::vector<int> queue;
    const auto fillFrom = [&](int x, int y) {
        const int p = y * width + x;
        if (!background[size_t(p)] || outside[size_t(p)])
            return;
        floodFill(width, height, p, outside, queue, [&](int n) { return background[size_t(n)] != 0; },
                  [](int, int) {});
    };
    for (int x = 0; x < width; ++x) {
        fillFrom(x, 0);
        fillFrom(x, height - 1);
    }
    for (int y = 0; y < height; ++y) {
        fillFrom(0, y);
        fillFrom(width - 1, y);
    }
    return maskImage(outside, width, height);
}

QList<QRect> findRegions(const QImage &mask, const QImage &excluded, QList<int> *pixelCounts)
{
    QList<QRect> regions;
    if (pixelCounts)
        pixelCounts->clear();
    if (mask.isNull() || !sameSize(mask, excluded))
        return regions;
    const int width = mask.width();
    const int height = mask.height();
    std::vector<uchar> open(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y) {
        const uchar *in = mask.constScanLine(y);
        const uchar *out = excluded.constScanLine(y);
        for (int x = 0; x < width; ++x)
            open[size_t(y) * width + x] = in[x] != 0 && out[x] == 0;
    }
    std::vector<uchar> visited(open.size(), 0);
    std::vector<int> queue;
    for (int p = 0; p < width * height; ++p) {
        if (visited[size_t(p)] || !open[size_t(p)])
            continue;
        QRect bounds(p % width, p / width, 1, 1);
        int pixels = 0;
        floodFill(width, height, p, visited, queue, [&](int n) { return open[size_t(n)] != 0; },
                  [&](int x, int y) {
                      ++pixels;
                      bounds.setLeft(std::min(bounds.left(), x));
                      bounds.setRight(std::max(bounds.right(), x));
                      bounds.setTop(std::min(bounds.top(), y));
                      bounds.setBottom(std::max(bounds.bottom(), y));
                  });
        if (pixels >= MinimumRegionPixels) {
            regions.append(bounds);
            if (pixelCounts)
                pixelCounts->append(pixels);
        }
    }
    return regions;
}

QList<QRect> withoutLoopRegions(const QList<QRect> &regions, const QList<int> &pixelCounts)
{
    const auto fill = [&](qsizetype i) {
        const QRect &r = regions.at(i);
        return double(pixelCounts.at(i)) / (double(r.width()) * double(r.height()));
    };
    std::vector<qsizetype> byLeft(size_t(regions.size()));
    std::iota(byLeft.begin(), byLeft.end(), 0);
    std::stable_sort(byLeft.begin(), byLeft.end(),
                     [&](qsizetype a, qsizetype b) { return regions.at(a).left() < regions.at(b).left(); });
    std::vector<bool> loop(size_t(regions.size()), false);
    for (size_t i = 0; i < byLeft.size(); ++i) {
        const qsizetype a = byLeft[i];
        for (size_t j = i + 1; j < byLeft.size() && regions.at(byLeft[j]).left() <= regions.at(a).right(); ++j) {
            const qsizetype b = byLeft[j];
            const QRect &ra = regions.at(a);
            const QRect &rb = regions.at(b);
            if (!ra.intersects(rb) || ra.contains(rb) || rb.contains(ra))
                continue;
            const double fa = fill(a);
            const double fb = fill(b);
            if (fa < MaximumLoopFill && fa < fb)
                loop[size_t(a)] = true;
            else if (fb < MaximumLoopFill && fb < fa)
                loop[size_t(b)] = true;
        }
    }
    QList<QRect> kept;
    for (qsizetype i = 0; i < regions.size(); ++i) {
        if (!loop[size_t(i)])
            kept.append(regions.at(i));
    }
    return kept;
}

QList<QRect> withoutStrayEmptyRegions(const QImage &working, const QList<QRect> &regions)
{
    std::vector<bool> inked(size_t(regions.size()));
    std::vector<qsizetype> inkedByLeft;
    for (qsizetype i = 0; i < regions.size(); ++i) {
        const QRect &r = regions.at(i);
        // Markers at the lines around a region reach a few pixels into it; text lies further in.
        const int inset = std::clamp((std::min(r.width(), r.height()) - 3) / 2, 0, MarkerReach);
        inked[size_t(i)] = hasInkInside(working, QRectF(r.adjusted(inset - 2, inset - 2, 2 - inset, 2 - inset)));
        if (inked[size_t(i)])
            inkedByLeft.push_back(i);
    }
    std::stable_sort(inkedByLeft.begin(), inkedByLeft.end(),
                     [&](qsizetype a, qsizetype b) { return regions.at(a).left() < regions.at(b).left(); });
    // An empty region beside a box with ink inside, and not lined up with it above or below,
    // is closed off by lines that leave that box; an empty one on its own is a box.
    const auto strayBesideABox = [&](const QRect &empty) {
        bool beside = false;
        const QRect near = empty.adjusted(-CompartmentGap, -CompartmentGap, CompartmentGap, CompartmentGap);
        for (qsizetype i : inkedByLeft) {
            const QRect &r = regions.at(i);
            if (r.left() > near.right())
                break;
            if (!r.intersects(near))
                continue;
            const int gap = std::max(empty.top() - r.bottom(), r.top() - empty.bottom());
            if (std::abs(r.left() - empty.left()) <= CompartmentSlack && std::abs(r.right() - empty.right()) <= CompartmentSlack
                && gap >= 0 && gap <= CompartmentGap)
                return false;
            beside = true;
        }
        return beside;
    };
    QList<QRect> kept;
    for (qsizetype i = 0; i < regions.size(); ++i) {
        if (inked[size_t(i)] || !strayBesideABox(regions.at(i)))
            kept.append(regions.at(i));
    }
    return kept;
}

QList<QRect> withoutEnclosingRegions(const QList<QRect> &regions)
{
    QList<QRectF> rects;
    rects.reserve(regions.size());
    for (const QRect &r : regions)
        rects.append(QRectF(r.left(), r.top(), r.width() - 1, r.height() - 1));
    const BoxGrid grid(rects, 0);
    std::vector<bool> encloses(size_t(regions.size()), false);
    for (qsizetype i = 0; i < regions.size(); ++i) {
        const QRect &inner = regions.at(i);
        // Only a region that could itself be a box counts: slivers closed off by text and
        // its underline lie inside real boxes.
        if (inner.width() + 4 < MinimumBoxWidth || inner.height() + 4 < MinimumBoxHeight)
            continue;
        for (int j : grid.containing(QPointF(inner.center()), 0)) {
            if (j != i && regions.at(j) != inner && regions.at(j).contains(inner))
                encloses[size_t(j)] = true;
        }
    }
    QList<QRect> kept;
    for (qsizetype i = 0; i < regions.size(); ++i) {
        if (!encloses[size_t(i)])
            kept.append(regions.at(i));
    }
    return kept;
}

QList<QRectF> regionCandidates(const QList<QRect> &regions)
{
    QList<QRectF> candidates;
    candidates.reserve(regions.size());
    for (const QRect &r : regions)
        candidates.append(QRectF(r.left() - 2, r.top() - 2, r.width() + 4, r.height() + 4));
    return candidates;
}


QList<QRectF> coveringBoxes(const QImage &working, const QList<QRectF> &boxes)
{
    QList<QRectF> covering;
    for (const QRectF &box : boxes) {
        if (hasInkInside(working, box))
            covering.append(box);
    }
    return covering;
}

QList<RecognizedLink> traceConnectors(const QImage &working, const QList<QRectF> &boxes)
{
    static constexpr std::array<QPoint, 8> Neighbours = {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1),
                                                         QPoint(1, 1), QPoint(1, -1), QPoint(-1, 1), QPoint(-1, -1)};
    const int width = working.width();
    const int height = working.height();
    QList<QRectF> covering;
    // The pixels each box covers; none for a box without ink inside.
    std::vector<BoxTouchIndex::PixelSpan> covers(size_t(boxes.size()));
    for (qsizetype b = 0; b < boxes.size(); ++b) {
        if (hasInkInside(working, boxes.at(b))) {
            covering.append(boxes.at(b));
            covers[size_t(b)] = BoxTouchIndex::pixelsOf(boxCover(boxes.at(b)), working.size());
        }
    }
    const BoxTouchIndex index(boxes, covering, working.size());
    const auto traceable = [&](int x, int y) {
        return working.constScanLine(y)[x] == 0 && !index.isCovered(x, y);
    };
    std::vector<uchar> visited(size_t(width) * size_t(height), 0);
    std::vector<int> touchedStamp(size_t(boxes.size()), -1);
    TracedConnector connector;
    QSet<QPair<int, int>> linked;
    QList<RecognizedLink> links;
    bool warned = false;
    int stamp = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (visited[size_t(y) * width + x] || !traceable(x, y))
                continue;
            visited[size_t(y) * width + x] = 1;
            connector.pixels.assign(1, QPoint(x, y));
            connector.bandBoxes.clear();
            connector.contacts.clear();
            for (size_t head = 0; head < connector.pixels.size(); ++head) {
                const QPoint p = connector.pixels[head];
                index.forEachBandAt(p.x(), p.y(), [&](int box) {
                    if (touchedStamp[size_t(box)] != stamp) {
                        touchedStamp[size_t(box)] = stamp;
                        connector.bandBoxes.push_back(box);
                    }
                    const BoxTouchIndex::PixelSpan &cover = covers[size_t(box)];
                    const bool contact = std::any_of(Neighbours.cbegin(), Neighbours.cbegin() + 4, [&](const QPoint &step) {
                        return cover.contains(p.x() + step.x(), p.y() + step.y());
                    });
                    if (contact)
                        connector.contacts.emplace_back(p, box);
                });
                for (const QPoint &step : Neighbours) {
                    const QPoint n = p + step;
                    if (n.x() < 0 || n.y() < 0 || n.x() >= width || n.y() >= height)
                        continue;
                    uchar &seen = visited[size_t(n.y()) * width + n.x()];
                    if (!seen && traceable(n.x(), n.y())) {
                        seen = 1;
                        connector.pixels.push_back(n);
                    }
                }
            }
            ++stamp;
            if (connector.pixels.size() < MinimumConnectorPixels || connector.bandBoxes.empty())
                continue;
            linkJoins(connectorJoins(connector, boxes), linked, links, &warned);
        }
    }
    return links;
}

bool detectRasterBoxes(const QImage &picture, RecognizedDiagram &out)
{
    if (picture.isNull())
        return false;
    const QImage inked = thresholdImage(picture);
    if (inked.isNull())
        return false;
    const QImage working = closeInk(inked);
    // A title band is joined to the body below it before the shape filter, which drops a band
    // far wider than high.
    QList<int> pixelCounts;
    const QList<QRect> regions = findRegions(working, outsideMask(working), &pixelCounts);
    QList<QRectF> candidates = regionCandidates(
        withoutEnclosingRegions(withoutStrayEmptyRegions(working, withoutLoopRegions(regions, pixelCounts))));
    joinStackedBoxes(candidates);
    const QList<QRectF> boxes = mergeRectangles(candidates);
    if (boxes.isEmpty())
        return false;

    out.entities.clear();
    for (const QRectF &box : boxes) {
        RecognizedEntity entity;
        entity.rect = box;
        out.entities.append(entity);
    }
    const QList<TextFragment> hooked = detectTextFragments(picture);
    if (hooked.isEmpty()) {
        assembleEntities(out.entities, recognizePictureText(picture, inked, boxes));
    } else {
        // The hook reads the picture itself; boxes are in the pixels of the working image.
        recognizeBoxTexts(out.entities, hooked, picture.size(), QRectF(QPointF(0, 0), QSizeF(working.size())));
    }
    out.links = traceConnectors(joinDashes(working, boxes), boxes);
    return true;
}
