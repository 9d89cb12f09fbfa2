#pragma once

#include "entitycolorscheme.h"

#include <QWidget>

// The sample table of the entity colour dialog, drawn over a grid. Too small a widget
// shows only the grid.
class EntityColorPreviewWidget : public QWidget
{
    Q_OBJECT

public:
    explicit EntityColorPreviewWidget(QWidget *parent = nullptr);
    ~EntityColorPreviewWidget() override;

    EntityColorScheme colors() const { return m_colors; }
    void setColors(const EntityColorScheme &colors);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintTable(QPainter &painter) const;

    EntityColorScheme m_colors;
};
