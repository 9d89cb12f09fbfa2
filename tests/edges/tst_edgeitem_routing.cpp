// A relationship edge between real entity boxes: its pen, the applied route, the routes
// it computes (self relationships, two boxes around others) and the quick straight path.
#include "edgeitem.h"
#include "edgeroute.h"
#include "entityobstacleindex.h"
#include "edgetestutil.h"
#include "entityitem.h"
#include "entityviewedgeitem.h"
#include "groupitem.h"
#include "routegeometry.h"
#include "routescoring.h"
#include "slotitem.h"
#include "testsupport.h"
#include "textitem.h"
#include "thememanager.h"

#include <QGraphicsScene>
#include <QtTest>

#include <cmath>

using edgetest::addBox;
using edgetest::addEdge;

class tst_EdgeItemRouting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void penFollowsStateAndTheme_data();
    void penFollowsStateAndTheme();
    void viewEdgePenStaysDashed();
    void appliedRouteEndsPreview_data();
    void appliedRouteEndsPreview();

    void selfRelationshipLoopsNest();
    void selfRelationshipOnOneSide();
    void selfRelationshipWithoutSlotKeepsPath();
    void quickPathKeepsSelfRelationshipLoop_data();
    void quickPathKeepsSelfRelationshipLoop();

    void facingSlotsGoStraight();
    void missingSlotGivesNoRoute();
    void onlyOtherEntityBoxesAreObstacles();
    void routeClearsMiddleBox();
    void keptBoxIndexFollowsBoxChanges_data();
    void keptBoxIndexFollowsBoxChanges();
    void routesOverKeptBoxIndexMatchSceneLookUps();

    void applyRouteIgnoresShortRoutes_data();
    void applyRouteIgnoresShortRoutes();
    void applyRouteChecksSlotDrift_data();
    void applyRouteChecksSlotDrift();
    void applyRouteReplacesSlantedRoute();
    void selfRelationshipRouteIsDrawnUnchecked();

    void quickPathGoesStraightUnlessBlocked_data();
    void quickPathGoesStraightUnlessBlocked();
    void quickPathUsesVerticalTestWhenBothHold();

private:
    QGraphicsScene *m_scene = nullptr;
};

void tst_EdgeItemRouting::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EdgeItemRouting::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
    edgetest::resetRouting();
    m_scene = new QGraphicsScene;
}

void tst_EdgeItemRouting::cleanup()
{
    edgetest::clearScene(m_scene);
    delete m_scene;
    m_scene = nullptr;
    edgetest::resetRouting();
}

void tst_EdgeItemRouting::penFollowsStateAndTheme_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("highlighted");
    QTest::addColumn<bool>("dark");
    QTest::addColumn<int>("colourEntry");
    QTest::addColumn<int>("style");

    for (bool dark : { false, true }) {
        const QByteArray theme = dark ? " dark" : " light";
        QTest::newRow("plain" + theme) << false << false << dark << int(ThemePalette::Line) << int(Qt::SolidLine);
        QTest::newRow("selected" + theme) << true << false << dark << int(ThemePalette::Accent) << int(Qt::SolidLine);
        QTest::newRow("highlighted" + theme) << false << true << dark << int(ThemePalette::Accent) << int(Qt::DashLine);
    }
}

void tst_EdgeItemRouting::penFollowsStateAndTheme()
{
    QFETCH(bool, selected);
    QFETCH(bool, highlighted);
    QFETCH(bool, dark);
    QFETCH(int, colourEntry);
    QFETCH(int, style);

    EdgeItem *edge = addEdge(m_scene, addBox(m_scene, "a", QPointF(0, 0)), addBox(m_scene, "b", QPointF(300, 0)));
    QCOMPARE(edge->startCard, 1);
    QCOMPARE(edge->endCard, 1);
    edge->setSelected(selected);
    edge->highlighted = highlighted;
    // The theme change alone re-applies the pen.
    ThemeManager::instance()->setTheme(dark ? ThemeKind::Dark : ThemeKind::Light);
    QCOMPARE(edge->pen().color(), ThemeManager::instance()->colors().at(colourEntry));
    QCOMPARE(int(edge->pen().style()), style);
    QCOMPARE(edge->pen().widthF(), 2.0);
}

void tst_EdgeItemRouting::viewEdgePenStaysDashed()
{
    EntityItem *view = addBox(m_scene, "v", QPointF(0, 0));
    view->setKind(EntityKind::View);
    auto *edge = addEdge<EntityViewEdgeItem>(m_scene, view, addBox(m_scene, "t", QPointF(300, 0)));
    QVERIFY(edge->isEntityViewEdge());
    QVERIFY(!edge->supportsCardinality());
    QCOMPARE(edge->type(), EdgeItem::Type);
    const QList<qreal> pattern{ 6, 4 };
    QCOMPARE(edge->pen().dashPattern(), pattern);
    ThemeManager::instance()->setTheme(ThemeKind::Dark);
    QCOMPARE(edge->pen().dashPattern(), pattern);
    QCOMPARE(edge->pen().color(), ThemeManager::darkColors().line);
    edge->updatePath();
    QCOMPARE(edge->pen().dashPattern(), pattern);
}

void tst_EdgeItemRouting::appliedRouteEndsPreview_data()
{
    QTest::addColumn<bool>("selected");
    QTest::newRow("not selected") << false;
    QTest::newRow("selected") << true;
}

void tst_EdgeItemRouting::appliedRouteEndsPreview()
{
    QFETCH(bool, selected);
    EdgeItem *edge = addEdge(m_scene, addBox(m_scene, "a", QPointF(0, 0)), addBox(m_scene, "b", QPointF(300, 0)));
    edge->setSelected(selected);
    edge->setStraightPreviewPath();
    QVERIFY(edge->highlighted);
    QVERIFY(edge->fromSlot->isHighlighted());
    edge->manualRoute = true;

    edge->updatePath();
    QVERIFY(!edge->highlighted);
    QVERIFY(!edge->manualRoute);
    for (SlotItem *slot : { edge->fromSlot, edge->toSlot }) {
        QVERIFY(!slot->isHighlighted());
        QCOMPARE(slot->isRevealed(), selected);
    }
}

void tst_EdgeItemRouting::selfRelationshipLoopsNest()
{
    EntityItem *box = addBox(m_scene, "a", QPointF(200, 200));
    EdgeItem *first = addEdge(m_scene, box, box);
    EdgeItem *second = addEdge(m_scene, box, box);
    QCOMPARE(first->selfLoopIndex(), 0);
    QCOMPARE(second->selfLoopIndex(), 1);

    const QRectF r = box->sceneBoundingRect();
    const QPointF fc = first->fromSlot->center();
    const QPointF tc = first->toSlot->center();
    const QList<QPointF> expected{ fc,
                                   QPointF(r.left() - 20, fc.y()),
                                   QPointF(r.left() - 20, r.top() - 20),
                                   QPointF(r.right() + 20, r.top() - 20),
                                   QPointF(r.right() + 20, tc.y()),
                                   tc };
    QCOMPARE(first->points, expected);
    QCOMPARE(second->points.size(), 6);
    QCOMPARE(second->points.at(1).x(), r.left() - 32);
    QCOMPARE(second->points.at(2).y(), r.top() - 32);
    QCOMPARE(second->points.at(3).x(), r.right() + 32);
}

void tst_EdgeItemRouting::selfRelationshipOnOneSide()
{
    EntityItem *box = addBox(m_scene, "a", QPointF(0, 0), { "id", "code" }, { "name" });
    EdgeItem *edge = addEdge(m_scene, box, box);
    edge->fromSlot->setSide(EntitySide::Right);
    edge->toSlot->setSide(EntitySide::Right);
    edge->fromSlot->constrainToParent();
    edge->toSlot->constrainToParent();
    edge->updatePath();
    const double bracket = box->sceneBoundingRect().right() + 30;
    QCOMPARE(edge->points, QList<QPointF>({ edge->fromSlot->center(), QPointF(bracket, edge->fromSlot->center().y()),
                                            QPointF(bracket, edge->toSlot->center().y()), edge->toSlot->center() }));
}

void tst_EdgeItemRouting::selfRelationshipWithoutSlotKeepsPath()
{
    EntityItem *box = addBox(m_scene, "a", QPointF(0, 0));
    EdgeItem *edge = addEdge(m_scene, box, box);
    const QList<QPointF> before = edge->points;
    const QPainterPath path = edge->path();
    QVERIFY(before.size() == 6);
    SlotItem *slot = edge->toSlot;
    edge->toSlot = nullptr;
    QVERIFY(edge->computeSlotRoute().isEmpty());
    box->moveBy(50, 50);
    edge->updatePath();
    QCOMPARE(edge->points, before);
    QCOMPARE(edge->path(), path);
    edge->toSlot = slot;
}

void tst_EdgeItemRouting::quickPathKeepsSelfRelationshipLoop_data()
{
    QTest::addColumn<bool>("slotsInLine");
    QTest::newRow("slots level") << true;
    QTest::newRow("slots apart") << false;
}

void tst_EdgeItemRouting::quickPathKeepsSelfRelationshipLoop()
{
    QFETCH(bool, slotsInLine);
    EntityItem *box = addBox(m_scene, "a", QPointF(0, 0), { "id" }, { "name", "parent" });
    EdgeItem *edge = addEdge(m_scene, box, box);
    edge->fromSlot->constrainToParent();
    edge->toSlot->constrainToParent();
    if (slotsInLine)
        edge->toSlot->setY(edge->fromSlot->y());
    QCOMPARE(std::abs(edge->fromSlot->center().y() - edge->toSlot->center().y()) < 0.5, slotsInLine);
    edge->updatePath();
    box->moveBy(40, 30);
    // What a batch's quick re-route runs: the loop follows the box, it never becomes a line.
    edge->rerouteStraightWhenAligned();
    QCOMPARE(edge->points, edge->computeSlotRoute());
    QCOMPARE(edge->points.size(), 6);
    QCOMPARE(edge->computeRoute(), edge->computeSlotRoute());
}

void tst_EdgeItemRouting::facingSlotsGoStraight()
{
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(a->rect.width() + 40, 0));
    EdgeItem *edge = addEdge(m_scene, a, b);
    QCOMPARE(edge->fromSlot->side(), EntitySide::Right);
    QCOMPARE(edge->toSlot->side(), EntitySide::Left);
    QCOMPARE(edge->points, QList<QPointF>({ edge->fromSlot->center(), edge->toSlot->center() }));
}

void tst_EdgeItemRouting::missingSlotGivesNoRoute()
{
    EdgeItem *edge = addEdge(m_scene, addBox(m_scene, "a", QPointF(0, 0)), addBox(m_scene, "b", QPointF(300, 100)));
    SlotItem *slot = edge->toSlot;
    edge->toSlot = nullptr;
    QVERIFY(edge->computeRoute().isEmpty());
    edge->toSlot = slot;
    QVERIFY(edge->computeRoute().size() >= 2);
}

void tst_EdgeItemRouting::onlyOtherEntityBoxesAreObstacles()
{
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(500, 0));
    EntityItem *c = addBox(m_scene, "c", QPointF(250, 120));
    auto *note = new TextItem(QStringLiteral("note"));
    m_scene->addItem(note);
    note->setPos(250, -10);
    auto *frame = new GroupItem(QStringLiteral("group"), QSizeF(200, 120));
    m_scene->addItem(frame);
    frame->setPos(200, -60);
    addEdge(m_scene, c, addBox(m_scene, "far", QPointF(250, 400)));
    EdgeItem *edge = addEdge(m_scene, a, b);

    const QList<QRectF> expected{ routing::insetObstacleRect(c->sceneBoundingRect()) };
    QCOMPARE(edge->obstacleRects(), expected);
    EdgeItem::setFullObstacleWalk(true);
    // The full walk also finds the far box, which the pair cannot reach.
    const QList<QRectF> all = edge->obstacleRects();
    QCOMPARE(all.size(), 2);
    QVERIFY(all.contains(expected.first()));
}

void tst_EdgeItemRouting::routeClearsMiddleBox()
{
    // The channel between a and b would run down through c; the route goes around it.
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(600, 300));
    EntityItem *c = addBox(m_scene, "c", QPointF(300, -50), { "id", "a", "b" }, { "c", "d" });
    EdgeItem *edge = addEdge(m_scene, a, b);
    const QList<QRectF> obstacles{ routing::insetObstacleRect(c->sceneBoundingRect()) };
    QCOMPARE(edge->obstacleRects(), obstacles);
    QVERIFY(edge->points.size() > 2);
    const QList<QPointF> channel{ edge->fromSlot->center(), QPointF(370, edge->fromSlot->center().y()),
                                  QPointF(370, edge->toSlot->center().y()), edge->toSlot->center() };
    QVERIFY(routing::countObstacleHits(channel, obstacles) > 0);
    QCOMPARE(routing::countObstacleHits(edge->points, obstacles), 0);
    QCOMPARE(edge->points.first(), edge->fromSlot->center());
    QCOMPARE(edge->points.last(), edge->toSlot->center());
    QVERIFY(routing::isRectilinearRoute(edge->points));
}

void tst_EdgeItemRouting::keptBoxIndexFollowsBoxChanges_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QPointF>("startAt");
    QTest::addColumn<bool>("between");
    QTest::newRow("moved in") << "move" << QPointF(300, 1000) << true;
    QTest::newRow("moved out") << "move" << QPointF(300, -10) << false;
    QTest::newRow("grown in") << "grow" << QPointF(300, -300) << true;
    QTest::newRow("added") << "add" << QPointF(300, -10) << true;
    QTest::newRow("taken out") << "remove" << QPointF(300, -10) << false;
    QTest::newRow("deleted") << "delete" << QPointF(300, -10) << false;
}

void tst_EdgeItemRouting::keptBoxIndexFollowsBoxChanges()
{
    QFETCH(QString, change);
    QFETCH(QPointF, startAt);
    QFETCH(bool, between);
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(600, 0));
    EdgeItem *edge = addEdge(m_scene, a, b, false);
    EntityItem *c = change == "add" ? nullptr : addBox(m_scene, "c", startAt);
    // Enough look-ups over unchanged boxes for the index of them to be made and kept.
    for (int i = 0; i < 40; ++i)
        edge->obstacleRects();
    QVERIFY(EntityObstacleIndex::keptFor(m_scene));

    if (change == "move") {
        c->setPos(QPointF(300, -10) + QPointF(300, 1000) - startAt);
    } else if (change == "grow") {
        for (int row = 0; row < 12; ++row)
            c->addAttributeRow(QStringLiteral("column_%1").arg(row), QStringLiteral("TEXT"), false, false, false, false);
    } else if (change == "add") {
        c = addBox(m_scene, "c", startAt);
    } else if (change == "remove") {
        m_scene->removeItem(c);
    } else if (change == "delete") {
        delete c;
        c = nullptr;
    }
    const QList<QRectF> expected = between ? QList<QRectF>{routing::insetObstacleRect(c->sceneBoundingRect())}
                                           : QList<QRectF>();
    QCOMPARE(edge->obstacleRects(), expected);
    if (change == "remove")
        delete c;
}

void tst_EdgeItemRouting::routesOverKeptBoxIndexMatchSceneLookUps()
{
    // Many lines to one box, some of them around boxes in between.
    EntityItem *hub = addBox(m_scene, "hub", QPointF(0, 0));
    QList<EdgeItem *> edges;
    for (int i = 0; i < 60; ++i) {
        const double angle = i * 6.283185307179586 / 60;
        const double radius = 700 + (i % 3) * 260;
        EntityItem *spoke = addBox(m_scene, QStringLiteral("spoke_%1").arg(i),
                                   QPointF(radius * std::cos(angle), radius * std::sin(angle)));
        edges.append(addEdge(m_scene, spoke, hub, false));
    }
    for (int k = 0; k < 16; ++k)
        addBox(m_scene, QStringLiteral("between_%1").arg(k), QPointF(-500 + 130.0 * (k % 8), (k < 8 ? 330 : -400) - 90.0 * (k % 2)));
    EntityItem *aside = addBox(m_scene, "aside", QPointF(3000, 3000));

    // Each line alone, after a box moved: too few look-ups for the index to be made.
    QList<QList<QPointF>> asked;
    for (EdgeItem *edge : std::as_const(edges)) {
        aside->moveBy(1, 0);
        aside->moveBy(-1, 0);
        edge->updatePath();
        QVERIFY(!EntityObstacleIndex::keptFor(m_scene));
        asked.append(edge->points);
    }
    int around = 0;
    for (qsizetype i = 0; i < edges.size(); ++i) {
        edges.at(i)->updatePath();
        QCOMPARE(edges.at(i)->points, asked.at(i));
        around += asked.at(i).size() > 4 ? 1 : 0;
    }
    QVERIFY(EntityObstacleIndex::keptFor(m_scene));
    QVERIFY(around > 5);
}

void tst_EdgeItemRouting::applyRouteIgnoresShortRoutes_data()
{
    QTest::addColumn<QList<QPointF>>("route");
    QTest::newRow("no point") << QList<QPointF>();
    QTest::newRow("one point") << QList<QPointF>{ QPointF(5, 5) };
}

void tst_EdgeItemRouting::applyRouteIgnoresShortRoutes()
{
    QFETCH(QList<QPointF>, route);
    EdgeItem *edge = addEdge(m_scene, addBox(m_scene, "a", QPointF(0, 0)), addBox(m_scene, "b", QPointF(300, 100)));
    const QList<QPointF> before = edge->points;
    const QPainterPath path = edge->path();
    edge->applyRoute(route);
    QCOMPARE(edge->points, before);
    QCOMPARE(edge->path(), path);
}

void tst_EdgeItemRouting::applyRouteChecksSlotDrift_data()
{
    QTest::addColumn<double>("drift");
    QTest::addColumn<bool>("kept");
    QTest::newRow("0.4 from the slot is kept") << 0.4 << true;
    QTest::newRow("0.6 from the slot is replaced") << 0.6 << false;
}

void tst_EdgeItemRouting::applyRouteChecksSlotDrift()
{
    QFETCH(double, drift);
    QFETCH(bool, kept);
    EdgeItem *edge = addEdge(m_scene, addBox(m_scene, "a", QPointF(0, 0)), addBox(m_scene, "b", QPointF(300, 150)));
    const QPointF fa = edge->fromSlot->center();
    const QPointF ta = edge->toSlot->center();
    // A Z through x = 250 with a collinear point, whose first leg lies drift below the slot.
    const QList<QPointF> route{ fa + QPointF(0, drift), QPointF(200, fa.y() + drift), QPointF(250, fa.y() + drift),
                                QPointF(250, ta.y()), ta };
    QVERIFY(edge->computeRoute() != routing::removeCollinearPoints(route));
    edge->applyRoute(route);
    QCOMPARE(edge->points, kept ? routing::removeCollinearPoints(route) : edge->computeRoute());
}

void tst_EdgeItemRouting::applyRouteReplacesSlantedRoute()
{
    EdgeItem *edge = addEdge(m_scene, addBox(m_scene, "a", QPointF(0, 0)), addBox(m_scene, "b", QPointF(300, 150)));
    const QPointF fa = edge->fromSlot->center();
    const QPointF ta = edge->toSlot->center();
    edge->applyRoute({ fa, QPointF(fa.x() + 40, fa.y() + 30), ta });
    QCOMPARE(edge->points, edge->computeRoute());
    QVERIFY(routing::isRectilinearRoute(edge->points));
}

void tst_EdgeItemRouting::selfRelationshipRouteIsDrawnUnchecked()
{
    EntityItem *box = addBox(m_scene, "a", QPointF(0, 0));
    EdgeItem *edge = addEdge(m_scene, box, box);
    // Slanted, away from the slots, with a collinear point: only the collinear point goes.
    const QList<QPointF> route{ QPointF(-40, -40), QPointF(0, -40), QPointF(40, -40), QPointF(40, 40),
                                QPointF(90, 10) };
    edge->applyRoute(route);
    QCOMPARE(edge->points, QList<QPointF>({ QPointF(-40, -40), QPointF(40, -40), QPointF(40, 40), QPointF(90, 10) }));
}

void tst_EdgeItemRouting::quickPathGoesStraightUnlessBlocked_data()
{
    QTest::addColumn<double>("gap");
    QTest::addColumn<bool>("straight");
    // Distance from the line to the third box's scene bounding rectangle.
    QTest::newRow("box 2.1 from the line") << 2.1 << true;
    QTest::newRow("box 1.9 from the line") << 1.9 << false;
}

void tst_EdgeItemRouting::quickPathGoesStraightUnlessBlocked()
{
    QFETCH(double, gap);
    QFETCH(bool, straight);
    EntityItem *top = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *bottom = addBox(m_scene, "b", QPointF(0, 400));
    EdgeItem *edge = addEdge(m_scene, top, bottom);
    const QPointF fa = edge->fromSlot->center();
    const QPointF ta = edge->toSlot->center();
    QCOMPARE(fa.x(), ta.x());
    edge->manualRoute = true;

    // A box beside the line, its scene bounding rectangle starting gap right of it.
    EntityItem *beside = addBox(m_scene, "c", QPointF(0, 180));
    beside->setPos(fa.x() + gap + 3, 180);
    QCOMPARE(beside->sceneBoundingRect().left(), fa.x() + gap);

    edge->rerouteStraightWhenAligned();
    if (straight) {
        QCOMPARE(edge->points, QList<QPointF>({ fa, ta }));
        QVERIFY(edge->manualRoute);
    } else {
        // Routed afresh: a new route clears the manual-route flag.
        QCOMPARE(edge->points, edge->computeRoute());
        QVERIFY(!edge->manualRoute);
    }
}

void tst_EdgeItemRouting::quickPathUsesVerticalTestWhenBothHold()
{
    // Two boxes meeting almost exactly: the bottom slot of one and the top slot of the other
    // lie within 0.5 in x and y.
    EntityItem *top = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *bottom = addBox(m_scene, "b", QPointF(0.4, top->rect.height() + 0.3));
    EdgeItem *edge = addEdge(m_scene, top, bottom);
    edge->fromSlot->setSide(EntitySide::Bottom);
    edge->toSlot->setSide(EntitySide::Top);
    edge->fromSlot->constrainToParent();
    edge->toSlot->constrainToParent();
    edge->updatePath();
    const QPointF fa = edge->fromSlot->center();
    const QPointF ta = edge->toSlot->center();
    QVERIFY(std::abs(fa.x() - ta.x()) < 0.5 && std::abs(fa.y() - ta.y()) < 0.5);
    QVERIFY(fa.x() < ta.x());

    // A box whose grown rectangle starts between the two x values: the horizontal test
    // would count it, the vertical one does not.
    EntityItem *third = addBox(m_scene, "c", QPointF(0, 0));
    const double left = (fa.x() + ta.x()) / 2;
    third->setPos(left + 5, fa.y() - 20);
    QCOMPARE(third->sceneBoundingRect().adjusted(-2, -2, 2, 2).left(), left);
    edge->rerouteStraightWhenAligned();
    QCOMPARE(edge->points, QList<QPointF>({ fa, ta }));
}

QTEST_MAIN(tst_EdgeItemRouting)
#include "tst_edgeitem_routing.moc"
