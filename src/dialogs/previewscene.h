#pragma once

#include "thememanager.h"

#include <QGraphicsScene>

#include <initializer_list>

QT_BEGIN_NAMESPACE
class QGraphicsView;
QT_END_NAMESPACE

// The background of a style dialog's live preview: the theme's background colour with a
// grid of 16 in its grid colour, shown the same whatever theme the window is in.
class PreviewScene : public QGraphicsScene
{
    Q_OBJECT

public:
    PreviewScene(const QRectF &sceneRect, ThemeKind theme, QObject *parent);
    ~PreviewScene() override;

    QColor gridColor() const { return m_gridColor; }
    void setGridColor(const QColor &color);

    // Shows the scene in view with the preview look of its theme.
    void showIn(QGraphicsView *view);

    // Fits each view that shows a scene to that scene, keeping the aspect ratio.
    static void fitViews(std::initializer_list<QGraphicsView *> views);

protected:
    void drawBackground(QPainter *painter, const QRectF &rect) override;

private:
    ThemeKind m_theme;
    QColor m_gridColor = QColor(0xE1, 0xE1, 0xE1);
};
