#include "routebatch.h"

#include "drawnroutesscope.h"
#include "edgeitem.h"
#include "entityitem.h"
#include "entityobstacleindex.h"

#include <QGraphicsScene>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <numeric>
#include <vector>

namespace {

// Fewer routes than this are worked out on the calling thread alone: waking the workers
// would cost more than they save.
constexpr qsizetype ParallelFrom = 16;
// How long the calling thread waits for the workers between two calls of turn.
constexpr auto WaitStep = std::chrono::milliseconds(5);

int chosenThreads = 0;

// Its threads are kept for the whole run: the search keeps its arrays per thread, and fresh
// threads would pay again for every page of them at each load.
Q_GLOBAL_STATIC(QThreadPool, workerPool)

bool sameEnds(const edgeroute::EdgeEnds &a, const edgeroute::EdgeEnds &b)
{
    return a.fromAnchor == b.fromAnchor && a.toAnchor == b.toAnchor && a.fromSide == b.fromSide
        && a.toSide == b.toSide && a.fromRect == b.fromRect && a.toRect == b.toRect;
}

// Lines that cross much of the diagram search longest: handed out first, so that no thread
// is left with one long search at the end.
double expectedWork(const edgeroute::EdgeEnds &ends)
{
    const QPointF d = ends.toAnchor - ends.fromAnchor;
    return std::abs(d.x()) + std::abs(d.y());
}

} // namespace

// What the threads of one run share. Held by every worker, so that one the pool starts
// only after the run has ended finds nothing left to do and no dangling batch.
struct RouteBatch::Work
{
    struct Job
    {
        edgeroute::EdgeEnds ends;
        const QGraphicsItem *from = nullptr;
        const QGraphicsItem *to = nullptr;
    };

    const EntityObstacleIndex *index = nullptr;
    const QGraphicsScene *scene = nullptr;
    bool nearEndsOnly = false;
    bool searchHeld = false;
    std::vector<Job> jobs;
    std::vector<int> order; // the jobs in the order they are handed out
    std::vector<QList<QPointF>> routes;
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable allDone;
    std::size_t done = 0;

    // Works out routes until none is left to take.
    void takeJobs(const std::function<void()> &afterEach)
    {
        EntityObstacleIndex::Marks marks;
        for (std::size_t i = next++; i < order.size(); i = next++) {
            const Job &job = jobs[std::size_t(order[i])];
            const auto obstaclesIn = [&](const QRectF &region) {
                return region.isNull() ? QList<QRectF>() : index->obstaclesIn(region, job.from, job.to, marks);
            };
            routes[std::size_t(order[i])] =
                EdgeItem::drawnRouteBetween(job.ends, obstaclesIn, nearEndsOnly, searchHeld);
            {
                const std::lock_guard<std::mutex> lock(mutex);
                if (++done == order.size())
                    allDone.notify_all();
            }
            if (afterEach)
                afterEach();
        }
    }
};

RouteBatch::RouteBatch(const EntityObstacleIndex &index)
    : m_index(index)
    , m_work(std::make_shared<Work>())
{
    m_work->index = &index;
    m_work->scene = index.scene();
    m_work->nearEndsOnly = EdgeItem::isNearEndsOnly();
    m_work->searchHeld = EdgeItem::isRouteSearchHeld();
}

RouteBatch::~RouteBatch() = default;

int RouteBatch::add(EdgeItem *edge)
{
    edgeroute::EdgeEnds ends;
    if (!edge || !edge->scene() || !edge->routeEnds(ends))
        return -1;
    if (EdgeItem::obstacleIndexFor(edge->scene()) != &m_index)
        return -1;
    if (const DrawnRoutesScope *drawn = DrawnRoutesScope::current(); drawn && drawn->indexOf(edge) >= 0)
        return -1;
    m_work->jobs.push_back({ends, edge->from, edge->to});
    m_edges.append(edge);
    return int(m_edges.size() - 1);
}

qsizetype RouteBatch::size() const
{
    return m_edges.size();
}

void RouteBatch::run(const std::function<void()> &turn)
{
    Work &work = *m_work;
    const std::size_t count = work.jobs.size();
    work.routes.assign(count, {});
    work.order.resize(count);
    std::iota(work.order.begin(), work.order.end(), 0);
    std::stable_sort(work.order.begin(), work.order.end(), [&work](int a, int b) {
        return expectedWork(work.jobs[std::size_t(a)].ends) > expectedWork(work.jobs[std::size_t(b)].ends);
    });
    if (count == 0)
        return;

    const int workers = qsizetype(count) < ParallelFrom ? 1 : std::min<int>(threadCount(), int(count));
    if (workers <= 1) {
        work.takeJobs(turn);
        return;
    }
    // This thread only turns the event loop meanwhile: a search over a wide area builds its
    // graph for a good while before it first pauses.
    QThreadPool *pool = workerPool();
    pool->setExpiryTimeout(-1);
    if (pool->maxThreadCount() < workers)
        pool->setMaxThreadCount(workers);
    // Without an event loop to turn this thread works along with the others.
    const int started = turn ? workers : workers - 1;
    for (int i = 0; i < started; ++i)
        pool->start([shared = m_work] { shared->takeJobs({}); });
    if (!turn)
        work.takeJobs({});
    std::unique_lock<std::mutex> lock(work.mutex);
    while (work.done < count) {
        work.allDone.wait_for(lock, WaitStep);
        if (work.done < count && turn) {
            lock.unlock();
            turn();
            lock.lock();
        }
    }
}

void RouteBatch::apply(int place)
{
    if (place < 0 || place >= m_edges.size())
        return;
    EdgeItem *edge = m_edges.at(place).data();
    if (edge && !applyIfUnchanged(place))
        edge->updatePath();
}

bool RouteBatch::applyIfUnchanged(int place)
{
    if (place < 0 || place >= m_edges.size())
        return false;
    EdgeItem *edge = m_edges.at(place).data();
    if (!edge)
        return false;
    edgeroute::EdgeEnds now;
    const Work::Job &job = m_work->jobs[std::size_t(place)];
    if (edge->scene() != m_work->scene || edge->from != job.from || edge->to != job.to || !edge->routeEnds(now)
        || !sameEnds(now, job.ends))
        return false;
    const QList<QPointF> &route = m_work->routes[std::size_t(place)];
    if (route.size() >= 2)
        edge->applyRoundedPath(route);
    return true;
}

void RouteBatch::setThreadCount(int count)
{
    chosenThreads = std::max(0, count);
}

int RouteBatch::threadCount()
{
    return chosenThreads > 0 ? chosenThreads : std::max(1, QThread::idealThreadCount());
}
