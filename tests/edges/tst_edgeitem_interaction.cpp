// The mouse on a relationship edge: dragging inner segments, the cursor over them, the
// cardinality menu and the edit dialog, answered through the menu and dialog seam.
#include "edgeitem.h"
#include "edgetestutil.h"
#include "entityitem.h"
#include "entityviewedgeitem.h"
#include "slotitem.h"
#include "testsupport.h"
#include "uiseam.h"

#include <QAction>
#include <QDialog>
#include <QGraphicsScene>
#include <QGraphicsSceneHoverEvent>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QtTest>

using edgetest::sendSceneMouse;

namespace {

// Reaches the protected hover handler.
class ProbeEdge : public EdgeItem
{
public:
    ProbeEdge() : EdgeItem(nullptr, nullptr, false) {}

    void hoverAt(const QPointF &scenePos)
    {
        QGraphicsSceneHoverEvent event(QEvent::GraphicsSceneHoverMove);
        event.setScenePos(scenePos);
        hoverMoveEvent(&event);
    }
};

QAction *actionNamed(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

const QList<QPointF> ZRoute{ QPointF(0, 0), QPointF(50, 0), QPointF(50, 100), QPointF(150, 100), QPointF(150, 200) };

} // namespace

class tst_EdgeItemInteraction : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void shortRoutesHaveNoHandle_data();
    void shortRoutesHaveNoHandle();
    void hitTestFindsNearestInnerSegment_data();
    void hitTestFindsNearestInnerSegment();
    void dragMovesInnerSegment();
    void moveSegmentGuards_data();
    void moveSegmentGuards();
    void hoverShowsResizeCursor();

    void menuEntries();
    void rightClickSetsNearerEnd_data();
    void rightClickSetsNearerEnd();
    void rightClickWithControlAddsToSelection_data();
    void rightClickWithControlAddsToSelection();
    void rightClickWithoutSlotsChangesNoCard();
    void viewEdgeShowsNoMenu();
    void editDialogTitle_data();
    void editDialogTitle();
    void edgeDeletedWhileMenuRuns();
    void edgeDeletedWhileDialogRuns();

private:
    EdgeItem *slottedEdge(const QPointF &from, const QPointF &to);

    QGraphicsScene *m_scene = nullptr;
    int m_menus = 0;
};

void tst_EdgeItemInteraction::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EdgeItemInteraction::init()
{
    edgetest::resetRouting();
    m_scene = new QGraphicsScene;
    m_menus = 0;
}

void tst_EdgeItemInteraction::cleanup()
{
    uiseam::setMenuRunner({});
    uiseam::setDialogRunner({});
    edgetest::clearScene(m_scene);
    delete m_scene;
    m_scene = nullptr;
}

// An edge between two bare slots, the way a slot drag sees it.
EdgeItem *tst_EdgeItemInteraction::slottedEdge(const QPointF &from, const QPointF &to)
{
    auto *a = new SlotItem;
    auto *b = new SlotItem;
    m_scene->addItem(a);
    m_scene->addItem(b);
    a->setPos(from);
    b->setPos(to);
    auto *edge = new EdgeItem(nullptr, nullptr, false);
    m_scene->addItem(edge);
    edge->fromSlot = a;
    edge->toSlot = b;
    edge->applyRoundedPath({ from, to });
    return edge;
}

void tst_EdgeItemInteraction::shortRoutesHaveNoHandle_data()
{
    QTest::addColumn<QList<QPointF>>("route");
    QTest::newRow("straight") << QList<QPointF>{ QPointF(0, 0), QPointF(200, 0) };
    QTest::newRow("one corner") << QList<QPointF>{ QPointF(0, 0), QPointF(200, 0), QPointF(200, 100) };
}

void tst_EdgeItemInteraction::shortRoutesHaveNoHandle()
{
    QFETCH(QList<QPointF>, route);
    auto *edge = new ProbeEdge;
    m_scene->addItem(edge);
    edge->applyRoundedPath(route);
    for (const QPointF &p : route)
        QCOMPARE(edge->hitTestHandle(p), -1);
    edge->setCursor(Qt::CrossCursor);
    edge->hoverAt(QPointF(200, 50));
    QCOMPARE(edge->cursor().shape(), Qt::ArrowCursor);

    // The press falls through to plain selection.
    QVERIFY(sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, QPointF(100, 0), Qt::LeftButton, Qt::LeftButton));
    QVERIFY(edge->isSelected());
    QVERIFY(!edge->dragging);
    sendSceneMouse(m_scene, QEvent::GraphicsSceneMouseRelease, QPointF(100, 0), Qt::LeftButton, Qt::NoButton);
}

void tst_EdgeItemInteraction::hitTestFindsNearestInnerSegment_data()
{
    QTest::addColumn<QPointF>("point");
    QTest::addColumn<int>("segment");
    QTest::newRow("on the vertical") << QPointF(50, 50) << 1;
    QTest::newRow("7.9 beside the vertical") << QPointF(57.9, 50) << 1;
    QTest::newRow("8 beside the vertical") << QPointF(58, 50) << -1;
    QTest::newRow("beyond the vertical's end along it") << QPointF(52, -7) << 1;
    QTest::newRow("on the horizontal") << QPointF(100, 103) << 2;
    QTest::newRow("corner: nearer the horizontal") << QPointF(52, 99) << 2;
    QTest::newRow("first segment is no handle") << QPointF(20, 0) << -1;
    QTest::newRow("last segment is no handle") << QPointF(150, 180) << -1;
}

void tst_EdgeItemInteraction::hitTestFindsNearestInnerSegment()
{
    QFETCH(QPointF, point);
    QFETCH(int, segment);
    EdgeItem edge(nullptr, nullptr, false);
    edge.points = ZRoute;
    QCOMPARE(edge.hitTestHandle(point), segment);
}

void tst_EdgeItemInteraction::dragMovesInnerSegment()
{
    auto *edge = new EdgeItem(nullptr, nullptr, false);
    m_scene->addItem(edge);
    edge->applyRoundedPath(ZRoute);

    QVERIFY(sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, QPointF(52, 50), Qt::LeftButton, Qt::LeftButton));
    QVERIFY(edge->dragging);
    QCOMPARE(edge->dragSegment, 1);
    QCOMPARE(edge->dragAxis, 2);
    QVERIFY(edge->isSelected());
    QCOMPARE(edge->cursor().shape(), Qt::SizeHorCursor);

    sendSceneMouse(m_scene, QEvent::GraphicsSceneMouseMove, QPointF(72, 60), Qt::NoButton, Qt::LeftButton);
    sendSceneMouse(m_scene, QEvent::GraphicsSceneMouseMove, QPointF(82, 70), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(edge->points, QList<QPointF>({ QPointF(0, 0), QPointF(80, 0), QPointF(80, 100), QPointF(150, 100),
                                            QPointF(150, 200) }));
    QVERIFY(edge->manualRoute);

    sendSceneMouse(m_scene, QEvent::GraphicsSceneMouseRelease, QPointF(82, 70), Qt::LeftButton, Qt::NoButton);
    QVERIFY(!edge->dragging);
    QCOMPARE(edge->dragSegment, -1);
    // The scene follows the release with a hover, still over the moved segment.
    QCOMPARE(edge->cursor().shape(), Qt::SizeHorCursor);
    QCOMPARE(edge->points.at(1), QPointF(80, 0));
    QVERIFY(edge->manualRoute);
}

void tst_EdgeItemInteraction::moveSegmentGuards_data()
{
    QTest::addColumn<QList<QPointF>>("route");
    QTest::addColumn<int>("segment");
    QTest::addColumn<double>("delta");
    QTest::newRow("three points") << QList<QPointF>{ QPointF(0, 0), QPointF(50, 0), QPointF(50, 100) } << 1 << 30.0;
    QTest::newRow("first segment") << ZRoute << 0 << 30.0;
    QTest::newRow("last segment") << ZRoute << 3 << 30.0;
    QTest::newRow("tiny delta") << ZRoute << 1 << 0.0009;
}

void tst_EdgeItemInteraction::moveSegmentGuards()
{
    QFETCH(QList<QPointF>, route);
    QFETCH(int, segment);
    QFETCH(double, delta);
    EdgeItem edge(nullptr, nullptr, false);
    edge.applyRoundedPath(route);
    const QPainterPath path = edge.path();
    edge.dragSegment = segment;
    edge.moveSegment(delta);
    QCOMPARE(edge.points, route);
    QCOMPARE(edge.path(), path);
}

void tst_EdgeItemInteraction::hoverShowsResizeCursor()
{
    ProbeEdge edge;
    edge.points = ZRoute;
    edge.hoverAt(QPointF(50, 50));
    QCOMPARE(edge.cursor().shape(), Qt::SizeHorCursor);
    edge.hoverAt(QPointF(100, 100));
    QCOMPARE(edge.cursor().shape(), Qt::SizeVerCursor);
    edge.hoverAt(QPointF(300, 300));
    QCOMPARE(edge.cursor().shape(), Qt::ArrowCursor);
}

void tst_EdgeItemInteraction::menuEntries()
{
    EdgeItem *edge = slottedEdge(QPointF(0, 0), QPointF(200, 0));
    QStringList texts;
    QVariantList data;
    uiseam::setMenuRunner([&](QMenu *menu, const QPoint &) -> QAction * {
        ++m_menus;
        for (QAction *action : menu->actions()) {
            texts.append(action->text());
            data.append(action->data());
        }
        return nullptr;
    });
    sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, QPointF(50, 0), Qt::RightButton, Qt::RightButton);
    QCOMPARE(texts, QStringList({ "One", "Zero or One", "Many", "Zero or Many", QString(), "Edit" }));
    QCOMPARE(data, QVariantList({ 0, 2, 1, 3, QVariant(), QStringLiteral("edit") }));
    QCOMPARE(edge->startCard, 1);
    QCOMPARE(edge->endCard, 1);

    // The menu is made once and kept.
    QMenu *menu = edge->cardinalityMenu;
    sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, QPointF(50, 0), Qt::RightButton, Qt::RightButton);
    QCOMPARE(edge->cardinalityMenu, menu);
    QCOMPARE(m_menus, 2);
}

void tst_EdgeItemInteraction::rightClickSetsNearerEnd_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("startCard");
    QTest::addColumn<int>("endCard");
    QTest::newRow("nearer the to end") << 150.0 << "Zero or Many" << 1 << 3;
    QTest::newRow("exactly halfway") << 100.0 << "Zero or Many" << 1 << 3;
    QTest::newRow("nearer the from end") << 99.0 << "One" << 0 << 1;
    QTest::newRow("zero or one") << 20.0 << "Zero or One" << 2 << 1;
}

void tst_EdgeItemInteraction::rightClickSetsNearerEnd()
{
    QFETCH(double, x);
    QFETCH(QString, entry);
    QFETCH(int, startCard);
    QFETCH(int, endCard);
    EdgeItem *edge = slottedEdge(QPointF(0, 0), QPointF(200, 0));
    uiseam::setMenuRunner([&](QMenu *menu, const QPoint &) { return actionNamed(menu, entry); });
    QVERIFY(sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, QPointF(x, 0), Qt::RightButton, Qt::RightButton));
    QCOMPARE(edge->startCard, startCard);
    QCOMPARE(edge->endCard, endCard);
    QVERIFY(edge->isSelected());
}

void tst_EdgeItemInteraction::rightClickWithControlAddsToSelection_data()
{
    QTest::addColumn<bool>("control");
    QTest::newRow("plain click replaces the selection") << false;
    QTest::newRow("Control adds to it") << true;
}

void tst_EdgeItemInteraction::rightClickWithControlAddsToSelection()
{
    QFETCH(bool, control);
    EdgeItem *other = slottedEdge(QPointF(0, 100), QPointF(200, 100));
    EdgeItem *edge = slottedEdge(QPointF(0, 0), QPointF(200, 0));
    other->setSelected(true);
    uiseam::setMenuRunner([](QMenu *, const QPoint &) -> QAction * { return nullptr; });
    sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, QPointF(50, 0), Qt::RightButton, Qt::RightButton,
                   control ? Qt::ControlModifier : Qt::NoModifier);
    QVERIFY(edge->isSelected());
    QCOMPARE(other->isSelected(), control);
}

void tst_EdgeItemInteraction::rightClickWithoutSlotsChangesNoCard()
{
    EdgeItem *edge = slottedEdge(QPointF(0, 0), QPointF(200, 0));
    SlotItem *slot = edge->toSlot;
    edge->toSlot = nullptr;
    uiseam::setMenuRunner([&](QMenu *menu, const QPoint &) {
        ++m_menus;
        return actionNamed(menu, "Zero or Many");
    });
    sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, QPointF(150, 0), Qt::RightButton, Qt::RightButton);
    QCOMPARE(m_menus, 1);
    QCOMPARE(edge->startCard, 1);
    QCOMPARE(edge->endCard, 1);
    edge->toSlot = slot;
}

void tst_EdgeItemInteraction::viewEdgeShowsNoMenu()
{
    auto *edge = new EntityViewEdgeItem(nullptr, nullptr, false);
    m_scene->addItem(edge);
    edge->applyRoundedPath({ QPointF(0, 0), QPointF(200, 0) });
    uiseam::setMenuRunner([&](QMenu *, const QPoint &) -> QAction * {
        ++m_menus;
        return nullptr;
    });
    QVERIFY(sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, QPointF(150, 0), Qt::RightButton, Qt::RightButton));
    QCOMPARE(m_menus, 0);
    QVERIFY(edge->isSelected());
    QVERIFY(!edge->cardinalityMenu);
}

void tst_EdgeItemInteraction::editDialogTitle_data()
{
    QTest::addColumn<QString>("fromTitle");
    QTest::addColumn<QString>("toTitle");
    QTest::addColumn<QString>("label");
    QTest::newRow("two titles") << "orders" << "customers" << QString::fromUtf8("Relationship: orders — customers");
    QTest::newRow("one empty title") << "orders" << "" << QString::fromUtf8("Relationship: orders — ");
    QTest::newRow("no titles") << "" << "" << "Relationship: Relationship";
}

void tst_EdgeItemInteraction::editDialogTitle()
{
    QFETCH(QString, fromTitle);
    QFETCH(QString, toTitle);
    QFETCH(QString, label);
    EntityItem *a = edgetest::addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = edgetest::addBox(m_scene, "b", QPointF(400, 0));
    a->setTitle(fromTitle);
    b->setTitle(toTitle);
    QCOMPARE(a->title(), fromTitle);
    EdgeItem *edge = edgetest::addEdge(m_scene, a, b);

    QString shown;
    int dialogs = 0;
    bool modal = false;
    uiseam::setDialogRunner([&](QDialog *dialog) {
        ++dialogs;
        shown = dialog->findChild<QLabel *>("labelRelationshipName")->text();
        modal = dialog->isModal();
        return int(QDialog::Accepted);
    });
    // Through the menu's Edit entry.
    uiseam::setMenuRunner([](QMenu *menu, const QPoint &) { return actionNamed(menu, "Edit"); });
    const QPointF onLine = (edge->points.first() + edge->points.last()) / 2;
    sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, onLine, Qt::RightButton, Qt::RightButton);
    QCOMPARE(dialogs, 1);
    QVERIFY(modal);
    QCOMPARE(shown, label);
    QCOMPARE(edge->startCard, 1);
    QCOMPARE(edge->endCard, 1);
}

void tst_EdgeItemInteraction::edgeDeletedWhileMenuRuns()
{
    EdgeItem *edge = slottedEdge(QPointF(0, 0), QPointF(200, 0));
    QPointer<QMenu> menu;
    uiseam::setMenuRunner([&](QMenu *running, const QPoint &) {
        menu = running;
        // For example a finished import loads another diagram meanwhile.
        delete edge;
        return actionNamed(running, "Many");
    });
    QVERIFY(sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, QPointF(150, 0), Qt::RightButton, Qt::RightButton));
    // The menu outlives its running loop and goes with the next deferred deletion.
    QVERIFY(menu);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!menu);
}

void tst_EdgeItemInteraction::edgeDeletedWhileDialogRuns()
{
    EdgeItem *edge = slottedEdge(QPointF(0, 0), QPointF(200, 0));
    uiseam::setMenuRunner([](QMenu *menu, const QPoint &) { return actionNamed(menu, "Edit"); });
    uiseam::setDialogRunner([&](QDialog *) {
        delete edge;
        return int(QDialog::Rejected);
    });
    QVERIFY(sendSceneMouse(m_scene, QEvent::GraphicsSceneMousePress, QPointF(150, 0), Qt::RightButton, Qt::RightButton));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_scene->selectedItems().isEmpty());
}

QTEST_MAIN(tst_EdgeItemInteraction)
#include "tst_edgeitem_interaction.moc"
