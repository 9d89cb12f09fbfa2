#pragma once

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringView>

// Strings mapped to int values, for tables of up to millions of keys such as the ids of a
// drawing or the names of a text. QHash compares the text of every key it probes, and on
// large tables every such comparison is a cache miss; here a probe reads one word holding
// part of the key's hash and the key's number, and a key's text is read only when that
// part matches. Keys are hashed with QHash's seeded function, so crafted keys cannot make
// every probe collide.
class StringTable
{
public:
    void reserve(qsizetype count)
    {
        keys_.reserve(count);
        hashes_.reserve(count);
        values_.reserve(count);
        if (count * 2 > slots_.size())
            rebuild(capacityFor(count));
    }

    qsizetype size() const { return keys_.size(); }

    // The value of key; when key is not in the table yet it is added with value first.
    int &insertIfAbsent(const QString &key, int value, bool *added = nullptr)
    {
        return insertIfAbsent(key, hashOf(key), value, added);
    }

    // The same, with the key's hash made beforehand by hashOf(), as on another thread.
    int &insertIfAbsent(const QString &key, size_t hash, int value, bool *added = nullptr)
    {
        if ((keys_.size() + 1) * 2 > slots_.size())
            rebuild(capacityFor(keys_.size() + 1));
        qsizetype slot = qsizetype(hash) & mask();
        for (;; slot = (slot + 1) & mask()) {
            const quint64 entry = slots_.at(slot);
            if (entry == 0)
                break;
            if (tagOf(entry) == tagOf(hash) && keys_.at(indexOf(entry)) == key) {
                if (added)
                    *added = false;
                return values_[indexOf(entry)];
            }
        }
        slots_[slot] = makeEntry(hash, keys_.size());
        keys_.append(key);
        hashes_.append(hash);
        values_.append(value);
        if (added)
            *added = true;
        return values_.last();
    }

    // The value of key, or null when key is not in the table.
    const int *find(QStringView key) const { return find(key, hashOf(key)); }

    // The same, with the key's hash made beforehand by hashOf().
    const int *find(QStringView key, size_t hash) const
    {
        if (slots_.isEmpty())
            return nullptr;
        for (qsizetype slot = qsizetype(hash) & mask();; slot = (slot + 1) & mask()) {
            const quint64 entry = slots_.at(slot);
            if (entry == 0)
                return nullptr;
            if (tagOf(entry) == tagOf(hash) && keys_.at(indexOf(entry)) == key)
                return &values_.at(indexOf(entry));
        }
    }

    int value(QStringView key, int fallback) const
    {
        const int *found = find(key);
        return found ? *found : fallback;
    }

    bool contains(QStringView key) const { return find(key) != nullptr; }

    static size_t hashOf(QStringView key) { return qHash(key, QHashSeed::globalSeed()); }

    // Asks for the slot a key of this hash probes first, to be read a while later: on a
    // large table nearly every probe misses the cache.
    void prefetch(size_t hash) const
    {
        if (!slots_.isEmpty())
            __builtin_prefetch(slots_.constData() + (qsizetype(hash) & mask()));
    }

private:
    static quint32 tagOf(quint64 value) { return quint32(value >> 32); }
    static quint64 makeEntry(size_t hash, qsizetype index)
    {
        return (quint64(tagOf(hash)) << 32) | quint64(index + 1);
    }
    static qsizetype indexOf(quint64 entry) { return qsizetype(entry & 0xffffffffu) - 1; }
    static qsizetype capacityFor(qsizetype count)
    {
        qsizetype capacity = 16;
        while (capacity < count * 2)
            capacity *= 2;
        return capacity;
    }
    qsizetype mask() const { return slots_.size() - 1; }

    void rebuild(qsizetype capacity)
    {
        slots_.fill(0, capacity);
        for (qsizetype i = 0; i < keys_.size(); ++i) {
            qsizetype slot = qsizetype(hashes_.at(i)) & mask();
            while (slots_.at(slot) != 0)
                slot = (slot + 1) & mask();
            slots_[slot] = makeEntry(hashes_.at(i), i);
        }
    }

    QList<quint64> slots_;
    QList<QString> keys_;
    QList<size_t> hashes_;
    QList<int> values_;
};
