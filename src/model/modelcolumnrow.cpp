#include "modelcolumnrow.h"

#include "columnitem.h"
#include "constraintitem.h"
#include "tableitem.h"

#include <QSet>

QList<ModelColumnRow> rebuildEntityAttributes(const TableItem *table)
{
    QList<ModelColumnRow> rows;
    if (!table)
        return rows;
    QSet<QString> primary;
    QSet<QString> unique;
    QSet<QString> foreign;
    for (const ConstraintItem *constraint : table->constraints()) {
        if (!constraint)
            continue;
        QSet<QString> *target = nullptr;
        switch (constraint->type()) {
        case ConstraintType::PrimaryKey: target = &primary; break;
        case ConstraintType::Unique: target = &unique; break;
        case ConstraintType::ForeignKey: target = &foreign; break;
        default: break;
        }
        if (target) {
            for (const QString &id : constraint->columns())
                target->insert(id);
        }
    }
    const QList<ColumnItem *> columns = table->columns();
    rows.reserve(columns.size());
    for (const ColumnItem *column : columns) {
        if (!column)
            continue;
        const QString id = column->id();
        rows.append(ModelColumnRow{id, column->name(), column->fullTypeName(), primary.contains(id),
                                   unique.contains(id), foreign.contains(id)});
    }
    return rows;
}
