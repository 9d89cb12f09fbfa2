#include "annotationjson.h"

#include <QDebug>
#include <QJsonValue>

#include <cmath>

namespace annotationjson {

double readCoordinate(const QJsonObject &object, const QString &key, double fallback,
                      const char *who)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return fallback;
    const double number = value.toDouble();
    if (!std::isfinite(number))
        return fallback;
    if (std::fabs(number) > CoordinateLimit) {
        const double clamped = std::copysign(CoordinateLimit, number);
        qWarning().noquote() << QStringLiteral("%1: \"%2\" %3 is out of range, clamped to %4")
                                    .arg(QLatin1String(who), key)
                                    .arg(number)
                                    .arg(clamped);
        return clamped;
    }
    return number;
}

QColor readColor(const QJsonObject &object, const QString &key, const QColor &fallback)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return fallback;
    const QColor color = QColor::fromString(value.toString());
    return color.isValid() ? color : fallback;
}

QString writeColor(const QColor &color)
{
    return color.name(QColor::HexArgb);
}

} // namespace annotationjson
