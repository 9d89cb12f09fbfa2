// The model explorer's rows: built from the project, dragged, edited, named, searched
// and narrowed by kind.
#include "diagramitem.h"
#include "documentitem.h"
#include "explorerkinds.h"
#include "mappingitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "sequenceitem.h"
#include "tableitem.h"
#include "uiseam.h"
#include "viewitem.h"

#include "projecttestsupport.h"
#include "windowtestcase.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QToolButton>
#include <QTreeView>

#include <functional>

using namespace projecttest;

namespace {

// "Shop": a model without name (SQLite, no objects), "Archive" (no dialect, no objects)
// and "Sales" (PostgreSQL) with objects of every kind; "Sales" and its "Main" are current.
struct Shop
{
    ProjectItem *project = nullptr;
    ModelItem *unnamed = nullptr;
    ModelItem *archive = nullptr;
    ModelItem *sales = nullptr;
    DiagramItem *main = nullptr;
    TableItem *orders = nullptr;
    ViewItem *totals = nullptr;
    RelationshipItem *placed = nullptr;
    // Ids to the names the dumps show for them.
    QHash<QString, QString> names;

    explicit Shop(MainWindow &w)
    {
        project = new ProjectItem;
        project->setName(QStringLiteral("Shop"));
        names.insert(project->id(), QStringLiteral("Shop"));
        unnamed = addModel(QString(), QStringLiteral("SQLite"));
        archive = addModel(QStringLiteral("Archive"), QString());
        sales = addModel(QStringLiteral("Sales"), QStringLiteral("PostgreSQL"));
        orders = named(sales->addTable(), "orders");
        TableItem *customers = named(sales->addTable(), "customers");
        named(sales->addTable(), "price(eur)");
        totals = named(sales->addView(), "order_totals");
        placed = named(sales->addRelationship(), "customers_orders");
        placed->setFromTableId(customers->id());
        placed->setToTableId(orders->id());
        named(sales->addSequence(), "");
        main = named(sales->addDiagram(), "Main");
        named(sales->addMapping(), "archive_map");
        DocumentItem *document = sales->addDocument();
        names.insert(document->id(), QStringLiteral("doc"));
        MainWindowProbe probe(w);
        probe.adoptProject(project, sales, main);
        probe.rebuildProjectTree();
    }

    ModelItem *addModel(const QString &name, const QString &dialect)
    {
        ModelItem *model = project->addModel();
        model->setName(name);
        model->setDialect(dialect);
        names.insert(model->id(), name.isEmpty() ? QStringLiteral("unnamed") : name);
        return model;
    }

    template<typename Item>
    Item *named(Item *item, const char *name)
    {
        item->setName(QLatin1String(name));
        names.insert(item->id(), name[0] ? QLatin1String(name) : QLatin1String("nameless"));
        return item;
    }
};

// One line per row in pre-order: indent, kind, shown text, id (by name), and the marks
// b(old), e(ditable), d(raggable).
QStringList dump(const QAbstractItemModel *model, const QHash<QString, QString> &names,
                 const QModelIndex &parent = QModelIndex(), int depth = 0)
{
    QStringList lines;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        const QString id = index.data(ExplorerIdRole).toString();
        const Qt::ItemFlags flags = model->flags(index);
        QString marks;
        if (index.data(Qt::FontRole).value<QFont>().weight() > QFont::Medium)
            marks += QLatin1Char('b');
        if (flags & Qt::ItemIsEditable)
            marks += QLatin1Char('e');
        if (flags & Qt::ItemIsDragEnabled)
            marks += QLatin1Char('d');
        lines.append(QString(depth * 2, QLatin1Char(' ')) + index.data(ExplorerKindRole).toString() + QLatin1Char('|')
                     + index.data().toString() + QLatin1Char('|') + (id.isEmpty() ? QString() : names.value(id, QStringLiteral("?")))
                     + QLatin1Char('|') + marks);
        lines += dump(model, names, index, depth + 1);
    }
    return lines;
}

const QStringList GroupKinds{ExplorerKind::Tables, ExplorerKind::Views, ExplorerKind::Relationships,
                             ExplorerKind::Sequences, ExplorerKind::Diagrams, ExplorerKind::Mappings,
                             ExplorerKind::Documents};

// Rows of the proxy that are not group rows, as "kind:text", and the number of group rows.
QStringList visibleRows(const QAbstractItemModel *model, int *groups, const QModelIndex &parent = QModelIndex())
{
    QStringList rows;
    for (int row = 0; row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        const QString kind = index.data(ExplorerKindRole).toString();
        if (GroupKinds.contains(kind))
            ++*groups;
        else
            rows.append(kind + QLatin1Char(':') + index.data().toString());
        rows += visibleRows(model, groups, index);
    }
    return rows;
}

QTreeView *treeView(MainWindow &w)
{
    return w.findChild<QTreeView *>(QStringLiteral("treeViewProject"));
}

QLineEdit *searchField(MainWindow &w)
{
    return w.findChild<QLineEdit *>(QStringLiteral("lineEditSearch"));
}

QToolButton *filterButton(MainWindow &w)
{
    return w.findChild<QToolButton *>(QStringLiteral("toolButtonFilter"));
}

// A standalone explorer model with a row for each "kind:id" (an id of "-" is empty).
ProjectTreeModel *payloadModel(const QStringList &rows, QObject *parent)
{
    auto *model = new ProjectTreeModel(parent);
    for (const QString &row : rows) {
        auto *item = new QStandardItem(row);
        item->setData(row.section(QLatin1Char(':'), 0, 0), ExplorerKindRole);
        const QString id = row.section(QLatin1Char(':'), 1);
        item->setData(id == QLatin1String("-") ? QString() : id, ExplorerIdRole);
        model->appendRow(item);
    }
    return model;
}

} // namespace

class TestExplorerTree : public WindowTestCase
{
    Q_OBJECT

private Q_SLOTS:
    void treeShowsProjectModelsGroupsAndObjects()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        Shop shop(w);
        const QStringList expected{
            "project|Shop|Shop|e",
            "  model|Model (SQLite)|unnamed|e",
            "    tables|Tables||", "    views|Views||", "    relationships|Relationships||",
            "    sequences|Sequences||", "    diagrams|Diagrams||", "    mappings|Mappings||",
            "    documents|Documents||",
            "  model|Archive|Archive|e",
            "    tables|Tables||", "    views|Views||", "    relationships|Relationships||",
            "    sequences|Sequences||", "    diagrams|Diagrams||", "    mappings|Mappings||",
            "    documents|Documents||",
            "  model|Sales (PostgreSQL)|Sales|be",
            "    tables|Tables||",
            "      table|customers|customers|ed",
            "      table|orders|orders|ed",
            "      table|price(eur)|price(eur)|ed",
            "    views|Views||",
            "      view|order_totals|order_totals|ed",
            "    relationships|Relationships||",
            "      relationship|customers_orders|customers_orders|",
            "    sequences|Sequences||",
            "      sequence|Sequence|nameless|",
            "    diagrams|Diagrams||",
            "      diagram|Main|Main|be",
            "    mappings|Mappings||",
            "      mapping|archive_map|archive_map|",
            "    documents|Documents||",
            "      document|Document|doc|",
        };
        QCOMPARE(dump(probe.treeModel(), shop.names), expected);
        // The proxy shows the same rows while nothing is filtered, all expanded.
        QCOMPARE(dump(probe.treeProxy(), shop.names), expected);
        const QModelIndex sales = probe.findTreeItem(ExplorerKind::Model, shop.sales->id())->index();
        QVERIFY(treeView(w)->isExpanded(probe.treeProxy()->mapFromSource(sales)));
        // Editing a model row edits its name only; the dialect has a role of its own.
        QCOMPARE(sales.data(Qt::EditRole).toString(), QStringLiteral("Sales"));
        QCOMPARE(sales.data(ExplorerDialectRole).toString(), QStringLiteral("PostgreSQL"));

        for (ModelItem *model : shop.project->models())
            shop.project->removeModel(model->id());
        probe.rebuildProjectTree();
        QCOMPARE(dump(probe.treeModel(), shop.names), QStringList{"project|Shop|Shop|e"});
    }

    void onlyTablesAndViewsDrag_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("draggable");
        QTest::newRow("table") << "table" << true;
        QTest::newRow("view") << "view" << true;
        QTest::newRow("capitalised") << "Table" << false;
        QTest::newRow("group") << "tables" << false;
        QTest::newRow("model") << "model" << false;
    }

    void onlyTablesAndViewsDrag()
    {
        QFETCH(QString, kind);
        QFETCH(bool, draggable);
        MainWindow w;
        MainWindowProbe probe(w);
        QStandardItem *item = probe.makeTreeItem(QStringLiteral("x"), kind);
        QCOMPARE(item->isDragEnabled(), draggable);
        ProjectTreeModel model;
        model.appendRow(item);
        QCOMPARE(bool(model.flags(item->index()) & Qt::ItemIsDragEnabled), draggable);
        QCOMPARE(model.mimeTypes(), QStringList{"application/x-velmora-explorer"});
        QCOMPARE(model.supportedDragActions(), Qt::CopyAction);
    }

    void dragPayload_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("table, view and diagram")
            << QStringList{"table:t1", "view:v1", "diagram:d1"}
            << QByteArray(R"({"items":[{"id":"t1","kind":"table"},{"id":"v1","kind":"view"}]})");
        QTest::newRow("a repeated row counts once")
            << QStringList{"view:v1", "table:t1", "view:v1", "table:t1"}
            << QByteArray(R"({"items":[{"id":"v1","kind":"view"},{"id":"t1","kind":"table"}]})");
        QTest::newRow("same id, other kind") << QStringList{"table:x", "view:x"}
                                             << QByteArray(R"({"items":[{"id":"x","kind":"table"},{"id":"x","kind":"view"}]})");
        QTest::newRow("groups, models and diagrams only")
            << QStringList{"tables:-", "model:m1", "diagram:d1", "project:p"} << QByteArray();
        QTest::newRow("a table without id") << QStringList{"table:-", "table:t2"}
                                            << QByteArray(R"({"items":[{"id":"t2","kind":"table"}]})");
    }

    void dragPayload()
    {
        QFETCH(QStringList, rows);
        QFETCH(QByteArray, payload);
        QObject owner;
        ProjectTreeModel *model = payloadModel(rows, &owner);
        QModelIndexList indexes;
        for (int row = 0; row < model->rowCount(); ++row)
            indexes.append(model->index(row, 0));
        std::unique_ptr<QMimeData> mime(model->mimeData(indexes));
        if (payload.isEmpty()) {
            QVERIFY(!mime);
            return;
        }
        QVERIFY(mime);
        QCOMPARE(mime->formats(), QStringList{"application/x-velmora-explorer"});
        QCOMPARE(mime->data(QStringLiteral("application/x-velmora-explorer")), payload);
    }

    void largeDragHoldsEachObjectOnceInRowOrder()
    {
        QStringList rows;
        for (int i = 0; i < 2000; ++i)
            rows.append(QStringLiteral("%1:%2").arg(i % 2 ? "view" : "table").arg(i % 700));
        QObject owner;
        ProjectTreeModel *model = payloadModel(rows, &owner);
        QModelIndexList indexes;
        for (int row = 0; row < model->rowCount(); ++row)
            indexes.append(model->index(row, 0));
        std::unique_ptr<QMimeData> mime(model->mimeData(indexes));
        const QJsonArray items = QJsonDocument::fromJson(mime->data(ProjectTreeModel::MimeType))
                                     .object().value(QStringLiteral("items")).toArray();
        QStringList keys;
        for (const QJsonValue &item : items)
            keys.append(item[QStringLiteral("kind")].toString() + QLatin1Char(':') + item[QStringLiteral("id")].toString());
        rows.removeDuplicates();
        QCOMPARE(keys, rows);
    }

    void delegateRowHeightAndEditor()
    {
        ProjectTreeItemDelegate delegate;
        QStandardItemModel model;
        model.appendRow(new QStandardItem(QStringLiteral("orders")));
        const QModelIndex index = model.index(0, 0);
        QWidget parent;
        for (int pointSize : {6, 10, 30}) {
            QStyleOptionViewItem option;
            option.initFrom(&parent);
            QFont font = option.font;
            font.setPointSize(pointSize);
            option.font = font;
            option.fontMetrics = QFontMetrics(font);
            option.rect = QRect(10, 20, 200, 30);
            const QSize base = delegate.QStyledItemDelegate::sizeHint(option, index);
            const QSize hint = delegate.sizeHint(option, index);
            QCOMPARE(hint.width(), base.width());
            QCOMPARE(hint.height(), qMax(option.fontMetrics.height() + 10, qMax(base.height(), 24)));

            std::unique_ptr<QWidget> editor(delegate.createEditor(&parent, option, index));
            auto *line = qobject_cast<QLineEdit *>(editor.get());
            QVERIFY(line);
            QCOMPARE(line->textMargins(), QMargins(2, 1, 2, 1));
            delegate.updateEditorGeometry(line, option, index);
            QCOMPARE(line->geometry(), QRect(11, 21, 198, 28));
        }
    }

    // The first row in pre-order wins, from the row index and from a plain search alike.
    void findTreeItemTakesFirstInPreOrder()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        Shop shop(w);
        TableItem *twin = shop.archive->addTable();
        twin->setId(shop.orders->id());
        probe.rebuildProjectTree();

        QStandardItem *found = probe.findTreeItem(ExplorerKind::Table, shop.orders->id());
        QVERIFY(found);
        QCOMPARE(found->parent()->parent()->data(ExplorerIdRole).toString(), shop.archive->id());
        QCOMPARE(probe.findTreeItem(probe.treeModel()->invisibleRootItem(), ExplorerKind::Table, shop.orders->id()),
                 found);
        QCOMPARE(probe.findTreeItem(ExplorerKind::Table, QStringLiteral("no such id")), nullptr);
        // Rows added by hand are found too.
        QStandardItem *extra = probe.makeTreeItem(QStringLiteral("extra"), ExplorerKind::Document);
        found->parent()->appendRow(extra);
        QCOMPARE(probe.findTreeItem(ExplorerKind::Document, QStringLiteral("id")), extra);
    }

    void selectExplorerItemSkipsFilteredRows()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        Shop shop(w);
        QTreeView *tree = treeView(w);
        searchField(w)->setText(QStringLiteral("customers"));
        probe.selectExplorerItem(ExplorerKind::Relationship, shop.placed->id());
        QCOMPARE(tree->currentIndex().data().toString(), QStringLiteral("customers_orders"));

        probe.selectExplorerItem(ExplorerKind::Table, shop.orders->id());
        QCOMPARE(tree->currentIndex().data().toString(), QStringLiteral("customers_orders"));
    }

    void modelForTreeIndexWalksUp()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        Shop shop(w);
        probe.adoptProject(shop.project, shop.archive, nullptr);
        const QModelIndex orders = probe.findTreeItem(ExplorerKind::Table, shop.orders->id())->index();
        QCOMPARE(probe.modelForTreeIndex(probe.treeProxy()->mapFromSource(orders)), shop.sales);
        QCOMPARE(probe.modelForTreeIndex(orders), shop.sales);
        QCOMPARE(probe.modelForTreeIndex(probe.treeModel()->index(0, 0)), shop.archive);
        QCOMPARE(probe.modelForTreeIndex(QModelIndex()), shop.archive);
    }

    // Typed in the name bar or handed over by the tree's rename: (what, typed) → the
    // stored name, the row's text and the editor's text afterwards.
    void names_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("fromEditor");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("rowText");
        QTest::addColumn<QString>("editorText");
        QTest::addColumn<int>("rowChanges");
        QTest::newRow("model trimmed") << "model" << true << "  Retail  " << "Retail" << "Retail" << "Retail" << 1;
        QTest::newRow("model trimmed, tree") << "model" << false << " Retail\t" << "Retail" << "Retail" << "Retail" << 1;
        QTest::newRow("model emptied") << "model" << true << "   " << "Sales" << "Sales" << "Sales" << 0;
        QTest::newRow("same model name") << "model" << true << " Sales " << "Sales" << "Sales" << "Sales" << 0;
        QTest::newRow("nameless model emptied") << "unnamed" << false << "" << "" << "Model" << "" << 0;
        QTest::newRow("markup stays text") << "model" << true << "<b>Sales</b>" << "<b>Sales</b>" << "<b>Sales</b>"
                                           << "<b>Sales</b>" << 1;
        QTest::newRow("project trimmed") << "project" << true << " Big Shop " << "Big Shop" << "Big Shop" << "Big Shop" << 1;
        QTest::newRow("project emptied") << "project" << false << "" << "Shop" << "Shop" << "Shop" << 0;
        QTest::newRow("diagram trimmed") << "diagram" << true << "  Overview" << "Overview" << "Overview" << "Overview" << 1;
        QTest::newRow("diagram emptied") << "diagram" << true << "" << "Main" << "Main" << "Main" << 0;
        QTest::newRow("nameless diagram emptied") << "unnamed diagram" << false << " " << "" << "" << "" << 1;
    }

    void names()
    {
        QFETCH(QString, what);
        QFETCH(bool, fromEditor);
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(QString, rowText);
        QFETCH(QString, editorText);
        QFETCH(int, rowChanges);
        MainWindow w;
        MainWindowProbe probe(w);
        Shop shop(w);
        if (what == QLatin1String("unnamed")) {
            probe.adoptProject(shop.project, shop.unnamed, nullptr);
            probe.rebuildProjectTree();
        } else if (what == QLatin1String("unnamed diagram")) {
            shop.main->setName(QString());
            probe.rebuildProjectTree();
        }
        QSignalSpy changes(probe.treeModel(), &QStandardItemModel::itemChanged);

        QString kind;
        QString editorName;
        std::function<QString()> stored;
        QString id;
        if (what == QLatin1String("project")) {
            kind = ExplorerKind::Project;
            editorName = QStringLiteral("editProjectName");
            id = shop.project->id();
            stored = [&] { return shop.project->name(); };
            if (!fromEditor)
                probe.applyProjectName(typed);
        } else if (what.endsWith(QLatin1String("diagram"))) {
            kind = ExplorerKind::Diagram;
            editorName = QStringLiteral("editDiagramName");
            id = shop.main->id();
            stored = [&] { return shop.main->name(); };
            if (!fromEditor)
                probe.applyDiagramName(id, typed);
        } else {
            kind = ExplorerKind::Model;
            editorName = QStringLiteral("editModelName");
            ModelItem *model = probe.currentModel();
            id = model->id();
            stored = [model] { return model->name(); };
            if (!fromEditor)
                probe.applyModelName(id, typed);
        }
        auto *editor = w.findChild<QLineEdit *>(editorName);
        if (fromEditor) {
            editor->setText(typed);
            emit editor->editingFinished();
        }

        QCOMPARE(stored(), name);
        QCOMPARE(probe.findTreeItem(kind, id)->text(), rowText);
        QCOMPARE(editor->text(), editorText);
        QCOMPARE(changes.count(), rowChanges);
        QCOMPARE(probe.bulkUpdate(), false);
    }

    // (hidden kinds, search) → the proxy's rows other than groups, and how many groups.
    void filter_data()
    {
        QTest::addColumn<QStringList>("hidden");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("groups");
        const QStringList models{"project:Shop", "model:Model (SQLite)", "model:Archive", "model:Sales (PostgreSQL)"};
        const QStringList everything = models
            + QStringList{"table:customers", "table:orders", "table:price(eur)", "view:order_totals",
                          "relationship:customers_orders", "sequence:Sequence", "diagram:Main",
                          "mapping:archive_map", "document:Document"};
        const QStringList allKinds{"table", "view", "relationship", "diagram", "sequence", "mapping", "document"};
        QTest::newRow("blank search") << QStringList() << "   " << everything << 21;
        QTest::newRow("dialect") << QStringList() << "PostgreSQL" << models << 21;
        QTest::newRow("part of names, any case")
            << QStringList() << "ORD" << models + QStringList{"table:orders", "view:order_totals", "relationship:customers_orders"}
            << 21;
        QTest::newRow("no match") << QStringList() << "zzz" << models << 21;
        QTest::newRow("10,000 characters") << QStringList() << QString(10000, QLatin1Char('o')) << models << 21;
        QTest::newRow("pattern characters are plain") << QStringList() << "(e" << models + QStringList{"table:price(eur)"} << 21;
        QTest::newRow("all kinds hidden") << allKinds << "" << models << 0;
        QTest::newRow("all kinds hidden, search")
            << allKinds << "sales" << QStringList{"project:Shop", "model:Sales (PostgreSQL)"} << 0;
        QTest::newRow("hidden kind stays hidden")
            << QStringList{"table"} << "ord" << models + QStringList{"view:order_totals", "relationship:customers_orders"}
            << 18;
        QTest::newRow("two kinds hidden") << QStringList{"diagram", "mapping"} << ""
                                          << QStringList(everything).filter(QRegularExpression("^(?!diagram|mapping)"))
                                          << 15;
    }

    void filter()
    {
        QFETCH(QStringList, hidden);
        QFETCH(QString, search);
        QFETCH(QStringList, rows);
        QFETCH(int, groups);
        MainWindow w;
        MainWindowProbe probe(w);
        Shop shop(w);
        probe.hiddenExplorerKinds() = QSet<QString>(hidden.cbegin(), hidden.cend());
        searchField(w)->setText(search);
        probe.applyExplorerFilter();

        int shownGroups = 0;
        QCOMPARE(visibleRows(probe.treeProxy(), &shownGroups), rows);
        QCOMPARE(shownGroups, groups);
        QCOMPARE(filterButton(w)->isChecked(), !hidden.isEmpty());
        // A rebuilt tree is shown through the same filter.
        probe.rebuildProjectTree();
        shownGroups = 0;
        QCOMPARE(visibleRows(probe.treeProxy(), &shownGroups), rows);
    }

    void searchRefiltersOnlyWhenTheTrimmedTextChanges()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        Shop shop(w);
        QTreeView *tree = treeView(w);
        const int before = probe.treeProxy()->refilterCount();
        searchField(w)->setText(QStringLiteral("ord"));
        QCOMPARE(probe.treeProxy()->refilterCount(), before + 1);
        QCOMPARE(probe.treeProxy()->searchText(), QStringLiteral("ord"));

        tree->collapseAll();
        searchField(w)->setText(QStringLiteral("  ord "));
        QCOMPARE(probe.treeProxy()->refilterCount(), before + 1);
        const QModelIndex tables = probe.treeProxy()->mapFromSource(
            probe.findTreeItem(ExplorerKind::Table, shop.orders->id())->parent()->index());
        QVERIFY(tree->isExpanded(tables));
    }

    void filterPopup()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        Shop shop(w);
        QStringList boxTexts;
        QString label;
        std::function<int(QDialog *)> act;
        const auto previous = uiseam::setDialogRunner([&](QDialog *dialog) {
            boxTexts.clear();
            for (QCheckBox *box : dialog->findChildren<QCheckBox *>())
                boxTexts.append(box->text() + (box->isChecked() ? "+" : "-"));
            label = dialog->findChild<QLabel *>()->text();
            return act(dialog);
        });
        const auto restore = qScopeGuard([previous] { uiseam::setDialogRunner(previous); });
        const auto press = [](QDialog *dialog, QDialogButtonBox::StandardButton which) {
            dialog->findChild<QDialogButtonBox *>()->button(which)->click();
            return dialog->result();
        };
        const auto box = [](QDialog *dialog, const QString &text) {
            for (QCheckBox *box : dialog->findChildren<QCheckBox *>()) {
                if (box->text() == text)
                    return box;
            }
            return static_cast<QCheckBox *>(nullptr);
        };

        act = [&](QDialog *dialog) {
            box(dialog, QStringLiteral("Tables"))->setChecked(false);
            return press(dialog, QDialogButtonBox::Apply);
        };
        probe.showExplorerFilterPopup();
        QCOMPARE(label, QStringLiteral("Show these items"));
        QCOMPARE(boxTexts, (QStringList{"Tables+", "Views+", "Relationships+", "Diagrams+", "Sequences+",
                                        "Mappings+", "Documents+"}));
        QCOMPARE(probe.hiddenExplorerKinds(), QSet<QString>{"table"});
        QVERIFY(filterButton(w)->isChecked());
        int groups = 0;
        QVERIFY(visibleRows(probe.treeProxy(), &groups).filter(QStringLiteral("table:")).isEmpty());
        QCOMPARE(groups, 18);

        // Closed by a click outside, after a box was unticked: nothing changes.
        searchField(w)->setText(QStringLiteral("ord"));
        act = [&](QDialog *dialog) {
            box(dialog, QStringLiteral("Views"))->setChecked(false);
            return int(QDialog::Rejected);
        };
        filterButton(w)->setChecked(false);
        probe.showExplorerFilterPopup();
        QCOMPARE(boxTexts.first(), QStringLiteral("Tables-"));
        QCOMPARE(probe.hiddenExplorerKinds(), QSet<QString>{"table"});
        QVERIFY(filterButton(w)->isChecked());

        act = [&](QDialog *dialog) { return press(dialog, QDialogButtonBox::Reset); };
        probe.showExplorerFilterPopup();
        QVERIFY(probe.hiddenExplorerKinds().isEmpty());
        QCOMPARE(searchField(w)->text(), QString());
        QCOMPARE(probe.treeProxy()->searchText(), QString());
        QVERIFY(!filterButton(w)->isChecked());
        QCOMPARE(dump(probe.treeProxy(), shop.names), dump(probe.treeModel(), shop.names));
    }
};

QTEST_MAIN(TestExplorerTree)
#include "tst_explorertree.moc"
