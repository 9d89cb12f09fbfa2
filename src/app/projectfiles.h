#pragma once

#include "boundedfile.h"

#include <QByteArray>
#include <QString>

QT_BEGIN_NAMESPACE
class QJsonObject;
QT_END_NAMESPACE

// Reading and writing the files Open and Save handle. Plain functions that touch no
// widget, so they run on the busy overlay's worker thread; failures go to the log.
namespace projectfiles {

// Open refuses larger files before reading a byte.
inline constexpr qint64 MaxOpenFileBytes = MaxReadFileBytes;

enum class DocumentKind { Unusable, Project, Diagram };

// A project document whose "data" is an object, or a diagram document: "type"
// "er-diagram", or an "entities", "edges" or "annotations" array. Any other object would
// open as an empty diagram, and the next Save would overwrite a file that is no diagram.
DocumentKind documentKind(const QJsonObject &root);

// Reads path as a JSON object Open can use. False, with "Cannot open file:" or
// "Invalid JSON file:" and the path in the log, for anything else.
bool readOpenableDocument(const QString &path, QJsonObject *document);

// Replaces path with bytes through QSaveFile: a failed open, write or commit leaves an
// existing file as it was and logs "Cannot save file:" with the error.
bool writeFileAtomically(const QString &path, const QByteArray &bytes);

} // namespace projectfiles
