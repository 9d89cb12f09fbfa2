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

QT_BEGIN_NAMESPACE
class QObject;
QT_END_NAMESPACE

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

// Where a lenient read reports what it left out: the reader's name for the log and, when
// dropped is set, a list that receives one short sentence per thing left out. owner names
// the holder of the collection in those sentences ("the project", "model \"Sales\"").
struct CollectionReading
{
    const char *operation;
    QStringList *dropped = nullptr;
    QString owner;
};

// "2 tables and 1 diagram": the counts above zero, joined for a sentence.
struct ContentCount
{
    qsizetype count;
    const char *one;
    const char *many;
};
QString contentCountsPhrase(std::initializer_list<ContentCount> counts);

// What an item took with it when it was left out; only items that hold others say more.
inline QString heldContents(const QObject &)
{
    return {};
}

// The sentences of readCollection.
QString replacedItemSentence(QLatin1StringView kind, const QString &name, const QString &id,
                             const QString &contents, const QString &owner);
QString notAnObjectSentence(QLatin1StringView key, QLatin1StringView kind, const QString &owner);
QString notAListSentence(QLatin1StringView key, QLatin1StringView kind, const QString &owner);

namespace modeljson_detail {

// Items that hold collections of their own report into the same list.
template<typename Item>
auto readItem(Item &item, const QJsonObject &json, QStringList *dropped, int)
    -> decltype(item.fromJson(json, dropped))
{
    item.fromJson(json, dropped);
}

template<typename Item>
void readItem(Item &item, const QJsonObject &json, QStringList *, long)
{
    item.fromJson(json);
}

} // namespace modeljson_detail

// Reads one item per element of the array under key into an id-keyed collection, under the
// id each has after reading (a non-object element reads as an empty object). A later
// element with an id already present wins; the item it replaces is destroyed at once and
// the duplicate logged under the reading's operation name. What was left out goes to the
// reading's dropped list.
template<typename Item>
void readCollection(QObject *parent, const QJsonObject &json, QLatin1StringView key,
                    QHash<QString, Item *> &items, const CollectionReading &reading)
{
    const QJsonValue value = json.value(key);
    const QLatin1StringView kind = key.chopped(1); // "tables" holds tables
    if (reading.dropped && !value.isUndefined() && !value.isArray())
        reading.dropped->append(notAListSentence(key, kind, reading.owner));
    const QJsonArray array = value.toArray();
    items.reserve(items.size() + array.size());
    for (const QJsonValue &element : array) {
        if (reading.dropped && !element.isObject())
            reading.dropped->append(notAnObjectSentence(key, kind, reading.owner));
        auto *item = new Item(parent);
        modeljson_detail::readItem(*item, element.toObject(), reading.dropped, 0);
        Item *&slot = items[item->id()];
        if (slot) {
            qWarning().noquote().nospace() << reading.operation
                                           << ": duplicate id, later element wins: " << item->id();
            if (reading.dropped) {
                reading.dropped->append(replacedItemSentence(kind, slot->name(), slot->id(),
                                                             heldContents(*slot), reading.owner));
            }
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
