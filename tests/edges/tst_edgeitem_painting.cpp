// How a relationship edge draws: its bounding shapes, the crow's-foot markers at exact
// distances from the ends, the view link's arrow head, a line mostly out of view, and a
// gallery to look at.
#include "edgeitem.h"
#include "edgetestutil.h"
#include "entityitem.h"
#include "entityviewedgeitem.h"
#include "slotitem.h"
#include "testsupport.h"
#include "thememanager.h"

#include <QGraphicsScene>
#include <QGraphicsView>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionGraphicsItem>
#include <QtTest>

#include <cmath>

using edgetest::addBox;
using edgetest::addEdge;

namespace {

const QColor Blank(3, 200, 5);
const QPointF Start(50, 50);
const QPointF End(350, 50);

QImage paintEdge(EdgeItem *edge, bool selected)
{
    QImage image(400, 100, QImage::Format_ARGB32);
    image.fill(Blank);
    QPainter painter(&image);
    QStyleOptionGraphicsItem option;
    if (selected)
        option.state |= QStyle::State_Selected;
    edge->paint(&painter, &option, nullptr);
    return image;
}

// The part of the edge's item coordinates in view, painted at scale onto an image of its
// size, as a view does, with exposed as the exposed rectangle.
QImage paintInView(EdgeItem *edge, const QRectF &view, double scale, const QRectF &exposed)
{
    QImage image((view.size() * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(ThemeManager::instance()->colors().background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.translate(-view.topLeft());
    QStyleOptionGraphicsItem option;
    option.state = QStyle::State_Enabled;
    if (edge->isSelected())
        option.state |= QStyle::State_Selected;
    option.exposedRect = exposed;
    edge->paint(&painter, &option, nullptr);
    return image;
}

// Whether colour appears within one pixel of p.
bool inkNear(const QImage &image, const QPointF &p, const QColor &colour)
{
    const QPoint c = p.toPoint();
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (image.pixelColor(c + QPoint(dx, dy)) == colour)
                return true;
        }
    }
    return false;
}

} // namespace

class tst_EdgeItemPainting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void horizontalLineHasRoomForMarkers();
    void shapeTakesClicksNearTheLine();
    void markersSitAtTheirDistances_data();
    void markersSitAtTheirDistances();
    void unknownCardinalityDrawsNoMarker();
    void viewArrowPointsIntoTable_data();
    void viewArrowPointsIntoTable();
    void removingTableKeyKeepsViewLink();
    void lineOutOfViewPaintsTheSamePixels_data();
    void lineOutOfViewPaintsTheSamePixels();
    void partOfSceneShowsTheSamePixels_data();
    void partOfSceneShowsTheSamePixels();
    void gallery_data();
    void gallery();

private:
    QGraphicsScene *m_scene = nullptr;
};

void tst_EdgeItemPainting::initTestCase()
{
    QVERIFY(!testsupport::registerBundledMonoFont().isEmpty());
}

void tst_EdgeItemPainting::init()
{
    ThemeManager::instance()->setTheme(ThemeKind::Light);
    edgetest::resetRouting();
    m_scene = new QGraphicsScene;
}

void tst_EdgeItemPainting::cleanup()
{
    edgetest::clearScene(m_scene);
    delete m_scene;
    m_scene = nullptr;
    ThemeManager::instance()->setTheme(ThemeKind::Light);
}

void tst_EdgeItemPainting::horizontalLineHasRoomForMarkers()
{
    EdgeItem edge(nullptr, nullptr, false);
    edge.applyRoundedPath({ Start, End });
    const QRectF r = edge.boundingRect();
    QVERIFY(r.top() <= Start.y() - 22.5);
    QVERIFY(r.bottom() >= Start.y() + 22.5);
    QVERIFY(r.left() <= Start.x() - 20);
    QVERIFY(r.right() >= End.x() + 20);

    edge.applyRoundedPath({ QPointF(50, 0), QPointF(50, 300) });
    QVERIFY(edge.boundingRect().left() <= 50 - 22.5);
    QVERIFY(edge.boundingRect().right() >= 50 + 22.5);
}

void tst_EdgeItemPainting::shapeTakesClicksNearTheLine()
{
    EdgeItem edge(nullptr, nullptr, false);
    edge.applyRoundedPath({ Start, End });
    QVERIFY(edge.shape().contains(QPointF(200, 60)));
    QVERIFY(!edge.shape().contains(QPointF(200, 62)));
}

void tst_EdgeItemPainting::markersSitAtTheirDistances_data()
{
    QTest::addColumn<int>("card");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QList<QPointF>>("inked");   // offsets from the end, along and across the line
    QTest::addColumn<QList<QPointF>>("clear");

    const double s = 4.9;
    for (bool selected : { false, true }) {
        const QByteArray state = selected ? " selected" : "";
        QTest::newRow("One" + state) << 0 << selected << QList<QPointF>{ { 14, -s + 1 }, { 9.1, -s + 1 }, { 14, s - 1 } }
                                     << QList<QPointF>{ { 12, -s + 1 }, { 21.84, -s } };
        QTest::newRow("Many" + state) << 1 << selected
                                      << QList<QPointF>{ { 14, -s + 1 }, { 7, -s / 2 }, { 7, s / 2 }, { 1, -s + 0.5 } }
                                      << QList<QPointF>{ { 9.1, -s + 1 }, { 21.84, -s } };
        QTest::newRow("Zero or One" + state) << 2 << selected
                                             << QList<QPointF>{ { 14, -s + 1 }, { 21.84, -s }, { 21.84, s }, { 21.84 + s, 0 } }
                                             << QList<QPointF>{ { 9.1, -s + 1 }, { 7, -s / 2 } };
        QTest::newRow("Zero or Many" + state) << 3 << selected
                                              << QList<QPointF>{ { 21.84, -s }, { 7, -s / 2 }, { 7, s / 2 } }
                                              << QList<QPointF>{ { 14, -s + 1 }, { 9.1, -s + 1 } };
    }
}

void tst_EdgeItemPainting::markersSitAtTheirDistances()
{
    QFETCH(int, card);
    QFETCH(bool, selected);
    QFETCH(QList<QPointF>, inked);
    QFETCH(QList<QPointF>, clear);

    const ThemePalette palette = ThemeManager::instance()->colors();
    const QColor ink = selected ? palette.selection : palette.border;
    for (bool atStart : { true, false }) {
        EdgeItem edge(nullptr, nullptr, false);
        edge.applyRoundedPath({ Start, End });
        edge.startCard = atStart ? card : -1;
        edge.endCard = atStart ? -1 : card;
        const QImage image = paintEdge(&edge, selected);
        image.save(testsupport::outputDir("tst_edgeitem_painting")
                   + QStringLiteral("/marker_%1_%2%3.png").arg(card).arg(atStart ? "start" : "end").arg(selected ? "_selected" : ""));
        // Offsets run from the end into the line.
        const auto at = [&](const QPointF &offset) {
            return atStart ? Start + QPointF(offset.x(), offset.y()) : End + QPointF(-offset.x(), offset.y());
        };
        for (const QPointF &offset : inked)
            QVERIFY2(inkNear(image, at(offset), ink), qPrintable(QStringLiteral("no ink at %1, %2").arg(offset.x()).arg(offset.y())));
        for (const QPointF &offset : clear)
            QVERIFY2(image.pixelColor(at(offset).toPoint()) == Blank,
                     qPrintable(QStringLiteral("ink at %1, %2").arg(offset.x()).arg(offset.y())));
        if (card >= 2) {
            // The circle's fill hides the line beneath it.
            QCOMPARE(image.pixelColor(at(QPointF(21.84, 0)).toPoint()), palette.background);
        }
    }
}

void tst_EdgeItemPainting::unknownCardinalityDrawsNoMarker()
{
    EdgeItem edge(nullptr, nullptr, false);
    edge.applyRoundedPath({ Start, End });
    edge.startCard = 7;
    edge.endCard = -2;
    const QImage image = paintEdge(&edge, false);
    const QColor border = ThemeManager::instance()->colors().border;
    // Off the line (which has the border's colour in both themes) nothing is drawn.
    for (int x = 30; x < 380; ++x) {
        for (int y = 40; y < 60; ++y) {
            if (y < 48 || y > 52)
                QVERIFY(image.pixelColor(x, y) != border);
        }
    }
    QCOMPARE(image.pixelColor(200, 50), ThemeManager::instance()->colors().line);
}

void tst_EdgeItemPainting::viewArrowPointsIntoTable_data()
{
    QTest::addColumn<bool>("fromIsView");
    QTest::addColumn<bool>("toIsView");
    QTest::addColumn<bool>("headAtEnd");
    QTest::newRow("view to table") << true << false << true;
    QTest::newRow("table to view") << false << true << false;
    QTest::newRow("view to view") << true << true << true;
}

void tst_EdgeItemPainting::viewArrowPointsIntoTable()
{
    QFETCH(bool, fromIsView);
    QFETCH(bool, toIsView);
    QFETCH(bool, headAtEnd);
    EntityItem *a = addBox(m_scene, "a", QPointF(0, 0));
    EntityItem *b = addBox(m_scene, "b", QPointF(400, 0));
    if (fromIsView)
        a->setKind(EntityKind::View);
    if (toIsView)
        b->setKind(EntityKind::View);
    auto *edge = addEdge<EntityViewEdgeItem>(m_scene, a, b, false);
    edge->applyRoundedPath({ Start, End });
    const QImage image = paintEdge(edge, false);
    const QColor line = ThemeManager::instance()->colors().line;
    // 10 behind the tip the head is 4.2 high on each side of the line; the tip is 4.2 short of the end.
    const QPointF headAtStart = Start + QPointF(4.2 + 10, -3);
    const QPointF headAtFinish = End + QPointF(-4.2 - 10, -3);
    QCOMPARE(image.pixelColor((headAtEnd ? headAtFinish : headAtStart).toPoint()), line);
    QCOMPARE(image.pixelColor((headAtEnd ? headAtStart : headAtFinish).toPoint()), Blank);
    // No cardinality marker where the head is not.
    const QPointF barPlace = headAtEnd ? Start + QPointF(14, -4) : End + QPointF(-14, -4);
    QCOMPARE(image.pixelColor(barPlace.toPoint()), Blank);

    const QImage selected = paintEdge(edge, true);
    QCOMPARE(selected.pixelColor((headAtEnd ? headAtFinish : headAtStart).toPoint()),
             ThemeManager::instance()->colors().accent);
}

void tst_EdgeItemPainting::removingTableKeyKeepsViewLink()
{
    EntityItem *table = addBox(m_scene, "t", QPointF(0, 0), { "id" }, { "name" });
    EntityItem *view = addBox(m_scene, "v", QPointF(400, 0), {}, { "name" });
    view->setKind(EntityKind::View);
    QPointer<EntityViewEdgeItem> link = addEdge<EntityViewEdgeItem>(m_scene, view, table);
    QVERIFY(table->isAttributePrimaryKey(0));
    table->removeAttribute(0);
    QCOMPARE(table->attributeName(0), QStringLiteral("name"));
    QVERIFY(link);
    QVERIFY(table->edges.contains(link.data()));
}

void tst_EdgeItemPainting::lineOutOfViewPaintsTheSamePixels_data()
{
    QTest::addColumn<QList<QPointF>>("route");
    QTest::addColumn<QRectF>("view");
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("highlighted");
    QTest::addColumn<int>("card");

    const QRectF view(0, 0, 400, 100);
    const QList<QPointF> across{ { -3000, -2000 }, { -3000, 50 }, { 3000, 50 }, { 3000, 2000 } };
    const QList<QPointF> endingInside{ { -3000, -2000 }, { -3000, 50 }, { 200, 50 } };
    // Half a pen width outside the left edge: its antialiased rim reaches the first column.
    const QList<QPointF> besideEdge{ { -0.6, -3000 }, { -0.6, 50 }, { 3000, 50 }, { 3000, 3000 } };
    const QList<QPointF> cornerOutside{ { -3000, -0.5 }, { -0.5, -0.5 }, { -0.5, 3000 } };
    const QList<QPointF> stairs{ { -900, -700 }, { -900, 20 }, { 120, 20 }, { 120, 80 }, { 900, 80 }, { 900, 900 } };
    // Ends out of view whose markers reach into it.
    const QList<QPointF> markerOutside{ { 3000, -2000 }, { 3000, 50 }, { -24, 50 } };
    const QList<QPointF> markerAbove{ { 200, -24 }, { 200, 3000 } };
    QTest::newRow("across the view") << across << view << 1.0 << false << false << 1;
    QTest::newRow("ending inside") << endingInside << view << 1.0 << false << false << 1;
    QTest::newRow("beside the edge") << besideEdge << view << 1.0 << false << false << 1;
    QTest::newRow("corner just outside") << cornerOutside << view << 1.0 << false << false << 1;
    QTest::newRow("stairs through the view") << stairs << view << 1.0 << false << false << 1;
    QTest::newRow("selected") << across << view << 1.0 << true << false << 1;
    QTest::newRow("selected corner just outside") << cornerOutside << view << 1.0 << true << false << 1;
    QTest::newRow("highlighted") << across << view << 1.0 << false << true << 1;
    QTest::newRow("highlighted beside the edge") << besideEdge << view << 1.0 << false << true << 1;
    QTest::newRow("zoomed in beside the edge") << besideEdge << QRectF(0, 0, 100, 25) << 4.0 << false << false << 1;
    QTest::newRow("zoomed in corner") << cornerOutside << QRectF(0, 0, 100, 25) << 4.0 << false << false << 1;
    QTest::newRow("zoomed out") << stairs << QRectF(-400, -100, 4000, 1000) << 0.1 << false << false << 1;
    QTest::newRow("many marker just outside") << markerOutside << view << 1.0 << false << false << 1;
    QTest::newRow("zero or one marker just outside") << markerOutside << view << 1.0 << false << false << 2;
    QTest::newRow("zero or many marker above") << markerAbove << view << 1.0 << true << false << 3;
    QTest::newRow("zoomed out across") << across << QRectF(-500, 0, 4000, 1000) << 0.1 << false << false << 1;
}

void tst_EdgeItemPainting::lineOutOfViewPaintsTheSamePixels()
{
    QFETCH(QList<QPointF>, route);
    QFETCH(QRectF, view);
    QFETCH(double, scale);
    QFETCH(bool, selected);
    QFETCH(bool, highlighted);
    QFETCH(int, card);

    auto *edge = new EdgeItem(nullptr, nullptr, false);
    m_scene->addItem(edge);
    edge->applyRoundedPath(route);
    edge->startCard = card;
    edge->endCard = card;
    edge->setSelected(selected);
    edge->highlighted = highlighted;
    edge->applyPen();
    QCOMPARE(edge->isSelected(), selected);

    // Painted only where exposed, and painted whole as an item without the exposed area is.
    const QImage inView = paintInView(edge, view, scale, view);
    const QImage whole = paintInView(edge, view, scale, edge->boundingRect());
    const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString dir = testsupport::outputDir("tst_edgeitem_painting");
    QVERIFY(inView.save(dir + QStringLiteral("/out_of_view_%1.png").arg(name)));
    if (inView != whole)
        QVERIFY(whole.save(dir + QStringLiteral("/out_of_view_%1_whole.png").arg(name)));

    const QColor background = ThemeManager::instance()->colors().background;
    bool inked = false;
    for (int y = 0; y < whole.height() && !inked; ++y) {
        for (int x = 0; x < whole.width() && !inked; ++x)
            inked = whole.pixelColor(x, y) != background;
    }
    QVERIFY2(inked, "the line passes through the view");
    QVERIFY2(inView == whole, "every pixel is the same");
}

void tst_EdgeItemPainting::partOfSceneShowsTheSamePixels_data()
{
    QTest::addColumn<bool>("throughView");
    QTest::addColumn<double>("scale");
    QTest::newRow("scene rendered") << false << 1.0;
    QTest::newRow("scene rendered zoomed in") << false << 3.0;
    QTest::newRow("view") << true << 1.0;
    QTest::newRow("view zoomed out") << true << 0.3;
}

// A hub of long edges, part of it shown by a view or rendered from the scene: the edges
// leave out what is out of view only where that changes no pixel.
void tst_EdgeItemPainting::partOfSceneShowsTheSamePixels()
{
    QFETCH(bool, throughView);
    QFETCH(double, scale);

    EntityItem *hub = addBox(m_scene, "hub", QPointF(0, 0));
    QList<EdgeItem *> edges;
    for (int i = 0; i < 12; ++i) {
        const double angle = i * 6.283185307179586 / 12;
        const double reach = i % 2 == 0 ? 1.0 : 0.4; // near ones turn within the picture
        EntityItem *spoke = addBox(m_scene, QStringLiteral("spoke_%1").arg(i),
                                   QPointF(1400 * reach * std::cos(angle), 900 * reach * std::sin(angle)));
        EdgeItem *edge = addEdge(m_scene, spoke, hub);
        edge->startCard = i % 4;
        edges.append(edge);
    }
    edges.first()->setSelected(true);
    QCoreApplication::processEvents();

    const QRectF shown(-260, -180, 700, 420);
    const auto picture = [&] {
        QImage image((shown.size() * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        if (throughView) {
            QGraphicsView view(m_scene);
            view.setRenderHint(QPainter::Antialiasing);
            view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            view.setFrameShape(QFrame::NoFrame);
            view.resize(image.size());
            view.setTransform(QTransform::fromScale(scale, scale));
            view.centerOn(shown.center());
            view.viewport()->render(&image);
        } else {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            m_scene->render(&painter, QRectF(QPointF(), image.size()), shown);
        }
        return image;
    };
    const QImage leavingOut = picture();
    for (EdgeItem *edge : std::as_const(edges))
        edge->setFlag(QGraphicsItem::ItemUsesExtendedStyleOption, false);
    const QImage whole = picture();

    const QString name = QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_'));
    const QString dir = testsupport::outputDir("tst_edgeitem_painting");
    QVERIFY(leavingOut.save(dir + QStringLiteral("/part_of_%1.png").arg(name)));
    if (leavingOut != whole)
        QVERIFY(whole.save(dir + QStringLiteral("/part_of_%1_whole.png").arg(name)));
    QVERIFY2(leavingOut == whole, "every pixel is the same");
}

void tst_EdgeItemPainting::gallery_data()
{
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void tst_EdgeItemPainting::gallery()
{
    QFETCH(bool, dark);
    ThemeManager::instance()->setTheme(dark ? ThemeKind::Dark : ThemeKind::Light);

    // The four markers at both ends, one edge per kind; the last one selected.
    const QStringList kinds{ "One", "Many", "Zero or One", "Zero or Many" };
    QList<EdgeItem *> markerEdges;
    for (int k = 0; k < 4; ++k) {
        EntityItem *a = addBox(m_scene, kinds.at(k), QPointF(0, 20 + 110 * k));
        EntityItem *b = addBox(m_scene, kinds.at(k) + " too", QPointF(330, 20 + 110 * k));
        EdgeItem *edge = addEdge(m_scene, a, b);
        edge->startCard = k;
        edge->endCard = k;
        markerEdges.append(edge);
    }
    markerEdges.last()->setSelected(true);

    // A route around a middle box, and a slot being dragged on another edge.
    EntityItem *left = addBox(m_scene, "left", QPointF(620, 40));
    EntityItem *middle = addBox(m_scene, "middle", QPointF(860, 0), { "id", "a", "b" }, { "c", "d" });
    EntityItem *right = addBox(m_scene, "right", QPointF(1100, 260));
    Q_UNUSED(middle);
    addEdge(m_scene, left, right);
    EntityItem *dragFrom = addBox(m_scene, "dragged", QPointF(620, 420));
    EntityItem *dragTo = addBox(m_scene, "target", QPointF(900, 520));
    addEdge(m_scene, dragFrom, dragTo)->setStraightPreviewPath();

    // View links in both directions.
    EntityItem *table = addBox(m_scene, "table", QPointF(0, 500));
    EntityItem *viewA = addBox(m_scene, "view_a", QPointF(300, 480), {}, { "x" });
    EntityItem *viewB = addBox(m_scene, "view_b", QPointF(300, 640), {}, { "y" });
    viewA->setKind(EntityKind::View);
    viewB->setKind(EntityKind::View);
    addEdge<EntityViewEdgeItem>(m_scene, viewA, table);
    addEdge<EntityViewEdgeItem>(m_scene, table, viewB);

    // Two nested self relationships.
    EntityItem *self = addBox(m_scene, "self", QPointF(1000, 640), { "id" }, { "parent_id" });
    addEdge(m_scene, self, self);
    addEdge(m_scene, self, self);
    QCoreApplication::processEvents();

    const QRectF area = m_scene->itemsBoundingRect().adjusted(-30, -30, 30, 30);
    QImage image(area.size().toSize(), QImage::Format_ARGB32);
    image.fill(ThemeManager::instance()->colors().background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    m_scene->render(&painter, QRectF(QPointF(), area.size()), area);
    painter.end();
    const QString file = testsupport::outputDir("tst_edgeitem_painting")
        + QStringLiteral("/gallery_%1.png").arg(dark ? "dark" : "light");
    QVERIFY(image.save(file));

    // The selected edge's line is in the accent colour.
    const QPointF mid = (markerEdges.last()->points.first() + markerEdges.last()->points.last()) / 2 - area.topLeft();
    const QColor accent = ThemeManager::instance()->colors().accent;
    bool found = false;
    for (int dy = -2; dy <= 2 && !found; ++dy) {
        const QColor c = image.pixelColor(mid.toPoint() + QPoint(0, dy));
        found = std::abs(c.red() - accent.red()) + std::abs(c.green() - accent.green())
                + std::abs(c.blue() - accent.blue()) < 12;
    }
    QVERIFY(found);
}

QTEST_MAIN(tst_EdgeItemPainting)
#include "tst_edgeitem_painting.moc"
