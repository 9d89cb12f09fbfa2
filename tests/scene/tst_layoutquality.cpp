#include "layoutquality.h"

#include <QTest>

using namespace layout;
using routing::Route;

class tst_LayoutQuality : public QObject
{
    Q_OBJECT

private slots:
    void crossingsCountOnlyInteriorPoints();
    void sharedRunsNeedMoreThanHalfAUnit();
    void routesThroughOtherBoxes();
    void bendsLengthOverlapsAndDrawing();
    void longRunsSegmentHitsAndArea();
};

void tst_LayoutQuality::crossingsCountOnlyInteriorPoints()
{
    const QList<QualityEdge> edges{
        {{{0, 50}, {200, 50}}, -1, -1},
        {{{100, 0}, {100, 100}}, -1, -1},  // crosses the first inside both
        {{{200, 0}, {200, 100}}, -1, -1},  // meets the first at its end only
        {{{150, 40}, {150, 50}}, -1, -1},  // ends on the first
        {{{0, 50}, {0, 80}, {50, 80}}, -1, -1},
    };
    QCOMPARE(measureLayout({}, edges).crossings, 1);

    // Segments of one edge never count against each other.
    const QList<QualityEdge> loop{{{{0, 0}, {100, 0}, {100, 100}, {50, 100}, {50, -50}}, -1, -1}};
    QCOMPARE(measureLayout({}, loop).crossings, 0);
}

void tst_LayoutQuality::sharedRunsNeedMoreThanHalfAUnit()
{
    const QList<QualityEdge> edges{
        {{{0, 0}, {100, 0}}, -1, -1},
        {{{60, 0.3}, {300, 0.3}}, -1, -1},   // runs on the first for 40
        {{{100.2, 0}, {100.2, 90}}, -1, -1}, // vertical: not collinear
        {{{300, 0}, {300.4, 0}}, -1, -1},    // too short to overlap by more than 0.5
    };
    const LayoutQuality q = measureLayout({}, edges);
    QCOMPARE(q.sharedRuns, 1);
    QCOMPARE(q.crossings, 0);
}

void tst_LayoutQuality::routesThroughOtherBoxes()
{
    const QList<QRectF> boxes{QRectF(0, 0, 100, 60), QRectF(400, 0, 100, 60), QRectF(200, 0, 100, 60),
                              QRectF(200, 200, 100, 60)};
    const QList<QualityEdge> edges{
        {{{100, 30}, {400, 30}}, 0, 1},              // through box 2
        {{{100, 10}, {150, 10}, {150, 230}, {200, 230}}, 0, 3}, // clear; ends at its own boxes
        {{{50, 60}, {50, 200}, {450, 200}, {450, 60}}, 0, 1}, // touches box 3 along its top edge
    };
    const LayoutQuality q = measureLayout(boxes, edges);
    QCOMPARE(q.boxHits, 2);
}

void tst_LayoutQuality::bendsLengthOverlapsAndDrawing()
{
    const QList<QRectF> boxes{QRectF(0, 0, 100, 60), QRectF(50, 30, 100, 60), QRectF(150, 90, 10, 10),
                              QRectF(400, 0, 20, 20)};
    const QList<QualityEdge> edges{
        {{{0, 0}, {10, 0}}, -1, -1},
        {{{0, 0}, {0, 100}, {100, 100}, {100, 500}}, -1, -1},
        {{}, -1, -1},
    };
    const LayoutQuality q = measureLayout(boxes, edges);
    QCOMPARE(q.boxes, 4);
    QCOMPARE(q.edges, 3);
    QCOMPARE(q.bends, 2);
    QCOMPARE(q.maxBends, 2);
    QCOMPARE(q.meanBends, 2.0 / 3);
    QCOMPARE(q.routeLength, 10.0 + 100 + 100 + 400);
    // Boxes 0 and 1 overlap; 1 and 2 only touch at a corner.
    QCOMPARE(q.boxOverlaps, 1);
    QCOMPARE(q.drawing, QRectF(0, 0, 420, 500));
    QVERIFY(describeQuality(q).contains(QStringLiteral("box_overlaps: 1")));
}

void tst_LayoutQuality::longRunsSegmentHitsAndArea()
{
    const QList<QRectF> boxes{QRectF(0, 0, 100, 50), QRectF(300, 0, 100, 50), QRectF(150, -100, 50, 400)};
    const QList<QualityEdge> edges{
        // Through box 2 with three segments.
        {{{100, 10}, {170, 10}, {170, 40}, {300, 40}}, 0, 1},
        // On the first edge's last segment for 30, then on the third for exactly 10.
        {{{220, 40}, {250, 40}, {250, 200}, {240, 200}}, -1, -1},
        {{{230, 200}, {260, 200}, {260, 300}}, -1, -1},
    };
    const LayoutQuality q = measureLayout(boxes, edges);
    QCOMPARE(q.boxHits, 1);
    QCOMPARE(q.segmentBoxHits, 3);
    QCOMPARE(q.sharedRuns, 2);
    QCOMPARE(q.sharedRunEdgePairs, 1);
    QCOMPARE(areaRatio(q), 400.0 * 400 / (5000 + 5000 + 20000));
}

QTEST_GUILESS_MAIN(tst_LayoutQuality)
#include "tst_layoutquality.moc"
