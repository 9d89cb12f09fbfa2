#include "mermaidreader.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QPointF>
#include <QtTest>

// Records as the reader hands them over, built by hand.
namespace {

MermaidAttribute row(const QString &name, const QString &flags = QString())
{
    MermaidAttribute a;
    a.type = QStringLiteral("int");
    a.name = name;
    a.isPrimaryKey = flags.contains(QLatin1String("PK"));
    a.isForeignKey = flags.contains(QLatin1String("FK"));
    a.isUniqueKey = flags.contains(QLatin1String("UK"));
    return a;
}

MermaidEntity entity(const QString &title, const QList<MermaidAttribute> &rows = {})
{
    return MermaidEntity{title, title, rows};
}

MermaidRelationship relationship(int from, int to, int startCard = 0, int endCard = 3,
                                 const QString &label = QString())
{
    MermaidRelationship r;
    r.fromEntity = from;
    r.toEntity = to;
    r.startCard = startCard;
    r.endCard = endCard;
    r.label = label;
    return r;
}

QJsonObject rowOf(const QJsonObject &document, int entityIndex, int rowIndex)
{
    return document.value("entities").toArray().at(entityIndex).toObject()
        .value("attributes").toArray().at(rowIndex).toObject();
}

QString edgeId(const QJsonObject &document, int edgeIndex)
{
    return document.value("edges").toArray().at(edgeIndex).toObject().value("id").toString();
}

} // namespace

Q_DECLARE_METATYPE(MermaidAttribute)

class TestMermaidDocument : public QObject
{
    Q_OBJECT

private slots:
    void writesTheDocumentShape();
    void placesEntitiesOnAGrid_data();
    void placesEntitiesOnAGrid();
    void makesMatchKeys_data();
    void makesMatchKeys();
    void choosesForeignKeyRows_data();
    void choosesForeignKeyRows();
    void doesNotOfferAClaimedRowTwice();
    void defaultsThePrimaryKey();
    void writesEachValueUnderItsKey_data();
    void writesEachValueUnderItsKey();
    void foreignKeyEdgesJoinTheRowsEntity();
    void manyEntitiesKeepTheirOrderAndRows();
};

void TestMermaidDocument::writesTheDocumentShape()
{
    MermaidAttribute commented = row("code");
    commented.comment = QStringLiteral("shown on invoices");
    MermaidRelationship nonIdentifying = relationship(1, 0, 2, 2);
    nonIdentifying.identifying = false;
    const QJsonObject document = buildMermaidDiagramJson(
        {entity("A", {row("id", "PK"), commented}), entity("B")},
        {relationship(0, 1, 0, 3, "has"), nonIdentifying});

    QCOMPARE(document.value("version").toString(), QStringLiteral("1.0"));
    QCOMPARE(document.value("type").toString(), QStringLiteral("er-diagram"));
    QVERIFY(!document.contains("dialect"));
    QVERIFY(!document.contains("annotations"));

    const QJsonArray entities = document.value("entities").toArray();
    QCOMPARE(entities.size(), 2);
    const QJsonObject a = entities.at(0).toObject();
    QCOMPARE(a.value("title").toString(), QStringLiteral("A"));
    QCOMPARE(QUuid::fromString(a.value("id").toString()).toString(QUuid::WithoutBraces), a.value("id").toString());
    QCOMPARE(QUuid::fromString(a.value("id").toString()).version(), QUuid::Random);
    // A comment is written only where there is one.
    QVERIFY(!rowOf(document, 0, 0).contains("comment"));
    QCOMPARE(rowOf(document, 0, 1).value("comment").toString(), QStringLiteral("shown on invoices"));
    QCOMPARE(entities.at(1).toObject().value("attributes").toArray().size(), 0);
    QVERIFY(entities.at(1).toObject().value("attributes").isArray());

    const QJsonArray edges = document.value("edges").toArray();
    QCOMPARE(edges.size(), 2);
    const QJsonObject first = edges.at(0).toObject();
    QCOMPARE(first.value("from").toString(), a.value("id").toString());
    QCOMPARE(first.value("to").toString(), entities.at(1).toObject().value("id").toString());
    QCOMPARE(first.value("startCard").toInt(), 0);
    QCOMPARE(first.value("endCard").toInt(), 3);
    QCOMPARE(first.value("label").toString(), QStringLiteral("has"));
    QVERIFY(!edges.at(1).toObject().contains("label"));
    // "identifying" is written only for a line that is not.
    QVERIFY(!first.contains("identifying"));
    QCOMPARE(edges.at(1).toObject().value("identifying"), QJsonValue(false));
    QVERIFY(first.value("id").toString() != edges.at(1).toObject().value("id").toString());
}

void TestMermaidDocument::placesEntitiesOnAGrid_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<QPointF>>("positions");

    QTest::newRow("one") << 1 << QList<QPointF>{{60, 60}};
    QTest::newRow("four in two columns")
        << 4 << QList<QPointF>{{60, 60}, {380, 60}, {60, 300}, {380, 300}};
    QTest::newRow("five in three columns")
        << 5 << QList<QPointF>{{60, 60}, {380, 60}, {700, 60}, {60, 300}, {380, 300}};
}

void TestMermaidDocument::placesEntitiesOnAGrid()
{
    QFETCH(int, count);
    QFETCH(QList<QPointF>, positions);

    QList<MermaidEntity> entities;
    for (int i = 0; i < count; ++i)
        entities.append(entity(QStringLiteral("E%1").arg(i)));
    const QJsonArray written = buildMermaidDiagramJson(entities, {}).value("entities").toArray();
    QList<QPointF> got;
    for (const QJsonValue &value : written)
        got.append(QPointF(value.toObject().value("x").toDouble(), value.toObject().value("y").toDouble()));
    QCOMPARE(got, positions);
}

void TestMermaidDocument::makesMatchKeys_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");

    QTest::newRow("id suffix") << "customer_id" << "customer";
    QTest::newRow("plural") << "CUSTOMERS" << "customer";
    QTest::newRow("bare id") << "id" << "id";
    QTest::newRow("hyphen") << "LINE-ITEM" << "lineitem";
    QTest::newRow("short plural kept") << "bus" << "bus";
    QTest::newRow("non-ASCII letters") << QString::fromUtf8("Straße_ID") << QString::fromUtf8("straße");
}

void TestMermaidDocument::makesMatchKeys()
{
    QFETCH(QString, name);
    QFETCH(QString, key);
    QCOMPARE(foreignKeyMatchKey(name), key);
}

void TestMermaidDocument::choosesForeignKeyRows_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QList<MermaidAttribute>>("rows");
    QTest::addColumn<int>("chosen"); // -1: no row becomes a foreign key

    QTest::newRow("name matches the parent")
        << "CUSTOMER" << QList<MermaidAttribute>{row("id", "PK"), row("customer_id")} << 1;
    QTest::newRow("short prefix is not enough")
        << "CUSTOMER" << QList<MermaidAttribute>{row("id", "PK"), row("cust_id")} << -1;
    QTest::newRow("short prefix loses to a flagged row")
        << "CUSTOMER" << QList<MermaidAttribute>{row("id", "PK"), row("cust_id"), row("ref", "FK")} << 2;
    QTest::newRow("long prefix selects on its own")
        << "CUSTOMER" << QList<MermaidAttribute>{row("id", "PK"), row("customer_ref")} << 1;
    QTest::newRow("contained name of four letters")
        << "LINE-ITEM" << QList<MermaidAttribute>{row("id", "PK"), row("item")} << 1;
    QTest::newRow("first of equal scores wins")
        << "ORDER" << QList<MermaidAttribute>{row("order_id"), row("orders")} << 0;
    QTest::newRow("no row is ever added") << "ORDER" << QList<MermaidAttribute>{row("x", "PK")} << -1;
}

void TestMermaidDocument::choosesForeignKeyRows()
{
    QFETCH(QString, parent);
    QFETCH(QList<MermaidAttribute>, rows);
    QFETCH(int, chosen);

    const QJsonObject document =
        buildMermaidDiagramJson({entity(parent), entity("CHILD", rows)}, {relationship(0, 1)});
    const QJsonArray written =
        document.value("entities").toArray().at(1).toObject().value("attributes").toArray();
    QCOMPARE(written.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const QJsonObject r = written.at(i).toObject();
        QCOMPARE(r.value("isForeignKey").toBool(), i == chosen || rows.at(i).isForeignKey);
        QCOMPARE(r.value("fkEdgeId").toString(), i == chosen ? edgeId(document, 0) : QString());
        QCOMPARE(r.contains("fkEdgeId"), i == chosen);
    }
}

void TestMermaidDocument::doesNotOfferAClaimedRowTwice()
{
    // Two parents whose titles give the same key: the second may not take the first's row.
    const QJsonObject sameKey = buildMermaidDiagramJson(
        {entity("Customer"), entity("CUSTOMERS"), entity("Order", {row("id", "PK"), row("customer_id")})},
        {relationship(0, 2), relationship(1, 2)});
    QCOMPARE(rowOf(sameKey, 2, 1).value("fkEdgeId").toString(), edgeId(sameKey, 0));
    QVERIFY(!rowOf(sameKey, 2, 0).value("isForeignKey").toBool());

    // Two parents without a name match each take a different flagged row.
    const QJsonObject flagged = buildMermaidDiagramJson(
        {entity("Customer"), entity("Client"),
         entity("Order", {row("id", "PK"), row("ref", "FK"), row("ref2", "FK")})},
        {relationship(0, 2), relationship(1, 2)});
    QCOMPARE(rowOf(flagged, 2, 1).value("fkEdgeId").toString(), edgeId(flagged, 0));
    QCOMPARE(rowOf(flagged, 2, 2).value("fkEdgeId").toString(), edgeId(flagged, 1));
}

void TestMermaidDocument::writesEachValueUnderItsKey_data()
{
    QTest::addColumn<bool>("foreignKeyEdge");
    QTest::addColumn<QString>("comment");

    QTest::newRow("plain row") << false << QString();
    QTest::newRow("comment") << false << "kept";
    QTest::newRow("foreign-key edge") << true << QString();
    QTest::newRow("foreign-key edge and comment") << true << "kept";
}

void TestMermaidDocument::writesEachValueUnderItsKey()
{
    QFETCH(bool, foreignKeyEdge);
    QFETCH(QString, comment);

    MermaidAttribute ref = row("ref", foreignKeyEdge ? "FK UK" : "UK");
    ref.type = QStringLiteral("uuid");
    ref.comment = comment;
    const QJsonObject document =
        buildMermaidDiagramJson({entity("P"), entity("C", {ref, row("n")})}, {relationship(0, 1)});

    QJsonObject expected{{"name", "ref"},        {"type", "uuid"},
                         {"isPrimaryKey", true}, {"isUniqueKey", true},
                         {"isForeignKey", foreignKeyEdge}};
    if (foreignKeyEdge)
        expected.insert("fkEdgeId", edgeId(document, 0));
    if (!comment.isEmpty())
        expected.insert("comment", comment);
    QCOMPARE(rowOf(document, 1, 0), expected);
    QCOMPARE(rowOf(document, 1, 1), (QJsonObject{{"name", "n"},           {"type", "int"},
                                                 {"isPrimaryKey", false}, {"isUniqueKey", false},
                                                 {"isForeignKey", false}}));

    const QJsonObject parent = document.value("entities").toArray().at(0).toObject();
    QCOMPARE(parent, (QJsonObject{{"id", parent.value("id")}, {"title", "P"}, {"x", 60.0},
                                  {"y", 60.0}, {"attributes", QJsonArray()}}));
}

void TestMermaidDocument::defaultsThePrimaryKey()
{
    const QJsonObject document = buildMermaidDiagramJson(
        {entity("NoKey", {row("a"), row("b", "UK")}), entity("Keyed", {row("a"), row("b", "PK")})}, {});
    QVERIFY(rowOf(document, 0, 0).value("isPrimaryKey").toBool());
    QVERIFY(!rowOf(document, 0, 1).value("isPrimaryKey").toBool());
    QVERIFY(rowOf(document, 0, 1).value("isUniqueKey").toBool());
    QVERIFY(!rowOf(document, 1, 0).value("isPrimaryKey").toBool());
    QVERIFY(rowOf(document, 1, 1).value("isPrimaryKey").toBool());
    QCOMPARE(rowOf(document, 0, 0).value("type").toString(), QStringLiteral("int"));
    QCOMPARE(rowOf(document, 0, 1).value("name").toString(), QStringLiteral("b"));
}

void TestMermaidDocument::foreignKeyEdgesJoinTheRowsEntity()
{
    for (const char *file : {"keys_and_comments.mmd", "car_drivers.mmd", "customer_orders.mmd"}) {
        QString error;
        const QJsonObject document = parseMermaidFile(
            testsupport::dataPath(QStringLiteral("interchange/data/mermaid/") + QLatin1String(file)),
            &error);
        QVERIFY2(!document.isEmpty(), qPrintable(error));
        QHash<QString, QJsonObject> edges;
        for (const QJsonValue &edge : document.value("edges").toArray())
            edges.insert(edge.toObject().value("id").toString(), edge.toObject());
        for (const QJsonValue &value : document.value("entities").toArray()) {
            const QJsonObject entityObject = value.toObject();
            for (const QJsonValue &r : entityObject.value("attributes").toArray()) {
                if (!r.toObject().contains("fkEdgeId"))
                    continue;
                QVERIFY(r.toObject().value("isForeignKey").toBool());
                const QString id = r.toObject().value("fkEdgeId").toString();
                QVERIFY2(edges.contains(id), file);
                QCOMPARE(edges.value(id).value("to").toString(), entityObject.value("id").toString());
            }
        }
    }
}

// Enough rows for the objects to be made in runs on several threads, most of them in the
// first entities, as a text of repeated short names gives them.
void TestMermaidDocument::manyEntitiesKeepTheirOrderAndRows()
{
    QList<MermaidEntity> entities;
    for (int e = 0; e < 40000; ++e) {
        MermaidEntity entity;
        entity.name = entity.alias = QStringLiteral("e%1").arg(e);
        const int rows = e < 10 ? 5000 : e % 3;
        for (int a = 0; a < rows; ++a) {
            MermaidAttribute attribute;
            attribute.name = QStringLiteral("e%1_c%2").arg(e).arg(a);
            attribute.type = QStringLiteral("int");
            entity.attributes.append(attribute);
        }
        entities.append(entity);
    }
    entities[39998].attributes[0].isForeignKey = true;
    MermaidRelationship relationship;
    relationship.fromEntity = 7;
    relationship.toEntity = 39998;
    const QJsonObject document = buildMermaidDiagramJson(entities, {relationship});

    const QJsonArray objects = document.value("entities").toArray();
    QCOMPARE(objects.size(), entities.size());
    QStringList mismatches;
    for (int e = 0; e < objects.size(); ++e) {
        const QJsonObject object = objects.at(e).toObject();
        const QJsonArray rows = object.value("attributes").toArray();
        QStringList names;
        for (const QJsonValue &row : rows)
            names.append(row.toObject().value("name").toString());
        QStringList expected;
        for (const MermaidAttribute &attribute : entities.at(e).attributes)
            expected.append(attribute.name);
        if (object.value("title").toString() != entities.at(e).alias || names != expected
            || object.value("x").toDouble() != (e % 200) * 320 + 60 || object.value("y").toDouble() != (e / 200) * 240 + 60)
            mismatches.append(entities.at(e).alias);
    }
    QCOMPARE(mismatches, QStringList());
    const QJsonObject keyRow = objects.at(39998).toObject().value("attributes").toArray().first().toObject();
    QCOMPARE(keyRow.value("fkEdgeId").toString(),
             document.value("edges").toArray().first().toObject().value("id").toString());
}

QTEST_GUILESS_MAIN(TestMermaidDocument)
#include "tst_mermaiddocument.moc"
