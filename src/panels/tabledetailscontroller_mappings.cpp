// The Mappings tab of the table details panel: every mapping of the project, whatever
// table is shown, and an empty last row in which a new one is typed.
#include "tabledetailscontroller.h"

#include "columnitem.h"
#include "itemnames.h"
#include "mappingitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "tableitem.h"

#include "ui_MainWindow.h"

#include <QStandardItemModel>
#include <QTreeView>

namespace {

enum MappingCell { SourceModel, SourceTable, SourceColumn, TargetModel, TargetTable, TargetColumn, CellCount };

TableItem *tableAmong(const QList<ModelItem *> &models, const QString &tableId)
{
    if (tableId.isEmpty())
        return nullptr;
    for (const ModelItem *model : models) {
        if (TableItem *table = model ? model->table(tableId) : nullptr)
            return table;
    }
    return nullptr;
}

// Names of one end of a mapping; empty where an id names nothing.
struct EndNames
{
    QString model;
    QString table;
    QString column;
};

EndNames endNames(const ProjectItem *project, const QList<ModelItem *> &models, const QString &modelId,
                  const QString &tableId, const QString &columnId)
{
    EndNames names;
    if (const ModelItem *model = project->model(modelId))
        names.model = model->name();
    if (const TableItem *table = tableAmong(models, tableId)) {
        names.table = table->name();
        if (const ColumnItem *column = table->column(columnId))
            names.column = column->name();
    }
    return names;
}

void storeEnds(MappingItem *mapping, const TableDetailsController::MappingEndpoint &source,
               const TableDetailsController::MappingEndpoint &target)
{
    mapping->setSourceModelId(source.modelId);
    mapping->setSourceTableId(source.tableId);
    mapping->setSourceColumnId(source.columnId);
    mapping->setTargetModelId(target.modelId);
    mapping->setTargetTableId(target.tableId);
    mapping->setTargetColumnId(target.columnId);
}

} // namespace

TableItem *TableDetailsController::findTableInProject(ProjectItem *project, const QString &tableId)
{
    return project ? tableAmong(project->models(), tableId) : nullptr;
}

void TableDetailsController::populateMappings()
{
    m_mappingsModel->clear();
    m_mappingsModel->setHorizontalHeaderLabels({tr("Source Model"), tr("Source Table"), tr("Source Column"),
                                                tr("Target Model"), tr("Target Table"), tr("Target Column")});
    if (!m_project)
        return;
    const QList<ModelItem *> models = m_project->models();
    QList<MappingItem *> mappings = m_project->mappings();
    for (const ModelItem *model : models) {
        if (model)
            mappings += model->mappings();
    }
    for (MappingItem *mapping : qAsConst(mappings)) {
        if (!mapping)
            continue;
        const EndNames source = endNames(m_project, models, mapping->sourceModelId(), mapping->sourceTableId(),
                                         mapping->sourceColumnId());
        const EndNames target = endNames(m_project, models, mapping->targetModelId(), mapping->targetTableId(),
                                         mapping->targetColumnId());
        if (!source.table.isEmpty() && !source.column.isEmpty() && !target.table.isEmpty()
            && !target.column.isEmpty()) {
            const QString name = QStringLiteral("%1.%2 -> %3.%4").arg(source.table, source.column, target.table,
                                                                      target.column);
            if (name != mapping->name()) {
                mapping->setName(name);
                m_mappingsChangedPending = true;
            }
        }
        QStandardItem *first = makeTextItem(source.model, true);
        first->setData(mapping->id(), IdRole);
        m_mappingsModel->appendRow({first, makeTextItem(source.table, true), makeTextItem(source.column, true),
                                    makeTextItem(target.model, true), makeTextItem(target.table, true),
                                    makeTextItem(target.column, true)});
    }
    QList<QStandardItem *> newRow;
    for (int cell = 0; cell < CellCount; ++cell)
        newRow.append(makeTextItem(m_newMappingTexts.value(cell), true));
    m_mappingsModel->appendRow(newRow);
}

bool TableDetailsController::isNewMappingRow(int row) const
{
    return row >= 0 && row == m_mappingsModel->rowCount() - 1 && rowId(m_mappingsModel, row).isEmpty();
}

bool TableDetailsController::newMappingStarted() const
{
    for (const QString &text : m_newMappingTexts) {
        if (!text.isEmpty())
            return true;
    }
    return false;
}

void TableDetailsController::forgetNewMapping()
{
    m_newMappingTexts.clear();
    m_newMappingModel = nullptr;
}

MappingItem *TableDetailsController::findMapping(const QString &id, ModelItem **owner) const
{
    if (owner)
        *owner = nullptr;
    if (!m_project || id.isEmpty())
        return nullptr;
    if (MappingItem *mapping = m_project->mapping(id))
        return mapping;
    for (ModelItem *model : m_project->models()) {
        if (MappingItem *mapping = model ? model->mapping(id) : nullptr) {
            if (owner)
                *owner = model;
            return mapping;
        }
    }
    return nullptr;
}

MappingItem *TableDetailsController::mappingForRow(int row) const
{
    // Rows keep the mapping's id, never its address: a row still on screen after its
    // mapping went must not reach whatever was made in its place.
    return findMapping(rowId(m_mappingsModel, row));
}

bool TableDetailsController::isKnownMapping(MappingItem *mapping) const
{
    return mapping && findMapping(mapping->id()) == mapping;
}

QStringList TableDetailsController::mappingOptions(const QModelIndex &index) const
{
    if (!m_project || !index.isValid())
        return {};
    const int column = index.column();
    const bool source = column < TargetModel;
    if (column == SourceModel || column == TargetModel)
        return namesOf(m_project->models());
    const auto text = [&index](int cell) { return index.siblingAtColumn(cell).data().toString(); };
    ModelItem *model = m_project->modelByName(text(source ? SourceModel : TargetModel));
    if (!model)
        return {};
    if (column == SourceTable || column == TargetTable)
        return namesOf(model->tables());
    return columnNames(findTableByName(model, text(source ? SourceTable : TargetTable)));
}

TableDetailsController::MappingEndpoint TableDetailsController::resolveMappingEndpoint(
    ProjectItem *project, const QString &model, const QString &table, const QString &column)
{
    MappingEndpoint end;
    const QString modelName = model.trimmed();
    const QString tableName = table.trimmed();
    const QString columnName = column.trimmed();
    if (!project || modelName.isEmpty() || tableName.isEmpty() || columnName.isEmpty())
        return end;
    ModelItem *foundModel = project->modelByName(modelName);
    TableItem *foundTable = findTableByName(foundModel, tableName);
    const ColumnItem *foundColumn = foundTable ? foundTable->columnMatching(columnName) : nullptr;
    if (!foundColumn)
        return end;
    end = {true, foundModel->id(), foundTable->id(), foundColumn->id()};
    return end;
}

TableDetailsController::MappingEndpoint TableDetailsController::rowEndpoint(int row, int firstColumn) const
{
    return resolveMappingEndpoint(m_project, cellText(m_mappingsModel, row, firstColumn),
                                  cellText(m_mappingsModel, row, firstColumn + 1),
                                  cellText(m_mappingsModel, row, firstColumn + 2));
}

bool TableDetailsController::applyMappingRow(MappingItem *mapping, int row)
{
    if (!isKnownMapping(mapping))
        return false;
    const MappingEndpoint source = rowEndpoint(row, SourceModel);
    const MappingEndpoint target = rowEndpoint(row, TargetModel);
    if (!source.ok || !target.ok)
        return false;
    storeEnds(mapping, source, target);
    return true;
}

bool TableDetailsController::createMappingFromRow(int row)
{
    if (!m_project)
        return false;
    for (int cell = 0; cell < CellCount; ++cell) {
        if (cellText(m_mappingsModel, row, cell).trimmed().isEmpty())
            return false;
    }
    const MappingEndpoint source = rowEndpoint(row, SourceModel);
    const MappingEndpoint target = rowEndpoint(row, TargetModel);
    if (!source.ok || !target.ok)
        return false;
    ModelItem *owner = m_project->models().contains(m_newMappingModel) ? m_newMappingModel.data() : nullptr;
    storeEnds(owner ? owner->addMapping() : m_project->addMapping(), source, target);
    forgetNewMapping();
    return true;
}

void TableDetailsController::onMappingItemChanged(QStandardItem *item)
{
    if (m_busy || !item || !m_project)
        return;
    const int row = item->row();
    if (MappingItem *mapping = mappingForRow(row)) {
        // A row that does not resolve shows the stored ends again.
        applyMappingRow(mapping, row);
        scheduleRefresh();
    } else if (!rowId(m_mappingsModel, row).isEmpty()) {
        scheduleRefresh(); // its mapping has gone
    } else {
        // A new mapping is made only once it is whole; till then its row keeps what was
        // typed, whatever refreshes the tab meanwhile.
        m_newMappingTexts.clear();
        for (int cell = 0; cell < CellCount; ++cell)
            m_newMappingTexts.append(cellText(m_mappingsModel, row, cell));
        if (createMappingFromRow(row))
            scheduleRefresh();
        else
            updateActionStates();
    }
}

void TableDetailsController::addMapping()
{
    if (!m_project || m_busy || m_refreshing)
        return;
    // No mapping without ends: the new one is typed into the last row and made, in the
    // shown model, once its six cells resolve; an abandoned one leaves nothing behind.
    m_newMappingModel = m_model;
    QTreeView *view = m_ui ? m_ui->treeView : nullptr;
    const int row = m_mappingsModel->rowCount() - 1;
    if (!view || !isNewMappingRow(row))
        return;
    const QModelIndex first = m_mappingsModel->index(row, SourceModel);
    view->setCurrentIndex(first);
    view->scrollTo(first);
    if (view->isVisible())
        view->edit(first);
}

void TableDetailsController::removeMapping()
{
    if (m_busy || m_refreshing || !m_ui || !m_ui->treeView)
        return;
    const int row = m_ui->treeView->currentIndex().row();
    if (isNewMappingRow(row)) {
        if (newMappingStarted()) {
            forgetNewMapping();
            refresh();
        }
        return;
    }
    ModelItem *owner = nullptr;
    MappingItem *mapping = findMapping(rowId(m_mappingsModel, row), &owner);
    if (!mapping)
        return;
    if (owner)
        owner->removeMapping(mapping->id());
    else
        m_project->removeMapping(mapping->id());
    refresh();
    emit mappingsChanged();
}
