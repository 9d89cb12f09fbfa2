#include "forcelayout.h"
#include "layeredlayout.h"
#include "layouttestutil.h"

#include <QTest>

#include <algorithm>

Q_DECLARE_METATYPE(QList<layout::LayoutLink>)
Q_DECLARE_METATYPE(QList<QList<int>>)

using namespace layout;
using namespace layouttest;

class tst_LayeredLayout : public QObject
{
    Q_OBJECT

private slots:
    void layerCrossingsCounts_data();
    void layerCrossingsCounts();
    void sweepsUntangleTwoCrossedPairs();
    void sweepsKeepATreePlanar();
    void longChainFoldsIntoBandsOfScreenProportions_data();
    void longChainFoldsIntoBandsOfScreenProportions();
    void linkedBoxesStandLevelAcrossColumns();
    void largeComponentWithoutHubsIsLayered();
    void placementIsDeterministic();
};

namespace {

// Layers of node indices, their nodes' layer numbers and neighbour lists from the links.
struct Layered
{
    QList<QList<int>> layers;
    std::vector<int> layerOf;
    NeighbourLists neighbours;
};

Layered layered(const QList<QList<int>> &layers, const QList<LayoutLink> &links)
{
    Layered result;
    result.layers = layers;
    int n = 0;
    for (const QList<int> &layer : layers)
        n += int(layer.size());
    result.layerOf.assign(n, -1);
    for (int l = 0; l < layers.size(); ++l) {
        for (int node : layers[l])
            result.layerOf[node] = l;
    }
    QList<LayoutNode> list = nodes(n);
    result.neighbours = buildNeighbourLists(list, links);
    return result;
}

// A tree of the given branching and depth: node 0 the root, children in index order.
QList<LayoutLink> tree(int branching, int depth, int *count)
{
    QList<LayoutLink> links;
    int next = 1;
    QList<int> level{0};
    for (int d = 0; d < depth; ++d) {
        QList<int> children;
        for (int parent : level) {
            for (int b = 0; b < branching; ++b) {
                links.append({parent, next});
                children.append(next++);
            }
        }
        level = children;
    }
    *count = next;
    return links;
}

// Rows stand 42 apart, give or take the rounding of the fitted centres.
constexpr double RowGapRounded = 41.99;

double aspect(const QList<LayoutNode> &list)
{
    const QRectF box = nodesBoundingBox(list);
    return box.width() / box.height();
}

} // namespace

void tst_LayeredLayout::layerCrossingsCounts_data()
{
    QTest::addColumn<QList<QList<int>>>("layers");
    QTest::addColumn<QList<LayoutLink>>("links");
    QTest::addColumn<long long>("crossings");

    QTest::newRow("parallel") << QList<QList<int>>{{0, 1}, {2, 3}} << QList<LayoutLink>{{0, 2}, {1, 3}} << 0LL;
    QTest::newRow("crossed") << QList<QList<int>>{{0, 1}, {2, 3}} << QList<LayoutLink>{{0, 3}, {1, 2}} << 1LL;
    QTest::newRow("shared end") << QList<QList<int>>{{0, 1}, {2}} << QList<LayoutLink>{{0, 2}, {1, 2}} << 0LL;
    QTest::newRow("all crossed")
        << QList<QList<int>>{{0, 1, 2}, {3, 4, 5}} << QList<LayoutLink>{{0, 5}, {1, 4}, {2, 3}} << 3LL;
    QTest::newRow("links within a layer do not count")
        << QList<QList<int>>{{0, 1}, {2, 3}} << QList<LayoutLink>{{0, 1}, {2, 3}, {0, 2}} << 0LL;
    QTest::newRow("three layers")
        << QList<QList<int>>{{0, 1}, {2, 3}, {4, 5}} << QList<LayoutLink>{{0, 3}, {1, 2}, {2, 5}, {3, 4}} << 2LL;
}

void tst_LayeredLayout::layerCrossingsCounts()
{
    QFETCH(QList<QList<int>>, layers);
    QFETCH(QList<LayoutLink>, links);
    QFETCH(long long, crossings);
    const Layered l = layered(layers, links);
    QCOMPARE(layerCrossings(l.layers, l.neighbours, l.layerOf), crossings);
}

void tst_LayeredLayout::sweepsUntangleTwoCrossedPairs()
{
    Layered l = layered({{0, 1, 2}, {3, 4, 5}, {6, 7, 8}}, {{0, 5}, {1, 4}, {2, 3}, {3, 8}, {4, 7}, {5, 6}});
    QCOMPARE(layerCrossings(l.layers, l.neighbours, l.layerOf), 6LL);
    orderLayers(l.layers, l.neighbours, l.layerOf);
    QCOMPARE(layerCrossings(l.layers, l.neighbours, l.layerOf), 0LL);
    QCOMPARE(l.layers[0], (QList<int>{0, 1, 2}));
}

void tst_LayeredLayout::sweepsKeepATreePlanar()
{
    int count = 0;
    const QList<LayoutLink> links = tree(3, 4, &count);
    QList<LayoutNode> list = nodes(count, 160, 90);
    const NeighbourLists neighbours = buildNeighbourLists(list, links);
    layoutComponentLayered(list, neighbours);
    QVERIFY(allClear(list, 56, RowGapRounded));
    // Planar as drawn: the children of each two boxes of a column keep their parents' order.
    for (const LayoutLink &a : links) {
        for (const LayoutLink &b : links) {
            if (list[a.first].centreX != list[b.first].centreX || list[a.second].centreX != list[b.second].centreX)
                continue;
            if (list[a.first].centreY < list[b.first].centreY)
                QVERIFY(list[a.second].centreY <= list[b.second].centreY);
        }
    }
}

void tst_LayeredLayout::longChainFoldsIntoBandsOfScreenProportions_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("13") << 13;
    QTest::newRow("100") << 100;
    QTest::newRow("2,000") << 2000;
}

void tst_LayeredLayout::longChainFoldsIntoBandsOfScreenProportions()
{
    QFETCH(int, count);
    QList<LayoutNode> list = nodes(count, 200, 120);
    const QList<LayoutLink> links = chain(0, count);
    const NeighbourLists neighbours = buildNeighbourLists(list, links);
    layoutComponentLayered(list, neighbours);
    QVERIFY(allClear(list, 56, RowGapRounded));
    QVERIFY2(aspect(list) >= 1.0 / 3 && aspect(list) <= 3, qPrintable(QString::number(aspect(list))));
    // Each next box stands beside or under the one before: no link runs across the drawing.
    for (const LayoutLink &link : links) {
        const double dx = std::abs(list[link.first].centreX - list[link.second].centreX);
        const double dy = std::abs(list[link.first].centreY - list[link.second].centreY);
        QVERIFY(dx < 400 && dy < 400);
    }
}

void tst_LayeredLayout::linkedBoxesStandLevelAcrossColumns()
{
    // 0 - 1 - 2 and 0 - 3: box 2 stands level with 1, its only neighbour.
    QList<LayoutNode> list = nodes(4, 160, 90);
    const QList<LayoutLink> links{{0, 1}, {1, 2}, {0, 3}};
    const NeighbourLists neighbours = buildNeighbourLists(list, links);
    layoutComponentLayered(list, neighbours);
    QVERIFY(allClear(list, 56, RowGapRounded));
    QCOMPARE(list[2].centreY, list[1].centreY);
}

void tst_LayeredLayout::largeComponentWithoutHubsIsLayered()
{
    QList<LayoutNode> list = nodes(40, 200, 120);
    const QList<LayoutLink> links = chain(0, 40);
    layoutComponentForceDirected(list, links);
    QVERIFY(allClear(list, 56, RowGapRounded));
    QVERIFY(aspect(list) >= 1.0 / 3 && aspect(list) <= 3);
}

void tst_LayeredLayout::placementIsDeterministic()
{
    int count = 0;
    QList<LayoutLink> links = tree(2, 5, &count);
    links.append({3, 40});
    links.append({7, 22});
    QList<LayoutNode> first = nodes(count, 180, 100);
    QList<LayoutNode> second = first;
    layoutComponentForceDirected(first, links);
    layoutComponentForceDirected(second, links);
    QVERIFY(samePositions(first, second));
}

QTEST_APPLESS_MAIN(tst_LayeredLayout)
#include "tst_layeredlayout.moc"
