#include "entitypreviewitem.h"

#include "colorpresets.h"
#include "sampletable.h"

#include <QPainter>

EntityPreviewItem::EntityPreviewItem(QGraphicsItem *parent)
    : QGraphicsItem(parent)
    , m_colors(colorpresets::defaultScheme().light)
{
}

EntityPreviewItem::~EntityPreviewItem() = default;

void EntityPreviewItem::setColors(const EntityColorScheme &colors)
{
    m_colors = colors;
    update();
}

QRectF EntityPreviewItem::boundingRect() const
{
    return QRectF(0, 0, 220, 164);
}

void EntityPreviewItem::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    const QRectF box = boundingRect();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(QPen(m_colors.border, 2));
    painter->setBrush(m_colors.background);
    painter->drawRoundedRect(box, 8, 8);

    painter->setPen(QPen(m_colors.border, 1));
    painter->drawLine(QPointF(box.left(), box.top() + 32), QPointF(box.right(), box.top() + 32));

    painter->setPen(m_colors.text);
    const QFont base = painter->font();
    QFont title = base;
    title.setWeight(QFont::Bold);
    if (base.pointSizeF() > 0)
        title.setPointSizeF(base.pointSizeF() + 1);
    painter->setFont(title);
    painter->drawText(QRectF(box.left(), box.top(), box.width(), 32), Qt::AlignCenter,
                      QString::fromLatin1(sampletable::Title));

    QFont rowFont = base;
    rowFont.setWeight(QFont::Normal);
    rowFont.setStyle(QFont::StyleNormal);
    rowFont.setPointSizeF(qMax(base.pointSizeF() - 1, 8.0));
    QFont keyFont = rowFont;
    keyFont.setWeight(QFont::Bold);
    QFont typeFont = rowFont;
    typeFont.setStyle(QFont::StyleItalic);

    const double x = box.left() + 12;
    const double y = box.top() + 40;
    const double width = box.width() - 24;
    for (int i = 0; i < sampletable::RowCount; ++i) {
        const double rowTop = y + 22 * i;
        painter->setFont(i == 0 ? keyFont : rowFont);
        painter->drawText(QRectF(x, rowTop, width - 80, 22), Qt::AlignLeft | Qt::AlignVCenter,
                          QString::fromLatin1(sampletable::Rows[i].name));
        painter->setFont(typeFont);
        painter->drawText(QRectF(x + width - 80, rowTop, 80, 22),
                          Qt::AlignRight | Qt::AlignVCenter,
                          QString::fromLatin1(sampletable::Rows[i].type));
    }
}
