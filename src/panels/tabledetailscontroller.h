#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

QT_BEGIN_NAMESPACE
class QAbstractItemView;
class QLineEdit;
class QModelIndex;
class QPlainTextEdit;
class QStandardItem;
class QStandardItemModel;
class QTableView;
QT_END_NAMESPACE

class ColumnItem;
class ConstraintItem;
class EntityItem;
class IndexItem;
class MappingItem;
class ModelItem;
class ProjectItem;
class TableItem;
class ViewItem;

namespace Ui {
class MainWindow;
}

// Drives the table details tabs of the main window: shows one table or view of a model
// with its entity box on the open diagram, writes every edit straight into the model and
// the box, and reports renames, removals and changes the window must spread further.
// What it was last given is held in guarded pointers, so a deleted table, view, box,
// model or project simply stops being shown at the next refresh. An edit it cannot apply
// is undone by a deferred refresh that rewrites the cells from the model.
class TableDetailsController : public QObject
{
    Q_OBJECT

public:
    using EntityLookup = std::function<EntityItem *(const QString &tableId)>;

    // Row identity: column 0 of every row carries the id of its model item (a view's
    // rows: the attribute name).
    static constexpr int IdRole = Qt::UserRole + 1;
    // Cells of the constraint columns: the field kind (1 schema, 2 table, 3 column), the
    // column id and the side (0 the shown table, 1 the referenced one).
    static constexpr int FieldKindRole = Qt::UserRole + 2;
    static constexpr int ColumnIdRole = Qt::UserRole + 4;
    static constexpr int SideRole = Qt::UserRole + 6;

    // One end of a mapping resolved from the names in a row.
    struct MappingEndpoint
    {
        bool ok = false;
        QString modelId;
        QString tableId;
        QString columnId;
    };

    // The form is not owned; a missing form or widget is skipped.
    TableDetailsController(Ui::MainWindow *ui, QObject *parent);
    ~TableDetailsController() override;

    void setProject(ProjectItem *project);
    void setDefaultDialect(const QString &dialect);
    // Finds the entity box of a table on the open diagram.
    void setEntityLookup(EntityLookup lookup);

    // True while the panel fills itself or pushes a change into an entity box; the
    // window leaves the panel alone meanwhile.
    bool isRefreshing() const { return m_busy; }

    void setTable(ModelItem *model, TableItem *table, EntityItem *entity);
    void setView(ModelItem *model, ViewItem *view, EntityItem *entity);
    // Forgets the shown object; the project stays, so the mappings stay listed.
    void clear();
    void refresh();
    // One refresh from a zero-delay timer, however often it is asked for meanwhile.
    void scheduleRefresh();

    ProjectItem *project() const;
    ModelItem *model() const;
    TableItem *table() const;
    ViewItem *view() const;
    EntityItem *entity() const;
    QString defaultDialect() const { return m_defaultDialect; }
    const EntityLookup &entityLookup() const { return m_entityLookup; }

    // The model's dialect, else the default one.
    QString effectiveDialect() const;
    // The box of a table on the open diagram: the held box when it is that table's, else
    // what the lookup finds.
    EntityItem *entityForTable(const QString &tableId) const;
    // The shown constraint or index row's item, else the table's first one.
    ConstraintItem *selectedConstraint() const;
    IndexItem *selectedIndex() const;
    MappingItem *mappingForRow(int row) const;

    // Names of the table's columns in column order.
    QStringList columnNames(TableItem *table) const;
    QStringList constraintColumnOptions(const QModelIndex &index) const;
    QStringList mappingOptions(const QModelIndex &index) const;
    // The id of the first column not among the excluded ids; empty for none.
    static QString firstUnusedColumnId(TableItem *table, const QStringList &excludedIds);
    static TableItem *findTableByName(ModelItem *model, const QString &name);
    // prefix + the table's name, numbered when a constraint of the table has that name.
    QString uniqueConstraintName(const QString &prefix) const;
    // The relationship of the shown model that owns the constraint (the first in name
    // order), or empty.
    QString relationshipIdForConstraint(const ConstraintItem *constraint) const;
    bool setConstraintColumnAt(ConstraintItem *constraint, int row, bool referenced, const QString &text);
    static MappingEndpoint resolveMappingEndpoint(ProjectItem *project, const QString &model,
                                                  const QString &table, const QString &column);
    bool isKnownMapping(MappingItem *mapping) const;

    // The texts of the Type cells, in the order the editors offer them.
    static QStringList constraintTypeLabels();
    static QStringList indexTypeLabels();

    // A size cell's text: empty or negative gives -1 (unset); anything but an optionally
    // signed run of ASCII digits that fits an int is invalid.
    static int parseOptionalInt(const QString &text, bool *ok);
    static TableItem *findTableInProject(ProjectItem *project, const QString &tableId);
    // The row of the box with that name: exact first, then ignoring case; -1 for none.
    static int findAttributeRow(const EntityItem *entity, const QString &name);
    static QString currentRowId(const QAbstractItemView *view);
    static void selectRowById(QAbstractItemView *view, const QString &id);
    static QStandardItem *makeTextItem(const QString &text, bool editable);
    static QStandardItem *makeCheckItem(bool checked);
    static QString cellText(const QStandardItemModel *model, int row, int column);
    // The id that column 0 of the row carries.
    static QString rowId(const QStandardItemModel *model, int row);

public slots:
    void updateActionStates();

    void addColumn();
    void removeColumn();

    void showConstraintMenu();
    void addConstraint(int type);
    void confirmRemoveConstraint();
    void addConstraintColumn();
    void removeConstraintColumn();
    void syncKeyMarks();
    void syncForeignKeyMarks();

    void addIndex();
    void removeIndex();
    void addIndexColumn();
    void removeIndexColumn();

    void addMapping();
    void removeMapping();

signals:
    void objectRenameRequested(const QString &kind, const QString &id, const QString &name);
    void mappingsChanged();
    void relationshipConstraintRemoved(const QString &relationshipId);
    // Declared for the window's sake; the panel never deletes a table column itself.
    void columnRemoved(const QString &columnId);
    void columnRemovalRequested(const QString &columnId);
    void columnPresentationChanged();

private slots:
    void onSchemaEdited();
    void onNameEdited();
    void onCommentChanged();
    void onColumnCommentChanged();
    void onPropertyItemChanged(QStandardItem *item);
    void onColumnItemChanged(QStandardItem *item);
    void onGovernanceItemChanged(QStandardItem *item);
    void onIndexItemChanged(QStandardItem *item);
    void onConstraintItemChanged(QStandardItem *item);
    void onConstraintColumnItemChanged(QStandardItem *item);
    void onIndexColumnItemChanged(QStandardItem *item);
    void onMappingItemChanged(QStandardItem *item);
    void updateColumnComment();
    void populateForeignKeys();
    void populateIndexColumns();

private:
    // Construction.
    void createModels();
    void installDelegates();
    void connectEditors();
    void connectModels();
    void connectSelections();
    void connectButtons();

    // The refresh cycle.
    void fillTabs();
    void restoreSelections(const QString &columnId, const QString &constraintId,
                           const QString &indexId, const QString &mappingId);
    void enableWidgets();
    // Column widths of the views: kept across refreshes of one object, fitted to the
    // contents when another object is shown.
    QList<QList<int>> columnWidths() const;
    void restoreColumnWidths(const QList<QList<int>> &widths, bool sameObject);
    static void fitColumnsToContents(QAbstractItemView *view);
    // The held box while it is on a diagram.
    EntityItem *shownEntity() const;

    // General, properties and governance.
    void populateGeneral();
    void populateProperties();
    void populateClassification();

    // Columns.
    void populateColumns();
    void appendTableColumnRow(ColumnItem *column);
    void appendViewAttributeRow(const EntityItem *entity, int row);
    void editTableColumn(QStandardItem *item, ColumnItem *column);
    void editViewAttribute(QStandardItem *item);
    void renameColumn(ColumnItem *column, const QString &text);
    bool pushColumnType(ColumnItem *column);
    void spreadToStoredBoxes(const QSet<QString> &newColumnIds = {});
    QStringList existingColumnNames(const EntityItem *entity) const;

    // Constraints and the key marks of the box.
    void populateConstraints();
    void removeConstraintAndReport(const QString &constraintId, const QString &relationshipId);
    void constraintsChanged();
    // Constraint id -> the relationship that owns it; endingAtTable gets the relationships
    // that end at the table toTableId.
    QHash<QString, QString> relationshipsByConstraint(const QString &toTableId = QString(),
                                                      QSet<QString> *endingAtTable = nullptr) const;

    // Indexes.
    void populateIndexes();

    // Mappings.
    void populateMappings();
    MappingItem *findMapping(const QString &id, ModelItem **owner = nullptr) const;
    bool applyMappingRow(MappingItem *mapping, int row);
    bool createMappingFromRow(int row);
    MappingEndpoint rowEndpoint(int row, int firstColumn) const;
    // True for the last row, in which a new mapping is typed.
    bool isNewMappingRow(int row) const;
    bool newMappingStarted() const;
    void forgetNewMapping();

    static void setLineEditQuietly(QLineEdit *edit, const QString &text);
    static void setPlainTextQuietly(QPlainTextEdit *edit, const QString &text);

    Ui::MainWindow *m_ui;
    QPointer<ProjectItem> m_project;
    QPointer<ModelItem> m_model;
    QPointer<TableItem> m_table;
    QPointer<ViewItem> m_view;
    QPointer<EntityItem> m_entity;
    QString m_defaultDialect;
    EntityLookup m_entityLookup;

    // The views showing the panel's item models; they may outlive the panel.
    QList<QPointer<QAbstractItemView>> m_views;
    // The object the last refresh showed, to tell a refresh from a change of object.
    QPointer<QObject> m_lastShown;
    QStandardItemModel *m_propertiesModel = nullptr;
    QStandardItemModel *m_columnsModel = nullptr;
    QStandardItemModel *m_constraintsModel = nullptr;
    QStandardItemModel *m_constraintColumnsModel = nullptr;
    QStandardItemModel *m_indexesModel = nullptr;
    QStandardItemModel *m_indexColumnsModel = nullptr;
    QStandardItemModel *m_governanceModel = nullptr;
    QStandardItemModel *m_mappingsModel = nullptr;

    bool m_busy = false;
    bool m_refreshing = false;
    bool m_refreshScheduled = false;
    bool m_mappingsChangedPending = false;
    QString m_pendingConstraintId;
    QString m_pendingColumnId;
    QString m_pendingIndexId;
    QString m_pendingMappingId;
    // What is typed into the new-mapping row, kept across refreshes until the mapping is
    // complete; and the model the add button chose for it (none: the project).
    QStringList m_newMappingTexts;
    QPointer<ModelItem> m_newMappingModel;
};
