#include "entityitem.h"

#include "edgeitem.h"
#include "erscene.h"
#include "dialectcatalog.h"
#include "singlelinetextitem.h"
#include "slotitem.h"
#include "thememanager.h"

#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyleOptionGraphicsItem>
#include <QTimer>
#include <QUuid>
#include <QtDebug>

#include <atomic>

namespace {

constexpr qreal HeaderHeight = 28.0;
constexpr qreal FirstRowY = 33.0;
constexpr qreal RowStep = 18.0;
constexpr qreal CellInset = 10.0;
constexpr qreal MinimumWidth = 140.0;

std::atomic<quint64> boxPlaces{0};

const QString &entityFontFamily()
{
    static const QString family = QStringLiteral("JetBrains Mono");
    return family;
}

// An override that is transparent or not a colour at all stands for the palette entry.
QColor resolved(const QColor &override, const QColor &paletteColor)
{
    if (!override.isValid() || override == QColor(Qt::transparent))
        return paletteColor;
    return override;
}

} // namespace

QFont EntityItem::entityFont(bool bold)
{
    // Made once per thread (a font is not to be shared between threads): every cell of
    // every box asks for one.
    const auto make = [](bool boldFont) {
        QFont font(entityFontFamily(), 10);
        font.setWeight(boldFont ? QFont::Bold : QFont::Normal);
        return font;
    };
    thread_local const QFont plain = make(false);
    thread_local const QFont heavy = make(true);
    return bold ? heavy : plain;
}

QString defaultKeyTypeForScene(QObject *scene)
{
    if (auto *erScene = qobject_cast<ERScene *>(scene))
        return defaultKeyTypeForDialect(erScene->dialect);
    return defaultKeyTypeForDialect(QString());
}

EntityItem::EntityItem(const QString &title, const QSizeF &size)
    : QGraphicsObject(nullptr)
    , rect(0, 0, size.width(), size.height())
    , m_title(title)
{
    setFlags(ItemIsMovable | ItemIsSelectable | ItemSendsGeometryChanges);
    setAcceptHoverEvents(true);
    setAcceptedMouseButtons(Qt::LeftButton | Qt::RightButton);

    bgLight = QColor(Qt::transparent);
    fgLight = QColor(Qt::black);
    bgDark = QColor(Qt::transparent);
    // The grey that stored diagrams carry as the dark outline default (#a0a0a4).
    fgDark = QColor(0xa0, 0xa0, 0xa4);
    hdrLight = QColor(Qt::transparent);
    hdrDark = QColor(Qt::transparent);
    txtLight = QColor(Qt::transparent);
    txtDark = QColor(Qt::transparent);

    titleText_ = new SingleLineTextItem(this);
    titleText_->setPlainText(title);
    titleText_->setFont(entityFont(true));
    titleText_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    titleText_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    titleText_->setDefaultTextColor(ThemeManager::instance()->colors().text);
    titleText_->setFlag(ItemIsFocusable, true);
    m_cellTextColor = titleText_->defaultTextColor();

    connect(ThemeManager::instance(), &ThemeManager::themeChanged, this,
            &EntityItem::onThemeChanged);
    connect(titleText_, &SingleLineTextItem::editingFinished, this,
            [this](SingleLineTextItem *item) { onTitleEditingFinished(item); });

    positionRows();
    relayout();
    update();
}

EntityItem::~EntityItem()
{
    m_destroying = true;
    // The base class takes the box out of its scene without telling this class.
    placesChanged();
    if (m_batchModeStarted) {
        m_batchModeStarted = false;
        EdgeItem::setBatchMode(false);
    }

    // The scene and the main window delete edges before boxes. An edge left attached
    // would keep a dangling end, so it goes now, while this box is still whole.
    QList<QPointer<EdgeItem>> remaining;
    for (EdgeItem *edge : qAsConst(edges)) {
        if (edge && !remaining.contains(edge))
            remaining.append(edge);
    }
    if (!remaining.isEmpty())
        qWarning() << "EntityItem destroyed with" << remaining.size()
                   << "attached edges; deleting them first:" << m_title;
    for (const QPointer<EdgeItem> &edge : qAsConst(remaining)) {
        if (edge && edges.contains(edge.data()))
            delete edge.data();
    }

    // The cells talk back to their box (focus, menus, drags); let them go while the box
    // can still answer, instead of in the base class destructor.
    QList<SingleLineTextItem *> cells = nameItems + typeItems;
    cells.append(titleText_);
    nameItems.clear();
    typeItems.clear();
    titleText_ = nullptr;
    for (SingleLineTextItem *cell : qAsConst(cells)) {
        if (!cell)
            continue;
        disconnect(cell, nullptr, this, nullptr);
        delete cell;
    }
}

QRectF EntityItem::boundingRect() const
{
    return rect.adjusted(-3, -3, 3, 3);
}

// --- identity ---------------------------------------------------------------------------

QString EntityItem::id() const
{
    // An address would be reused after a delete and could match another box's edges.
    if (storedId.isEmpty())
        storedId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return storedId;
}

void EntityItem::setKind(EntityKind newKind)
{
    if (kind == newKind)
        return;
    kind = newKind;
    if (kind == EntityKind::View) {
        for (int row = 0; row < attributes.size(); ++row) {
            Attribute &a = attributes[row];
            a.isPrimaryKey = false;
            a.isUniqueKey = false;
            a.isForeignKey = false;
            a.isKey = false;
            a.fkEdgeId.clear();
            applyRowFont(row);
        }
    }
    update();
}

void EntityItem::setPerspective(int newPerspective)
{
    if (perspective == newPerspective)
        return;
    perspective = newPerspective;
    relayout();
    update();
}

// --- row accessors ----------------------------------------------------------------------

QString EntityItem::attributeName(int row) const
{
    return row >= 0 && row < attributes.size() ? attributes.at(row).name : QString();
}

QString EntityItem::attributeType(int row) const
{
    return row >= 0 && row < attributes.size() ? attributes.at(row).type : QString();
}

bool EntityItem::isAttributePrimaryKey(int row) const
{
    return row >= 0 && row < attributes.size() && attributes.at(row).isPrimaryKey;
}

bool EntityItem::isAttributeUniqueKey(int row) const
{
    return row >= 0 && row < attributes.size() && attributes.at(row).isUniqueKey;
}

bool EntityItem::isAttributeForeignKey(int row) const
{
    return row >= 0 && row < attributes.size() && attributes.at(row).isForeignKey;
}

QString EntityItem::attributeFkEdgeId(int row) const
{
    return row >= 0 && row < attributes.size() ? attributes.at(row).fkEdgeId : QString();
}

QString EntityItem::attributeColumnId(int row) const
{
    return row >= 0 && row < attributes.size() ? attributes.at(row).columnId : QString();
}

void EntityItem::setAttributeColumnId(int row, const QString &columnId)
{
    if (row >= 0 && row < attributes.size())
        attributes[row].columnId = columnId;
}

bool EntityItem::isRowVisible(int row) const
{
    if (row < 0 || row >= attributes.size())
        return false;
    const Attribute &a = attributes.at(row);
    switch (perspective) {
    case NamePrimaryForeign: return a.isPrimaryKey || a.isForeignKey;
    case NamePrimary: return a.isPrimaryKey;
    case NameOnly: return false;
    default: return true;
    }
}

int EntityItem::visibleRowCount() const
{
    int count = 0;
    for (int row = 0; row < attributes.size(); ++row) {
        if (isRowVisible(row))
            ++count;
    }
    return count;
}

int EntityItem::rowIndexOfTextItem(SingleLineTextItem *item) const
{
    if (!item)
        return -1;
    int index = nameItems.indexOf(item);
    if (index >= 0)
        return index < attributes.size() ? index : -1;
    index = typeItems.indexOf(item);
    if (index >= 0)
        return index < attributes.size() ? index : -1;
    return -1;
}

// --- layout -----------------------------------------------------------------------------

void EntityItem::applyRowFont(int row)
{
    if (row < 0 || row >= attributes.size())
        return;
    const Attribute &a = attributes.at(row);
    const bool inheritedViewRow = a.inherited && isView();
    for (SingleLineTextItem *cell : {nameItems.value(row), typeItems.value(row)}) {
        if (!cell)
            continue;
        QFont font = cell->font();
        font.setWeight(QFont::Normal);
        font.setUnderline(false);
        font.setItalic(false);
        if (!inheritedViewRow && (a.isPrimaryKey || a.isUniqueKey))
            font.setWeight(QFont::Bold);
        if (inheritedViewRow || a.isForeignKey)
            font.setItalic(true);
        if (font != cell->font())
            cell->setFont(font);
    }
    SingleLineTextItem *name = nameItems.value(row);
    const bool underlined = a.isPrimaryKey && !isView();
    if (name && name->isUnderlined() != underlined)
        name->setUnderlined(underlined);
    update();
}

void EntityItem::updateRowVisibility()
{
    const int count = int(qMax(nameItems.size(), typeItems.size()));
    for (int row = 0; row < count; ++row) {
        const bool visible = isRowVisible(row);
        if (SingleLineTextItem *name = nameItems.value(row))
            name->setVisible(visible);
        if (SingleLineTextItem *type = typeItems.value(row))
            type->setVisible(visible);
    }
    markLastVisibleRow();
}

void EntityItem::markLastVisibleRow()
{
    int last = -1;
    for (int row = int(nameItems.size()) - 1; row >= 0; --row) {
        if (isRowVisible(row)) {
            last = row;
            break;
        }
    }
    markLastRow(last);
}

void EntityItem::markLastRow(int last)
{
    SingleLineTextItem *name = last >= 0 ? nameItems.value(last) : nullptr;
    SingleLineTextItem *type = last >= 0 ? typeItems.value(last) : nullptr;
    if (m_lastNameCell != name) {
        if (m_lastNameCell)
            m_lastNameCell->setLastRow(false);
        m_lastNameCell = name;
    }
    if (m_lastTypeCell != type) {
        if (m_lastTypeCell)
            m_lastTypeCell->setLastRow(false);
        m_lastTypeCell = type;
    }
    if (name)
        name->setLastRow(true);
    if (type)
        type->setLastRow(true);
}

qreal EntityItem::titleWidth() const
{
    return titleText_ ? titleText_->boundingRect().width() : 0.0;
}

QList<QPair<qreal, qreal>> EntityItem::cellWidths() const
{
    // Measuring shapes the text; one measurement per cell serves a whole layout pass.
    const int n = int(qMin(nameItems.size(), typeItems.size()));
    QList<QPair<qreal, qreal>> widths(n, {0.0, 0.0});
    for (int row = 0; row < n; ++row) {
        if (!isRowVisible(row))
            continue;
        if (nameItems.at(row))
            widths[row].first = nameItems.at(row)->naturalWidth();
        if (typeItems.at(row))
            widths[row].second = typeItems.at(row)->naturalWidth();
    }
    return widths;
}

void EntityItem::positionRows()
{
    if (layoutDeferred()) {
        m_layoutPending = true;
        return;
    }
    updateRowVisibility();
    placeRows(cellWidths());
}

void EntityItem::placeRows(const QList<QPair<qreal, qreal>> &widths)
{
    const int n = int(widths.size());
    qreal maxName = 0;
    qreal maxType = 0;
    for (int row = 0; row < n; ++row) {
        if (!isRowVisible(row) || !nameItems.at(row) || !typeItems.at(row))
            continue;
        maxName = qMax(maxName, widths.at(row).first);
        maxType = qMax(maxType, widths.at(row).second);
    }
    const qreal titleW = titleWidth();
    qreal need = titleW;
    if (maxName > 0 || maxType > 0)
        need = qMax(maxName + 12 + maxType, titleW);
    need += 20;
    if (need > rect.width()) {
        prepareGeometryChange();
        rect.setWidth(need);
        placesChanged();
    }

    if (titleText_) {
        const qreal advance = titleText_->metricsAdvance();
        const qreal h = QFontMetricsF(titleText_->font()).height();
        titleText_->setPos(qMax((rect.width() - advance) * 0.5, CellInset),
                           qMax((HeaderHeight - h) * 0.5, 2.0));
    }

    qreal y = FirstRowY;
    for (int row = 0; row < n; ++row) {
        SingleLineTextItem *name = nameItems.at(row);
        SingleLineTextItem *type = typeItems.at(row);
        if (!name || !type || !isRowVisible(row))
            continue;
        name->setPos(CellInset, y);
        type->setPos(qMax(widths.at(row).first + CellInset + 12,
                          rect.width() - CellInset - widths.at(row).second),
                     y);
        y += RowStep;
    }
}

void EntityItem::relayout()
{
    if (layoutDeferred()) {
        m_layoutPending = true;
        return;
    }
    updateRowVisibility();
    // Setting a text width lays the document out again even when it is unchanged.
    auto noWrapping = [](SingleLineTextItem *cell) {
        if (cell && cell->textWidth() != -1)
            cell->setTextWidth(-1);
    };
    for (SingleLineTextItem *cell : qAsConst(nameItems))
        noWrapping(cell);
    for (SingleLineTextItem *cell : qAsConst(typeItems))
        noWrapping(cell);
    noWrapping(titleText_);

    const int visible = visibleRowCount();
    const QList<QPair<qreal, qreal>> widths = cellWidths();
    qreal maxName = 0;
    qreal maxType = 0;
    for (const auto &w : widths) {
        maxName = qMax(maxName, w.first);
        maxType = qMax(maxType, w.second);
    }
    const qreal titleW = titleWidth();

    qreal width;
    qreal height;
    if (visible > 0) {
        width = qMax(20 + qMax(maxName + 16 + maxType, titleW), MinimumWidth);
        height = visible * RowStep + 45;
    } else {
        width = qMax(titleW + 20, MinimumWidth);
        height = 40;
    }

    const bool routing = !EdgeItem::isRoutingSuppressed();
    const bool sameSize = qFuzzyCompare(width, rect.width()) && qFuzzyCompare(height, rect.height());
    if (!sameSize) {
        prepareGeometryChange();
        rect = QRectF(0, 0, width, height);
        placesChanged();
    }
    placeRows(widths);
    if (routing) {
        for (SlotItem *slot : qAsConst(slotItems))
            slot->constrainToParent();
        updateEdges();
    }
    if (!sameSize)
        update();
}

// --- painting -----------------------------------------------------------------------------

void EntityItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *)
{
    const ThemePalette palette = ThemeManager::instance()->colors();
    const bool dark = ThemeManager::instance()->kind() == ThemeKind::Dark;
    const bool selected = option && (option->state & QStyle::State_Selected);

    QColor outline = dark ? fgDark : fgLight;
    if (!outline.isValid())
        outline = palette.border;
    if (selected)
        outline = palette.selection;
    const QPen outlinePen(outline, 2.0, Qt::SolidLine);

    painter->setRenderHint(QPainter::Antialiasing, true);
    const qreal radius = isView() ? 12.0 : 6.0;

    painter->setPen(outlinePen);
    painter->setBrush(resolved(dark ? bgDark : bgLight, palette.surface));
    painter->drawRoundedRect(rect, radius, radius);

    QPainterPath outlinePath;
    outlinePath.addRoundedRect(rect, radius, radius);
    painter->save();
    painter->setClipPath(outlinePath, Qt::IntersectClip);
    painter->fillRect(QRectF(rect.left(), rect.top(), rect.width(), HeaderHeight),
                      resolved(dark ? hdrDark : hdrLight, palette.header));
    painter->restore();

    painter->setPen(outlinePen);
    painter->drawLine(QPointF(rect.left(), rect.top() + HeaderHeight),
                      QPointF(rect.left() + rect.width(), rect.top() + HeaderHeight));

    if (dragActive && dropGap >= 0) {
        painter->save();
        int k = 0;
        for (int row = 0; row < dropGap && row < attributes.size(); ++row) {
            if (isRowVisible(row))
                ++k;
        }
        const qreal y = FirstRowY + RowStep * k;
        const qreal w = rect.width();
        painter->setPen(QPen(palette.selection, 2.0, Qt::SolidLine, Qt::RoundCap));
        painter->drawLine(QPointF(CellInset, y), QPointF(w - CellInset, y));
        painter->setPen(Qt::NoPen);
        painter->setBrush(palette.selection);
        painter->drawEllipse(QRectF(6.5, y - 3.5, 7, 7));
        painter->drawEllipse(QRectF(w - CellInset - 3.5, y - 3.5, 7, 7));
        painter->restore();
    }
}

// --- colours ------------------------------------------------------------------------------

void EntityItem::setColors(const EntityColorScheme &scheme, bool dark)
{
    if (dark) {
        bgDark = scheme.background;
        hdrDark = scheme.header;
        fgDark = scheme.border;
        txtDark = scheme.text;
    } else {
        bgLight = scheme.background;
        hdrLight = scheme.header;
        fgLight = scheme.border;
        txtLight = scheme.text;
    }
}

void EntityItem::setColorScheme(const DualThemeColorScheme &scheme)
{
    setColors(scheme.light, false);
    setColors(scheme.dark, true);
    applyTextColors();
    update();
}

EntityColorScheme EntityItem::themeColorScheme(bool dark) const
{
    const ThemePalette palette = dark ? ThemeManager::darkColors() : ThemeManager::lightColors();
    EntityColorScheme scheme;
    scheme.background = resolved(dark ? bgDark : bgLight, palette.surface);
    scheme.header = resolved(dark ? hdrDark : hdrLight, palette.header);
    const QColor border = dark ? fgDark : fgLight;
    scheme.border = border.isValid() ? border : palette.border;
    scheme.text = resolved(dark ? txtDark : txtLight, palette.text);
    return scheme;
}

DualThemeColorScheme EntityItem::colorScheme() const
{
    return {themeColorScheme(false), themeColorScheme(true)};
}

QColor EntityItem::effectiveTextColor() const
{
    const bool dark = ThemeManager::instance()->kind() == ThemeKind::Dark;
    return resolved(dark ? txtDark : txtLight, ThemeManager::instance()->colors().text);
}

void EntityItem::applyTextColors()
{
    const QColor color = effectiveTextColor();
    // The cells' text has no colour of its own, so the document paints in the default
    // colour as it is at paint time: no re-layout needed, only a repaint.
    auto recolor = [&color](SingleLineTextItem *cell) {
        if (cell)
            cell->setDefaultTextColor(color);
    };
    // New cells are made in the current colour, so adding a row touches no other cell.
    if (color != m_cellTextColor) {
        recolor(titleText_);
        for (SingleLineTextItem *cell : qAsConst(nameItems))
            recolor(cell);
        for (SingleLineTextItem *cell : qAsConst(typeItems))
            recolor(cell);
        m_cellTextColor = color;
    }
    update();
}

void EntityItem::onThemeChanged()
{
    // Repaints the box too.
    applyTextColors();
}

// --- focused row ----------------------------------------------------------------------------

void EntityItem::markActiveRow(int row)
{
    if (row < 0)
        return;
    for (SingleLineTextItem *cell : {nameItems.value(row), typeItems.value(row)}) {
        if (cell) {
            cell->setFocusFrameVisible(true);
            cell->update();
        }
    }
}

void EntityItem::clearActiveRow()
{
    if (activeRow < 0)
        return;
    const int row = activeRow;
    activeRow = -1;
    for (SingleLineTextItem *cell : {nameItems.value(row), typeItems.value(row)}) {
        if (cell) {
            cell->setFocusFrameVisible(false);
            cell->update();
        }
    }
}

void EntityItem::activateRowOfCell(SingleLineTextItem *cell)
{
    int row = nameItems.indexOf(cell);
    if (row < 0)
        row = typeItems.indexOf(cell);
    if (!cell || row < 0) {
        clearActiveRow();
        return;
    }
    if (QGraphicsScene *s = scene()) {
        const QList<QGraphicsItem *> items = s->items();
        for (QGraphicsItem *item : items) {
            if (item != this && item->type() == Type)
                static_cast<EntityItem *>(item)->clearActiveRow();
        }
    }
    if (activeRow == row) {
        markActiveRow(row);
    } else {
        clearActiveRow();
        activeRow = row;
        markActiveRow(row);
    }
}

void EntityItem::onCellFocusChanged(SingleLineTextItem *cell, bool focusIn)
{
    if (m_destroying)
        return;
    if (focusIn) {
        activateRowOfCell(cell);
        return;
    }
    // Later, so that focus moving between the two cells of one row keeps the frame.
    QPointer<SingleLineTextItem> watched(cell);
    QTimer::singleShot(0, this, [this, watched] {
        SingleLineTextItem *c = watched.data();
        if (!c)
            return;
        int row = nameItems.indexOf(c);
        if (row < 0)
            row = typeItems.indexOf(c);
        if (row < 0 || activeRow != row)
            return;
        SingleLineTextItem *name = nameItems.value(row);
        SingleLineTextItem *type = typeItems.value(row);
        if ((name && name->hasFocus()) || (type && type->hasFocus()))
            return;
        clearActiveRow();
    });
}

// --- edges and slots --------------------------------------------------------------------------

quint64 EntityItem::placesGeneration()
{
    return boxPlaces.load(std::memory_order_relaxed);
}

void EntityItem::placesChanged()
{
    boxPlaces.fetch_add(1, std::memory_order_relaxed);
}

void EntityItem::addEdge(EdgeItem *edge)
{
    edges.append(edge);
}

void EntityItem::removeEdge(EdgeItem *edge)
{
    edges.removeAll(edge);
}

void EntityItem::updateEdges()
{
    if (EdgeItem::isRoutingSuppressed())
        return;
    const QList<EdgeItem *> attached = edges;
    for (EdgeItem *edge : attached) {
        if (edge)
            edge->scheduleReroute();
    }
}

void EntityItem::releaseSlot(SlotItem *slot)
{
    if (!slot || !slotItems.contains(slot))
        return;
    slot->setEdge(nullptr);
    slot->setRevealed(false);
}

SlotItem *EntityItem::freeSlot()
{
    for (SlotItem *slot : qAsConst(slotItems)) {
        if (!slot->edge())
            return slot;
    }
    auto *slot = new SlotItem(this);
    slot->setPos(8, 38 + 20 * slotItems.size());
    slot->clampToParentRect();
    slotItems.append(slot);
    return slot;
}

SlotItem *EntityItem::slotAt(EntitySide side, const QPointF &localPos)
{
    SlotItem *slot = nullptr;
    for (SlotItem *candidate : qAsConst(slotItems)) {
        if (!candidate->edge()) {
            slot = candidate;
            break;
        }
    }
    if (!slot) {
        slot = new SlotItem(this);
        slotItems.append(slot);
    }
    slot->setSide(side);
    slot->setPos(localPos);
    slot->constrainToParent();
    return slot;
}

SlotItem *EntityItem::slotForScenePoint(const QPointF &scenePos)
{
    const QRectF r = mapRectToScene(rect);
    const QPointF c = r.center();
    const QPointF d = scenePos - c;
    EntitySide side;
    if (qAbs(d.x()) > qAbs(d.y()))
        side = d.x() > 0 ? EntitySide::Right : EntitySide::Left;
    else
        side = d.y() > 0 ? EntitySide::Bottom : EntitySide::Top;

    QPointF target;
    switch (side) {
    case EntitySide::Left: target = QPointF(r.left(), c.y()); break;
    case EntitySide::Right: target = QPointF(r.right(), c.y()); break;
    case EntitySide::Top: target = QPointF(c.x(), r.top()); break;
    case EntitySide::Bottom: target = QPointF(c.x(), r.bottom()); break;
    }
    return slotAt(side, mapFromScene(target));
}

QRectF EntityItem::hostRect() const
{
    return rect;
}
