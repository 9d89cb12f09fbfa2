// The model explorer of the main window: the tree built from the project, the names of
// the project, model and diagram, the search and kind filter, and the selection followed
// between the tree, the diagram and the details panel.
#include "mainwindow.h"
#include "ui_MainWindow.h"

#include "applog.h"
#include "diagramitem.h"
#include "diagramitemtypes.h"
#include "documentitem.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "erview.h"
#include "explorerkinds.h"
#include "flagguard.h"
#include "mappingitem.h"
#include "modelitem.h"
#include "modelreferences.h"
#include "projectitem.h"
#include "projecttreemodel.h"
#include "relationshipitem.h"
#include "sequenceitem.h"
#include "tabledetailscontroller.h"
#include "tableitem.h"
#include "uiseam.h"
#include "viewitem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString orDefault(const QString &text, const QString &fallback)
{
    return text.isEmpty() ? fallback : text;
}

// The kind of the row at index (a tree model or proxy index).
QString rowKind(const QModelIndex &index)
{
    return index.data(ExplorerKindRole).toString();
}

QString rowId(const QModelIndex &index)
{
    return index.data(ExplorerIdRole).toString();
}

bool isDiagramItemType(int type)
{
    return type == DiagramItemType::EntityItem || type == DiagramItemType::EdgeItem
        || type == DiagramItemType::TextItem || type == DiagramItemType::GroupItem;
}

// Proxy rows as few contiguous ranges: a selection of thousands of single rows makes
// every later selection change compare thousands of ranges.
QItemSelection rowRanges(QModelIndexList rows)
{
    std::sort(rows.begin(), rows.end(), [](const QModelIndex &a, const QModelIndex &b) {
        if (a.parent() != b.parent())
            return a.parent() < b.parent();
        return a.row() < b.row();
    });
    QItemSelection selection;
    int first = 0;
    for (int i = 1; i <= rows.size(); ++i) {
        if (i < rows.size() && rows.at(i).parent() == rows.at(i - 1).parent()
            && rows.at(i).row() <= rows.at(i - 1).row() + 1) {
            continue;
        }
        selection.select(rows.at(first), rows.at(i - 1));
        first = i;
    }
    return selection;
}

} // namespace

// ---- Rows

EntityItem *MainWindow::selectedEntity()
{
    if (!scene)
        return nullptr;
    const QList<QGraphicsItem *> selected = scene->selectedItems();
    for (QGraphicsItem *item : selected) {
        if (auto *entity = qgraphicsitem_cast<EntityItem *>(item))
            return entity;
    }
    return nullptr;
}

QStandardItem *MainWindow::findTreeItem(const QString &kind, const QString &id)
{
    if (!treeModel)
        return nullptr;
    if (!treeRowIndex.isEmpty())
        return treeRowIndex.value(qMakePair(kind, id));
    return findTreeItem(treeModel->invisibleRootItem(), kind, id);
}

QStandardItem *MainWindow::findTreeItem(QStandardItem *parent, const QString &kind, const QString &id)
{
    if (!parent)
        return nullptr;
    QStandardItem *root = treeModel ? treeModel->invisibleRootItem() : nullptr;
    // Pre-order without recursion: children are pushed last row first.
    QList<QStandardItem *> pending{parent};
    while (!pending.isEmpty()) {
        QStandardItem *item = pending.takeLast();
        if (item != root && item->data(ExplorerKindRole).toString() == kind
            && item->data(ExplorerIdRole).toString() == id) {
            return item;
        }
        for (int row = item->rowCount() - 1; row >= 0; --row) {
            if (QStandardItem *child = item->child(row))
                pending.append(child);
        }
    }
    return nullptr;
}

void MainWindow::updateTreeItemText(const QString &kind, const QString &id, const QString &text)
{
    QStandardItem *item = findTreeItem(kind, id);
    if (!item || item->text() == text)
        return;
    const FlagGuard updating(updatingTree);
    item->setText(text);
}

void MainWindow::selectExplorerItem(const QString &kind, const QString &id)
{
    QStandardItem *item = findTreeItem(kind, id);
    QTreeView *tree = ui->treeViewProject;
    if (!item || !tree)
        return;
    QModelIndex index = item->index();
    if (treeProxy)
        index = treeProxy->mapFromSource(index);
    if (!index.isValid())
        return;
    tree->setCurrentIndex(index);
    tree->scrollTo(index);
}

ModelItem *MainWindow::modelForTreeIndex(const QModelIndex &index)
{
    if (!project)
        return nullptr;
    QModelIndex source = index;
    if (treeProxy && index.model() == treeProxy)
        source = treeProxy->mapToSource(index);
    for (; source.isValid(); source = source.parent()) {
        if (rowKind(source) == ExplorerKind::Model)
            return project->model(rowId(source));
    }
    return currentModel;
}

void MainWindow::rebuildProjectTree()
{
    QTreeView *tree = ui->treeViewProject;
    if (!treeModel || !tree)
        return;
    {
        const FlagGuard selectionGuard(syncingSelection);
        treeModel->clear();
        treeModel->setColumnCount(1);
        if (!project) {
            treeRowIndex.clear();
        } else {
            const FlagGuard treeGuard(updatingTree);
            // Rows are built detached and appended once, with the proxy filtering once.
            QHash<QPair<QString, QString>, QStandardItem *> index;
            const auto row = [this, &index](QStandardItem *parent, const QString &text, const QString &kind,
                                            const QString &id, bool editable) {
                QStandardItem *item = makeTreeItem(text, kind, id, editable);
                const auto key = qMakePair(kind, id);
                if (!index.contains(key))
                    index.insert(key, item);
                if (parent)
                    parent->appendRow(item);
                return item;
            };
            const auto leaves = [&row](QStandardItem *group, const auto &items, const QString &kind,
                                       bool editable, const auto &text) {
                for (const auto *item : items)
                    row(group, text(item), kind, item->id(), editable);
            };

            QStandardItem *projectRow = row(nullptr, project->name(), ExplorerKind::Project, project->id(), true);
            const QList<ModelItem *> models = project->models();
            for (ModelItem *model : models) {
                if (!model)
                    continue;
                QStandardItem *modelRow = row(projectRow, orDefault(model->name(), tr("Model")),
                                              ExplorerKind::Model, model->id(), true);
                modelRow->setData(model->dialect(), ExplorerDialectRole);
                if (model == currentModel)
                    ProjectTreeModel::setRowBold(modelRow, true);
                const auto group = [&](const QString &label, const QString &kind) {
                    return row(modelRow, label, kind, QString(), false);
                };
                leaves(group(tr("Tables"), ExplorerKind::Tables), model->tables(), ExplorerKind::Table, true,
                       [](const TableItem *table) { return table->name(); });
                leaves(group(tr("Views"), ExplorerKind::Views), model->views(), ExplorerKind::View, true,
                       [](const ViewItem *view) { return view->name(); });
                leaves(group(tr("Relationships"), ExplorerKind::Relationships), model->relationships(),
                       ExplorerKind::Relationship, false,
                       [](const RelationshipItem *relationship) { return relationship->displayName(); });
                leaves(group(tr("Sequences"), ExplorerKind::Sequences), model->sequences(), ExplorerKind::Sequence,
                       false, [](const SequenceItem *sequence) { return orDefault(sequence->name(), tr("Sequence")); });
                QStandardItem *diagrams = group(tr("Diagrams"), ExplorerKind::Diagrams);
                for (DiagramItem *diagram : model->diagrams()) {
                    QStandardItem *diagramRow = row(diagrams, orDefault(diagram->name(), tr("Diagram")),
                                                    ExplorerKind::Diagram, diagram->id(), true);
                    if (diagram == currentDiagram)
                        ProjectTreeModel::setRowBold(diagramRow, true);
                }
                leaves(group(tr("Mappings"), ExplorerKind::Mappings), model->mappings(), ExplorerKind::Mapping,
                       false, [](const MappingItem *mapping) { return orDefault(mapping->name(), tr("Mapping")); });
                leaves(group(tr("Documents"), ExplorerKind::Documents), model->documents(), ExplorerKind::Document,
                       false,
                       [](const DocumentItem *document) { return orDefault(document->fileName(), tr("Document")); });
            }

            // The insertion below empties the index (rows changed): install it afterwards.
            const bool dynamicFilter = treeProxy && treeProxy->dynamicSortFilter();
            if (treeProxy)
                treeProxy->setDynamicSortFilter(false);
            treeModel->invisibleRootItem()->appendRow(projectRow);
            if (treeProxy)
                treeProxy->setDynamicSortFilter(dynamicFilter);
            treeRowIndex = std::move(index);
            tree->expandAll();
        }
    }
    refreshNameEditors();
    if (!project)
        return;
    if (!syncingSelection)
        syncTreeSelectionFromScene();
    refreshTableDetails();
}

// ---- Names

void MainWindow::applyProjectName(const QString &name)
{
    if (updatingTree || !project)
        return;
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        refreshNameEditors();
        const FlagGuard updating(updatingTree);
        updateTreeItemText(ExplorerKind::Project, project->id(), project->name());
        return;
    }
    if (trimmed == project->name()) {
        refreshNameEditors();
        return;
    }
    const FlagGuard updating(updatingTree);
    project->setName(trimmed);
    updateTreeItemText(ExplorerKind::Project, project->id(), trimmed);
    refreshNameEditors();
}

void MainWindow::applyModelName(const QString &modelId, const QString &name)
{
    if (updatingTree)
        return;
    ModelItem *model = project && !modelId.isEmpty() ? project->model(modelId) : nullptr;
    if (!model)
        model = currentModel;
    if (!model)
        return;
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        refreshNameEditors();
        const FlagGuard updating(updatingTree);
        updateTreeItemText(ExplorerKind::Model, model->id(), orDefault(model->name(), tr("Model")));
        return;
    }
    if (trimmed == model->name()) {
        refreshNameEditors();
        return;
    }
    const FlagGuard updating(updatingTree);
    model->setName(trimmed);
    updateTreeItemText(ExplorerKind::Model, model->id(), trimmed);
    refreshNameEditors();
}

void MainWindow::applyDiagramName(const QString &diagramId, const QString &name)
{
    if (updatingTree)
        return;
    DiagramItem *diagram = project && !diagramId.isEmpty() ? project->findDiagram(diagramId) : nullptr;
    if (!diagram)
        diagram = currentDiagram;
    if (!diagram)
        return;
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty()) {
        refreshNameEditors();
        const FlagGuard updating(updatingTree);
        updateTreeItemText(ExplorerKind::Diagram, diagram->id(), diagram->name());
        return;
    }
    if (trimmed == diagram->name()) {
        refreshNameEditors();
        return;
    }
    const FlagGuard updating(updatingTree);
    diagram->setName(trimmed);
    updateTreeItemText(ExplorerKind::Diagram, diagram->id(), trimmed);
    refreshNameEditors();
}

void MainWindow::onProjectNameEditingFinished()
{
    if (ui->editProjectName)
        applyProjectName(ui->editProjectName->text());
}

void MainWindow::onModelNameEditingFinished()
{
    if (ui->editModelName)
        applyModelName(currentModel ? currentModel->id() : QString(), ui->editModelName->text());
}

void MainWindow::onDiagramNameEditingFinished()
{
    if (ui->editDiagramName)
        applyDiagramName(currentDiagram ? currentDiagram->id() : QString(), ui->editDiagramName->text());
}

// ---- Search and kind filter

void MainWindow::onSearchTextChanged(const QString &text)
{
    if (treeProxy)
        treeProxy->setSearchText(text.trimmed());
    if (ui->treeViewProject)
        ui->treeViewProject->expandAll();
}

void MainWindow::applyExplorerFilter()
{
    if (treeProxy) {
        treeProxy->setHiddenKinds(hiddenExplorerKinds);
        if (ui->lineEditSearch)
            treeProxy->setSearchText(ui->lineEditSearch->text().trimmed());
    }
    if (ui->treeViewProject)
        ui->treeViewProject->expandAll();
    if (ui->toolButtonFilter)
        ui->toolButtonFilter->setChecked(!hiddenExplorerKinds.isEmpty());
}

void MainWindow::showExplorerFilterPopup()
{
    static const QList<QPair<const char *, QString>> kinds{
        {QT_TR_NOOP("Tables"), ExplorerKind::Table},
        {QT_TR_NOOP("Views"), ExplorerKind::View},
        {QT_TR_NOOP("Relationships"), ExplorerKind::Relationship},
        {QT_TR_NOOP("Diagrams"), ExplorerKind::Diagram},
        {QT_TR_NOOP("Sequences"), ExplorerKind::Sequence},
        {QT_TR_NOOP("Mappings"), ExplorerKind::Mapping},
        {QT_TR_NOOP("Documents"), ExplorerKind::Document},
    };
    QDialog popup(this, Qt::Popup);
    auto *layout = new QVBoxLayout(&popup);
    layout->addWidget(new QLabel(tr("Show these items"), &popup));
    QList<QPair<QCheckBox *, QString>> boxes;
    for (const auto &[text, kind] : kinds) {
        auto *box = new QCheckBox(tr(text), &popup);
        box->setChecked(!hiddenExplorerKinds.contains(kind));
        layout->addWidget(box);
        boxes.append({box, kind});
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Apply | QDialogButtonBox::Reset, &popup);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::clicked, &popup, [&](QAbstractButton *button) {
        switch (buttons->buttonRole(button)) {
        case QDialogButtonBox::ApplyRole:
            hiddenExplorerKinds.clear();
            for (const auto &[box, kind] : std::as_const(boxes)) {
                if (!box->isChecked())
                    hiddenExplorerKinds.insert(kind);
            }
            applyExplorerFilter();
            popup.accept();
            break;
        case QDialogButtonBox::ResetRole:
            for (const auto &entry : std::as_const(boxes))
                entry.first->setChecked(true);
            hiddenExplorerKinds.clear();
            if (ui->lineEditSearch)
                ui->lineEditSearch->clear();
            applyExplorerFilter();
            popup.accept();
            break;
        default:
            break;
        }
    });
    popup.adjustSize();
    QToolButton *filterButton = ui->toolButtonFilter;
    popup.move(filterButton->mapToGlobal(QPoint(0, filterButton->height())));
    uiseam::runDialog(&popup);
    filterButton->setChecked(!hiddenExplorerKinds.isEmpty());
}

// ---- Selection, both ways

void MainWindow::syncTreeSelectionFromScene()
{
    QTreeView *tree = ui->treeViewProject;
    if (syncingSelection || bulkUpdate || !treeModel || !tree || !scene || scene->bulkOperation)
        return;
    const FlagGuard syncing(syncingSelection);
    QModelIndexList rows;
    const QList<QGraphicsItem *> selected = scene->selectedItems();
    for (QGraphicsItem *item : selected) {
        QStandardItem *row = nullptr;
        if (auto *entity = qgraphicsitem_cast<EntityItem *>(item)) {
            row = findTreeItem(entity->isView() ? ExplorerKind::View : ExplorerKind::Table, entity->id());
        } else if (auto *edge = qgraphicsitem_cast<EdgeItem *>(item)) {
            row = findTreeItem(ExplorerKind::Relationship, edge->id);
        }
        if (!row)
            continue;
        const QModelIndex index = treeProxy ? treeProxy->mapFromSource(row->index()) : row->index();
        if (index.isValid())
            rows.append(index);
    }
    QItemSelectionModel *selection = tree->selectionModel();
    if (!selection)
        return;
    selection->select(rowRanges(rows), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (!rows.isEmpty())
        tree->scrollTo(rows.first(), QAbstractItemView::EnsureVisible);
}

void MainWindow::onProjectTreeSelectionChanged()
{
    if (syncingSelection || bulkUpdate || !project || !scene || scene->bulkOperation)
        return;
    QSet<QString> tableIds;
    QSet<QString> viewIds;
    QSet<QString> relationshipIds;
    QString diagramId;
    QString modelId;
    if (QItemSelectionModel *selection = ui->treeViewProject->selectionModel()) {
        const QModelIndexList rows = selection->selectedRows(0);
        for (const QModelIndex &index : rows) {
            const QString kind = rowKind(index);
            if (kind == ExplorerKind::Table)
                tableIds.insert(rowId(index));
            else if (kind == ExplorerKind::View)
                viewIds.insert(rowId(index));
            else if (kind == ExplorerKind::Relationship)
                relationshipIds.insert(rowId(index));
            else if (kind == ExplorerKind::Diagram)
                diagramId = rowId(index);
            else if (kind == ExplorerKind::Model)
                modelId = rowId(index);
        }
    }

    if (!diagramId.isEmpty()) {
        DiagramItem *diagram = project->findDiagram(diagramId);
        if (diagram && diagram != currentDiagram)
            loadDiagramItem(diagram);
        return;
    }
    if (ModelItem *model = modelId.isEmpty() ? nullptr : project->model(modelId))
        showModelOfTreeRow(model);

    {
        const QSignalBlocker blockScene(scene);
        {
            const FlagGuard syncing(syncingSelection);
            const QList<QGraphicsItem *> all = scene->items();
            for (QGraphicsItem *item : all) {
                if (item->parentItem())
                    continue;
                bool wanted = false;
                if (auto *entity = qgraphicsitem_cast<EntityItem *>(item)) {
                    wanted = (entity->isView() ? viewIds : tableIds).contains(entity->id());
                } else if (auto *edge = qgraphicsitem_cast<EdgeItem *>(item)) {
                    if (!edge->from || !edge->to || !edge->from->scene() || !edge->to->scene())
                        continue;
                    wanted = relationshipIds.contains(edge->id);
                } else if (item->type() != DiagramItemType::TextItem && item->type() != DiagramItemType::GroupItem) {
                    continue;
                }
                if (item->isSelected() != wanted)
                    item->setSelected(wanted);
            }
        }
        detailsEntity = selectedEntity();
        refreshTableDetails();
    }
}

// A model row shows that model: its diagram stays when it holds the open one, else its
// first diagram opens. A model without diagrams gets an empty scene and no current
// diagram, so nothing drawn next lands in another model's diagram.
void MainWindow::showModelOfTreeRow(ModelItem *model)
{
    if (currentDiagram && currentDiagram->parent() == model) {
        currentModel = model;
        return;
    }
    const QList<DiagramItem *> diagrams = model->diagrams();
    if (!diagrams.isEmpty()) {
        currentModel = model;
        loadDiagramItem(diagrams.first());
        return;
    }
    captureCurrentDiagram();
    {
        const FlagGuard bulk(bulkUpdate);
        releaseSceneSelection();
        scene->clearScene();
        currentDiagram = nullptr;
    }
    currentModel = model;
    if (!model->dialect().isEmpty())
        scene->dialect = model->dialect();
    updateTreeCurrentMarkers();
    refreshNameEditors();
}

void MainWindow::onSceneSelectionChanged()
{
    if (bulkUpdate || !scene || sceneIsRebuilding()) {
        detailsEntity = nullptr;
        return;
    }
    detailsEntity = selectedEntity();
    if (!syncingSelection)
        syncTreeSelectionFromScene();
    refreshTableDetails();
}

void MainWindow::refreshTableDetails()
{
    if (bulkUpdate || !tableDetails || tableDetails->isRefreshing())
        return;
    tableDetails->setProject(project);
    tableDetails->setDefaultDialect(dialectCombo ? dialectCombo->currentText() : QString());

    ModelItem *owner = nullptr;
    if (EntityItem *entity = detailsEntity) {
        const QString id = stableEntityId(entity);
        if (entity->isView()) {
            ViewItem *view = findViewInProject(project, currentModel, id, &owner);
            if (!view && currentModel) {
                registerEntityInModel(entity);
                owner = currentModel;
                view = currentModel->view(id);
            }
            if (view)
                tableDetails->setView(owner, view, entity);
            else
                tableDetails->clear();
            return;
        }
        syncTableColumnsFromEntity(entity);
        TableItem *table = findTableInProject(project, currentModel, id, &owner);
        if (!table && currentModel) {
            registerEntityInModel(entity);
            owner = currentModel;
            table = currentModel->table(id);
        }
        if (table)
            tableDetails->setTable(owner, table, entity);
        else
            tableDetails->clear();
        return;
    }

    QItemSelectionModel *selection = ui->treeViewProject ? ui->treeViewProject->selectionModel() : nullptr;
    if (!selection) {
        tableDetails->clear();
        return;
    }
    const QModelIndex current = selection->currentIndex();
    const QString kind = rowKind(current);
    const QString id = rowId(current);
    if (kind == ExplorerKind::Table) {
        EntityItem *box = findEntityOnScene(id);
        if (box)
            syncTableColumnsFromEntity(box);
        if (TableItem *table = findTableInProject(project, currentModel, id, &owner))
            tableDetails->setTable(owner, table, box);
        else
            tableDetails->clear();
    } else if (kind == ExplorerKind::View) {
        if (ViewItem *view = findViewInProject(project, currentModel, id, &owner))
            tableDetails->setView(owner, view, findEntityOnScene(id));
        else
            tableDetails->clear();
    } else {
        tableDetails->clear();
    }
}

// ---- Scene actions

void MainWindow::selectAll()
{
    if (!scene)
        return;
    {
        // One reaction for the whole selection instead of one per item.
        const FlagGuard bulk(bulkUpdate);
        const QList<QGraphicsItem *> items = ui->view->items();
        for (QGraphicsItem *item : items) {
            if (isDiagramItemType(item->type()))
                item->setSelected(true);
        }
    }
    onSceneSelectionChanged();
    syncTreeSelectionFromScene();
}

void MainWindow::on_actionSelect_All_triggered()
{
    selectAll();
}

void MainWindow::on_actionAdd_Column_triggered()
{
    if (!detailsEntity) {
        qCDebug(lcApp) << "No entity selected for adding column";
        return;
    }
    detailsEntity->onNewAttributeRequested();
    syncTreeSelectionFromScene();
}
