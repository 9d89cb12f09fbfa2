#pragma once

#include "edgeroute.h"

#include <QList>
#include <QPointer>

#include <functional>
#include <memory>

class EdgeItem;
class EntityObstacleIndex;

// The routes of many edges between fixed boxes, worked out on several threads at once and
// then applied on the GUI thread: the routes of a load do not depend on each other, only on
// the boxes. Each route is the one updatePath would draw, whichever thread works it out.
class RouteBatch
{
public:
    // index answers the obstacle look-ups; neither it nor its boxes may change until run()
    // returns.
    explicit RouteBatch(const EntityObstacleIndex &index);
    ~RouteBatch();
    RouteBatch(const RouteBatch &) = delete;
    RouteBatch &operator=(const RouteBatch &) = delete;

    // Takes the edge's ends as they stand and returns its place in the batch; -1 (nothing
    // taken) for an edge routed otherwise: a self relationship, one without both slots, one
    // whose own lines a drawn-routes scope weighs, or one whose look-ups go past the index.
    int add(EdgeItem *edge);
    qsizetype size() const;

    // Works out every route taken, on threadCount() worker threads while this one calls
    // turn every few milliseconds (or, without turn, works along with them); on this
    // thread alone for one thread or a few routes, turn then called between routes (and
    // inside long searches through the search pause in use). Returns when all are done.
    void run(const std::function<void()> &turn);

    // Draws the route worked out for the edge at place in the batch, as updatePath would
    // now: an edge gone meanwhile is passed over, and one whose ends moved is routed afresh.
    void apply(int place);
    // Draws the route worked out for the edge at place when the edge is still there with
    // the ends it had when taken; false, drawing nothing, otherwise.
    bool applyIfUnchanged(int place);

    // How many threads a batch works on: the machine's cores unless set (0 goes back to
    // that). For tests and measurements.
    static void setThreadCount(int count);
    static int threadCount();

private:
    struct Work;

    const EntityObstacleIndex &m_index;
    QList<QPointer<EdgeItem>> m_edges;
    std::shared_ptr<Work> m_work;
};
