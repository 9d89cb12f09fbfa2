#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

// One table index over column ids, in index order.
class IndexItem : public QObject
{
    Q_OBJECT

public:
    explicit IndexItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    bool isUnique() const { return m_unique; }
    void setUnique(bool unique) { m_unique = unique; }
    QStringList columns() const { return m_columns; }
    void setColumns(const QStringList &columnIds) { m_columns = columnIds; }
    QString description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }

    QJsonObject toJson() const;
    void fromJson(const QJsonObject &json);

private:
    QString m_id;
    QString m_name;
    bool m_unique = false;
    QStringList m_columns;
    QString m_description;
};
