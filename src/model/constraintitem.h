#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

// The kind of a table constraint, stored as a plain int.
namespace ConstraintType {
enum : int {
    PrimaryKey = 0,
    ForeignKey = 1,
    Unique = 2,
    Check = 3,
};
} // namespace ConstraintType

// One table constraint. Refers to columns and tables by id only.
class ConstraintItem : public QObject
{
    Q_OBJECT

public:
    explicit ConstraintItem(QObject *parent = nullptr);

    QString id() const { return m_id; }
    void setId(const QString &id) { m_id = id; }
    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    // A ConstraintType value; any other value is kept and written as "unique".
    int type() const { return m_type; }
    void setType(int type) { m_type = type; }
    QStringList columns() const { return m_columns; }
    void setColumns(const QStringList &columnIds) { m_columns = columnIds; }
    QString referencedTableId() const { return m_referencedTableId; }
    void setReferencedTableId(const QString &tableId) { m_referencedTableId = tableId; }
    QStringList referencedColumns() const { return m_referencedColumns; }
    void setReferencedColumns(const QStringList &columnIds) { m_referencedColumns = columnIds; }
    QString expression() const { return m_expression; }
    void setExpression(const QString &expression) { m_expression = expression; }
    QString description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }

    // "primaryKey", "foreignKey", "check"; everything else is "unique".
    static QString typeToString(int type);
    // Exact, case-sensitive; any other text gives ConstraintType::Unique.
    static int typeFromString(const QString &text);

    QJsonObject toJson() const;
    void fromJson(const QJsonObject &json);

private:
    QString m_id;
    QString m_name;
    int m_type = ConstraintType::Unique;
    QStringList m_columns;
    QString m_referencedTableId;
    QStringList m_referencedColumns;
    QString m_expression;
    QString m_description;
};
