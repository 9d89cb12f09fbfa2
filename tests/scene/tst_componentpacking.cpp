#include "componentpacking.h"
#include "forcelayout.h"
#include "layouttestutil.h"

#include <QTest>

#include <cmath>

using namespace layout;
using namespace layouttest;

class tst_ComponentPacking : public QObject
{
    Q_OBJECT

private slots:
    void componentsFollowLowestIndexAndVisitOrder();
    void twoUnconnectedBoxesFollowThePackingFormula();
    void smallComponentsShareARowWhenTheLimitAllows();
    void componentWiderThanLimitHasItsOwnRow();
    void equalHeightsKeepComponentOrder();
    void resultIsCentredOnHome();
    void sameInputGivesSamePositions();
};

void tst_ComponentPacking::componentsFollowLowestIndexAndVisitOrder()
{
    // 0-3, 3-1 and 2 alone, 4-5 twice; the neighbours keep link order.
    const QList<LayoutLink> links{{3, 1}, {0, 3}, {4, 5}, {5, 4}};
    const QList<LayoutComponent> components = findComponents(6, links);
    QCOMPARE(components.size(), 3);
    QCOMPARE(components[0].members, (QList<int>{0, 3, 1}));
    QCOMPARE(components[1].members, (QList<int>{2}));
    QCOMPARE(components[2].members, (QList<int>{4, 5}));
    QVERIFY(findComponents(0, {}).isEmpty());
}

void tst_ComponentPacking::twoUnconnectedBoxesFollowThePackingFormula()
{
    const double w = 200;
    const double h = 120;
    QList<LayoutNode> list = nodes(2, w, h);
    list[0].centreX = 900;
    list[1].centreX = -900;
    const QPointF home(50, 70);
    const QList<LayoutComponent> components = layoutNodes(list, {}, home);
    QCOMPARE(components.size(), 2);

    // Limit max(200, 1.2 sqrt(2 x 24,000)) = 262.9: 0 + 200 + 150 + 200 passes it, so the
    // second box starts a new row 150 below.
    const double limit = std::max(w, 1.2 * std::sqrt(2 * w * h));
    QVERIFY(w + 150 + w > limit);
    QCOMPARE(list[0].centreX, list[1].centreX);
    QCOMPARE(list[1].centreY - list[0].centreY, h + 150);
    // Centred on home.
    QCOMPARE(list[0].centreX, home.x());
    QCOMPARE((list[0].centreY + list[1].centreY) / 2, home.y());
}

void tst_ComponentPacking::smallComponentsShareARowWhenTheLimitAllows()
{
    // Nine one-box components 40 x 30: limit max(40, 1.2 sqrt(9 x 1,200)) = 124.7, so each
    // row holds one box (0 + 40 + 150 + 40 > 124.7): the tall narrow block of the rule.
    QList<LayoutNode> list = nodes(9, 40, 30);
    layoutNodes(list, {}, QPointF(0, 0));
    for (int i = 1; i < 9; ++i) {
        QCOMPARE(list[i].centreX, list[0].centreX);
        QCOMPARE(list[i].centreY - list[i - 1].centreY, 30.0 + 150);
    }

    // One large component makes the limit wide enough for the small ones beside it.
    QList<LayoutNode> mixed = nodes(4, 40, 30);
    mixed[0].width = 1000;
    mixed[0].height = 600;
    layoutNodes(mixed, {}, QPointF(0, 0));
    const double limit = std::max(1000.0, 1.2 * std::sqrt(1000.0 * 600 + 3 * 1200));
    QVERIFY(1000 + 150 + 40 > limit);
    // The big one is alone; the small ones share the next row, 150 apart.
    QCOMPARE(mixed[1].centreY, mixed[2].centreY);
    QCOMPARE(mixed[2].centreX - mixed[1].centreX, 40.0 + 150);
    QCOMPARE(mixed[3].centreX - mixed[2].centreX, 40.0 + 150);
    QCOMPARE((mixed[1].centreY - 15) - (mixed[0].centreY + 300), 150.0);
}

void tst_ComponentPacking::componentWiderThanLimitHasItsOwnRow()
{
    // Component A: a 2,000-wide box; B, C: small boxes. A sets the limit and sits alone.
    QList<LayoutNode> list = nodes(3, 40, 30);
    list[1].width = 2000;
    list[1].height = 40;
    layoutNodes(list, {}, QPointF(0, 0));
    // B (index 1) is tallest and goes first; the others start the next row 150 below it.
    QCOMPARE((list[0].centreY - 15) - (list[1].centreY + 20), 150.0);
    QCOMPARE(list[2].centreY, list[0].centreY);
    QCOMPARE(list[0].centreX - 20, list[1].centreX - 1000);
}

void tst_ComponentPacking::equalHeightsKeepComponentOrder()
{
    QList<LayoutComponent> components(3);
    QList<LayoutNode> list = nodes(3, 40, 30);
    for (int c = 0; c < 3; ++c) {
        components[c].members = {c};
        components[c].left = -20;
        components[c].top = -15;
        components[c].width = 40;
        components[c].height = 30;
    }
    packComponents(list, components);
    QCOMPARE(components[0].members, QList<int>{0});
    QCOMPARE(components[2].members, QList<int>{2});
    QVERIFY(list[0].centreY < list[1].centreY);
    QVERIFY(list[1].centreY < list[2].centreY);
}

void tst_ComponentPacking::resultIsCentredOnHome()
{
    QList<LayoutNode> list = nodes(6, 150, 80);
    layoutNodes(list, chain(0, 4) + QList<LayoutLink>{{4, 5}}, QPointF(0, 0));
    QCOMPARE(nodesBoundingBox(list).center().x() + 1, 1.0);
    QCOMPARE(nodesBoundingBox(list).center().y() + 1, 1.0);
}

void tst_ComponentPacking::sameInputGivesSamePositions()
{
    // A hub with 10 leaves, a ring, and single boxes.
    const QList<LayoutLink> links = star(0, 1, 10) + chain(11, 8) + QList<LayoutLink>{{18, 11}};
    QList<LayoutNode> a = nodes(24, 170, 100);
    for (int i = 0; i < a.size(); ++i)
        a[i].width += 10 * (i % 5);
    QList<LayoutNode> b = a;
    layoutNodes(a, links, QPointF(300, 200));
    layoutNodes(b, links, QPointF(300, 200));
    QVERIFY(samePositions(a, b));
    QVERIFY(allClear(a, 0, 0));
}

QTEST_GUILESS_MAIN(tst_ComponentPacking)
#include "tst_componentpacking.moc"
