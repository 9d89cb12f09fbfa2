#pragma once

#include "routegeometry.h"

#include <QStringList>

// Figures that describe how readable a laid-out diagram is. Measured for comparison
// between runs and versions; nothing depends on them.
namespace layout {

struct QualityEdge
{
    routing::Route route;
    int fromBox = -1; // index into the box list; -1 when the end is missing
    int toBox = -1;
};

struct LayoutQuality
{
    int boxes = 0;
    int edges = 0;
    int crossings = 0;      // segments of two different edges crossing inside both
    int sharedRuns = 0;     // collinear overlaps longer than 0.5 between different edges
    int sharedRunEdgePairs = 0; // pairs of edges with a collinear overlap longer than LongRun
    int boxHits = 0;        // per edge, the other boxes its route meets, summed
    int segmentBoxHits = 0; // per route segment, the boxes other than its edge's ends it meets
    int bends = 0;
    int maxBends = 0;
    double meanBends = 0;
    double routeLength = 0;
    int boxOverlaps = 0;    // pairs of boxes whose rectangles intersect
    QRectF drawing;         // boxes and routes together
    double boxArea = 0;     // sum of the boxes' areas
};

// Two lines that share a run longer than this read as one.
constexpr double LongRun = 10;

// boxes: the drawn rectangles of the entity boxes in scene coordinates.
LayoutQuality measureLayout(const QList<QRectF> &boxes, const QList<QualityEdge> &edges);

// The drawing's area over the sum of the boxes' areas; 0 without boxes.
double areaRatio(const LayoutQuality &quality);

// One "name: value" line per figure.
QStringList describeQuality(const LayoutQuality &quality);

} // namespace layout
