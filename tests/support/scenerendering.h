#pragma once

// Helpers for the tests that import into the diagram scene and export from it: readable
// summaries of a scene and a document, and a picture of the scene for a person to check.

#include "diagramitemtypes.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "erscene.h"
#include "testsupport.h"

#include <QDir>
#include <QGraphicsItem>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <QStringList>

#include <algorithm>

namespace scenetest {

inline QList<EntityItem *> entityBoxes(const QGraphicsScene &scene)
{
    QList<EntityItem *> boxes;
    const QList<QGraphicsItem *> all = scene.items();
    for (QGraphicsItem *item : all) {
        if (item->type() == DiagramItemType::EntityItem)
            boxes.append(static_cast<EntityItem *>(item));
    }
    return boxes;
}

inline QList<EdgeItem *> edgeItems(const QGraphicsScene &scene)
{
    QList<EdgeItem *> edges;
    const QList<QGraphicsItem *> all = scene.items();
    for (QGraphicsItem *item : all) {
        if (item->type() == DiagramItemType::EdgeItem)
            edges.append(static_cast<EdgeItem *>(item));
    }
    return edges;
}

inline QString describeRow(const QJsonObject &row)
{
    QString text = row.value(QStringLiteral("name")).toString() + QLatin1Char(':')
        + row.value(QStringLiteral("type")).toString();
    if (row.value(QStringLiteral("isPrimaryKey")).toBool())
        text += QLatin1String(" PK");
    if (row.value(QStringLiteral("isForeignKey")).toBool())
        text += QLatin1String(" FK");
    if (row.value(QStringLiteral("isUniqueKey")).toBool())
        text += QLatin1String(" UK");
    if (row.contains(QStringLiteral("comment")))
        text += QLatin1String(" \"") + row.value(QStringLiteral("comment")).toString() + QLatin1Char('"');
    return text;
}

// One line per entity, "Title [name:type PK "comment"; ...]", with " @x,y" when
// withPositions, then one line per edge, "From -> To start/end", "From ..> To start/end"
// when not identifying, with " : label" when labelled; all sorted so the order of the
// arrays (the scene writes the topmost item first) does not matter.
inline QStringList describeDocument(const QJsonObject &document, bool withPositions)
{
    QHash<QString, QString> titles;
    QStringList entities;
    for (const QJsonValue &value : document.value(QStringLiteral("entities")).toArray()) {
        const QJsonObject entity = value.toObject();
        titles.insert(entity.value(QStringLiteral("id")).toString(),
                      entity.value(QStringLiteral("title")).toString());
        QStringList rows;
        for (const QJsonValue &row : entity.value(QStringLiteral("attributes")).toArray())
            rows.append(describeRow(row.toObject()));
        QString line = entity.value(QStringLiteral("title")).toString();
        if (withPositions) {
            line += QStringLiteral(" @%1,%2").arg(entity.value(QStringLiteral("x")).toDouble())
                        .arg(entity.value(QStringLiteral("y")).toDouble());
        }
        entities.append(line + QLatin1String(" [") + rows.join(QLatin1String("; ")) + QLatin1Char(']'));
    }
    QStringList edges;
    for (const QJsonValue &value : document.value(QStringLiteral("edges")).toArray()) {
        const QJsonObject edge = value.toObject();
        const bool identifying = edge.value(QStringLiteral("identifying")).toBool(true);
        QString line = QStringLiteral("%1 %2 %3 %4/%5")
                           .arg(titles.value(edge.value(QStringLiteral("from")).toString(), QStringLiteral("?")),
                                identifying ? QStringLiteral("->") : QStringLiteral("..>"),
                                titles.value(edge.value(QStringLiteral("to")).toString(), QStringLiteral("?")))
                           .arg(edge.value(QStringLiteral("startCard")).toInt())
                           .arg(edge.value(QStringLiteral("endCard")).toInt());
        if (edge.contains(QStringLiteral("label")))
            line += QLatin1String(" : ") + edge.value(QStringLiteral("label")).toString();
        edges.append(line);
    }
    std::sort(entities.begin(), entities.end());
    std::sort(edges.begin(), edges.end());
    return entities + edges;
}

// Renders the scene's items on white with a margin, at twice their size so the line ends
// can be told apart, and writes the picture to the test's output folder under fileName.
// Returns the picture and the scene rectangle it shows.
inline QImage renderScene(QGraphicsScene &scene, const QString &testName, const QString &fileName,
                          QRectF *shown = nullptr)
{
    constexpr qreal margin = 40.0;
    constexpr qreal scale = 2.0;
    const QRectF source = scene.itemsBoundingRect().adjusted(-margin, -margin, margin, margin);
    QImage image((source.size() * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(image.size())), source, Qt::IgnoreAspectRatio);
    }
    image.save(QDir(testsupport::outputDir(testName)).filePath(fileName));
    if (shown)
        *shown = source;
    return image;
}

// Share of the pixels inside rect (scene coordinates) that differ from white, in a picture
// of renderScene.
inline double inkShare(const QImage &image, const QRectF &shown, const QRectF &rect)
{
    const qreal scale = image.width() / shown.width();
    const QRectF mapped((rect.topLeft() - shown.topLeft()) * scale, rect.size() * scale);
    const QRect area = mapped.toAlignedRect().intersected(image.rect());
    if (area.isEmpty())
        return 0.0;
    qint64 ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                ++ink;
        }
    }
    return double(ink) / (qint64(area.width()) * area.height());
}

} // namespace scenetest
