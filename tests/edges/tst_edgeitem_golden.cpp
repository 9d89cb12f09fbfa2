// Routes of whole scenes of real entity boxes: fixed arrangements against stored routes,
// and the scene query for obstacles against the full walk on seeded random diagrams.
#include "diagramgenerator.h"
#include "edgeitem.h"
#include "edgetestutil.h"
#include "entityitem.h"
#include "routegeometry.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QFile>
#include <QGraphicsScene>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSaveFile>
#include <QtTest>

namespace {

const char GoldenFile[] = "edges/data/edge_routes_golden.json";

// Set VELMORA_RECORD_EDGE_ROUTES=1 to write the current routes into the data file.
bool recording()
{
    return qEnvironmentVariableIntValue("VELMORA_RECORD_EDGE_ROUTES") == 1;
}

QJsonArray routeJson(const QList<QPointF> &route)
{
    QJsonArray array;
    for (const QPointF &p : route)
        array.append(QJsonArray{ p.x(), p.y() });
    return array;
}

QList<QPointF> routeFromJson(const QJsonArray &array)
{
    QList<QPointF> route;
    for (const QJsonValue &v : array)
        route.append(QPointF(v.toArray().at(0).toDouble(), v.toArray().at(1).toDouble()));
    return route;
}

QList<EdgeItem *> buildScene(QGraphicsScene *scene, const QJsonObject &description)
{
    QList<EntityItem *> boxes;
    for (const QJsonValue &v : description.value("boxes").toArray()) {
        const QJsonObject b = v.toObject();
        QStringList keys;
        QStringList others;
        for (int i = 0; i < b.value("keys").toInt(); ++i)
            keys.append(QStringLiteral("key_%1").arg(i));
        for (int i = 0; i < b.value("others").toInt(); ++i)
            others.append(QStringLiteral("column_%1").arg(i));
        boxes.append(edgetest::addBox(scene, b.value("title").toString(),
                                      QPointF(b.value("x").toDouble(), b.value("y").toDouble()), keys, others));
    }
    QList<EdgeItem *> edges;
    for (const QJsonValue &v : description.value("edges").toArray()) {
        const QJsonObject e = v.toObject();
        edges.append(edgetest::addEdge(scene, boxes.at(e.value("from").toInt()), boxes.at(e.value("to").toInt())));
    }
    return edges;
}

void writePicture(QGraphicsScene *scene, const QString &name)
{
    const QRectF area = scene->itemsBoundingRect().adjusted(-30, -30, 30, 30);
    QImage image(area.size().toSize(), QImage::Format_ARGB32);
    image.fill(ThemeManager::instance()->colors().background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene->render(&painter, QRectF(QPointF(), area.size()), area);
    painter.end();
    image.save(testsupport::outputDir("tst_edgeitem_golden") + QLatin1Char('/') + name + QStringLiteral(".png"));
}

bool sameRoute(const QList<QPointF> &a, const QList<QPointF> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (std::abs(a.at(i).x() - b.at(i).x()) > 1e-6 || std::abs(a.at(i).y() - b.at(i).y()) > 1e-6)
            return false;
    }
    return true;
}

} // namespace

class tst_EdgeItemGolden : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void goldenScenes();
    void sceneQueryMatchesFullWalk_data();
    void sceneQueryMatchesFullWalk();
};

void tst_EdgeItemGolden::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_EdgeItemGolden::init()
{
    edgetest::resetRouting();
}

void tst_EdgeItemGolden::cleanup()
{
    edgetest::resetRouting();
}

void tst_EdgeItemGolden::goldenScenes()
{
    QFile file(testsupport::dataPath(GoldenFile));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject document = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonArray scenes = document.value("scenes").toArray();
    QVERIFY(scenes.size() >= 3);

    for (qsizetype s = 0; s < scenes.size(); ++s) {
        QJsonObject description = scenes.at(s).toObject();
        const QString name = description.value("name").toString();
        QGraphicsScene scene;
        const QList<EdgeItem *> edges = buildScene(&scene, description);
        writePicture(&scene, name);

        QJsonArray edgeObjects = description.value("edges").toArray();
        for (qsizetype e = 0; e < edges.size(); ++e) {
            QJsonObject edgeObject = edgeObjects.at(e).toObject();
            const QList<QPointF> route = edges.at(e)->points;
            QVERIFY2(route.size() >= 2, qPrintable(name));
            QVERIFY2(routing::isRectilinearRoute(route), qPrintable(name));
            if (recording()) {
                edgeObject.insert("route", routeJson(route));
                edgeObjects.replace(e, edgeObject);
                continue;
            }
            const QList<QPointF> expected = routeFromJson(edgeObject.value("route").toArray());
            QVERIFY2(sameRoute(route, expected),
                     qPrintable(QStringLiteral("%1, edge %2: got %3").arg(name).arg(e)
                                    .arg(QString::fromUtf8(QJsonDocument(routeJson(route)).toJson(QJsonDocument::Compact)))));
        }
        description.insert("edges", edgeObjects);
        scenes.replace(s, description);
        edgetest::clearScene(&scene);
    }

    if (recording()) {
        document.insert("scenes", scenes);
        QSaveFile out(testsupport::dataPath(GoldenFile));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(document).toJson(QJsonDocument::Indented));
        QVERIFY(out.commit());
        QSKIP("Routes recorded");
    }
}

void tst_EdgeItemGolden::sceneQueryMatchesFullWalk_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<double>("pitch");
    for (quint64 seed = 1; seed <= 6; ++seed) {
        // Tight grids give overlapping and touching boxes, loose ones long detours.
        const double pitch = seed % 2 ? 190 : 260;
        QTest::addRow("seed %llu", seed) << seed << pitch;
    }
}

void tst_EdgeItemGolden::sceneQueryMatchesFullWalk()
{
    QFETCH(quint64, seed);
    QFETCH(double, pitch);
    QGraphicsScene scene;
    diagramgenerator::DiagramPlan plan;
    plan.columns = 9;
    plan.rows = 7;
    plan.views = 5;
    plan.edges = 110;
    plan.selfRelationships = 3;
    plan.viewLinks = 6;
    plan.cellWidth = pitch;
    plan.cellHeight = pitch * 0.9;
    plan.seed = seed;
    const diagramgenerator::Diagram diagram = diagramgenerator::buildDiagram(&scene, plan);
    QCOMPARE(diagram.boxes.size(), 63);
    QCOMPARE(diagram.edges.size(), 110);

    int compared = 0;
    for (EdgeItem *edge : diagram.edges) {
        if (edge->from == edge->to)
            continue;
        // The slots' own sides, then every side turned once: detours of all kinds.
        for (int turn = 0; turn < 2; ++turn) {
            if (turn == 1) {
                edge->fromSlot->setSide(EntitySide((int(edge->fromSlot->side()) + 1) % 4));
                edge->toSlot->setSide(EntitySide((int(edge->toSlot->side()) + 3) % 4));
                edge->fromSlot->constrainToParent();
                edge->toSlot->constrainToParent();
            }
            EdgeItem::setFullObstacleWalk(false);
            const QList<QRectF> near = edge->obstacleRects();
            const QList<QPointF> queried = edge->computeRoute();
            EdgeItem::setFullObstacleWalk(true);
            const QList<QRectF> all = edge->obstacleRects();
            const QList<QPointF> walked = edge->computeRoute();
            QCOMPARE(queried, walked);
            QCOMPARE(all.size(), diagram.boxes.size() - 2);
            for (const QRectF &r : near)
                QVERIFY(all.contains(r));
            ++compared;
        }
    }
    QVERIFY(compared > 180);
    edgetest::clearScene(&scene);
}

QTEST_MAIN(tst_EdgeItemGolden)
#include "tst_edgeitem_golden.moc"
