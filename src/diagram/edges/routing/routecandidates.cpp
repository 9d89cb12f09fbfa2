#include "routecandidates.h"

#include "routescoring.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace routing {

namespace {

constexpr double DetourOffset = 36;
constexpr double NearestDetour = 12;
constexpr double LeastSplitGap = 16;
constexpr double DetourReach = 8;
constexpr double ChannelOffset = 8;
constexpr double SeparationGap = 4;
constexpr double HitCost = 1e6;
constexpr double BendCost = 8000;
constexpr double TieTolerance = 0.01;

bool isFinite(const QPointF &p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

bool isFinite(const QRectF &r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width())
        && std::isfinite(r.height());
}

double detourDistance(double gap)
{
    return qBound(NearestDetour, gap / 2, DetourOffset);
}

// Tries candidates in the order they are offered and keeps the first clean one.
class ChannelSearch
{
public:
    ChannelSearch(const QPointF &fromAnchor, const QPointF &fromStub, const QPointF &toStub,
                  const QPointF &toAnchor, const RouteContext &context)
        : m_fromAnchor(fromAnchor), m_fromStub(fromStub), m_toStub(toStub), m_toAnchor(toAnchor),
          m_context(context)
    {
    }

    bool tryRoute(const Route &route)
    {
        if (!isCleanRoute(route, m_context))
            return false;
        m_found = route;
        return true;
    }

    bool tryMiddle(const QList<QPointF> &middle)
    {
        return tryRoute(assembleRoute(m_fromAnchor, m_fromStub, middle, m_toStub, m_toAnchor));
    }

    Route found() const { return m_found; }

private:
    QPointF m_fromAnchor;
    QPointF m_fromStub;
    QPointF m_toStub;
    QPointF m_toAnchor;
    const RouteContext &m_context;
    Route m_found;
};

// Scores candidates as they are built and keeps the cheapest; ties go to the earlier one.
class CandidateSelection
{
public:
    CandidateSelection(const QPointF &fromAnchor, const QPointF &fromStub, const QPointF &toStub,
                       const QPointF &toAnchor, EntitySide fromSide, EntitySide toSide,
                       const QRectF &fromRect, const QRectF &toRect, const QList<QRectF> &endRects,
                       const QList<QRectF> &obstacles)
        : m_fromAnchor(fromAnchor), m_fromStub(fromStub), m_toStub(toStub), m_toAnchor(toAnchor),
          m_fromSide(fromSide), m_toSide(toSide), m_fromRect(fromRect), m_toRect(toRect),
          m_endRects(endRects), m_obstacles(obstacles)
    {
    }

    void offer(const QList<QPointF> &middle)
    {
        const Route route = removeCollinearPoints(
            assembleRoute(m_fromAnchor, m_fromStub, middle, m_toStub, m_toAnchor));
        if (route.size() < 2 || !isRectilinearRoute(route)
            || !respectsEndSides(route, m_fromSide, m_toSide, m_fromStub, m_toStub)
            || turnsBackAtStart(m_fromSide, m_fromStub, route, m_fromRect)
            || turnsBackAtEnd(m_toSide, m_toStub, route, m_toRect))
            return;
        const int bends = countBends(route);
        if (bends >= 4)
            return;

        int hits = countObstacleHits(route, m_obstacles);
        if (route.size() >= 4)
            hits += countInnerObstacleHits(route, m_endRects);
        // Crossing routes stay eligible; they only cost more.
        double cost = HitCost * hits + BendCost * bends + routeLength(route);
        if (m_fromSide == m_toSide && hits == 0)
            cost += sameSideDetourPenalty(route, m_fromSide, m_fromAnchor, m_toAnchor, m_fromRect, m_toRect);
        if (m_bestCost - cost > TieTolerance) {
            m_bestCost = cost;
            m_best = route;
        }
    }

    Route best() const { return m_best; }

private:
    QPointF m_fromAnchor;
    QPointF m_fromStub;
    QPointF m_toStub;
    QPointF m_toAnchor;
    EntitySide m_fromSide;
    EntitySide m_toSide;
    QRectF m_fromRect;
    QRectF m_toRect;
    const QList<QRectF> &m_endRects;
    const QList<QRectF> &m_obstacles;
    double m_bestCost = std::numeric_limits<double>::max();
    Route m_best;
};

// Detours around the union of both boxes, offered only when both anchors are on one side.
void offerSameSideDetours(CandidateSelection &selection, EntitySide side, const QRectF &fromRect,
                          const QRectF &toRect, const QPointF &fromAnchor, const QPointF &toAnchor,
                          const QPointF &fs, const QPointF &ts, const QList<QRectF> &obstacles)
{
    const QRectF u = fromRect | toRect;
    const bool verticallySeparated = toRect.y() - SeparationGap >= fromRect.bottom()
        || fromRect.y() - SeparationGap >= toRect.bottom();
    const bool horizontallySeparated = toRect.x() - SeparationGap >= fromRect.right()
        || fromRect.x() - SeparationGap >= toRect.right();
    const bool sideBySide = horizontallySeparated && !verticallySeparated;
    const bool stacked = verticallySeparated && !horizontallySeparated;

    const auto alongY = [&](double y) { selection.offer({QPointF(fs.x(), y), QPointF(ts.x(), y)}); };
    const auto alongX = [&](double x) { selection.offer({QPointF(x, fs.y()), QPointF(x, ts.y())}); };

    if (side == LeftSide || side == RightSide) {
        if (!stacked) {
            const double above = detourAbove(u, obstacles);
            const double below = detourBelow(u, obstacles);
            if ((fromAnchor.y() + toAnchor.y()) / 2 >= u.center().y()) {
                alongY(below);
                alongY(above);
            } else {
                alongY(above);
                alongY(below);
            }
        }
        if (!sideBySide)
            alongX(side == RightSide ? detourRight(u, obstacles) : detourLeft(u, obstacles));
    } else if (side == TopSide || side == BottomSide) {
        if (!sideBySide) {
            const double left = detourLeft(u, obstacles);
            const double right = detourRight(u, obstacles);
            if ((fromAnchor.x() + toAnchor.x()) / 2 >= u.center().x()) {
                alongX(right);
                alongX(left);
            } else {
                alongX(left);
                alongX(right);
            }
        }
        if (!stacked)
            alongY(side == TopSide ? detourAbove(u, obstacles) : detourBelow(u, obstacles));
    }
}

void offerGeneralShapes(CandidateSelection &selection, const QRectF &f, const QRectF &t, const QPointF &fs,
                        const QPointF &ts)
{
    // L shapes.
    selection.offer({QPointF(ts.x(), fs.y())});
    selection.offer({QPointF(fs.x(), ts.y())});

    // Z shapes.
    const double mx = (fs.x() + ts.x()) / 2;
    selection.offer({QPointF(mx, fs.y()), QPointF(mx, ts.y())});
    const double my = (fs.y() + ts.y()) / 2;
    selection.offer({QPointF(fs.x(), my), QPointF(ts.x(), my)});

    // Through the middle of the gap between the boxes.
    if (t.x() >= f.right() || f.x() >= t.right()) {
        const double gx = t.x() >= f.right() ? (f.right() + t.x()) / 2 : (f.x() + t.right()) / 2;
        selection.offer({QPointF(gx, fs.y()), QPointF(gx, ts.y())});
    }
    if (t.y() >= f.bottom() || f.y() >= t.bottom()) {
        const double gy = t.y() >= f.bottom() ? (f.bottom() + t.y()) / 2 : (f.y() + t.bottom()) / 2;
        selection.offer({QPointF(fs.x(), gy), QPointF(ts.x(), gy)});
    }

    // Around one box.
    for (const QRectF &r : {f, t}) {
        const double left = r.x() - DetourOffset;
        const double right = r.right() + DetourOffset;
        const double top = r.y() - DetourOffset;
        const double bottom = r.bottom() + DetourOffset;
        selection.offer({QPointF(left, fs.y()), QPointF(left, ts.y())});
        selection.offer({QPointF(right, fs.y()), QPointF(right, ts.y())});
        selection.offer({QPointF(fs.x(), top), QPointF(ts.x(), top)});
        selection.offer({QPointF(fs.x(), bottom), QPointF(ts.x(), bottom)});
    }

    // Around a corner of both boxes.
    const double fTop = f.y() - DetourOffset;
    const double fBottom = f.bottom() + DetourOffset;
    const double fLeft = f.x() - DetourOffset;
    const double fRight = f.right() + DetourOffset;
    const double tTop = t.y() - DetourOffset;
    const double tBottom = t.bottom() + DetourOffset;
    const double tLeft = t.x() - DetourOffset;
    const double tRight = t.right() + DetourOffset;
    selection.offer({QPointF(fs.x(), fTop), QPointF(tLeft, fTop), QPointF(tLeft, ts.y())});
    selection.offer({QPointF(fs.x(), fBottom), QPointF(tRight, fBottom), QPointF(tRight, ts.y())});
    selection.offer({QPointF(fLeft, fs.y()), QPointF(fLeft, tTop), QPointF(ts.x(), tTop)});
    selection.offer({QPointF(fRight, fs.y()), QPointF(fRight, tBottom), QPointF(ts.x(), tBottom)});
    selection.offer({QPointF(fs.x(), fTop), QPointF(tRight, fTop), QPointF(tRight, ts.y())});
    selection.offer({QPointF(fs.x(), fBottom), QPointF(tLeft, fBottom), QPointF(tLeft, ts.y())});
    selection.offer({QPointF(fLeft, fs.y()), QPointF(fLeft, tBottom), QPointF(ts.x(), tBottom)});
    selection.offer({QPointF(fRight, fs.y()), QPointF(fRight, tTop), QPointF(ts.x(), tTop)});
}

} // namespace

void appendIfMoved(Route &route, const QPointF &point)
{
    if (!route.isEmpty()) {
        const double dx = point.x() - route.last().x();
        const double dy = point.y() - route.last().y();
        if (std::sqrt(dx * dx + dy * dy) <= TieTolerance)
            return;
    }
    route.append(point);
}

Route assembleRoute(const QPointF &fromAnchor, const QPointF &fromStub, const QList<QPointF> &middle,
                    const QPointF &toStub, const QPointF &toAnchor)
{
    Route route;
    route.reserve(middle.size() + 4);
    route.append(fromAnchor);
    route.append(fromStub);
    for (const QPointF &p : middle)
        appendIfMoved(route, p);
    appendIfMoved(route, toStub);
    appendIfMoved(route, toAnchor);
    return removeCollinearPoints(route);
}

double detourAbove(const QRectF &region, const QList<QRectF> &obstacles)
{
    double y = region.y() - DetourOffset;
    for (const QRectF &o : obstacles) {
        if (!(o.right() >= region.x() - DetourReach && o.x() <= region.right() + DetourReach
              && o.bottom() <= region.y() + 1))
            continue;
        const double gap = region.y() - o.bottom();
        if (gap > LeastSplitGap)
            y = std::max(y, region.y() - detourDistance(gap));
    }
    return y;
}

double detourBelow(const QRectF &region, const QList<QRectF> &obstacles)
{
    double y = region.bottom() + DetourOffset;
    for (const QRectF &o : obstacles) {
        if (!(o.right() >= region.x() - DetourReach && o.x() <= region.right() + DetourReach
              && o.y() >= region.bottom() - 1))
            continue;
        const double gap = o.y() - region.bottom();
        if (gap > LeastSplitGap)
            y = std::min(y, region.bottom() + detourDistance(gap));
    }
    return y;
}

double detourLeft(const QRectF &region, const QList<QRectF> &obstacles)
{
    double x = region.x() - DetourOffset;
    for (const QRectF &o : obstacles) {
        if (!(o.bottom() >= region.y() - DetourReach && o.y() <= region.bottom() + DetourReach
              && o.right() <= region.x() + 1))
            continue;
        const double gap = region.x() - o.right();
        if (gap > LeastSplitGap)
            x = std::max(x, region.x() - detourDistance(gap));
    }
    return x;
}

double detourRight(const QRectF &region, const QList<QRectF> &obstacles)
{
    double x = region.right() + DetourOffset;
    for (const QRectF &o : obstacles) {
        if (!(o.bottom() >= region.y() - DetourReach && o.y() <= region.bottom() + DetourReach
              && o.x() >= region.right() - 1))
            continue;
        const double gap = o.x() - region.right();
        if (gap > LeastSplitGap)
            x = std::min(x, region.right() + detourDistance(gap));
    }
    return x;
}

Route generateChannelRoutes(const QPointF &fromAnchor, const QPointF &toAnchor, const QPointF &fromStub,
                            const QPointF &toStub, EntitySide fromSide, EntitySide toSide,
                            const QRectF &fromRect, const QRectF &toRect, const QList<QRectF> &endRects,
                            const QList<QRectF> &obstacles)
{
    if (!isFinite(fromAnchor) || !isFinite(toAnchor) || !isFinite(fromStub) || !isFinite(toStub)
        || !isFinite(fromRect) || !isFinite(toRect))
        return {};

    const bool horizontal = (fromSide == RightSide && toSide == LeftSide && toRect.center().x() >= fromRect.center().x())
        || (fromSide == LeftSide && toSide == RightSide && fromRect.center().x() >= toRect.center().x());
    const bool vertical = (fromSide == BottomSide && toSide == TopSide && toRect.center().y() >= fromRect.center().y())
        || (fromSide == TopSide && toSide == BottomSide && fromRect.center().y() >= toRect.center().y());
    if (!horizontal && !vertical)
        return {};

    const RouteContext context{fromSide, toSide, fromStub, toStub, fromRect, toRect, endRects, obstacles};
    ChannelSearch search(fromAnchor, fromStub, toStub, toAnchor, context);
    const QPointF &fs = fromStub;
    const QPointF &ts = toStub;

    // Channel positions on the axis across the route, then lines along it; unsorted, and a
    // position that comes up twice is simply tried twice.
    QList<double> across;
    QList<double> along;
    if (horizontal) {
        if (std::abs(fromAnchor.y() - toAnchor.y()) <= 0.5
            && (search.tryRoute({fromAnchor, toAnchor}) || search.tryMiddle({})))
            return search.found();
        if (toRect.x() >= fromRect.right())
            across.append((fromRect.right() + toRect.x()) / 2);
        if (fromRect.x() >= toRect.right())
            across.append((toRect.right() + fromRect.x()) / 2);
        across << fs.x() << ts.x() << (fs.x() + ts.x()) / 2;
        for (double x : across) {
            if (search.tryMiddle({QPointF(x, fs.y()), QPointF(x, ts.y())}))
                return search.found();
        }
        if (toRect.y() >= fromRect.bottom())
            along.append((fromRect.bottom() + toRect.y()) / 2);
        if (fromRect.y() >= toRect.bottom())
            along.append((toRect.bottom() + fromRect.y()) / 2);
        along << toRect.bottom() + ChannelOffset << toRect.y() - ChannelOffset
              << fromRect.bottom() + ChannelOffset << fromRect.y() - ChannelOffset << ts.y();
        for (double y : along) {
            if (std::abs(y - fs.y()) < 1)
                continue;
            if (search.tryMiddle({QPointF(fs.x(), y), QPointF(ts.x(), y)}))
                return search.found();
        }
        return {};
    }

    if (std::abs(fromAnchor.x() - toAnchor.x()) <= 0.5
        && (search.tryRoute({fromAnchor, toAnchor}) || search.tryMiddle({})))
        return search.found();
    if (toRect.y() >= fromRect.bottom())
        across.append((fromRect.bottom() + toRect.y()) / 2);
    if (fromRect.y() >= toRect.bottom())
        across.append((toRect.bottom() + fromRect.y()) / 2);
    across << fs.y() << ts.y() << (fs.y() + ts.y()) / 2;
    for (double y : across) {
        if (search.tryMiddle({QPointF(fs.x(), y), QPointF(ts.x(), y)}))
            return search.found();
    }
    if (toRect.x() >= fromRect.right())
        along.append((fromRect.right() + toRect.x()) / 2);
    if (fromRect.x() >= toRect.right())
        along.append((toRect.right() + fromRect.x()) / 2);
    along << toRect.right() + ChannelOffset << toRect.x() - ChannelOffset
          << fromRect.right() + ChannelOffset << fromRect.x() - ChannelOffset << ts.x();
    for (double x : along) {
        if (std::abs(x - fs.x()) < 1)
            continue;
        if (search.tryMiddle({QPointF(x, fs.y()), QPointF(x, ts.y())}))
            return search.found();
    }
    return {};
}

Route routeForSides(const QRectF &fromRect, const QRectF &toRect, EntitySide fromSide, EntitySide toSide,
                    const QList<QRectF> &obstacles, std::optional<QPointF> fromAnchor,
                    std::optional<QPointF> toAnchor)
{
    if (!isFinite(fromRect) || !isFinite(toRect) || (fromAnchor && !isFinite(*fromAnchor))
        || (toAnchor && !isFinite(*toAnchor)))
        return {};

    const QPointF fa = fromAnchor ? *fromAnchor : anchorOnSide(fromRect, fromSide, toRect.center());
    const QPointF ta = toAnchor ? *toAnchor : anchorOnSide(toRect, toSide, fromRect.center());
    const double s = stubLength(fromSide, toSide, fromRect, toRect);
    const QPointF fs = fa + s * sideDirection(fromSide);
    const QPointF ts = ta + s * sideDirection(toSide);
    const QList<QRectF> endRects{insetObstacleRect(fromRect), insetObstacleRect(toRect)};

    const Route channel = generateChannelRoutes(fa, ta, fs, ts, fromSide, toSide, fromRect, toRect,
                                                endRects, obstacles);
    if (channel.size() >= 2)
        return channel;

    CandidateSelection selection(fa, fs, ts, ta, fromSide, toSide, fromRect, toRect, endRects, obstacles);
    if (fromSide == toSide)
        offerSameSideDetours(selection, fromSide, fromRect, toRect, fa, ta, fs, ts, obstacles);
    offerGeneralShapes(selection, fromRect, toRect, fs, ts);
    return selection.best();
}

} // namespace routing
