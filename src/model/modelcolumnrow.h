#pragma once

#include <QList>
#include <QString>

class TableItem;

// A table column as an entity box row shows it: name, display type and key marks.
struct ModelColumnRow
{
    QString columnId;
    QString name;
    QString type;
    bool isPrimaryKey = false;
    bool isUniqueKey = false;
    bool isForeignKey = false;
};

// One row per column of the table, in column order; a column's key marks come from its
// membership in the table's primary-key, unique and foreign-key constraints (check
// constraints mark nothing). Empty for no table.
QList<ModelColumnRow> rebuildEntityAttributes(const TableItem *table);
