#include "boxgrid.h"

#include "recognitionsteps.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// A box covering more cells than this is looked at by every query instead.
constexpr double MaxCellsPerBox = 64;

// How far a box is entered beyond its rectangle: reach, plus a margin that covers the
// rounding of the distance tests at any magnitude of coordinates.
double entryMargin(const QRectF &box, double reach)
{
    const double magnitude = std::abs(box.x()) + std::abs(box.y()) + box.width() + box.height();
    return reach * 1.001 + 1.0 + 1e-9 * magnitude;
}

} // namespace

BoxGrid::BoxGrid(const QList<QRectF> &boxes, double reach)
    : m_boxes(boxes)
{
    std::vector<std::pair<int, QRectF>> entered;  // box index, rectangle grown by its margin
    std::vector<double> extents;
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        const QRectF &box = boxes.at(i);
        if (!isFiniteRect(box))
            continue;
        if (box.width() < 0 || box.height() < 0) {
            m_everywhere.push_back(int(i));
            continue;
        }
        const double margin = entryMargin(box, reach);
        const QRectF grown(QPointF(box.x() - margin, box.y() - margin),
                           QPointF(box.x() + box.width() + margin, box.y() + box.height() + margin));
        entered.emplace_back(int(i), grown);
        const bool first = extents.empty();
        extents.push_back(std::max(grown.width(), grown.height()));
        m_left = first ? grown.left() : std::min(m_left, grown.left());
        m_top = first ? grown.top() : std::min(m_top, grown.top());
        m_right = first ? grown.right() : std::max(m_right, grown.right());
        m_bottom = first ? grown.bottom() : std::max(m_bottom, grown.bottom());
    }
    if (extents.empty())
        return;

    const double width = m_right - m_left;
    const double height = m_bottom - m_top;
    const bool gridded = std::isfinite(width) && std::isfinite(height);
    if (gridded) {
        std::nth_element(extents.begin(), extents.begin() + extents.size() / 2, extents.end());
        m_cellSize = std::max(extents.at(extents.size() / 2), 1.0);
        const double maxCells = std::max(1024.0, 4.0 * double(extents.size()));
        while (std::ceil(width / m_cellSize) * std::ceil(height / m_cellSize) > maxCells)
            m_cellSize *= 2;
        m_columns = std::max(1, int(std::ceil(width / m_cellSize)));
        m_rows = std::max(1, int(std::ceil(height / m_cellSize)));
        m_cells.resize(size_t(m_columns) * size_t(m_rows));
    }
    for (const auto &[index, grown] : entered) {
        const int c0 = column(grown.left());
        const int c1 = column(grown.right());
        const int r0 = row(grown.top());
        const int r1 = row(grown.bottom());
        if (!gridded || double(c1 - c0 + 1) * double(r1 - r0 + 1) > MaxCellsPerBox) {
            m_everywhere.push_back(index);
            continue;
        }
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c)
                m_cells[size_t(r) * size_t(m_columns) + size_t(c)].push_back(index);
        }
    }
}

int BoxGrid::column(double x) const
{
    if (m_columns == 0)
        return 0;
    return int(std::clamp(std::floor((x - m_left) / m_cellSize), 0.0, double(m_columns - 1)));
}

int BoxGrid::row(double y) const
{
    if (m_rows == 0)
        return 0;
    return int(std::clamp(std::floor((y - m_top) / m_cellSize), 0.0, double(m_rows - 1)));
}

template <typename Visit>
void BoxGrid::visitNear(const QPointF &point, Visit visit) const
{
    if (!isFinitePoint(point))
        return;
    const bool inGrid = !m_cells.empty() && point.x() >= m_left && point.x() <= m_right
        && point.y() >= m_top && point.y() <= m_bottom;
    if (inGrid) {
        for (int index : m_cells.at(size_t(row(point.y())) * size_t(m_columns) + size_t(column(point.x()))))
            visit(index);
    }
    for (int index : m_everywhere)
        visit(index);
}

int BoxGrid::nearest(const QPointF &point, double limit) const
{
    int best = -1;
    double bestDistance = limit;
    visitNear(point, [&](int index) {
        const double distance = distanceToBox(m_boxes.at(index), point);
        if (distance < bestDistance || (distance == bestDistance && best >= 0 && index < best)) {
            best = index;
            bestDistance = distance;
        }
    });
    return best;
}

QList<int> BoxGrid::containing(const QPointF &point, double grow) const
{
    QList<int> found;
    visitNear(point, [&](int index) {
        const QRectF &box = m_boxes.at(index);
        const double left = box.x() - grow;
        const double top = box.y() - grow;
        if (point.x() >= left && point.x() <= left + (box.width() + 2 * grow) && point.y() >= top
            && point.y() <= top + (box.height() + 2 * grow)) {
            found.append(index);
        }
    });
    return found;
}
