#include "edgeitem.h"
#include "slotitem.h"
#include "testentityhost.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QTest>

Q_DECLARE_METATYPE(EntitySide)

namespace {

const QRectF Box(0.0, 0.0, 100.0, 60.0);

} // namespace

class tst_SlotItem : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void constrainToSide_data();
    void constrainToSide();
    void clampIntoRect_data();
    void clampIntoRect();
    void smallMovesAreNotApplied_data();
    void smallMovesAreNotApplied();
    void parentRectComesFromHostOrBounds();

    void dragPastCornersChoosesNearestSide_data();
    void dragPastCornersChoosesNearestSide();
    void rightPressReachesHost();
    void hiddenAgainAfterRelease();
    void brokenSetupsDoNotMove();
    void highlightTakesAccentOfTheMoment();
    void dragShowsDashedAccentPreview();
};

void tst_SlotItem::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_SlotItem::constrainToSide_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<EntitySide>("side");
    QTest::addColumn<QPointF>("start");
    QTest::addColumn<QPointF>("expected");

    QTest::newRow("left, inside") << Box << EntitySide::Left << QPointF(40, 30) << QPointF(0, 30);
    QTest::newRow("left, above top") << Box << EntitySide::Left << QPointF(40, -20) << QPointF(0, 0);
    QTest::newRow("right, below bottom") << Box << EntitySide::Right << QPointF(40, 90) << QPointF(100, 60);
    QTest::newRow("top, right of box") << Box << EntitySide::Top << QPointF(150, 30) << QPointF(100, 0);
    QTest::newRow("bottom, left of box") << Box << EntitySide::Bottom << QPointF(-8, 30) << QPointF(0, 60);
    QTest::newRow("offset rect") << QRectF(10, 20, 30, 40) << EntitySide::Bottom << QPointF(25, 0)
                                 << QPointF(25, 60);
    QTest::newRow("unknown side keeps") << Box << EntitySide(7) << QPointF(40, 30) << QPointF(40, 30);
    QTest::newRow("0 x 0 rect keeps") << QRectF(5, 5, 0, 0) << EntitySide::Left << QPointF(40, 30)
                                      << QPointF(40, 30);
    QTest::newRow("zero width still constrains") << QRectF(5, 0, 0, 60) << EntitySide::Top
                                                 << QPointF(40, 30) << QPointF(5, 0);
}

void tst_SlotItem::constrainToSide()
{
    QFETCH(QRectF, rect);
    QFETCH(EntitySide, side);
    QFETCH(QPointF, start);
    QFETCH(QPointF, expected);

    QCOMPARE(SlotItem::constrainedPoint(rect, side, start), expected);

    TestEntityHost host(rect);
    SlotItem slot(&host);
    slot.setPos(start);
    slot.setSide(side);
    slot.constrainToParent();
    QCOMPARE(slot.pos(), expected);
}

void tst_SlotItem::clampIntoRect_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<QPointF>("start");
    QTest::addColumn<QPointF>("expected");

    QTest::newRow("inside stays") << Box << QPointF(40, 30) << QPointF(40, 30);
    QTest::newRow("outside corner") << Box << QPointF(-5, 70) << QPointF(0, 60);
    QTest::newRow("far right") << Box << QPointF(500, 10) << QPointF(100, 10);
    QTest::newRow("0 x 0 rect keeps") << QRectF() << QPointF(500, 10) << QPointF(500, 10);
}

void tst_SlotItem::clampIntoRect()
{
    QFETCH(QRectF, rect);
    QFETCH(QPointF, start);
    QFETCH(QPointF, expected);

    TestEntityHost host(rect);
    SlotItem slot(&host);
    slot.setSide(EntitySide::Top); // the clamp ignores the side
    slot.setPos(start);
    slot.clampToParentRect();
    QCOMPARE(slot.pos(), expected);
}

void tst_SlotItem::smallMovesAreNotApplied_data()
{
    QTest::addColumn<qreal>("offset");
    QTest::addColumn<bool>("moves");

    QTest::newRow("0.005") << 0.005 << false;
    QTest::newRow("0.01") << 0.01 << false;
    QTest::newRow("0.011") << 0.011 << true;
}

void tst_SlotItem::smallMovesAreNotApplied()
{
    QFETCH(qreal, offset);
    QFETCH(bool, moves);

    TestEntityHost host(Box);
    SlotItem slot(&host);
    slot.setSide(EntitySide::Left);
    const QPointF start(-offset, 30.0);
    slot.setPos(start);
    slot.constrainToParent();
    QCOMPARE(slot.pos() == QPointF(0.0, 30.0), moves);
    QCOMPARE(slot.pos() == start, !moves);
}

void tst_SlotItem::parentRectComesFromHostOrBounds()
{
    TestEntityHost host(QRectF(0, 0, 120, 50));
    host.setPen(QPen(Qt::black, 10.0)); // widens the bounds, not the host rectangle
    QCOMPARE(SlotItem(&host).parentRect(), QRectF(0, 0, 120, 50));

    QGraphicsRectItem plain(QRectF(0, 0, 120, 50));
    plain.setPen(QPen(Qt::black, 10.0));
    QCOMPARE(SlotItem(&plain).parentRect(), plain.boundingRect());

    QCOMPARE(SlotItem().parentRect(), QRectF(0, 0, 0, 0));
}

void tst_SlotItem::dragPastCornersChoosesNearestSide_data()
{
    QTest::addColumn<QPointF>("target");
    QTest::addColumn<EntitySide>("side");
    QTest::addColumn<QPointF>("expected");

    // The slot starts on the right side; the grab point is its centre.
    QTest::newRow("past top-left: left beats top") << QPointF(-10, -20) << EntitySide::Left << QPointF(0, 0);
    QTest::newRow("on top-left corner") << QPointF(0, 0) << EntitySide::Left << QPointF(0, 0);
    QTest::newRow("past top-right: right beats top") << QPointF(110, -5) << EntitySide::Right << QPointF(100, 0);
    QTest::newRow("past bottom-right: right beats bottom") << QPointF(130, 80) << EntitySide::Right << QPointF(100, 60);
    QTest::newRow("past bottom-left: left beats bottom") << QPointF(-5, 100) << EntitySide::Left << QPointF(0, 60);
    QTest::newRow("far above") << QPointF(50, -300) << EntitySide::Top << QPointF(50, 0);
    QTest::newRow("far below") << QPointF(30, 400) << EntitySide::Bottom << QPointF(30, 60);
    QTest::newRow("inside near left") << QPointF(10, 30) << EntitySide::Left << QPointF(0, 30);
    QTest::newRow("inside near top") << QPointF(50, 5) << EntitySide::Top << QPointF(50, 0);
}

void tst_SlotItem::dragPastCornersChoosesNearestSide()
{
    QFETCH(QPointF, target);
    QFETCH(EntitySide, side);
    QFETCH(QPointF, expected);

    QGraphicsScene scene;
    auto *host = new TestEntityHost(Box);
    host->setPos(200, 100);
    scene.addItem(host);
    auto *slot = new SlotItem(host);
    slot->setPos(100, 30);

    const QPointF start = slot->scenePos();
    QVERIFY(sendSceneMouse(&scene, QEvent::GraphicsSceneMousePress, start, Qt::LeftButton, Qt::LeftButton));
    QCOMPARE(scene.mouseGrabberItem(), slot);
    sendSceneMouse(&scene, QEvent::GraphicsSceneMouseMove, host->mapToScene(target), Qt::NoButton,
                   Qt::LeftButton);
    QCOMPARE(slot->side(), side);
    QCOMPARE(slot->pos(), expected);
    sendSceneMouse(&scene, QEvent::GraphicsSceneMouseRelease, host->mapToScene(target), Qt::LeftButton,
                   Qt::NoButton);
    QCOMPARE(slot->pos(), expected);
    QVERIFY(!(slot->flags() & QGraphicsItem::ItemIsMovable));
    QVERIFY(host->presses.isEmpty());
}

void tst_SlotItem::rightPressReachesHost()
{
    QGraphicsScene scene;
    auto *host = new TestEntityHost(Box);
    scene.addItem(host);
    auto *slot = new SlotItem(host);
    slot->setPos(100, 30);

    sendSceneMouse(&scene, QEvent::GraphicsSceneMousePress, slot->scenePos(), Qt::RightButton,
                   Qt::RightButton);
    QCOMPARE(host->presses, QList<Qt::MouseButton>{ Qt::RightButton });
    QCOMPARE(scene.mouseGrabberItem(), host);
    QCOMPARE(slot->pos(), QPointF(100, 30));
    QVERIFY(!(slot->flags() & QGraphicsItem::ItemIsMovable));
}

void tst_SlotItem::hiddenAgainAfterRelease()
{
    QGraphicsScene scene;
    auto *host = new TestEntityHost(Box);
    scene.addItem(host);
    auto *slot = new SlotItem(host);
    slot->setPos(100, 30);
    QCOMPARE(slot->opacity(), 0.01);

    sendSceneMouse(&scene, QEvent::GraphicsSceneMousePress, slot->scenePos(), Qt::LeftButton, Qt::LeftButton);
    QCOMPARE(slot->opacity(), 1.0);
    sendSceneMouse(&scene, QEvent::GraphicsSceneMouseMove, QPointF(100, 50), Qt::NoButton, Qt::LeftButton);
    sendSceneMouse(&scene, QEvent::GraphicsSceneMouseRelease, QPointF(100, 50), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(slot->opacity(), 0.01);

    slot->setRevealed(true);
    QCOMPARE(slot->opacity(), 1.0);
    slot->setRevealed(false);
    QCOMPARE(slot->opacity(), 0.01);
}

void tst_SlotItem::brokenSetupsDoNotMove()
{
    // A 0 x 0 host, no parent at all, and no edge: the drag moves nothing and ends cleanly.
    QGraphicsScene scene;
    auto *emptyHost = new TestEntityHost(QRectF(0, 0, 0, 0));
    emptyHost->setPos(300, 300);
    scene.addItem(emptyHost);
    auto *onEmpty = new SlotItem(emptyHost);
    onEmpty->setPos(5, 5);
    auto *orphan = new SlotItem;
    orphan->setPos(50, 400);
    scene.addItem(orphan);

    for (SlotItem *slot : { onEmpty, orphan }) {
        const QPointF before = slot->pos();
        const QPointF start = slot->scenePos();
        sendSceneMouse(&scene, QEvent::GraphicsSceneMousePress, start, Qt::LeftButton, Qt::LeftButton);
        sendSceneMouse(&scene, QEvent::GraphicsSceneMouseMove, start + QPointF(40, 40), Qt::NoButton,
                       Qt::LeftButton);
        sendSceneMouse(&scene, QEvent::GraphicsSceneMouseRelease, start + QPointF(40, 40), Qt::LeftButton,
                       Qt::NoButton);
        QCOMPARE(slot->pos(), before);
        QCOMPARE(slot->edge(), nullptr);
    }
}

void tst_SlotItem::highlightTakesAccentOfTheMoment()
{
    SlotItem slot;
    const QColor darkAccent = ThemeManager::darkColors().accent;

    ThemePalette custom = ThemeManager::lightColors();
    custom.accent = QColor(10, 200, 30);
    ThemeManager::instance()->setColors(custom, ThemeKind::Light);
    slot.setHighlighted(true);
    QCOMPARE(slot.brush().color(), QColor(10, 200, 30));
    QCOMPARE(slot.pen().color(), QColor(10, 200, 30));
    QCOMPARE(slot.pen().widthF(), 1.5);
    QCOMPARE(slot.opacity(), 1.0);

    ThemeManager::instance()->setTheme(ThemeKind::Dark);
    QCOMPARE(slot.brush().color(), QColor(10, 200, 30));
    slot.setHighlighted(true);
    QCOMPARE(slot.brush().color(), darkAccent);

    slot.setHighlighted(false);
    QCOMPARE(slot.brush().color(), QColor(Qt::lightGray));
    QCOMPARE(slot.pen().color(), QColor(Qt::black));
    QCOMPARE(slot.pen().widthF(), 1.0);
    QCOMPARE(slot.opacity(), 0.01);
}

void tst_SlotItem::dragShowsDashedAccentPreview()
{
    QGraphicsScene scene(0, 0, 420, 220);
    auto *left = new TestEntityHost(QRectF(0, 0, 120, 80));
    left->setPos(30, 40);
    auto *right = new TestEntityHost(QRectF(0, 0, 120, 80));
    right->setPos(270, 100);
    scene.addItem(left);
    scene.addItem(right);
    auto *fromSlot = new SlotItem(left);
    fromSlot->setPos(120, 40);
    auto *toSlot = new SlotItem(right);
    toSlot->setSide(EntitySide::Left);
    toSlot->setPos(0, 40);

    auto *edge = new EdgeItem(nullptr, nullptr, false);
    edge->fromSlot = fromSlot;
    edge->toSlot = toSlot;
    fromSlot->setEdge(edge);
    toSlot->setEdge(edge);
    scene.addItem(edge);

    sendSceneMouse(&scene, QEvent::GraphicsSceneMousePress, toSlot->scenePos(), Qt::LeftButton, Qt::LeftButton);
    sendSceneMouse(&scene, QEvent::GraphicsSceneMouseMove, right->mapToScene(QPointF(60, -30)), Qt::NoButton,
                   Qt::LeftButton);
    QCOMPARE(toSlot->side(), EntitySide::Top);
    QCOMPARE(toSlot->pos(), QPointF(60, 0));

    const QPainterPath path = edge->path();
    QCOMPARE(path.elementCount(), 2);
    QCOMPARE(QPointF(path.elementAt(0)), fromSlot->center());
    QCOMPARE(QPointF(path.elementAt(1)), toSlot->center());
    QVERIFY(edge->highlighted);
    QCOMPARE(edge->pen().style(), Qt::DashLine);
    QCOMPARE(edge->pen().color(), ThemeManager::instance()->colors().accent);
    for (SlotItem *slot : { fromSlot, toSlot }) {
        QVERIFY(slot->isRevealed());
        QVERIFY(slot->isHighlighted());
        QCOMPARE(slot->opacity(), 1.0);
    }

    QImage image(420, 220, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        scene.render(&painter);
    }
    QVERIFY(image.save(testsupport::outputDir(QStringLiteral("tst_slotitem")) + "/slot_drag_preview.png"));
    // The preview line passes through the middle between the two slot centres.
    const QPointF middle = (fromSlot->center() + toSlot->center()) / 2.0;
    bool inked = false;
    for (int dx = -2; dx <= 2 && !inked; ++dx)
        for (int dy = -2; dy <= 2 && !inked; ++dy)
            inked = image.pixelColor(middle.toPoint() + QPoint(dx, dy)) != QColor(Qt::white);
    QVERIFY(inked);

    sendSceneMouse(&scene, QEvent::GraphicsSceneMouseRelease, toSlot->scenePos(), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(toSlot->pos(), QPointF(60, 0));
    delete edge;
}

QTEST_MAIN(tst_SlotItem)
#include "tst_slotitem.moc"
