#include "schemaimporter.h"

#include "columnitem.h"
#include "modeljson.h"
#include "modelitem.h"
#include "tableitem.h"

#include <QJsonArray>
#include <QMap>
#include <QSet>

#include <cmath>
#include <tuple>

namespace {

constexpr int gridStepX = 320;
constexpr int gridStepY = 260;
constexpr int gridMargin = 60;
constexpr int cardinalityOne = 0;
constexpr int cardinalityMany = 1;

// A table by its schema and name; the schema is empty for the inspected schema. Schema and
// name are kept apart: joined, "sales.regions" could be a table of that name or the table
// regions of the schema sales.
struct TableRef
{
    QString schema;
    QString name;

    bool operator<(const TableRef &other) const
    {
        return std::tie(schema, name) < std::tie(other.schema, other.name);
    }
    bool operator==(const TableRef &other) const { return schema == other.schema && name == other.name; }
};

// Constraint names are unique per table only, so a relationship is the name together
// with both of its tables; ordered by name, then owning table, then referenced table.
struct RelationshipKey
{
    QString name;
    TableRef table;
    TableRef refTable;

    bool operator<(const RelationshipKey &other) const
    {
        return std::tie(name, table, refTable) < std::tie(other.name, other.table, other.refTable);
    }
};

struct Relationship
{
    QString id;
    QSet<QString> columns;
};

using ColumnKey = std::pair<TableRef, QString>; // (table, column)

struct SchemaTables
{
    QString inspectedSchema;
    // The nullability of a CSV file's column is a guess from the rows sampled, not a rule
    // of the source: only a database's is taken.
    bool nullabilityDeclared = true;
    QMap<TableRef, QString> tableIds;
    QMap<TableRef, QJsonArray> columnLists;
    QMap<TableRef, QSet<QString>> primaryKeyColumns;
    QMap<TableRef, QSet<QString>> uniqueColumns;
    QMap<TableRef, QList<QSet<QString>>> uniqueKeys; // each unique constraint's columns
    QMap<RelationshipKey, Relationship> relationships;
    QMap<ColumnKey, QString> foreignKeyColumns;
};

// The schema a "schema" or "ref_schema" text names; the inspected one, or none given, is
// the empty text, so documents that never name a schema read as they always have.
QString schemaOf(const QJsonObject &object, QLatin1StringView key, const SchemaTables &tables)
{
    const QString schema = object.value(key).toString();
    return schema == tables.inspectedSchema ? QString() : schema;
}

TableRef tableOf(const QJsonObject &object, QLatin1StringView schemaKey, QLatin1StringView nameKey,
                 const SchemaTables &tables)
{
    return {schemaOf(object, schemaKey, tables), object.value(nameKey).toString()};
}

void readConstraint(const QJsonObject &constraint, SchemaTables &tables)
{
    const QString type = constraint.value(QLatin1String("type")).toString().toUpper();
    const TableRef table = tableOf(constraint, QLatin1StringView("schema"), QLatin1StringView("table"), tables);
    const QStringList columns = jsonStringList(constraint, QLatin1StringView("columns"));
    const QSet<QString> columnSet(columns.cbegin(), columns.cend());
    if (type == QLatin1String("PRIMARY KEY")) {
        tables.primaryKeyColumns[table].unite(columnSet);
    } else if (type == QLatin1String("UNIQUE")) {
        tables.uniqueColumns[table].unite(columnSet);
        tables.uniqueKeys[table].append(columnSet);
    } else if (type == QLatin1String("FOREIGN KEY")) {
        const RelationshipKey key{
            constraint.value(QLatin1String("name")).toString(), table,
            tableOf(constraint, QLatin1StringView("ref_schema"), QLatin1StringView("ref_table"), tables)};
        auto relationship = tables.relationships.find(key);
        if (relationship == tables.relationships.end())
            relationship = tables.relationships.insert(key, Relationship{newItemId(), {}});
        relationship->columns.unite(columnSet);
        for (const QString &column : columns)
            tables.foreignKeyColumns.insert({table, column}, relationship->id);
    }
}

SchemaTables readSchema(const QJsonObject &schema)
{
    SchemaTables tables;
    const QJsonObject meta = schema.value(QLatin1String("meta")).toObject();
    tables.inspectedSchema = meta.value(QLatin1String("schema")).toString();
    tables.nullabilityDeclared = meta.value(QLatin1String("dialect")).toString() != QLatin1String("csv");
    const QJsonArray tableList = schema.value(QLatin1String("tables")).toArray();
    for (const QJsonValue &value : tableList)
        tables.tableIds.insert(tableOf(value.toObject(), QLatin1StringView("schema"), QLatin1StringView("name"), tables),
                               newItemId());
    for (const QJsonValue &value : schema.value(QLatin1String("constraints")).toArray())
        readConstraint(value.toObject(), tables);
    for (const QJsonValue &value : tableList) {
        const QJsonObject table = value.toObject();
        tables.columnLists.insert(tableOf(table, QLatin1StringView("schema"), QLatin1StringView("name"), tables),
                                  table.value(QLatin1String("columns")).toArray());
    }
    return tables;
}

// A part of a qualified name in double quotes, as SQL writes it, when it holds a dot or a
// quote of its own.
QString quotedWhereNeeded(const QString &part, bool always)
{
    if (!always && !part.contains(QLatin1Char('.')) && !part.contains(QLatin1Char('"')))
        return part;
    QString quoted = part;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// A table of the inspected schema is titled by its name, one of another schema by its
// schema and name (hr.employees); where that would read like the name of a table of the
// inspected schema, both parts are quoted ("sales"."regions").
QMap<TableRef, QString> titlesOf(const SchemaTables &tables)
{
    QSet<QString> localNames;
    for (auto it = tables.tableIds.cbegin(); it != tables.tableIds.cend(); ++it) {
        if (it.key().schema.isEmpty())
            localNames.insert(it.key().name);
    }
    QMap<TableRef, QString> titles;
    for (auto it = tables.tableIds.cbegin(); it != tables.tableIds.cend(); ++it) {
        const TableRef &table = it.key();
        if (table.schema.isEmpty()) {
            titles.insert(table, table.name);
            continue;
        }
        QString title = quotedWhereNeeded(table.schema, false) + QLatin1Char('.')
                        + quotedWhereNeeded(table.name, false);
        if (localNames.contains(title))
            title = quotedWhereNeeded(table.schema, true) + QLatin1Char('.') + quotedWhereNeeded(table.name, true);
        titles.insert(table, title);
    }
    return titles;
}

// The row shapes, with and without "fkEdgeId" and "nullable".
const JsonShape &rowShape(bool foreignKey, bool notNull)
{
    static const auto shape = [](bool withEdge, bool withNullable) {
        QList<QLatin1StringView> keys{QLatin1StringView("name"), QLatin1StringView("type"),
                                      QLatin1StringView("isPrimaryKey"), QLatin1StringView("isUniqueKey"),
                                      QLatin1StringView("isForeignKey")};
        if (withEdge)
            keys.append(QLatin1StringView("fkEdgeId"));
        if (withNullable)
            keys.append(QLatin1StringView("nullable"));
        return JsonShape(keys);
    };
    static const JsonShape shapes[2][2] = {{shape(false, false), shape(false, true)},
                                           {shape(true, false), shape(true, true)}};
    return shapes[foreignKey][notNull];
}

QJsonArray attributesOf(const TableRef &table, const SchemaTables &tables)
{
    const QSet<QString> primary = tables.primaryKeyColumns.value(table);
    const QSet<QString> unique = tables.uniqueColumns.value(table);
    QJsonArray attributes;
    for (const QJsonValue &value : tables.columnLists.value(table)) {
        const QJsonObject column = value.toObject();
        const QString name = column.value(QLatin1String("name")).toString();
        const QString type = column.value(QLatin1String("type")).toString();
        const QString edgeId = tables.foreignKeyColumns.value({table, name});
        // Only what the database forbids is said; a column it says nothing about stays
        // nullable, as every column was before the inspector told.
        const bool notNull = tables.nullabilityDeclared && !column.value(QLatin1String("nullable")).toBool(true);
        const JsonShape &shape = rowShape(!edgeId.isEmpty(), notNull);
        if (edgeId.isEmpty() && !notNull) {
            attributes.append(shape.make({{QLatin1StringView("name"), name},
                                          {QLatin1StringView("type"), type},
                                          {QLatin1StringView("isPrimaryKey"), primary.contains(name)},
                                          {QLatin1StringView("isUniqueKey"), unique.contains(name)},
                                          {QLatin1StringView("isForeignKey"), false}}));
            continue;
        }
        QJsonObject attribute = shape.make({{QLatin1StringView("name"), name},
                                            {QLatin1StringView("type"), type},
                                            {QLatin1StringView("isPrimaryKey"), primary.contains(name)},
                                            {QLatin1StringView("isUniqueKey"), unique.contains(name)},
                                            {QLatin1StringView("isForeignKey"), !edgeId.isEmpty()}});
        if (!edgeId.isEmpty())
            attribute.insert(QLatin1String("fkEdgeId"), edgeId);
        if (notNull)
            attribute.insert(QLatin1String("nullable"), false);
        attributes.append(attribute);
    }
    return attributes;
}

QJsonArray entitiesOf(const SchemaTables &tables)
{
    // Boxes in the order of their titles, as the names of one schema always were.
    const QMap<TableRef, QString> titles = titlesOf(tables);
    QList<TableRef> order = tables.tableIds.keys();
    std::stable_sort(order.begin(), order.end(), [&titles](const TableRef &a, const TableRef &b) {
        return titles.value(a) < titles.value(b);
    });
    const int count = int(order.size());
    const int perRow = std::max(1, int(std::ceil(std::sqrt(double(count)))));
    QJsonArray entities;
    for (int index = 0; index < count; ++index) {
        const TableRef &table = order.at(index);
        entities.append(QJsonObject{
            {QLatin1String("id"), tables.tableIds.value(table)},
            {QLatin1String("title"), titles.value(table)},
            {QLatin1String("x"), (index % perRow) * gridStepX + gridMargin},
            {QLatin1String("y"), (index / perRow) * gridStepY + gridMargin},
            // The header takes the background colour: imported boxes read as one block.
            {QLatin1String("bgLight"), QLatin1String("#F7F7F7")},
            {QLatin1String("bgDark"), QLatin1String("#2B2F36")},
            {QLatin1String("fgLight"), QLatin1String("#2E2E2E")},
            {QLatin1String("fgDark"), QLatin1String("#C7CED9")},
            {QLatin1String("hdrLight"), QLatin1String("#F7F7F7")},
            {QLatin1String("hdrDark"), QLatin1String("#2B2F36")},
            {QLatin1String("txtLight"), QLatin1String("#111111")},
            {QLatin1String("txtDark"), QLatin1String("#F8FAFC")},
            {QLatin1String("attributes"), attributesOf(table, tables)},
        });
    }
    return entities;
}

// A foreign key whose columns hold a whole primary or unique key of their table refers to
// each row of the other table at most once.
bool isOneToOne(const RelationshipKey &key, const Relationship &relationship, const SchemaTables &tables)
{
    QList<QSet<QString>> keys = tables.uniqueKeys.value(key.table);
    keys.append(tables.primaryKeyColumns.value(key.table));
    for (const QSet<QString> &unique : std::as_const(keys)) {
        if (!unique.isEmpty() && relationship.columns.contains(unique))
            return true;
    }
    return false;
}

QJsonArray edgesOf(const SchemaTables &tables)
{
    QJsonArray edges;
    for (auto it = tables.relationships.cbegin(); it != tables.relationships.cend(); ++it) {
        const auto owner = tables.tableIds.constFind(it.key().table);
        const auto referenced = tables.tableIds.constFind(it.key().refTable);
        // A key into a table that was not inspected keeps its marked rows but no edge.
        if (owner == tables.tableIds.cend() || referenced == tables.tableIds.cend())
            continue;
        edges.append(QJsonObject{
            {QLatin1String("id"), it.value().id},
            {QLatin1String("from"), referenced.value()},
            {QLatin1String("to"), owner.value()},
            {QLatin1String("startCard"), cardinalityOne},
            {QLatin1String("endCard"), isOneToOne(it.key(), it.value(), tables) ? cardinalityOne : cardinalityMany},
        });
    }
    return edges;
}

} // namespace

QJsonObject SchemaImporter::buildDiagramJson(const QJsonObject &schema)
{
    const SchemaTables tables = readSchema(schema);
    const QString dialect =
        schema.value(QLatin1String("meta")).toObject().value(QLatin1String("dialect")).toString();
    return QJsonObject{
        {QLatin1String("version"), QLatin1String("1.0")},
        {QLatin1String("type"), QLatin1String("er-diagram")},
        {QLatin1String("dialect"), dialect},
        {QLatin1String("entities"), entitiesOf(tables)},
        {QLatin1String("edges"), edgesOf(tables)},
    };
}

void SchemaImporter::applyColumnNullability(const QJsonObject &erJson, ModelItem *model)
{
    if (!model)
        return;
    for (const QJsonValue &entity : erJson.value(QLatin1String("entities")).toArray()) {
        TableItem *table = model->table(entity[QLatin1String("id")].toString());
        if (!table)
            continue;
        for (const QJsonValue &row : entity[QLatin1String("attributes")].toArray()) {
            if (row[QLatin1String("nullable")].toBool(true))
                continue;
            if (ColumnItem *column = table->columnByName(row[QLatin1String("name")].toString()))
                column->setNullable(false);
        }
    }
}
