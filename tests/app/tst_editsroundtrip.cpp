// What the user does in the window (tree, panel, boxes, drops, imports) comes back
// unchanged after Save As and reopening: names, columns and keys of the model, and the
// boxes and lines of every stored diagram.
#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "tabledetailscontroller.h"
#include "tableitem.h"

#include "projecttestsupport.h"
#include "synctestsupport.h"
#include "windowtestcase.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTableView>

#include <memory>

using namespace projecttest;
using namespace synctest;
using namespace Qt::StringLiterals;

namespace {

// The ids and names of a stored box's rows: "c-id=id, ~note" (~: no column id).
QString storedRowIds(const DiagramItem *diagram, const QString &id)
{
    QStringList rows;
    for (const QJsonValue &value : storedBox(diagram, id).value("attributes"_L1).toArray()) {
        const QJsonObject row = value.toObject();
        const QString columnId = row.value("columnId"_L1).toString();
        rows.append((columnId.isEmpty() ? u"~"_s : columnId + QLatin1Char('=')) + row.value("name"_L1).toString());
    }
    return rows.join(", "_L1);
}

QString columnIds(const TableItem *table)
{
    QStringList ids;
    for (const ColumnItem *column : table->columns())
        ids.append(column->id() + QLatin1Char('=') + column->name());
    return ids.join(", "_L1);
}

bool storedEdgeAnywhere(const ModelItem *model, const QString &id)
{
    for (const DiagramItem *diagram : model->diagrams()) {
        for (const QJsonValue &value : diagram->sceneJson().value("edges"_L1).toArray()) {
            if (value.toObject().value("id"_L1).toString() == id)
                return true;
        }
    }
    return false;
}

TableItem *tableNamed(const ModelItem *model, const QString &name)
{
    for (TableItem *table : model->tables()) {
        if (table->name() == name)
            return table;
    }
    return nullptr;
}

QByteArray dropPayload(const QString &kind, const QString &id)
{
    return QJsonDocument(QJsonObject{{"items"_L1, QJsonArray{QJsonObject{{"id"_L1, id}, {"kind"_L1, kind}}}}})
        .toJson(QJsonDocument::Compact);
}

QTableView *viewNamed(MainWindow &w, const char *name)
{
    return w.findChild<QTableView *>(QLatin1String(name));
}

// The constraint's row made current in the panel, as a click does.
void selectConstraint(MainWindow &w, const QString &id)
{
    QTableView *view = viewNamed(w, "tableViewConstraints");
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const QModelIndex index = view->model()->index(row, 0);
        if (index.data(TableDetailsController::IdRole).toString() == id)
            view->setCurrentIndex(index);
    }
}

// The panel's cell of the selected constraint's columns, edited as a user types into it.
void editConstraintColumnCell(MainWindow &w, int row, int column, const QString &text)
{
    auto *cells = qobject_cast<QStandardItemModel *>(viewNamed(w, "tableViewConsColumns")->model());
    QVERIFY(cells && cells->item(row, column));
    cells->item(row, column)->setText(text);
    QCoreApplication::processEvents(); // the panel's deferred refresh
}

} // namespace

class TestEditsRoundTrip : public WindowTestCase
{
    Q_OBJECT

    // Saves the window's project under name and opens it in a new window.
    std::unique_ptr<MainWindow> saveAsAndReopen(MainWindow &w, const QString &name)
    {
        const QString path = tempPath(name);
        if (!runFileAction(w, m_prompts, "action_Save_As", path, true))
            return nullptr;
        auto reopened = std::make_unique<MainWindow>();
        if (!open(*reopened, m_prompts, path))
            return nullptr;
        return reopened;
    }

    ModelItem *modelNamed(MainWindow &w, const QString &name)
    {
        for (ModelItem *model : MainWindowProbe(w).project()->models()) {
            if (model->name() == name)
                return model;
        }
        return nullptr;
    }

    // Imports an erDiagram of these entities through the window's Mermaid import.
    bool importMermaid(MainWindow &w, const QString &name, const QByteArray &entities)
    {
        QFile file(tempPath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        file.write("erDiagram\n" + entities);
        file.close();
        return runFileAction(w, m_prompts, "actionImport_from_Mermaid", file.fileName(), false);
    }

    // The box of that table on the open diagram, selected as a click does.
    EntityItem *selectBox(MainWindow &w, const QString &id)
    {
        MainWindowProbe probe(w);
        EntityItem *box = probe.findEntityOnScene(id);
        if (!box)
            return nullptr;
        probe.scene()->clearSelection();
        box->setSelected(true);
        QCoreApplication::processEvents(); // the panel's deferred refresh
        return box;
    }

private Q_SLOTS:
    void renameInAnotherModelReachesItsDiagrams_data()
    {
        QTest::addColumn<QString>("from");
        QTest::newRow("tree") << "tree";
        QTest::newRow("panel") << "panel";
    }

    // The table's model is not the current one: its own diagrams take the new title, and
    // a later Save of one of them keeps the name.
    void renameInAnotherModelReachesItsDiagrams()
    {
        QFETCH(QString, from);
        MainWindow &w = window();
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        ModelItem *sales = probe.currentModel();
        trigger(w, "action_New_Model");
        QVERIFY(probe.currentModel() != sales);

        if (from == "tree"_L1)
            treeRow(probe.treeModel(), u"table"_s, u"t-orders"_s)->setText(u"purchases"_s);
        else
            emit probe.tableDetails()->objectRenameRequested(u"table"_s, u"t-orders"_s, u"purchases"_s);

        std::unique_ptr<MainWindow> reopened = saveAsAndReopen(w, u"rename-other-model.json"_s);
        QVERIFY(reopened);
        MainWindowProbe again(*reopened);
        ModelItem *model = modelNamed(*reopened, u"Sales"_s);
        QVERIFY(model);
        QCOMPARE(model->table(u"t-orders"_s)->name(), u"purchases"_s);
        for (const QString &diagram : {u"A"_s, u"B"_s, u"C"_s})
            QCOMPARE(storedBox(diagramNamed(model, diagram), u"t-orders"_s).value("title"_L1).toString(),
                     u"purchases"_s);
        QVERIFY(again.loadDiagramItem(diagramNamed(model, u"B"_s)));
        trigger(*reopened, "action_Save");
        QVERIFY(waitIdle(*reopened));
        QCOMPARE(model->table(u"t-orders"_s)->name(), u"purchases"_s);
    }

    // A table imported from Mermaid and dropped on a second diagram: a row renamed there
    // renames the one column, on both diagrams, and no click brings the old name back.
    void importedAndDroppedRowsKeepTheirColumns()
    {
        MainWindow &w = window();
        MainWindowProbe probe(w);
        QVERIFY(importMermaid(w, u"shop.mmd"_s, "customer {\n int id PK\n string name\n string email\n}\n"));
        ModelItem *model = probe.currentModel();
        TableItem *customer = tableNamed(model, u"customer"_s);
        QVERIFY(customer);
        DiagramItem *first = probe.currentDiagram();
        trigger(w, "action_New_Diagram");
        DiagramItem *second = probe.currentDiagram();
        QVERIFY(second != first);
        probe.onExplorerDropRequested(dropPayload(u"table"_s, customer->id()), QPointF(0, 0));
        EntityItem *dropped = probe.findEntityOnScene(customer->id());
        QVERIFY(dropped);
        dropped->renameAttribute(1, u"full_name"_s);
        QVERIFY(probe.loadDiagramItem(first));
        QVERIFY(selectBox(w, customer->id()));
        QVERIFY(probe.loadDiagramItem(second));
        QVERIFY(selectBox(w, customer->id()));

        std::unique_ptr<MainWindow> reopened = saveAsAndReopen(w, u"dropped-rows.json"_s);
        QVERIFY(reopened);
        ModelItem *saved = MainWindowProbe(*reopened).currentModel();
        TableItem *table = saved->table(customer->id());
        QStringList names;
        for (const ColumnItem *column : table->columns())
            names.append(column->name());
        QCOMPARE(names, (QStringList{u"id"_s, u"full_name"_s, u"email"_s}));
        const QString expected = u"%1=id, %2=full_name, %3=email"_s.arg(
            table->columns().at(0)->id(), table->columns().at(1)->id(), table->columns().at(2)->id());
        QCOMPARE(storedRowIds(diagramNamed(saved, first->name()), table->id()), expected);
        QCOMPARE(storedRowIds(diagramNamed(saved, second->name()), table->id()), expected);
    }

    void foreignKeyEndsEditedInThePanel_data()
    {
        QTest::addColumn<int>("cell");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("orders");
        const QString pk = u"orders: id BIGINT!, customer_id BIGINT, total NUMERIC(12,2), note VARCHAR(200)"
                           " | PK pk_orders(id) | FK fk_customers_orders("_s;
        QTest::newRow("PK Column kept") << 5 << "name" << pk + "customer_id -> customers(name))";
        QTest::newRow("PK Table refused") << 4 << "orders" << pk + "customer_id -> customers(id))";
        QTest::newRow("FK Column kept") << 2 << "note" << pk + "note -> customers(id))";
    }

    // Nothing the panel shows as accepted on a relationship's foreign key is put back at
    // Save; what it cannot keep it refuses at once.
    void foreignKeyEndsEditedInThePanel()
    {
        QFETCH(int, cell);
        QFETCH(QString, typed);
        QFETCH(QString, orders);
        MainWindow &w = window();
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        QVERIFY(selectBox(w, u"t-orders"_s));
        selectConstraint(w, u"k-orders-fk"_s);
        auto *cells = qobject_cast<QStandardItemModel *>(viewNamed(w, "tableViewConsColumns")->model());
        QVERIFY(cells && cells->item(0, 4));
        QCOMPARE(cells->item(0, 4)->text(), u"customers"_s);
        QVERIFY(!cells->item(0, 4)->isEditable());
        editConstraintColumnCell(w, 0, cell, typed);
        QCOMPARE(dump(probe.currentModel()->table(u"t-orders"_s), probe.currentModel()), orders);
        QCOMPARE(cells->item(0, 4)->text(), u"customers"_s);

        std::unique_ptr<MainWindow> reopened = saveAsAndReopen(w, u"fk-ends.json"_s);
        QVERIFY(reopened);
        ModelItem *saved = MainWindowProbe(*reopened).currentModel();
        QCOMPARE(dump(saved->table(u"t-orders"_s), saved), orders);
    }

    void keysAreTheModels_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("orders");
        const QString columns = u"orders: id BIGINT!, customer_id BIGINT!, total NUMERIC(12,2), note VARCHAR(200)"_s;
        const QString fk = u" | FK fk_customers_orders(customer_id)"_s;
        QTest::newRow("key column hidden on the box")
            << "hide" << u"orders: customer_id BIGINT, total NUMERIC(12,2), note VARCHAR(200), id BIGINT!"
                         " | PK pk_orders(id)"_s + fk;
        QTest::newRow("key order set in the panel") << "reorder" << columns + " | PK pk_orders(customer_id, id)" + fk;
    }

    // The primary key is the model's: hiding its rows or setting its order in the panel
    // survives the synchronisation of the box and Save.
    void keysAreTheModels()
    {
        QFETCH(QString, action);
        QFETCH(QString, orders);
        MainWindow &w = window();
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        EntityItem *box = selectBox(w, u"t-orders"_s);
        QVERIFY(box);
        if (action == "hide"_L1) {
            box->hideColumn(u"c-id"_s);
            box->removeAttribute(0);
        } else {
            TableDetailsController *panel = probe.tableDetails();
            selectConstraint(w, u"k-orders-pk"_s);
            panel->addConstraintColumn(); // id, customer_id
            QTableView *cells = viewNamed(w, "tableViewConsColumns");
            cells->setCurrentIndex(cells->model()->index(0, 2));
            panel->removeConstraintColumn(); // customer_id
            panel->addConstraintColumn();    // customer_id, id
        }
        QVERIFY(selectBox(w, u"t-customers"_s));
        QVERIFY(selectBox(w, u"t-orders"_s));
        QCOMPARE(dump(probe.currentModel()->table(u"t-orders"_s)), orders);

        std::unique_ptr<MainWindow> reopened = saveAsAndReopen(w, u"keys.json"_s);
        QVERIFY(reopened);
        QCOMPARE(dump(MainWindowProbe(*reopened).currentModel()->table(u"t-orders"_s)), orders);
    }

    // Columns whose names differ only in case are two columns of their own types.
    void columnsAlikeInCaseStayTwo()
    {
        MainWindow &w = window();
        MainWindowProbe probe(w);
        QVERIFY(importMermaid(w, u"codes.mmd"_s, "item {\n int Code PK\n text code\n}\n"));
        std::unique_ptr<MainWindow> reopened = saveAsAndReopen(w, u"codes.json"_s);
        QVERIFY(reopened);
        ModelItem *saved = MainWindowProbe(*reopened).currentModel();
        QCOMPARE(dump(tableNamed(saved, u"item"_s)), u"item: Code int!, code text | PK pk_item(Code)"_s);
    }

    void keyColumnRemovedFromModel_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("orders");
        QTest::newRow("the parent's key column")
            << "c-cust-id" << "orders: id BIGINT!, customer_id BIGINT, total NUMERIC(12,2), note VARCHAR(200) | PK pk_orders(id)";
        QTest::newRow("the child's foreign-key column")
            << "c-customer" << "orders: id BIGINT!, total NUMERIC(12,2), note VARCHAR(200) | PK pk_orders(id)";
    }

    // Removing a key column from the model takes the relationship, its foreign key and its
    // lines on every diagram with it, as deleting the relationship does.
    void keyColumnRemovedFromModel()
    {
        QFETCH(QString, column);
        QFETCH(QString, orders);
        MainWindow &w = window();
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        QVERIFY(storedEdgeAnywhere(probe.currentModel(), u"e-1"_s));
        m_prompts.answerAsk(u"Remove from model"_s);
        probe.onColumnRemovalRequested(column);
        QVERIFY(!probe.findEdgeOnScene(u"e-1"_s));
        QVERIFY(!treeRow(probe.treeModel(), u"relationship"_s, u"e-1"_s));

        std::unique_ptr<MainWindow> reopened = saveAsAndReopen(w, u"key-column.json"_s);
        QVERIFY(reopened);
        ModelItem *saved = MainWindowProbe(*reopened).currentModel();
        QVERIFY(!saved->relationship(u"e-1"_s));
        QVERIFY(!storedEdgeAnywhere(saved, u"e-1"_s));
        QCOMPARE(dump(saved->table(u"t-orders"_s)), orders);
    }

    // A table renamed in the tree renames the relationships named after it at once.
    void relationshipNamesFollowATableRename()
    {
        MainWindow &w = window();
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        treeRow(probe.treeModel(), u"table"_s, u"t-customers"_s)->setText(u"clients"_s);
        QCOMPARE(treeRow(probe.treeModel(), u"relationship"_s, u"e-1"_s)->text(), u"clients_orders"_s);

        std::unique_ptr<MainWindow> reopened = saveAsAndReopen(w, u"relationship-name.json"_s);
        QVERIFY(reopened);
        MainWindowProbe again(*reopened);
        QCOMPARE(again.currentModel()->relationship(u"e-1"_s)->name(), u"clients_orders"_s);
        QCOMPARE(treeRow(again.treeModel(), u"relationship"_s, u"e-1"_s)->text(), u"clients_orders"_s);
    }

    // A box dropped from the explorer is the window's selected table: the panel shows it and
    // Add Column adds to it.
    void droppedBoxIsTheSelectedTable()
    {
        MainWindow &w = window();
        MainWindowProbe probe(w);
        QVERIFY(open(w, m_prompts, fixture(u"three-diagrams.json"_s)));
        trigger(w, "action_New_Diagram");
        const QString diagram = probe.currentDiagram()->name();
        probe.onExplorerDropRequested(dropPayload(u"table"_s, u"t-customers"_s), QPointF(0, 0));
        EntityItem *box = probe.findEntityOnScene(u"t-customers"_s);
        QVERIFY(box && box->isSelected());
        QCOMPARE(probe.detailsEntity(), box);
        QCOMPARE(w.findChild<QLineEdit *>(u"lineEditTable"_s)->text(), u"customers"_s);
        trigger(w, "actionAdd_Column");
        QCOMPARE(box->attributeCount(), 3);

        std::unique_ptr<MainWindow> reopened = saveAsAndReopen(w, u"dropped-box.json"_s);
        QVERIFY(reopened);
        const TableItem *customers = MainWindowProbe(*reopened).currentModel()->table(u"t-customers"_s);
        QCOMPARE(customers->columns().size(), 3);
        QCOMPARE(storedRowIds(diagramNamed(MainWindowProbe(*reopened).currentModel(), diagram), u"t-customers"_s),
                 u"c-cust-id=id, c-cust-name=name, "_s + customers->columns().at(2)->id() + QLatin1Char('=')
                     + customers->columns().at(2)->name());
    }
};

QTEST_MAIN(TestEditsRoundTrip)
#include "tst_editsroundtrip.moc"
