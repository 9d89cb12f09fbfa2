#pragma once

#include "edgeitem.h"

// The link between an entity view and a table it is taken from: a dashed line with an
// arrow head pointing into the table, without cardinality and without foreign keys.
class EntityViewEdgeItem : public EdgeItem
{
    Q_OBJECT

public:
    // Either end may be the view.
    EntityViewEdgeItem(EntityItem *from, EntityItem *to, bool createFKs);

    bool isEntityViewEdge() const override { return true; }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;
    void applyPen() override;
    bool supportsCardinality() const override { return false; }

protected:
    QVariant itemChange(GraphicsItemChange change, const QVariant &value) override;

private:
    EntityItem *viewEnd() const;
};
