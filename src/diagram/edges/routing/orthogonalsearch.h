#pragma once

#include "routegeometry.h"

#include <functional>
#include <vector>

// A right-angle path around boxes, found on an orthogonal visibility graph of the boxes'
// corners (after Wybrow, Marriott and Stuckey, "Orthogonal connector routing"): from each
// corner of every box grown by a margin, and from the two stubs, lines run across and up
// and down until a box stops them; where they cross are the graph's nodes. The cheapest
// path by length plus a cost per bend joins the two stubs.
namespace routing {

struct SearchEnds
{
    QPointF fromAnchor;
    QPointF fromStub;
    EntitySide fromSide = LeftSide;
    QPointF toAnchor;
    QPointF toStub;
    EntitySide toSide = LeftSide;
};

struct SearchCosts
{
    double margin = 12;   // how far beside a box the graph's lines run
    double bendCost = 60; // in units of length
    double crossingCost = 40; // per line of another route crossed
    double sharingCost = 2;   // per unit of length run along a line of another route
    double greed = 3.0;       // weight of the distance still to go when lines are drawn
    std::size_t exactUpTo = 2000; // graphs of at most this many nodes are searched exactly
};

// The lines of routes already drawn, which a search crosses or runs along at a cost so
// that it takes a way of its own where one is near. Each route keeps its index, so that
// a search for one of them passes over its own lines.
class DrawnLines
{
public:
    explicit DrawnLines(const QList<Route> &routes);

    // For the axis-parallel step from a to b: how many lines of other routes than own it
    // crosses inside, and how long it runs on one line with them.
    void measureStep(const QPointF &a, const QPointF &b, int own, int &crossings, double &shared) const;

    // The route's lines as they now stand, for the searches after it was routed again.
    // Lines beyond the first routes' bounds count in the grid's border cells.
    void replaceRoute(int route, const Route &now);

private:
    struct Line
    {
        double at = 0; // y of a horizontal line, x of a vertical one
        double low = 0;
        double high = 0;
        int route = 0;
    };
    int column(double x) const;
    int row(double y) const;
    void addLines(int route, const Route &points);
    // Lines by grid cell, so that a step looks only at the lines around it.
    void place(std::size_t line, bool horizontal);

    std::vector<Line> m_horizontal;
    std::vector<Line> m_vertical;
    double m_left = 0;
    double m_top = 0;
    double m_cell = 1;
    int m_columns = 0;
    int m_rows = 0;
    std::vector<std::vector<int>> m_horizontalCells; // indices into m_horizontal
    std::vector<std::vector<int>> m_verticalCells;
    // Per route, its lines: index i of a horizontal line, -1 - i of a vertical one.
    std::vector<std::vector<int>> m_routeLines;
};

// While one lives, a long search calls pause every few milliseconds of its work, so that
// the caller can turn the event loop. A search started from inside pause does not call it.
class SearchPause
{
public:
    explicit SearchPause(std::function<void()> pause);
    ~SearchPause();
    SearchPause(const SearchPause &) = delete;
    SearchPause &operator=(const SearchPause &) = delete;

private:
    std::function<void()> m_previous;
};

// The route anchor, stub, ..., stub, anchor whose middle keeps out of every obstacle (the
// router's inset rectangles, the two end boxes among them) and out of area's outside;
// empty when the obstacles wall one stub off from the other within area, or a stub lies in
// an obstacle. Collinear points are removed.
Route searchOrthogonalRoute(const SearchEnds &ends, const QList<QRectF> &obstacles, const QRectF &area,
                            const SearchCosts &costs = {}, const DrawnLines *drawn = nullptr, int own = -1);

} // namespace routing
