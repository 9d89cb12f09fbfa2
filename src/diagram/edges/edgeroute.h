#pragma once

#include "orthogonalsearch.h"
#include "routegeometry.h"

#include <QList>
#include <QPointF>
#include <QRectF>

#include <functional>

// The route shapes of one relationship edge as plain functions over the positions of its
// two slots and boxes, so that they can be checked without a scene. The edge item reads its
// ends, gathers the obstacles and hands the result on.
namespace edgeroute {

// What the route between two different boxes depends on besides the other boxes.
struct EdgeEnds
{
    QPointF fromAnchor; // scene centre of the from slot
    QPointF toAnchor;
    routing::EntitySide fromSide = routing::LeftSide;
    routing::EntitySide toSide = routing::LeftSide;
    QRectF fromRect; // scene bounding rectangle of the from box, not inset
    QRectF toRect;
};

// What one computation went through; for tests and measurements.
struct RouteTrace
{
    int candidatesScored = 0;
    bool fellBack = false;       // no candidate survived; a detour was taken
    bool forcedOverTop = false;  // not even a detour survived
};

// Stub length of the two ends and the two stub points.
double stubLength(const EdgeEnds &ends);
QPointF fromStub(const EdgeEnds &ends);
QPointF toStub(const EdgeEnds &ends);

// The cheapest right-angle route between two different boxes around the obstacles (other
// boxes, already inset): a straight line between facing slots on one line, the channel
// route, the route of the side pair and two one-corner routes, else one of six detours
// around both boxes, else the detour over the top untested. Never fewer than 2 points.
routing::Route entityRoute(const EdgeEnds &ends, const QList<QRectF> &obstacles,
                           RouteTrace *trace = nullptr);

// Whether route runs through one of the obstacles, or with an inner segment through one of
// its own two boxes.
bool runsThroughBoxes(const routing::Route &route, const EdgeEnds &ends, const QList<QRectF> &obstacles);

// The other boxes (inset as obstacles) that meet a region; every one for a region that is
// not finite.
using ObstacleQuery = std::function<QList<QRectF>(const QRectF &region)>;

// A route around the boxes from the search over their orthogonal visibility graph: first
// among the boxes near the two ends, then in wider areas up to 2,560 beyond them; empty
// when the boxes leave no way between the two stubs within that.
// drawn, when given, holds the routes already drawn, the edge's own at index own: the
// search then crosses and runs along them only where that saves more than it costs.
routing::Route routeAroundBoxes(const EdgeEnds &ends, const ObstacleQuery &obstaclesIn,
                                const routing::DrawnLines *drawn = nullptr, int own = -1);

// The route with a single corner at (toStub.x, fromStub.y); what is drawn when a computed
// route is not rectilinear.
routing::Route oneCornerRoute(const EdgeEnds &ends);

// Loop of a relationship from a box to itself, from the from slot centre fc to the to slot
// centre tc, by the sides of the two slots. loopIndex counts the box's earlier
// self-relationships, so that later loops lie further out. Empty for a pair of sides the
// shapes do not cover.
routing::Route selfRelationshipRoute(const QRectF &box, const QPointF &fc, const QPointF &tc,
                                     routing::EntitySide fromSide, routing::EntitySide toSide,
                                     int loopIndex);

// A stored route made to meet the current slot centres exactly: its ends moved onto them,
// the first and last segments axis-aligned again, and a neighbour point that would end up
// behind its slot's side put 12 straight out from the slot instead. The number of points
// is kept except for collinear points, which are removed.
routing::Route fitStoredRoute(const routing::Route &stored, const QPointF &fc, const QPointF &tc,
                              routing::EntitySide fromSide, routing::EntitySide toSide);

} // namespace edgeroute
