#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// A database view of a model.
class ViewItem : public QObject
{
    Q_OBJECT

public:
    explicit ViewItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString schema() const { return m_schema; }
    void setSchema(const QString &schema) { m_schema = schema; }
    QString definition() const { return m_definition; }
    void setDefinition(const QString &definition) { m_definition = definition; }
    QString comment() const { return m_comment; }
    void setComment(const QString &comment) { m_comment = comment; }

    QJsonObject toJson() const;
    void fromJson(const QJsonObject &json);

private:
    QString m_id;
    QString m_name;
    QString m_schema;
    QString m_definition;
    QString m_comment;
};
