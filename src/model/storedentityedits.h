#pragma once

#include "diagramitem.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>

// Rewrites the "entities" array of a document through edit, which changes one entity
// object in place and tells whether it did; the document is stored back only then.
template<typename Edit>
inline void editStoredEntities(DiagramItem *diagram, Edit edit)
{
    QJsonObject document = diagram->sceneJson();
    const QJsonValue entitiesValue = document.value(QLatin1String("entities"));
    if (!entitiesValue.isArray())
        return;
    QJsonArray entities = entitiesValue.toArray();
    bool changed = false;
    for (qsizetype i = 0; i < entities.size(); ++i) {
        const QJsonValue value = entities.at(i);
        if (!value.isObject())
            continue;
        QJsonObject entity = value.toObject();
        if (edit(entity)) {
            entities.replace(i, entity);
            changed = true;
        }
    }
    if (!changed)
        return;
    document.insert(QLatin1String("entities"), entities);
    diagram->setSceneJson(document);
}
