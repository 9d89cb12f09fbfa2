#include "columnitem.h"

#include "classificationitem.h"
#include "dialectcatalog.h"
#include "modeljson.h"
#include "tableitem.h"

#include <QJsonArray>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

JsonShape columnShape(bool precision, bool scale, bool length)
{
    QList<QLatin1StringView> keys{"classification"_L1, "classifications"_L1, "comment"_L1,
                                  "dataType"_L1, "defaultValue"_L1, "id"_L1, "name"_L1,
                                  "nullable"_L1, "personal"_L1, "sensible"_L1};
    if (precision)
        keys.append("precision"_L1);
    if (scale)
        keys.append("scale"_L1);
    if (length)
        keys.append("length"_L1);
    return JsonShape(keys);
}

} // namespace

ColumnItem::ColumnItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

void ColumnItem::setId(const QString &id)
{
    if (id == m_id)
        return;
    const QString oldId = std::exchange(m_id, id);
    if (auto *table = qobject_cast<TableItem *>(parent()))
        table->columnIdChanged(this, oldId);
}

void ColumnItem::setName(const QString &name)
{
    if (name == m_name)
        return;
    const QString oldName = std::exchange(m_name, name);
    if (auto *table = qobject_cast<TableItem *>(parent()))
        table->columnNameChanged(this, oldName);
}

void ColumnItem::setDataType(const QString &text)
{
    const ParsedDataType parsed = parseDataType(text);
    if (parsed.hasParameters) {
        m_dataType = parsed.type;
        if (isNumericDataType(parsed.type)) {
            m_length = -1;
            m_precision = parsed.precision;
            m_scale = parsed.scale;
        } else {
            m_precision = -1;
            m_scale = -1;
            m_length = parsed.length;
        }
        return;
    }

    const bool wasNumeric = isNumericDataType(m_dataType);
    const bool isNumeric = isNumericDataType(parsed.type);
    m_dataType = parsed.type;
    if (parsed.type.isEmpty() || wasNumeric == isNumeric)
        return;
    // Keep only the numbers that still mean something for the new kind of type.
    if (isNumeric) {
        m_length = -1;
    } else {
        m_precision = -1;
        m_scale = -1;
    }
}

QString ColumnItem::fullTypeName() const
{
    return formatDataType(m_dataType, m_length, m_precision, m_scale);
}

ClassificationItem *ColumnItem::addClassification()
{
    auto *entry = new ClassificationItem(this);
    m_classifications.append(entry);
    return entry;
}

void ColumnItem::clearClassifications()
{
    const QList<ClassificationItem *> old = std::exchange(m_classifications, {});
    qDeleteAll(old);
}

QJsonObject ColumnItem::toJson() const
{
    QJsonArray entries;
    for (const ClassificationItem *entry : m_classifications) {
        if (entry)
            entries.append(entry->toJson());
    }
    // One shape per combination of the optional size keys, so that no object grows
    // after it is made.
    static const JsonShape shapes[8] = {
        columnShape(false, false, false), columnShape(true, false, false),
        columnShape(false, true, false), columnShape(true, true, false),
        columnShape(false, false, true), columnShape(true, false, true),
        columnShape(false, true, true), columnShape(true, true, true),
    };
    const bool hasPrecision = m_precision >= 0;
    const bool hasScale = m_scale >= 0;
    const bool hasLength = m_length >= 0;
    const JsonShape &shape = shapes[int(hasPrecision) | int(hasScale) << 1 | int(hasLength) << 2];
    QJsonObject json = shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"dataType"_L1, m_dataType},
        {"nullable"_L1, m_nullable},
        {"comment"_L1, m_comment},
        {"defaultValue"_L1, m_defaultValue},
        {"personal"_L1, m_personal},
        {"sensible"_L1, m_sensible},
        {"classification"_L1, m_classification},
        {"classifications"_L1, entries},
    });
    if (hasPrecision)
        json["precision"_L1] = m_precision;
    if (hasScale)
        json["scale"_L1] = m_scale;
    if (hasLength)
        json["length"_L1] = m_length;
    return json;
}

void ColumnItem::fromJson(const QJsonObject &json)
{
    clearClassifications();

    QString id = m_id;
    readJsonId(json, id);
    setId(id);
    setName(jsonString(json, "name"_L1));
    const QString typeText = jsonString(json, "dataType"_L1);
    m_dataType = typeText;
    m_comment = jsonString(json, "comment"_L1);
    m_defaultValue = jsonString(json, "defaultValue"_L1);
    m_nullable = jsonBool(json, "nullable"_L1, true);
    m_personal = jsonBool(json, "personal"_L1, false);
    m_sensible = jsonBool(json, "sensible"_L1, false);

    const bool hasClassificationKey = json.contains("classification"_L1);
    m_classification = jsonString(json, "classification"_L1);

    m_precision = jsonSize(json, "precision"_L1);
    m_scale = jsonSize(json, "scale"_L1);
    m_length = jsonSize(json, "length"_L1);

    // Older files kept the type with its parameters in one text.
    setDataType(typeText);

    const QJsonArray entries = jsonArray(json, "classifications"_L1);
    m_classifications.reserve(entries.size());
    for (const QJsonValue &element : entries)
        addClassification()->fromJson(element.toObject());

    // Files from before the classification field name it only through the first entry.
    if (!hasClassificationKey && m_classification.isEmpty() && !m_classifications.isEmpty()
        && m_classifications.first())
        m_classification = m_classifications.first()->name();
}
