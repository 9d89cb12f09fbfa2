#pragma once

// A picture of a diagram scene as the render_diagram tool makes it: the items with a margin
// of 40 units on a transparent background, antialiased, scaled down to fit maxSize pixels.

#include <QGraphicsScene>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace scenepicture {

constexpr qreal Margin = 40.0;

// The picture and, in *shown, the scene rectangle it shows.
inline QImage renderDiagram(QGraphicsScene &scene, int maxSize, QRectF *shown = nullptr)
{
    const QRectF source = scene.itemsBoundingRect().adjusted(-Margin, -Margin, Margin, Margin);
    const double scale = std::min(1.0, maxSize / std::max(source.width(), source.height()));
    const QSize size(std::clamp(int(std::ceil(source.width() * scale)), 1, maxSize),
                     std::clamp(int(std::ceil(source.height() * scale)), 1, maxSize));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), source, Qt::IgnoreAspectRatio);
    painter.end();
    if (shown)
        *shown = source;
    return image;
}

} // namespace scenepicture
