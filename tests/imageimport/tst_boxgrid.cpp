#include "boxgrid.h"
#include "recognitionsteps.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <limits>

namespace {

QList<int> allContaining(const QList<QRectF> &boxes, const QPointF &p, double grow)
{
    QList<int> found;
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        const QRectF &b = boxes.at(i);
        if (!isFiniteRect(b) || !isFinitePoint(p))
            continue;
        const double left = b.x() - grow;
        const double top = b.y() - grow;
        if (p.x() >= left && p.x() <= left + (b.width() + 2 * grow) && p.y() >= top
            && p.y() <= top + (b.height() + 2 * grow)) {
            found.append(int(i));
        }
    }
    return found;
}

// Boxes of a drawing at one of several scales, some overlapping, some huge, some with
// sizes or places that are not numbers, and points on, near and between them.
struct Scene
{
    QList<QRectF> boxes;
    QList<QPointF> points;
};

Scene randomScene(QRandomGenerator &random)
{
    const double scale = std::pow(10.0, random.bounded(6) - 1);
    Scene scene;
    const int count = 1 + random.bounded(120);
    for (int i = 0; i < count; ++i) {
        const double x = random.bounded(2000.0) * scale;
        const double y = random.bounded(2000.0) * scale;
        QRectF box(x, y, (1 + random.bounded(300.0)) * scale, (1 + random.bounded(200.0)) * scale);
        switch (random.bounded(40)) {
        case 0: box.setWidth(1e7 * scale); break;
        case 1: box = QRectF(x, y, -50, 30); break;
        case 2: box = QRectF(std::numeric_limits<double>::quiet_NaN(), y, 10, 10); break;
        case 3: box = QRectF(x, y, 0, 0); break;
        case 4: box = QRectF(-1e300, 0, 2e300, 10); break;
        default: break;
        }
        scene.boxes.append(box);
    }
    for (int i = 0; i < 400; ++i) {
        const QRectF &box = scene.boxes.at(random.bounded(int(scene.boxes.size())));
        const double dx = (random.bounded(80.0) - 40) * (random.bounded(2) ? 1 : scale);
        const double dy = (random.bounded(80.0) - 40) * (random.bounded(2) ? 1 : scale);
        switch (random.bounded(4)) {
        case 0: scene.points.append(box.topLeft() + QPointF(dx, dy)); break;
        case 1: scene.points.append(box.bottomRight() + QPointF(dx, dy)); break;
        case 2: scene.points.append(QPointF(box.right() + 26, box.center().y())); break;
        default: scene.points.append(QPointF(random.bounded(2400.0) * scale, random.bounded(2400.0) * scale)); break;
        }
    }
    return scene;
}

} // namespace

class TestBoxGrid : public QObject
{
    Q_OBJECT

private slots:
    void answersAsASearchOverAllBoxes();
    void emptyAndAbsent();
};

void TestBoxGrid::answersAsASearchOverAllBoxes()
{
    QRandomGenerator random(3210);
    int found = 0;
    for (int round = 0; round < 200; ++round) {
        const Scene scene = randomScene(random);
        const BoxGrid grid(scene.boxes, 26.0);
        for (const QPointF &p : scene.points) {
            for (double limit : {26.0, 12.5, 0.0}) {
                const int expected = nearestBoxIndex(scene.boxes, p, limit);
                QCOMPARE(grid.nearest(p, limit), expected);
                found += expected >= 0;
            }
            QList<int> containing = grid.containing(p, 3.0);
            std::sort(containing.begin(), containing.end());
            QCOMPARE(containing, allContaining(scene.boxes, p, 3.0));
        }
    }
    QVERIFY2(found > 10000, "the points should mostly lie near some box");
}

void TestBoxGrid::emptyAndAbsent()
{
    const BoxGrid none({}, 26.0);
    QCOMPARE(none.nearest(QPointF(0, 0), 26.0), -1);
    QVERIFY(none.containing(QPointF(0, 0), 3.0).isEmpty());

    const BoxGrid one({QRectF(0, 0, 10, 10)}, 26.0);
    QCOMPARE(one.nearest(QPointF(35.9, 5), 26.0), 0);
    QCOMPARE(one.nearest(QPointF(36, 5), 26.0), -1);
    QCOMPARE(one.nearest(QPointF(std::numeric_limits<double>::quiet_NaN(), 5), 26.0), -1);
    QCOMPARE(one.nearest(QPointF(std::numeric_limits<double>::infinity(), 5), 26.0), -1);
}

QTEST_GUILESS_MAIN(TestBoxGrid)
#include "tst_boxgrid.moc"
