#pragma once

#include <QGraphicsItem>

// Graphics item type codes; scene-wide code tells the diagram's items apart by them
// (qgraphicsitem_cast and type()).
namespace DiagramItemType {
enum : int {
    EntityItem = QGraphicsItem::UserType + 100,
    EdgeItem = QGraphicsItem::UserType + 101,
    EntityViewEdgeItem = QGraphicsItem::UserType + 101,
    SlotItem = QGraphicsItem::UserType + 102,
    SingleLineTextItem = QGraphicsItem::UserType + 103,
    TextItem = QGraphicsItem::UserType + 104,
    GroupItem = QGraphicsItem::UserType + 105
};

// The kinds the diagram document stores: boxes, relationship lines, notes and frames.
inline bool isDiagramPart(int type)
{
    return type == EntityItem || type == EdgeItem || type == TextItem || type == GroupItem;
}
} // namespace DiagramItemType

// The side of an entity box a connection slot sits on.
enum class EntitySide : int {
    Left = 0,
    Right = 1,
    Top = 2,
    Bottom = 3
};

// The eight resize handles of an annotation item, in hit-test order.
enum class ResizeHandle : int {
    NoHandle = 0,
    TopLeft = 1,
    Top = 2,
    TopRight = 3,
    Left = 4,
    Right = 5,
    BottomLeft = 6,
    Bottom = 7,
    BottomRight = 8
};
