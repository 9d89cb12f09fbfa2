#include "modeljson.h"

#include <QUuid>

using namespace Qt::StringLiterals;

#include <algorithm>
#include <limits>

JsonShape::JsonShape(std::initializer_list<QLatin1StringView> keys)
{
    addKeys(QList<QLatin1StringView>(keys));
}

JsonShape::JsonShape(const QList<QLatin1StringView> &keys)
{
    addKeys(keys);
}

void JsonShape::addKeys(const QList<QLatin1StringView> &keys)
{
    for (QLatin1StringView key : keys)
        m_prototype.insert(key, QJsonValue());
    for (auto it = m_prototype.constBegin(); it != m_prototype.constEnd(); ++it) {
        const QString name = it.key();
        m_keys.append(*std::find_if(keys.cbegin(), keys.cend(),
                                    [&](QLatin1StringView key) { return name == key; }));
    }
}

qsizetype JsonShape::position(QLatin1StringView key) const
{
    for (qsizetype i = 0; i < m_keys.size(); ++i) {
        if (m_keys.at(i) == key)
            return i;
    }
    return -1;
}

QJsonObject JsonShape::make(std::initializer_list<std::pair<QLatin1StringView, QJsonValue>> values) const
{
    QJsonObject object = m_prototype;
    // Inserting a key the shape lacks, or removing one by assigning undefined, moves the
    // keys after it; from then on values go in by name.
    bool byName = false;
    for (const auto &[key, value] : values) {
        const qsizetype at = byName || value.isUndefined() ? -1 : position(key);
        if (at >= 0) {
            (object.begin() + at).value() = value;
        } else {
            object[key] = value;
            byName = true;
        }
    }
    return object;
}

QString newItemId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QStringList sortedIds(QStringList ids)
{
    std::sort(ids.begin(), ids.end(), [](const QString &a, const QString &b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return ids;
}

QString jsonString(const QJsonObject &object, QLatin1StringView key)
{
    return object.value(key).toString();
}

bool jsonBool(const QJsonObject &object, QLatin1StringView key, bool fallback)
{
    return object.value(key).toBool(fallback);
}

int jsonSize(const QJsonObject &object, QLatin1StringView key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return -1;
    // toInteger gives its fallback for fractions and for numbers beyond 64 bits; the
    // 64-bit minimum is out of the int range anyway.
    const qint64 number = value.toInteger(std::numeric_limits<qint64>::min());
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return -1;
    return int(number);
}

QJsonArray jsonArray(const QJsonObject &object, QLatin1StringView key)
{
    return object.value(key).toArray();
}

QStringList jsonStringList(const QJsonObject &object, QLatin1StringView key)
{
    const QJsonArray array = jsonArray(object, key);
    QStringList list;
    list.reserve(array.size());
    for (const QJsonValue &element : array)
        list.append(element.toString());
    return list;
}

void readJsonId(const QJsonObject &object, QString &id)
{
    const QJsonValue value = object.value(QLatin1StringView("id"));
    if (value.isString())
        id = value.toString();
}

QString contentCountsPhrase(std::initializer_list<ContentCount> counts)
{
    QStringList parts;
    for (const ContentCount &count : counts) {
        if (count.count > 0)
            parts.append(u"%1 %2"_s.arg(count.count).arg(QLatin1StringView(count.count == 1 ? count.one : count.many)));
    }
    if (parts.size() < 2)
        return parts.join(QString());
    const QString last = parts.takeLast();
    return parts.join(u", "_s) + u" and "_s + last;
}

QString replacedItemSentence(QLatin1StringView kind, const QString &name, const QString &id,
                             const QString &contents, const QString &owner)
{
    const QString named = name.isEmpty() ? QString() : u" \"%1\""_s.arg(name);
    QString sentence = u"The %1%2 with id \"%3\" was left out: a later %1 of %4 has the same id."_s
                           .arg(kind, named, id, owner);
    if (!contents.isEmpty())
        sentence += u" It took %1 with it."_s.arg(contents);
    return sentence;
}

QString notAnObjectSentence(QLatin1StringView key, QLatin1StringView kind, const QString &owner)
{
    return u"An entry of \"%1\" of %2 is not an object; an empty %3 was read in its place."_s
        .arg(key, owner, kind);
}

QString notAListSentence(QLatin1StringView key, QLatin1StringView kind, const QString &owner)
{
    return u"\"%1\" of %2 is not a list; no %3 was read from it."_s.arg(key, owner, kind);
}
