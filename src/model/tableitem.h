#pragma once

#include <QHash>
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

    // Both look-ups are hashed: a table of many columns is matched row by row in one pass.
    ColumnItem *column(const QString &id) const;
    // First column, in column order, named exactly so: "Code" and "code" are two columns,
    // as they are to a database.
    ColumnItem *columnByName(const QString &name) const;
    // For a name typed by the user: the column named exactly so, else the first whose
    // name matches ignoring case.
    ColumnItem *columnMatching(const QString &name) const;
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
    friend class ColumnItem;
    // A column of this table changed its id or name; the look-ups follow.
    void columnIdChanged(ColumnItem *column, const QString &oldId);
    void columnNameChanged(ColumnItem *column, const QString &oldName);
    void indexAppendedColumn(ColumnItem *column);
    void ensureColumnIndex() const;

    QString m_id;
    QString m_name;
    QString m_schema;
    QString m_comment;
    QJsonObject m_properties;
    QList<ColumnItem *> m_columns;
    QList<ConstraintItem *> m_constraints;
    QList<IndexItem *> m_indexes;
    // Id and name of each column to the first column in column order that carries it;
    // built on first use and dropped when the order changes in a way not followed here.
    mutable QHash<QString, ColumnItem *> m_columnById;
    mutable QHash<QString, ColumnItem *> m_columnByName;
    mutable bool m_columnIndexValid = false;
};

// "3 columns and 1 index": what a table left out while reading took with it.
QString heldContents(const TableItem &table);
