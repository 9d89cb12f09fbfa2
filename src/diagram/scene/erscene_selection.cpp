// The look of the selection: a pulsing glow on selected items while they are few enough
// to draw it, and a drawn outline under the others.
#include "erscene.h"

#include "edgeitem.h"
#include "entityitem.h"
#include "groupitem.h"
#include "textitem.h"
#include "thememanager.h"

#include <QGraphicsDropShadowEffect>
#include <QGraphicsView>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <cmath>

namespace {

constexpr double PulsePeriodMs = 2000.0;
constexpr double TwoPi = 6.283185307179586;
// Every step of the pulse draws each glowing item through an off-screen picture and a
// blur. A selection of at most this many items glows wherever its items are; a larger
// one glows only where no more than this many of its items are in view, and its other
// items get the outline instead.
constexpr int GlowLimit = 24;
constexpr qreal EdgeBlurRadius = 14;
constexpr qreal ItemBlurRadius = 20;
// The outline: a band just outside a box, note or frame, and a wider stroke under a line.
constexpr qreal OutlineGap = 3.5;
constexpr qreal OutlineWidth = 3.0;
constexpr qreal EdgeOutlineWidth = 8.0;
constexpr int OutlineAlpha = 150;

QGraphicsDropShadowEffect *glowOf(const QGraphicsItem *item)
{
    return qobject_cast<QGraphicsDropShadowEffect *>(item->graphicsEffect());
}

bool intersectsAny(const QRectF &bounds, const QList<QRectF> &areas)
{
    for (const QRectF &area : areas) {
        if (bounds.intersects(area))
            return true;
    }
    return false;
}

// The outline of one selected item in scene coordinates, drawn with pen.
void drawOutline(QPainter *painter, QGraphicsItem *item, const QColor &boxColor, const QColor &edgeColor)
{
    switch (item->type()) {
    case DiagramItemType::EdgeItem: {
        auto *edge = static_cast<EdgeItem *>(item);
        painter->setPen(QPen(edgeColor, EdgeOutlineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(edge->sceneTransform().map(edge->path()));
        break;
    }
    case DiagramItemType::EntityItem: {
        auto *entity = static_cast<EntityItem *>(item);
        const qreal radius = (entity->isView() ? 12.0 : 6.0) + OutlineGap;
        painter->setPen(QPen(boxColor, OutlineWidth));
        painter->setBrush(Qt::NoBrush);
        QPainterPath band;
        band.addRoundedRect(entity->rect.adjusted(-OutlineGap, -OutlineGap, OutlineGap, OutlineGap), radius,
                            radius);
        painter->drawPath(entity->sceneTransform().map(band));
        break;
    }
    case DiagramItemType::TextItem:
    case DiagramItemType::GroupItem: {
        auto *annotation = static_cast<AnnotationItem *>(static_cast<QGraphicsObject *>(item));
        painter->setPen(QPen(boxColor, OutlineWidth));
        painter->setBrush(Qt::NoBrush);
        QPainterPath band;
        band.addRect(annotation->rect().adjusted(-OutlineGap, -OutlineGap, OutlineGap, OutlineGap));
        painter->drawPath(annotation->sceneTransform().map(band));
        break;
    }
    default:
        break;
    }
}

} // namespace

void ERScene::scheduleHighlightRefresh()
{
    if (bulkOperation || highlightRefreshPending)
        return;
    highlightRefreshPending = true;
    const quint64 generation = highlightGeneration;
    QTimer::singleShot(0, this, [this, generation] {
        highlightRefreshPending = false;
        if (highlightGeneration == generation && !bulkOperation)
            refreshSelectionHighlight();
    });
}

QList<QGraphicsItem *> ERScene::selectedDiagramParts() const
{
    QList<QGraphicsItem *> parts;
    const QList<QGraphicsItem *> selected = selectedItems();
    for (QGraphicsItem *item : selected) {
        if (DiagramItemType::isDiagramPart(item->type()))
            parts.append(item);
    }
    return parts;
}

QList<QRectF> ERScene::visibleSceneAreas() const
{
    QList<QRectF> areas;
    const QList<QGraphicsView *> shownIn = views();
    for (QGraphicsView *view : shownIn) {
        if (view->isVisible())
            areas.append(view->mapToScene(view->viewport()->rect()).boundingRect());
    }
    return areas;
}

void ERScene::refreshSelectionHighlight()
{
    // Unsorted: the order does not matter here, and sorting every cell of every box would.
    const QList<QGraphicsItem *> all = items(Qt::SortOrder(-1));
    for (QGraphicsItem *item : all) {
        if (!item->isSelected() && glowOf(item))
            item->setGraphicsEffect(nullptr);
    }
    const QList<QGraphicsItem *> selected = selectedDiagramParts();
    m_glowAreas = visibleSceneAreas();
    chooseGlowingItems(selected);
    if (selected.isEmpty())
        pulseTimer->stop();
    else if (!pulseTimer->isActive())
        pulseTimer->start();
    pulseSelection();
}

void ERScene::chooseGlowingItems(const QList<QGraphicsItem *> &selected)
{
    QList<QGraphicsItem *> glowing = selected;
    if (selected.size() > GlowLimit) {
        glowing.clear();
        for (QGraphicsItem *item : selected) {
            if (intersectsAny(item->sceneBoundingRect(), m_glowAreas))
                glowing.append(item);
        }
        if (glowing.size() > GlowLimit)
            glowing.clear();
    }
    m_glowingCount = int(glowing.size());
    for (QGraphicsItem *item : selected) {
        const bool glows = glowing.contains(item);
        if (glows == bool(glowOf(item)))
            continue;
        if (glows) {
            auto *shadow = new QGraphicsDropShadowEffect;
            shadow->setOffset(0, 0);
            shadow->setBlurRadius(item->type() == DiagramItemType::EdgeItem ? EdgeBlurRadius : ItemBlurRadius);
            item->setGraphicsEffect(shadow);
        } else {
            item->setGraphicsEffect(nullptr);
        }
    }
    // The outlines are drawn with the background.
    update();
}

void ERScene::pulseSelection()
{
    if (bulkOperation) {
        pulseTimer->stop();
        return;
    }
    const double step = pulseTimer->interval() / PulsePeriodMs * TwoPi;
    pulsePhase += step;
    if (pulsePhase > TwoPi)
        pulsePhase -= TwoPi;
    const double t = 0.5 * std::sin(pulsePhase) + 0.5;
    const int alpha = int(std::lround(130.0 * t + 70.0));

    const ThemePalette palette = ThemeManager::instance()->colors();
    QColor edgeColor = palette.accent;
    edgeColor.setAlpha(alpha);
    QColor boxColor = palette.selection;
    boxColor.setAlpha(alpha);

    // A scroll or a zoom brings other selected items into view; while none glows and the
    // views stay where they are, a step has nothing to do.
    const QList<QRectF> areas = visibleSceneAreas();
    const bool moved = areas != m_glowAreas;
    if (!moved && m_glowingCount == 0)
        return;
    const QList<QGraphicsItem *> selected = selectedDiagramParts();
    if (selected.isEmpty()) {
        pulseTimer->stop();
        return;
    }
    if (moved) {
        m_glowAreas = areas;
        chooseGlowingItems(selected);
    }
    for (QGraphicsItem *item : selected) {
        if (QGraphicsDropShadowEffect *shadow = glowOf(item))
            shadow->setColor(item->type() == DiagramItemType::EdgeItem ? edgeColor : boxColor);
    }
}

void ERScene::drawSelectionOutlines(QPainter *painter, const QRectF &rect)
{
    // Only on screen: a picture or a document made of the diagram shows no selection.
    if (!painter->device() || painter->device()->devType() != QInternal::Widget)
        return;
    // A selection small enough to glow everywhere takes no outline, also before its glow
    // is given at the next turn of the event loop.
    const QList<QGraphicsItem *> selected = selectedDiagramParts();
    if (selected.size() <= GlowLimit)
        return;
    const ThemePalette palette = ThemeManager::instance()->colors();
    QColor boxColor = palette.selection;
    boxColor.setAlpha(OutlineAlpha);
    QColor edgeColor = palette.accent;
    edgeColor.setAlpha(OutlineAlpha);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    for (QGraphicsItem *item : selected) {
        if (!glowOf(item) && item->isVisible() && item->sceneBoundingRect().intersects(rect))
            drawOutline(painter, item, boxColor, edgeColor);
    }
    painter->restore();
}
