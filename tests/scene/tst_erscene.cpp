#include "scenetestutil.h"

#include "dialectcatalog.h"
#include "edgeitem.h"
#include "erscene.h"
#include "erview.h"
#include "groupitem.h"
#include "testsupport.h"
#include "textitem.h"
#include "thememanager.h"

#include <QGraphicsDropShadowEffect>
#include <QGraphicsRectItem>
#include <QGraphicsView>
#include <QImage>
#include <QLoggingCategory>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUuid>

using scenetest::addBox;
using scenetest::Row;

// The diagram scene on its own: making items, joining boxes, clearing and destroying,
// the selection pulse, the grid and the growth of the scene rectangle.
class tst_ERScene : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void createEdgeRefusesMissingOrForeignEnds_data();
    void createEdgeRefusesMissingOrForeignEnds();
    void createEdgeBetweenTablesAddsForeignKeys();
    void createEdgeWithViewMakesViewLink_data();
    void createEdgeWithViewMakesViewLink();

    void newTableNamedByCountWithKeyRow();
    void newViewAndGroupTakeFirstFreeNumber();
    void newTableTakesDefaultColorsOnlyWhenAllEightSet_data();
    void newTableTakesDefaultColorsOnlyWhenAllEightSet();
    void newNoteAndFrameTakeStoredStyles();

    void pulseShadowsSelectionAndStopsWhenDeselected_data();
    void pulseShadowsSelectionAndStopsWhenDeselected();
    void pulseAlphaStaysWithinRange();
    void largeSelectionGlowsOnlyInView();
    void largeSelectionInViewTakesOutlines();

    void clearSceneIgnoresReentrantCall();
    void clearSceneKeepsForeignKeyRows();
    void destroyingPopulatedSceneWarnsNothing();
    void clearSceneLeavesWhatIsNotTheDiagram_data();
    void clearSceneLeavesWhatIsNotTheDiagram();

    void sceneRectGrowsAroundItems();
    void gridFromTilesPaintsAsLines_data();
    void gridFromTilesPaintsAsLines();
    void viewportSkipsItsFillOnlyUnderOpaqueBackground_data();
    void viewportSkipsItsFillOnlyUnderOpaqueBackground();
    void sceneRectGrowsAsAroundEveryItem_data();
    void sceneRectGrowsAsAroundEveryItem();
    void gridStandsEveryTwentyUnits();
    void hugeExposedAreaPaintsOnlyBackground_data();
    void hugeExposedAreaPaintsOnlyBackground();
};

void tst_ERScene::initTestCase()
{
    testsupport::registerBundledMonoFont();
    qRegisterMetaType<EntityItem *>();
    qRegisterMetaType<EdgeItem *>();
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
}

void tst_ERScene::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_ERScene::createEdgeRefusesMissingOrForeignEnds_data()
{
    QTest::addColumn<int>("fromCase"); // 0 box here, 1 null, 2 box on another scene
    QTest::addColumn<int>("toCase");
    QTest::addColumn<QString>("warning");
    QTest::newRow("null from") << 1 << 0 << "createEdge: null entity!";
    QTest::newRow("null to") << 0 << 1 << "createEdge: null entity!";
    QTest::newRow("both null") << 1 << 1 << "createEdge: null entity!";
    QTest::newRow("from elsewhere") << 2 << 0 << "createEdge: entity not in this scene!";
    QTest::newRow("to elsewhere") << 0 << 2 << "createEdge: entity not in this scene!";
}

void tst_ERScene::createEdgeRefusesMissingOrForeignEnds()
{
    QFETCH(int, fromCase);
    QFETCH(int, toCase);
    QFETCH(QString, warning);

    ERScene scene;
    ERScene other;
    EntityItem *here = addBox(&scene, QStringLiteral("a"), {{"id", "int", true}});
    EntityItem *there = addBox(&other, QStringLiteral("b"), {{"id", "int", true}});
    auto pick = [&](int which) -> EntityItem * {
        return which == 0 ? here : which == 1 ? nullptr : there;
    };
    QSignalSpy added(&scene, &ERScene::edgeAdded);
    const int itemsBefore = int(scene.items().size());

    QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    QCOMPARE(scene.createEdge(pick(fromCase), pick(toCase), true), nullptr);
    QCOMPARE(added.size(), 0);
    QCOMPARE(int(scene.items().size()), itemsBefore);
    QVERIFY(here->edges.isEmpty());
    QVERIFY(there->edges.isEmpty());
}

void tst_ERScene::createEdgeBetweenTablesAddsForeignKeys()
{
    ERScene scene;
    EntityItem *parent = addBox(&scene, QStringLiteral("parent"), {{"parent_id", "int", true}});
    EntityItem *child = addBox(&scene, QStringLiteral("child"), {{"child_id", "int", true}},
                               QPointF(400, 0));
    QSignalSpy added(&scene, &ERScene::edgeAdded);

    EdgeItem *edge = scene.createEdge(parent, child, true);
    QVERIFY(edge);
    QCOMPARE(edge->scene(), &scene);
    QVERIFY(!edge->isEntityViewEdge());
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.at(0).at(0).value<EdgeItem *>(), edge);
    QCOMPARE(scenetest::rowNames(child), QStringList({"child_id", "parent_id"}));
    QVERIFY(child->attributes.at(1).isForeignKey);
    QCOMPARE(child->attributes.at(1).fkEdgeId, edge->id);
    QVERIFY(edge->points.size() >= 2);

    EdgeItem *plain = scene.createEdge(parent, child, false);
    QVERIFY(plain);
    QCOMPARE(child->attributeCount(), 2);
}

void tst_ERScene::createEdgeWithViewMakesViewLink_data()
{
    QTest::addColumn<bool>("fromView");
    QTest::addColumn<bool>("toView");
    QTest::addColumn<bool>("createFKs");
    QTest::addColumn<int>("inheritor"); // 0 none, 1 from, 2 to
    QTest::newRow("view to table") << true << false << true << 1;
    QTest::newRow("table to view") << false << true << true << 2;
    QTest::newRow("view to view") << true << true << true << 1;
    QTest::newRow("view to table, no rows") << true << false << false << 0;
    QTest::newRow("table to view, no rows") << false << true << false << 0;
}

void tst_ERScene::createEdgeWithViewMakesViewLink()
{
    QFETCH(bool, fromView);
    QFETCH(bool, toView);
    QFETCH(bool, createFKs);
    QFETCH(int, inheritor);

    ERScene scene;
    EntityItem *from = addBox(&scene, QStringLiteral("from"), {{"from_id", "int", true}, {"label", "text"}},
                              QPointF(), fromView);
    EntityItem *to = addBox(&scene, QStringLiteral("to"), {{"to_id", "int", true}}, QPointF(0, 300),
                            toView);
    const QStringList fromRows = scenetest::rowNames(from);
    const QStringList toRows = scenetest::rowNames(to);
    QSignalSpy added(&scene, &ERScene::edgeAdded);

    EdgeItem *edge = scene.createEdge(from, to, createFKs);
    QVERIFY(edge);
    QVERIFY(edge->isEntityViewEdge());
    QCOMPARE(edge->from, from);
    QCOMPARE(edge->to, to);
    QCOMPARE(added.size(), 1);
    EntityItem *heir = inheritor == 1 ? from : inheritor == 2 ? to : nullptr;
    EntityItem *source = inheritor == 1 ? to : from;
    if (!heir) {
        QCOMPARE(scenetest::rowNames(from), fromRows);
        QCOMPARE(scenetest::rowNames(to), toRows);
        return;
    }
    // The view takes the other end's rows, tagged with the link, and adds no foreign keys.
    QCOMPARE(scenetest::rowNames(source), source == from ? fromRows : toRows);
    int inherited = 0;
    for (const EntityItem::Attribute &a : std::as_const(heir->attributes)) {
        if (a.inherited) {
            ++inherited;
            QCOMPARE(a.fkEdgeId, edge->id);
            QVERIFY(scenetest::rowNames(source).contains(a.name));
        }
    }
    QCOMPARE(inherited, source->attributeCount());
    QVERIFY(edge->points.size() >= 2);
}

void tst_ERScene::newTableNamedByCountWithKeyRow()
{
    ERScene scene;
    scene.dialect = QStringLiteral("PostgreSQL");
    addBox(&scene, QStringLiteral("t1"), {});
    addBox(&scene, QStringLiteral("table_3"), {});
    for (int i = 1; i <= 3; ++i)
        addBox(&scene, QStringLiteral("v%1").arg(i), {}, QPointF(), true);
    QSignalSpy added(&scene, &ERScene::entityAdded);

    scene.addEntityAt(QPointF(120, 80));
    QCOMPARE(added.size(), 1);
    auto *entity = added.at(0).at(0).value<EntityItem *>();
    // Two tables (views do not count): the new one is table_3 although that is taken.
    QCOMPARE(entity->title(), QStringLiteral("table_3"));
    QCOMPARE(entity->pos(), QPointF(120, 80));
    QCOMPARE(entity->scene(), &scene);
    QVERIFY(!QUuid::fromString(entity->storedId).isNull());
    QCOMPARE(entity->attributeCount(), 1);
    QCOMPARE(entity->attributes.at(0).name, QStringLiteral("table_3_id"));
    QCOMPARE(entity->attributes.at(0).type, defaultKeyTypeForDialect(QStringLiteral("PostgreSQL")));
    QVERIFY(entity->attributes.at(0).isPrimaryKey);
    QVERIFY(!entity->attributes.at(0).isForeignKey);
    QCOMPARE(scene.entityCount(), 3);
}

void tst_ERScene::newViewAndGroupTakeFirstFreeNumber()
{
    ERScene scene;
    addBox(&scene, QStringLiteral("view_1"), {}, QPointF(), true);
    addBox(&scene, QStringLiteral("view_3"), {}, QPointF(), true);
    addBox(&scene, QStringLiteral("view_2"), {}); // a table: not among the views
    QSignalSpy added(&scene, &ERScene::entityAdded);

    scene.addEntityViewAt(QPointF(10, 20));
    QCOMPARE(added.size(), 1);
    auto *view = added.at(0).at(0).value<EntityItem *>();
    QCOMPARE(view->title(), QStringLiteral("view_4"));
    QVERIFY(view->isView());
    QCOMPARE(view->attributeCount(), 0);
    QCOMPARE(view->pos(), QPointF(10, 20));

    scene.addGroupAt(QPointF(0, 0));
    scene.addGroupAt(QPointF(0, 0));
    QStringList groups;
    for (QGraphicsItem *item : scene.items()) {
        if (item->type() == GroupItem::Type)
            groups.append(static_cast<GroupItem *>(item)->title());
    }
    groups.sort();
    QCOMPARE(groups, QStringList({"group_1", "group_2"}));
    QCOMPARE(added.size(), 1); // frames announce nothing
}

void tst_ERScene::newTableTakesDefaultColorsOnlyWhenAllEightSet_data()
{
    QTest::addColumn<int>("invalidEntry"); // -1: all eight valid
    QTest::newRow("all eight") << -1;
    for (int i = 0; i < 8; ++i)
        QTest::newRow(qPrintable(QStringLiteral("entry %1 unset").arg(i))) << i;
}

void tst_ERScene::newTableTakesDefaultColorsOnlyWhenAllEightSet()
{
    QFETCH(int, invalidEntry);

    ERScene scene;
    DualThemeColorScheme colors;
    QColor *entries[] = {&colors.light.background, &colors.light.header, &colors.light.border,
                         &colors.light.text, &colors.dark.background, &colors.dark.header,
                         &colors.dark.border, &colors.dark.text};
    for (int i = 0; i < 8; ++i)
        *entries[i] = i == invalidEntry ? QColor() : QColor::fromHsv(i * 40, 200, 200);
    scene.defaultEntityColors = colors;

    QSignalSpy added(&scene, &ERScene::entityAdded);
    scene.addEntityAt(QPointF());
    scene.addEntityViewAt(QPointF());
    QCOMPARE(added.size(), 2);
    auto *plain = new EntityItem(QStringLiteral("plain"), QSizeF(150, 70));
    for (const QList<QVariant> &arguments : std::as_const(added)) {
        auto *entity = arguments.at(0).value<EntityItem *>();
        if (invalidEntry < 0)
            QCOMPARE(entity->colorScheme(), colors);
        else
            QCOMPARE(entity->colorScheme(), plain->colorScheme());
    }
    delete plain;
}

void tst_ERScene::newNoteAndFrameTakeStoredStyles()
{
    ERScene scene;
    QFont font(testsupport::registerBundledMonoFont(), 17);
    scene.setTextItemStyle(font, QColor("#102030"), QColor("#405060"));
    scene.setGroupItemStyle(QColor("#010101"), QColor("#020202"), QColor("#030303"),
                            QColor("#040404"), QColor("#050505"), QColor("#060606"));
    QVERIFY(scene.textItemStyleSet);
    QVERIFY(scene.groupItemStyleSet);

    scene.addTextItemAt(QPointF(5, 6));
    scene.addGroupAt(QPointF(7, 8));
    TextItem *text = nullptr;
    GroupItem *group = nullptr;
    for (QGraphicsItem *item : scene.items()) {
        if (item->type() == TextItem::Type)
            text = static_cast<TextItem *>(item);
        else if (item->type() == GroupItem::Type)
            group = static_cast<GroupItem *>(item);
    }
    QVERIFY(text && group);
    QCOMPARE(text->text(), QStringLiteral("Text"));
    QCOMPARE(text->pos(), QPointF(5, 6));
    QCOMPARE(text->font().pointSize(), 17);
    QCOMPARE(text->colorLight(), QColor("#102030"));
    QCOMPARE(text->colorDark(), QColor("#405060"));
    QCOMPARE(group->pos(), QPointF(7, 8));
    QCOMPARE(group->size(), QSizeF(240, 160));
    QCOMPARE(group->fillLight(), QColor("#010101"));
    QCOMPARE(group->textColorDark(), QColor("#060606"));
}

void tst_ERScene::pulseShadowsSelectionAndStopsWhenDeselected_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<qreal>("blur");
    QTest::addColumn<bool>("accent");
    QTest::newRow("edge") << "edge" << qreal(14) << true;
    QTest::newRow("box") << "box" << qreal(20) << false;
    QTest::newRow("note") << "note" << qreal(20) << false;
    QTest::newRow("frame") << "frame" << qreal(20) << false;
}

void tst_ERScene::pulseShadowsSelectionAndStopsWhenDeselected()
{
    QFETCH(QString, what);
    QFETCH(qreal, blur);
    QFETCH(bool, accent);

    ERScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), {{"id", "int", true}});
    EntityItem *b = addBox(&scene, QStringLiteral("b"), {{"id", "int", true}}, QPointF(400, 0));
    EdgeItem *edge = scene.createEdge(a, b, false);
    scene.addTextItemAt(QPointF(0, 300));
    scene.addGroupAt(QPointF(0, 500));
    QGraphicsItem *target = nullptr;
    for (QGraphicsItem *item : scene.items()) {
        if ((what == "note" && item->type() == TextItem::Type)
            || (what == "frame" && item->type() == GroupItem::Type))
            target = item;
    }
    if (what == "edge")
        target = edge;
    else if (what == "box")
        target = a;
    QVERIFY(target);

    target->setSelected(true);
    QTRY_VERIFY(scene.pulseTimer->isActive());
    auto *shadow = qobject_cast<QGraphicsDropShadowEffect *>(target->graphicsEffect());
    QVERIFY(shadow);
    QCOMPARE(shadow->blurRadius(), blur);
    QCOMPARE(shadow->offset(), QPointF(0, 0));
    const ThemePalette palette = ThemeManager::instance()->colors();
    const QColor expected = accent ? palette.accent : palette.selection;
    QCOMPARE(shadow->color().rgb(), expected.rgb());

    scene.clearSelection();
    QVERIFY(target->graphicsEffect()); // removed at the next turn, not at once
    QTRY_VERIFY(!target->graphicsEffect());
    QVERIFY(!scene.pulseTimer->isActive());
    for (QGraphicsItem *item : scene.items())
        QVERIFY(!item->graphicsEffect());
}

void tst_ERScene::pulseAlphaStaysWithinRange()
{
    ERScene scene;
    EntityItem *box = addBox(&scene, QStringLiteral("a"), {});
    box->setSelected(true);
    QTRY_VERIFY(box->graphicsEffect());
    auto *shadow = qobject_cast<QGraphicsDropShadowEffect *>(box->graphicsEffect());
    QVERIFY(shadow);
    int lowest = 255;
    int highest = 0;
    // One period is 50 ticks; walk a little more than one.
    for (int tick = 0; tick < 60; ++tick) {
        QMetaObject::invokeMethod(&scene, "pulseSelection");
        lowest = qMin(lowest, shadow->color().alpha());
        highest = qMax(highest, shadow->color().alpha());
        QVERIFY(scene.pulsePhase >= 0 && scene.pulsePhase <= 6.283185307179586);
    }
    QVERIFY2(lowest >= 70 && lowest <= 72, qPrintable(QString::number(lowest)));
    QVERIFY2(highest >= 198 && highest <= 200, qPrintable(QString::number(highest)));
}

namespace {

// Forty boxes in ten columns and four rows; a view of 700 x 400 shows a few at zoom 1.
struct Row40
{
    Row40()
    {
        for (int i = 0; i < 40; ++i)
            boxes.append(addBox(&scene, QStringLiteral("t%1").arg(i), {{"id", "int", true}},
                                QPointF(220 * (i % 10), 140 * (i / 10))));
        view.setScene(&scene);
        view.setRenderHint(QPainter::Antialiasing);
        view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view.resize(700, 400);
        view.setSceneRect(-100, -100, 2400, 800);
        view.show();
        view.centerOn(QPointF(250, 100));
    }
    QList<EntityItem *> glowing() const
    {
        QList<EntityItem *> result;
        for (EntityItem *box : boxes) {
            if (qobject_cast<QGraphicsDropShadowEffect *>(box->graphicsEffect()))
                result.append(box);
        }
        return result;
    }
    ERScene scene;
    QGraphicsView view;
    QList<EntityItem *> boxes;
};

} // namespace

void tst_ERScene::largeSelectionGlowsOnlyInView()
{
    Row40 row;
    for (EntityItem *box : row.boxes)
        box->setSelected(true);
    QTRY_VERIFY(row.scene.pulseTimer->isActive());
    const QRectF shown = row.view.mapToScene(row.view.viewport()->rect()).boundingRect();
    const QList<EntityItem *> glowing = row.glowing();
    QVERIFY(!glowing.isEmpty());
    for (EntityItem *box : row.boxes)
        QCOMPARE(glowing.contains(box), box->sceneBoundingRect().intersects(shown));

    // Scrolled to the far end, the glow follows at the next step of the pulse.
    row.view.centerOn(QPointF(220 * 9, 140 * 3));
    QMetaObject::invokeMethod(&row.scene, "pulseSelection");
    QVERIFY(!row.glowing().contains(row.boxes.first()));
    QVERIFY(row.glowing().contains(row.boxes.last()));

    // A few selected boxes glow wherever they are.
    row.scene.clearSelection();
    row.boxes.first()->setSelected(true);
    row.boxes.at(20)->setSelected(true);
    QTRY_COMPARE(row.glowing(), (QList<EntityItem *>{row.boxes.first(), row.boxes.at(20)}));
}

void tst_ERScene::largeSelectionInViewTakesOutlines()
{
    Row40 row;
    row.view.setBackgroundBrush(Qt::NoBrush);
    row.view.fitInView(row.scene.itemsBoundingRect(), Qt::KeepAspectRatio);
    EntityItem *selected = row.boxes.at(10);
    EntityItem *unselected = row.boxes.at(11);
    const auto picture = [&row] {
        QCoreApplication::processEvents();
        QImage image(row.view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        row.view.viewport()->render(&image);
        return image;
    };
    // Just outside the right edge of a box, halfway down the header band.
    const auto besideBox = [&row](EntityItem *box) {
        const QPointF edge = box->mapToScene(QPointF(box->rect.right() + 3.5, 14));
        return row.view.mapFromScene(edge);
    };
    const QImage before = picture();

    for (EntityItem *box : row.boxes) {
        if (box != unselected)
            box->setSelected(true);
    }
    QTRY_VERIFY(row.scene.pulseTimer->isActive());
    QVERIFY2(row.glowing().isEmpty(), "all 39 selected boxes are in view: none glows");
    const QImage after = picture();
    QVERIFY(after.save(testsupport::outputDir("tst_erscene") + QStringLiteral("/selection_outlines.png")));

    const QColor selection = ThemeManager::instance()->colors().selection;
    const auto towardsSelection = [&selection](const QColor &was, const QColor &now) {
        const auto distance = [&selection](const QColor &c) {
            return std::abs(c.red() - selection.red()) + std::abs(c.green() - selection.green())
                + std::abs(c.blue() - selection.blue());
        };
        return distance(now) < distance(was) - 30;
    };
    const QPoint atSelected = besideBox(selected);
    QVERIFY2(towardsSelection(before.pixelColor(atSelected), after.pixelColor(atSelected)),
             "a selected box without a glow is outlined");
    const QPoint atUnselected = besideBox(unselected);
    QCOMPARE(after.pixelColor(atUnselected), before.pixelColor(atUnselected));

    // A picture of the scene made without a view shows no outline.
    const QRectF around(selected->sceneBoundingRect().topLeft() - QPointF(20, 20), QSizeF(400, 200));
    const auto rendered = [&row, &around] {
        QImage image(around.size().toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        row.scene.render(&painter, QRectF(QPointF(), around.size()), around);
        return image;
    };
    const QPoint beside = (selected->mapToScene(QPointF(selected->rect.right() + 3.5, 14)) - around.topLeft()).toPoint();
    const QColor renderedSelected = rendered().pixelColor(beside);
    row.scene.clearSelection();
    QCOMPARE(renderedSelected, rendered().pixelColor(beside));
}

void tst_ERScene::clearSceneIgnoresReentrantCall()
{
    ERScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), {{"id", "int", true}});
    EntityItem *b = addBox(&scene, QStringLiteral("b"), {{"id", "int", true}}, QPointF(300, 0));
    scene.createEdge(a, b, true);
    int nested = 0;
    connect(a, &QObject::destroyed, &scene, [&] {
        ++nested;
        QVERIFY(scene.bulkOperation);
        scene.clearScene(); // must return at once
    });

    scene.clearScene();
    QCOMPARE(nested, 1);
    QVERIFY(scene.items().isEmpty());
    QVERIFY(!scene.bulkOperation);
}

void tst_ERScene::clearSceneKeepsForeignKeyRows()
{
    ERScene scene;
    EntityItem *parent = addBox(&scene, QStringLiteral("parent"), {{"parent_id", "int", true}});
    EntityItem *child = addBox(&scene, QStringLiteral("child"), {{"child_id", "int", true}},
                               QPointF(300, 0));
    EdgeItem *edge = scene.createEdge(parent, child, true);
    QCOMPARE(child->attributeCount(), 2);
    // The clear deletes boxes and edges in no fixed order: a child box still standing when
    // the edge goes keeps its foreign-key row.
    const QPointer<EntityItem> standing(child);
    int rowsWhenEdgeWent = -1;
    bool childWentFirst = false;
    connect(edge, &QObject::destroyed, &scene, [&] {
        childWentFirst = !standing;
        if (standing)
            rowsWhenEdgeWent = standing->attributeCount();
    });
    connect(child, &EntityItem::structureChanged, &scene, [&] {
        QFAIL("a foreign-key row was removed while clearing");
    });

    scene.clearScene();
    QVERIFY(childWentFirst || rowsWhenEdgeWent == 2);
    QVERIFY(scene.items().isEmpty());
}

void tst_ERScene::destroyingPopulatedSceneWarnsNothing()
{
    scenetest::WarningCatcher warnings;
    {
        auto *scene = new ERScene;
        QList<EntityItem *> boxes;
        for (int i = 0; i < 6; ++i)
            boxes.append(addBox(scene, QStringLiteral("t%1").arg(i), {{"id", "int", true}},
                                QPointF(i * 250, (i % 2) * 200)));
        EntityItem *view = addBox(scene, QStringLiteral("v"), {}, QPointF(0, 500), true);
        for (int i = 0; i + 1 < boxes.size(); ++i)
            scene->createEdge(boxes.at(i), boxes.at(i + 1), true);
        scene->createEdge(boxes.at(0), boxes.at(0), false); // self-relationships
        scene->createEdge(boxes.at(0), boxes.at(0), false);
        scene->createEdge(boxes.at(2), view, true);          // view link
        scene->createEdge(view, boxes.at(3), false);
        scene->addTextItemAt(QPointF(0, -200));
        scene->addGroupAt(QPointF(-300, -300));
        boxes.at(1)->setSelected(true);
        QCoreApplication::processEvents();
        delete scene;
    }
    QVERIFY2(warnings.caught().isEmpty(), qPrintable(warnings.caught().join('\n')));
}

void tst_ERScene::clearSceneLeavesWhatIsNotTheDiagram_data()
{
    QTest::addColumn<bool>("holdsBox");
    QTest::newRow("an item of its own") << false;
    QTest::newRow("an item holding a box") << true;
}

void tst_ERScene::clearSceneLeavesWhatIsNotTheDiagram()
{
    // Boxes and edges go; an item the diagram does not own leaves the scene whole, and a
    // box it holds goes with the rest of the diagram.
    QFETCH(bool, holdsBox);
    ERScene scene;
    EntityItem *a = addBox(&scene, QStringLiteral("a"), {{"id", "int", true}});
    EntityItem *b = addBox(&scene, QStringLiteral("b"), {{"id", "int", true}}, QPointF(300, 0));
    QPointer<EdgeItem> edge = scene.createEdge(a, b, true);
    QPointer<EntityItem> first = a;
    QPointer<EntityItem> second = b;
    QGraphicsRectItem foreign(0, 0, 40, 40);
    auto *marker = new QGraphicsRectItem(5, 5, 10, 10, &foreign);
    scene.addItem(&foreign);
    if (holdsBox)
        b->setParentItem(&foreign);
    QVERIFY(edge);

    {
        scenetest::WarningCatcher warnings;
        scene.clearScene();
        QCOMPARE(warnings.caught().size(), 1);
    }
    QVERIFY(scene.items().isEmpty());
    QVERIFY(!edge);
    QVERIFY(!first);
    QVERIFY(!second);
    QCOMPARE(foreign.scene(), nullptr);
    QCOMPARE(foreign.childItems(), QList<QGraphicsItem *>{marker});
}

void tst_ERScene::sceneRectGrowsAroundItems()
{
    ERScene scene;
    QCOMPARE(scene.sceneRect(), QRectF(-2000, -2000, 4000, 4000));
    auto *inside = new QGraphicsRectItem(0, 0, 100, 100);
    scene.addItem(inside);
    QCoreApplication::processEvents();
    QCOMPARE(scene.sceneRect(), QRectF(-2000, -2000, 4000, 4000));

    auto *far = new QGraphicsRectItem(0, 0, 100, 100);
    far->setPen(Qt::NoPen);
    far->setPos(2000, -50);
    scene.addItem(far); // reaches x = 2100
    QTRY_COMPARE(scene.sceneRect().right(), 2400.0);
    QCOMPARE(scene.sceneRect().left(), -2000.0);

    // Never shrinks.
    delete far;
    QCoreApplication::processEvents();
    QCOMPARE(scene.sceneRect().right(), 2400.0);
}

void tst_ERScene::gridFromTilesPaintsAsLines_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<int>("scroll");
    QTest::addColumn<bool>("dark");
    QTest::newRow("zoom 1") << 1.0 << 0 << false;
    QTest::newRow("zoom 1, scrolled, dark") << 1.0 << 13 << true;
    QTest::newRow("zoom 0.5, lines thinner than a pixel") << 0.5 << 7 << false;
    QTest::newRow("zoom 0.75, a cell of 15 pixels") << 0.75 << 333 << false;
    QTest::newRow("zoom 2, lines stroked two pixels wide") << 2.0 << 5 << false;
    QTest::newRow("zoom 1.37, no whole cell: lines") << 1.37 << 3 << false;
}

// The repeated cell is only an economy: the view shows the same pixels as when every line
// is drawn, the edges of the viewport included.
void tst_ERScene::gridFromTilesPaintsAsLines()
{
    QFETCH(double, zoom);
    QFETCH(int, scroll);
    QFETCH(bool, dark);
    ThemeManager *themes = ThemeManager::instance();
    const ThemePalette colors = themes->colors();
    const ThemeKind theme = themes->kind();
    themes->setTheme(dark ? ThemeKind::Dark : ThemeKind::Light);
    ERScene scene;
    ERView view;
    view.setScene(&scene);
    view.resize(403, 301);
    view.setZoom(zoom);
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->value() + scroll);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->value() + scroll / 2);

    ERScene::setGridTilesEnabled(false);
    const QImage lines = view.viewport()->grab().toImage();
    ERScene::setGridTilesEnabled(true);
    const QImage tiles = view.viewport()->grab().toImage();
    themes->setColors(colors, theme);
    tiles.save(testsupport::outputDir("tst_erscene") + QStringLiteral("/grid_tiles_%1.png").arg(QTest::currentDataTag()));
    QCOMPARE(tiles.size(), lines.size());
    QVERIFY(tiles == lines);
    QVERIFY(tiles.pixelColor(10, 10) != QColor(Qt::black));
}

void tst_ERScene::viewportSkipsItsFillOnlyUnderOpaqueBackground_data()
{
    QTest::addColumn<double>("zoom");
    QTest::addColumn<int>("alpha");     // of the background override; -1 for the theme's own
    QTest::addColumn<int>("thenAlpha"); // the override changed to before the second paint
    QTest::newRow("theme background, cells from a tile") << 1.0 << -1 << -1;
    QTest::newRow("theme background, lines at zoom 1.37") << 1.37 << -1 << -1;
    QTest::newRow("opaque override") << 0.75 << 255 << 255;
    QTest::newRow("translucent override") << 1.0 << 90 << 90;
    QTest::newRow("opaque, then translucent") << 1.0 << 255 << 90;
    QTest::newRow("translucent, then opaque") << 1.37 << 90 << 255;
}

// The viewport leaves out its own fill where the scene covers every pixel: what shows is
// the same as with the fill, and nothing of what lay there before shows through.
void tst_ERScene::viewportSkipsItsFillOnlyUnderOpaqueBackground()
{
    QFETCH(double, zoom);
    QFETCH(int, alpha);
    QFETCH(int, thenAlpha);
    ERScene scene;
    auto *box = new QGraphicsRectItem(0, 0, 120, 80);
    box->setBrush(Qt::darkCyan);
    scene.addItem(box);
    ERView view;
    view.setScene(&scene);
    view.resize(403, 301);
    view.setZoom(zoom);
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->value() + 7);
    const auto setOverride = [&](int a) {
        scene.backgroundOverrideEnabled = a >= 0;
        scene.backgroundOverrideColor = QColor(200, 120, 40, std::max(a, 0));
    };
    // Over magenta, so that a pixel nobody painted shows.
    const auto render = [&] {
        QImage image(view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::magenta);
        view.viewport()->render(&image);
        return image;
    };
    setOverride(alpha);
    render();
    setOverride(thenAlpha);
    const QImage painted = render();
    QCOMPARE(view.viewport()->testAttribute(Qt::WA_OpaquePaintEvent), thenAlpha < 0 || thenAlpha == 255);

    // The same view painted as a plain viewport paints: its fill first.
    view.viewport()->setAttribute(Qt::WA_OpaquePaintEvent, false);
    const QImage filled = render();
    QCOMPARE(painted.size(), filled.size());
    QVERIFY(painted == filled);
}

void tst_ERScene::sceneRectGrowsAsAroundEveryItem_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("an item moved out") << 0;
    QTest::newRow("an item grown out") << 1;
    QTest::newRow("a child moved out") << 2;
    QTest::newRow("a small rectangle set from elsewhere, then a nudge") << 3;
}

// Only the changed items are looked at; the rectangle must still be the one uniting every
// item with its margin.
void tst_ERScene::sceneRectGrowsAsAroundEveryItem()
{
    QFETCH(int, change);
    ERScene scene;
    auto *moved = new QGraphicsRectItem(0, 0, 100, 100);
    scene.addItem(moved);
    auto *parent = new QGraphicsRectItem(0, 0, 100, 100);
    parent->setPos(-1500, 1500);
    scene.addItem(parent);
    auto *child = new QGraphicsRectItem(0, 0, 50, 50, parent);
    QCoreApplication::processEvents();
    const QRectF start = scene.sceneRect();

    switch (change) {
    case 0:
        moved->setPos(2500, -2600);
        break;
    case 1:
        moved->setRect(-3000, 0, 100, 3000);
        break;
    case 2:
        child->setPos(-1000, 800);
        break;
    default:
        scene.setSceneRect(QRectF(-1600, -100, 1800, 1800));
        moved->moveBy(1, 0);
        break;
    }
    const QRectF before = scene.sceneRect();
    QCoreApplication::processEvents();
    QCOMPARE(scene.sceneRect(), before.united(scene.itemsBoundingRect().adjusted(-300, -300, 300, 300)));
    QVERIFY(scene.sceneRect() != start);
}

namespace {

// Columns of image whose middle row holds colour.
QList<int> columnsOf(const QImage &image, const QColor &colour)
{
    QList<int> columns;
    const int y = image.height() / 2 + 3; // between horizontal lines
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y).rgb() == colour.rgb())
            columns.append(x);
    }
    return columns;
}

QImage renderArea(ERScene &scene, const QRectF &source, const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), source, Qt::IgnoreAspectRatio);
    return image;
}

} // namespace

void tst_ERScene::gridStandsEveryTwentyUnits()
{
    ERScene scene;
    const ThemePalette palette = ThemeManager::instance()->colors();
    const QImage image = renderArea(scene, QRectF(0.5, 0.5, 200, 100), QSize(200, 100));
    image.save(testsupport::outputDir("tst_erscene") + "/grid_zoom1.png");
    const QList<int> gridColumns = columnsOf(image, palette.grid);
    QCOMPARE(gridColumns.size(), 10);
    for (int i = 1; i < gridColumns.size(); ++i)
        QCOMPARE(gridColumns.at(i) - gridColumns.at(i - 1), 20);
    QCOMPARE(image.pixelColor(10, 50).rgb(), palette.background.rgb());

    scene.gridVisible = false;
    scene.backgroundOverrideEnabled = true;
    scene.backgroundOverrideColor = QColor("#123456");
    const QImage plain = renderArea(scene, QRectF(0.5, 0.5, 200, 100), QSize(200, 100));
    QCOMPARE(columnsOf(plain, QColor("#123456")).size(), 200);
}

void tst_ERScene::hugeExposedAreaPaintsOnlyBackground_data()
{
    QTest::addColumn<QRectF>("source");
    QTest::newRow("two million wide") << QRectF(-1000000, -1000000, 2000000, 1000000);
    QTest::newRow("1e9 wide") << QRectF(-5e8, -2.5e8, 1e9, 5e8);
    QTest::newRow("tall only") << QRectF(0, -1e7, 100, 1e7);
}

void tst_ERScene::hugeExposedAreaPaintsOnlyBackground()
{
    QFETCH(QRectF, source);

    ERScene scene;
    const ThemePalette palette = ThemeManager::instance()->colors();
    const QImage image = renderArea(scene, source, QSize(200, 100));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).rgb() != palette.background.rgb())
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is not background").arg(x).arg(y)));
        }
    }
}

QTEST_MAIN(tst_ERScene)
#include "tst_erscene.moc"
