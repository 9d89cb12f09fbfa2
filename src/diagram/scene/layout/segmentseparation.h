#pragma once

#include "routegeometry.h"

// Pushing apart inner segments of different routes that run side by side too closely.
namespace layout {

// Gap to which two close parallel segments are pushed apart.
constexpr double SegmentSeparation = 14;

// The routes with every pair of inner horizontal or vertical segments of different
// routes that lie 0.5 to 14 apart, and overlap along their length, moved 14 apart (both
// by half of what is missing). Four rounds over all pairs. The first and the last segment
// of a route stay, and segments closer than 0.5 are taken to share one line and stay.
QList<routing::Route> separateParallelSegments(const QList<routing::Route> &routes);

} // namespace layout
