#include "detailspanelfixture.h"

#include "constraintitem.h"
#include "viewitem.h"

#include <QSignalSpy>
#include <QComboBox>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

// The panel's refresh cycle, kept selections, enabling rules and what it holds.
class tst_TableDetailsController : public QObject
{
    Q_OBJECT

private slots:
    void keepsWhatItIsGiven();
    void signalsInDeclaredOrder();
    void editsBeforeTheEventLoopGiveOneRefresh();
    void selectedRowKeptById();
    void addedColumnSelectedOnce();
    void enablingRules_data();
    void enablingRules();
    void isRefreshingInsideRenameReceiver();
    void echoesOfAPushAreIgnored();
    void deletedObjectsShowNothing();
    void viewBoxLeavingTheSceneShowsNoRows();
    void destroyedPanelRunsNothingDeferred();
};

void tst_TableDetailsController::keepsWhatItIsGiven()
{
    TableDetailsController panel(nullptr, nullptr);
    QVERIFY(!panel.isRefreshing());
    ProjectItem project;
    ModelItem *model = project.addModel();
    TableItem *table = model->addTable();
    ViewItem *view = model->addView();
    panel.setProject(&project);
    panel.setDefaultDialect(u"SQLite"_s);
    panel.setEntityLookup([](const QString &) { return nullptr; });
    QCOMPARE(panel.project(), &project);
    QCOMPARE(panel.defaultDialect(), u"SQLite"_s);
    QCOMPARE(panel.effectiveDialect(), u"SQLite"_s);
    QVERIFY(bool(panel.entityLookup()));

    panel.setTable(model, table, nullptr);
    QCOMPARE(panel.model(), model);
    QCOMPARE(panel.table(), table);
    QCOMPARE(panel.view(), nullptr);
    model->setDialect(u"MySQL"_s);
    QCOMPARE(panel.effectiveDialect(), u"MySQL"_s);

    panel.setView(model, view, nullptr);
    QCOMPARE(panel.table(), nullptr);
    QCOMPARE(panel.view(), view);

    delete view;
    QCOMPARE(panel.view(), nullptr);

    panel.clear();
    QCOMPARE(panel.model(), nullptr);
    QCOMPARE(panel.project(), &project);
    // Without a form every action is a no-op.
    panel.addColumn();
    panel.removeColumn();
    QVERIFY(!panel.isRefreshing());
}

void tst_TableDetailsController::signalsInDeclaredOrder()
{
    const QMetaObject &meta = TableDetailsController::staticMetaObject;
    QStringList signalNames;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal)
            signalNames << QString::fromLatin1(meta.method(i).methodSignature());
    }
    QCOMPARE(signalNames, (QStringList{"objectRenameRequested(QString,QString,QString)", "mappingsChanged()",
                                       "relationshipConstraintRemoved(QString)", "columnRemoved(QString)",
                                       "columnRemovalRequested(QString)", "columnPresentationChanged()"}));
}

void tst_TableDetailsController::editsBeforeTheEventLoopGiveOneRefresh()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, {{u"id"_s, u"bigint"_s}, {u"code"_s, u"varchar"_s}});
    f.panel->setTable(f.model, orders, nullptr);
    QSignalSpy resets(f.columns(), &QAbstractItemModel::modelReset);

    QVERIFY(f.edit(f.ui.tableViewColumns, 0, 0, u"order_id"_s));
    QVERIFY(f.edit(f.ui.tableViewColumns, 1, 2, u"12"_s));
    QVERIFY(f.edit(f.ui.tableViewColumns, 1, 1, u"text"_s));
    for (int i = 0; i < 3000; ++i)
        f.panel->scheduleRefresh();
    QCOMPARE(resets.count(), 0);
    f.settle();
    QCOMPARE(resets.count(), 1);
    QCOMPARE(f.cell(f.ui.tableViewColumns, 0, 0), u"order_id"_s);
    QCOMPARE(f.cell(f.ui.tableViewColumns, 1, 1), u"text"_s);
    QCOMPARE(f.cell(f.ui.tableViewColumns, 1, 2), u"12"_s);
    f.settle();
    QCOMPARE(resets.count(), 1);
}

void tst_TableDetailsController::selectedRowKeptById()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, {{u"a"_s, u"int"_s}, {u"b"_s, u"int"_s}, {u"c"_s, u"int"_s}});
    const QList<ColumnItem *> columns = orders->columns();
    f.panel->setTable(f.model, orders, nullptr);
    QCOMPARE(f.currentRow(f.ui.tableViewColumns), 0);

    f.ui.tableViewColumns->setCurrentIndex(f.columns()->index(2, 0));
    orders->reorderColumns({columns.at(2)->id()});
    f.panel->refresh();
    QCOMPARE(f.currentRow(f.ui.tableViewColumns), 0);
    QCOMPARE(TableDetailsController::currentRowId(f.ui.tableViewColumns), columns.at(2)->id());
    QVERIFY(f.ui.tableViewColumns->selectionModel()->isRowSelected(0, QModelIndex()));

    f.ui.tableViewColumns->setCurrentIndex(f.columns()->index(2, 0));
    orders->removeColumn(TableDetailsController::currentRowId(f.ui.tableViewColumns));
    f.panel->refresh();
    QCOMPARE(f.currentRow(f.ui.tableViewColumns), 0);

    TableItem *empty = f.addTable(u"empty"_s, {});
    f.panel->setTable(f.model, empty, nullptr);
    QCOMPARE(f.currentRow(f.ui.tableViewColumns), -1);
    QVERIFY(!f.ui.tableViewColumns->selectionModel()->hasSelection());
}

void tst_TableDetailsController::addedColumnSelectedOnce()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, {{u"id"_s, u"int"_s}, {u"name"_s, u"text"_s}});
    f.panel->setTable(f.model, orders, nullptr);
    f.panel->addColumn();
    QCOMPARE(f.currentRow(f.ui.tableViewColumns), 2);
    QCOMPARE(TableDetailsController::currentRowId(f.ui.tableViewColumns), orders->columns().at(2)->id());

    f.ui.tableViewColumns->setCurrentIndex(f.columns()->index(1, 0));
    f.panel->refresh();
    QCOMPARE(f.currentRow(f.ui.tableViewColumns), 1);
}

void tst_TableDetailsController::enablingRules_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("enabled"); // buttons of the panel that are enabled

    const QStringList mappings{u"toolButtonAddMapping"_s};
    const QStringList table{u"toolButtonAddConstraint"_s, u"toolButtonAddTableColumn"_s,
                            u"toolButtonRemoveTableColumn"_s, u"toolButtonAddIndex"_s};
    QTest::newRow("nothing") << u"nothing"_s << mappings;
    QTest::newRow("after clear") << u"cleared"_s << mappings;
    QTest::newRow("table without constraints") << u"table"_s << table + mappings;
    QTest::newRow("table with a constraint, none selected")
        << u"constrained"_s
        << table + QStringList{u"toolButtonRemoveConstraint"_s, u"toolButtonAddConstraintColumn"_s} + mappings;
    QTest::newRow("view with its box")
        << u"view"_s << QStringList{u"toolButtonAddTableColumn"_s, u"toolButtonRemoveTableColumn"_s} + mappings;
    QTest::newRow("view without its box") << u"bare view"_s << mappings;
}

void tst_TableDetailsController::enablingRules()
{
    QFETCH(QString, shown);
    QFETCH(QStringList, enabled);
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, {{u"id"_s, u"int"_s}});
    ViewItem *view = f.model->addView();
    view->setName(u"recent"_s);
    auto *viewBox = new EntityItem(u"recent"_s, QSizeF(100, 60));
    viewBox->setKind(EntityKind::View);
    viewBox->storedId = view->id();
    f.scene.addItem(viewBox);
    viewBox->addAttributeRow(u"id"_s, u"int"_s, false, false, false, false);

    if (shown == "table"_L1) {
        f.panel->setTable(f.model, orders, nullptr);
    } else if (shown == "constrained"_L1) {
        orders->addConstraint();
        f.panel->setTable(f.model, orders, nullptr);
        f.ui.tableViewConstraints->selectionModel()->clear();
        f.panel->updateActionStates();
    } else if (shown == "view"_L1) {
        f.panel->setView(f.model, view, viewBox);
    } else if (shown == "bare view"_L1) {
        f.panel->setView(f.model, view, nullptr);
    } else if (shown == "cleared"_L1) {
        f.panel->setTable(f.model, orders, nullptr);
        f.panel->clear();
    } else {
        f.panel->refresh();
    }

    static const char *const panelButtons[] = {
        "toolButtonAddTableColumn", "toolButtonRemoveTableColumn", "toolButtonAddConstraint",
        "toolButtonRemoveConstraint", "toolButtonAddConstraintColumn", "toolButtonRemoveConstraintColumn",
        "toolButtonAddIndex", "toolButtonRemoveIndex", "toolButtonAddIndexColumn",
        "toolButtonRemoveIndexColumn", "toolButtonAddMapping", "toolButtonRemoveMapping"};
    QStringList actual;
    for (const char *name : panelButtons) {
        auto *button = f.window.findChild<QToolButton *>(QLatin1String(name));
        QVERIFY(button);
        if (button->isEnabled())
            actual << QLatin1String(name);
    }
    actual.sort();
    enabled.sort();
    QCOMPARE(actual, enabled);

    const bool editorsOn = shown != "nothing"_L1 && shown != "cleared"_L1;
    QCOMPARE(f.ui.lineEditTable->isEnabled(), editorsOn);
    QCOMPARE(f.ui.tableViewPhysical->isEnabled(), shown == "table"_L1 || shown == "constrained"_L1);
    QVERIFY(f.ui.treeView->isEnabled());
}

void tst_TableDetailsController::isRefreshingInsideRenameReceiver()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, {{u"id"_s, u"int"_s}});
    f.panel->setTable(f.model, orders, nullptr);
    bool refreshingInside = false;
    QObject::connect(f.panel.get(), &TableDetailsController::objectRenameRequested, f.panel.get(),
                     [&] { refreshingInside = f.panel->isRefreshing(); });
    f.ui.lineEditTable->setText(u"purchases"_s);
    emit f.ui.lineEditTable->editingFinished();
    QVERIFY(refreshingInside);
    QVERIFY(!f.panel->isRefreshing());
}

void tst_TableDetailsController::echoesOfAPushAreIgnored()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, {{u"id"_s, u"int"_s}, {u"code"_s, u"text"_s}});
    EntityItem *box = f.addBox(orders);
    f.panel->setTable(f.model, orders, box);
    // The window, reacting to the box, writes into the panel while the push runs.
    QObject::connect(box, &EntityItem::attributeEdited, box,
                     [&] { f.edit(f.ui.tableViewColumns, 1, 6, u"echo"_s); });

    QVERIFY(f.edit(f.ui.tableViewColumns, 0, 1, u"bigint"_s));
    QCOMPARE(box->attributeType(0), u"bigint"_s);
    QVERIFY(orders->columns().at(1)->defaultValue().isEmpty());
    QVERIFY(!f.panel->isRefreshing());
}

void tst_TableDetailsController::deletedObjectsShowNothing()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, {{u"id"_s, u"int"_s}});
    orders->setSchema(u"sales"_s);
    EntityItem *box = f.addBox(orders);
    f.panel->setTable(f.model, orders, box);
    QCOMPARE(f.ui.lineEditSchema->text(), u"sales"_s);

    f.model->removeTable(orders->id());
    delete box;
    f.settle();
    f.panel->refresh();
    QCOMPARE(f.panel->table(), nullptr);
    QCOMPARE(f.panel->entity(), nullptr);
    QCOMPARE(f.columns()->rowCount(), 0);
    QCOMPARE(f.columns()->columnCount(), 7);
    QCOMPARE(f.columns()->headerData(1, Qt::Horizontal).toString(), u"Type"_s);
    QCOMPARE(f.itemModel(f.ui.tableView)->headerData(2, Qt::Horizontal).toString(), u"Sensible"_s);
    QVERIFY(f.ui.lineEditSchema->text().isEmpty());
    QVERIFY(!f.ui.lineEditSchema->isEnabled());
    QVERIFY(!f.ui.toolButtonAddTableColumn->isEnabled());
    // A stale row edit does nothing.
    f.panel->addColumn();
    f.panel->removeColumn();

    ModelItem *other = f.project.addModel();
    TableItem *kept = other->addTable();
    f.panel->setTable(other, kept, nullptr);
    f.project.removeModel(other->id());
    f.settle();
    f.panel->refresh();
    QCOMPARE(f.panel->model(), nullptr);
    QCOMPARE(f.panel->table(), nullptr);
    QCOMPARE(f.prompts.unexpected, 0);
}

void tst_TableDetailsController::viewBoxLeavingTheSceneShowsNoRows()
{
    DetailsPanelFixture f;
    ViewItem *view = f.model->addView();
    auto *box = new EntityItem(u"recent"_s, QSizeF(100, 60));
    box->setKind(EntityKind::View);
    box->storedId = view->id();
    f.scene.addItem(box);
    box->addAttributeRow(u"id"_s, u"int"_s, false, false, false, false);
    f.panel->setView(f.model, view, box);
    QCOMPARE(f.columns()->rowCount(), 1);

    f.scene.removeItem(box);
    f.panel->refresh();
    QCOMPARE(f.columns()->rowCount(), 0);
    QVERIFY(!f.ui.toolButtonAddTableColumn->isEnabled());
    QVERIFY(!f.ui.toolButtonRemoveTableColumn->isEnabled());
    f.panel->addColumn();
    QCOMPARE(box->attributeCount(), 1);
    delete box;
}

void tst_TableDetailsController::destroyedPanelRunsNothingDeferred()
{
    DetailsPanelFixture f;
    TableItem *orders = f.addTable(u"orders"_s, {{u"id"_s, u"int"_s}});
    f.panel->setTable(f.model, orders, nullptr);
    f.panel->scheduleRefresh();
    QAbstractItemDelegate *types = f.ui.tableViewColumns->itemDelegateForColumn(1);
    QVERIFY(types);
    f.panel.reset();
    f.settle();

    // The form outlives the panel; its editors ask nothing of it any more.
    QStandardItemModel cells(1, 2);
    cells.setItem(0, 1, new QStandardItem(u"int"_s));
    std::unique_ptr<QWidget> editor(types->createEditor(&f.window, QStyleOptionViewItem(), cells.index(0, 1)));
    auto *combo = qobject_cast<QComboBox *>(editor.get());
    QVERIFY(combo);
    QCOMPARE(combo->count(), 1);
}

QTEST_MAIN(tst_TableDetailsController)
#include "tst_tabledetailscontroller.moc"
