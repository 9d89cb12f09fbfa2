#pragma once

#include <QDebug>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <initializer_list>
#include <utility>

// Shared helpers of the model items: fresh ids, lenient JSON reading and the
// deterministic ordering of id-keyed collections.

// Writes objects of one fixed set of keys. Filling a copy of a prototype that already
// holds every key costs a fraction of inserting the keys one by one, which matters for
// the tens of thousands of columns of a large project. Values go in by the key's known
// position in the prototype, since QJsonObject's own lookup by name costs more than
// the assignment.
class JsonShape
{
public:
    explicit JsonShape(std::initializer_list<QLatin1StringView> keys);
    explicit JsonShape(const QList<QLatin1StringView> &keys);

    // An object with the given values; a key the shape lacks is simply inserted.
    QJsonObject make(std::initializer_list<std::pair<QLatin1StringView, QJsonValue>> values) const;

private:
    void addKeys(const QList<QLatin1StringView> &keys);
    // Index of key in the prototype, or -1 when the shape lacks it.
    qsizetype position(QLatin1StringView key) const;

    QJsonObject m_prototype;
    QList<QLatin1StringView> m_keys; // in the prototype's order
};

// A fresh UUID without braces (36 characters).
QString newItemId();

// Ids ascending ignoring letter case; ids equal but for case fall back to the
// case-sensitive order, so the result never depends on hash iteration.
QStringList sortedIds(QStringList ids);

// The string under key, or empty text when absent or not a string.
QString jsonString(const QJsonObject &object, QLatin1StringView key);

// The boolean under key, or fallback when absent or not a boolean.
bool jsonBool(const QJsonObject &object, QLatin1StringView key, bool fallback);

// A whole number under key that fits a 32-bit int, otherwise -1.
int jsonSize(const QJsonObject &object, QLatin1StringView key);

// The array under key, or an empty array when absent or not an array.
QJsonArray jsonArray(const QJsonObject &object, QLatin1StringView key);

// The string elements of the array under key; a non-string element gives "".
QStringList jsonStringList(const QJsonObject &object, QLatin1StringView key);

// Takes the string under "id" into id; leaves id alone when absent or not a string.
void readJsonId(const QJsonObject &object, QString &id);

// Writes an id-keyed collection as an array of the items' objects, in sortedIds order;
// null entries are skipped.
template<typename Item>
QJsonArray hashToSortedJsonArray(const QHash<QString, Item *> &items)
{
    QJsonArray array;
    const QStringList ids = sortedIds(items.keys());
    for (const QString &id : ids) {
        if (const Item *item = items.value(id))
            array.append(item->toJson());
    }
    return array;
}

// The items of a collection sorted by name with the locale-aware comparison; equal names
// keep a fixed order by id. A null entry sorts as an empty name.
template<typename Item>
QList<Item *> sortedByName(const QHash<QString, Item *> &items)
{
    struct Entry
    {
        QString name;
        QString id;
        Item *item;
    };
    QList<Entry> entries;
    entries.reserve(items.size());
    for (auto it = items.cbegin(); it != items.cend(); ++it)
        entries.append({it.value() ? it.value()->name() : QString(), it.key(), it.value()});
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        const int byName = QString::localeAwareCompare(a.name, b.name);
        return byName != 0 ? byName < 0 : a.id < b.id;
    });
    QList<Item *> result;
    result.reserve(entries.size());
    for (const Entry &entry : std::as_const(entries))
        result.append(entry.item);
    return result;
}

// Reads one item per array element into an id-keyed collection, under the id each has
// after reading (a non-object element reads as an empty object). A later element with an
// id already present wins; the item it replaces is destroyed at once and the duplicate
// logged under operation's name.
template<typename Item>
void readCollection(QObject *parent, const QJsonArray &array, QHash<QString, Item *> &items,
                    const char *operation)
{
    items.reserve(items.size() + array.size());
    for (const QJsonValue &element : array) {
        auto *item = new Item(parent);
        item->fromJson(element.toObject());
        Item *&slot = items[item->id()];
        if (slot) {
            qWarning().noquote().nospace() << operation << ": duplicate id, later element wins: "
                                 << item->id();
            delete slot;
        }
        slot = item;
    }
}

// Destroys every item of a collection at once and empties it.
template<typename Item>
void destroyCollection(QHash<QString, Item *> &items)
{
    const QHash<QString, Item *> old = std::exchange(items, {});
    qDeleteAll(old);
}

// Takes the item out of its collection and deletes it later; an unknown id does nothing.
template<typename Item>
void removeFromCollection(QHash<QString, Item *> &items, const QString &id)
{
    if (items.isEmpty())
        return;
    const auto it = items.find(id);
    if (it == items.end())
        return;
    Item *item = it.value();
    items.erase(it);
    if (item)
        item->deleteLater();
}
