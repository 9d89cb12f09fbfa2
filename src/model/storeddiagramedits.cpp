#include "storeddiagramedits.h"

#include "diagramitem.h"
#include "modelitem.h"
#include "storedentityedits.h"

#include <QJsonArray>
#include <QJsonValue>

using namespace Qt::StringLiterals;

namespace {

// A string member, empty when missing or of another type.
QString text(const QJsonObject &object, QLatin1StringView key)
{
    return object.value(key).toString();
}

// An array member, empty when missing or of another type.
QJsonArray array(const QJsonObject &object, QLatin1StringView key)
{
    return object.value(key).toArray();
}

bool idIn(const QJsonObject &object, QLatin1StringView key, const QSet<QString> &ids)
{
    const QJsonValue value = object.value(key);
    return value.isString() && ids.contains(value.toString());
}

bool isViewBox(const QJsonObject &entity)
{
    return entity.value("kind"_L1).toString() == "entity-view"_L1;
}

bool isBoxOf(const QJsonObject &entity, const QString &id)
{
    const QJsonValue value = entity.value("id"_L1);
    return value.isString() && value.toString() == id;
}

bool skipped(const DiagramItem *diagram, const QString &skipDiagramId)
{
    return !diagram || (!skipDiagramId.isEmpty() && diagram->id() == skipDiagramId);
}

QJsonArray withoutRowsOf(const QJsonArray &rows, const QSet<QString> &edgeIds)
{
    QJsonArray kept;
    for (const QJsonValue &row : rows) {
        if (!(row.isObject() && idIn(row.toObject(), "fkEdgeId"_L1, edgeIds)))
            kept.append(row);
    }
    return kept;
}

bool matchesColumn(const QJsonObject &row, const QString &columnId, const QString &columnName)
{
    const QString rowColumnId = text(row, "columnId"_L1);
    if (!columnId.isEmpty() && rowColumnId == columnId)
        return true;
    return !columnName.isEmpty() && rowColumnId.isEmpty()
        && text(row, "name"_L1) == columnName;
}

} // namespace

void stripDiagramJson(QJsonObject &document, const QSet<QString> &entityIds,
                      const QSet<QString> &edgeIds)
{
    if (document.isEmpty() || (entityIds.isEmpty() && edgeIds.isEmpty()))
        return;

    QJsonArray entities;
    for (const QJsonValue &value : array(document, "entities"_L1)) {
        if (!value.isObject()) {
            entities.append(value);
            continue;
        }
        QJsonObject entity = value.toObject();
        if (idIn(entity, "id"_L1, entityIds))
            continue;
        // A member that is no array is left as it is: there is no row to read in it.
        if (!edgeIds.isEmpty() && entity.value("attributes"_L1).isArray())
            entity.insert("attributes"_L1, withoutRowsOf(array(entity, "attributes"_L1), edgeIds));
        entities.append(entity);
    }
    document.insert("entities"_L1, entities);

    QJsonArray edges;
    for (const QJsonValue &value : array(document, "edges"_L1)) {
        const QJsonObject edge = value.toObject();
        if (value.isObject()
            && (idIn(edge, "id"_L1, edgeIds) || idIn(edge, "from"_L1, entityIds)
                || idIn(edge, "to"_L1, entityIds))) {
            continue;
        }
        edges.append(value);
    }
    document.insert("edges"_L1, edges);
}

void stripStoredDiagrams(ModelItem *model, const QSet<QString> &entityIds,
                         const QSet<QString> &edgeIds, const QString &skipDiagramId,
                         bool skipEmptyDocuments)
{
    if (!model)
        return;
    for (DiagramItem *diagram : model->diagrams()) {
        if (skipped(diagram, skipDiagramId))
            continue;
        QJsonObject document = diagram->sceneJson();
        if (skipEmptyDocuments && document.isEmpty())
            continue;
        stripDiagramJson(document, entityIds, edgeIds);
        diagram->setSceneJson(document);
    }
}

QJsonObject storedEntityJson(const ModelItem *model, const QString &entityId)
{
    if (!model || entityId.isEmpty())
        return {};
    for (const DiagramItem *diagram : model->diagrams()) {
        if (!diagram)
            continue;
        for (const QJsonValue &value : array(diagram->sceneJson(), "entities"_L1)) {
            const QJsonObject entity = value.toObject();
            if (value.isObject() && isBoxOf(entity, entityId))
                return entity;
        }
    }
    return {};
}

void renameStoredEntityTitle(ModelItem *model, const QString &entityId, const QString &name)
{
    if (!model || entityId.isEmpty())
        return;
    for (DiagramItem *diagram : model->diagrams()) {
        if (!diagram)
            continue;
        editStoredEntities(diagram, [&](QJsonObject &entity) {
            const QJsonValue title = entity.value("title"_L1);
            if (!isBoxOf(entity, entityId) || (title.isString() && title.toString() == name))
                return false;
            entity.insert("title"_L1, name);
            return true;
        });
    }
}

StoredColumnPresence::StoredColumnPresence(const ModelItem *model, const QString &tableId,
                                           const QString &skipDiagramId)
{
    if (!model || tableId.isEmpty())
        return;
    for (const DiagramItem *diagram : model->diagrams()) {
        if (skipped(diagram, skipDiagramId))
            continue;
        for (const QJsonValue &value : array(diagram->sceneJson(), "entities"_L1)) {
            const QJsonObject entity = value.toObject();
            if (!value.isObject() || !isBoxOf(entity, tableId) || isViewBox(entity))
                continue;
            for (const QJsonValue &hidden : array(entity, "hiddenColumns"_L1)) {
                if (hidden.isString() && !hidden.toString().isEmpty())
                    m_ids.insert(hidden.toString());
            }
            for (const QJsonValue &rowValue : array(entity, "attributes"_L1)) {
                const QJsonObject row = rowValue.toObject();
                const QString columnId = text(row, "columnId"_L1);
                const QString name = text(row, "name"_L1);
                if (!columnId.isEmpty())
                    m_ids.insert(columnId);
                if (!name.isEmpty())
                    m_names.insert(name);
            }
        }
    }
}

bool StoredColumnPresence::appears(const QString &columnId, const QString &columnName) const
{
    return (!columnId.isEmpty() && m_ids.contains(columnId))
        || (!columnName.isEmpty() && m_names.contains(columnName));
}

bool columnAppearsOnOtherDiagrams(const ModelItem *model, const QString &tableId,
                                  const QString &columnId, const QString &columnName,
                                  const QString &skipDiagramId)
{
    return StoredColumnPresence(model, tableId, skipDiagramId).appears(columnId, columnName);
}

void stripColumnFromDiagrams(ModelItem *model, const QString &tableId, const QString &columnId,
                             const QString &columnName, const QString &skipDiagramId)
{
    if (!model || tableId.isEmpty())
        return;
    for (DiagramItem *diagram : model->diagrams()) {
        if (skipped(diagram, skipDiagramId))
            continue;
        editStoredEntities(diagram, [&](QJsonObject &entity) {
            if (!isBoxOf(entity, tableId))
                return false;
            bool removed = false;
            QJsonArray rows;
            const QJsonValue rowsValue = entity.value("attributes"_L1);
            for (const QJsonValue &row : rowsValue.toArray()) {
                if (row.isObject() && matchesColumn(row.toObject(), columnId, columnName))
                    removed = true;
                else
                    rows.append(row);
            }
            QJsonArray hidden;
            const QJsonValue hiddenValue = entity.value("hiddenColumns"_L1);
            for (const QJsonValue &entry : hiddenValue.toArray()) {
                if (!columnId.isEmpty() && entry.isString() && entry.toString() == columnId)
                    removed = true;
                else
                    hidden.append(entry);
            }
            if (!removed)
                return false;
            entity.insert("attributes"_L1, rows);
            if (hidden.isEmpty())
                entity.remove("hiddenColumns"_L1);
            else
                entity.insert("hiddenColumns"_L1, hidden);
            return true;
        });
    }
}
