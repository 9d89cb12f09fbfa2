#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

namespace diagramsummary {

// A converted document in readable lines, in document order: each entity as
// "Title @x,y: name:type PK UK NN FK<n>" (NN: not nullable) with n the index of the edge its "fkEdgeId" names
// ("FK?" when no edge has it), then each edge as "E<n> From -> To start/end".
inline QStringList describe(const QJsonObject &document)
{
    const QJsonArray entities = document.value(QLatin1String("entities")).toArray();
    const QJsonArray edges = document.value(QLatin1String("edges")).toArray();
    QHash<QString, QString> titles;
    for (const QJsonValue &value : entities)
        titles.insert(value[QLatin1String("id")].toString(), value[QLatin1String("title")].toString());
    QStringList edgeIds;
    for (const QJsonValue &value : edges)
        edgeIds.append(value[QLatin1String("id")].toString());

    QStringList lines;
    for (const QJsonValue &value : entities) {
        QStringList rows;
        for (const QJsonValue &row : value[QLatin1String("attributes")].toArray()) {
            QString text = row[QLatin1String("name")].toString() + QLatin1Char(':') + row[QLatin1String("type")].toString();
            if (row[QLatin1String("isPrimaryKey")].toBool())
                text += QLatin1String(" PK");
            if (row[QLatin1String("isUniqueKey")].toBool())
                text += QLatin1String(" UK");
            if (!row[QLatin1String("nullable")].toBool(true))
                text += QLatin1String(" NN");
            if (row[QLatin1String("isForeignKey")].toBool()) {
                const int edge = int(edgeIds.indexOf(row[QLatin1String("fkEdgeId")].toString()));
                text += edge < 0 ? QStringLiteral(" FK?") : QStringLiteral(" FK%1").arg(edge);
            }
            rows.append(text);
        }
        lines.append(QStringLiteral("%1 @%2,%3: %4")
                         .arg(value[QLatin1String("title")].toString())
                         .arg(value[QLatin1String("x")].toDouble())
                         .arg(value[QLatin1String("y")].toDouble())
                         .arg(rows.join(QLatin1String(", "))));
    }
    for (int i = 0; i < edges.size(); ++i) {
        const QJsonObject edge = edges.at(i).toObject();
        lines.append(QStringLiteral("E%1 %2 -> %3 %4/%5")
                         .arg(i)
                         .arg(titles.value(edge[QLatin1String("from")].toString()),
                              titles.value(edge[QLatin1String("to")].toString()))
                         .arg(edge[QLatin1String("startCard")].toInt())
                         .arg(edge[QLatin1String("endCard")].toInt()));
    }
    return lines;
}

} // namespace diagramsummary
