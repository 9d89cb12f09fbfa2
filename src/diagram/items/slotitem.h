#pragma once

#include "diagramitemtypes.h"

#include <QGraphicsRectItem>

class EdgeItem;

// The small square on an entity box's outline where one end of a relationship line
// sits. Almost invisible until hovered, revealed by its selected edge, or highlighted
// during a drag; the user drags it along the outline of its box.
class SlotItem : public QGraphicsRectItem
{
public:
    enum { Type = DiagramItemType::SlotItem };

    // parent is normally the entity box; any item (or none) is tolerated.
    explicit SlotItem(QGraphicsItem *parent = nullptr);

    int type() const override { return Type; }

    void setSide(EntitySide side) { m_side = side; }
    EntitySide side() const { return m_side; }
    void setEdge(EdgeItem *edge) { m_edge = edge; }
    EdgeItem *edge() const { return m_edge; }

    // Scene position of the square's centre; edges route from and to it.
    QPointF center() const;
    // The box rectangle of a host parent, else the parent's bounding rectangle, else
    // a null rectangle.
    QRectF parentRect() const;

    void constrainToParent();
    void clampToParentRect();

    void setRevealed(bool on);
    bool isRevealed() const { return m_revealed; }
    // Takes the accent colour of the moment; a later theme change does not re-colour.
    void setHighlighted(bool on);
    bool isHighlighted() const { return m_highlighted; }

    // The pure geometry of the slot, in the parent's coordinates. A rectangle of zero
    // width and height yields pos unchanged; an unknown side keeps pos.
    static QPointF constrainedPoint(const QRectF &rect, EntitySide side, const QPointF &pos);
    static QPointF clampedPoint(const QRectF &rect, const QPointF &pos);
    static QPointF nearestOutlinePoint(const QRectF &rect, const QPointF &pos);
    // The side whose line is nearest to point; ties go left, right, top, bottom.
    static EntitySide nearestSide(const QRectF &rect, const QPointF &point);

protected:
    void mousePressEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent *event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent *event) override;
    void hoverEnterEvent(QGraphicsSceneHoverEvent *event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent *event) override;

private:
    void moveToIfApart(const QPointF &target);
    void applyRestingLook();
    void updateOpacity();
    bool isPointerOver() const;

    EdgeItem *m_edge = nullptr;
    QPointF m_pressOffset;
    EntitySide m_side = EntitySide::Right;
    bool m_revealed = false;
    bool m_highlighted = false;
};
