// The Constraints tab of the table details panel and the key marks of the table's box.
#include "tabledetailscontroller.h"

#include "columnitem.h"
#include "constraintitem.h"
#include "entityitem.h"
#include "flagguard.h"
#include "generatednames.h"
#include "itemnames.h"
#include "modelitem.h"
#include "projectitem.h"
#include "relationshipitem.h"
#include "tableitem.h"
#include "uiprompts.h"
#include "uiseam.h"

#include "ui_MainWindow.h"

#include <QMenu>
#include <QScopeGuard>
#include <QSet>
#include <QStandardItemModel>

namespace {

enum FieldKind { SchemaField = 1, TableField = 2, ColumnField = 3 };
enum ConstraintCell { NameCell, TypeCell, CheckCell };
enum ForeignKeyCell { OwnColumnCell = 2, ReferencedTableCell = 4, ReferencedColumnCell = 5 };

QString typeLabel(int type)
{
    const QStringList labels = TableDetailsController::constraintTypeLabels();
    return (type >= 0 && type < labels.size()) ? labels.at(type) : labels.at(ConstraintType::Unique);
}

QString namePrefix(int type)
{
    switch (type) {
    case ConstraintType::PrimaryKey: return QStringLiteral("pk_");
    case ConstraintType::ForeignKey: return QStringLiteral("fk_");
    case ConstraintType::Check: return QStringLiteral("ck_");
    default: return QStringLiteral("uk_");
    }
}

// A Type cell's text: a label, or a type's stored name; anything else is unique.
int typeFromLabel(const QString &text)
{
    const int label = int(TableDetailsController::constraintTypeLabels().indexOf(text));
    return label >= 0 ? label : ConstraintItem::typeFromString(text);
}

QHash<QString, ColumnItem *> columnsById(const TableItem *table)
{
    QHash<QString, ColumnItem *> columns;
    for (ColumnItem *column : table->columns()) {
        if (column)
            columns.insert(column->id(), column);
    }
    return columns;
}

QString columnName(const QHash<QString, ColumnItem *> &columns, const QString &id)
{
    const ColumnItem *column = columns.value(id);
    return column ? column->name() : QString();
}

// A cell of the constraint columns table.
QStandardItem *fieldItem(const QString &text, bool editable, const QString &constraintId, FieldKind kind,
                         int side)
{
    QStandardItem *item = TableDetailsController::makeTextItem(text, editable);
    item->setData(constraintId, TableDetailsController::IdRole);
    item->setData(int(kind), TableDetailsController::FieldKindRole);
    item->setData(side, TableDetailsController::SideRole);
    return item;
}

QStandardItem *columnItem(const QHash<QString, ColumnItem *> &columns, const QString &id,
                          const QString &constraintId, int side)
{
    QStandardItem *item = fieldItem(columnName(columns, id), true, constraintId, ColumnField, side);
    item->setData(id, TableDetailsController::ColumnIdRole);
    return item;
}

// Pads a column list with empty ids up to a length.
QStringList padded(QStringList ids, qsizetype length)
{
    while (ids.size() < length)
        ids.append(QString());
    return ids;
}

} // namespace

QStringList TableDetailsController::constraintTypeLabels()
{
    return {QStringLiteral("Primary Key"), QStringLiteral("Foreign Key"), QStringLiteral("Unique"),
            QStringLiteral("Check")};
}

// ---- shared routines ----------------------------------------------------------------------

QStringList TableDetailsController::columnNames(TableItem *table) const
{
    return table ? namesOf(table->columns()) : QStringList();
}

QString TableDetailsController::firstUnusedColumnId(TableItem *table, const QStringList &excludedIds)
{
    if (!table)
        return QString();
    for (const ColumnItem *column : table->columns()) {
        if (column && !column->id().isEmpty() && !excludedIds.contains(column->id()))
            return column->id();
    }
    return QString();
}

TableItem *TableDetailsController::findTableByName(ModelItem *model, const QString &name)
{
    return model ? model->tableByName(name) : nullptr;
}

QString TableDetailsController::uniqueConstraintName(const QString &prefix) const
{
    if (!m_table)
        return uniqueGeneratedName(prefix, {});
    return uniqueGeneratedName(prefix + m_table->name(), namesOf(m_table->constraints()));
}

QHash<QString, QString> TableDetailsController::relationshipsByConstraint(const QString &toTableId,
                                                                         QSet<QString> *endingAtTable) const
{
    // One walk over the relationships in name order, so the first owner of a key wins.
    QHash<QString, QString> owners;
    if (!m_model)
        return owners;
    for (const RelationshipItem *relationship : m_model->relationships()) {
        if (!relationship)
            continue;
        if (!relationship->constraintId().isEmpty() && !owners.contains(relationship->constraintId()))
            owners.insert(relationship->constraintId(), relationship->id());
        if (endingAtTable && !toTableId.isEmpty() && relationship->toTableId() == toTableId)
            endingAtTable->insert(relationship->id());
    }
    return owners;
}

QString TableDetailsController::relationshipIdForConstraint(const ConstraintItem *constraint) const
{
    if (!constraint || constraint->id().isEmpty())
        return QString();
    return relationshipsByConstraint().value(constraint->id());
}

// ---- the two tables -------------------------------------------------------------------------

void TableDetailsController::populateConstraints()
{
    m_constraintsModel->clear();
    m_constraintsModel->setHorizontalHeaderLabels({tr("Name"), tr("Type"), tr("Check")});
    if (!m_table)
        return;
    for (const ConstraintItem *constraint : m_table->constraints()) {
        if (!constraint)
            continue;
        const bool check = constraint->type() == ConstraintType::Check;
        QStandardItem *name = makeTextItem(constraint->name(), true);
        name->setData(constraint->id(), IdRole);
        m_constraintsModel->appendRow({name, makeTextItem(typeLabel(constraint->type()), true),
                                       makeTextItem(check ? constraint->expression() : QString(), check)});
    }
}

void TableDetailsController::populateForeignKeys()
{
    m_constraintColumnsModel->clear();
    const ConstraintItem *constraint = selectedConstraint();
    const bool foreignKey = constraint && constraint->type() == ConstraintType::ForeignKey;
    if (foreignKey) {
        m_constraintColumnsModel->setHorizontalHeaderLabels(
            {tr("FK Schema"), tr("FK Table"), tr("FK Column"), tr("PK Schema"), tr("PK Table"), tr("PK Column")});
    } else {
        m_constraintColumnsModel->setHorizontalHeaderLabels({tr("Schema"), tr("Table"), tr("Column")});
    }
    // Another constraint shown outside a refresh lays its columns out afresh.
    const QScopeGuard fit([this] {
        if (!m_refreshing)
            fitColumnsToContents(m_ui->tableViewConsColumns);
    });
    if (!constraint)
        return;

    const QString id = constraint->id();
    const QHash<QString, ColumnItem *> columns = columnsById(m_table);
    const QStringList own = constraint->columns();
    if (!foreignKey) {
        for (const QString &columnId : own) {
            m_constraintColumnsModel->appendRow({fieldItem(m_table->schema(), false, id, SchemaField, 0),
                                                 fieldItem(m_table->name(), false, id, TableField, 0),
                                                 columnItem(columns, columnId, id, 0)});
        }
        return;
    }
    TableItem *referenced = findTableInProject(m_project, constraint->referencedTableId());
    const QHash<QString, ColumnItem *> referencedColumns = referenced ? columnsById(referenced)
                                                                      : QHash<QString, ColumnItem *>();
    const QStringList references = constraint->referencedColumns();
    const qsizetype rows = std::max(own.size(), references.size());
    // A relationship's line decides the table its key refers to.
    const bool parentChosen = relationshipIdForConstraint(constraint).isEmpty();
    for (qsizetype row = 0; row < rows; ++row) {
        m_constraintColumnsModel->appendRow(
            {fieldItem(m_table->schema(), false, id, SchemaField, 0),
             fieldItem(m_table->name(), false, id, TableField, 0),
             columnItem(columns, own.value(row), id, 0),
             fieldItem(referenced ? referenced->schema() : QString(), false, id, SchemaField, 1),
             fieldItem(referenced ? referenced->name() : QString(), parentChosen, id, TableField, 1),
             columnItem(referencedColumns, references.value(row), id, 1)});
    }
}

QStringList TableDetailsController::constraintColumnOptions(const QModelIndex &index) const
{
    const ConstraintItem *constraint = selectedConstraint();
    if (!constraint)
        return {};
    if (constraint->type() != ConstraintType::ForeignKey)
        return index.column() == OwnColumnCell ? columnNames(m_table) : QStringList();
    switch (index.column()) {
    case OwnColumnCell:
        return columnNames(m_table);
    case ReferencedTableCell:
        return m_model ? namesOf(m_model->tables()) : QStringList();
    case ReferencedColumnCell:
        return columnNames(findTableInProject(m_project, constraint->referencedTableId()));
    default:
        return {};
    }
}

// ---- actions ------------------------------------------------------------------------------

void TableDetailsController::showConstraintMenu()
{
    QToolButton *button = m_ui ? m_ui->toolButtonAddConstraint : nullptr;
    if (!m_table || !button)
        return;
    QMenu menu;
    const QStringList labels = constraintTypeLabels();
    for (int type = 0; type < labels.size(); ++type)
        menu.addAction(labels.at(type))->setData(type);
    const QPointer<TableItem> shown = m_table;
    const QAction *chosen = uiseam::runMenu(&menu, button->mapToGlobal(QPoint(0, button->height())));
    // The menu ran an event loop in which the table may have gone or another been shown.
    if (!chosen || !shown || shown != m_table)
        return;
    addConstraint(chosen->data().toInt());
}

void TableDetailsController::addConstraint(int type)
{
    if (!m_table || m_busy || m_refreshing)
        return;
    if (type == ConstraintType::PrimaryKey) {
        if (const ConstraintItem *primaryKey = m_table->constraintOfType(ConstraintType::PrimaryKey)) {
            m_pendingConstraintId = primaryKey->id();
            refresh();
            return;
        }
    }
    ConstraintItem *constraint = m_table->addConstraint();
    constraint->setType(type);
    constraint->setName(uniqueConstraintName(namePrefix(type)));
    if (type == ConstraintType::PrimaryKey || type == ConstraintType::Unique) {
        const QString first = firstUnusedColumnId(m_table, {});
        if (!first.isEmpty())
            constraint->setColumns({first});
    }
    m_pendingConstraintId = constraint->id();
    constraintsChanged();
    refresh();
}

void TableDetailsController::confirmRemoveConstraint()
{
    if (!m_table || m_busy || m_refreshing || !m_ui)
        return;
    ConstraintItem *constraint = selectedConstraint();
    if (!constraint)
        return;
    const QString constraintId = constraint->id();
    const QString relationshipId = relationshipIdForConstraint(constraint);
    if (!relationshipId.isEmpty()) {
        UiPrompts::Question question;
        question.parent = m_ui->tableViewConstraints ? m_ui->tableViewConstraints->window() : nullptr;
        question.icon = QMessageBox::Question;
        question.title = tr("Remove constraint");
        question.text = tr("This foreign key belongs to a relationship. Removing it also removes the relationship.");
        question.informativeText = tr("The columns stay on the table.");
        question.buttons = {{tr("Remove"), QMessageBox::DestructiveRole}, {tr("Cancel"), QMessageBox::RejectRole}};
        question.defaultButton = 1;
        question.escapeButton = 1;
        const QPointer<TableItem> shown = m_table;
        const int answer = UiPrompts::current().ask(question);
        // The box ran an event loop in which the table or the constraint may have gone.
        if (answer != 0 || !shown || shown != m_table || !m_table->constraint(constraintId))
            return;
    }
    removeConstraintAndReport(constraintId, relationshipId);
}

void TableDetailsController::removeConstraintAndReport(const QString &constraintId, const QString &relationshipId)
{
    m_table->removeConstraint(constraintId);
    constraintsChanged();
    // The window removes the relationship too, and refreshes the panel after.
    if (!relationshipId.isEmpty())
        emit relationshipConstraintRemoved(relationshipId);
    else
        refresh();
}

void TableDetailsController::addConstraintColumn()
{
    if (!m_table || m_busy || m_refreshing)
        return;
    ConstraintItem *constraint = selectedConstraint();
    if (!constraint)
        return;
    const QString next = firstUnusedColumnId(m_table, constraint->columns());
    if (next.isEmpty())
        return;
    if (constraint->type() == ConstraintType::ForeignKey) {
        // Both lists grow by one row, aligned by position even where an older file left
        // them of different lengths.
        QStringList references = constraint->referencedColumns();
        const qsizetype rows = std::max(constraint->columns().size(), references.size());
        QString referencedNext;
        if (TableItem *referenced = findTableInProject(m_project, constraint->referencedTableId()))
            referencedNext = firstUnusedColumnId(referenced, references);
        constraint->setColumns(padded(constraint->columns(), rows) << next);
        constraint->setReferencedColumns(padded(references, rows) << referencedNext);
    } else {
        constraint->setColumns(constraint->columns() << next);
    }
    m_pendingConstraintId = constraint->id();
    constraintsChanged();
    refresh();
}

void TableDetailsController::removeConstraintColumn()
{
    if (!m_table || m_busy || m_refreshing || !m_ui || !m_ui->tableViewConsColumns)
        return;
    ConstraintItem *constraint = selectedConstraint();
    const int row = m_ui->tableViewConsColumns->currentIndex().row();
    if (!constraint || row < 0)
        return;
    QStringList columns = constraint->columns();
    if (row < columns.size())
        columns.removeAt(row);
    constraint->setColumns(columns);
    if (constraint->type() == ConstraintType::ForeignKey) {
        QStringList references = constraint->referencedColumns();
        if (row < references.size())
            references.removeAt(row);
        constraint->setReferencedColumns(references);
    }
    if (constraint->type() == ConstraintType::PrimaryKey && columns.isEmpty()) {
        removeConstraintAndReport(constraint->id(), relationshipIdForConstraint(constraint));
        return;
    }
    m_pendingConstraintId = constraint->id();
    constraintsChanged();
    refresh();
}

void TableDetailsController::constraintsChanged()
{
    // The stored boxes on the other diagrams carry the key marks too; the window is told
    // of a change on the open box only, and only while that box is the selected one.
    spreadToStoredBoxes();
    syncKeyMarks();
    syncForeignKeyMarks();
}

// ---- cell edits -----------------------------------------------------------------------------

void TableDetailsController::onConstraintItemChanged(QStandardItem *item)
{
    if (m_busy || !m_table || !item)
        return;
    ConstraintItem *constraint = m_table->constraint(rowId(m_constraintsModel, item->row()));
    if (!constraint)
        return;
    switch (item->column()) {
    case NameCell: {
        // A name may repeat another constraint's: the user's names are the user's.
        const QString name = item->text().trimmed();
        if (name.isEmpty())
            scheduleRefresh();
        else
            constraint->setName(name);
        return;
    }
    case CheckCell:
        if (constraint->type() == ConstraintType::Check)
            constraint->setExpression(item->text());
        return;
    case TypeCell:
        break;
    default:
        return;
    }

    const int type = typeFromLabel(item->text());
    if (type == constraint->type())
        return;
    const ConstraintItem *primaryKey = m_table->constraintOfType(ConstraintType::PrimaryKey);
    const bool secondPrimaryKey = type == ConstraintType::PrimaryKey && primaryKey && primaryKey != constraint;
    const bool ownedByRelationship = constraint->type() == ConstraintType::ForeignKey
        && !relationshipIdForConstraint(constraint).isEmpty();
    if (type != ConstraintType::ForeignKey && (secondPrimaryKey || ownedByRelationship)) {
        scheduleRefresh();
        return;
    }
    constraint->setType(type);
    if ((type == ConstraintType::PrimaryKey || type == ConstraintType::Unique) && constraint->columns().isEmpty()) {
        const QString first = firstUnusedColumnId(m_table, {});
        if (!first.isEmpty())
            constraint->setColumns({first});
    }
    constraintsChanged();
    scheduleRefresh();
}

void TableDetailsController::onConstraintColumnItemChanged(QStandardItem *item)
{
    if (m_busy || !m_table || !item)
        return;
    ConstraintItem *constraint = m_table->constraint(item->data(IdRole).toString());
    const int kind = item->data(FieldKindRole).toInt();
    const bool referencedSide = item->data(SideRole).toInt() == 1;
    if (constraint && kind == TableField && referencedSide) {
        TableItem *referenced = relationshipIdForConstraint(constraint).isEmpty()
            ? findTableByName(m_model, item->text().trimmed())
            : nullptr;
        if (referenced) {
            constraint->setReferencedTableId(referenced->id());
            QStringList references = constraint->referencedColumns();
            for (QString &id : references) {
                if (!referenced->column(id))
                    id.clear();
            }
            constraint->setReferencedColumns(references);
        }
    } else if (constraint && kind == ColumnField) {
        if (setConstraintColumnAt(constraint, item->row(), referencedSide, item->text()))
            constraintsChanged();
    }
    // Whatever did not apply gets the stored text back.
    scheduleRefresh();
}

bool TableDetailsController::setConstraintColumnAt(ConstraintItem *constraint, int row, bool referenced,
                                                   const QString &text)
{
    if (!constraint || !m_table || row < 0)
        return false;
    TableItem *target = referenced ? findTableInProject(m_project, constraint->referencedTableId()) : m_table.data();
    const ColumnItem *column = target ? target->columnMatching(text.trimmed()) : nullptr;
    if (!column)
        return false;
    QStringList ids = padded(referenced ? constraint->referencedColumns() : constraint->columns(), row + 1);
    if (ids.at(row) == column->id())
        return true;
    if (ids.contains(column->id()))
        return false; // a column occurs once on each side
    ids[row] = column->id();
    if (referenced)
        constraint->setReferencedColumns(ids);
    else
        constraint->setColumns(ids);
    return true;
}

// ---- key marks of the box -----------------------------------------------------------------

void TableDetailsController::syncKeyMarks()
{
    EntityItem *entity = m_table ? entityForTable(m_table->id()) : nullptr;
    if (!entity || entity->isView())
        return;
    const QHash<QString, ColumnItem *> columns = columnsById(m_table);
    QSet<QString> primaryNames;
    QSet<QString> uniqueNames;
    for (const ConstraintItem *constraint : m_table->constraints()) {
        const bool primary = constraint && constraint->type() == ConstraintType::PrimaryKey;
        if (!constraint || (!primary && constraint->type() != ConstraintType::Unique))
            continue;
        for (const QString &id : constraint->columns()) {
            ColumnItem *column = columns.value(id);
            if (!column)
                continue;
            (primary ? primaryNames : uniqueNames).insert(column->name());
            if (primary)
                column->setNullable(false);
        }
    }
    bool changed = false;
    for (int row = 0; row < entity->attributeCount(); ++row) {
        const QString name = entity->attributeName(row);
        const bool primary = primaryNames.contains(name);
        const bool unique = uniqueNames.contains(name);
        if (primary != entity->isAttributePrimaryKey(row) || unique != entity->isAttributeUniqueKey(row)) {
            entity->setAttributeKeyFlags(row, primary, unique);
            changed = true;
        }
    }
    if (changed && !m_refreshing) {
        const FlagGuard busy(m_busy);
        emit columnPresentationChanged();
    }
}

void TableDetailsController::syncForeignKeyMarks()
{
    EntityItem *entity = m_table ? entityForTable(m_table->id()) : nullptr;
    if (!entity || entity->isView() || !m_model)
        return;
    QSet<QString> handled;
    const QHash<QString, QString> owners = relationshipsByConstraint(m_table->id(), &handled);
    const QHash<QString, ColumnItem *> columns = columnsById(m_table);
    QHash<QString, QString> relationshipOfName;
    for (const ConstraintItem *constraint : m_table->constraints()) {
        if (!constraint || constraint->type() != ConstraintType::ForeignKey)
            continue;
        const QString relationshipId = owners.value(constraint->id());
        if (relationshipId.isEmpty())
            continue; // a key no relationship owns marks nothing
        handled.insert(relationshipId);
        for (const QString &id : constraint->columns()) {
            if (const ColumnItem *column = columns.value(id))
                relationshipOfName.insert(column->name(), relationshipId);
        }
    }
    for (int row = 0; row < entity->attributeCount(); ++row) {
        const auto mapped = relationshipOfName.constFind(entity->attributeName(row));
        if (mapped != relationshipOfName.cend())
            entity->setAttributeForeignKey(row, *mapped);
        else if (!entity->attributeFkEdgeId(row).isEmpty() && handled.contains(entity->attributeFkEdgeId(row)))
            entity->setAttributeForeignKey(row, QString());
    }
}
