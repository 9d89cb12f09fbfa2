#include "diagramitem.h"
#include "modelitem.h"
#include "storeddiagramedits.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QJsonObject parse(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QSet<QString> ids(const QStringList &list)
{
    return QSet<QString>(list.cbegin(), list.cend());
}

} // namespace

// Tables, relationships and columns taken out of, and titles written into, the stored
// documents of a model's diagrams.
class tst_StoredDiagramEdits : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void stripDiagramJson_data();
    void stripDiagramJson();
    void strippingSkipsTheOpenDiagram();
    void columnAppearance_data();
    void columnAppearance();
    void stripColumnKeepsRowsOfOtherColumns();
    void storedEntityFoundInOpenDiagramLast();
    void renameWritesChangedTitlesOnly();

private:
    DiagramItem *addDiagram(const QString &name, const char *json);

    std::unique_ptr<ModelItem> m_model;
};

void tst_StoredDiagramEdits::init()
{
    m_model = std::make_unique<ModelItem>();
}

DiagramItem *tst_StoredDiagramEdits::addDiagram(const QString &name, const char *json)
{
    DiagramItem *diagram = m_model->addDiagram();
    diagram->setName(name);
    diagram->setSceneJson(parse(json));
    return diagram;
}

void tst_StoredDiagramEdits::stripDiagramJson_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("entityIds");
    QTest::addColumn<QStringList>("edgeIds");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray twoTables = R"({"entities":[
        {"id":"a","attributes":[{"name":"id"},{"name":"b_id","fkEdgeId":"e1"},{"name":"c_id","fkEdgeId":"e2"}]},
        {"id":"b","attributes":[{"name":"id"}]}],
        "edges":[{"id":"e1","from":"b","to":"a"},{"id":"e2","from":"c","to":"a"},{"id":"e3","from":"x","to":"b"}],
        "dialect":"SQLite"})";

    QTest::newRow("rows and edge of a relationship")
        << twoTables << QStringList{} << QStringList{"e1"}
        << QByteArray(R"({"dialect":"SQLite","edges":[{"from":"c","id":"e2","to":"a"},{"from":"x","id":"e3","to":"b"}],)"
                      R"("entities":[{"attributes":[{"name":"id"},{"fkEdgeId":"e2","name":"c_id"}],"id":"a"},)"
                      R"({"attributes":[{"name":"id"}],"id":"b"}]})");
    QTest::newRow("entity takes the edges at both its ends")
        << twoTables << QStringList{"b"} << QStringList{}
        << QByteArray(R"({"dialect":"SQLite","edges":[{"from":"c","id":"e2","to":"a"}],)"
                      R"("entities":[{"attributes":[{"name":"id"},{"fkEdgeId":"e1","name":"b_id"},{"fkEdgeId":"e2","name":"c_id"}],"id":"a"}]})");
    QTest::newRow("two empty sets change nothing")
        << QByteArray(R"({"dialect":"SQLite"})") << QStringList{} << QStringList{}
        << QByteArray(R"({"dialect":"SQLite"})");
    QTest::newRow("empty document stays empty")
        << QByteArray("{}") << QStringList{"a"} << QStringList{"e1"} << QByteArray("{}");
    QTest::newRow("missing arrays are written empty")
        << QByteArray(R"({"dialect":"SQLite"})") << QStringList{"a"} << QStringList{}
        << QByteArray(R"({"dialect":"SQLite","edges":[],"entities":[]})");
    QTest::newRow("unreadable elements stay, unreadable arrays read empty")
        << QByteArray(R"({"entities":[7,{"id":3},{"id":"a"},{"id":"k","attributes":"x"}],"edges":{"id":"e1"}})")
        << QStringList{"a", "3"} << QStringList{"e1"}
        << QByteArray(R"({"edges":[],"entities":[7,{"id":3},{"attributes":"x","id":"k"}]})");
}

void tst_StoredDiagramEdits::stripDiagramJson()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, entityIds);
    QFETCH(QStringList, edgeIds);
    QFETCH(QByteArray, expected);
    QJsonObject object = QJsonDocument::fromJson(document).object();
    ::stripDiagramJson(object, ids(entityIds), ids(edgeIds));
    QCOMPARE(compact(object), compact(QJsonDocument::fromJson(expected).object()));
}

void tst_StoredDiagramEdits::strippingSkipsTheOpenDiagram()
{
    const char *json = R"({"entities":[{"id":"a"},{"id":"b"}],"edges":[]})";
    DiagramItem *open = addDiagram(u"A"_s, json);
    DiagramItem *other = addDiagram(u"B"_s, json);
    DiagramItem *empty = addDiagram(u"C"_s, "{}");

    stripStoredDiagrams(m_model.get(), {u"a"_s}, {}, open->id(), true);
    QCOMPARE(compact(open->sceneJson()), compact(parse(json)));
    QCOMPARE(compact(other->sceneJson()), QByteArray(R"({"edges":[],"entities":[{"id":"b"}]})"));
    QVERIFY(empty->sceneJson().isEmpty());

    stripStoredDiagrams(nullptr, {u"b"_s}, {}, QString(), false);
    stripStoredDiagrams(m_model.get(), {u"b"_s}, {}, QString(), false);
    QCOMPARE(compact(open->sceneJson()), QByteArray(R"({"edges":[],"entities":[{"id":"a"}]})"));
}

void tst_StoredDiagramEdits::columnAppearance_data()
{
    QTest::addColumn<QByteArray>("otherDocument");
    QTest::addColumn<QString>("columnId");
    QTest::addColumn<QString>("columnName");
    QTest::addColumn<bool>("appears");

    QTest::newRow("hidden counts") << QByteArray(R"({"entities":[{"id":"t","hiddenColumns":["c1"]}]})")
                                   << "c1" << "note" << true;
    QTest::newRow("row with the id") << QByteArray(R"({"entities":[{"id":"t","attributes":[{"columnId":"c1","name":"x"}]}]})")
                                     << "c1" << "note" << true;
    QTest::newRow("same name with another id")
        << QByteArray(R"({"entities":[{"id":"t","attributes":[{"columnId":"c9","name":"note"}]}]})")
        << "c1" << "note" << true;
    QTest::newRow("name in another case is another column")
        << QByteArray(R"({"entities":[{"id":"t","attributes":[{"columnId":"c9","name":"NOTE"}]}]})")
        << "c1" << "note" << false;
    QTest::newRow("view box does not count")
        << QByteArray(R"({"entities":[{"id":"t","kind":"entity-view","hiddenColumns":["c1"],"attributes":[{"columnId":"c1","name":"note"}]}]})")
        << "c1" << "note" << false;
    QTest::newRow("box of another table") << QByteArray(R"({"entities":[{"id":"u","attributes":[{"columnId":"c1","name":"note"}]}]})")
                                          << "c1" << "note" << false;
    QTest::newRow("empty id and name match nothing")
        << QByteArray(R"({"entities":[{"id":"t","hiddenColumns":[""],"attributes":[{"name":""},{"columnId":""}]}]})")
        << "" << "" << false;
    QTest::newRow("unreadable parts")
        << QByteArray(R"({"entities":[1,{"id":5},{"id":"t","hiddenColumns":"c1","attributes":[2,{"name":7,"columnId":["c1"]}]}]})")
        << "c1" << "7" << false;
}

void tst_StoredDiagramEdits::columnAppearance()
{
    QFETCH(QByteArray, otherDocument);
    QFETCH(QString, columnId);
    QFETCH(QString, columnName);
    QFETCH(bool, appears);
    const char *showsAll = R"({"entities":[{"id":"t","hiddenColumns":["c1"],"attributes":[{"columnId":"c1","name":"note"}]}]})";
    DiagramItem *open = addDiagram(u"A"_s, showsAll);
    addDiagram(u"B"_s, otherDocument.constData());

    QCOMPARE(columnAppearsOnOtherDiagrams(m_model.get(), u"t"_s, columnId, columnName, open->id()), appears);
    QCOMPARE(StoredColumnPresence(m_model.get(), u"t"_s, open->id()).appears(columnId, columnName), appears);
    QVERIFY(!columnAppearsOnOtherDiagrams(nullptr, u"t"_s, columnId, columnName, QString()));
    QVERIFY(!columnAppearsOnOtherDiagrams(m_model.get(), QString(), columnId, columnName, QString()));
}

void tst_StoredDiagramEdits::stripColumnKeepsRowsOfOtherColumns()
{
    const char *open = R"({"entities":[{"id":"t","hiddenColumns":["c1"],"attributes":[{"columnId":"c1","name":"note"}]}]})";
    DiagramItem *current = addDiagram(u"A"_s, open);
    DiagramItem *other = addDiagram(u"B"_s, R"({"entities":[
        {"id":"t","hiddenColumns":["c1"],"attributes":[{"columnId":"c1","name":"a"},{"columnId":"c2","name":"note"},
                                                       {"name":"NOTE"},{"name":"total"}]},
        {"id":"t","kind":"entity-view","attributes":[{"name":"note","columnId":""}]},
        {"id":"u","attributes":[{"name":"note"}]}]})");
    const char *untouched = R"({"entities":[{"id":"t","hiddenColumns":["c3"],"attributes":[{"columnId":"c3","name":"x"}]}]})";
    DiagramItem *third = addDiagram(u"C"_s, untouched);

    stripColumnFromDiagrams(m_model.get(), u"t"_s, u"c1"_s, u"note"_s, current->id());

    QCOMPARE(compact(current->sceneJson()), compact(parse(open)));
    QCOMPARE(compact(third->sceneJson()), compact(parse(untouched)));
    QCOMPARE(compact(other->sceneJson()),
             compact(parse(R"({"entities":[
        {"id":"t","attributes":[{"columnId":"c2","name":"note"},{"name":"NOTE"},{"name":"total"}]},
        {"id":"t","kind":"entity-view","attributes":[]},
        {"id":"u","attributes":[{"name":"note"}]}]})")));
}

void tst_StoredDiagramEdits::storedEntityFoundInOpenDiagramLast()
{
    addDiagram(u"B"_s, R"({"entities":[{"id":"u","title":"later"},{"id":"t","title":"from B"}]})");
    addDiagram(u"A"_s, R"({"entities":[{"id":"t","title":"from A"},{"id":"o","title":"only open"}]})");
    QCOMPARE(storedEntityJson(m_model.get(), u"t"_s).value("title"_L1).toString(), u"from A"_s);
    QCOMPARE(storedEntityJson(m_model.get(), u"o"_s).value("title"_L1).toString(), u"only open"_s);
    QVERIFY(storedEntityJson(m_model.get(), u"none"_s).isEmpty());
    QVERIFY(storedEntityJson(m_model.get(), QString()).isEmpty());
    QVERIFY(storedEntityJson(nullptr, u"t"_s).isEmpty());
}

void tst_StoredDiagramEdits::renameWritesChangedTitlesOnly()
{
    DiagramItem *a = addDiagram(u"A"_s, R"({"entities":[{"id":"t","title":"old"},{"id":"t","kind":"entity-view","title":"old"},{"id":"u","title":"old"}]})");
    DiagramItem *b = addDiagram(u"B"_s, R"({"entities":[{"id":"t","title":"new"}]})");
    renameStoredEntityTitle(m_model.get(), u"t"_s, u"new"_s);
    QCOMPARE(compact(a->sceneJson()),
             compact(parse(R"({"entities":[{"id":"t","title":"new"},{"id":"t","kind":"entity-view","title":"new"},{"id":"u","title":"old"}]})")));
    QCOMPARE(compact(b->sceneJson()), compact(parse(R"({"entities":[{"id":"t","title":"new"}]})")));
    renameStoredEntityTitle(m_model.get(), u"u"_s, QString());
    QCOMPARE(a->sceneJson()["entities"_L1].toArray().at(2).toObject()["title"_L1].toString(), QString());
}

QTEST_GUILESS_MAIN(tst_StoredDiagramEdits)
#include "tst_storeddiagramedits.moc"
