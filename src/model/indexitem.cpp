#include "indexitem.h"

#include "modeljson.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

IndexItem::IndexItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

QJsonObject IndexItem::toJson() const
{
    static const JsonShape shape({"columns"_L1, "description"_L1, "id"_L1, "name"_L1, "unique"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"unique"_L1, m_unique},
        {"columns"_L1, QJsonArray::fromStringList(m_columns)},
        {"description"_L1, m_description},
    });
}

void IndexItem::fromJson(const QJsonObject &json)
{
    readJsonId(json, m_id);
    m_name = jsonString(json, "name"_L1);
    m_unique = jsonBool(json, "unique"_L1, false);
    m_columns = jsonStringList(json, "columns"_L1);
    m_description = jsonString(json, "description"_L1);
}
