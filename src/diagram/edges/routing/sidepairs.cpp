#include "sidepairs.h"

#include "routecandidates.h"
#include "routescoring.h"

#include <algorithm>
#include <limits>

namespace routing {

namespace {

constexpr int NoRouteHits = 1000000;
constexpr double HitWeight = 1000000;
constexpr double BendWeight = 36;
constexpr double StrayWeight = 8;
constexpr double RegionGrowth = 48;
constexpr double PreferredBonus = 160;
constexpr double FacingBonus = 40;
constexpr double AwayPenalty = 4000;
constexpr double NoRouteCost = 1e15;

} // namespace

QPointF slotAnchorOnSide(const QRectF &r, EntitySide side, const QPointF &target)
{
    return anchorWithMargins(r, side, target, 5, 14);
}

bool evaluateSidePair(const SidePairContext &context, EntitySide fromSide, EntitySide toSide, int &hits,
                      double &cost, Route *route)
{
    const Route candidate = routeForSides(context.fromRect, context.toRect, fromSide, toSide, context.obstacles);
    if (route)
        *route = candidate;
    if (candidate.size() < 2) {
        hits = NoRouteHits;
        cost = std::numeric_limits<double>::max();
        return false;
    }

    const QList<QRectF> endRects{insetObstacleRect(context.fromRect), insetObstacleRect(context.toRect)};
    hits = hitsWithEnds(candidate, context.obstacles, endRects);

    const QRectF region = context.fromRect.united(context.toRect)
                              .adjusted(-RegionGrowth, -RegionGrowth, RegionGrowth, RegionGrowth);
    cost = HitWeight * hits + routeLength(candidate) + BendWeight * countBends(candidate)
           + StrayWeight * distanceOutsideRegion(candidate, region);

    if (chooseSides(context.fromRect, context.toRect) == SidePair{fromSide, toSide})
        cost -= PreferredBonus;
    else if (sidesFace(fromSide, toSide, context.fromRect, context.toRect))
        cost -= FacingBonus;

    const QPointF fromCentre = context.fromRect.center();
    const QPointF toCentre = context.toRect.center();
    if (pointsAway(fromSide, toCentre.x() - fromCentre.x(), toCentre.y() - fromCentre.y()))
        cost += AwayPenalty;
    if (pointsAway(toSide, fromCentre.x() - toCentre.x(), fromCentre.y() - toCentre.y()))
        cost += AwayPenalty;
    return true;
}

QList<SidePair> sidePairOrder(const SidePair &preferred)
{
    QList<SidePair> pairs{preferred};
    for (EntitySide s = LeftSide; s <= BottomSide; ++s) {
        if (s != preferred.to)
            pairs.append({preferred.from, s});
        if (s != preferred.from)
            pairs.append({s, preferred.to});
    }
    for (EntitySide f = LeftSide; f <= BottomSide; ++f) {
        for (EntitySide t = LeftSide; t <= BottomSide; ++t) {
            if (f != preferred.from && t != preferred.to)
                pairs.append({f, t});
        }
    }
    return pairs;
}

SidePairChoice chooseSidePair(const SidePairContext &context)
{
    const SidePair preferred = chooseSides(context.fromRect, context.toRect);
    SidePairChoice choice{preferred, 1};

    int hits = 0;
    double cost = 0;
    Route route;
    evaluateSidePair(context, preferred.from, preferred.to, hits, cost, &route);
    if (hits == 0 && route.size() >= 2 && countBends(route) < 3)
        return choice;

    bool found = hits <= NoRouteHits - 1;
    double bestCost = cost;
    const QList<SidePair> pairs = sidePairOrder(preferred);
    for (qsizetype i = 1; i < pairs.size(); ++i) {
        ++choice.pairsEvaluated;
        if (!evaluateSidePair(context, pairs[i].from, pairs[i].to, hits, cost))
            continue;
        if (!found || cost + 0.01 < bestCost) {
            found = true;
            bestCost = cost;
            choice.sides = pairs[i];
        }
    }
    return choice;
}

int countCrossedLines(const Route &route, const DrawnLines &drawn, int own)
{
    int total = 0;
    for (qsizetype k = 1; k < route.size(); ++k) {
        int crossings = 0;
        double shared = 0;
        drawn.measureStep(route[k - 1], route[k], own, crossings, shared);
        total += crossings;
    }
    return total;
}

AutoRouteChoice chooseAutoRoute(const QRectF &fromRect, const QRectF &toRect, const SidePair &current,
                                const QPointF &fromAnchor, const QPointF &toAnchor, const Route &currentRoute,
                                const QList<QRectF> &obstacles, const DrawnLines *drawn, int own)
{
    const QList<QRectF> endRects{insetObstacleRect(fromRect), insetObstacleRect(toRect)};
    const AutoRouteContext scoring{obstacles, endRects, fromRect, toRect};
    AutoRouteChoice choice;
    // Crossings only add to a cost: a route that cannot get under beat without them is not
    // worth counting them for.
    const auto score = [&](const Route &candidate, EntitySide fromSide, EntitySide toSide,
                           double beat = std::numeric_limits<double>::infinity()) {
        const double cost = scoreAutoRoute(scoring, candidate, fromSide, toSide);
        if (!drawn || cost >= beat)
            return cost;
        return cost + CrossedLineCost * countCrossedLines(candidate, *drawn, own);
    };

    auto isClean = [&](const Route &candidate) {
        return candidate.size() >= 2 && hitsWithEnds(candidate, obstacles, endRects) == 0;
    };
    auto route = [&](const SidePair &sides, std::optional<QPointF> fa, std::optional<QPointF> ta) {
        ++choice.routesComputed;
        return routeForSides(fromRect, toRect, sides.from, sides.to, obstacles, fa, ta);
    };

    const double currentCost = currentRoute.size() >= 2
                                   ? score(currentRoute, current.from, current.to)
                                   : NoRouteCost;
    Route bestRoute = currentRoute;
    SidePair bestSides = current;
    double bestCost = currentCost;

    const Route onCurrentSides = route(current, fromAnchor, toAnchor);
    if (isClean(onCurrentSides)) {
        const double c = score(onCurrentSides, current.from, current.to, currentCost - 0.01);
        if (c + 0.01 < currentCost) {
            bestRoute = onCurrentSides;
            bestCost = c;
        }
    }

    const SidePair preferred = chooseSides(fromRect, toRect);
    if (preferred != current) {
        const Route candidate = route(preferred, std::nullopt, std::nullopt);
        if (isClean(candidate)) {
            const double c = score(candidate, preferred.from, preferred.to, bestCost - 8);
            if (c + 8 < bestCost) {
                bestRoute = candidate;
                bestSides = preferred;
                bestCost = c;
            }
        }
    }

    for (EntitySide i = LeftSide; i <= BottomSide; ++i) {
        for (EntitySide j = LeftSide; j <= BottomSide; ++j) {
            const SidePair sides{i, j};
            if (sides == current || sides == preferred)
                continue;
            const Route candidate = route(sides, std::nullopt, std::nullopt);
            if (!isClean(candidate))
                continue;
            const double c = score(candidate, i, j, bestCost - 12);
            if (c + 12 < bestCost) {
                bestRoute = candidate;
                bestSides = sides;
                bestCost = c;
            }
        }
    }

    if (bestRoute.size() >= 2 && bestCost + 12 < currentCost) {
        choice.sides = bestSides;
        if (bestSides == current) {
            choice.outcome = AutoRouteChoice::ApplyRoute;
            choice.route = bestRoute;
        } else {
            choice.outcome = AutoRouteChoice::MoveSlots;
            choice.route = bestRoute;
        }
    } else {
        choice.sides = current;
    }
    return choice;
}

} // namespace routing
