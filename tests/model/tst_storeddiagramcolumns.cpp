#include "columnitem.h"
#include "columnrowmatcher.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "modelcolumnrow.h"
#include "modelitem.h"
#include "storeddiagramcolumns.h"
#include "tableitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

// A table's columns written into the stored boxes of the model's other diagrams.
class tst_StoredDiagramColumns : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_owner = std::make_unique<ModelItem>(); }
    void rowsCarryTypeAndKeyMarks();
    void matcherTakesIdThenNameOnce_data();
    void matcherTakesIdThenNameOnce();
    void storedBoxFollowsTheTable();
    void newColumnsAppendedUnlessHidden();
    void otherBoxesAndDocumentsUntouched();
    void unreadableDocumentsSkipped_data();
    void unreadableDocumentsSkipped();

private:
    void buildTable();

    std::unique_ptr<ModelItem> m_owner;
    ModelItem &model() { return *m_owner; }
    TableItem *m_table = nullptr;
    ColumnItem *m_id = nullptr;
    ColumnItem *m_name = nullptr;
    ColumnItem *m_price = nullptr;
};

static QJsonObject attribute(const QString &columnId, const QString &name, const QString &type = u"x"_s)
{
    QJsonObject object{{"name"_L1, name}, {"type"_L1, type}, {"isPrimaryKey"_L1, false},
                       {"isUniqueKey"_L1, false}, {"isForeignKey"_L1, false}};
    if (!columnId.isEmpty())
        object.insert("columnId"_L1, columnId);
    return object;
}

static QJsonObject document(const QJsonArray &entities)
{
    return QJsonObject{{"version"_L1, u"1.0"_s}, {"type"_L1, u"er-diagram"_s}, {"entities"_L1, entities}};
}

static QByteArray bytes(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

static QJsonArray attributesOf(const DiagramItem *diagram, int entity = 0)
{
    return diagram->sceneJson()["entities"_L1].toArray().at(entity).toObject()["attributes"_L1].toArray();
}

void tst_StoredDiagramColumns::buildTable()
{
    m_table = model().addTable();
    m_table->setName(u"orders"_s);
    m_id = m_table->addColumn();
    m_id->setName(u"id"_s);
    m_id->setDataType(u"BIGINT"_s);
    m_name = m_table->addColumn();
    m_name->setName(u"name"_s);
    m_name->setDataType(u"varchar(40)"_s);
    m_price = m_table->addColumn();
    m_price->setName(u"price"_s);
    m_price->setDataType(u"DECIMAL(10,2)"_s);
    ConstraintItem *pk = m_table->addConstraint();
    pk->setType(ConstraintType::PrimaryKey);
    pk->setColumns({m_id->id()});
    ConstraintItem *check = m_table->addConstraint();
    check->setType(ConstraintType::Check);
    check->setColumns({m_name->id()});
}

void tst_StoredDiagramColumns::rowsCarryTypeAndKeyMarks()
{
    buildTable();
    ConstraintItem *fk = m_table->addConstraint();
    fk->setType(ConstraintType::ForeignKey);
    fk->setColumns({m_price->id(), m_id->id()});
    ConstraintItem *uk = m_table->addConstraint();
    uk->setColumns({m_price->id()});

    const QList<ModelColumnRow> rows = rebuildEntityAttributes(m_table);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(1).type, u"varchar(40)"_s);
    QCOMPARE(rows.at(2).type, u"DECIMAL(10,2)"_s);
    QVERIFY(rows.at(0).isPrimaryKey && rows.at(0).isForeignKey && !rows.at(0).isUniqueKey);
    QVERIFY(!rows.at(1).isPrimaryKey && !rows.at(1).isUniqueKey && !rows.at(1).isForeignKey);
    QVERIFY(rows.at(2).isUniqueKey && rows.at(2).isForeignKey && !rows.at(2).isPrimaryKey);
    QVERIFY(rebuildEntityAttributes(nullptr).isEmpty());
}

void tst_StoredDiagramColumns::matcherTakesIdThenNameOnce_data()
{
    QTest::addColumn<QStringList>("requests"); // "id|name" pairs
    QTest::addColumn<QList<int>>("taken");

    QTest::newRow("id first") << QStringList{"c2|a"} << QList<int>{1};
    QTest::newRow("unknown id falls back to name") << QStringList{"zz|b"} << QList<int>{1};
    QTest::newRow("a name in another case is another column") << QStringList{"|ID", "|B"} << QList<int>{-1, -1};
    QTest::newRow("each row taken once") << QStringList{"c1|", "c1|", "|b", "|b"} << QList<int>{0, -1, 1, -1};
    QTest::newRow("names equal but for case take their own rows") << QStringList{"|A", "|a"} << QList<int>{3, 2};
    QTest::newRow("nothing") << QStringList{"|", "zz|zz"} << QList<int>{-1, -1};
}

void tst_StoredDiagramColumns::matcherTakesIdThenNameOnce()
{
    QFETCH(QStringList, requests);
    QFETCH(QList<int>, taken);
    QList<ModelColumnRow> rows;
    for (const auto &[id, name] : {std::pair{"c1", "id"}, {"c2", "b"}, {"c3", "a"}, {"c4", "A"}}) {
        ModelColumnRow row;
        row.columnId = QString::fromLatin1(id);
        row.name = QString::fromLatin1(name);
        rows << row;
    }
    ColumnRowMatcher matcher(rows);
    QList<int> result;
    for (const QString &request : requests)
        result << matcher.take(request.section('|', 0, 0), request.section('|', 1));
    QCOMPARE(result, taken);
}

void tst_StoredDiagramColumns::storedBoxFollowsTheTable()
{
    buildTable();
    DiagramItem *other = model().addDiagram();
    QJsonObject idAttribute = attribute(m_id->id(), u"old_id"_s);
    idAttribute.insert("note"_L1, u"kept"_s);
    QJsonObject edgeMarked = attribute(QString(), u"price"_s);
    edgeMarked.insert("fkEdgeId"_L1, u"edge-1"_s);
    const QJsonObject box{
        {"id"_L1, m_table->id()}, {"title"_L1, u"old"_s}, {"x"_L1, 12},
        {"attributes"_L1, QJsonArray{idAttribute, attribute(u"gone"_s, u"name"_s),
                                     attribute(QString(), u"free text"_s), edgeMarked}},
    };
    other->setSceneJson(document({box}));

    spreadTableColumnsToStoredDiagrams(&model(), m_table, {}, QString());

    const QJsonObject written = other->sceneJson()["entities"_L1].toArray().at(0).toObject();
    QCOMPARE(written["title"_L1].toString(), u"orders"_s);
    QCOMPARE(written["x"_L1].toInt(), 12);
    const QJsonArray attributes = written["attributes"_L1].toArray();
    QCOMPARE(attributes.size(), 3);
    const QJsonObject id = attributes.at(0).toObject();
    QCOMPARE(id["name"_L1].toString(), u"id"_s);
    QCOMPARE(id["type"_L1].toString(), u"BIGINT"_s);
    QCOMPARE(id["isPrimaryKey"_L1].toBool(), true);
    QCOMPARE(id["note"_L1].toString(), u"kept"_s);
    QCOMPARE(attributes.at(1).toObject(), attribute(QString(), u"free text"_s));
    const QJsonObject price = attributes.at(2).toObject();
    QCOMPARE(price["columnId"_L1].toString(), m_price->id());
    QCOMPARE(price["name"_L1].toString(), u"price"_s);
    QCOMPARE(price["type"_L1].toString(), u"DECIMAL(10,2)"_s);
    QCOMPARE(price["isForeignKey"_L1].toBool(), true);
}

void tst_StoredDiagramColumns::newColumnsAppendedUnlessHidden()
{
    buildTable();
    DiagramItem *shows = model().addDiagram();
    DiagramItem *hides = model().addDiagram();
    shows->setSceneJson(document({QJsonObject{{"id"_L1, m_table->id()},
                                              {"attributes"_L1, QJsonArray{attribute(m_id->id(), u"id"_s)}},
                                              {"hiddenColumns"_L1, QJsonArray{u"gone"_s}}}}));
    hides->setSceneJson(document({QJsonObject{{"id"_L1, m_table->id()},
                                              {"attributes"_L1, QJsonArray{attribute(m_id->id(), u"id"_s)}},
                                              {"hiddenColumns"_L1, QJsonArray{m_price->id()}}}}));

    spreadTableColumnsToStoredDiagrams(&model(), m_table, {m_name->id(), m_price->id()}, QString());

    const QJsonArray shown = attributesOf(shows);
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown.at(1).toObject(), (QJsonObject{{"columnId"_L1, m_name->id()}, {"name"_L1, u"name"_s},
                                                  {"type"_L1, u"varchar(40)"_s}, {"isPrimaryKey"_L1, false},
                                                  {"isUniqueKey"_L1, false}, {"isForeignKey"_L1, false}}));
    QCOMPARE(shown.at(2).toObject()["columnId"_L1].toString(), m_price->id());
    QVERIFY(!shows->sceneJson()["entities"_L1].toArray().at(0).toObject().contains("hiddenColumns"_L1));

    const QJsonArray hidden = attributesOf(hides);
    QCOMPARE(hidden.size(), 2);
    QCOMPARE(hidden.at(1).toObject()["columnId"_L1].toString(), m_name->id());
    QCOMPARE(hides->sceneJson()["entities"_L1].toArray().at(0).toObject()["hiddenColumns"_L1].toArray(),
             QJsonArray{m_price->id()});
}

void tst_StoredDiagramColumns::otherBoxesAndDocumentsUntouched()
{
    buildTable();
    const QJsonObject viewBox{{"id"_L1, m_table->id()}, {"kind"_L1, u"entity-view"_s},
                              {"attributes"_L1, QJsonArray{attribute(m_id->id(), u"stale"_s)}}};
    const QJsonObject otherBox{{"id"_L1, u"another"_s}, {"attributes"_L1, QJsonArray{attribute(m_id->id(), u"stale"_s)}}};
    const QJsonObject ownBox{{"id"_L1, m_table->id()}, {"attributes"_L1, QJsonArray{attribute(m_id->id(), u"stale"_s)}}};
    DiagramItem *views = model().addDiagram();
    views->setSceneJson(document({viewBox, otherBox}));
    DiagramItem *skipped = model().addDiagram();
    skipped->setSceneJson(document({ownBox}));
    DiagramItem *empty = model().addDiagram();
    const QByteArray viewsBefore = bytes(views->sceneJson());
    const QByteArray skippedBefore = bytes(skipped->sceneJson());

    spreadTableColumnsToStoredDiagrams(&model(), m_table, {m_price->id()}, skipped->id());

    QCOMPARE(bytes(views->sceneJson()), viewsBefore);
    QCOMPARE(bytes(skipped->sceneJson()), skippedBefore);
    QVERIFY(empty->sceneJson().isEmpty());
}

void tst_StoredDiagramColumns::unreadableDocumentsSkipped_data()
{
    QTest::addColumn<QByteArray>("json"); // "%T", "%C" and "%N": the ids of the table and two columns
    QTest::addColumn<bool>("rewritten");
    QTest::addColumn<QByteArray>("expected"); // the rewritten "entities"

    QTest::newRow("no entities") << QByteArray(R"({"type": "er-diagram"})") << false << QByteArray();
    QTest::newRow("entities not an array") << QByteArray(R"({"entities": {"id": "%T"}})") << false << QByteArray();
    QTest::newRow("attributes not an array")
        << QByteArray(R"({"entities": [{"id": "%T", "attributes": 7}]})") << false << QByteArray();
    QTest::newRow("hidden columns not an array")
        << QByteArray(R"({"entities": [{"id": "%T", "attributes": [], "hiddenColumns": "x"}]})") << false << QByteArray();
    QTest::newRow("id not a string")
        << QByteArray(R"({"entities": [{"id": 5, "attributes": [{"columnId": "%C", "name": "a"}]}]})") << false << QByteArray();
    QTest::newRow("elements not objects kept")
        << QByteArray(R"({"entities": [3, null, {"id": "%T", "attributes": [1, {"columnId": 9, "name": "id"}, {"columnId": "%C", "name": "a"}]}]})")
        << true << QByteArray(R"j([3,null,{"attributes":[1,{"columnId":9,"name":"id"},{"columnId":"%C","isForeignKey":false,"isPrimaryKey":true,"isUniqueKey":false,"name":"id","type":"BIGINT"},{"columnId":"%N","isForeignKey":false,"isPrimaryKey":false,"isUniqueKey":false,"name":"name","type":"varchar(40)"}],"id":"%T","title":"orders"}])j");
}

void tst_StoredDiagramColumns::unreadableDocumentsSkipped()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, rewritten);
    QFETCH(QByteArray, expected);
    buildTable();
    auto fill = [this](QByteArray text) {
        return text.replace("%T", m_table->id().toUtf8())
            .replace("%C", m_id->id().toUtf8())
            .replace("%N", m_name->id().toUtf8());
    };
    DiagramItem *diagram = model().addDiagram();
    diagram->setSceneJson(QJsonDocument::fromJson(fill(json)).object());
    const QByteArray before = bytes(diagram->sceneJson());

    spreadTableColumnsToStoredDiagrams(&model(), m_table, {m_name->id()}, QString());

    if (!rewritten) {
        QCOMPARE(bytes(diagram->sceneJson()), before);
        return;
    }
    QCOMPARE(QJsonDocument(diagram->sceneJson()["entities"_L1].toArray()).toJson(QJsonDocument::Compact),
             fill(expected));
}

QTEST_APPLESS_MAIN(tst_StoredDiagramColumns)
#include "tst_storeddiagramcolumns.moc"
