// The entity box's layout, connection slots, kind switch, painting, focused row and id.
#include "edgeitem.h"
#include "entityitem.h"
#include "entitytestutil.h"
#include "erscene.h"
#include "singlelinetextitem.h"
#include "slotitem.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QFontMetricsF>
#include <QGraphicsView>
#include <QUuid>
#include <QtTest>

using entitytest::Row;

class tst_EntityItemGeometry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void freshBoxIsMinimal_data();
    void freshBoxIsMinimal();
    void titleStaysInsideTheHeader();
    void heightFollowsVisibleRows_data();
    void heightFollowsVisibleRows();
    void longTypePushesWidth();
    void veryLongTextGrowsTheBox();

    void slotForScenePointPicksFacingSide_data();
    void slotForScenePointPicksFacingSide();
    void releasedSlotIsReused();
    void freeSlotStaysInsideTheBox();

    void viewKindClearsKeysOneWay();
    void rowFontsFollowKeys();

    void paintUsesPaletteOrOverride_data();
    void paintUsesPaletteOrOverride();
    void cornersOfTableAndView();
    void themeColorSchemeFallsBackOnPalette();
    void textColorFollowsThemeAndOverride();
    void renderPictures();

    void focusFrameFollowsTheRow();
    void idIsAStableUuid();

private:
    void renderScene(QGraphicsScene *scene, const QString &file);
};

void tst_EntityItemGeometry::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EntityItemGeometry::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_EntityItemGeometry::freshBoxIsMinimal_data()
{
    QTest::addColumn<QSizeF>("size");
    QTest::newRow("small") << QSizeF(10, 10);
    QTest::newRow("loader size") << QSizeF(150, 70);
    QTest::newRow("large") << QSizeF(500, 300);
}

void tst_EntityItemGeometry::freshBoxIsMinimal()
{
    QFETCH(QSizeF, size);
    EntityItem box(QStringLiteral("t"), size);
    QCOMPARE(box.rect, QRectF(0, 0, 140, 40));
    QCOMPARE(box.boundingRect(), QRectF(-3, -3, 146, 46));
}

void tst_EntityItemGeometry::titleStaysInsideTheHeader()
{
    EntityItem shortBox(QStringLiteral("t"), QSizeF(150, 70));
    const QFontMetricsF fm(shortBox.titleText_->font());
    const qreal advance = fm.horizontalAdvance(QStringLiteral("t"));
    QCOMPARE(shortBox.titleText_->pos().x(), (140 - advance) * 0.5);
    QCOMPARE(shortBox.titleText_->pos().y(), qMax((28 - fm.height()) * 0.5, 2.0));

    EntityItem longBox(QString(60, QLatin1Char('w')), QSizeF(150, 70));
    QVERIFY(longBox.rect.width() > 140);
    QVERIFY(longBox.titleText_->pos().x() >= 10);
    QVERIFY(longBox.titleText_->pos().y() >= 2);
}

void tst_EntityItemGeometry::heightFollowsVisibleRows_data()
{
    QTest::addColumn<int>("perspective");
    QTest::addColumn<qreal>("height");
    QTest::addColumn<int>("visibleCells");
    QTest::newRow("full") << int(Full) << 99.0 << 6;
    QTest::newRow("keys and foreign keys") << int(NamePrimaryForeign) << 81.0 << 4;
    QTest::newRow("primary keys") << int(NamePrimary) << 63.0 << 2;
    QTest::newRow("name only") << int(NameOnly) << 40.0 << 0;
    QTest::newRow("unknown value is full") << 7 << 99.0 << 6;
}

void tst_EntityItemGeometry::heightFollowsVisibleRows()
{
    QFETCH(int, perspective);
    QFETCH(qreal, height);
    QFETCH(int, visibleCells);
    ERScene scene;
    EntityItem *box = entitytest::addBox(&scene, QStringLiteral("t"),
                                         {{"id", "INT", true}, {"ref", "INT", false, false, true},
                                          {"note", "TEXT"}});
    box->setPerspective(perspective);
    QCOMPARE(box->rect.height(), height);
    int shown = 0;
    for (SingleLineTextItem *cell : box->nameItems + box->typeItems)
        shown += cell->isVisible() ? 1 : 0;
    QCOMPARE(shown, visibleCells);
    // Visible rows stack from y = 33 in steps of 18.
    qreal y = 33;
    for (int row = 0; row < box->attributeCount(); ++row) {
        if (!box->isRowVisible(row))
            continue;
        QCOMPARE(box->nameItems.at(row)->pos(), QPointF(10, y));
        y += 18;
    }
}

void tst_EntityItemGeometry::longTypePushesWidth()
{
    ERScene scene;
    const QString longType = QStringLiteral("VARCHAR(2000) NOT NULL DEFAULT 'x'");
    EntityItem *box = entitytest::addBox(&scene, QStringLiteral("t"),
                                         {{"id", "INT", true}, {"description", longType}});
    const QFontMetricsF normal(box->typeItems.at(1)->font());
    qreal maxName = 0;
    qreal maxType = 0;
    for (int row = 0; row < 2; ++row) {
        maxName = qMax(maxName, box->nameItems.at(row)->naturalWidth());
        maxType = qMax(maxType, box->typeItems.at(row)->naturalWidth());
    }
    QVERIFY(maxType >= normal.horizontalAdvance(longType) - 0.01);
    QCOMPARE(box->rect.width(), maxName + 16 + maxType + 20);
    for (int row = 0; row < 2; ++row) {
        SingleLineTextItem *type = box->typeItems.at(row);
        QCOMPARE(type->pos().x() + type->naturalWidth(), box->rect.width() - 10);
    }
}

void tst_EntityItemGeometry::veryLongTextGrowsTheBox()
{
    ERScene scene;
    const QString huge(10000, QLatin1Char('n'));
    QElapsedTimer timer;
    timer.start();
    EntityItem *box = entitytest::addBox(&scene, QStringLiteral("t"), {{huge, huge}});
    QVERIFY(box->rect.width() > box->nameItems.first()->naturalWidth() * 2);
    QVERIFY2(timer.elapsed() < 5000, "a long name must not hang the layout");
}

void tst_EntityItemGeometry::slotForScenePointPicksFacingSide_data()
{
    QTest::addColumn<QPointF>("offset"); // from the box centre
    QTest::addColumn<int>("side");
    QTest::addColumn<QPointF>("slotPos"); // item coordinates, box 140 x 40
    QTest::newRow("far right") << QPointF(500, 30) << int(EntitySide::Right) << QPointF(140, 20);
    QTest::newRow("far left") << QPointF(-500, -30) << int(EntitySide::Left) << QPointF(0, 20);
    QTest::newRow("below") << QPointF(10, 200) << int(EntitySide::Bottom) << QPointF(70, 40);
    QTest::newRow("above") << QPointF(-10, -200) << int(EntitySide::Top) << QPointF(70, 0);
    QTest::newRow("tie goes to bottom") << QPointF(50, 50) << int(EntitySide::Bottom) << QPointF(70, 40);
    QTest::newRow("tie goes to top") << QPointF(50, -50) << int(EntitySide::Top) << QPointF(70, 0);
    QTest::newRow("centre itself is top") << QPointF(0, 0) << int(EntitySide::Top) << QPointF(70, 0);
}

void tst_EntityItemGeometry::slotForScenePointPicksFacingSide()
{
    QFETCH(QPointF, offset);
    QFETCH(int, side);
    QFETCH(QPointF, slotPos);
    ERScene scene;
    EntityItem *box = entitytest::addBox(&scene, QStringLiteral("t"), {}, QPointF(300, 200));
    QCOMPARE(box->rect.size(), QSizeF(140, 40));
    const QPointF centre = box->sceneBoundingRect().center();
    SlotItem *slot = box->slotForScenePoint(centre + offset);
    QVERIFY(slot);
    QCOMPARE(int(slot->side()), side);
    QCOMPARE(slot->pos(), slotPos);
    QCOMPARE(slot->parentItem(), box);
    QCOMPARE(box->slotItems.size(), 1);
}

void tst_EntityItemGeometry::releasedSlotIsReused()
{
    ERScene scene;
    EntityItem *box = entitytest::addBox(&scene, QStringLiteral("t"), {});
    EdgeItem holder(nullptr, nullptr, false);
    SlotItem *first = box->slotForScenePoint(QPointF(1000, 20));
    first->setEdge(&holder);
    SlotItem *second = box->slotForScenePoint(QPointF(-1000, 20));
    QVERIFY(second != first);
    second->setEdge(&holder);
    QCOMPARE(box->slotItems.size(), 2);

    box->releaseSlot(first);
    QCOMPARE(first->edge(), nullptr);
    QVERIFY(!first->isRevealed());
    SlotItem *again = box->slotForScenePoint(QPointF(70, 1000));
    QCOMPARE(again, first);
    QCOMPARE(again->side(), EntitySide::Bottom);
    QCOMPARE(box->slotItems.size(), 2);
    second->setEdge(nullptr);
    first->setEdge(nullptr);

    // A slot of another box is not released.
    EntityItem *other = entitytest::addBox(&scene, QStringLiteral("o"), {});
    SlotItem *foreign = other->freeSlot();
    foreign->setEdge(&holder);
    box->releaseSlot(foreign);
    QCOMPARE(foreign->edge(), &holder);
    foreign->setEdge(nullptr);
    box->releaseSlot(nullptr);
}

void tst_EntityItemGeometry::freeSlotStaysInsideTheBox()
{
    EntityItem box(QStringLiteral("t"), QSizeF(150, 70));
    EdgeItem holder(nullptr, nullptr, false);
    SlotItem *a = box.freeSlot();
    QCOMPARE(a->pos(), QPointF(8, 38));
    a->setEdge(&holder);
    SlotItem *b = box.freeSlot();
    // (8, 58) lies below the 40-high box and is clamped into it.
    QCOMPARE(b->pos(), QPointF(8, 40));
    QCOMPARE(box.freeSlot(), b);
    a->setEdge(nullptr);
}

void tst_EntityItemGeometry::viewKindClearsKeysOneWay()
{
    ERScene scene;
    EntityItem *box = entitytest::addBox(&scene, QStringLiteral("t"),
                                         {{"id", "INT", true}, {"code", "TEXT", false, true},
                                          {"ref", "INT", false, false, true}});
    box->setAttributeForeignKey(2, QStringLiteral("edge-1"));
    QVERIFY(box->nameItems.at(0)->isUnderlined());
    QCOMPARE(box->nameItems.at(0)->font().weight(), QFont::Bold);

    box->setKind(EntityKind::View);
    for (int row = 0; row < 3; ++row) {
        const EntityItem::Attribute &a = box->attributes.at(row);
        QVERIFY(!a.isPrimaryKey && !a.isUniqueKey && !a.isForeignKey && !a.isKey);
        QVERIFY(a.fkEdgeId.isEmpty());
        QCOMPARE(box->nameItems.at(row)->font().weight(), QFont::Normal);
        QVERIFY(!box->nameItems.at(row)->font().italic());
        QVERIFY(!box->nameItems.at(row)->isUnderlined());
    }
    // Table-only operations do nothing on a view.
    box->setAttributeKeyFlags(0, true, false);
    box->setAttributeForeignKey(0, QStringLiteral("edge-2"));
    QVERIFY(!box->isAttributePrimaryKey(0));
    QVERIFY(!box->isAttributeForeignKey(0));

    box->setKind(EntityKind::Table);
    QVERIFY(!box->isAttributePrimaryKey(0));
    QVERIFY(box->attributeFkEdgeId(2).isEmpty());
}

void tst_EntityItemGeometry::rowFontsFollowKeys()
{
    ERScene scene;
    EntityItem *table = entitytest::addBox(&scene, QStringLiteral("t"),
                                           {{"id", "INT", true}, {"code", "TEXT", false, true},
                                            {"ref", "INT", false, false, true}, {"plain", "TEXT"}});
    struct Expect { bool bold; bool italic; bool underlined; };
    const Expect expected[] = {{true, false, true}, {true, false, false}, {false, true, false},
                               {false, false, false}};
    for (int row = 0; row < 4; ++row) {
        const QFont name = table->nameItems.at(row)->font();
        const QFont type = table->typeItems.at(row)->font();
        QCOMPARE(name.weight() == QFont::Bold, expected[row].bold);
        QCOMPARE(type.weight() == QFont::Bold, expected[row].bold);
        QCOMPARE(name.italic(), expected[row].italic);
        QCOMPARE(type.italic(), expected[row].italic);
        QCOMPARE(table->nameItems.at(row)->isUnderlined(), expected[row].underlined);
        QVERIFY(!table->typeItems.at(row)->isUnderlined());
    }

    // Inherited view rows are italic and never bold, even with a key flag.
    EntityItem *view = entitytest::addBox(&scene, QStringLiteral("v"), {}, QPointF(), true);
    view->addAttributeRow(QStringLiteral("id"), QStringLiteral("INT"), true, false, false, true);
    QVERIFY(view->attributes.first().inherited);
    QCOMPARE(view->nameItems.first()->font().weight(), QFont::Normal);
    QVERIFY(view->nameItems.first()->font().italic());
    QVERIFY(!view->nameItems.first()->isUnderlined());
}

void tst_EntityItemGeometry::paintUsesPaletteOrOverride_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<QColor>("bodyOverride");
    QTest::addColumn<QColor>("headerOverride");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QColor>("body");
    QTest::addColumn<QColor>("header");
    QTest::addColumn<QColor>("outline");

    const ThemePalette light = ThemeManager::lightColors();
    const ThemePalette dark = ThemeManager::darkColors();
    const QColor none(Qt::transparent);
    const QColor invalid;
    QTest::newRow("light defaults") << false << none << none << false << light.surface
                                    << light.header << QColor(Qt::black);
    QTest::newRow("dark defaults") << true << none << none << false << dark.surface << dark.header
                                   << QColor(0xa0, 0xa0, 0xa4);
    QTest::newRow("light selected") << false << none << none << true << light.surface
                                    << light.header << light.selection;
    QTest::newRow("dark selected") << true << none << none << true << dark.surface << dark.header
                                   << dark.selection;
    QTest::newRow("light overrides") << false << QColor(200, 30, 30) << QColor(30, 160, 30) << false
                                     << QColor(200, 30, 30) << QColor(30, 160, 30) << QColor(Qt::black);
    QTest::newRow("dark overrides") << true << QColor(20, 20, 120) << QColor(120, 90, 0) << false
                                    << QColor(20, 20, 120) << QColor(120, 90, 0) << QColor(0xa0, 0xa0, 0xa4);
    QTest::newRow("invalid overrides, light") << false << invalid << invalid << false
                                              << light.surface << light.header << QColor(Qt::black);
    QTest::newRow("invalid overrides, dark") << true << invalid << invalid << false << dark.surface
                                             << dark.header << QColor(0xa0, 0xa0, 0xa4);
}

void tst_EntityItemGeometry::paintUsesPaletteOrOverride()
{
    QFETCH(bool, dark);
    QFETCH(QColor, bodyOverride);
    QFETCH(QColor, headerOverride);
    QFETCH(bool, selected);
    QFETCH(QColor, body);
    QFETCH(QColor, header);
    QFETCH(QColor, outline);

    ThemeManager::instance()->setTheme(dark ? ThemeKind::Dark : ThemeKind::Light);
    ERScene scene;
    EntityItem *box = entitytest::addBox(&scene, QStringLiteral("t"), {{"id", "INT", true}});
    if (dark) {
        box->bgDark = bodyOverride;
        box->hdrDark = headerOverride;
    } else {
        box->bgLight = bodyOverride;
        box->hdrLight = headerOverride;
    }
    const QImage image = entitytest::paintBox(box, selected);
    QCOMPARE(entitytest::pixelAt(image, 70, 50).rgb(), body.rgb());
    QCOMPARE(entitytest::pixelAt(image, 70, 14).rgb(), header.rgb());
    // The 2-wide outline is centred on the left edge; the middle of the side is solid.
    QCOMPARE(entitytest::pixelAt(image, 0, 45).rgb(), outline.rgb());
    QCOMPARE(entitytest::pixelAt(image, 70, 28).rgb(), outline.rgb());
}

void tst_EntityItemGeometry::cornersOfTableAndView()
{
    ERScene scene;
    EntityItem *table = entitytest::addBox(&scene, QStringLiteral("t"), {{"id", "INT", true}});
    EntityItem *view = entitytest::addBox(&scene, QStringLiteral("v"), {{"id", "INT"}}, QPointF(), true);
    // Pixel (1, 1) lies on the outline of a corner of radius 6 and well outside one of
    // radius 12; pixel (3, 3) inside the one and on the outline of the other.
    const QRgb untouched = QColor(255, 0, 255).rgb();
    const QImage tableImage = entitytest::paintBox(table, false);
    const QImage viewImage = entitytest::paintBox(view, false);
    QVERIFY(entitytest::pixelAt(tableImage, 1, 1).rgb() != untouched);
    QCOMPARE(entitytest::pixelAt(viewImage, 1, 1).rgb(), untouched);
    QCOMPARE(entitytest::pixelAt(tableImage, 3, 3).rgb(), ThemeManager::lightColors().header.rgb());
    QVERIFY(entitytest::pixelAt(viewImage, 3, 3).rgb() != ThemeManager::lightColors().header.rgb());
}

void tst_EntityItemGeometry::themeColorSchemeFallsBackOnPalette()
{
    EntityItem box(QStringLiteral("t"), QSizeF(150, 70));
    DualThemeColorScheme defaults = box.colorScheme();
    const ThemePalette light = ThemeManager::lightColors();
    const ThemePalette dark = ThemeManager::darkColors();
    QCOMPARE(defaults.light.background, light.surface);
    QCOMPARE(defaults.light.header, light.header);
    QCOMPARE(defaults.light.border, QColor(Qt::black));
    QCOMPARE(defaults.light.text, light.text);
    QCOMPARE(defaults.dark.background, dark.surface);
    QCOMPARE(defaults.dark.border, QColor(0xa0, 0xa0, 0xa4));
    QCOMPARE(defaults.dark.text, dark.text);

    // The fixed palettes count, not the current theme.
    ThemeManager::instance()->setTheme(ThemeKind::Dark);
    QCOMPARE(box.colorScheme(), defaults);

    // Invalid colours are stored as given and read as not set.
    EntityColorScheme odd{QColor(), QColor(1, 2, 3), QColor(), QColor(Qt::transparent)};
    box.setColorScheme({odd, odd});
    QVERIFY(!box.bgLight.isValid());
    QVERIFY(!box.fgDark.isValid());
    const EntityColorScheme seen = box.themeColorScheme(true);
    QCOMPARE(seen.background, dark.surface);
    QCOMPARE(seen.header, QColor(1, 2, 3));
    QCOMPARE(seen.border, dark.border);
    QCOMPARE(seen.text, dark.text);
}

void tst_EntityItemGeometry::textColorFollowsThemeAndOverride()
{
    ERScene scene;
    EntityItem *box = entitytest::addBox(&scene, QStringLiteral("t"), {{"id", "INT", true}});
    QCOMPARE(box->titleText_->defaultTextColor(), ThemeManager::lightColors().text);
    ThemeManager::instance()->setTheme(ThemeKind::Dark);
    QCOMPARE(box->titleText_->defaultTextColor(), ThemeManager::darkColors().text);
    QCOMPARE(box->nameItems.first()->defaultTextColor(), ThemeManager::darkColors().text);

    box->txtDark = QColor(250, 200, 0);
    box->onThemeChanged();
    QCOMPARE(box->typeItems.first()->defaultTextColor(), QColor(250, 200, 0));
    QCOMPARE(box->nameItems.first()->toPlainText(), QStringLiteral("id"));

    // An invalid override is no colour: the palette text, not black on a dark body.
    box->txtDark = QColor();
    box->applyTextColors();
    QCOMPARE(box->titleText_->defaultTextColor(), ThemeManager::darkColors().text);
    box->addAttributeRow(QStringLiteral("x"), QStringLiteral("INT"), false, false, false, false);
    QCOMPARE(box->nameItems.last()->defaultTextColor(), ThemeManager::darkColors().text);
}

void tst_EntityItemGeometry::renderScene(QGraphicsScene *scene, const QString &file)
{
    const QRectF source = scene->itemsBoundingRect().adjusted(-20, -20, 20, 20);
    QImage image(source.size().toSize() * 2, QImage::Format_ARGB32);
    image.fill(ThemeManager::instance()->colors().background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    scene->render(&painter, QRectF(QPointF(0, 0), image.size()), source);
    painter.end();
    QVERIFY(image.save(testsupport::outputDir(QStringLiteral("tst_entityitem_geometry")) + "/" + file));
}

void tst_EntityItemGeometry::renderPictures()
{
    for (const bool dark : {false, true}) {
        ThemeManager::instance()->setTheme(dark ? ThemeKind::Dark : ThemeKind::Light);
        ERScene scene;
        EntityItem *table = entitytest::addBox(
            &scene, QStringLiteral("customer"),
            {{"customer_id", "BIGINT", true}, {"email", "VARCHAR(200)", false, true},
             {"region_id", "INT", false, false, true}, {"note", "TEXT"}}, QPointF(0, 0));
        EntityItem *view = entitytest::addBox(&scene, QStringLiteral("active_customers"), {},
                                              QPointF(260, 0), true);
        view->inheritAttributesFrom(table, QStringLiteral("link"));

        EntityItem *selected = entitytest::addBox(&scene, QStringLiteral("selected"),
                                                  {{"id", "INT", true}, {"name", "TEXT"}},
                                                  QPointF(0, 160));
        selected->setSelected(true);

        EntityItem *colored = entitytest::addBox(&scene, QStringLiteral("colored"),
                                                 {{"id", "INT", true}, {"label", "TEXT"}},
                                                 QPointF(260, 160));
        colored->setColorScheme({{QColor(255, 240, 200), QColor(240, 180, 60), QColor(150, 90, 0),
                                  QColor(90, 40, 0)},
                                 {QColor(40, 30, 10), QColor(110, 70, 10), QColor(240, 180, 60),
                                  QColor(255, 230, 180)}});

        EntityItem *dragged = entitytest::addBox(&scene, QStringLiteral("dragging"),
                                                 {{"a", "INT", true}, {"b", "TEXT"}, {"c", "TEXT"}},
                                                 QPointF(0, 280));
        dragged->onAttributeDragStarted(dragged->nameItems.at(0),
                                        dragged->mapToScene(QPointF(20, 40)));
        dragged->onAttributeDragMoved(QPointF(20, 33 + 2 * 18));
        QVERIFY(dragged->dragActive);
        QCOMPARE(dragged->dropGap, 2);

        renderScene(&scene, dark ? QStringLiteral("entities_dark.png")
                                 : QStringLiteral("entities_light.png"));
        dragged->finishAttributeDrag();
    }
}

void tst_EntityItemGeometry::focusFrameFollowsTheRow()
{
    ERScene scene;
    QGraphicsView view(&scene);
    view.resize(600, 400);
    view.show();
    view.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&view));

    EntityItem *box = entitytest::addBox(&scene, QStringLiteral("t"),
                                         {{"a", "INT", true}, {"b", "TEXT"}});
    EntityItem *other = entitytest::addBox(&scene, QStringLiteral("o"), {{"x", "INT"}},
                                           QPointF(300, 0));

    box->nameItems.at(0)->beginEditing();
    QCOMPARE(box->activeRow, 0);
    QVERIFY(box->nameItems.at(0)->isFocusFrameVisible());
    QVERIFY(box->typeItems.at(0)->isFocusFrameVisible());

    box->typeItems.at(0)->beginEditing();
    QCoreApplication::processEvents();
    QCOMPARE(box->activeRow, 0);
    QVERIFY(box->nameItems.at(0)->isFocusFrameVisible());
    QVERIFY(box->typeItems.at(0)->isFocusFrameVisible());

    box->nameItems.at(1)->beginEditing();
    QCoreApplication::processEvents();
    QCOMPARE(box->activeRow, 1);
    QVERIFY(!box->nameItems.at(0)->isFocusFrameVisible());
    QVERIFY(!box->typeItems.at(0)->isFocusFrameVisible());
    QVERIFY(box->typeItems.at(1)->isFocusFrameVisible());

    other->nameItems.at(0)->beginEditing();
    QCoreApplication::processEvents();
    QCOMPARE(box->activeRow, -1);
    QVERIFY(!box->nameItems.at(1)->isFocusFrameVisible());
    QCOMPARE(other->activeRow, 0);

    scene.clearFocus();
    QCoreApplication::processEvents();
    QCOMPARE(other->activeRow, -1);
}

void tst_EntityItemGeometry::idIsAStableUuid()
{
    EntityItem box(QStringLiteral("t"), QSizeF(150, 70));
    QVERIFY(box.storedId.isEmpty());
    const QString id = box.id();
    QVERIFY(!QUuid::fromString(id).isNull());
    QVERIFY(!id.startsWith(QLatin1Char('{')));
    QCOMPARE(box.id(), id);
    QCOMPARE(box.storedId, id);
    QCOMPARE(box.toJson().value(QStringLiteral("id")).toString(), id);

    EntityItem named(QStringLiteral("n"), QSizeF(150, 70));
    named.storedId = QStringLiteral("table-7");
    QCOMPARE(named.id(), QStringLiteral("table-7"));
}

QTEST_MAIN(tst_EntityItemGeometry)
#include "tst_entityitem_geometry.moc"
