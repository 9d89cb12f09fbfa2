#include "generatednames.h"

#include <QSet>

QString uniqueGeneratedName(const QString &base, const QStringList &taken)
{
    QSet<QString> folded;
    folded.reserve(taken.size());
    for (const QString &name : taken)
        folded.insert(name.toCaseFolded());
    if (!folded.contains(base.toCaseFolded()))
        return base;
    for (int n = 2;; ++n) {
        const QString candidate = base + QLatin1Char('_') + QString::number(n);
        if (!folded.contains(candidate.toCaseFolded()))
            return candidate;
    }
}
