#include "columnrowmatcher.h"

ColumnRowMatcher::ColumnRowMatcher(const QList<ModelColumnRow> &rows)
    : m_taken(rows.size(), false)
{
    m_byId.reserve(rows.size());
    m_byName.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const ModelColumnRow &row = rows.at(i);
        if (!row.columnId.isEmpty())
            m_byId[row.columnId].append(i);
        if (!row.name.isEmpty())
            m_byName[row.name].append(i);
    }
}

int ColumnRowMatcher::take(const QString &columnId, const QString &name)
{
    int index = -1;
    if (!columnId.isEmpty())
        index = takeFirstFree(m_byId.value(columnId));
    if (index < 0 && !name.isEmpty())
        index = takeFirstFree(m_byName.value(name));
    return index;
}

int ColumnRowMatcher::takeFirstFree(const QList<int> &candidates)
{
    for (int index : candidates) {
        if (!m_taken.at(index)) {
            m_taken[index] = true;
            return index;
        }
    }
    return -1;
}
