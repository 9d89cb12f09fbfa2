#include "schemaimporter.h"

#include "modeljson.h"

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

// Constraint names are unique per table only, so a relationship is the name together
// with both of its tables; ordered by name, then owning table, then referenced table.
struct RelationshipKey
{
    QString name;
    QString table;
    QString refTable;

    bool operator<(const RelationshipKey &other) const
    {
        return std::tie(name, table, refTable) < std::tie(other.name, other.table, other.refTable);
    }
};

using ColumnKey = std::pair<QString, QString>; // (table, column)

struct SchemaTables
{
    QMap<QString, QString> tableIds;
    QMap<QString, QJsonArray> columnLists;
    QMap<QString, QSet<QString>> primaryKeyColumns;
    QMap<QString, QSet<QString>> uniqueColumns;
    QMap<RelationshipKey, QString> relationshipIds;
    QMap<ColumnKey, QString> foreignKeyColumns;
};

void readConstraint(const QJsonObject &constraint, SchemaTables &tables)
{
    const QString type = constraint.value(QLatin1String("type")).toString().toUpper();
    const QString table = constraint.value(QLatin1String("table")).toString();
    const QStringList columns = jsonStringList(constraint, QLatin1StringView("columns"));
    if (type == QLatin1String("PRIMARY KEY")) {
        tables.primaryKeyColumns[table].unite(QSet<QString>(columns.cbegin(), columns.cend()));
    } else if (type == QLatin1String("UNIQUE")) {
        tables.uniqueColumns[table].unite(QSet<QString>(columns.cbegin(), columns.cend()));
    } else if (type == QLatin1String("FOREIGN KEY")) {
        const RelationshipKey key{constraint.value(QLatin1String("name")).toString(), table,
                                  constraint.value(QLatin1String("ref_table")).toString()};
        auto relationship = tables.relationshipIds.find(key);
        if (relationship == tables.relationshipIds.end())
            relationship = tables.relationshipIds.insert(key, newItemId());
        for (const QString &column : columns)
            tables.foreignKeyColumns.insert({table, column}, relationship.value());
    }
}

SchemaTables readSchema(const QJsonObject &schema)
{
    SchemaTables tables;
    const QJsonArray tableList = schema.value(QLatin1String("tables")).toArray();
    for (const QJsonValue &value : tableList)
        tables.tableIds.insert(value.toObject().value(QLatin1String("name")).toString(), newItemId());
    for (const QJsonValue &value : schema.value(QLatin1String("constraints")).toArray())
        readConstraint(value.toObject(), tables);
    for (const QJsonValue &value : tableList) {
        const QJsonObject table = value.toObject();
        tables.columnLists.insert(table.value(QLatin1String("name")).toString(),
                                  table.value(QLatin1String("columns")).toArray());
    }
    return tables;
}

QJsonArray attributesOf(const QString &table, const SchemaTables &tables)
{
    static const JsonShape rowShape{QLatin1StringView("name"), QLatin1StringView("type"),
                                    QLatin1StringView("isPrimaryKey"), QLatin1StringView("isUniqueKey"),
                                    QLatin1StringView("isForeignKey")};
    static const JsonShape foreignKeyRowShape{
        QLatin1StringView("name"), QLatin1StringView("type"), QLatin1StringView("isPrimaryKey"),
        QLatin1StringView("isUniqueKey"), QLatin1StringView("isForeignKey"), QLatin1StringView("fkEdgeId")};
    const QSet<QString> primary = tables.primaryKeyColumns.value(table);
    const QSet<QString> unique = tables.uniqueColumns.value(table);
    QJsonArray attributes;
    for (const QJsonValue &value : tables.columnLists.value(table)) {
        const QJsonObject column = value.toObject();
        const QString name = column.value(QLatin1String("name")).toString();
        const QString type = column.value(QLatin1String("type")).toString();
        const QString edgeId = tables.foreignKeyColumns.value({table, name});
        if (edgeId.isEmpty()) {
            attributes.append(rowShape.make({{QLatin1StringView("name"), name},
                                             {QLatin1StringView("type"), type},
                                             {QLatin1StringView("isPrimaryKey"), primary.contains(name)},
                                             {QLatin1StringView("isUniqueKey"), unique.contains(name)},
                                             {QLatin1StringView("isForeignKey"), false}}));
        } else {
            attributes.append(foreignKeyRowShape.make({{QLatin1StringView("name"), name},
                                                       {QLatin1StringView("type"), type},
                                                       {QLatin1StringView("isPrimaryKey"), primary.contains(name)},
                                                       {QLatin1StringView("isUniqueKey"), unique.contains(name)},
                                                       {QLatin1StringView("isForeignKey"), true},
                                                       {QLatin1StringView("fkEdgeId"), edgeId}}));
        }
    }
    return attributes;
}

QJsonArray entitiesOf(const SchemaTables &tables)
{
    const int count = int(tables.tableIds.size());
    const int perRow = std::max(1, int(std::ceil(std::sqrt(double(count)))));
    QJsonArray entities;
    int index = 0;
    for (auto it = tables.tableIds.cbegin(); it != tables.tableIds.cend(); ++it, ++index) {
        entities.append(QJsonObject{
            {QLatin1String("id"), it.value()},
            {QLatin1String("title"), it.key()},
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
            {QLatin1String("attributes"), attributesOf(it.key(), tables)},
        });
    }
    return entities;
}

QJsonArray edgesOf(const SchemaTables &tables)
{
    QJsonArray edges;
    for (auto it = tables.relationshipIds.cbegin(); it != tables.relationshipIds.cend(); ++it) {
        const auto owner = tables.tableIds.constFind(it.key().table);
        const auto referenced = tables.tableIds.constFind(it.key().refTable);
        // A key into a table that was not inspected keeps its marked rows but no edge.
        if (owner == tables.tableIds.cend() || referenced == tables.tableIds.cend())
            continue;
        edges.append(QJsonObject{
            {QLatin1String("id"), it.value()},
            {QLatin1String("from"), referenced.value()},
            {QLatin1String("to"), owner.value()},
            {QLatin1String("startCard"), cardinalityOne},
            {QLatin1String("endCard"), cardinalityMany},
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
