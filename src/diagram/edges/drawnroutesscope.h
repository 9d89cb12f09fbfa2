#pragma once

#include "orthogonalsearch.h"

#include <QHash>
#include <QList>

class EdgeItem;

// The routes of a set of edges as they stand, for the search around boxes of each of them
// to steer clear of the others' lines while the scope lives (the layout's last routing
// pass). The routes are taken once; the boxes and routes may change meanwhile, the search
// then weighs the lines as they were. The scope in use before comes back at the end.
class DrawnRoutesScope
{
public:
    explicit DrawnRoutesScope(const QList<EdgeItem *> &edges);
    // The edges with the given routes, one per edge, in place of those they draw.
    DrawnRoutesScope(const QList<EdgeItem *> &edges, const QList<routing::Route> &routes);
    ~DrawnRoutesScope();
    DrawnRoutesScope(const DrawnRoutesScope &) = delete;
    DrawnRoutesScope &operator=(const DrawnRoutesScope &) = delete;

    // The scope in use; nullptr when none is.
    static const DrawnRoutesScope *current();

    const routing::DrawnLines &lines() const { return m_lines; }
    // The edge's route as it now stands replaces the one taken; nothing for an edge the
    // scope was not made with.
    void update(const EdgeItem *edge);
    // The edge's index among the routes; -1 for an edge the scope was not made with.
    int indexOf(const EdgeItem *edge) const { return m_index.value(edge, -1); }

private:
    static QList<routing::Route> routesOf(const QList<EdgeItem *> &edges);

    QHash<const EdgeItem *, int> m_index; // look-ups only
    routing::DrawnLines m_lines;
    const DrawnRoutesScope *m_previous = nullptr;
};
