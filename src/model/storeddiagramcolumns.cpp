#include "storeddiagramcolumns.h"

#include "columnrowmatcher.h"
#include "diagramitem.h"
#include "modelcolumnrow.h"
#include "modelitem.h"
#include "storedentityedits.h"
#include "tableitem.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

struct TableColumns
{
    QString tableId;
    QString tableName;
    QList<ModelColumnRow> rows;
    QSet<QString> ids;
    QSet<QString> newIds;
    // Shared by every box; each box takes its rows from a copy.
    ColumnRowMatcher matcher;
};

QJsonObject attributeFromRow(const ModelColumnRow &row)
{
    return QJsonObject{
        {"columnId"_L1, row.columnId},
        {"name"_L1, row.name},
        {"type"_L1, row.type},
        {"isPrimaryKey"_L1, row.isPrimaryKey},
        {"isUniqueKey"_L1, row.isUniqueKey},
        {"isForeignKey"_L1, row.isForeignKey},
    };
}

bool setIfDifferent(QJsonObject &object, QLatin1StringView key, const QString &value)
{
    const QJsonValue stored = object.value(key);
    if (stored.isString() && stored.toString() == value)
        return false;
    object.insert(key, value);
    return true;
}

bool setIfDifferent(QJsonObject &object, QLatin1StringView key, bool value)
{
    const QJsonValue stored = object.value(key);
    if (stored.isBool() && stored.toBool() == value)
        return false;
    object.insert(key, value);
    return true;
}

// Gives the box's own attribute the column's values; a foreign-key mark made by a
// relationship line stays even when no constraint backs it. False when nothing changed.
bool pairAttribute(QJsonObject &attribute, const ModelColumnRow &row)
{
    const bool edgeMarked = !attribute.value("fkEdgeId"_L1).toString().isEmpty();
    bool changed = setIfDifferent(attribute, "columnId"_L1, row.columnId);
    changed |= setIfDifferent(attribute, "name"_L1, row.name);
    changed |= setIfDifferent(attribute, "type"_L1, row.type);
    changed |= setIfDifferent(attribute, "isPrimaryKey"_L1, row.isPrimaryKey);
    changed |= setIfDifferent(attribute, "isUniqueKey"_L1, row.isUniqueKey);
    changed |= setIfDifferent(attribute, "isForeignKey"_L1, row.isForeignKey || edgeMarked);
    return changed;
}

bool isArrayOrMissing(const QJsonValue &value)
{
    return value.isArray() || value.isUndefined();
}

bool isStoredBoxOf(const QJsonObject &entity, const QString &tableId)
{
    const QJsonValue id = entity.value("id"_L1);
    return id.isString() && id.toString() == tableId
        && entity.value("kind"_L1).toString() != "entity-view"_L1;
}

// The attributes of a stored box paired with the table's columns, changed in place so
// that attributes with nothing to change stay shared; changed tells whether any did.
QJsonArray pairedAttributes(const QJsonArray &stored, const QSet<QString> &hidden,
                            const TableColumns &table, bool &changed)
{
    ColumnRowMatcher matcher = table.matcher;
    QJsonArray attributes = stored;
    qsizetype at = 0;
    for (const QJsonValue &value : stored) {
        QJsonObject attribute = value.toObject();
        const QJsonValue columnIdValue = attribute.value("columnId"_L1);
        const QString columnId = columnIdValue.toString();
        const bool readable = value.isObject() && (columnIdValue.isString() || columnIdValue.isUndefined());
        const int index = readable && (columnId.isEmpty() || table.ids.contains(columnId))
            ? matcher.take(columnId, attribute.value("name"_L1).toString())
            : -1;
        if (readable && index < 0 && !columnId.isEmpty()) {
            attributes.removeAt(at); // its column is gone
            changed = true;
            continue;
        }
        if (index >= 0 && pairAttribute(attribute, table.rows.at(index))) {
            attributes.replace(at, attribute);
            changed = true;
        }
        ++at;
    }
    for (int i = 0; i < table.rows.size(); ++i) {
        const ModelColumnRow &row = table.rows.at(i);
        if (!matcher.isTaken(i) && table.newIds.contains(row.columnId) && !hidden.contains(row.columnId)) {
            attributes.append(attributeFromRow(row));
            changed = true;
        }
    }
    return attributes;
}

// Rewrites a stored box in place; false when it had nothing to change or could not be
// read.
bool rewriteBox(QJsonObject &box, const TableColumns &table)
{
    const QJsonValue attributesValue = box.value("attributes"_L1);
    const QJsonValue hiddenValue = box.value("hiddenColumns"_L1);
    if (!isArrayOrMissing(attributesValue) || !isArrayOrMissing(hiddenValue))
        return false;

    QJsonArray keptHidden;
    QSet<QString> hidden;
    const QJsonArray storedHidden = hiddenValue.toArray();
    for (const QJsonValue &value : storedHidden) {
        const QString id = value.toString();
        if (value.isString() && table.ids.contains(id)) {
            keptHidden.append(id);
            hidden.insert(id);
        }
    }

    bool changed = false;
    const QJsonArray attributes = pairedAttributes(attributesValue.toArray(), hidden, table, changed);
    if (changed)
        box.insert("attributes"_L1, attributes);
    if (!table.tableName.isEmpty())
        changed |= setIfDifferent(box, "title"_L1, table.tableName);
    if (keptHidden.isEmpty()) {
        changed |= !hiddenValue.isUndefined();
        box.remove("hiddenColumns"_L1);
    } else if (keptHidden != storedHidden) {
        box.insert("hiddenColumns"_L1, keptHidden);
        changed = true;
    }
    return changed;
}

void rewriteDiagram(DiagramItem *diagram, const TableColumns &table)
{
    editStoredEntities(diagram, [&table](QJsonObject &box) {
        return isStoredBoxOf(box, table.tableId) && rewriteBox(box, table);
    });
}

} // namespace

void spreadTableColumnsToStoredDiagrams(ModelItem *model, const TableItem *table,
                                        const QSet<QString> &newColumnIds,
                                        const QString &skipDiagramId)
{
    if (!model || !table || table->id().isEmpty())
        return;
    const QList<ModelColumnRow> rows = rebuildEntityAttributes(table);
    TableColumns columns{table->id(), table->name(), rows, {}, newColumnIds, ColumnRowMatcher(rows)};
    columns.ids.reserve(columns.rows.size());
    for (const ModelColumnRow &row : qAsConst(columns.rows))
        columns.ids.insert(row.columnId);

    for (DiagramItem *diagram : model->diagrams()) {
        if (!diagram || (!skipDiagramId.isEmpty() && diagram->id() == skipDiagramId))
            continue;
        rewriteDiagram(diagram, columns);
    }
}
