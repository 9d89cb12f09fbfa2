#pragma once

#include "mermaidreader.h"

#include <QStringList>

// Compact, readable forms of the reader's records, so test tables can state them by hand:
//   entity        "NAME" or "NAME[Alias]", then " {type name PK FK UK "comment"; ...}" when
//                 it has rows
//   relationship  "FROM 0-3 TO : label" ("0..3" when not identifying), named by the entity
//                 names its indices point at
namespace mermaidtest {

inline QString describeEntity(const MermaidEntity &entity)
{
    QString out = entity.name;
    if (entity.alias != entity.name)
        out += QLatin1Char('[') + entity.alias + QLatin1Char(']');
    if (entity.attributes.isEmpty())
        return out;
    QStringList rows;
    for (const MermaidAttribute &a : entity.attributes) {
        QString row = a.type + QLatin1Char(' ') + a.name;
        if (a.isPrimaryKey)
            row += QLatin1String(" PK");
        if (a.isForeignKey)
            row += QLatin1String(" FK");
        if (a.isUniqueKey)
            row += QLatin1String(" UK");
        if (!a.comment.isEmpty())
            row += QLatin1String(" \"") + a.comment + QLatin1Char('"');
        rows.append(row);
    }
    return out + QLatin1String(" {") + rows.join(QLatin1String("; ")) + QLatin1Char('}');
}

inline QStringList describeEntities(const QList<MermaidEntity> &entities)
{
    QStringList out;
    for (const MermaidEntity &entity : entities)
        out.append(describeEntity(entity));
    return out;
}

inline QStringList describeRelationships(const QList<MermaidEntity> &entities,
                                         const QList<MermaidRelationship> &relationships)
{
    QStringList out;
    for (const MermaidRelationship &r : relationships) {
        const QString from = r.fromEntity >= 0 && r.fromEntity < entities.size()
                                 ? entities.at(r.fromEntity).name
                                 : QStringLiteral("?");
        const QString to = r.toEntity >= 0 && r.toEntity < entities.size()
                               ? entities.at(r.toEntity).name
                               : QStringLiteral("?");
        QString line = QStringLiteral("%1 %2%3%4 %5")
                           .arg(from)
                           .arg(r.startCard)
                           .arg(r.identifying ? QStringLiteral("-") : QStringLiteral(".."))
                           .arg(r.endCard)
                           .arg(to);
        if (!r.label.isEmpty())
            line += QLatin1String(" : ") + r.label;
        out.append(line);
    }
    return out;
}

} // namespace mermaidtest
