#include "projectfiles.h"

#include "applog.h"
#include "boundedfile.h"
#include "projectitem.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace projectfiles {

namespace {

bool hasArray(const QJsonObject &root, QLatin1String key)
{
    return root.value(key).isArray();
}

} // namespace

DocumentKind documentKind(const QJsonObject &root)
{
    if (ProjectItem::isProjectDocument(root))
        return root.value(QLatin1String("data")).isObject() ? DocumentKind::Project : DocumentKind::Unusable;
    if (root.value(QLatin1String("type")).toString() == QLatin1String("er-diagram")
        || hasArray(root, QLatin1String("entities")) || hasArray(root, QLatin1String("edges"))
        || hasArray(root, QLatin1String("annotations"))) {
        return DocumentKind::Diagram;
    }
    return DocumentKind::Unusable;
}

bool readOpenableDocument(const QString &path, QJsonObject *document)
{
    QFile file(path);
    QByteArray bytes;
    if (!file.open(QIODevice::ReadOnly) || !readBoundedFile(file, MaxOpenFileBytes, &bytes)) {
        qCWarning(lcApp) << "Cannot open file:" << path;
        return false;
    }
    file.close();
    const QJsonDocument parsed = QJsonDocument::fromJson(bytes);
    bytes.clear();
    if (!parsed.isObject() || documentKind(parsed.object()) == DocumentKind::Unusable) {
        qCWarning(lcApp) << "Invalid JSON file:" << path;
        return false;
    }
    *document = parsed.object();
    return true;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcApp) << "Cannot save file:" << file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace projectfiles
