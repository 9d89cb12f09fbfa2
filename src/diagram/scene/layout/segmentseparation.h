#pragma once

#include "routegeometry.h"

// Giving lines that run along the same channel tracks of their own (nudging, after
// Wybrow, Marriott and Stuckey): inner segments of different routes that share a line, or
// run closer than a track apart, are spread evenly across the free space around them, in
// an order that keeps them from crossing where it can.
namespace layout {

// Distance between two tracks where the channel has room for it.
constexpr double TrackSpacing = 12;

// The routes with their inner segments moved across so that no two segments of different
// routes that overlap along their length lie closer than TrackSpacing, or, in a channel
// too narrow for that, spread evenly over it. boxes are the rectangles the segments must
// keep out of; a segment never moves into one, nor past the next corner of its route. The
// first and the last segment of a route stay where they are. Deterministic: the same
// routes give the same result.
QList<routing::Route> separateParallelSegments(const QList<routing::Route> &routes, const QList<QRectF> &boxes);

// Of each two routes with segments on one line (within 0.5) along more than LongRun, the
// later one's index; ascending, each once.
QList<int> routesSharingTracks(const QList<routing::Route> &routes);

} // namespace layout
