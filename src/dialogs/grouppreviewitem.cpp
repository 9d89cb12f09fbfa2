#include "grouppreviewitem.h"

#include <QPainter>

GroupPreviewItem::GroupPreviewItem(QGraphicsItem *parent)
    : QGraphicsItem(parent)
{
}

GroupPreviewItem::~GroupPreviewItem() = default;

void GroupPreviewItem::setColors(const QColor &fill, const QColor &border, const QColor &text)
{
    m_fill = fill;
    m_border = border;
    m_text = text;
    update();
}

QRectF GroupPreviewItem::boundingRect() const
{
    return QRectF(0, 0, 220, 150);
}

void GroupPreviewItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(m_border.isValid() ? m_border : QColor(90, 90, 90), 1.5, Qt::SolidLine));
    painter->setBrush(m_fill.isValid() ? m_fill : QColor(200, 200, 200, 90));
    painter->drawRoundedRect(boundingRect(), 2, 2);

    QFont title(QStringLiteral("JetBrains Mono"), 10);
    title.setWeight(QFont::Bold);
    painter->setFont(title);
    painter->setPen(m_text.isValid() ? m_text : QColor(Qt::black));
    painter->drawText(QRectF(8, 4, 200, 22), Qt::AlignLeft | Qt::AlignVCenter,
                      QStringLiteral("group_1"));
}
