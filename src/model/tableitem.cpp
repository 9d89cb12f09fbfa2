#include "tableitem.h"

#include "columnitem.h"
#include "constraintitem.h"
#include "indexitem.h"
#include "modeljson.h"

#include <QJsonArray>
#include <QSet>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

template<typename Item>
Item *findById(const QList<Item *> &items, const QString &id)
{
    for (Item *item : items) {
        if (item && item->id() == id)
            return item;
    }
    return nullptr;
}

template<typename Item>
void removeById(QList<Item *> &items, const QString &id)
{
    if (id.isEmpty())
        return;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items.at(i) && items.at(i)->id() == id) {
            items.takeAt(i)->deleteLater();
            return;
        }
    }
}

template<typename Item>
QJsonArray toJsonArray(const QList<Item *> &items)
{
    QJsonArray array;
    for (const Item *item : items) {
        if (item)
            array.append(item->toJson());
    }
    return array;
}

template<typename Item>
void readChildren(QObject *parent, const QJsonArray &array, QList<Item *> &items)
{
    items.reserve(array.size());
    for (const QJsonValue &element : array) {
        auto *item = new Item(parent);
        item->fromJson(element.toObject());
        items.append(item);
    }
}

template<typename Item>
void destroyAll(QList<Item *> &items)
{
    const QList<Item *> old = std::exchange(items, {});
    qDeleteAll(old);
}

// Keeps an index of the first column, in column order, of each key right after a column's
// key changed; false when another column may carry the old key, or an earlier one the new,
// and only building the index again can tell.
bool followKeyChange(QHash<QString, ColumnItem *> &index, ColumnItem *column, const QString &oldKey,
                     const QString &newKey)
{
    if (index.value(oldKey) == column || index.contains(newKey))
        return false;
    if (!newKey.isEmpty())
        index.insert(newKey, column);
    return true;
}

} // namespace

TableItem::TableItem(QObject *parent)
    : QObject(parent)
    , m_id(newItemId())
{
}

QString TableItem::property(const QString &key) const
{
    return m_properties.value(key).toString();
}

void TableItem::setProperty(const QString &key, const QString &value)
{
    if (key.isEmpty())
        return;
    m_properties.insert(key, value);
}

ColumnItem *TableItem::column(const QString &id) const
{
    if (id.isEmpty())
        return findById(m_columns, id);
    ensureColumnIndex();
    return m_columnById.value(id);
}

ColumnItem *TableItem::columnByName(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    ensureColumnIndex();
    return m_columnByName.value(name);
}

ColumnItem *TableItem::columnMatching(const QString &name) const
{
    if (ColumnItem *exact = columnByName(name))
        return exact;
    for (ColumnItem *column : m_columns) {
        if (column && column->name().compare(name, Qt::CaseInsensitive) == 0)
            return column;
    }
    return nullptr;
}

void TableItem::ensureColumnIndex() const
{
    if (m_columnIndexValid)
        return;
    m_columnById.clear();
    m_columnByName.clear();
    m_columnById.reserve(m_columns.size());
    m_columnByName.reserve(m_columns.size());
    // The first column of an id or a name wins, as a scan in column order finds it.
    for (ColumnItem *column : m_columns) {
        if (!column)
            continue;
        if (!column->id().isEmpty() && !m_columnById.contains(column->id()))
            m_columnById.insert(column->id(), column);
        if (!column->name().isEmpty() && !m_columnByName.contains(column->name()))
            m_columnByName.insert(column->name(), column);
    }
    m_columnIndexValid = true;
}

void TableItem::indexAppendedColumn(ColumnItem *column)
{
    if (!m_columnIndexValid)
        return;
    // The last column in order: it is first only for an id or name no other column has.
    if (!column->id().isEmpty() && !m_columnById.contains(column->id()))
        m_columnById.insert(column->id(), column);
    if (!column->name().isEmpty() && !m_columnByName.contains(column->name()))
        m_columnByName.insert(column->name(), column);
}

void TableItem::columnIdChanged(ColumnItem *column, const QString &oldId)
{
    if (m_columnIndexValid)
        m_columnIndexValid = followKeyChange(m_columnById, column, oldId, column->id());
}

void TableItem::columnNameChanged(ColumnItem *column, const QString &oldName)
{
    if (m_columnIndexValid)
        m_columnIndexValid = followKeyChange(m_columnByName, column, oldName, column->name());
}

ConstraintItem *TableItem::constraint(const QString &id) const
{
    return findById(m_constraints, id);
}

ConstraintItem *TableItem::constraintOfType(int type) const
{
    for (ConstraintItem *constraint : m_constraints) {
        if (constraint && constraint->type() == type)
            return constraint;
    }
    return nullptr;
}

IndexItem *TableItem::index(const QString &id) const
{
    return findById(m_indexes, id);
}

ColumnItem *TableItem::addColumn()
{
    auto *column = new ColumnItem(this);
    m_columns.append(column);
    indexAppendedColumn(column);
    return column;
}

ConstraintItem *TableItem::addConstraint()
{
    auto *constraint = new ConstraintItem(this);
    m_constraints.append(constraint);
    return constraint;
}

IndexItem *TableItem::addIndex()
{
    auto *index = new IndexItem(this);
    m_indexes.append(index);
    return index;
}

void TableItem::removeColumn(const QString &id)
{
    if (id.isEmpty() || m_columns.isEmpty())
        return;
    ColumnItem *removed = column(id);
    if (!removed)
        return;
    m_columns.removeOne(removed);
    m_columnIndexValid = false;

    for (ConstraintItem *constraint : std::as_const(m_constraints)) {
        if (!constraint)
            continue;
        QStringList columns = constraint->columns();
        columns.removeAll(id);
        constraint->setColumns(columns);
        QStringList referenced = constraint->referencedColumns();
        referenced.removeAll(id);
        constraint->setReferencedColumns(referenced);
    }
    for (IndexItem *index : std::as_const(m_indexes)) {
        if (!index)
            continue;
        QStringList columns = index->columns();
        columns.removeAll(id);
        index->setColumns(columns);
    }
    removed->deleteLater();
}

void TableItem::removeConstraint(const QString &id)
{
    removeById(m_constraints, id);
}

void TableItem::removeIndex(const QString &id)
{
    removeById(m_indexes, id);
}

void TableItem::reorderColumns(const QStringList &ids)
{
    QList<ColumnItem *> ordered;
    ordered.reserve(m_columns.size());
    QSet<ColumnItem *> placed;
    placed.reserve(m_columns.size());
    for (const QString &id : ids) {
        ColumnItem *found = column(id);
        if (found && !placed.contains(found)) {
            placed.insert(found);
            ordered.append(found);
        }
    }
    for (ColumnItem *column : std::as_const(m_columns)) {
        if (!placed.contains(column))
            ordered.append(column);
    }
    if (ordered == m_columns)
        return;
    m_columns = ordered;
    m_columnIndexValid = false;
}

QJsonObject TableItem::toJson() const
{
    static const JsonShape shape({"columns"_L1, "comment"_L1, "constraints"_L1, "id"_L1,
                                  "indexes"_L1, "name"_L1, "properties"_L1, "schema"_L1});
    return shape.make({
        {"id"_L1, m_id},
        {"name"_L1, m_name},
        {"schema"_L1, m_schema},
        {"comment"_L1, m_comment},
        {"properties"_L1, m_properties},
        {"columns"_L1, toJsonArray(m_columns)},
        {"constraints"_L1, toJsonArray(m_constraints)},
        {"indexes"_L1, toJsonArray(m_indexes)},
    });
}

void TableItem::fromJson(const QJsonObject &json)
{
    m_columnIndexValid = false;
    destroyAll(m_columns);
    destroyAll(m_constraints);
    destroyAll(m_indexes);

    readJsonId(json, m_id);
    m_name = jsonString(json, "name"_L1);
    m_schema = jsonString(json, "schema"_L1);
    m_comment = jsonString(json, "comment"_L1);
    m_properties = json.value("properties"_L1).toObject();

    readChildren(this, jsonArray(json, "columns"_L1), m_columns);
    m_columnIndexValid = false;
    readChildren(this, jsonArray(json, "constraints"_L1), m_constraints);
    readChildren(this, jsonArray(json, "indexes"_L1), m_indexes);
}

QString heldContents(const TableItem &table)
{
    return contentCountsPhrase({{table.columns().size(), "column", "columns"},
                                {table.constraints().size(), "constraint", "constraints"},
                                {table.indexes().size(), "index", "indexes"}});
}
