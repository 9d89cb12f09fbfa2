#include "entityobstacleindex.h"

#include "edgeitem.h"
#include "entityitem.h"
#include "routegeometry.h"

#include <QGraphicsScene>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// A grid of more cells than this would cost more than it saves; one cell then holds all.
constexpr double MaxCells = 1 << 20;

// Look-ups over the same boxes before an index of them pays for itself: a single edit
// routes a few lines and asks a few times, where making the index lists every item.
constexpr int KeptIndexFrom = 32;

struct KeptIndex
{
    QPointer<const QGraphicsScene> scene;
    quint64 generation = 0;
    int lookups = 0;
    std::unique_ptr<EntityObstacleIndex> index;
};

bool isFiniteRect(const QRectF &r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

// Closed extents: rectangles that only touch still meet.
bool meets(const QRectF &a, const QRectF &b)
{
    return a.left() <= b.right() && b.left() <= a.right() && a.top() <= b.bottom() && b.top() <= a.bottom();
}

} // namespace

EntityObstacleIndex::EntityObstacleIndex(const QGraphicsScene *scene, const QList<EntityItem *> &entities)
    : m_scene(scene)
{
    static quint64 made = 0;
    m_serial = ++made;
    for (EntityItem *entity : entities) {
        if (!entity)
            continue;
        const QRectF rect = entity->sceneBoundingRect();
        if (isFiniteRect(rect))
            m_bounds = m_bounds.isNull() ? rect : m_bounds.united(rect);
        else
            m_unplaced.push_back(int(m_rects.size()));
        m_items.append(entity);
        m_rects.append(rect);
    }
    if (m_bounds.isNull())
        return;
    double cell = CellSize;
    while ((m_bounds.width() / cell + 1) * (m_bounds.height() / cell + 1) > MaxCells)
        cell *= 2;
    m_cellSize = cell;
    m_columns = int(m_bounds.width() / cell) + 1;
    m_rows = int(m_bounds.height() / cell) + 1;
    m_cells.resize(std::size_t(m_columns) * m_rows);
    const auto column = [&](double x) {
        return int(std::clamp((x - m_bounds.left()) / cell, 0.0, double(m_columns - 1)));
    };
    const auto row = [&](double y) { return int(std::clamp((y - m_bounds.top()) / cell, 0.0, double(m_rows - 1))); };
    for (qsizetype i = 0; i < m_rects.size(); ++i) {
        const QRectF &r = m_rects[i];
        if (!isFiniteRect(r))
            continue;
        for (int y = row(r.top()); y <= row(r.bottom()); ++y) {
            for (int x = column(r.left()); x <= column(r.right()); ++x)
                m_cells[std::size_t(y) * m_columns + x].push_back(int(i));
        }
    }
}

QList<EntityItem *> EntityObstacleIndex::boxesOf(const QGraphicsScene *scene)
{
    QList<EntityItem *> boxes;
    if (!scene)
        return boxes;
    const QList<QGraphicsItem *> items = scene->items(Qt::DescendingOrder);
    for (QGraphicsItem *item : items) {
        if (item->type() == EntityItem::Type)
            boxes.append(static_cast<EntityItem *>(item));
    }
    return boxes;
}

const EntityObstacleIndex *EntityObstacleIndex::keptFor(const QGraphicsScene *scene)
{
    if (!scene || QThread::currentThread() != scene->thread())
        return nullptr;
    static KeptIndex kept;
    const quint64 generation = EntityItem::placesGeneration();
    if (kept.scene != scene || kept.generation != generation) {
        kept.index.reset();
        kept.scene = scene;
        kept.generation = generation;
        kept.lookups = 0;
    }
    if (!kept.index && ++kept.lookups >= KeptIndexFrom)
        kept.index = std::make_unique<EntityObstacleIndex>(scene, boxesOf(scene));
    return kept.index.get();
}

QList<QRectF> EntityObstacleIndex::obstaclesIn(const QRectF &region, const QGraphicsItem *skipA,
                                               const QGraphicsItem *skipB) const
{
    return obstaclesIn(region, skipA, skipB, m_marks);
}

QList<QRectF> EntityObstacleIndex::obstaclesIn(const QRectF &region, const QGraphicsItem *skipA,
                                               const QGraphicsItem *skipB, Marks &marks) const
{
    QList<QRectF> obstacles;
    const auto keep = [&](qsizetype i) {
        if (m_items[i] != skipA && m_items[i] != skipB)
            obstacles.append(routing::insetObstacleRect(m_rects[i]));
    };
    if (!isFiniteRect(region)) {
        obstacles.reserve(m_rects.size());
        for (qsizetype i = 0; i < m_rects.size(); ++i)
            keep(i);
        return obstacles;
    }

    // Boxes whose rectangle is not finite are in no cell; look at them every time.
    std::vector<int> &found = marks.found;
    found.assign(m_unplaced.begin(), m_unplaced.end());
    if (!m_bounds.isNull() && meets(region, m_bounds)) {
        if (marks.seen.size() != std::size_t(m_rects.size()) || ++marks.stamp == 0) {
            marks.seen.assign(m_rects.size(), 0u);
            marks.stamp = 1;
        }
        // Clamped as doubles first: a far region must not overflow the conversion.
        const auto column = [&](double x) {
            return int(std::clamp((x - m_bounds.left()) / m_cellSize, 0.0, double(m_columns - 1)));
        };
        const auto row = [&](double y) {
            return int(std::clamp((y - m_bounds.top()) / m_cellSize, 0.0, double(m_rows - 1)));
        };
        for (int y = row(region.top()); y <= row(region.bottom()); ++y) {
            for (int x = column(region.left()); x <= column(region.right()); ++x) {
                for (int i : m_cells[std::size_t(y) * m_columns + x]) {
                    if (marks.seen[i] == marks.stamp)
                        continue;
                    marks.seen[i] = marks.stamp;
                    if (meets(region, m_rects[i]))
                        found.push_back(i);
                }
            }
        }
    }
    // Back into the given order.
    std::sort(found.begin(), found.end());
    obstacles.reserve(qsizetype(found.size()));
    for (int i : found)
        keep(i);
    return obstacles;
}

ObstacleIndexScope::ObstacleIndexScope(const EntityObstacleIndex *index)
    : m_previous(EdgeItem::obstacleIndex())
{
    EdgeItem::setObstacleIndex(index);
}

ObstacleIndexScope::~ObstacleIndexScope()
{
    EdgeItem::setObstacleIndex(m_previous);
}
