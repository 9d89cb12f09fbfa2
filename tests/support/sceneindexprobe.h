#pragma once

#include <QGraphicsRectItem>
#include <QGraphicsScene>

namespace testsupport {

// An item that counts how often its bounds are asked for.
class BoundsProbe : public QGraphicsRectItem
{
public:
    using QGraphicsRectItem::QGraphicsRectItem;
    QRectF boundingRect() const override
    {
        ++asked;
        return QGraphicsRectItem::boundingRect();
    }
    mutable int asked = 0;
};

// Whether the scene's index keeps an item at probeAt out of a look-up of area: it finds
// the item where it lies, and does not so much as ask for its bounds when area is far off.
inline bool lookUpPassesOver(QGraphicsScene *scene, const QRectF &area, const QPointF &probeAt)
{
    BoundsProbe probe(0, 0, 10, 10);
    probe.setPos(probeAt);
    scene->addItem(&probe);
    const bool indexed = !scene->items(probe.sceneBoundingRect()).isEmpty();
    probe.asked = 0;
    const bool found = scene->items(area).contains(&probe);
    const bool asked = probe.asked > 0;
    scene->removeItem(&probe);
    return indexed && !found && !asked;
}

} // namespace testsupport
