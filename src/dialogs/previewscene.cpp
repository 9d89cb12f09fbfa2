#include "previewscene.h"

#include <QGraphicsView>
#include <QPainter>

#include <cmath>

PreviewScene::PreviewScene(const QRectF &sceneRect, ThemeKind theme, QObject *parent)
    : QGraphicsScene(sceneRect, parent)
    , m_theme(theme)
{
    const ThemePalette palette = theme == ThemeKind::Dark ? ThemeManager::darkColors()
                                                          : ThemeManager::lightColors();
    setBackgroundBrush(palette.background);
    m_gridColor = palette.grid;
}

PreviewScene::~PreviewScene() = default;

void PreviewScene::setGridColor(const QColor &color)
{
    m_gridColor = color;
    update();
}

void PreviewScene::showIn(QGraphicsView *view)
{
    view->setScene(this);
    view->setRenderHint(QPainter::Antialiasing, true);
    view->setInteractive(false);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setAlignment(Qt::AlignCenter);
    view->viewport()->setAutoFillBackground(true);
    view->setStyleSheet(m_theme == ThemeKind::Dark
                            ? QStringLiteral("QGraphicsView { background: #1A1A1A; border: 1px solid #3C3F41; }")
                            : QStringLiteral("QGraphicsView { background: #FFFFFF; border: 1px solid #D4D4D4; }"));
}

void PreviewScene::fitViews(std::initializer_list<QGraphicsView *> views)
{
    for (QGraphicsView *view : views) {
        if (view && view->scene())
            view->fitInView(view->sceneRect(), Qt::KeepAspectRatio);
    }
}

void PreviewScene::drawBackground(QPainter *painter, const QRectF &rect)
{
    painter->fillRect(rect, backgroundBrush());
    painter->setPen(QPen(m_gridColor, 1, Qt::SolidLine));
    constexpr double Step = 16.0;
    const int top = int(rect.top());
    const int bottom = int(rect.bottom());
    const int left = int(rect.left());
    const int right = int(rect.right());
    for (double x = std::floor(rect.left() / Step) * Step; x < rect.right(); x += Step)
        painter->drawLine(int(x), top, int(x), bottom);
    for (double y = std::floor(rect.top() / Step) * Step; y < rect.bottom(); y += Step)
        painter->drawLine(left, int(y), right, int(y));
}
