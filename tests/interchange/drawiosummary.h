#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// One line per entity and per edge of an imported document, so tests can state a whole
// expected import at a glance:
//   "Title @x,y [view] [name:type PK FK UK; ...]"
//   "From -> To start/end "label"" ("..>" for a relationship that is not identifying)
// Edges name their ends by title, since the ids of an import are fresh each time.
inline QStringList summarizeDrawioDocument(const QJsonObject &document)
{
    QStringList lines;
    QHash<QString, QString> titleById;
    for (const QJsonValue &value : document.value(QLatin1String("entities")).toArray()) {
        const QJsonObject entity = value.toObject();
        titleById.insert(entity.value(QLatin1String("id")).toString(),
                         entity.value(QLatin1String("title")).toString());
        QStringList rows;
        for (const QJsonValue &rowValue : entity.value(QLatin1String("attributes")).toArray()) {
            const QJsonObject row = rowValue.toObject();
            QString text = row.value(QLatin1String("name")).toString() + QLatin1Char(':')
                           + row.value(QLatin1String("type")).toString();
            if (row.value(QLatin1String("isPrimaryKey")).toBool())
                text += QLatin1String(" PK");
            if (row.value(QLatin1String("isForeignKey")).toBool())
                text += QLatin1String(" FK");
            if (row.value(QLatin1String("isUniqueKey")).toBool())
                text += QLatin1String(" UK");
            rows.append(text);
        }
        QString line = entity.value(QLatin1String("title")).toString() + QLatin1String(" @")
                       + QString::number(entity.value(QLatin1String("x")).toDouble()) + QLatin1Char(',')
                       + QString::number(entity.value(QLatin1String("y")).toDouble());
        if (entity.value(QLatin1String("kind")).toString() == QLatin1String("entity-view"))
            line += QLatin1String(" view");
        line += QLatin1String(" [") + rows.join(QLatin1String("; ")) + QLatin1Char(']');
        lines.append(line);
    }
    for (const QJsonValue &value : document.value(QLatin1String("edges")).toArray()) {
        const QJsonObject edge = value.toObject();
        QString line = titleById.value(edge.value(QLatin1String("from")).toString(), QStringLiteral("?"))
                       + (edge.value(QLatin1String("identifying")).toBool(true) ? QLatin1String(" -> ")
                                                                                 : QLatin1String(" ..> "))
                       + titleById.value(edge.value(QLatin1String("to")).toString(), QStringLiteral("?"))
                       + QLatin1Char(' ') + QString::number(edge.value(QLatin1String("startCard")).toInt())
                       + QLatin1Char('/') + QString::number(edge.value(QLatin1String("endCard")).toInt());
        if (edge.contains(QLatin1String("label")))
            line += QLatin1String(" \"") + edge.value(QLatin1String("label")).toString() + QLatin1Char('"');
        lines.append(line);
    }
    return lines;
}
