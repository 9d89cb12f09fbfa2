#pragma once

#include <QRandomGenerator64>
#include <QString>

// Ids for the entities and edges of one imported document, in the form
// QUuid::createUuid().toString(QUuid::WithoutBraces) gives: random (version 4), lower-case
// hex. The system source is asked once for a seed, not once per id: on an import of a
// million names that was a large share of the time.

// An id's random bits: a text of a million entities keeps these instead of a million
// strings, and makes each text when it is written.
struct ImportId
{
    quint64 high = 0;
    quint64 low = 0;

    QString toString() const
    {
        static const char16_t digits[] = u"0123456789abcdef";
        QString id(36, Qt::Uninitialized);
        char16_t *out = reinterpret_cast<char16_t *>(id.data());
        const auto put = [&out](quint64 bits, int nibbles) {
            for (int shift = (nibbles - 1) * 4; shift >= 0; shift -= 4)
                *out++ = digits[(bits >> shift) & 0xf];
        };
        put(high >> 32, 8);
        *out++ = u'-';
        put(high >> 16, 4);
        *out++ = u'-';
        put((high & 0x0fff) | 0x4000, 4); // version 4
        *out++ = u'-';
        put(((low >> 48) & 0x3fff) | 0x8000, 4); // the variant QUuid uses
        *out++ = u'-';
        put(low, 12);
        return id;
    }
};

class ImportIdSource
{
public:
    ImportIdSource()
    {
        quint32 seed[8];
        QRandomGenerator::system()->fillRange(seed);
        random_ = QRandomGenerator64(seed);
    }

    ImportId nextId()
    {
        // One call for both halves: each call into the generator costs as much as the rest.
        quint64 bits[2];
        random_.fillRange(bits);
        return ImportId{bits[0], bits[1]};
    }

    QString next() { return nextId().toString(); }

private:
    QRandomGenerator64 random_;
};
