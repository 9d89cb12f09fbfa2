// What the automatic layout asks of an edge: side choice, slots on given sides, the
// crossing test and the weighing of fresh routes against the current one.
#include "edgeitem.h"
#include "entityitem.h"
#include "entityobstacleindex.h"
#include "routecandidates.h"
#include "routegeometry.h"
#include "sidepairs.h"
#include "slotitem.h"
#include "testsupport.h"

#include <QGraphicsScene>
#include <QtTest>

namespace {

EntityItem *addBox(QGraphicsScene *scene, const QString &title, const QPointF &pos, int rows = 3)
{
    auto *box = new EntityItem(title, QSizeF(150, 70));
    scene->addItem(box);
    box->setPos(pos);
    for (int r = 0; r < rows; ++r)
        box->addAttributeRow(QStringLiteral("c%1").arg(r), QStringLiteral("INT"), r == 0, false, false, false);
    return box;
}

EdgeItem *addEdge(QGraphicsScene *scene, EntityItem *from, EntityItem *to)
{
    auto *edge = new EdgeItem(from, to, false);
    scene->addItem(edge);
    return edge;
}

routing::SidePair sidesOf(const EdgeItem *edge)
{
    return {int(edge->fromSlot->side()), int(edge->toSlot->side())};
}

QList<QRectF> otherBoxes(const QGraphicsScene &scene, const EdgeItem *edge)
{
    QList<QRectF> obstacles;
    for (QGraphicsItem *item : scene.items(Qt::DescendingOrder)) {
        if (item->type() == EntityItem::Type && item != edge->from && item != edge->to)
            obstacles.append(routing::insetObstacleRect(item->sceneBoundingRect()));
    }
    return obstacles;
}

} // namespace

class tst_EdgeItemLayout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void farBoxesTakeThePreferredPair();
    void blockedPreferredPairGivesWay();
    void sideChoiceIsMadeAgainWhenBoxesChange();
    void selfRelationshipGoesLeftAndRight();
    void missingEntityLeavesEdgeAlone();
    void assignSlotsForSidesTakesAnchorsAndCentres();
    void towardEachOtherTakesFacingSlots();
    void crossesEntity();
    void autoRouteWithoutRouteAppliesBest();
    void autoRouteAppliesBetterRouteOnSameSides();
    void autoRouteTakesNewSidesAndKeepsOldRoute();
    void autoRouteChangesNothingWhenEveryCandidateCrosses();
    void autoRouteGuards();
    void sceneQueryMatchesFullWalk();
    void obstacleIndexMatchesSceneQuery();
};

void tst_EdgeItemLayout::initTestCase()
{
    testsupport::registerBundledMonoFont();
}

void tst_EdgeItemLayout::init()
{
    EdgeItem::setFullObstacleWalk(false);
}

void tst_EdgeItemLayout::farBoxesTakeThePreferredPair()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(600, 20));
    // Slots start on the wrong sides; the stored route must not change.
    EdgeItem *edge = addEdge(&scene, a, b);
    edge->assignSlotsForSides(routing::TopSide, routing::BottomSide);
    const QList<QPointF> route{QPointF(1, 1), QPointF(1, 5)};
    edge->points = route;

    const routing::SidePairChoice expected =
        routing::chooseSidePair({a->sceneBoundingRect(), b->sceneBoundingRect(), otherBoxes(scene, edge)});
    QCOMPARE(expected.pairsEvaluated, 1);
    edge->evaluateSidePairs();
    QCOMPARE(sidesOf(edge), (routing::SidePair{routing::RightSide, routing::LeftSide}));
    QCOMPARE(edge->points, route);
    QCOMPARE(edge->fromCentre, a->sceneBoundingRect().center());
    QCOMPARE(edge->toCentre, b->sceneBoundingRect().center());
}

void tst_EdgeItemLayout::blockedPreferredPairGivesWay()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(500, 0));
    // A box in between, from a little above the two to far below them: every right-to-left
    // route crosses it, while a route over the top of all three is clear.
    EntityItem *wall = addBox(&scene, QStringLiteral("wall"), QPointF(a->sceneBoundingRect().right() + 60, -20), 14);
    QVERIFY(wall->sceneBoundingRect().bottom() > a->sceneBoundingRect().bottom() + 150);
    EdgeItem *edge = addEdge(&scene, a, b);

    const routing::SidePairChoice expected =
        routing::chooseSidePair({a->sceneBoundingRect(), b->sceneBoundingRect(), otherBoxes(scene, edge)});
    QCOMPARE(expected.pairsEvaluated, 16);
    QVERIFY(expected.sides != (routing::SidePair{routing::RightSide, routing::LeftSide}));
    edge->evaluateSidePairs();
    QCOMPARE(sidesOf(edge), expected.sides);
}

void tst_EdgeItemLayout::sideChoiceIsMadeAgainWhenBoxesChange()
{
    // Over one obstacle index an edge remembers its choice; a moved end or a new index
    // (other boxes) must not get the remembered one.
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(500, 0));
    EdgeItem *edge = addEdge(&scene, a, b);
    const routing::SidePair rightLeft{routing::RightSide, routing::LeftSide};
    {
        const EntityObstacleIndex index(&scene, {a, b});
        const ObstacleIndexScope useIndex(&index);
        edge->evaluateSidePairs();
        QCOMPARE(sidesOf(edge), rightLeft);
        b->setPos(-500, 0);
        edge->evaluateSidePairs();
        QCOMPARE(sidesOf(edge), (routing::SidePair{routing::LeftSide, routing::RightSide}));
        b->setPos(500, 0);
        edge->evaluateSidePairs();
        QCOMPARE(sidesOf(edge), rightLeft);
    }
    EntityItem *wall = addBox(&scene, QStringLiteral("wall"), QPointF(a->sceneBoundingRect().right() + 60, -20), 14);
    const EntityObstacleIndex index(&scene, {a, b, wall});
    const ObstacleIndexScope useIndex(&index);
    edge->evaluateSidePairs();
    QVERIFY(sidesOf(edge) != rightLeft);
}

void tst_EdgeItemLayout::selfRelationshipGoesLeftAndRight()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EdgeItem *loop = addEdge(&scene, a, a);
    SlotItem *fromSlot = loop->fromSlot;
    SlotItem *toSlot = loop->toSlot;
    fromSlot->setSide(EntitySide::Bottom);
    toSlot->setSide(EntitySide::Top);
    loop->evaluateSidePairs();
    QCOMPARE(loop->fromSlot, fromSlot);
    QCOMPARE(loop->toSlot, toSlot);
    QCOMPARE(fromSlot->side(), EntitySide::Left);
    QCOMPARE(toSlot->side(), EntitySide::Right);
    const QRectF box = a->mapRectToScene(a->rect);
    QCOMPARE(fromSlot->center().x(), box.left());
    QCOMPARE(toSlot->center().x(), box.right());
}

void tst_EdgeItemLayout::missingEntityLeavesEdgeAlone()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(0, 400));
    EdgeItem *edge = addEdge(&scene, a, b);
    SlotItem *fromSlot = edge->fromSlot;
    const EntitySide side = fromSlot->side();
    const QPointF where = fromSlot->pos();
    edge->to = nullptr;
    edge->evaluateSidePairs();
    edge->assignSlotsForSides(routing::LeftSide, routing::LeftSide);
    edge->reassignSlotsTowardEachOther();
    QCOMPARE(edge->fromSlot, fromSlot);
    QCOMPARE(fromSlot->side(), side);
    QCOMPARE(fromSlot->pos(), where);
    QCOMPARE(fromSlot->edge(), edge);
    edge->to = b;
}

void tst_EdgeItemLayout::assignSlotsForSidesTakesAnchorsAndCentres()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(900, -600));
    EdgeItem *edge = addEdge(&scene, a, b);
    SlotItem *oldFrom = edge->fromSlot;

    edge->assignSlotsForSides(routing::TopSide, routing::LeftSide);
    QCOMPARE(sidesOf(edge), (routing::SidePair{routing::TopSide, routing::LeftSide}));
    QCOMPARE(edge->fromSlot->edge(), edge);
    QCOMPARE(edge->toSlot->edge(), edge);
    QVERIFY(oldFrom == edge->fromSlot || !oldFrom->edge());
    // Aimed at the other box and kept a margin from the corners: b lies far up and right,
    // so the from slot sits near the right end of a's top side.
    const QRectF local = a->boundingRect();
    const QPointF anchor =
        routing::slotAnchorOnSide(local, routing::TopSide, a->mapFromScene(b->sceneBoundingRect().center()));
    QCOMPARE(edge->fromSlot->pos().x(), anchor.x());
    QCOMPARE(edge->fromSlot->pos().y(), a->rect.top());
    QCOMPARE(edge->toSlot->pos().x(), b->rect.left());
    QCOMPARE(edge->fromCentre, a->sceneBoundingRect().center());
    QCOMPARE(edge->toCentre, b->sceneBoundingRect().center());
}

void tst_EdgeItemLayout::towardEachOtherTakesFacingSlots()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(0, 500));
    EdgeItem *edge = addEdge(&scene, a, b);
    edge->assignSlotsForSides(routing::LeftSide, routing::LeftSide);
    edge->reassignSlotsTowardEachOther();
    QCOMPARE(sidesOf(edge), (routing::SidePair{routing::BottomSide, routing::TopSide}));
}

void tst_EdgeItemLayout::crossesEntity()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(800, 0));
    EntityItem *middle = addBox(&scene, QStringLiteral("middle"), QPointF(400, 0));
    EdgeItem *edge = addEdge(&scene, a, b);
    const double y = a->sceneBoundingRect().center().y();
    edge->points = {QPointF(a->sceneBoundingRect().right(), y), QPointF(b->sceneBoundingRect().left(), y)};
    QVERIFY(edge->crossesEntity());

    // Its own boxes never count.
    edge->points = {a->sceneBoundingRect().center(), QPointF(a->sceneBoundingRect().center().x(), -300)};
    QVERIFY(!edge->crossesEntity());
    // Around the middle box.
    const double above = middle->sceneBoundingRect().top() - 40;
    edge->points = {QPointF(200, y), QPointF(200, above), QPointF(700, above), QPointF(700, y)};
    QVERIFY(!edge->crossesEntity());

    edge->points = {QPointF(0, y)};
    QVERIFY(!edge->crossesEntity());
    edge->points = {QPointF(0, y), QPointF(900, y)};
    scene.removeItem(edge);
    QVERIFY(!edge->crossesEntity());
    scene.addItem(edge);
    QVERIFY(edge->crossesEntity());
}

void tst_EdgeItemLayout::autoRouteWithoutRouteAppliesBest()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(600, 0));
    EdgeItem *edge = addEdge(&scene, a, b);
    QCOMPARE(sidesOf(edge), (routing::SidePair{routing::RightSide, routing::LeftSide}));
    edge->points.clear();
    QVERIFY(!edge->autoRoute());
    QVERIFY(edge->points.size() >= 2);
    QVERIFY(routing::isRectilinearRoute(edge->points));
    QCOMPARE(edge->points.first(), edge->fromSlot->center());
    QCOMPARE(edge->points.last(), edge->toSlot->center());
}

void tst_EdgeItemLayout::autoRouteAppliesBetterRouteOnSameSides()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(600, 0));
    EdgeItem *edge = addEdge(&scene, a, b);
    const QPointF fa = edge->fromSlot->center();
    const QPointF ta = edge->toSlot->center();
    // A needless loop far below between the right sides.
    const QList<QPointF> detour{fa, QPointF(fa.x() + 30, fa.y()), QPointF(fa.x() + 30, 400),
                                QPointF(ta.x() - 30, 400), QPointF(ta.x() - 30, ta.y()), ta};
    edge->applyRoundedPath(detour);
    QVERIFY(!edge->autoRoute());
    QCOMPARE(sidesOf(edge), (routing::SidePair{routing::RightSide, routing::LeftSide}));
    QVERIFY(edge->points != detour);
    QVERIFY(routing::routeLength(edge->points) < routing::routeLength(detour));
}

void tst_EdgeItemLayout::autoRouteTakesNewSidesAndKeepsOldRoute()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(600, 0));
    EdgeItem *edge = addEdge(&scene, a, b);
    // Both slots face away from the other box, with a route for those sides.
    edge->assignSlotsForSides(routing::LeftSide, routing::RightSide);
    edge->updatePath();
    const QList<QPointF> old = edge->points;
    QVERIFY(old.size() >= 2);
    QVERIFY(edge->autoRoute());
    QCOMPARE(sidesOf(edge), (routing::SidePair{routing::RightSide, routing::LeftSide}));
    QCOMPARE(edge->points, old);
}

void tst_EdgeItemLayout::autoRouteChangesNothingWhenEveryCandidateCrosses()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(400, 0));
    // One large box beneath both and all around them (a long title makes it wide).
    EntityItem *under = addBox(&scene, QString(140, QLatin1Char('u')), QPointF(-250, -250), 45);
    under->setZValue(-10);
    QVERIFY(under->sceneBoundingRect().contains(
        a->sceneBoundingRect().united(b->sceneBoundingRect()).adjusted(-100, -100, 100, 100)));
    EdgeItem *edge = addEdge(&scene, a, b);
    edge->points.clear();
    const routing::SidePair sides = sidesOf(edge);
    QVERIFY(!edge->autoRoute());
    QVERIFY(edge->points.isEmpty());
    QCOMPARE(sidesOf(edge), sides);
}

void tst_EdgeItemLayout::autoRouteGuards()
{
    QGraphicsScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), QPointF(0, 0));
    EntityItem *b = addBox(&scene, QStringLiteral("b"), QPointF(600, 0));
    EdgeItem *loop = addEdge(&scene, a, a);
    QVERIFY(!loop->autoRoute());

    EdgeItem *edge = addEdge(&scene, a, b);
    edge->assignSlotsForSides(routing::LeftSide, routing::RightSide);
    SlotItem *slot = edge->fromSlot;
    edge->fromSlot = nullptr;
    QVERIFY(!edge->autoRoute());
    edge->fromSlot = slot;
    QCOMPARE(sidesOf(edge), (routing::SidePair{routing::LeftSide, routing::RightSide}));

    scene.removeItem(edge);
    QVERIFY(!edge->autoRoute());
    QCOMPARE(sidesOf(edge), (routing::SidePair{routing::LeftSide, routing::RightSide}));
    scene.addItem(edge);
}

void tst_EdgeItemLayout::sceneQueryMatchesFullWalk()
{
    // A crowd of boxes: every edge chooses sides and weighs routes the same way whether the
    // obstacles come from the scene's index or from a walk over every item.
    auto run = [](bool fullWalk) {
        EdgeItem::setFullObstacleWalk(fullWalk);
        QGraphicsScene scene;
        QList<EntityItem *> boxes;
        for (int i = 0; i < 30; ++i)
            boxes.append(addBox(&scene, QStringLiteral("t%1").arg(i), QPointF((i % 6) * 230 + (i * 37) % 50, (i / 6) * 190 + (i * 53) % 40), 2 + i % 5));
        QList<EdgeItem *> edges;
        for (int i = 0; i < 30; ++i)
            edges.append(addEdge(&scene, boxes[i], boxes[(i * 7 + 3) % 30]));
        QStringList result;
        for (EdgeItem *edge : edges) {
            edge->evaluateSidePairs();
            edge->updatePath();
            const bool moved = edge->autoRoute();
            result.append(QStringLiteral("%1 %2 %3 %4").arg(moved).arg(int(edge->fromSlot->side())).arg(int(edge->toSlot->side())).arg(edge->crossesEntity()));
            for (const QPointF &p : std::as_const(edge->points))
                result.append(QStringLiteral("%1,%2").arg(p.x(), 0, 'g', 17).arg(p.y(), 0, 'g', 17));
        }
        EdgeItem::setFullObstacleWalk(false);
        return result;
    };
    QCOMPARE(run(false), run(true));
}

void tst_EdgeItemLayout::obstacleIndexMatchesSceneQuery()
{
    // Boxes of many sizes, one far away; regions of every size, some only touching a box,
    // one not finite. The index gives the scene query's boxes in the same order.
    QGraphicsScene scene;
    QList<EntityItem *> boxes;
    for (int i = 0; i < 40; ++i)
        boxes.append(addBox(&scene, QStringLiteral("t%1").arg(i), QPointF((i % 8) * 300 + (i * 37) % 90, (i / 8) * 260 + (i * 53) % 70), 1 + i % 7));
    boxes.append(addBox(&scene, QStringLiteral("far"), QPointF(900000, -900000)));
    QList<EntityItem *> stacked;
    for (QGraphicsItem *item : scene.items(Qt::DescendingOrder)) {
        if (item->type() == EntityItem::Type)
            stacked.append(static_cast<EntityItem *>(item));
    }
    const EntityObstacleIndex index(&scene, stacked);
    auto viaScene = [&](const QRectF &region, const QGraphicsItem *a, const QGraphicsItem *b) {
        QList<QRectF> obstacles;
        for (QGraphicsItem *item : scene.items(region, Qt::IntersectsItemBoundingRect, Qt::DescendingOrder)) {
            if (item->type() == EntityItem::Type && item != a && item != b)
                obstacles.append(routing::insetObstacleRect(item->sceneBoundingRect()));
        }
        return obstacles;
    };
    const QRectF first = boxes[9]->sceneBoundingRect();
    const QList<QRectF> regions{
        QRectF(0, 0, 10, 10), QRectF(-50, -50, 2600, 1400), QRectF(400, 300, 900, 500),
        first.adjusted(-1, -1, 1, 1), QRectF(-2e6, -2e6, 4e6, 4e6), QRectF(5000, 5000, 10, 10),
        QRectF(first.right() + 0.5, first.top(), 40, 40)};
    for (const QRectF &region : regions)
        QCOMPARE(index.obstaclesIn(region, boxes[9], boxes[3]), viaScene(region, boxes[9], boxes[3]));
    QCOMPARE(index.obstaclesIn(QRectF(0, 0, qInf(), 5), nullptr, nullptr).size(), stacked.size());
}

QTEST_MAIN(tst_EdgeItemLayout)
#include "tst_edgeitem_layout.moc"
