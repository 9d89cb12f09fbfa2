#pragma once

#include <QStyledItemDelegate>

// Paints each font family of a font list in its own face at a fixed pixel size, in rows
// of one height, so the list stays compact whatever the fonts' metrics.
class CompactFontDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit CompactFontDelegate(QObject *parent = nullptr);
    ~CompactFontDelegate() override;

    static constexpr int RowHeight = 26;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
