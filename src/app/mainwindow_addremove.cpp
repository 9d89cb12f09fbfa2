// The explorer's add and delete buttons, and tables and views dragged from the explorer
// onto the diagram: objects join or leave the model, the open diagram and the stored
// documents of the model's other diagrams together.
#include "mainwindow.h"
#include "ui_MainWindow.h"

#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "diagramitemtypes.h"
#include "dialectcatalog.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "entityobstacleindex.h"
#include "edgeswitchscope.h"
#include "erscene.h"
#include "explorerkinds.h"
#include "flagguard.h"
#include "generatednames.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "tableitem.h"
#include "uiprompts.h"
#include "uiseam.h"
#include "viewitem.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHash>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTreeView>

#include <cmath>
#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

// What one drop looks up again and again, built once: boxes and lines on the scene by id,
// the first stored entity object per id over the diagrams in name order, and the stored
// edge object per id in the order storedEdgeJson searches.
struct MainWindow::DropLookups
{
    QHash<QString, EntityItem *> boxes;
    QHash<QString, EdgeItem *> edges;
    QHash<QString, QJsonObject> storedEntities;
    QHash<QString, QJsonObject> storedEdges;
};

namespace {

constexpr double GridStep = 20.0;
constexpr double CascadeStep = 40.0;
constexpr double SceneMargin = 100.0;
// Beyond this many new lines at once, they keep to the candidate route shapes instead of
// searching around every box, so a large drop stays quick; moving a box routes its lines
// in full again.
constexpr int FullyRoutedLines = 100;

// Halves away from zero on both sides of it.
double snapToGrid(double value)
{
    return std::round(value / GridStep) * GridStep;
}

QString nameOrTable(const QString &name)
{
    return name.isEmpty() ? u"table"_s : name;
}

QStringList constraintNamesOf(const TableItem *table)
{
    QStringList names;
    for (const ConstraintItem *constraint : table->constraints()) {
        if (constraint)
            names.append(constraint->name());
    }
    return names;
}

bool hasColumnNamed(const TableItem *table, const QString &name)
{
    for (const ColumnItem *column : table->columns()) {
        if (column && column->name().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QJsonArray arrayOf(const QJsonObject &object, QLatin1StringView key)
{
    return object.value(key).toArray();
}

} // namespace

QPointF MainWindow::snapDropPoint(QPointF point)
{
    return QPointF(snapToGrid(point.x()), snapToGrid(point.y()));
}

// ---- The add menu

void MainWindow::showExplorerAddMenu()
{
    if (!project)
        createEmptyProject();
    ModelItem *model = nullptr;
    if (ui->treeViewProject)
        model = modelForTreeIndex(ui->treeViewProject->currentIndex());
    if (!model)
        model = currentModel;

    QMenu menu(this);
    QAction *addModel = menu.addAction(tr("Model"));
    QAction *addDiagram = menu.addAction(tr("Diagram"));
    QAction *addTable = menu.addAction(tr("Table"));
    QAction *addView = menu.addAction(tr("View"));
    QAction *addRelationship = menu.addAction(tr("Relationship"));
    addDiagram->setEnabled(model);
    addTable->setEnabled(model);
    addView->setEnabled(model);
    addRelationship->setEnabled(model && !model->tables().isEmpty());

    QPoint at;
    if (ui->toolButtonAdd)
        at = ui->toolButtonAdd->mapToGlobal(QPoint(0, ui->toolButtonAdd->height()));
    // The menu runs a nested event loop: the model may be gone when it returns.
    const QPointer<ModelItem> chosenModel(model);
    QAction *chosen = uiseam::runMenu(&menu, at);
    if (!chosen || !chosen->isEnabled())
        return;
    if (chosen == addModel)
        addExplorerModel();
    else if (chosen == addDiagram)
        addExplorerDiagram(chosenModel);
    else if (chosen == addTable)
        addExplorerTable(chosenModel);
    else if (chosen == addView)
        addExplorerView(chosenModel);
    else if (chosen == addRelationship)
        addExplorerRelationship(chosenModel);
}

void MainWindow::addExplorerModel()
{
    if (!project) {
        project = new ProjectItem(this);
        project->setName(u"Untitled Project"_s);
    }
    QString dialect = dialectCombo ? dialectCombo->currentText() : QString();
    if (dialect.isEmpty())
        dialect = u"Conceptual ER"_s;
    const QString name = uniqueModelName();
    ModelItem *model = project->addModel();
    model->setName(name);
    model->setDialect(dialect);
    DiagramItem *diagram = model->addDiagram();
    diagram->setName(u"Diagram 1"_s);
    loadDiagramItem(diagram);
    rebuildProjectTree();
    selectExplorerItem(ExplorerKind::Model, model->id());
}

void MainWindow::addExplorerDiagram(ModelItem *model)
{
    if (!model)
        return;
    const QString name = uniqueDiagramName(model);
    DiagramItem *diagram = model->addDiagram();
    diagram->setName(name);
    loadDiagramItem(diagram);
    rebuildProjectTree();
    selectExplorerItem(ExplorerKind::Diagram, diagram->id());
}

void MainWindow::addExplorerTable(ModelItem *model)
{
    if (!model)
        return;
    TableItem *table = model->addTable();
    table->setName(uniqueObjectName(model, u"table_"_s));
    ColumnItem *key = table->addColumn();
    key->setName(table->name() + u"_id"_s);
    key->setDataType(defaultKeyTypeForDialect(model->dialect()));
    key->setNullable(false);
    ConstraintItem *primaryKey = table->addConstraint();
    primaryKey->setType(ConstraintType::PrimaryKey);
    primaryKey->setName(u"pk_"_s + table->name());
    primaryKey->setColumns({key->id()});
    rebuildProjectTree();
    selectExplorerItem(ExplorerKind::Table, table->id());
}

void MainWindow::addExplorerView(ModelItem *model)
{
    if (!model)
        return;
    ViewItem *view = model->addView();
    view->setName(uniqueObjectName(model, u"view_"_s));
    rebuildProjectTree();
    selectExplorerItem(ExplorerKind::View, view->id());
}

void MainWindow::addExplorerRelationship(ModelItem *model)
{
    if (!model)
        return;
    const QList<TableItem *> tables = model->tables();
    if (tables.isEmpty())
        return;

    QDialog dialog(this);
    dialog.setWindowTitle(tr("Add relationship"));
    auto *form = new QFormLayout(&dialog);
    auto *parentCombo = new QComboBox(&dialog);
    auto *childCombo = new QComboBox(&dialog);
    parentCombo->setObjectName(u"comboParentTable"_s);
    childCombo->setObjectName(u"comboChildTable"_s);
    for (const TableItem *table : tables) {
        if (!table)
            continue;
        const QString text = table->name().isEmpty() ? tr("Table") : table->name();
        parentCombo->addItem(text, table->id());
        childCombo->addItem(text, table->id());
    }
    childCombo->setCurrentIndex(childCombo->count() >= 2 ? 1 : 0);
    parentCombo->setCurrentIndex(0);
    form->addRow(tr("Parent table"), parentCombo);
    form->addRow(tr("Child table"), childCombo);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    form->addRow(buttons);

    const QPointer<ModelItem> guardedModel(model);
    if (uiseam::runDialog(&dialog) != QDialog::Accepted || !guardedModel)
        return;
    const QString parentId = parentCombo->currentData().toString();
    const QString childId = childCombo->currentData().toString();
    TableItem *parent = model->table(parentId);
    TableItem *child = model->table(childId);
    if (parentId.isEmpty() || childId.isEmpty() || !parent || !child)
        return;

    const bool isCurrent = model == currentModel;
    if (isCurrent && scene) {
        EntityItem *parentBox = findEntityOnScene(parentId);
        EntityItem *childBox = findEntityOnScene(childId);
        if (parentBox && childBox) {
            // The scene reports the line; its registration makes the relationship.
            EdgeItem *edge = scene->createEdge(parentBox, childBox, true);
            if (edge) {
                const QString edgeId = edge->id;
                captureCurrentDiagram();
                rebuildProjectTree();
                selectExplorerItem(ExplorerKind::Relationship, edgeId);
            }
            return;
        }
    }

    RelationshipItem *relationship = model->addRelationship();
    relationship->setFromTableId(parentId);
    relationship->setToTableId(childId);
    relationship->setName(nameOrTable(parent->name()) + u"_"_s + nameOrTable(child->name()));

    QList<ColumnItem *> parentKey;
    if (const ConstraintItem *key = parent->constraintOfType(ConstraintType::PrimaryKey)) {
        for (const QString &columnId : key->columns()) {
            if (ColumnItem *column = parent->column(columnId))
                parentKey.append(column);
        }
    }
    if (parentKey.isEmpty() && !parent->columns().isEmpty() && parent->columns().first())
        parentKey.append(parent->columns().first());

    const QString parentName = nameOrTable(parent->name());
    QStringList referenced;
    QStringList newColumnIds;
    for (const ColumnItem *source : qAsConst(parentKey)) {
        referenced.append(source->id());
        QString name = source->name();
        if (hasColumnNamed(child, name)) {
            const QString base = parentName + u"_"_s + source->name();
            name = base;
            for (int n = 2; hasColumnNamed(child, name); ++n)
                name = base + u"_"_s + QString::number(n);
        }
        ColumnItem *column = child->addColumn();
        column->setName(name);
        column->setDataType(source->dataType());
        column->setLength(source->length());
        column->setPrecision(source->precision());
        column->setScale(source->scale());
        column->setNullable(true);
        newColumnIds.append(column->id());
    }

    // A second relationship between the same tables must not repeat the constraint name.
    ConstraintItem *foreignKey = child->addConstraint();
    foreignKey->setType(ConstraintType::ForeignKey);
    foreignKey->setName(uniqueGeneratedName(u"fk_"_s + relationship->name(), constraintNamesOf(child)));
    foreignKey->setReferencedTableId(parentId);
    foreignKey->setColumns(newColumnIds);
    foreignKey->setReferencedColumns(referenced);
    relationship->setConstraintId(foreignKey->id());

    // The columns reach every stored diagram that shows the child, or their next column
    // synchronisation there would delete them again.
    for (const QString &columnId : qAsConst(newColumnIds))
        spreadNewColumn(model, child, child->column(columnId));

    if (isCurrent) {
        if (EntityItem *childBox = findEntityOnScene(childId)) {
            for (const QString &columnId : qAsConst(newColumnIds)) {
                const ColumnItem *column = child->column(columnId);
                if (!column)
                    continue;
                int row = -1;
                for (int i = 0; i < childBox->attributeCount(); ++i) {
                    if (childBox->attributeName(i) == column->name()) {
                        row = i;
                        break;
                    }
                }
                if (row < 0) {
                    childBox->addAttributeRow(column->name(), column->fullTypeName(), false, false,
                                              false, false);
                    row = childBox->attributeCount() - 1;
                }
                childBox->markAttributeForeignKey(row, relationship->id());
            }
            captureCurrentDiagram();
        }
    }
    const QString relationshipId = relationship->id();
    rebuildProjectTree();
    selectExplorerItem(ExplorerKind::Relationship, relationshipId);
}

// ---- Removal

void MainWindow::removeExplorerSelection()
{
    QTreeView *tree = ui->treeViewProject;
    if (!project || !tree || !tree->selectionModel())
        return;

    struct Row
    {
        QString kind;
        QString id;
        QString modelId;
    };
    QList<Row> rows;
    QStringList removedModels;
    auto *proxy = qobject_cast<QSortFilterProxyModel *>(tree->model());
    const QModelIndexList selected = tree->selectionModel()->selectedRows(0);
    for (const QModelIndex &index : selected) {
        const QModelIndex source = proxy ? proxy->mapToSource(index) : index;
        const QString kind = source.data(ExplorerKindRole).toString();
        const QString id = source.data(ExplorerIdRole).toString();
        if (id.isEmpty())
            continue;
        if (kind == ExplorerKind::Model) {
            rows.append({kind, id, id});
            removedModels.append(id);
        } else if (kind == ExplorerKind::Diagram || kind == ExplorerKind::Table
                   || kind == ExplorerKind::View || kind == ExplorerKind::Relationship) {
            const ModelItem *model = modelForTreeIndex(index);
            rows.append({kind, id, model ? model->id() : QString()});
        }
    }
    if (rows.isEmpty())
        return;

    // The question runs a nested event loop; only the values read above are used after it.
    const QMessageBox::StandardButton answer = UiPrompts::current().question(
        this, tr("Remove"),
        tr("Remove the selected items from the model?\nTables and views are also removed from every diagram."),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes || !project)
        return;

    for (const QString &modelId : qAsConst(removedModels))
        removeExplorerModel(modelId);
    // The stored documents are stripped once per diagram and the open diagram captured once,
    // which ends where one removal after the other does: stripping removes set members and
    // the captures in between would be overwritten. A diagram removal may change the open
    // diagram, so what is gathered goes out before it.
    const FlagGuard deferring(deferRemovalWrites);
    for (const Row &row : qAsConst(rows)) {
        if (row.kind == ExplorerKind::Model || removedModels.contains(row.modelId) || !project)
            continue;
        ModelItem *model = project->model(row.modelId);
        if (!model)
            continue;
        if (row.kind == ExplorerKind::Diagram) {
            flushDeferredRemovals();
            removeExplorerDiagram(model, row.id);
        }
        else if (row.kind == ExplorerKind::Relationship)
            removeExplorerRelationship(model, row.id);
        else
            removeExplorerEntity(model, row.id);
    }
    flushDeferredRemovals();
    rebuildProjectTree();
}

void MainWindow::stripRemoved(ModelItem *model, const QSet<QString> &entityIds, const QSet<QString> &edgeIds)
{
    if (!deferRemovalWrites) {
        stripFromModelDiagrams(model, entityIds, edgeIds);
        return;
    }
    auto &pending = deferredStrips[model];
    pending.first.unite(entityIds);
    pending.second.unite(edgeIds);
}

void MainWindow::captureAfterRemoval()
{
    if (deferRemovalWrites)
        deferredCapture = true;
    else
        captureCurrentDiagram();
}

void MainWindow::flushDeferredRemovals()
{
    if (deferredCapture)
        captureCurrentDiagram();
    deferredCapture = false;
    const auto strips = std::exchange(deferredStrips, {});
    if (!project)
        return;
    const QList<ModelItem *> models = project->models();
    for (ModelItem *model : models) {
        const auto it = strips.constFind(model);
        if (it != strips.constEnd())
            stripFromModelDiagrams(model, it->first, it->second);
    }
}

void MainWindow::clearSceneQuietly()
{
    if (!scene)
        return;
    const FlagGuard bulk(bulkUpdate);
    releaseSceneSelection();
    scene->clearScene();
}

void MainWindow::removeExplorerModel(const QString &modelId)
{
    if (!project || modelId.isEmpty())
        return;
    if (!currentModel || currentModel->id() != modelId) {
        project->removeModel(modelId);
        return;
    }
    detailsEntity = nullptr;
    currentModel = nullptr;
    currentDiagram = nullptr;
    clearSceneQuietly();
    project->removeModel(modelId);

    const QList<ModelItem *> models = project->models();
    ModelItem *first = nullptr;
    for (ModelItem *model : models) {
        if (model && model->id() != modelId) {
            first = model;
            break;
        }
    }
    if (!first) {
        refreshNameEditors();
        return;
    }
    const QList<DiagramItem *> diagrams = first->diagrams();
    if (!diagrams.isEmpty() && diagrams.first()) {
        loadDiagramItem(diagrams.first());
    } else {
        currentModel = first;
        refreshNameEditors();
    }
}

void MainWindow::removeExplorerDiagram(ModelItem *model, const QString &id)
{
    if (!model || id.isEmpty())
        return;
    if (!currentDiagram || currentDiagram->id() != id) {
        model->removeDiagram(id);
        return;
    }
    // The removed diagram's content goes with it: nothing is captured.
    currentDiagram = nullptr;
    model->removeDiagram(id);
    detailsEntity = nullptr;
    DiagramItem *next = nullptr;
    for (DiagramItem *diagram : model->diagrams()) {
        if (diagram && diagram->id() != id) {
            next = diagram;
            break;
        }
    }
    if (next)
        loadDiagramItem(next);
    else
        clearSceneQuietly();
    refreshNameEditors();
}

void MainWindow::removeExplorerEntity(ModelItem *model, const QString &id)
{
    if (!model || id.isEmpty())
        return;
    QSet<QString> relationshipIds;
    QStringList touching;
    for (const RelationshipItem *relationship : model->relationships()) {
        if (relationship && (relationship->fromTableId() == id || relationship->toTableId() == id)) {
            touching.append(relationship->id());
            relationshipIds.insert(relationship->id());
        }
    }
    if (model == currentModel) {
        removeLiveEntity(id);
        captureAfterRemoval();
    }
    stripRemoved(model, {id}, relationshipIds);
    for (const QString &relationshipId : qAsConst(touching)) {
        const RelationshipItem *relationship = model->relationship(relationshipId);
        if (!relationship)
            continue;
        TableItem *child = model->table(relationship->toTableId());
        if (child && !relationship->constraintId().isEmpty())
            child->removeConstraint(relationship->constraintId());
        model->removeRelationship(relationshipId);
    }
    model->removeTable(id);
    model->removeView(id);
}

void MainWindow::removeExplorerRelationship(ModelItem *model, const QString &id)
{
    if (!model || id.isEmpty())
        return;
    if (model == currentModel) {
        if (EdgeItem *edge = findEdgeOnScene(id)) {
            const FlagGuard bulk(bulkUpdate);
            delete edge;
        }
        captureAfterRemoval();
    }
    stripRemoved(model, {}, {id});
    if (const RelationshipItem *relationship = model->relationship(id)) {
        TableItem *child = model->table(relationship->toTableId());
        if (child && !relationship->constraintId().isEmpty())
            child->removeConstraint(relationship->constraintId());
        model->removeRelationship(id);
    }
}

void MainWindow::onRelationshipConstraintRemoved(const QString &relationshipId)
{
    if (relationshipId.isEmpty())
        return;
    if (EdgeItem *edge = findEdgeOnScene(relationshipId)) {
        // The panel already removed the key; the rows stay in the box.
        edge->removeForeignKeysOnDelete = false;
        const FlagGuard bulk(bulkUpdate);
        delete edge;
    }
    removeRelationshipFromModel(relationshipId);
    stripItemsFromOtherDiagrams({}, {relationshipId});
    captureCurrentDiagram();
    rebuildProjectTree();
}

// ---- Dropping tables and views on the diagram

void MainWindow::onExplorerDropRequested(const QByteArray &payload, QPointF scenePos)
{
    if (!scene || payload.isEmpty())
        return;
    if (!currentModel) {
        if (project)
            return;
        createEmptyProject();
        if (!currentModel)
            return;
        rebuildProjectTree();
    }
    // A model with diagrams but none current gets a new one rather than one whose stored
    // document the next capture would overwrite with what the scene shows.
    if (!currentDiagram)
        ensureCurrentDiagram();
    if (!currentDiagram)
        return;

    const QJsonDocument document = QJsonDocument::fromJson(payload);
    if (!document.isObject())
        return;
    const QJsonArray items = document.object().value("items"_L1).toArray();
    if (items.isEmpty())
        return;

    QStringList placedIds;
    {
        const FlagGuard bulk(bulkUpdate);
        scene->clearSelection();

        DropLookups lookups;
        const QList<QGraphicsItem *> sceneItems = scene->items();
        // scene->items() lists the topmost first; the first box in it wins, as in the
        // one-by-one search.
        for (auto it = sceneItems.crbegin(); it != sceneItems.crend(); ++it) {
            if ((*it)->type() == DiagramItemType::EntityItem) {
                auto *box = static_cast<EntityItem *>(*it);
                lookups.boxes[box->id()] = box;
            } else if ((*it)->type() == DiagramItemType::EdgeItem) {
                auto *edge = static_cast<EdgeItem *>(*it);
                lookups.edges[edge->id] = edge;
            }
        }
        const QList<DiagramItem *> diagrams = currentModel->diagrams();
        for (const DiagramItem *diagram : diagrams) {
            if (!diagram)
                continue;
            for (const QJsonValue &value : arrayOf(diagram->sceneJson(), "entities"_L1)) {
                const QJsonValue id = value.toObject().value("id"_L1);
                if (value.isObject() && id.isString() && !lookups.storedEntities.contains(id.toString()))
                    lookups.storedEntities.insert(id.toString(), value.toObject());
            }
        }
        const auto indexEdges = [&](bool currentOnly) {
            for (const DiagramItem *diagram : diagrams) {
                if (!diagram || (diagram == currentDiagram) != currentOnly)
                    continue;
                for (const QJsonValue &value : arrayOf(diagram->sceneJson(), "edges"_L1)) {
                    const QJsonValue id = value.toObject().value("id"_L1);
                    if (value.isObject() && id.isString() && !id.toString().isEmpty()
                        && !lookups.storedEdges.contains(id.toString()))
                        lookups.storedEdges.insert(id.toString(), value.toObject());
                }
            }
        };
        indexEdges(false);
        indexEdges(true);
        dropLookups = &lookups;

        const QPointF origin = snapDropPoint(scenePos);
        int placedCount = 0;
        QSet<QString> placedSet;
        for (const QJsonValue &value : items) {
            const QJsonObject element = value.toObject();
            const QString kind = element.value("kind"_L1).toString();
            const QString id = element.value("id"_L1).toString();
            if (id.isEmpty() || placedSet.contains(id))
                continue;
            if (kind == ExplorerKind::Table) {
                if (!currentModel->table(id))
                    continue;
            } else if (kind == ExplorerKind::View) {
                if (!currentModel->view(id))
                    continue;
            } else {
                continue;
            }
            if (EntityItem *existing = lookups.boxes.value(id)) {
                existing->setSelected(true);
                placedSet.insert(id);
                placedIds.append(id);
                continue;
            }
            const QPointF at = origin + QPointF(CascadeStep * placedCount, CascadeStep * placedCount);
            if (EntityItem *box = placeModelEntityOnDiagram(kind, id, at)) {
                box->setSelected(true);
                lookups.boxes.insert(id, box);
                placedSet.insert(id);
                placedIds.append(id);
                ++placedCount;
            }
        }
        connectRelationshipsForDroppedEntities(placedIds);
        dropLookups = nullptr;
    }
    // The boxes were selected while the window looked away: it takes them now, so the
    // panel, Add Column and the row shortcuts act on them.
    // The first box of the drop, not whichever selected item the scene lists first.
    detailsEntity = placedIds.isEmpty() ? selectedEntity() : findEntityOnScene(placedIds.first());
    // The panel shows the table as the model has it: a box that took an older look must
    // not cost the table the columns that look lacks.
    const auto showDetails = [this] {
        const FlagGuard quiet(syncingColumns);
        refreshTableDetails();
    };
    if (placedIds.isEmpty()) {
        showDetails();
        return;
    }

    const QRectF needed = scene->itemsBoundingRect().adjusted(-SceneMargin, -SceneMargin, SceneMargin,
                                                              SceneMargin);
    if (!scene->sceneRect().contains(needed))
        scene->setSceneRect(scene->sceneRect().united(needed));
    captureCurrentDiagram();
    syncTreeSelectionFromScene();
    showDetails();
}

EntityItem *MainWindow::placeModelEntityOnDiagram(const QString &kind, const QString &id, QPointF pos)
{
    if (!scene || !currentModel || id.isEmpty())
        return nullptr;
    TableItem *table = nullptr;
    QString title;
    if (kind == ExplorerKind::View) {
        const ViewItem *view = currentModel->view(id);
        if (!view)
            return nullptr;
        title = view->name();
    } else if (kind == ExplorerKind::Table) {
        table = currentModel->table(id);
        if (!table)
            return nullptr;
        title = table->name();
    } else {
        return nullptr;
    }
    if (title.isEmpty())
        title = u"Entity"_s;

    auto *box = new EntityItem(title, QSizeF(150, 70));
    if (kind == ExplorerKind::View)
        box->setKind(EntityKind::View);
    box->storedId = id;
    scene->addItem(box);

    const QJsonObject stored = dropLookups ? dropLookups->storedEntities.value(id) : storedEntityJson(id);
    if (stored.isEmpty()) {
        if (table)
            populateEntityFromTable(box, table);
        if (scene->hasAllDefaultEntityColors())
            box->setColorScheme(scene->defaultEntityColors);
    } else {
        box->fromJson(stored);
        box->storedId = id;
        if (table)
            assignRowColumnIds(box, table);
    }
    box->setPos(pos);
    box->relayout();
    scene->notifyEntityAdded(box);
    return box;
}

void MainWindow::connectRelationshipsForDroppedEntities(const QStringList &placedIds)
{
    if (!scene || !currentModel || placedIds.isEmpty())
        return;
    const QSet<QString> placed(placedIds.cbegin(), placedIds.cend());
    const auto box = [this](const QString &id) {
        return dropLookups ? dropLookups->boxes.value(id) : findEntityOnScene(id);
    };
    // The boxes stand still while the lines are made, so one index over them answers the
    // routes' obstacle look-ups; a view that takes rows grows, and the index is made again.
    std::unique_ptr<EntityObstacleIndex> obstacles;
    std::unique_ptr<ObstacleIndexScope> useObstacles;
    const auto indexObstacles = [&] {
        if (obstacles)
            return;
        QList<EntityItem *> boxes;
        const QList<QGraphicsItem *> items = scene->items();
        for (QGraphicsItem *item : items) {
            if (item->type() == DiagramItemType::EntityItem)
                boxes.append(static_cast<EntityItem *>(item));
        }
        obstacles = std::make_unique<EntityObstacleIndex>(scene, boxes);
        useObstacles = std::make_unique<ObstacleIndexScope>(obstacles.get());
    };
    struct Pending
    {
        RelationshipItem *relationship;
        EntityItem *from;
        EntityItem *to;
    };
    QList<Pending> pending;
    for (RelationshipItem *relationship : currentModel->relationships()) {
        if (!relationship)
            continue;
        if (!placed.contains(relationship->fromTableId()) && !placed.contains(relationship->toTableId()))
            continue;
        const bool drawn = dropLookups ? dropLookups->edges.contains(relationship->id())
                                       : findEdgeOnScene(relationship->id()) != nullptr;
        if (drawn && !relationship->id().isEmpty())
            continue;
        EntityItem *from = box(relationship->fromTableId());
        EntityItem *to = box(relationship->toTableId());
        if (from && to)
            pending.append({relationship, from, to});
    }
    std::optional<RouteSearchHold> quickRoutes;
    if (pending.size() > FullyRoutedLines)
        quickRoutes.emplace();
    for (const Pending &next : qAsConst(pending)) {
        RelationshipItem *relationship = next.relationship;
        EntityItem *from = next.from;
        EntityItem *to = next.to;
        EdgeItem *edge = scene->createEdge(from, to, false);
        if (!edge)
            continue;
        if (!relationship->id().isEmpty())
            edge->id = relationship->id();
        if (dropLookups)
            dropLookups->edges.insert(edge->id, edge);
        applyStoredRelationshipNotation(edge, relationship);
        if (edge->isEntityViewEdge()) {
            EntityItem *view = from->isView() ? from : (to->isView() ? to : nullptr);
            if (view) {
                EntityItem *source = view == from ? to : from;
                view->inheritAttributesFrom(source, edge->id);
                useObstacles.reset();
                obstacles.reset();
            }
        }
        indexObstacles();
        edge->updatePath();
    }
}

void MainWindow::applyStoredRelationshipNotation(EdgeItem *edge, RelationshipItem *rel)
{
    if (!edge || edge->isEntityViewEdge())
        return;
    const QString key = rel ? rel->id() : edge->id;
    const QJsonObject stored = dropLookups ? dropLookups->storedEdges.value(key) : storedEdgeJson(key);
    int start = 0;
    int end = 1;
    if (stored.contains("startCard"_L1) || stored.contains("endCard"_L1)) {
        start = stored.contains("startCard"_L1) ? stored.value("startCard"_L1).toInt() : 0;
        end = stored.contains("endCard"_L1) ? stored.value("endCard"_L1).toInt() : 1;
    }
    if (rel && !rel->fromTableId().isEmpty() && rel->fromTableId() != rel->toTableId()
        && stored.value("from"_L1).toString() == rel->toTableId()
        && stored.value("to"_L1).toString() == rel->fromTableId())
        std::swap(start, end);
    edge->startCard = start;
    edge->update();
    edge->endCard = end;
    edge->update();
}

QJsonObject MainWindow::storedEdgeJson(const QString &edgeId)
{
    if (!currentModel || edgeId.isEmpty())
        return {};
    const QList<DiagramItem *> diagrams = currentModel->diagrams();
    for (const bool includeCurrent : {false, true}) {
        for (const DiagramItem *diagram : diagrams) {
            if (!diagram || (!includeCurrent && diagram == currentDiagram))
                continue;
            for (const QJsonValue &value : arrayOf(diagram->sceneJson(), "edges"_L1)) {
                const QJsonObject edge = value.toObject();
                const QJsonValue id = edge.value("id"_L1);
                if (value.isObject() && id.isString() && id.toString() == edgeId)
                    return edge;
            }
        }
    }
    return {};
}
