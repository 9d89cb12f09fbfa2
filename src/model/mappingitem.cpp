#include "mappingitem.h"

#include "modeljson.h"

using namespace Qt::StringLiterals;

MappingItem::MappingItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

QJsonObject MappingItem::toJson() const
{
    static const JsonShape shape({"description"_L1, "id"_L1, "name"_L1, "sourceColumnId"_L1,
                                  "sourceModelId"_L1, "sourceTableId"_L1, "targetColumnId"_L1,
                                  "targetModelId"_L1, "targetTableId"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"sourceModelId"_L1, m_sourceModelId},
        {"sourceTableId"_L1, m_sourceTableId},
        {"sourceColumnId"_L1, m_sourceColumnId},
        {"targetModelId"_L1, m_targetModelId},
        {"targetTableId"_L1, m_targetTableId},
        {"targetColumnId"_L1, m_targetColumnId},
        {"description"_L1, m_description},
    });
}

void MappingItem::fromJson(const QJsonObject &json)
{
    readJsonId(json, m_id);
    m_name = jsonString(json, "name"_L1);
    m_sourceModelId = jsonString(json, "sourceModelId"_L1);
    m_sourceTableId = jsonString(json, "sourceTableId"_L1);
    m_sourceColumnId = jsonString(json, "sourceColumnId"_L1);
    m_targetModelId = jsonString(json, "targetModelId"_L1);
    m_targetTableId = jsonString(json, "targetTableId"_L1);
    m_targetColumnId = jsonString(json, "targetColumnId"_L1);
    m_description = jsonString(json, "description"_L1);
}
