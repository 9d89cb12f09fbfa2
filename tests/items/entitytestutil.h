#pragma once

// Small helpers shared by the entity box tests: build boxes with rows, and paint a box
// on its own into an image.

#include "entityitem.h"
#include "singlelinetextitem.h"

#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QStyleOptionGraphicsItem>

namespace entitytest {

struct Row
{
    QString name;
    QString type;
    bool pk = false;
    bool uk = false;
    bool fk = false;
};

inline EntityItem *addBox(QGraphicsScene *scene, const QString &title, const QList<Row> &rows,
                          const QPointF &pos = QPointF(), bool view = false)
{
    auto *box = new EntityItem(title, QSizeF(150, 70));
    if (view)
        box->setKind(EntityKind::View);
    if (scene)
        scene->addItem(box);
    box->setPos(pos);
    for (const Row &row : rows)
        box->addAttributeRow(row.name, row.type, row.pk, row.uk, row.fk, false);
    return box;
}

inline QStringList names(const EntityItem *box)
{
    QStringList result;
    for (const EntityItem::Attribute &a : box->attributes)
        result.append(a.name);
    return result;
}

// The box alone (no cells), at scale 1, with a margin of 10 around its rectangle,
// on a magenta background so that untouched pixels are easy to tell.
inline QImage paintBox(EntityItem *box, bool selected)
{
    const QRectF r = box->rect;
    QImage image(int(r.width()) + 20, int(r.height()) + 20, QImage::Format_ARGB32);
    image.fill(QColor(255, 0, 255));
    QPainter painter(&image);
    painter.translate(10, 10);
    QStyleOptionGraphicsItem option;
    if (selected)
        option.state |= QStyle::State_Selected;
    box->paint(&painter, &option, nullptr);
    painter.end();
    return image;
}

// The pixel at (x, y) of the box's rectangle in an image made by paintBox.
inline QColor pixelAt(const QImage &image, qreal x, qreal y)
{
    return image.pixelColor(int(x) + 10, int(y) + 10);
}

} // namespace entitytest
