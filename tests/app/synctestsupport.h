#pragma once

#include "columnitem.h"
#include "constraintitem.h"
#include "diagramitem.h"
#include "modelitem.h"
#include "tableitem.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStandardItemModel>

// What the window made of a table, a stored box and the explorer, as short texts the
// synchronisation tests compare.
namespace synctest {

using namespace Qt::StringLiterals;

inline QString columnName(const TableItem *table, const QString &id)
{
    const ColumnItem *column = table ? table->column(id) : nullptr;
    return column ? column->name() : u"?"_s + id;
}

inline QString namesOf(const TableItem *table, const QStringList &ids)
{
    QStringList names;
    for (const QString &id : ids)
        names.append(columnName(table, id));
    return names.join(", "_L1);
}

// "orders: id BIGINT!, note TEXT | PK pk_orders(id) | UNIQUE uk_orders(note)"; ! marks
// a column that is not nullable. With the model, a foreign key also names what it
// refers to: "FK fk_x(customer_id -> customers(id))".
inline QString dump(const TableItem *table, const ModelItem *model = nullptr)
{
    if (!table)
        return u"none"_s;
    QStringList columns;
    for (const ColumnItem *column : table->columns())
        columns.append(column->name() + QLatin1Char(' ') + column->fullTypeName() + (column->isNullable() ? "" : "!"));
    QStringList parts{table->name() + ": "_L1 + columns.join(", "_L1)};
    for (const ConstraintItem *constraint : table->constraints()) {
        static const char *kinds[] = {"PK", "FK", "UNIQUE", "CHECK"};
        QString text = QString::fromLatin1(kinds[constraint->type()]) + QLatin1Char(' ') + constraint->name()
            + QLatin1Char('(') + namesOf(table, constraint->columns());
        if (model && constraint->type() == ConstraintType::ForeignKey) {
            const TableItem *parent = model->table(constraint->referencedTableId());
            text += " -> "_L1 + (parent ? parent->name() : u"?"_s) + QLatin1Char('(')
                + namesOf(parent, constraint->referencedColumns()) + QLatin1Char(')');
        }
        parts.append(text + QLatin1Char(')'));
    }
    return parts.join(" | "_L1);
}

inline QJsonObject storedBox(const DiagramItem *diagram, const QString &id, bool view = false)
{
    for (const QJsonValue &value : diagram->sceneJson().value("entities"_L1).toArray()) {
        const QJsonObject entity = value.toObject();
        if (entity.value("id"_L1).toString() == id && (entity.value("kind"_L1).toString() == "entity-view"_L1) == view)
            return entity;
    }
    return {};
}

// The first explorer row of that kind and id, depth first.
inline QStandardItem *treeRow(QStandardItemModel *tree, const QString &kind, const QString &id)
{
    QList<QStandardItem *> pending{tree->invisibleRootItem()};
    while (!pending.isEmpty()) {
        QStandardItem *item = pending.takeFirst();
        if (item->data(Qt::UserRole).toString() == kind && item->data(Qt::UserRole + 1).toString() == id)
            return item;
        for (int row = item->rowCount() - 1; row >= 0; --row)
            pending.prepend(item->child(row));
    }
    return nullptr;
}

} // namespace synctest
