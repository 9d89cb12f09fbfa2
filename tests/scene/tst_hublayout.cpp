#include "forcelayout.h"
#include "hublayout.h"
#include "layouttestutil.h"

#include <QTest>

#include <algorithm>

using namespace layout;
using namespace layouttest;

class tst_HubLayout : public QObject
{
    Q_OBJECT

private slots:
    void hubWithEightLeavesStandsBetweenTwoColumns();
    void twoEqualHubsStandSymmetric();
    void hubsInOneRowStandFarEnoughApart();
    void manyHubsStandInRowsOfScreenProportions_data();
    void manyHubsStandInRowsOfScreenProportions();
    void hubsLeaveRoomForTheGroupsBetweenThem();
    void chainBetweenTwoHubsSplitsAtTheMiddle();
    void groupsOnTheRightAreMirrored();
    void layeredGroupPutsColumnsLeftOfAttachedMembers();
    void compactAxisClosesGapToExactly56();
    void compactAxisLeavesFirstBoxAndLinesUpLoneBox();
    void compactAxisAlongYUsesRowGap();
};

void tst_HubLayout::hubWithEightLeavesStandsBetweenTwoColumns()
{
    const double hubWidth = 240;
    const double leafWidth = 160;
    const double leafHeight = 90;
    QList<LayoutNode> list = nodes(9, leafWidth, leafHeight);
    list[0].width = hubWidth;
    list[0].height = 150;
    const QList<LayoutLink> links = star(0, 1, 8);
    const NeighbourLists neighbours = buildNeighbourLists(list, links);
    layoutComponentGrid(list, neighbours, links, {0});

    QCOMPARE(list[0].centreX, 0.0);
    QCOMPARE(list[0].centreY, 0.0);
    // Equal blocks alternate, left first: leaves 1, 3, 5, 7 left, 2, 4, 6, 8 right.
    const double leftX = -hubWidth / 2 - 108 - leafWidth / 2;
    const double total = 4 * leafHeight + 3 * 78;
    for (int k = 0; k < 4; ++k) {
        const double y = -total / 2 + k * (leafHeight + 78) + leafHeight / 2;
        const LayoutNode &left = list[1 + 2 * k];
        const LayoutNode &right = list[2 + 2 * k];
        QCOMPARE(left.centreX, leftX);
        QCOMPARE(right.centreX, -leftX);
        QCOMPARE(left.centreY, y);
        QCOMPARE(right.centreY, y);
    }
}

void tst_HubLayout::twoEqualHubsStandSymmetric()
{
    // Hubs 0 and 1 of degree 6 each, small leaves so that nothing overlaps afterwards. Side
    // by side the two would stand more than four times as wide as high, so they stand one
    // above the other, centred on the origin.
    QList<LayoutNode> list = nodes(14, 40, 30);
    list[0].width = 200;
    list[0].height = 120;
    list[1].width = 260;
    list[1].height = 100;
    const QList<LayoutLink> links = star(0, 2, 6) + star(1, 8, 6);
    QList<LayoutNode> forForces = list;
    const NeighbourLists neighbours = buildNeighbourLists(list, links);
    layoutComponentGrid(list, neighbours, links, {1, 0});

    QCOMPARE(list[0].centreX, 0.0);
    QCOMPARE(list[1].centreX, 0.0);
    QVERIFY(list[0].centreY < list[1].centreY); // index order on equal degrees
    QCOMPARE(list[0].centreY + list[1].centreY, 0.0);
    // Each stack of three leaves is 3 x 30 + 2 x 78 = 246 high; the rows stand 150 apart.
    QCOMPARE(list[1].centreY - list[0].centreY, 246.0 + 150);
    QVERIFY(allClear(list, 0, 0));

    // The dispatcher finds both hubs and gives the same result.
    layoutComponentForceDirected(forForces, links);
    QVERIFY(samePositions(forForces, list));
}

void tst_HubLayout::hubsInOneRowStandFarEnoughApart()
{
    // Two tall hubs with three leaves each stay in one row: their boxes 380 apart, centred
    // on the origin.
    QList<LayoutNode> list = nodes(8, 40, 30);
    list[0].width = 200;
    list[0].height = 900;
    list[1].width = 260;
    list[1].height = 900;
    const QList<LayoutLink> links = star(0, 2, 3) + star(1, 5, 3);
    const NeighbourLists neighbours = buildNeighbourLists(list, links);
    layoutComponentGrid(list, neighbours, links, {0, 1});

    QCOMPARE(list[0].centreY, 0.0);
    QCOMPARE(list[1].centreY, 0.0);
    QVERIFY(list[0].centreX < list[1].centreX);
    QCOMPARE(list[0].centreX + list[1].centreX, 0.0);
    QCOMPARE((list[1].centreX - 130) - (list[0].centreX + 100), 380.0);
}

void tst_HubLayout::manyHubsStandInRowsOfScreenProportions_data()
{
    QTest::addColumn<int>("hubs");
    QTest::addColumn<int>("leaves");
    QTest::newRow("twelve hubs of six leaves") << 12 << 6;
    QTest::newRow("forty hubs of five leaves") << 40 << 5;
    QTest::newRow("one hub of eighty leaves") << 1 << 80;
    QTest::newRow("three hubs of forty leaves") << 3 << 40;
}

void tst_HubLayout::manyHubsStandInRowsOfScreenProportions()
{
    // In one row the hubs, or one hub's stacks of leaves, would reach far wider or higher
    // than a screen; rows of hubs and columns of groups keep between 1 : 3 and 3 : 1.
    QFETCH(int, hubs);
    QFETCH(int, leaves);
    QList<LayoutNode> list = nodes(hubs * (1 + leaves), 150, 90);
    QList<LayoutLink> links;
    QList<int> hubList;
    for (int h = 0; h < hubs; ++h) {
        hubList.append(h);
        links += star(h, hubs + h * leaves, leaves);
        if (h > 0)
            links.append({h - 1, h}); // hubs in a chain, so that they share lines
    }
    const NeighbourLists neighbours = buildNeighbourLists(list, links);
    layoutComponentGrid(list, neighbours, links, hubList);

    QVERIFY(allClear(list, 0, 0));
    const QRectF bounds = nodesBoundingBox(list);
    const double aspect = bounds.width() / bounds.height();
    QVERIFY2(aspect >= 1.0 / 3 && aspect <= 3, qPrintable(QString::number(aspect)));
}

void tst_HubLayout::hubsLeaveRoomForTheGroupsBetweenThem()
{
    // Hubs 0 and 1, each with six chains of three boxes (hub 0: 2-19, hub 1: 20-37): the
    // groups are wider than the gap between two hubs. Each hub's groups keep to the hub
    // they were laid beside instead of being pushed in among the other hub's.
    const int chains = 6;
    const int length = 3;
    QList<LayoutNode> list = nodes(2 + 2 * chains * length, 160, 90);
    QList<LayoutLink> links;
    for (int hub : {0, 1}) {
        for (int c = 0; c < chains; ++c) {
            const int first = 2 + (hub * chains + c) * length;
            links.append({hub, first});
            links += chain(first, length);
        }
    }
    const NeighbourLists neighbours = buildNeighbourLists(list, links);
    layoutComponentGrid(list, neighbours, links, {0, 1});

    QVERIFY(allClear(list, 0, 0));
    QRectF family[2] = {list[0].box(), list[1].box()};
    for (int m = 2; m < list.size(); ++m)
        family[m < 2 + chains * length ? 0 : 1] |= list[m].box();
    QVERIFY2(!family[0].intersects(family[1]), qPrintable(QStringLiteral("%1,%2 %3x%4 meets %5,%6 %7x%8")
                                                              .arg(family[0].x()).arg(family[0].y())
                                                              .arg(family[0].width()).arg(family[0].height())
                                                              .arg(family[1].x()).arg(family[1].y())
                                                              .arg(family[1].width()).arg(family[1].height())));
}

void tst_HubLayout::chainBetweenTwoHubsSplitsAtTheMiddle()
{
    // Hubs 0 and 1 with five leaves each (2-6, 7-11); a chain from a member next to hub 0
    // to a member next to hub 1.
    auto groupsFor = [](int chainLength) {
        const int first = 12;
        QList<LayoutNode> list = nodes(first + chainLength);
        QList<LayoutLink> links = star(0, 2, 5) + star(1, 7, 5) + chain(first, chainLength);
        links.append({0, first});
        links.append({1, first + chainLength - 1});
        const NeighbourLists neighbours = buildNeighbourLists(list, links);
        return hubLayoutGroups(neighbours, {0, 1});
    };

    // 12 (contact of hub 0) - 13 - 14 (contact of hub 1): 13 is one hop from both and
    // both groups hold one member, so the earlier contact takes it.
    QList<QList<int>> groups = groupsFor(3);
    QVERIFY(groups.contains(QList<int>{12, 13}));
    QVERIFY(groups.contains(QList<int>{14}));

    // 12 - 13 - 14 - 15 - 16: 13 joins 12, then 14 ties and joins 16's smaller group.
    groups = groupsFor(5);
    QVERIFY(groups.contains(QList<int>{12, 13}));
    QVERIFY(groups.contains(QList<int>{16, 14, 15}));

    // Leaves are groups of their own, in index order, before the chain's groups.
    QCOMPARE(groups.first(), QList<int>{2});
    QCOMPARE(groups.size(), 10 + 2);
}

void tst_HubLayout::groupsOnTheRightAreMirrored()
{
    // Hub 0; group of 1 (next to the hub) and 2 (next to 1 only): two columns.
    QList<LayoutNode> list = nodes(3, 100, 60);
    list[0].width = 200;
    const QList<LayoutLink> groupLinks{{0, 1}};
    for (bool leftSide : {true, false}) {
        LayoutGroupBlock block;
        block.members = {1, 2};
        block.localNodes = {list[1], list[2]};
        block.hub = 0;
        block.attach = {0};
        layoutGroupLayered(block.localNodes, groupLinks, block.attach);
        const QRectF bounds = nodesBoundingBox(block.localNodes);
        block.left = bounds.x();
        block.top = bounds.y();
        block.width = bounds.width();
        block.height = bounds.height();
        QList<LayoutGroupBlock> blocks{block};
        placeGroupsBesideHub(list, 0, blocks, leftSide);

        const double nearEdge = leftSide ? list[1].centreX + 50 : list[1].centreX - 50;
        QCOMPARE(nearEdge, leftSide ? -100.0 - 108 : 100.0 + 108);
        // The attached member is the one nearer to the hub on either side.
        QVERIFY(std::abs(list[1].centreX) < std::abs(list[2].centreX));
        QCOMPARE(list[1].centreY, list[2].centreY);
        QCOMPARE(list[1].centreY, 0.0);
    }
}

void tst_HubLayout::layeredGroupPutsColumnsLeftOfAttachedMembers()
{
    // 0 and 1 attached; 2 and 3 one hop further, 4 unreachable from them.
    QList<LayoutNode> list = nodes(5, 100, 50);
    list[3].width = 180;
    layoutGroupLayered(list, {{0, 2}, {1, 3}}, {0, 1});
    // Columns grow to the left: attached members rightmost, the unreachable node leftmost.
    QVERIFY(list[0].centreY < list[1].centreY);
    QVERIFY(list[2].centreX < list[0].centreX);
    QVERIFY(list[3].centreX < list[1].centreX);
    QVERIFY(list[4].centreX < std::min(list[2].centreX, list[3].centreX));
    // Linked members share a row; nothing overlaps.
    QCOMPARE(list[2].centreY, list[0].centreY);
    QCOMPARE(list[3].centreY, list[1].centreY);
    QVERIFY(allClear(list, 0, 0));

    QList<LayoutNode> single = nodes(1);
    single[0].centreX = 77;
    layoutGroupLayered(single, {}, {});
    QCOMPARE(single[0].centreX, 0.0);
}

void tst_HubLayout::compactAxisClosesGapToExactly56()
{
    QList<LayoutNode> list = nodes(2, 100, 60);
    list[0].centreX = -300;
    list[1].centreX = 400;
    list[1].centreY = 8; // overlapping in y, within the tolerance
    compactAxis(list, true);
    QCOMPARE(list[0].centreX, -300.0);
    QCOMPARE((list[1].centreX - 50) - (list[0].centreX + 50), 56.0);
    QCOMPARE(list[1].centreY, 8.0);
}

void tst_HubLayout::compactAxisLeavesFirstBoxAndLinesUpLoneBox()
{
    QList<LayoutNode> list = nodes(3, 100, 60);
    list[0].centreX = 1000; // later in the order, though first in the list
    list[1].centreX = 10;
    list[2].centreX = 700;
    list[2].centreY = 68.5; // spans [-30, 30] and [38.5, 98.5]: beyond the 8.4 across
    compactAxis(list, true);
    QCOMPARE(list[1].centreX, 10.0);
    // The lone box gets its leading edge on the first box's.
    QCOMPARE(list[2].centreX, 10.0);
    QCOMPARE(list[0].centreX - 50, 10.0 + 50 + 56);
}

void tst_HubLayout::compactAxisAlongYUsesRowGap()
{
    QList<LayoutNode> list = nodes(2, 100, 60);
    list[1].centreY = 500;
    list[1].centreX = 100 + 11.2; // touching across within 11.2
    compactAxis(list, false);
    QCOMPARE(list[0].centreY, 0.0);
    QCOMPARE((list[1].centreY - 30) - 30, 42.0);
}

QTEST_GUILESS_MAIN(tst_HubLayout)
#include "tst_hublayout.moc"
