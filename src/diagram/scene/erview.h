#pragma once

#include <QByteArray>
#include <QEvent>
#include <QGraphicsView>
#include <QPointF>

class SingleLineTextItem;

// MIME type of the payload the model explorer writes when its items are dragged.
inline constexpr char ExplorerMimeType[] = "application/x-velmora-explorer";

// The view of the diagram scene: zoom within fixed limits, pan with the middle button,
// clicks and moves reported in scene coordinates, the window's placement modes with
// their cursor, and drops from the model explorer. Tab and Backtab reach the in-place
// editor that has the scene's focus instead of moving focus between widgets.
class ERView : public QGraphicsView
{
    Q_OBJECT

public:
    explicit ERView(QWidget *parent = nullptr);

    void setAddTableMode(bool on);
    void setAddViewMode(bool on);
    void setAddRelationshipMode(bool on);
    void setAddTextMode(bool on);
    void setAddGroupMode(bool on);
    bool isAnyModeActive() const;
    void updateModeCursor();

    void applyZoom();
    // Non-finite factors are ignored.
    void zoomBy(double factor);

    double zoomFactor = 1.0;
    bool addTableMode = false;
    bool addViewMode = false;
    bool addRelationshipMode = false;
    bool addTextMode = false;
    bool addGroupMode = false;
    double minZoomFactor = 0.1;
    double maxZoomFactor = 4.0;
    double wheelZoomBase = 1.0015;

signals:
    void sceneClicked(QPointF scenePos, Qt::MouseButton button);
    void sceneMouseMoved(QPointF scenePos);
    void zoomChanged(double value);
    void escapePressed();
    void explorerDropRequested(QByteArray payload, QPointF scenePos);

public slots:
    void zoomIn();
    void zoomOut();
    void resetZoom();
    // Fits every item with a margin; the zoom it gives is not clamped.
    void fitAll();
    // Fits bounds keeping the aspect ratio, unclamped like fitAll; an empty or
    // non-finite rectangle is ignored.
    void fitRect(const QRectF &bounds);
    // Clamped to the limits; non-finite values are ignored.
    void setZoom(double value);

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // The scene's focus item when it is an in-place editor that is editing.
    SingleLineTextItem *focusedEditor() const;
    // A left press or release at event's position, which drives the base view's hand
    // scrolling for a middle-button pan.
    void sendSyntheticLeftButton(QEvent::Type type, QMouseEvent *event);
};
