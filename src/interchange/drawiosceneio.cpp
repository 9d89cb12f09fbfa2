#include "drawiosceneio.h"

#include "drawioreader.h"
#include "drawiowriter.h"
#include "erscene.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

void setError(QString *error, const QString &sentence)
{
    if (error)
        *error = sentence;
}

} // namespace

bool importDrawioIntoScene(ERScene *scene, const QString &path, QString *error)
{
    if (!scene) {
        setError(error, QStringLiteral("No scene available."));
        return false;
    }
    // The reader names every way it finds no entity; its sentence is passed on as it is.
    const QJsonObject document = parseDrawioFile(path, error);
    if (document.value(QStringLiteral("entities")).toArray().isEmpty())
        return false;
    if (!scene->loadFromJson(document)) {
        setError(error, QStringLiteral("Failed to load the draw.io diagram."));
        return false;
    }
    return true;
}

bool exportSceneToDrawioFile(const ERScene *scene, const QString &path, QString *error)
{
    if (!scene) {
        setError(error, QStringLiteral("No scene available."));
        return false;
    }
    return writeDrawioFile(scene->toJson(), path, error);
}

QString sceneToDrawioXml(const ERScene *scene)
{
    if (!scene)
        return QString();
    return generateDrawioXml(scene->toJson());
}
