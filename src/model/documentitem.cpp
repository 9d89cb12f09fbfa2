#include "documentitem.h"

#include "modeljson.h"

using namespace Qt::StringLiterals;

DocumentItem::DocumentItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

QJsonObject DocumentItem::toJson() const
{
    static const JsonShape shape({"description"_L1, "fileName"_L1, "fileType"_L1, "id"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"fileName"_L1, m_fileName},
        {"fileType"_L1, m_fileType},
        {"description"_L1, m_description},
    });
}

void DocumentItem::fromJson(const QJsonObject &json)
{
    readJsonId(json, m_id);
    m_fileName = jsonString(json, "fileName"_L1);
    m_fileType = jsonString(json, "fileType"_L1);
    m_description = jsonString(json, "description"_L1);
}
