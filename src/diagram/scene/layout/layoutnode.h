#pragma once

#include <QList>
#include <QPointer>
#include <QRectF>

class EntityItem;

// Plain data of the automatic layout: one node per entity box, links between node
// indices, and the connected components they form. Nothing here touches the scene.
namespace layout {

struct LayoutNode
{
    // Not owned, and never read by the layout itself. Guarded: the scene lets the event
    // loop run between placing and moving, and a box deleted meanwhile reads as null.
    QPointer<EntityItem> entity;
    double centreX = 0;
    double centreY = 0;
    double width = 40;
    double height = 30;
    int degree = 0;

    QRectF box() const { return QRectF(centreX - width / 2, centreY - height / 2, width, height); }
};

// Two node indices, one per relationship; parallel relationships repeat a pair.
struct LayoutLink
{
    int first = -1;
    int second = -1;
};

struct LayoutComponent
{
    QList<int> members; // node indices in breadth-first visit order
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    double offsetX = 0;
    double offsetY = 0;
};

// Per node, the indices of its neighbours.
using NeighbourLists = QList<QList<int>>;

// The union of the nodes' boxes; null for no nodes.
QRectF nodesBoundingBox(const QList<LayoutNode> &nodes);

} // namespace layout
