#include "mermaidreader.h"
#include "mermaidwriter.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QtTest>

// Export then import gives back the entities in order with their titles, the rows with
// names, types and key flags, and the relationships with both ends, cardinalities and label.
// Positions, colours and ids are not carried.
namespace {

// Builds a document the way the scene writes one, with ids taken from the titles.
class DocumentBuilder
{
public:
    DocumentBuilder &table(const QString &title, const QStringList &rows = {}, bool view = false)
    {
        QJsonArray attributes;
        for (const QString &row : rows) {
            // "name type [PK] [FK:Parent] [UK]"
            const QStringList parts = row.split(QLatin1Char(' '));
            QJsonObject a{{"name", parts.value(0)}, {"type", parts.value(1)},
                          {"isPrimaryKey", parts.contains("PK")},
                          {"isUniqueKey", parts.contains("UK")},
                          {"isForeignKey", false}, {"columnId", "col-" + parts.value(0)}};
            for (const QString &part : parts) {
                if (part.startsWith(QLatin1String("FK:"))) {
                    a.insert("isForeignKey", true);
                    a.insert("fkEdgeId", edgeId(part.mid(3), title));
                }
            }
            attributes.append(a);
        }
        QJsonObject entity{{"id", idOf(title)}, {"title", title}, {"x", 10}, {"y", 20},
                           {"perspective", "full"}, {"fgLight", "#ff000000"},
                           {"attributes", attributes}};
        if (view)
            entity.insert("kind", "entity-view");
        entities.append(entity);
        return *this;
    }

    DocumentBuilder &link(const QString &from, const QString &to, int startCard, int endCard,
                          const QString &label = QString(), bool viewEdge = false)
    {
        QJsonObject edge{{"id", edgeId(from, to)}, {"from", idOf(from)}, {"to", idOf(to)},
                         {"startCard", startCard}, {"endCard", endCard}};
        if (!label.isEmpty())
            edge.insert("label", label);
        if (viewEdge)
            edge.insert("kind", "entity-view-edge");
        edges.append(edge);
        return *this;
    }

    QJsonObject document() const
    {
        return QJsonObject{{"version", "1.0"}, {"type", "er-diagram"}, {"entities", entities},
                           {"edges", edges}, {"annotations", QJsonArray()}, {"dialect", "SQLite"}};
    }

private:
    static QString idOf(const QString &title) { return QStringLiteral("id:") + title; }
    static QString edgeId(const QString &from, const QString &to) { return from + "->" + to; }

    QJsonArray entities;
    QJsonArray edges;
};

// One line per entity, "Title: name type PK FK:Parent UK, ...", and one per relationship,
// "From 0-3 To : label"; foreign keys are named by the title of the edge's from entity.
QStringList summary(const QJsonObject &document)
{
    QHash<QString, QString> titleOfId;
    for (const QJsonValue &value : document.value("entities").toArray())
        titleOfId.insert(value.toObject().value("id").toString(), value.toObject().value("title").toString());
    QHash<QString, QJsonObject> edgeOfId;
    for (const QJsonValue &value : document.value("edges").toArray())
        edgeOfId.insert(value.toObject().value("id").toString(), value.toObject());

    QStringList out;
    for (const QJsonValue &value : document.value("entities").toArray()) {
        const QJsonObject entity = value.toObject();
        QStringList rows;
        for (const QJsonValue &r : entity.value("attributes").toArray()) {
            const QJsonObject a = r.toObject();
            QString row = a.value("name").toString() + ' ' + a.value("type").toString();
            if (a.value("isPrimaryKey").toBool())
                row += " PK";
            if (a.value("isForeignKey").toBool()) {
                row += " FK";
                const QJsonObject edge = edgeOfId.value(a.value("fkEdgeId").toString());
                if (!edge.isEmpty() && edge.value("to").toString() == entity.value("id").toString())
                    row += ':' + titleOfId.value(edge.value("from").toString());
            }
            if (a.value("isUniqueKey").toBool())
                row += " UK";
            rows.append(row);
        }
        out.append(entity.value("title").toString() + ": " + rows.join(", "));
    }
    for (const QJsonValue &value : document.value("edges").toArray()) {
        const QJsonObject edge = value.toObject();
        QString line = QStringLiteral("%1 %2-%3 %4")
                           .arg(titleOfId.value(edge.value("from").toString()))
                           .arg(edge.value("startCard").toInt())
                           .arg(edge.value("endCard").toInt())
                           .arg(titleOfId.value(edge.value("to").toString()));
        if (!edge.value("label").toString().isEmpty())
            line += " : " + edge.value("label").toString();
        if (edge.value("kind").toString() == QLatin1String("entity-view-edge"))
            line += " (view)";
        out.append(line);
    }
    return out;
}

} // namespace

class TestMermaidRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void exportThenImport_data();
    void exportThenImport();
};

void TestMermaidRoundTrip::exportThenImport_data()
{
    QTest::addColumn<QJsonObject>("document");
    QTest::addColumn<QStringList>("expected"); // empty: the summary of the document itself

    QTest::newRow("snake_case titles")
        << DocumentBuilder()
               .table("customer_order", {"id int PK", "placed_at timestamp"})
               .table("line_item", {"id int PK", "customer_order_id int FK:customer_order"})
               .table("lineitem", {"code text PK"})
               .table("directions", {"id int PK"})
               .table("direction_log", {"id int PK", "directions_id int FK:directions"})
               .link("customer_order", "line_item", 0, 3, "contains")
               .link("directions", "direction_log", 0, 1)
               .document()
        << QStringList();

    QTest::newRow("titles differing only in case")
        << DocumentBuilder()
               .table("Customer", {"id int PK"})
               .table("customer", {"id int PK"})
               .table("CUSTOMER", {"id int PK"})
               .table("Order", {"id int PK", "customer_id int FK:Customer", "customer_ref int FK:customer"})
               .link("Customer", "Order", 0, 3, "a")
               .link("customer", "Order", 0, 3, "b")
               .link("customer", "CUSTOMER", 0, 2)
               .document()
        << QStringList();

    // Mermaid's quoted strings hold no double quote, and an alias no backslash or "%".
    const QJsonObject aliases = DocumentBuilder()
                                    .table("Order Line", {"id int PK"})
                                    .table("2024 Sales", {"id int PK", "amount decimal(10,2)"})
                                    .table("class", {"id int PK"})
                                    .table(QString::fromUtf8("Straße"), {QString::fromUtf8("hausnummer int PK")})
                                    .table("Say \"hi\" \\ 100%", {"id int PK"})
                                    .link("Order Line", "2024 Sales", 0, 3, "feeds")
                                    .link("class", QString::fromUtf8("Straße"), 2, 2)
                                    .link("Say \"hi\" \\ 100%", "class", 0, 0, "greets \"you\" 100%")
                                    .document();
    QStringList aliasesBack = summary(aliases);
    aliasesBack.replaceInStrings("Say \"hi\" \\ 100%", "Say 'hi'  100");
    aliasesBack.replaceInStrings("greets \"you\"", "greets 'you'");
    QTest::newRow("titles that need aliases") << aliases << aliasesBack;

    DocumentBuilder cards;
    QStringList expectedCards;
    for (int start = 0; start <= 3; ++start) {
        for (int end = 0; end <= 3; ++end) {
            const QString from = QStringLiteral("From%1%2").arg(start).arg(end);
            const QString to = QStringLiteral("To%1%2").arg(start).arg(end);
            cards.table(from, {"id int PK"}).table(to, {"id int PK"});
            cards.link(from, to, start, end, QStringLiteral("l%1%2").arg(start).arg(end));
            expectedCards.append(from + ": id int PK");
            expectedCards.append(to + ": id int PK");
        }
    }
    for (int start = 0; start <= 3; ++start) {
        for (int end = 0; end <= 3; ++end) {
            const QString from = QStringLiteral("From%1%2").arg(start).arg(end);
            const QString to = QStringLiteral("To%1%2").arg(start).arg(end);
            const QString label = QStringLiteral(" : l%1%2").arg(start).arg(end);
            const bool manyToOne = (start == 1 || start == 3) && (end == 0 || end == 2);
            expectedCards.append(manyToOne ? QStringLiteral("%1 %2-%3 %4").arg(to).arg(end).arg(start).arg(from) + label
                                           : QStringLiteral("%1 %2-%3 %4").arg(from).arg(start).arg(end).arg(to) + label);
        }
    }
    QTest::newRow("every cardinality pair, many-to-one reversed") << cards.document() << expectedCards;

    QTest::newRow("key combinations with foreign keys named after their parents")
        << DocumentBuilder()
               .table("Order", {"id int PK", "number text UK"})
               .table("Product", {"id int PK", "sku text UK"})
               .table("OrderItem", {"order_id int PK FK:Order", "product_id int PK FK:Product",
                                    "line int UK", "note text"})
               .link("Order", "OrderItem", 0, 1)
               .link("Product", "OrderItem", 0, 3)
               .document()
        << QStringList();

    QTest::newRow("an entity without attributes")
        << DocumentBuilder().table("Empty").table("Full", {"id int PK"}).link("Empty", "Full", 0, 3).document()
        << QStringList();

    QTest::newRow("a view comes back as a table without its link")
        << DocumentBuilder()
               .table("Customer", {"id int PK", "email text"})
               .table("Customer View", {"email text PK"}, true)
               .link("Customer", "Customer View", 0, 0, QString(), true)
               .document()
        << QStringList{"Customer: id int PK, email text", "Customer View: email text PK"};
}

void TestMermaidRoundTrip::exportThenImport()
{
    QFETCH(QJsonObject, document);
    QFETCH(QStringList, expected);
    if (expected.isEmpty())
        expected = summary(document);

    QTemporaryDir dir;
    const QString path = dir.filePath("diagram.mmd");
    QString error;
    QVERIFY2(writeMermaidFile(document, path, &error), qPrintable(error));
    const QJsonObject imported = parseMermaidFile(path, &error);
    QVERIFY2(!imported.isEmpty(), qPrintable(error));
    QCOMPARE(summary(imported), expected);

    // Every foreign-key row names the new edge that ends at its own entity.
    for (const QString &line : summary(imported))
        QVERIFY2(!line.contains(QLatin1String(" FK,")) && !line.endsWith(QLatin1String(" FK")),
                 qPrintable(line));
}

QTEST_GUILESS_MAIN(TestMermaidRoundTrip)
#include "tst_mermaidroundtrip.moc"
