#include "sequenceitem.h"

#include "modeljson.h"

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// Whole numbers that fit 64 bits are read exactly (a double would round those above
// 2^53); anything else is truncated toward zero and clamped, since converting a double
// of magnitude 2^63 or more to an integer is undefined.
qint64 readSequenceNumber(const QJsonValue &value)
{
    constexpr qint64 fallback = 1;
    if (!value.isDouble())
        return fallback;
    const qint64 low = value.toInteger(0);
    if (low == value.toInteger(1))
        return low;

    const double truncated = std::trunc(value.toDouble());
    if (std::isnan(truncated))
        return fallback;
    constexpr double twoTo63 = 9223372036854775808.0;
    if (truncated >= twoTo63)
        return std::numeric_limits<qint64>::max();
    if (truncated < -twoTo63)
        return std::numeric_limits<qint64>::min();
    return qint64(truncated);
}

} // namespace

SequenceItem::SequenceItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

QJsonObject SequenceItem::toJson() const
{
    static const JsonShape shape({"columnId"_L1, "comment"_L1, "cycle"_L1, "id"_L1, "increment"_L1,
                                  "maxValue"_L1, "minValue"_L1, "name"_L1, "startValue"_L1,
                                  "tableId"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"tableId"_L1, m_tableId},
        {"columnId"_L1, m_columnId},
        {"startValue"_L1, m_startValue},
        {"increment"_L1, m_increment},
        {"minValue"_L1, m_minValue},
        {"maxValue"_L1, m_maxValue},
        {"cycle"_L1, m_cycle},
        {"comment"_L1, m_comment},
    });
}

void SequenceItem::fromJson(const QJsonObject &json)
{
    readJsonId(json, m_id);
    m_name = jsonString(json, "name"_L1);
    m_tableId = jsonString(json, "tableId"_L1);
    m_columnId = jsonString(json, "columnId"_L1);
    m_startValue = readSequenceNumber(json.value("startValue"_L1));
    m_increment = readSequenceNumber(json.value("increment"_L1));
    m_minValue = jsonString(json, "minValue"_L1);
    m_maxValue = jsonString(json, "maxValue"_L1);
    m_cycle = jsonBool(json, "cycle"_L1, false);
    m_comment = jsonString(json, "comment"_L1);
}
