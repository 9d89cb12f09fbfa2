#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// One diagram of a model. While the diagram is not open on the canvas, its whole content
// lives in the stored diagram document (sceneJson), which travels in the project file
// apart from the diagram's own object.
class DiagramItem : public QObject
{
    Q_OBJECT

public:
    explicit DiagramItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString modelId() const { return m_modelId; }
    void setModelId(const QString &modelId) { m_modelId = modelId; }
    QJsonObject sceneJson() const { return m_sceneJson; }
    void setSceneJson(const QJsonObject &document) { m_sceneJson = document; }

    // "id", "name" and "modelId" only; the stored document is neither written nor read.
    QJsonObject toJson() const;
    void fromJson(const QJsonObject &json);

private:
    QString m_id;
    QString m_name;
    QString m_modelId;
    QJsonObject m_sceneJson;
};
