#pragma once

#include <QByteArray>

QT_BEGIN_NAMESPACE
class QJsonObject;
QT_END_NAMESPACE

// The text QJsonDocument(object).toJson(QJsonDocument::Indented) gives, byte for byte,
// written straight into one buffer. Qt's writer builds a temporary array for every
// string and indentation, which dominates saving a large project.
QByteArray indentedJsonText(const QJsonObject &object);
