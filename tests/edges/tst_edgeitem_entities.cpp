// A relationship edge between entity boxes: registration, slots, foreign-key rows,
// re-taking slots when the boxes move, deferred re-routing and selection follow-ups.
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "erview.h"
#include "singlelinetextitem.h"
#include "slotitem.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QPointer>
#include <QUuid>
#include <QtTest>

namespace {

EntityItem *addBox(QGraphicsScene *scene, const QString &title, const QPointF &pos,
                   const QStringList &keys = {}, const QStringList &others = {})
{
    auto *box = new EntityItem(title, QSizeF(150, 70));
    scene->addItem(box);
    box->setPos(pos);
    for (const QString &key : keys)
        box->addAttributeRow(key, QStringLiteral("INT"), true, false, false, false);
    for (const QString &other : others)
        box->addAttributeRow(other, QStringLiteral("TEXT"), false, false, false, false);
    return box;
}

QStringList names(const EntityItem *box)
{
    QStringList result;
    for (const EntityItem::Attribute &a : box->attributes)
        result.append(a.name);
    return result;
}

// The route the router gives for the edge's slots and surroundings right now.
QList<QPointF> freshRoute(const EdgeItem *edge)
{
    return edge->computeRoute();
}

} // namespace

class tst_EdgeItemEntities : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void registersWithFacingSlots();
    void selfRelationshipTakesLeftAndRight();
    void nullEndsAreTolerated();
    void foreignKeyRowsLiveWithTheEdge();
    void keptRowsWhenRemovalIsOff();

    void reassignSlotsWhenDirectionChanges();
    void reassignKeepsSlotsOnSameDirection();
    void reassignSelfRelationship();

    void suppressedRoutingChangesNothing();
    void outsideBatchRoutesAtOnce();
    void insideBatchRoutesLater();
    void discardDropsFullReroute();

    void selectionHighlightsRowsAndSlots();
    void groupMoveRefitsEdges();
    void draggedSlotStartsTheRoute();

private:
    ERScene *m_scene = nullptr;
    ERView *m_view = nullptr;
};

void tst_EdgeItemEntities::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EdgeItemEntities::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
    EdgeItem::setSuppressRouting(false);
    EdgeItem::setBatchMode(false);
    m_scene = new ERScene;
    m_scene->setSceneRect(0, 0, 1200, 900);
}

void tst_EdgeItemEntities::cleanup()
{
    delete m_view;
    m_view = nullptr;
    // Edges before boxes, as the scene does it.
    const QList<QGraphicsItem *> items = m_scene->items();
    for (QGraphicsItem *item : items) {
        if (item->type() == EdgeItem::Type)
            delete item;
    }
    delete m_scene;
    m_scene = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EdgeItem::setSuppressRouting(false);
    EdgeItem::setBatchMode(false);
}

void tst_EdgeItemEntities::registersWithFacingSlots()
{
    EntityItem *from = addBox(m_scene, "a", QPointF(0, 0), {"id"});
    EntityItem *to = addBox(m_scene, "b", QPointF(400, 20), {"b_id"});
    auto *edge = new EdgeItem(from, to, false);
    m_scene->addItem(edge);
    QCOMPARE(from->edges, QList<EdgeItem *>({edge}));
    QCOMPARE(to->edges, QList<EdgeItem *>({edge}));
    QVERIFY(edge->fromSlot && edge->toSlot);
    QCOMPARE(edge->fromSlot->side(), EntitySide::Right);
    QCOMPARE(edge->toSlot->side(), EntitySide::Left);
    QCOMPARE(edge->fromSlot->edge(), edge);
    QCOMPARE(edge->toSlot->edge(), edge);
    QCOMPARE(edge->fromSlot->parentItem(), from);
    QCOMPARE(edge->fromCentre, from->sceneBoundingRect().center());
    QCOMPARE(edge->toCentre, to->sceneBoundingRect().center());
    QCOMPARE(edge->zValue(), -1.0);
    QVERIFY(!QUuid::fromString(edge->id).isNull());
    // Without foreign keys the creator routes.
    QVERIFY(edge->points.isEmpty());
    QCOMPARE(names(to), QStringList({"b_id"}));

    delete edge;
    QVERIFY(from->edges.isEmpty());
    QVERIFY(to->edges.isEmpty());
    QCOMPARE(from->slotItems.size(), 1);
    QCOMPARE(from->slotItems.first()->edge(), nullptr);
}

void tst_EdgeItemEntities::selfRelationshipTakesLeftAndRight()
{
    EntityItem *box = addBox(m_scene, "a", QPointF(100, 100), {"id"});
    auto *edge = new EdgeItem(box, box, false);
    m_scene->addItem(edge);
    QCOMPARE(box->edges, QList<EdgeItem *>({edge, edge}));
    QVERIFY(edge->fromSlot != edge->toSlot);
    QCOMPARE(edge->fromSlot->side(), EntitySide::Left);
    QCOMPARE(edge->toSlot->side(), EntitySide::Right);
    QCOMPARE(box->slotItems.size(), 2);
    delete edge;
    QVERIFY(box->edges.isEmpty());
    for (SlotItem *slot : box->slotItems)
        QCOMPARE(slot->edge(), nullptr);
}

void tst_EdgeItemEntities::nullEndsAreTolerated()
{
    EntityItem *box = addBox(m_scene, "a", QPointF(0, 0), {"id"});
    auto *half = new EdgeItem(box, nullptr, true);
    QVERIFY(box->edges.isEmpty());
    QCOMPARE(names(box), QStringList({"id"}));
    half->updatePath();
    delete half;
    EdgeItem none(nullptr, nullptr, true);
    QVERIFY(!none.fromSlot && !none.toSlot);
}

void tst_EdgeItemEntities::foreignKeyRowsLiveWithTheEdge()
{
    EntityItem *parent = addBox(m_scene, "p", QPointF(0, 0), {"id", "code"}, {"name"});
    EntityItem *child = addBox(m_scene, "c", QPointF(400, 0), {"c_id"}, {"code"});
    auto *edge = new EdgeItem(parent, child, true);
    m_scene->addItem(edge);
    QCOMPARE(names(child), QStringList({"c_id", "code", "id", "code_2"}));
    for (int row : {2, 3}) {
        QVERIFY(child->isAttributeForeignKey(row));
        QCOMPARE(child->attributeFkEdgeId(row), edge->id);
        QCOMPARE(child->attributeType(row), QStringLiteral("INT"));
    }
    QCOMPARE(child->foreignKeyRowsForEdge(edge), QList<int>({2, 3}));
    // createFKs routes at once.
    QCOMPARE(edge->points, freshRoute(edge));

    delete edge;
    QCOMPARE(names(child), QStringList({"c_id", "code"}));
    QCOMPARE(names(parent), QStringList({"id", "code", "name"}));
}

void tst_EdgeItemEntities::keptRowsWhenRemovalIsOff()
{
    EntityItem *parent = addBox(m_scene, "p", QPointF(0, 0), {"id"});
    EntityItem *child = addBox(m_scene, "c", QPointF(400, 0), {"c_id"});
    auto *edge = new EdgeItem(parent, child, true);
    m_scene->addItem(edge);
    edge->removeForeignKeysOnDelete = false;
    delete edge;
    QCOMPARE(names(child), QStringList({"c_id", "id"}));
    QVERIFY(child->edges.isEmpty());
}

void tst_EdgeItemEntities::reassignSlotsWhenDirectionChanges()
{
    EntityItem *from = addBox(m_scene, "a", QPointF(0, 0), {"id"});
    EntityItem *to = addBox(m_scene, "b", QPointF(400, 0), {"b_id"});
    auto *edge = new EdgeItem(from, to, false);
    m_scene->addItem(edge);
    edge->updatePath();
    QCOMPARE(edge->fromSlot->side(), EntitySide::Right);

    EdgeItem::setSuppressRouting(true); // only the explicit call moves slots here
    to->setPos(0, 300);
    EdgeItem::setSuppressRouting(false);
    edge->reassignSlotsIfSideChanged();
    QCOMPARE(edge->fromSlot->side(), EntitySide::Bottom);
    QCOMPARE(edge->toSlot->side(), EntitySide::Top);
    QCOMPARE(edge->fromSlot->edge(), edge);
    QCOMPARE(edge->toSlot->edge(), edge);
    QCOMPARE(edge->toCentre, to->sceneBoundingRect().center());
    QCOMPARE(edge->points, freshRoute(edge));
    QCOMPARE(edge->points.first(), from->mapToScene(QPointF(from->rect.width() / 2, from->rect.height())));
    // The released slots were reused: no new slot was made.
    QCOMPARE(from->slotItems.size(), 1);
    QCOMPARE(to->slotItems.size(), 1);
}

void tst_EdgeItemEntities::reassignKeepsSlotsOnSameDirection()
{
    EntityItem *from = addBox(m_scene, "a", QPointF(0, 0), {"id"});
    EntityItem *to = addBox(m_scene, "b", QPointF(400, 0), {"b_id"});
    auto *edge = new EdgeItem(from, to, false);
    m_scene->addItem(edge);
    edge->updatePath();
    SlotItem *fromSlot = edge->fromSlot;
    SlotItem *toSlot = edge->toSlot;
    const QList<QPointF> route = edge->points;

    EdgeItem::setSuppressRouting(true);
    to->setPos(450, 60);
    EdgeItem::setSuppressRouting(false);
    edge->reassignSlotsIfSideChanged();
    QCOMPARE(edge->fromSlot, fromSlot);
    QCOMPARE(edge->toSlot, toSlot);
    QCOMPARE(edge->points, route);
    QCOMPARE(edge->toCentre, to->sceneBoundingRect().center());
}

void tst_EdgeItemEntities::reassignSelfRelationship()
{
    EntityItem *box = addBox(m_scene, "a", QPointF(100, 100), {"id"});
    auto *edge = new EdgeItem(box, box, false);
    m_scene->addItem(edge);
    edge->fromSlot->setSide(EntitySide::Top);
    edge->toSlot->setSide(EntitySide::Bottom);
    edge->reassignSlotsIfSideChanged();
    QCOMPARE(edge->fromSlot->side(), EntitySide::Left);
    QCOMPARE(edge->toSlot->side(), EntitySide::Right);
    QCOMPARE(edge->fromSlot->pos().x(), 0.0);
    QCOMPARE(edge->toSlot->pos().x(), box->rect.width());
}

void tst_EdgeItemEntities::suppressedRoutingChangesNothing()
{
    EntityItem *from = addBox(m_scene, "a", QPointF(0, 0), {"id"});
    EntityItem *to = addBox(m_scene, "b", QPointF(400, 0), {"b_id"});
    auto *edge = new EdgeItem(from, to, true);
    m_scene->addItem(edge);
    const QList<QPointF> route = edge->points;
    EdgeItem::setSuppressRouting(true);
    to->setPos(400, 50);
    to->addAttributeRow(QStringLiteral("more"), QStringLiteral("TEXT"), false, false, false, false);
    QCOMPARE(edge->points, route);
    EdgeItem::setSuppressRouting(false);
}

void tst_EdgeItemEntities::outsideBatchRoutesAtOnce()
{
    EntityItem *from = addBox(m_scene, "a", QPointF(0, 0), {"id"});
    EntityItem *to = addBox(m_scene, "b", QPointF(400, 0), {"b_id"});
    auto *edge = new EdgeItem(from, to, true);
    m_scene->addItem(edge);
    to->setPos(400, 50);
    QCOMPARE(edge->points, freshRoute(edge));
    QCOMPARE(edge->points.last().y(), to->mapToScene(edge->toSlot->pos()).y());
}

void tst_EdgeItemEntities::insideBatchRoutesLater()
{
    EntityItem *from = addBox(m_scene, "a", QPointF(0, 0), {"id"});
    EntityItem *to = addBox(m_scene, "b", QPointF(400, 0), {"b_id"});
    auto *edge = new EdgeItem(from, to, true);
    m_scene->addItem(edge);
    const QList<QPointF> route = edge->points;

    EdgeItem::setBatchMode(true);
    to->setPos(400, 50);
    QCOMPARE(edge->points, route);
    QVERIFY(edge->isReroutePending());
    QVERIFY(edge->isRerouteDeferred());
    QTRY_COMPARE_WITH_TIMEOUT(edge->points, freshRoute(edge), 1000);
    QVERIFY(!edge->isReroutePending());
    QVERIFY(edge->isRerouteDeferred());

    to->setPos(400, 80);
    EdgeItem::setBatchMode(false);
    QCOMPARE(edge->points, freshRoute(edge));
    QVERIFY(!edge->isRerouteDeferred());
}

void tst_EdgeItemEntities::discardDropsFullReroute()
{
    EntityItem *from = addBox(m_scene, "a", QPointF(0, 0), {"id"});
    EntityItem *to = addBox(m_scene, "b", QPointF(400, 0), {"b_id"});
    auto *edge = new EdgeItem(from, to, true);
    m_scene->addItem(edge);

    EdgeItem::setBatchMode(true);
    to->setPos(400, 50);
    EdgeItem::setDiscardPendingReroutes(true);
    EdgeItem::setBatchMode(false);
    // The quick re-route still ran; the full one was dropped, and the flag is gone.
    QCOMPARE(edge->points, freshRoute(edge));
    QVERIFY(!edge->isReroutePending());
    QVERIFY(!edge->isRerouteDeferred());
    QVERIFY(!EdgeItem::isDiscardingPendingReroutes());
}

void tst_EdgeItemEntities::selectionHighlightsRowsAndSlots()
{
    EntityItem *parent = addBox(m_scene, "p", QPointF(0, 0), {"id"});
    EntityItem *child = addBox(m_scene, "c", QPointF(400, 0), {"c_id"}, {"note"});
    auto *edge = new EdgeItem(parent, child, true);
    m_scene->addItem(edge);
    const int fkRow = child->attributeCount() - 1;

    edge->setSelected(true);
    QVERIFY(!child->nameItems.at(fkRow)->isHighlighted());
    QCoreApplication::processEvents();
    QVERIFY(child->nameItems.at(fkRow)->isHighlighted());
    QVERIFY(child->typeItems.at(fkRow)->isHighlighted());
    QVERIFY(!child->nameItems.at(0)->isHighlighted());
    QVERIFY(!child->nameItems.at(1)->isHighlighted());
    QVERIFY(edge->fromSlot->isRevealed());
    QVERIFY(edge->toSlot->isRevealed());
    QCOMPARE(edge->pen().color(), ThemeManager::instance()->colors().accent);

    edge->setSelected(false);
    QCoreApplication::processEvents();
    QVERIFY(!child->nameItems.at(fkRow)->isHighlighted());
    QVERIFY(!edge->fromSlot->isRevealed());

    // An edge deleted before the follow-up runs is left alone.
    edge->setSelected(true);
    delete edge;
    QCoreApplication::processEvents();
    QCOMPARE(child->attributeCount(), 2);

    // Selecting the key row's cell selects its outgoing edges.
    auto *again = new EdgeItem(parent, child, true);
    m_scene->addItem(again);
    parent->nameItems.at(0)->setFlag(QGraphicsItem::ItemIsSelectable, true);
    parent->selectEdgesOfRow(parent->nameItems.at(0));
    QVERIFY(again->isSelected());
    parent->deselectEdgesOfRow(parent->nameItems.at(0));
    QVERIFY(!again->isSelected());
    child->selectEdgesOfRow(child->typeItems.at(2));
    QVERIFY(again->isSelected());
}

void tst_EdgeItemEntities::groupMoveRefitsEdges()
{
    m_view = new ERView(nullptr);
    m_view->setScene(m_scene);
    m_view->resize(1000, 700);
    m_view->show();
    m_view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_view));

    EntityItem *a = addBox(m_scene, "a", QPointF(50, 50), {"id"});
    EntityItem *b = addBox(m_scene, "b", QPointF(50, 250), {"b_id"});
    EntityItem *c = addBox(m_scene, "c", QPointF(500, 50), {"c_id"});
    QList<EdgeItem *> edges{new EdgeItem(a, c, true), new EdgeItem(b, c, true), new EdgeItem(a, b, true),
                            new EdgeItem(a, a, false)};
    for (EdgeItem *edge : edges) {
        m_scene->addItem(edge);
        edge->updatePath();
    }
    a->setSelected(true);
    b->setSelected(true);

    // Drag a and b far to the right of c: the a-c and b-c edges change direction.
    const QPoint start = m_view->mapFromScene(a->mapToScene(QPointF(4, 34)));
    const QPoint end = start + QPoint(700, 0);
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, start);
    QVERIFY(EdgeItem::isBatchMode());
    for (int step = 1; step <= 10; ++step) {
        QMouseEvent move(QEvent::MouseMove, QPointF(start + (end - start) * step / 10),
                         m_view->viewport()->mapToGlobal(QPointF(start + (end - start) * step / 10)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_view->viewport(), &move);
    }
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, end);
    QVERIFY(!EdgeItem::isBatchMode());
    QVERIFY(a->pos().x() > 600);

    for (EdgeItem *edge : edges)
        QCOMPARE(edge->points, freshRoute(edge));
    QCOMPARE(edges.at(0)->fromSlot->side(), EntitySide::Left);
    QCOMPARE(edges.at(0)->toSlot->side(), EntitySide::Right);
}

void tst_EdgeItemEntities::draggedSlotStartsTheRoute()
{
    m_view = new ERView(nullptr);
    m_view->setScene(m_scene);
    m_view->resize(1000, 700);
    m_view->show();
    m_view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_view));

    EntityItem *from = addBox(m_scene, "a", QPointF(50, 50), {"id"}, {"x", "y"});
    EntityItem *to = addBox(m_scene, "b", QPointF(500, 50), {"b_id"});
    auto *edge = new EdgeItem(from, to, true);
    m_scene->addItem(edge);
    SlotItem *slot = edge->fromSlot;
    const QPoint start = m_view->mapFromScene(slot->center());
    const QPoint end = m_view->mapFromScene(from->mapToScene(QPointF(from->rect.width() / 2,
                                                                     from->rect.height() + 30)));
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, start);
    for (int step = 1; step <= 5; ++step) {
        const QPointF p = start + QPointF(end - start) * step / 5.0;
        QMouseEvent move(QEvent::MouseMove, p, m_view->viewport()->mapToGlobal(p), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_view->viewport(), &move);
    }
    QVERIFY(edge->highlighted);
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, end);
    QCOMPARE(slot->side(), EntitySide::Bottom);
    QVERIFY(!edge->highlighted);
    QCOMPARE(edge->points.first(), slot->center());
    QCOMPARE(edge->points, freshRoute(edge));
}

QTEST_MAIN(tst_EdgeItemEntities)
#include "tst_edgeitem_entities.moc"
