#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class ColumnItem;
class ConstraintItem;
class IndexItem;

// One table of a model: name, schema, comment, the dialect's physical options and the
// ordered lists of its columns, constraints and indexes, which it owns.
class TableItem : public QObject
{
    Q_OBJECT

public:
    explicit TableItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    QString schema() const { return m_schema; }
    void setSchema(const QString &schema) { m_schema = schema; }
    QString comment() const { return m_comment; }
    void setComment(const QString &comment) { m_comment = comment; }

    // Physical options, keyed by the dialect catalogue's option keys. Values loaded from a
    // file may be of any JSON type and are written back unchanged.
    QJsonObject properties() const { return m_properties; }
    // The option's value as text; empty when absent or not a string.
    QString property(const QString &key) const;
    // Stores value as a string under key; an empty key is ignored.
    void setProperty(const QString &key, const QString &value);

    QList<ColumnItem *> columns() const { return m_columns; }
    QList<ConstraintItem *> constraints() const { return m_constraints; }
    QList<IndexItem *> indexes() const { return m_indexes; }

    ColumnItem *column(const QString &id) const;
    // First column whose name matches ignoring case.
    ColumnItem *columnByName(const QString &name) const;
    ConstraintItem *constraint(const QString &id) const;
    // First constraint of a ConstraintType; 0 finds the primary key.
    ConstraintItem *constraintOfType(int type) const;
    IndexItem *index(const QString &id) const;

    ColumnItem *addColumn();
    ConstraintItem *addConstraint();
    IndexItem *addIndex();

    // Removes the column and scrubs its id from every constraint and index of this table
    // (emptied ones stay). The column is deleted later, so it stays readable until the
    // event loop runs.
    void removeColumn(const QString &id);
    void removeConstraint(const QString &id);
    void removeIndex(const QString &id);

    // The given columns first, in that order (unknown and repeated ids skipped), then the
    // rest in their current order.
    void reorderColumns(const QStringList &ids);

    QJsonObject toJson() const;
    // Replaces the whole content; the old children are destroyed at once.
    void fromJson(const QJsonObject &json);

private:
    QString m_id;
    QString m_name;
    QString m_schema;
    QString m_comment;
    QJsonObject m_properties;
    QList<ColumnItem *> m_columns;
    QList<ConstraintItem *> m_constraints;
    QList<IndexItem *> m_indexes;
};

// "3 columns and 1 index": what a table left out while reading took with it.
QString heldContents(const TableItem &table);
