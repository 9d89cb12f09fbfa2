#include "columnitem.h"
#include "constraintitem.h"
#include "indexitem.h"
#include "tableitem.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_TableItem : public QObject
{
    Q_OBJECT

private slots:
    void newTableWritesEverything();
    void properties();
    void columnByNameIsExactAndTakesFirst();
    void columnLookupsFollowRenamesAndRemovals();
    void reorderColumns_data();
    void reorderColumns();
    void removeColumnScrubsConstraintAndIndexIds();
    void removeColumnWithUnknownIdChangesNothing();
    void removeConstraintAndIndex();
    void constraintOfType();
    void fromJsonReplacesChildrenAtOnce();
    void fromJsonLenientValues();
    void roundTripKeepsOrderIdsAndProperties();
};

static QStringList ids(const QList<ColumnItem *> &columns)
{
    QStringList result;
    for (const ColumnItem *column : columns)
        result << column->id();
    return result;
}

void tst_TableItem::newTableWritesEverything()
{
    TableItem table;
    const QJsonObject json = table.toJson();
    QCOMPARE(json.size(), 8);
    const QString id = json.value("id"_L1).toString();
    QCOMPARE(id.size(), 36);
    QVERIFY(!id.contains(u'{'));
    QCOMPARE(id, id.toLower());
    QCOMPARE(json.value("name"_L1), QJsonValue(u""_s));
    QCOMPARE(json.value("schema"_L1), QJsonValue(u""_s));
    QCOMPARE(json.value("comment"_L1), QJsonValue(u""_s));
    QCOMPARE(json.value("properties"_L1), QJsonValue(QJsonObject()));
    QCOMPARE(json.value("columns"_L1), QJsonValue(QJsonArray()));
    QCOMPARE(json.value("constraints"_L1), QJsonValue(QJsonArray()));
    QCOMPARE(json.value("indexes"_L1), QJsonValue(QJsonArray()));
}

void tst_TableItem::properties()
{
    TableItem table;
    table.setProperty(QString(), u"x"_s);
    QVERIFY(table.properties().isEmpty());
    table.setProperty(u"engine"_s, QString());
    QVERIFY(table.properties().contains("engine"_L1));
    QCOMPARE(table.properties().value("engine"_L1), QJsonValue(u""_s));
    table.setProperty(u"engine"_s, u"InnoDB"_s);
    QCOMPARE(table.property(u"engine"_s), u"InnoDB"_s);

    table.fromJson(QJsonDocument::fromJson(R"j({"properties": {"fillfactor": 70, "unlogged": true}})j").object());
    QVERIFY(table.property(u"fillfactor"_s).isEmpty());
    QVERIFY(table.property(u"absent"_s).isEmpty());
    // Values of other types survive a round trip untouched.
    QCOMPARE(table.toJson().value("properties"_L1).toObject().value("fillfactor"_L1), QJsonValue(70));

    table.fromJson(QJsonDocument::fromJson(R"j({"properties": [1, 2]})j").object());
    QVERIFY(table.properties().isEmpty());
}

void tst_TableItem::columnByNameIsExactAndTakesFirst()
{
    TableItem table;
    ColumnItem *first = table.addColumn();
    first->setName(u"Email"_s);
    ColumnItem *second = table.addColumn();
    second->setName(u"EMAIL"_s);
    ColumnItem *twin = table.addColumn();
    twin->setName(u"Email"_s);
    QCOMPARE(table.columnByName(u"Email"_s), first);
    QCOMPARE(table.columnByName(u"EMAIL"_s), second);
    QCOMPARE(table.columnByName(u"email"_s), nullptr);
    QCOMPARE(table.columnMatching(u"email"_s), first);
    QCOMPARE(table.columnMatching(u"EMAIL"_s), second);
    QCOMPARE(table.columnByName(u"mail"_s), nullptr);
    QCOMPARE(table.column(first->id().toUpper()), nullptr);
    QCOMPARE(table.column(second->id()), second);
}

// The hashed look-ups answer as a scan in column order would after every change.
void tst_TableItem::columnLookupsFollowRenamesAndRemovals()
{
    TableItem table;
    ColumnItem *a = table.addColumn();
    a->setName(u"a"_s);
    ColumnItem *b = table.addColumn();
    b->setName(u"b"_s);
    QCOMPARE(table.columnByName(u"a"_s), a);
    b->setName(u"a"_s);
    QCOMPARE(table.columnByName(u"a"_s), a);
    a->setName(u"c"_s);
    QCOMPARE(table.columnByName(u"a"_s), b);
    QCOMPARE(table.columnByName(u"c"_s), a);
    table.reorderColumns({b->id(), a->id()});
    a->setName(u"a"_s);
    QCOMPARE(table.columnByName(u"a"_s), b);
    table.removeColumn(b->id());
    QCOMPARE(table.columnByName(u"a"_s), a);
    QCOMPARE(table.column(b->id()), nullptr);
    const QString oldId = a->id();
    a->setId(u"c-a"_s);
    QCOMPARE(table.column(oldId), nullptr);
    QCOMPARE(table.column(u"c-a"_s), a);
    table.fromJson(QJsonObject{{u"columns"_s, QJsonArray{QJsonObject{{u"id"_s, u"x"_s}, {u"name"_s, u"x"_s}}}}});
    QCOMPARE(table.columnByName(u"a"_s), nullptr);
    QCOMPARE(table.columnByName(u"x"_s), table.column(u"x"_s));
    QVERIFY(table.column(u"x"_s));
}

void tst_TableItem::reorderColumns_data()
{
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("c, unknown, a, c") << QStringList{u"c"_s, u"x"_s, u"a"_s, u"c"_s}
                                      << QStringList{u"c"_s, u"a"_s, u"b"_s};
    QTest::newRow("empty") << QStringList() << QStringList{u"a"_s, u"b"_s, u"c"_s};
    QTest::newRow("full reverse") << QStringList{u"c"_s, u"b"_s, u"a"_s}
                                  << QStringList{u"c"_s, u"b"_s, u"a"_s};
}

void tst_TableItem::reorderColumns()
{
    QFETCH(QStringList, order);
    QFETCH(QStringList, expected);
    TableItem table;
    for (const QString &id : {u"a"_s, u"b"_s, u"c"_s})
        table.addColumn()->setId(id);
    table.reorderColumns(order);
    QCOMPARE(ids(table.columns()), expected);
}

void tst_TableItem::removeColumnScrubsConstraintAndIndexIds()
{
    TableItem table;
    ColumnItem *a = table.addColumn();
    ColumnItem *b = table.addColumn();
    ColumnItem *c = table.addColumn();
    a->setName(u"a"_s);

    ConstraintItem *pk = table.addConstraint();
    pk->setType(ConstraintType::PrimaryKey);
    pk->setColumns({a->id()});
    ConstraintItem *fk = table.addConstraint();
    fk->setType(ConstraintType::ForeignKey);
    fk->setColumns({b->id(), a->id()});
    fk->setReferencedColumns({a->id(), u"other"_s, a->id()});
    IndexItem *index = table.addIndex();
    index->setColumns({a->id(), c->id(), a->id()});
    IndexItem *single = table.addIndex();
    single->setColumns({a->id()});

    QPointer<ColumnItem> removed = a;
    table.removeColumn(a->id());

    QCOMPARE(ids(table.columns()), (QStringList{b->id(), c->id()}));
    QCOMPARE(table.constraints().size(), 2);
    QVERIFY(pk->columns().isEmpty());
    QCOMPARE(fk->columns(), QStringList{b->id()});
    QCOMPARE(fk->referencedColumns(), QStringList{u"other"_s});
    QCOMPARE(index->columns(), QStringList{c->id()});
    QCOMPARE(table.indexes().size(), 2);
    QVERIFY(single->columns().isEmpty());
    QCOMPARE(table.column(a->id()), nullptr);

    // Deletion is deferred: the column is readable until the event loop runs.
    QVERIFY(!removed.isNull());
    QCOMPARE(removed->name(), u"a"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(removed.isNull());
}

void tst_TableItem::removeColumnWithUnknownIdChangesNothing()
{
    TableItem empty;
    empty.removeColumn(u"x"_s);
    QVERIFY(empty.columns().isEmpty());

    TableItem table;
    ColumnItem *a = table.addColumn();
    table.addIndex()->setColumns({a->id(), u"x"_s});
    table.removeColumn(u"x"_s);
    table.removeColumn(QString());
    QCOMPARE(table.columns().size(), 1);
    QCOMPARE(table.indexes().first()->columns(), (QStringList{a->id(), u"x"_s}));
}

void tst_TableItem::removeConstraintAndIndex()
{
    TableItem table;
    ConstraintItem *first = table.addConstraint();
    ConstraintItem *second = table.addConstraint();
    IndexItem *index = table.addIndex();
    QPointer<ConstraintItem> watched = first;
    table.removeConstraint(QString());
    table.removeConstraint(u"nothing"_s);
    table.removeConstraint(first->id());
    table.removeIndex(index->id());
    QCOMPARE(table.constraints(), QList<ConstraintItem *>{second});
    QVERIFY(table.indexes().isEmpty());
    QCOMPARE(table.constraint(first->id()), nullptr);
    QVERIFY(!watched.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(watched.isNull());
}

void tst_TableItem::constraintOfType()
{
    TableItem table;
    QCOMPARE(table.constraintOfType(ConstraintType::PrimaryKey), nullptr);
    ConstraintItem *unique = table.addConstraint();
    ConstraintItem *pk = table.addConstraint();
    pk->setType(ConstraintType::PrimaryKey);
    ConstraintItem *pk2 = table.addConstraint();
    pk2->setType(ConstraintType::PrimaryKey);
    QCOMPARE(table.constraintOfType(ConstraintType::PrimaryKey), pk);
    QCOMPARE(table.constraintOfType(ConstraintType::Unique), unique);
    QCOMPARE(table.constraintOfType(ConstraintType::Check), nullptr);
}

void tst_TableItem::fromJsonReplacesChildrenAtOnce()
{
    TableItem table;
    const QString id = table.id();
    QPointer<ColumnItem> column = table.addColumn();
    QPointer<ConstraintItem> constraint = table.addConstraint();
    QPointer<IndexItem> index = table.addIndex();
    table.fromJson(QJsonDocument::fromJson(R"j({"name": "orders", "constraints": [{}]})j").object());
    QVERIFY(column.isNull());
    QVERIFY(constraint.isNull());
    QVERIFY(index.isNull());
    QCOMPARE(table.id(), id);
    QCOMPARE(table.name(), u"orders"_s);
    QVERIFY(table.columns().isEmpty());
    QCOMPARE(table.constraints().size(), 1);
    QCOMPARE(table.constraints().first()->parent(), &table);
}

void tst_TableItem::fromJsonLenientValues()
{
    TableItem table;
    table.fromJson(QJsonDocument::fromJson(
        R"j({"id": 4, "name": [], "schema": 1, "comment": null, "columns": [3, {"id": "c"}], "indexes": {"a": 1}})j").object());
    QCOMPARE(table.id().size(), 36);
    QVERIFY(table.name().isEmpty());
    QVERIFY(table.schema().isEmpty());
    QCOMPARE(table.columns().size(), 2);
    QCOMPARE(table.columns().at(0)->id().size(), 36);
    QVERIFY(table.columns().at(0)->isNullable());
    QCOMPARE(table.columns().at(1)->id(), u"c"_s);
    QVERIFY(table.indexes().isEmpty());
}

void tst_TableItem::roundTripKeepsOrderIdsAndProperties()
{
    TableItem table;
    table.setName(u"orders"_s);
    table.setSchema(u"sales"_s);
    table.setComment(u"all orders"_s);
    table.fromJson(QJsonDocument::fromJson(
        R"j({"name": "orders", "schema": "sales", "properties": {"engine": "InnoDB", "auto_increment": 100, "row_format": null}})j").object());
    for (const QString &name : {u"z"_s, u"a"_s, u"m"_s})
        table.addColumn()->setName(name);
    table.addConstraint()->setType(ConstraintType::Check);
    table.addConstraint()->setType(ConstraintType::PrimaryKey);
    table.addIndex()->setName(u"second"_s);
    table.addIndex()->setName(u"first"_s);

    TableItem copy;
    copy.fromJson(table.toJson());
    QCOMPARE(copy.toJson(), table.toJson());
    QCOMPARE(ids(copy.columns()), ids(table.columns()));
    QCOMPARE(copy.columns().at(0)->name(), u"z"_s);
    QCOMPARE(copy.constraints().at(0)->type(), int(ConstraintType::Check));
    QCOMPARE(copy.indexes().at(0)->name(), u"second"_s);
    QCOMPARE(copy.properties().value("auto_increment"_L1), QJsonValue(100));
    QVERIFY(copy.properties().value("row_format"_L1).isNull());
}

QTEST_GUILESS_MAIN(tst_TableItem)
#include "tst_tableitem.moc"
