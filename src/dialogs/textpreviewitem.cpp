#include "textpreviewitem.h"

#include <QFontMetricsF>
#include <QPainter>

TextPreviewItem::TextPreviewItem(QGraphicsItem *parent)
    : QGraphicsItem(parent)
    , m_text(QStringLiteral("Sample text"))
    , m_font(QStringLiteral("JetBrains Mono"), 12)
{
}

TextPreviewItem::~TextPreviewItem() = default;

void TextPreviewItem::setFont(const QFont &font)
{
    prepareGeometryChange();
    m_font = font;
}

void TextPreviewItem::setColor(const QColor &color)
{
    m_color = color;
    update();
}

QRectF TextPreviewItem::boundingRect() const
{
    const QFontMetricsF metrics(m_font);
    return QRectF(0, 0, qMax(metrics.horizontalAdvance(m_text) + 16, 120.0),
                  qMax(metrics.height() + 10, 28.0));
}

void TextPreviewItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    painter->setFont(m_font);
    painter->setPen(m_color.isValid() ? m_color : QColor(Qt::black));
    painter->drawText(boundingRect(), Qt::AlignLeft | Qt::AlignVCenter, m_text);
}
