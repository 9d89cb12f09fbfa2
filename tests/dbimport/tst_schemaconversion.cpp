#include "diagramsummary.h"
#include "schemaimporter.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

// The inspector's output turned into a diagram document.
class TestSchemaConversion : public QObject
{
    Q_OBJECT

private slots:
    void convertsTablesKeysAndRelationships_data();
    void convertsTablesKeysAndRelationships();
    void writesExactlyTheDocumentKeysAndFreshIds();
};

namespace {

QJsonObject parse(const char *json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(json), &error);
    if (error.error != QJsonParseError::NoError)
        qFatal("bad fixture JSON: %s in %s", qPrintable(error.errorString()), json);
    return document.object();
}

QStringList sorted(const QStringList &keys)
{
    QStringList copy = keys;
    copy.sort();
    return copy;
}

} // namespace

void TestSchemaConversion::convertsTablesKeysAndRelationships_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty object") << QByteArray("{}") << QStringList();
    QTest::newRow("five tables, three per row")
        << QByteArray(R"({"tables": [{"name": "e"}, {"name": "d"}, {"name": "c"}, {"name": "b"}, {"name": "a"}]})")
        << QStringList{"a @60,60: ", "b @380,60: ", "c @700,60: ", "d @60,320: ", "e @380,320: "};
    QTest::newRow("four tables, two per row")
        << QByteArray(R"({"tables": [{"name": "a"}, {"name": "b"}, {"name": "c"}, {"name": "d"}]})")
        << QStringList{"a @60,60: ", "b @380,60: ", "c @60,320: ", "d @380,320: "};
    QTest::newRow("upper case before lower case")
        << QByteArray(R"({"tables": [{"name": "orders"}, {"name": "Customers"}]})")
        << QStringList{"Customers @60,60: ", "orders @380,60: "};
    QTest::newRow("repeated table name keeps the last columns")
        << QByteArray(R"({"tables": [{"name": "t", "columns": [{"name": "old", "type": "int"}]},
                                     {"name": "t", "columns": [{"name": "b", "type": "text"},
                                                               {"name": "a", "type": "int"}]}]})")
        << QStringList{"t @60,60: b:text, a:int"};
    QTest::newRow("key into a missing table")
        << QByteArray(R"({"tables": [{"name": "orders", "columns": [{"name": "cust", "type": "int"}]}],
                          "constraints": [{"type": "FOREIGN KEY", "name": "fk", "table": "orders",
                                           "columns": ["cust"], "ref_table": "other.customers"}]})")
        << QStringList{"orders @60,60: cust:int FK?"};
    QTest::newRow("key from a missing table")
        << QByteArray(R"({"tables": [{"name": "customers", "columns": [{"name": "id", "type": "int"}]}],
                          "constraints": [{"type": "FOREIGN KEY", "name": "fk", "table": "gone",
                                           "columns": ["id"], "ref_table": "customers"}]})")
        << QStringList{"customers @60,60: id:int"};
    QTest::newRow("one key over several entries")
        << QByteArray(R"({"tables": [{"name": "a", "columns": [{"name": "x", "type": "int"}, {"name": "y", "type": "int"}]},
                                     {"name": "b", "columns": [{"name": "x", "type": "int"}, {"name": "y", "type": "int"}]}],
                          "constraints": [
                            {"type": "FOREIGN KEY", "name": "fk_ab", "table": "b", "columns": ["x"], "ref_table": "a"},
                            {"type": "FOREIGN KEY", "name": "fk_ab", "table": "b", "columns": ["y"], "ref_table": "a"}]})")
        << QStringList{"a @60,60: x:int, y:int", "b @380,60: x:int FK0, y:int FK0", "E0 a -> b 0/1"};
    QTest::newRow("self reference")
        << QByteArray(R"({"tables": [{"name": "node", "columns": [{"name": "id", "type": "int"}, {"name": "parent", "type": "int"}]}],
                          "constraints": [
                            {"type": "PRIMARY KEY", "table": "node", "columns": ["id"]},
                            {"type": "FOREIGN KEY", "name": "fk_parent", "table": "node", "columns": ["parent"], "ref_table": "node"}]})")
        << QStringList{"node @60,60: id:int PK, parent:int FK0", "E0 node -> node 0/1"};
    QTest::newRow("primary and unique on one column, unknown columns ignored")
        << QByteArray(R"({"tables": [{"name": "t", "columns": [{"name": "id", "type": "int"}, {"name": "code", "type": "text"}]}],
                          "constraints": [
                            {"type": "PRIMARY KEY", "table": "t", "columns": ["id", "ghost"]},
                            {"type": "UNIQUE", "table": "t", "columns": ["id"]},
                            {"type": "UNIQUE", "table": "t", "columns": ["Code"]}]})")
        << QStringList{"t @60,60: id:int PK UK, code:text"};
    QTest::newRow("type in mixed case counts, with a blank it does not")
        << QByteArray(R"({"tables": [{"name": "p", "columns": [{"name": "id", "type": "int"}]},
                                     {"name": "c", "columns": [{"name": "pid", "type": "int"}]}],
                          "constraints": [
                            {"type": "Foreign Key", "name": "fk", "table": "c", "columns": ["pid"], "ref_table": "p"},
                            {"type": " UNIQUE", "table": "p", "columns": ["id"]},
                            {"type": "primary key ", "table": "p", "columns": ["id"]},
                            {"type": "CHECK", "table": "p", "columns": ["id"]}]})")
        << QStringList{"c @60,60: pid:int FK0", "p @380,60: id:int", "E0 p -> c 0/1"};
    // Constraint names are unique per table only: one name on two tables is two keys.
    QTest::newRow("one constraint name on two tables")
        << QByteArray(R"({"tables": [{"name": "customers", "columns": [{"name": "id", "type": "int"}]},
                                     {"name": "orders", "columns": [{"name": "customer_id", "type": "int"}]},
                                     {"name": "invoices", "columns": [{"name": "customer_id", "type": "int"}]}],
                          "constraints": [
                            {"type": "FOREIGN KEY", "name": "fk_customer", "table": "orders", "columns": ["customer_id"], "ref_table": "customers"},
                            {"type": "FOREIGN KEY", "name": "fk_customer", "table": "invoices", "columns": ["customer_id"], "ref_table": "customers"}]})")
        << QStringList{"customers @60,60: id:int", "invoices @380,60: customer_id:int FK0",
                       "orders @60,320: customer_id:int FK1",
                       "E0 customers -> invoices 0/1", "E1 customers -> orders 0/1"};
    QTest::newRow("nameless keys: one per table pair")
        << QByteArray(R"({"tables": [{"name": "p", "columns": [{"name": "id", "type": "int"}]},
                                     {"name": "a", "columns": [{"name": "x", "type": "int"}, {"name": "y", "type": "int"}]},
                                     {"name": "b", "columns": [{"name": "p", "type": "int"}]}],
                          "constraints": [
                            {"type": "FOREIGN KEY", "table": "a", "columns": ["x"], "ref_table": "p"},
                            {"type": "FOREIGN KEY", "table": "a", "columns": ["y"], "ref_table": "p"},
                            {"type": "FOREIGN KEY", "table": "b", "columns": ["p"], "ref_table": "p"}]})")
        << QStringList{"a @60,60: x:int FK0, y:int FK0", "b @380,60: p:int FK1", "p @60,320: id:int",
                       "E0 p -> a 0/1", "E1 p -> b 0/1"};
    QTest::newRow("a later key on the same column wins")
        << QByteArray(R"({"tables": [{"name": "p"}, {"name": "q"}, {"name": "c", "columns": [{"name": "r", "type": "int"}]}],
                          "constraints": [
                            {"type": "FOREIGN KEY", "name": "fk_p", "table": "c", "columns": ["r"], "ref_table": "p"},
                            {"type": "FOREIGN KEY", "name": "fk_q", "table": "c", "columns": ["r"], "ref_table": "q"}]})")
        << QStringList{"c @60,60: r:int FK1", "p @380,60: ", "q @60,320: ", "E0 p -> c 0/1", "E1 q -> c 0/1"};
    // Tables of other schemas come titled with their schema; a schema named like the
    // inspected one is the inspected one.
    QTest::newRow("keys into other schemas draw their tables")
        << QByteArray(R"({"meta": {"schema": "sales"},
                          "tables": [{"name": "orders", "columns": [{"name": "id", "type": "int"}, {"name": "sold_by", "type": "int"}]},
                                     {"schema": "sales", "name": "regions", "columns": [{"name": "code", "type": "text"}]},
                                     {"schema": "hr", "name": "employees", "columns": [{"name": "id", "type": "int"}]}],
                          "constraints": [
                            {"type": "PRIMARY KEY", "schema": "hr", "table": "employees", "columns": ["id"]},
                            {"type": "FOREIGN KEY", "name": "orders.fk_seller", "table": "orders", "columns": ["sold_by"],
                             "ref_schema": "hr", "ref_table": "employees"},
                            {"type": "FOREIGN KEY", "name": "orders.fk_region", "table": "orders", "columns": ["id"],
                             "ref_schema": "sales", "ref_table": "regions"}]})")
        << QStringList{"hr.employees @60,60: id:int PK", "orders @380,60: id:int FK0, sold_by:int FK1",
                       "regions @60,320: code:text", "E0 regions -> orders 0/1", "E1 hr.employees -> orders 0/1"};
    QTest::newRow("a dotted table name and a schema with its table stay apart")
        << QByteArray(R"({"meta": {"schema": "shop"},
                          "tables": [{"name": "sales.regions", "columns": [{"name": "id", "type": "int"}]},
                                     {"name": "stores", "columns": [{"name": "local", "type": "int"}, {"name": "region", "type": "text"}]},
                                     {"schema": "sales", "name": "regions", "columns": [{"name": "code", "type": "text"}]},
                                     {"schema": "a.b", "name": "c\"d", "columns": [{"name": "k", "type": "int"}]}],
                          "constraints": [
                            {"type": "FOREIGN KEY", "name": "stores.fk_region", "table": "stores", "columns": ["region"],
                             "ref_schema": "sales", "ref_table": "regions"},
                            {"type": "FOREIGN KEY", "name": "stores.fk_local", "table": "stores", "columns": ["local"],
                             "ref_schema": "shop", "ref_table": "sales.regions"},
                            {"type": "FOREIGN KEY", "name": "x", "table": "stores", "columns": ["local"],
                             "ref_schema": "a.b", "ref_table": "c\"d"}]})")
        << QStringList{"\"a.b\".\"c\"\"d\" @60,60: k:int", "\"sales\".\"regions\" @380,60: code:text",
                       "sales.regions @60,320: id:int", "stores @380,320: local:int FK2, region:text FK1",
                       "E0 sales.regions -> stores 0/1", "E1 \"sales\".\"regions\" -> stores 0/1",
                       "E2 \"a.b\".\"c\"\"d\" -> stores 0/1"};
    QTest::newRow("not null columns say so, others say nothing")
        << QByteArray(R"({"tables": [{"name": "t", "columns": [{"name": "a", "type": "int", "nullable": false},
                                                             {"name": "b", "type": "int", "nullable": true},
                                                             {"name": "c", "type": "int"},
                                                             {"name": "d", "type": "int", "nullable": "no"}]}]})")
        << QStringList{"t @60,60: a:int NN, b:int, c:int, d:int"};
    QTest::newRow("a foreign key that holds a whole key is one-to-one")
        << QByteArray(R"({"tables": [{"name": "orders", "columns": [{"name": "id", "type": "int"}]},
                                     {"name": "invoice", "columns": [{"name": "id", "type": "int"}, {"name": "order_id", "type": "int"}]},
                                     {"name": "detail", "columns": [{"name": "order_id", "type": "int"}]},
                                     {"name": "line", "columns": [{"name": "order_id", "type": "int"}, {"name": "no", "type": "int"}]}],
                          "constraints": [
                            {"type": "PRIMARY KEY", "table": "invoice", "columns": ["id"]},
                            {"type": "UNIQUE", "table": "invoice", "columns": ["order_id"]},
                            {"type": "PRIMARY KEY", "table": "detail", "columns": ["order_id"]},
                            {"type": "PRIMARY KEY", "table": "line", "columns": ["order_id", "no"]},
                            {"type": "UNIQUE", "table": "line", "columns": ["no", "order_id"]},
                            {"type": "FOREIGN KEY", "name": "a", "table": "invoice", "columns": ["order_id"], "ref_table": "orders"},
                            {"type": "FOREIGN KEY", "name": "b", "table": "detail", "columns": ["order_id"], "ref_table": "orders"},
                            {"type": "FOREIGN KEY", "name": "c", "table": "line", "columns": ["order_id"], "ref_table": "orders"}]})")
        << QStringList{"detail @60,60: order_id:int PK FK1", "invoice @380,60: id:int PK, order_id:int UK FK0",
                       "line @60,320: order_id:int PK UK FK2, no:int PK UK", "orders @380,320: id:int",
                       "E0 orders -> invoice 0/0", "E1 orders -> detail 0/0", "E2 orders -> line 0/1"};
    // Values of the wrong type read as empty; nothing is skipped that the rules keep.
    QTest::newRow("values of the wrong type")
        << QByteArray(R"({"meta": 5, "tables": [null, {"name": 7, "columns": {}},
                                                {"name": "t", "columns": [null, {"name": 3, "type": []}, {"name": "ok", "type": "int"}, 4]}],
                          "constraints": [7, {"type": 1, "table": "t", "columns": ["ok"]},
                                          {"type": "PRIMARY KEY", "table": "t", "columns": "ok"},
                                          {"type": "UNIQUE", "table": "t", "columns": [null, "ok"]},
                                          {"type": "FOREIGN KEY", "name": {}, "table": "t", "columns": ["ok"], "ref_table": 3}]})")
        << QStringList{" @60,60: ", "t @380,60: : UK, : UK, ok:int UK FK0, : UK", "E0  -> t 0/1"};
    QTest::newRow("tables and constraints not arrays")
        << QByteArray(R"({"meta": {"dialect": 1}, "tables": {"name": "t"}, "constraints": "PRIMARY KEY"})")
        << QStringList();
}

void TestSchemaConversion::convertsTablesKeysAndRelationships()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, expected);
    const QJsonObject document = SchemaImporter::buildDiagramJson(parse(input.constData()));
    QCOMPARE(diagramsummary::describe(document), expected);
    QCOMPARE(document.value(QLatin1String("dialect")), QJsonValue(QString()));
}

void TestSchemaConversion::writesExactlyTheDocumentKeysAndFreshIds()
{
    const QJsonObject schema = parse(R"({
        "meta": {"dialect": "postgresql", "source": "extra keys are not read"},
        "tables": [{"name": "customers", "columns": [{"name": "id", "type": "INTEGER", "nullable": false}]},
                   {"name": "orders", "columns": [{"name": "id", "type": "INTEGER"}, {"name": "customer_id", "type": "INTEGER"}]}],
        "constraints": [{"type": "PRIMARY KEY", "table": "customers", "columns": ["id"]},
                        {"type": "FOREIGN KEY", "name": "orders.fk_customer", "table": "orders",
                         "columns": ["customer_id"], "ref_table": "customers", "ref_columns": ["id"]}]})");
    const QJsonObject document = SchemaImporter::buildDiagramJson(schema);
    QCOMPARE(sorted(document.keys()), QStringList({"dialect", "edges", "entities", "type", "version"}));
    QCOMPARE(document.value("version"), QJsonValue("1.0"));
    QCOMPARE(document.value("type"), QJsonValue("er-diagram"));
    QCOMPARE(document.value("dialect"), QJsonValue("postgresql"));

    const QRegularExpression uuid(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    QSet<QString> ids;
    const QJsonArray entities = document.value("entities").toArray();
    QCOMPARE(entities.size(), 2);
    const QJsonObject customers = entities.at(0).toObject();
    QCOMPARE(sorted(customers.keys()),
             QStringList({"attributes", "bgDark", "bgLight", "fgDark", "fgLight", "hdrDark", "hdrLight",
                          "id", "title", "txtDark", "txtLight", "x", "y"}));
    const QJsonObject colours{{"bgLight", "#F7F7F7"}, {"bgDark", "#2B2F36"}, {"fgLight", "#2E2E2E"},
                              {"fgDark", "#C7CED9"}, {"hdrLight", "#F7F7F7"}, {"hdrDark", "#2B2F36"},
                              {"txtLight", "#111111"}, {"txtDark", "#F8FAFC"}};
    for (const QJsonValue &entity : entities) {
        for (auto it = colours.begin(); it != colours.end(); ++it)
            QCOMPARE(entity[it.key()], it.value());
        ids.insert(entity["id"].toString());
        QVERIFY(uuid.match(entity["id"].toString()).hasMatch());
    }
    // What the database forbids goes with the row; what it allows is not written.
    QCOMPARE(sorted(customers.value("attributes")[0].toObject().keys()),
             QStringList({"isForeignKey", "isPrimaryKey", "isUniqueKey", "name", "nullable", "type"}));
    QCOMPARE(customers.value("attributes")[0]["nullable"], QJsonValue(false));
    const QJsonObject foreignRow = entities.at(1)["attributes"][1].toObject();
    QCOMPARE(sorted(foreignRow.keys()),
             QStringList({"fkEdgeId", "isForeignKey", "isPrimaryKey", "isUniqueKey", "name", "type"}));

    const QJsonObject edge = document.value("edges")[0].toObject();
    QCOMPARE(sorted(edge.keys()), QStringList({"endCard", "from", "id", "startCard", "to"}));
    QVERIFY(uuid.match(edge["id"].toString()).hasMatch());
    QCOMPARE(edge["startCard"], QJsonValue(0));
    QCOMPARE(edge["endCard"], QJsonValue(1));
    QCOMPARE(foreignRow["fkEdgeId"], edge["id"]);
    ids.insert(edge["id"].toString());
    QCOMPARE(ids.size(), 3);

    // A second conversion of the same input draws new ids.
    const QJsonObject again = SchemaImporter::buildDiagramJson(schema);
    QVERIFY(again.value("entities")[0]["id"] != customers["id"]);
    QCOMPARE(diagramsummary::describe(again), diagramsummary::describe(document));
}

QTEST_GUILESS_MAIN(TestSchemaConversion)
#include "tst_schemaconversion.moc"
