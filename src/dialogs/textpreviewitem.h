#pragma once

#include <QColor>
#include <QFont>
#include <QGraphicsItem>
#include <QString>

// The sample text note of the text style dialog's previews. Its size follows the font.
class TextPreviewItem : public QGraphicsItem
{
public:
    explicit TextPreviewItem(QGraphicsItem *parent = nullptr);
    ~TextPreviewItem() override;

    QString text() const { return m_text; }
    QFont font() const { return m_font; }
    QColor color() const { return m_color; }
    void setFont(const QFont &font);
    // An invalid colour paints black.
    void setColor(const QColor &color);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget) override;

private:
    QString m_text;
    QFont m_font;
    QColor m_color = Qt::black;
};
