#include "detailspanelfixture.h"

#include "constraintitem.h"
#include "diagramitem.h"
#include "relationshipitem.h"
#include "viewitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

// The Constraints tab, its two tables and buttons, and the key marks of the table's box.
class tst_DetailsConstraints : public QObject
{
    Q_OBJECT

private slots:
    void primaryKeyTakesTheFirstColumnOnce();
    void newNamesAreNumberedIgnoringCase();
    void lowerTableLayouts();
    void foreignKeyColumnsPairByPosition();
    void columnUsedTwiceOnASideReverts();
    void removingTheOnlyColumn();
    void removingARelationshipKeyAsksFirst_data();
    void removingARelationshipKeyAsksFirst();
    void tableGoneWhileAsking();
    void typeCellEdits_data();
    void typeCellEdits();
    void nameAndCheckCells();
    void markPasses_data();
    void markPasses();
    void keyFlagsReachStoredBoxes_data();
    void keyFlagsReachStoredBoxes();
    void selectedConstraintKeptById();
};

namespace {

struct Orders
{
    explicit Orders(DetailsPanelFixture &f)
    {
        customers = f.addTable(u"customers"_s, {{u"id"_s, u"bigint"_s}, {u"email"_s, u"text"_s}});
        customers->setSchema(u"crm"_s);
        orders = f.addTable(u"orders"_s, {{u"id"_s, u"bigint"_s}, {u"customer_id"_s, u"bigint"_s},
                                          {u"amount"_s, u"numeric(10,2)"_s}});
        orders->setSchema(u"sales"_s);
    }

    QString column(int index) const { return orders->columns().at(index)->id(); }

    // A foreign key of orders owned by a relationship from customers.
    ConstraintItem *addRelationshipKey(DetailsPanelFixture &f, const QString &relationshipName = u"places"_s)
    {
        ConstraintItem *fk = orders->addConstraint();
        fk->setName(u"fk_places"_s);
        fk->setType(ConstraintType::ForeignKey);
        fk->setColumns({column(1)});
        fk->setReferencedTableId(customers->id());
        fk->setReferencedColumns({customers->columns().at(0)->id()});
        relationship = f.model->addRelationship();
        relationship->setName(relationshipName);
        relationship->setFromTableId(customers->id());
        relationship->setToTableId(orders->id());
        relationship->setConstraintId(fk->id());
        return fk;
    }

    TableItem *customers = nullptr;
    TableItem *orders = nullptr;
    RelationshipItem *relationship = nullptr;
};

QStringList constraintNames(const TableItem *table)
{
    QStringList names;
    for (const ConstraintItem *constraint : table->constraints())
        names << constraint->name();
    return names;
}

QStringList headers(const QAbstractItemModel *model)
{
    QStringList texts;
    for (int column = 0; column < model->columnCount(); ++column)
        texts << model->headerData(column, Qt::Horizontal).toString();
    return texts;
}

} // namespace

void tst_DetailsConstraints::primaryKeyTakesTheFirstColumnOnce()
{
    DetailsPanelFixture f;
    Orders o(f);
    f.panel->setTable(f.model, o.orders, nullptr);
    {
        ScriptedMenu menu(u"Primary Key"_s);
        f.ui.toolButtonAddConstraint->click();
        QCOMPARE(menu.offered, (QStringList{u"Primary Key"_s, u"Foreign Key"_s, u"Unique"_s, u"Check"_s}));
        QCOMPARE(menu.position, f.ui.toolButtonAddConstraint->mapToGlobal(QPoint(0, f.ui.toolButtonAddConstraint->height())));
    }
    QCOMPARE(o.orders->constraints().size(), 1);
    const ConstraintItem *pk = o.orders->constraints().at(0);
    QCOMPARE(pk->name(), u"pk_orders"_s);
    QCOMPARE(pk->type(), int(ConstraintType::PrimaryKey));
    QCOMPARE(pk->columns(), QStringList{o.column(0)});
    QCOMPARE(f.cell(f.ui.tableViewConstraints, 0, 1), u"Primary Key"_s);

    o.orders->addConstraint()->setName(u"uk_other"_s);
    f.panel->refresh();
    f.ui.tableViewConstraints->setCurrentIndex(f.itemModel(f.ui.tableViewConstraints)->index(1, 0));
    f.panel->addConstraint(ConstraintType::PrimaryKey);
    QCOMPARE(o.orders->constraints().size(), 2);
    QCOMPARE(TableDetailsController::currentRowId(f.ui.tableViewConstraints), pk->id());

    // A dismissed menu adds nothing.
    ScriptedMenu dismissed{QString()};
    f.ui.toolButtonAddConstraint->click();
    QCOMPARE(dismissed.runs, 1);
    QCOMPARE(o.orders->constraints().size(), 2);
    QCOMPARE(f.prompts.unexpected, 0);
}

void tst_DetailsConstraints::newNamesAreNumberedIgnoringCase()
{
    DetailsPanelFixture f;
    Orders o(f);
    o.orders->addConstraint()->setName(u"uk_orders"_s);
    o.orders->addConstraint()->setName(u"UK_ORDERS_2"_s);
    f.panel->setTable(f.model, o.orders, nullptr);
    f.panel->addConstraint(ConstraintType::Unique);
    f.panel->addConstraint(ConstraintType::Check);
    f.panel->addConstraint(ConstraintType::ForeignKey);
    QCOMPARE(constraintNames(o.orders),
             (QStringList{u"uk_orders"_s, u"UK_ORDERS_2"_s, u"uk_orders_3"_s, u"ck_orders"_s, u"fk_orders"_s}));
    QCOMPARE(o.orders->constraints().at(2)->columns(), QStringList{o.column(0)});
    QVERIFY(o.orders->constraints().at(3)->columns().isEmpty());
    QVERIFY(o.orders->constraints().at(4)->referencedTableId().isEmpty());
    QCOMPARE(f.currentRow(f.ui.tableViewConstraints), 4);
}

void tst_DetailsConstraints::lowerTableLayouts()
{
    DetailsPanelFixture f;
    Orders o(f);
    ConstraintItem *unique = o.orders->addConstraint();
    unique->setColumns({o.column(2), u"gone"_s});
    ConstraintItem *fk = o.addRelationshipKey(f);
    f.panel->setTable(f.model, o.orders, nullptr);
    const QAbstractItemView *lower = f.ui.tableViewConsColumns;
    const QStandardItemModel *cells = f.itemModel(lower);

    QCOMPARE(headers(cells), (QStringList{u"Schema"_s, u"Table"_s, u"Column"_s}));
    QCOMPARE(cells->rowCount(), 2);
    QCOMPARE(f.cell(lower, 0, 0), u"sales"_s);
    QCOMPARE(f.cell(lower, 0, 1), u"orders"_s);
    QCOMPARE(f.cell(lower, 0, 2), u"amount"_s);
    QCOMPARE(f.cell(lower, 1, 2), QString());
    for (int column = 0; column < 3; ++column) {
        const QStandardItem *item = cells->item(0, column);
        QCOMPARE(item->data(TableDetailsController::IdRole).toString(), unique->id());
        QCOMPARE(item->data(TableDetailsController::FieldKindRole).toInt(), column + 1);
        QCOMPARE(item->data(TableDetailsController::SideRole).toInt(), 0);
        QCOMPARE(bool(item->flags() & Qt::ItemIsEditable), column == 2);
    }
    QCOMPARE(cells->item(0, 2)->data(TableDetailsController::ColumnIdRole).toString(), o.column(2));

    f.ui.tableViewConstraints->setCurrentIndex(f.itemModel(f.ui.tableViewConstraints)->index(1, 0));
    QCOMPARE(headers(cells), (QStringList{u"FK Schema"_s, u"FK Table"_s, u"FK Column"_s, u"PK Schema"_s,
                                          u"PK Table"_s, u"PK Column"_s}));
    QCOMPARE(cells->rowCount(), 1);
    const QStringList texts{u"sales"_s, u"orders"_s, u"customer_id"_s, u"crm"_s, u"customers"_s, u"id"_s};
    const QList<int> kinds{1, 2, 3, 1, 2, 3};
    for (int column = 0; column < 6; ++column) {
        const QStandardItem *item = cells->item(0, column);
        QCOMPARE(item->text(), texts.at(column));
        QCOMPARE(item->data(TableDetailsController::IdRole).toString(), fk->id());
        QCOMPARE(item->data(TableDetailsController::FieldKindRole).toInt(), kinds.at(column));
        QCOMPARE(item->data(TableDetailsController::SideRole).toInt(), column < 3 ? 0 : 1);
        // The relationship's line decides the referenced table.
        QCOMPARE(bool(item->flags() & Qt::ItemIsEditable), column == 2 || column == 5);
    }
    QCOMPARE(cells->item(0, 5)->data(TableDetailsController::ColumnIdRole).toString(),
             o.customers->columns().at(0)->id());
    QVERIFY(f.ui.toolButtonRemoveConstraintColumn->isEnabled());
}

void tst_DetailsConstraints::foreignKeyColumnsPairByPosition()
{
    DetailsPanelFixture f;
    Orders o(f);
    TableItem *accounts = f.addTable(u"accounts"_s, {{u"number"_s, u"int"_s}});
    f.panel->setTable(f.model, o.orders, nullptr);
    f.panel->addConstraint(ConstraintType::ForeignKey);
    ConstraintItem *fk = o.orders->constraints().at(0);
    QCOMPARE(f.itemModel(f.ui.tableViewConsColumns)->rowCount(), 0);
    QCOMPARE(f.itemModel(f.ui.tableViewConsColumns)->columnCount(), 6);

    f.ui.toolButtonAddConstraintColumn->click();
    QCOMPARE(fk->columns(), QStringList{o.column(0)});
    QCOMPARE(fk->referencedColumns(), QStringList{QString()});
    f.ui.toolButtonAddConstraintColumn->click();
    QCOMPARE(fk->columns(), (QStringList{o.column(0), o.column(1)}));

    QVERIFY(f.edit(f.ui.tableViewConsColumns, 0, 4, u"CUSTOMERS"_s));
    f.settle();
    QCOMPARE(fk->referencedTableId(), o.customers->id());
    QVERIFY(f.edit(f.ui.tableViewConsColumns, 0, 5, u"email"_s));
    QVERIFY(f.edit(f.ui.tableViewConsColumns, 1, 5, u"ID"_s));
    f.settle();
    const QString customerId = o.customers->columns().at(0)->id();
    const QString email = o.customers->columns().at(1)->id();
    QCOMPARE(fk->referencedColumns(), (QStringList{email, customerId}));
    QCOMPARE(f.cell(f.ui.tableViewConsColumns, 1, 5), u"id"_s);

    // Another referenced table keeps only the references that are its columns.
    fk->setReferencedColumns({email, accounts->columns().at(0)->id()});
    QVERIFY(f.edit(f.ui.tableViewConsColumns, 0, 4, u"accounts"_s));
    QCOMPARE(fk->referencedColumns(), (QStringList{QString(), accounts->columns().at(0)->id()}));
    QVERIFY(f.edit(f.ui.tableViewConsColumns, 0, 4, u"nowhere"_s));
    f.settle();
    QCOMPARE(fk->referencedTableId(), accounts->id());
    QCOMPARE(f.cell(f.ui.tableViewConsColumns, 0, 4), u"accounts"_s);

    // Lists of different lengths from an older file: rows up to the longer one, and a
    // new row lands at the same position in both.
    fk->setColumns({o.column(0)});
    fk->setReferencedColumns({QString(), accounts->columns().at(0)->id(), QString()});
    f.panel->refresh();
    QCOMPARE(f.itemModel(f.ui.tableViewConsColumns)->rowCount(), 3);
    f.panel->addConstraintColumn();
    QCOMPARE(fk->columns(), (QStringList{o.column(0), QString(), QString(), o.column(1)}));
    QCOMPARE(fk->referencedColumns().size(), 4);
    f.ui.tableViewConsColumns->setCurrentIndex(f.itemModel(f.ui.tableViewConsColumns)->index(1, 0));
    f.panel->removeConstraintColumn();
    QCOMPARE(fk->columns(), (QStringList{o.column(0), QString(), o.column(1)}));
    QCOMPARE(fk->referencedColumns().size(), 3);
}

void tst_DetailsConstraints::columnUsedTwiceOnASideReverts()
{
    DetailsPanelFixture f;
    Orders o(f);
    ConstraintItem *unique = o.orders->addConstraint();
    unique->setColumns({o.column(0), o.column(1)});
    f.panel->setTable(f.model, o.orders, nullptr);

    QVERIFY(f.edit(f.ui.tableViewConsColumns, 1, 2, u"id"_s));
    QVERIFY(f.edit(f.ui.tableViewConsColumns, 0, 0, u"public"_s));
    QVERIFY(f.edit(f.ui.tableViewConsColumns, 1, 2, u"no_such_column"_s));
    f.settle();
    QCOMPARE(unique->columns(), (QStringList{o.column(0), o.column(1)}));
    QCOMPARE(f.cell(f.ui.tableViewConsColumns, 1, 2), u"customer_id"_s);
    QCOMPARE(f.cell(f.ui.tableViewConsColumns, 0, 0), u"sales"_s);

    QVERIFY(f.edit(f.ui.tableViewConsColumns, 1, 2, u"AMOUNT"_s));
    QCOMPARE(unique->columns(), (QStringList{o.column(0), o.column(2)}));
}

void tst_DetailsConstraints::removingTheOnlyColumn()
{
    DetailsPanelFixture f;
    Orders o(f);
    f.panel->setTable(f.model, o.orders, nullptr);
    f.panel->addConstraint(ConstraintType::Unique);
    f.panel->addConstraint(ConstraintType::PrimaryKey);
    const QString pkId = o.orders->constraints().at(1)->id();
    QVERIFY(f.ui.tableViewConsColumns->currentIndex().isValid());
    f.ui.toolButtonRemoveConstraintColumn->click();
    f.settle();
    QCOMPARE(o.orders->constraint(pkId), nullptr);
    QCOMPARE(o.orders->constraints().size(), 1);

    f.ui.tableViewConstraints->setCurrentIndex(f.itemModel(f.ui.tableViewConstraints)->index(0, 0));
    f.ui.toolButtonRemoveConstraintColumn->click();
    QCOMPARE(o.orders->constraints().size(), 1);
    QVERIFY(o.orders->constraints().at(0)->columns().isEmpty());
    QVERIFY(!f.ui.toolButtonRemoveConstraintColumn->isEnabled());
}

void tst_DetailsConstraints::removingARelationshipKeyAsksFirst_data()
{
    QTest::addColumn<int>("answer"); // the button index, -1 for closing the box
    QTest::addColumn<bool>("removed");
    QTest::newRow("Remove") << 0 << true;
    QTest::newRow("Cancel") << 1 << false;
    QTest::newRow("closed") << -1 << false;
}

void tst_DetailsConstraints::removingARelationshipKeyAsksFirst()
{
    QFETCH(int, answer);
    QFETCH(bool, removed);
    DetailsPanelFixture f;
    Orders o(f);
    ConstraintItem *fk = o.addRelationshipKey(f);
    const QString fkId = fk->id();
    f.panel->setTable(f.model, o.orders, nullptr);
    QSignalSpy relationshipRemoved(f.panel.get(), &TableDetailsController::relationshipConstraintRemoved);
    QSignalSpy resets(f.itemModel(f.ui.tableViewConstraints), &QAbstractItemModel::modelReset);
    f.prompts.answerAsk(answer);

    f.ui.toolButtonRemoveConstraint->click();
    const QList<ScriptedPrompts::Prompt> asked = f.prompts.promptsOf(u"ask"_s);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked.at(0).title, u"Remove constraint"_s);
    QCOMPARE(asked.at(0).text, u"This foreign key belongs to a relationship. Removing it also removes the relationship."_s);
    QCOMPARE(asked.at(0).detail, u"The columns stay on the table."_s);
    QCOMPARE(asked.at(0).buttons, (QStringList{u"Remove"_s, u"Cancel"_s}));
    QCOMPARE(o.orders->constraint(fkId) == nullptr, removed);
    QCOMPARE(relationshipRemoved.count(), removed ? 1 : 0);
    if (removed)
        QCOMPARE(relationshipRemoved.at(0).at(0).toString(), o.relationship->id());
    QCOMPARE(resets.count(), 0);
    QCOMPARE(o.orders->columns().size(), 3);
    QCOMPARE(f.prompts.unexpected, 0);

    // A key no relationship owns goes without a question.
    ConstraintItem *unique = o.orders->addConstraint();
    f.panel->refresh();
    f.ui.tableViewConstraints->setCurrentIndex(f.itemModel(f.ui.tableViewConstraints)->index(removed ? 0 : 1, 0));
    f.ui.toolButtonRemoveConstraint->click();
    QCOMPARE(o.orders->constraint(unique->id()), nullptr);
    QCOMPARE(f.prompts.promptsOf(u"ask"_s).size(), 1);
}

void tst_DetailsConstraints::tableGoneWhileAsking()
{
    // Prompts that let the user's other work delete the shown table meanwhile.
    struct DeletingPrompts : ScriptedPrompts
    {
        int ask(const Question &) override
        {
            delete doomed;
            return 0;
        }
        QPointer<TableItem> doomed;
    };
    DetailsPanelFixture f;
    Orders o(f);
    o.addRelationshipKey(f);
    DeletingPrompts prompts;
    UiPrompts::Override install(&prompts);
    prompts.doomed = o.orders;
    f.panel->setTable(f.model, o.orders, nullptr);
    QSignalSpy relationshipRemoved(f.panel.get(), &TableDetailsController::relationshipConstraintRemoved);
    f.ui.toolButtonRemoveConstraint->click();
    QVERIFY(!prompts.doomed);
    QCOMPARE(relationshipRemoved.count(), 0);

    f.panel->setTable(f.model, o.customers, nullptr);
    ScriptedMenu menu(u"Unique"_s);
    menu.whileOpen = [&] {
        delete o.customers;
        o.customers = nullptr;
    };
    f.ui.toolButtonAddConstraint->click();
    QCOMPARE(menu.runs, 1);
    f.panel->refresh();
    QCOMPARE(f.itemModel(f.ui.tableViewConstraints)->rowCount(), 0);
}

void tst_DetailsConstraints::typeCellEdits_data()
{
    QTest::addColumn<int>("row"); // 0 the primary key, 1 a unique key, 2 the relationship's key
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("type");

    QTest::newRow("second primary key reverts") << 1 << u"Primary Key"_s << int(ConstraintType::Unique);
    QTest::newRow("unique to check") << 1 << u"Check"_s << int(ConstraintType::Check);
    QTest::newRow("stored name of a type") << 1 << u"foreignKey"_s << int(ConstraintType::ForeignKey);
    QTest::newRow("other text is unique") << 0 << u"whatever"_s << int(ConstraintType::Unique);
    QTest::newRow("relationship's key stays") << 2 << u"Unique"_s << int(ConstraintType::ForeignKey);
}

void tst_DetailsConstraints::typeCellEdits()
{
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(int, type);
    DetailsPanelFixture f;
    Orders o(f);
    ConstraintItem *pk = o.orders->addConstraint();
    pk->setType(ConstraintType::PrimaryKey);
    pk->setColumns({o.column(0)});
    o.orders->addConstraint();
    o.addRelationshipKey(f);
    f.panel->setTable(f.model, o.orders, nullptr);

    QVERIFY(f.edit(f.ui.tableViewConstraints, row, 1, typed));
    f.settle();
    QCOMPARE(o.orders->constraints().at(row)->type(), type);
    QCOMPARE(f.cell(f.ui.tableViewConstraints, row, 1), TableDetailsController::constraintTypeLabels().at(type));
}

void tst_DetailsConstraints::nameAndCheckCells()
{
    DetailsPanelFixture f;
    Orders o(f);
    ConstraintItem *check = o.orders->addConstraint();
    check->setName(u"ck_amount"_s);
    check->setType(ConstraintType::Check);
    ConstraintItem *unique = o.orders->addConstraint();
    unique->setName(u"uk_orders"_s);
    f.panel->setTable(f.model, o.orders, nullptr);
    QVERIFY(f.itemModel(f.ui.tableViewConstraints)->item(0, 2)->flags() & Qt::ItemIsEditable);
    QVERIFY(!(f.itemModel(f.ui.tableViewConstraints)->item(1, 2)->flags() & Qt::ItemIsEditable));

    QVERIFY(f.edit(f.ui.tableViewConstraints, 0, 2, u" amount > 0 "_s));
    QVERIFY(f.edit(f.ui.tableViewConstraints, 1, 0, u" ck_amount "_s));
    QCOMPARE(check->expression(), u" amount > 0 "_s);
    QCOMPARE(unique->name(), u"ck_amount"_s);
    QVERIFY(f.edit(f.ui.tableViewConstraints, 1, 0, u"  "_s));
    f.settle();
    QCOMPARE(unique->name(), u"ck_amount"_s);
    QCOMPARE(f.cell(f.ui.tableViewConstraints, 1, 0), u"ck_amount"_s);
}

void tst_DetailsConstraints::markPasses_data()
{
    QTest::addColumn<QString>("box"); // "table", "none" or "view"
    QTest::newRow("table box") << u"table"_s;
    QTest::newRow("no box") << u"none"_s;
    QTest::newRow("view box") << u"view"_s;
}

void tst_DetailsConstraints::markPasses()
{
    QFETCH(QString, box);
    DetailsPanelFixture f;
    Orders o(f);
    ConstraintItem *fk = o.addRelationshipKey(f);
    ConstraintItem *unique = o.orders->addConstraint();
    unique->setColumns({o.column(2)});
    EntityItem *entity = nullptr;
    if (box != "none"_L1) {
        entity = f.addBox(o.orders);
        if (box == "view"_L1)
            entity->setKind(EntityKind::View);
        // Marks a relationship of this table left behind, and one of another's.
        entity->setAttributeKeyFlags(0, false, true);
        entity->setAttributeForeignKey(2, u"stale-edge"_s);
    }
    RelationshipItem *stale = f.model->addRelationship();
    stale->setToTableId(o.orders->id());
    if (entity && !entity->isView()) {
        entity->attributes[0].fkEdgeId = stale->id();
        entity->attributes[0].isForeignKey = true;
    }
    f.panel->setTable(f.model, o.orders, nullptr);
    QSignalSpy presentation(f.panel.get(), &TableDetailsController::columnPresentationChanged);

    f.panel->addConstraint(ConstraintType::PrimaryKey);
    const ColumnItem *id = o.orders->columns().at(0);
    if (box != "table"_L1) {
        QVERIFY(id->isNullable());
        QCOMPARE(presentation.count(), 0);
        if (entity) {
            QVERIFY(!entity->isAttributePrimaryKey(0));
            QVERIFY(!entity->isAttributeForeignKey(1));
        }
        return;
    }
    QCOMPARE(presentation.count(), 1);
    QVERIFY(!id->isNullable());
    QVERIFY(entity->isAttributePrimaryKey(0) && !entity->isAttributeUniqueKey(0));
    QVERIFY(entity->isAttributeUniqueKey(2));
    QCOMPARE(entity->attributeFkEdgeId(1), o.relationship->id());
    QVERIFY(entity->attributeFkEdgeId(0).isEmpty());     // cleared: its relationship is handled
    QCOMPARE(entity->attributeFkEdgeId(2), u"stale-edge"_s); // another's mark stays

    unique->setColumns({});
    fk->setColumns({});
    f.panel->refresh();
    QVERIFY(!entity->isAttributeUniqueKey(2));
    QVERIFY(entity->attributeFkEdgeId(1).isEmpty());
    QCOMPARE(presentation.count(), 1); // not reported from inside a refresh
}

void tst_DetailsConstraints::keyFlagsReachStoredBoxes_data()
{
    QTest::addColumn<bool>("boxOnScene");
    QTest::newRow("box on the open diagram") << true;
    QTest::newRow("box on no open diagram") << false;
}

void tst_DetailsConstraints::keyFlagsReachStoredBoxes()
{
    QFETCH(bool, boxOnScene);
    DetailsPanelFixture f;
    Orders o(f);
    auto attribute = [&](int column) {
        const ColumnItem *c = o.orders->columns().at(column);
        return QJsonObject{{"columnId"_L1, c->id()}, {"name"_L1, c->name()}, {"type"_L1, c->fullTypeName()},
                           {"isPrimaryKey"_L1, false}, {"isUniqueKey"_L1, false}, {"isForeignKey"_L1, false}};
    };
    const QJsonArray rows{attribute(0), attribute(1), attribute(2)};
    DiagramItem *shows = f.model->addDiagram();
    shows->setSceneJson({{"entities"_L1, QJsonArray{QJsonObject{{"id"_L1, o.orders->id()}, {"attributes"_L1, rows}}}}});
    DiagramItem *view = f.model->addDiagram();
    view->setSceneJson({{"entities"_L1, QJsonArray{QJsonObject{{"id"_L1, o.orders->id()}, {"kind"_L1, u"entity-view"_s},
                                                               {"attributes"_L1, rows}}}}});
    DiagramItem *other = f.model->addDiagram();
    other->setSceneJson({{"entities"_L1, QJsonArray{QJsonObject{{"id"_L1, o.customers->id()}}}}});
    const QByteArray viewBefore = QJsonDocument(view->sceneJson()).toJson();
    const QByteArray otherBefore = QJsonDocument(other->sceneJson()).toJson();
    if (boxOnScene)
        f.addBox(o.orders);
    f.panel->setTable(f.model, o.orders, nullptr);
    QSignalSpy presentation(f.panel.get(), &TableDetailsController::columnPresentationChanged);

    f.panel->addConstraint(ConstraintType::PrimaryKey);
    QCOMPARE(presentation.count(), boxOnScene ? 1 : 0);
    const QJsonArray stored = shows->sceneJson()["entities"_L1][0]["attributes"_L1].toArray();
    QCOMPARE(stored.at(0)["isPrimaryKey"_L1].toBool(), true);
    QCOMPARE(stored.at(1)["isPrimaryKey"_L1].toBool(), false);
    QCOMPARE(QJsonDocument(view->sceneJson()).toJson(), viewBefore);
    QCOMPARE(QJsonDocument(other->sceneJson()).toJson(), otherBefore);

    // A column joining the key is marked there too.
    f.ui.tableViewConsColumns->setCurrentIndex(f.itemModel(f.ui.tableViewConsColumns)->index(0, 0));
    f.panel->addConstraintColumn();
    QCOMPARE(shows->sceneJson()["entities"_L1][0]["attributes"_L1][1]["isPrimaryKey"_L1].toBool(), true);
}

void tst_DetailsConstraints::selectedConstraintKeptById()
{
    DetailsPanelFixture f;
    Orders o(f);
    for (int i = 0; i < 3; ++i)
        o.orders->addConstraint()->setName(u"uk_%1"_s.arg(i));
    f.panel->setTable(f.model, o.orders, nullptr);
    QCOMPARE(f.currentRow(f.ui.tableViewConstraints), 0);
    f.ui.tableViewConstraints->setCurrentIndex(f.itemModel(f.ui.tableViewConstraints)->index(2, 0));
    const QString selected = o.orders->constraints().at(2)->id();
    o.orders->removeConstraint(o.orders->constraints().at(0)->id());
    f.panel->refresh();
    QCOMPARE(TableDetailsController::currentRowId(f.ui.tableViewConstraints), selected);
    o.orders->removeConstraint(selected);
    f.panel->refresh();
    QCOMPARE(f.currentRow(f.ui.tableViewConstraints), 0);
}

QTEST_MAIN(tst_DetailsConstraints)
#include "tst_detailsconstraints.moc"
