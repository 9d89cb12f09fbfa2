#pragma once

#include <QList>
#include <QPoint>
#include <QRectF>

#include <utility>
#include <vector>

// One piece of connected ink traced outside the boxes, with what it meets. Lines that share
// a track, meet at a T or cross are one piece; the boxes it joins are found from its ends.
struct TracedConnector
{
    std::vector<QPoint> pixels;                   // in trace order
    std::vector<int> bandBoxes;                   // boxes whose touch band holds a pixel, first touch first
    std::vector<std::pair<QPoint, int>> contacts; // pixels beside a box's border, with that box
};

// Two boxes one line of a connector joins, with the length of the line's contact along each
// box's border (0 for none): a crow's foot meets its box with a wider contact.
struct ConnectorJoin
{
    int first = -1;
    int second = -1;
    int firstSpread = 0;
    int secondSpread = 0;
};

// The pairs of boxes the lines of one connector join, each once, in a fixed order; a
// connector that leaves one box and comes back to it joins that box with itself.
// A connector that meets no more than one box's border links the boxes whose bands it
// touches; one that meets two borders joins those two; one that meets more is followed from
// each end along its line, straight through crossings and T-junctions, turning only where
// its line must, to the end it reaches.
std::vector<ConnectorJoin> connectorJoins(const TracedConnector &connector, const QList<QRectF> &boxes);
