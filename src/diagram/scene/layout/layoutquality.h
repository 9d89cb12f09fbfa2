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
    int boxHits = 0;        // per edge, the other boxes its route meets, summed
    int bends = 0;
    int maxBends = 0;
    double meanBends = 0;
    double routeLength = 0;
    int boxOverlaps = 0;    // pairs of boxes whose rectangles intersect
    QRectF drawing;         // boxes and routes together
};

// boxes: the drawn rectangles of the entity boxes in scene coordinates.
LayoutQuality measureLayout(const QList<QRectF> &boxes, const QList<QualityEdge> &edges);

// One "name: value" line per figure.
QStringList describeQuality(const LayoutQuality &quality);

} // namespace layout
