// The user's side of the entity box: editing in place, the walk between cells, new
// rows, row drags, the context menu and moving boxes with their edges.
#include "entityitem.h"

#include "edgeitem.h"
#include "entityeditdialog.h"
#include "entityobstacleindex.h"
#include "itemslog.h"
#include "singlelinetextitem.h"
#include "slotitem.h"
#include "uiseam.h"

#include <QActionGroup>
#include <QGraphicsScene>
#include <QGraphicsSceneMouseEvent>
#include <QGraphicsView>
#include <QMenu>
#include <QPointer>
#include <QSet>
#include <QtDebug>

// --- title ----------------------------------------------------------------------------------

void EntityItem::setTitle(const QString &text)
{
    // Kept as the title cell shows it, so that leaving the cell unchanged renames nothing.
    const QString title = singleLineText(text);
    const bool changed = m_title != title;
    m_title = title;
    if (titleText_) {
        if (titleText_->toPlainText() != title)
            titleText_->setPlainText(title);
        titleText_->setFont(entityFont(true));
        titleText_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    }
    positionRows();
    relayout();
    update();
    if (changed)
        emit titleChanged(title);
}

QString EntityItem::defaultTitle(QGraphicsScene *scene, bool view) const
{
    const QString prefix = view ? QStringLiteral("view_") : QStringLiteral("table_");
    int count = 0;
    QStringList names;
    if (scene) {
        const QList<QGraphicsItem *> items = scene->items();
        for (QGraphicsItem *item : items) {
            if (item->type() != Type)
                continue;
            auto *entity = static_cast<EntityItem *>(item);
            if (entity->isView() != view)
                continue;
            ++count;
            if (entity != this)
                names.append(entity->title());
        }
    }
    return makeUniqueName(prefix, count + 1, names);
}

void EntityItem::onTitleEditingFinished(SingleLineTextItem *)
{
    if (!titleText_)
        return;
    QString text = titleText_->toPlainText();
    if (isBlankText(text))
        text = defaultTitle(scene(), isView());
    setTitle(text);
}

// --- editing cells ----------------------------------------------------------------------------

QString EntityItem::defaultAttributeType(int row) const
{
    if (row < 0 || row >= attributes.size())
        return QStringLiteral("undefined");
    const Attribute &a = attributes.at(row);
    if (a.isForeignKey) {
        const QString referenced = referencedPrimaryKeyType(row);
        if (!referenced.isEmpty())
            return referenced;
    }
    if (a.isPrimaryKey)
        return defaultKeyTypeForScene(scene());
    return QStringLiteral("undefined");
}

void EntityItem::onAttributeEditingFinished(SingleLineTextItem *item, bool viaTab,
                                            bool viaBacktab)
{
    qCDebug(lcItems) << "onAttributeEditingFinished, viaTab:" << viaTab << "viaBacktab:" << viaBacktab;
    int row = nameItems.indexOf(item);
    const bool nameCell = item && row >= 0 && row < attributes.size();
    if (!nameCell) {
        row = typeItems.indexOf(item);
        if (!item || row >= attributes.size())
            row = -1;
    }

    QPointer<EntityItem> alive(this);
    if (row >= 0) {
        const QString oldName = attributes.at(row).name;
        const QString oldType = attributes.at(row).type;
        if (nameCell) {
            const QString text = item->toPlainText();
            QString newName = rightTrimmed(text);
            bool typeSet = false;
            const int count = int(attributes.size());
            if (isBlankText(text)) {
                if (isView() || (!attributes.at(row).isPrimaryKey && count > 1)) {
                    QStringList others;
                    for (int r = 0; r < count; ++r) {
                        if (r != row)
                            others.append(attributes.at(r).name);
                    }
                    newName = makeUniqueName(QStringLiteral("column_"), count + 1, others);
                } else {
                    int keys = 0;
                    for (const Attribute &a : qAsConst(attributes)) {
                        if (a.isPrimaryKey)
                            ++keys;
                    }
                    QString base = m_title + QStringLiteral("_id");
                    if (count > 1 && keys > 1)
                        base += QLatin1Char('_') + QString::number(row + 1);
                    newName = base;
                    for (int n = 2; indexOfName(newName, row) >= 0; ++n)
                        newName = base + QLatin1Char('_') + QString::number(n);
                    if (count == 1) {
                        attributes[row].isPrimaryKey = true;
                        attributes[row].isKey = true;
                        setRowType(row, defaultKeyTypeForScene(scene()));
                        typeSet = true;
                    }
                }
            } else if (indexOfName(newName, row) >= 0) {
                // Two rows of one name would merge into one on the next load.
                newName = uniqueNameExcept(newName, row);
            }
            setRowName(row, newName);
            if (item->toPlainText() != newName)
                item->setPlainText(newName);
            if (!typeSet) {
                SingleLineTextItem *typeCell = typeItems.value(row);
                const QString typeText = typeCell ? typeCell->toPlainText() : attributes.at(row).type;
                attributes[row].type = isBlankText(typeText) ? defaultAttributeType(row) : typeText;
                if (typeCell && typeCell->toPlainText() != attributes.at(row).type)
                    typeCell->setPlainText(attributes.at(row).type);
            }
        } else {
            const QString text = item->toPlainText();
            attributes[row].type = isBlankText(text) ? defaultAttributeType(row) : text;
            if (text != attributes.at(row).type)
                item->setPlainText(attributes.at(row).type);
        }

        applyRowFont(row);
        if (attributes.at(row).isPrimaryKey)
            propagatePrimaryKeyType(row);
        if (!alive)
            return;
        if (row < attributes.size()
            && (attributes.at(row).name != oldName || attributes.at(row).type != oldType)) {
            const Attribute &a = attributes.at(row);
            emit attributeEdited(row, oldName, a.name, a.type);
        }
    }
    if (!alive)
        return;
    relayout();
    walkAfterEdit(item, viaTab, viaBacktab);
}

void EntityItem::walkAfterEdit(SingleLineTextItem *item, bool viaTab, bool viaBacktab)
{
    // The row may have moved or gone while the edit was reported; look it up again.
    const int nameRow = item ? int(nameItems.indexOf(item)) : -1;
    const int typeRow = item ? int(typeItems.indexOf(item)) : -1;
    const int count = int(attributes.size());

    if (viaBacktab) {
        if (typeRow >= 0 && typeRow < count) {
            if (isRowVisible(typeRow) && nameItems.value(typeRow))
                nameItems.at(typeRow)->beginEditing();
        } else if (nameRow >= 0 && nameRow < count) {
            for (int r = nameRow - 1; r >= 0; --r) {
                if (isRowVisible(r) && typeItems.value(r)) {
                    typeItems.at(r)->beginEditing();
                    break;
                }
            }
        }
        return;
    }
    if (viaTab) {
        if (nameRow >= 0 && nameRow < count) {
            if (isRowVisible(nameRow) && typeItems.value(nameRow))
                typeItems.at(nameRow)->beginEditing();
        } else if (typeRow >= 0 && typeRow < count) {
            for (int r = typeRow + 1; r < count; ++r) {
                if (isRowVisible(r) && nameItems.value(r)) {
                    nameItems.at(r)->beginEditing();
                    return;
                }
            }
            onNewAttributeRequested();
        }
    }
}

void EntityItem::onNewAttributeRequested()
{
    qCDebug(lcItems) << "onNewAttributeRequested called";
    if (perspective != Full)
        setPerspective(Full);
    QStringList names;
    for (const Attribute &a : qAsConst(attributes))
        names.append(a.name);
    const QString name = makeUniqueName(QStringLiteral("column_"), int(attributes.size()) + 1, names);
    QPointer<EntityItem> alive(this);
    addAttributeRow(name, QStringLiteral("undefined"), false, false, false, false);
    if (alive && !nameItems.isEmpty() && nameItems.last())
        nameItems.last()->beginEditing();
}

void EntityItem::addNewAttribute()
{
    onNewAttributeRequested();
}

void EntityItem::editLastVisibleAttribute()
{
    if (attributes.isEmpty()) {
        onNewAttributeRequested();
        return;
    }
    int row = -1;
    for (int r = int(attributes.size()) - 1; r >= 0; --r) {
        if (isRowVisible(r)) {
            row = r;
            break;
        }
    }
    if (row < 0) {
        setPerspective(Full);
        row = int(attributes.size()) - 1;
    }
    if (SingleLineTextItem *cell = nameItems.value(row))
        cell->beginEditing();
}

// --- row drag ---------------------------------------------------------------------------------

int EntityItem::dropGapAt(const QPointF &localPos) const
{
    const int count = int(attributes.size());
    if (count == 0)
        return 0;
    QList<int> visible;
    for (int row = 0; row < count; ++row) {
        if (isRowVisible(row))
            visible.append(row);
    }
    const int n = int(visible.size());
    if (n == 0)
        return count;
    const qreal y = localPos.y();
    if (y < 33)
        return visible.first();
    if (y > n * 18 + 33)
        return count;
    int k = int((y - 33) / 18);
    if ((y - 33) - 18 * k >= 9)
        ++k;
    k = qBound(0, k, n);
    return k < n ? visible.at(k) : count;
}

void EntityItem::onAttributeDragStarted(SingleLineTextItem *item, QPointF scenePos)
{
    const int row = rowIndexOfTextItem(item);
    if (row < 0)
        return;
    qCDebug(lcItems) << "Drag started for attribute at index:" << row;
    dragActive = true;
    dragItem = item;
    dragRow = row;
    dragPos = mapFromScene(scenePos);
    dropGap = dropGapAt(dragPos);
    if (SingleLineTextItem *name = nameItems.value(row))
        name->setOpacity(0.35);
    if (SingleLineTextItem *type = typeItems.value(row))
        type->setOpacity(0.35);
    setCursor(Qt::ClosedHandCursor);
    update();
}

void EntityItem::onAttributeDragMoved(const QPointF &localPos)
{
    if (!dragActive)
        return;
    dragPos = localPos;
    dropGap = dropGapAt(localPos);
    update();
}

void EntityItem::finishAttributeDrag()
{
    if (!dragActive)
        return;
    const int from = dragRow;
    const int gap = dropGap;
    const int count = int(attributes.size());
    QPointer<EntityItem> alive(this);
    if (from >= 0 && from < count && gap != from && gap != from + 1) {
        const int to = qBound(0, gap > from ? gap - 1 : gap, count - 1);
        qCDebug(lcItems) << "Moving attribute from" << from << "to" << to;
        moveAttribute(from, to);
    }
    if (alive)
        resetDragVisuals();
}

void EntityItem::resetDragVisuals()
{
    for (SingleLineTextItem *cell : qAsConst(nameItems)) {
        if (cell)
            cell->setOpacity(1.0);
    }
    for (SingleLineTextItem *cell : qAsConst(typeItems)) {
        if (cell)
            cell->setOpacity(1.0);
    }
    dragActive = false;
    dragRow = -1;
    dragItem = nullptr;
    dropGap = -1;
    unsetCursor();
    update();
}

void EntityItem::onFkAttributeClicked(SingleLineTextItem *item)
{
    const int row = rowIndexOfTextItem(item);
    if (row < 0 || !attributes.at(row).isForeignKey)
        return;
    for (EdgeItem *edge : qAsConst(edges)) {
        if (edge && edge->to == this && foreignKeyRowsForEdge(edge).contains(row)) {
            edge->setSelected(!edge->isSelected());
            return;
        }
    }
}

// --- menu and dialog ----------------------------------------------------------------------------

void EntityItem::requestRefreshFromModel()
{
    emit refreshFromModelRequested();
}

void EntityItem::openEditDialog()
{
    QWidget *parent = nullptr;
    if (QGraphicsScene *s = scene(); s && !s->views().isEmpty())
        parent = s->views().first();
    // The dialog may lose its parent view during the nested loop: hold it weakly.
    QPointer<EntityEditDialog> dialog = new EntityEditDialog(m_title, parent);
    uiseam::runDialog(dialog);
    delete dialog.data();
}

void EntityItem::showContextMenu(const QPoint &screenPos, Qt::KeyboardModifiers modifiers)
{
    QGraphicsScene *s = scene();
    if (!isSelected()) {
        if (s && !(modifiers & Qt::ControlModifier))
            s->clearSelection();
        setSelected(true);
    }
    QList<QPointer<EntityItem>> targets;
    const QList<EntityItem *> selected = selectedEntityItems(s);
    for (EntityItem *entity : selected)
        targets.append(entity);
    if (targets.isEmpty())
        targets.append(this);

    bool anyTable = false;
    int shared = -2;
    for (const QPointer<EntityItem> &target : qAsConst(targets)) {
        anyTable = anyTable || !target->isView();
        const int p = (target->perspective >= 1 && target->perspective <= 3) ? target->perspective : 0;
        shared = (shared == -2 || shared == p) ? p : -1;
    }

    QMenu menu;
    QAction *editAction = menu.addAction(tr("Edit"));
    QAction *refreshAction = nullptr;
    if (anyTable) {
        menu.addSeparator();
        refreshAction = menu.addAction(tr("Refresh from model"));
    }
    menu.addSeparator();
    auto *group = new QActionGroup(&menu);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const char *const labels[] = {
        QT_TR_NOOP("Full"),
        QT_TR_NOOP("Entity name, primary columns and foreign columns"),
        QT_TR_NOOP("Entity name and primary columns"),
        QT_TR_NOOP("Entity name"),
    };
    for (int p = 0; p < 4; ++p) {
        QAction *action = menu.addAction(tr(labels[p]));
        action->setCheckable(true);
        action->setData(p);
        action->setChecked(shared == p);
        group->addAction(action);
    }

    QPointer<EntityItem> alive(this);
    QAction *chosen = uiseam::runMenu(&menu, screenPos);
    if (!chosen)
        return;
    if (chosen == editAction) {
        if (alive)
            openEditDialog();
    } else if (chosen == refreshAction) {
        for (const QPointer<EntityItem> &target : qAsConst(targets)) {
            if (target && !target->isView())
                target->requestRefreshFromModel();
        }
    } else if (chosen->actionGroup() == group) {
        const int p = chosen->data().toInt();
        for (const QPointer<EntityItem> &target : qAsConst(targets)) {
            if (target)
                target->setPerspective(p);
        }
    }
}

// --- selection and moving -------------------------------------------------------------------------

QList<EntityItem *> EntityItem::selectedEntityItems(QGraphicsScene *scene)
{
    QList<EntityItem *> result;
    if (!scene)
        return result;
    const QList<QGraphicsItem *> selected = scene->selectedItems();
    for (QGraphicsItem *item : selected) {
        if (item->type() == Type)
            result.append(static_cast<EntityItem *>(item));
    }
    return result;
}

bool EntityItem::selectionHasInnerEdges(QGraphicsScene *scene)
{
    if (!scene)
        return false;
    int entities = 0;
    EntityItem *lastEntity = nullptr;
    QList<EdgeItem *> selectedEdges;
    const QList<QGraphicsItem *> selected = scene->selectedItems();
    for (QGraphicsItem *item : selected) {
        if (item->type() == Type) {
            ++entities;
            lastEntity = static_cast<EntityItem *>(item);
        } else if (item->type() == DiagramItemType::EdgeItem) {
            selectedEdges.append(static_cast<EdgeItem *>(item));
        }
    }
    if (selectedEdges.isEmpty())
        return false;
    if (entities > 1)
        return true;
    if (entities == 1) {
        for (EdgeItem *edge : qAsConst(selectedEdges)) {
            if (edge->from != lastEntity || edge->to != lastEntity)
                return false;
        }
        return true;
    }
    return false;
}

QVariant EntityItem::itemChange(GraphicsItemChange change, const QVariant &value)
{
    switch (change) {
    case ItemPositionHasChanged:
    case ItemSceneHasChanged:
    case ItemParentHasChanged:
    case ItemTransformHasChanged:
    case ItemRotationHasChanged:
    case ItemScaleHasChanged:
    case ItemTransformOriginPointHasChanged:
    case ItemZValueHasChanged:
    case ItemVisibleHasChanged:
        placesChanged();
        break;
    default:
        break;
    }
    if ((change == ItemPositionHasChanged
         || (change == ItemSceneHasChanged && value.value<QGraphicsScene *>()))
        && !EdgeItem::isRoutingSuppressed()) {
        for (SlotItem *slot : qAsConst(slotItems))
            slot->clampToParentRect();
        for (SlotItem *slot : qAsConst(slotItems))
            slot->constrainToParent();
        const QList<EdgeItem *> attached = edges;
        for (EdgeItem *edge : attached) {
            if (edge)
                edge->scheduleReroute();
        }
    }
    if (change == ItemSelectedHasChanged && !value.toBool())
        clearActiveRow();
    return QGraphicsObject::itemChange(change, value);
}

void EntityItem::mousePressEvent(QGraphicsSceneMouseEvent *event)
{
    if (dragActive) {
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        event->accept();
        showContextMenu(event->screenPos(), event->modifiers());
        return;
    }
    const int selectedBoxes = int(selectedEntityItems(scene()).size());
    EdgeItem::setDiscardPendingReroutes(selectionHasInnerEdges(scene()));
    EdgeItem::setLargeSelectionMove(selectedBoxes > 5);
    EdgeItem::setBatchMode(true);
    m_batchModeStarted = true;
    QGraphicsObject::mousePressEvent(event);
    // The press has selected what the drag moves.
    qsizetype lines = 0;
    for (const EntityItem *box : selectedEntityItems(scene()))
        lines += box->edges.size();
    EdgeItem::prepareDragOfLines(scene(), lines);
}

void EntityItem::mouseMoveEvent(QGraphicsSceneMouseEvent *event)
{
    if (dragActive) {
        onAttributeDragMoved(event->pos());
        event->accept();
        return;
    }
    QGraphicsObject::mouseMoveEvent(event);
}

void EntityItem::mouseDoubleClickEvent(QGraphicsSceneMouseEvent *event)
{
    QGraphicsObject::mouseDoubleClickEvent(event);
}

void EntityItem::mouseReleaseEvent(QGraphicsSceneMouseEvent *event)
{
    if (dragActive) {
        finishAttributeDrag();
        event->accept();
        return;
    }
    QGraphicsObject::mouseReleaseEvent(event);
    QGraphicsScene *s = scene();
    const bool discard = selectionHasInnerEdges(s);
    // The boxes stay put from here on: one index answers the obstacle look-ups of every
    // re-route below.
    const bool fresh = s && !EdgeItem::obstacleIndexFor(s);
    const EntityObstacleIndex obstacles(s, fresh ? EntityObstacleIndex::boxesOf(s) : QList<EntityItem *>());
    const ObstacleIndexScope useObstacles(fresh ? &obstacles : EdgeItem::obstacleIndex());

    // Each edge once, in the order of the moved boxes and of each box's edge list.
    const QList<EntityItem *> moved = selectedEntityItems(s);
    QList<QPointer<EdgeItem>> movedEdges;
    QSet<EdgeItem *> listed;
    for (EntityItem *entity : moved) {
        for (EdgeItem *edge : qAsConst(entity->edges)) {
            if (edge && !listed.contains(edge)) {
                listed.insert(edge);
                movedEdges.append(edge);
            }
        }
    }
    // Routed below once their slots face the right way; a full re-route at the end of the
    // batch as well would be thrown away.
    if (!discard) {
        for (const QPointer<EdgeItem> &edge : qAsConst(movedEdges)) {
            if (edge->from != edge->to && !edge->manualRoute)
                edge->forgetQueuedReroutes();
        }
    }
    m_batchModeStarted = false;
    EdgeItem::setBatchMode(false);

    for (const QPointer<EdgeItem> &edge : qAsConst(movedEdges)) {
        if (edge && edge->from != edge->to)
            edge->reassignSlotsIfSideChanged();
    }
    for (const QPointer<EdgeItem> &edge : qAsConst(movedEdges)) {
        if (!edge || edge->from == edge->to)
            continue;
        if (discard && edge->isSelected() && moved.contains(edge->from) && moved.contains(edge->to))
            edge->rerouteStraightWhenAligned();
        else
            edge->updatePathRespectingManual();
    }
    // Lines of other boxes that a moved box now stands on would run hidden under it.
    EdgeItem::rerouteLinesUnder(s, moved, listed);
}

bool EntityItem::sceneEvent(QEvent *event)
{
    // A press whose release never comes (grab taken away, a modal box during the drag)
    // must not leave every later re-route queued.
    if (event->type() == QEvent::UngrabMouse && m_batchModeStarted) {
        m_batchModeStarted = false;
        EdgeItem::setBatchMode(false);
    }
    return QGraphicsObject::sceneEvent(event);
}
