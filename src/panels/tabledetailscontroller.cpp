#include "tabledetailscontroller.h"

#include "constraintitem.h"
#include "dialectcatalog.h"
#include "entityitem.h"
#include "flagguard.h"
#include "indexitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "tableitem.h"
#include "textcombodelegate.h"
#include "viewitem.h"

#include "ui_MainWindow.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

constexpr QAbstractItemView::EditTriggers panelEditTriggers =
    QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
    | QAbstractItemView::EditKeyPressed;

constexpr int contentsPrecision = 50;

void setupTableView(QTableView *view)
{
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setHighlightSections(false);
    view->horizontalHeader()->setStretchLastSection(true);
    view->setEditTriggers(panelEditTriggers);
    // Column widths are fitted to the rows in sight, not to every row of a wide table.
    view->horizontalHeader()->setResizeContentsPrecision(contentsPrecision);
}

void setupMappingsView(QTreeView *view)
{
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setAlternatingRowColors(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setWordWrap(false);
    view->header()->show();
    view->header()->setStretchLastSection(true);
    view->header()->setHighlightSections(false);
    view->setEditTriggers(panelEditTriggers);
    view->header()->setResizeContentsPrecision(contentsPrecision);
}

// The item of the current row, else the first of the list.
template<typename Item>
Item *currentOrFirst(Item *current, const QList<Item *> &items)
{
    if (current)
        return current;
    for (Item *item : items) {
        if (item)
            return item;
    }
    return nullptr;
}

QHeaderView *horizontalHeaderOf(QAbstractItemView *view)
{
    if (auto *table = qobject_cast<QTableView *>(view))
        return table->horizontalHeader();
    if (auto *tree = qobject_cast<QTreeView *>(view))
        return tree->header();
    return nullptr;
}


void setEnabledIfAny(QWidget *widget, bool enabled)
{
    if (widget)
        widget->setEnabled(enabled);
}

bool hasCurrentIndex(const QAbstractItemView *view)
{
    return view && view->selectionModel() && view->selectionModel()->currentIndex().isValid();
}

// Makes the first row current where a list has rows but none is current.
void ensureCurrentRow(QAbstractItemView *view, const QStandardItemModel *model)
{
    if (!view || !model || model->rowCount() == 0 || hasCurrentIndex(view))
        return;
    view->setCurrentIndex(model->index(0, 0));
}

} // namespace

TableDetailsController::TableDetailsController(Ui::MainWindow *ui, QObject *parent)
    : QObject(parent)
    , m_ui(ui)
{
    createModels();
    if (m_ui) {
        for (QTableView *view : {m_ui->tableViewPhysical, m_ui->tableViewColumns,
                                 m_ui->tableViewConstraints, m_ui->tableViewConsColumns,
                                 m_ui->tableViewIndexes, m_ui->tableViewIndColumns, m_ui->tableView}) {
            if (view)
                setupTableView(view);
        }
        if (m_ui->treeView)
            setupMappingsView(m_ui->treeView);
        installDelegates();
        connectEditors();
        connectSelections();
        connectButtons();
    }
    connectModels();
    refresh();
}

void TableDetailsController::createModels()
{
    const std::pair<QStandardItemModel **, QAbstractItemView *> models[] = {
        {&m_propertiesModel, m_ui ? m_ui->tableViewPhysical : nullptr},
        {&m_columnsModel, m_ui ? m_ui->tableViewColumns : nullptr},
        {&m_constraintsModel, m_ui ? m_ui->tableViewConstraints : nullptr},
        {&m_constraintColumnsModel, m_ui ? m_ui->tableViewConsColumns : nullptr},
        {&m_indexesModel, m_ui ? m_ui->tableViewIndexes : nullptr},
        {&m_indexColumnsModel, m_ui ? m_ui->tableViewIndColumns : nullptr},
        {&m_governanceModel, m_ui ? m_ui->tableView : nullptr},
        {&m_mappingsModel, m_ui ? m_ui->treeView : nullptr},
    };
    for (const auto &[model, view] : models) {
        *model = new QStandardItemModel(this);
        if (view) {
            view->setModel(*model);
            m_views.append(view);
        }
    }
}

TableDetailsController::~TableDetailsController()
{
    // A view left with a deleted model still resets itself from it later.
    for (const QPointer<QAbstractItemView> &view : qAsConst(m_views)) {
        if (!view)
            continue;
        if (view->selectionModel())
            view->selectionModel()->disconnect(this);
        view->setModel(nullptr);
    }
}

void TableDetailsController::installDelegates()
{
    // The views may outlive the panel: a provider asks nothing of a panel that has gone.
    const QPointer<TableDetailsController> self(this);
    auto provider = [self](QStringList (TableDetailsController::*options)(const QModelIndex &) const) {
        return [self, options](const QModelIndex &index) {
            return self ? (self.data()->*options)(index) : QStringList();
        };
    };
    auto fixed = [](const QStringList &options) {
        return [options](const QModelIndex &) { return options; };
    };
    if (QTableView *view = m_ui->tableViewColumns) {
        view->setItemDelegateForColumn(1, new TextComboDelegate(
            [self](const QModelIndex &) {
                return self ? dataTypesForDialect(self->effectiveDialect()) : QStringList();
            },
            true, view));
    }
    if (QTableView *view = m_ui->tableViewConstraints) {
        view->setItemDelegateForColumn(1, new TextComboDelegate(
            fixed(constraintTypeLabels()), false, view));
    }
    if (QTableView *view = m_ui->tableViewIndexes)
        view->setItemDelegateForColumn(1, new TextComboDelegate(fixed(indexTypeLabels()), false, view));
    if (QTableView *view = m_ui->tableViewIndColumns) {
        view->setItemDelegateForColumn(0, new TextComboDelegate(
            [self](const QModelIndex &) { return self ? self->columnNames(self->m_table) : QStringList(); },
            false, view));
    }
    if (QTableView *view = m_ui->tableViewConsColumns)
        view->setItemDelegate(new TextComboDelegate(provider(&TableDetailsController::constraintColumnOptions), false, view));
    if (QTreeView *view = m_ui->treeView)
        view->setItemDelegate(new TextComboDelegate(provider(&TableDetailsController::mappingOptions), true, view));
}

void TableDetailsController::connectEditors()
{
    if (m_ui->lineEditSchema)
        connect(m_ui->lineEditSchema, &QLineEdit::editingFinished, this, &TableDetailsController::onSchemaEdited);
    if (m_ui->lineEditTable)
        connect(m_ui->lineEditTable, &QLineEdit::editingFinished, this, &TableDetailsController::onNameEdited);
    if (m_ui->plainTextEditTableComments) {
        connect(m_ui->plainTextEditTableComments, &QPlainTextEdit::textChanged, this,
                &TableDetailsController::onCommentChanged);
    }
    if (m_ui->plainTextEdit)
        connect(m_ui->plainTextEdit, &QPlainTextEdit::textChanged, this, &TableDetailsController::onColumnCommentChanged);
}

void TableDetailsController::connectModels()
{
    const std::pair<QStandardItemModel *, void (TableDetailsController::*)(QStandardItem *)> handlers[] = {
        {m_propertiesModel, &TableDetailsController::onPropertyItemChanged},
        {m_columnsModel, &TableDetailsController::onColumnItemChanged},
        {m_constraintsModel, &TableDetailsController::onConstraintItemChanged},
        {m_constraintColumnsModel, &TableDetailsController::onConstraintColumnItemChanged},
        {m_indexesModel, &TableDetailsController::onIndexItemChanged},
        {m_indexColumnsModel, &TableDetailsController::onIndexColumnItemChanged},
        {m_governanceModel, &TableDetailsController::onGovernanceItemChanged},
        {m_mappingsModel, &TableDetailsController::onMappingItemChanged},
    };
    for (const auto &[model, handler] : handlers)
        connect(model, &QStandardItemModel::itemChanged, this, handler);
}

void TableDetailsController::connectSelections()
{
    auto onCurrentRow = [this](QAbstractItemView *view, void (TableDetailsController::*first)()) {
        if (!view || !view->selectionModel())
            return;
        connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this, first] {
            if (first)
                (this->*first)();
            if (!m_refreshing)
                updateActionStates();
        });
    };
    onCurrentRow(m_ui->tableViewColumns, &TableDetailsController::updateColumnComment);
    onCurrentRow(m_ui->tableViewConstraints, &TableDetailsController::populateForeignKeys);
    onCurrentRow(m_ui->tableViewConsColumns, nullptr);
    onCurrentRow(m_ui->tableViewIndexes, &TableDetailsController::populateIndexColumns);
    onCurrentRow(m_ui->tableViewIndColumns, nullptr);
    onCurrentRow(m_ui->treeView, nullptr);
}

void TableDetailsController::connectButtons()
{
    const std::pair<QToolButton *, void (TableDetailsController::*)()> buttons[] = {
        {m_ui->toolButtonAddConstraint, &TableDetailsController::showConstraintMenu},
        {m_ui->toolButtonRemoveConstraint, &TableDetailsController::confirmRemoveConstraint},
        {m_ui->toolButtonAddConstraintColumn, &TableDetailsController::addConstraintColumn},
        {m_ui->toolButtonRemoveConstraintColumn, &TableDetailsController::removeConstraintColumn},
        {m_ui->toolButtonAddTableColumn, &TableDetailsController::addColumn},
        {m_ui->toolButtonRemoveTableColumn, &TableDetailsController::removeColumn},
        {m_ui->toolButtonAddIndex, &TableDetailsController::addIndex},
        {m_ui->toolButtonRemoveIndex, &TableDetailsController::removeIndex},
        {m_ui->toolButtonAddIndexColumn, &TableDetailsController::addIndexColumn},
        {m_ui->toolButtonRemoveIndexColumn, &TableDetailsController::removeIndexColumn},
        {m_ui->toolButtonAddMapping, &TableDetailsController::addMapping},
        {m_ui->toolButtonRemoveMapping, &TableDetailsController::removeMapping},
    };
    for (const auto &[button, action] : buttons) {
        if (button)
            connect(button, &QToolButton::clicked, this, action);
    }
}

// ---- driving interface -------------------------------------------------------------------

void TableDetailsController::setProject(ProjectItem *project)
{
    if (project != m_project)
        forgetNewMapping();
    m_project = project;
}

void TableDetailsController::setDefaultDialect(const QString &dialect)
{
    m_defaultDialect = dialect;
}

void TableDetailsController::setEntityLookup(EntityLookup lookup)
{
    m_entityLookup = std::move(lookup);
}

ProjectItem *TableDetailsController::project() const
{
    return m_project;
}

ModelItem *TableDetailsController::model() const
{
    return m_model;
}

TableItem *TableDetailsController::table() const
{
    return m_table;
}

ViewItem *TableDetailsController::view() const
{
    return m_view;
}

EntityItem *TableDetailsController::entity() const
{
    return m_entity;
}

void TableDetailsController::setTable(ModelItem *model, TableItem *table, EntityItem *entity)
{
    m_model = model;
    m_table = table;
    m_view = nullptr;
    m_entity = entity;
    refresh();
}

void TableDetailsController::setView(ModelItem *model, ViewItem *view, EntityItem *entity)
{
    m_model = model;
    m_table = nullptr;
    m_view = view;
    m_entity = entity;
    refresh();
}

void TableDetailsController::clear()
{
    m_model = nullptr;
    m_table = nullptr;
    m_view = nullptr;
    m_entity = nullptr;
    refresh();
}

// ---- the refresh cycle --------------------------------------------------------------------

void TableDetailsController::refresh()
{
    if (!m_ui || m_refreshing)
        return;
    m_mappingsChangedPending = false;
    {
        const FlagGuard busy(m_busy);
        const FlagGuard refreshing(m_refreshing);
        const QString columnId = m_pendingColumnId.isEmpty() ? currentRowId(m_ui->tableViewColumns)
                                                             : std::exchange(m_pendingColumnId, QString());
        const QString constraintId = m_pendingConstraintId.isEmpty() ? currentRowId(m_ui->tableViewConstraints)
                                                                     : std::exchange(m_pendingConstraintId, QString());
        const QString indexId = m_pendingIndexId.isEmpty() ? currentRowId(m_ui->tableViewIndexes)
                                                           : std::exchange(m_pendingIndexId, QString());
        const QString mappingId = m_pendingMappingId.isEmpty() ? currentRowId(m_ui->treeView)
                                                               : std::exchange(m_pendingMappingId, QString());
        QObject *shown = m_table ? static_cast<QObject *>(m_table) : m_view;
        const bool sameObject = shown == m_lastShown;
        m_lastShown = shown;
        const QList<QList<int>> widths = columnWidths();
        syncKeyMarks();
        syncForeignKeyMarks();
        fillTabs();
        restoreColumnWidths(widths, sameObject);
        restoreSelections(columnId, constraintId, indexId, mappingId);
        populateForeignKeys();
        populateIndexColumns();
        updateColumnComment();
        enableWidgets();
    }
    if (std::exchange(m_mappingsChangedPending, false)) {
        QTimer::singleShot(0, this, [this] {
            if (!m_refreshing)
                emit mappingsChanged();
        });
    }
}

void TableDetailsController::scheduleRefresh()
{
    if (m_refreshScheduled)
        return;
    m_refreshScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshScheduled = false;
        refresh();
    });
}

void TableDetailsController::fillTabs()
{
    populateGeneral();
    populateProperties();
    populateColumns();
    populateConstraints();
    populateIndexes();
    populateClassification();
    populateMappings();
}

QList<QList<int>> TableDetailsController::columnWidths() const
{
    QList<QList<int>> widths;
    for (const QPointer<QAbstractItemView> &view : m_views) {
        QList<int> sizes;
        if (QHeaderView *header = view ? horizontalHeaderOf(view) : nullptr) {
            for (int section = 0; section < header->count(); ++section)
                sizes.append(header->sectionSize(section));
        }
        widths.append(sizes);
    }
    return widths;
}

void TableDetailsController::fitColumnsToContents(QAbstractItemView *view)
{
    if (QHeaderView *header = view ? horizontalHeaderOf(view) : nullptr)
        header->resizeSections(QHeaderView::ResizeToContents);
}

void TableDetailsController::restoreColumnWidths(const QList<QList<int>> &widths, bool sameObject)
{
    for (int i = 0; i < m_views.size(); ++i) {
        QHeaderView *header = m_views.at(i) ? horizontalHeaderOf(m_views.at(i)) : nullptr;
        if (!header)
            continue;
        const QList<int> &sizes = widths.value(i);
        if (sameObject && sizes.size() == header->count()) {
            // The user's widths stay, widened where a cell's text no longer fits (a new or
            // renamed row would otherwise show cut off).
            QAbstractItemView *view = m_views.at(i);
            for (int section = 0; section < sizes.size(); ++section) {
                const int needed = std::max(view->sizeHintForColumn(section), header->sectionSizeHint(section));
                header->resizeSection(section, std::max(sizes.at(section), needed));
            }
        } else {
            fitColumnsToContents(m_views.at(i));
        }
    }
}

void TableDetailsController::restoreSelections(const QString &columnId, const QString &constraintId,
                                               const QString &indexId, const QString &mappingId)
{
    selectRowById(m_ui->tableViewColumns, columnId);
    selectRowById(m_ui->tableViewConstraints, constraintId);
    selectRowById(m_ui->tableViewIndexes, indexId);
    QTreeView *mappings = m_ui->treeView;
    if (mappingId.isEmpty() || !mappings || !mappings->selectionModel())
        return;
    for (int row = 0; row < m_mappingsModel->rowCount(); ++row) {
        const QStandardItem *item = m_mappingsModel->item(row, 0);
        if (item && item->data(IdRole).toString() == mappingId) {
            const QSignalBlocker block(mappings->selectionModel());
            mappings->setCurrentIndex(item->index());
            return;
        }
    }
}

void TableDetailsController::enableWidgets()
{
    const bool tableShown = m_table;
    const bool shown = tableShown || m_view;
    setEnabledIfAny(m_ui->lineEditSchema, shown);
    setEnabledIfAny(m_ui->lineEditTable, shown);
    setEnabledIfAny(m_ui->plainTextEditTableComments, shown);
    setEnabledIfAny(m_ui->tableViewColumns, shown);
    setEnabledIfAny(m_ui->tableViewPhysical, tableShown);
    setEnabledIfAny(m_ui->plainTextEdit, tableShown && hasCurrentIndex(m_ui->tableViewColumns));
    setEnabledIfAny(m_ui->tableViewConstraints, tableShown);
    setEnabledIfAny(m_ui->tableViewConsColumns, tableShown);
    updateActionStates();
    setEnabledIfAny(m_ui->tableViewIndexes, tableShown);
    setEnabledIfAny(m_ui->tableViewIndColumns, tableShown);
    setEnabledIfAny(m_ui->tableView, tableShown);
    setEnabledIfAny(m_ui->treeView, m_project);
}

void TableDetailsController::updateActionStates()
{
    if (!m_ui)
        return;
    const bool tableShown = m_table;
    const bool columnsEditable = tableShown || (m_view && shownEntity());
    const bool constraintShown = selectedConstraint();
    const bool indexShown = selectedIndex();
    if (constraintShown)
        ensureCurrentRow(m_ui->tableViewConsColumns, m_constraintColumnsModel);
    if (indexShown)
        ensureCurrentRow(m_ui->tableViewIndColumns, m_indexColumnsModel);
    const bool hasColumns = tableShown && !m_table->columns().isEmpty();

    setEnabledIfAny(m_ui->toolButtonAddConstraint, tableShown);
    setEnabledIfAny(m_ui->toolButtonRemoveConstraint, constraintShown);
    setEnabledIfAny(m_ui->toolButtonAddConstraintColumn, constraintShown && hasColumns);
    setEnabledIfAny(m_ui->toolButtonRemoveConstraintColumn,
                    constraintShown && hasCurrentIndex(m_ui->tableViewConsColumns));
    setEnabledIfAny(m_ui->toolButtonAddTableColumn, columnsEditable);
    setEnabledIfAny(m_ui->toolButtonRemoveTableColumn,
                    columnsEditable && hasCurrentIndex(m_ui->tableViewColumns));
    setEnabledIfAny(m_ui->toolButtonAddIndex, tableShown);
    setEnabledIfAny(m_ui->toolButtonRemoveIndex, indexShown);
    setEnabledIfAny(m_ui->toolButtonAddIndexColumn, indexShown && hasColumns);
    setEnabledIfAny(m_ui->toolButtonRemoveIndexColumn, indexShown && hasCurrentIndex(m_ui->tableViewIndColumns));
    setEnabledIfAny(m_ui->toolButtonAddMapping, m_project);
    const int mappingRow = hasCurrentIndex(m_ui->treeView) ? m_ui->treeView->currentIndex().row() : -1;
    setEnabledIfAny(m_ui->toolButtonRemoveMapping,
                    mappingRow >= 0
                        && (mappingForRow(mappingRow)
                            || (isNewMappingRow(mappingRow) && newMappingStarted())));
}

// ---- shared operations ----------------------------------------------------------------------

QString TableDetailsController::effectiveDialect() const
{
    if (m_model && !m_model->dialect().isEmpty())
        return m_model->dialect();
    return m_defaultDialect;
}

EntityItem *TableDetailsController::shownEntity() const
{
    EntityItem *entity = m_entity;
    return entity && entity->scene() ? entity : nullptr;
}

EntityItem *TableDetailsController::entityForTable(const QString &tableId) const
{
    if (tableId.isEmpty())
        return nullptr;
    EntityItem *held = shownEntity();
    if (held && held->id() == tableId)
        return held;
    return m_entityLookup ? m_entityLookup(tableId) : nullptr;
}

ConstraintItem *TableDetailsController::selectedConstraint() const
{
    if (!m_table)
        return nullptr;
    return currentOrFirst(m_table->constraint(currentRowId(m_ui ? m_ui->tableViewConstraints : nullptr)),
                          m_table->constraints());
}

IndexItem *TableDetailsController::selectedIndex() const
{
    if (!m_table)
        return nullptr;
    return currentOrFirst(m_table->index(currentRowId(m_ui ? m_ui->tableViewIndexes : nullptr)), m_table->indexes());
}

int TableDetailsController::findAttributeRow(const EntityItem *entity, const QString &name)
{
    if (!entity || name.isEmpty())
        return -1;
    const int rows = entity->attributeCount();
    for (int row = 0; row < rows; ++row) {
        if (entity->attributeName(row) == name)
            return row;
    }
    for (int row = 0; row < rows; ++row) {
        if (entity->attributeName(row).compare(name, Qt::CaseInsensitive) == 0)
            return row;
    }
    return -1;
}

QString TableDetailsController::currentRowId(const QAbstractItemView *view)
{
    if (!view || !view->model() || !view->selectionModel())
        return QString();
    const QModelIndex current = view->selectionModel()->currentIndex();
    if (!current.isValid())
        return QString();
    return view->model()->index(current.row(), 0).data(IdRole).toString();
}

void TableDetailsController::selectRowById(QAbstractItemView *view, const QString &id)
{
    if (!view || !view->model() || !view->selectionModel())
        return;
    QAbstractItemModel *model = view->model();
    QItemSelectionModel *selection = view->selectionModel();
    if (model->rowCount() == 0) {
        selection->clear();
        return;
    }
    int target = 0;
    if (!id.isEmpty()) {
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 0).data(IdRole).toString() == id) {
                target = row;
                break;
            }
        }
    }
    const QSignalBlocker block(selection);
    selection->setCurrentIndex(model->index(target, 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QStandardItem *TableDetailsController::makeTextItem(const QString &text, bool editable)
{
    auto *item = new QStandardItem(text);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (editable)
        flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    return item;
}

QStandardItem *TableDetailsController::makeCheckItem(bool checked)
{
    auto *item = new QStandardItem;
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

QString TableDetailsController::cellText(const QStandardItemModel *model, int row, int column)
{
    const QStandardItem *item = model ? model->item(row, column) : nullptr;
    return item ? item->text() : QString();
}

QString TableDetailsController::rowId(const QStandardItemModel *model, int row)
{
    const QStandardItem *item = model ? model->item(row, 0) : nullptr;
    return item ? item->data(IdRole).toString() : QString();
}

int TableDetailsController::parseOptionalInt(const QString &text, bool *ok)
{
    const QString trimmed = text.trimmed();
    bool valid = true;
    int value = -1;
    if (!trimmed.isEmpty()) {
        const qsizetype digitsFrom = (trimmed.front() == u'-' || trimmed.front() == u'+') ? 1 : 0;
        valid = trimmed.size() > digitsFrom;
        for (qsizetype i = digitsFrom; valid && i < trimmed.size(); ++i)
            valid = trimmed.at(i) >= u'0' && trimmed.at(i) <= u'9';
        if (valid)
            value = trimmed.toInt(&valid, 10);
        value = valid ? std::max(value, -1) : -1;
    }
    if (ok)
        *ok = valid;
    return value;
}
