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
#include <QJsonArray>
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

// Pairs the rows of a box with the columns of its table, each column taken once: by the
// row's column id first, then by the first untaken column of exactly the row's name.
class RowColumnMatcher
{
public:
    explicit RowColumnMatcher(const TableItem *table)
        : m_table(table)
    {
        for (ColumnItem *column : table->columns()) {
            if (column && !column->name().isEmpty())
                m_byName[column->name()].append(column);
        }
    }

    ColumnItem *take(const QString &columnId, const QString &name)
    {
        ColumnItem *column = columnId.isEmpty() ? nullptr : m_table->column(columnId);
        if (column && m_taken.contains(column))
            column = nullptr;
        if (!column) {
            for (ColumnItem *candidate : m_byName.value(name)) {
                if (!m_taken.contains(candidate)) {
                    column = candidate;
                    break;
                }
            }
        }
        if (column)
            m_taken.insert(column);
        return column;
    }

    // A column made for a row is taken at once.
    void takeNew(ColumnItem *column) { m_taken.insert(column); }
    bool isTaken(ColumnItem *column) const { return m_taken.contains(column); }

private:
    const TableItem *m_table;
    QHash<QString, QList<ColumnItem *>> m_byName;
    QSet<ColumnItem *> m_taken;
};

// The column a row of the box shows: the one its column id names, else the first column
// of exactly its name; none for a row of no column.
ColumnItem *columnOfRow(const TableItem *table, const EntityItem *entity, int row)
{
    if (ColumnItem *column = table->column(entity->attributeColumnId(row)))
        return column;
    const QString name = entity->attributeName(row);
    return name.isEmpty() ? nullptr : table->columnByName(name);
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
    // Each row takes its column by id, or by exact name when it has none, and keeps its
    // id from now on: a row matched later by a name it no longer has is a column lost.
    RowColumnMatcher matcher(table);
    for (int row = 0; row < entity->attributeCount(); ++row) {
        const QString name = entity->attributeName(row);
        // A row without a name names no column.
        if (name.isEmpty())
            continue;
        ColumnItem *column = matcher.take(entity->attributeColumnId(row), name);
        if (!column) {
            column = table->addColumn();
            matcher.takeNew(column);
        }
        column->setName(name);
        setColumnTypeFromText(column, entity->attributeType(row));
        if (entity->isAttributePrimaryKey(row))
            column->setNullable(false);
        if (entity->attributeColumnId(row) != column->id())
            entity->setAttributeColumnId(row, column->id());
    }
    syncPrimaryKeyConstraint(table, entity);
    syncUniqueConstraints(table, entity);
}

// The key is the model's; the rows only show it. A row whose mark differs from the key
// is an edit on the box: its column joins the key at the end or leaves it. Columns that
// no row shows (hidden on this diagram) and the order of the key stay as they are.
void MainWindow::syncPrimaryKeyConstraint(TableItem *table, EntityItem *entity)
{
    if (!table || !entity)
        return;
    ConstraintItem *key = table->constraintOfType(ConstraintType::PrimaryKey);
    const QStringList before = key ? key->columns() : QStringList();
    QStringList ids = before;
    QSet<QString> inKey(ids.cbegin(), ids.cend());
    for (int row = 0; row < entity->attributeCount(); ++row) {
        const ColumnItem *column = columnOfRow(table, entity, row);
        if (!column)
            continue;
        const bool marked = entity->isAttributePrimaryKey(row);
        if (marked && !inKey.contains(column->id())) {
            ids.append(column->id());
            inKey.insert(column->id());
        } else if (!marked && inKey.contains(column->id())) {
            ids.removeAll(column->id());
            inKey.remove(column->id());
        }
    }
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

// A row marked unique whose column no unique constraint holds gets a constraint of its
// own: a mark says that one column is unique, never that several are together.
void MainWindow::syncUniqueConstraints(TableItem *table, EntityItem *entity)
{
    if (!table || !entity)
        return;
    QSet<QString> covered;
    for (const ConstraintItem *constraint : table->constraints()) {
        if (constraint && constraint->type() == ConstraintType::Unique) {
            for (const QString &id : constraint->columns())
                covered.insert(id);
        }
    }
    for (int row = 0; row < entity->attributeCount(); ++row) {
        if (!entity->isAttributeUniqueKey(row))
            continue;
        const ColumnItem *column = columnOfRow(table, entity, row);
        if (!column || covered.contains(column->id()))
            continue;
        covered.insert(column->id());
        addNamedConstraint(table, ConstraintType::Unique, QStringLiteral("uk_") + table->name())
            ->setColumns({column->id()});
    }
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
    // The foreign key is the model's: the line adds the columns of the rows it marks that
    // the key lacks, and never takes one away, since a row shows only one of the keys its
    // column may belong to. A column joining pairs with the parent's key column at the
    // same place, so the key never refers to more columns than it has.
    const ConstraintItem *parentKeyConstraint =
        parent ? parent->constraintOfType(ConstraintType::PrimaryKey) : nullptr;
    const QStringList parentKey = parentKeyConstraint ? parentKeyConstraint->columns() : QStringList();
    QStringList columns = foreignKey->columns();
    QStringList referenced = foreignKey->referencedColumns();
    if (foreignKey->referencedTableId() != fromId) {
        // Another parent: what the key referred to is no column of it.
        referenced.clear();
        for (int i = 0; i < columns.size(); ++i)
            referenced.append(parentKey.value(i));
        foreignKey->setReferencedTableId(fromId);
    }
    while (referenced.size() < columns.size())
        referenced.append(parentKey.value(referenced.size()));
    QSet<QString> inKey(columns.cbegin(), columns.cend());
    for (int row = 0; row < edge->to->attributeCount(); ++row) {
        if (edge->to->attributeFkEdgeId(row) != edge->id)
            continue;
        const ColumnItem *column = columnOfRow(child, edge->to, row);
        if (!column || inKey.contains(column->id()))
            continue;
        inKey.insert(column->id());
        columns.append(column->id());
        referenced.append(parentKey.value(referenced.size()));
    }
    if (foreignKey->columns() != columns)
        foreignKey->setColumns(columns);
    if (foreignKey->referencedColumns() != referenced)
        foreignKey->setReferencedColumns(referenced);
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
    ModelItem *model = nullptr;
    TableItem *table = findTableInProject(project, currentModel, id, &model);
    if (!table) {
        if (currentModel)
            registerEntityInModel(entity);
        refreshTableDetails();
        return;
    }
    ColumnItem *column = table->column(entity->attributeColumnId(index));
    if (!column && !oldName.isEmpty())
        column = table->columnByName(oldName);
    if (!column && !name.isEmpty())
        column = table->columnByName(name);
    if (!column) {
        column = table->addColumn();
        if (entity->isAttributePrimaryKey(index))
            column->setNullable(false);
    }
    if (!name.isEmpty() && column->name() != name) {
        // Stored rows that know the column only by its old name learn its id first, or
        // the new name would match none of them.
        spreadTableColumnsToStoredDiagrams(model, table, {}, currentDiagramId());
        column->setName(name);
    }
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
        const int row = entity->attributeCount() - 1;
        entity->setAttributeColumnId(row, column->id());
        if (!relationshipId.isEmpty())
            entity->markAttributeForeignKey(row, relationshipId);
    }
}

void MainWindow::assignRowColumnIds(EntityItem *entity, TableItem *table)
{
    if (!entity || !table || entity->isView())
        return;
    RowColumnMatcher matcher(table);
    // Rows whose id names a column keep it; the others pair by name with what is left.
    QList<int> unpaired;
    for (int row = 0; row < entity->attributeCount(); ++row) {
        ColumnItem *column = table->column(entity->attributeColumnId(row));
        if (column && !matcher.isTaken(column))
            matcher.take(column->id(), QString());
        else
            unpaired.append(row);
    }
    for (int row : qAsConst(unpaired)) {
        if (ColumnItem *column = matcher.take(QString(), entity->attributeName(row)))
            entity->setAttributeColumnId(row, column->id());
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

    // Rows take columns by id, or by name when they have none, each column once.
    RowColumnMatcher matcher(table);
    QSet<QString> taken;
    QStringList order;
    for (int row = 0; row < entity->attributeCount(); ++row) {
        const QString name = entity->attributeName(row);
        if (name.isEmpty())
            continue;
        const bool primary = entity->isAttributePrimaryKey(row);
        ColumnItem *column = matcher.take(entity->attributeColumnId(row), name);
        if (!column) {
            column = table->addColumn();
            matcher.takeNew(column);
        }
        if (column->name() != name)
            column->setName(name);
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
            if (entity->attributeName(row) == record.name) {
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

QStringList MainWindow::relationshipsThroughColumn(ModelItem *model, TableItem *table, const QString &columnId)
{
    QStringList ids;
    if (!model || !table || columnId.isEmpty())
        return ids;
    for (const RelationshipItem *relationship : model->relationships()) {
        if (!relationship)
            continue;
        const TableItem *child = model->table(relationship->toTableId());
        const ConstraintItem *foreignKey = child ? child->constraint(relationship->constraintId()) : nullptr;
        if (!foreignKey)
            continue;
        const bool holds = relationship->toTableId() == table->id() && foreignKey->columns().contains(columnId);
        const bool refers = relationship->fromTableId() == table->id()
            && foreignKey->referencedColumns().contains(columnId);
        if (holds || refers)
            ids.append(relationship->id());
    }
    return ids;
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
    // The object may live in a model that is not current: its own diagrams show it.
    ModelItem *model = currentModel;
    if (!findTableInProject(project, currentModel, entityId, &model))
        findViewInProject(project, currentModel, entityId, &model);
    ::renameStoredEntityTitle(model ? model : currentModel, entityId, name);
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
    if (table) {
        ModelItem *model = nullptr;
        findTableInProject(project, currentModel, id, &model);
        renameRelationshipsOfTable(model, id, oldName);
    }
}

void MainWindow::renameRelationshipsOfTable(ModelItem *model, const QString &tableId, const QString &oldName)
{
    if (!model || tableId.isEmpty())
        return;
    const auto nameOf = [&](const QString &id, bool before) {
        if (before && id == tableId)
            return oldName;
        const TableItem *table = model->table(id);
        return table ? table->name() : QString();
    };
    for (RelationshipItem *relationship : model->relationships()) {
        if (!relationship
            || (relationship->fromTableId() != tableId && relationship->toTableId() != tableId))
            continue;
        // A name of the user's own stays; one made from the two tables follows them.
        const QString before = nameOf(relationship->fromTableId(), true) + QLatin1Char('_')
            + nameOf(relationship->toTableId(), true);
        if (relationship->name() != before)
            continue;
        relationship->setName(nameOf(relationship->fromTableId(), false) + QLatin1Char('_')
                              + nameOf(relationship->toTableId(), false));
        updateTreeItemText(ExplorerKind::Relationship, relationship->id(), relationship->displayName());
    }
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
