// Attribute rows of the entity box: merging, naming, key type propagation, the rows of
// relationship edges and every kind of removal.
#include "edgeitem.h"
#include "entityitem.h"
#include "entitytestutil.h"
#include "dialectcatalog.h"
#include "erscene.h"
#include "singlelinetextitem.h"
#include "slotitem.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QGraphicsView>
#include <QSet>
#include <QJsonObject>
#include <QJsonArray>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using entitytest::Row;
using entitytest::addBox;
using entitytest::names;

class tst_EntityItemRows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void namesTrimAndBlank_data();
    void namesTrimAndBlank();
    void makeUniqueNameSkipsTaken();
    void addingAnExistingNameMerges();
    void renameMakesUnique();
    void namesFoundAfterEveryRowChange_data();
    void namesFoundAfterEveryRowChange();
    void lastVisibleRowFollowsChanges_data();
    void lastVisibleRowFollowsChanges();
    void updateAttributeFromModel();
    void outOfRangeAndForeignCellsAreIgnored();

    void keyTypeFollowsChainByNameAndOrdinal();
    void keyTypeCycleEnds();

    void lastRowThroughCellBecomesKeyRow();
    void removeAttributeLeavesTableEmpty();
    void removingPrimaryKeyDeletesOutgoingEdges();
    void selfRelationshipRowsRemoveCleanly();
    void foreignKeyRowOfEdgeRemovedByName();
    void moveAttributeKeepsActiveRow_data();
    void moveAttributeKeepsActiveRow();
    void removeAttributesKeepsActiveRow_data();
    void removeAttributesKeepsActiveRow();
    void inheritAttributesOnce();
    void structureSignalsPerOperation();

    void rowRemovedFromItsOwnEditingFinished();
    void boxDeletedWithEdgesAttached();

private:
    ERScene *m_scene = nullptr;
};

void tst_EntityItemRows::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EntityItemRows::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
    m_scene = new ERScene;
}

void tst_EntityItemRows::cleanup()
{
    delete m_scene;
    m_scene = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void tst_EntityItemRows::namesTrimAndBlank_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::addColumn<bool>("blank");
    QTest::newRow("empty") << QString() << QString() << true;
    QTest::newRow("blanks") << QStringLiteral("   ") << QString() << true;
    QTest::newRow("tab and newline") << QStringLiteral("\t\n") << QString() << true;
    QTest::newRow("trailing unicode spaces")
        << QStringLiteral("id\u00a0\u2003\u0085") << QStringLiteral("id") << false;
    QTest::newRow("leading blank stays") << QStringLiteral(" id ") << QStringLiteral(" id") << false;
    QTest::newRow("zero-width joiner only") << QStringLiteral("\u200d") << QStringLiteral("\u200d") << true;
    QTest::newRow("joiner and blanks") << QStringLiteral(" \u200d\u200b ") << QStringLiteral(" \u200d\u200b") << true;
    QTest::newRow("letter") << QStringLiteral("a") << QStringLiteral("a") << false;
    QTest::newRow("astral letter") << QStringLiteral("\U0001D400") << QStringLiteral("\U0001D400") << false;
}

void tst_EntityItemRows::namesTrimAndBlank()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QFETCH(bool, blank);
    QCOMPARE(EntityItem::rightTrimmed(text), trimmed);
    QCOMPARE(EntityItem::isBlankText(text), blank);
}

void tst_EntityItemRows::makeUniqueNameSkipsTaken()
{
    const QStringList taken{QStringLiteral("column_3"), QStringLiteral("column_4")};
    QCOMPARE(EntityItem::makeUniqueName(QStringLiteral("column_"), 3, taken), QStringLiteral("column_5"));
    QCOMPARE(EntityItem::makeUniqueName(QStringLiteral("column_"), 0, taken), QStringLiteral("column_1"));
    QCOMPARE(EntityItem::makeUniqueName(QStringLiteral("t_"), -5, {}), QStringLiteral("t_1"));

    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"b", "INT"}, {"b_2", "INT"}});
    QCOMPARE(box->uniqueName(QStringLiteral("b")), QStringLiteral("b_3"));
    QCOMPARE(box->uniqueName(QStringLiteral("b  ")), QStringLiteral("b_3"));
    QCOMPARE(box->uniqueName(QStringLiteral("B")), QStringLiteral("B"));
}

void tst_EntityItemRows::addingAnExistingNameMerges()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"id", "INT", true}});
    box->attributes[0].columnId = QStringLiteral("col-1");
    box->attributes[0].fkEdgeId = QStringLiteral("edge-1");
    QSignalSpy structure(box, &EntityItem::structureChanged);

    // Foreign key only: the key flag stays.
    box->addAttributeRow(QStringLiteral("id \u00a0"), QStringLiteral("BIGINT"), false, false, true, false);
    QCOMPARE(box->attributeCount(), 1);
    QCOMPARE(structure.count(), 1);
    const EntityItem::Attribute &a = box->attributes.first();
    QVERIFY(a.isPrimaryKey && a.isForeignKey && a.isKey && !a.isUniqueKey);
    QCOMPARE(a.type, QStringLiteral("BIGINT"));
    QCOMPARE(box->typeItems.first()->toPlainText(), QStringLiteral("BIGINT"));
    QCOMPARE(a.columnId, QStringLiteral("col-1"));
    QCOMPARE(a.fkEdgeId, QStringLiteral("edge-1"));
    QVERIFY(box->nameItems.first()->font().italic());

    // Any other combination replaces all three flags.
    box->addAttributeRow(QStringLiteral("id"), QStringLiteral("INT"), false, true, false, false);
    QVERIFY(!box->attributes.first().isPrimaryKey);
    QVERIFY(box->attributes.first().isUniqueKey);
    QVERIFY(!box->attributes.first().isForeignKey);
    QVERIFY(box->attributes.first().isKey);
    QCOMPARE(structure.count(), 2);

    // Names compare case-sensitively; inherited counts for views only.
    box->addAttributeRow(QStringLiteral("ID"), QStringLiteral("INT"), false, false, false, true);
    QCOMPARE(box->attributeCount(), 2);
    QVERIFY(!box->attributes.last().inherited);
}

void tst_EntityItemRows::renameMakesUnique()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"a", "INT"}, {"b", "INT"}, {"b_2", "INT"}});
    QSignalSpy edited(box, &EntityItem::attributeEdited);
    box->renameAttribute(0, QStringLiteral("b"));
    QCOMPARE(box->attributeName(0), QStringLiteral("b_3"));
    QCOMPARE(box->nameItems.at(0)->toPlainText(), QStringLiteral("b_3"));
    QCOMPARE(edited.count(), 1);
    QCOMPARE(edited.first(), QVariantList({0, QStringLiteral("a"), QStringLiteral("b_3"), QStringLiteral("INT")}));

    box->renameAttribute(0, QStringLiteral("   "));
    box->renameAttribute(0, QStringLiteral("b_3"));
    box->renameAttribute(0, QStringLiteral("b_3  "));
    box->renameAttribute(7, QStringLiteral("x"));
    QCOMPARE(edited.count(), 1);
    QCOMPARE(names(box), QStringList({"b_3", "b", "b_2"}));
}

void tst_EntityItemRows::namesFoundAfterEveryRowChange_data()
{
    // Rows a, b, c, d; then one change; then "b" and "x" are added again: a name a row
    // has merges into that row, a name no row has makes a new row.
    QTest::addColumn<QString>("change");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("rename b to x") << "rename" << QStringList{"a", "x", "c", "d", "b"};
    QTest::newRow("row b removed") << "remove" << QStringList{"a", "c", "d", "b", "x"};
    QTest::newRow("b moved to the end") << "move" << QStringList{"a", "c", "d", "b", "x"};
    QTest::newRow("b updated from the model as x") << "update" << QStringList{"a", "x", "c", "d", "b"};
    QTest::newRow("rows read anew") << "read" << QStringList{"d", "c", "b", "a", "x"};
    QTest::newRow("row edited in place to x") << "edit" << QStringList{"a", "x", "c", "d", "b"};
}

void tst_EntityItemRows::namesFoundAfterEveryRowChange()
{
    QFETCH(QString, change);
    QFETCH(QStringList, expected);
    EntityItem *box = addBox(m_scene, "t", {{"a", "INT", true}, {"b", "TEXT"}, {"c", "TEXT"}, {"d", "TEXT"}});
    QCOMPARE(box->uniqueName("c"), QStringLiteral("c_2"));
    if (change == "rename") {
        box->renameAttribute(1, "x");
    } else if (change == "remove") {
        box->removeAttribute(1);
    } else if (change == "move") {
        box->moveAttribute(1, 3);
    } else if (change == "update") {
        box->updateAttribute(1, QString(), "x", "TEXT", false, false, false);
    } else if (change == "read") {
        QJsonArray rows;
        for (const QString &name : {"d", "c", "b", "a"})
            rows.append(QJsonObject{{"name", name}, {"type", "TEXT"}});
        box->fromJson(QJsonObject{{"title", "t"}, {"attributes", rows}});
    } else if (change == "edit") {
        SingleLineTextItem *cell = box->nameItems.at(1);
        cell->setPlainText("x");
        box->onAttributeEditingFinished(cell);
    }
    box->addAttributeRow("b", "BIGINT", false, false, false, false);
    box->addAttributeRow("x", "BIGINT", false, false, false, false);
    QCOMPARE(names(box), expected);
    // Every name is there once, and a merge took the new type.
    QCOMPARE(QSet<QString>(expected.cbegin(), expected.cend()).size(), expected.size());
    QCOMPARE(box->attributeType(int(expected.indexOf("x"))), QStringLiteral("BIGINT"));
    QCOMPARE(box->uniqueName("x"), QStringLiteral("x_2"));
}

void tst_EntityItemRows::lastVisibleRowFollowsChanges_data()
{
    // Rows k (key), a, b, f (foreign key); the last visible row after a change.
    QTest::addColumn<int>("perspective");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("lastVisible");
    QTest::newRow("full") << int(Full) << "" << "f";
    QTest::newRow("full, row added") << int(Full) << "add" << "n";
    QTest::newRow("full, last row removed") << int(Full) << "remove last" << "b";
    QTest::newRow("full, last row moved up") << int(Full) << "move last up" << "b";
    QTest::newRow("keys, row added") << int(NamePrimaryForeign) << "add" << "f";
    QTest::newRow("primary, row added") << int(NamePrimary) << "add" << "k";
    QTest::newRow("name only, row added") << int(NameOnly) << "add" << "";
    QTest::newRow("keys, then full") << int(NamePrimaryForeign) << "full" << "f";
}

void tst_EntityItemRows::lastVisibleRowFollowsChanges()
{
    QFETCH(int, perspective);
    QFETCH(QString, change);
    QFETCH(QString, lastVisible);
    EntityItem *box = addBox(m_scene, "t", {});
    box->setPerspective(perspective);
    for (const Row &row : QList<Row>{{"k", "INT", true}, {"a", "TEXT"}, {"b", "TEXT"}, {"f", "INT", false, false, true}})
        box->addAttributeRow(row.name, row.type, row.pk, row.uk, row.fk, false);
    if (change == "add")
        box->addAttributeRow("n", "TEXT", false, false, false, false);
    else if (change == "remove last")
        box->removeAttribute(3);
    else if (change == "move last up")
        box->moveAttribute(3, 0);
    else if (change == "full")
        box->setPerspective(Full);

    QStringList marked;
    for (int row = 0; row < box->attributeCount(); ++row) {
        QCOMPARE(box->nameItems.at(row)->isLastRow(), box->typeItems.at(row)->isLastRow());
        if (box->nameItems.at(row)->isLastRow())
            marked.append(box->attributeName(row));
    }
    QCOMPARE(marked, lastVisible.isEmpty() ? QStringList() : QStringList{lastVisible});
}

void tst_EntityItemRows::updateAttributeFromModel()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"a", "INT"}, {"b", "INT"}});
    QSignalSpy structure(box, &EntityItem::structureChanged);
    QSignalSpy edited(box, &EntityItem::attributeEdited);

    box->updateAttribute(0, QStringLiteral("col-a"), QStringLiteral("  "), QStringLiteral("TEXT"),
                         false, false, false);
    QCOMPARE(box->attributeName(0), QStringLiteral("a"));
    QCOMPARE(box->attributeType(0), QStringLiteral("TEXT"));
    QCOMPARE(box->attributeColumnId(0), QStringLiteral("col-a"));

    box->updateAttribute(0, QString(), QStringLiteral(" b "), QStringLiteral("TEXT"), true, false, false);
    QCOMPARE(box->attributeColumnId(0), QStringLiteral("col-a"));
    QCOMPARE(box->attributeName(0), QStringLiteral("b_2"));
    QVERIFY(box->isAttributePrimaryKey(0));
    QCOMPARE(box->nameItems.at(0)->font().weight(), QFont::Bold);

    // A row an edge made stays a foreign key, whatever the model says.
    box->setAttributeForeignKey(1, QStringLiteral("edge-1"));
    box->updateAttribute(1, QString(), QStringLiteral("b"), QStringLiteral("INT"), false, false, false);
    QVERIFY(box->isAttributeForeignKey(1));
    box->updateAttribute(9, QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x"), true, true, true);

    QCOMPARE(structure.count(), 0);
    QCOMPARE(edited.count(), 0);
}

void tst_EntityItemRows::outOfRangeAndForeignCellsAreIgnored()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"a", "INT"}});
    EntityItem *other = addBox(m_scene, QStringLiteral("o"), {{"x", "INT"}});
    QSignalSpy structure(box, &EntityItem::structureChanged);
    for (int row : {-1, 1, 100}) {
        box->removeAttribute(row);
        box->setAttributeType(row, QStringLiteral("X"));
        box->setAttributeKeyFlags(row, true, true);
        box->setAttributeForeignKey(row, QStringLiteral("e"));
        box->setAttributeColumnId(row, QStringLiteral("c"));
        box->moveAttribute(row, 0);
        QCOMPARE(box->attributeName(row), QString());
        QCOMPARE(box->isAttributePrimaryKey(row), false);
        QCOMPARE(box->isRowVisible(row), false);
    }
    QVERIFY(!box->removeAttributeOfTextItem(nullptr));
    QVERIFY(!box->removeAttributeOfTextItem(other->nameItems.first()));
    QVERIFY(!box->removeAttributeOfTextItem(box->titleText_));
    QCOMPARE(box->rowIndexOfTextItem(box->titleText_), -1);
    box->removeAttributeByName(QStringLiteral("missing"));
    box->inheritAttributesFrom(other, QStringLiteral("e"));
    box->highlightEdgeAttributes(nullptr, true);
    QCOMPARE(box->foreignKeyRowsForEdge(nullptr), QList<int>());
    QCOMPARE(names(box), QStringList({"a"}));
    QCOMPARE(structure.count(), 0);

    EntityItem *view = addBox(m_scene, QStringLiteral("v"), {}, QPointF(), true);
    view->addForeignKeyAttribute(QStringLiteral("x"), QStringLiteral("INT"), QStringLiteral("e"), QString());
    view->inheritAttributesFrom(view, QStringLiteral("e"));
    view->inheritAttributesFrom(nullptr, QStringLiteral("e"));
    QCOMPARE(view->attributeCount(), 0);
}

void tst_EntityItemRows::keyTypeFollowsChainByNameAndOrdinal()
{
    EntityItem *a = addBox(m_scene, QStringLiteral("a"), {{"id", "INT", true}});
    EntityItem *b = addBox(m_scene, QStringLiteral("b"), {{"b_id", "INT", true}}, QPointF(300, 0));
    EntityItem *c = addBox(m_scene, QStringLiteral("c"), {{"c_id", "INT", true}}, QPointF(600, 0));
    auto *ab = new EdgeItem(a, b, true);
    m_scene->addItem(ab);
    QCOMPARE(names(b), QStringList({"b_id", "id"}));
    // b's copy of a's key is part of b's key, and c copies both.
    b->setAttributeKeyFlags(1, true, false);
    auto *bc = new EdgeItem(b, c, true);
    m_scene->addItem(bc);
    QCOMPARE(names(c), QStringList({"c_id", "b_id", "id"}));

    QSignalSpy editedB(b, &EntityItem::attributeEdited);
    QSignalSpy editedC(c, &EntityItem::attributeEdited);
    a->setAttributeType(0, QStringLiteral("BIGINT"));
    QCOMPARE(b->attributeType(1), QStringLiteral("BIGINT"));
    QCOMPARE(c->attributeType(2), QStringLiteral("BIGINT"));
    QCOMPARE(c->attributeType(1), QStringLiteral("INT"));
    QCOMPARE(editedB.count(), 1);
    QCOMPARE(editedC.count(), 1);

    // By ordinal: the child row no longer carries the key's name.
    c->renameAttribute(1, QStringLiteral("parent_key"));
    b->setAttributeType(0, QStringLiteral("UUID"));
    QCOMPARE(c->attributeType(1), QStringLiteral("UUID"));
    QCOMPARE(c->attributeType(2), QStringLiteral("BIGINT"));

    // Setting the same type again stops at once.
    editedC.clear();
    a->setAttributeType(0, QStringLiteral("BIGINT"));
    QCOMPARE(editedC.count(), 0);
}

void tst_EntityItemRows::keyTypeCycleEnds()
{
    EntityItem *a = addBox(m_scene, QStringLiteral("a"), {{"id", "INT", true}});
    EntityItem *b = addBox(m_scene, QStringLiteral("b"), {{"id", "INT", true}}, QPointF(300, 0));
    // a.id -> b.id and b.id -> a.id, both keys: a cycle of key to key.
    auto *ab = new EdgeItem(a, b, false);
    auto *ba = new EdgeItem(b, a, false);
    m_scene->addItem(ab);
    m_scene->addItem(ba);
    a->setAttributeForeignKey(0, ba->id);
    b->setAttributeForeignKey(0, ab->id);
    QVERIFY(a->isAttributePrimaryKey(0) && a->isAttributeForeignKey(0));

    // And a self-relationship on a whose foreign key is also its key.
    auto *self = new EdgeItem(a, a, true);
    m_scene->addItem(self);
    const int selfRow = a->attributeCount() - 1;
    a->setAttributeKeyFlags(selfRow, true, false);

    a->setAttributeType(0, QStringLiteral("BIGINT"));
    QCOMPARE(b->attributeType(0), QStringLiteral("BIGINT"));
    QCOMPARE(a->attributeType(0), QStringLiteral("BIGINT"));
    QCOMPARE(a->attributeType(selfRow), QStringLiteral("BIGINT"));
}

void tst_EntityItemRows::lastRowThroughCellBecomesKeyRow()
{
    m_scene->dialect = QStringLiteral("PostgreSQL");
    EntityItem *box = addBox(m_scene, QStringLiteral("orders"), {{"only", "TEXT"}});
    QSignalSpy structure(box, &EntityItem::structureChanged);
    QVERIFY(box->removeAttributeOfTextItem(box->typeItems.first()));
    QCOMPARE(names(box), QStringList({"orders_id"}));
    QCOMPARE(box->attributeType(0), defaultKeyTypeForDialect(QStringLiteral("PostgreSQL")));
    QCOMPARE(box->attributeType(0), QStringLiteral("BIGINT"));
    QVERIFY(box->isAttributePrimaryKey(0));
    QCOMPARE(structure.count(), 1);

    // Outside a diagram scene the key type is that of no dialect.
    EntityItem loose(QStringLiteral("loose"), QSizeF(150, 70));
    loose.addAttributeRow(QStringLiteral("x"), QStringLiteral("INT"), false, false, false, false);
    loose.removeAttributeByName(QStringLiteral("x"));
    QCOMPARE(names(&loose), QStringList({"loose_id"}));
    QCOMPARE(loose.attributeType(0), defaultKeyTypeForDialect(QString()));

    // A view stays empty.
    EntityItem *view = addBox(m_scene, QStringLiteral("v"), {{"x", "INT"}}, QPointF(), true);
    QVERIFY(view->removeAttributeOfTextItem(view->nameItems.first()));
    QCOMPARE(view->attributeCount(), 0);
}

void tst_EntityItemRows::removeAttributeLeavesTableEmpty()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"id", "INT", true}});
    QSignalSpy structure(box, &EntityItem::structureChanged);
    box->removeAttribute(0);
    QCOMPARE(box->attributeCount(), 0);
    QCOMPARE(box->nameItems.size(), 0);
    QCOMPARE(structure.count(), 1);
    QCOMPARE(box->rect.height(), 40.0);
}

void tst_EntityItemRows::removingPrimaryKeyDeletesOutgoingEdges()
{
    EntityItem *parent = addBox(m_scene, QStringLiteral("p"), {{"id", "INT", true}, {"name", "TEXT"}});
    EntityItem *child1 = addBox(m_scene, QStringLiteral("c1"), {{"c1_id", "INT", true}, {"x", "TEXT"}},
                                QPointF(300, 0));
    EntityItem *child2 = addBox(m_scene, QStringLiteral("c2"), {{"c2_id", "INT", true}}, QPointF(0, 300));
    QPointer<EdgeItem> e1 = new EdgeItem(parent, child1, true);
    QPointer<EdgeItem> e2 = new EdgeItem(parent, child2, true);
    m_scene->addItem(e1);
    m_scene->addItem(e2);
    QCOMPARE(names(child1), QStringList({"c1_id", "x", "id"}));
    QCOMPARE(names(child2), QStringList({"c2_id", "id"}));
    // An incoming edge of the parent survives.
    EntityItem *grand = addBox(m_scene, QStringLiteral("g"), {{"g_id", "INT", true}}, QPointF(-300, 0));
    QPointer<EdgeItem> incoming = new EdgeItem(grand, parent, true);
    m_scene->addItem(incoming);

    QSignalSpy structure(parent, &EntityItem::structureChanged);
    parent->removeAttributeByName(QStringLiteral("id"));
    QVERIFY(e1.isNull());
    QVERIFY(e2.isNull());
    QVERIFY(!incoming.isNull());
    QCOMPARE(names(child1), QStringList({"c1_id", "x"}));
    QCOMPARE(names(child2), QStringList({"c2_id"}));
    QCOMPARE(names(parent), QStringList({"name", "g_id"}));
    QCOMPARE(structure.count(), 1);
    QCOMPARE(parent->edges.size(), 1);
}

void tst_EntityItemRows::selfRelationshipRowsRemoveCleanly()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"),
                             {{"id", "INT", true}, {"name", "TEXT"}});
    QPointer<EdgeItem> self = new EdgeItem(box, box, true);
    m_scene->addItem(self);
    QCOMPARE(box->edges.size(), 2);
    QCOMPARE(names(box), QStringList({"id", "name", "id_2"}));

    // Through the foreign-key row: the edge is listed twice and deleted once.
    box->removeAttributeByName(QStringLiteral("id_2"));
    QVERIFY(self.isNull());
    QCOMPARE(names(box), QStringList({"id", "name"}));
    QVERIFY(box->edges.isEmpty());

    // Through the key row, with the edge's row placed above the key.
    self = new EdgeItem(box, box, true);
    m_scene->addItem(self);
    box->moveAttribute(2, 0);
    QCOMPARE(names(box), QStringList({"id_2", "id", "name"}));
    box->removeAttributeByName(QStringLiteral("id"));
    QVERIFY(self.isNull());
    QCOMPARE(names(box), QStringList({"name"}));
    QVERIFY(box->edges.isEmpty());
}

void tst_EntityItemRows::foreignKeyRowOfEdgeRemovedByName()
{
    EntityItem *parent = addBox(m_scene, QStringLiteral("p"), {{"id", "INT", true}});
    EntityItem *child = addBox(m_scene, QStringLiteral("c"), {{"c_id", "INT", true}, {"a", "TEXT"}},
                               QPointF(300, 0));
    QPointer<EdgeItem> edge = new EdgeItem(parent, child, true);
    m_scene->addItem(edge);
    child->addAttributeRow(QStringLiteral("y"), QStringLiteral("TEXT"), false, false, false, false);
    QCOMPARE(names(child), QStringList({"c_id", "a", "id", "y"}));

    QSignalSpy structure(child, &EntityItem::structureChanged);
    child->removeAttributeByName(QStringLiteral("id"));
    QVERIFY(edge.isNull());
    QCOMPARE(names(child), QStringList({"c_id", "a", "y"}));
    QCOMPARE(structure.count(), 1);
    QCOMPARE(names(parent), QStringList({"id"}));

    // A foreign key without an edge id finds its edge by the parent's key.
    edge = new EdgeItem(parent, child, false);
    m_scene->addItem(edge);
    child->addAttributeRow(QStringLiteral("id"), QStringLiteral("INT"), false, false, true, false);
    child->removeAttributeByName(QStringLiteral("id"));
    QVERIFY(edge.isNull());
    QCOMPARE(names(child), QStringList({"c_id", "a", "y"}));
}

void tst_EntityItemRows::moveAttributeKeepsActiveRow_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("active");
    QTest::addColumn<int>("expected");
    QTest::newRow("moved row") << 1 << 3 << 1 << 3;
    QTest::newRow("up past active") << 2 << 0 << 1 << 2;
    QTest::newRow("down past active") << 0 << 2 << 1 << 0;
    QTest::newRow("onto active from above") << 0 << 2 << 2 << 1;
    QTest::newRow("onto active from below") << 3 << 1 << 1 << 2;
    QTest::newRow("below the move") << 0 << 1 << 3 << 3;
    QTest::newRow("none") << 0 << 3 << -1 << -1;
    QTest::newRow("same place") << 0 << 0 << 0 << 0;
}

void tst_EntityItemRows::moveAttributeKeepsActiveRow()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, active);
    QFETCH(int, expected);
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
    box->activeRow = active;
    QSignalSpy structure(box, &EntityItem::structureChanged);
    QStringList order = names(box);
    if (from != to)
        order.move(from, to);
    box->moveAttribute(from, to);
    QCOMPARE(box->activeRow, expected);
    QCOMPARE(names(box), order);
    QCOMPARE(structure.count(), from != to ? 1 : 0);
    for (int row = 0; row < 4; ++row) {
        QCOMPARE(box->nameItems.at(row)->toPlainText(), order.at(row));
        QCOMPARE(box->nameItems.at(row)->pos().y(), 33.0 + 18 * row);
    }
}

void tst_EntityItemRows::removeAttributesKeepsActiveRow_data()
{
    QTest::addColumn<int>("active");
    QTest::addColumn<int>("expected");
    // Rows a, fk, b, fk, c; both fk rows go.
    QTest::newRow("after both") << 4 << 2;
    QTest::newRow("between") << 2 << 1;
    QTest::newRow("before") << 0 << 0;
    QTest::newRow("removed row") << 3 << -1;
    QTest::newRow("none") << -1 << -1;
}

void tst_EntityItemRows::removeAttributesKeepsActiveRow()
{
    QFETCH(int, active);
    QFETCH(int, expected);
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"a", "1"}, {"f1", "2"}, {"b", "3"},
                                                             {"f2", "4"}, {"c", "5"}});
    box->setAttributeForeignKey(1, QStringLiteral("edge"));
    box->setAttributeForeignKey(3, QStringLiteral("edge"));
    box->activeRow = active;
    QSignalSpy structure(box, &EntityItem::structureChanged);
    box->removeAttributes(QStringLiteral("other"));
    box->removeAttributes(QString());
    QCOMPARE(box->attributeCount(), 5);
    box->removeAttributes(QStringLiteral("edge"));
    QCOMPARE(names(box), QStringList({"a", "b", "c"}));
    QCOMPARE(box->activeRow, expected);
    QCOMPARE(structure.count(), 0);
}

void tst_EntityItemRows::inheritAttributesOnce()
{
    EntityItem *source = addBox(m_scene, QStringLiteral("s"),
                                {{"id", "INT", true}, {"name", "TEXT"}, {"", "TEXT"}});
    EntityItem *view = addBox(m_scene, QStringLiteral("v"), {{"name", "TEXT"}}, QPointF(300, 0), true);
    QSignalSpy structure(view, &EntityItem::structureChanged);
    view->inheritAttributesFrom(source, QStringLiteral("link"));
    QCOMPARE(names(view), QStringList({"name", "id", "name_2"}));
    QCOMPARE(structure.count(), 2);
    QVERIFY(view->attributes.at(1).inherited);
    QCOMPARE(view->attributeFkEdgeId(1), QStringLiteral("link"));
    QCOMPARE(view->attributeFkEdgeId(2), QStringLiteral("link"));
    QVERIFY(view->nameItems.at(1)->font().italic());

    view->inheritAttributesFrom(source, QStringLiteral("link"));
    QCOMPARE(view->attributeCount(), 3);
    QCOMPARE(structure.count(), 2);
}

void tst_EntityItemRows::structureSignalsPerOperation()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"a", "INT"}, {"b", "INT"}, {"c", "INT"}});
    QSignalSpy structure(box, &EntityItem::structureChanged);
    QSignalSpy edited(box, &EntityItem::attributeEdited);
    box->addAttributeRow(QStringLiteral("d"), QStringLiteral("INT"), false, false, false, false);
    QCOMPARE(structure.count(), 1);
    box->moveAttribute(3, 0);
    QCOMPARE(structure.count(), 2);
    box->removeAttribute(0);
    QCOMPARE(structure.count(), 3);
    box->removeAttributeByName(QStringLiteral("a"));
    QCOMPARE(structure.count(), 4);
    QVERIFY(box->removeAttributeOfTextItem(box->nameItems.first()));
    QCOMPARE(structure.count(), 4);
    box->setAttributeKeyFlags(0, true, false);
    box->setAttributeForeignKey(0, QStringLiteral("e"));
    box->setAttributeColumnId(0, QStringLiteral("col"));
    box->hideColumn(QStringLiteral("col"));
    box->updateAttribute(0, QString(), QStringLiteral("z"), QStringLiteral("TEXT"), true, false, false);
    QCOMPARE(structure.count(), 4);
    QCOMPARE(edited.count(), 0);
    box->setAttributeType(0, QStringLiteral("TEXT"));
    QCOMPARE(edited.count(), 0);
    box->setAttributeType(0, QStringLiteral("INT"));
    QCOMPARE(edited.count(), 1);
    // Only the key row that refills an emptied table emits.
    QVERIFY(box->removeAttributeOfTextItem(box->typeItems.first()));
    QCOMPARE(names(box), QStringList({"t_id"}));
    QCOMPARE(structure.count(), 5);

    box->hideColumn(QStringLiteral("col"));
    box->hideColumn(QString());
    QCOMPARE(box->hiddenColumns, QStringList({"col"}));
}

void tst_EntityItemRows::rowRemovedFromItsOwnEditingFinished()
{
    QGraphicsView view(m_scene);
    view.resize(500, 300);
    view.show();
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));

    EntityItem *box = addBox(m_scene, QStringLiteral("t"),
                             {{"a", "INT", true}, {"b", "TEXT"}, {"c", "TEXT"}});
    QPointer<SingleLineTextItem> cell = box->nameItems.at(1);
    // What the main window's sync does: the row goes while its cell is still emitting.
    connect(cell.data(), &SingleLineTextItem::editingFinished, box,
            [box](SingleLineTextItem *who) { box->removeAttributeOfTextItem(who); });
    cell->beginEditing();
    QVERIFY(cell->hasFocus());
    QTest::keyClick(view.viewport(), Qt::Key_Return);
    QCOMPARE(names(box), QStringList({"a", "c"}));
    QVERIFY(!cell.isNull());
    QVERIFY(!cell->scene());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(cell.isNull());
}

void tst_EntityItemRows::boxDeletedWithEdgesAttached()
{
    EntityItem *parent = addBox(m_scene, QStringLiteral("p"), {{"id", "INT", true}});
    EntityItem *child = addBox(m_scene, QStringLiteral("c"), {{"c_id", "INT", true}}, QPointF(300, 0));
    QPointer<EdgeItem> edge = new EdgeItem(parent, child, true);
    QPointer<EdgeItem> self = new EdgeItem(child, child, false);
    m_scene->addItem(edge);
    m_scene->addItem(self);
    QCOMPARE(child->edges.size(), 3);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("EntityItem destroyed with 2 attached edges"));
    delete child;
    QVERIFY(edge.isNull());
    QVERIFY(self.isNull());
    QVERIFY(parent->edges.isEmpty());
    QVERIFY(parent->slotItems.first()->edge() == nullptr);

    // The parent's deletion later finds nothing to do.
    delete parent;
}

QTEST_MAIN(tst_EntityItemRows)
#include "tst_entityitem_rows.moc"
