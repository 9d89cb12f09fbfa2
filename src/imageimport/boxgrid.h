#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

#include <vector>

// Boxes bucketed in a uniform grid: each box is entered in the cells that its rectangle
// grown by reach covers, so the boxes near a point are found among a few instead of all.
// A box that would cover many cells, or a grid whose extent is not a finite number, is kept
// in one list that every query looks at. Answers equal those of a search over all boxes.
class BoxGrid
{
public:
    BoxGrid(const QList<QRectF> &boxes, double reach);

    // nearestBoxIndex(boxes, point, limit) for a limit up to reach.
    int nearest(const QPointF &point, double limit) const;

    // Indices of the boxes whose rectangle grown by grow (up to reach) holds point, edges
    // included, in no particular order.
    QList<int> containing(const QPointF &point, double grow) const;

private:
    // Calls visit with the index of every box that may lie within reach of point.
    template <typename Visit>
    void visitNear(const QPointF &point, Visit visit) const;

    int column(double x) const;
    int row(double y) const;

    QList<QRectF> m_boxes;
    double m_left = 0;
    double m_top = 0;
    double m_right = -1;
    double m_bottom = -1;
    double m_cellSize = 1;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::vector<int>> m_cells;
    std::vector<int> m_everywhere;
};
