#pragma once

#include "modelcolumnrow.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

// Pairs rows of an entity box (or attributes of a stored one) with the table's column
// rows, each column row taken at most once: by column id first, then by the exact
// name, always the first untaken one in column order. Lookups are hashed, so pairing a
// whole box costs about one pass over its rows.
class ColumnRowMatcher
{
public:
    explicit ColumnRowMatcher(const QList<ModelColumnRow> &rows);

    // The index of the row taken for a column id and a name, or -1.
    int take(const QString &columnId, const QString &name);
    bool isTaken(int index) const { return m_taken.value(index, false); }

private:
    int takeFirstFree(const QList<int> &candidates);

    QHash<QString, QList<int>> m_byId;
    QHash<QString, QList<int>> m_byName;
    QVector<bool> m_taken;
};
