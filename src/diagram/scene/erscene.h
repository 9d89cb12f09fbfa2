#pragma once

#include "entitycolorscheme.h"

#include <QColor>
#include <QFont>
#include <QGraphicsScene>
#include <QJsonObject>
#include <QPixmap>
#include <QString>

QT_BEGIN_NAMESPACE
class QJsonArray;
class QTimer;
QT_END_NAMESPACE

class EdgeItem;
class EntityItem;

namespace layout {
struct LayoutLink;
struct LayoutNode;
}

// The scene of the one open diagram. It owns the entity boxes, relationship edges, text
// notes and group frames on it, makes new ones where the user clicks, writes and reads
// the diagram document, draws the grid and marks the selection with a pulsing glow (a
// drawn outline where the selection is too large for it).
// Items reach it through qobject_cast to read the dialect and to ask the window for the
// style dialogs.
class ERScene : public QGraphicsScene
{
    Q_OBJECT

public:
    explicit ERScene(QObject *parent = nullptr);
    // Edges go before boxes, without touching the boxes' foreign-key rows.
    ~ERScene() override;

    // A new relationship between two boxes of this scene, or null when an end is null or
    // lies elsewhere. A view at either end gives the view link.
    EdgeItem *createEdge(EntityItem *from, EntityItem *to, bool createFKs);

    void addEntityAt(const QPointF &pos);
    void addEntityViewAt(const QPointF &pos);
    void addGroupAt(const QPointF &pos);
    void addTextItemAt(const QPointF &pos);

    // Boxes that show a table; views are not counted.
    int entityCount() const;
    void notifyEntityAdded(EntityItem *entity);
    // All eight default colours for new boxes are set.
    bool hasAllDefaultEntityColors() const;

    void setTextItemStyle(const QFont &font, const QColor &colorLight, const QColor &colorDark);
    void setGroupItemStyle(const QColor &fillLight, const QColor &borderLight,
                           const QColor &textLight, const QColor &fillDark,
                           const QColor &borderDark, const QColor &textDark);
    void setFilePath(const QString &path);

    // Removes and deletes every edge, box, note and frame. Does nothing while a clear,
    // a load or a layout of this scene runs.
    void clearScene();
    void resetTransientState();
    void resetTransientStateSilently();

    // The diagram exchange document of the scene's contents; the first element of each
    // array is the topmost item of its kind.
    QJsonObject toJson() const;
    // Replaces the contents with document. False, with nothing changed, when called
    // while the scene is being rebuilt (from an event handled during a load).
    bool loadFromJson(const QJsonObject &document);

    // Lays the whole diagram out: places every entity box, then lets every edge choose
    // its sides, spreads the slots and routes the edges again. Views are frozen and the
    // wait cursor shows meanwhile. Refused, with a warning, while a load, a clear or
    // another layout of this scene runs.
    void autoLayout();
    // Spreads the slots on each side of entity in the order of the boxes their edges lead
    // to; the edges are not routed again.
    void arrangeEntitySlots(EntityItem *entity);
    // One connected component of the layout, placed around the origin of its own frame.
    static void layoutComponentForceDirected(QList<layout::LayoutNode> &nodes,
                                             const QList<layout::LayoutLink> &links);
    static void layoutComponentGrid(QList<layout::LayoutNode> &nodes, const QList<QList<int>> &neighbours,
                                    const QList<layout::LayoutLink> &links, const QList<int> &hubs);

    // True while a load (or a layout) rebuilds the scene; nested rebuilds are refused.
    bool isStructuralChangeInProgress() const { return m_structuralChange; }

    // Where the last load's time went, in milliseconds; for measurements.
    struct LoadTimings
    {
        double clearing = 0;
        double entities = 0;    // made, added and read, with their event-loop turns
        double edges = 0;       // made, read (stored routes fitted), added
        double annotations = 0;
        double sceneRect = 0;   // grown around the items before routing
        double routing = 0;     // edges without a usable stored route
    };
    const LoadTimings &lastLoadTimings() const { return m_lastLoadTimings; }

    QString filePath;
    bool gridVisible = true;
    bool backgroundOverrideEnabled = false;
    QColor backgroundOverrideColor = QColor(Qt::white);
    DualThemeColorScheme defaultEntityColors;
    bool textItemStyleSet = false;
    QFont textItemFont;
    QColor textItemColorLight;
    QColor textItemColorDark;
    bool groupItemStyleSet = false;
    QColor groupFillLight;
    QColor groupBorderLight;
    QColor groupTextLight;
    QColor groupFillDark;
    QColor groupBorderDark;
    QColor groupTextDark;
    // Written directly by the main window when the user picks a dialect.
    QString dialect = QStringLiteral("Conceptual ER");
    QTimer *pulseTimer = nullptr;
    double pulsePhase = 0.0;
    quint64 highlightGeneration = 0;
    bool bulkOperation = false;
    bool highlightRefreshPending = false;

    // Grid spacing, and the most lines per axis the grid draws: beyond it lines would
    // lie closer than a device pixel, so only the background is filled.
    static constexpr int GridSize = 20;
    static constexpr int MaxGridLinesPerAxis = 4096;

    // Whether the grid may be painted from a repeated cell where it gives the same
    // pixels; off, it is always drawn line by line (to compare the two).
    static void setGridTilesEnabled(bool on) { s_gridTiles = on; }

    // Whether drawBackground covers every pixel it is asked for with an opaque colour.
    bool paintsOpaqueBackground() const;

signals:
    void textStyleDialogRequested();
    void groupStyleDialogRequested();
    void entityAdded(EntityItem *entity);
    void edgeAdded(EdgeItem *edge);

protected:
    void drawBackground(QPainter *painter, const QRectF &rect) override;

private slots:
    void scheduleHighlightRefresh();
    void refreshSelectionHighlight();
    void pulseSelection();

private:
    // The selected boxes, lines, notes and frames.
    QList<QGraphicsItem *> selectedDiagramParts() const;
    // What each view that shows the scene has in view, in scene coordinates.
    QList<QRectF> visibleSceneAreas() const;
    // Gives the glow to the selected items that take it and takes it from the others.
    void chooseGlowingItems(const QList<QGraphicsItem *> &selected);
    // The outline of each selected item without a glow, under the items.
    void drawSelectionOutlines(QPainter *painter, const QRectF &rect);
    // Grows the scene rectangle around the items in the changed region.
    void growSceneRect(const QList<QRectF> &region);
    // Grows the scene rectangle to hold every item with a margin; never shrinks it.
    void includeItemsInSceneRect();
    void uniteWithSceneRect(QRectF bounds);
    void onThemeChanged();
    // The work of clearScene; leftovers are detached only when asked (the destructor
    // leaves them to the base class, which deletes them).
    void removeDiagramItems(bool detachLeftovers);
    // The loader's work between clearing and growing the scene rectangle.
    struct LoadedItems;
    void buildIndexBeforeFirstPaint();
    void buildFromDocument(const QJsonObject &document);
    void createItemsFromDocument(const QJsonObject &document, LoadedItems &loaded);
    void createEntities(const QJsonArray &array, LoadedItems &loaded);
    void createEdges(const QJsonArray &array, LoadedItems &loaded);
    void createAnnotations(const QJsonArray &array, LoadedItems &loaded);
    void routeEdgesWithoutStoredRoute(const LoadedItems &loaded);
    void applyNewEntityColors(EntityItem *entity) const;

    bool paintGridFromTile(QPainter *painter, const QRectF &rect, const QColor &background,
                           const QColor &grid);

    // One cell of the grid as last painted, with what it was painted for.
    struct GridTile
    {
        QPixmap pixmap;
        int size = 0;
        double scale = 0;
        double phaseX = 0;
        double phaseY = 0;
        QColor background;
        QColor grid;
        bool antialiased = false;
    };
    GridTile m_gridTile;
    static bool s_gridTiles;
    bool m_structuralChange = false;
    // The views' areas the glowing items were chosen for.
    QList<QRectF> m_glowAreas;
    int m_glowingCount = 0;
    // The scene rectangle as last grown here; another one was set from elsewhere.
    QRectF m_grownSceneRect;
    LoadTimings m_lastLoadTimings;
};
