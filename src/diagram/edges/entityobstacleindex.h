#pragma once

#include <QList>
#include <QRectF>

#include <vector>

QT_BEGIN_NAMESPACE
class QGraphicsItem;
class QGraphicsScene;
QT_END_NAMESPACE

class EntityItem;

// The entity boxes of one scene, taken once, for obstacle look-ups while none of them moves
// (the automatic layout routes every edge several times over fixed boxes). Asking the
// scene instead collects and sorts every row and slot inside the area, which dominates
// for long edges. Boxes come back in the order they were given, so a list given in
// descending stacking order answers exactly as the scene query does.
class EntityObstacleIndex
{
public:
    EntityObstacleIndex(const QGraphicsScene *scene, const QList<EntityItem *> &entities);

    // The entity boxes of scene, topmost first, as the scene lists them.
    static QList<EntityItem *> boxesOf(const QGraphicsScene *scene);

    // An index of scene's boxes for look-ups made while no other index is in use: made
    // once many look-ups have asked about the same boxes, and kept until a box moves,
    // changes size or stacking, or joins or leaves a scene. Null until then, and on
    // another thread than the scene's. Asking the scene instead collects and sorts every
    // line in the area, and a line to a box that many lines reach meets them all.
    static const EntityObstacleIndex *keptFor(const QGraphicsScene *scene);

    const QGraphicsScene *scene() const { return m_scene; }
    // Different for every index made in this process: what is worked out over one index
    // may be kept for as long as the same index is in use.
    quint64 serial() const { return m_serial; }

    // The boxes whose scene bounding rectangles meet region (edges touching count), other
    // than skipA and skipB, each inset as an obstacle. Every box for a region that is not
    // finite.
    QList<QRectF> obstaclesIn(const QRectF &region, const QGraphicsItem *skipA, const QGraphicsItem *skipB) const;

    // What a look-up marks the boxes it has seen with. The index keeps one for the thread
    // that made it; a look-up from another thread brings its own, so that several threads
    // may ask one index at once.
    class Marks
    {
    public:
        Marks() = default;

    private:
        friend class EntityObstacleIndex;
        std::vector<unsigned> seen;
        unsigned stamp = 0;
        std::vector<int> found; // kept between look-ups: each would allocate it anew
    };
    QList<QRectF> obstaclesIn(const QRectF &region, const QGraphicsItem *skipA, const QGraphicsItem *skipB,
                              Marks &marks) const;

private:
    static constexpr double CellSize = 512;

    const QGraphicsScene *m_scene = nullptr;
    quint64 m_serial = 0;
    QList<const QGraphicsItem *> m_items;
    QList<QRectF> m_rects;
    QRectF m_bounds;
    double m_cellSize = CellSize;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::vector<int>> m_cells;
    std::vector<int> m_unplaced; // boxes whose rectangle is not finite
    mutable Marks m_marks;
};

// Obstacle look-ups of every edge of the index's scene go to index while the scope lives;
// the boxes must not move meanwhile. The index in use before comes back at the end, so a
// scope opened for another scene during an event-loop turn leaves the outer one in place.
class ObstacleIndexScope
{
public:
    explicit ObstacleIndexScope(const EntityObstacleIndex *index);
    ~ObstacleIndexScope();
    ObstacleIndexScope(const ObstacleIndexScope &) = delete;
    ObstacleIndexScope &operator=(const ObstacleIndexScope &) = delete;

private:
    const EntityObstacleIndex *m_previous;
};
