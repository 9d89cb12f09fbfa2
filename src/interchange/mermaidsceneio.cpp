#include "mermaidsceneio.h"

#include "erscene.h"
#include "mermaidreader.h"
#include "mermaidwriter.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

void setError(QString *error, const QString &sentence)
{
    if (error)
        *error = sentence;
}

} // namespace

bool importMermaidIntoScene(ERScene *scene, const QString &path, QString *error)
{
    if (!scene) {
        setError(error, QStringLiteral("No scene available."));
        return false;
    }
    // A local text, so that a sentence left in *error by an earlier call is never shown
    // as the reason for this failure.
    QString readError;
    const QJsonObject document = parseMermaidFile(path, &readError);
    if (document.value(QStringLiteral("entities")).toArray().isEmpty()) {
        setError(error, readError.isEmpty()
                            ? QStringLiteral("No ER entities were recognized in the Mermaid file.")
                            : readError);
        return false;
    }
    if (!scene->loadFromJson(document)) {
        setError(error, QStringLiteral("Failed to load the Mermaid diagram."));
        return false;
    }
    return true;
}

QString sceneToMermaidText(const ERScene *scene)
{
    if (!scene)
        return QString();
    return generateMermaidText(scene->toJson());
}

bool exportSceneToMermaidFile(const ERScene *scene, const QString &path, QString *error)
{
    if (!scene) {
        setError(error, QStringLiteral("No scene available."));
        return false;
    }
    return writeMermaidFile(scene->toJson(), path, error);
}
