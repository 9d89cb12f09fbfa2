#pragma once

#include <QColor>
#include <QJsonObject>
#include <QString>

// Reading helpers shared by the "text-item" and "group-item" objects of a diagram
// document. Every reader keeps the current value for a missing or mistyped key.
namespace annotationjson {

// Largest magnitude accepted for a position or a size; larger values would blow up the
// scene rectangle, the grid drawing and the export.
constexpr double CoordinateLimit = 1000000.0;

// The finite number under key, clamped to +/-CoordinateLimit (with a warning that names
// who), or fallback when the key is missing, no number or not finite.
double readCoordinate(const QJsonObject &object, const QString &key, double fallback,
                      const char *who);
// The colour written under key, or fallback when it is missing, no string or invalid.
QColor readColor(const QJsonObject &object, const QString &key, const QColor &fallback);
QString writeColor(const QColor &color);

} // namespace annotationjson
