#include "classificationitem.h"

#include "modeljson.h"

using namespace Qt::StringLiterals;

ClassificationItem::ClassificationItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

QJsonObject ClassificationItem::toJson() const
{
    static const JsonShape shape({"description"_L1, "id"_L1, "name"_L1, "regulation"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"regulation"_L1, m_regulation},
        {"description"_L1, m_description},
    });
}

void ClassificationItem::fromJson(const QJsonObject &json)
{
    readJsonId(json, m_id);
    m_name = jsonString(json, "name"_L1);
    m_regulation = jsonString(json, "regulation"_L1);
    m_description = jsonString(json, "description"_L1);
}
