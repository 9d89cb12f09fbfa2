// The main window keeps the model and the diagrams in step: boxes and lines of the open
// scene are registered in the current model, column changes of a table reach its open box
// and the stored boxes of the other diagrams, and removals and renames reach every place
// that shows the object.
#include "mainwindow.h"

#include "columnitem.h"
#include "columnrowmatcher.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "explorerkinds.h"
#include "flagguard.h"
#include "generatednames.h"
#include "modelcolumnrow.h"
#include "modelitem.h"
#include "modelreferences.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "storeddiagramcolumns.h"
#include "storeddiagramedits.h"
#include "tableitem.h"
#include "viewitem.h"

#include <QHash>
#include <QPointer>
#include <QSignalBlocker>
#include <QStandardItem>
#include <QUuid>

#include <optional>

namespace {

QStringList constraintNames(const TableItem *table)
{
    QStringList names;
    for (const ConstraintItem *constraint : table->constraints()) {
        if (constraint)
            names.append(constraint->name());
    }
    return names;
}

// A new constraint of the table named base, or base_2, base_3, ... when a constraint of
// the table already carries that name.
ConstraintItem *addNamedConstraint(TableItem *table, int type, const QString &base)
{
    const QString name = uniqueGeneratedName(base, constraintNames(table));
    ConstraintItem *constraint = table->addConstraint();
    constraint->setType(type);
    constraint->setName(name);
    return constraint;
}

// The id of the table's first column named like name (ignoring case), or empty.
QString columnIdByName(const TableItem *table, const QString &name)
{
    const ColumnItem *column = table->columnByName(name);
    return column ? column->id() : QString();
}

bool rowShowsRecord(const EntityItem *entity, int row, const ModelColumnRow &record)
{
    const EntityItem::Attribute &a = entity->attributes.at(row);
    return a.columnId == record.columnId && a.name == record.name && a.type == record.type
        && a.isPrimaryKey == record.isPrimaryKey && a.isUniqueKey == record.isUniqueKey
        && a.isForeignKey == (record.isForeignKey || !a.fkEdgeId.isEmpty());
}

} // namespace

QString MainWindow::currentDiagramId() const
{
    return currentDiagram ? currentDiagram->id() : QString();
}

// ---- Registering scene items

void MainWindow::registerEntityInModel(EntityItem *entity)
{
    if (!currentModel || !entity)
        return;
    const QString id = stableEntityId(entity);
    if (entity->isView()) {
        currentModel->ensureView(id)->setName(entity->title());
        return;
    }
    TableItem *table = currentModel->ensureTable(id);
    table->setName(entity->title());
    for (int row = 0; row < entity->attributeCount(); ++row) {
        const QString name = entity->attributeName(row);
        // A row without a name names no column.
        if (name.isEmpty())
            continue;
        ColumnItem *column = table->columnByName(name);
        if (!column) {
            column = table->addColumn();
            column->setName(name);
        }
        setColumnTypeFromText(column, entity->attributeType(row));
        if (entity->isAttributePrimaryKey(row))
            column->setNullable(false);
    }
    syncPrimaryKeyConstraint(table, entity);
    syncUniqueConstraints(table, entity);
}

void MainWindow::syncPrimaryKeyConstraint(TableItem *table, EntityItem *entity)
{
    if (!table || !entity)
        return;
    QStringList ids;
    for (int row = 0; row < entity->attributeCount(); ++row) {
        if (!entity->isAttributePrimaryKey(row))
            continue;
        const QString id = columnIdByName(table, entity->attributeName(row));
        // Two rows named alike in another case are one column, and a key lists it once.
        if (!id.isEmpty() && !ids.contains(id))
            ids.append(id);
    }
    ConstraintItem *key = table->constraintOfType(ConstraintType::PrimaryKey);
    if (ids.isEmpty()) {
        if (key)
            table->removeConstraint(key->id());
        return;
    }
    if (!key)
        key = addNamedConstraint(table, ConstraintType::PrimaryKey, QStringLiteral("pk_") + table->name());
    if (key->columns() != ids)
        key->setColumns(ids);
}

void MainWindow::syncUniqueConstraints(TableItem *table, EntityItem *entity)
{
    if (!table || !entity)
        return;
    QStringList wanted;
    for (int row = 0; row < entity->attributeCount(); ++row) {
        if (!entity->isAttributeUniqueKey(row))
            continue;
        const QString id = columnIdByName(table, entity->attributeName(row));
        if (!id.isEmpty() && !wanted.contains(id))
            wanted.append(id);
    }
    if (wanted.isEmpty())
        return;
    QSet<QString> covered;
    for (const ConstraintItem *constraint : table->constraints()) {
        if (constraint && constraint->type() == ConstraintType::Unique) {
            for (const QString &id : constraint->columns())
                covered.insert(id);
        }
    }
    QStringList missing;
    for (const QString &id : qAsConst(wanted)) {
        if (!covered.contains(id))
            missing.append(id);
    }
    if (missing.isEmpty())
        return;
    addNamedConstraint(table, ConstraintType::Unique, QStringLiteral("uk_") + table->name())->setColumns(missing);
}

void MainWindow::registerEdgeInModel(EdgeItem *edge)
{
    if (!currentModel || !edge || !edge->from || !edge->to)
        return;
    const QString fromId = stableEntityId(edge->from);
    const QString toId = stableEntityId(edge->to);
    // A line read without an id gets one, as a box does, so its relationship has a real id.
    if (edge->id.isEmpty())
        edge->id = QUuid::createUuid().toString(QUuid::WithoutBraces);

    RelationshipItem *relationship = currentModel->ensureRelationship(edge->id);
    relationship->setFromTableId(fromId);
    relationship->setToTableId(toId);
    relationship->setName(edge->from->title() + QLatin1Char('_') + edge->to->title());
    if (edge->isEntityViewEdge())
        return;

    TableItem *child = currentModel->table(toId);
    TableItem *parent = currentModel->table(fromId);
    if (!child)
        return;
    ConstraintItem *foreignKey = child->constraint(relationship->constraintId());
    if (!foreignKey) {
        // The relationship's own foreign key left behind in another table (its line now
        // ends elsewhere) would survive into exports: it moves to the child table.
        const QString staleId = relationship->constraintId();
        for (TableItem *table : currentModel->tables()) {
            ConstraintItem *stale = table && !staleId.isEmpty() ? table->constraint(staleId) : nullptr;
            if (stale && stale->type() == ConstraintType::ForeignKey) {
                table->removeConstraint(staleId);
                break;
            }
        }
        foreignKey = addNamedConstraint(child, ConstraintType::ForeignKey,
                                        QStringLiteral("fk_") + relationship->name());
        relationship->setConstraintId(foreignKey->id());
    }
    foreignKey->setReferencedTableId(fromId);

    QStringList columns;
    for (int row = 0; row < edge->to->attributeCount(); ++row) {
        if (edge->to->attributeFkEdgeId(row) != edge->id)
            continue;
        const QString id = columnIdByName(child, edge->to->attributeName(row));
        if (!id.isEmpty())
            columns.append(id);
    }
    foreignKey->setColumns(columns);
    const ConstraintItem *parentKey = parent ? parent->constraintOfType(ConstraintType::PrimaryKey) : nullptr;
    foreignKey->setReferencedColumns(parentKey ? parentKey->columns() : QStringList());
}

EdgeItem *MainWindow::findEdgeOnScene(const QString &id)
{
    if (!scene || id.isEmpty())
        return nullptr;
    const QList<QGraphicsItem *> items = scene->items();
    for (QGraphicsItem *item : items) {
        if (item->type() != DiagramItemType::EdgeItem)
            continue;
        auto *edge = static_cast<EdgeItem *>(item);
        if (edge->id == id)
            return edge;
    }
    return nullptr;
}

void MainWindow::syncModelFromScene()
{
    if (!currentModel || !scene)
        return;
    // Every box before any line, so each line finds the tables of both its ends however
    // the items are stacked.
    const QList<QGraphicsItem *> items = scene->items();
    for (QGraphicsItem *item : items) {
        if (item->type() == DiagramItemType::EntityItem)
            registerEntityInModel(static_cast<EntityItem *>(item));
    }
    for (QGraphicsItem *item : items) {
        if (item->type() == DiagramItemType::EdgeItem)
            registerEdgeInModel(static_cast<EdgeItem *>(item));
    }
}

void MainWindow::onEntityAdded(EntityItem *entity)
{
    if (!entity)
        return;
    watchEntityTitle(entity);
    if (bulkUpdate)
        return;
    ensureCurrentDiagram(false);
    registerEntityInModel(entity);
    rebuildProjectTree();
}

void MainWindow::onEdgeAdded(EdgeItem *edge)
{
    if (!edge || bulkUpdate)
        return;
    ensureCurrentDiagram(false);
    registerEdgeInModel(edge);
    rebuildProjectTree();
}

void MainWindow::watchEntityTitle(EntityItem *entity)
{
    if (!entity)
        return;
    connect(entity, &EntityItem::titleChanged, this, &MainWindow::onEntityTitleChanged, Qt::UniqueConnection);
    connect(entity, &EntityItem::attributeEdited, this, &MainWindow::onEntityAttributeEdited,
            Qt::UniqueConnection);
    connect(entity, &EntityItem::structureChanged, this, &MainWindow::onEntityStructureChanged,
            Qt::UniqueConnection);
    connect(entity, &EntityItem::refreshFromModelRequested, this, [this, entity] { refreshEntityFromModel(entity); });
}

// ---- Edits on a box

void MainWindow::onEntityAttributeEdited(int index, const QString &oldName, const QString &name,
                                         const QString &type)
{
    if (bulkUpdate)
        return;
    auto *entity = qobject_cast<EntityItem *>(sender());
    if (!entity)
        return;
    if (entity->isView()) {
        if (entity == detailsEntity)
            refreshTableDetails();
        return;
    }
    if (!currentModel && !project)
        return;
    const QString id = stableEntityId(entity);
    if (id.isEmpty())
        return;
    TableItem *table = findTableInProject(project, currentModel, id);
    if (!table) {
        if (currentModel)
            registerEntityInModel(entity);
        refreshTableDetails();
        return;
    }
    ColumnItem *column = oldName.isEmpty() ? nullptr : table->columnByName(oldName);
    if (!column && !name.isEmpty())
        column = table->columnByName(name);
    if (!column) {
        column = table->addColumn();
        if (entity->isAttributePrimaryKey(index))
            column->setNullable(false);
    }
    if (!name.isEmpty())
        column->setName(name);
    setColumnTypeFromText(column, type);
    syncTableColumnsFromEntity(entity);
    if (entity == detailsEntity)
        refreshTableDetails();
}

void MainWindow::onEntityStructureChanged()
{
    if (bulkUpdate || syncingColumns)
        return;
    auto *entity = qobject_cast<EntityItem *>(sender());
    if (!entity)
        return;
    if (!entity->isView())
        syncTableColumnsFromEntity(entity);
    if (entity == detailsEntity)
        refreshTableDetails();
}

void MainWindow::onEntityTitleChanged(const QString &title)
{
    if (bulkUpdate || updatingTree)
        return;
    auto *entity = qobject_cast<EntityItem *>(sender());
    if (!entity)
        return;
    const QString id = stableEntityId(entity);
    if (id.isEmpty())
        return;
    const QString kind = entity->isView() ? QStringLiteral("view") : QStringLiteral("table");
    applyModelObjectName(kind, id, title.isEmpty() ? entity->title() : title, entity);
    refreshTableDetails();
}

void MainWindow::refreshEntityFromModel(EntityItem *entity)
{
    if (!entity || entity->isView() || bulkUpdate || syncingColumns)
        return;
    TableItem *table = findTableInProject(project, currentModel, stableEntityId(entity));
    if (!table)
        return;
    entity->hiddenColumns.clear();
    {
        const FlagGuard syncing(syncingColumns);
        applyModelColumns(entity, table, true);
    }
    {
        // The table follows the refreshed rows and the other diagrams are brought in line,
        // but none of them gains a column from this box.
        const FlagGuard noSpreading(spreadNewColumns, false);
        syncTableColumnsFromEntity(entity);
    }
    captureCurrentDiagram();
    detailsEntity = entity;
    refreshTableDetails();
    syncTreeSelectionFromScene();
}

void MainWindow::populateEntityFromTable(EntityItem *entity, TableItem *table)
{
    if (!entity || !table)
        return;
    QSet<QString> primaryIds;
    if (const ConstraintItem *key = table->constraintOfType(ConstraintType::PrimaryKey)) {
        for (const QString &id : key->columns())
            primaryIds.insert(id);
    }
    QSet<QString> uniqueIds;
    QHash<QString, QString> relationshipOfColumn;
    const QList<RelationshipItem *> relationships = currentModel ? currentModel->relationships()
                                                                 : QList<RelationshipItem *>();
    for (const ConstraintItem *constraint : table->constraints()) {
        if (!constraint)
            continue;
        if (constraint->type() == ConstraintType::Unique) {
            for (const QString &id : constraint->columns())
                uniqueIds.insert(id);
        }
        if (constraint->type() != ConstraintType::ForeignKey || !currentModel)
            continue;
        const RelationshipItem *found = nullptr;
        if (!constraint->id().isEmpty()) {
            for (const RelationshipItem *relationship : relationships) {
                if (relationship && relationship->constraintId() == constraint->id()) {
                    found = relationship;
                    break;
                }
            }
        }
        if (!found) {
            for (const RelationshipItem *relationship : relationships) {
                if (relationship && relationship->toTableId() == table->id()
                    && (constraint->referencedTableId().isEmpty()
                        || relationship->fromTableId() == constraint->referencedTableId())) {
                    found = relationship;
                    break;
                }
            }
        }
        if (!found)
            continue;
        for (const QString &id : constraint->columns())
            relationshipOfColumn.insert(id, found->id());
    }
    for (const ColumnItem *column : table->columns()) {
        if (!column)
            continue;
        const QString relationshipId = relationshipOfColumn.value(column->id());
        entity->addAttributeRow(column->name(), column->fullTypeName(), primaryIds.contains(column->id()),
                                uniqueIds.contains(column->id()), !relationshipId.isEmpty(), false);
        if (!relationshipId.isEmpty())
            entity->markAttributeForeignKey(entity->attributeCount() - 1, relationshipId);
    }
}

// ---- Columns across the box, the table and the stored diagrams

void MainWindow::syncTableColumnsFromEntity(EntityItem *entity)
{
    if (!entity || entity->isView() || bulkUpdate || syncingColumns)
        return;
    ModelItem *model = nullptr;
    TableItem *table = findTableInProject(project, currentModel, stableEntityId(entity), &model);
    if (!table) {
        if (currentModel)
            registerEntityInModel(entity);
        return;
    }

    // Rows take columns by name, each column once, in column order.
    QHash<QString, QList<ColumnItem *>> columnsByName;
    for (ColumnItem *column : table->columns()) {
        if (column)
            columnsByName[column->name().toCaseFolded()].append(column);
    }
    QSet<QString> taken;
    QStringList order;
    for (int row = 0; row < entity->attributeCount(); ++row) {
        const QString name = entity->attributeName(row);
        if (name.isEmpty())
            continue;
        const bool primary = entity->isAttributePrimaryKey(row);
        ColumnItem *column = nullptr;
        for (ColumnItem *candidate : columnsByName.value(name.toCaseFolded())) {
            if (!taken.contains(candidate->id())) {
                column = candidate;
                break;
            }
        }
        if (!column) {
            column = table->addColumn();
            column->setName(name);
        }
        setColumnTypeFromText(column, entity->attributeType(row));
        if (primary)
            column->setNullable(false);
        if (entity->attributeColumnId(row) != column->id())
            entity->setAttributeColumnId(row, column->id());
        taken.insert(column->id());
        order.append(column->id());
    }

    // A column no row took leaves the model only when no other diagram shows or hides it.
    const QSet<QString> hidden(entity->hiddenColumns.cbegin(), entity->hiddenColumns.cend());
    std::optional<StoredColumnPresence> presence;
    for (ColumnItem *column : table->columns()) {
        if (!column || taken.contains(column->id()) || hidden.contains(column->id()))
            continue;
        if (!presence)
            presence.emplace(model, table->id(), currentDiagramId());
        if (presence->appears(column->id(), column->name()))
            continue;
        forgetColumnReferences(column->id());
        table->removeColumn(column->id());
    }

    table->reorderColumns(order);
    syncPrimaryKeyConstraint(table, entity);
    syncUniqueConstraints(table, entity);
    propagateTableColumns(model, table);
}

void MainWindow::propagateTableColumns(ModelItem *model, TableItem *table)
{
    if (!model || !table || bulkUpdate || syncingColumns)
        return;
    const FlagGuard syncing(syncingColumns);

    QStringList shownIds;
    if (EntityItem *box = findEntityOnScene(table->id()); box && !box->isView()) {
        applyModelColumns(box, table, false);
        for (int row = 0; row < box->attributeCount(); ++row) {
            const QString id = box->attributeColumnId(row);
            if (!id.isEmpty())
                shownIds.append(id);
        }
    }

    // Columns only the open box shows are new: the other diagrams gain them.
    QSet<QString> newColumnIds;
    if (spreadNewColumns && !shownIds.isEmpty()) {
        const StoredColumnPresence presence(model, table->id(), currentDiagramId());
        for (const QString &id : qAsConst(shownIds)) {
            const ColumnItem *column = table->column(id);
            if (!presence.appears(id, column ? column->name() : QString()))
                newColumnIds.insert(id);
        }
    }
    spreadTableColumnsToStoredDiagrams(model, table, newColumnIds, currentDiagramId());
}

void MainWindow::applyModelColumns(EntityItem *entity, TableItem *table, bool revealHidden)
{
    if (!entity || !table || entity->isView())
        return;
    const QList<ModelColumnRow> records = rebuildEntityAttributes(table);
    if (revealHidden)
        entity->hiddenColumns.clear();
    QSet<QString> columnIds;
    for (const ModelColumnRow &record : records)
        columnIds.insert(record.columnId);
    QStringList stillHidden;
    for (const QString &id : qAsConst(entity->hiddenColumns)) {
        if (columnIds.contains(id))
            stillHidden.append(id);
    }
    entity->hiddenColumns = stillHidden;

    const QSignalBlocker quiet(entity);
    if (!table->name().isEmpty() && table->name() != entity->title()) {
        const FlagGuard updating(updatingTree);
        entity->setTitle(table->name());
    }

    ColumnRowMatcher matcher(records);
    for (int row = 0; row < entity->attributeCount();) {
        const int index = matcher.take(entity->attributeColumnId(row), entity->attributeName(row));
        if (index >= 0) {
            const ModelColumnRow &record = records.at(index);
            // A row that already shows its column is left alone: no relayout per row.
            if (!rowShowsRecord(entity, row, record)) {
                entity->updateAttribute(row, record.columnId, record.name, record.type, record.isPrimaryKey,
                                        record.isUniqueKey, record.isForeignKey);
            }
            ++row;
        } else if (entity->attributeColumnId(row).isEmpty()) {
            ++row;
        } else {
            entity->removeAttribute(row);
        }
    }
    if (!revealHidden)
        return;
    const QSet<QString> hidden(entity->hiddenColumns.cbegin(), entity->hiddenColumns.cend());
    for (int i = 0; i < records.size(); ++i) {
        const ModelColumnRow &record = records.at(i);
        if (matcher.isTaken(i) || hidden.contains(record.columnId))
            continue;
        entity->addAttributeRow(record.name, record.type, record.isPrimaryKey, record.isUniqueKey,
                                record.isForeignKey, false);
        for (int row = entity->attributeCount() - 1; row >= 0; --row) {
            if (entity->attributeName(row).compare(record.name, Qt::CaseInsensitive) == 0) {
                entity->updateAttribute(row, record.columnId, record.name, record.type, record.isPrimaryKey,
                                        record.isUniqueKey, record.isForeignKey);
                break;
            }
        }
    }
}

void MainWindow::spreadNewColumn(ModelItem *model, TableItem *table, ColumnItem *column)
{
    if (!model || !table || !column)
        return;
    spreadTableColumnsToStoredDiagrams(model, table, {column->id()}, currentDiagramId());
}

bool MainWindow::columnAppearsOnOtherDiagrams(ModelItem *model, const QString &tableId,
                                              const QString &columnId, const QString &columnName)
{
    return ::columnAppearsOnOtherDiagrams(model, tableId, columnId, columnName, currentDiagramId());
}

void MainWindow::stripColumnFromDiagrams(ModelItem *model, const QString &tableId, const QString &columnId,
                                         const QString &columnName)
{
    ::stripColumnFromDiagrams(model, tableId, columnId, columnName, currentDiagramId());
}

void MainWindow::forgetColumnReferences(const QString &columnId)
{
    ::forgetColumnReferences(project, columnId);
}

void MainWindow::onColumnPresentationChanged()
{
    if (syncingColumns || bulkUpdate || !detailsEntity || detailsEntity->isView())
        return;
    ModelItem *model = nullptr;
    if (TableItem *table = findTableInProject(project, currentModel, stableEntityId(detailsEntity), &model))
        propagateTableColumns(model, table);
}

// ---- Removals

void MainWindow::removeRelationshipFromModel(const QString &id)
{
    if (!currentModel || id.isEmpty())
        return;
    const RelationshipItem *relationship = currentModel->relationship(id);
    if (!relationship)
        return;
    TableItem *table = currentModel->table(relationship->toTableId());
    if (table && !relationship->constraintId().isEmpty())
        table->removeConstraint(relationship->constraintId());
    currentModel->removeRelationship(id);
}

void MainWindow::removeEntityFromModel(const QString &id)
{
    if (!currentModel || id.isEmpty())
        return;
    QStringList touching;
    for (const RelationshipItem *relationship : currentModel->relationships()) {
        if (relationship && (relationship->fromTableId() == id || relationship->toTableId() == id))
            touching.append(relationship->id());
    }
    for (const QString &relationshipId : qAsConst(touching))
        removeRelationshipFromModel(relationshipId);
    currentModel->removeTable(id);
    currentModel->removeView(id);
}

void MainWindow::removeLiveEntity(const QString &id)
{
    EntityItem *entity = findEntityOnScene(id);
    if (!entity)
        return;
    if (detailsEntity == entity)
        detailsEntity = nullptr;
    const FlagGuard bulk(bulkUpdate);
    // A line from the box to itself is listed twice; deleting one line may also take
    // others with it, so each is checked before it goes.
    QList<QPointer<EdgeItem>> edges;
    for (EdgeItem *edge : qAsConst(entity->edges)) {
        if (edge && !edges.contains(edge))
            edges.append(edge);
    }
    for (const QPointer<EdgeItem> &edge : qAsConst(edges))
        delete edge.data();
    delete entity;
}

void MainWindow::stripFromModelDiagrams(ModelItem *model, const QSet<QString> &entityIds,
                                        const QSet<QString> &edgeIds)
{
    stripStoredDiagrams(model, entityIds, edgeIds, currentDiagramId(), false);
}

void MainWindow::stripItemsFromOtherDiagrams(const QStringList &entityIds, const QStringList &edgeIds)
{
    if (!currentModel || (entityIds.isEmpty() && edgeIds.isEmpty()))
        return;
    stripStoredDiagrams(currentModel, QSet<QString>(entityIds.cbegin(), entityIds.cend()),
                        QSet<QString>(edgeIds.cbegin(), edgeIds.cend()), currentDiagramId(), true);
}

// ---- Names

QJsonObject MainWindow::storedEntityJson(const QString &entityId)
{
    return ::storedEntityJson(currentModel, entityId);
}

void MainWindow::renameStoredEntityTitle(const QString &entityId, const QString &name)
{
    ::renameStoredEntityTitle(currentModel, entityId, name);
}

QString MainWindow::uniqueObjectName(ModelItem *model, const QString &prefix)
{
    QSet<QString> taken;
    if (model) {
        if (prefix.startsWith(QLatin1String("view"))) {
            for (const ViewItem *view : model->views()) {
                if (view)
                    taken.insert(view->name().toLower());
            }
        } else {
            for (const TableItem *table : model->tables()) {
                if (table)
                    taken.insert(table->name().toLower());
            }
        }
    }
    for (int n = 1;; ++n) {
        const QString candidate = prefix + QString::number(n);
        if (!taken.contains(candidate.toLower()))
            return candidate;
    }
}

void MainWindow::applyModelObjectName(const QString &kind, const QString &id, const QString &name,
                                      EntityItem *sourceEntity)
{
    if (updatingTree || bulkUpdate || id.isEmpty())
        return;
    const bool isTable = kind == ExplorerKind::Table;
    if (!isTable && kind != ExplorerKind::View)
        return;
    const auto find = [&]() -> QObject * {
        return isTable ? static_cast<QObject *>(findTableInProject(project, currentModel, id))
                       : static_cast<QObject *>(findViewInProject(project, currentModel, id));
    };
    QObject *object = find();
    if (!object && sourceEntity && currentModel) {
        registerEntityInModel(sourceEntity);
        object = isTable ? static_cast<QObject *>(currentModel->table(id))
                         : static_cast<QObject *>(currentModel->view(id));
    }
    if (!object)
        return;
    auto *table = qobject_cast<TableItem *>(object);
    auto *view = qobject_cast<ViewItem *>(object);
    const QString oldName = table ? table->name() : view->name();
    const QString newName = name.trimmed();
    EntityItem *box = sourceEntity ? sourceEntity : findEntityOnScene(id);

    const FlagGuard updating(updatingTree);
    if (newName.isEmpty()) {
        // A blank name is refused: the tree and the box show the old one again.
        if (box && box->title() != oldName)
            box->setTitle(oldName);
        updateTreeItemText(kind, id, oldName);
        return;
    }
    if (box && box->title() != newName)
        box->setTitle(newName);
    updateTreeItemText(kind, id, newName);
    if (newName == oldName)
        return;
    if (table)
        table->setName(newName);
    else
        view->setName(newName);
    renameStoredEntityTitle(id, newName);
}

void MainWindow::onProjectTreeItemChanged(QStandardItem *item)
{
    if (updatingTree || syncingSelection || !item)
        return;
    const QString kind = item->data(ExplorerKindRole).toString();
    const QString id = item->data(ExplorerIdRole).toString();
    const QString text = item->text();
    if (kind == ExplorerKind::Project)
        applyProjectName(text);
    else if (kind == ExplorerKind::Model)
        applyModelName(id, text);
    else if (kind == ExplorerKind::Diagram)
        applyDiagramName(id, text);
    else if (kind == ExplorerKind::Table || kind == ExplorerKind::View)
        applyModelObjectName(kind, id, text);
}
