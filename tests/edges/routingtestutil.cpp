#include "routingtestutil.h"

#include "routescoring.h"

#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace routingtest {

namespace {

QRectF randomBox(SeededRandom &random, const QRectF &area)
{
    if (random.chance(0.04)) {
        // Degenerate boxes: tiny, flat, or of no size at all.
        const double w = random.chance(0.5) ? 0 : random.uniform(0, 4);
        const double h = random.chance(0.5) ? 0 : random.uniform(0, 4);
        return QRectF(random.uniform(area.left(), area.right()), random.uniform(area.top(), area.bottom()), w, h);
    }
    const double w = random.uniform(20, 220);
    const double h = random.uniform(12, 160);
    return QRectF(random.uniform(area.left(), area.right() - w), random.uniform(area.top(), area.bottom() - h), w, h);
}

} // namespace

Layout randomLayout(SeededRandom &random)
{
    const QRectF near(0, 0, 900, 700);
    Layout layout;
    layout.fromRect = randomBox(random, near);
    layout.toRect = randomBox(random, near);
    const int count = 2 + random.below(12);
    for (int i = 0; i < count; ++i)
        layout.obstacles.append(routing::insetObstacleRect(randomBox(random, near)));
    if (random.chance(0.5)) {
        // Boxes in the band around the pair where the cut draws its line.
        const QRectF pair = layout.fromRect.normalized() | layout.toRect.normalized();
        for (int i = 0; i < 10; ++i) {
            const double reach = random.uniform(0, 150);
            const QRectF box = randomBox(random, QRectF(0, 0, 160, 120));
            QPointF at;
            switch (random.below(4)) {
            case 0:
                at = QPointF(random.uniform(pair.left() - 150, pair.right()), pair.top() - reach - box.height());
                break;
            case 1:
                at = QPointF(random.uniform(pair.left() - 150, pair.right()), pair.bottom() + reach);
                break;
            case 2:
                at = QPointF(pair.left() - reach - box.width(), random.uniform(pair.top() - 150, pair.bottom()));
                break;
            default:
                at = QPointF(pair.right() + reach, random.uniform(pair.top() - 150, pair.bottom()));
                break;
            }
            layout.obstacles.append(routing::insetObstacleRect(QRectF(at, box.size())));
        }
    }
    if (random.chance(0.5)) {
        const QRectF far(-3000, -3000, 7000, 7000);
        for (int i = 0; i < 40; ++i)
            layout.obstacles.append(routing::insetObstacleRect(randomBox(random, far)));
    }
    return layout;
}

QString sideName(routing::EntitySide side)
{
    switch (side) {
    case routing::LeftSide:
        return QStringLiteral("left");
    case routing::RightSide:
        return QStringLiteral("right");
    case routing::TopSide:
        return QStringLiteral("top");
    case routing::BottomSide:
        return QStringLiteral("bottom");
    default:
        return QString::number(side);
    }
}

QImage renderSidePairSheet(const QString &title, const QRectF &fromRect, const QRectF &toRect,
                           const QList<QRectF> &obstacles, const QList<PairRoute> &routes)
{
    constexpr int PanelWidth = 340;
    constexpr int PanelHeight = 280;
    constexpr int Header = 28;
    constexpr int Caption = 20;

    QRectF world = fromRect.normalized() | toRect.normalized();
    world |= QRectF(fromRect.normalized().topLeft(), QSizeF(0.01, 0.01));
    world |= QRectF(toRect.normalized().topLeft(), QSizeF(0.01, 0.01));
    for (const QRectF &o : obstacles)
        world |= o.normalized();
    for (const PairRoute &pair : routes) {
        for (const QPointF &p : pair.route)
            world |= QRectF(p, QSizeF(0.01, 0.01));
    }
    world.adjust(-60, -60, 60, 60);
    const double scale = std::min((PanelWidth - 16) / world.width(), (PanelHeight - Caption - 16) / world.height());

    QImage image(PanelWidth * 4, Header + PanelHeight * 4, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.drawText(QRectF(8, 0, image.width() - 16, Header), Qt::AlignVCenter | Qt::AlignLeft, title);

    for (int i = 0; i < routes.size() && i < 16; ++i) {
        const PairRoute &pair = routes.at(i);
        const QRectF panel((i % 4) * PanelWidth, Header + (i / 4) * PanelHeight, PanelWidth, PanelHeight);
        painter.save();
        painter.setPen(QColor(0xdd, 0xdd, 0xdd));
        painter.drawRect(panel.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(Qt::black);
        painter.drawText(panel.adjusted(6, 2, -6, 0).topLeft() + QPointF(0, 14),
                         sideName(pair.sides.from) + QStringLiteral(" \u2192 ") + sideName(pair.sides.to)
                             + (pair.route.isEmpty() ? QStringLiteral("   (no route)")
                                                     : QStringLiteral("   %1 bends").arg(routing::countBends(pair.route))));

        painter.translate(panel.left() + 8, panel.top() + Caption + 8);
        painter.scale(scale, scale);
        painter.translate(-world.topLeft());

        QPen outline(QColor(0x55, 0x55, 0x55), 0);
        painter.setPen(outline);
        painter.setBrush(QColor(0xcc, 0xcc, 0xcc));
        for (const QRectF &o : obstacles)
            painter.drawRect(o);
        painter.setBrush(QColor(0xbb, 0xd5, 0xf5));
        painter.drawRect(fromRect);
        painter.setBrush(QColor(0xc5, 0xeb, 0xc0));
        painter.drawRect(toRect);

        if (!pair.route.isEmpty()) {
            QPen line(QColor(0xc0, 0x20, 0x20), 2);
            line.setCosmetic(true);
            painter.setPen(line);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(routing::buildRoundedPath(pair.route, 10));
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0x20, 0x40, 0xc0));
            const double dot = 3 / scale;
            painter.drawEllipse(pair.route.first(), dot, dot);
            painter.setBrush(QColor(0x20, 0x90, 0x30));
            painter.drawEllipse(pair.route.last(), dot, dot);
        }
        painter.restore();
    }
    return image;
}

QString routeToText(const routing::Route &route)
{
    QStringList points;
    for (const QPointF &p : route) {
        points << QString::number(p.x(), 'g', QLocale::FloatingPointShortest) + QLatin1Char(' ')
                + QString::number(p.y(), 'g', QLocale::FloatingPointShortest);
    }
    return points.join(QLatin1String(", "));
}

} // namespace routingtest
