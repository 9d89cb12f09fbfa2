#include "forcelayout.h"
#include "layouttestutil.h"

#include <QTest>

#include <cmath>
#include <random>

using namespace layout;
using namespace layouttest;

Q_DECLARE_METATYPE(QList<layout::LayoutLink>)

class tst_ForceLayout : public QObject
{
    Q_OBJECT

private slots:
    void oneNodeEndsAtOrigin();
    void neighbourListsAreSortedWithoutRepeats();
    void hubsAreLookedForFromSixNodes_data();
    void hubsAreLookedForFromSixNodes();
    void twoLinkedNodesStartOppositeOnCircle();
    void twoLinkedNodesEndInOneRowAndApart();
    void coincidentNodesSeparate();
    void starOfEightGoesToHubLayout();
    void hopTableCountsShortestPaths();
    void hopTableOfLargeSparseComponentIsSixteenBit();
    void resolveOverlapsSeparatesEqualOverlapAlongY();
    void resolveOverlapsTieBreaksByDegree();
    void resolveOverlapsLeavesNoPairCloserThanGaps();
    void alignLinkedNodesSnapsLowerDegreeEnd_data();
    void alignLinkedNodesSnapsLowerDegreeEnd();
    void sameInputGivesSamePositions();
};

void tst_ForceLayout::oneNodeEndsAtOrigin()
{
    QList<LayoutNode> list = nodes(1, 333, 77);
    list[0].centreX = 500;
    list[0].centreY = -40;
    layoutComponentForceDirected(list, {});
    QCOMPARE(list[0].centreX, 0.0);
    QCOMPARE(list[0].centreY, 0.0);

    QList<LayoutNode> none;
    layoutComponentForceDirected(none, {});
    QVERIFY(none.isEmpty());
}

void tst_ForceLayout::neighbourListsAreSortedWithoutRepeats()
{
    QList<LayoutNode> list = nodes(4);
    // Repeats, a reversed repeat, a self link and links out of range.
    const QList<LayoutLink> links{{2, 0}, {0, 2}, {0, 2}, {0, 1}, {3, 3}, {0, 7}, {-1, 2}};
    const NeighbourLists neighbours = buildNeighbourLists(list, links);
    QCOMPARE(neighbours[0], (QList<int>{1, 2}));
    QCOMPARE(neighbours[1], (QList<int>{0}));
    QCOMPARE(neighbours[2], (QList<int>{0}));
    QCOMPARE(neighbours[3], (QList<int>{}));
    QCOMPARE(list[0].degree, 2);
    QCOMPARE(list[3].degree, 0);
}

void tst_ForceLayout::hubsAreLookedForFromSixNodes_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<LayoutLink>>("links");
    QTest::addColumn<QList<int>>("hubs");

    QTest::newRow("star of 8 leaves") << 9 << star(0, 1, 8) << QList<int>{0};
    QTest::newRow("chain of 9") << 9 << chain(0, 9) << QList<int>{};
    QTest::newRow("star of 4 leaves, 5 nodes") << 5 << star(0, 1, 4) << QList<int>{};
    QTest::newRow("star of 5 leaves, 6 nodes") << 6 << star(0, 1, 5) << QList<int>{0};
    // Degree 4 is the least a hub has, whatever the largest degree.
    QTest::newRow("star of 3 leaves among 8 nodes") << 8 << (star(2, 3, 3) + chain(5, 3)) << QList<int>{};
    // Hub at index 9 with 8 leaves and one at 0 with 5: threshold ceil(4.4) = 5, both.
    QTest::newRow("two hubs, index order")
        << 16 << (star(9, 10, 6) + star(9, 1, 2) + star(0, 1, 5)) << QList<int>{0, 9};
    // Three candidates among 11 nodes: 11 / 4 = 2 are kept, the highest degree first.
    QTest::newRow("too many hubs trimmed by degree")
        << 11 << (star(0, 3, 4) + star(1, 3, 4) + star(2, 3, 5) + QList<LayoutLink>{{2, 10}})
        << QList<int>{2, 0};
}

void tst_ForceLayout::hubsAreLookedForFromSixNodes()
{
    QFETCH(int, count);
    QFETCH(QList<LayoutLink>, links);
    QFETCH(QList<int>, hubs);
    QList<LayoutNode> list = nodes(count);
    buildNeighbourLists(list, links);
    QCOMPARE(findHubs(list), hubs);
}

void tst_ForceLayout::twoLinkedNodesStartOppositeOnCircle()
{
    QList<LayoutNode> list = nodes(2, 200, 100);
    const NeighbourLists neighbours = buildNeighbourLists(list, {{0, 1}});
    const double meanDiag = std::hypot(200.0, 100.0);
    const double spacing = std::clamp(0.28 * meanDiag + 72, 70.0, 130.0);
    const double expectedRadius = std::max(std::sqrt(2.0) * 0.28 * meanDiag, 1.35 * spacing);

    const double radius = placeOnStartCircle(list, neighbours);
    QCOMPARE(radius, expectedRadius);
    QVERIFY(radius >= 1.35 * spacing);
    QCOMPARE(list[0].centreX, radius);
    QCOMPARE(list[0].centreY, 0.0);
    QCOMPARE(list[1].centreX, -radius);
    QVERIFY(std::abs(list[1].centreY) < 1e-9);
}

void tst_ForceLayout::twoLinkedNodesEndInOneRowAndApart()
{
    QList<LayoutNode> list = nodes(2, 200, 100);
    layoutComponentForceDirected(list, {{0, 1}});
    QCOMPARE(list[0].degree, 1);
    QCOMPARE(list[1].degree, 1);
    // Alignment puts the second (mover) into the first one's row.
    QCOMPARE(list[1].centreY, list[0].centreY);
    QVERIFY(list[0].centreX > list[1].centreX);
    QVERIFY(clearOf(list[0], list[1], 78, 68));
}

void tst_ForceLayout::coincidentNodesSeparate()
{
    // Unlinked boxes, all on one point and one size: the circle spreads them, the forces
    // and the overlap passes keep them apart.
    for (int count : {2, 3, 7, 12}) {
        QList<LayoutNode> list = nodes(count, 180, 90);
        placeByForces(list, {}, buildNeighbourLists(list, {}));
        QVERIFY2(allClear(list, 0, 0), qPrintable(QString::number(count)));
        for (const LayoutNode &node : list)
            QVERIFY(std::isfinite(node.centreX) && std::isfinite(node.centreY));
    }
}

void tst_ForceLayout::starOfEightGoesToHubLayout()
{
    QList<LayoutNode> list = nodes(9, 200, 100);
    layoutComponentForceDirected(list, star(0, 1, 8));
    // The hub layout: hub at the origin, leaves in columns beside it.
    QCOMPARE(list[0].centreX, 0.0);
    QCOMPARE(list[0].centreY, 0.0);
    for (int leaf = 1; leaf <= 8; ++leaf)
        QCOMPARE(std::abs(list[leaf].centreX), 100.0 + 108 + 100);
}

void tst_ForceLayout::hopTableCountsShortestPaths()
{
    QList<LayoutNode> list = nodes(6);
    // A chain 0-1-2-3 with a short cut 0-3, and 4-5 apart.
    const NeighbourLists neighbours = buildNeighbourLists(list, chain(0, 4) + QList<LayoutLink>{{0, 3}, {4, 5}});
    const HopTable table(neighbours);
    QVERIFY(table.isTabulated());
    QCOMPARE(table.hops(0, 0), 0);
    QCOMPARE(table.hops(0, 2), 2);
    QCOMPARE(table.hops(1, 3), 2);
    QCOMPARE(table.hops(0, 3), 1);
    QCOMPARE(table.hops(0, 4), -1);
    QCOMPARE(table.hops(5, 4), 1);
    QCOMPARE(table.maxHop(), 2);

    std::vector<int> row;
    table.row(2, row);
    QCOMPARE(row, (std::vector<int>{2, 1, 0, 1, -1, -1}));

    QList<LayoutNode> lonely = nodes(3);
    QCOMPARE(HopTable(buildNeighbourLists(lonely, {})).maxHop(), 1);
}

void tst_ForceLayout::hopTableOfLargeSparseComponentIsSixteenBit()
{
    // A chain of 3,000: hop counts up to 2,999, two bytes a pair (18 MB, not 36).
    const int n = 3000;
    QList<LayoutNode> list = nodes(n);
    const NeighbourLists neighbours = buildNeighbourLists(list, chain(0, n));
    const HopTable table(neighbours);
    QCOMPARE(sizeof(HopTable::NoPath), std::size_t(2));
    QCOMPARE(table.maxHop(), n - 1);
    QCOMPARE(table.hops(0, n - 1), n - 1);
    QCOMPARE(table.hops(1234, 17), 1217);
}

void tst_ForceLayout::resolveOverlapsSeparatesEqualOverlapAlongY()
{
    QList<LayoutNode> list = nodes(2, 100, 100);
    list[1].centreX = 20;
    list[1].centreY = 10;
    // needX = 178, needY = 168: both overlaps are 158.
    resolveOverlaps(list, 1, 78, 68);
    const double push = 0.51 * 158 + 0.5;
    QCOMPARE(list[0].centreX, 0.0);
    QCOMPARE(list[1].centreX, 20.0);
    QCOMPARE(list[0].centreY, -push);
    QCOMPARE(list[1].centreY, 10 + push);
    // Just beyond the gap.
    const double gap = list[1].centreY - list[0].centreY - 100;
    QVERIFY(gap > 68 && gap < 68 + 5);

    // A deeper overlap along y than along x moves them along x.
    QList<LayoutNode> pair = nodes(2, 100, 100);
    pair[1].centreX = 40;
    resolveOverlaps(pair, 1, 78, 68);
    QCOMPARE(pair[0].centreY, 0.0);
    QCOMPARE(pair[0].centreX, -(0.51 * 138 + 0.5));
}

void tst_ForceLayout::resolveOverlapsTieBreaksByDegree()
{
    // On one point: node 0 of lower degree goes the negative way, else the positive way.
    for (int lowerFirst : {1, 0}) {
        QList<LayoutNode> list = nodes(2, 100, 100);
        list[0].degree = lowerFirst ? 1 : 3;
        list[1].degree = 2;
        resolveOverlaps(list, 1, 10, 10);
        QCOMPARE(list[0].centreX, 0.0);
        QVERIFY(lowerFirst ? list[0].centreY > 0 : list[0].centreY < 0);
        QCOMPARE(list[1].centreY, -list[0].centreY);
    }
}

void tst_ForceLayout::resolveOverlapsLeavesNoPairCloserThanGaps()
{
    std::mt19937_64 engine(42);
    auto uniform = [&](double low, double high) { return low + (engine() >> 11) * 0x1.0p-53 * (high - low); };
    QList<LayoutNode> list = nodes(40);
    for (LayoutNode &node : list) {
        node.width = uniform(40, 260);
        node.height = uniform(30, 200);
        node.centreX = uniform(0, 900);
        node.centreY = uniform(0, 900);
    }
    resolveOverlaps(list, 400, 78, 68);
    QVERIFY(allClear(list, 78, 68));
}

void tst_ForceLayout::alignLinkedNodesSnapsLowerDegreeEnd_data()
{
    QTest::addColumn<QPointF>("first");
    QTest::addColumn<QPointF>("second");
    QTest::addColumn<int>("firstDegree");
    QTest::addColumn<int>("secondDegree");
    QTest::addColumn<QPointF>("firstAfter");
    QTest::addColumn<QPointF>("secondAfter");

    // Boxes 100 x 50 with strength 0.42: tolX = 58, tolY = 37.
    QTest::newRow("same column") << QPointF(0, 0) << QPointF(40, 300) << 2 << 1 << QPointF(0, 0) << QPointF(0, 300);
    QTest::newRow("same row") << QPointF(0, 0) << QPointF(300, 30) << 2 << 1 << QPointF(0, 0) << QPointF(300, 0);
    QTest::newRow("too far off") << QPointF(0, 0) << QPointF(300, 200) << 2 << 1 << QPointF(0, 0) << QPointF(300, 200);
    QTest::newRow("higher degree anchors") << QPointF(40, 300) << QPointF(0, 0) << 1 << 2 << QPointF(0, 300) << QPointF(0, 0);
    QTest::newRow("equal degrees: first anchors") << QPointF(0, 0) << QPointF(300, 30) << 1 << 1 << QPointF(0, 0) << QPointF(300, 0);
}

void tst_ForceLayout::alignLinkedNodesSnapsLowerDegreeEnd()
{
    QFETCH(QPointF, first);
    QFETCH(QPointF, second);
    QFETCH(int, firstDegree);
    QFETCH(int, secondDegree);
    QFETCH(QPointF, firstAfter);
    QFETCH(QPointF, secondAfter);
    QList<LayoutNode> list = nodes(2, 100, 50);
    list[0].centreX = first.x();
    list[0].centreY = first.y();
    list[1].centreX = second.x();
    list[1].centreY = second.y();
    list[0].degree = firstDegree;
    list[1].degree = secondDegree;
    // The link out of range is skipped.
    alignLinkedNodes(list, {{0, 5}, {0, 1}}, 0.42);
    QCOMPARE(QPointF(list[0].centreX, list[0].centreY), firstAfter);
    QCOMPARE(QPointF(list[1].centreX, list[1].centreY), secondAfter);
}

void tst_ForceLayout::sameInputGivesSamePositions()
{
    // A ring with a tail and a repeated link, placed by forces.
    const QList<LayoutLink> links = chain(0, 10) + QList<LayoutLink>{{9, 0}, {3, 11}, {11, 12}, {3, 11}};
    QList<LayoutNode> a = nodes(13, 180, 110);
    QList<LayoutNode> b = a;
    layoutComponentForceDirected(a, links);
    layoutComponentForceDirected(b, links);
    QVERIFY(samePositions(a, b));
    QVERIFY(allClear(a, 0, 0));
}

QTEST_GUILESS_MAIN(tst_ForceLayout)
#include "tst_forcelayout.moc"
