#pragma once

#include "entitycolorscheme.h"

#include <QGraphicsItem>

// The sample table of the colours dialog's previews: a rounded box with a title band and
// four rows, in one theme's colours. The title band shows the body's fill.
class EntityPreviewItem : public QGraphicsItem
{
public:
    explicit EntityPreviewItem(QGraphicsItem *parent = nullptr);
    ~EntityPreviewItem() override;

    EntityColorScheme colors() const { return m_colors; }
    void setColors(const EntityColorScheme &colors);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option,
               QWidget *widget) override;

private:
    EntityColorScheme m_colors;
};
