// Deferred re-routing with the real router and the real timer: one quick re-route per
// timer shot, one full re-route when the batch ends, and edges deleted while they wait.
#include "diagramgenerator.h"
#include "edgeitem.h"
#include "edgetestutil.h"
#include "entityitem.h"
#include "slotitem.h"
#include "testsupport.h"

#include <QGraphicsScene>
#include <QPointer>
#include <QtTest>

using edgetest::addBox;
using edgetest::addEdge;

class tst_EdgeItemRerouting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void batchServesEachEdgeOncePerShot();
    void batchEndRunsFullRerouteUnlessDiscarded_data();
    void batchEndRunsFullRerouteUnlessDiscarded();
    void deletedWhilePendingIsNeverServed_data();
    void deletedWhilePendingIsNeverServed();
    void deletingBoxTakesItsPendingEdges();
    void sceneOfPendingEdgesTearsDown();

private:
    QGraphicsScene *m_scene = nullptr;
};

void tst_EdgeItemRerouting::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EdgeItemRerouting::init()
{
    edgetest::resetRouting();
    m_scene = new QGraphicsScene;
}

void tst_EdgeItemRerouting::cleanup()
{
    edgetest::resetRouting();
    if (m_scene) {
        edgetest::clearScene(m_scene);
        delete m_scene;
        m_scene = nullptr;
    }
}

void tst_EdgeItemRerouting::batchServesEachEdgeOncePerShot()
{
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(400, 0));
    EntityItem *c = addBox(m_scene, "c", QPointF(0, 300));
    EdgeItem *ab = addEdge(m_scene, a, b);
    EdgeItem *ac = addEdge(m_scene, a, c);

    EdgeItem::setBatchMode(true);
    for (int step = 1; step <= 10; ++step)
        a->setPos(step * 3, step * 2); // each move asks both edges to re-route
    QVERIFY(ab->isReroutePending() && ab->isRerouteDeferred());
    QVERIFY(ac->isReroutePending() && ac->isRerouteDeferred());

    QTRY_VERIFY_WITH_TIMEOUT(!ab->isReroutePending() && !ac->isReroutePending(), 1000);
    QCOMPARE(ab->points, ab->computeRoute());
    QCOMPARE(ac->points, ac->computeRoute());

    // Without a new request the timer does not fire again: a marked route stays.
    const QList<QPointF> marker{ QPointF(-50, -50), QPointF(-50, -10) };
    ab->applyRoundedPath(marker);
    QTest::qWait(100);
    QCOMPARE(ab->points, marker);
    QVERIFY(ab->isRerouteDeferred());

    EdgeItem::setBatchMode(false);
    QCOMPARE(ab->points, ab->computeRoute());
    QVERIFY(!ab->isRerouteDeferred());
}

void tst_EdgeItemRerouting::batchEndRunsFullRerouteUnlessDiscarded_data()
{
    QTest::addColumn<bool>("discard");
    QTest::newRow("full re-route") << false;
    QTest::newRow("discarded") << true;
}

void tst_EdgeItemRerouting::batchEndRunsFullRerouteUnlessDiscarded()
{
    QFETCH(bool, discard);
    // Facing slots on one line: the quick re-route draws the straight line and keeps the
    // manual-route flag; only a full re-route clears it.
    EdgeItem *edge = addEdge(m_scene, addBox(m_scene, "a", QPointF(0, 0)), addBox(m_scene, "b", QPointF(400, 0)));
    edge->manualRoute = true;
    EdgeItem::setBatchMode(true);
    EdgeItem::setDiscardPendingReroutes(discard);
    edge->scheduleReroute();
    EdgeItem::setBatchMode(false);
    QCOMPARE(edge->points, QList<QPointF>({ edge->fromSlot->center(), edge->toSlot->center() }));
    QCOMPARE(edge->manualRoute, discard);
    QVERIFY(!EdgeItem::isDiscardingPendingReroutes());
    QVERIFY(!edge->isReroutePending());
    QVERIFY(!edge->isRerouteDeferred());
}

void tst_EdgeItemRerouting::deletedWhilePendingIsNeverServed_data()
{
    QTest::addColumn<bool>("byTimer");
    QTest::newRow("timer fires") << true;
    QTest::newRow("batch ends") << false;
}

void tst_EdgeItemRerouting::deletedWhilePendingIsNeverServed()
{
    QFETCH(bool, byTimer);
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(400, 100));
    QPointer<EdgeItem> doomed = addEdge(m_scene, a, b);
    EdgeItem *survivor = addEdge(m_scene, b, a);
    EdgeItem::setBatchMode(true);
    a->moveBy(10, 10);
    QVERIFY(doomed->isReroutePending());
    delete doomed.data();
    QVERIFY(survivor->isReroutePending());
    if (byTimer)
        QTRY_VERIFY_WITH_TIMEOUT(!survivor->isReroutePending(), 1000);
    EdgeItem::setBatchMode(false);
    QCOMPARE(survivor->points, survivor->computeRoute());
    QCOMPARE(a->edges, QList<EdgeItem *>({ survivor }));
}

void tst_EdgeItemRerouting::deletingBoxTakesItsPendingEdges()
{
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(400, 100));
    EntityItem *c = addBox(m_scene, "c", QPointF(0, 300));
    QPointer<EdgeItem> ab = addEdge(m_scene, a, b);
    QPointer<EdgeItem> cb = addEdge(m_scene, c, b);
    EdgeItem::setBatchMode(true);
    b->moveBy(20, 0);
    QVERIFY(ab->isReroutePending() && cb->isReroutePending());
    delete b;
    QVERIFY(!ab);
    QVERIFY(!cb);
    QTest::qWait(60);
    EdgeItem::setBatchMode(false);
    QVERIFY(a->edges.isEmpty());
}

void tst_EdgeItemRerouting::sceneOfPendingEdgesTearsDown()
{
    diagramgenerator::DiagramPlan plan;
    plan.columns = 6;
    plan.rows = 5;
    plan.views = 3;
    plan.edges = 60;
    plan.selfRelationships = 3;
    plan.viewLinks = 4;
    const diagramgenerator::Diagram diagram = diagramgenerator::buildDiagram(m_scene, plan);
    for (EdgeItem *edge : diagram.edges)
        edge->updatePath();
    EdgeItem::setBatchMode(true);
    for (int i = 0; i < diagram.boxes.size(); i += 3)
        diagram.boxes.at(i)->moveBy(5, 5);
    // The scene deletes boxes and edges in its own order while edges still wait.
    delete m_scene;
    m_scene = nullptr;
    QTest::qWait(60);
    EdgeItem::setBatchMode(false);
}

QTEST_MAIN(tst_EdgeItemRerouting)
#include "tst_edgeitem_rerouting.moc"
