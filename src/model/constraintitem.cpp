#include "constraintitem.h"

#include "modeljson.h"

#include <QJsonArray>

using namespace Qt::StringLiterals;

ConstraintItem::ConstraintItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

QString ConstraintItem::typeToString(int type)
{
    switch (type) {
    case ConstraintType::PrimaryKey:
        return u"primaryKey"_s;
    case ConstraintType::ForeignKey:
        return u"foreignKey"_s;
    case ConstraintType::Check:
        return u"check"_s;
    default:
        return u"unique"_s;
    }
}

int ConstraintItem::typeFromString(const QString &text)
{
    if (text == "primaryKey"_L1)
        return ConstraintType::PrimaryKey;
    if (text == "foreignKey"_L1)
        return ConstraintType::ForeignKey;
    if (text == "check"_L1)
        return ConstraintType::Check;
    return ConstraintType::Unique;
}

QJsonObject ConstraintItem::toJson() const
{
    static const JsonShape shape({"columns"_L1, "description"_L1, "expression"_L1, "id"_L1,
                                  "name"_L1, "referencedColumns"_L1, "referencedTableId"_L1,
                                  "type"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"type"_L1, typeToString(m_type)},
        {"columns"_L1, QJsonArray::fromStringList(m_columns)},
        {"referencedTableId"_L1, m_referencedTableId},
        {"referencedColumns"_L1, QJsonArray::fromStringList(m_referencedColumns)},
        {"expression"_L1, m_expression},
        {"description"_L1, m_description},
    });
}

void ConstraintItem::fromJson(const QJsonObject &json)
{
    readJsonId(json, m_id);
    m_name = jsonString(json, "name"_L1);
    m_type = typeFromString(jsonString(json, "type"_L1));
    m_columns = jsonStringList(json, "columns"_L1);
    m_referencedTableId = jsonString(json, "referencedTableId"_L1);
    m_referencedColumns = jsonStringList(json, "referencedColumns"_L1);
    m_expression = jsonString(json, "expression"_L1);
    m_description = jsonString(json, "description"_L1);
}
