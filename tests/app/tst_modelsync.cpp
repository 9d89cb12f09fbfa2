// The window keeps the model and the diagrams in step: boxes and lines registered with
// their keys, removals, and column changes spread from the open box to the table and the
// stored diagrams.
#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "indexitem.h"
#include "mappingitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "tabledetailscontroller.h"
#include "tableitem.h"
#include "viewitem.h"

#include "projecttestsupport.h"
#include "synctestsupport.h"
#include "windowtestcase.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTableView>
#include <QUuid>

using namespace projecttest;
using namespace synctest;
using namespace Qt::StringLiterals;

namespace {

// "name:type" with ":pk" and ":uk" marks.
void addRows(EntityItem *box, const QStringList &rows)
{
    for (const QString &row : rows) {
        const QStringList parts = row.split(QLatin1Char(':'));
        box->addAttributeRow(parts.value(0), parts.value(1), parts.contains("pk"_L1), parts.contains("uk"_L1),
                             false, false);
    }
}

// A box put on the scene without telling the window.
EntityItem *addBox(ERScene *scene, const QString &title, const QStringList &rows, const QString &id = QString(),
                   EntityKind kind = EntityKind::Table)
{
    auto *box = new EntityItem(title, QSizeF(200, 120));
    box->storedId = id;
    box->setKind(kind);
    addRows(box, rows);
    scene->addItem(box);
    return box;
}

// The row names of a stored box, a row without column id marked with "~", then the
// hidden column ids.
QString storedRows(const DiagramItem *diagram, const QString &id)
{
    const QJsonObject box = storedBox(diagram, id);
    QStringList rows;
    for (const QJsonValue &value : box.value("attributes"_L1).toArray()) {
        const QJsonObject row = value.toObject();
        rows.append(row.value("name"_L1).toString() + (row.value("columnId"_L1).toString().isEmpty() ? "~" : ""));
    }
    QString text = rows.join(", "_L1);
    const QJsonArray hidden = box.value("hiddenColumns"_L1).toArray();
    if (!hidden.isEmpty())
        text += " | hidden "_L1 + hidden.toVariantList().first().toString();
    return text;
}

// Changes the first stored table box (not a view) with that id in place.
template<typename Edit>
void editStoredBox(DiagramItem *diagram, const QString &id, Edit edit)
{
    QJsonObject document = diagram->sceneJson();
    QJsonArray entities = document.value("entities"_L1).toArray();
    for (qsizetype i = 0; i < entities.size(); ++i) {
        QJsonObject entity = entities.at(i).toObject();
        if (entity.value("id"_L1).toString() == id && entity.value("kind"_L1).toString() != "entity-view"_L1) {
            edit(entity);
            entities.replace(i, entity);
            break;
        }
    }
    document.insert("entities"_L1, entities);
    diagram->setSceneJson(document);
}

QString boxRows(const EntityItem *box)
{
    QStringList rows;
    for (int row = 0; row < box->attributeCount(); ++row)
        rows.append(box->attributeName(row));
    return rows.join(", "_L1);
}

} // namespace

class TestModelSync : public WindowTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void tableRegistration_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("expected");

        QTest::newRow("key rows make the primary key")
            << QStringList{"id:BIGINT:pk", "total:NUMERIC(12,2)"} << ""
            << "orders: id BIGINT!, total NUMERIC(12,2) | PK pk_orders(id)";
        QTest::newRow("rows named alike in another case are two columns")
            << QStringList{"Id:INT:pk", "ID:BIGINT:pk"} << "" << "orders: Id INT!, ID BIGINT! | PK pk_orders(Id, ID)";
        QTest::newRow("registering twice adds nothing")
            << QStringList{"id:BIGINT:pk", "code:TEXT:uk"} << "twice"
            << "orders: id BIGINT!, code TEXT | PK pk_orders(id) | UNIQUE uk_orders(code)";
        QTest::newRow("no key rows remove the key") << QStringList{"id:BIGINT:pk"} << "clearKeys" << "orders: id BIGINT!";
        QTest::newRow("a renamed table keeps its key's name")
            << QStringList{"id:BIGINT:pk"} << "rename" << "shop: id BIGINT! | PK pk_orders(id)";
        QTest::newRow("each row marked unique later gets a key of its own")
            << QStringList{"a:TEXT:uk", "b:TEXT", "c:TEXT"} << "moreUnique"
            << "orders: a TEXT, b TEXT, c TEXT | UNIQUE uk_orders(a) | UNIQUE uk_orders_2(b) | UNIQUE uk_orders_3(c)";
    }

    void tableRegistration()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, action);
        QFETCH(QString, expected);
        MainWindow w;
        MainWindowProbe probe(w);
        EntityItem *box = addBox(probe.scene(), u"orders"_s, rows, u"t-1"_s);
        probe.registerEntityInModel(box);
        if (action == "twice"_L1) {
            probe.registerEntityInModel(box);
        } else if (action == "clearKeys"_L1) {
            box->setAttributeKeyFlags(0, false, false);
        } else if (action == "rename"_L1) {
            box->setTitle(u"shop"_s);
        } else if (action == "moreUnique"_L1) {
            box->setAttributeKeyFlags(1, false, true);
            box->setAttributeKeyFlags(2, false, true);
        }
        probe.registerEntityInModel(box);
        QCOMPARE(dump(probe.currentModel()->table(u"t-1"_s)), expected);
    }

    void viewBoxAndBoxWithoutIdRegistered()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        EntityItem *view = addBox(probe.scene(), u"recent"_s, {"id:BIGINT:pk"}, u"v-1"_s, EntityKind::View);
        EntityItem *bare = addBox(probe.scene(), u"bare"_s, {"id:BIGINT:pk"});
        bare->storedId.clear();
        probe.syncModelFromScene();
        probe.syncModelFromScene();

        ModelItem *model = probe.currentModel();
        QCOMPARE(model->views().size(), 1);
        QCOMPARE(model->view(u"v-1"_s)->name(), u"recent"_s);
        QCOMPARE(model->tables().size(), 1);
        const QString id = bare->storedId;
        QVERIFY(!QUuid::fromString(id).isNull());
        QVERIFY(!id.startsWith(QLatin1Char('{')));
        QCOMPARE(model->table(id)->name(), u"bare"_s);
        QCOMPARE(view->storedId, u"v-1"_s);
    }

    void edgeRegistration_data()
    {
        QTest::addColumn<bool>("foreignKeyRows");
        QTest::addColumn<bool>("parentKey");
        QTest::addColumn<QString>("expected");
        // Each column refers to the parent's key column at its place; none is left over.
        QTest::newRow("rows of the line and parent key") << true << true << "FK fk_customers_orders(id_2, REF) -> id, ?";
        QTest::newRow("no rows of the line") << false << true << "FK fk_customers_orders() -> ";
        QTest::newRow("parent without key") << false << false << "FK fk_customers_orders() -> ";
    }

    void edgeRegistration()
    {
        QFETCH(bool, foreignKeyRows);
        QFETCH(bool, parentKey);
        QFETCH(QString, expected);
        MainWindow w;
        MainWindowProbe probe(w);
        EntityItem *customers = addBox(probe.scene(), u"customers"_s, {parentKey ? "id:BIGINT:pk" : "id:BIGINT"}, u"t-c"_s);
        EntityItem *orders = addBox(probe.scene(), u"orders"_s, {"id:BIGINT:pk"}, u"t-o"_s);
        probe.setBulkUpdate(true);
        EdgeItem *edge = probe.scene()->createEdge(customers, orders, foreignKeyRows);
        if (foreignKeyRows)
            orders->addForeignKeyAttribute(u"REF"_s, u"BIGINT"_s, edge->id, QString());
        orders->addAttributeRow(u"other_ref"_s, u"TEXT"_s, false, false, true, false);
        probe.setBulkUpdate(false);
        probe.syncModelFromScene();

        ModelItem *model = probe.currentModel();
        const RelationshipItem *relationship = model->relationship(edge->id);
        QVERIFY(relationship);
        QCOMPARE(relationship->name(), u"customers_orders"_s);
        QCOMPARE(relationship->fromTableId(), u"t-c"_s);
        QCOMPARE(relationship->toTableId(), u"t-o"_s);
        const TableItem *child = model->table(u"t-o"_s);
        const ConstraintItem *foreignKey = child->constraint(relationship->constraintId());
        QVERIFY(foreignKey);
        QCOMPARE(foreignKey->referencedTableId(), u"t-c"_s);
        QCOMPARE(u"FK %1(%2) -> %3"_s.arg(foreignKey->name(), namesOf(child, foreignKey->columns()),
                                          namesOf(model->table(u"t-c"_s), foreignKey->referencedColumns())),
                 expected);
    }

    void secondRelationshipAndMovedForeignKeyNamedUniquely()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        EntityItem *customers = addBox(probe.scene(), u"customers"_s, {"id:BIGINT:pk"}, u"t-c"_s);
        EntityItem *orders = addBox(probe.scene(), u"orders"_s, {"id:BIGINT:pk"}, u"t-o"_s);
        EntityItem *invoices = addBox(probe.scene(), u"invoices"_s, {"id:BIGINT:pk"}, u"t-i"_s);
        probe.setBulkUpdate(true);
        EdgeItem *first = probe.scene()->createEdge(customers, orders, true);
        EdgeItem *second = probe.scene()->createEdge(customers, orders, true);
        probe.setBulkUpdate(false);
        probe.syncModelFromScene();
        ModelItem *model = probe.currentModel();
        const QStringList names{model->table(u"t-o"_s)->constraints().at(1)->name(),
                                model->table(u"t-o"_s)->constraints().at(2)->name()};
        QCOMPARE(names, (QStringList{u"fk_customers_orders"_s, u"fk_customers_orders_2"_s}));

        // The first line now ends at invoices: its foreign key moves there, none stays.
        const QString constraintId = model->relationship(first->id)->constraintId();
        orders->removeEdge(first);
        first->to = invoices;
        invoices->addEdge(first);
        probe.registerEdgeInModel(first);
        QVERIFY(!model->table(u"t-o"_s)->constraint(constraintId));
        QCOMPARE(model->table(u"t-o"_s)->constraints().size(), 2);
        const RelationshipItem *moved = model->relationship(first->id);
        QCOMPARE(model->table(u"t-i"_s)->constraint(moved->constraintId())->name(), u"fk_customers_invoices"_s);
        QVERIFY(model->table(u"t-o"_s)->constraint(model->relationship(second->id)->constraintId()));
    }

    void boxesRegisteredBeforeLinesHoweverStacked_data()
    {
        QTest::addColumn<bool>("swapped");
        QTest::newRow("lines below boxes") << false;
        QTest::newRow("lines above boxes") << true;
    }

    void boxesRegisteredBeforeLinesHoweverStacked()
    {
        QFETCH(bool, swapped);
        MainWindow w;
        MainWindowProbe probe(w);
        EntityItem *customers = addBox(probe.scene(), u"customers"_s, {"id:BIGINT:pk"}, u"t-c"_s);
        EntityItem *orders = addBox(probe.scene(), u"orders"_s, {"id:BIGINT:pk"}, u"t-o"_s);
        probe.setBulkUpdate(true);
        EdgeItem *edge = probe.scene()->createEdge(customers, orders, true);
        probe.setBulkUpdate(false);
        if (swapped) {
            edge->setZValue(10);
            customers->setZValue(-5);
            orders->setZValue(-5);
        }
        probe.syncModelFromScene();
        const RelationshipItem *relationship = probe.currentModel()->relationship(edge->id);
        const ConstraintItem *foreignKey = probe.currentModel()->table(u"t-o"_s)->constraint(relationship->constraintId());
        QVERIFY(foreignKey);
        QCOMPARE(foreignKey->referencedColumns().size(), 1);
    }

    void viewLinkAndLookupsById()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        EntityItem *orders = addBox(probe.scene(), u"orders"_s, {"id:BIGINT:pk"}, u"t-o"_s);
        EntityItem *view = addBox(probe.scene(), u"recent"_s, {}, u"v-1"_s, EntityKind::View);
        EntityItem *below = addBox(probe.scene(), u"twin below"_s, {}, u"twin"_s);
        EntityItem *above = addBox(probe.scene(), u"twin above"_s, {}, u"twin"_s);
        below->setZValue(1);
        above->setZValue(2);
        probe.setBulkUpdate(true);
        EdgeItem *link = probe.scene()->createEdge(orders, view, true);
        probe.setBulkUpdate(false);
        QVERIFY(link->isEntityViewEdge());
        probe.syncModelFromScene();

        const RelationshipItem *relationship = probe.currentModel()->relationship(link->id);
        QVERIFY(relationship);
        QCOMPARE(relationship->name(), u"orders_recent"_s);
        QVERIFY(relationship->constraintId().isEmpty());
        QCOMPARE(probe.currentModel()->table(u"t-o"_s)->constraints().size(), 1);

        QCOMPARE(probe.findEntityOnScene(u"twin"_s), above);
        QCOMPARE(probe.findEdgeOnScene(link->id), link);
        QCOMPARE(probe.findEdgeOnScene(QString()), nullptr);
        QCOMPARE(probe.findEdgeOnScene(u"t-o"_s), nullptr);
    }

    void removingEntityRemovesItsRelationshipsFirst()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        ModelItem *model = probe.currentModel();
        const auto table = [model](const QString &id) {
            TableItem *t = model->ensureTable(id);
            t->setName(id);
            return t;
        };
        const auto relate = [model](const QString &id, TableItem *from, TableItem *to) {
            RelationshipItem *relationship = model->ensureRelationship(id);
            relationship->setName(id);
            relationship->setFromTableId(from->id());
            relationship->setToTableId(to->id());
            ConstraintItem *foreignKey = to->addConstraint();
            foreignKey->setType(ConstraintType::ForeignKey);
            relationship->setConstraintId(foreignKey->id());
            return foreignKey;
        };
        TableItem *a = table(u"a"_s);
        TableItem *b = table(u"b"_s);
        TableItem *c = table(u"c"_s);
        relate(u"ab"_s, a, b);
        relate(u"bc"_s, b, c);
        relate(u"bb"_s, b, b);
        ConstraintItem *kept = relate(u"ac"_s, a, c);
        model->ensureView(u"b"_s);

        probe.removeEntityFromModel(u"b"_s);
        QCOMPARE(model->relationships().size(), 1);
        QVERIFY(model->relationship(u"ac"_s));
        QCOMPARE(c->constraints(), QList<ConstraintItem *>{kept});
        QVERIFY(!model->table(u"b"_s));
        QVERIFY(!model->view(u"b"_s));
        QVERIFY(model->table(u"a"_s));

        // A relationship whose tables are gone, with a constraint id that names nothing.
        RelationshipItem *orphan = model->ensureRelationship(u"orphan"_s);
        orphan->setFromTableId(u"gone"_s);
        orphan->setToTableId(u"gone"_s);
        orphan->setConstraintId(u"nothing"_s);
        probe.removeEntityFromModel(u"gone"_s);
        QVERIFY(!model->relationship(u"orphan"_s));
        QCOMPARE(model->relationships().size(), 1);
    }

    void removingLiveBoxDeletesEachLineOnce()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        ERScene *scene = probe.scene();
        EntityItem *hub = addBox(scene, u"hub"_s, {"id:BIGINT:pk"}, u"hub"_s);
        QList<QPointer<EntityItem>> others;
        probe.setBulkUpdate(true);
        for (int i = 0; i < 3; ++i) {
            EntityItem *other = addBox(scene, u"t%1"_s.arg(i), {"id:BIGINT:pk"}, u"t%1"_s.arg(i));
            others.append(other);
            scene->createEdge(i == 1 ? other : hub, i == 1 ? hub : other, true);
        }
        scene->createEdge(hub, hub, true);
        probe.setBulkUpdate(false);
        probe.setDetailsEntity(hub);

        probe.removeLiveEntity(u"hub"_s);
        QVERIFY(!probe.findEntityOnScene(u"hub"_s));
        QCOMPARE(probe.detailsEntity(), nullptr);
        QVERIFY(!probe.bulkUpdate());
        for (const QPointer<EntityItem> &other : others) {
            QVERIFY(other);
            QVERIFY(other->edges.isEmpty());
        }
        QCOMPARE(others.at(0)->attributeCount(), 1); // its foreign-key row left with its line
        QCOMPARE(diagramItemCount(scene), 3);
        probe.removeLiveEntity(u"hub"_s);
    }

    void strippingLeavesTheOpenDiagram()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        ModelItem *model = probe.currentModel();
        DiagramItem *open = probe.currentDiagram();
        probe.captureCurrentDiagram();
        const QJsonObject before = open->sceneJson();
        DiagramItem *b = diagramNamed(model, u"B"_s);
        DiagramItem *d = diagramNamed(model, u"D"_s);
        const QJsonObject dBefore = d->sceneJson();

        probe.stripFromModelDiagrams(model, {u"t-orders"_s}, {});
        QCOMPARE(open->sceneJson(), before);
        QVERIFY(storedBox(b, u"t-orders"_s).isEmpty());
        QCOMPARE(b->sceneJson().value("edges"_L1).toArray().size(), 0);
        QCOMPARE(d->sceneJson(), dBefore);

        DiagramItem *c = diagramNamed(model, u"C"_s);
        probe.stripItemsFromOtherDiagrams({u"t-orders"_s}, {});
        QCOMPARE(c->sceneJson().value("entities"_L1).toArray().size(), 0);
        QCOMPARE(open->sceneJson(), before);
    }

    void uniqueObjectName_data()
    {
        QTest::addColumn<QStringList>("tables");
        QTest::addColumn<QStringList>("views");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first gap") << QStringList{"table_1", "Table_3"} << QStringList{} << "table_" << "table_2";
        QTest::newRow("case ignored") << QStringList{"TABLE_1", "table_2"} << QStringList{} << "table_" << "table_3";
        QTest::newRow("views only for view names") << QStringList{"view_1"} << QStringList{"view_2"} << "view_"
                                                   << "view_1";
        QTest::newRow("no model") << QStringList{"null"} << QStringList{} << "table_" << "table_1";
    }

    void uniqueObjectName()
    {
        QFETCH(QStringList, tables);
        QFETCH(QStringList, views);
        QFETCH(QString, prefix);
        QFETCH(QString, expected);
        MainWindow w;
        MainWindowProbe probe(w);
        ModelItem model;
        for (const QString &name : tables)
            model.addTable()->setName(name);
        for (const QString &name : views)
            model.addView()->setName(name);
        QCOMPARE(probe.uniqueObjectName(tables == QStringList{"null"} ? nullptr : &model, prefix), expected);
    }

    // Each action on the box of "orders" on diagram A, against the stored boxes of B
    // (every column, a "note" row without column id) and C ("note" hidden, and a view box
    // of the table that never changes).
    void columnsSpreadFromTheOpenBox_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("onB");
        QTest::addColumn<QString>("onC");
        QTest::addColumn<QString>("mappedColumn");

        QTest::newRow("rename a row") << "rename" << "id, customer_id, amount, note"
                                      << "id, customer_id, amount, note" << "id, customer_id, amount | hidden c-note"
                                      << "amount";
        QTest::newRow("add a row") << "add" << "id, customer_id, total, note, extra"
                                   << "id, customer_id, total, note, extra"
                                   << "id, customer_id, total, extra | hidden c-note" << "total";
        QTest::newRow("remove a row shown elsewhere")
            << "remove" << "id, customer_id, note, total" << "id, customer_id, total, note"
            << "id, customer_id, total | hidden c-note" << "total";
        QTest::newRow("remove a row shown nowhere")
            << "removeUnshown" << "id, customer_id, note" << "id, customer_id, note"
            << "id, customer_id | hidden c-note" << "";
        QTest::newRow("hide a column") << "hide" << "id, customer_id, note, total" << "id, customer_id, total, note"
                                       << "id, customer_id, total | hidden c-note" << "total";
        QTest::newRow("refresh from model") << "refresh" << "id, customer_id, total, note"
                                            << "id, customer_id, total, note"
                                            << "id, customer_id, total | hidden c-note" << "total";
        QTest::newRow("rows alike in another case") << "caseTwin" << "id, customer_id, total, note, NOTE"
                                                    << "id, customer_id, total, note, NOTE"
                                                    << "id, customer_id, total, NOTE | hidden c-note" << "total";
        QTest::newRow("empty table name") << "emptyName" << "id, customer_id, total, note"
                                          << "id, customer_id, total, note"
                                          << "id, customer_id, total | hidden c-note" << "total";
    }

    void columnsSpreadFromTheOpenBox()
    {
        QFETCH(QString, action);
        QFETCH(QString, columns);
        QFETCH(QString, onB);
        QFETCH(QString, onC);
        QFETCH(QString, mappedColumn);
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        ModelItem *model = probe.currentModel();
        TableItem *orders = model->table(u"t-orders"_s);
        DiagramItem *b = diagramNamed(model, u"B"_s);
        DiagramItem *c = diagramNamed(model, u"C"_s);
        DiagramItem *d = diagramNamed(model, u"D"_s);
        const QJsonObject viewBefore = storedBox(c, u"t-orders"_s, true);
        const QJsonObject dBefore = d->sceneJson();
        const QJsonObject bTitleBefore = storedBox(b, u"t-orders"_s);
        EntityItem *box = probe.findEntityOnScene(u"t-orders"_s);
        QCOMPARE(box->title(), u"orders"_s);
        const int total = 2;

        if (action == "rename"_L1) {
            box->renameAttribute(total, u"amount"_s);
        } else if (action == "add"_L1) {
            box->addAttributeRow(u"extra"_s, u"TEXT"_s, false, false, false, false);
        } else if (action == "remove"_L1) {
            box->removeAttribute(total);
        } else if (action == "removeUnshown"_L1) {
            for (DiagramItem *other : {b, c})
                editStoredBox(other, u"t-orders"_s, [](QJsonObject &entity) {
                    QJsonArray rows = entity.value("attributes"_L1).toArray();
                    rows.removeAt(2);
                    entity.insert("attributes"_L1, rows);
                });
            box->removeAttribute(total);
        } else if (action == "hide"_L1) {
            box->hideColumn(u"c-total"_s);
            box->removeAttribute(total);
        } else if (action == "refresh"_L1) {
            box->hideColumn(u"c-note"_s);
            box->removeAttribute(3);
            QCOMPARE(boxRows(box), u"id, customer_id, total"_s);
            box->requestRefreshFromModel();
            QCOMPARE(boxRows(box), u"id, customer_id, total, note"_s);
            QVERIFY(box->hiddenColumns.isEmpty());
            QCOMPARE(probe.detailsEntity(), box);
        } else if (action == "caseTwin"_L1) {
            box->addAttributeRow(u"NOTE"_s, u"TEXT"_s, false, false, false, false);
        } else if (action == "emptyName"_L1) {
            orders->setName(QString());
            box->setAttributeType(total, u"NUMERIC(14,2)"_s);
            QCOMPARE(box->title(), u"orders"_s);
            QCOMPARE(storedBox(b, u"t-orders"_s).value("attributes"_L1).toArray().at(2)["type"_L1].toString(),
                     u"NUMERIC(14,2)"_s);
        }

        QStringList names;
        for (const ColumnItem *column : orders->columns())
            names.append(column->name());
        QCOMPARE(names.join(", "_L1), columns);
        QCOMPARE(storedRows(b, u"t-orders"_s), onB);
        QCOMPARE(storedRows(c, u"t-orders"_s), onC);
        QCOMPARE(storedBox(c, u"t-orders"_s, true), viewBefore);
        QCOMPARE(d->sceneJson(), dBefore);
        QCOMPARE(storedBox(b, u"t-orders"_s).value("title"_L1).toString(), u"orders"_s);
        QCOMPARE(bTitleBefore.value("title"_L1).toString(), u"orders"_s);
        // Every row of the open box carries its column's id.
        for (int row = 0; row < box->attributeCount(); ++row)
            QCOMPARE(columnName(orders, box->attributeColumnId(row)), box->attributeName(row));

        const MappingItem *mapping = probe.project()->mapping(u"map-total"_s);
        QCOMPARE(mapping->sourceColumnId().isEmpty() ? QString() : columnName(orders, mapping->sourceColumnId()),
                 mappedColumn);
        if (mappedColumn.isEmpty())
            QCOMPARE(orders->index(u"i-note"_s)->columns(), QStringList{u"c-note"_s});
    }

    // A column that the explorer's relationship path adds to the model alone reaches the
    // stored boxes, so the next synchronisation on a diagram that shows the table keeps it.
    void columnAddedToTheModelAloneSurvives()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        ModelItem *model = probe.currentModel();
        TableItem *orders = model->table(u"t-orders"_s);
        DiagramItem *a = diagramNamed(model, u"A"_s);
        DiagramItem *c = diagramNamed(model, u"C"_s);
        QVERIFY(probe.loadDiagramItem(diagramNamed(model, u"B"_s)));

        ColumnItem *added = orders->addColumn();
        added->setName(u"customers_id"_s);
        added->setDataType(u"BIGINT"_s);
        probe.spreadNewColumn(model, orders, added);
        QCOMPARE(storedRows(c, u"t-orders"_s), u"id, customer_id, total, customers_id | hidden c-note"_s);

        QVERIFY(probe.loadDiagramItem(a));
        EntityItem *box = probe.findEntityOnScene(u"t-orders"_s);
        QCOMPARE(boxRows(box), u"id, customer_id, total, note, customers_id"_s);
        box->setSelected(true); // the selection reaction synchronises the box
        QCOMPARE(probe.detailsEntity(), box);
        QVERIFY(orders->column(added->id()));
        QCOMPARE(box->attributeColumnId(4), added->id());
    }

    // Edits in the details panel while the table's box is on another diagram than the open
    // one survive the next synchronisation of that box.
    void detailsPanelEditsSurviveOnAnotherDiagram()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        ModelItem *model = probe.currentModel();
        TableItem *orders = model->table(u"t-orders"_s);
        QVERIFY(probe.loadDiagramItem(diagramNamed(model, u"D"_s)));
        QVERIFY(!probe.findEntityOnScene(u"t-orders"_s));

        TableDetailsController *panel = probe.tableDetails();
        panel->setProject(probe.project());
        panel->setTable(model, orders, nullptr);
        panel->addColumn();
        const QString addedId = orders->columns().constLast()->id();
        auto *columns = qobject_cast<QStandardItemModel *>(w.findChild<QTableView *>(u"tableViewColumns"_s)->model());
        QVERIFY(columns);
        for (int row = 0; row < columns->rowCount(); ++row) {
            if (columns->item(row, 0)->data(TableDetailsController::IdRole).toString() == "c-note"_L1)
                columns->item(row, 0)->setText(u"remark"_s);
        }
        QCOMPARE(orders->column(u"c-note"_s)->name(), u"remark"_s);
        panel->addConstraintColumn(); // the primary key, the first constraint, takes customer_id
        QCOMPARE(orders->constraintOfType(ConstraintType::PrimaryKey)->columns(),
                 (QStringList{u"c-id"_s, u"c-customer"_s}));

        QVERIFY(probe.loadDiagramItem(diagramNamed(model, u"A"_s)));
        EntityItem *box = probe.findEntityOnScene(u"t-orders"_s);
        box->setSelected(true);
        QCOMPARE(probe.detailsEntity(), box);
        QStringList ids;
        for (const ColumnItem *column : orders->columns())
            ids.append(column->id() + QLatin1Char('=') + column->name());
        QCOMPARE(ids, (QStringList{u"c-id=id"_s, u"c-customer=customer_id"_s, u"c-total=total"_s,
                                   u"c-note=remark"_s, addedId + u"=column_5"_s}));
        QCOMPARE(orders->constraintOfType(ConstraintType::PrimaryKey)->columns(),
                 (QStringList{u"c-id"_s, u"c-customer"_s}));
        QCOMPARE(boxRows(box), u"id, customer_id, total, remark, column_5"_s);
    }

    void renames_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("titleSignals");
        QTest::newRow("tree") << "tree" << "  purchases  " << "purchases" << 1;
        QTest::newRow("box") << "box" << "purchases" << "purchases" << 1;
        QTest::newRow("panel") << "panel" << "purchases" << "purchases" << 1;
        QTest::newRow("blank tree text restores the name") << "tree" << "   " << "orders" << 0;
        QTest::newRow("blank panel name changes nothing") << "panel" << "" << "orders" << 0;
    }

    // A rename reaches the model, the tree, the live box and every stored title once.
    void renames()
    {
        QFETCH(QString, from);
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(int, titleSignals);
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        ModelItem *model = probe.currentModel();
        EntityItem *box = probe.findEntityOnScene(u"t-orders"_s);
        const QJsonObject dBefore = diagramNamed(model, u"D"_s)->sceneJson();
        QSignalSpy titles(box, &EntityItem::titleChanged);
        QStandardItem *row = treeRow(probe.treeModel(), u"table"_s, u"t-orders"_s);
        QVERIFY(row);

        if (from == "tree"_L1)
            row->setText(typed);
        else if (from == "box"_L1)
            box->setTitle(typed);
        else
            emit probe.tableDetails()->objectRenameRequested(u"table"_s, u"t-orders"_s, typed);

        QCOMPARE(model->table(u"t-orders"_s)->name(), name);
        QCOMPARE(box->title(), name);
        QCOMPARE(titles.count(), titleSignals);
        QCOMPARE(treeRow(probe.treeModel(), u"table"_s, u"t-orders"_s)->text(), name);
        QCOMPARE(storedBox(diagramNamed(model, u"B"_s), u"t-orders"_s).value("title"_L1).toString(), name);
        QCOMPARE(storedBox(diagramNamed(model, u"C"_s), u"t-orders"_s).value("title"_L1).toString(), name);
        QCOMPARE(storedBox(diagramNamed(model, u"C"_s), u"t-orders"_s, true).value("title"_L1).toString(), name);
        QCOMPARE(diagramNamed(model, u"D"_s)->sceneJson(), dBefore);
    }

    void renameOfSurroundingBlanksOnlyTidiesTheBox()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        ModelItem *model = probe.currentModel();
        EntityItem *box = probe.findEntityOnScene(u"t-orders"_s);
        const QJsonObject bBefore = diagramNamed(model, u"B"_s)->sceneJson();
        box->setTitle(u" orders "_s);
        QCOMPARE(box->title(), u"orders"_s);
        QCOMPARE(model->table(u"t-orders"_s)->name(), u"orders"_s);
        QCOMPARE(diagramNamed(model, u"B"_s)->sceneJson(), bBefore);
    }

    void titleOfUnregisteredBoxRegistersItFirst()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        EntityItem *box = addBox(probe.scene(), u"draft"_s, {"id:BIGINT:pk"}, u"t-new"_s);
        probe.watchEntityTitle(box);
        box->setTitle(u"final"_s);
        const TableItem *table = probe.currentModel()->table(u"t-new"_s);
        QVERIFY(table);
        QCOMPARE(dump(table), u"final: id BIGINT! | PK pk_final(id)"_s);
    }

    void treeRenamesOfProjectModelAndDiagram()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QStandardItemModel *tree = probe.treeModel();
        treeRow(tree, u"project"_s, probe.project()->id())->setText(u"Shop"_s);
        QCOMPARE(probe.project()->name(), u"Shop"_s);
        treeRow(tree, u"model"_s, probe.currentModel()->id())->setText(u"Sales"_s);
        QCOMPARE(probe.currentModel()->name(), u"Sales"_s);
        treeRow(tree, u"diagram"_s, probe.currentDiagram()->id())->setText(u"Overview"_s);
        QCOMPARE(probe.currentDiagram()->name(), u"Overview"_s);
    }

    // A box filled from a table shows its columns with their key marks; a foreign key
    // with no relationship of the current model marks nothing.
    void boxFilledFromTable()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        TableItem *orders = probe.currentModel()->table(u"t-orders"_s);
        ConstraintItem *unique = orders->addConstraint();
        unique->setType(ConstraintType::Unique);
        unique->setColumns({u"c-note"_s});
        ConstraintItem *unlinked = orders->addConstraint();
        unlinked->setType(ConstraintType::ForeignKey);
        unlinked->setReferencedTableId(u"t-elsewhere"_s);
        unlinked->setColumns({u"c-total"_s});

        EntityItem *box = addBox(probe.scene(), u"orders"_s, {}, u"t-orders-2"_s);
        probe.populateEntityFromTable(box, orders);
        QStringList rows;
        for (int row = 0; row < box->attributeCount(); ++row) {
            rows.append(u"%1 %2%3%4%5"_s.arg(box->attributeName(row), box->attributeType(row),
                                             box->isAttributePrimaryKey(row) ? " pk" : "",
                                             box->isAttributeUniqueKey(row) ? " uk" : "",
                                             box->attributeFkEdgeId(row).isEmpty() ? "" : " fk:" + box->attributeFkEdgeId(row)));
        }
        QCOMPARE(rows, (QStringList{u"id BIGINT pk"_s, u"customer_id BIGINT fk:e-1"_s, u"total NUMERIC(12,2)"_s,
                                    u"note VARCHAR(200) uk"_s}));
        QVERIFY(!box->isAttributeForeignKey(2));
    }

    void adoptedDiagramBecomesModel()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"adoption-diagram.json"_s)));
        ModelItem *model = probe.currentModel();
        QCOMPARE(model->tables().size(), 2);
        QCOMPARE(model->views().size(), 1);
        QCOMPARE(model->relationships().size(), 3);
        QCOMPARE(dump(model->table(u"b-book"_s)),
                 u"book: book_id INTEGER!, author_id INTEGER, editor_id INTEGER | PK pk_book(book_id)"
                 " | FK fk_author_book(author_id) | FK fk_author_book_2(editor_id)"_s);
        QVERIFY(model->relationship(u"l-shelf"_s)->constraintId().isEmpty());
    }

    void placedTableMakesDiagramAndRebuildsTreeOnce()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        ModelItem *model = probe.currentModel();
        model->removeDiagram(probe.currentDiagram()->id());
        probe.setCurrentDiagram(nullptr);
        QSignalSpy rebuilt(probe.treeModel(), &QAbstractItemModel::modelReset);

        probe.scene()->addEntityAt(QPointF(0, 0));
        QCOMPARE(rebuilt.count(), 1);
        QVERIFY(probe.currentDiagram());
        QCOMPARE(probe.currentDiagram()->name(), u"Diagram 1"_s);
        QCOMPARE(model->diagrams(), QList<DiagramItem *>{probe.currentDiagram()});
        QCOMPARE(model->tables().size(), 1);
        QCOMPARE(dump(model->tables().first()), u"table_1: table_1_id undefined! | PK pk_table_1(table_1_id)"_s);
    }
};

QTEST_MAIN(TestModelSync)
#include "tst_modelsync.moc"
