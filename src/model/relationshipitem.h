#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// A relationship between two tables, backed by a foreign-key constraint of the "to" table.
// Its id is also the id of its edges on diagrams.
class RelationshipItem : public QObject
{
    Q_OBJECT

public:
    explicit RelationshipItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }
    QString constraintId() const { return m_constraintId; }
    void setConstraintId(const QString &constraintId) { m_constraintId = constraintId; }
    QString fromTableId() const { return m_fromTableId; }
    void setFromTableId(const QString &tableId) { m_fromTableId = tableId; }
    QString toTableId() const { return m_toTableId; }
    void setToTableId(const QString &tableId) { m_toTableId = tableId; }

    // The name; for an unnamed relationship the two table ids shortened to 8 characters
    // joined by an arrow, or "Relationship" when a table id is missing.
    QString displayName() const;

    QJsonObject toJson() const;
    void fromJson(const QJsonObject &json);

private:
    QString m_id;
    QString m_name;
    QString m_description;
    QString m_constraintId;
    QString m_fromTableId;
    QString m_toTableId;
};
