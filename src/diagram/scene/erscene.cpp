#include "erscene.h"

#include "dialectcatalog.h"
#include "edgeitem.h"
#include "edgeswitchscope.h"
#include "entityitem.h"
#include "entityobstacleindex.h"
#include "entityviewedgeitem.h"
#include "groupitem.h"
#include "orthogonalsearch.h"
#include "routebatch.h"
#include "sceneindex.h"
#include "slotitem.h"
#include "textitem.h"
#include "thememanager.h"
#include "viewfreeze.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGraphicsView>
#include <QJsonArray>
#include <QLoggingCategory>
#include <QMap>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScopedValueRollback>
#include <QSet>
#include <QTimer>
#include <QUuid>
#include <QVarLengthArray>
#include <QtDebug>

#include <algorithm>
#include <cmath>

// Debug lines of loads, clears and new edges; off unless asked for with
// QT_LOGGING_RULES="velmora.scene.debug=true".
Q_LOGGING_CATEGORY(lcScene, "velmora.scene", QtWarningMsg)

namespace {

constexpr int PulseIntervalMs = 40;
constexpr qreal SceneRectMargin = 300.0;
// The order Qt's own item look-ups ask for when the order does not matter: no sorting.
constexpr Qt::SortOrder UnsortedOrder = Qt::SortOrder(-1);
// A load lets the event loop turn after the first this many boxes and edges, and then
// every TurnIntervalMs milliseconds, so that the window stays alive during a long load.
// Each turn walks the dirty state of every item on the scene: turns by the count would
// make a load of many boxes quadratic.
constexpr int EventTurnInterval = 8;
constexpr qint64 TurnIntervalMs = 20;

// Turns the event loop at the first EventTurnInterval-th step and then by the clock.
// Between turns the whole scene stands to be drawn again: the update of each item made
// meanwhile is then nothing, where it would be listed and walked at the next turn.
class LoadTurns
{
public:
    explicit LoadTurns(QGraphicsScene *scene)
        : m_scene(scene)
    {
        m_scene->update();
        m_sinceTurn.start();
    }
    void step()
    {
        if (++m_steps == EventTurnInterval || m_sinceTurn.elapsed() >= TurnIntervalMs) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            m_scene->update();
            m_sinceTurn.restart();
        }
    }

private:
    QGraphicsScene *m_scene;
    QElapsedTimer m_sinceTurn;
    int m_steps = 0;
};
const QSizeF EntitySize(150, 70);
const QSizeF GroupSize(240, 160);

QString newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

using DiagramItemType::isDiagramPart;

// A part of the diagram that something outside the diagram holds, with no part of the
// diagram between them.
bool isOutermostDiagramItemHeldElsewhere(const QGraphicsItem *item)
{
    if (!item->parentItem() || !isDiagramPart(item->type()))
        return false;
    for (const QGraphicsItem *holder = item->parentItem(); holder; holder = holder->parentItem()) {
        if (isDiagramPart(holder->type()))
            return false;
    }
    return true;
}

// A new edge of the kind its ends call for, not yet in a scene; a view at either end gives
// the view link, which makes no foreign keys of its own.
EdgeItem *newEdge(EntityItem *from, EntityItem *to, bool createFKs)
{
    if (from->isView() || to->isView())
        return new EntityViewEdgeItem(from, to, false);
    return new EdgeItem(from, to, createFKs);
}

// Selects the item index method for a while and puts the previous one back; a tree index
// put back gets a depth fitted to the items the scene then holds.
class IndexMethodRollback
{
public:
    IndexMethodRollback(QGraphicsScene *scene, QGraphicsScene::ItemIndexMethod method)
        : m_scene(scene)
        , m_previous(scene->itemIndexMethod())
    {
        m_scene->setItemIndexMethod(method);
    }
    ~IndexMethodRollback()
    {
        if (m_previous == m_scene->itemIndexMethod())
            return;
        if (m_previous == QGraphicsScene::BspTreeIndex)
            putBackTreeIndex(m_scene);
        else
            m_scene->setItemIndexMethod(m_previous);
    }
    IndexMethodRollback(const IndexMethodRollback &) = delete;
    IndexMethodRollback &operator=(const IndexMethodRollback &) = delete;

private:
    QGraphicsScene *m_scene;
    QGraphicsScene::ItemIndexMethod m_previous;
};

// Blocks the scene's signals for a while and puts the previous state back.
class SignalBlock
{
public:
    explicit SignalBlock(QObject *object)
        : m_object(object)
        , m_previous(object->blockSignals(true))
    {
    }
    ~SignalBlock() { m_object->blockSignals(m_previous); }
    SignalBlock(const SignalBlock &) = delete;
    SignalBlock &operator=(const SignalBlock &) = delete;

private:
    QObject *m_object;
    bool m_previous;
};

} // namespace

bool ERScene::s_gridTiles = true;

ERScene::ERScene(QObject *parent)
    : QGraphicsScene(parent)
{
    setSceneRect(-2000, -2000, 4000, 4000);
    m_grownSceneRect = sceneRect();

    pulseTimer = new QTimer(this);
    pulseTimer->setInterval(PulseIntervalMs);
    connect(pulseTimer, &QTimer::timeout, this, &ERScene::pulseSelection);
    connect(this, &QGraphicsScene::selectionChanged, this, &ERScene::scheduleHighlightRefresh);
    connect(ThemeManager::instance(), &ThemeManager::themeChanged, this, &ERScene::onThemeChanged);
    connect(this, &QGraphicsScene::changed, this, &ERScene::growSceneRect);
}

ERScene::~ERScene()
{
    // The base destructor deletes items in its own order, so an edge could outlive
    // one of its boxes for a moment; take edges first, as a clear does.
    QScopedValueRollback<bool> clearing(bulkOperation, true);
    pulseTimer->stop();
    removeDiagramItems(false);
}

// --- creating items -----------------------------------------------------------------------

EdgeItem *ERScene::createEdge(EntityItem *from, EntityItem *to, bool createFKs)
{
    qCDebug(lcScene) << "createEdge called from:" << (from ? from->id() : QStringLiteral("null"))
             << "to:" << (to ? to->id() : QStringLiteral("null"))
             << "createFKs:" << (createFKs ? "true" : "false");
    if (!from || !to) {
        qWarning() << "createEdge: null entity!";
        return nullptr;
    }
    if (from->scene() != this || to->scene() != this) {
        qWarning() << "createEdge: entity not in this scene!";
        return nullptr;
    }

    EdgeItem *edge = newEdge(from, to, createFKs);
    addItem(edge);
    if (createFKs && edge->isEntityViewEdge()) {
        EntityItem *view = from->isView() ? from : to;
        EntityItem *source = view == from ? to : from;
        if (view != source)
            view->inheritAttributesFrom(source, edge->id);
    }
    if (createFKs)
        edge->updatePath();

    qCDebug(lcScene) << "createEdge: success";
    emit edgeAdded(edge);
    return edge;
}

bool ERScene::hasAllDefaultEntityColors() const
{
    const EntityColorScheme &l = defaultEntityColors.light;
    const EntityColorScheme &d = defaultEntityColors.dark;
    return l.background.isValid() && l.header.isValid() && l.border.isValid()
        && l.text.isValid() && d.background.isValid() && d.header.isValid()
        && d.border.isValid() && d.text.isValid();
}

void ERScene::applyNewEntityColors(EntityItem *entity) const
{
    if (hasAllDefaultEntityColors())
        entity->setColorScheme(defaultEntityColors);
}

void ERScene::addEntityAt(const QPointF &pos)
{
    const QString name = QStringLiteral("table_") + QString::number(entityCount() + 1);
    auto *entity = new EntityItem(name, EntitySize);
    entity->addAttributeRow(entity->title() + QStringLiteral("_id"),
                            defaultKeyTypeForDialect(dialect), true, false, false, false);
    applyNewEntityColors(entity);
    entity->storedId = newId();
    entity->setPos(pos);
    addItem(entity);
    emit entityAdded(entity);
}

void ERScene::addEntityViewAt(const QPointF &pos)
{
    QStringList viewTitles;
    const QList<QGraphicsItem *> all = items();
    for (QGraphicsItem *item : all) {
        if (item->type() != DiagramItemType::EntityItem)
            continue;
        auto *entity = static_cast<EntityItem *>(item);
        if (entity->isView())
            viewTitles.append(entity->title());
    }
    int n = int(viewTitles.size()) + 1;
    while (viewTitles.contains(QStringLiteral("view_") + QString::number(n)))
        ++n;

    auto *entity = new EntityItem(QStringLiteral("view_") + QString::number(n), EntitySize);
    entity->setKind(EntityKind::View);
    applyNewEntityColors(entity);
    entity->storedId = newId();
    entity->setPos(pos);
    addItem(entity);
    emit entityAdded(entity);
}

void ERScene::addGroupAt(const QPointF &pos)
{
    QStringList titles;
    const QList<QGraphicsItem *> all = items();
    for (QGraphicsItem *item : all) {
        if (item->type() == DiagramItemType::GroupItem)
            titles.append(static_cast<GroupItem *>(item)->title());
    }
    int n = int(titles.size()) + 1;
    while (titles.contains(QStringLiteral("group_") + QString::number(n)))
        ++n;

    auto *group = new GroupItem(QStringLiteral("group_") + QString::number(n), GroupSize);
    if (groupItemStyleSet)
        group->setColors(groupFillLight, groupBorderLight, groupTextLight, groupFillDark,
                         groupBorderDark, groupTextDark);
    group->setPos(pos);
    addItem(group);
}

void ERScene::addTextItemAt(const QPointF &pos)
{
    auto *text = new TextItem(QStringLiteral("Text"));
    if (textItemStyleSet) {
        text->setFont(textItemFont);
        text->setColors(textItemColorLight, textItemColorDark);
    }
    text->setPos(pos);
    addItem(text);
}

int ERScene::entityCount() const
{
    int count = 0;
    const QList<QGraphicsItem *> all = items();
    for (QGraphicsItem *item : all) {
        if (item->type() == DiagramItemType::EntityItem
            && !static_cast<EntityItem *>(item)->isView())
            ++count;
    }
    return count;
}

void ERScene::notifyEntityAdded(EntityItem *entity)
{
    if (entity)
        emit entityAdded(entity);
}

void ERScene::setTextItemStyle(const QFont &font, const QColor &colorLight, const QColor &colorDark)
{
    textItemFont = font;
    textItemColorLight = colorLight;
    textItemColorDark = colorDark;
    textItemStyleSet = true;
}

void ERScene::setGroupItemStyle(const QColor &fillLight, const QColor &borderLight,
                                const QColor &textLight, const QColor &fillDark,
                                const QColor &borderDark, const QColor &textDark)
{
    groupFillLight = fillLight;
    groupBorderLight = borderLight;
    groupTextLight = textLight;
    groupFillDark = fillDark;
    groupBorderDark = borderDark;
    groupTextDark = textDark;
    groupItemStyleSet = true;
}

void ERScene::setFilePath(const QString &path)
{
    filePath = path;
}

// --- clearing -------------------------------------------------------------------------------

void ERScene::clearScene()
{
    // A load or layout holds pointers to the items; it clears by itself.
    if (bulkOperation || m_structuralChange)
        return;
    QScopedValueRollback<bool> clearing(bulkOperation, true);
    removeDiagramItems(true);
}

void ERScene::removeDiagramItems(bool detachLeftovers)
{
    qCDebug(lcScene) << "clearScene: starting";
    // The index comes back after the signals, which it needs to learn the scene rectangle.
    IndexMethodRollback noIndex(this, QGraphicsScene::NoIndex);
    SignalBlock blocked(this);

    resetTransientState();
    clearFocus();

    // Completion popups of the in-place editors live in the viewports.
    const QList<QGraphicsView *> sceneViews = views();
    for (QGraphicsView *view : sceneViews) {
        if (!view->viewport())
            continue;
        const QList<QAbstractItemView *> popups =
            view->viewport()->findChildren<QAbstractItemView *>(QString(), Qt::FindDirectChildrenOnly);
        for (QAbstractItemView *popup : popups)
            popup->hide();
    }

    QList<EdgeItem *> edgeItems;
    QList<EntityItem *> entityItems;
    QList<QGraphicsItem *> annotations;
    const QList<QGraphicsItem *> all = items();
    for (QGraphicsItem *item : all) {
        switch (item->type()) {
        case DiagramItemType::EdgeItem:
            edgeItems.append(static_cast<EdgeItem *>(item));
            break;
        case DiagramItemType::EntityItem:
            entityItems.append(static_cast<EntityItem *>(item));
            break;
        case DiagramItemType::TextItem:
        case DiagramItemType::GroupItem:
            annotations.append(item);
            break;
        default:
            break;
        }
    }
    qCDebug(lcScene) << "clearScene: edges:" << edgeItems.size() << "entities:" << entityItems.size();

    // Edges and boxes let go of each other first, so that they can then go in any order.
    // Tearing the scene down is not deleting relationships: the rows stay.
    for (EdgeItem *edge : std::as_const(edgeItems)) {
        if (edge->from)
            edge->from->removeEdge(edge);
        if (edge->to)
            edge->to->removeEdge(edge);
        edge->removeForeignKeysOnDelete = false;
        edge->from = nullptr;
        edge->to = nullptr;
        edge->fromSlot = nullptr;
        edge->toSlot = nullptr;
    }
    for (EntityItem *entity : std::as_const(entityItems)) {
        for (SlotItem *slot : std::as_const(entity->slotItems)) {
            if (slot)
                slot->setEdge(nullptr);
        }
    }

    // A part of the diagram held by something else goes on its own; what is not part of
    // the diagram is not ours to delete, and leaves the scene when a load reuses it.
    QList<QGraphicsItem *> leftovers;
    QList<QGraphicsItem *> heldElsewhere;
    for (QGraphicsItem *item : all) {
        if (!item->parentItem() && !isDiagramPart(item->type()))
            leftovers.append(item);
        else if (isOutermostDiagramItemHeldElsewhere(item))
            heldElsewhere.append(item);
    }
    qDeleteAll(heldElsewhere);
    if (detachLeftovers && !leftovers.isEmpty()) {
        qWarning() << "clearScene: remaining items after cleanup:" << leftovers.size();
        for (QGraphicsItem *item : std::as_const(leftovers))
            removeItem(item);
    }
    // Removing items one by one from a scene of thousands moves its item list each time;
    // the scene's own clear empties the list first.
    clear();
    qCDebug(lcScene) << "clearScene: completed";
}

void ERScene::resetTransientState()
{
    ++highlightGeneration;
    highlightRefreshPending = false;
    pulseTimer->stop();
    m_glowingCount = 0;
    if (QGraphicsItem *grabber = mouseGrabberItem())
        grabber->ungrabMouse();
    const QList<QGraphicsItem *> all = items();
    for (QGraphicsItem *item : all) {
        if (item->graphicsEffect())
            item->setGraphicsEffect(nullptr);
        if (item->isSelected())
            item->setSelected(false);
    }
    clearSelection();
    clearFocus();
}

void ERScene::resetTransientStateSilently()
{
    if (bulkOperation)
        return;
    IndexMethodRollback noIndex(this, QGraphicsScene::NoIndex);
    SignalBlock blocked(this);
    resetTransientState();
}

// --- background and scene rectangle ------------------------------------------------------

namespace {

// Fills rect with the background and draws the grid lines that stand in it. The lines
// start no earlier than linesFrom (for a caller that clips away what lies before it).
void paintGridArea(QPainter *painter, const QRectF &rect, const QColor &background, const QColor &grid,
                   bool withGrid, const QPointF &linesFrom = QPointF(-qInf(), -qInf()))
{
    painter->fillRect(rect, background);
    if (!withGrid)
        return;

    const double left = rect.left();
    const double top = rect.top();
    const double right = left + rect.width();
    const double bottom = top + rect.height();
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right)
        || !std::isfinite(bottom))
        return;

    // In double, and not at all when lines would crowd closer than a pixel: a fit over
    // a huge diagram would otherwise ask for millions of lines (or overflow an int).
    const double x0 = std::floor(left / ERScene::GridSize) * ERScene::GridSize;
    const double y0 = std::floor(top / ERScene::GridSize) * ERScene::GridSize;
    const double columns = std::ceil((right - x0) / ERScene::GridSize);
    const double rows = std::ceil((bottom - y0) / ERScene::GridSize);
    if (columns > ERScene::MaxGridLinesPerAxis || rows > ERScene::MaxGridLinesPerAxis)
        return;

    QVarLengthArray<QLineF, 256> lines;
    for (int i = 0;; ++i) {
        const double x = x0 + double(i) * ERScene::GridSize;
        if (!(x < right))
            break;
        lines.append(QLineF(x, std::max(top, linesFrom.y()), x, bottom));
    }
    for (int i = 0;; ++i) {
        const double y = y0 + double(i) * ERScene::GridSize;
        if (!(y < bottom))
            break;
        lines.append(QLineF(std::max(left, linesFrom.x()), y, right, y));
    }
    painter->setPen(QPen(grid));
    painter->drawLines(lines.constData(), int(lines.size()));
}

bool isWhole(double value)
{
    return std::abs(value - std::round(value)) < 1e-9;
}

} // namespace

// The grid repeats every GridSize scene units; where that is a whole number of device
// pixels, one cell of it is drawn once, as the lines would draw it, and the painting
// repeats the cell. Anything else is painted line by line.
bool ERScene::paintGridFromTile(QPainter *painter, const QRectF &rect, const QColor &background,
                                const QColor &grid)
{
    const QTransform transform = painter->worldTransform();
    const double scale = transform.m11();
    const double period = GridSize * scale;
    QPaintDevice *device = painter->device();
    if (!device || transform.type() > QTransform::TxScale || transform.m22() != scale || !(scale > 0)
        || !isWhole(period) || period < 10 || period > 1024 || background.alpha() != 255
        || painter->opacity() != 1.0 || painter->compositionMode() != QPainter::CompositionMode_SourceOver
        || device->devicePixelRatioF() != 1.0)
        return false;
    // Only over the whole device: there the lines' caps beyond the rectangle fall
    // outside it, as they do in a tile.
    const QRectF deviceRect = transform.mapRect(rect);
    if (!isWhole(deviceRect.left()) || !isWhole(deviceRect.top()) || !isWhole(deviceRect.width())
        || !isWhole(deviceRect.height()))
        return false;
    const QRect area = deviceRect.toAlignedRect();
    if (area != QRect(0, 0, device->width(), device->height()))
        return false;
    const double columns = std::ceil(rect.width() / GridSize) + 1;
    const double rows = std::ceil(rect.height() / GridSize) + 1;
    if (columns > MaxGridLinesPerAxis || rows > MaxGridLinesPerAxis)
        return false;

    const int size = int(std::lround(period));
    const double phaseX = transform.dx() - std::floor(transform.dx());
    const double phaseY = transform.dy() - std::floor(transform.dy());
    const bool antialiased = painter->testRenderHint(QPainter::Antialiasing);
    GridTile &tile = m_gridTile;
    if (tile.pixmap.isNull() || tile.size != size || tile.scale != scale || tile.phaseX != phaseX
        || tile.phaseY != phaseY || tile.background != background || tile.grid != grid
        || tile.antialiased != antialiased) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        QPainter tilePainter(&image);
        tilePainter.setRenderHint(QPainter::Antialiasing, antialiased);
        tilePainter.setTransform(QTransform(scale, 0, 0, scale, phaseX, phaseY));
        // The cell and one around it, so that what a line spills over the cell's edge
        // comes back in from the other side.
        paintGridArea(&tilePainter, QRectF(-GridSize, -GridSize, 3 * GridSize, 3 * GridSize), background,
                      grid, true);
        tilePainter.end();
        tile = {QPixmap::fromImage(image), size, scale, phaseX, phaseY, background, grid, antialiased};
    }
    // Device pixel (x, y) shows tile pixel (x - floor(dx), y - floor(dy)) modulo the size.
    const auto offset = [size](int at, double translation) {
        const int shift = (at - int(std::floor(translation))) % size;
        return shift < 0 ? shift + size : shift;
    };
    painter->save();
    painter->resetTransform();
    painter->drawTiledPixmap(area, tile.pixmap,
                             QPointF(offset(area.left(), transform.dx()), offset(area.top(), transform.dy())));
    painter->restore();

    // The lines stop short of the rectangle's right and bottom edges; a line standing
    // just beyond them is not drawn, and the strips along them are painted line by line.
    // Lines across a strip start a cell before it, their start clipped away: drawn from
    // the far side of the rectangle they would be rasterised over its whole length.
    const double strip = (2.0 + std::ceil(scale)) / scale;
    const QRectF rightStrip(rect.right() - strip, rect.top(), strip, rect.height());
    const QRectF bottomStrip(rect.left(), rect.bottom() - strip, rect.width(), strip);
    for (const QRectF &edge : {rightStrip, bottomStrip}) {
        painter->save();
        painter->setClipRect(edge, Qt::IntersectClip);
        paintGridArea(painter, rect, background, grid, true, edge.topLeft() - QPointF(GridSize, GridSize));
        painter->restore();
    }
    return true;
}

bool ERScene::paintsOpaqueBackground() const
{
    const QColor background
        = backgroundOverrideEnabled ? backgroundOverrideColor : ThemeManager::instance()->colors().background;
    return background.alpha() == 255;
}

void ERScene::drawBackground(QPainter *painter, const QRectF &rect)
{
    const ThemePalette palette = ThemeManager::instance()->colors();
    const QColor background = backgroundOverrideEnabled ? backgroundOverrideColor : palette.background;
    if (!gridVisible || !s_gridTiles || !paintGridFromTile(painter, rect, background, palette.grid))
        paintGridArea(painter, rect, background, palette.grid, gridVisible);
    drawSelectionOutlines(painter, rect);
}

void ERScene::growSceneRect(const QList<QRectF> &region)
{
    // A load turns the event loop every few items; it grows the rectangle once, when
    // its items exist, instead of walking every item at each turn.
    if (m_structuralChange)
        return;
    // A rectangle set from elsewhere (a fit to the items), or a change of everything, is
    // grown around every item.
    if (sceneRect() != m_grownSceneRect || region.contains(sceneRect())) {
        includeItemsInSceneRect();
        return;
    }
    // Every other item already lies inside the rectangle with its margin, so uniting
    // the items that changed, each with all its children, gives what uniting every item
    // would.
    QRectF area;
    for (const QRectF &rect : region)
        area |= rect;
    if (area.isNull())
        return;
    QSet<QGraphicsItem *> roots;
    QRectF bounds;
    const QList<QGraphicsItem *> changedItems = items(area, Qt::IntersectsItemBoundingRect);
    for (QGraphicsItem *item : changedItems) {
        QGraphicsItem *root = item->topLevelItem();
        if (roots.contains(root))
            continue;
        roots.insert(root);
        bounds |= root->sceneBoundingRect();
        if (!root->childItems().isEmpty())
            bounds |= root->mapRectToScene(root->childrenBoundingRect());
    }
    // A flat rectangle is not grown alone; with every item it may be.
    if (!bounds.isNull() && !(bounds.width() > 0 && bounds.height() > 0))
        includeItemsInSceneRect();
    else
        uniteWithSceneRect(bounds);
}

void ERScene::includeItemsInSceneRect()
{
    // What itemsBoundingRect() gives, without its listing of the items in stacking order:
    // with the index on, that sorts tens of thousands of items for a union.
    QRectF bounds;
    const QList<QGraphicsItem *> all = items(UnsortedOrder);
    for (const QGraphicsItem *item : all)
        bounds |= item->sceneBoundingRect();
    uniteWithSceneRect(bounds);
}

void ERScene::uniteWithSceneRect(QRectF bounds)
{
    if (bounds.width() > 0 && bounds.height() > 0) {
        bounds.adjust(-SceneRectMargin, -SceneRectMargin, SceneRectMargin, SceneRectMargin);
        const QRectF current = sceneRect();
        if (!current.contains(bounds))
            setSceneRect(current.united(bounds));
    }
    m_grownSceneRect = sceneRect();
}

void ERScene::onThemeChanged()
{
    update(sceneRect());
    if (pulseTimer->isActive())
        pulseSelection();
}

// --- the diagram exchange document --------------------------------------------------------

QJsonObject ERScene::toJson() const
{
    QJsonObject document;
    document.insert(QStringLiteral("version"), QStringLiteral("1.0"));
    document.insert(QStringLiteral("type"), QStringLiteral("er-diagram"));

    QJsonArray entities;
    QJsonArray edges;
    QJsonArray annotations;
    const QList<QGraphicsItem *> all = items(Qt::DescendingOrder);
    for (QGraphicsItem *item : all) {
        switch (item->type()) {
        case DiagramItemType::EntityItem:
            entities.append(static_cast<EntityItem *>(item)->toJson());
            break;
        case DiagramItemType::EdgeItem: {
            auto *edge = static_cast<EdgeItem *>(item);
            QJsonObject object = edge->toJson();
            if (edge->isEntityViewEdge())
                object.insert(QStringLiteral("kind"), QStringLiteral("entity-view-edge"));
            edges.append(object);
            break;
        }
        case DiagramItemType::TextItem:
            annotations.append(static_cast<TextItem *>(item)->toJson());
            break;
        case DiagramItemType::GroupItem:
            annotations.append(static_cast<GroupItem *>(item)->toJson());
            break;
        default:
            break;
        }
    }
    document.insert(QStringLiteral("entities"), entities);
    document.insert(QStringLiteral("edges"), edges);
    document.insert(QStringLiteral("annotations"), annotations);
    document.insert(QStringLiteral("dialect"), dialect);
    return document;
}

namespace {

// Adds the items to the scene last to first. Each item added lies above those added before
// it among its siblings of one z, so the first ends topmost, as the writer lists it;
// restacking afterwards would walk every sibling for each item moved.
template<typename Item>
void addTopmostFirst(QGraphicsScene *scene, const QList<QPointer<Item>> &items)
{
    for (auto it = items.crbegin(); it != items.crend(); ++it) {
        if (Item *item = it->data())
            scene->addItem(item);
    }
}

double elapsedMs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

} // namespace

// Pointers held across event-loop turns, in document order: whatever runs meanwhile may
// delete an item.
struct ERScene::LoadedItems
{
    QList<QPointer<EntityItem>> entities;
    QMap<QString, QPointer<EntityItem>> entitiesById;
    QList<QPointer<EdgeItem>> edges;
    QList<QPointer<QGraphicsObject>> annotations;
};

bool ERScene::loadFromJson(const QJsonObject &document)
{
    if (m_structuralChange) {
        qWarning() << "loadFromJson: refused, the scene is being rebuilt";
        return false;
    }
    qCDebug(lcScene) << "loadFromJson: starting";
    m_lastLoadTimings = LoadTimings();
    {
        // The load turns the event loop every few items; views that painted at each turn
        // would draw the whole diagram again and again.
        const ViewFreeze freeze(this);
        QScopedValueRollback<bool> rebuilding(m_structuralChange, true);
        // Edge re-routing stays off while the loader builds the scene, on every way out.
        RoutingSuppression noRouting;
        buildFromDocument(document);
        buildIndexBeforeFirstPaint();
        qCDebug(lcScene) << "loadFromJson: completed successfully";
    }
    return true;
}

void ERScene::buildIndexBeforeFirstPaint()
{
    // Qt builds the item index at the first look-up, which for a shown scene is the paint
    // right after the load; built here instead, with the views still frozen and the event
    // loop turning before and after, the end of the load, the index and the paint make
    // three short waits instead of one long.
    if (views().isEmpty() || itemIndexMethod() != BspTreeIndex)
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    items(QRectF(sceneRect().topLeft(), QSizeF(1, 1)), Qt::IntersectsItemBoundingRect, UnsortedOrder);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ERScene::buildFromDocument(const QJsonObject &document)
{
    QElapsedTimer timer;
    timer.start();
    {
        QScopedValueRollback<bool> clearing(bulkOperation, true);
        removeDiagramItems(true);
    }
    m_lastLoadTimings.clearing = elapsedMs(timer);

    LoadedItems loaded;
    {
        // Nothing asks the scene's index while the items are made, nor while the edges are
        // routed below over an index of their own. Kept up to date meanwhile, an index made
        // for the first few boxes and the initial rectangle slows every later geometry
        // change down to a walk over nearly all items.
        IndexMethodRollback noIndex(this, QGraphicsScene::NoIndex);
        createItemsFromDocument(document, loaded);
        timer.start();
        includeItemsInSceneRect();
        m_lastLoadTimings.sceneRect = elapsedMs(timer);
        timer.start();
        routeEdgesWithoutStoredRoute(loaded);
        m_lastLoadTimings.routing = elapsedMs(timer);
        // Again around the routed lines, still without the index: with it, listing the
        // items sorts them all by stacking order.
        timer.start();
        includeItemsInSceneRect();
        m_lastLoadTimings.sceneRect += elapsedMs(timer);
    }
}

void ERScene::createItemsFromDocument(const QJsonObject &document, LoadedItems &loaded)
{
    const QJsonValue dialectValue = document.value(QStringLiteral("dialect"));
    dialect = dialectValue.isString() ? dialectValue.toString() : QString();

    QElapsedTimer timer;
    timer.start();
    createEntities(document.value(QStringLiteral("entities")).toArray(), loaded);
    m_lastLoadTimings.entities = elapsedMs(timer);
    if (document.contains(QStringLiteral("edges"))) {
        timer.start();
        createEdges(document.value(QStringLiteral("edges")).toArray(), loaded);
        m_lastLoadTimings.edges = elapsedMs(timer);
    }
    if (document.contains(QStringLiteral("annotations"))) {
        timer.start();
        createAnnotations(document.value(QStringLiteral("annotations")).toArray(), loaded);
        m_lastLoadTimings.annotations = elapsedMs(timer);
    }
}

void ERScene::createEntities(const QJsonArray &array, LoadedItems &loaded)
{
    for (const QJsonValue &element : array) {
        const QJsonObject object = element.toObject();
        const QJsonValue titleValue = object.value(QStringLiteral("title"));
        const QString title = titleValue.isString() ? titleValue.toString() : QStringLiteral("Entity");
        auto *entity = new EntityItem(title, EntitySize);
        if (object.contains(QStringLiteral("id")))
            entity->storedId = object.value(QStringLiteral("id")).toString();
        loaded.entities.append(entity);
    }
    LoadTurns turns(this);
    // In the scene before they read their objects, as a box made by hand is.
    addTopmostFirst(this, loaded.entities);

    for (qsizetype i = 0; i < loaded.entities.size(); ++i) {
        if (EntityItem *entity = loaded.entities.at(i).data())
            entity->fromJson(array.at(i).toObject());
        turns.step();
    }
    // Every id is final before the first box is announced.
    for (const QPointer<EntityItem> &entity : std::as_const(loaded.entities)) {
        if (!entity)
            continue;
        const QString id = entity->id();
        const auto previous = loaded.entitiesById.constFind(id);
        if (previous != loaded.entitiesById.cend() && previous.value() && previous.value() != entity) {
            // Two boxes under one id would both register as one table; the later keeps
            // it, as the edges that follow bind to the later one.
            qWarning() << "Duplicate entity id:" << id;
            previous.value()->storedId = newId();
        }
        loaded.entitiesById.insert(id, entity);
    }
    // The receivers of the signal may delete boxes.
    for (const QPointer<EntityItem> &entity : std::as_const(loaded.entities)) {
        if (entity)
            emit entityAdded(entity);
    }
}

void ERScene::createEdges(const QJsonArray &array, LoadedItems &loaded)
{
    // Each edge takes its slots and reads its object before the next one is made, as
    // they are taken in document order; the edges join the scene together afterwards.
    QSet<QString> edgeIds;
    LoadTurns turns(this);
    for (const QJsonValue &element : array) {
        const QJsonObject object = element.toObject();
        const QString fromId = object.value(QStringLiteral("from")).toString();
        const QString toId = object.value(QStringLiteral("to")).toString();
        EntityItem *from = loaded.entitiesById.value(fromId).data();
        EntityItem *to = loaded.entitiesById.value(toId).data();
        if (!from || !to) {
            qWarning() << "Edge references unknown entity:" << fromId << "->" << toId;
            continue;
        }
        if (from->scene() != this || to->scene() != this) {
            qWarning() << "Edge between boxes no longer in the scene:" << fromId << "->" << toId;
            continue;
        }
        EdgeItem *edge = newEdge(from, to, false);
        edge->fromJson(object);
        if (edgeIds.contains(edge->id)) {
            // The model keeps one relationship per id.
            qWarning() << "Duplicate edge id:" << edge->id;
            edge->id = newId();
        }
        edgeIds.insert(edge->id);
        loaded.edges.append(edge);
        turns.step();
    }
    addTopmostFirst(this, loaded.edges);
    for (const QPointer<EdgeItem> &edge : std::as_const(loaded.edges)) {
        if (edge)
            emit edgeAdded(edge);
    }
}

void ERScene::createAnnotations(const QJsonArray &array, LoadedItems &loaded)
{
    QList<QJsonObject> objects;
    for (const QJsonValue &element : array) {
        const QJsonObject object = element.toObject();
        const QString kind = object.value(QStringLiteral("kind")).toString();
        if (kind == QLatin1String("text-item"))
            loaded.annotations.append(new TextItem(QStringLiteral("Text")));
        else if (kind == QLatin1String("group-item"))
            loaded.annotations.append(new GroupItem(QStringLiteral("Group"), GroupSize));
        else
            continue;
        objects.append(object);
    }
    addTopmostFirst(this, loaded.annotations);
    for (qsizetype i = 0; i < loaded.annotations.size(); ++i) {
        QGraphicsObject *item = loaded.annotations.at(i).data();
        if (!item)
            continue;
        if (item->type() == DiagramItemType::TextItem)
            static_cast<TextItem *>(item)->fromJson(objects.at(i));
        else
            static_cast<GroupItem *>(item)->fromJson(objects.at(i));
    }
}

void ERScene::routeEdgesWithoutStoredRoute(const LoadedItems &loaded)
{
    // The boxes stay put meanwhile, so one index over them answers every obstacle look-up
    // instead of the scene; given in stacking order, as the scene would list them.
    QList<EntityItem *> boxes;
    boxes.reserve(loaded.entities.size());
    for (const QPointer<EntityItem> &entity : loaded.entities) {
        if (entity)
            boxes.append(entity);
    }
    const EntityObstacleIndex obstacleIndex(this, boxes);
    const ObstacleIndexScope useIndex(&obstacleIndex);
    // A route around many boxes takes a while, so the event loop turns by the clock
    // here only: between edges, and inside a search that runs long.
    QElapsedTimer sinceTurn;
    sinceTurn.start();
    const auto turnWhenDue = [&sinceTurn] {
        if (sinceTurn.elapsed() >= TurnIntervalMs) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sinceTurn.restart();
        }
    };
    const routing::SearchPause turnDuringSearch(turnWhenDue);
    // The routes depend on the boxes alone, not on each other: worked out on several
    // threads, they are drawn afterwards in document order.
    RouteBatch batch(obstacleIndex);
    QList<int> places;
    places.reserve(loaded.edges.size());
    for (const QPointer<EdgeItem> &edge : loaded.edges)
        places.append(edge && edge->points.size() <= 1 ? batch.add(edge) : -1);
    batch.run(turnWhenDue);
    for (qsizetype i = 0; i < loaded.edges.size(); ++i) {
        EdgeItem *edge = loaded.edges.at(i).data();
        // Drawn meanwhile, or deleted, as the event loop turned.
        if (!edge || edge->points.size() > 1)
            continue;
        if (places.at(i) >= 0)
            batch.apply(places.at(i));
        else
            edge->updatePath();
        turnWhenDue();
    }
}
