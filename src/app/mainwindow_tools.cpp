// Diagram tools: the placement modes, click-to-connect with its dashed line, the entity
// shortcuts, the automatic layout action and deletion of selections and columns.
#include "mainwindow.h"
#include "ui_MainWindow.h"

#include "applog.h"
#include "busyspinnerwidget.h"
#include "columnitem.h"
#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "erview.h"
#include "flagguard.h"
#include "groupitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "singlelinetextitem.h"
#include "tableitem.h"
#include "textitem.h"
#include "uiprompts.h"
#include "annotationitem.h"

#include <QAction>
#include <QGraphicsPathItem>
#include <QPen>
#include <QPointer>

namespace {

QPainterPath straightLine(const QPointF &from, const QPointF &to)
{
    QPainterPath path(from);
    path.lineTo(to);
    return path;
}

template <typename T>
void appendOnce(QList<QPointer<T>> &list, T *item)
{
    for (const QPointer<T> &known : list) {
        if (known == item)
            return;
    }
    list.append(item);
}

} // namespace

// ---- Placement modes

void MainWindow::setViewModeOf(QAction *action, bool on)
{
    ERView *view = ui->view;
    if (action == ui->actionAdd_Table)
        view->setAddTableMode(on);
    else if (action == ui->actionAdd_View)
        view->setAddViewMode(on);
    else if (action == ui->actionAdd_Text)
        view->setAddTextMode(on);
    else if (action == ui->actionAdd_Group)
        view->setAddGroupMode(on);
    else if (action == ui->actionAdd_Relationship)
        view->setAddRelationshipMode(on);
}

void MainWindow::endPlacementMode(QAction *action)
{
    if (!action || !action->isChecked())
        return;
    if (action == ui->actionAdd_Relationship) {
        endRelationshipMode();
        return;
    }
    setViewModeOf(action, false);
    // Unchecking from code does not trigger the handler, so nothing recurses.
    action->setChecked(false);
}

void MainWindow::endRelationshipMode()
{
    if (ui && ui->view)
        ui->view->setAddRelationshipMode(false);
    if (ui && ui->actionAdd_Relationship)
        ui->actionAdd_Relationship->setChecked(false);
    clearRelationshipRubberBand();
    if (EntityItem *source = relationshipSource)
        source->setSelected(false);
    relationshipSource = nullptr;
}

void MainWindow::enterPlacementMode(QAction *action, bool checked,
                                    const QList<QAction *> &othersInOrder)
{
    if (!checked) {
        setViewModeOf(action, false);
        ui->view->updateModeCursor();
        return;
    }
    for (QAction *other : othersInOrder)
        endPlacementMode(other);
    setViewModeOf(action, true);
}

void MainWindow::on_actionAdd_Table_triggered(bool checked)
{
    enterPlacementMode(ui->actionAdd_Table, checked,
                       {ui->actionAdd_View, ui->actionAdd_Relationship, ui->actionAdd_Text,
                        ui->actionAdd_Group});
}

void MainWindow::on_actionAdd_View_triggered(bool checked)
{
    enterPlacementMode(ui->actionAdd_View, checked,
                       {ui->actionAdd_Table, ui->actionAdd_Relationship, ui->actionAdd_Text,
                        ui->actionAdd_Group});
}

void MainWindow::on_actionAdd_Text_triggered(bool checked)
{
    enterPlacementMode(ui->actionAdd_Text, checked,
                       {ui->actionAdd_Table, ui->actionAdd_View, ui->actionAdd_Group,
                        ui->actionAdd_Relationship});
}

void MainWindow::on_actionAdd_Group_triggered(bool checked)
{
    enterPlacementMode(ui->actionAdd_Group, checked,
                       {ui->actionAdd_Table, ui->actionAdd_View, ui->actionAdd_Text,
                        ui->actionAdd_Relationship});
}

void MainWindow::on_actionAdd_Relationship_triggered(bool checked)
{
    for (QAction *other : {ui->actionAdd_Table, ui->actionAdd_View, ui->actionAdd_Text,
                           ui->actionAdd_Group})
        endPlacementMode(other);
    if (checked) {
        relationshipSource = nullptr;
        ui->view->setAddRelationshipMode(true);
        return;
    }
    ui->view->updateModeCursor();
    clearRelationshipRubberBand();
    if (EntityItem *source = relationshipSource)
        source->setSelected(false);
    relationshipSource = nullptr;
    ui->view->setAddRelationshipMode(false);
}

// ---- Rubber band

void MainWindow::showRelationshipRubberBand(EntityItem *source, const QPointF &scenePos)
{
    clearRelationshipRubberBand();
    if (!source || !scene)
        return;
    const QPointF start = source->sceneBoundingRect().center();
    auto *line = new QGraphicsPathItem(straightLine(start, scenePos));
    QPen pen(QColor(0, 0, 255), 2.0, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin);
    line->setPen(pen);
    line->setBrush(Qt::NoBrush);
    line->setZValue(-2.0);
    scene->addItem(line);
    relationshipPreview = line;
}

void MainWindow::updateRelationshipRubberBand(const QPointF &scenePos)
{
    EntityItem *source = relationshipSource;
    if (!relationshipPreview || !source)
        return;
    relationshipPreview->setPath(straightLine(source->sceneBoundingRect().center(), scenePos));
}

void MainWindow::clearRelationshipRubberBand()
{
    if (!relationshipPreview)
        return;
    if (relationshipPreview->scene())
        relationshipPreview->scene()->removeItem(relationshipPreview);
    delete relationshipPreview;
    relationshipPreview = nullptr;
}

void MainWindow::onSceneMouseMoved(QPointF scenePos)
{
    if (!ui->actionAdd_Relationship->isChecked())
        return;
    if (!relationshipSource) {
        // The box it started from is gone: so is the half-drawn relationship.
        clearRelationshipRubberBand();
        return;
    }
    updateRelationshipRubberBand(scenePos);
}

// ---- Scene clicks

void MainWindow::onSceneClicked(QPointF scenePos, Qt::MouseButton button)
{
    if (button != Qt::LeftButton)
        return;
    auto *erScene = qobject_cast<ERScene *>(ui->view->scene());
    if (!erScene)
        return;
    if (ui->actionAdd_Table->isChecked()) {
        erScene->addEntityAt(scenePos);
    } else if (ui->actionAdd_View->isChecked()) {
        erScene->addEntityViewAt(scenePos);
    } else if (ui->actionAdd_Text->isChecked()) {
        erScene->addTextItemAt(scenePos);
        // No scene signal reports notes: make the diagram they belong to here.
        if (!bulkUpdate)
            ensureCurrentDiagram();
    } else if (ui->actionAdd_Group->isChecked()) {
        erScene->addGroupAt(scenePos);
        if (!bulkUpdate)
            ensureCurrentDiagram();
    }
}

void MainWindow::handleRelationshipClick(QPointF scenePos, Qt::MouseButton button)
{
    if (button != Qt::LeftButton || !ui->view->scene() || !ui->actionAdd_Relationship->isChecked())
        return;
    if (!relationshipSource)
        clearRelationshipRubberBand();

    // The topmost item under the click, the dashed line itself left out.
    QGraphicsItem *hit = nullptr;
    const QList<QGraphicsItem *> under =
        ui->view->scene()->items(scenePos, Qt::IntersectsItemShape, Qt::DescendingOrder, QTransform());
    for (QGraphicsItem *item : under) {
        if (item != relationshipPreview) {
            hit = item;
            break;
        }
    }
    EntityItem *entity = nullptr;
    for (QGraphicsItem *item = hit; item; item = item->parentItem()) {
        if (item->type() == DiagramItemType::EntityItem) {
            entity = static_cast<EntityItem *>(item);
            break;
        }
    }

    if (!entity) {
        if (hit)
            qCDebug(lcApp) << "[entityAtScenePos] No EntityItem parent found for item at scene position"
                           << scenePos;
        qCDebug(lcApp) << "[Add Relationship] No entity found at position" << scenePos
                       << "- canceling operation";
        endRelationshipMode();
        return;
    }
    qCDebug(lcApp) << "[entityAtScenePos] Found EntityItem:" << entity->title() << "from item type:"
                   << hit->type();

    if (!relationshipSource) {
        relationshipSource = entity;
        qCDebug(lcApp) << "[Add Relationship] First click on entity:" << entity->title();
        entity->setSelected(true);
        showRelationshipRubberBand(entity, scenePos);
        return;
    }

    QPointer<EntityItem> first = relationshipSource;
    relationshipSource = nullptr;
    clearRelationshipRubberBand();

    auto *erScene = qobject_cast<ERScene *>(ui->view->scene());
    if (!erScene) {
        qCWarning(lcApp) << "[Add Relationship] Scene is not ERScene";
        first->setSelected(false);
        return;
    }
    EdgeItem *edge = erScene->createEdge(first, entity, true);
    if (!first)
        return;
    if (!edge) {
        qCWarning(lcApp) << "[Add Relationship] Failed to create edge between" << first->title()
                         << "and" << entity->title();
        first->setSelected(false);
        return;
    }
    if (!edge->isEntityViewEdge()) {
        edge->startCard = 0;
        edge->update();
        edge->endCard = 1;
        edge->update();
    }
    qCDebug(lcApp) << "[Add Relationship] Edge created successfully:" << first->title() << "->"
                   << entity->title();
    first->setSelected(false);
}

void MainWindow::onEscapePressed()
{
    for (QAction *action : {ui->actionAdd_Table, ui->actionAdd_View, ui->actionAdd_Text,
                            ui->actionAdd_Group, ui->actionAdd_Relationship}) {
        if (action->isChecked()) {
            action->trigger();
            return;
        }
    }
}

void MainWindow::onEditAttributeShortcut()
{
    if (EntityItem *entity = detailsEntity)
        entity->editLastVisibleAttribute();
}

void MainWindow::onNewAttributeShortcut()
{
    if (EntityItem *entity = detailsEntity)
        entity->addNewAttribute();
}

// ---- Automatic layout

void MainWindow::on_actionAuto_layout_triggered()
{
    if (!scene || !busySpinner || busySpinner->isBusy())
        return;
    busySpinner->run(
        [this]() {
            if (!scene)
                return;
            scene->autoLayout();
            const QRectF bounds = scene->itemsBoundingRect().adjusted(-100, -100, 100, 100);
            scene->setSceneRect(bounds);
            ui->view->fitInView(bounds, Qt::KeepAspectRatio);
            ui->view->setZoom(1.0);
        },
        {});
}

// ---- Deletion

void MainWindow::deleteSelection()
{
    if (!scene)
        return;

    // A row whose name editor has the focus.
    QGraphicsItem *focus = scene->focusItem();
    if (focus && focus->type() == DiagramItemType::SingleLineTextItem) {
        EntityItem *entity = nullptr;
        for (QGraphicsItem *item = focus->parentItem(); item; item = item->parentItem()) {
            if (item->type() == DiagramItemType::EntityItem) {
                entity = static_cast<EntityItem *>(item);
                break;
            }
        }
        if (entity) {
            auto *cell = static_cast<SingleLineTextItem *>(focus);
            const int row = entity->rowIndexOfTextItem(cell);
            if (row < 0)
                return;
            if (entity->isView()) {
                const auto answer = UiPrompts::current().question(
                    this, QStringLiteral("Confirm delete"),
                    QStringLiteral("Do you really want to delete the selected column?"),
                    QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
                if (answer != QMessageBox::Yes)
                    return;
                if (!entity->removeAttributeOfTextItem(cell))
                    return;
                detailsEntity = selectedEntity();
                syncTreeSelectionFromScene();
                captureCurrentDiagram();
                return;
            }
            const QString tableId = stableEntityId(entity);
            ModelItem *model = nullptr;
            TableItem *table = currentModel ? currentModel->table(tableId) : nullptr;
            if (table) {
                model = currentModel;
            } else if (project) {
                for (ModelItem *candidate : project->models()) {
                    if ((table = candidate->table(tableId))) {
                        model = candidate;
                        break;
                    }
                }
            }
            if (!model)
                model = currentModel;
            ColumnItem *column = nullptr;
            if (table) {
                const QString colId = entity->attributeColumnId(row);
                if (!colId.isEmpty())
                    column = table->column(colId);
                if (!column)
                    column = table->columnByName(entity->attributeName(row));
            }
            removeTableColumnInteractively(model, table, column, entity, row);
            return;
        }
    }

    const QList<QGraphicsItem *> selected = scene->selectedItems();
    if (selected.isEmpty())
        return;

    QList<QPointer<EdgeItem>> edges;
    QList<QPointer<EntityItem>> entities;
    QList<QPointer<AnnotationItem>> notes;
    QList<QPointer<AnnotationItem>> frames;
    for (QGraphicsItem *item : selected) {
        if (item->type() == DiagramItemType::EdgeItem) {
            appendOnce(edges, static_cast<EdgeItem *>(item));
            continue;
        }
        for (QGraphicsItem *owner = item; owner; owner = owner->parentItem()) {
            const int type = owner->type();
            if (type == DiagramItemType::EntityItem) {
                appendOnce(entities, static_cast<EntityItem *>(owner));
                break;
            }
            if (type == DiagramItemType::TextItem) {
                appendOnce(notes, static_cast<AnnotationItem *>(static_cast<TextItem *>(owner)));
                break;
            }
            if (type == DiagramItemType::GroupItem) {
                appendOnce(frames, static_cast<AnnotationItem *>(static_cast<GroupItem *>(owner)));
                break;
            }
        }
    }
    if (edges.isEmpty() && entities.isEmpty() && notes.isEmpty() && frames.isEmpty())
        return;

    bool fromModel = false;
    bool keepForeignKeys = false;
    if (!entities.isEmpty() || !edges.isEmpty()) {
        UiPrompts::Question question;
        question.parent = this;
        question.icon = QMessageBox::Question;
        question.title = QStringLiteral("Delete");
        question.text = QStringLiteral(
            "How do you want to delete the selected tables, views, and/or relationships?");
        question.informativeText = QStringLiteral(
            "Delete from diagram removes them only from the current diagram.\n"
            "Delete from model also removes them from the Model Explorer and from every diagram.\n"
            "Cancel aborts the deletion.");
        question.buttons = {{QStringLiteral("Delete from diagram"), QMessageBox::AcceptRole},
                            {QStringLiteral("Delete from model"), QMessageBox::DestructiveRole},
                            {QStringLiteral("Cancel"), QMessageBox::RejectRole}};
        question.defaultButton = 2;
        question.escapeButton = 2;
        const int answer = UiPrompts::current().ask(question);
        if (answer != 0 && answer != 1)
            return;
        fromModel = answer == 1;
        keepForeignKeys = answer == 0;
    } else {
        const auto answer = UiPrompts::current().question(
            this, QStringLiteral("Confirm delete"),
            QStringLiteral("Do you really want to delete the selected objects?"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
    }

    for (const QPointer<EntityItem> &entity : std::as_const(entities)) {
        if (!entity)
            continue;
        for (EdgeItem *edge : std::as_const(entity->edges))
            appendOnce(edges, edge);
    }

    QStringList entityIds;
    for (const QPointer<EntityItem> &entity : std::as_const(entities)) {
        if (entity && !entity->storedId.isEmpty() && !entityIds.contains(entity->storedId))
            entityIds.append(entity->storedId);
    }
    QStringList edgeIds;
    for (const QPointer<EdgeItem> &edge : std::as_const(edges)) {
        if (edge && !edge->id.isEmpty() && !edgeIds.contains(edge->id))
            edgeIds.append(edge->id);
    }
    if (fromModel && currentModel) {
        const QSet<QString> entitySet(entityIds.cbegin(), entityIds.cend());
        for (RelationshipItem *relationship : currentModel->relationships()) {
            if ((entitySet.contains(relationship->fromTableId())
                 || entitySet.contains(relationship->toTableId()))
                && !edgeIds.contains(relationship->id()))
                edgeIds.append(relationship->id());
        }
    }

    {
        // One selection reaction at the end instead of one per item torn down.
        const QSignalBlocker quiet(scene);
        for (const QPointer<EdgeItem> &edge : std::as_const(edges)) {
            if (!edge)
                continue;
            if (keepForeignKeys)
                edge->removeForeignKeysOnDelete = false;
            delete edge.data();
        }
        for (const QPointer<EntityItem> &entity : std::as_const(entities))
            delete entity.data();
        for (const QPointer<AnnotationItem> &note : std::as_const(notes))
            delete note.data();
        for (const QPointer<AnnotationItem> &frame : std::as_const(frames))
            delete frame.data();
    }

    if (fromModel) {
        for (const QString &id : std::as_const(edgeIds))
            removeRelationshipFromModel(id);
        for (const QString &id : std::as_const(entityIds))
            removeEntityFromModel(id);
        stripItemsFromOtherDiagrams(entityIds, edgeIds);
        rebuildProjectTree();
    }

    captureCurrentDiagram();
    // The reaction the blocked selection changes would have ended with, run once.
    emit scene->selectionChanged();
}

void MainWindow::removeTableColumnInteractively(ModelItem *model, TableItem *table,
                                                ColumnItem *column, EntityItem *entity,
                                                int attributeIndex)
{
    QString name;
    if (column)
        name = column->name();
    else if (entity && attributeIndex >= 0)
        name = entity->attributeName(attributeIndex);
    if (name.isEmpty())
        name = QStringLiteral("column");

    UiPrompts::Question question;
    question.parent = this;
    question.icon = QMessageBox::Question;
    question.title = QStringLiteral("Remove column");
    question.text = QStringLiteral("Remove column \"%1\"?").arg(name);
    question.informativeText = QStringLiteral(
        "Remove from diagram hides the column on this diagram only.\n"
        "Remove from model deletes it from the table and from every diagram.");
    question.buttons = {{QStringLiteral("Remove from diagram"), QMessageBox::AcceptRole},
                        {QStringLiteral("Remove from model"), QMessageBox::DestructiveRole},
                        {QStringLiteral("Cancel"), QMessageBox::RejectRole}};
    question.defaultButton = 2;
    question.escapeButton = 2;
    const int answer = UiPrompts::current().ask(question);
    if (answer != 0 && answer != 1)
        return;

    const QString colId = column ? column->id() : QString();
    const auto findRow = [&]() {
        const int rows = entity->attributeCount();
        if (!colId.isEmpty()) {
            for (int row = 0; row < rows; ++row) {
                if (entity->attributeColumnId(row) == colId)
                    return row;
            }
        }
        for (int row = 0; row < rows; ++row) {
            if (entity->attributeName(row).compare(name, Qt::CaseInsensitive) == 0)
                return row;
        }
        return attributeIndex >= 0 ? attributeIndex : -1;
    };

    if (answer == 0) {
        if (entity) {
            if (!colId.isEmpty())
                entity->hideColumn(colId);
            const int row = findRow();
            if (row >= 0)
                entity->removeAttribute(row);
        }
    } else {
        QString tableId = table ? table->id() : stableEntityId(entity);
        // The relationships whose keys hold the column, and the lines the box drops with
        // its row, go from the model and every diagram, as deleting them does.
        QStringList relationshipIds = relationshipsThroughColumn(model, table, colId);
        QList<QPair<QPointer<EdgeItem>, QString>> linesBefore;
        if (entity) {
            for (EdgeItem *edge : qAsConst(entity->edges)) {
                if (edge && !edge->id.isEmpty())
                    linesBefore.append({edge, edge->id});
            }
        }
        {
            const FlagGuard guard(syncingColumns);
            if (entity) {
                if (!colId.isEmpty())
                    entity->hiddenColumns.removeAll(colId);
                const int row = findRow();
                if (row >= 0 && row < entity->attributeCount())
                    entity->removeAttributeByName(entity->attributeName(row));
            }
            if (table && column) {
                forgetColumnReferences(colId);
                table->removeColumn(colId);
            }
            if (model)
                stripColumnFromDiagrams(model, tableId, colId, name);
        }
        for (const auto &line : qAsConst(linesBefore)) {
            if (!line.first && !relationshipIds.contains(line.second))
                relationshipIds.append(line.second);
        }
        if (entity && table)
            syncTableColumnsFromEntity(entity);
        if (model) {
            for (const QString &id : qAsConst(relationshipIds))
                removeExplorerRelationship(model, id);
            if (!relationshipIds.isEmpty())
                rebuildProjectTree();
        }
    }

    captureCurrentDiagram();
    refreshTableDetails();
    syncTreeSelectionFromScene();
}

void MainWindow::onColumnRemovalRequested(const QString &columnId)
{
    if (!project || columnId.isEmpty())
        return;
    for (ModelItem *model : project->models()) {
        for (TableItem *table : model->tables()) {
            if (ColumnItem *column = table->column(columnId)) {
                removeTableColumnInteractively(model, table, column, findEntityOnScene(table->id()),
                                               -1);
                return;
            }
        }
    }
}
