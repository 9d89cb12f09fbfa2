#include "slotarrangement.h"

#include <QTest>

using namespace layout;
using namespace routing;

namespace {

// The box's own coordinates are its scene coordinates moved by offset.
SlotTarget target(const QPointF &scene, const QPointF &offset = QPointF(1000, 500))
{
    return {scene, scene - offset};
}

} // namespace

class tst_SlotArrangement : public QObject
{
    Q_OBJECT

private slots:
    void onePointFacesItsOtherEnd_data();
    void onePointFacesItsOtherEnd();
    void threeTopPointsSortAcrossAndSpace16();
    void eightLeftPointsSpreadEvenlyWhen16DoesNotFit();
    void equalOtherEndsKeepListOrder();
    void pointsFollowTheOrderOfTheirOtherEnds();
    void unknownSideGoesToCentre();
};

void tst_SlotArrangement::onePointFacesItsOtherEnd_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<QPointF>("otherLocal");
    QTest::addColumn<QPointF>("expected");

    // Box 200 x 100 at (0, 0): m = 12 on both axes.
    QTest::newRow("right, level") << RightSide << QPointF(600, 30) << QPointF(200, 30);
    QTest::newRow("right, far above: clamped to top + 12") << RightSide << QPointF(600, -400) << QPointF(200, 12);
    QTest::newRow("left, far below: clamped to bottom - 12") << LeftSide << QPointF(-600, 900) << QPointF(0, 88);
    QTest::newRow("top") << TopSide << QPointF(77, -300) << QPointF(77, 0);
    QTest::newRow("bottom, far right") << BottomSide << QPointF(900, 300) << QPointF(188, 100);
}

void tst_SlotArrangement::onePointFacesItsOtherEnd()
{
    QFETCH(int, side);
    QFETCH(QPointF, otherLocal);
    QFETCH(QPointF, expected);
    const QList<QPointF> positions =
        arrangeSideSlots(side, QRectF(0, 0, 200, 100), {{otherLocal + QPointF(5, 5), otherLocal}});
    QCOMPARE(positions, QList<QPointF>{expected});
}

void tst_SlotArrangement::threeTopPointsSortAcrossAndSpace16()
{
    // Other ends all at local x = 100, scene y 300, 100, 200: sorted by y, pushed 16 apart.
    const QRectF box(0, 0, 200, 80);
    const QList<QPointF> positions = arrangeSideSlots(
        TopSide, box,
        {target(QPointF(1100, 300)), target(QPointF(1100, 100)), target(QPointF(1100, 200))});
    QCOMPARE(positions[1], QPointF(100, 0));
    QCOMPARE(positions[2], QPointF(116, 0));
    QCOMPARE(positions[0], QPointF(132, 0));

    // Aimed past the far right end: the forward push of the last pass leaves the last point
    // beyond left + 188, so the three are spread evenly over [left + 12, left + 188].
    const QList<QPointF> pressed = arrangeSideSlots(
        TopSide, box,
        {target(QPointF(1900, 300)), target(QPointF(1900, 100)), target(QPointF(1900, 200))});
    QCOMPARE(pressed[1], QPointF(12, 0));
    QCOMPARE(pressed[2], QPointF(100, 0));
    QCOMPARE(pressed[0], QPointF(188, 0));
}

void tst_SlotArrangement::eightLeftPointsSpreadEvenlyWhen16DoesNotFit()
{
    // Height 70: m = 8.4, range 53.2 < 7 x 16 - 1.
    const QRectF box(0, 10, 150, 70);
    QList<SlotTarget> targets;
    for (int k = 0; k < 8; ++k)
        targets.append(target(QPointF(0, 500 + 10 * k)));
    const QList<QPointF> positions = arrangeSideSlots(LeftSide, box, targets);
    for (int k = 0; k < 8; ++k) {
        QCOMPARE(positions[k].x(), 0.0);
        QCOMPARE(positions[k].y(), 10 + 8.4 + k * (53.2 / 7));
    }
}

void tst_SlotArrangement::equalOtherEndsKeepListOrder()
{
    const QList<QPointF> positions = arrangeSideSlots(
        RightSide, QRectF(0, 0, 200, 200),
        {target(QPointF(1500, 600)), target(QPointF(1500, 600)), target(QPointF(1500, 600))});
    QCOMPARE(positions[0], QPointF(200, 100));
    QCOMPARE(positions[1], QPointF(200, 116));
    QCOMPARE(positions[2], QPointF(200, 132));
}

void tst_SlotArrangement::pointsFollowTheOrderOfTheirOtherEnds()
{
    // Bottom side: ordered by x of the other ends, which lie far apart.
    const QList<QPointF> positions = arrangeSideSlots(
        BottomSide, QRectF(0, 0, 300, 100),
        {target(QPointF(1250, 900)), target(QPointF(1020, 900)), target(QPointF(1140, 900))});
    QCOMPARE(positions[1], QPointF(20, 100));
    QCOMPARE(positions[2], QPointF(140, 100));
    QCOMPARE(positions[0], QPointF(250, 100));
}

void tst_SlotArrangement::unknownSideGoesToCentre()
{
    const QList<QPointF> positions =
        arrangeSideSlots(9, QRectF(0, 0, 100, 60), {target(QPointF(0, 0)), target(QPointF(5, 5))});
    QCOMPARE(positions, (QList<QPointF>{QPointF(50, 30), QPointF(50, 30)}));
    QVERIFY(arrangeSideSlots(LeftSide, QRectF(0, 0, 100, 60), {}).isEmpty());
}

QTEST_GUILESS_MAIN(tst_SlotArrangement)
#include "tst_slotarrangement.moc"
