// The diagram tools of the window: placement modes, click-to-connect with its dashed
// line, the entity shortcuts, automatic layout, and deletion of selections and columns.
#include "busyspinnerwidget.h"
#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "erview.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "singlelinetextitem.h"
#include "tabledetailscontroller.h"
#include "tableitem.h"

#include "projecttestsupport.h"
#include "windowtestcase.h"

#include <QGraphicsPathItem>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

using namespace projecttest;
using namespace Qt::StringLiterals;

namespace {

const QStringList ModeActions{"actionAdd_Table", "actionAdd_View", "actionAdd_Text", "actionAdd_Group",
                              "actionAdd_Relationship"};

QAction *action(MainWindow &w, const QString &name)
{
    return w.findChild<QAction *>(name);
}

ERView *viewOf(MainWindow &w)
{
    return w.findChild<ERView *>(u"view"_s);
}

// Which view modes are on, in the order of ModeActions.
QList<bool> viewModes(ERView *view)
{
    return {view->addTableMode, view->addViewMode, view->addTextMode, view->addGroupMode,
            view->addRelationshipMode};
}

QList<bool> checkedModes(MainWindow &w)
{
    QList<bool> checked;
    for (const QString &name : ModeActions)
        checked.append(action(w, name)->isChecked());
    return checked;
}

QList<QGraphicsPathItem *> bands(ERScene *scene)
{
    QList<QGraphicsPathItem *> found;
    for (QGraphicsItem *item : scene->items()) {
        if (item->type() == QGraphicsPathItem::Type)
            found.append(static_cast<QGraphicsPathItem *>(item));
    }
    return found;
}

QList<EntityItem *> boxes(ERScene *scene)
{
    QList<EntityItem *> found;
    for (QGraphicsItem *item : scene->items(Qt::AscendingOrder)) {
        if (item->type() == DiagramItemType::EntityItem)
            found.append(static_cast<EntityItem *>(item));
    }
    return found;
}

QList<EdgeItem *> edges(ERScene *scene)
{
    QList<EdgeItem *> found;
    for (QGraphicsItem *item : scene->items()) {
        if (item->type() == DiagramItemType::EdgeItem)
            found.append(static_cast<EdgeItem *>(item));
    }
    return found;
}

int countOfType(ERScene *scene, int type)
{
    int n = 0;
    for (QGraphicsItem *item : scene->items())
        n += item->type() == type;
    return n;
}

QPointF centreOf(EntityItem *box)
{
    return box->sceneBoundingRect().center();
}

// The centre of the name cell of a box's row.
QPointF rowPoint(EntityItem *box, int row)
{
    for (QGraphicsItem *child : box->childItems()) {
        if (child->type() != DiagramItemType::SingleLineTextItem)
            continue;
        if (box->rowIndexOfTextItem(static_cast<SingleLineTextItem *>(child)) == row)
            return child->sceneBoundingRect().center();
    }
    return {};
}

void click(MainWindow &w, QPointF pos, Qt::MouseButton button = Qt::LeftButton)
{
    emit viewOf(w)->sceneClicked(pos, button);
}

void invoke(MainWindow &w, const char *slot)
{
    QVERIFY(QMetaObject::invokeMethod(&w, slot));
}

} // namespace

class TestDiagramTools : public WindowTestCase
{
    Q_OBJECT

private:
    // Two tables placed by clicks, A at (0, 0) and B at (400, 0), the table mode off.
    QPair<EntityItem *, EntityItem *> placeTwo(MainWindow &w)
    {
        ERScene *scene = MainWindowProbe(w).scene();
        action(w, u"actionAdd_Table"_s)->trigger();
        click(w, QPointF(0, 0));
        click(w, QPointF(400, 0));
        action(w, u"actionAdd_Table"_s)->trigger();
        const QList<EntityItem *> all = boxes(scene);
        if (all.size() != 2)
            return {};
        return {all.at(0), all.at(1)};
    }

    // A and B joined A -> B by two clicks, the relationship mode left on.
    EdgeItem *connect(MainWindow &w, EntityItem *a, EntityItem *b)
    {
        QAction *relationship = action(w, u"actionAdd_Relationship"_s);
        if (!relationship->isChecked())
            relationship->trigger();
        click(w, centreOf(a));
        click(w, centreOf(b));
        const QList<EdgeItem *> all = edges(MainWindowProbe(w).scene());
        return all.isEmpty() ? nullptr : all.first();
    }

private Q_SLOTS:
    void modeSwitch_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        for (int from = 0; from < ModeActions.size(); ++from) {
            for (int to = 0; to < ModeActions.size(); ++to) {
                if (from != to)
                    QTest::addRow("%s to %s", qPrintable(ModeActions.at(from)), qPrintable(ModeActions.at(to)))
                        << from << to;
            }
        }
    }

    // One mode on at a time; leaving the relationship mode mid-way drops the line and
    // the chosen box.
    void modeSwitch()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        MainWindow w;
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        ERScene *scene = MainWindowProbe(w).scene();

        action(w, ModeActions.at(from))->trigger();
        if (ModeActions.at(from) == "actionAdd_Relationship"_L1) {
            click(w, centreOf(a));
            QVERIFY(a->isSelected());
            QCOMPARE(bands(scene).size(), 1);
        }
        action(w, ModeActions.at(to))->trigger();

        QList<bool> expected(ModeActions.size(), false);
        expected[to] = true;
        QCOMPARE(checkedModes(w), expected);
        QCOMPARE(viewModes(viewOf(w)), expected);
        QVERIFY(bands(scene).isEmpty());
        QVERIFY(!a->isSelected());
    }

    void uncheckingResetsTheCursor()
    {
        MainWindow w;
        ERView *view = viewOf(w);
        action(w, u"actionAdd_Table"_s)->trigger();
        QCOMPARE(view->viewport()->cursor().shape(), Qt::CrossCursor);
        action(w, u"actionAdd_Table"_s)->trigger();
        QCOMPARE(checkedModes(w), QList<bool>(ModeActions.size(), false));
        QCOMPARE(view->viewport()->cursor().shape(), Qt::ArrowCursor);
    }

    void placement_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("placed");
        QTest::newRow("table, left") << "actionAdd_Table" << int(DiagramItemType::EntityItem) << int(Qt::LeftButton) << 2;
        QTest::newRow("table, right") << "actionAdd_Table" << int(DiagramItemType::EntityItem) << int(Qt::RightButton) << 0;
        QTest::newRow("view, left") << "actionAdd_View" << int(DiagramItemType::EntityItem) << int(Qt::LeftButton) << 2;
        QTest::newRow("text, left") << "actionAdd_Text" << int(DiagramItemType::TextItem) << int(Qt::LeftButton) << 2;
        QTest::newRow("group, middle") << "actionAdd_Group" << int(DiagramItemType::GroupItem) << int(Qt::MiddleButton) << 0;
        QTest::newRow("group, left") << "actionAdd_Group" << int(DiagramItemType::GroupItem) << int(Qt::LeftButton) << 2;
    }

    // Every click of the button places one item and the mode stays on.
    void placement()
    {
        QFETCH(QString, mode);
        QFETCH(int, type);
        QFETCH(int, button);
        QFETCH(int, placed);
        MainWindow w;
        ERScene *scene = MainWindowProbe(w).scene();
        action(w, mode)->trigger();
        click(w, QPointF(0, 0), Qt::MouseButton(button));
        click(w, QPointF(500, 300), Qt::MouseButton(button));
        QCOMPARE(countOfType(scene, type), placed);
        QVERIFY(action(w, mode)->isChecked());
    }

    // Notes placed while no diagram exists get one, so they are not lost on a switch.
    void noteWithoutDiagramMakesOne()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        probe.setCurrentDiagram(nullptr);
        action(w, u"actionAdd_Text"_s)->trigger();
        click(w, QPointF(10, 10));
        QVERIFY(probe.currentDiagram());
    }

    void connectTwoBoxes_data()
    {
        QTest::addColumn<bool>("onRow");
        QTest::newRow("box centres") << false;
        QTest::newRow("second click on a row") << true;
    }

    // A then B: one line A -> B, one-to-many, B's key rows, the relationship and its
    // constraint in the model; A released and the mode still on.
    void connectTwoBoxes()
    {
        QFETCH(bool, onRow);
        MainWindow w;
        MainWindowProbe probe(w);
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        action(w, u"actionAdd_Relationship"_s)->trigger();
        click(w, centreOf(a));
        click(w, onRow ? rowPoint(b, 0) : centreOf(b));

        const QList<EdgeItem *> all = edges(probe.scene());
        QCOMPARE(all.size(), 1);
        EdgeItem *edge = all.first();
        QCOMPARE(edge->from, a);
        QCOMPARE(edge->to, b);
        QCOMPARE(edge->startCard, 0);
        QCOMPARE(edge->endCard, 1);
        QCOMPARE(b->attributeCount(), 2);
        QVERIFY(!a->isSelected());
        QVERIFY(action(w, u"actionAdd_Relationship"_s)->isChecked());
        QVERIFY(bands(probe.scene()).isEmpty());

        const QList<RelationshipItem *> relationships = probe.currentModel()->relationships();
        QCOMPARE(relationships.size(), 1);
        TableItem *child = probe.currentModel()->table(b->id());
        QVERIFY(child);
        bool foreignKey = false;
        for (const ConstraintItem *constraint : child->constraints())
            foreignKey |= constraint->type() == 1 && constraint->name().startsWith("fk_"_L1);
        QVERIFY(foreignKey);
    }

    void selfRelationship()
    {
        MainWindow w;
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        action(w, u"actionAdd_Relationship"_s)->trigger();
        click(w, centreOf(a));
        click(w, centreOf(a));
        const QList<EdgeItem *> all = edges(MainWindowProbe(w).scene());
        QCOMPARE(all.size(), 1);
        QCOMPARE(all.first()->from, a);
        QCOMPARE(all.first()->to, a);
    }

    void emptyCanvasCancels()
    {
        MainWindow w;
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        action(w, u"actionAdd_Relationship"_s)->trigger();
        click(w, centreOf(a));
        click(w, QPointF(-3000, -3000));
        QVERIFY(edges(MainWindowProbe(w).scene()).isEmpty());
        QVERIFY(!a->isSelected());
        QVERIFY(!action(w, u"actionAdd_Relationship"_s)->isChecked());
        QVERIFY(!viewOf(w)->addRelationshipMode);
        QVERIFY(bands(MainWindowProbe(w).scene()).isEmpty());
    }

    // The dashed line runs from the centre of the first box to the mouse, beneath the
    // boxes; before the first click the mouse draws nothing.
    void rubberBand()
    {
        MainWindow w;
        ERScene *scene = MainWindowProbe(w).scene();
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        action(w, u"actionAdd_Relationship"_s)->trigger();
        emit viewOf(w)->sceneMouseMoved(QPointF(300, 300));
        QVERIFY(bands(scene).isEmpty());

        click(w, centreOf(a));
        emit viewOf(w)->sceneMouseMoved(QPointF(250, 300));
        const QList<QGraphicsPathItem *> found = bands(scene);
        QCOMPARE(found.size(), 1);
        const QPainterPath path = found.first()->path();
        QCOMPARE(path.elementCount(), 2);
        QCOMPARE(QPointF(path.elementAt(0)), centreOf(a));
        QCOMPARE(QPointF(path.elementAt(1)), QPointF(250, 300));
        const QPen pen = found.first()->pen();
        QCOMPARE(pen.color(), QColor(0, 0, 255));
        QCOMPARE(pen.widthF(), 2.0);
        QCOMPARE(pen.style(), Qt::DashLine);
        QCOMPARE(pen.capStyle(), Qt::SquareCap);
        QCOMPARE(pen.joinStyle(), Qt::BevelJoin);
        QCOMPARE(found.first()->brush().style(), Qt::NoBrush);
        QCOMPARE(found.first()->zValue(), -2.0);
        QVERIFY(!scene->toJson().value("annotations"_L1).toArray().size());
    }

    void escape_data()
    {
        QTest::addColumn<int>("mode");
        for (int mode = 0; mode < ModeActions.size(); ++mode)
            QTest::newRow(qPrintable(ModeActions.at(mode))) << mode;
        QTest::newRow("no mode") << -1;
    }

    void escape()
    {
        QFETCH(int, mode);
        MainWindow w;
        if (mode >= 0)
            action(w, ModeActions.at(mode))->trigger();
        emit viewOf(w)->escapePressed();
        QCOMPARE(checkedModes(w), QList<bool>(ModeActions.size(), false));
        QCOMPARE(viewModes(viewOf(w)), QList<bool>(ModeActions.size(), false));
    }

    // The box a relationship starts from is deleted: the line goes, and the next click
    // on a box is a first click.
    void sourceDeletedMidway()
    {
        MainWindow w;
        ERScene *scene = MainWindowProbe(w).scene();
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        action(w, u"actionAdd_Relationship"_s)->trigger();
        click(w, centreOf(a));
        QVERIFY(a->isSelected());
        m_prompts.answerAsk(u"Delete from diagram"_s);
        invoke(w, "deleteSelection");
        QCOMPARE(boxes(scene).size(), 1);

        emit viewOf(w)->sceneMouseMoved(QPointF(100, 100));
        QVERIFY(bands(scene).isEmpty());
        click(w, centreOf(b));
        QVERIFY(edges(scene).isEmpty());
        QVERIFY(b->isSelected());
        QCOMPARE(bands(scene).size(), 1);
    }

    // A switch clears the scene: the half-drawn relationship ends first.
    void sceneClearedMidway()
    {
        QTest::failOnWarning(QRegularExpression(u"remaining items"_s));
        MainWindow w;
        ERScene *scene = MainWindowProbe(w).scene();
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        action(w, u"actionAdd_Relationship"_s)->trigger();
        click(w, centreOf(a));
        trigger(w, "action_New_Diagram");
        QVERIFY(!action(w, u"actionAdd_Relationship"_s)->isChecked());
        QVERIFY(!viewOf(w)->addRelationshipMode);
        QVERIFY(bands(scene).isEmpty());
        emit viewOf(w)->sceneMouseMoved(QPointF(10, 10));
        QVERIFY(bands(scene).isEmpty());
    }

    void attributeShortcuts()
    {
        MainWindow w;
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        // No box selected: nothing.
        invoke(w, "onNewAttributeShortcut");
        QCOMPARE(a->attributeCount(), 1);

        a->setSelected(true);
        invoke(w, "onNewAttributeShortcut");
        QCOMPARE(a->attributeCount(), 2);

        a->removeAttribute(1);
        a->removeAttribute(0);
        QCOMPARE(a->attributeCount(), 0);
        invoke(w, "onEditAttributeShortcut");
        QCOMPARE(a->attributeCount(), 1);
    }

    // F2 on a box whose perspective shows no rows brings them back and edits the last.
    void editLastRowOfHiddenRows()
    {
        MainWindow w;
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        a->addAttributeRow(u"note"_s, u"TEXT"_s, false, false, false, false);
        a->setPerspective(NameOnly);
        a->setSelected(true);
        invoke(w, "onEditAttributeShortcut");
        QCOMPARE(a->perspective, int(Full));
        QCOMPARE(a->attributeCount(), 2);
    }

    void toolButtonsWithoutToolBarIconSize()
    {
        MainWindow w;
        auto *toolBar = w.findChild<QToolBar *>(u"toolBar"_s);
        QVERIFY(toolBar);
        toolBar->setIconSize(QSize(0, 0));
        invoke(w, "setupDiagramToolButtons");
        for (const char *name : {"toolButtonAddTable", "toolButtonAddRelationship", "toolButtonEntityColors"}) {
            auto *button = w.findChild<QToolButton *>(QLatin1String(name));
            QVERIFY(button);
            QCOMPARE(button->iconSize(), QSize(16, 16));
            QVERIFY(button->defaultAction());
            QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        }
    }

    void autoLayout()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        ERScene *scene = probe.scene();
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        b->setPos(a->pos() + QPointF(10, 10));

        // Busy with another task: nothing happens.
        bool ran = false;
        probe.busySpinner()->run([&ran] { ran = true; }, {});
        trigger(w, "actionAuto_layout");
        QVERIFY(waitIdle(w));
        QVERIFY(ran);
        QCOMPARE(b->pos(), a->pos() + QPointF(10, 10));

        trigger(w, "actionAuto_layout");
        QVERIFY(waitIdle(w));
        QVERIFY(!a->sceneBoundingRect().intersects(b->sceneBoundingRect()));
        QCOMPARE(scene->sceneRect(), scene->itemsBoundingRect().adjusted(-100, -100, 100, 100));
        QCOMPARE(viewOf(w)->zoomFactor, 1.0);
        QVERIFY(viewOf(w)->isInteractive());
    }

    void deletion_data()
    {
        QTest::addColumn<QString>("selection");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("boxesLeft");
        QTest::addColumn<int>("tablesLeft");
        QTest::addColumn<int>("relationshipsLeft");
        QTest::addColumn<int>("childRows");
        QTest::addColumn<int>("storedBoxes");

        QTest::newRow("parent box from diagram keeps model and key rows")
            << "A" << "Delete from diagram" << 1 << 2 << 1 << 2 << 2;
        QTest::newRow("parent box from model strips everywhere")
            << "A" << "Delete from model" << 1 << 1 << 0 << 1 << 1;
        QTest::newRow("line only from model takes its key rows")
            << "edge" << "Delete from model" << 2 << 2 << 0 << 1 << 2;
        QTest::newRow("line only from diagram keeps its key rows")
            << "edge" << "Delete from diagram" << 2 << 2 << 1 << 2 << 2;
        QTest::newRow("box and its own line together") << "A+edge" << "Delete from model" << 1 << 1 << 0 << 1 << 1;
        QTest::newRow("a row selected counts as its box") << "A-row" << "Delete from diagram" << 1 << 2 << 1 << 2 << 2;
        QTest::newRow("cancel") << "A" << "Cancel" << 2 << 2 << 1 << 2 << 2;
        QTest::newRow("closed") << "A" << "" << 2 << 2 << 1 << 2 << 2;
        QTest::newRow("nothing selected") << "" << "-" << 2 << 2 << 1 << 2 << 2;
    }

    // What each answer leaves on the scene, in the model and in another diagram's
    // stored document.
    void deletion()
    {
        QFETCH(QString, selection);
        QFETCH(QString, answer);
        QFETCH(int, boxesLeft);
        QFETCH(int, tablesLeft);
        QFETCH(int, relationshipsLeft);
        QFETCH(int, childRows);
        QFETCH(int, storedBoxes);

        MainWindow w;
        MainWindowProbe probe(w);
        ERScene *scene = probe.scene();
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        EdgeItem *edge = connect(w, a, b);
        QVERIFY(edge);
        action(w, u"actionAdd_Relationship"_s)->trigger();
        probe.captureCurrentDiagram();
        DiagramItem *other = probe.currentModel()->addDiagram();
        other->setName(u"Other"_s);
        other->setSceneJson(probe.currentDiagram()->sceneJson());
        QPointer<EntityItem> child = b;

        if (selection.contains("A"_L1))
            a->setSelected(true);
        if (selection.contains("edge"_L1))
            edge->setSelected(true);
        if (selection == "A-row"_L1) {
            a->setSelected(false);
            for (QGraphicsItem *item : a->childItems()) {
                if (item->type() == DiagramItemType::SingleLineTextItem) {
                    item->setFlag(QGraphicsItem::ItemIsSelectable);
                    item->setSelected(true);
                    break;
                }
            }
        }
        if (answer == "-"_L1) {
            // No box is asked.
        } else if (answer.isEmpty()) {
            m_prompts.answerAsk(-1);
        } else {
            m_prompts.answerAsk(answer);
        }
        invoke(w, "deleteSelection");

        QCOMPARE(boxes(scene).size(), boxesLeft);
        QCOMPARE(probe.currentModel()->tables().size(), tablesLeft);
        QCOMPARE(probe.currentModel()->relationships().size(), relationshipsLeft);
        QVERIFY(child);
        QCOMPARE(child->attributeCount(), childRows);
        QCOMPARE(other->sceneJson().value("entities"_L1).toArray().size(), storedBoxes);
        if (!answer.isEmpty() && answer != "-"_L1) {
            const auto asked = m_prompts.promptsOf(u"ask"_s);
            QCOMPARE(asked.size(), 1);
            QCOMPARE(asked.first().title, u"Delete"_s);
            QCOMPARE(asked.first().buttons,
                     (QStringList{u"Delete from diagram"_s, u"Delete from model"_s, u"Cancel"_s}));
        }
    }

    void notesOnlyAskYesNo()
    {
        MainWindow w;
        ERScene *scene = MainWindowProbe(w).scene();
        action(w, u"actionAdd_Text"_s)->trigger();
        click(w, QPointF(0, 0));
        action(w, u"actionAdd_Group"_s)->trigger();
        click(w, QPointF(300, 300));
        for (QGraphicsItem *item : scene->items()) {
            if (item->type() == DiagramItemType::TextItem || item->type() == DiagramItemType::GroupItem)
                item->setSelected(true);
        }
        m_prompts.answerQuestion(QMessageBox::No);
        invoke(w, "deleteSelection");
        QCOMPARE(countOfType(scene, DiagramItemType::TextItem), 1);
        m_prompts.answerQuestion(QMessageBox::Yes);
        invoke(w, "deleteSelection");
        QCOMPARE(countOfType(scene, DiagramItemType::TextItem), 0);
        QCOMPARE(countOfType(scene, DiagramItemType::GroupItem), 0);
        QCOMPARE(m_prompts.promptsOf(u"question"_s).first().text,
                 u"Do you really want to delete the selected objects?"_s);
    }

    // Many boxes deleted at once: the window reacts to the selection once, at the end.
    void oneReactionForManyBoxes()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        ERScene *scene = probe.scene();
        action(w, u"actionAdd_Table"_s)->trigger();
        for (int i = 0; i < 51; ++i)
            click(w, QPointF((i % 10) * 300, (i / 10) * 300));
        action(w, u"actionAdd_Table"_s)->trigger();
        const QList<EntityItem *> all = boxes(scene);
        QCOMPARE(all.size(), 51);
        for (int i = 0; i < 50; ++i)
            all.at(i)->setSelected(true);
        auto *tree = w.findChild<QTreeView *>(u"treeViewProject"_s);
        QSignalSpy changes(tree->selectionModel(), &QItemSelectionModel::selectionChanged);
        m_prompts.answerAsk(u"Delete from diagram"_s);
        invoke(w, "deleteSelection");
        QCOMPARE(boxes(scene).size(), 1);
        QCOMPARE(changes.size(), 1);
        QVERIFY(!probe.detailsEntity());
        QVERIFY(tree->selectionModel()->selectedIndexes().isEmpty());
    }

    // Keys typed into line edits edit the text; the explorer's focus still deletes the
    // scene selection after asking.
    void deleteKeysAndFocus()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        a->setSelected(true);

        auto *search = w.findChild<QLineEdit *>(u"lineEditSearch"_s);
        search->setFocus();
        search->setText(u"ab"_s);
        QTest::keyClick(search, Qt::Key_Backspace);
        QCOMPARE(search->text(), u"a"_s);
        search->clear();
        QCOMPARE(boxes(MainWindowProbe(w).scene()).size(), 2);

        auto *tree = w.findChild<QTreeView *>(u"treeViewProject"_s);
        tree->setFocus();
        QVERIFY(QTest::qWaitFor([tree] { return tree->hasFocus(); }));
        a->setSelected(true);
        m_prompts.answerAsk(u"Cancel"_s);
        QTest::keyClick(tree, Qt::Key_Delete);
        QCOMPARE(m_prompts.promptsOf(u"ask"_s).size(), 1);
        QCOMPARE(boxes(MainWindowProbe(w).scene()).size(), 2);
    }

    // A row hidden on this diagram stays hidden; removing it from the model then takes
    // it from the table and every stored diagram.
    void columnRemoval()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        a->addAttributeRow(u"note"_s, u"TEXT"_s, false, false, false, false);
        probe.registerEntityInModel(a);
        TableItem *table = probe.currentModel()->table(a->id());
        QVERIFY(table);
        ColumnItem *note = table->columnByName(u"note"_s);
        QVERIFY(note);
        const QString noteId = note->id();
        probe.captureCurrentDiagram();
        DiagramItem *other = probe.currentModel()->addDiagram();
        other->setName(u"Other"_s);
        other->setSceneJson(probe.currentDiagram()->sceneJson());

        m_prompts.answerAsk(u"Remove from diagram"_s);
        emit probe.tableDetails()->columnRemovalRequested(noteId);
        QCOMPARE(m_prompts.promptsOf(u"ask"_s).first().text, u"Remove column \"note\"?"_s);
        QCOMPARE(a->attributeCount(), 1);
        QVERIFY(a->hiddenColumns.contains(noteId));
        QVERIFY(table->column(noteId));
        probe.syncTableColumnsFromEntity(a);
        QCOMPARE(a->attributeCount(), 1);

        QVERIFY(QMetaObject::invokeMethod(&w, "refreshEntityFromModel", Q_ARG(EntityItem *, a)));
        QCOMPARE(a->attributeCount(), 2);
        QVERIFY(a->hiddenColumns.isEmpty());
        m_prompts.answerAsk(u"Remove from diagram"_s);
        emit probe.tableDetails()->columnRemovalRequested(noteId);
        QVERIFY(a->hiddenColumns.contains(noteId));

        m_prompts.answerAsk(u"Remove from model"_s);
        emit probe.tableDetails()->columnRemovalRequested(noteId);
        QVERIFY(!table->column(noteId));
        QVERIFY(!a->hiddenColumns.contains(noteId));
        for (const QJsonValue &box : other->sceneJson().value("entities"_L1).toArray()) {
            for (const QJsonValue &row : box.toObject().value("attributes"_L1).toArray())
                QVERIFY(row.toObject().value("name"_L1).toString() != "note"_L1);
        }
    }

    // A key row removed from the model takes the relationship line that made it.
    void keyRowRemovedFromModel()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        QVERIFY(connect(w, a, b));
        action(w, u"actionAdd_Relationship"_s)->trigger();
        TableItem *parent = probe.currentModel()->table(a->id());
        QVERIFY(parent);
        ColumnItem *key = parent->columns().first();
        m_prompts.answerAsk(u"Remove from model"_s);
        emit probe.tableDetails()->columnRemovalRequested(key->id());
        QVERIFY(edges(probe.scene()).isEmpty());
    }

    void focusedCell_data()
    {
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("view");
        QTest::addColumn<QString>("prompt");
        QTest::addColumn<int>("rowsLeft");
        QTest::newRow("title does nothing") << "title" << false << "" << 2;
        QTest::newRow("row of a view asks Yes/No") << "row" << true << "question" << 1;
        QTest::newRow("row of a table asks about the column") << "row" << false << "ask" << 1;
    }

    // Delete with an inline editor focused acts on that row, never on the selection.
    void focusedCell()
    {
        QFETCH(QString, cell);
        QFETCH(bool, view);
        QFETCH(QString, prompt);
        QFETCH(int, rowsLeft);
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        ERScene *scene = MainWindowProbe(w).scene();
        action(w, view ? u"actionAdd_View"_s : u"actionAdd_Table"_s)->trigger();
        click(w, QPointF(0, 0));
        emit viewOf(w)->escapePressed();
        EntityItem *box = boxes(scene).value(0);
        QVERIFY(box);
        box->addAttributeRow(u"a"_s, u"TEXT"_s, false, false, false, false);
        box->addAttributeRow(u"b"_s, u"TEXT"_s, false, false, false, false);
        while (box->attributeCount() > 2)
            box->removeAttribute(0);
        box->setSelected(true);
        viewOf(w)->setFocus();
        SingleLineTextItem *target = cell == "title"_L1 ? box->titleText_ : box->nameItems.value(1);
        QVERIFY(target);
        target->setFlag(QGraphicsItem::ItemIsFocusable);
        scene->setFocusItem(target);
        QCOMPARE(scene->focusItem(), target);

        if (prompt == "question"_L1)
            m_prompts.answerQuestion(QMessageBox::Yes);
        else if (prompt == "ask"_L1)
            m_prompts.answerAsk(u"Remove from diagram"_s);
        invoke(w, "deleteSelection");
        QCOMPARE(boxes(scene).size(), 1);
        QCOMPARE(box->attributeCount(), rowsLeft);
        if (rowsLeft == 1)
            QCOMPARE(box->attributeName(0), u"a"_s);
        if (prompt == "ask"_L1)
            QCOMPARE(m_prompts.promptsOf(u"ask"_s).first().text, u"Remove column \"b\"?"_s);
    }

    // Names chosen by the user are shown as typed, never as markup.
    void questionBoxIsPlainText()
    {
        UiPrompts::Question question;
        question.title = u"Remove column"_s;
        question.text = u"Remove column \"<b>x</b>\"?"_s;
        question.informativeText = u"<img src=x>"_s;
        question.buttons = {{u"Remove from diagram"_s, QMessageBox::AcceptRole}, {u"Cancel"_s, QMessageBox::RejectRole}};
        question.defaultButton = 1;
        QMessageBox box;
        const QList<QAbstractButton *> buttons = UiPrompts::buildQuestionBox(box, question);
        QCOMPARE(buttons.size(), 2);
        QCOMPARE(box.textFormat(), Qt::PlainText);
        auto *informative = box.findChild<QLabel *>(u"qt_msgbox_informativelabel"_s);
        QVERIFY(informative);
        QCOMPARE(informative->textFormat(), Qt::PlainText);
        QCOMPARE(box.defaultButton(), buttons.at(1));
    }

    // A column of a table with no box on the scene: only the model and stored documents.
    void columnOfTableOffScene()
    {
        MainWindow w;
        MainWindowProbe probe(w);
        const auto [a, b] = placeTwo(w);
        QVERIFY(a && b);
        TableItem *table = probe.currentModel()->table(b->id());
        QVERIFY(table);
        probe.captureCurrentDiagram();
        delete b;
        const QString keyId = table->columns().first()->id();
        m_prompts.answerAsk(u"Remove from model"_s);
        emit probe.tableDetails()->columnRemovalRequested(keyId);
        QVERIFY(!table->column(keyId));
        QCOMPARE(a->attributeCount(), 1);
        // A column no table holds changes nothing and asks nothing.
        emit probe.tableDetails()->columnRemovalRequested(u"nowhere"_s);
    }
};

QTEST_MAIN(TestDiagramTools)
#include "tst_diagramtools.moc"

