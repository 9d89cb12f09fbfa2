#pragma once

#include <QRandomGenerator64>
#include <QString>

// Ids for the entities and edges of one imported document, in the form
// QUuid::createUuid().toString(QUuid::WithoutBraces) gives: random (version 4), lower-case
// hex. The system source is asked once for a seed, not once per id: on an import of a
// million names that was a large share of the time.
class ImportIdSource
{
public:
    ImportIdSource()
    {
        quint32 seed[8];
        QRandomGenerator::system()->fillRange(seed);
        random_ = QRandomGenerator64(seed);
    }

    QString next()
    {
        // One call for both halves: each call into the generator costs as much as the rest.
        quint64 bits[2];
        random_.fillRange(bits);
        const quint64 high = bits[0];
        const quint64 low = bits[1];
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

private:
    QRandomGenerator64 random_;
};
