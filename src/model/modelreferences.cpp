#include "modelreferences.h"

#include "columnitem.h"
#include "constraintitem.h"
#include "dialectcatalog.h"
#include "indexitem.h"
#include "mappingitem.h"
#include "modelitem.h"
#include "projectitem.h"
#include "tableitem.h"
#include "viewitem.h"

#include <QStringList>

namespace {

void unlinkMappings(const QList<MappingItem *> &mappings, const QString &columnId)
{
    for (MappingItem *mapping : mappings) {
        if (!mapping)
            continue;
        if (mapping->sourceColumnId() == columnId)
            mapping->setSourceColumnId(QString());
        if (mapping->targetColumnId() == columnId)
            mapping->setTargetColumnId(QString());
    }
}

// Writes the list back only when the id was in it.
template<typename Get, typename Set>
void dropId(const QString &columnId, Get get, Set set)
{
    QStringList ids = get();
    if (ids.removeAll(columnId) > 0)
        set(ids);
}

template<typename Item>
Item *findInProject(const ProjectItem *project, ModelItem *preferred, const QString &id,
                    ModelItem **owner, Item *(ModelItem::*lookup)(const QString &) const)
{
    if (owner)
        *owner = nullptr;
    if (!project || id.isEmpty())
        return nullptr;
    if (preferred) {
        if (Item *item = (preferred->*lookup)(id)) {
            if (owner)
                *owner = preferred;
            return item;
        }
    }
    for (ModelItem *model : project->models()) {
        if (!model)
            continue;
        if (Item *item = (model->*lookup)(id)) {
            if (owner)
                *owner = model;
            return item;
        }
    }
    return nullptr;
}

} // namespace

void forgetColumnReferences(ProjectItem *project, const QString &columnId)
{
    if (!project || columnId.isEmpty())
        return;
    unlinkMappings(project->mappings(), columnId);
    for (ModelItem *model : project->models()) {
        if (!model)
            continue;
        unlinkMappings(model->mappings(), columnId);
        for (TableItem *table : model->tables()) {
            if (!table)
                continue;
            for (ConstraintItem *constraint : table->constraints()) {
                dropId(columnId, [constraint] { return constraint->columns(); },
                       [constraint](const QStringList &ids) { constraint->setColumns(ids); });
                dropId(columnId, [constraint] { return constraint->referencedColumns(); },
                       [constraint](const QStringList &ids) { constraint->setReferencedColumns(ids); });
            }
            for (IndexItem *index : table->indexes()) {
                dropId(columnId, [index] { return index->columns(); },
                       [index](const QStringList &ids) { index->setColumns(ids); });
            }
        }
    }
}

TableItem *findTableInProject(const ProjectItem *project, ModelItem *preferred, const QString &id,
                              ModelItem **owner)
{
    return findInProject<TableItem>(project, preferred, id, owner, &ModelItem::table);
}

ViewItem *findViewInProject(const ProjectItem *project, ModelItem *preferred, const QString &id,
                            ModelItem **owner)
{
    return findInProject<ViewItem>(project, preferred, id, owner, &ModelItem::view);
}

void setColumnTypeFromText(ColumnItem *column, const QString &text)
{
    if (!column)
        return;
    const ParsedDataType parsed = parseDataType(text);
    if (parsed.hasParameters) {
        column->setDataType(text);
        return;
    }
    column->setDataType(parsed.type);
    column->setLength(-1);
    column->setPrecision(-1);
    column->setScale(-1);
}
