#include "layouttestutil.h"
#include "overlapremoval.h"
#include "separationsolver.h"

#include <QTest>

#include <random>

using namespace layout;
using namespace layouttest;

Q_DECLARE_METATYPE(QList<layout::LayoutNode>)

namespace {

constexpr double GapX = 52;
constexpr double GapY = 40;
// The solver's sums may fall short of a gap by rounding.
constexpr double Rounding = 1e-6;

LayoutNode box(double x, double y, double width = 200, double height = 120)
{
    LayoutNode node;
    node.centreX = x;
    node.centreY = y;
    node.width = width;
    node.height = height;
    return node;
}

// Boxes side by side (their rows overlap) that were apart keep their left/right order;
// boxes in one column that were apart keep their above/below order.
bool keepsOrderOfSeparatedPairs(const QList<LayoutNode> &before, const QList<LayoutNode> &after)
{
    for (int i = 0; i < before.size(); ++i) {
        for (int j = 0; j < before.size(); ++j) {
            const LayoutNode &a = before[i];
            const LayoutNode &b = before[j];
            const bool sameRow = std::abs(b.centreY - a.centreY) < (a.height + b.height) / 2;
            const bool sameColumn = std::abs(b.centreX - a.centreX) < (a.width + b.width) / 2;
            const bool leftOf = b.centreX - a.centreX >= (a.width + b.width) / 2;
            const bool above = b.centreY - a.centreY >= (a.height + b.height) / 2;
            if (sameRow && leftOf && after[i].centreX > after[j].centreX)
                return false;
            if (sameColumn && above && after[i].centreY > after[j].centreY)
                return false;
        }
    }
    return true;
}

} // namespace

class tst_OverlapRemoval : public QObject
{
    Q_OBJECT

private slots:
    void solverCentresAChainOnItsDesiredPoint();
    void solverMeetsEveryConstraintOfAWideFan();
    void leavesNoPairCloserThanTheGaps_data();
    void leavesNoPairCloserThanTheGaps();
    void clearBoxesStayWhereTheyAre();
    void sameInputGivesSamePositions();
};

void tst_OverlapRemoval::solverCentresAChainOnItsDesiredPoint()
{
    // Three variables that all want 0 and must be 10 apart: the least squares answer.
    const QList<double> placed = solveSeparation({0, 0, 0}, {{0, 1, 10}, {1, 2, 10}});
    QCOMPARE(placed, QList<double>({-10, 0, 10}));

    // A constraint already met moves nothing.
    QCOMPARE(solveSeparation({0, 50}, {{0, 1, 10}}), QList<double>({0, 50}));
}

void tst_OverlapRemoval::solverMeetsEveryConstraintOfAWideFan()
{
    // One variable on the left of twenty, each of them left of a last one: blocks merge
    // several times over.
    QList<double> desired{0};
    QList<SeparationConstraint> constraints;
    for (int k = 1; k <= 20; ++k) {
        desired.append(k * 0.5);
        constraints.append({0, k, 7.0 + k});
        constraints.append({k, 21, 3});
    }
    desired.append(4);
    const QList<double> placed = solveSeparation(desired, constraints);
    for (const SeparationConstraint &c : constraints)
        QVERIFY(placed[c.right] - placed[c.left] >= c.gap - Rounding);
}

void tst_OverlapRemoval::leavesNoPairCloserThanTheGaps_data()
{
    QTest::addColumn<QList<LayoutNode>>("nodes");

    QList<LayoutNode> stack;
    for (int k = 0; k < 60; ++k)
        stack.append(box((k % 6) * 60.0, (k / 6) * 40.0));
    QTest::newRow("dense stack") << stack;

    QList<LayoutNode> chain;
    for (int k = 0; k < 400; ++k)
        chain.append(box(k * 90.0, (k % 3) * 20.0));
    QTest::newRow("long chain, each over the next") << chain;

    QList<LayoutNode> column;
    for (int k = 0; k < 200; ++k)
        column.append(box(k % 2 * 30.0, k * 50.0, 150, 70));
    QTest::newRow("column") << column;

    QList<LayoutNode> pile(25, box(300, 300, 150, 90));
    QTest::newRow("boxes exactly on top of each other") << pile;

    QList<LayoutNode> sizes{box(0, 0, 900, 600)};
    std::mt19937 random(7);
    for (int k = 0; k < 40; ++k)
        sizes.append(box(double(random() % 900) - 450, double(random() % 600) - 300, 40 + random() % 80,
                         30 + random() % 60));
    QTest::newRow("very different sizes") << sizes;
}

void tst_OverlapRemoval::leavesNoPairCloserThanTheGaps()
{
    QFETCH(QList<LayoutNode>, nodes);
    const QList<LayoutNode> before = nodes;
    removeOverlaps(nodes, GapX, GapY);
    QVERIFY(allClear(nodes, GapX - Rounding, GapY - Rounding));
    QVERIFY(keepsOrderOfSeparatedPairs(before, nodes));
}

void tst_OverlapRemoval::clearBoxesStayWhereTheyAre()
{
    QList<LayoutNode> nodes{box(0, 0), box(252, 0), box(0, 160), box(600, 900)};
    const QList<LayoutNode> before = nodes;
    removeOverlaps(nodes, GapX, GapY);
    QVERIFY(samePositions(nodes, before));

    // One overlapping pair moves, symmetrically; the others stay.
    nodes.append(box(620, 900));
    removeOverlaps(nodes, GapX, GapY);
    QVERIFY(samePositions(nodes.mid(0, 3), before.mid(0, 3)));
    QCOMPARE(nodes[3].centreX + nodes[4].centreX, 600.0 + 620.0);
    QVERIFY(allClear(nodes, GapX - Rounding, GapY - Rounding));
}

void tst_OverlapRemoval::sameInputGivesSamePositions()
{
    QList<LayoutNode> a;
    std::mt19937 random(3);
    for (int k = 0; k < 300; ++k)
        a.append(box(double(random() % 2000), double(random() % 1500), 100 + random() % 150, 40 + random() % 200));
    QList<LayoutNode> b = a;
    removeOverlaps(a, GapX, GapY);
    removeOverlaps(b, GapX, GapY);
    QVERIFY(samePositions(a, b));
    QVERIFY(allClear(a, GapX - Rounding, GapY - Rounding));
}

QTEST_GUILESS_MAIN(tst_OverlapRemoval)
#include "tst_overlapremoval.moc"
