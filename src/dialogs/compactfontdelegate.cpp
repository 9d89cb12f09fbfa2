#include "compactfontdelegate.h"

#include <QPainter>

CompactFontDelegate::CompactFontDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{
}

CompactFontDelegate::~CompactFontDelegate() = default;

void CompactFontDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    painter->save();
    if (opt.state & QStyle::State_Selected) {
        painter->fillRect(opt.rect, opt.palette.highlight());
        painter->setPen(opt.palette.color(QPalette::HighlightedText));
    } else {
        painter->setPen(opt.palette.color(QPalette::Text));
    }
    QFont font(opt.text);
    font.setPixelSize(14);
    painter->setFont(font);
    painter->setClipRect(opt.rect);
    painter->drawText(opt.rect.adjusted(8, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter, opt.text);
    painter->restore();
}

QSize CompactFontDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width(), RowHeight);
}
