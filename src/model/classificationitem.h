#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// One data-classification entry of a column: a name, the regulation it stems from and a
// description.
class ClassificationItem : public QObject
{
    Q_OBJECT

public:
    explicit ClassificationItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString regulation() const { return m_regulation; }
    void setRegulation(const QString &regulation) { m_regulation = regulation; }
    QString description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }

    QJsonObject toJson() const;
    void fromJson(const QJsonObject &json);

private:
    QString m_id;
    QString m_name;
    QString m_regulation;
    QString m_description;
};
