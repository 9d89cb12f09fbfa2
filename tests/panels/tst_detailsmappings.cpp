#include "detailspanelfixture.h"

#include "mappingitem.h"

#include <QApplication>
#include <QComboBox>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

// The Mappings tab: every mapping of the project, typed into an empty last row.
class tst_DetailsMappings : public QObject
{
    Q_OBJECT

private slots:
    void namedAfterItsColumnsOnceAfterTheRefresh();
    void emptyRowCreatesAProjectMappingWhenComplete();
    void rowEdits_data();
    void rowEdits();
    void addAndRemove();
    void newMappingKeepsItsCellsUntilWhole();
    void tabWalksTheRow();
    void noProjectShowsOnlyTheHeader();
    void options_data();
    void options();
    void staleRowReachesNoOtherMapping();
    void selectedMappingKeptById();
};

namespace {

enum { SourceModel, SourceTable, SourceColumn, TargetModel, TargetTable, TargetColumn };

struct Shop
{
    explicit Shop(DetailsPanelFixture &f)
    {
        customer = f.addTable(u"customer"_s, {{u"id"_s, u"int"_s}, {u"email"_s, u"text"_s}});
        warehouse = f.project.addModel();
        warehouse->setName(u"Warehouse"_s);
        orders = warehouse->addTable();
        orders->setName(u"orders"_s);
        for (const QString &name : {u"id"_s, u"customer_id"_s}) {
            ColumnItem *column = orders->addColumn();
            column->setName(name);
        }
    }

    MappingItem *link(MappingItem *mapping, DetailsPanelFixture &f) const
    {
        mapping->setSourceModelId(f.model->id());
        mapping->setSourceTableId(customer->id());
        mapping->setSourceColumnId(customer->columns().at(0)->id());
        mapping->setTargetModelId(warehouse->id());
        mapping->setTargetTableId(orders->id());
        mapping->setTargetColumnId(orders->columns().at(1)->id());
        return mapping;
    }

    TableItem *customer = nullptr;
    ModelItem *warehouse = nullptr;
    TableItem *orders = nullptr;
};

void typeRow(DetailsPanelFixture &f, int row, const QStringList &texts)
{
    for (int cell = 0; cell < texts.size(); ++cell)
        QVERIFY(f.edit(f.ui.treeView, row, cell, texts.at(cell)));
}

QStringList rowTexts(const DetailsPanelFixture &f, int row)
{
    QStringList texts;
    for (int cell = 0; cell < 6; ++cell)
        texts << f.cell(f.ui.treeView, row, cell);
    return texts;
}

} // namespace

void tst_DetailsMappings::namedAfterItsColumnsOnceAfterTheRefresh()
{
    DetailsPanelFixture f;
    Shop shop(f);
    MappingItem *mapping = shop.link(f.project.addMapping(), f);
    QSignalSpy changed(f.panel.get(), &TableDetailsController::mappingsChanged);
    bool emittedInsideRefresh = false;
    QObject::connect(f.panel.get(), &TableDetailsController::mappingsChanged, f.panel.get(),
                     [&] { emittedInsideRefresh = f.panel->isRefreshing(); });

    f.panel->refresh();
    QCOMPARE(mapping->name(), u"customer.id -> orders.customer_id"_s);
    QCOMPARE(changed.count(), 0);
    f.settle();
    QCOMPARE(changed.count(), 1);
    QVERIFY(!emittedInsideRefresh);
    QCOMPARE(rowTexts(f, 0), (QStringList{u"Model 1"_s, u"customer"_s, u"id"_s, u"Warehouse"_s, u"orders"_s,
                                          u"customer_id"_s}));
    QCOMPARE(f.itemModel(f.ui.treeView)->rowCount(), 2);

    f.panel->refresh();
    f.settle();
    QCOMPARE(changed.count(), 1);
}

void tst_DetailsMappings::emptyRowCreatesAProjectMappingWhenComplete()
{
    DetailsPanelFixture f;
    Shop shop(f);
    TableItem *orders = f.addTable(u"orders"_s, {{u"id"_s, u"int"_s}});
    f.panel->setTable(f.model, orders, nullptr);
    QCOMPARE(f.itemModel(f.ui.treeView)->rowCount(), 1);

    typeRow(f, 0, {u"model 1"_s, u"CUSTOMER"_s, u"Email"_s, u"warehouse"_s, u"Orders"_s});
    f.settle();
    QVERIFY(f.project.mappings().isEmpty());
    QCOMPARE(f.cell(f.ui.treeView, 0, SourceTable), u"CUSTOMER"_s);

    QVERIFY(f.edit(f.ui.treeView, 0, TargetColumn, u"CUSTOMER_ID"_s));
    f.settle();
    QCOMPARE(f.project.mappings().size(), 1);
    QVERIFY(f.model->mappings().isEmpty());
    const MappingItem *mapping = f.project.mappings().at(0);
    QCOMPARE(mapping->sourceColumnId(), shop.customer->columns().at(1)->id());
    QCOMPARE(mapping->targetTableId(), shop.orders->id());
    QCOMPARE(mapping->name(), u"customer.email -> orders.customer_id"_s);
    QCOMPARE(f.itemModel(f.ui.treeView)->rowCount(), 2);
    QCOMPARE(rowTexts(f, 1), QStringList(6));
}

void tst_DetailsMappings::rowEdits_data()
{
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sourceColumn"); // the stored source column's name afterwards
    QTest::addColumn<QString>("shown");

    QTest::newRow("other case resolves") << int(SourceColumn) << u"EMAIL"_s << u"email"_s << u"email"_s;
    QTest::newRow("table missing in the named model") << int(SourceTable) << u"orders"_s << u"id"_s << u"customer"_s;
    QTest::newRow("model missing") << int(SourceModel) << u"Nowhere"_s << u"id"_s << u"Model 1"_s;
    QTest::newRow("column missing") << int(SourceColumn) << u"nope"_s << u"id"_s << u"id"_s;
}

void tst_DetailsMappings::rowEdits()
{
    QFETCH(int, cell);
    QFETCH(QString, typed);
    QFETCH(QString, sourceColumn);
    QFETCH(QString, shown);
    DetailsPanelFixture f;
    Shop shop(f);
    MappingItem *mapping = shop.link(f.project.addMapping(), f);
    f.panel->refresh();

    QVERIFY(f.edit(f.ui.treeView, 0, cell, typed));
    f.settle();
    QCOMPARE(shop.customer->column(mapping->sourceColumnId())->name(), sourceColumn);
    QCOMPARE(mapping->sourceTableId(), shop.customer->id());
    QCOMPARE(f.cell(f.ui.treeView, 0, cell), shown);
}

void tst_DetailsMappings::addAndRemove()
{
    DetailsPanelFixture f;
    Shop shop(f);
    shop.link(f.project.addMapping(), f);
    f.panel->setTable(f.model, shop.customer, nullptr);
    QSignalSpy changed(f.panel.get(), &TableDetailsController::mappingsChanged);
    f.settle();
    changed.clear();

    // The add button starts the new-mapping row; nothing exists until it is whole.
    f.ui.toolButtonAddMapping->click();
    QCOMPARE(changed.count(), 0);
    QVERIFY(f.model->mappings().isEmpty());
    QCOMPARE(f.currentRow(f.ui.treeView), 1);
    QVERIFY(!f.ui.toolButtonRemoveMapping->isEnabled());
    typeRow(f, 1, {u"Model 1"_s, u"customer"_s, u"email"_s, u"Warehouse"_s, u"orders"_s, u"id"_s});
    f.settle();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(f.model->mappings().size(), 1);
    QCOMPARE(f.model->mappings().at(0)->name(), u"customer.email -> orders.id"_s);
    QCOMPARE(f.project.mappings().size(), 1);

    f.ui.treeView->setCurrentIndex(f.itemModel(f.ui.treeView)->index(1, 0));
    QCOMPARE(TableDetailsController::currentRowId(f.ui.treeView), f.model->mappings().at(0)->id());
    QVERIFY(f.ui.toolButtonRemoveMapping->isEnabled());
    f.ui.toolButtonRemoveMapping->click();
    QCOMPARE(changed.count(), 2);
    QVERIFY(f.model->mappings().isEmpty());
    QCOMPARE(f.project.mappings().size(), 1);

    // The empty row holds no mapping.
    f.ui.treeView->setCurrentIndex(f.itemModel(f.ui.treeView)->index(1, 0));
    QVERIFY(!f.ui.toolButtonRemoveMapping->isEnabled());
    f.panel->removeMapping();
    QCOMPARE(f.project.mappings().size(), 1);
    QCOMPARE(changed.count(), 2);

    // Without a model shown, a new mapping belongs to the project.
    f.panel->clear();
    QVERIFY(f.ui.toolButtonAddMapping->isEnabled());
    f.panel->addMapping();
    typeRow(f, 1, {u"Model 1"_s, u"customer"_s, u"id"_s, u"Warehouse"_s, u"orders"_s, u"id"_s});
    f.settle();
    QCOMPARE(f.project.mappings().size(), 2);
    QVERIFY(f.model->mappings().isEmpty());
}

void tst_DetailsMappings::newMappingKeepsItsCellsUntilWhole()
{
    DetailsPanelFixture f;
    Shop shop(f);
    f.panel->setTable(f.model, shop.customer, nullptr);
    f.panel->addMapping();
    const QStringList typed{u"Model 1"_s, u"customer"_s, u"nope"_s, u"Warehouse"_s};
    typeRow(f, 0, typed);
    f.settle();
    QCOMPARE(rowTexts(f, 0), typed + QStringList(2));
    QVERIFY(f.ui.toolButtonRemoveMapping->isEnabled());

    // Showing another table, or nothing, refreshes the tab; the typed cells stay.
    f.panel->setTable(shop.warehouse, shop.orders, nullptr);
    f.panel->clear();
    f.settle();
    QCOMPARE(rowTexts(f, 0), typed + QStringList(2));

    // Whole but not resolving: still kept, still nothing made.
    typeRow(f, 0, typed + QStringList{u"orders"_s, u"id"_s});
    f.settle();
    QCOMPARE(f.itemModel(f.ui.treeView)->rowCount(), 1);
    QCOMPARE(f.cell(f.ui.treeView, 0, SourceColumn), u"nope"_s);
    QVERIFY(f.project.mappings().isEmpty());
    QVERIFY(f.model->mappings().isEmpty());

    // Abandoned: the remove button empties the row and leaves no mapping behind.
    f.ui.treeView->setCurrentIndex(f.itemModel(f.ui.treeView)->index(0, 0));
    f.panel->removeMapping();
    QCOMPARE(rowTexts(f, 0), QStringList(6));
    QVERIFY(f.project.mappings().isEmpty());
    QVERIFY(f.model->mappings().isEmpty());
    QVERIFY(!f.ui.toolButtonRemoveMapping->isEnabled());

    // Another project starts afresh.
    typeRow(f, 0, {u"Model 1"_s});
    ProjectItem other;
    f.panel->setProject(&other);
    f.panel->refresh();
    QCOMPARE(rowTexts(f, 0), QStringList(6));
}

void tst_DetailsMappings::tabWalksTheRow()
{
    DetailsPanelFixture f;
    Shop shop(f);
    f.panel->setTable(f.model, shop.customer, nullptr);
    f.ui.tabWidget->setCurrentWidget(f.ui.tabMappings);
    f.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&f.window));

    f.ui.toolButtonAddMapping->click();
    const QStringList typed{u"Model 1"_s, u"customer"_s, u"email"_s, u"Warehouse"_s, u"orders"_s, u"customer_id"_s};
    for (int cell = 0; cell < typed.size(); ++cell) {
        QWidget *editor = QApplication::focusWidget();
        QVERIFY2(qobject_cast<QComboBox *>(editor), qPrintable(QString::number(cell)));
        QCOMPARE(f.ui.treeView->currentIndex().column(), cell);
        QTest::keyClicks(editor, typed.at(cell));
        QTest::keyClick(editor, Qt::Key_Tab);
    }
    f.settle();
    QCOMPARE(f.model->mappings().size(), 1);
    const MappingItem *mapping = f.model->mappings().at(0);
    QCOMPARE(mapping->sourceColumnId(), shop.customer->columns().at(1)->id());
    QCOMPARE(mapping->targetColumnId(), shop.orders->columns().at(1)->id());
    QCOMPARE(rowTexts(f, 0), typed);
    QCOMPARE(rowTexts(f, 1), QStringList(6));

    // Shift+Tab goes back along the row, to the row before at its start.
    f.ui.treeView->setCurrentIndex(f.itemModel(f.ui.treeView)->index(1, 0));
    f.ui.treeView->edit(f.ui.treeView->currentIndex());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(f.ui.treeView->currentIndex(), f.itemModel(f.ui.treeView)->index(0, TargetColumn));
    QVERIFY(qobject_cast<QComboBox *>(QApplication::focusWidget()));
}

void tst_DetailsMappings::noProjectShowsOnlyTheHeader()
{
    DetailsPanelFixture f;
    f.panel->setProject(nullptr);
    f.panel->refresh();
    QCOMPARE(f.itemModel(f.ui.treeView)->rowCount(), 0);
    QCOMPARE(f.itemModel(f.ui.treeView)->headerData(5, Qt::Horizontal).toString(), u"Target Column"_s);
    QVERIFY(!f.ui.toolButtonAddMapping->isEnabled());
    QVERIFY(!f.ui.treeView->isEnabled());
    f.panel->addMapping();
    QVERIFY(f.project.mappings().isEmpty());
}

void tst_DetailsMappings::options_data()
{
    QTest::addColumn<int>("cell");
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<QStringList>("offered");

    const QStringList models{u"Model 1"_s, u"Warehouse"_s};
    QTest::newRow("models") << int(SourceModel) << QStringList() << models;
    QTest::newRow("target models") << int(TargetModel) << QStringList() << models;
    QTest::newRow("tables of the row's model")
        << int(TargetTable) << QStringList{QString(), QString(), QString(), u"WAREHOUSE"_s}
        << QStringList{u"orders"_s};
    QTest::newRow("columns of the row's table")
        << int(SourceColumn) << QStringList{u"model 1"_s, u"Customer"_s} << QStringList{u"id"_s, u"email"_s};
    QTest::newRow("unknown model") << int(SourceTable) << QStringList{u"nope"_s} << QStringList();
    QTest::newRow("unknown table") << int(TargetColumn)
                                   << QStringList{QString(), QString(), QString(), u"Warehouse"_s, u"nope"_s}
                                   << QStringList();
}

void tst_DetailsMappings::options()
{
    QFETCH(int, cell);
    QFETCH(QStringList, row);
    QFETCH(QStringList, offered);
    DetailsPanelFixture f;
    Shop shop(f);
    f.panel->refresh();
    typeRow(f, 0, row);
    QCOMPARE(f.panel->mappingOptions(f.itemModel(f.ui.treeView)->index(0, cell)), offered);
}

void tst_DetailsMappings::staleRowReachesNoOtherMapping()
{
    DetailsPanelFixture f;
    Shop shop(f);
    MappingItem *old = shop.link(f.project.addMapping(), f);
    f.panel->refresh();
    f.ui.treeView->setCurrentIndex(f.itemModel(f.ui.treeView)->index(0, 0));

    // Removed elsewhere and freed; a new one is made meanwhile, perhaps at the same place.
    f.project.removeMapping(old->id());
    f.settle();
    MappingItem *fresh = shop.link(f.model->addMapping(), f);
    fresh->setName(u"kept"_s);
    QSignalSpy changed(f.panel.get(), &TableDetailsController::mappingsChanged);

    QVERIFY(f.edit(f.ui.treeView, 0, SourceColumn, u"email"_s));
    QCOMPARE(fresh->sourceColumnId(), shop.customer->columns().at(0)->id());
    f.panel->removeMapping();
    QCOMPARE(f.model->mappings().size(), 1);
    QCOMPARE(changed.count(), 0);
    f.settle();
    QCOMPARE(f.model->mappings().value(0), fresh);
}

void tst_DetailsMappings::selectedMappingKeptById()
{
    DetailsPanelFixture f;
    Shop shop(f);
    for (const QString &name : {u"a"_s, u"b"_s, u"c"_s})
        f.project.addMapping()->setName(name);
    f.panel->refresh();
    f.ui.treeView->setCurrentIndex(f.itemModel(f.ui.treeView)->index(1, 0));
    const QString selected = f.project.mappings().at(1)->id();
    f.project.addMapping()->setName(u"0"_s);
    f.panel->refresh();
    QCOMPARE(TableDetailsController::currentRowId(f.ui.treeView), selected);
    QCOMPARE(f.currentRow(f.ui.treeView), 2);
}

QTEST_MAIN(tst_DetailsMappings)
#include "tst_detailsmappings.moc"
