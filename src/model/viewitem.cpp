#include "viewitem.h"

#include "modeljson.h"

using namespace Qt::StringLiterals;

ViewItem::ViewItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

QJsonObject ViewItem::toJson() const
{
    static const JsonShape shape({"comment"_L1, "definition"_L1, "id"_L1, "name"_L1, "schema"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"schema"_L1, m_schema},
        {"definition"_L1, m_definition},
        {"comment"_L1, m_comment},
    });
}

void ViewItem::fromJson(const QJsonObject &json)
{
    readJsonId(json, m_id);
    m_name = jsonString(json, "name"_L1);
    m_schema = jsonString(json, "schema"_L1);
    m_definition = jsonString(json, "definition"_L1);
    m_comment = jsonString(json, "comment"_L1);
}
