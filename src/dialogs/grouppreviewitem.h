#pragma once

#include <QColor>
#include <QGraphicsItem>

// The sample group frame "group_1" of the group style dialog's previews. Invalid colours
// paint in fixed stand-ins, so a cleared editor still shows a frame.
class GroupPreviewItem : public QGraphicsItem
{
public:
    explicit GroupPreviewItem(QGraphicsItem *parent = nullptr);
    ~GroupPreviewItem() override;

    QColor fill() const { return m_fill; }
    QColor border() const { return m_border; }
    QColor text() const { return m_text; }
    void setColors(const QColor &fill, const QColor &border, const QColor &text);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget) override;

private:
    QColor m_fill;
    QColor m_border;
    QColor m_text;
};
