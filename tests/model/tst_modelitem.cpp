#include "diagramitem.h"
#include "documentitem.h"
#include "mappingitem.h"
#include "modelitem.h"
#include "relationshipitem.h"
#include "sequenceitem.h"
#include "tableitem.h"
#include "viewitem.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_ModelItem : public QObject
{
    Q_OBJECT

private slots:
    void newModelWritesSevenEmptyArrays();
    void arraysInIdOrderIgnoringCase();
    void sortedListsByNameWithEmptyFirst();
    void equalNamesListInIdOrder();
    void tableByNameIsTheFirstInNameOrder();
    void ensureReturnsExistingOrCreatesWithExactId();
    void addSetsModelIdOnlyOnDiagrams();
    void removeIsDeferredAndDoesNotCascade();
    void fromJsonDestroysKindsEvenWhenKeyAbsent();
    void fromJsonGivesDiagramsThisModelsId();
    void duplicateIdsLaterWinsAndEarlierIsDestroyed();
    void roundTripKeepsChildrenAndIds();
};

static QStringList arrayIds(const QJsonArray &array)
{
    QStringList ids;
    for (const QJsonValue &value : array)
        ids << value.toObject().value("id"_L1).toString();
    return ids;
}

template<typename Item>
static QStringList names(const QList<Item *> &items)
{
    QStringList result;
    for (const Item *item : items)
        result << item->name();
    return result;
}

void tst_ModelItem::newModelWritesSevenEmptyArrays()
{
    ModelItem model;
    const QJsonObject json = model.toJson();
    QCOMPARE(json.size(), 11);
    QCOMPARE(json.value("id"_L1).toString().size(), 36);
    for (const char *key : {"name", "dialect", "description"})
        QCOMPARE(json.value(QLatin1StringView(key)), QJsonValue(u""_s));
    for (const char *key : {"tables", "views", "relationships", "sequences", "diagrams", "mappings", "documents"})
        QCOMPARE(json.value(QLatin1StringView(key)), QJsonValue(QJsonArray()));
}

void tst_ModelItem::arraysInIdOrderIgnoringCase()
{
    ModelItem model;
    for (const QString &id : {u"b"_s, u"A"_s, u"c"_s})
        model.ensureTable(id);
    // Ids equal but for case still come out in one fixed order.
    for (const QString &id : {u"x"_s, u"X"_s, u"Y"_s, u"w"_s})
        model.ensureRelationship(id);
    const QJsonObject json = model.toJson();
    QCOMPARE(arrayIds(json.value("tables"_L1).toArray()), (QStringList{u"A"_s, u"b"_s, u"c"_s}));
    QCOMPARE(arrayIds(json.value("relationships"_L1).toArray()),
             (QStringList{u"w"_s, u"X"_s, u"x"_s, u"Y"_s}));
}

void tst_ModelItem::sortedListsByNameWithEmptyFirst()
{
    ModelItem model;
    for (const QString &name : {u"beta"_s, u"alpha"_s, QString(), u"gamma"_s})
        model.addTable()->setName(name);
    QCOMPARE(names(model.tables()), (QStringList{QString(), u"alpha"_s, u"beta"_s, u"gamma"_s}));

    for (const QString &name : {u"z.pdf"_s, u"a.txt"_s})
        model.addDocument()->setFileName(name);
    QCOMPARE(names(model.documents()), (QStringList{u"a.txt"_s, u"z.pdf"_s}));
}

void tst_ModelItem::equalNamesListInIdOrder()
{
    ModelItem model;
    for (const QString &id : {u"c"_s, u"a"_s, u"b"_s})
        model.ensureView(id)->setName(u"same"_s);
    QStringList ids;
    for (const ViewItem *view : model.views())
        ids << view->id();
    QCOMPARE(ids, (QStringList{u"a"_s, u"b"_s, u"c"_s}));
}

void tst_ModelItem::tableByNameIsTheFirstInNameOrder()
{
    ModelItem model;
    model.ensureTable(u"c"_s)->setName(u"Orders"_s);
    model.ensureTable(u"a"_s)->setName(u"orders"_s);
    model.ensureTable(u"b"_s)->setName(u"ORDERS"_s);
    model.ensureTable(u"d"_s)->setName(u"customers"_s);
    TableItem *expected = nullptr;
    for (TableItem *table : model.tables()) {
        if (table->name().compare(u"oRdErS"_s, Qt::CaseInsensitive) == 0) {
            expected = table;
            break;
        }
    }
    QCOMPARE(model.tableByName(u"oRdErS"_s), expected);
    QCOMPARE(model.tableByName(u"customers"_s)->id(), u"d"_s);
    QCOMPARE(model.tableByName(u"missing"_s), nullptr);
    QCOMPARE(model.tableByName(QString()), nullptr);
}

void tst_ModelItem::ensureReturnsExistingOrCreatesWithExactId()
{
    ModelItem model;
    TableItem *table = model.ensureTable(u"T1"_s);
    table->setName(u"orders"_s);
    QCOMPARE(model.ensureTable(u"T1"_s), table);
    QCOMPARE(table->name(), u"orders"_s);
    QCOMPARE(model.tables().size(), 1);

    TableItem *other = model.ensureTable(u"t1"_s);
    QVERIFY(other != table);
    QCOMPARE(other->id(), u"t1"_s);
    QVERIFY(other->name().isEmpty());
    QCOMPARE(other->parent(), &model);

    QCOMPARE(model.ensureView(QString())->id(), QString());
    QCOMPARE(model.view(QString()), model.ensureView(QString()));
    QCOMPARE(model.ensureRelationship(u"r"_s)->id(), u"r"_s);
    QCOMPARE(model.table(u"missing"_s), nullptr);
}

void tst_ModelItem::addSetsModelIdOnlyOnDiagrams()
{
    ModelItem model;
    QCOMPARE(model.addDiagram()->modelId(), model.id());
    QCOMPARE(model.ensureDiagram(u"d"_s)->modelId(), model.id());
    MappingItem *mapping = model.addMapping();
    QVERIFY(mapping->sourceModelId().isEmpty());
    QVERIFY(mapping->targetModelId().isEmpty());
    QCOMPARE(model.mapping(mapping->id()), mapping);
    SequenceItem *sequence = model.addSequence();
    QCOMPARE(model.sequence(sequence->id()), sequence);
    DocumentItem *document = model.addDocument();
    QCOMPARE(model.document(document->id()), document);
    TableItem *table = model.addTable();
    QCOMPARE(table->id().size(), 36);
    QVERIFY(table->name().isEmpty());
}

void tst_ModelItem::removeIsDeferredAndDoesNotCascade()
{
    ModelItem model;
    TableItem *table = model.addTable();
    table->setName(u"orders"_s);
    RelationshipItem *relationship = model.addRelationship();
    relationship->setFromTableId(table->id());
    QPointer<TableItem> watched = table;

    model.removeTable(u"missing"_s);
    model.removeTable(table->id());
    QCOMPARE(model.table(table->id()), nullptr);
    QVERIFY(model.tables().isEmpty());
    QCOMPARE(model.relationship(relationship->id()), relationship);
    QCOMPARE(relationship->fromTableId(), watched->id());
    QCOMPARE(watched->name(), u"orders"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(watched.isNull());

    // Every kind removes the same way.
    const QString diagramId = model.addDiagram()->id();
    const QString sequenceId = model.addSequence()->id();
    const QString documentId = model.addDocument()->id();
    const QString mappingId = model.addMapping()->id();
    const QString viewId = model.addView()->id();
    model.removeDiagram(diagramId);
    model.removeSequence(sequenceId);
    model.removeDocument(documentId);
    model.removeMapping(mappingId);
    model.removeView(viewId);
    model.removeRelationship(relationship->id());
    const QJsonObject json = model.toJson();
    for (const char *key : {"tables", "views", "relationships", "sequences", "diagrams", "mappings", "documents"})
        QVERIFY2(json.value(QLatin1StringView(key)).toArray().isEmpty(), key);
}

void tst_ModelItem::fromJsonDestroysKindsEvenWhenKeyAbsent()
{
    ModelItem model;
    QPointer<ViewItem> view = model.addView();
    QPointer<TableItem> table = model.addTable();
    QPointer<DocumentItem> document = model.addDocument();
    model.fromJson(QJsonDocument::fromJson(
        R"j({"name": "m", "dialect": "postgres", "tables": [{"id": "t"}], "documents": "nope"})j").object());
    QVERIFY(view.isNull());
    QVERIFY(table.isNull());
    QVERIFY(document.isNull());
    QVERIFY(model.views().isEmpty());
    QVERIFY(model.documents().isEmpty());
    QCOMPARE(model.tables().size(), 1);
    QCOMPARE(model.dialect(), u"postgres"_s);
}

void tst_ModelItem::fromJsonGivesDiagramsThisModelsId()
{
    ModelItem model;
    model.fromJson(QJsonDocument::fromJson(
        R"j({"id": "m1", "diagrams": [{"id": "d1"}, {"id": "d2", "modelId": "elsewhere"}, 5]})j").object());
    QCOMPARE(model.id(), u"m1"_s);
    QCOMPARE(model.diagram(u"d1"_s)->modelId(), u"m1"_s);
    QCOMPARE(model.diagram(u"d2"_s)->modelId(), u"elsewhere"_s);
    QCOMPARE(model.diagrams().size(), 3);
    for (const DiagramItem *diagram : model.diagrams())
        QVERIFY(!diagram->modelId().isEmpty());
}

void tst_ModelItem::duplicateIdsLaterWinsAndEarlierIsDestroyed()
{
    ModelItem model;
    QTest::ignoreMessage(QtWarningMsg, "ModelItem::fromJson: duplicate id, later element wins: t");
    model.fromJson(QJsonDocument::fromJson(
        R"j({"tables": [{"id": "t", "name": "first"}, {"id": "u"}, {"id": "t", "name": "second"}]})j").object());
    QCOMPARE(model.tables().size(), 2);
    QCOMPARE(model.table(u"t"_s)->name(), u"second"_s);
    // No orphan is left behind among the model's children.
    QCOMPARE(model.findChildren<TableItem *>(Qt::FindDirectChildrenOnly).size(), 2);
}

void tst_ModelItem::roundTripKeepsChildrenAndIds()
{
    ModelItem model;
    model.setName(u"Sales"_s);
    model.setDialect(u"PostgreSQL"_s);
    model.setDescription(u"d"_s);
    model.addTable()->setName(u"orders"_s);
    model.addTable()->setName(u"customers"_s);
    model.addView()->setName(u"v"_s);
    model.addRelationship()->setName(u"r"_s);
    model.addSequence()->setStartValue(100);
    model.addDiagram()->setName(u"Main"_s);
    model.addMapping()->setName(u"map"_s);
    model.addDocument()->setFileName(u"a.pdf"_s);

    ModelItem copy;
    copy.fromJson(model.toJson());
    QCOMPARE(copy.toJson(), model.toJson());
    QCOMPARE(copy.id(), model.id());
    for (const TableItem *table : model.tables())
        QCOMPARE(copy.table(table->id())->name(), table->name());
}

QTEST_GUILESS_MAIN(tst_ModelItem)
#include "tst_modelitem.moc"
