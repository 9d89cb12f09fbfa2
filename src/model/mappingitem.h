#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// A column-to-column mapping; source and target may lie in different models.
class MappingItem : public QObject
{
    Q_OBJECT

public:
    explicit MappingItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString sourceModelId() const { return m_sourceModelId; }
    void setSourceModelId(const QString &id) { m_sourceModelId = id; }
    QString sourceTableId() const { return m_sourceTableId; }
    void setSourceTableId(const QString &id) { m_sourceTableId = id; }
    QString sourceColumnId() const { return m_sourceColumnId; }
    void setSourceColumnId(const QString &id) { m_sourceColumnId = id; }
    QString targetModelId() const { return m_targetModelId; }
    void setTargetModelId(const QString &id) { m_targetModelId = id; }
    QString targetTableId() const { return m_targetTableId; }
    void setTargetTableId(const QString &id) { m_targetTableId = id; }
    QString targetColumnId() const { return m_targetColumnId; }
    void setTargetColumnId(const QString &id) { m_targetColumnId = id; }
    QString description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }

    QJsonObject toJson() const;
    void fromJson(const QJsonObject &json);

private:
    QString m_id;
    QString m_name;
    QString m_sourceModelId;
    QString m_sourceTableId;
    QString m_sourceColumnId;
    QString m_targetModelId;
    QString m_targetTableId;
    QString m_targetColumnId;
    QString m_description;
};
