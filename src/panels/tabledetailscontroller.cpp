#include "tabledetailscontroller.h"

#include "entityitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "tableitem.h"
#include "viewitem.h"

#include <QTimer>

TableDetailsController::TableDetailsController(Ui::MainWindow *ui, QObject *parent)
    : QObject(parent)
    , m_ui(ui)
{
}

void TableDetailsController::setProject(ProjectItem *project)
{
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

void TableDetailsController::refresh()
{
    // The tabs are filled by the panel's own work; a nested refresh returns at once.
    if (m_refreshing)
        return;
    m_refreshScheduled = false;
}

void TableDetailsController::scheduleRefresh()
{
    if (m_refreshScheduled)
        return;
    m_refreshScheduled = true;
    QTimer::singleShot(0, this, [this] {
        if (m_refreshScheduled)
            refresh();
    });
}
