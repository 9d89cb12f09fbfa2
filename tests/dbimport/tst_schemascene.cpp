#include "importerrecorder.h"
#include "scenerendering.h"
#include "schemaimporter.h"

#include <QLoggingCategory>
#include <QTest>

// An inspector's output, run through the importer, loaded into the diagram scene.
class TestSchemaScene : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void importedSchemaLoadsWithBoxesEdgesAndForeignKeyRows();
};

void TestSchemaScene::initTestCase()
{
    testsupport::registerBundledMonoFont();
    // The scene narrates a load in debug lines.
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void TestSchemaScene::importedSchemaLoadsWithBoxesEdgesAndForeignKeyRows()
{
    SchemaImporter importer;
    ImporterRecorder recorder(&importer);
    importer.start(importertest::python, importertest::script(QStringLiteral("print_file.py")),
                   {testsupport::dataPath(QStringLiteral("dbimport/data/shop_inspected.json"))});
    QVERIFY(recorder.waitForEnd());
    QCOMPARE(recorder.events, QStringList{"finished:postgresql"});
    QCOMPARE(recorder.fullSchema.value("meta").toObject().value("schema").toString(), QStringLiteral("shop"));

    ERScene scene;
    QVERIFY(scene.loadFromJson(recorder.erJson));
    const QStringList expected = {
        "Audit @60,60 [entry:BIGINT PK; customer_id:INTEGER FK]",
        "customers @380,60 [id:INTEGER PK; email:CHARACTER VARYING(80) UK; name:TEXT]",
        "invoices @60,320 [id:INTEGER PK; customer_id:INTEGER FK; order_id:INTEGER FK]",
        "orders @380,320 [id:INTEGER PK; customer_id:INTEGER FK; placed_at:TIMESTAMP WITH TIME ZONE]",
        "customers -> invoices 0/1",
        "customers -> orders 0/1",
        "orders -> invoices 0/1",
    };
    QCOMPARE(scenetest::describeDocument(scene.toJson(), true), expected);

    // Every foreign-key row with an edge names the scene edge from its referenced table.
    const QList<EntityItem *> boxes = scenetest::entityBoxes(scene);
    const QList<EdgeItem *> edges = scenetest::edgeItems(scene);
    QCOMPARE(boxes.size(), 4);
    QCOMPARE(edges.size(), 3);
    QStringList links;
    for (const EntityItem *box : boxes) {
        for (const EntityItem::Attribute &row : box->attributes) {
            if (row.fkEdgeId.isEmpty())
                continue;
            const auto edge = std::find_if(edges.cbegin(), edges.cend(),
                                           [&](const EdgeItem *e) { return e->id == row.fkEdgeId; });
            links.append(box->title() + QLatin1Char('.') + row.name + QLatin1String(" <- ")
                         + (edge == edges.cend() ? QStringLiteral("no edge") : (*edge)->from->title()));
            if (edge != edges.cend())
                QCOMPARE((*edge)->to, box);
        }
    }
    links.sort();
    QCOMPARE(links, QStringList({"Audit.customer_id <- no edge", "invoices.customer_id <- customers",
                                 "invoices.order_id <- orders", "orders.customer_id <- customers"}));

    QRectF shown;
    const QImage image = scenetest::renderScene(scene, QStringLiteral("tst_schemascene"),
                                                QStringLiteral("shop.png"), &shown);
    for (const EntityItem *box : boxes)
        QVERIFY2(scenetest::inkShare(image, shown, box->sceneBoundingRect()) > 0.2, qPrintable(box->title()));
}

QTEST_MAIN(TestSchemaScene)
#include "tst_schemascene.moc"
