#include "drawnroutesscope.h"

#include "edgeitem.h"

namespace {

const DrawnRoutesScope *currentScope = nullptr;

} // namespace

DrawnRoutesScope::DrawnRoutesScope(const QList<EdgeItem *> &edges)
    : m_lines(routesOf(edges))
    , m_previous(currentScope)
{
    for (qsizetype i = 0; i < edges.size(); ++i) {
        if (edges[i])
            m_index.insert(edges[i], int(i));
    }
    currentScope = this;
}

DrawnRoutesScope::DrawnRoutesScope(const QList<EdgeItem *> &edges, const QList<routing::Route> &routes)
    : m_lines(routes)
    , m_previous(currentScope)
{
    for (qsizetype i = 0; i < edges.size(); ++i) {
        if (edges[i])
            m_index.insert(edges[i], int(i));
    }
    currentScope = this;
}

DrawnRoutesScope::~DrawnRoutesScope()
{
    currentScope = m_previous;
}

const DrawnRoutesScope *DrawnRoutesScope::current()
{
    return currentScope;
}

void DrawnRoutesScope::update(const EdgeItem *edge)
{
    const int index = indexOf(edge);
    if (index >= 0)
        m_lines.replaceRoute(index, edge->points);
}

QList<routing::Route> DrawnRoutesScope::routesOf(const QList<EdgeItem *> &edges)
{
    QList<routing::Route> routes;
    routes.reserve(edges.size());
    for (const EdgeItem *edge : edges)
        routes.append(edge ? edge->points : routing::Route());
    return routes;
}
