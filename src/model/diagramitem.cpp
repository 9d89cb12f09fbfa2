#include "diagramitem.h"

#include "modeljson.h"

using namespace Qt::StringLiterals;

DiagramItem::DiagramItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

QJsonObject DiagramItem::toJson() const
{
    static const JsonShape shape({"id"_L1, "modelId"_L1, "name"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"modelId"_L1, m_modelId},
    });
}

void DiagramItem::fromJson(const QJsonObject &json)
{
    readJsonId(json, m_id);
    m_name = jsonString(json, "name"_L1);
    m_modelId = jsonString(json, "modelId"_L1);
}
