// Editing the entity box in place, the walk between cells, row drags, the menu and the
// mouse handling that moves boxes with their edges.
#include "edgeitem.h"
#include "entityitem.h"
#include "entitytestutil.h"
#include "dialectcatalog.h"
#include "erscene.h"
#include "erview.h"
#include "singlelinetextitem.h"
#include "testsupport.h"
#include "thememanager.h"
#include "uiseam.h"

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

using entitytest::Row;
using entitytest::addBox;
using entitytest::names;

namespace {

bool isEditing(SingleLineTextItem *cell)
{
    return cell && (cell->textInteractionFlags() & Qt::TextEditable);
}

int editingCells(EntityItem *box)
{
    int count = 0;
    for (SingleLineTextItem *cell : box->nameItems + box->typeItems)
        count += isEditing(cell) ? 1 : 0;
    return count;
}

// Answers the next menu with the action of the given text and records what it offered.
struct MenuScript
{
    QString choose;
    QStringList offered;
    QStringList checked;
    uiseam::MenuRunner previous;

    explicit MenuScript(const QString &choice)
        : choose(choice)
    {
        previous = uiseam::setMenuRunner([this](QMenu *menu, const QPoint &) -> QAction * {
            QAction *chosen = nullptr;
            const QList<QAction *> actions = menu->actions();
            for (QAction *action : actions) {
                if (action->isSeparator()) {
                    offered.append(QStringLiteral("-"));
                    continue;
                }
                offered.append(action->text());
                if (action->isChecked())
                    checked.append(action->text());
                if (action->text() == choose)
                    chosen = action;
            }
            return chosen;
        });
    }
    ~MenuScript() { uiseam::setMenuRunner(previous); }
};

} // namespace

class tst_EntityItemEditing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void blankNameCommit_data();
    void blankNameCommit();
    void typedExistingNameBecomesUnique();
    void blankTypeCommit();
    void titleCommit();
    void multiLineTextStoredAsShown_data();
    void multiLineTextStoredAsShown();
    void defaultTitleNumbers();

    void tabWalkSkipsHiddenRows();
    void tabFromLastTypeCellAddsRow();
    void backtabFromFirstRowEnds();

    void dropGapAt_data();
    void dropGapAt();
    void dropMovesRow_data();
    void dropMovesRow();

    void menuOfViewAndMixedSelection();
    void menuSetsPerspective();
    void editDialogRunsWithViewParent();
    void boxDeletedWhileItsMenuRuns();

    void pressFlagsLargeSelection_data();
    void pressFlagsLargeSelection();
    void lostGrabEndsBatchMode();

    void editLastVisibleAttribute();
    void fkCellClickTogglesEdge();

private:
    ERScene *m_scene = nullptr;
    ERView *m_view = nullptr;
};

void tst_EntityItemEditing::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EntityItemEditing::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
    m_scene = new ERScene;
    m_scene->setSceneRect(0, 0, 1200, 800);
    m_view = new ERView(nullptr);
    m_view->setScene(m_scene);
    m_view->resize(900, 600);
    m_view->show();
    m_view->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_view));
}

void tst_EntityItemEditing::cleanup()
{
    delete m_view;
    m_view = nullptr;
    delete m_scene;
    m_scene = nullptr;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EdgeItem::setBatchMode(false);
}

void tst_EntityItemEditing::blankNameCommit_data()
{
    QTest::addColumn<QList<Row>>("rows");
    QTest::addColumn<int>("cleared");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("becomesKey");

    QTest::newRow("plain row") << QList<Row>{{"a", "INT"}, {"b", "INT"}} << 1
                               << QStringLiteral("column_3") << false;
    QTest::newRow("plain row, number taken")
        << QList<Row>{{"column_3", "INT"}, {"b", "INT"}} << 1 << QStringLiteral("column_4") << false;
    QTest::newRow("only row") << QList<Row>{{"a", "TEXT"}} << 0 << QStringLiteral("orders_id") << true;
    QTest::newRow("the one key row") << QList<Row>{{"k", "INT", true}, {"b", "INT"}} << 0
                                     << QStringLiteral("orders_id") << false;
    QTest::newRow("second of two keys")
        << QList<Row>{{"k1", "INT", true}, {"k2", "INT", true}, {"x", "INT"}} << 1
        << QStringLiteral("orders_id_2") << false;
    QTest::newRow("second of two keys, name taken")
        << QList<Row>{{"k1", "INT", true}, {"k2", "INT", true}, {"orders_id_2", "INT"}} << 1
        << QStringLiteral("orders_id_2_2") << false;
    QTest::newRow("key row, base taken")
        << QList<Row>{{"k", "INT", true}, {"orders_id", "INT"}} << 0 << QStringLiteral("orders_id_2")
        << false;
}

void tst_EntityItemEditing::blankNameCommit()
{
    QFETCH(QList<Row>, rows);
    QFETCH(int, cleared);
    QFETCH(QString, expected);
    QFETCH(bool, becomesKey);
    m_scene->dialect = QStringLiteral("PostgreSQL");
    EntityItem *box = addBox(m_scene, QStringLiteral("orders"), rows);
    const QString oldName = box->attributeName(cleared);
    QSignalSpy edited(box, &EntityItem::attributeEdited);

    for (const QString &blank : {QString(), QStringLiteral("  \u200d ")}) {
        if (box->attributeName(cleared) != oldName)
            break;
        box->nameItems.at(cleared)->setPlainText(blank);
        box->onAttributeEditingFinished(box->nameItems.at(cleared));
    }
    QCOMPARE(box->attributeName(cleared), expected);
    QCOMPARE(box->nameItems.at(cleared)->toPlainText(), expected);
    QCOMPARE(edited.count(), 1);
    QCOMPARE(edited.first().at(1).toString(), oldName);
    if (becomesKey) {
        QVERIFY(box->isAttributePrimaryKey(cleared));
        QCOMPARE(box->attributeType(cleared), defaultKeyTypeForDialect(QStringLiteral("PostgreSQL")));
        QCOMPARE(box->typeItems.at(cleared)->toPlainText(), box->attributeType(cleared));
        QVERIFY(box->nameItems.at(cleared)->isUnderlined());
    } else {
        QCOMPARE(box->attributeType(cleared), rows.at(cleared).type);
    }
}

void tst_EntityItemEditing::typedExistingNameBecomesUnique()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"a", "INT"}, {"b", "INT"}, {"a_2", "INT"}});
    QSignalSpy edited(box, &EntityItem::attributeEdited);
    box->nameItems.at(1)->setPlainText(QStringLiteral("a  "));
    box->onAttributeEditingFinished(box->nameItems.at(1));
    QCOMPARE(names(box), QStringList({"a", "a_3", "a_2"}));
    QCOMPARE(box->nameItems.at(1)->toPlainText(), QStringLiteral("a_3"));
    QCOMPARE(edited.count(), 1);
    QCOMPARE(edited.first(), QVariantList({1, QStringLiteral("b"), QStringLiteral("a_3"), QStringLiteral("INT")}));

    // Its own name, typed again, stays as it is and reports nothing.
    box->nameItems.at(2)->setPlainText(QStringLiteral("a_2"));
    box->onAttributeEditingFinished(box->nameItems.at(2));
    QCOMPARE(box->attributeName(2), QStringLiteral("a_2"));
    QCOMPARE(edited.count(), 1);

    // After a save and a load both rows are still there.
    EntityItem *copy = addBox(m_scene, QStringLiteral("copy"), {});
    copy->fromJson(box->toJson());
    QCOMPARE(names(copy), names(box));
}

void tst_EntityItemEditing::blankTypeCommit()
{
    m_scene->dialect = QStringLiteral("PostgreSQL");
    EntityItem *parent = addBox(m_scene, QStringLiteral("p"), {{"id", "UUID", true}});
    EntityItem *child = addBox(m_scene, QStringLiteral("c"), {{"c_id", "INT", true}, {"note", "TEXT"}},
                               QPointF(400, 0));
    auto *edge = new EdgeItem(parent, child, true);
    m_scene->addItem(edge);
    QCOMPARE(names(child), QStringList({"c_id", "note", "id"}));
    // Without the key's name the row's place among the edge's rows finds the key.
    child->renameAttribute(2, QStringLiteral("parent"));

    const QString keyType = defaultKeyTypeForDialect(QStringLiteral("PostgreSQL"));
    const struct { int row; QString expected; } cases[] = {
        {2, QStringLiteral("UUID")}, {0, keyType}, {1, QStringLiteral("undefined")}};
    for (const auto &c : cases) {
        child->typeItems.at(c.row)->setPlainText(QStringLiteral(" "));
        child->onAttributeEditingFinished(child->typeItems.at(c.row));
        QCOMPARE(child->attributeType(c.row), c.expected);
        QCOMPARE(child->typeItems.at(c.row)->toPlainText(), c.expected);
    }

    // A name commit reads the type cell too.
    child->typeItems.at(1)->setPlainText(QString());
    child->onAttributeEditingFinished(child->nameItems.at(1));
    QCOMPARE(child->attributeType(1), QStringLiteral("undefined"));
}

void tst_EntityItemEditing::titleCommit()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {});
    QSignalSpy titles(box, &EntityItem::titleChanged);
    box->titleText_->setPlainText(QStringLiteral("  orders"));
    emit box->titleText_->editingFinished(box->titleText_, false, false);
    QCOMPARE(box->title(), QStringLiteral("  orders"));
    QCOMPARE(titles.count(), 1);

    box->titleText_->setPlainText(QStringLiteral(" \u200b "));
    emit box->titleText_->editingFinished(box->titleText_, false, false);
    // One table in the scene, this one: numbering goes on after it.
    QCOMPARE(box->title(), QStringLiteral("table_2"));
    QCOMPARE(box->titleText_->toPlainText(), QStringLiteral("table_2"));
    QCOMPARE(titles.count(), 2);

    box->setTitle(QStringLiteral("table_2"));
    QCOMPARE(titles.count(), 2);
}

void tst_EntityItemEditing::multiLineTextStoredAsShown_data()
{
    QTest::addColumn<QString>("operation");
    for (const char *operation : {"addAttributeRow", "renameAttribute", "updateAttribute", "setTitle"})
        QTest::newRow(operation) << QString::fromLatin1(operation);
}

void tst_EntityItemEditing::multiLineTextStoredAsShown()
{
    QFETCH(QString, operation);
    const QString raw = QStringLiteral("a\tb\nc\r\n");
    const QString shown = QStringLiteral("ab c");
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"x", "INT"}});
    if (operation == QLatin1String("addAttributeRow"))
        box->addAttributeRow(raw, QStringLiteral("VAR\tCHAR"), false, false, false, false);
    else if (operation == QLatin1String("renameAttribute"))
        box->renameAttribute(0, raw);
    else if (operation == QLatin1String("updateAttribute"))
        box->updateAttribute(0, QString(), raw, QStringLiteral("VAR\tCHAR"), false, false, false);
    else
        box->setTitle(raw);

    QSignalSpy edited(box, &EntityItem::attributeEdited);
    QSignalSpy titles(box, &EntityItem::titleChanged);
    if (operation == QLatin1String("setTitle")) {
        const QString title = shown + u' '; // a title keeps its blanks
        QCOMPARE(box->title(), title);
        QCOMPARE(box->titleText_->toPlainText(), title);
        // Into the cell and out again without typing.
        emit box->titleText_->editingFinished(box->titleText_, false, false);
        QCOMPARE(box->title(), title);
        QCOMPARE(titles.count(), 0);
        return;
    }
    const int row = int(box->attributes.size()) - 1;
    QCOMPARE(box->attributeName(row), shown);
    QCOMPARE(box->nameItems.at(row)->toPlainText(), shown);
    if (operation != QLatin1String("renameAttribute")) {
        QCOMPARE(box->attributeType(row), QStringLiteral("VARCHAR"));
        QCOMPARE(box->typeItems.at(row)->toPlainText(), QStringLiteral("VARCHAR"));
    }
    box->onAttributeEditingFinished(box->nameItems.at(row));
    box->onAttributeEditingFinished(box->typeItems.at(row));
    QCOMPARE(box->attributeName(row), shown);
    QCOMPARE(edited.count(), 0);
    QCOMPARE(box->toJson().value(QStringLiteral("attributes")).toArray().at(row)[QStringLiteral("name")].toString(),
             shown);
}

void tst_EntityItemEditing::defaultTitleNumbers()
{
    EntityItem *a = addBox(m_scene, QStringLiteral("table_1"), {});
    addBox(m_scene, QStringLiteral("table_3"), {});
    addBox(m_scene, QStringLiteral("view_1"), {}, QPointF(), true);
    EntityItem *fresh = addBox(m_scene, QStringLiteral("x"), {});
    // Three tables, so numbering starts at 4.
    QCOMPARE(fresh->defaultTitle(m_scene, false), QStringLiteral("table_4"));
    // One view besides this box: view_2 follows.
    QCOMPARE(fresh->defaultTitle(m_scene, true), QStringLiteral("view_2"));
    a->setTitle(QStringLiteral("table_4"));
    fresh->setTitle(QStringLiteral("table_5"));
    QCOMPARE(fresh->defaultTitle(m_scene, false), QStringLiteral("table_5"));
    QCOMPARE(fresh->defaultTitle(nullptr, false), QStringLiteral("table_1"));
}

void tst_EntityItemEditing::tabWalkSkipsHiddenRows()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"),
                             {{"k1", "INT", true}, {"x", "TEXT"}, {"k2", "INT", true}, {"y", "TEXT"}});
    box->setPerspective(NamePrimary);
    box->onAttributeEditingFinished(box->nameItems.at(0), true, false);
    QVERIFY(isEditing(box->typeItems.at(0)));
    box->onAttributeEditingFinished(box->typeItems.at(0), true, false);
    QVERIFY(isEditing(box->nameItems.at(2)));
    QVERIFY(!isEditing(box->nameItems.at(1)));

    // Backtab from a name goes to the type of the visible row above.
    box->onAttributeEditingFinished(box->nameItems.at(2), false, true);
    QVERIFY(isEditing(box->typeItems.at(0)));
    // Backtab wins over Tab.
    box->onAttributeEditingFinished(box->typeItems.at(0), true, true);
    QVERIFY(isEditing(box->nameItems.at(0)));
    // From a hidden row's name the walk ends.
    QCoreApplication::processEvents();
    const int before = editingCells(box);
    box->onAttributeEditingFinished(box->nameItems.at(1), true, false);
    QCOMPARE(editingCells(box), before);
    QCOMPARE(box->perspective, int(NamePrimary));
}

void tst_EntityItemEditing::tabFromLastTypeCellAddsRow()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"k1", "INT", true}, {"x", "TEXT"}});
    box->setPerspective(NamePrimary);
    QSignalSpy structure(box, &EntityItem::structureChanged);
    box->onAttributeEditingFinished(box->typeItems.at(0), true, false);
    QCOMPARE(box->perspective, int(Full));
    QCOMPARE(names(box), QStringList({"k1", "x", "column_3"}));
    QCOMPARE(box->attributeType(2), QStringLiteral("undefined"));
    QVERIFY(isEditing(box->nameItems.at(2)));
    QVERIFY(box->nameItems.at(2)->hasFocus());
    QCOMPARE(structure.count(), 1);
}

void tst_EntityItemEditing::backtabFromFirstRowEnds()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"a", "INT"}, {"b", "INT"}});
    box->nameItems.at(0)->beginEditing();
    QVERIFY(box->nameItems.at(0)->hasFocus());
    QTest::keyClick(m_view->viewport(), Qt::Key_Backtab);
    QCOMPARE(editingCells(box), 0);
    QVERIFY(!m_scene->focusItem() || !isEditing(qgraphicsitem_cast<SingleLineTextItem *>(m_scene->focusItem())));
    QCOMPARE(names(box), QStringList({"a", "b"}));

    // Neither flag: nothing more is edited.
    box->onAttributeEditingFinished(box->nameItems.at(1));
    QCOMPARE(editingCells(box), 0);
}

void tst_EntityItemEditing::dropGapAt_data()
{
    QTest::addColumn<int>("perspective");
    QTest::addColumn<qreal>("y");
    QTest::addColumn<int>("gap");
    // Rows k (key), a, k2 (key), b.
    QTest::newRow("above first") << int(Full) << 20.0 << 0;
    QTest::newRow("first half of row 0") << int(Full) << 33.0 + 8.9 << 0;
    QTest::newRow("second half of row 0") << int(Full) << 33.0 + 9.0 << 1;
    QTest::newRow("middle") << int(Full) << 33.0 + 18 * 2 + 3 << 2;
    QTest::newRow("last edge") << int(Full) << 33.0 + 18 * 4 << 4;
    QTest::newRow("below") << int(Full) << 500.0 << 4;
    QTest::newRow("keys only, first") << int(NamePrimary) << 10.0 << 0;
    QTest::newRow("keys only, second") << int(NamePrimary) << 33.0 + 18 + 1 << 2;
    QTest::newRow("keys only, after") << int(NamePrimary) << 33.0 + 18 * 2 - 1 << 4;
    QTest::newRow("no visible row") << int(NameOnly) << 40.0 << 4;
}

void tst_EntityItemEditing::dropGapAt()
{
    QFETCH(int, perspective);
    QFETCH(qreal, y);
    QFETCH(int, gap);
    EntityItem *box = addBox(m_scene, QStringLiteral("t"),
                             {{"k", "INT", true}, {"a", "TEXT"}, {"k2", "INT", true}, {"b", "TEXT"}});
    box->setPerspective(perspective);
    QCOMPARE(box->dropGapAt(QPointF(20, y)), gap);

    EntityItem *empty = addBox(m_scene, QStringLiteral("e"), {});
    QCOMPARE(empty->dropGapAt(QPointF(20, y)), 0);
}

void tst_EntityItemEditing::dropMovesRow_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("gap");
    QTest::addColumn<QStringList>("order");
    const QStringList original{"a", "b", "c", "d"};
    QTest::newRow("own gap") << 1 << 1 << original;
    QTest::newRow("next gap") << 1 << 2 << original;
    QTest::newRow("row 0 before row 3") << 0 << 3 << QStringList({"b", "c", "a", "d"});
    QTest::newRow("row 3 to the top") << 3 << 0 << QStringList({"d", "a", "b", "c"});
    QTest::newRow("row 0 after the last") << 0 << 4 << QStringList({"b", "c", "d", "a"});
}

void tst_EntityItemEditing::dropMovesRow()
{
    QFETCH(int, from);
    QFETCH(int, gap);
    QFETCH(QStringList, order);
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}});
    QSignalSpy structure(box, &EntityItem::structureChanged);
    box->onAttributeDragStarted(box->typeItems.at(from), box->mapToScene(QPointF(20, 40)));
    QVERIFY(box->dragActive);
    QCOMPARE(box->dragRow, from);
    QCOMPARE(box->nameItems.at(from)->opacity(), 0.35);
    const qreal y = gap == 4 ? 200.0 : 33.0 + 18 * gap;
    box->onAttributeDragMoved(QPointF(20, y));
    QCOMPARE(box->dropGap, gap);
    box->finishAttributeDrag();
    QCOMPARE(names(box), order);
    QCOMPARE(structure.count(), order == QStringList({"a", "b", "c", "d"}) ? 0 : 1);
    QVERIFY(!box->dragActive);
    QCOMPARE(box->dropGap, -1);
    QCOMPARE(box->dragRow, -1);
    for (SingleLineTextItem *cell : box->nameItems + box->typeItems)
        QCOMPARE(cell->opacity(), 1.0);

    // Cells of another box start nothing; finishing without a drag does nothing.
    EntityItem *other = addBox(m_scene, QStringLiteral("o"), {{"x", "1"}});
    box->onAttributeDragStarted(other->nameItems.first(), QPointF());
    QVERIFY(!box->dragActive);
    box->finishAttributeDrag();
    QCOMPARE(names(box), order);
}

void tst_EntityItemEditing::menuOfViewAndMixedSelection()
{
    EntityItem *view = addBox(m_scene, QStringLiteral("v"), {{"a", "INT"}}, QPointF(0, 0), true);
    EntityItem *table = addBox(m_scene, QStringLiteral("t"), {{"a", "INT"}}, QPointF(300, 0));
    QSignalSpy viewRefresh(view, &EntityItem::refreshFromModelRequested);
    QSignalSpy tableRefresh(table, &EntityItem::refreshFromModelRequested);
    {
        MenuScript script{QString()};
        view->showContextMenu(QPoint(10, 10), Qt::NoModifier);
        QCOMPARE(script.offered,
                 QStringList({"Edit", "-", "Full", "Entity name, primary columns and foreign columns",
                              "Entity name and primary columns", "Entity name"}));
        QCOMPARE(script.checked, QStringList({"Full"}));
        QVERIFY(view->isSelected());
    }
    {
        // Ctrl keeps the view selected while the table joins.
        MenuScript script(QStringLiteral("Refresh from model"));
        table->showContextMenu(QPoint(10, 10), Qt::ControlModifier);
        QVERIFY(view->isSelected() && table->isSelected());
        QCOMPARE(script.offered.mid(0, 4), QStringList({"Edit", "-", "Refresh from model", "-"}));
    }
    QCOMPARE(viewRefresh.count(), 0);
    QCOMPARE(tableRefresh.count(), 1);
    {
        // Without Ctrl a click on an unselected box selects it alone.
        m_scene->clearSelection();
        view->setSelected(true);
        MenuScript script{QString()};
        table->showContextMenu(QPoint(10, 10), Qt::NoModifier);
        QVERIFY(!view->isSelected() && table->isSelected());
    }
}

void tst_EntityItemEditing::menuSetsPerspective()
{
    EntityItem *a = addBox(m_scene, QStringLiteral("a"), {{"k", "INT", true}, {"x", "INT"}});
    EntityItem *b = addBox(m_scene, QStringLiteral("b"), {{"k", "INT", true}}, QPointF(300, 0));
    a->setSelected(true);
    b->setSelected(true);
    {
        MenuScript script(QStringLiteral("Entity name and primary columns"));
        a->showContextMenu(QPoint(), Qt::NoModifier);
        QCOMPARE(script.checked, QStringList({"Full"}));
    }
    QCOMPARE(a->perspective, int(NamePrimary));
    QCOMPARE(b->perspective, int(NamePrimary));
    QCOMPARE(a->rect.height(), 63.0);
    {
        MenuScript script{QString()};
        b->showContextMenu(QPoint(), Qt::NoModifier);
        QCOMPARE(script.checked, QStringList({"Entity name and primary columns"}));
    }
    b->setPerspective(NameOnly);
    {
        // Different perspectives: nothing ticked.
        MenuScript script{QString()};
        b->showContextMenu(QPoint(), Qt::NoModifier);
        QVERIFY(script.checked.isEmpty());
    }
}

void tst_EntityItemEditing::editDialogRunsWithViewParent()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("orders"), {});
    QWidget *parentSeen = nullptr;
    const auto previous = uiseam::setDialogRunner([&](QDialog *dialog) {
        parentSeen = dialog->parentWidget();
        return int(QDialog::Accepted);
    });
    {
        MenuScript script(QStringLiteral("Edit"));
        box->showContextMenu(QPoint(), Qt::NoModifier);
    }
    QCOMPARE(parentSeen, static_cast<QWidget *>(m_view));

    EntityItem loose(QStringLiteral("loose"), QSizeF(150, 70));
    parentSeen = m_view;
    loose.openEditDialog();
    QCOMPARE(parentSeen, nullptr);
    uiseam::setDialogRunner(previous);
}

void tst_EntityItemEditing::boxDeletedWhileItsMenuRuns()
{
    QPointer<EntityItem> box = addBox(m_scene, QStringLiteral("t"), {{"a", "INT"}});
    QPointer<EntityItem> other = addBox(m_scene, QStringLiteral("o"), {{"a", "INT"}}, QPointF(300, 0));
    box->setSelected(true);
    other->setSelected(true);
    const auto previous = uiseam::setMenuRunner([&](QMenu *menu, const QPoint &) -> QAction * {
        delete box.data();
        for (QAction *action : menu->actions()) {
            if (action->text() == QLatin1String("Entity name"))
                return action;
        }
        return nullptr;
    });
    box->showContextMenu(QPoint(), Qt::NoModifier);
    uiseam::setMenuRunner(previous);
    QVERIFY(box.isNull());
    QCOMPARE(other->perspective, int(NameOnly));

    // The same for the dialog.
    const auto previousDialog = uiseam::setDialogRunner([&](QDialog *) {
        delete other.data();
        return int(QDialog::Rejected);
    });
    other->openEditDialog();
    uiseam::setDialogRunner(previousDialog);
    QVERIFY(other.isNull());
}

void tst_EntityItemEditing::pressFlagsLargeSelection_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("large");
    QTest::newRow("five") << 5 << false;
    QTest::newRow("six") << 6 << true;
}

void tst_EntityItemEditing::pressFlagsLargeSelection()
{
    QFETCH(int, selected);
    QFETCH(bool, large);
    QList<EntityItem *> boxes;
    for (int i = 0; i < selected; ++i) {
        boxes.append(addBox(m_scene, QStringLiteral("b%1").arg(i), {{"a", "INT"}},
                            QPointF(20 + 170 * (i % 4), 20 + 120 * (i / 4))));
        boxes.last()->setSelected(true);
    }
    EntityItem *target = boxes.first();
    // Beside the cells, on the box itself.
    const QPoint press = m_view->mapFromScene(target->mapToScene(QPointF(4, 34)));
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, press);
    QVERIFY(EdgeItem::isBatchMode());
    QCOMPARE(EdgeItem::isLargeSelectionMove(), large);
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, press);
    QVERIFY(!EdgeItem::isBatchMode());
    QVERIFY(!EdgeItem::isLargeSelectionMove());
}

void tst_EntityItemEditing::lostGrabEndsBatchMode()
{
    EntityItem *box = addBox(m_scene, QStringLiteral("t"), {{"a", "INT"}}, QPointF(50, 50));
    const QPoint press = m_view->mapFromScene(box->mapToScene(QPointF(4, 34)));
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, press);
    QVERIFY(EdgeItem::isBatchMode());
    QCOMPARE(m_scene->mouseGrabberItem(), box);
    box->ungrabMouse();
    QVERIFY(!EdgeItem::isBatchMode());

    // And when the box goes in the middle of a press.
    QPointer<EntityItem> doomed = addBox(m_scene, QStringLiteral("d"), {{"a", "INT"}}, QPointF(400, 50));
    const QPoint pressDoomed = m_view->mapFromScene(doomed->mapToScene(QPointF(4, 34)));
    QTest::mousePress(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, pressDoomed);
    QVERIFY(EdgeItem::isBatchMode());
    delete doomed.data();
    QVERIFY(!EdgeItem::isBatchMode());
    QTest::mouseRelease(m_view->viewport(), Qt::LeftButton, Qt::NoModifier, pressDoomed);
}

void tst_EntityItemEditing::editLastVisibleAttribute()
{
    EntityItem *empty = addBox(m_scene, QStringLiteral("e"), {});
    empty->editLastVisibleAttribute();
    QCOMPARE(names(empty), QStringList({"column_1"}));
    QVERIFY(isEditing(empty->nameItems.first()));

    EntityItem *hidden = addBox(m_scene, QStringLiteral("h"), {{"k", "INT", true}, {"x", "INT"}},
                                QPointF(300, 0));
    hidden->setPerspective(NameOnly);
    hidden->editLastVisibleAttribute();
    QCOMPARE(hidden->perspective, int(Full));
    QVERIFY(isEditing(hidden->nameItems.at(1)));
    QCOMPARE(hidden->attributeCount(), 2);

    EntityItem *keys = addBox(m_scene, QStringLiteral("k"),
                              {{"k1", "INT", true}, {"k2", "INT", true}, {"x", "INT"}}, QPointF(0, 300));
    keys->setPerspective(NamePrimary);
    keys->editLastVisibleAttribute();
    QVERIFY(isEditing(keys->nameItems.at(1)));
    QVERIFY(!isEditing(keys->nameItems.at(2)));
    QCOMPARE(keys->perspective, int(NamePrimary));

    EntityItem *keyless = addBox(m_scene, QStringLiteral("n"), {{"x", "INT"}}, QPointF(300, 300));
    keyless->setPerspective(NamePrimary);
    keyless->editLastVisibleAttribute();
    QCOMPARE(keyless->perspective, int(Full));
    QVERIFY(isEditing(keyless->nameItems.at(0)));
}

void tst_EntityItemEditing::fkCellClickTogglesEdge()
{
    EntityItem *parent = addBox(m_scene, QStringLiteral("p"), {{"id", "INT", true}});
    EntityItem *child = addBox(m_scene, QStringLiteral("c"), {{"c_id", "INT", true}}, QPointF(400, 0));
    auto *edge = new EdgeItem(parent, child, true);
    m_scene->addItem(edge);
    QVERIFY(!edge->isSelected());
    emit child->nameItems.at(1)->fkAttributeClicked(child->nameItems.at(1));
    QVERIFY(edge->isSelected());
    emit child->typeItems.at(1)->fkAttributeClicked(child->typeItems.at(1));
    QVERIFY(!edge->isSelected());
    // Not a foreign key: nothing.
    child->onFkAttributeClicked(child->nameItems.at(0));
    QVERIFY(!edge->isSelected());
}

QTEST_MAIN(tst_EntityItemEditing)
#include "tst_entityitem_editing.moc"
