#pragma once

#include <QList>
#include <QStringList>

// The names of model items in list order; absent entries skipped.
template<typename Item>
QStringList namesOf(const QList<Item *> &items)
{
    QStringList names;
    names.reserve(items.size());
    for (const Item *item : items) {
        if (item)
            names.append(item->name());
    }
    return names;
}
