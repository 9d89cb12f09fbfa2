#pragma once

#include <QJsonObject>
#include <QLatin1String>
#include <QList>

// Objects with one set of keys, made from a prepared object: a copy shares its keys and
// has each value set in place. QJsonObject::insert searches and shifts the keys each time,
// which was most of the time a reader spent building the objects of many entities.
class JsonObjectShape
{
public:
    // keys[i] is in the shape when bit i of present is set.
    explicit JsonObjectShape(const QList<QLatin1String> &keys, quint32 present = ~0u)
    {
        for (int i = 0; i < keys.size(); ++i) {
            if (present & (1u << i))
                prototype_.insert(keys.at(i), QJsonValue());
        }
        for (int i = 0; i < keys.size(); ++i) {
            places_.append(present & (1u << i)
                               ? prototype_.constFind(keys.at(i)) - prototype_.constBegin()
                               : -1);
        }
    }

    QJsonObject object() const { return prototype_; }

    // The value of keys[key] in an object made by object(); the key must be present.
    QJsonValueRef value(QJsonObject &object, int key) const
    {
        return object.begin()[places_.at(key)];
    }

private:
    QJsonObject prototype_;
    QList<qsizetype> places_;
};
