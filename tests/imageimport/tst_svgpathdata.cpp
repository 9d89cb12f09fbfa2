#include "svgshapereader.h"

#include <QtTest>

namespace {

using Rects = QList<QRectF>;
using Lines = QList<QLineF>;
using Polylines = QList<QList<QPointF>>;

} // namespace

class TestSvgPathData : public QObject
{
    Q_OBJECT

private slots:
    void pieces_data();
    void pieces();
};

void TestSvgPathData::pieces_data()
{
    QTest::addColumn<QString>("d");
    QTest::addColumn<QTransform>("transform");
    QTest::addColumn<Rects>("boxes");
    QTest::addColumn<Rects>("bands");
    QTest::addColumn<Lines>("segments");
    QTest::addColumn<Polylines>("polylines");

    const QTransform identity;
    QTest::newRow("closed outline") << QStringLiteral("M10 10 L110 10 L110 70 L10 70 Z") << identity
                                    << Rects{{10, 10, 100, 60}} << Rects{} << Lines{} << Polylines{};
    QTest::newRow("open outline")
        << QStringLiteral("M10 10 L110 10 L110 70 L10 70") << identity << Rects{} << Rects{}
        << Lines{{10, 10, 110, 10}, {110, 10, 110, 70}, {110, 70, 10, 70}}
        << Polylines{{{10, 10}, {110, 10}, {110, 70}, {10, 70}}};
    QTest::newRow("repeated relative lineto")
        << QStringLiteral("m10 10 l100 0 0 60") << identity << Rects{} << Rects{}
        << Lines{{10, 10, 110, 10}, {110, 10, 110, 70}} << Polylines{{{10, 10}, {110, 10}, {110, 70}}};
    QTest::newRow("back to the start without a close")
        << QStringLiteral("M0,2 C0,0.9 0.9,0 2,0 L98,0 C99.1,0 100,0.9 100,2 L100,58 C100,59.1 99.1,60 98,60 L2,60 "
                          "C0.9,60 0,59.1 0,58 L0,2")
        << identity << Rects{{0, 0, 100, 60}} << Rects{} << Lines{} << Polylines{};
    QTest::newRow("back near the start is open")
        << QStringLiteral("M0 0 L100 0 L100 60 L0 60 L0 0.5") << identity << Rects{} << Rects{}
        << Lines{{0, 0, 100, 0}, {100, 0, 100, 60}, {100, 60, 0, 60}, {0, 60, 0, 0.5}}
        << Polylines{{{0, 0}, {100, 0}, {100, 60}, {0, 60}, {0, 0.5}}};
    QTest::newRow("relative lines and close") << QStringLiteral("M10 10 h100 v60 h-100 z") << identity
                                              << Rects{{10, 10, 100, 60}} << Rects{} << Lines{} << Polylines{};
    QTest::newRow("rounded corners as chords")
        << QStringLiteral("M20 10 H100 A10 10 0 0 1 110 20 V60 A10 10 0 0 1 100 70 H20 "
                          "A10 10 0 0 1 10 60 V20 A10 10 0 0 1 20 10 Z")
        << identity << Rects{{10, 10, 100, 60}} << Rects{} << Lines{} << Polylines{};
    QTest::newRow("closed band 20 high") << QStringLiteral("M0 0 H200 V20 H0 Z") << identity << Rects{}
                                         << Rects{{0, 0, 200, 20}} << Lines{} << Polylines{};
    QTest::newRow("closed band 30 high is neither") << QStringLiteral("M0 0 H200 V30 H0 Z") << identity << Rects{}
                                                    << Rects{} << Lines{} << Polylines{};
    QTest::newRow("closed, not an outline")
        << QStringLiteral("M0 0 L100 0 L50 50 L55 45 L45 55 L50 40 L60 50 L50 100 Z") << identity << Rects{} << Rects{}
        << Lines{} << Polylines{};
    QTest::newRow("straight curve") << QStringLiteral("M0 0 C10 0 20 0 30 0") << identity << Rects{} << Rects{}
                                    << Lines{{0, 0, 30, 0}} << Polylines{{{0, 0}, {30, 0}}};
    QTest::newRow("thin closed piece") << QStringLiteral("M0 0 H100 V3 H0 Z") << identity << Rects{} << Rects{}
                                       << Lines{} << Polylines{};
    QTest::newRow("glyph, closed") << QStringLiteral("M0 0 L8 0 L8 12 L0 12 Z") << identity << Rects{} << Rects{}
                                   << Lines{} << Polylines{};
    QTest::newRow("glyph, open") << QStringLiteral("M0 0 L8 0 L8 12 L0 12") << identity << Rects{} << Rects{}
                                 << Lines{} << Polylines{};
    QTest::newRow("numbers after a close are used next")
        << QStringLiteral("M0 0 L100 0 Z 5 5 L 60 60") << identity << Rects{} << Rects{}
        << Lines{{5, 5, 60, 60}} << Polylines{{{5, 5}, {60, 60}}};
    QTest::newRow("numbers before any command move")
        << QStringLiteral("10 10 110 10 110 70") << identity << Rects{} << Rects{}
        << Lines{{10, 10, 110, 10}, {110, 10, 110, 70}} << Polylines{{{10, 10}, {110, 10}, {110, 70}}};
    QTest::newRow("short sides are no segments")
        << QStringLiteral("M0 0 L9 0 L9 40 L40 40") << identity << Rects{} << Rects{}
        << Lines{{9, 0, 9, 40}, {9, 40, 40, 40}} << Polylines{{{0, 0}, {9, 0}, {9, 40}, {40, 40}}};
    QTest::newRow("quadratic and smooth end points")
        << QStringLiteral("M0 0 Q50 50 100 0 T100 100") << identity << Rects{} << Rects{}
        << Lines{{0, 0, 100, 0}, {100, 0, 100, 100}} << Polylines{{{0, 0}, {100, 0}, {100, 100}}};
    QTest::newRow("cubic and smooth cubic end points")
        << QStringLiteral("M0 0 c5 5 10 5 50 0 s 5 5 0 50") << identity << Rects{} << Rects{}
        << Lines{{0, 0, 50, 0}, {50, 0, 50, 50}} << Polylines{{{0, 0}, {50, 0}, {50, 50}}};
    QTest::newRow("two subpaths")
        << QStringLiteral("M0 0 L100 0 L100 60 L0 60 Z M200 0 L260 40") << identity << Rects{{0, 0, 100, 60}}
        << Rects{} << Lines{{200, 0, 260, 40}} << Polylines{{{200, 0}, {260, 40}}};
    QTest::newRow("incomplete group is ignored")
        << QStringLiteral("M0 0 L50 50 L70") << identity << Rects{} << Rects{} << Lines{{0, 0, 50, 50}}
        << Polylines{{{0, 0}, {50, 50}}};
    QTest::newRow("lone command") << QStringLiteral("L") << identity << Rects{} << Rects{} << Lines{}
                                  << Polylines{};
    QTest::newRow("empty") << QString() << identity << Rects{} << Rects{} << Lines{} << Polylines{};
    QTest::newRow("overflowing coordinate reads 0")
        << QStringLiteral("M10 10 L1e999 10 L110 70") << identity << Rects{} << Rects{}
        << Lines{{10, 10, 0, 10}, {0, 10, 110, 70}} << Polylines{{{10, 10}, {0, 10}, {110, 70}}};
    QTest::newRow("transformed")
        << QStringLiteral("M0 0 L50 0 L50 30 L0 30 Z") << QTransform::fromTranslate(5, 5).scale(2, 2)
        << Rects{{5, 5, 100, 60}} << Rects{} << Lines{} << Polylines{};
    QTest::newRow("subpath overflowing after mapping records nothing")
        << QStringLiteral("M0 0 L100 0 L100 1e300 Z M0 0 L50 50") << QTransform::fromScale(1e10, 1e10) << Rects{}
        << Rects{} << Lines{{0, 0, 5e11, 5e11}} << Polylines{{{0, 0}, {5e11, 5e11}}};
}

void TestSvgPathData::pieces()
{
    QFETCH(QString, d);
    QFETCH(QTransform, transform);
    QFETCH(Rects, boxes);
    QFETCH(Rects, bands);
    QFETCH(Lines, segments);
    QFETCH(Polylines, polylines);
    SvgShapeLists shapes;
    parseSvgPathData(d, transform, shapes);
    QCOMPARE(shapes.boxCandidates(), boxes);
    QCOMPARE(shapes.headerBands(), bands);
    QCOMPARE(shapes.segments(), segments);
    QCOMPARE(shapes.polylines(), polylines);
    QVERIFY(shapes.rowBands().isEmpty());
}

QTEST_GUILESS_MAIN(TestSvgPathData)
#include "tst_svgpathdata.moc"
