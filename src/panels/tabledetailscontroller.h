#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class EntityItem;
class ModelItem;
class ProjectItem;
class TableItem;
class ViewItem;

namespace Ui {
class MainWindow;
}

// Drives the table details tabs of the main window: shows one table or view of a model
// with its entity box on the open diagram, and reports renames, removals and changes the
// window must spread further. What it was last given is held in guarded pointers, so a
// deleted table, view, box, model or project simply stops being shown.
class TableDetailsController : public QObject
{
    Q_OBJECT

public:
    using EntityLookup = std::function<EntityItem *(const QString &tableId)>;

    TableDetailsController(Ui::MainWindow *ui, QObject *parent);

    void setProject(ProjectItem *project);
    void setDefaultDialect(const QString &dialect);
    void setEntityLookup(EntityLookup lookup);

    // True while the panel fills itself or pushes a change into an entity box; the
    // window leaves the panel alone meanwhile.
    bool isRefreshing() const { return m_busy; }

    void setTable(ModelItem *model, TableItem *table, EntityItem *entity);
    void setView(ModelItem *model, ViewItem *view, EntityItem *entity);
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

signals:
    void objectRenameRequested(const QString &kind, const QString &id, const QString &name);
    void mappingsChanged();
    void relationshipConstraintRemoved(const QString &relationshipId);
    void columnRemoved(const QString &columnId);
    void columnRemovalRequested(const QString &columnId);
    void columnPresentationChanged();

private:
    Ui::MainWindow *m_ui;
    QPointer<ProjectItem> m_project;
    QPointer<ModelItem> m_model;
    QPointer<TableItem> m_table;
    QPointer<ViewItem> m_view;
    QPointer<EntityItem> m_entity;
    QString m_defaultDialect;
    EntityLookup m_entityLookup;
    bool m_busy = false;
    bool m_refreshing = false;
    bool m_refreshScheduled = false;
};
