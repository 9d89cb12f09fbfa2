#include "relationshipitem.h"

#include "modeljson.h"

using namespace Qt::StringLiterals;

RelationshipItem::RelationshipItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

QString RelationshipItem::displayName() const
{
    if (!m_name.isEmpty())
        return m_name;
    if (!m_fromTableId.isEmpty() && !m_toTableId.isEmpty())
        return m_fromTableId.left(8) + u" \u2192 "_s + m_toTableId.left(8);
    return u"Relationship"_s;
}

QJsonObject RelationshipItem::toJson() const
{
    static const JsonShape shape({"constraintId"_L1, "description"_L1, "fromTableId"_L1, "id"_L1,
                                  "name"_L1, "toTableId"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"description"_L1, m_description},
        {"constraintId"_L1, m_constraintId},
        {"fromTableId"_L1, m_fromTableId},
        {"toTableId"_L1, m_toTableId},
    });
}

void RelationshipItem::fromJson(const QJsonObject &json)
{
    readJsonId(json, m_id);
    m_name = jsonString(json, "name"_L1);
    m_description = jsonString(json, "description"_L1);
    m_constraintId = jsonString(json, "constraintId"_L1);
    m_fromTableId = jsonString(json, "fromTableId"_L1);
    m_toTableId = jsonString(json, "toTableId"_L1);
}
