#include "edgeitem.h"
#include "slotitem.h"
#include "thememanager.h"

#include <QGraphicsScene>
#include <QSignalSpy>
#include <QTest>

// The class-wide re-routing controls and the pen of a relationship edge, as far as they
// show without entity boxes at its ends.
class tst_EdgeItemControls : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newEdgeDefaults();
    void batchEndClearsDiscardAndLargeMoveFlags_data();
    void batchEndClearsDiscardAndLargeMoveFlags();
    void scheduleRespectsSuppressionAndBatch();
    void timerServesPendingOnly();
    void destroyedPendingEdgeIsNeverServed_data();
    void destroyedPendingEdgeIsNeverServed();
    void penFollowsSelectionHighlightAndTheme();
    void previewNeedsBothSlots();
    void appliedRouteEndsThePreview();
    void updatePathWithoutEndsDoesNothing();
};

void tst_EdgeItemControls::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_EdgeItemControls::cleanup()
{
    EdgeItem::setSuppressRouting(false);
    EdgeItem::setBatchMode(false);
}

void tst_EdgeItemControls::newEdgeDefaults()
{
    EdgeItem edge(nullptr, nullptr, true);
    QCOMPARE(edge.type(), QGraphicsItem::UserType + 101);
    QCOMPARE(edge.startCard, 1);
    QCOMPARE(edge.endCard, 1);
    QVERIFY(edge.removeForeignKeysOnDelete);
    QVERIFY(!edge.isEntityViewEdge());
    QCOMPARE(edge.zValue(), -1.0);
    QVERIFY(edge.flags() & QGraphicsItem::ItemIsSelectable);
    QVERIFY(edge.acceptHoverEvents());
    QCOMPARE(edge.id.size(), 36);
    QVERIFY(!edge.id.startsWith(u'{'));
    QVERIFY(edge.id != EdgeItem(nullptr, nullptr, false).id);
}

void tst_EdgeItemControls::batchEndClearsDiscardAndLargeMoveFlags_data()
{
    QTest::addColumn<bool>("discard");
    QTest::newRow("keep deferred") << false;
    QTest::newRow("discard deferred") << true;
}

void tst_EdgeItemControls::batchEndClearsDiscardAndLargeMoveFlags()
{
    QFETCH(bool, discard);

    EdgeItem edge(nullptr, nullptr, false);
    EdgeItem::setBatchMode(true);
    EdgeItem::setDiscardPendingReroutes(discard);
    EdgeItem::setLargeSelectionMove(true);
    edge.scheduleReroute();
    QVERIFY(edge.isReroutePending());
    QVERIFY(edge.isRerouteDeferred());

    EdgeItem::setBatchMode(false);
    QVERIFY(!EdgeItem::isBatchMode());
    QVERIFY(!EdgeItem::isDiscardingPendingReroutes());
    QVERIFY(!EdgeItem::isLargeSelectionMove());
    QVERIFY(!edge.isReroutePending());
    // Served or dropped, the deferred set is empty either way.
    QVERIFY(!edge.isRerouteDeferred());
}

void tst_EdgeItemControls::scheduleRespectsSuppressionAndBatch()
{
    EdgeItem edge(nullptr, nullptr, false);

    EdgeItem::setSuppressRouting(true);
    QVERIFY(EdgeItem::isRoutingSuppressed());
    EdgeItem::setBatchMode(true);
    edge.scheduleReroute();
    QVERIFY(!edge.isReroutePending());
    QVERIFY(!edge.isRerouteDeferred());

    EdgeItem::setSuppressRouting(false);
    edge.scheduleReroute();
    edge.scheduleReroute();
    QVERIFY(edge.isReroutePending());
    QVERIFY(edge.isRerouteDeferred());

    EdgeItem::setBatchMode(false);
    edge.scheduleReroute(); // outside a batch: at once, nothing queued
    QVERIFY(!edge.isReroutePending());
    QVERIFY(!edge.isRerouteDeferred());
}

void tst_EdgeItemControls::timerServesPendingOnly()
{
    EdgeItem edge(nullptr, nullptr, false);
    EdgeItem::setBatchMode(true);
    edge.scheduleReroute();
    QTest::qWait(10);
    QVERIFY(edge.isReroutePending());
    QTRY_VERIFY_WITH_TIMEOUT(!edge.isReroutePending(), 1000);
    QVERIFY(edge.isRerouteDeferred());
    EdgeItem::setBatchMode(false);
    QVERIFY(!edge.isRerouteDeferred());
}

void tst_EdgeItemControls::destroyedPendingEdgeIsNeverServed_data()
{
    QTest::addColumn<bool>("byTimer");
    QTest::newRow("timer fires") << true;
    QTest::newRow("batch ends") << false;
}

void tst_EdgeItemControls::destroyedPendingEdgeIsNeverServed()
{
    QFETCH(bool, byTimer);

    // Under the address sanitizer a stale pointer in the sets is a use after free.
    auto *doomed = new EdgeItem(nullptr, nullptr, false);
    EdgeItem survivor(nullptr, nullptr, false);
    EdgeItem::setBatchMode(true);
    doomed->scheduleReroute();
    survivor.scheduleReroute();
    delete doomed;
    QVERIFY(survivor.isReroutePending());

    if (byTimer)
        QTRY_VERIFY_WITH_TIMEOUT(!survivor.isReroutePending(), 1000);
    EdgeItem::setBatchMode(false);
    QVERIFY(!survivor.isReroutePending());
    QVERIFY(!survivor.isRerouteDeferred());
}

void tst_EdgeItemControls::penFollowsSelectionHighlightAndTheme()
{
    QGraphicsScene scene;
    auto *edge = new EdgeItem(nullptr, nullptr, false);
    scene.addItem(edge);
    const ThemePalette light = ThemeManager::lightColors();
    const ThemePalette dark = ThemeManager::darkColors();

    QCOMPARE(edge->pen().color(), light.line);
    QCOMPARE(edge->pen().style(), Qt::SolidLine);
    QCOMPARE(edge->pen().widthF(), 2.0);

    ThemeManager::instance()->setTheme(ThemeKind::Dark);
    QCOMPARE(edge->pen().color(), dark.line);

    edge->setSelected(true);
    edge->applyPen();
    QCOMPARE(edge->pen().color(), dark.accent);
    QCOMPARE(edge->pen().style(), Qt::SolidLine);

    edge->setSelected(false);
    edge->highlighted = true;
    edge->applyPen();
    QCOMPARE(edge->pen().color(), dark.accent);
    QCOMPARE(edge->pen().style(), Qt::DashLine);
    QCOMPARE(edge->pen().capStyle(), Qt::RoundCap);
    QCOMPARE(edge->pen().joinStyle(), Qt::RoundJoin);
}

void tst_EdgeItemControls::previewNeedsBothSlots()
{
    SlotItem slot;
    EdgeItem edge(nullptr, nullptr, false);
    edge.fromSlot = &slot;
    edge.setStraightPreviewPath();
    QVERIFY(edge.path().isEmpty());
    QVERIFY(!edge.highlighted);
    QVERIFY(!slot.isHighlighted());
}

void tst_EdgeItemControls::appliedRouteEndsThePreview()
{
    QGraphicsScene scene;
    auto *a = new SlotItem;
    auto *b = new SlotItem;
    a->setPos(10, 10);
    b->setPos(200, 10);
    scene.addItem(a);
    scene.addItem(b);
    auto *edge = new EdgeItem(nullptr, nullptr, false);
    scene.addItem(edge);
    edge->fromSlot = a;
    edge->toSlot = b;

    edge->setStraightPreviewPath();
    QVERIFY(edge->highlighted);
    edge->manualRoute = true;

    const QList<QPointF> route{ QPointF(10, 10), QPointF(100, 10), QPointF(100, 50), QPointF(200, 50) };
    edge->applyRoundedPath(route);
    QCOMPARE(edge->points, route);
    QVERIFY(!edge->highlighted);
    QVERIFY(!edge->manualRoute);
    QCOMPARE(edge->pen().style(), Qt::SolidLine);
    for (SlotItem *slot : { a, b }) {
        QVERIFY(!slot->isHighlighted());
        QVERIFY(!slot->isRevealed());
    }

    edge->setSelected(true);
    edge->applyRoundedPath(route);
    QVERIFY(a->isRevealed());
    QVERIFY(b->isRevealed());
    delete edge;
}

void tst_EdgeItemControls::updatePathWithoutEndsDoesNothing()
{
    SlotItem a;
    SlotItem b;
    EdgeItem edge(nullptr, nullptr, false);
    edge.fromSlot = &a;
    edge.toSlot = &b;
    edge.updatePath();
    edge.updatePathRespectingManual();
    edge.rerouteStraightWhenAligned();
    QVERIFY(edge.path().isEmpty());
    QVERIFY(edge.points.isEmpty());
}

QTEST_MAIN(tst_EdgeItemControls)
#include "tst_edgeitemcontrols.moc"
