#include "recognitionsteps.h"

#include <QImage>
#include <QRandomGenerator>
#include <QtTest>

#include <limits>

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();
const double Inf = std::numeric_limits<double>::infinity();

using Points = QList<QPointF>;

} // namespace

Q_DECLARE_METATYPE(Points)

class TestGeometryUtils : public QObject
{
    Q_OBJECT

private slots:
    void boundingBoxOfPoints_data();
    void boundingBoxOfPoints();
    void boxOutline_data();
    void boxOutline();
    void nearestBox_data();
    void nearestBox();
    void rectOnPicture_data();
    void rectOnPicture();
    void rectOnPictureRoundsLikeQRectF();
    void nameScores_data();
    void nameScores();
};

void TestGeometryUtils::boundingBoxOfPoints_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<QRectF>("box");
    QTest::newRow("none") << Points{} << QRectF(0, 0, 0, 0);
    QTest::newRow("one point") << Points{{7, -3}} << QRectF(7, -3, 0, 0);
    QTest::newRow("several") << Points{{5, 9}, {-1, 2}, {3, 20}} << QRectF(-1, 2, 6, 18);
    QTest::newRow("not-a-number points are absent") << Points{{NaN, 1}, {2, 3}, {4, Inf}, {6, 7}}
                                                     << QRectF(2, 3, 4, 4);
    QTest::newRow("only absent points") << Points{{NaN, NaN}} << QRectF(0, 0, 0, 0);
}

void TestGeometryUtils::boundingBoxOfPoints()
{
    QFETCH(Points, points);
    QFETCH(QRectF, box);
    QCOMPARE(pointsBoundingBox(points), box);
}

void TestGeometryUtils::boxOutline_data()
{
    QTest::addColumn<Points>("points");
    QTest::addColumn<bool>("outline");
    QTest::newRow("28 x 18 corners") << Points{{0, 0}, {28, 0}, {28, 18}, {0, 18}} << true;
    QTest::newRow("27 x 18 corners") << Points{{0, 0}, {27, 0}, {27, 18}, {0, 18}} << false;
    QTest::newRow("28 x 17 corners") << Points{{0, 0}, {28, 0}, {28, 17}, {0, 17}} << false;
    QTest::newRow("three points") << Points{{0, 0}, {100, 0}, {100, 80}} << false;
    // Tolerance 10 on a 100 x 100 box: the two inner points are far from every edge.
    QTest::newRow("2 of 4 near the edges") << Points{{0, 0}, {100, 100}, {50, 50}, {40, 60}} << true;
    QTest::newRow("7 of 10 near the edges")
        << Points{{0, 0}, {100, 100}, {0, 50}, {100, 40}, {50, 0}, {60, 100}, {95, 5}, {50, 50}, {40, 60}, {60, 40}}
        << true;
    QTest::newRow("6 of 10 near the edges")
        << Points{{0, 0}, {100, 100}, {0, 50}, {100, 40}, {50, 0}, {60, 100}, {45, 45}, {50, 50}, {40, 60}, {60, 40}}
        << false;
    QTest::newRow("absent points do not count")
        << Points{{0, 0}, {28, 0}, {28, 18}, {NaN, 5}} << false;
}

void TestGeometryUtils::boxOutline()
{
    QFETCH(Points, points);
    QFETCH(bool, outline);
    QCOMPARE(isBoxOutline(points), outline);
}

void TestGeometryUtils::nearestBox_data()
{
    QTest::addColumn<QList<QRectF>>("boxes");
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<double>("limit");
    QTest::addColumn<int>("index");
    const QList<QRectF> overlapping{{0, 0, 100, 100}, {50, 50, 100, 100}};
    QTest::newRow("no boxes") << QList<QRectF>{} << QPointF(0, 0) << 18.0 << -1;
    QTest::newRow("inside two: the first") << overlapping << QPointF(60, 60) << 18.0 << 0;
    QTest::newRow("limit 0") << overlapping << QPointF(60, 60) << 0.0 << -1;
    QTest::newRow("nearer second") << overlapping << QPointF(160, 160) << 18.0 << 1;
    QTest::newRow("equal distances: the first")
        << QList<QRectF>{{0, 0, 10, 10}, {30, 0, 10, 10}} << QPointF(20, 5) << 18.0 << 0;
    QTest::newRow("distance equal to the limit") << QList<QRectF>{{0, 0, 10, 10}} << QPointF(28, 5) << 18.0 << -1;
    QTest::newRow("diagonal distance") << QList<QRectF>{{0, 0, 10, 10}} << QPointF(13, 14) << 5.01 << 0;
    QTest::newRow("diagonal beyond the limit") << QList<QRectF>{{0, 0, 10, 10}} << QPointF(13, 14) << 5.0 << -1;
    QTest::newRow("boxes that are not numbers are absent")
        << QList<QRectF>{{NaN, 0, 10, 10}, {-Inf, -Inf, Inf, Inf}, {0, 0, 10, 10}} << QPointF(5, 5) << 18.0 << 2;
    QTest::newRow("point that is not a number") << overlapping << QPointF(NaN, 5) << 18.0 << -1;
    QTest::newRow("point far away") << overlapping << QPointF(1e300, -1e300) << 18.0 << -1;
}

void TestGeometryUtils::nearestBox()
{
    QFETCH(QList<QRectF>, boxes);
    QFETCH(QPointF, point);
    QFETCH(double, limit);
    QFETCH(int, index);
    QCOMPARE(nearestBoxIndex(boxes, point, limit), index);
}

void TestGeometryUtils::rectOnPicture_data()
{
    QTest::addColumn<QRectF>("rect");
    QTest::addColumn<QRectF>("source");
    QTest::addColumn<int>("margin");
    QTest::addColumn<QRect>("pixels");
    // A drawing 200 x 150 units rendered at 800 x 600 pixels.
    const QRectF drawing(0, 0, 200, 150);
    QTest::newRow("scaled") << QRectF(10, 10, 50, 20) << drawing << 0 << QRect(QPoint(40, 40), QPoint(239, 119));
    QTest::newRow("margin 3") << QRectF(10, 10, 50, 20) << drawing << 3 << QRect(QPoint(37, 37), QPoint(242, 122));
    QTest::newRow("source offset") << QRectF(110, 60, 50, 20) << QRectF(100, 50, 200, 150) << 0
                                   << QRect(QPoint(40, 40), QPoint(239, 119));
    QTest::newRow("partly outside is clipped") << QRectF(-10, -10, 50, 20) << drawing << 0
                                               << QRect(QPoint(0, 0), QPoint(159, 39));
    QTest::newRow("far outside") << QRectF(1000, 10, 50, 20) << drawing << 3 << QRect();
    QTest::newRow("at 1e12") << QRectF(1e12, 1e12, 50, 20) << drawing << 0 << QRect();
    QTest::newRow("1e12 wide around the picture") << QRectF(-1e12, -1e12, 2e12, 2e12) << drawing << 0
                                                  << QRect(0, 0, 800, 600);
    QTest::newRow("1e300 wide") << QRectF(-1e300, 0, 1e300, 20) << drawing << 0 << QRect();
    QTest::newRow("not a number") << QRectF(NaN, 10, 50, 20) << drawing << 0 << QRect();
    QTest::newRow("infinite width") << QRectF(10, 10, Inf, 20) << drawing << 0 << QRect();
    QTest::newRow("source narrower than a unit") << QRectF(0.25, 0, 0.5, 1) << QRectF(0, 0, 0.5, 1) << 0
                                                 << QRect(QPoint(200, 0), QPoint(599, 599));
    QTest::newRow("zero size") << QRectF(10, 10, 0, 0) << drawing << 0 << QRect();
}

void TestGeometryUtils::rectOnPicture()
{
    QFETCH(QRectF, rect);
    QFETCH(QRectF, source);
    QFETCH(int, margin);
    QFETCH(QRect, pixels);
    const QImage picture(800, 600, QImage::Format_Grayscale8);
    const QRect mapped = mapRectToImage(rect, picture, source, margin);
    if (pixels.isEmpty())
        QVERIFY2(mapped.isEmpty(), qPrintable(QStringLiteral("got %1,%2 %3x%4").arg(mapped.x()).arg(mapped.y())
                                                 .arg(mapped.width()).arg(mapped.height())));
    else
        QCOMPARE(mapped, pixels);
}

// At scale 1 the mapping is QRectF::toRect clipped to the picture, halves included.
void TestGeometryUtils::rectOnPictureRoundsLikeQRectF()
{
    const QImage picture(300, 200, QImage::Format_Grayscale8);
    const QRectF source(0, 0, 300, 200);
    QRandomGenerator random(30);
    for (int i = 0; i < 2000; ++i) {
        const auto coordinate = [&random](int low, int high) {
            return random.bounded(low * 4, high * 4) / 4.0;
        };
        const QRectF r(coordinate(-50, 320), coordinate(-50, 220), coordinate(0, 120), coordinate(0, 80));
        const QRect expected = r.toRect().intersected(picture.rect());
        const QRect mapped = mapRectToImage(r, picture, source, 0);
        QVERIFY2(mapped == expected || (mapped.isEmpty() && expected.isEmpty()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())));
    }
}

void TestGeometryUtils::nameScores_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<double>("score");
    QTest::newRow("4 letters starting 8") << "cust" << "customer" << 4.0;
    QTest::newRow("8 letters starting 11") << "customer" << "customerids" << 8.0;
    QTest::newRow("either way round") << "customerids" << "customer" << 8.0;
    QTest::newRow("5 letters inside") << "order" << "lineorders" << 8.0;
    QTest::newRow("id at the end") << "id" << "paid" << 0.0;
    QTest::newRow("3 letters inside") << "ord" << "xorders" << 0.0;
    QTest::newRow("case matters") << "Cust" << "customer" << 0.0;
    QTest::newRow("empty") << "" << "customer" << 0.0;
    QTest::newRow("unrelated") << "product" << "customer" << 0.0;
}

void TestGeometryUtils::nameScores()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(double, score);
    QCOMPARE(nameMatchScore(a, b), score);
}

QTEST_GUILESS_MAIN(TestGeometryUtils)
#include "tst_geometryutils.moc"
