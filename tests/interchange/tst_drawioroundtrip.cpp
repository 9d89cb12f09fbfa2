#include "drawioreader.h"
#include "drawiowriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Positions are written with one decimal; an exact tie such as -310.25 is off by 0.05.
constexpr double kPositionTolerance = 0.05 + 1e-9;

QJsonObject jsonObject(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad test document: %s", qPrintable(error.errorString()));
    return document.object();
}

// What a round trip must keep of one attribute, entity and edge, as comparable text.
QString attributeText(const QJsonObject &attribute)
{
    QString text = u"%1|%2|%3%4%5"_s.arg(attribute.value(u"name").toString().trimmed(),
                                          attribute.value(u"type").toString().trimmed(),
                                          attribute.value(u"isPrimaryKey").toBool() ? u"P"_s : u"-"_s,
                                          attribute.value(u"isForeignKey").toBool() ? u"F"_s : u"-"_s,
                                          attribute.value(u"isUniqueKey").toBool() ? u"U"_s : u"-"_s);
    if (attribute.contains(u"comment"))
        text += u" \""_s + attribute.value(u"comment").toString() + u'"';
    return text;
}

QStringList entityTexts(const QJsonArray &entities)
{
    QStringList texts;
    for (const QJsonValue &value : entities) {
        const QJsonObject entity = value.toObject();
        QStringList attributes;
        for (const QJsonValue &attribute : entity.value(u"attributes").toArray()) {
            if (!attribute.toObject().value(u"name").toString().trimmed().isEmpty())
                attributes.append(attributeText(attribute.toObject()));
        }
        texts.append(u"%1 [%2] {%3}"_s.arg(entity.value(u"title").toString().trimmed(),
                                           entity.value(u"kind").toString(),
                                           attributes.join(u"; ")));
    }
    return texts;
}

// Edges by the positions of their ends in the entity list, so new ids compare equal.
QStringList edgeTexts(const QJsonObject &document)
{
    QStringList ids;
    for (const QJsonValue &entity : document.value(u"entities").toArray())
        ids.append(entity.toObject().value(u"id").toString());
    QStringList texts;
    for (const QJsonValue &value : document.value(u"edges").toArray()) {
        const QJsonObject edge = value.toObject();
        texts.append(u"%1%6%2 %3/%4 \"%5\""_s.arg(ids.indexOf(edge.value(u"from").toString()))
                         .arg(ids.indexOf(edge.value(u"to").toString()))
                         .arg(edge.value(u"startCard").toInt(1))
                         .arg(edge.value(u"endCard").toInt(1))
                         .arg(edge.value(u"label").toString(),
                              edge.value(u"identifying").toBool(true) ? u"->"_s : u"..>"_s));
    }
    return texts;
}

bool roundTrip(const QJsonObject &document, QJsonObject *imported)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"round.drawio"_s);
    QString error;
    if (!dir.isValid() || !writeDrawioFile(document, path, &error)) {
        qWarning("write failed: %s", qPrintable(error));
        return false;
    }
    *imported = parseDrawioFile(path, &error);
    if (imported->isEmpty())
        qWarning("read failed: %s", qPrintable(error));
    return !imported->isEmpty();
}

} // namespace

class tst_DrawioRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void exportThenImportKeepsTheDiagram_data();
    void exportThenImportKeepsTheDiagram();
    void typesWithAngleBracketsComeBack();
};

void tst_DrawioRoundTrip::exportThenImportKeepsTheDiagram_data()
{
    QTest::addColumn<QByteArray>("document");

    QTest::newRow("tables, views and every cardinality") << QByteArray(R"json({
        "entities": [
            {"id": "c", "title": "Customer", "x": 40, "y": 60.04, "attributes": [
                {"name": "id", "type": "BIGINT", "isPrimaryKey": true, "comment": "the customer's number"},
                {"name": "email", "type": "VARCHAR(255)", "isUniqueKey": true,
                 "comment": "<unique> & \"checked\"\nsecond line"},
                {"name": "tags", "type": "MAP[STRING,INT] & more"},
                {"name": "score", "type": "DECIMAL(10, 2)"}]},
            {"id": "o", "title": "Orders & <Lines>", "x": -310.25, "y": 1234.5, "attributes": [
                {"name": "order_id", "type": "BIGINT", "isPrimaryKey": true},
                {"name": "customer_id", "type": "BIGINT", "isForeignKey": true, "fkEdgeId": "e1"},
                {"name": "line_no", "type": "INT", "isPrimaryKey": true, "isForeignKey": true,
                 "comment": "PK FK"},
                {"name": "code", "isForeignKey": true, "isUniqueKey": true},
                {"name": "größe", "type": "STRUCT(a:INT)"},
                {"name": "   ", "type": "ignored"}]},
            {"id": "v", "title": "Recent orders", "kind": "entity-view", "x": 700.4, "y": 0,
             "attributes": [{"name": "order_id", "type": "BIGINT"}, {"name": "total"}]},
            {"id": "n", "title": "Notes", "x": 10, "y": 900}],
        "edges": [
            {"id": "e1", "from": "c", "to": "o", "startCard": 0, "endCard": 3,
             "label": "places <many> & more"},
            {"id": "e2", "from": "o", "to": "v", "startCard": 2, "endCard": 1},
            {"from": "c", "to": "n", "startCard": 3, "endCard": 2, "label": "a > b"},
            {"id": "e4", "from": "n", "to": "o", "startCard": 1, "endCard": 0}]})json");

    QTest::newRow("self-relationships, columns named like their table, identifying flags")
        << QByteArray(R"json({
        "entities": [
            {"id": "country", "title": "country", "attributes": [
                {"name": "country_id", "type": "INT", "isPrimaryKey": true},
                {"name": "country", "type": "VARCHAR(50)"}]},
            {"id": "city", "title": "City", "attributes": [
                {"name": "CITY", "type": "TEXT", "isPrimaryKey": true},
                {"name": "country_id", "type": "INT", "isForeignKey": true, "fkEdgeId": "in"}]},
            {"id": "employee", "title": "Employee", "attributes": [
                {"name": "id", "type": "INT", "isPrimaryKey": true},
                {"name": "manager_id", "type": "INT", "isForeignKey": true, "fkEdgeId": "boss"}]}],
        "edges": [
            {"id": "in", "from": "country", "to": "city", "startCard": 0, "endCard": 3,
             "label": "holds"},
            {"id": "boss", "from": "employee", "to": "employee", "startCard": 2, "endCard": 3,
             "label": "manages", "identifying": false},
            {"id": "again", "from": "country", "to": "country", "startCard": 0, "endCard": 0}]})json");

    // What the scene hands over: colours as #AARRGGBB, column ids, routes, annotations.
    QTest::newRow("scene document") << QByteArray(R"json({
        "version": "1.0", "type": "er-diagram", "dialect": "PostgreSQL",
        "entities": [
            {"id": "t1", "x": 100, "y": 200, "title": "Invoice", "perspective": "full",
             "fgLight": "#ff000000", "fgDark": "#ffa0a0a4", "hdrLight": "#ff336699",
             "attributes": [
                {"name": "invoice_id", "type": "UUID", "isPrimaryKey": true,
                 "isUniqueKey": false, "isForeignKey": false, "columnId": "col-1"},
                {"name": "payer_id", "type": "UUID", "isPrimaryKey": false,
                 "isUniqueKey": false, "isForeignKey": true, "fkEdgeId": "edge-1",
                 "columnId": "col-2"}]},
            {"id": "t2", "x": 520, "y": 200, "title": "Payer", "perspective": "name",
             "attributes": [
                {"name": "payer_id", "type": "UUID", "isPrimaryKey": true,
                 "isUniqueKey": false, "isForeignKey": false}]}],
        "edges": [
            {"id": "edge-1", "from": "t2", "to": "t1", "startCard": 0, "endCard": 3,
             "fromSlot": {"side": 0, "x": 0, "y": 45}, "toSlot": {"side": 1, "x": 150, "y": 75},
             "points": [{"x": 520, "y": 245}, {"x": 400, "y": 245}, {"x": 400, "y": 275}]}],
        "annotations": [{"kind": "text-item", "text": "draft"}]})json");
}

void tst_DrawioRoundTrip::exportThenImportKeepsTheDiagram()
{
    QFETCH(QByteArray, document);
    const QJsonObject original = jsonObject(document);
    QJsonObject imported;
    QVERIFY(roundTrip(original, &imported));

    const QJsonArray before = original.value(u"entities").toArray();
    const QJsonArray after = imported.value(u"entities").toArray();
    QCOMPARE(entityTexts(after), entityTexts(before));
    for (qsizetype i = 0; i < before.size(); ++i) {
        const QJsonObject a = before.at(i).toObject();
        const QJsonObject b = after.at(i).toObject();
        QVERIFY(qAbs(a.value(u"x").toDouble() - b.value(u"x").toDouble()) <= kPositionTolerance);
        QVERIFY(qAbs(a.value(u"y").toDouble() - b.value(u"y").toDouble()) <= kPositionTolerance);
    }
    QCOMPARE(edgeTexts(imported), edgeTexts(original));

    // Ids are new, and what the exchange does not carry stays out.
    QSet<QString> oldIds;
    for (const QJsonValue &entity : before)
        oldIds.insert(entity.toObject().value(u"id").toString());
    for (const QJsonValue &entity : after) {
        const QJsonObject e = entity.toObject();
        QVERIFY(!oldIds.contains(e.value(u"id").toString()));
        QVERIFY(!e.contains(u"fgLight"));
        for (const QJsonValue &attribute : e.value(u"attributes").toArray()) {
            QVERIFY(!attribute.toObject().contains(u"fkEdgeId"));
            QVERIFY(!attribute.toObject().contains(u"columnId"));
        }
    }
    QVERIFY(!imported.contains(u"dialect"));
    QVERIFY(!imported.contains(u"annotations"));
}

void tst_DrawioRoundTrip::typesWithAngleBracketsComeBack()
{
    const QJsonObject original = jsonObject(R"json({"entities": [{"id": "t", "title": "Events",
        "attributes": [{"name": "tags", "type": "MAP<STRING,INT>"},
                       {"name": "items", "type": "ARRAY<STRUCT<a:INT>>"}]}]})json");
    QJsonObject imported;
    QVERIFY(roundTrip(original, &imported));
    QCOMPARE(entityTexts(imported.value(u"entities").toArray()),
             entityTexts(original.value(u"entities").toArray()));
}

QTEST_GUILESS_MAIN(tst_DrawioRoundTrip)
#include "tst_drawioroundtrip.moc"
