#include "scenetestutil.h"

#include "diagramgenerator.h"
#include "sceneindexprobe.h"
#include "edgeitem.h"
#include "erscene.h"
#include "groupitem.h"
#include "routebatch.h"
#include "slotitem.h"
#include "testsupport.h"
#include "textitem.h"

#include <QFile>
#include <QGraphicsRectItem>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QPainter>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUuid>

using scenetest::addBox;

// The diagram exchange document: what the scene writes, what it makes of what it reads
// (bad input included), and that a document survives write, read and write unchanged.
class tst_ERSceneDocument : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void loadsWhatDocumentHolds_data();
    void loadsWhatDocumentHolds();
    void emptySceneWritesEmptyArrays();
    void viewLinkWrittenWithKindAndReadBack();
    void storedRouteKeptWhileRouteLessEdgeRouted();
    void routeLessEdgesGetTheRoutesTheyWereWrittenWith();
    void loadRoutesSameOnAnyNumberOfThreads_data();
    void loadRoutesSameOnAnyNumberOfThreads();

    void entityWithoutUsableIdGetsUuid_data();
    void entityWithoutUsableIdGetsUuid();
    void repeatedEntityIdKeptByLaterBox();
    void repeatedEdgeIdGetsFreshId();
    void nestedLoadAndClearRefusedDuringLoad_data();
    void nestedLoadAndClearRefusedDuringLoad();

    void fixtureSurvivesWriteReadWrite();
    void loadedStackingFollowsDocument();
    void hugeSpreadLoadsIntoBoundedSceneRect();
    void loadedSceneFindsWhatAWalkOverItsItemsFinds_data();
    void loadedSceneFindsWhatAWalkOverItsItemsFinds();
    void loadedSceneLooksOnlyNearTheAreaAskedAbout();
    void loadSaveAndClearLogNothing();
};

namespace {

QJsonObject parse(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("test document does not parse: %s", qPrintable(error.errorString()));
    return document.object();
}

QJsonObject readFixture(const QString &name)
{
    QFile file(testsupport::dataPath(QStringLiteral("scene/data/") + name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return parse(file.readAll());
}

template<typename Item>
QList<Item *> itemsOf(const QGraphicsScene &scene)
{
    QList<Item *> found;
    const QList<QGraphicsItem *> all = scene.items(Qt::DescendingOrder);
    for (QGraphicsItem *item : all) {
        if (item->type() == Item::Type)
            found.append(static_cast<Item *>(item));
    }
    return found;
}

int annotationCount(const QGraphicsScene &scene)
{
    return int(itemsOf<TextItem>(scene).size() + itemsOf<GroupItem>(scene).size());
}

bool isUuid(const QString &text)
{
    return !QUuid::fromString(text).isNull() && !text.startsWith(QLatin1Char('{'));
}

QStringList ids(const QJsonArray &array)
{
    QStringList result;
    for (const QJsonValue &value : array)
        result.append(value.toObject().value(QStringLiteral("id")).toString());
    return result;
}

} // namespace

void tst_ERSceneDocument::initTestCase()
{
    testsupport::registerBundledMonoFont();
    qRegisterMetaType<EntityItem *>();
    qRegisterMetaType<EdgeItem *>();
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void tst_ERSceneDocument::loadsWhatDocumentHolds_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("titles");   // entity titles, document order
    QTest::addColumn<int>("edges");
    QTest::addColumn<int>("annotations");
    QTest::addColumn<QString>("dialect");
    QTest::addColumn<QStringList>("warnings"); // patterns, in order

    const QByteArray two = R"("entities": [{"id": "a", "title": "A", "x": 0, "y": 0},
                                           {"id": "b", "title": "B", "x": 400, "y": 0}])";
    const QString unknown = QStringLiteral("^Edge references unknown entity: \"%1\" -> \"%2\"$");

    QTest::newRow("empty object") << QByteArray("{}") << QStringList() << 0 << 0 << QString()
                                  << QStringList();
    QTest::newRow("entities only") << "{" + two + R"(, "dialect": "SQLite"})"
                                   << QStringList({"A", "B"}) << 0 << 0 << "SQLite" << QStringList();
    QTest::newRow("other version, no type")
        << "{" + two + R"(, "version": "7.5", "edges": [{"from": "a", "to": "b"}]})"
        << QStringList({"A", "B"}) << 1 << 0 << QString() << QStringList();
    QTest::newRow("no entities member")
        << QByteArray(R"({"edges": [{"from": "a", "to": "b"}, {"from": "b", "to": "a"}]})")
        << QStringList() << 0 << 0 << QString()
        << QStringList({unknown.arg("a", "b"), unknown.arg("b", "a")});
    QTest::newRow("members of the wrong type")
        << QByteArray(R"({"entities": 5, "edges": "x", "annotations": {"kind": "text-item"}, "dialect": 3})")
        << QStringList() << 0 << 0 << QString() << QStringList();
    QTest::newRow("unknown edge end")
        << "{" + two + R"(, "edges": [{"from": "a", "to": "zz"}, {"from": "a", "to": "b"}],
                           "annotations": [{"kind": "text-item", "text": "note"}]})"
        << QStringList({"A", "B"}) << 1 << 1 << QString() << QStringList({unknown.arg("a", "zz")});
    QTest::newRow("self relationship")
        << "{" + two + R"(, "edges": [{"from": "a", "to": "a"}, {"from": "a", "to": "a"}]})"
        << QStringList({"A", "B"}) << 2 << 0 << QString() << QStringList();
    QTest::newRow("title defaults")
        << QByteArray(R"({"entities": [{"id": "a"}, {"id": "b", "x": 5}, "text", 7, {"title": "named"}]})")
        << QStringList({"Entity", "Entity", "Entity", "Entity", "named"}) << 0 << 0 << QString()
        << QStringList();
    QTest::newRow("elements that are not objects")
        << "{" + two + R"(, "edges": [3, "a"], "annotations": [1, "text-item", {"kind": "arrow"},
                           {"kind": "group-item"}, {"text": "no kind"}]})"
        << QStringList({"A", "B"}) << 0 << 1 << QString()
        << QStringList({unknown.arg("", ""), unknown.arg("", "")});
    QTest::newRow("unknown members ignored")
        << "{" + two + R"(, "_linkCount": 2, "_links": [[0, 1]], "edges": [{"from": "a", "to": "b", "label": "x"}]})"
        << QStringList({"A", "B"}) << 1 << 0 << QString() << QStringList();
}

void tst_ERSceneDocument::loadsWhatDocumentHolds()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, titles);
    QFETCH(int, edges);
    QFETCH(int, annotations);
    QFETCH(QString, dialect);
    QFETCH(QStringList, warnings);

    ERScene scene;
    scene.dialect = QStringLiteral("Oracle");
    addBox(&scene, QStringLiteral("left over"), {});
    QSignalSpy entitiesAdded(&scene, &ERScene::entityAdded);
    QSignalSpy edgesAdded(&scene, &ERScene::edgeAdded);
    for (const QString &warning : std::as_const(warnings))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));

    QVERIFY(scene.loadFromJson(parse(document)));
    QStringList loadedTitles;
    for (const QList<QVariant> &arguments : std::as_const(entitiesAdded))
        loadedTitles.append(arguments.at(0).value<EntityItem *>()->title());
    QCOMPARE(loadedTitles, titles);
    QCOMPARE(int(itemsOf<EntityItem>(scene).size()), int(titles.size()));
    QCOMPARE(int(itemsOf<EdgeItem>(scene).size()), edges);
    QCOMPARE(int(edgesAdded.size()), edges);
    QCOMPARE(annotationCount(scene), annotations);
    QCOMPARE(scene.dialect, dialect);
    QVERIFY(!EdgeItem::isRoutingSuppressed());
    QVERIFY(!scene.isStructuralChangeInProgress());
    for (EdgeItem *edge : itemsOf<EdgeItem>(scene))
        QVERIFY(edge->points.size() >= 2);
}

void tst_ERSceneDocument::emptySceneWritesEmptyArrays()
{
    ERScene scene;
    scene.dialect = QStringLiteral("DuckDB");
    const QJsonObject document = scene.toJson();
    QCOMPARE(document.keys(), QStringList({"annotations", "dialect", "edges", "entities", "type",
                                           "version"}));
    QCOMPARE(document.value("version").toString(), QStringLiteral("1.0"));
    QCOMPARE(document.value("type").toString(), QStringLiteral("er-diagram"));
    QCOMPARE(document.value("dialect").toString(), QStringLiteral("DuckDB"));
    for (const char *key : {"entities", "edges", "annotations"}) {
        QVERIFY(document.value(QLatin1String(key)).isArray());
        QVERIFY(document.value(QLatin1String(key)).toArray().isEmpty());
    }
}

void tst_ERSceneDocument::viewLinkWrittenWithKindAndReadBack()
{
    ERScene scene;
    EntityItem *table = addBox(&scene, QStringLiteral("customer"),
                               {{"customer_id", "int", true}, {"name", "text"}});
    EntityItem *view = addBox(&scene, QStringLiteral("summary"), {}, QPointF(0, 300), true);
    EntityItem *other = addBox(&scene, QStringLiteral("order"), {{"order_id", "int", true}},
                               QPointF(400, 0));
    EdgeItem *link = scene.createEdge(table, view, true);
    QVERIFY(link && link->isEntityViewEdge());
    QCOMPARE(view->attributeCount(), 2); // the view inherits the table's rows
    QVERIFY(view->attributes.at(0).inherited);
    QCOMPARE(view->attributes.at(0).fkEdgeId, link->id);
    QCOMPARE(table->attributeCount(), 2);
    scene.createEdge(table, other, false);

    const QJsonObject document = scene.toJson();
    const QJsonArray edges = document.value("edges").toArray();
    QCOMPARE(edges.size(), 2);
    int linkObjects = 0;
    for (const QJsonValue &value : edges) {
        const QJsonObject edge = value.toObject();
        if (edge.value("id").toString() == link->id) {
            QCOMPARE(edge.value("kind").toString(), QStringLiteral("entity-view-edge"));
            ++linkObjects;
        } else {
            QVERIFY(!edge.contains("kind"));
        }
    }
    QCOMPARE(linkObjects, 1);

    // The reader picks the class from the boxes, not from "kind".
    QJsonObject withoutKind = document;
    QJsonArray stripped;
    for (const QJsonValue &value : edges) {
        QJsonObject edge = value.toObject();
        edge.remove("kind");
        stripped.append(edge);
    }
    withoutKind.insert("edges", stripped);
    for (const QJsonObject &input : {document, withoutKind}) {
        ERScene loaded;
        QVERIFY(loaded.loadFromJson(input));
        int views = 0;
        for (EdgeItem *edge : itemsOf<EdgeItem>(loaded)) {
            QCOMPARE(edge->isEntityViewEdge(), edge->id == link->id);
            views += edge->isEntityViewEdge() ? 1 : 0;
        }
        QCOMPARE(views, 1);
    }
}

void tst_ERSceneDocument::storedRouteKeptWhileRouteLessEdgeRouted()
{
    const QJsonObject document = parse(R"({
        "entities": [{"id": "a", "title": "A", "x": 0, "y": 0},
                     {"id": "b", "title": "B", "x": 500, "y": 300}],
        "edges": [{"id": "stored", "from": "a", "to": "b",
                   "fromSlot": {"side": 1, "x": 150, "y": 35},
                   "toSlot": {"side": 0, "x": 0, "y": 35},
                   "points": [{"x": 150, "y": 35}, {"x": 320, "y": 35}, {"x": 500, "y": 335}]},
                  {"id": "fresh", "from": "a", "to": "b"}]})");
    ERScene scene;
    QVERIFY(scene.loadFromJson(document));
    EdgeItem *stored = nullptr;
    EdgeItem *fresh = nullptr;
    for (EdgeItem *edge : itemsOf<EdgeItem>(scene))
        (edge->id == QLatin1String("stored") ? stored : fresh) = edge;
    QVERIFY(stored && fresh);
    // Three points stay three: the corner follows the stored first segment (horizontal).
    QCOMPARE(stored->points.size(), 3);
    QCOMPARE(stored->points.first(), stored->fromSlot->center());
    QCOMPARE(stored->points.last(), stored->toSlot->center());
    QCOMPARE(stored->points.at(1), QPointF(stored->toSlot->center().x(), stored->fromSlot->center().y()));
    QVERIFY(fresh->points.size() >= 2);
    QCOMPARE(fresh->points.first(), fresh->fromSlot->center());
    QCOMPARE(fresh->points.last(), fresh->toSlot->center());
}

void tst_ERSceneDocument::routeLessEdgesGetTheRoutesTheyWereWrittenWith()
{
    // The load routes over an index of the loaded boxes instead of asking the scene; the
    // routes must be the ones the scene's own look-ups gave before writing.
    ERScene written;
    diagramgenerator::DiagramPlan plan;
    plan.columns = 12;
    plan.rows = 8;
    plan.views = 6;
    plan.edges = 160;
    plan.selfRelationships = 4;
    plan.viewLinks = 6;
    plan.seed = 11;
    const diagramgenerator::Diagram diagram = diagramgenerator::buildDiagram(&written, plan);
    QCoreApplication::processEvents(); // the scene rectangle grows around the boxes
    QHash<QString, QList<QPointF>> routes;
    for (EdgeItem *edge : diagram.edges) {
        edge->updatePath();
        routes.insert(edge->id, edge->points);
    }
    QJsonObject document = written.toJson();
    QJsonArray edges = document.value("edges").toArray();
    for (qsizetype i = 0; i < edges.size(); ++i) {
        QJsonObject edge = edges.at(i).toObject();
        edge.remove("points");
        edges.replace(i, edge);
    }
    document.insert("edges", edges);

    ERScene loaded;
    QVERIFY(loaded.loadFromJson(document));
    const QList<EdgeItem *> loadedEdges = itemsOf<EdgeItem>(loaded);
    QCOMPARE(loadedEdges.size(), diagram.edges.size());
    int compared = 0;
    for (EdgeItem *edge : loadedEdges) {
        // Loops route without obstacles (and the generator leaves their slots off the sides
        // until a load puts them there).
        if (edge->from == edge->to)
            continue;
        QVERIFY2(edge->points == routes.value(edge->id), qPrintable(edge->id));
        ++compared;
    }
    QVERIFY(compared > 100);
}

namespace {

// A generated diagram written without any route, so that the load routes every edge; long
// lines among many boxes make it search around them.
QJsonObject routeLessGeneratedDocument()
{
    ERScene written;
    diagramgenerator::DiagramPlan plan;
    plan.columns = 16;
    plan.rows = 12;
    plan.views = 8;
    plan.edges = 300;
    plan.selfRelationships = 6;
    plan.viewLinks = 8;
    plan.seed = 29;
    diagramgenerator::buildDiagram(&written, plan);
    QJsonObject document = written.toJson();
    QJsonArray edges = document.value("edges").toArray();
    for (qsizetype i = 0; i < edges.size(); ++i) {
        QJsonObject edge = edges.at(i).toObject();
        edge.remove("points");
        edges.replace(i, edge);
    }
    document.insert("edges", edges);
    return document;
}

QHash<QString, QList<QPointF>> routesLoadedOn(int threads, const QJsonObject &document)
{
    RouteBatch::setThreadCount(threads);
    const auto restore = qScopeGuard([] { RouteBatch::setThreadCount(0); });
    ERScene scene;
    if (!scene.loadFromJson(document))
        return {};
    QHash<QString, QList<QPointF>> routes;
    for (EdgeItem *edge : itemsOf<EdgeItem>(scene))
        routes.insert(edge->id, edge->points);
    return routes;
}

} // namespace

void tst_ERSceneDocument::loadRoutesSameOnAnyNumberOfThreads_data()
{
    QTest::addColumn<int>("threads");
    QTest::newRow("2 threads") << 2;
    QTest::newRow("3 threads") << 3;
    QTest::newRow("8 threads") << 8;
}

void tst_ERSceneDocument::loadRoutesSameOnAnyNumberOfThreads()
{
    // Whichever thread works a route out, and in whatever order they finish, each edge
    // gets the route of a load on one thread.
    QFETCH(int, threads);
    const QJsonObject document = routeLessGeneratedDocument();
    const QHash<QString, QList<QPointF>> alone = routesLoadedOn(1, document);
    QCOMPARE(alone.size(), 300);
    const QHash<QString, QList<QPointF>> shared = routesLoadedOn(threads, document);
    QCOMPARE(shared.size(), alone.size());
    for (auto it = alone.cbegin(); it != alone.cend(); ++it) {
        QVERIFY2(it.value().size() >= 2, qPrintable(it.key()));
        QVERIFY2(shared.value(it.key()) == it.value(), qPrintable(it.key()));
    }
}

void tst_ERSceneDocument::entityWithoutUsableIdGetsUuid_data()
{
    QTest::addColumn<QByteArray>("entity");
    QTest::newRow("no id") << QByteArray(R"({"title": "T"})");
    QTest::newRow("empty id") << QByteArray(R"({"title": "T", "id": ""})");
    QTest::newRow("number id") << QByteArray(R"({"title": "T", "id": 42})");
    QTest::newRow("null id") << QByteArray(R"({"title": "T", "id": null})");
    QTest::newRow("not an object") << QByteArray(R"("T")");
}

void tst_ERSceneDocument::entityWithoutUsableIdGetsUuid()
{
    QFETCH(QByteArray, entity);
    ERScene scene;
    QVERIFY(scene.loadFromJson(parse(R"({"entities": [)" + entity
                                     + R"(, {"id": "other", "title": "O", "x": 400}]})")));
    QList<EntityItem *> boxes = itemsOf<EntityItem>(scene);
    QCOMPARE(boxes.size(), 2);
    EntityItem *box = boxes.at(0)->storedId == QLatin1String("other") ? boxes.at(1) : boxes.at(0);
    EdgeItem *edge = scene.createEdge(box, boxes.at(0) == box ? boxes.at(1) : boxes.at(0), false);
    QVERIFY(edge);

    const QJsonObject first = scene.toJson();
    const QStringList written = ids(first.value("entities").toArray());
    QCOMPARE(written.size(), 2);
    QVERIFY(written.contains(QStringLiteral("other")));
    const QString fresh = written.at(written.indexOf(QStringLiteral("other")) == 0 ? 1 : 0);
    QVERIFY2(isUuid(fresh), qPrintable(fresh));
    const QJsonObject edgeObject = first.value("edges").toArray().at(0).toObject();
    QCOMPARE(edgeObject.value("from").toString(), fresh); // never an address
    QCOMPARE(scene.toJson(), first);                     // and it stays

    ERScene reloaded;
    QVERIFY(reloaded.loadFromJson(first));
    QCOMPARE(itemsOf<EdgeItem>(reloaded).size(), 1);
}

void tst_ERSceneDocument::repeatedEntityIdKeptByLaterBox()
{
    ERScene scene;
    QSignalSpy added(&scene, &ERScene::entityAdded);
    QStringList announcedIds; // as the listeners saw them
    connect(&scene, &ERScene::entityAdded, this, [&](EntityItem *entity) { announcedIds.append(entity->id()); });
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Duplicate entity id: \"dup\"$"));
    QVERIFY(scene.loadFromJson(parse(R"({"entities": [
        {"id": "dup", "title": "first", "x": 0},
        {"id": "dup", "title": "second", "x": 300},
        {"id": "c", "title": "third", "x": 600}],
        "edges": [{"id": "e", "from": "dup", "to": "c"}]})")));
    QCOMPARE(added.size(), 3);
    auto *first = added.at(0).at(0).value<EntityItem *>();
    auto *second = added.at(1).at(0).value<EntityItem *>();
    QCOMPARE(second->id(), QStringLiteral("dup"));
    QVERIFY(isUuid(first->id()));
    QCOMPARE(announcedIds, (QStringList{first->id(), QStringLiteral("dup"), QStringLiteral("c")}));
    const QList<EdgeItem *> edges = itemsOf<EdgeItem>(scene);
    QCOMPARE(edges.size(), 1);
    QCOMPARE(edges.at(0)->from, second);
    QCOMPARE(ids(scene.toJson().value("entities").toArray()).count(QStringLiteral("dup")), 1);
}

void tst_ERSceneDocument::repeatedEdgeIdGetsFreshId()
{
    ERScene scene;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Duplicate edge id: \"e1\"$"));
    QVERIFY(scene.loadFromJson(parse(R"({"entities": [
        {"id": "a", "title": "A", "x": 0}, {"id": "b", "title": "B", "x": 300}],
        "edges": [{"id": "e1", "from": "a", "to": "b", "startCard": 0},
                  {"id": "e1", "from": "b", "to": "a", "startCard": 2},
                  {"id": "e2", "from": "a", "to": "a"}]})")));
    QStringList edgeIds;
    EdgeItem *second = nullptr;
    for (EdgeItem *edge : itemsOf<EdgeItem>(scene)) {
        edgeIds.append(edge->id);
        if (edge->startCard == 2)
            second = edge;
    }
    QCOMPARE(edgeIds.size(), 3);
    QCOMPARE(edgeIds.count(QStringLiteral("e1")), 1);
    QVERIFY(edgeIds.contains(QStringLiteral("e2")));
    QVERIFY(second);
    QVERIFY(isUuid(second->id));
}

void tst_ERSceneDocument::nestedLoadAndClearRefusedDuringLoad_data()
{
    QTest::addColumn<bool>("fromTimer"); // else from a signal of the load itself
    QTest::newRow("from the event loop") << true;
    QTest::newRow("from entityAdded") << false;
}

void tst_ERSceneDocument::nestedLoadAndClearRefusedDuringLoad()
{
    QFETCH(bool, fromTimer);
    QJsonArray entities;
    for (int i = 0; i < 20; ++i)
        entities.append(QJsonObject{{"id", QStringLiteral("e%1").arg(i)},
                                    {"title", QStringLiteral("t%1").arg(i)},
                                    {"x", 200 * i}});
    QJsonArray edges;
    for (int i = 0; i + 1 < 20; ++i)
        edges.append(QJsonObject{{"from", QStringLiteral("e%1").arg(i)},
                                 {"to", QStringLiteral("e%1").arg(i + 1)}});
    const QJsonObject document{{"entities", entities}, {"edges", edges}, {"dialect", "MySQL"}};
    const QJsonObject other = parse(R"({"entities": [{"id": "x", "title": "X"}], "dialect": "CSV files"})");

    ERScene scene;
    int nestedCalls = 0;
    bool nestedResult = true;
    auto interfere = [&] {
        if (nestedCalls++ > 0)
            return;
        QTest::ignoreMessage(QtWarningMsg, "loadFromJson: refused, the scene is being rebuilt");
        nestedResult = scene.loadFromJson(other);
        scene.clearScene();
    };
    if (fromTimer)
        QTimer::singleShot(0, &scene, interfere);
    else
        connect(&scene, &ERScene::entityAdded, &scene, interfere);

    QVERIFY(scene.loadFromJson(document));
    QCOMPARE(nestedCalls > 0, true);
    QVERIFY(!nestedResult);
    QCOMPARE(itemsOf<EntityItem>(scene).size(), 20);
    QCOMPARE(itemsOf<EdgeItem>(scene).size(), 19);
    QCOMPARE(scene.dialect, QStringLiteral("MySQL"));
    QVERIFY(!scene.isStructuralChangeInProgress());
    QVERIFY(!EdgeItem::isRoutingSuppressed());

    // Afterwards both work again.
    scene.clearScene();
    QVERIFY(scene.items().isEmpty());
    QVERIFY(scene.loadFromJson(other));
    QCOMPARE(itemsOf<EntityItem>(scene).size(), 1);
}

void tst_ERSceneDocument::fixtureSurvivesWriteReadWrite()
{
    const QJsonObject fixture = readFixture(QStringLiteral("mixed_diagram.json"));
    ERScene first;
    QVERIFY(first.loadFromJson(fixture));
    const QJsonObject written = first.toJson();
    QCOMPARE(ids(written.value("entities").toArray()), ids(fixture.value("entities").toArray()));
    QCOMPARE(written.value("edges").toArray().size(), fixture.value("edges").toArray().size());
    QCOMPARE(written.value("dialect").toString(), QStringLiteral("PostgreSQL"));

    ERScene second;
    QVERIFY(second.loadFromJson(written));
    const QJsonObject rewritten = second.toJson();
    // Kept for a person to compare when the two differ.
    const QString dir = testsupport::outputDir(QStringLiteral("tst_erscenedocument"));
    for (const auto &[name, document] : {std::pair{"written", written}, std::pair{"rewritten", rewritten}}) {
        QFile out(dir + QStringLiteral("/mixed_diagram_%1.json").arg(QLatin1String(name)));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(document).toJson());
    }
    ERScene third;
    QVERIFY(third.loadFromJson(rewritten));
    const QJsonObject again = third.toJson();
    for (const char *key : {"entities", "edges", "annotations"}) {
        const QByteArray a = QJsonDocument(written.value(QLatin1String(key)).toArray()).toJson();
        const QByteArray b = QJsonDocument(rewritten.value(QLatin1String(key)).toArray()).toJson();
        const QByteArray c = QJsonDocument(again.value(QLatin1String(key)).toArray()).toJson();
        QVERIFY2(a == b, key);
        QVERIFY2(b == c, key);
    }
    QCOMPARE(rewritten, written);

}

void tst_ERSceneDocument::loadedStackingFollowsDocument()
{
    // Three boxes on one spot, three edges along one line, two notes and two frames on
    // another spot.
    const QByteArray along = R"("fromSlot": {"side": 1, "x": 150, "y": 50}, "toSlot": {"side": 0, "x": 0, "y": 50},
                                "points": [{"x": 150, "y": 50}, {"x": 400, "y": 50}])";
    ERScene scene;
    QSignalSpy edgesAdded(&scene, &ERScene::edgeAdded);
    QVERIFY(scene.loadFromJson(parse(R"({
        "entities": [{"id": "top", "title": "top", "x": 0, "y": 0},
                     {"id": "middle", "title": "middle", "x": 20, "y": 10},
                     {"id": "bottom", "title": "bottom", "x": 40, "y": 20},
                     {"id": "far", "title": "far", "x": 400, "y": 0},
                     {"id": "near", "title": "near", "x": -400, "y": 0}],
        "edges": [{"id": "e1", "from": "near", "to": "far", )" + along + R"(},
                  {"id": "e2", "from": "near", "to": "far", )" + along + R"(},
                  {"id": "e3", "from": "near", "to": "far", )" + along + R"(}],
        "annotations": [{"kind": "text-item", "id": "n1", "x": 0, "y": 300, "text": "first"},
                        {"kind": "group-item", "id": "g1", "x": 0, "y": 500},
                        {"kind": "text-item", "id": "n2", "x": 5, "y": 302, "text": "second"},
                        {"kind": "group-item", "id": "g2", "x": 10, "y": 510}]})")));
    QStringList stacked;
    for (QGraphicsItem *item : scene.items(QPointF(60, 30), Qt::IntersectsItemShape, Qt::DescendingOrder)) {
        if (item->type() == EntityItem::Type)
            stacked.append(static_cast<EntityItem *>(item)->id());
    }
    QCOMPARE(stacked, QStringList({"top", "middle", "bottom"}));
    QStringList edgesStacked;
    for (QGraphicsItem *item : scene.items(QPointF(275, 50), Qt::IntersectsItemShape, Qt::DescendingOrder)) {
        if (item->type() == EdgeItem::Type)
            edgesStacked.append(static_cast<EdgeItem *>(item)->id);
    }
    QCOMPARE(edgesStacked, QStringList({"e1", "e2", "e3"}));
    QStringList announced;
    for (const QList<QVariant> &arguments : std::as_const(edgesAdded))
        announced.append(arguments.at(0).value<EdgeItem *>()->id);
    QCOMPARE(announced, QStringList({"e1", "e2", "e3"}));

    const QJsonObject written = scene.toJson();
    QCOMPARE(ids(written.value("entities").toArray()), QStringList({"top", "middle", "bottom", "far", "near"}));
    QCOMPARE(ids(written.value("edges").toArray()), QStringList({"e1", "e2", "e3"}));
    QCOMPARE(ids(written.value("annotations").toArray()), QStringList({"n1", "n2", "g1", "g2"}));
}

void tst_ERSceneDocument::hugeSpreadLoadsIntoBoundedSceneRect()
{
    ERScene scene;
    QVERIFY(scene.loadFromJson(parse(R"({
        "entities": [{"id": "a", "title": "A", "x": -1000000, "y": -1000000},
                     {"id": "b", "title": "B", "x": 1000000, "y": 1000000},
                     {"id": "c", "title": "C", "x": 1e300, "y": -1e300}],
        "edges": [{"from": "a", "to": "b"}, {"from": "b", "to": "c"}]})")));
    const QRectF rect = scene.sceneRect();
    QVERIFY(rect.contains(QPointF(-1000000, -1000000)));
    QVERIFY(rect.contains(QPointF(1000150, 1000070)));
    QVERIFY(rect.width() < 2100000 && rect.height() < 2100000);
    QCOMPARE(itemsOf<EdgeItem>(scene).size(), 2);

    QImage image(160, 160, QImage::Format_ARGB32);
    QPainter painter(&image);
    scene.render(&painter, QRectF(0, 0, 160, 160), rect);
}

void tst_ERSceneDocument::loadedSceneFindsWhatAWalkOverItsItemsFinds_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("edges");
    QTest::newRow("a few boxes") << 3 << 2 << 4;
    QTest::newRow("a hundred boxes") << 10 << 10 << 60;
}

void tst_ERSceneDocument::loadedSceneFindsWhatAWalkOverItsItemsFinds()
{
    // The load puts the item index back sized to the items it made; every look-up must
    // still find what a walk over all items finds, in the same order.
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(int, edges);
    ERScene written;
    diagramgenerator::DiagramPlan plan;
    plan.columns = columns;
    plan.rows = rows;
    plan.views = 1;
    plan.edges = edges;
    plan.selfRelationships = 1;
    plan.viewLinks = 1;
    plan.seed = 5;
    diagramgenerator::buildDiagram(&written, plan);

    ERScene scene;
    QVERIFY(scene.loadFromJson(written.toJson()));
    QCOMPARE(scene.itemIndexMethod(), QGraphicsScene::BspTreeIndex);
    const QRectF bounds = scene.itemsBoundingRect();
    QList<QRectF> areas;
    QList<QPointF> points;
    for (int i = 0; i <= 12; ++i) {
        for (int j = 0; j <= 12; ++j) {
            const QPointF point(bounds.left() + bounds.width() * i / 12.0 + 0.5,
                                bounds.top() + bounds.height() * j / 12.0 + 0.5);
            points.append(point);
            areas.append(QRectF(point, QSizeF(bounds.width() / 7.0, bounds.height() / 9.0)));
        }
    }
    areas.append(bounds);
    QList<QList<QGraphicsItem *>> indexed;
    for (const QPointF &point : std::as_const(points))
        indexed.append(scene.items(point));
    for (const QRectF &area : std::as_const(areas))
        indexed.append(scene.items(area));
    QVERIFY(!indexed.constLast().isEmpty());

    scene.setItemIndexMethod(QGraphicsScene::NoIndex);
    for (qsizetype i = 0; i < points.size(); ++i)
        QVERIFY2(scene.items(points.at(i)) == indexed.at(i), qPrintable(QString::number(i)));
    for (qsizetype i = 0; i < areas.size(); ++i)
        QVERIFY2(scene.items(areas.at(i)) == indexed.at(points.size() + i),
                 qPrintable(QString::number(i)));
}

void tst_ERSceneDocument::loadedSceneLooksOnlyNearTheAreaAskedAbout()
{
    // The index the load puts back spans the scene rectangle: a look-up in one corner of a
    // large diagram does not weigh an item in the far corner.
    ERScene written;
    diagramgenerator::DiagramPlan plan;
    plan.columns = 12;
    plan.rows = 10;
    plan.views = 1;
    plan.edges = 20;
    plan.selfRelationships = 1;
    plan.viewLinks = 1;
    plan.seed = 9;
    diagramgenerator::buildDiagram(&written, plan);

    ERScene scene;
    QVERIFY(scene.loadFromJson(written.toJson()));
    const QRectF bounds = scene.itemsBoundingRect();
    QVERIFY(testsupport::lookUpPassesOver(&scene, QRectF(bounds.topLeft(), QSizeF(50, 50)),
                                          bounds.bottomRight() - QPointF(20, 20)));
}

void tst_ERSceneDocument::loadSaveAndClearLogNothing()
{
    // Debug lines of the default category on, as in a plain run of the application.
    QLoggingCategory::setFilterRules(QString());
    static QStringList logged;
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &message) { logged.append(message); });
    const auto restore = qScopeGuard([previous] {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    });

    ERScene scene;
    QVERIFY(scene.loadFromJson(readFixture(QStringLiteral("mixed_diagram.json"))));
    const QJsonObject written = scene.toJson();
    const QList<EntityItem *> boxes = itemsOf<EntityItem>(scene);
    QVERIFY(boxes.size() >= 2);
    QVERIFY(scene.createEdge(boxes.at(0), boxes.at(1), false));
    scene.clearScene();
    QVERIFY(scene.loadFromJson(written));

    QVERIFY2(logged.isEmpty(), qPrintable(logged.mid(0, 5).join(QLatin1Char('\n'))));
}

QTEST_MAIN(tst_ERSceneDocument)
#include "tst_erscenedocument.moc"
