#include "detailspanelfixture.h"

#include "indexitem.h"

#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

// The Indexes tab: its two tables, the buttons and the cell edits.
class tst_DetailsIndexes : public QObject
{
    Q_OBJECT

private slots:
    void newIndexesNamedAndStartedFromTheTable();
    void tableWithoutColumnsGetsAnEmptyIndex();
    void columnButtonsActOnTheFirstIndexWithoutASelection();
    void columnCellEdits();
    void nameAndTypeCells_data();
    void nameAndTypeCells();
    void selectedIndexKeptById();
};

namespace {

QStringList indexNames(const TableItem *table)
{
    QStringList names;
    for (const IndexItem *index : table->indexes())
        names << index->name();
    return names;
}

TableItem *addOrders(DetailsPanelFixture &f)
{
    return f.addTable(u"orders"_s, {{u"id"_s, u"bigint"_s}, {u"placed"_s, u"date"_s}, {u"amount"_s, u"int"_s}});
}

} // namespace

void tst_DetailsIndexes::newIndexesNamedAndStartedFromTheTable()
{
    DetailsPanelFixture f;
    TableItem *orders = addOrders(f);
    f.panel->setTable(f.model, orders, nullptr);
    f.ui.toolButtonAddIndex->click();
    f.ui.toolButtonAddIndex->click();
    QCOMPARE(indexNames(orders), (QStringList{u"ix_orders"_s, u"ix_orders_2"_s}));
    const IndexItem *first = orders->indexes().at(0);
    QCOMPARE(first->columns(), QStringList{orders->columns().at(0)->id()});
    QVERIFY(!first->isUnique());
    QCOMPARE(f.cell(f.ui.tableViewIndexes, 0, 1), u"Non-unique"_s);
    QCOMPARE(f.currentRow(f.ui.tableViewIndexes), 1);

    TableItem *taken = f.addTable(u"orders"_s, {{u"id"_s, u"int"_s}});
    taken->addIndex()->setName(u"IX_ORDERS"_s);
    f.panel->setTable(f.model, taken, nullptr);
    f.panel->addIndex();
    f.panel->addIndex();
    QCOMPARE(indexNames(taken), (QStringList{u"IX_ORDERS"_s, u"ix_orders_2"_s, u"ix_orders_3"_s}));
}

void tst_DetailsIndexes::tableWithoutColumnsGetsAnEmptyIndex()
{
    DetailsPanelFixture f;
    TableItem *empty = f.addTable(u"empty"_s, {});
    f.panel->setTable(f.model, empty, nullptr);
    f.panel->addIndex();
    QCOMPARE(empty->indexes().size(), 1);
    QVERIFY(empty->indexes().at(0)->columns().isEmpty());
    QVERIFY(!f.ui.toolButtonAddIndexColumn->isEnabled());
    f.panel->addIndexColumn();
    QVERIFY(empty->indexes().at(0)->columns().isEmpty());
}

void tst_DetailsIndexes::columnButtonsActOnTheFirstIndexWithoutASelection()
{
    DetailsPanelFixture f;
    TableItem *orders = addOrders(f);
    IndexItem *first = orders->addIndex();
    first->setName(u"a"_s);
    first->setColumns({orders->columns().at(1)->id()});
    IndexItem *second = orders->addIndex();
    second->setName(u"b"_s);
    f.panel->setTable(f.model, orders, nullptr);
    f.ui.tableViewIndexes->selectionModel()->clear();
    QVERIFY(!f.ui.tableViewIndexes->currentIndex().isValid());
    QVERIFY(f.ui.toolButtonRemoveIndex->isEnabled());

    f.ui.toolButtonAddIndexColumn->click();
    QCOMPARE(first->columns(), (QStringList{orders->columns().at(1)->id(), orders->columns().at(0)->id()}));
    f.panel->addIndexColumn();
    f.panel->addIndexColumn();
    QCOMPARE(first->columns().size(), 3);
    QVERIFY(second->columns().isEmpty());

    // Down to no columns, the index stays.
    for (int i = 0; i < 3; ++i) {
        f.ui.tableViewIndColumns->setCurrentIndex(f.itemModel(f.ui.tableViewIndColumns)->index(0, 0));
        f.ui.toolButtonRemoveIndexColumn->click();
    }
    QVERIFY(first->columns().isEmpty());
    QCOMPARE(orders->indexes().size(), 2);
    f.panel->removeIndexColumn();

    f.ui.tableViewIndexes->setCurrentIndex(f.itemModel(f.ui.tableViewIndexes)->index(1, 0));
    f.ui.toolButtonRemoveIndex->click();
    QCOMPARE(indexNames(orders), QStringList{u"a"_s});
}

void tst_DetailsIndexes::columnCellEdits()
{
    DetailsPanelFixture f;
    TableItem *orders = addOrders(f);
    const QList<ColumnItem *> columns = orders->columns();
    IndexItem *index = orders->addIndex();
    index->setColumns({columns.at(0)->id(), columns.at(1)->id()});
    f.panel->setTable(f.model, orders, nullptr);
    QCOMPARE(f.itemModel(f.ui.tableViewIndColumns)->headerData(0, Qt::Horizontal).toString(), u"Column"_s);
    const QStandardItem *cell = f.itemModel(f.ui.tableViewIndColumns)->item(1, 0);
    QCOMPARE(cell->data(TableDetailsController::IdRole).toString(), index->id());
    QCOMPARE(cell->data(TableDetailsController::ColumnIdRole).toString(), columns.at(1)->id());

    QVERIFY(f.edit(f.ui.tableViewIndColumns, 1, 0, u"id"_s));
    QVERIFY(f.edit(f.ui.tableViewIndColumns, 0, 0, u"nothing"_s));
    f.settle();
    QCOMPARE(index->columns(), (QStringList{columns.at(0)->id(), columns.at(1)->id()}));
    QCOMPARE(f.cell(f.ui.tableViewIndColumns, 1, 0), u"placed"_s);

    QVERIFY(f.edit(f.ui.tableViewIndColumns, 1, 0, u"AMOUNT"_s));
    QCOMPARE(index->columns(), (QStringList{columns.at(0)->id(), columns.at(2)->id()}));

    // A column deleted under the index shows an empty name and edits of the row do nothing.
    orders->removeColumn(columns.at(2)->id());
    index->setColumns({columns.at(0)->id(), u"gone"_s});
    f.panel->refresh();
    QCOMPARE(f.cell(f.ui.tableViewIndColumns, 1, 0), QString());
}

void tst_DetailsIndexes::nameAndTypeCells_data()
{
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("unique");

    QTest::newRow("name trimmed") << 0 << u" ix_placed "_s << u"ix_placed"_s << true;
    QTest::newRow("name blank") << 0 << u"   "_s << u""_s << true;
    QTest::newRow("non-unique") << 1 << u"Non-unique"_s << u"ix_orders"_s << false;
    QTest::newRow("other case is not unique") << 1 << u"unique"_s << u"ix_orders"_s << false;
    QTest::newRow("unique") << 1 << u"Unique"_s << u"ix_orders"_s << true;
}

void tst_DetailsIndexes::nameAndTypeCells()
{
    QFETCH(int, cell);
    QFETCH(QString, typed);
    QFETCH(QString, name);
    QFETCH(bool, unique);
    DetailsPanelFixture f;
    TableItem *orders = addOrders(f);
    IndexItem *index = orders->addIndex();
    index->setName(u"ix_orders"_s);
    index->setUnique(true);
    f.panel->setTable(f.model, orders, nullptr);
    QCOMPARE(f.cell(f.ui.tableViewIndexes, 0, 1), u"Unique"_s);
    QSignalSpy resets(f.itemModel(f.ui.tableViewIndexes), &QAbstractItemModel::modelReset);

    QVERIFY(f.edit(f.ui.tableViewIndexes, 0, cell, typed));
    f.settle();
    QCOMPARE(index->name(), name);
    QCOMPARE(index->isUnique(), unique);
    QCOMPARE(resets.count(), 0);
}

void tst_DetailsIndexes::selectedIndexKeptById()
{
    DetailsPanelFixture f;
    TableItem *orders = addOrders(f);
    f.panel->setTable(f.model, orders, nullptr);
    for (int i = 0; i < 3; ++i)
        f.panel->addIndex();
    QCOMPARE(f.currentRow(f.ui.tableViewIndexes), 2);
    f.ui.tableViewIndexes->setCurrentIndex(f.itemModel(f.ui.tableViewIndexes)->index(1, 0));
    const QString selected = orders->indexes().at(1)->id();
    f.panel->refresh();
    QCOMPARE(TableDetailsController::currentRowId(f.ui.tableViewIndexes), selected);
    orders->removeIndex(selected);
    f.panel->refresh();
    QCOMPARE(f.currentRow(f.ui.tableViewIndexes), 0);
    QCOMPARE(f.itemModel(f.ui.tableViewIndColumns)->rowCount(), 1);
}

QTEST_MAIN(tst_DetailsIndexes)
#include "tst_detailsindexes.moc"
