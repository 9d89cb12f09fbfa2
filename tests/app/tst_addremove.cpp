// The explorer's add and delete buttons and tables and views dropped from the explorer:
// what the model, the open diagram and the stored diagrams hold afterwards.
#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "tableitem.h"
#include "uiseam.h"
#include "viewitem.h"

#include "projecttestsupport.h"
#include "windowtestcase.h"

#include <QComboBox>
#include <QDialog>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QMenu>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace {

// A window whose project is built in code: one model with one open, empty diagram.
struct Fixture
{
    explicit Fixture(const QString &dialect = u"PostgreSQL"_s)
        : probe(w)
    {
        project = new ProjectItem;
        project->setName(u"P"_s);
        model = project->addModel();
        model->setName(u"Model 1"_s);
        model->setDialect(dialect);
        diagram = model->ensureDiagram(u"d1"_s);
        diagram->setName(u"Diagram 1"_s);
        probe.adoptProject(project, model, diagram);
        probe.rebuildProjectTree();
    }

    // "name" with columns "col:TYPE", the first ones listed in keys making the primary key.
    TableItem *table(const QString &id, const QString &name, const QStringList &columns = {},
                     const QStringList &keys = {}, ModelItem *in = nullptr)
    {
        TableItem *t = (in ? in : model)->ensureTable(id);
        t->setName(name);
        QStringList keyIds;
        for (const QString &entry : columns) {
            ColumnItem *c = t->addColumn();
            c->setId(id + u"."_s + entry.section(u':', 0, 0));
            c->setName(entry.section(u':', 0, 0));
            c->setDataType(entry.section(u':', 1));
            if (keys.contains(c->name()))
                keyIds.append(c->id());
        }
        if (!keyIds.isEmpty()) {
            ConstraintItem *pk = t->addConstraint();
            pk->setType(ConstraintType::PrimaryKey);
            pk->setName(u"pk_"_s + name);
            pk->setColumns(keyIds);
        }
        return t;
    }

    RelationshipItem *relationship(const QString &id, const QString &from, const QString &to)
    {
        RelationshipItem *r = model->ensureRelationship(id);
        r->setFromTableId(from);
        r->setToTableId(to);
        r->setName(from + u"_"_s + to);
        return r;
    }

    DiagramItem *storedDiagram(const QString &id, const QString &name, const QJsonObject &document)
    {
        DiagramItem *d = model->ensureDiagram(id);
        d->setName(name);
        d->setSceneJson(document);
        return d;
    }

    EntityItem *box(const QString &id) { return probe.findEntityOnScene(id); }

    QTreeView *tree() { return w.findChild<QTreeView *>(u"treeViewProject"_s); }
    QString currentRow()
    {
        const QModelIndex index = tree()->currentIndex();
        return index.data(Qt::UserRole).toString() + u":"_s + index.data(Qt::UserRole + 1).toString();
    }
    void selectRows(const QList<QPair<QString, QString>> &rows)
    {
        tree()->selectionModel()->clearSelection();
        for (const auto &row : rows) {
            QStandardItem *item = probe.findTreeItem(row.first, row.second);
            QVERIFY2(item, qPrintable(row.second));
            const QModelIndex index = probe.treeProxy()->mapFromSource(item->index());
            tree()->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    void drop(const QList<QPair<QString, QString>> &items, QPointF at = {})
    {
        QJsonArray array;
        for (const auto &item : items)
            array.append(QJsonObject{{u"kind"_s, item.first}, {u"id"_s, item.second}});
        probe.onExplorerDropRequested(QJsonDocument(QJsonObject{{u"items"_s, array}}).toJson(), at);
    }

    MainWindow w;
    MainWindowProbe probe;
    ProjectItem *project = nullptr;
    ModelItem *model = nullptr;
    DiagramItem *diagram = nullptr;
};

QString columnsOf(const TableItem *table)
{
    QStringList names;
    for (const ColumnItem *c : table->columns())
        names.append(c->name());
    return names.join(u',');
}

QString rowsOf(const EntityItem *box)
{
    QStringList rows;
    for (int i = 0; i < box->attributeCount(); ++i)
        rows.append(box->attributeName(i) + (box->isAttributeForeignKey(i) ? u"*"_s : QString()));
    return rows.join(u',');
}

int countEdges(ERScene *scene)
{
    int n = 0;
    for (QGraphicsItem *item : scene->items())
        n += item->type() == EdgeItem::Type;
    return n;
}

QJsonObject storedEntity(const QString &id, const QString &title, const QPointF &pos = {})
{
    EntityItem box(title, QSizeF(150, 70));
    box.storedId = id;
    box.setPos(pos);
    return box.toJson();
}

QJsonObject edgeObject(const QString &id, const QString &from, const QString &to, const QJsonObject &cards)
{
    QJsonObject edge{{u"id"_s, id}, {u"from"_s, from}, {u"to"_s, to}};
    for (auto it = cards.begin(); it != cards.end(); ++it)
        edge.insert(it.key(), it.value());
    return edge;
}

// Answers the next menu with the entry of that text (none for an empty text) and notes
// which entries were enabled.
struct MenuScript
{
    explicit MenuScript(const QString &choice)
    {
        previous = uiseam::setMenuRunner([this, choice](QMenu *menu, const QPoint &) -> QAction * {
            QAction *chosen = nullptr;
            for (QAction *action : menu->actions()) {
                if (action->isEnabled())
                    enabled.append(action->text());
                if (action->text() == choice)
                    chosen = action;
            }
            return chosen;
        });
    }
    ~MenuScript() { uiseam::setMenuRunner(previous); }
    uiseam::MenuRunner previous;
    QStringList enabled;
};

// Answers the relationship dialog with those table ids, or rejects it.
struct DialogScript
{
    DialogScript(const QString &parentId, const QString &childId, bool accept = true)
    {
        previous = uiseam::setDialogRunner([=](QDialog *dialog) {
            auto *parent = dialog->findChild<QComboBox *>(u"comboParentTable"_s);
            auto *child = dialog->findChild<QComboBox *>(u"comboChildTable"_s);
            title = dialog->windowTitle();
            if (parent && child) {
                parent->setCurrentIndex(parent->findData(parentId));
                child->setCurrentIndex(child->findData(childId));
            }
            return accept ? int(QDialog::Accepted) : int(QDialog::Rejected);
        });
    }
    ~DialogScript() { uiseam::setDialogRunner(previous); }
    uiseam::DialogRunner previous;
    QString title;
};

using Items = QList<QPair<QString, QString>>;

// The project document with generated ids blanked, to compare two projects built alike.
QString withoutUuids(const ProjectItem *project)
{
    static const QRegularExpression uuid(u"[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}"_s);
    return QString::fromUtf8(QJsonDocument(project->toJson()).toJson()).replace(uuid, u"uuid"_s);
}

} // namespace

class TestAddRemove : public WindowTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void addMenuEntries_data()
    {
        QTest::addColumn<int>("tables");
        QTest::addColumn<bool>("withModel");
        QTest::addColumn<QStringList>("enabled");
        QTest::newRow("no model") << 0 << false << QStringList{"Model"};
        QTest::newRow("model without tables") << 0 << true << QStringList{"Model", "Diagram", "Table", "View"};
        QTest::newRow("model with a table")
            << 1 << true << QStringList{"Model", "Diagram", "Table", "View", "Relationship"};
    }

    void addMenuEntries()
    {
        QFETCH(int, tables);
        QFETCH(bool, withModel);
        QFETCH(QStringList, enabled);
        Fixture f;
        if (tables)
            f.table(u"t1"_s, u"a"_s);
        if (!withModel) {
            f.project->removeModel(f.model->id());
            f.probe.adoptProject(f.project, nullptr, nullptr);
            f.probe.rebuildProjectTree();
        }
        const QByteArray before = QJsonDocument(f.project->toJson()).toJson();
        MenuScript menu(QString{});
        f.probe.showExplorerAddMenu();
        QCOMPARE(menu.enabled, enabled);
        QCOMPARE(QJsonDocument(f.project->toJson()).toJson(), before);
    }

    void addTable_data()
    {
        QTest::addColumn<QString>("dialect");
        QTest::addColumn<QString>("keyType");
        QTest::newRow("PostgreSQL") << "PostgreSQL" << "BIGINT";
        QTest::newRow("Oracle") << "Oracle" << "NUMBER";
        QTest::newRow("Parquet") << "Parquet" << "INT64";
        QTest::newRow("Conceptual ER") << "Conceptual ER" << "undefined";
    }

    void addTable()
    {
        QFETCH(QString, dialect);
        QFETCH(QString, keyType);
        Fixture f(dialect);
        {
            MenuScript menu(u"Table"_s);
            f.probe.showExplorerAddMenu();
        }
        TableItem *table = f.model->tableByName(u"table_1"_s);
        QVERIFY(table);
        QCOMPARE(table->columns().size(), 1);
        const ColumnItem *key = table->columns().first();
        QCOMPARE(key->name(), u"table_1_id"_s);
        QCOMPARE(key->fullTypeName(), keyType);
        QVERIFY(!key->isNullable());
        const ConstraintItem *pk = table->constraintOfType(ConstraintType::PrimaryKey);
        QVERIFY(pk);
        QCOMPARE(pk->name(), u"pk_table_1"_s);
        QCOMPARE(pk->columns(), QStringList{key->id()});
        QCOMPARE(f.currentRow(), u"table:"_s + table->id());
        QVERIFY(!f.box(table->id()));

        {
            MenuScript menu(u"Table"_s);
            f.probe.showExplorerAddMenu();
        }
        QVERIFY(f.model->tableByName(u"table_2"_s));
    }

    void addModelAndDiagram()
    {
        Fixture f;
        auto *combo = f.w.findChild<QComboBox *>(u"comboBoxDatabase"_s);
        QVERIFY(combo);
        const QString chooser = combo->currentText().isEmpty() ? u"Conceptual ER"_s : combo->currentText();
        {
            MenuScript menu(u"Model"_s);
            f.probe.showExplorerAddMenu();
        }
        ModelItem *added = f.project->modelByName(u"Model 2"_s);
        QVERIFY(added);
        QCOMPARE(added->dialect(), chooser);
        QCOMPARE(f.probe.currentModel(), added);
        QCOMPARE(f.probe.currentDiagram()->name(), u"Diagram 1"_s);
        QCOMPARE(f.currentRow(), u"model:"_s + added->id());

        {
            MenuScript menu(u"Diagram"_s);
            f.probe.showExplorerAddMenu();
        }
        QCOMPARE(added->diagrams().size(), 2);
        QCOMPARE(f.probe.currentDiagram()->name(), u"Diagram 2"_s);
        QCOMPARE(f.currentRow(), u"diagram:"_s + f.probe.currentDiagram()->id());
    }

    void addView()
    {
        Fixture f;
        MenuScript menu(u"View"_s);
        f.probe.showExplorerAddMenu();
        QCOMPARE(f.model->views().size(), 1);
        QCOMPARE(f.model->views().first()->name(), u"view_1"_s);
    }

    void relationshipPaths_data()
    {
        QTest::addColumn<bool>("parentShown");
        QTest::addColumn<bool>("childShown");
        QTest::addColumn<bool>("current");
        QTest::newRow("both boxes shown") << true << true << true;
        QTest::newRow("only the child shown") << false << true << true;
        QTest::newRow("neither shown") << false << false << true;
        QTest::newRow("model not current") << true << true << false;
    }

    // The child shows on a stored diagram too: the new column must reach it.
    void relationshipPaths()
    {
        QFETCH(bool, parentShown);
        QFETCH(bool, childShown);
        QFETCH(bool, current);
        Fixture f;
        f.table(u"p"_s, u"customers"_s, {u"id:BIGINT"_s}, {u"id"_s});
        f.table(u"c"_s, u"orders"_s, {u"id:BIGINT"_s, u"note:TEXT"_s}, {u"id"_s});
        f.storedDiagram(u"d2"_s, u"Other"_s, {{u"entities"_s, QJsonArray{storedEntity(u"c"_s, u"orders"_s)}}});
        if (parentShown)
            f.drop({{u"table"_s, u"p"_s}}, {0, 0});
        if (childShown)
            f.drop({{u"table"_s, u"c"_s}}, {400, 0});
        {
            DialogScript dialog(u"p"_s, u"c"_s);
            if (current) {
                MenuScript menu(u"Relationship"_s);
                f.probe.showExplorerAddMenu();
            } else {
                ModelItem *other = f.project->addModel();
                other->setName(u"Model 2"_s);
                QVERIFY(f.probe.loadDiagramItem(other->addDiagram()));
                f.probe.addExplorerRelationship(f.model);
            }
            QCOMPARE(dialog.title, u"Add relationship"_s);
        }
        QCOMPARE(f.model->relationships().size(), 1);
        const RelationshipItem *rel = f.model->relationships().first();
        QCOMPARE(rel->fromTableId(), u"p"_s);
        QCOMPARE(rel->toTableId(), u"c"_s);
        const TableItem *child = f.model->table(u"c"_s);
        const ConstraintItem *fk = child->constraint(rel->constraintId());
        QVERIFY(fk);
        QCOMPARE(fk->type(), int(ConstraintType::ForeignKey));
        QCOMPARE(fk->referencedTableId(), u"p"_s);
        QCOMPARE(fk->columns().size(), 1);
        const bool drawn = parentShown && childShown && current;
        // A drawn line names its rows as the box does.
        if (!drawn)
            QCOMPARE(child->column(fk->columns().first())->name(), u"customers_id"_s);
        QCOMPARE(f.currentRow(), u"relationship:"_s + rel->id());

        EdgeItem *edge = current ? f.probe.findEdgeOnScene(rel->id()) : nullptr;
        QCOMPARE(edge != nullptr, drawn);
        // The child box wears its stored look, which shows no rows.
        if (current && childShown && !parentShown)
            QCOMPARE(rowsOf(f.box(u"c"_s)), u"customers_id*"_s);
        if (!drawn) {
            // Every stored diagram that shows the child gained the row.
            const QJsonArray rows = f.model->diagram(u"d2"_s)
                                        ->sceneJson()
                                        .value(u"entities"_s)
                                        .toArray()
                                        .first()
                                        .toObject()
                                        .value(u"attributes"_s)
                                        .toArray();
            QStringList names;
            for (const QJsonValue &row : rows)
                names.append(row.toObject().value(u"name"_s).toString());
            QVERIFY2(names.contains(u"customers_id"_s), qPrintable(names.join(u',')));
        }
    }

    void relationshipNaming_data()
    {
        QTest::addColumn<QStringList>("parentColumns");
        QTest::addColumn<QStringList>("parentKey");
        QTest::addColumn<QStringList>("childColumns");
        QTest::addColumn<bool>("self");
        QTest::addColumn<int>("times");
        QTest::addColumn<QString>("childAfter");
        QTest::addColumn<QString>("fkNames");
        QTest::newRow("free name") << QStringList{"id:INT"} << QStringList{"id"} << QStringList{"note:TEXT"} << false
                                   << 1 << "note,id" << "fk_pa_ch";
        QTest::newRow("taken: parent name prefix")
            << QStringList{"id:INT"} << QStringList{"id"} << QStringList{"ID:INT"} << false << 1 << "ID,pa_id"
            << "fk_pa_ch";
        QTest::newRow("both taken: numbered")
            << QStringList{"id:INT"} << QStringList{"id"} << QStringList{"id:INT", "PA_ID:INT"} << false << 1
            << "id,PA_ID,pa_id_2" << "fk_pa_ch";
        QTest::newRow("no key: first column lends itself")
            << QStringList{"code:TEXT", "x:INT"} << QStringList{} << QStringList{} << false << 1 << "code"
            << "fk_pa_ch";
        QTest::newRow("parent without columns") << QStringList{} << QStringList{} << QStringList{"a:INT"} << false << 1
                                                << "a" << "fk_pa_ch";
        QTest::newRow("self relationship") << QStringList{"id:INT"} << QStringList{"id"} << QStringList{} << true << 1
                                           << "id,pa_id" << "pk_pa,fk_pa_pa";
        QTest::newRow("second relationship between the same tables")
            << QStringList{"id:INT"} << QStringList{"id"} << QStringList{} << false << 2 << "id,pa_id"
            << "fk_pa_ch,fk_pa_ch_2";
    }

    void relationshipNaming()
    {
        QFETCH(QStringList, parentColumns);
        QFETCH(QStringList, parentKey);
        QFETCH(QStringList, childColumns);
        QFETCH(bool, self);
        QFETCH(int, times);
        QFETCH(QString, childAfter);
        QFETCH(QString, fkNames);
        Fixture f;
        f.table(u"p"_s, u"pa"_s, parentColumns, parentKey);
        if (!self)
            f.table(u"c"_s, u"ch"_s, childColumns);
        const QString childId = self ? u"p"_s : u"c"_s;
        for (int i = 0; i < times; ++i) {
            DialogScript dialog(u"p"_s, childId);
            MenuScript menu(u"Relationship"_s);
            f.probe.showExplorerAddMenu();
        }
        const TableItem *child = f.model->table(childId);
        QCOMPARE(columnsOf(child), childAfter);
        QStringList names;
        for (const ConstraintItem *c : child->constraints())
            names.append(c->name());
        QCOMPARE(names.join(u','), fkNames);
        QCOMPARE(f.model->relationships().size(), times);
        const RelationshipItem *rel = f.model->relationships().first();
        const ConstraintItem *fk = child->constraint(rel->constraintId());
        QVERIFY(fk);
        QCOMPARE(fk->referencedColumns().size(), fk->columns().size());
        QCOMPARE(fk->columns().isEmpty(), parentColumns.isEmpty());
    }

    void relationshipDialogRejected()
    {
        Fixture f;
        f.table(u"p"_s, u"pa"_s, {u"id:INT"_s}, {u"id"_s});
        DialogScript dialog(u"p"_s, u"p"_s, false);
        MenuScript menu(u"Relationship"_s);
        f.probe.showExplorerAddMenu();
        QVERIFY(f.model->relationships().isEmpty());
        QCOMPARE(columnsOf(f.model->table(u"p"_s)), u"id"_s);
    }

    // Three tables a <- b <- c, a and b on the open diagram, all three on a stored one.
    void removeTable()
    {
        Fixture f;
        f.table(u"a"_s, u"a"_s, {u"id:INT"_s}, {u"id"_s});
        f.table(u"b"_s, u"b"_s, {u"id:INT"_s}, {u"id"_s});
        for (const QString &child : {u"b"_s, u"c"_s}) {
            if (child == u"c"_s)
                f.table(u"c"_s, u"c"_s, {u"id:INT"_s}, {u"id"_s});
            DialogScript dialog(child == u"b"_s ? u"a"_s : u"b"_s, child);
            MenuScript menu(u"Relationship"_s);
            f.probe.showExplorerAddMenu();
        }
        const QString ab = f.model->relationships().at(0)->id();
        const QString bc = f.model->relationships().at(1)->id();
        f.storedDiagram(u"d2"_s, u"Other"_s,
                        {{u"entities"_s,
                          QJsonArray{storedEntity(u"a"_s, u"a"_s), storedEntity(u"b"_s, u"b"_s),
                                     storedEntity(u"c"_s, u"c"_s)}},
                         {u"edges"_s, QJsonArray{edgeObject(ab, u"a"_s, u"b"_s, {}), edgeObject(bc, u"b"_s, u"c"_s, {})}}});
        f.drop({{u"table"_s, u"a"_s}, {u"table"_s, u"b"_s}});
        QCOMPARE(countEdges(f.probe.scene()), 1);

        f.selectRows({{u"table"_s, u"b"_s}});
        m_prompts.answerQuestion(QMessageBox::Yes);
        f.probe.removeExplorerSelection();
        QCOMPARE(m_prompts.promptsOf(u"question"_s).size(), 1);
        QCOMPARE(m_prompts.promptsOf(u"question"_s).first().title, u"Remove"_s);

        QVERIFY(!f.model->table(u"b"_s));
        QVERIFY(!f.box(u"b"_s));
        QVERIFY(f.box(u"a"_s));
        QCOMPARE(countEdges(f.probe.scene()), 0);
        QVERIFY(f.model->relationships().isEmpty());
        // The key columns stay; their constraints go.
        QCOMPARE(f.model->table(u"c"_s)->constraints().size(), 1);
        QCOMPARE(columnsOf(f.model->table(u"c"_s)), u"id,b_id"_s);
        const QJsonObject stored = f.model->diagram(u"d2"_s)->sceneJson();
        QCOMPARE(stored.value(u"entities"_s).toArray().size(), 2);
        QVERIFY(stored.value(u"edges"_s).toArray().isEmpty());
        const QJsonArray open = f.diagram->sceneJson().value(u"entities"_s).toArray();
        QCOMPARE(open.size(), 1);
        QVERIFY(!f.probe.findTreeItem(u"table"_s, u"b"_s));
    }

    void removeAnswered_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("No") << int(QMessageBox::No);
        QTest::newRow("closed") << -1;
    }

    void removeAnswered()
    {
        QFETCH(int, answer);
        Fixture f;
        f.table(u"a"_s, u"a"_s, {u"id:INT"_s}, {u"id"_s});
        f.probe.rebuildProjectTree();
        const QByteArray before = QJsonDocument(f.project->toJson()).toJson();
        f.selectRows({{u"table"_s, u"a"_s}, {u"model"_s, f.model->id()}});
        if (answer >= 0)
            m_prompts.answerQuestion(QMessageBox::StandardButton(answer));
        f.probe.removeExplorerSelection();
        if (answer < 0) {
            QCOMPARE(m_prompts.unexpected, 1);
            m_prompts.unexpected = 0;
        }
        QCOMPARE(QJsonDocument(f.project->toJson()).toJson(), before);
    }

    void removeModels()
    {
        Fixture f;
        f.table(u"a"_s, u"a"_s, {u"id:INT"_s}, {u"id"_s});
        ModelItem *second = f.project->addModel();
        second->setName(u"Model 2"_s);
        DiagramItem *secondDiagram = second->addDiagram();
        secondDiagram->setName(u"Z"_s);
        f.probe.rebuildProjectTree();
        f.drop({{u"table"_s, u"a"_s}});
        QVERIFY(f.box(u"a"_s));

        // The current model together with one of its tables: removed once.
        f.selectRows({{u"model"_s, f.model->id()}, {u"table"_s, u"a"_s}});
        m_prompts.answerQuestion(QMessageBox::Yes);
        f.probe.removeExplorerSelection();
        QCOMPARE(f.project->models().size(), 1);
        QCOMPARE(f.probe.currentModel(), second);
        QCOMPARE(f.probe.currentDiagram(), secondDiagram);
        QVERIFY(!f.box(u"a"_s));

        // The last diagram of the last model: an empty scene and no current diagram.
        f.selectRows({{u"diagram"_s, secondDiagram->id()}});
        m_prompts.answerQuestion(QMessageBox::Yes);
        f.probe.removeExplorerSelection();
        QVERIFY(!f.probe.currentDiagram());
        QCOMPARE(f.probe.currentModel(), second);
        QVERIFY(f.probe.scene()->items().isEmpty());

        f.selectRows({{u"model"_s, second->id()}});
        m_prompts.answerQuestion(QMessageBox::Yes);
        f.probe.removeExplorerSelection();
        QVERIFY(f.project->models().isEmpty());
        QVERIFY(!f.probe.currentModel());
    }

    void removeRelationshipRow()
    {
        Fixture f;
        f.table(u"a"_s, u"a"_s, {u"id:INT"_s}, {u"id"_s});
        f.table(u"b"_s, u"b"_s, {u"id:INT"_s}, {u"id"_s});
        f.drop({{u"table"_s, u"a"_s}, {u"table"_s, u"b"_s}});
        {
            DialogScript dialog(u"a"_s, u"b"_s);
            MenuScript menu(u"Relationship"_s);
            f.probe.showExplorerAddMenu();
        }
        const QString id = f.model->relationships().first()->id();
        QCOMPARE(f.box(u"b"_s)->attributeCount(), 2);
        f.selectRows({{u"relationship"_s, id}});
        m_prompts.answerQuestion(QMessageBox::Yes);
        f.probe.removeExplorerSelection();
        QVERIFY(f.model->relationships().isEmpty());
        QVERIFY(!f.probe.findEdgeOnScene(id));
        // The line takes the key row it made.
        QCOMPARE(f.box(u"b"_s)->attributeCount(), 1);
        QCOMPARE(f.model->table(u"b"_s)->constraints().size(), 1);
    }

    // Removing many tables at once ends where removing them one by one does.
    void removeBatchMatchesOneByOne()
    {
        const auto build = [](Fixture &f) {
            QJsonArray stored;
            for (int i = 0; i < 6; ++i) {
                const QString id = u"t"_s + QString::number(i);
                f.table(id, id, {u"id:INT"_s}, {u"id"_s});
                stored.append(storedEntity(id, id));
                if (i)
                    f.relationship(u"r"_s + QString::number(i), u"t"_s + QString::number(i - 1), id);
            }
            f.storedDiagram(u"d2"_s, u"Other"_s, {{u"entities"_s, stored}});
            f.probe.rebuildProjectTree();
            f.drop({{u"table"_s, u"t0"_s}, {u"table"_s, u"t1"_s}, {u"table"_s, u"t2"_s}});
        };
        const QStringList gone{u"t1"_s, u"t2"_s, u"t4"_s};
        Fixture batch;
        build(batch);
        Items rows;
        for (const QString &id : gone)
            rows.append({u"table"_s, id});
        batch.selectRows(rows);
        m_prompts.answerQuestion(QMessageBox::Yes);
        batch.probe.removeExplorerSelection();

        Fixture single;
        build(single);
        for (const QString &id : gone)
            single.probe.removeExplorerEntity(single.model, id);
        QCOMPARE(withoutUuids(batch.project), withoutUuids(single.project));
        QCOMPARE(batch.model->tables().size(), 3);
    }

    void constraintRemovedInPanel()
    {
        Fixture f;
        f.table(u"a"_s, u"a"_s, {u"id:INT"_s}, {u"id"_s});
        f.table(u"b"_s, u"b"_s, {u"id:INT"_s}, {u"id"_s});
        f.drop({{u"table"_s, u"a"_s}, {u"table"_s, u"b"_s}});
        {
            DialogScript dialog(u"a"_s, u"b"_s);
            MenuScript menu(u"Relationship"_s);
            f.probe.showExplorerAddMenu();
        }
        const QString id = f.model->relationships().first()->id();
        f.storedDiagram(u"d2"_s, u"Other"_s, {{u"edges"_s, QJsonArray{edgeObject(id, u"a"_s, u"b"_s, {})}}});
        f.probe.onRelationshipConstraintRemoved(id);
        QVERIFY(!f.probe.findEdgeOnScene(id));
        // The panel removed the key only: the row stays.
        QCOMPARE(f.box(u"b"_s)->attributeCount(), 2);
        QVERIFY(f.model->relationships().isEmpty());
        QVERIFY(f.model->diagram(u"d2"_s)->sceneJson().value(u"edges"_s).toArray().isEmpty());
        QVERIFY(!f.probe.findTreeItem(u"relationship"_s, id));
    }

    void dropSnap_data()
    {
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<QPointF>("snapped");
        QTest::newRow("33,-47") << QPointF(33, -47) << QPointF(40, -40);
        QTest::newRow("halves away from zero") << QPointF(10, -10) << QPointF(20, -20);
        QTest::newRow("below halves") << QPointF(9.9, -29.9) << QPointF(0, -20);
    }

    void dropSnap()
    {
        QFETCH(QPointF, at);
        QFETCH(QPointF, snapped);
        QCOMPARE(MainWindowProbe::snapDropPoint(at), snapped);
    }

    void dropCascade()
    {
        Fixture f;
        for (const QString &id : {u"a"_s, u"b"_s, u"c"_s, u"d"_s})
            f.table(id, id, {u"id:INT"_s}, {u"id"_s});
        f.probe.rebuildProjectTree();
        f.drop({{u"table"_s, u"b"_s}}, {500, 500});
        f.drop({{u"table"_s, u"a"_s}, {u"table"_s, u"b"_s}, {u"table"_s, u"a"_s}, {u"table"_s, u"c"_s},
                {u"view"_s, u"d"_s}, {u"table"_s, u"d"_s}},
               {33, -47});
        QCOMPARE(f.box(u"a"_s)->pos(), QPointF(40, -40));
        QCOMPARE(f.box(u"b"_s)->pos(), QPointF(500, 500));
        QCOMPARE(f.box(u"c"_s)->pos(), QPointF(80, 0));
        QCOMPARE(f.box(u"d"_s)->pos(), QPointF(120, 40));
        QCOMPARE(f.probe.scene()->selectedItems().size(), 4);
        QCOMPARE(f.probe.scene()->items().size() > 0, true);
        int boxes = 0;
        for (QGraphicsItem *item : f.probe.scene()->items())
            boxes += item->type() == EntityItem::Type;
        QCOMPARE(boxes, 4);
        // Captured, and the tree follows the scene.
        QCOMPARE(f.diagram->sceneJson().value(u"entities"_s).toArray().size(), 4);
        QCOMPARE(f.tree()->selectionModel()->selectedRows().size(), 4);
        QVERIFY(f.probe.scene()->sceneRect().contains(QRectF(40 - 100, -40 - 100, 300, 300)));
    }

    void dropLook()
    {
        Fixture f;
        f.table(u"a"_s, u"a"_s, {u"id:INT"_s, u"x:TEXT"_s}, {u"id"_s});
        f.table(u"b"_s, u"b"_s, {u"id:INT"_s}, {u"id"_s});
        EntityItem look(u"Shown A"_s, QSizeF(150, 70));
        look.storedId = u"a"_s;
        look.addAttributeRow(u"only"_s, u"INT"_s, true, false, false, false);
        look.setPerspective(NamePrimary);
        DualThemeColorScheme scheme;
        scheme.light = {Qt::red, Qt::green, Qt::blue, Qt::black};
        scheme.dark = {Qt::darkRed, Qt::darkGreen, Qt::darkBlue, Qt::white};
        look.setColorScheme(scheme);
        look.setPos(900, 900);
        f.storedDiagram(u"d2"_s, u"Other"_s, {{u"entities"_s, QJsonArray{look.toJson()}}});
        DualThemeColorScheme defaults = scheme;
        defaults.light.background = Qt::yellow;
        f.probe.scene()->defaultEntityColors = defaults;
        f.drop({{u"table"_s, u"a"_s}, {u"table"_s, u"b"_s}});

        EntityItem *a = f.box(u"a"_s);
        QCOMPARE(a->title(), u"Shown A"_s);
        QCOMPARE(rowsOf(a), u"only"_s);
        QCOMPARE(a->perspective, int(NamePrimary));
        QCOMPARE(a->colorScheme(), scheme);
        QCOMPARE(a->pos(), QPointF(0, 0));
        EntityItem *b = f.box(u"b"_s);
        QCOMPARE(rowsOf(b), u"id"_s);
        QCOMPARE(b->colorScheme(), defaults);

        // With one default colour missing the box keeps its own.
        Fixture g;
        g.table(u"b"_s, u"b"_s, {u"id:INT"_s}, {u"id"_s});
        defaults.dark.text = QColor();
        g.probe.scene()->defaultEntityColors = defaults;
        g.drop({{u"table"_s, u"b"_s}});
        QVERIFY(g.box(u"b"_s)->colorScheme() != defaults);
    }

    void dropMalformed_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("not JSON") << QByteArray("{items");
        QTest::newRow("array") << QByteArray(R"([{"kind":"table","id":"a"}])");
        QTest::newRow("no items") << QByteArray(R"({"list":[]})");
        QTest::newRow("empty items") << QByteArray(R"({"items":[]})");
        QTest::newRow("items not objects") << QByteArray(R"({"items":[1,"a",null,[]]})");
        QTest::newRow("empty and missing id") << QByteArray(R"({"items":[{"kind":"table","id":""},{"kind":"table"}]})");
        QTest::newRow("other kinds") << QByteArray(R"({"items":[{"kind":"Table","id":"a"},{"kind":"model","id":"m1"},{"kind":"diagram","id":"d1"}]})");
        QTest::newRow("id of another model") << QByteArray(R"({"items":[{"kind":"table","id":"x"}]})");
        QTest::newRow("id not a string") << QByteArray(R"({"items":[{"kind":"table","id":7}]})");
    }

    void dropMalformed()
    {
        QFETCH(QByteArray, payload);
        Fixture f;
        f.table(u"a"_s, u"a"_s, {u"id:INT"_s}, {u"id"_s});
        ModelItem *other = f.project->addModel();
        f.table(u"x"_s, u"x"_s, {}, {}, other);
        f.diagram->setSceneJson({{u"marker"_s, true}});
        f.probe.onExplorerDropRequested(payload, {0, 0});
        QVERIFY(f.probe.scene()->items().isEmpty());
        QCOMPARE(f.diagram->sceneJson(), QJsonObject({{u"marker"_s, true}}));
    }

    void dropBranches()
    {
        const QByteArray payload = R"({"items":[{"kind":"table","id":"a"}]})";
        {
            // No project: the empty project is made; its model knows no "a".
            Fixture f;
            f.probe.dropProject();
            f.probe.onExplorerDropRequested(payload, {});
            QVERIFY(f.probe.project());
            QVERIFY(f.probe.currentModel());
            QVERIFY(f.probe.currentDiagram());
            QVERIFY(f.probe.scene()->items().isEmpty());
        }
        {
            // A project without a current model: nothing.
            Fixture f;
            f.table(u"a"_s, u"a"_s);
            f.probe.adoptProject(f.project, nullptr, nullptr);
            f.probe.onExplorerDropRequested(payload, {});
            QVERIFY(f.probe.scene()->items().isEmpty());
            QVERIFY(!f.probe.currentModel());
        }
        {
            // A model with a stored diagram but none current: a new diagram, the stored one
            // untouched.
            Fixture f;
            f.table(u"a"_s, u"a"_s);
            const QJsonObject kept{{u"entities"_s, QJsonArray{storedEntity(u"q"_s, u"q"_s)}}};
            f.diagram->setSceneJson(kept);
            f.probe.setCurrentDiagram(nullptr);
            f.probe.onExplorerDropRequested(payload, {});
            QVERIFY(f.probe.currentDiagram());
            QVERIFY(f.probe.currentDiagram() != f.diagram);
            QCOMPARE(f.diagram->sceneJson(), kept);
            QVERIFY(f.box(u"a"_s));
            QCOMPARE(f.model->diagrams().size(), 2);
        }
    }

    void dropLines_data()
    {
        QTest::addColumn<QJsonObject>("cards");
        QTest::addColumn<bool>("reversed");
        QTest::addColumn<bool>("self");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::newRow("never drawn") << QJsonObject() << false << false << 0 << 1;
        QTest::newRow("endCard 3 alone") << QJsonObject{{"endCard", 3}} << false << false << 0 << 3;
        QTest::newRow("both stored") << QJsonObject{{"startCard", 2}, {"endCard", 3}} << false << false << 2 << 3;
        QTest::newRow("reversed stored edge swaps")
            << QJsonObject{{"startCard", 2}, {"endCard", 3}} << true << false << 3 << 2;
        QTest::newRow("self relationship never swaps")
            << QJsonObject{{"startCard", 2}, {"endCard", 3}} << true << true << 2 << 3;
        QTest::newRow("string and out of range")
            << QJsonObject{{"startCard", "2"}, {"endCard", 7}} << false << false << 0 << 7;
    }

    void dropLines()
    {
        QFETCH(QJsonObject, cards);
        QFETCH(bool, reversed);
        QFETCH(bool, self);
        QFETCH(int, start);
        QFETCH(int, end);
        Fixture f;
        f.table(u"a"_s, u"a"_s, {u"id:INT"_s}, {u"id"_s});
        f.table(u"b"_s, u"b"_s, {u"id:INT"_s}, {u"id"_s});
        const QString to = self ? u"a"_s : u"b"_s;
        f.relationship(u"r"_s, u"a"_s, to);
        if (!cards.isEmpty())
            f.storedDiagram(u"d2"_s, u"Other"_s,
                            {{u"edges"_s, QJsonArray{reversed ? edgeObject(u"r"_s, to, u"a"_s, cards)
                                                              : edgeObject(u"r"_s, u"a"_s, to, cards)}}});
        if (!self) {
            // The partner is missing: no line until it arrives.
            f.drop({{u"table"_s, u"a"_s}});
            QCOMPARE(countEdges(f.probe.scene()), 0);
        }
        f.drop({{u"table"_s, to}}, {300, 0});
        EdgeItem *edge = f.probe.findEdgeOnScene(u"r"_s);
        QVERIFY(edge);
        QCOMPARE(edge->startCard, start);
        QCOMPARE(edge->endCard, end);
        // Dropping both again draws nothing twice.
        f.drop({{u"table"_s, u"a"_s}, {u"table"_s, to}});
        QCOMPARE(countEdges(f.probe.scene()), 1);
    }

    void dropBothEndsAndView()
    {
        Fixture f;
        f.table(u"a"_s, u"a"_s, {u"id:INT"_s, u"n:TEXT"_s}, {u"id"_s});
        f.table(u"b"_s, u"b"_s, {u"id:INT"_s}, {u"id"_s});
        ViewItem *view = f.model->ensureView(u"v"_s);
        view->setName(u"v"_s);
        f.relationship(u"r"_s, u"a"_s, u"b"_s);
        f.relationship(u"rv"_s, u"a"_s, u"v"_s);
        f.drop({{u"table"_s, u"a"_s}, {u"table"_s, u"b"_s}, {u"view"_s, u"v"_s}});
        QCOMPARE(countEdges(f.probe.scene()), 2);
        EdgeItem *link = f.probe.findEdgeOnScene(u"rv"_s);
        QVERIFY(link && link->isEntityViewEdge());
        QCOMPARE(rowsOf(f.box(u"v"_s)), u"id,n"_s);
        // Nothing reached the model a second time.
        QCOMPARE(f.model->relationships().size(), 2);
        QCOMPARE(f.model->table(u"b"_s)->constraints().size(), 1);
    }

    void storedEdgePrefersOtherDiagrams()
    {
        Fixture f;
        f.diagram->setSceneJson({{u"edges"_s, QJsonArray{edgeObject(u"r"_s, u"a"_s, u"b"_s, {{u"endCard"_s, 2}})}}});
        QCOMPARE(f.probe.storedEdgeJson(u"r"_s).value(u"endCard"_s).toInt(), 2);
        f.storedDiagram(u"d2"_s, u"Zeta"_s, {{u"edges"_s, QJsonArray{edgeObject(u"r"_s, u"a"_s, u"b"_s, {{u"endCard"_s, 3}})}}});
        QCOMPARE(f.probe.storedEdgeJson(u"r"_s).value(u"endCard"_s).toInt(), 3);
        QVERIFY(f.probe.storedEdgeJson(u"none"_s).isEmpty());
    }

    void dropLargePayload()
    {
        Fixture f;
        QJsonArray array;
        for (int i = 0; i < 10000; ++i)
            array.append(QJsonObject{{u"kind"_s, u"table"_s}, {u"id"_s, i % 2 ? u"a"_s : u"missing"_s}});
        f.table(u"a"_s, u"a"_s, {u"id:INT"_s}, {u"id"_s});
        f.probe.onExplorerDropRequested(QJsonDocument(QJsonObject{{u"items"_s, array}}).toJson(), {});
        QCOMPARE(f.probe.scene()->items().isEmpty(), false);
        int boxes = 0;
        for (QGraphicsItem *item : f.probe.scene()->items())
            boxes += item->type() == EntityItem::Type;
        QCOMPARE(boxes, 1);
    }
};

QTEST_MAIN(TestAddRemove)
#include "tst_addremove.moc"
